#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <memory>
#include <optional>

class FilesMirror;
class MFDevice;
class OrganizerStorage;
class OrganizerStorageAdapter;
class QVCommandArray;
class QVSyncElemList;
class SynchronizationFeedbackConsumer;

// One phone's organizer data on the desktop: an item list per organizer type
// (0 contacts, 1 calendar, 2 notes, 3 bookmarks, 4 SMS; 5 events and 6 tasks
// only as names and empty slots), the working file "DeviceData" in the
// phone's temporary "Other Data" folder, the dated history of full and
// difference files in the mirror's "Other Data/History", and the sync states
// of the types synced with the desktop sync engine. A history device's
// archive shows its selected history file and writes nothing. Main thread
// only.
class OrganizerArchive {
public:
    static constexpr int kHeldTypes = 5;
    static constexpr int kTypes = 7;
    // A chain holds at most this many difference files before a full file,
    // and a difference file carries at most kMaxChangesToFullFile commands
    // counted since that full file.
    static constexpr long kMaxDiffFiles = 8;
    static constexpr long kMaxChangesToFullFile = 32;
    // The first read from the sync engine asks again this often while the
    // engine is busy, for at most kInitialReadLimit seconds.
    static constexpr double kInitialReadSlice = 0.25;
    static constexpr double kInitialReadLimit = 60.0;
    // writeOtherDataToFile: all types; any type above 4 writes no history.
    static constexpr int kAllTypes = -1;
    static constexpr int kNoBackup = 99999;

    static constexpr const char* kOtherDataFolder = "Other Data";
    static constexpr const char* kHistoryFolder = "History";
    static constexpr const char* kDeviceDataFile = "DeviceData";
    static constexpr const char* kSyncAnchorsFile = "SyncAnchors";
    static constexpr const char* kSyncStatePrefix = "SyncEngine-State-";
    static constexpr const char* kHistoryPrefix = "OrganizerData";
    static constexpr const char* kFileFormatKey = "FileFormat";
    static constexpr const char* kFullFormat = "1/Full";
    static constexpr const char* kDiffFormat = "1/Diff";
    static constexpr const char* kDiffFileKey = "Diff-File";
    static constexpr const char* kDiffIterationKey = "DiffFileIteration";
    static constexpr const char* kChangesToFullKey = "ChangesToFullFile";
    static constexpr const char* kSyncAnchorsKey = "SyncAnchors";
    static constexpr const char* kItemsKey = "Items";
    static constexpr const char* kSourceURIKey = "SourceURI";
    static constexpr const char* kVxDataKey = "vx-Data";
    static constexpr const char* kCommandKey = "Command";
    static constexpr const char* kRetrievingMessage = "Retrieving_SyncEngine";
    static constexpr const char* kNotifyMarkReadChanged = "OrganizerMarkReadChangedNotify";
    static constexpr const char* kNotifyNewSMS = "OrganizerReciveNewSMSNotify";
    static constexpr const char* kNotifyDatabaseSynced = "DZ-DatabaseSynced";

    // Opens the archive of the device, whose files mirror must exist, and
    // hands it to the device's data manager. feedback is the document's
    // busy sheet for the first read from the sync engine (null: that of the
    // device's document, when it has one).
    explicit OrganizerArchive(MFDevice& device, SynchronizationFeedbackConsumer* feedback = nullptr);
    static std::unique_ptr<OrganizerArchive> archiveWithDevice(MFDevice& device,
                                                               SynchronizationFeedbackConsumer* feedback = nullptr);
    // Saves the sync states and leaves the data manager.
    ~OrganizerArchive();
    OrganizerArchive(const OrganizerArchive&) = delete;
    OrganizerArchive& operator=(const OrganizerArchive&) = delete;

    MFDevice& mfDevice() const { return _mfDevice; }
    void reloadData();
    void checkForArchiveChanges();
    void setArchiveChanged() { _archivedChanged = true; }
    bool isArchiveChanged() const { return _archivedChanged; }

    // Stored dictionaries.
    static void deleteItemInDictionary(QVariantMap& storage, const QString& sourceURI);
    static void replaceItemInDictionary(QVariantMap& storage, const QString& sourceURI, const QVariant& vxData);

    // Paths.
    QString pathNameForSyncState(int type) const;
    QString pathNameForSyncAnchors() const;
    // A history device: its selected history file (empty while none is
    // selected); otherwise the working "DeviceData".
    QString pathNameForDeviceSyncData() const;
    const QString& fileName() const { return _fileName; }
    const QString& historyPath() const { return _otherDataHistoryPath; }
    const QString& workingPath() const { return _subTempPath; }

    // Reading (OrganizerArchiveRead.cpp).
    void readOtherData();
    void readOtherDataFromFile(const QString& path);

    // The history (OrganizerArchiveHistory.cpp).
    // The five storage dictionaries of a difference applied to its base
    // chain; none when a file of the chain is missing, unreadable, not a
    // history name, or the chain loops or runs longer than the files present.
    std::optional<QVariantMap> mergeDiffDict(const QVariantMap& diff, const QString& baseName) const;
    // The newest history file's name; empty without one.
    QString getLastHistoryFile() const;
    bool writeOtherDataToDiffFile();
    void writeOtherDataToFile(int type);
    long diffFileIteration() const { return _diffFileIteration; }
    long accumulatedChanges() const { return _accumulatedChanges; }
    bool hasBaseFile() const { return _hasBaseFile; }

    // Sync states (OrganizerArchiveSyncState.cpp).
    std::unique_ptr<QVSyncElemList> loadCurrentSyncState(int type) const;
    void saveCurrentSyncState(int type);
    void saveAllSyncStates();

    // Lists.
    void revertStorage(int type);
    std::optional<QVariantMap> deviceDataFileStorage(int type) const;
    bool isSomethingDirty(bool* canDiscard) const;
    QString whatIsDirty() const;
    void prepareSyncing(int type);
    void finalizeSyncing(int type, int error);
    void deleteAllInStorage(int type);
    static QString dbName(int type);
    static QString storageName(int type) { return dbName(type); }
    static int dbIndexForName(const QString& name);
    void createEmptyStorage(int type);
    QVSyncElemList* storage(int type) const;
    // The list of a type (0-4) as the device object reaches it; null without.
    OrganizerStorage* organizerStorage(int type) const;
    int elemCount(int type) const;
    int elemOnDeviceCount(int type) const;
    void removeAllOldObjects(int type);
    void addSyncCommands(QVCommandArray& commands, int type, bool isFast, int commandType);
    void removeItemFromCleanUpList(const QString& uri, int type);
    void importVCards(const QVariantList& texts, int type);

    // SMS (OrganizerArchiveSms.cpp).
    void handleNewSMS();
    void processSynchronization(const QVariantMap& syncInfo, int type, bool isFast = true);
    int getUnreadedSMS_Count() const;
    void enterSMS(const QVariant& records, int type);

private:
    void setList(int type, std::unique_ptr<QVSyncElemList> list);
    void clearLists();
    // A history device's archive writes nothing; the first refusal is logged.
    bool refuseWrite(const char* what);
    void takeCountersFromNewestHistoryFile();
    void readFromSyncEngine(const QList<int>& types);
    QString newHistoryPath() const;

    MFDevice& _mfDevice;
    SynchronizationFeedbackConsumer* _feedback;
    FilesMirror* _mirror = nullptr;
    QString _anchorPath;
    QString _otherDataPath;
    QString _otherDataHistoryPath;
    std::array<std::unique_ptr<QVSyncElemList>, kHeldTypes> _lastStorage;
    std::array<std::unique_ptr<QVSyncElemList>, kTypes> _storage;
    std::array<std::unique_ptr<OrganizerStorageAdapter>, kTypes> _adapters;
    QString _fileName;
    long _diffFileIteration = 0;
    bool _hasBaseFile = false;
    bool _archivedChanged = false;
    long _accumulatedChanges = 0;
    std::optional<QVariantMap> _deviceData;
    QString _subTempPath;
    bool _readingFromEngine = false;
    bool _refusalLogged = false;
};
