#pragma once

#include "links/DZDeviceConnection.h"
#include "links/ObexATSwitchTransportLayer.h"
#include "links/QVDeviceCallbackDelegate.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <vector>

class ObjectPushCommand;

// The request and answer machinery shared by the OBEX service connections
// (SyncML, IrMC, the Samsung MOBEX service): one ObjectPushCommand in flight,
// Puts sent in chunks on each "continue", Get answers collected into the
// command, the abort of a cancelled exchange, and the close sequence (the
// service's Disconnect, then the transport). The transport is an OBEX codec
// owned by the connection; a subclass opens it and names its service.
class ObexServiceConnection : public DZDeviceConnection, public QVDeviceCallbackDelegate {
public:
    // Answer statuses of rejected requests.
    static constexpr int kNotComplete = -100;   // 0x10: continue without the final bit
    static constexpr int kNotAcceptable = -101; // 0x46
    static constexpr int kBadRequest = -102;    // 0x40
    static constexpr int kPutRejected = -103;   // any other Put answer
    static constexpr int kGetRejected = -105;
    static constexpr int kForbidden = -106; // 0xC3
    static constexpr int kUnknownEvent = -998;
    static constexpr int kCancelled = -1702;
    // A body received in one exchange never grows past this.
    static constexpr qsizetype kMaxCollected = 16 * 1024 * 1024;
    static constexpr double kCloseDelay = 1.0;
    static constexpr double kAbortSlice = 0.1;

    // What the connection needs of its device beyond the base's.
    struct DeviceHooks {
        std::function<double()> pauseAfterAnyAction; // seconds; 0 without
        std::function<void()> closeDevice;           // after a request timed out
    };

    ObexServiceConnection(MFDevice* device, void* delegate, DeviceHooks hooks = {});
    ~ObexServiceConnection() override;

    virtual QString className() const = 0;
    ObexATSwitchTransportLayer* obexSession() const { return _obexSession.get(); }
    // Takes the codec the connection runs on.
    void setObexSession(std::unique_ptr<ObexATSwitchTransportLayer> session);

    bool hasObexConnection() const { return _obexSession && _hasConnection; }
    uint16_t maxPacketLength() const { return _maxPacketLength; }
    uint32_t sessionID() const { return _sessionID; }
    double lastCloseAction() const { return _lastCloseAction; }
    const std::shared_ptr<ObjectPushCommand>& currentCommand() const { return _currentCommand; }

    // Headers of the Put / Get in flight (replacing those before).
    void setPutHeader(const QByteArray& headers) { _putHeaders = headers; }
    void setGetHeader(const QByteArray& headers) { _getHeaders = headers; }

    // Command bookkeeping: one command in flight.
    void rememberCommand(const std::shared_ptr<ObjectPushCommand>& command);
    int removeCommand(const std::shared_ptr<ObjectPushCommand>& command, int status, bool notifySender);

    // The event entry of every request sent.
    void commandSentCallback(const OBEXSessionEvent& event);
    OBEXSessionEventHandler eventHandler();

    // Aborts the exchange in flight and waits (bounded) for the answer.
    virtual int performAbort(const std::shared_ptr<QVDeviceCallback>& callback);
    void notifyAboutToClose() { _canceled = true; }
    bool isCanceled() const { return _canceled; }

    // Callbacks whose delegate is the connection.
    void rememberCallback(const std::shared_ptr<QVDeviceCallback>& callback);
    void freeCallbackPool();
    bool qvDeviceCallbackProgress(QVDeviceCallback&) override { return false; }
    void qvDeviceCallbackFinished(QVDeviceCallback& callback) override;

    // The close sequence; 0xE00002C5 while another open or close runs.
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    virtual int closeTransportConnection(const std::shared_ptr<QVDeviceCallback>& callback);

    // Clamps a peer's stated maximum packet length to what OBEX allows.
    static uint16_t clampedMaxPacket(int stated);

protected:
    // The service's Disconnect; 0 when sent (the answer ends the callback).
    virtual int closeService(const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    // The Who that marks the service open in a Connect answer.
    virtual QByteArray serviceWho() const = 0;

    virtual void OBEXConnectHandler(const OBEXSessionEvent& event);
    virtual void OBEXDisconnectHandler(const OBEXSessionEvent& event);
    void OBEXPutHandler(const OBEXSessionEvent& event, const std::shared_ptr<ObjectPushCommand>& command);
    void OBEXGetHandler(const OBEXSessionEvent& event, const std::shared_ptr<ObjectPushCommand>& command);
    virtual void OBEXAbortHandler(const OBEXSessionEvent& event);
    virtual void OBEXSetPathHandler(const OBEXSessionEvent& event);
    virtual void transportError(const OBEXSessionEvent& event);
    // A request of the command timed out in the codec.
    virtual void commandTimedOut(const std::shared_ptr<ObjectPushCommand>& command, int code);

    // Copies the answer's App-Parameters / Body and End-of-Body into the
    // command for 0x90, 0xA0 and 0x20; false when the headers are malformed
    // or the body would outgrow kMaxCollected.
    bool collectAnswer(const OBEXSessionEvent& event, ObjectPushCommand& command);
    // Sends the next chunk of a Put body; 0 when sent or nothing is left
    // (then *done is set).
    int sendPutChunk(const std::shared_ptr<ObjectPushCommand>& command, int limit, const QByteArray& headers,
                     bool* done);

    void delayedCloseConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    void closeConnectionStep2(QVDeviceCallback& callback);
    void closeConnectionStep3(QVDeviceCallback& callback);
    double pauseAfterAnyAction() const;
    void logLine(const QString& line) const;

    std::unique_ptr<ObexATSwitchTransportLayer> _obexSession;
    DeviceHooks _hooks;
    QByteArray _putHeaders;
    QByteArray _getHeaders;
    uint16_t _maxPacketLength = 0;
    uint32_t _sessionID = 0;
    bool _hasConnection = false;
    bool _disconnectFinished = false;
    bool _userWantsAbort = false;
    bool _abortSent = false;
    bool _canceled = false;
    double _lastCloseAction = 0;
    uint32_t _expectedAmountOfData = 0;
    std::shared_ptr<ObjectPushCommand> _currentCommand;
    std::vector<std::shared_ptr<QVDeviceCallback>> _callbackPool;
    // Queued steps reaching a connection already gone do nothing.
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};
