#pragma once

#include "kitbridges/BridgeKits.h"
#include "phone/DZJobTraits.h"
#include "phonejobs/ActionExternalConnection.h"
#include "platform/Clock.h"

#include <memory>

class SMSAsyncBasisBridge;

// The base of the SMS jobs that reach the phone through the organizer kit:
// the job's service is opened for it, it checks the device's kit connection,
// works through one SMS bridge and ends through one end sequence: on success
// the archive's state of its property is saved and the data manager told,
// then the kit connection is closed and, after the device's pause, the job
// ends. The job ends exactly once: a later end (the kit's final callback
// after the cancel's own end, or the other way round) is dropped.
class ActionSMSKitServices : public ActionExternalConnection, public DZSyncPropertyJob {
public:
    ActionSMSKitServices(const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionSMSKitServices() override;
    // Null for an empty service name.
    static std::shared_ptr<ActionSMSKitServices> initActionSMSKitServices(const QString& serviceName,
                                                                         std::shared_ptr<QVActionNotify> notify,
                                                                         QVariant userInfo);

    int syncProperty() const override { return 4; }
    virtual void saveNewState();
    virtual void notifyArchiveChanged();
    // 0: the close finishes the callback later; anything else: it never will.
    virtual int closeKitConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    void endAction(int code) override;
    virtual bool connectionIsValid() const;
    int startAction() override;
    // The end of a cancelled delete or send.
    void kitAborted();
    static QString defaultDescription(const QString& className);
    QString description() const override;
    virtual QString className() const { return QStringLiteral("ActionSMSKitServices"); }

    // The kit the SMS bridges of these jobs drive (the shared kit library's
    // by default; tests put a stand-in here).
    static void setSmsKitMaker(SmsKitMaker maker);
    static const SmsKitMaker& smsKitMaker();

    const std::shared_ptr<SMSAsyncBasisBridge>& bridge() const { return _smsBridge; }
    float prozDone() const { return _prozDone; }

protected:
    // Marks the job as started: from now on every end runs the end sequence.
    void beginKitJob() { _kitJobStarted = true; }
    // The start shared by all SMS jobs: the service's open and the kit
    // connection; 0 when the job may make its bridge.
    int startKitJob();
    // A cancel seen in a progress report: the subclass stops its bridge, the
    // job ends cancelled 0.12 s later (or earlier, when the kit ends first).
    void scheduleKitAborted();
    bool kitAbortRequested() const { return _kitAbortRequested; }

    std::shared_ptr<SMSAsyncBasisBridge> _smsBridge;

private:
    platform::Timer _kitAbortTimer;
    bool _kitJobStarted = false;
    bool _kitAbortRequested = false;
    bool _endSequenceStarted = false;
    int _firstEndCode = 0;
};
