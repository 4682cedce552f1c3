#include "phonejobs/GroupActionUpdateDirectoryTree.h"

#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phonejobs/ActionGetDirectoryContent.h"
#include "phonejobs/FileJobNames.h"

GroupActionUpdateDirectoryTree::GroupActionUpdateDirectoryTree(const QString& path, bool force,
                                                               std::shared_ptr<QVActionNotify> notify,
                                                               QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
    , _directoryToUpdate(path)
    , _forceUpdatesOfUpToDateDirectories(force)
{
}

std::shared_ptr<GroupActionUpdateDirectoryTree> GroupActionUpdateDirectoryTree::updateDirectory(
    const QString& path, bool force, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<GroupActionUpdateDirectoryTree>(path, force, std::move(notify), std::move(userInfo));
}

void GroupActionUpdateDirectoryTree::addUpdateSubdirectoryActionsForPath(const QString& path)
{
    DZDataManager* manager = dataManager();
    auto folder = manager ? manager->getEntry(path) : nullptr;
    if (!folder)
        return;
    for (const auto& child : folder->entriesNoUpdate()) {
        if (!child->isFile())
            addGroupAction(child->actionToUpdateWithPriority(2));
    }
}

void GroupActionUpdateDirectoryTree::endAction(QVAction& action, int err)
{
    auto* listing = dynamic_cast<ActionGetDirectoryContent*>(&action);
    if (err == 0 && !isCancelled() && listing)
        addUpdateSubdirectoryActionsForPath(listing->path());
    GroupActionFTPServices::endAction(action, err);
}

QString GroupActionUpdateDirectoryTree::description() const
{
    return filejobnames::kUpdateTreeFormat.arg(_directoryToUpdate,
                                               _forceUpdatesOfUpToDateDirectories ? QStringLiteral("YES")
                                                                                  : QStringLiteral("NO"));
}

void GroupActionUpdateDirectoryTree::didPostToActionPipe()
{
    GroupActionFTPServices::didPostToActionPipe();
    DZDataManager* manager = dataManager();
    if (auto folder = manager ? manager->getDirectory(_directoryToUpdate) : nullptr)
        addGroupAction(folder->actionToUpdateWithPriority(2));
}
