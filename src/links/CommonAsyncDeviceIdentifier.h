#pragma once

#include "links/CommonSerialConnection.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Timer;
}

// Finds out which phone is at the other end of a Bluetooth or USB serial link
// before a device object exists: opens the AT connection, sends a queue of
// AT commands one at a time under typed time-outs, collects the answers and
// derives maker, model, identification ("maker+model"), serial number and
// software revision. Each answer is announced by "QVProcessedATCommandNotify".
//
// The identifier owns itself: it is created with new, and frees itself after
// its connection closed (closeAndFree(), or at the end of a run that nobody
// waits for any more). A run ends exactly once.
class CommonAsyncDeviceIdentifier : public CommonSerialConnection {
public:
    static constexpr const char* kProcessedATCommandNotify = "QVProcessedATCommandNotify";
    static constexpr const char* kKeyRequest = "request";
    static constexpr const char* kKeyAnswer = "answer";
    static constexpr const char* kKeyIndex = "index";
    static constexpr const char* kKeyMaxIndex = "maxIndex";
    static constexpr const char* kNoSerialNumber = "0000000000000000";
    static constexpr const char* kNoServiceName = "<NO SERVICE NAME>";
    static constexpr double kOpenTimeOutUSB = 10.0;
    static constexpr double kOpenTimeOutBluetooth = 40.0;
    static constexpr double kATCommandTimeOut = 2.5;
    static constexpr double kCloseTimeOut = 5.0;
    static constexpr double kFirstRequestDelay = 0.2;
    static constexpr double kNextRequestDelay = 0.1;

    enum TimerType { Nothing = 0, OpenChannel = 1, SDPQuery = 2, ATCommand = 3, CloseChannel = 4 };
    using FinishFunction = std::function<void(CommonAsyncDeviceIdentifier&)>;

    CommonAsyncDeviceIdentifier(MFDevice* device, const MFDeviceInfo* devInfo, const QVariantMap& connectionDict,
                                const QString& connType, SerialATChannel::PhoneTraits traits = {});
    CommonAsyncDeviceIdentifier(const QVariantMap& wizDict, const QString& connType);
    // nullptr for an empty address; keeps the phone's Bluetooth name.
    static CommonAsyncDeviceIdentifier* withBTDeviceString(const QString& address);

    QString className() const override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;

    // Starts a run; finish is called with the identifier at its end (and as
    // a progress report after the open) while the requester is interested.
    // Always answers true.
    bool requestATCommands(const QStringList& commands, const void* requester, FinishFunction finish);
    // Runs the commands and waits (running the main loop in 0.1 s passes);
    // the run's status in *error, the answers as result.
    QVariantMap requestATCommandsSync(const QStringList& commands, int* error);
    // The requester goes away: nothing more is sent to it, and the next step
    // ends the run with -21857.
    void delegateIsNoLongerInterested();
    // Ends the identifier: closes the connection (unless a close was asked
    // for already) and frees the identifier afterwards.
    void closeAndFree();
    // Closes the connection and frees the identifier once it closed.
    void closeWithNotification();

    bool finishedWithATCommands() const { return _requests.isEmpty(); }
    int returnStatus() const { return _returnStatus; }
    bool isFinished() const { return _isFinished; }
    const QVariantMap& responses() const { return _responses; }
    double percentDone() const;
    TimerType timerType() const { return _timerType; }

    QString identifyDevice();
    // Maker and model as identifyDevice() derived them.
    QString company() const { return _company; }
    QString modelName() const { return _modelName; }
    QString getSerialNumber();
    QString swRevision();
    QString deviceName();
    QString deviceIdentification();

    // Reads the PC-suite (else OBEX File Transfer) channel and name, the
    // Object Push and SyncML channels of a Bluetooth phone; other types
    // answer true at once.
    bool getAdditionalInformation(int* error);
    quint8 channelID() const { return _channelID; }
    quint8 objectPushChannelID() const { return _objectPushChannelID; }
    quint8 syncMLChannelID() const { return _syncMLChannelID; }
    QString serviceName() const { return _deviceServiceString; }
    bool isNokiaPCSuite() const override { return _isNokiaPCSuite; }
    QString connType() const { return _connType; }
    QString btAddressString() const;
    QString portName() const;
    const QVariantMap& wizDict() const { return _wizDict; }
    bool isCloseFinished() const { return _closeFinished; }
    bool channelOpen() const { return hasOpenTransportConnection(); }

    // Expires when the identifier is gone.
    std::weak_ptr<const void> lifeToken() const { return _lifeToken; }

protected:
    ~CommonAsyncDeviceIdentifier() override;

private:
    void openFinished(QVDeviceCallback& callback);
    void processNextRequest();
    void requestFinished(QVDeviceCallback& callback);
    void finishIdentification(int status);
    void displayStateInfo();
    void startTimer(double seconds, TimerType type);
    void stopTimeOutTimer();
    void myTimeOutFireMethod();
    void closeFinished();
    void releaseAfterClose(QVDeviceCallback& callback);
    void closeFinishedCallback(QVDeviceCallback& callback);
    void freeLater();
    std::shared_ptr<QVDeviceCallback> makeCallback(void (CommonAsyncDeviceIdentifier::*finish)(QVDeviceCallback&));
    QString makeDeviceIdentifierFromResponse();
    QString makeSerialNumberFromResponse();
    QString answerFor(const char* command) const;

    QString _deviceNameString;
    QString _modelName;
    QString _company;
    QString _deviceServiceString;
    QString _deviceIdentification;
    QString _serialNumber;
    QString _swRevision;
    std::optional<QString> _curRequest;
    QStringList _requests;
    QVariantMap _responses;
    bool _closeRequested = false;
    std::unique_ptr<platform::Timer> _timeOutTimer;
    TimerType _timerType = Nothing;
    int _actionsRequested = 0;
    int _actionsHandled = 0;
    const void* _finishTarget = nullptr;
    FinishFunction _finishSelector;
    int _returnStatus = 0;
    bool _isDelegateAlive = false;
    bool _isFinished = false;
    bool _closeFinished = false;
    quint8 _channelID = 255;
    quint8 _objectPushChannelID = 255;
    quint8 _syncMLChannelID = 255;
    bool _isNokiaPCSuite = false;
    bool _syncATCommandsBusy = false;
    int _requestCount = 0;
    std::shared_ptr<QVDeviceCallback> _curATCallback;
    std::unique_ptr<platform::Timer> _nextRequestTimer;
    bool _freeScheduled = false;
    std::vector<std::weak_ptr<QVDeviceCallback>> _callbacks;
    std::shared_ptr<int> _lifeToken = std::make_shared<int>(0);
};
