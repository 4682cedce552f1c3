#pragma once

#include "jobs/QVPreprocessAction.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class DZDataManager;
class DZDirectoryEntry;
class QVAction;

// Holds its job back until the phone's file tree below a path is listed and
// settled: every 0.34 s it looks at the tree (listing what is out of date)
// and ends with 0 once nothing below the path is being listed, with
// 0xE00002F0 when the path does not exist, with 0 at once for a file, and
// with 0xAC004 when its job was cancelled. A wait never has more than one
// listing of its own queued, and on a device that can list nothing (no
// file-transfer connection, or a listing no pipe takes) the folders count as
// settled: nothing is posted again. A folder whose listing fails three times
// in a row counts as settled too.
class WaitForFoldersPreprocessor : public QVPreprocessAction {
public:
    WaitForFoldersPreprocessor();
    explicit WaitForFoldersPreprocessor(const QString& pathOnMobile);
    ~WaitForFoldersPreprocessor() override;

    // None for an empty path.
    static std::shared_ptr<WaitForFoldersPreprocessor> allocWaitForFoldersPreprocessor(const QString& pathOnMobile);

    const QString& pathOnMobile() const { return _pathOnMobile; }
    int startPreprocess() override;
    // 0 settled, 0xE00002D5 still listing, anything else the wait's end code.
    virtual int pathIsUpToDate(const std::shared_ptr<DZDirectoryEntry>& entry);
    virtual void endWithStatus(int status);
    // One tick of the repeating timer.
    virtual void waitForFoldersPreprocessorIdle();
    // The sync settings switched the sync engine off; the base ignores it.
    virtual void syncManagerSwitchedOff() {}
    // true while the step holds its job back.
    bool isWaiting() const { return bool(_parentAction); }
    // Listings this wait posted (each one ended before the next).
    int listingsPosted() const { return _listingsPosted; }
    // Where the paths of folders given up after failed listings are added
    // (the backup's error list); none by default.
    void setUnlistedFolders(std::shared_ptr<QStringList> list) { _unlistedFolders = std::move(list); }

    // The cancel of a container: every member still held back by a folder
    // wait ends at once with 0xAC004 instead of on the wait's next tick.
    static void endWaitsOfCancelledJobs(const QList<std::shared_ptr<QVAction>>& jobs);

protected:
    DZDataManager* dataManager() const;
    void stopCheckTimer() { _checkTimer.stop(); }
    // true (and the wait stopped) when its job has ended or left its pipe.
    bool dropEndedJob();

    platform::Timer _checkTimer;
    QString _pathOnMobile;

private:
    // One folder's own state, without its sub-folders.
    int folderStatus(DZDirectoryEntry& folder);
    bool canList() const;

    MFDevice* _device = nullptr;
    // Listings of one folder that may fail in a row before it counts as settled.
    static constexpr int kMaxListingTries = 3;

    std::weak_ptr<QVAction> _listing;
    QString _lastListedPath;
    int _failedListings = 0;
    QSet<QString> _givenUpFolders;
    std::shared_ptr<QStringList> _unlistedFolders;
    int _listingsPosted = 0;
    bool _listingRefused = false;
};
