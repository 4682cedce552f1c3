#pragma once

#include "links/ObexPacket.h"
#include "links/ObexSwitchSettings.h"
#include "links/SerialDelegateProtocol.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MFDevice;
class QVDeviceCallback;

// The event the OBEX operations answer with, shaped like the platform's OBEX
// session event: a type code and, by type, the response data of the sent
// request or an error record. headerDataPtr points into the packet buffer and
// is valid only during the delivery.
struct OBEXSessionEvent {
    uint32_t type = obex::kEventError;
    void* session = nullptr;
    QVariant refCon;
    bool isEndOfEventData = true;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    struct Response {
        uint8_t serverResponseOpCode = 0;
        const uint8_t* headerDataPtr = nullptr;
        size_t headerDataLength = 0;
        uint16_t maxPacketSize = 0;
        uint8_t version = 0;
        uint8_t flags = 0;
    } response;
    struct Error {
        int32_t error = 0;
        const void* dataPtr = nullptr;
        size_t dataLength = 0;
    } errorData;
};
using OBEXSessionEventHandler = std::function<void(const OBEXSessionEvent&)>;

// An incoming request as the codec in the server role hands it on.
struct OBEXTransportEvent {
    uint32_t type = obex::kTransportEventData;
    int32_t status = 0;
    const char* dataPtr = nullptr;
    size_t dataLength = 0;
};
using OBEXServerDataHandler = std::function<void(const OBEXTransportEvent&)>;

// The program's own OBEX client and server over a serial AT channel switched
// into OBEX mode. It builds and reads packets, keeps the session state, runs
// the per-request time-out and makes the AT switch; the byte transport is a
// subclass's. One packet buffer serves every request and response, so one
// request is in flight at a time: a new one replaces the handler and refCon
// of the one before.
class ObexATSwitchTransportLayer : public SerialDelegateProtocol {
public:
    static constexpr double kConnectTimeout = 20.0;
    static constexpr double kRequestTimeout = 10.0;
    static constexpr double kAbortPause = 2.0;
    static constexpr double kDisconnectPause = 1.5;
    static constexpr int kATWaitPasses = 40;
    // Loop passes before the preparation command (a Gigaset needs longer).
    static constexpr int kPreparePasses = 2;
    static constexpr int kGigasetPreparePasses = 11;
    static constexpr int kGigasetRevisionModel = 15373;
    static constexpr qint64 kHsmmRevision = 75113999;
    static constexpr int kSwitchFailedGigaset = -200;
    static constexpr int kSwitchFailed = -201;
    static constexpr int kSwitchAnswerNotOk = -5;

    ObexATSwitchTransportLayer(MFDevice* device, ObexSwitchSettings settings, bool asServer);
    ~ObexATSwitchTransportLayer() override;
    ObexATSwitchTransportLayer(const ObexATSwitchTransportLayer&) = delete;
    ObexATSwitchTransportLayer& operator=(const ObexATSwitchTransportLayer&) = delete;

    virtual QString className() const;
    MFDevice* mfDevice() const { return _mfDevice; }
    const ObexSwitchSettings& settings() const { return _settings; }

    void setSessionID(int32_t sessionID) { _sessionID = sessionID; }
    int32_t sessionID() const { return _sessionID; }
    void allocBuffer();
    bool sendDataStr(const QString& text);

    virtual void setObexMode(bool on) { _modeObex = on; }
    bool modeObex() const { return _modeObex; }
    bool hasOpenOBEXConnection() const { return _hasConnection; }
    virtual bool hasValidSession() const { return _hasValidSession; }
    uint16_t getMaxPacketLength() const { return _maxPacketLength; }
    // The body bytes a Put packet can carry after headers of the given
    // length: the packet prefix (3) and the body header's (3) taken from the
    // maximum packet length; 0 when nothing fits.
    int putBodyRoom(int headersLength) const;
    bool isServer() const { return _isServer; }
    bool aboutToClose() const { return _aboutToClose; }
    bool requiresOpenConnect() const { return !_switchWithSyncCommand; }
    uint8_t sentCommand() const { return _sentCommand; }
    bool timerRunning() const { return _timeOutTimer.isActive(); }

    // The byte transport, supplied by a subclass; here each raises
    // "Unimplemented function error".
    virtual int openTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual int closeTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual bool dataAvail() const;
    virtual QString buffer() const;
    virtual bool waitForObexAnswer(int passes);
    virtual bool sendDataAndWait(const QString& text, int passes);
    virtual bool sendObexData(const char* bytes, int length);
    virtual bool sendData(const char* bytes, int length);
    virtual bool hasOpenTransportConnection() const;
    virtual const char* commBuffer() const;
    virtual uint32_t currentBuffIndex() const;
    virtual bool waitForOkErrorConnect(int passes, bool* resultGood);

    // Client requests; 0 when sent (the answer comes as an event).
    virtual int OBEXConnect(uint8_t flags, uint16_t maxPacketLength, const char* headers, int headersLength,
                    OBEXSessionEventHandler handler, QVariant refCon = {});
    int OBEXDisconnect(const char* headers, int headersLength, OBEXSessionEventHandler handler,
                       QVariant refCon = {});
    // A Put whose packet would outgrow getMaxPacketLength() (or 0xFFFF)
    // answers -1 and sends nothing.
    int OBEXPut(bool final, const char* headers, int headersLength, const char* body, int bodyLength,
                OBEXSessionEventHandler handler, QVariant refCon = {});
    int OBEXGet(bool final, const char* headers, int headersLength, OBEXSessionEventHandler handler,
                QVariant refCon = {});
    int OBEXAbort(const char* headers, int headersLength, OBEXSessionEventHandler handler, QVariant refCon = {});
    int OBEXSetPath(uint8_t flags, uint8_t constants, const char* headers, int headersLength,
                    OBEXSessionEventHandler handler, QVariant refCon = {});
    int OBEXPutFinal();

    // Server responses: they start no timer and answer 0, or
    // kIOReturnIOError when the response did not go out.
    int OBEXConnectResponse(uint8_t responseCode, uint8_t flags, uint16_t maxPacketLength, const char* headers,
                            int headersLength);
    int OBEXDisconnectResponse(uint8_t responseCode, const char* headers, int headersLength);
    int OBEXPutResponse(uint8_t responseCode);
    // A response whose headers exceed 1,000 bytes or getMaxPacketLength()
    // answers -1 and sends nothing.
    int OBEXGetResponse(uint8_t responseCode, const char* headers, int headersLength);
    // The same with a body after the headers (End-of-Body when endOfBody),
    // within getMaxPacketLength().
    int OBEXGetResponseWithBody(uint8_t responseCode, const char* headers, int headersLength, const char* body,
                                int bodyLength, bool endOfBody);
    int OBEXAbortResponse(uint8_t responseCode);
    int OBEXSetPathResponse(uint8_t responseCode);
    void setServerDataHandler(OBEXServerDataHandler handler) { _serverHandler = std::move(handler); }

    // The channel has framed a packet: read it on a later pass.
    void processObexData() override;
    void processObexAnswer();
    void processObexRequest();
    // The same for a packet read earlier.
    void processObexAnswer(const char* bytes, uint32_t count);
    void processObexRequest(const char* bytes, uint32_t count);

    // The switch from AT commands into OBEX mode; the callback ends with 0
    // or the switch's failure code.
    virtual void initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback);
    void initializeSerialChannelForStandardATSyncML(const std::shared_ptr<QVDeviceCallback>& callback);
    void initializeSerialChannelForSamsungATSyncML(const std::shared_ptr<QVDeviceCallback>& callback);
    void noteSyncMLSwitch(const std::shared_ptr<QVDeviceCallback>& callback);
    // The per-database switch of phones switched by "AT+SYNCML": the phone's
    // answer is read as a Connect answer.
    int sendSwitchCommandForProperty(int organizerType, bool forceSlow, OBEXSessionEventHandler handler,
                                     QVariant refCon = {});

    // Where a timed-out request whose handler is gone reports, when its refCon
    // is no completion object (the OBEX command of a sync connection).
    void setTimedOutCommandHandler(std::function<void(const QVariant& refCon, int code)> handler)
    {
        _timedOutCommandHandler = std::move(handler);
    }

    void startTimeOutTimer(double seconds, uint8_t command);
    void stopTimeOutTimer();

protected:
    // Per-build differences of the codec.
    virtual double timeoutFor(uint8_t opcode) const;
    virtual double abortPause() const { return kAbortPause; }
    virtual bool disconnectCarriesConnectionID() const { return !_settings.isSamsung; }
    virtual int timeoutErrorCode(uint8_t opcode) const;
    virtual void logTimeout() const;

    void myTimeOutFireMethod();
    void timeOutStep2(QVDeviceCallback& callback);
    void deliver(OBEXSessionEvent& event);
    void deliverError(int code);
    // Logs and sends the packet built in the buffer; answers the send result.
    bool sendPacket(const char* method, int length);
    // Sends a server response built in the buffer; its send status.
    int respond(const char* method, int length);
    char* packetBuffer();
    void finishSwitch(const std::shared_ptr<QVDeviceCallback>& callback, int status);
    void setSwitchedState();
    // Runs the loop in 0.1 s slices.
    static void runLoopPasses(int passes);
    // The Samsung switch command after the preparation; an "ERROR:2033"
    // answer (or, when errorAnswerIsRefusal, any "ERROR") is a refusal.
    void sendSamsungSwitch(const std::shared_ptr<QVDeviceCallback>& callback, bool errorAnswerIsRefusal);
    bool sendPreparation(int passes, bool retry, int failureFirst, int failureSecond,
                         const std::shared_ptr<QVDeviceCallback>& callback);
    int request(uint8_t command, int length, int notSent, const char* method, OBEXSessionEventHandler handler,
                QVariant refCon);

    MFDevice* _mfDevice = nullptr;
    ObexSwitchSettings _settings;
    bool _isServer = false;
    OBEXSessionEventHandler _handler;
    uint16_t _maxPacketLength = 0;
    bool _hasConnection = false;
    bool _hasValidSession = false;
    int32_t _sessionID = 0;
    bool _dataAvail = false;
    std::vector<char> _fp;
    bool _modeObex = false;
    uint8_t _sentCommand = 0;
    QVariant _refCon;
    platform::Timer _timeOutTimer;
    bool _aboutToClose = false;
    bool _switchWithSyncCommand = false;
    int _sendStatus = 0;
    bool _usesSamungAT = false;
    uint8_t _obexCommand = 0;
    uint8_t _timeoutCommand = 0;
    OBEXServerDataHandler _serverHandler;
    std::function<void(const QVariant&, int)> _timedOutCommandHandler;
    // The request's handler and refCon when its time-out fired.
    OBEXSessionEventHandler _timedOutHandler;
    QVariant _timedOutRefCon;
    // Drops queued readings and switch steps that reach a codec already gone.
    std::unique_ptr<QObject> _lifeGuard;
};
