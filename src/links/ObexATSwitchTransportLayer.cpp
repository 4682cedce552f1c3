#include "links/ObexATSwitchTransportLayer.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSDataExtensions.h"
#include "links/ATAnswerText.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/QVDeviceCallback.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"

#include <QPointer>
#include <cstring>

namespace {
const QString kUnimplementedName = QStringLiteral("Unimplemented function error");
const QString kUnimplementedReason = QStringLiteral("### You must implement %1");
constexpr const char* kError = "ERROR";
constexpr int kErrorLength = 5;
constexpr double kSlice = 0.1;
constexpr double kHangupPause = 1.0;
const char* const kLineEnd = "\r\n";
const char* const kHangup = "+++";
const char* const kRevisionCommand = "AT+CGMR\r\n";
const char* const kHsmmCommand = "AT^HSMM?\r\n";
const char* const kSamsungRefusal = "ERROR:2033";

[[noreturn]] void unimplemented(const char* method)
{
    throw platform::Exception(kUnimplementedName, kUnimplementedReason.arg(QLatin1String(method)));
}

bool isAsciiError(const char* bytes, uint32_t count)
{
    return bytes && count == uint32_t(kErrorLength) && std::memcmp(bytes, kError, kErrorLength) == 0;
}
} // namespace

ObexATSwitchTransportLayer::ObexATSwitchTransportLayer(MFDevice* device, ObexSwitchSettings settings, bool asServer)
    : _mfDevice(device)
    , _settings(std::move(settings))
    , _isServer(asServer)
    , _usesSamungAT(_settings.usesSamsungATConnections)
    , _lifeGuard(std::make_unique<QObject>())
{
    _timeOutTimer.setCallback([this] { myTimeOutFireMethod(); });
}

ObexATSwitchTransportLayer::~ObexATSwitchTransportLayer()
{
    _timeOutTimer.stop();
}

QString ObexATSwitchTransportLayer::className() const
{
    return QStringLiteral("ObexATSwitchTransportLayer");
}

void ObexATSwitchTransportLayer::allocBuffer()
{
    if (_fp.empty())
        _fp.resize(obex::kPacketBufferSize);
}

char* ObexATSwitchTransportLayer::packetBuffer()
{
    allocBuffer();
    return _fp.data();
}

bool ObexATSwitchTransportLayer::sendDataStr(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QByteArray bytes = text.toLatin1();
    return sendData(bytes.constData(), int(bytes.size()));
}

// --- transport, supplied by subclasses ---

int ObexATSwitchTransportLayer::openTransportLayer(const std::shared_ptr<QVDeviceCallback>&)
{
    unimplemented("openTransportLayer:");
}

int ObexATSwitchTransportLayer::closeTransportLayer(const std::shared_ptr<QVDeviceCallback>&)
{
    unimplemented("closeTransportLayer:");
}

bool ObexATSwitchTransportLayer::dataAvail() const
{
    unimplemented("dataAvail");
}

QString ObexATSwitchTransportLayer::buffer() const
{
    unimplemented("buffer");
}

bool ObexATSwitchTransportLayer::waitForObexAnswer(int)
{
    unimplemented("waitForObexAnswer:");
}

bool ObexATSwitchTransportLayer::sendDataAndWait(const QString&, int)
{
    unimplemented("sendDataAndWait:waitFor:");
}

bool ObexATSwitchTransportLayer::sendObexData(const char*, int)
{
    unimplemented("sendObexData:length:");
}

bool ObexATSwitchTransportLayer::sendData(const char*, int)
{
    unimplemented("sendData:length:");
}

bool ObexATSwitchTransportLayer::hasOpenTransportConnection() const
{
    unimplemented("hasOpenTransportConnection");
}

const char* ObexATSwitchTransportLayer::commBuffer() const
{
    unimplemented("commBuffer");
}

uint32_t ObexATSwitchTransportLayer::currentBuffIndex() const
{
    unimplemented("currentBuffIndex");
}

bool ObexATSwitchTransportLayer::waitForOkErrorConnect(int, bool*)
{
    unimplemented("waitForOkErrorConnect:resultGood:");
}

// --- client requests ---

int ObexATSwitchTransportLayer::putBodyRoom(int headersLength) const
{
    const int limit = _maxPacketLength > 0 ? int(_maxPacketLength) : obex::kMaxPacketLength;
    return std::max(0, limit - obex::kPrefixLength - std::max(0, headersLength) - obex::kPrefixLength);
}

bool ObexATSwitchTransportLayer::sendPacket(const char* method, int length)
{
    const char* bytes = _fp.data();
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 %2] writing %3 bytes:\n\n%4\n")
            .arg(className(), QLatin1String(method))
            .arg(length)
            .arg(formattedDescriptionForMemoryBlock(bytes, length));
    });
    _sentCommand = uint8_t(bytes[0]);
    return sendObexData(bytes, length);
}

int ObexATSwitchTransportLayer::request(uint8_t command, int length, int notSent, const char* method,
                                        OBEXSessionEventHandler handler, QVariant refCon)
{
    _handler = std::move(handler);
    _refCon = std::move(refCon);
    if (length < 0)
        return obex::kErrHeadersTooLong;
    if (!sendPacket(method, length))
        return notSent;
    startTimeOutTimer(timeoutFor(command), command);
    return 0;
}

int ObexATSwitchTransportLayer::OBEXConnect(uint8_t flags, uint16_t maxPacketLength, const char* headers,
                                            int headersLength, OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    _maxPacketLength = maxPacketLength;
    const int length = obex::buildConnect(packetBuffer(), obex::kOpConnect, flags, maxPacketLength, headers,
                                          headersLength);
    return request(obex::kOpConnect, length, obex::kErrConnectNotSent, "OBEXConnect", std::move(handler),
                   std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXDisconnect(const char* headers, int headersLength,
                                               OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasValidSession())
        return links::kErrNotConnected;
    const int length = obex::buildHeadersOnly(packetBuffer(), obex::kOpDisconnect, headers, headersLength);
    return request(obex::kOpDisconnect, length, obex::kErrDisconnectNotSent, "OBEXDisconnect", std::move(handler),
                   std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXPut(bool final, const char* headers, int headersLength, const char* body,
                                        int bodyLength, OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    const int limit = _maxPacketLength > 0 ? int(_maxPacketLength) : obex::kMaxPacketLength;
    const int length = obex::buildPut(packetBuffer(), final, headers, headersLength, body, bodyLength, limit);
    return request(final ? obex::kOpPutFinal : obex::kOpPut, length, obex::kErrPutNotSent, "OBEXPut",
                   std::move(handler), std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXGet(bool final, const char* headers, int headersLength,
                                        OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    const uint8_t opcode = final ? obex::kOpGetFinal : obex::kOpGet;
    const int length = obex::buildHeadersOnly(packetBuffer(), opcode, headers, headersLength);
    return request(opcode, length, obex::kErrGetNotSent, "OBEXGet", std::move(handler), std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXAbort(const char* headers, int headersLength, OBEXSessionEventHandler handler,
                                          QVariant refCon)
{
    stopTimeOutTimer();
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    const int length = obex::buildHeadersOnly(packetBuffer(), obex::kOpAbort, headers, headersLength);
    return request(obex::kOpAbort, length, obex::kErrAbortNotSent, "OBEXAbort", std::move(handler),
                   std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXSetPath(uint8_t flags, uint8_t constants, const char* headers, int headersLength,
                                            OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    const int length = obex::buildSetPath(packetBuffer(), flags, constants, headers, headersLength);
    return request(obex::kOpSetPath, length, obex::kErrConnectNotSent, "OBEXSetPath", std::move(handler),
                   std::move(refCon));
}

int ObexATSwitchTransportLayer::OBEXPutFinal()
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    const int length = obex::buildHeadersOnly(packetBuffer(), obex::kOpPutFinal, nullptr, 0);
    return sendPacket("OBEXPutFinal", length) ? 0 : obex::kErrPutNotSent;
}

// --- server responses ---

int ObexATSwitchTransportLayer::respond(const char* method, int length)
{
    _sendStatus = sendPacket(method, length) ? 0 : links::kIOReturnIOError;
    if (_sendStatus != 0) {
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("### [%1 %2] the response did not go out").arg(className(), QLatin1String(method));
        });
    }
    return _sendStatus;
}

int ObexATSwitchTransportLayer::OBEXConnectResponse(uint8_t responseCode, uint8_t flags, uint16_t maxPacketLength,
                                                    const char* headers, int headersLength)
{
    const int length = obex::buildConnect(packetBuffer(), responseCode, flags, maxPacketLength, headers,
                                          headersLength);
    if (length < 0)
        return length;
    return respond("OBEXConnectResponse", length);
}

int ObexATSwitchTransportLayer::OBEXDisconnectResponse(uint8_t responseCode, const char* headers, int headersLength)
{
    const int length = obex::buildHeadersOnly(packetBuffer(), responseCode, headers, headersLength);
    if (length < 0)
        return length;
    const int status = respond("OBEXDisconnectResponse", length);
    _hasConnection = false;
    return status;
}

int ObexATSwitchTransportLayer::OBEXPutResponse(uint8_t responseCode)
{
    return respond("OBEXPutResponse", obex::buildBareResponse(packetBuffer(), responseCode));
}

int ObexATSwitchTransportLayer::OBEXGetResponse(uint8_t responseCode, const char* headers, int headersLength)
{
    const int limit = _maxPacketLength > 0 ? int(_maxPacketLength) : obex::kMaxPacketLength;
    const int length = obex::buildGetResponse(packetBuffer(), responseCode, headers, headersLength, limit);
    if (length < 0)
        return length;
    return respond("OBEXGetResponse", length);
}

int ObexATSwitchTransportLayer::OBEXGetResponseWithBody(uint8_t responseCode, const char* headers, int headersLength,
                                                        const char* body, int bodyLength, bool endOfBody)
{
    const int limit = _maxPacketLength > 0 ? int(_maxPacketLength) : obex::kMaxPacketLength;
    const int length = obex::buildWithBody(packetBuffer(), responseCode, endOfBody, headers, headersLength, body,
                                           bodyLength, limit);
    if (length < 0)
        return length;
    return respond("OBEXGetResponse", length);
}

int ObexATSwitchTransportLayer::OBEXAbortResponse(uint8_t responseCode)
{
    return respond("OBEXAbortResponse", obex::buildBareResponse(packetBuffer(), responseCode));
}

int ObexATSwitchTransportLayer::OBEXSetPathResponse(uint8_t responseCode)
{
    return OBEXAbortResponse(responseCode);
}

// --- incoming data ---

void ObexATSwitchTransportLayer::processObexData()
{
    // The packet is read on a later pass; a peer that sends the next one
    // right behind it (a phone as OBEX client) must not overwrite it first.
    const char* bytes = commBuffer();
    const QByteArray packet = bytes ? QByteArray(bytes, qsizetype(currentBuffIndex())) : QByteArray();
    platform::runloop::performOnMainThread(
        [this, packet] {
            if (_isServer)
                processObexRequest(packet.constData(), uint32_t(packet.size()));
            else
                processObexAnswer(packet.constData(), uint32_t(packet.size()));
        },
        _lifeGuard.get());
}

void ObexATSwitchTransportLayer::deliver(OBEXSessionEvent& event)
{
    event.refCon = _refCon;
    // The handler may send the next request, which replaces it.
    const OBEXSessionEventHandler handler = _handler;
    if (handler)
        handler(event);
}

void ObexATSwitchTransportLayer::deliverError(int code)
{
    OBEXSessionEvent event;
    event.type = obex::kEventError;
    event.errorData.error = code;
    deliver(event);
}

void ObexATSwitchTransportLayer::processObexAnswer()
{
    processObexAnswer(commBuffer(), currentBuffIndex());
}

void ObexATSwitchTransportLayer::processObexAnswer(const char* bytes, uint32_t count)
{
    stopTimeOutTimer();
    if (isAsciiError(bytes, count)) {
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("[%1 processObexAnswer] received an ASCII 'ERROR'").arg(className());
        });
        if (!_aboutToClose)
            deliverError(obex::kErrAsciiError);
        return;
    }
    const int length = obex::packetLength(bytes, int(count));
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 processObexAnswer] reading %2 bytes:\n%3\n")
            .arg(className())
            .arg(length)
            .arg(formattedDescriptionForMemoryBlock(bytes, std::min<qsizetype>(count, length)));
    });
    if (_aboutToClose) {
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("[%1 processObexAnswer] Data ignored because we quit").arg(className());
        });
        return;
    }
    const obex::Answer answer = obex::readAnswer(bytes, int(count), _sentCommand);
    OBEXSessionEvent event;
    event.type = answer.eventType;
    if (answer.eventType == obex::kEventError) {
        if (answer.errorCode == obex::kErrBadResponse) {
            QVLogWith(qvlog::kXT, [&] {
                return QStringLiteral("### [%1 processObexAnswer] packet length %2 does not fit %3 bytes received")
                    .arg(className())
                    .arg(length)
                    .arg(count);
            });
        }
        event.errorData.error = answer.errorCode;
        deliver(event);
        return;
    }
    event.response.serverResponseOpCode = answer.responseCode;
    if (answer.headerLength > 0) {
        event.response.headerDataPtr = reinterpret_cast<const uint8_t*>(bytes) + answer.headerOffset;
        event.response.headerDataLength = size_t(answer.headerLength);
    }
    event.response.maxPacketSize = answer.maxPacketSize;
    event.response.version = answer.version;
    event.response.flags = answer.flags;
    if (_sentCommand == obex::kOpConnect) {
        // No peer may ask for less than the smallest packet OBEX allows.
        _maxPacketLength = std::max(answer.maxPacketSize, obex::kMinPacketLength);
        if (answer.responseCode == obex::kResponseSuccess) {
            _hasConnection = true;
            _hasValidSession = true;
        }
    } else if (_sentCommand == obex::kOpDisconnect && answer.responseCode == obex::kResponseSuccess) {
        _hasConnection = false;
        _hasValidSession = false;
    }
    deliver(event);
}

void ObexATSwitchTransportLayer::processObexRequest()
{
    processObexRequest(commBuffer(), currentBuffIndex());
}

void ObexATSwitchTransportLayer::processObexRequest(const char* bytes, uint32_t count)
{
    if (_aboutToClose) {
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("[%1 processObexRequest] Data ignored because we quit").arg(className());
        });
        return;
    }
    OBEXTransportEvent event;
    event.dataPtr = bytes;
    if (isAsciiError(bytes, count)) {
        QVLogWith(qvlog::kXT, [] { return QStringLiteral("processObexRequest received an ASCII 'ERROR'"); });
        event.status = obex::kErrAsciiError;
        event.dataLength = size_t(kErrorLength);
    } else {
        const int length = obex::packetLength(bytes, int(count));
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("[%1 processObexRequest] reading %2 bytes:\n%3\n")
                .arg(className())
                .arg(length)
                .arg(formattedDescriptionForMemoryBlock(bytes, std::min<qsizetype>(count, length)));
        });
        if (length < obex::kPrefixLength || uint32_t(length) > count) {
            event.status = obex::kErrBadResponse;
            event.dataLength = count;
        } else {
            event.dataLength = size_t(length);
        }
    }
    const OBEXServerDataHandler handler = _serverHandler;
    if (handler)
        handler(event);
    else
        OBEXDisconnectResponse(obex::kResponseUnhandled, nullptr, 0);
}

// --- AT switch ---

void ObexATSwitchTransportLayer::runLoopPasses(int passes)
{
    for (int i = 0; i < passes; ++i)
        platform::runloop::runFor(kSlice);
}

void ObexATSwitchTransportLayer::finishSwitch(const std::shared_ptr<QVDeviceCallback>& callback, int status)
{
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 initializeSerialChannelForSyncML] finished with %2").arg(className()).arg(status);
    });
    if (callback)
        callback->finishWithResult(status, QVariant());
}

void ObexATSwitchTransportLayer::setSwitchedState()
{
    _hasConnection = true;
    allocBuffer();
}

void ObexATSwitchTransportLayer::initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_usesSamungAT)
        initializeSerialChannelForSamsungATSyncML(callback);
    else
        initializeSerialChannelForStandardATSyncML(callback);
}

bool ObexATSwitchTransportLayer::sendPreparation(int passes, bool retry, int failureFirst, int failureSecond,
                                                 const std::shared_ptr<QVDeviceCallback>& callback)
{
    const QString prepare = (_settings.prepareATChannel.isEmpty() ? QLatin1String(ObexSwitchSettings::kDefaultPrepare)
                                                                  : _settings.prepareATChannel)
        + QLatin1String(kLineEnd);
    for (int attempt = 0;; ++attempt) {
        runLoopPasses(passes);
        if (sendDataAndWait(prepare, kATWaitPasses))
            return true;
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("BTObexATSwitchConnection initialization: sendDataAndWait failed (%1)\n")
                .arg(attempt + 1);
        });
        if (!retry || attempt > 0) {
            finishSwitch(callback, retry ? failureSecond : failureFirst);
            return false;
        }
        if (!sendDataStr(QLatin1String(kHangup))) {
            finishSwitch(callback, failureFirst);
            return false;
        }
        platform::runloop::runFor(kHangupPause);
    }
}

void ObexATSwitchTransportLayer::initializeSerialChannelForStandardATSyncML(
    const std::shared_ptr<QVDeviceCallback>& callback)
{
    const int secondFailure = _settings.isGigaset ? kSwitchFailedGigaset : kSwitchFailed;
    if (!sendPreparation(_settings.isGigaset ? kGigasetPreparePasses : kPreparePasses, true, kSwitchFailed,
                         secondFailure, callback))
        return;
    if (_settings.deviceID == kGigasetRevisionModel) {
        if (!sendDataAndWait(QLatin1String(kRevisionCommand), kATWaitPasses)) {
            finishSwitch(callback, kSwitchFailed);
            return;
        }
        QByteArray answer = buffer().toLatin1();
        const qint64 revision = links::versStringToLong(links::makeVersionString(answer));
        if (revision > kHsmmRevision) {
            runLoopPasses(1);
            if (!sendDataAndWait(QLatin1String(kHsmmCommand), kATWaitPasses)) {
                finishSwitch(callback, kSwitchFailed);
                return;
            }
        }
    }
    const QString configured = _settings.switchToSyncMLCommand;
    if (configured == QLatin1String(ObexSwitchSettings::kSyncSwitch)) {
        _switchWithSyncCommand = true;
        noteSyncMLSwitch(callback);
        return;
    }
    const QString command
        = (configured.isEmpty() ? QLatin1String(ObexSwitchSettings::kDefaultSwitch) : configured) + QLatin1String(kLineEnd);
    const bool answered = sendDataAndWait(command, kATWaitPasses);
    const bool refused = buffer().contains(QLatin1String(kError));
    if (answered && !refused) {
        noteSyncMLSwitch(callback);
        return;
    }
    closeTransportLayer(nullptr);
    finishSwitch(callback, refused ? kSwitchFailedGigaset : kSwitchAnswerNotOk);
}

void ObexATSwitchTransportLayer::initializeSerialChannelForSamsungATSyncML(
    const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!sendPreparation(kPreparePasses, true, kSwitchFailed, kSwitchFailed, callback))
        return;
    sendSamsungSwitch(callback, false);
}

void ObexATSwitchTransportLayer::sendSamsungSwitch(const std::shared_ptr<QVDeviceCallback>& callback,
                                                   bool errorAnswerIsRefusal)
{
    const QString configured = _settings.switchToSyncMLCommand;
    if (configured == QLatin1String(ObexSwitchSettings::kSamsungSwitch)) {
        _switchWithSyncCommand = true;
        setSwitchedState();
        finishSwitch(callback, 0);
        return;
    }
    const QString command = (configured.isEmpty() ? QLatin1String(ObexSwitchSettings::kSamsungSwitch) : configured)
        + QLatin1String(kLineEnd);
    const bool answered = sendDataAndWait(command, kATWaitPasses);
    const QString answer = buffer();
    // An "ERROR" answer is an answer too, but no switch.
    if (answered && !answer.contains(QLatin1String(kError))) {
        setObexMode(true);
        setSwitchedState();
        finishSwitch(callback, 0);
        return;
    }
    closeTransportLayer(nullptr);
    const bool refused = answer.contains(QLatin1String(kSamsungRefusal))
        || (errorAnswerIsRefusal && answered && answer.contains(QLatin1String(kError)));
    finishSwitch(callback, refused ? kSwitchFailedGigaset : kSwitchAnswerNotOk);
}

void ObexATSwitchTransportLayer::noteSyncMLSwitch(const std::shared_ptr<QVDeviceCallback>& callback)
{
    setSwitchedState();
    setObexMode(true);
    finishSwitch(callback, 0);
}

int ObexATSwitchTransportLayer::sendSwitchCommandForProperty(int organizerType, bool, OBEXSessionEventHandler handler,
                                                             QVariant refCon)
{
    _handler = std::move(handler);
    _refCon = std::move(refCon);
    if (!_switchWithSyncCommand)
        return obex::kErrNoSyncSwitch;
    QString suffix;
    switch (organizerType) {
    case 0:
        suffix = QStringLiteral("=1061");
        break;
    case 1:
        suffix = _settings.has2CalendarDBs ? QStringLiteral("=2062063") : QStringLiteral("=1062");
        break;
    case 2:
        suffix = QStringLiteral("=1064");
        break;
    case 6:
        suffix = QStringLiteral("=1063");
        break;
    default:
        break;
    }
    const QString configured = _settings.switchToSyncMLCommand.isEmpty()
        ? QLatin1String(ObexSwitchSettings::kSyncSwitch)
        : _settings.switchToSyncMLCommand;
    const QByteArray line = (configured + suffix + QLatin1String(kLineEnd)).toLatin1();
    setObexMode(true);
    setSwitchedState();
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 sendSwitchCommandForProperty] %2").arg(className(), QString::fromLatin1(line).trimmed());
    });
    if (!sendObexData(line.constData(), int(line.size())))
        return obex::kErrSwitchNotSent;
    _sentCommand = obex::kOpConnect;
    // The phone's answer is the Connect answer: a silent phone ends as a Connect would.
    startTimeOutTimer(timeoutFor(obex::kOpConnect), obex::kOpConnect);
    return 0;
}

// --- time-out ---

double ObexATSwitchTransportLayer::timeoutFor(uint8_t opcode) const
{
    return opcode == obex::kOpConnect ? kConnectTimeout : kRequestTimeout;
}

int ObexATSwitchTransportLayer::timeoutErrorCode(uint8_t opcode) const
{
    return opcode == obex::kOpConnect ? links::kIOReturnNotOpen : links::kErrRequestTimeout;
}

void ObexATSwitchTransportLayer::logTimeout() const
{
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("############ [%1 myTimeOutFireMethod] ############").arg(className());
    });
}

void ObexATSwitchTransportLayer::startTimeOutTimer(double seconds, uint8_t command)
{
    _obexCommand = command;
    _timeOutTimer.start(seconds);
}

void ObexATSwitchTransportLayer::stopTimeOutTimer()
{
    _timeOutTimer.stop();
}

void ObexATSwitchTransportLayer::myTimeOutFireMethod()
{
    if (_obexCommand != obex::kOpDisconnect)
        _timeoutCommand = _obexCommand;
    logTimeout();
    if (_aboutToClose)
        return;
    _aboutToClose = true;
    _timedOutHandler = _handler;
    _timedOutRefCon = _refCon;
    const QPointer<QObject> alive(_lifeGuard.get());
    if (!hasOpenTransportConnection()) {
        auto callback = QVDeviceCallback::commandObject(this, {}, {}, _timedOutRefCon);
        timeOutStep2(*callback);
        return;
    }
    OBEXAbort(nullptr, 0, {});
    platform::runloop::runFor(abortPause());
    if (!alive)
        return;
    QByteArray headers;
    if (disconnectCarriesConnectionID())
        obex::addConnectionIDHeader(headers, uint32_t(_sessionID));
    OBEXDisconnect(headers.constData(), int(headers.size()), {});
    platform::runloop::runFor(kDisconnectPause);
    if (!alive)
        return;
    stopTimeOutTimer();
    auto callback = QVDeviceCallback::commandObject(
        this,
        [this, alive](QVDeviceCallback& c) {
            if (alive)
                timeOutStep2(c);
        },
        {}, _timedOutRefCon);
    if (closeTransportLayer(callback) != 0)
        timeOutStep2(*callback);
}

void ObexATSwitchTransportLayer::timeOutStep2(QVDeviceCallback& callback)
{
    const int code = timeoutErrorCode(_timeoutCommand);
    const OBEXSessionEventHandler handler = std::exchange(_timedOutHandler, OBEXSessionEventHandler());
    if (handler) {
        OBEXSessionEvent event;
        event.type = obex::kEventError;
        event.refCon = callback.userInfo();
        event.errorData.error = code;
        handler(event);
        return;
    }
    const QVariant refCon = callback.userInfo();
    if (refCon.canConvert<std::shared_ptr<QVDeviceCallback>>()) {
        if (auto requester = refCon.value<std::shared_ptr<QVDeviceCallback>>()) {
            requester->finishWithErrorInMainThread(code, QVariant());
            return;
        }
    }
    if (_timedOutCommandHandler)
        _timedOutCommandHandler(refCon, code);
}
