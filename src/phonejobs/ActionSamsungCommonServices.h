#pragma once

#include "phone/DZJobTraits.h"
#include "phonejobs/ActionExternalConnection.h"
#include "sync/QVSessionUser.h"

#include <functional>
#include <memory>

class SamsungATConnection;
class SamsungObexSession;

// Syncs one organizer property of a Samsung phone through a MOBEX sync
// session on the device's Tarnex connection: the session reads the phone,
// the job merges what it delivers into the organizer archive and hands it
// the changes to write back; at the end the job closes the connection first
// and then ends.
class ActionSamsungCommonServices : public ActionExternalConnection, public DZSyncPropertyJob, public QVSessionUser {
public:
    static constexpr const char* kServiceName = "SamsungATItems";
    static constexpr int kNoProperty = 99999;
    // The SyncML status of a cancelled operation.
    static constexpr int kSessionCancelled = 214;
    static constexpr const char* kSyncFailedDeleteItems = "DZ-SyncFailedDeleteItems";
    static constexpr const char* kSyncTooManyItems = "DZ-SyncTooManyItems";
    static constexpr const char* kSyncSuccessful = "TarnexSyncSuccessful";
    static constexpr const char* kSyncFailed = "TarnexSyncFailed";

    // How a job makes its session (tests give their own environment).
    using SessionMaker = std::function<std::unique_ptr<SamsungObexSession>(SamsungATConnection&, QVSessionUser*)>;
    static void setSessionMaker(SessionMaker maker);

    // The organizer job the data manager posts for a Samsung AT phone: the
    // contacts job for type 0, the calendar job for 1 (and 5, 6); none for
    // other types or other phones.
    static std::shared_ptr<ActionSamsungCommonServices> organizerJobForDevice(MFDevice& device, int type, bool slowSync,
                                                                              std::shared_ptr<QVActionNotify> notify);

    ActionSamsungCommonServices(const QString& serviceName, std::shared_ptr<QVActionNotify> notify, bool slow,
                                QVariant userInfo, bool switchSyncEngine);
    ~ActionSamsungCommonServices() override;

    bool readyToExecute() override;
    static QString defaultDescription(const QString& className);
    QString description() const override { return defaultDescription(jobClassName()); }
    // The localized text of key with its first "%@" (or "%1") filled in.
    static QString localizedFormat(const QString& key, const QString& value);
    void setBackupRestorerCallback(std::shared_ptr<QVDeviceCallback> callback);
    int syncProperty() const override { return _property; }
    virtual bool connectionIsValid() const { return false; }
    void setFilterContactImages(bool filter) { _shouldFilterContactImages = filter; }
    bool filterContactImages() const { return _shouldFilterContactImages; }
    bool isSlowSync() const { return _isSlowSync; }
    long unsentItems() const { return _unsentItems; }
    SamsungObexSession* session() const { return _session.get(); }

    // QVSessionUser
    int deliverIncomingData(QVBaseSession& session) override;
    bool notifySyncMLAction(const QString& text, float percent) override;
    void notifySyncFinished(const QString& result) override;
    void displayPercent(int percent) override;
    void processAction(const QVariant& action) override;
    void displayProgress(float percent);

    void connectionClosed(QVDeviceCallback& callback);
    void endActionCloseFirst(int status);
    void endAction(int code) override;

protected:
    // The start both subclasses share; session is made and its read begun
    // by begin.
    int startSamsungSync(const std::function<int(SamsungObexSession&)>& begin);
    SamsungATConnection* tarnexConnection() const;
    virtual QString jobClassName() const = 0;
    // Called once after the job ended, with the requester it had.
    virtual void afterEnd(const std::shared_ptr<QVActionNotify>&) { }

    std::shared_ptr<QVDeviceCallback> _restorerCallback;
    bool _shouldFilterContactImages = false;
    bool _switchOnSyncEngine = false;
    std::unique_ptr<SamsungObexSession> _session;
    int _property = kNoProperty;
    std::shared_ptr<QVDeviceCallback> _finishCallback;
    bool _isSlowSync = false;
    long _unsentItems = 0;

private:
    void postDeleteErrors();

    // The session whose connection is closing (kept until the close ends).
    std::unique_ptr<SamsungObexSession> _closingSession;
    std::shared_ptr<QVDeviceCallback> _closeCallback;
    long _deleteErrorCount = 0;
    bool _deleteErrorsPosted = false;
    bool _endedOnce = false;
};
