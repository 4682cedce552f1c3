#pragma once

#include "links/LinkCodes.h"
#include "phone/DZJobTraits.h"
#include "platform/Clock.h"
#include "phonejobs/ActionRequestService.h"
#include "sync/QVSessionUser.h"

#include <memory>

class QVSyncSession;

// Syncs one organizer property of a phone that speaks SyncML over OBEX: the
// job opens the device's "SyncML/IrMC" service, takes a sync session from the
// device, starts the session's read of the property and then serves the
// session as its user: it merges what the phone delivered into the organizer
// archive, hands the session the commands to send back, shows the session's
// steps and, when the session has ended, finalizes the archive, gives the
// session back to the device and ends. A backup restorer may listen in on
// the deliveries.
class ActionSyncMLServices : public ActionRequestService, public DZSyncPropertyJob, public QVSessionUser {
public:
    static constexpr const char* kServiceName = "SyncML/IrMC";
    static constexpr const char* kSyncTooManyItems = "DZ-SyncTooManyItems";
    // The SyncML status of a cancelled operation.
    static constexpr int kSessionCancelled = 214;
    // The session's global error that asks for the next sync server name.
    static constexpr int kRetryNextServer = -105;
    // The engine's "session died" code, which the job never ends with: it
    // stands for a phone that lost all its entries.
    static constexpr int kPhoneLostEntries = 0xAC0A0;
    // Cancelled by the user (the engine shows it as cancelled).
    static constexpr int kUserCancelled = links::kErrUserCancelled;
    // The property is none the session reads.
    static constexpr int kIOReturnBadArgument = int(0xE00002C2);
    static constexpr double kLostEntriesQuestionDelay = 0.34;
    static constexpr int kStartPercent = 2;
    static constexpr int kDeliveredPercent = 51;

    static std::shared_ptr<ActionSyncMLServices> actionForProperty(int property, bool forceSlowSync,
                                                                   std::shared_ptr<QVActionNotify> notify,
                                                                   QVariant userInfo, bool switchSyncEngine);
    ActionSyncMLServices(std::shared_ptr<QVActionNotify> notify, int property, bool slow, QVariant userInfo,
                         bool switchSyncEngine);
    ~ActionSyncMLServices() override;

    void willPostToActionPipe() override;
    int syncProperty() const override { return _property; }
    bool isSlowSync() const { return _isSlowSync; }
    // Receives every delivery of the session as well.
    void setBackupRestorerCallback(std::shared_ptr<QVSessionUser> restorer);
    bool readyToExecute() override;
    QString displayString() const override { return _headLine; }
    QString displaySubString() const override { return _subLine; }
    QString statusMenueString() const override;
    int startAction() override;
    void endActionStep2(QVDeviceCallback& callback);
    void endAction(int code) override;
    bool canSuspend() const override { return true; }
    bool doSuspendAction() override;
    void resetActionForStartAfterSuspend() override;
    static QString defaultDescription(int property);
    QString description() const override { return defaultDescription(_property); }
    // The session while the job holds it (null before the start and once
    // given back).
    QVSyncSession* session() const;
    long unsentItems() const { return _unsentItems; }

    // QVSessionUser
    int deliverIncomingData(QVBaseSession& session) override;
    bool notifySyncMLAction(const QString& text, float percent) override;
    void notifySyncFinished(const QString& result) override;
    void displayPercent(int percent) override;
    void processAction(const QVariant& action) override;

private:
    int readProperty(QVSyncSession& session);
    // Gives the session back to the device; the completion ends the job with
    // status unless the release itself failed.
    void releaseSession(int status);
    void dropSessionSoon(const std::shared_ptr<void>& session);

    int _property;
    bool _isSlowSync;
    bool _switchOnSyncEngine;
    std::shared_ptr<void> _syncSession;
    QVBaseSession* _baseSession = nullptr;
    QString _headLine;
    QString _subLine;
    std::shared_ptr<QVDeviceCallback> _finishCallback;
    long _unsentItems = 0;
    std::shared_ptr<QVSessionUser> _restorerCallback;
    // The session was stopped for a suspension: its cancelled end re-queues.
    bool _suspending = false;
    // Why the delivery stopped the session (0: it did not).
    int _deliveryVerdict = 0;
    // A session given back goes on a later pass of the loop.
    std::shared_ptr<void> _releasedSession;
    platform::Timer _releaseTimer;
};
