#include "links/ObexSyncMLConnection.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObexSyncMLDelegate.h"
#include "links/ObjectPushCommand.h"
#include "links/ObjectServerCommand.h"
#include "links/QVEmbeddedCallback.h"
#include "platform/RunLoop.h"

#include <algorithm>

namespace {
constexpr uint8_t kMinObexVersion = 0x10;
constexpr uint8_t kAbortAnswer = 0x40;
constexpr int kConnectFixedLength = 7;
constexpr int kServerCommandCode = 3;
// A session the phone left by disconnecting ends after this, unless its last
// answer went out meanwhile and it ended by itself.
constexpr double kLeftSessionGrace = 1.0;

double now()
{
    return platform::Clock::instance().now();
}

int bigEndian16(const char* bytes)
{
    return (uint8_t(bytes[0]) << 8) | uint8_t(bytes[1]);
}
} // namespace

ObexSyncMLConnection::ObexSyncMLConnection(MFDevice* device, ObexSyncMLDelegate* delegate, DeviceHooks hooks)
    : ObexServiceConnection(device, delegate, std::move(hooks))
    , _syncDelegate(delegate)
    , _lastSyncMLActivity(now() - 1000)
{
    _maxPacketLength = kInitialMaxPacket;
    _switchTimer.setCallback([this] { myTimeOutFireMethod(); });
}

ObexSyncMLConnection::~ObexSyncMLConnection()
{
    _switchTimer.stop();
}

QString ObexSyncMLConnection::className() const
{
    return QStringLiteral("ObexSyncMLConnection");
}

bool ObexSyncMLConnection::isServer() const
{
    return _obexSession && _obexSession->isServer();
}

bool ObexSyncMLConnection::hasConnection() const
{
    return _obexSession && _obexSession->hasOpenTransportConnection();
}

QString ObexSyncMLConnection::newSessionID()
{
    return QString::number(2 * _syncSessionID++ + 1);
}

// --- open and close ---

int ObexSyncMLConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    if (!_obexSession) {
        if (!_transportFactory)
            return links::kIOReturnUnsupported;
        setObexSession(_transportFactory());
        if (!_obexSession)
            return links::kIOReturnNoDevice;
    }
    std::weak_ptr<int> alive = _alive;
    _obexSession->setServerDataHandler([this, alive](const OBEXTransportEvent& event) {
        if (!alive.expired())
            serverHandleIncomingData(event);
    });
    _obexSession->setTimedOutCommandHandler([this, alive](const QVariant& refCon, int code) {
        if (!alive.expired())
            commandTimedOutFromCodec(refCon, code);
    });
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { openConnectionStep2(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("openConnectionStep2:"));
    rememberCallback(step);
    _isInProgress = true;
    const int status = _obexSession->openTransportLayer(step);
    if (status != 0) {
        _isInProgress = false;
        step->senderIsDying();
        // A transport whose device is gone is made afresh by the next open.
        _obexSession.reset();
    }
    return status == links::kIOReturnNoDevice ? kSerialDeviceUnavailable : status;
}

void ObexSyncMLConnection::openConnectionStep2(QVDeviceCallback& callback)
{
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    const int status = callback.returnStatus();
    _isInProgress = false;
    if (status != 0 || isServer()) {
        _isOpen = status == 0;
        if (higher)
            higher->finishWithResult(status, QVariant());
        return;
    }
    _isOpen = true;
    const int opened = openSyncMLService(higher);
    if (opened != 0 && higher)
        higher->finishWithResult(opened, QVariant());
}

int ObexSyncMLConnection::openSyncMLService(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_obexSession)
        return kNoSession;
    if (!_obexSession->requiresOpenConnect() || _hasConnection) {
        // Switched by the sync command, or open already: nothing to connect.
        _isInProgress = false;
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    storeCallback(callback);
    QByteArray headers;
    obex::addTargetHeader(headers, target());
    _isInProgress = true;
    const int status = _obexSession->OBEXConnect(0, _maxPacketLength, headers.constData(), int(headers.size()),
                                                 eventHandler(), QVariant::fromValue(callback));
    if (status != 0) {
        _isInProgress = false;
        freeCallback();
        logLine(QStringLiteral("OBEXConnect Error occurred: 0x%1\n").arg(uint(status), 0, 16));
        _obexSession.reset();
    }
    return status;
}

int ObexSyncMLConnection::closeSyncMLService(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_hasConnection || !_obexSession)
        return 0;
    _disconnectFinished = false;
    storeCallback(callback);
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    const int status = _obexSession->OBEXDisconnect(headers.constData(), int(headers.size()), eventHandler(),
                                                    QVariant::fromValue(callback));
    if (status != 0)
        freeCallback();
    return status;
}

void ObexSyncMLConnection::OBEXConnectHandler(const OBEXSessionEvent& event)
{
    stopSwitchTimeoutTimer();
    ObexServiceConnection::OBEXConnectHandler(event);
}

void ObexSyncMLConnection::OBEXDisconnectHandler(const OBEXSessionEvent& event)
{
    _disconnectFinished = true;
    _isInProgress = false;
    _hasConnection = false;
    const uint8_t code = event.response.serverResponseOpCode;
    if (code == obex::kResponseSuccess) {
        logLine(QStringLiteral("Obex SyncML disconnected successfully"));
        finishWithError(0);
        return;
    }
    logLine(QStringLiteral("ObexSyncMLConnection OBEXDisconnectHandler] Request failed. Response code: 0x%1\n")
                .arg(code, 0, 16));
    finishWithError(code);
}

// --- switch ---

int ObexSyncMLConnection::sendSwitchCommandForProperty(int property, bool forceSlow)
{
    if (!_obexSession)
        return kNoSession;
    startSwitchTimeoutTimer(kSwitchTimeout);
    const int status = _obexSession->sendSwitchCommandForProperty(property, forceSlow, eventHandler());
    if (status != 0)
        stopSwitchTimeoutTimer();
    return status;
}

void ObexSyncMLConnection::startSwitchTimeoutTimer(double seconds)
{
    _switchTimer.start(seconds);
}

void ObexSyncMLConnection::stopSwitchTimeoutTimer()
{
    _switchTimer.stop();
}

void ObexSyncMLConnection::myTimeOutFireMethod()
{
    logLine(QStringLiteral("### [%1 myTimeOutFireMethod] the phone did not answer the switch").arg(className()));
    if (_syncDelegate) {
        _syncDelegate->setGlobalError(kSwitchTimedOut);
        _syncDelegate->finishSession(kSwitchTimedOut);
    }
}

// --- client commands ---

int ObexSyncMLConnection::executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (_canceled)
        return kCancelled;
    if (_currentCommand) {
        logLine(QStringLiteral("\n##### [%1 executeCommandSync]: BUSY!!!!\n").arg(className()));
        return kBusy;
    }
    _lastSyncMLActivity = now();
    int status = 0;
    switch (command->command()) {
    case ObjectPushCommand::kPutSyncMLWBXML:
        rememberCommand(command);
        status = command->dataToSend().isEmpty() ? kNoWBXMLData : executePutWBXML(command, kWBXMLType, true);
        break;
    case ObjectPushCommand::kPutSyncMLNotification:
        rememberCommand(command);
        status = command->dataToSend().isEmpty() ? kNoNotificationData
                                                 : executePutWBXML(command, kNotificationType, false);
        break;
    case ObjectPushCommand::kGetSyncMLWBXML:
        rememberCommand(command);
        status = executeGetWBXML(command);
        break;
    case ObjectPushCommand::kNothing:
        return 0;
    case ObjectPushCommand::kServerGetResponse:
        _currentGetResponseCommand = command;
        return executeGetWBXMLResponse();
    default:
        return kUnknownCommand;
    }
    if (status != 0 && _currentCommand == command)
        _currentCommand.reset();
    return status;
}

int ObexSyncMLConnection::executePutWBXML(const std::shared_ptr<ObjectPushCommand>& command, const char* type,
                                          bool needsValidSession)
{
    if (!_obexSession || (needsValidSession && !_obexSession->hasValidSession()))
        return kNoSession;
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    obex::addTypeHeader(headers, QByteArray(type));
    obex::addLengthHeader(headers, uint32_t(command->dataToSend().size()));
    setPutHeader(headers);
    _expectedAmountOfData = 0;
    bool done = false;
    const int status = sendPutChunk(command, maxLenWithoutHeader(), headers, &done);
    if (status != 0)
        _putHeaders.clear();
    return status;
}

int ObexSyncMLConnection::executeGetWBXML(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (!_obexSession || !_obexSession->hasValidSession())
        return kNoSession;
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    obex::addTypeHeader(headers, QByteArray(kWBXMLType));
    setGetHeader(headers);
    _expectedAmountOfData = 0;
    const int status = _obexSession->OBEXGet(true, headers.constData(), int(headers.size()), eventHandler(),
                                             command->asVariant());
    if (status != 0)
        _getHeaders.clear();
    return status;
}

void ObexSyncMLConnection::commandTimedOut(const std::shared_ptr<ObjectPushCommand>& command, int code)
{
    _isActive = false;
    _lastSyncMLActivity = now();
    ObexServiceConnection::commandTimedOut(command, code);
}

void ObexSyncMLConnection::commandTimedOutFromCodec(const QVariant& refCon, int code)
{
    auto command = ObjectPushCommand::fromVariant(refCon);
    if (!command)
        command = _currentCommand;
    if (command)
        commandTimedOut(command, code);
}

void ObexSyncMLConnection::notifyAbortion(QVDeviceCallback& callback)
{
    _userWantsAbort = false;
    if (auto command = ObjectPushCommand::fromVariant(callback.getUserInfo()))
        command->finishCommand(kCancelled);
}

// --- server ---

int ObexSyncMLConnection::executeGetWBXMLResponse()
{
    auto command = _currentGetResponseCommand;
    if (!command || !_obexSession)
        return kNoSession;
    const QByteArray& data = command->dataToSend();
    const bool first = command->bytesTransfered() == 0;
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    if (first) {
        obex::addTypeHeader(headers, QByteArray(kWBXMLType));
        obex::addLengthHeader(headers, uint32_t(data.size()));
    }
    const long long remaining = data.size() - command->bytesTransfered();
    const int room = std::min(maxLenWithoutHeader(), _obexSession->putBodyRoom(int(headers.size())));
    const int chunk = int(std::clamp<long long>(remaining, 0, std::max(1, room)));
    const bool last = chunk == remaining;
    const int status = _obexSession->OBEXGetResponseWithBody(
        last ? obex::kResponseSuccess : obex::kResponseContinue, headers.constData(), int(headers.size()),
        data.constData() + command->bytesTransfered(), chunk, last);
    _lastSyncMLActivity = now();
    if (status == 0)
        command->addBytesTransfered(chunk);
    if (status != 0 || last) {
        _currentGetResponseCommand.reset();
        command->finishCommand(status);
    }
    return status;
}

int ObexSyncMLConnection::OBEXSendResponseCode(uint8_t code)
{
    return _obexSession ? _obexSession->OBEXAbortResponse(code) : kNoSession;
}

void ObexSyncMLConnection::serverHandleIncomingData(const OBEXTransportEvent& event)
{
    if (event.status != 0 || !event.dataPtr || event.dataLength < size_t(obex::kPrefixLength)) {
        logLine(QStringLiteral("[%1 serverHandleIncomingData] ignored (status %2, %3 bytes)")
                    .arg(className())
                    .arg(event.status)
                    .arg(event.dataLength));
        return;
    }
    const int length = int(event.dataLength);
    _lastSyncMLActivity = now();
    const uint8_t first = uint8_t(event.dataPtr[0]);
    if (_currentCommand && isResponseCode(first)) {
        // The answer to our own request (the notification Put) comes the
        // server's way: hand it to the answer handling.
        serverAnswer(event.dataPtr, length);
        return;
    }
    switch (first) {
    case obex::kOpConnect:
        serverConnect(event.dataPtr, length);
        break;
    case obex::kOpDisconnect:
        serverDisconnect();
        break;
    case obex::kOpPut:
    case obex::kOpPutFinal:
        serverPut(event.dataPtr, length);
        break;
    case obex::kOpGet:
    case obex::kOpGetFinal:
        serverGet();
        break;
    case obex::kOpAbort:
        _obexSession->OBEXAbortResponse(kAbortAnswer);
        break;
    case obex::kOpSetPath:
        _obexSession->OBEXSetPathResponse(obex::kResponseSuccess);
        break;
    default:
        break;
    }
}

bool ObexSyncMLConnection::isResponseCode(uint8_t first)
{
    return first != obex::kOpAbort && (first & 0x7F) >= 0x10;
}

void ObexSyncMLConnection::serverAnswer(const char* bytes, int length)
{
    _obexSession->stopTimeOutTimer();
    const obex::Answer answer = obex::readAnswer(bytes, length, _obexSession->sentCommand());
    OBEXSessionEvent event;
    event.type = answer.eventType;
    event.refCon = _currentCommand->asVariant();
    if (answer.eventType == obex::kEventError) {
        event.errorData.error = answer.errorCode;
    } else {
        event.response.serverResponseOpCode = answer.responseCode;
        if (answer.headerLength > 0) {
            event.response.headerDataPtr = reinterpret_cast<const uint8_t*>(bytes) + answer.headerOffset;
            event.response.headerDataLength = size_t(answer.headerLength);
        }
        event.response.maxPacketSize = answer.maxPacketSize;
    }
    commandSentCallback(event);
}

void ObexSyncMLConnection::serverConnect(const char* packet, int length)
{
    stopSwitchTimeoutTimer();
    _isInProgress = false;
    if (length < kConnectFixedLength) {
        logLine(QStringLiteral("### [%1 ObexServerConnectHandler] Connect of %2 bytes").arg(className()).arg(length));
        _obexSession->OBEXConnectResponse(obex::kResponseBadRequest, 0, _maxPacketLength, nullptr, 0);
        return;
    }
    const uint8_t version = uint8_t(packet[3]);
    if (version < kMinObexVersion) {
        logLine(QStringLiteral("[%1 ObexServerConnectHandler] wrong obexVersion (%2)").arg(className()).arg(version));
        _obexSession->OBEXConnectResponse(kAbortAnswer, 0, _maxPacketLength, nullptr, 0);
        return;
    }
    _hasConnection = true;
    _maxPacketLength = clampedMaxPacket(bigEndian16(packet + 5));
    ++_sessionID;
    QByteArray headers;
    obex::addWhoHeader(headers, target());
    obex::addConnectionIDHeader(headers, _sessionID);
    _obexSession->setSessionID(int32_t(_sessionID));
    _obexSession->OBEXConnectResponse(obex::kResponseSuccess, 0, _maxPacketLength, headers.constData(),
                                      int(headers.size()));
}

void ObexSyncMLConnection::serverDisconnect()
{
    _obexSession->OBEXDisconnectResponse(obex::kResponseSuccess, nullptr, 0);
    _disconnectFinished = true;
    _hasConnection = false;
    _isInProgress = false;
    // The phone closed the link: the pause after a SyncML close counts from
    // here (the program has nothing left to close).
    _lastCloseAction = now();
    // Nothing more comes from a phone that left: a session still waiting for
    // its next message would wait for ever.
    if (!_syncDelegate)
        return;
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, QStringLiteral("endLeftSession"), kLeftSessionGrace, [this, alive] {
        if (alive.expired() || _hasConnection)
            return;
        if (ObexSyncMLDelegate* delegate = _syncDelegate)
            delegate->finishSession(links::kErrNotConnected);
    });
}

void ObexSyncMLConnection::endServerPut(int status)
{
    auto command = std::exchange(_currentPutResponseCommand, nullptr);
    if (command)
        command->finishCommand(status);
}

void ObexSyncMLConnection::serverPut(const char* packet, int length)
{
    const bool final = uint8_t(packet[0]) == obex::kOpPutFinal;
    if (!_currentPutResponseCommand && !_putRefused) {
        // The message completes later, from the main-thread queue: by then
        // the session that was the delegate may be gone, so the delegate of
        // that moment hears of it, if the connection itself still lives.
        std::weak_ptr<int> alive = _alive;
        _currentPutResponseCommand = ObjectServerCommand::objectServerCommandWithDataAndCallback(
            kServerCommandCode, QByteArray(), _syncDelegate,
            [this, alive](QVDeviceCallback& c) {
                if (alive.expired())
                    return;
                if (ObexSyncMLDelegate* delegate = _syncDelegate)
                    delegate->receivedCommandFromClientFinished(static_cast<ObjectPushCommand&>(c));
            },
            nullptr);
    }
    if (_putRefused) {
        // The rest of a refused message: answered, not kept.
        _obexSession->OBEXPutResponse(obex::kResponseForbidden);
        if (final)
            _putRefused = false;
        return;
    }
    const auto headers = obex::parseHeaders(packet + obex::kPrefixLength, length - obex::kPrefixLength);
    if (!headers) {
        logLine(QStringLiteral("### [%1 ObexServerPutHandler] headers run past the packet").arg(className()));
        _obexSession->OBEXPutResponse(obex::kResponseBadRequest);
        endServerPut(obex::kErrBadResponse);
        return;
    }
    ObjectPushCommand& command = *_currentPutResponseCommand;
    for (const obex::Header& header : *headers) {
        if (header.identifier != obex::kHeaderBody && header.identifier != obex::kHeaderEndOfBody)
            continue;
        if (command.dataReceived().size() + header.value.size() > kMaxCollected) {
            logLine(QStringLiteral("### [%1 ObexServerPutHandler] the phone's message outgrows %2 bytes: refused")
                        .arg(className())
                        .arg(kMaxCollected));
            _obexSession->OBEXPutResponse(obex::kResponseForbidden);
            _putRefused = !final;
            endServerPut(kForbidden);
            return;
        }
        command.collectDataReceived(header.value.constData(), header.value.size());
    }
    if (!final) {
        const int status = _obexSession->OBEXPutResponse(obex::kResponseContinue);
        if (status != 0)
            endServerPut(status);
        return;
    }
    endServerPut(_obexSession->OBEXPutResponse(obex::kResponseSuccess));
}

void ObexSyncMLConnection::serverGet()
{
    if (!_currentGetResponseCommand) {
        if (_syncDelegate)
            _syncDelegate->clientSentGetCommand();
        return;
    }
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, QStringLiteral("executeGetWBXMLResponse"), pauseAfterAnyAction(),
                                         [this, alive] {
                                             if (!alive.expired())
                                                 executeGetWBXMLResponse();
                                         });
}
