#include "phonejobs/GroupActionMakeFolders.h"

#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phonejobs/FileJobNames.h"
#include "platform/Localization.h"

GroupActionMakeFolders::GroupActionMakeFolders(const QStringList& paths, std::shared_ptr<QVActionNotify> notify,
                                               QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
    , _foldersToCreate(paths)
{
}

std::shared_ptr<GroupActionMakeFolders> GroupActionMakeFolders::makeFoldersActionWithDirectories(
    const QStringList& paths, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<GroupActionMakeFolders>(paths, std::move(notify), std::move(userInfo));
}

void GroupActionMakeFolders::createFolder(const QString& path)
{
    DZDataManager* manager = dataManager();
    if (!manager)
        return;
    std::shared_ptr<DZDirectoryEntry> folder = manager->root();
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!dztree::isSafePhoneName(component))
            return;
        auto child = folder->entryWithName(component);
        if (!child) {
            addGroupAction(folder->actionToMakeFolderWithName(component, 2));
            child = folder->entryWithName(component);
        }
        if (!child || !child->isDirectory())
            return;
        folder = child;
    }
}

void GroupActionMakeFolders::createMakeFolderActions()
{
    for (const QString& path : std::as_const(_foldersToCreate))
        createFolder(path);
}

QString GroupActionMakeFolders::description() const
{
    return filejobnames::kMakeFoldersFormat.arg(_foldersToCreate.join(QStringLiteral(", ")));
}

QString GroupActionMakeFolders::displayString() const
{
    return platform::localizedString(filejobnames::kGroupActionMakeFolders);
}

void GroupActionMakeFolders::willPostToActionPipe()
{
    GroupActionFTPServices::willPostToActionPipe();
    createMakeFolderActions();
}
