#pragma once

#include "phonejobs/GroupActionFTPServices.h"

class DZDirectoryEntry;

// Deletes a phone folder with its contents: re-lists it, then deletes
// children before their parents, the folder last.
class GroupActionDeleteFolder : public GroupActionFTPServices {
public:
    GroupActionDeleteFolder(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<GroupActionDeleteFolder> actionWithPath(const QString& path,
                                                                   std::shared_ptr<QVActionNotify> notify,
                                                                   QVariant userInfo = {});
    void addDeleteActionsForEntries(const QList<std::shared_ptr<DZDirectoryEntry>>& entries);
    void addDeleteActions();
    void endAction(QVAction& action, int err) override;
    using GroupActionFTPServices::endAction;
    QString description() const override;
    QString displayString() const override;
    void didPostToActionPipe() override;

private:
    QString _folderToDelete;
};
