#include "phonejobs/GroupActionBackupPhone.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "links/FTPFile.h"
#include "phone/BackupRules.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/WaitForFoldersWithMinimumWaitingTimePreprocessor.h"

#include <vector>

GroupActionBackupPhone::GroupActionBackupPhone(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
{
}

GroupActionBackupPhone::~GroupActionBackupPhone() = default;

void GroupActionBackupPhone::fileSystemBecameValid()
{
    if (MFDevice* device = getActionDevice())
        device->setFileSystemValid();
    DZDataManager* manager = dataManager();
    if (FilesMirror* mirror = manager ? manager->mirror() : nullptr)
        mirror->setFileSystemValid();
}

void GroupActionBackupPhone::backupBecameComplete()
{
    if (MFDevice* device = getActionDevice())
        device->setBackupComplete(true);
    DZDataManager* manager = dataManager();
    if (FilesMirror* mirror = manager ? manager->mirror() : nullptr) {
        mirror->writeDeviceDictToArchive();
        mirror->save();
    }
}

void GroupActionBackupPhone::addCopyActionForFile(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    DZDataManager* manager = dataManager();
    if (!entry || !manager || entry->hasMirrorFile())
        return;
    const QString folder = manager->mirrorFolderForEntry(*entry);
    if (folder.isEmpty()) {
        QVLOG(qvlog::kXT, containernames::kUnsafeBackupNameFormat.arg(entry->fullExternalPath()));
        return;
    }
    auto job = entry->actionCopyToMacDirectory(folder, containernames::kBackupCopyPriority);
    if (job && addGroupAction(job))
        ++_copiesAdded;
}

bool GroupActionBackupPhone::shouldBackupFile(DZDirectoryEntry& entry) const
{
    MFDevice* device = getActionDevice();
    if (!device || !device->devInfo() || !device->devInfo()->wantsBackup())
        return false;
    return device->wantsToBackup(PhoneFileEntry::of(*entry.ftpFile()));
}

void GroupActionBackupPhone::forEachFileBelow(
    const std::shared_ptr<DZDirectoryEntry>& entry,
    const std::function<void(const std::shared_ptr<DZDirectoryEntry>&)>& visit) const
{
    if (!entry)
        return;
    // Walked without recursion: a tree from a phone may be deep.
    std::vector<std::shared_ptr<DZDirectoryEntry>> pending{entry};
    while (!pending.empty()) {
        const std::shared_ptr<DZDirectoryEntry> here = std::move(pending.back());
        pending.pop_back();
        if (here->isFile()) {
            visit(here);
            continue;
        }
        const QList<std::shared_ptr<DZDirectoryEntry>> children = here->entriesNoUpdate();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            pending.push_back(*it);
    }
}

unsigned GroupActionBackupPhone::countPreviewOfFiles(const std::shared_ptr<DZDirectoryEntry>& entry) const
{
    unsigned count = 0;
    forEachFileBelow(entry, [&](const std::shared_ptr<DZDirectoryEntry>& file) {
        if (shouldBackupFile(*file))
            ++count;
    });
    return count;
}

unsigned GroupActionBackupPhone::previewCount() const
{
    // Once the copies are made they are the count.
    if (groupPipe() || _copiesAdded > 0)
        return GroupActionFTPServices::previewCount();
    DZDataManager* manager = dataManager();
    return manager ? countPreviewOfFiles(manager->getEntry(QStringLiteral("/"))) : 0;
}

void GroupActionBackupPhone::addCopyActionsForEntry(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    forEachFileBelow(entry, [&](const std::shared_ptr<DZDirectoryEntry>& file) {
        if (shouldBackupFile(*file))
            addCopyActionForFile(file);
    });
}

QString GroupActionBackupPhone::displayString() const
{
    if (isCancelled())
        return platform::localizedString(containernames::kBackingUpCancel);
    switch (feedBackStatus()) {
    case feedbackstatus::kParked:
        return platform::localizedString(containernames::kBackingUpPrepare);
    case feedbackstatus::kRunning:
        return platform::localizedString(containernames::kBackingUp);
    default:
        return platform::localizedString(containernames::kBackingUpIdle);
    }
}

QString GroupActionBackupPhone::description() const
{
    return containernames::kGroupActionBackupPhone;
}

void GroupActionBackupPhone::willPostToActionPipe()
{
    if (!_preprocessAction) {
        auto wait = WaitForFoldersWithMinimumWaitingTimePreprocessor::preprocessorWithPath(
            QStringLiteral("/"), containernames::kBackupMinimumWait);
        wait->setWaitingTimeAfterFinish(containernames::kBackupWaitAfterListing);
        // A folder the phone would not list cannot be copied: it is named
        // with the files that failed.
        wait->setUnlistedFolders(_errorDescriptions);
        setPreprocessAction(wait);
    }
    GroupActionFTPServices::willPostToActionPipe();
}

void GroupActionBackupPhone::endAction(QVAction& action, int err)
{
    if (err != 0 && err != jobcodes::kNothingToDo && err != jobcodes::kSuspended && _errorDescriptions) {
        QString text = action.feedBackErrorString();
        // The neutral text of a job that has none of its own says nothing.
        if (text == jobnames::kDefaultErrorString)
            text.clear();
        if (text.isEmpty()) {
            const QString head = action.displayString();
            const QString sub = action.displaySubString();
            text = !head.isEmpty() && !sub.isEmpty() ? containernames::kFailedCopyFormat.arg(head, sub) : head;
        }
        if (!text.isEmpty())
            _errorDescriptions->append(text);
    }
    GroupActionFTPServices::endAction(action, err);
}

int GroupActionBackupPhone::startAction()
{
    if (wasSuspended())
        return GroupActionFTPServices::startAction();
    fileSystemBecameValid();
    if (DZDataManager* manager = dataManager())
        addCopyActionsForEntry(manager->getEntry(QStringLiteral("/")));
    return GroupActionFTPServices::startAction();
}

void GroupActionBackupPhone::endAction(int code)
{
    auto keepAlive = selfAction();
    if (!hasEnded() && code == 0)
        backupBecameComplete();
    GroupActionFTPServices::endAction(code);
}
