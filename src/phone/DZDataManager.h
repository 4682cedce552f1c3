#pragma once

#include "links/FTPFile.h"
#include "phone/DZFileJobMakers.h"
#include "phone/DeviceDataManager.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QStringList>
#include <QVariantMap>

#include <array>
#include <memory>
#include <vector>

class DZDirectory;
class DZDirectoryEntry;
class MFDevice;
class QVAction;
class QVActionContainer;
class QVActionNotify;

// The model of one phone's data on the desktop side: the root of its file
// tree, its files mirror and organizer archive, a status per organizer type.
// It turns requests into jobs on the device's action machine, merges folder
// listings into the tree and announces every change through notifications
// posted when the event loop is idle (also while a modal dialog runs).
// Main thread only.
class DZDataManager : public DeviceDataManager {
public:
    using EntryPtr = std::shared_ptr<DZDirectoryEntry>;
    using DirPtr = std::shared_ptr<DZDirectory>;
    using Job = std::shared_ptr<QVAction>;
    static constexpr int kOrganizerTypes = 7;

    DZDataManager(MFDevice& device, DZFileJobMakers makers);
    ~DZDataManager() override;
    DZDataManager(const DZDataManager&) = delete;
    DZDataManager& operator=(const DZDataManager&) = delete;

    // DeviceDataManager
    void saveFinderState() override;
    void loadFinderState() override;
    FilesMirror* mirror() const override { return _mirror; }
    OrganizerArchive* archive() const override { return _archive; }
    bool hasChangesForSyncEngine(int organizerType) const override;
    OrganizerStorage* organizerStorage(int organizerType) const override;
    QString pathNameForSyncState(int organizerType) const override;
    QVSyncElemList* syncEngineList(int organizerType) const override;
    QVSyncElemList* createEmptySyncEngineList(int organizerType) override;
    std::optional<QVariantMap> deviceDataFileStorage(int organizerType) const override;
    void setMirror(FilesMirror* mirror) override;
    void setArchive(OrganizerArchive* archive) override { _archive = archive; }

    MFDevice* getMFDevice() const { return &_mfDevice; }
    const DZFileJobMakers& fileJobs() const { return _makers; }
    DirPtr root() const { return _directoryTreeRoot; }
    // "<app data>/TempData/<model>-<serial>/DataManager/index.plist"; the
    // folder is made when missing.
    QString finderStatePath() const;

    // The tree.
    EntryPtr getEntry(const QString& path) const;
    DirPtr getDirectory(const QString& path);
    EntryPtr getFile(const QString& path);
    bool doesPathExist(const QString& path) const { return bool(getEntry(path)); }
    void invalidateEntry(const QString& path);
    void makeAllFilesSpeculative();
    Job createFolders(const QStringList& paths);
    DirPtr addDirectoryFromDevice(const QString& path);
    EntryPtr addFile(const QString& path);
    void removeEntryFromDevice(const QString& path);
    // Merges a folder's listing into the tree (the folder becomes up to date).
    void updateDirectory(const QString& path, const FTPFileList& content);
    // path -> id (a number, or a dictionary with "UniqueID"): 0 a folder,
    // anything else a file.
    void parseFileSystemDescription(const QVariantMap& description);
    // A record of a file of the chosen snapshot; none without one.
    std::shared_ptr<FTPFile> ftpFileForUniqueID(long uniqueID, const QString& phonePath) const;
    QString mirrorFolderForEntry(const DZDirectoryEntry& entry) const;
    EntryPtr spekulativeEntryForPath(const QString& path, bool isDirectory);
    EntryPtr deepestKnownEntryForPath(const QString& path) const;
    // A history device's chosen snapshot: the tree is made from it anew.
    void rebuildFromSnapshot(const QVariantMap& fileSystem) override;

    // Jobs.
    Job postAction(const Job& job);
    Job postActionIfNeccessary(const Job& job);
    bool isActionAlreaddyPosted(const Job& job) const { return bool(postedActionEqualTo(job)); }
    Job postedActionEqualTo(const Job& job) const;
    std::shared_ptr<QVActionContainer> startBackup();
    std::shared_ptr<QVActionContainer> startSync();
    std::shared_ptr<QVActionContainer> startSyncRemote();
    // The backup's file group, not posted; none without a maker.
    Job actionToBackupMobileWithPriority(int priority);
    // The sync container with its folder waits, not started; none without a maker.
    std::shared_ptr<QVActionContainer> containerToSyncMobileWithPriority(int priority);
    Job updateOrganizerDataOfType(int type, int priority, bool forceSlowSync);
    // Throws platform::Exception "Database problem" for a type no job reads.
    Job actionToUpdateOrganizerDataOfType(int type, int priority, bool forceSlowSync);
    QString getUpdateOrganizerDefaultDescription(int type);
    bool doUseSyncMLForProperty(int type) const;

    // Organizer statuses (1 out of date, 2 being read, 3 up to date).
    OrganizerStorage* organizerDataOfType(int type) const { return organizerStorage(type); }
    int statusOfOrganizerType(int type) const;
    void setStatusForOrganizerType(int status, int type);
    void ifNeccessaryResetStatusForOrganizerType(int type);
    void didUpdateOrganizerDataOfType(int type);
    void updateOrganizerDataOfTypeFailed(int type, int error);

    // Notifications, delivered when the loop is idle, in order, none dropped.
    void postChangeNotificationForDirectoryEntry(const EntryPtr& entry);
    void postPercentUpdateNotificationForEntry(const EntryPtr& entry, float percent);
    void postChangeNotificationForOrganizerDataType(int type);
    void postNotification(const platform::Notification& notification);
    int pendingNotificationCount() const { return int(_pending.size()); }
    void listenForDirectoryEntryUpdateNotifications(const void* observer, platform::NotificationCenter::Handler handler);
    void stopListenForDirectoryEntryUpdateNotifications(const void* observer);
    void listenForPercentUpdateNotifications(const void* observer, platform::NotificationCenter::Handler handler,
                                             const DZDirectoryEntry* entry);
    void stopListeningForPercentUpdateNotifications(const void* observer, const DZDirectoryEntry* entry);
    void listenForOrganizerDataUpdateNotifications(const void* observer, platform::NotificationCenter::Handler handler);
    void stopListenForOrganizerDataUpdateNotifications(const void* observer);

private:
    void flushNotifications();
    // Reads the stored tree without recursion; none when it is damaged.
    DirPtr treeFromStoredRoot(const QVariant& stored, QString* why);

    MFDevice& _mfDevice;
    DZFileJobMakers _makers;
    DirPtr _directoryTreeRoot;
    FilesMirror* _mirror = nullptr;
    OrganizerArchive* _archive = nullptr;
    std::array<int, kOrganizerTypes> _organizerDataStatus;
    std::vector<platform::Notification> _pending;
    platform::Timer _idleTimer;
};
