#pragma once

#include "links/ObexSyncMLDelegate.h"
#include "platform/Clock.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

class QVCommandArray;
class QVDeviceCallback;
class QVSessionUser;
class QVSyncDeviceDescription;
class QVSyncElemList;
class SyncMLConnection;

// The base of every content-level sync session with a phone: the connection
// it talks through, the phone model's sync description, the job that drives
// it (its notifier), the property being synchronised, the state shown to the
// user, the anchors of the last and of this sync, and the sync info that
// carries the result to the item list. Main thread only.
class QVBaseSession : public ObexSyncMLDelegate {
public:
    // Sync info keys.
    static constexpr const char* kItems = "Items";
    static constexpr const char* kContactsVersion = "SyncML-Contacts-Version";
    static constexpr const char* kProtocol = "SyncML-Protocol";
    static constexpr const char* kDevice = "SyncML-Device";
    static constexpr const char* kLastDevTime = "SyncML-LastDevTime";
    static constexpr const char* kLastDZTime = "SyncML-LastDZTime";
    static constexpr const char* kIsFast = "SyncML-IsFast";
    static constexpr const char* kDB = "SyncML-DB";
    static constexpr const char* kQvDeviceID = "Common.qvDeviceID";

    // Results.
    static constexpr int kResultOK = 0;
    static constexpr int kResultStopped = 214;
    static constexpr int kResultRetry = -105;

    // States and their texts (keys of the localized strings).
    enum State {
        Preparing = 0,
        Handshaking,
        Reading,
        Processing,
        Sending,
        Mapping,
        Finishing,
        Error,
        ErrorRetry,
        Canceled
    };
    static constexpr double kFinishNotifyDelay = 1.0;

    // Null when no sync description is found for the connection's phone.
    static std::unique_ptr<QVBaseSession> initWithConnection(SyncMLConnection& connection, QVSessionUser* notifier);
    ~QVBaseSession() override;
    QVBaseSession(const QVBaseSession&) = delete;
    QVBaseSession& operator=(const QVBaseSession&) = delete;

    QVariantMap& syncInfo() { return _syncInfo; }
    int property() const { return _property; }
    int globalError() const { return _globalError; }
    const QVariantList& statusArray() const { return _statusArray; }
    int unsentItems() const { return _unsentItems; }
    virtual int indexOfCurrentReadElem() const { return 0; }
    virtual int indexOfCurrentSendingElem() const { return 0; }
    virtual int noOfElemsToSend() const { return 0; }
    const std::shared_ptr<QVSyncDeviceDescription>& syncDescription() const { return _syncDescription; }
    SyncMLConnection& connection() const { return _deviceConnection; }
    QVSessionUser* notifier() const { return _notifier; }
    int curSyncState() const { return _curSyncState; }
    bool isStopped() const { return _isStopped; }
    bool fastSyncPossible() const { return _fastSyncPossible; }

    void setDevSyncTime(const QString& time);
    void setDZSyncTime(const QString& time);
    QString lastSyncDevTime() const { return _lastSyncDevTime; }
    QString lastSyncDZTime() const { return _lastSyncDZTime; }
    QString thisSyncDevTime() const { return _thisSyncDevTime; }
    QString thisSyncDZTime() const { return _thisSyncDZTime; }
    // The phone's stored anchors of the property.
    void retrieveTimeInfo(int property);

    virtual void setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type);
    virtual float getProgressInPercent() const { return 50.0f; }
    void processAction(const QVariant& action);
    virtual int performReadContacts(bool forceSlow);
    virtual void logDebugInfo() { }

    static QString myDB(int property);
    QString dbName() const { return myDB(_property); }

    // Shows the state to the notifier; NO when there is none or the job was
    // cancelled.
    bool setSyncState(int state);
    // The text shown for a state (empty for one outside 0-9); a session
    // with its own forms of a state's text answers them here.
    virtual QString syncStateText(int state) const;
    // Ends the session towards the notifier, once.
    void finishSession(int result) override;
    void stopSession();
    void stopSessionFinished();

    // ObexSyncMLDelegate
    void setGlobalError(int status) override;
    void clientSentGetCommand() override { }
    void receivedCommandFromClientFinished(ObjectPushCommand&) override { }

protected:
    QVBaseSession(SyncMLConnection& connection, QVSessionUser* notifier,
                  std::shared_ptr<QVSyncDeviceDescription> description);

    SyncMLConnection& _deviceConnection;
    std::shared_ptr<QVSyncDeviceDescription> _syncDescription;
    int _globalError = 0;
    QVariantList _statusArray;
    QVSessionUser* _notifier = nullptr;
    int _property = -1;
    QVSyncElemList* _syncElemList = nullptr;
    bool _isStopped = false;
    int _curSyncState = Preparing;
    QString _lastSyncDevTime;
    QString _lastSyncDZTime;
    QString _thisSyncDevTime;
    QString _thisSyncDZTime;
    bool _forceSlow = false;
    QVariantMap _syncInfo;
    bool _fastSyncPossible = false;
    int _unsentItems = 0;

    // Through the phone's "Common.qvDeviceID", else its device identifier;
    // null when neither gives one.
    static std::shared_ptr<QVSyncDeviceDescription> findDescription(SyncMLConnection& connection);

private:
    platform::Timer _finishTimer;
    std::shared_ptr<QVDeviceCallback> _stopCallback;
};

// "SyncML-IsFast" of a sync info; NO when absent.
bool isFast(const QVariantMap& syncInfo);
