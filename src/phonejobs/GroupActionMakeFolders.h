#pragma once

#include "phonejobs/GroupActionFTPServices.h"

#include <QStringList>

// Makes the missing folders of some phone paths, parents first.
class GroupActionMakeFolders : public GroupActionFTPServices {
public:
    GroupActionMakeFolders(const QStringList& paths, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<GroupActionMakeFolders> makeFoldersActionWithDirectories(
        const QStringList& paths, std::shared_ptr<QVActionNotify> notify, QVariant userInfo = {});
    void createFolder(const QString& path);
    void createMakeFolderActions();
    QString description() const override;
    QString displayString() const override;
    void willPostToActionPipe() override;

private:
    QStringList _foldersToCreate;
};
