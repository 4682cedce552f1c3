#include "phonejobs/GroupActionCopyFolderToMobile.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phonejobs/FileJobNames.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString copyToMobileParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

GroupActionCopyFolderToMobile::GroupActionCopyFolderToMobile(const QString& macFolder, const QString& phoneFolder,
                                                             std::shared_ptr<QVActionNotify> notify,
                                                             QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
    , _sourceMacPath(QDir::cleanPath(macFolder))
    , _destinationMobilePath(phoneFolder)
{
}

std::shared_ptr<GroupActionCopyFolderToMobile> GroupActionCopyFolderToMobile::actionWithSource(
    const QString& macFolder, const QString& phoneFolder, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<GroupActionCopyFolderToMobile>(macFolder, phoneFolder, std::move(notify),
                                                           std::move(userInfo));
}

QString GroupActionCopyFolderToMobile::description() const
{
    return filejobnames::kCopyFolderToMobileFormat.arg(_sourceMacPath, _destinationMobilePath);
}

QString GroupActionCopyFolderToMobile::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionCopyFileFolder, lastPathComponent(_sourceMacPath));
}

std::shared_ptr<DZDirectoryEntry> GroupActionCopyFolderToMobile::getEntry(const QString& phonePath) const
{
    DZDataManager* manager = dataManager();
    return manager ? manager->getEntry(phonePath) : nullptr;
}

std::shared_ptr<QVAction> GroupActionCopyFolderToMobile::actionToCreateDirectoryAtPath(const QString& phonePath)
{
    auto parent = getEntry(copyToMobileParentOf(phonePath));
    return parent ? parent->actionToMakeFolderWithName(lastPathComponent(phonePath), 2) : nullptr;
}

std::shared_ptr<QVAction> GroupActionCopyFolderToMobile::actionToCopyFileFrom(const QString& macFile,
                                                                              const QString& phonePath)
{
    auto parent = getEntry(copyToMobileParentOf(phonePath));
    return parent ? parent->actionCopyToMobileFromMacPath(macFile, nullptr, 4) : nullptr;
}

QString GroupActionCopyFolderToMobile::mobileForMacPath(const QString& macPath) const
{
    if (!macPath.startsWith(_sourceMacPath)) {
        QVLOG(qvlog::kXT, filejobnames::kMobileNotChildOfBaseFormat.arg(macPath, _sourceMacPath));
        return QString();
    }
    const QString relative = macPath.mid(copyToMobileParentOf(_sourceMacPath).size());
    return stringByConcatenatingPathComponents(_destinationMobilePath, relative);
}

void GroupActionCopyFolderToMobile::addCopyActions()
{
    addGroupAction(actionToCreateDirectoryAtPath(mobileForMacPath(_sourceMacPath)));
    // Parents before their contents; links are never followed into folders.
    QStringList folders{_sourceMacPath};
    while (!folders.isEmpty()) {
        const QString folder = folders.takeFirst();
        const QFileInfoList items = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& item : items) {
            const bool hidden = item.fileName().startsWith(QLatin1Char('.'));
            if (item.isSymLink() && item.isDir())
                continue;
            if (item.isDir()) {
                if (!hidden)
                    addGroupAction(actionToCreateDirectoryAtPath(mobileForMacPath(item.filePath())));
                folders.append(item.filePath());
            } else if (item.isFile() && !hidden) {
                addGroupAction(actionToCopyFileFrom(item.filePath(), mobileForMacPath(item.filePath())));
            }
        }
    }
}

int GroupActionCopyFolderToMobile::startAction()
{
    addCopyActions();
    return GroupActionFTPServices::startAction();
}

void GroupActionCopyFolderToMobile::endAction(int code)
{
    if (!hasEnded() && code == 0) {
        auto keepAlive = selfAction();
        const QString root = stringByConcatenatingPathComponents(_destinationMobilePath, lastPathComponent(_sourceMacPath));
        GroupActionFTPServices::endAction(code);
        if (auto entry = getEntry(root))
            entry->copyToMobileFinishedWithPriority(priority());
        return;
    }
    GroupActionFTPServices::endAction(code);
}
