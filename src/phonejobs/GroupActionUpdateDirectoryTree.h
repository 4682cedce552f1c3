#pragma once

#include "phonejobs/GroupActionFTPServices.h"

// Lists a phone folder and then, breadth first, every folder below it.
class GroupActionUpdateDirectoryTree : public GroupActionFTPServices {
public:
    GroupActionUpdateDirectoryTree(const QString& path, bool force, std::shared_ptr<QVActionNotify> notify,
                                   QVariant userInfo);
    static std::shared_ptr<GroupActionUpdateDirectoryTree> updateDirectory(const QString& path, bool force,
                                                                           std::shared_ptr<QVActionNotify> notify,
                                                                           QVariant userInfo = {});
    void doForceUpdatesOfUpToDateDirectories() { _forceUpdatesOfUpToDateDirectories = true; }
    void addUpdateSubdirectoryActionsForPath(const QString& path);
    void endAction(QVAction& action, int err) override;
    using GroupActionFTPServices::endAction;
    QString description() const override;
    void didPostToActionPipe() override;

private:
    QString _directoryToUpdate;
    bool _forceUpdatesOfUpToDateDirectories = false;
};
