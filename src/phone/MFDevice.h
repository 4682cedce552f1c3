#pragma once

#include "device/MFDeviceInfoOwner.h"
#include "links/FTPFileOwner.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/QVDeviceCallbackDelegate.h"
#include "phone/MirrorOwner.h"
#include "platform/Clock.h"
#include "syncmodel/ItemListDevice.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class DZDeviceConnection;
class DeviceDataManager;
class DeviceDocument;
class DeviceGUINotificator;
class FileTransferConnection;
class FilesMirror;
class MFDeviceInfo;
class OrganizerArchive;
class BackupRules;
class PhoneFolderRules;
class PhoneFolders;
class QVAction;
class QVActionMachine;
class QVDeviceCallback;
class QVEmbeddedCallback;
class QVSessionUser;
class QVSyncDeviceDescription;
class SharedSyncInfo;
class DeviceSyncEngineHandler;
class SyncEnvironment;
class SyncEnvironmentRules;

// The in-memory model of one phone while a window shows it: its settings,
// the sync description of its model, the connections that serve its services
// with their registrations, and the job engine whose pipes follow those
// registrations. Jobs never open a link themselves: they name a service and
// ask the device to open, test or close the connection behind it. Its item
// lists reach it as their ItemListDevice. Main thread only.
class MFDevice : public MFDeviceLinkOwner,
                 public MFDeviceInfoOwner,
                 public QVDeviceCallbackDelegate,
                 public MirrorOwner,
                 public FTPFileOwner,
                 public ItemListDevice {
public:
    // Connection types.
    static constexpr const char* kBluetooth = "Bluetooth";
    static constexpr const char* kUSBSerial = "USB-Serial";
    static constexpr const char* kUSBMassStorage = "USB-MassStorage";
    static constexpr const char* kVirtual = "Virtual";
    static constexpr const char* kHistory = "History";

    // Service names (also the action types of the jobs that need them).
    static constexpr const char* kServiceFTP = "FTP";
    static constexpr const char* kServicePush = "Push";
    static constexpr const char* kServicePCSuite = "PCSuite";
    static constexpr const char* kServiceSyncML = "SyncML/IrMC";
    static constexpr const char* kServiceSerial = "Serial";
    static constexpr const char* kServiceSMSKitAsync = "SMSKitAsync";
    static constexpr const char* kServiceMotoContacts = "MotoContacts";
    static constexpr const char* kServiceMotoEvents = "MotoEvents";
    static constexpr const char* kServiceSamsungATItems = "SamsungATItems";
    static constexpr const char* kServiceLGContacts = "LGContacts";
    static constexpr const char* kServiceLGEvents = "LGEvents";

    // Notifications the device observes from anyone: the sync-engine
    // bridge's, and the application's becoming active or resigning it.
    static constexpr const char* kNotifySyncEngineActive = "SyncEngineActive";
    static constexpr const char* kNotifyAppDidBecomeActive = "NSApplicationDidBecomeActiveNotification";
    static constexpr const char* kNotifyAppWillResignActive = "NSApplicationWillResignActiveNotification";

    // Result codes of requestService().
    static constexpr int kServiceAlreadyOpen = 0;
    static constexpr int kServiceOpening = 1;
    static constexpr int kServiceExclusive = 2;
    static constexpr int kServiceUnavailable = 3;
    static constexpr int kServiceNoSerialDevice = 4;

    static constexpr double kHeartBeatInterval = 0.5;
    static constexpr double kSyncEngineInterval = 60.0;
    static constexpr double kWaitSlice = 0.1;
    static constexpr int kReleaseWaitPasses = 100;
    static constexpr int kQuitSyncEngineWaitPasses = 99;
    static constexpr int kTeardownHandlerWaitPasses = 30;
    static constexpr double kServerSyncMLCloseDelay = 3.0;

    // Makers of what this folder does not build: the connections of the
    // slots whose classes live elsewhere, the sync-engine handler, the data
    // manager with its GUI notifier, the rules of the sync environment and of
    // the phone's folders, the shared sync-engine information and the busy
    // overlay of the front device window, and the Bluetooth availability
    // test. An empty maker leaves its slot empty (the rules: none apply),
    // except for the SyncML, object-push and OBEX file-transfer slots,
    // which then get the device's own OBEX connections.
    using ConnectionMaker = std::function<std::unique_ptr<DZDeviceConnection>(MFDevice&, const QVariantMap& dict)>;
    using FileTransferMaker =
        std::function<std::unique_ptr<FileTransferConnection>(MFDevice&, const QVariantMap& dict)>;
    struct Makers {
        ConnectionMaker syncML;            // "SyncML/IrMC" (IrMC form for an IrMC protocol class)
        ConnectionMaker objectPush;        // "Push", for a Bluetooth phone with an Object Push channel
        FileTransferMaker obexFTP;         // "FTP" over OBEX, when the model supports OBEX files
        FileTransferMaker massStorageFTP;  // "FTP" on the mounted volume of a "USB-MassStorage" phone
        ConnectionMaker tarnex;            // the Samsung AT connection
        std::function<std::unique_ptr<DeviceSyncEngineHandler>(MFDevice&)> syncEngineHandler;
        std::function<bool(const QVariantMap& dict)> bluetoothAvailable;   // default isBTConnectionAvailable
        std::function<std::unique_ptr<DeviceDataManager>(MFDevice&)> dataManager;
        std::function<std::unique_ptr<DeviceGUINotificator>(DeviceDataManager&)> guiNotificator;
        std::function<std::unique_ptr<SyncEnvironmentRules>(MFDevice&)> syncEnvironment;
        std::function<std::unique_ptr<PhoneFolderRules>(MFDevice&)> phoneFolders;
        std::function<SharedSyncInfo*()> generalSyncInfo;   // null until the application made it
        std::function<void(int percent)> busyProgress;      // the opening phone's busy overlay
        // The job that lists a phone folder, ending its callback with the
        // entries (the root listing); the device window's media formats by
        // name ("AllowedAudioInputFormats": suffixes separated by "/").
        std::function<std::shared_ptr<QVAction>(MFDevice&, const QString& path, std::shared_ptr<QVDeviceCallback>)>
            directoryListing;
        std::function<QString(const QString& name)> mediaFormats;
        // The shared trash manager's deleteAllURIs (the phone deleted all
        // its organizer data).
        std::function<void()> deleteAllTrashURIs;
    };
    // The three sync environments: main (in force), work (being edited),
    // user (as the user last saw it); the item lists edit them in place.
    using SyncEnvironments = SyncEnvironmentSet;
    static void setDefaultMakers(Makers makers);

    // The row is the shared device database's row of the dictionary's
    // "Common.qvDeviceID"; the description that of the row's sync protocol.
    // isNewDevice (may be null) is set false when a new phone turns out to
    // be a known one under a new serial number.
    MFDevice(const QString& connType, std::shared_ptr<QVariantMap> deviceDict, bool* isNewDevice = nullptr);
    // With a model row and a description the caller already has (a null
    // description: that of the row's sync protocol).
    MFDevice(const QString& connType, std::shared_ptr<QVariantMap> deviceDict, QVariantMap deviceDBEntry,
             std::shared_ptr<QVSyncDeviceDescription> description, Makers makers, bool* isNewDevice = nullptr);
    ~MFDevice() override;
    MFDevice(const MFDevice&) = delete;
    MFDevice& operator=(const MFDevice&) = delete;

    // The test of step "registration": the phone of "BT.BT_Address" is known,
    // paired, offers the PC-suite or OBEX FTP channel and its baseband
    // connection opens. Blocks the main thread about 0.2 s.
    static bool isBTConnectionAvailable(const QVariantMap& dict);

    // MFDeviceLinkOwner, MFDeviceInfoOwner
    MFDevice* linkDevice() override { return this; }
    const MFDeviceInfo* linkDeviceInfo() const override { return _devInfo.get(); }
    QString connType() const override { return _connType; }
    void registerConnection(const QString& name, const QVariantMap& specification) override;
    QString dbName(int organizerType) const override;

    MFDeviceInfo* devInfo() const { return _devInfo.get(); }
    DeviceDataManager* dataManager() const { return _dataManager.get(); }
    DeviceGUINotificator* dataGUIManager() const { return _dataGUIManager.get(); }
    FilesMirror* mirror() const;
    OrganizerArchive* archive() const;
    DeviceDocument* document() const { return _document; }
    void setDocument(DeviceDocument* document) { _document = document; }
    const std::shared_ptr<QVSyncDeviceDescription>& syncDescription() const { return _syncDescription; }
    std::shared_ptr<QVariantMap> mDeviceDict() const;
    bool isHistory() const override { return _isHistory; }
    bool isAboutToQuit() const { return _aboutToQuit; }
    QString getDeviceName() const;
    bool isIdenticalTo(const QString& serialNumber) const;
    bool usesMotorolaATConnections() const;
    bool usesSamsungATConnections() const;
    bool usesLGATConnections() const;
    bool usesAnyATConnections() const;
    // The description's protocol name, and whether it carries SMS over SyncML.
    QString syncProtocol() const;
    bool usesSyncMLForSMS() const;
    bool canProcessDB(int organizerType) const;
    // Asks the FTP connection; "" without one.
    QString getConnectionType() const;
    // SMS over the serial link: the model sends SMS (or syncs them) and not
    // over SyncML; Nokia protocols always use the serial channel.
    bool usesDUNForSMS() const;
    bool useDUNSMSChannel() const;
    bool isInBackupMode() const { return _inBackupMode; }
    void setInBackupMode(bool on) { _inBackupMode = on; }
    bool wantsBackupNow() const override;
    // The phone's volumes as the FTP connection names them at start.
    bool hasInternalMemory() const override { return _hasInternalMemory; }
    bool hasMemoryCard() const override { return _hasMemoryCard; }
    const QVariantMap& syncAnchors() const { return _syncAnchors; }
    long highestUsedContactRefNum() const { return _highestUsedContactRefNum; }

    float pauseAfterAnyAction() const { return _pauseAfterAnyAction; }
    float pauseAfterAnyFTPAction() const { return _pauseAfterAnyFTPAction; }
    float pauseAfterNormalClose() const { return _pauseAfterNormalClose; }
    float pauseAfterSyncMLClose() const { return _pauseAfterSyncMLClose; }

    // The slots.
    FileTransferConnection* ftpConnection() const { return _ftpConnection.get(); }
    DZDeviceConnection* objectPushConnection() const { return _objectPushConnection.get(); }
    DZDeviceConnection* nokiaPCSuitePushConnection() const { return _nokiaPCSuitePushConnection.get(); }
    DZDeviceConnection* syncMLConnection() const { return _syncMLConnection.get(); }
    DZDeviceConnection* dunConnection() const { return _dunConnection.get(); }
    DZDeviceConnection* smsKitAsyncConnection() const { return _smsKitAsyncConnection.get(); }
    DZDeviceConnection* motoContactsConnection() const { return _motoContactsConnection.get(); }
    DZDeviceConnection* motoEventsConnection() const { return _motoEventsConnection.get(); }
    DZDeviceConnection* tarnexConnection() const { return _tarnexConnection.get(); }
    // The PC-suite push slot is filled by whoever supplies that connection.
    void setNokiaPCSuitePushConnection(std::unique_ptr<DZDeviceConnection> connection);

    bool hasFTPServices() const;
    // What the phone can do at all: file transfer, organizer sync over the
    // serial or SyncML link, any organizer service.
    bool canDoFileSystemServices() const { return bool(_ftpConnection); }
    bool canDoSerialSyncServices() const;
    bool canDoAnyOrganizerServices() const;
    bool hasUSBConnection() const;
    bool hasBluetoothConnection() const;
    // Motorola protocols keep calendar entries of two weeks back only.
    bool calendarDatesRestrictedTo2Weeks() const;
    // A backup of the phone of deviceDict (settings) may be restored here.
    bool canMigrateRestoreTo(const QVariantMap& deviceDict) const;
    int performSDPQueryOnDevice() const { return 0; }
    // "DZ-DatabaseSynced" and "DeviceDirtyChanged_Notify" with the device.
    void setFileSystemValid();
    void setBackupComplete(bool complete);
    bool isBackupComplete() const { return _backupComplete; }
    void postDeviceDirtyChangedNotify();
    void setModeTeachIn(int mode);
    int modeTeachIn() const { return _modeTeachIn; }
    bool hasSyncMLServices() const;
    bool hasDUNServices() const { return bool(_dunConnection); }
    bool hasPushServices() const;
    bool hasPushServicesPCSuite() const { return bool(_nokiaPCSuitePushConnection); }
    bool hasSMSKitAsyncConnection() const { return bool(_smsKitAsyncConnection); }
    bool hasMotoContactsConnection() const { return bool(_motoContactsConnection); }
    bool hasMotoEventsConnection() const { return bool(_motoEventsConnection); }

    const QVariantMap& connectionInfo() const { return _connectionInfo; }
    bool btFTPRegistered() const { return _btFTPregistered; }
    bool btNokiaPCSuitePushRegistered() const { return _btNokiaPCSuitePushRegistered; }
    bool btSerialPortRegistered() const { return _btSerialPortRegistered; }
    bool usbSerialPortRegistered() const { return _usbSerialPortRegistered; }
    bool usbMassStorageRegistered() const { return _usbMassStorageRegistered; }

    // Services.
    bool isConnectionOpen(const QString& name) const;
    bool isConnectionInProgress(const QString& name) const;
    bool hasService(const QString& name) const;
    int requestService(const QString& name, const std::shared_ptr<QVDeviceCallback>& callback);
    int requestConnectionClose(const QString& name, const std::shared_ptr<QVDeviceCallback>& callback);
    int requestPushServicesPCSuite(const std::shared_ptr<QVDeviceCallback>& callback);

    // The callback pool: callbacks the device started that have not ended.
    void rememberCallback(const std::shared_ptr<QVDeviceCallback>& callback);
    int callbackPoolCount() const { return int(_callbackPool.size()); }
    bool qvDeviceCallbackProgress(QVDeviceCallback& callback) override;
    void qvDeviceCallbackFinished(QVDeviceCallback& callback) override;

    // SyncML session hand-out. A session object is made by the sync-session
    // layer through the maker; without one no session is handed out and the
    // claim is given back at once.
    // The notifier is the job that runs the session; the session reports to it.
    // The session handed out is a QVBaseSession (the sync layer's).
    using SyncSessionMaker = std::function<std::shared_ptr<void>(DZDeviceConnection& syncML, QVSessionUser* notifier)>;
    static void setServerSyncSessionMaker(SyncSessionMaker maker);
    std::shared_ptr<void> requestSyncSession(QVSessionUser* notifier);
    bool isSyncMLActive() const { return _isSyncMLActive; }
    // The OBEX state of a SyncML connection made by a test's maker (the
    // device's own SyncML connection answers for itself).
    struct SyncMLState {
        std::function<bool()> hasObexConnection;
        std::function<bool()> isServer;
    };
    void setSyncMLState(SyncMLState state) { _syncMLState = std::move(state); }
    void releaseSyncSession(std::shared_ptr<void> session, const std::shared_ptr<QVDeviceCallback>& callback);
    bool syncMLHasObexConnection() const;
    bool syncMLIsServer() const;

    // No job starts before this time.
    double delayUntilTime() const;
    void waitForTime(double seconds);

    void setInRemoveFromDevList() { _inRemoveFromDevList = true; }
    bool isInRemoveFromDevList() const { return _inRemoveFromDevList; }
    void registerUSBMassStorageDevice(const QVariantMap& dict);

    // The job engine.
    QVActionMachine* actionMachine() const { return _actionMachine.get(); }
    bool addAction(const std::shared_ptr<QVAction>& action);

    // Shutdown.
    void closeAllConnections();
    void releaseAllConnections();
    void announceQuit();
    int openConnectionsForCloseCount() const { return _openConnectionsForCloseCount; }

    // Heart beat and USB presence.
    void startHeartBeat();
    bool isHeartBeatRunning() const;
    // A "USB-Serial" device hears of USB devices coming and going from the
    // registry; a modem that went is reported as
    // "kNotifyMobileDeviceDisconnected".
    bool checkUSBAvailability();
    void deviceAdded(const QString& service);
    void deviceRemoved();

    // Battery and SMS stamps. The pair is (power state, level).
    void setLastBatteryValue(std::pair<unsigned, unsigned> value);
    int lastBatteryValue() const;
    bool batteryIsPowerPluged() const { return _lastBatteryValue.first == 1; }
    void batteryChecked();
    double lastBatteryCheck() const { return _lastBatteryCheck; }
    void smsSynced();
    double lastSMSSync() const { return _lastSMSSync; }
    bool shouldCheckBattery() const { return false; }
    bool shouldSMSSync() const { return false; }

    // The sync environment and its decisions (see SyncEnvironment).
    SyncEnvironment& syncEnvironment() const { return *_environment; }
    // The phone's own environments (never null).
    SyncEnvironments* syncEnvironments() override { return &_syncEnvironments; }
    const SyncEnvironments* syncEnvironments() const { return &_syncEnvironments; }
    // The application's shared sync-engine information; null before it exists.
    SharedSyncInfo* generalSyncInfo() const;
    bool setupSyncEvironment();
    bool wantsToUseSyncEngineAtAll() const;
    bool wantsToUseSyncEngineForProperty(int organizerType) const;
    bool wantsSyncChangesFromDevice(int organizerType) const;
    bool wasDatabaseSynced(int organizerType) const;
    bool wantsToBackupOrganizerType(int organizerType) const;
    // The phone's folders, volumes and capabilities, and what its backup
    // takes in.
    PhoneFolders& phoneFolders() const { return *_folders; }
    BackupRules& backupRules() const { return *_backup; }
    bool updateCapabilities();
    void checkIfMirrorMustBeRenamed();
    void preProcessDevice();

    // Sync engine: the handler, its timer and trickle requests.
    DeviceSyncEngineHandler* syncEngineHandler() const { return _syncEngineHandler.get(); }
    void makeSyncEngineHandler();
    // Tells the handler to quit; it lets go through syncEngineNoLongerBusy.
    void destructSyncEngineHandler();
    void killSyncEngine();
    void syncEngineNoLongerBusy();
    // The claim of a sync-engine communication: refused while a SyncML
    // session is out or another communication runs.
    bool requestSyncEngineCommunication();
    void finishedSyncEngineCommunication() { _isSyncEngineActive = false; }
    bool isSyncEngineActive() const { return _isSyncEngineActive; }
    void setSyncEngineActive(bool active) { _isSyncEngineActive = active; }
    void startTimer();
    void stopTimer();
    bool isSyncEngineTimerRunning() const;
    double syncEngineTimerFireTime() const;
    void useSyncEngineTime();
    void trickleSoon(int organizerType);
    bool mustTrickle(int organizerType) const;
    void setMustTrickle(int organizerType);
    // Hands the archive's pending sync-engine changes to the handler: the one
    // type that has some, or all (-1) when several have.
    void cleanUpChangesForSyncEngine();
    // The application's activity: notes and bookmarks synced with the engine
    // are trickled when it becomes active; pending phone-side changes when it
    // resigns.
    void appHasBecomeActive();
    void appWillBecomeInactive();
    // The three sync environments, stored into the settings at teardown.
    void setSyncEnvironments(std::optional<QVariantMap> main, std::optional<QVariantMap> work,
                             std::optional<QVariantMap> user);

    // Sync anchors: the last sync times per organizer type (0-4), on the
    // phone's side and on the program's.
    void setSyncAnchors(const std::optional<QVariantMap>& anchors);
    QVariant lastSyncTimeDevice(int organizerType) const;
    QVariant lastSyncTimeDZ(int organizerType) const;
    void setLastSyncTimeDevice(const QVariant& time, int organizerType);
    void setLastSyncTimeDZ(const QVariant& time, int organizerType);
    // The phone deleted all its organizer data.
    void processGAU();
    // After delay seconds the phone's window is asked how to go on after the
    // phone lost every entry of the property; dropped when the device goes
    // first, and nothing is asked when the phone has no window by then.
    void askAboutLostEntriesLater(int property, double delay);
    bool isLostEntriesQuestionPending() const { return !_lostEntriesProperties.isEmpty(); }
    // The next item id of the program's own ("T-<n>"), counted in the settings.
    QString newFreeTID() override;
    // The next of the description's sync servers; false (and back to the
    // first) after the last one.
    bool switchToNextSyncMLSource();
    void resetSyncMLSource();
    // Forgets every sync: the engine off, the archive made anew, no anchors.
    void clearSyncHistory();
    int invalidateAllData();

    // The dated organizer files of a phone shown as history.
    static QString pathToOrganizerArchive(const QString& folder);
    void jumpToOrganizerHistoryIndex(int index);
    QString curOrganizerFile() const;
    const QStringList& historyOrganizerFiles() const { return _organizerInHistoryFiles; }
    const QStringList& historyFiles() const { return _stateInHistoryFiles; }
    const QStringList& stateInHistoryFiles() const { return _stateInHistoryFiles; }
    const QString& curHistoryTime() const { return _curHistoryTime; }
    // Selects file-system state n (any other n: the newest) and loads it
    // as the mirror's current snapshot.
    void jumpToHistoryIndex(int index);
    void setAnchorPath(const QString&) {}

    // What the files mirror asks (MFDeviceFiles.cpp).
    bool wantsToBackup(const PhoneFileEntry& entry) const override;
    bool volumeInArchive(bool external) const override;
    QString uniqueMirrorName() const override;
    QString settingText(const QString& key) const override;
    QString internalPath(const QString& phonePath) const override;
    std::optional<QVariantMap> deviceDict() const override;
    void setHistoryFiles(const QStringList& states, const QStringList& organizerFiles) override;
    void setMirror(FilesMirror* mirror) override;
    // What the phone's file records ask (MFDeviceFiles.cpp).
    bool isHistoryDevice() const override { return _isHistory; }
    bool isNokiaPCSuite() const override;
    int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    QString mirrorPath(const QString& phonePath) override;
    QString previewPath(const QString& phonePath) override;
    QString currentLocation(long fileID) override;
    QString currentPreviewLocation(long fileID) override;
    long idForMirrorFile(const QString& localPath) override;
    QVariantMap finderInfoDictForPath(const QString& phonePath) override;
    void setAnchorPathForLastState(const QString& anchorPath, const QString& tmpDataPath);

    // ItemListDevice (MFDeviceItemLists.cpp): the phone as its item lists see
    // it. A query that has a const form above answers here the same.
    bool wantsSyncChangesFromEngine(int property) override;
    bool wantsSyncChangesFromDevice(int property) override;
    bool isMobileMaster(int property) override;
    int maxContacts() override;
    // The device itself, the object it posts its own notifications with.
    const void* notificationSender() override;
    bool wantsToUseSyncEngineForProperty(int property) override;
    int syncDirectionsModus(int property) override;
    // With "SyncOnlyWithPhoneNumbers" only a contact with phone numbers.
    bool doesDeviceWantContact(const std::shared_ptr<QVSyncElem>& elem) override;
    bool isPeriodInWantedCalendarPeriod(const QDateTime& start, const QDateTime& end) override;
    bool isHistory() override { return _isHistory; }
    bool usesMotorolaATConnections() override;
    bool usesSamsungATConnections() override;
    bool isSyncEngineActive() override { return _isSyncEngineActive; }
    // The end of a property's sync with the phone (its synced mark on success).
    void syncFinished(int property, int error) override;
    std::shared_ptr<QVSyncDeviceDescription> syncDescription() override { return _syncDescription; }
    QString dbName(int property) override;
    // The archive's stored data of the property (0-4), through the data manager.
    std::optional<QVariantMap> deviceDataFileStorage(int property) override;
    // The sync-engine handler's last sync time; null without a handler.
    QVariant lastSyncTime(int property) override;
    // The first of the shared calendars; empty before the shared sync
    // information exists.
    QString defaultCalendarID() override;

private:
    void setupWaitTimes();
    void applySMSDefaults();
    void registerBluetoothDevice(const QVariantMap& dict);
    void registerUSBDevice(const QVariantMap& dict);
    void createTheRealConnections(const QVariantMap& dict);
    void createActionMachine(const QVariantMap& registrations);
    DZDeviceConnection* slotForService(const QString& name) const;
    int requestSlot(DZDeviceConnection* connection, bool isSyncML, const std::shared_ptr<QVDeviceCallback>& callback);
    void heartBeatTimer();
    void finishSyncRelease(const std::shared_ptr<QVEmbeddedCallback>& callback);
    void delayedCloseSyncML(const std::shared_ptr<QVEmbeddedCallback>& callback);
    void releaseSyncSessionStep2(QVDeviceCallback& callback);
    // The maker's handler; a warning when there is none.
    bool createSyncEngineHandler();
    bool everyWantedTypeSynced() const;
    // Sets (an invalid time: removes) one side's anchor of an organizer type.
    void setSyncAnchor(const char* side, const QVariant& time, int organizerType);
    void progress(int percent) const;
    PhoneFolderRules& startFolders() const;
    SyncEnvironmentRules& environmentRules() const;

    Makers _makers;
    std::shared_ptr<QVSyncDeviceDescription> _syncDescription;
    std::unique_ptr<MFDeviceInfo> _devInfo;
    std::unique_ptr<DeviceDataManager> _dataManager;
    std::unique_ptr<DeviceGUINotificator> _dataGUIManager;
    std::unique_ptr<SyncEnvironment> _environment;
    // The decisions go to the maker's rules when there are some.
    std::unique_ptr<SyncEnvironmentRules> _syncEnvironment;
    std::unique_ptr<PhoneFolders> _folders;
    std::unique_ptr<BackupRules> _backup;
    // The start's folder steps go to the maker's rules when there are some.
    std::unique_ptr<PhoneFolderRules> _phoneFolders;
    DeviceDocument* _document = nullptr;
    std::shared_ptr<QVActionMachine> _actionMachine;
    QString _connType;
    std::unique_ptr<FileTransferConnection> _ftpConnection;
    std::unique_ptr<DZDeviceConnection> _objectPushConnection;
    std::unique_ptr<DZDeviceConnection> _nokiaPCSuitePushConnection;
    std::unique_ptr<DZDeviceConnection> _syncMLConnection;
    std::unique_ptr<DZDeviceConnection> _dunConnection;
    std::unique_ptr<DZDeviceConnection> _smsKitAsyncConnection;
    std::unique_ptr<DZDeviceConnection> _motoContactsConnection;
    std::unique_ptr<DZDeviceConnection> _motoEventsConnection;
    std::unique_ptr<DZDeviceConnection> _tarnexConnection;
    QVariantMap _connectionInfo;
    QList<std::shared_ptr<QVDeviceCallback>> _callbackPool;
    int _openConnectionsForCloseCount = 0;
    double _waitUntil = 0;
    platform::Timer _heartBeat;
    QString _usbPortName;
    int _usbChangeToken = 0;
    bool _btFTPregistered = false;
    bool _btObjectPushRegistered = false;
    bool _btNokiaPCSuitePushRegistered = false;
    bool _btSyncMLRegistered = false;
    bool _btSerialPortRegistered = false;
    bool _usbSerialPortRegistered = false;
    bool _usbSyncMLRegistered = false;
    bool _usbObjectPushRegistered = false;
    bool _usbMassStorageRegistered = false;
    bool _aboutToQuit = false;
    bool _inBackupMode = false;
    bool _backupComplete = false;
    int _modeTeachIn = 0;
    bool _hasInternalMemory = false;
    bool _hasMemoryCard = false;
    std::array<bool, 5> _canProcessDB{};
    long _highestUsedContactRefNum = 0;
    QVariantMap _syncAnchors;
    double _lastSMSSync = 0;
    double _lastBatteryCheck = 0;
    std::pair<unsigned, unsigned> _lastBatteryValue{unsigned(-1), unsigned(-1)};
    bool _isHistory = false;
    // The dated file-system states and organizer files a history device shows.
    QStringList _stateInHistoryFiles;
    QStringList _organizerInHistoryFiles;
    bool _inRemoveFromDevList = false;
    bool _usbStateHasChanged = false;
    std::array<bool, 4> _mustTrickle{};
    platform::Timer _syncEngineTimer;
    platform::Timer _lostEntriesTimer;
    QList<int> _lostEntriesProperties;
    SyncEnvironments _syncEnvironments;
    int _curOrganizerIndex = -1;
    int _curStateIndex = -1;
    QString _curHistoryTime;
    std::unique_ptr<DeviceSyncEngineHandler> _syncEngineHandler;
    bool _isSyncMLActive = false;
    bool _isSyncEngineActive = false;
    SyncMLState _syncMLState;
    float _pauseAfterAnyAction = 0.1f;
    float _pauseAfterAnyFTPAction = 0.2f;
    float _pauseAfterNormalClose = 1.0f;
    float _pauseAfterSyncMLClose = 2.5f;
};
