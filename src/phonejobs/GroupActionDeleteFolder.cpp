#include "phonejobs/GroupActionDeleteFolder.h"

#include "foundation/QuorNSStringPathExtensions.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phonejobs/FileJobNames.h"
#include "phonejobs/GroupActionUpdateDirectoryTree.h"

GroupActionDeleteFolder::GroupActionDeleteFolder(const QString& path, std::shared_ptr<QVActionNotify> notify,
                                                 QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
    , _folderToDelete(path)
{
}

std::shared_ptr<GroupActionDeleteFolder> GroupActionDeleteFolder::actionWithPath(
    const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<GroupActionDeleteFolder>(path, std::move(notify), std::move(userInfo));
}

void GroupActionDeleteFolder::addDeleteActionsForEntries(const QList<std::shared_ptr<DZDirectoryEntry>>& entries)
{
    // Children before their parent, without recursion: (entry, children added).
    QList<std::pair<std::shared_ptr<DZDirectoryEntry>, bool>> stack;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        stack.append({*it, false});
    while (!stack.isEmpty()) {
        auto [entry, expanded] = stack.takeLast();
        if (!expanded && entry->isDirectory()) {
            stack.append({entry, true});
            const auto children = entry->entriesNoUpdate();
            for (auto it = children.crbegin(); it != children.crend(); ++it)
                stack.append({*it, false});
            continue;
        }
        addGroupAction(entry->actionToDeleteWithPriority(4));
    }
}

void GroupActionDeleteFolder::addDeleteActions()
{
    DZDataManager* manager = dataManager();
    auto root = manager ? manager->getEntry(_folderToDelete) : nullptr;
    if (!root)
        return;
    addDeleteActionsForEntries(root->entriesNoUpdate());
    addGroupAction(root->actionToDeleteWithPriority(4));
}

void GroupActionDeleteFolder::endAction(QVAction& action, int err)
{
    if (err == 0 && !isCancelled() && dynamic_cast<GroupActionUpdateDirectoryTree*>(&action))
        addDeleteActions();
    GroupActionFTPServices::endAction(action, err);
}

QString GroupActionDeleteFolder::description() const
{
    return filejobnames::kDeleteFolderFormat.arg(_folderToDelete);
}

QString GroupActionDeleteFolder::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionRemoveFileFolder, lastPathComponent(_folderToDelete));
}

void GroupActionDeleteFolder::didPostToActionPipe()
{
    GroupActionFTPServices::didPostToActionPipe();
    DZDataManager* manager = dataManager();
    if (auto folder = manager ? manager->getEntry(_folderToDelete) : nullptr)
        addGroupAction(folder->actionToUpdateWholeSubtreeWithPriority(4, true));
}
