#include "phonejobs/WaitForFoldersPreprocessor.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "jobs/QVAction.h"
#include "phone/BackupRules.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phone/DZTreeNames.h"
#include "phone/MFDevice.h"
#include "phonejobs/SyncContainerNames.h"

#include <vector>

WaitForFoldersPreprocessor::WaitForFoldersPreprocessor()
    : WaitForFoldersPreprocessor(QString())
{
}

WaitForFoldersPreprocessor::WaitForFoldersPreprocessor(const QString& pathOnMobile)
    : _checkTimer([this] { waitForFoldersPreprocessorIdle(); })
    , _pathOnMobile(pathOnMobile)
{
    platform::NotificationCenter::defaultCenter().addObserver(
        this, containernames::kSyncSwitchedOffNotification, nullptr,
        [this](const platform::Notification&) { syncManagerSwitchedOff(); });
}

WaitForFoldersPreprocessor::~WaitForFoldersPreprocessor()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    _checkTimer.stop();
}

std::shared_ptr<WaitForFoldersPreprocessor>
WaitForFoldersPreprocessor::allocWaitForFoldersPreprocessor(const QString& pathOnMobile)
{
    if (pathOnMobile.isEmpty())
        return nullptr;
    return std::make_shared<WaitForFoldersPreprocessor>(pathOnMobile);
}

DZDataManager* WaitForFoldersPreprocessor::dataManager() const
{
    return _device ? dynamic_cast<DZDataManager*>(_device->dataManager()) : nullptr;
}

bool WaitForFoldersPreprocessor::canList() const
{
    return _device && _device->canDoFileSystemServices() && !_listingRefused;
}

int WaitForFoldersPreprocessor::startPreprocess()
{
    _device = getActionDevice();
    if (canList()) {
        if (DZDataManager* manager = dataManager())
            manager->getDirectory(_pathOnMobile);
    } else {
        QVLOG(qvlog::kXT, containernames::kNoListingPossibleFormat.arg(_pathOnMobile, QStringLiteral("no file transfer")));
    }
    _checkTimer.start(containernames::kFolderWaitTick, true);
    return 0;
}

int WaitForFoldersPreprocessor::folderStatus(DZDirectoryEntry& folder)
{
    switch (folder.status()) {
    case dztree::kOutOfDate: {
        if (!canList())
            return 0;
        // The listing this wait asked for is still on its way: one at a time.
        if (auto asked = _listing.lock(); asked && !asked->hasEnded())
            return containernames::kStillListing;
        const QString path = folder.fullExternalPath();
        if (_givenUpFolders.contains(path))
            return 0;
        // The last listing of this folder ended and left it out of date: it
        // failed. A folder the phone will not list must not hold the job
        // for ever; after a few tries it counts as settled as it is.
        if (path == _lastListedPath && ++_failedListings >= kMaxListingTries) {
            _givenUpFolders.insert(path);
            _lastListedPath.clear();
            if (_unlistedFolders && !_unlistedFolders->contains(path))
                _unlistedFolders->append(path);
            QVLOG(qvlog::kXT, containernames::kNoListingPossibleFormat.arg(path, QStringLiteral("listing failed")));
            return 0;
        }
        if (path != _lastListedPath)
            _failedListings = 0;
        auto job = folder.updateWithPriority(containernames::kOutdatedFolderListingPriority);
        if (!job || job->hasEnded()) {
            // No pipe took it (it ended at once as not connected): no
            // listing will ever come, so the tree is as settled as it gets.
            _listingRefused = true;
            QVLOG(qvlog::kXT, containernames::kNoListingPossibleFormat.arg(folder.fullExternalPath(),
                                                                          QStringLiteral("listing refused")));
            return 0;
        }
        _listing = job;
        _lastListedPath = path;
        ++_listingsPosted;
        return containernames::kStillListing;
    }
    case dztree::kUpdating:
        return canList() ? containernames::kStillListing : 0;
    default:
        return 0;
    }
}

int WaitForFoldersPreprocessor::pathIsUpToDate(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    if (!entry)
        return containernames::kIOReturnNotFound;
    // Walked without recursion: a tree from a phone may be deep.
    std::vector<std::shared_ptr<DZDirectoryEntry>> pending{entry};
    while (!pending.empty()) {
        const std::shared_ptr<DZDirectoryEntry> folder = std::move(pending.back());
        pending.pop_back();
        if (!folder->isDirectory() || !BackupRules::canBackupDZDirectory(folder->name()))
            continue;
        if (const int status = folderStatus(*folder); status != 0)
            return status;
        const QList<std::shared_ptr<DZDirectoryEntry>> children = folder->entriesNoUpdate();
        for (auto it = children.crbegin(); it != children.crend(); ++it) {
            if ((*it)->isDirectory())
                pending.push_back(*it);
        }
    }
    return 0;
}

void WaitForFoldersPreprocessor::endWithStatus(int status)
{
    auto keepJob = _parentAction;
    _checkTimer.stop();
    if (keepJob)
        endPreprocess(status);
}

bool WaitForFoldersPreprocessor::dropEndedJob()
{
    // A job ended by someone else (a killed queue, a machine that quit) or
    // no longer in a pipe (its device is gone): the wait stops and lets go
    // of it, touching neither the job's device nor its tree.
    if (_parentAction && !_parentAction->hasEnded() && _parentAction->privateActionData())
        return false;
    // The job may hold the last reference to this wait: let go of it only
    // after the wait's own fields are cleared.
    _checkTimer.stop();
    _device = nullptr;
    auto lastHold = std::move(_parentAction);
    _parentAction = nullptr;
    return true;
}

void WaitForFoldersPreprocessor::waitForFoldersPreprocessorIdle()
{
    // The job owns this step: holding the job keeps both alive to the end.
    auto keepJob = _parentAction;
    if (dropEndedJob())
        return;
    if (!preprocessed(-1.0f)) {
        endWithStatus(jobcodes::kCancelled);
        return;
    }
    if (!_parentAction)
        return;
    DZDataManager* manager = dataManager();
    const auto entry = manager ? manager->getEntry(_pathOnMobile) : nullptr;
    if (entry && entry->isFile()) {
        endWithStatus(0);
        return;
    }
    const int status = pathIsUpToDate(entry);
    if (status != containernames::kStillListing)
        endWithStatus(status);
}

void WaitForFoldersPreprocessor::endWaitsOfCancelledJobs(const QList<std::shared_ptr<QVAction>>& jobs)
{
    for (const auto& job : jobs) {
        auto wait = std::dynamic_pointer_cast<WaitForFoldersPreprocessor>(job ? job->preprocessAction() : nullptr);
        if (wait && wait->isWaiting() && job->isCancelled())
            wait->endWithStatus(jobcodes::kCancelled);
    }
}
