#pragma once

#include "kitbridges/BridgeKits.h"
#include "kitbridges/OrganizerAsyncReceiver.h"
#include "phone/DZJobTraits.h"
#include "phonejobs/ActionExternalConnection.h"
#include "platform/Clock.h"

#include <QVariantMap>
#include <memory>
#include <optional>

class DZDeviceConnection;
class OrganizerAsyncBridge;
class QVSyncElemList;

// The base of the phonebook and calendar sync jobs that reach the phone
// through the organizer kit. Besides the end sequence of the SMS jobs (on
// success the archive's state of the property is saved and the data manager
// told, then the kit connection is closed and after the device's pause the
// job ends, exactly once) it keeps the phone's raw records of its database
// between syncs, beside the archive's working file.
//
// It also carries the one sync flow of the Motorola and LG jobs: read the
// phone's records (a calendar with tasks reads both), hand them to the
// property's item list, write back what the list answers, finish the list's
// session with the phone's mapping and end. A read the job aborted ends
// cancelled whatever the kit reports after it, and saves nothing.
class ActionOrganizerKitServices : public ActionExternalConnection,
                                  public DZSyncPropertyJob,
                                  public OrganizerAsyncReceiver {
public:
    ActionOrganizerKitServices(const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionOrganizerKitServices() override;
    // Null for an empty service name.
    static std::shared_ptr<ActionOrganizerKitServices> initActionSMSKitServices(
        const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);

    int syncProperty() const override { return 4; }
    virtual void saveNewState();
    virtual void notifyArchiveChanged();
    virtual int closeKitConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    void endAction(int code) override;
    virtual bool connectionIsValid() const;
    int startAction() override;
    // A cancel while the kit reads aborts it at once; progress reports
    // (which a read may not send) need not come first.
    bool cancelAction() override;
    void kitAborted();
    static QString defaultDescription(const QString& className);
    QString description() const override;
    virtual QString className() const { return QStringLiteral("ActionSMSKitServices"); }

    virtual QString dbName() const;
    void setupRawDataFromFile();
    void saveRawData();
    const std::optional<QVariantMap>& deviceRecords() const { return _deviceRecords; }

    // The backup restorer that asked for the sync; kept, never called.
    void setBackupRestorerCallback(std::shared_ptr<void> restorer) { _restorerCallback = std::move(restorer); }
    const std::shared_ptr<void>& backupRestorerCallback() const { return _restorerCallback; }

    // The kit the organizer bridges of these jobs drive (the shared kit
    // library's by default; tests put a stand-in here).
    static void setOrganizerKitMaker(OrganizerKitMaker maker);
    static const OrganizerKitMaker& organizerKitMaker();
    // How long a cancelled job waits for the kit to answer its abort before
    // it ends as cancelled (the close then releases the port).
    static constexpr double kAbortGrace = 0.12;

    // OrganizerAsyncReceiver: no effect here; the sync jobs answer theirs.
    void phoneBookReceived(OrganizerAsyncBridge*, int) override { }
    void phoneBookWritten(OrganizerAsyncBridge*, int, const std::optional<QVariantMap>&) override { }
    void calendarReceived(OrganizerAsyncBridge*, int) override { }
    void calendarWritten(OrganizerAsyncBridge*, int, const std::optional<QVariantMap>&) override { }
    void tasksReceived(OrganizerAsyncBridge*, int) override { }
    void tasksWritten(OrganizerAsyncBridge*, int, const std::optional<QVariantMap>&) override { }
    void displayProgress(int) override { }
    void displayPercent(int) override { }

    const std::shared_ptr<OrganizerAsyncBridge>& bridge() const { return _smsBridge; }
    bool isSlowSync() const { return _isSlowSync; }
    // Seconds the job spent in its own work (merging, the archive's and the
    // raw records' writes), apart from the kit's.
    double ownWorkSeconds() const { return _ownWorkSeconds; }
    bool switchesOnSyncEngine() const { return _switchOnSyncEngine; }

protected:
    enum class Records { Phonebook, Calendar, Tasks };

    void beginKitJob() { _kitJobStarted = true; }
    // The service's open and the kit connection; 0 when the job may go on.
    int startKitJob();
    // The flow's start: the records of the database (emptied for a slow
    // sync), the bridge and the first read.
    int startSyncFlow();
    // The flow's steps, answering the bridge's callbacks.
    void recordsReceived(Records kind, OrganizerAsyncBridge* bridge, int status);
    void recordsWritten(Records kind, int status, const std::optional<QVariantMap>& mappingTable);
    // Progress from the bridge; a cancel aborts a running read.
    void flowProgress(int value);
    void flowPercent(int percent);
    // The class name in the flow's log lines.
    virtual QString flowLogName() const { return className(); }
    // The calendar job also reads (and writes with the calendar) the tasks.
    virtual bool syncsTasks() const { return false; }
    // The calendar job logs its end.
    virtual bool logsEnd() const { return false; }
    // The kit slot of the job's connection.
    virtual DZDeviceConnection* kitConnection() const;
    // What the flow does after the end sequence began: the sync engine's
    // switch and the notification of the outcome.
    void finishSyncFlow(int code);
    bool kitAbortRequested() const { return _kitAbortRequested; }

    std::shared_ptr<OrganizerAsyncBridge> _smsBridge;
    std::optional<QVariantMap> _deviceRecords;
    std::shared_ptr<void> _restorerCallback;
    bool _switchOnSyncEngine = false;
    bool _isSlowSync = false;
    bool _isSyncFlow = false;

private:
    // Hands records to the item list with the first-sync erase flag.
    void processRecords(const QVariantMap& records);
    void writeStep(Records kind);
    void clearKept();
    void requestKitAbort();
    void runEndSequence(int code);

    // Adds the real time of its scope to _ownWorkSeconds.
    class OwnWork;

    platform::Timer _kitAbortTimer;
    double _ownWorkSeconds = 0;
    bool _kitJobStarted = false;
    bool _kitAbortRequested = false;
    bool _endSequenceStarted = false;
    bool _rawLoaded = false;
    bool _reading = false;
    int _firstEndCode = 0;
    // The kept fields of the flow.
    std::optional<QVariantMap> _firstPassDict;
    std::optional<QVariantMap> _secondWritePassDict;
    std::optional<QVariantMap> _sendData;
    std::optional<QVariantMap> _theDict;
    int _inStatus = 0;
    QVSyncElemList* _theStorage = nullptr;
};
