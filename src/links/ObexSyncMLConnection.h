#pragma once

#include "links/ObexServiceConnection.h"
#include "platform/Clock.h"

#include <QString>

class ObexSyncMLDelegate;

// A SyncML session over OBEX. As client it connects to the phone's
// "SYNCML-SYNC" target and puts WBXML messages (and the server-alerted
// notification) and gets the answers; as server (the phone switched into
// OBEX mode is the client) it answers the phone's Connect, Put and Get.
// The codec under it is made by the transport factory.
class ObexSyncMLConnection : public ObexServiceConnection {
public:
    static constexpr uint16_t kInitialMaxPacket = 0xFF40; // 65,344
    static constexpr int kHeaderRoom = 100;
    static constexpr double kSwitchTimeout = 15.0;
    static constexpr int kSwitchTimedOut = -200;
    static constexpr int kNoSession = -1;
    static constexpr int kBusy = -999;
    static constexpr int kUnknownCommand = -887;
    static constexpr int kNoWBXMLData = -888;
    static constexpr int kNoNotificationData = -889;
    // The open found no serial device (the phone's tty is gone).
    static constexpr int kSerialDeviceUnavailable = -203;
    static constexpr const char* kWBXMLType = "application/vnd.syncml+wbxml";
    static constexpr const char* kNotificationType = "application/vnd.syncml.notification";
    static constexpr const char* kSyncMLTarget = "SYNCML-SYNC";

    using TransportFactory = std::function<std::unique_ptr<ObexATSwitchTransportLayer>()>;

    ObexSyncMLConnection(MFDevice* device, ObexSyncMLDelegate* delegate, DeviceHooks hooks = {});
    ~ObexSyncMLConnection() override;

    QString className() const override;
    void setSyncDelegate(ObexSyncMLDelegate* delegate) { _syncDelegate = delegate; }
    void setTransportFactory(TransportFactory factory) { _transportFactory = std::move(factory); }

    bool isActive() const { return _isActive; }
    void setActive(bool active) { _isActive = active; }
    bool isServer() const;
    bool hasConnection() const override;
    double lastSyncMLActivity() const { return _lastSyncMLActivity; }
    QString newSessionID();
    int maxLenWithoutHeader() const { return int(_maxPacketLength) - kHeaderRoom; }

    // Opens the transport; as client then the service.
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int openSyncMLService(const std::shared_ptr<QVDeviceCallback>& callback);
    int closeSyncMLService(const std::shared_ptr<QVDeviceCallback>& callback);

    int sendSwitchCommandForProperty(int property, bool forceSlow);
    void startSwitchTimeoutTimer(double seconds);
    void stopSwitchTimeoutTimer();
    bool switchTimerRunning() const { return _switchTimer.isActive(); }

    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command);
    int executeGetWBXMLResponse();

    // Server role: the codec's incoming requests.
    void serverHandleIncomingData(const OBEXTransportEvent& event);
    int OBEXSendResponseCode(uint8_t code);

    void notifyAbortion(QVDeviceCallback& callback);
    // The codec's time-out of a request whose handler is gone.
    void commandTimedOutFromCodec(const QVariant& refCon, int code);

protected:
    int closeService(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        return closeSyncMLService(callback);
    }
    QByteArray serviceWho() const override { return target(); }
    virtual QByteArray target() const { return QByteArray(kSyncMLTarget); }

    void OBEXConnectHandler(const OBEXSessionEvent& event) override;
    void OBEXDisconnectHandler(const OBEXSessionEvent& event) override;
    void commandTimedOut(const std::shared_ptr<ObjectPushCommand>& command, int code) override;

private:
    int executePutWBXML(const std::shared_ptr<ObjectPushCommand>& command, const char* type, bool needsValidSession);
    int executeGetWBXML(const std::shared_ptr<ObjectPushCommand>& command);
    void myTimeOutFireMethod();
    void openConnectionStep2(QVDeviceCallback& callback);

    static bool isResponseCode(uint8_t first);
    void serverAnswer(const char* bytes, int length);
    void serverConnect(const char* packet, int length);
    void serverDisconnect();
    void serverPut(const char* packet, int length);
    void serverGet();
    void endServerPut(int status);

    ObexSyncMLDelegate* _syncDelegate = nullptr;
    TransportFactory _transportFactory;
    std::shared_ptr<ObjectPushCommand> _currentGetResponseCommand;
    std::shared_ptr<ObjectPushCommand> _currentPutResponseCommand;
    bool _putRefused = false;
    int _syncSessionID = 0;
    double _lastSyncMLActivity = 0;
    bool _isActive = false;
    platform::Timer _switchTimer;
};
