#include "links/ObexServiceConnection.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObjectPushCommand.h"
#include "links/QVEmbeddedCallback.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr uint8_t kAnswerNotAcceptable = 0x46;
constexpr uint8_t kAnswerBadRequest = 0x40;
constexpr uint8_t kAnswerContinueNotFinal = 0x10;
constexpr uint8_t kAnswerSuccessNotFinal = 0x20;

bool collectsData(uint8_t code)
{
    return code == obex::kResponseContinue || code == obex::kResponseSuccess || code == kAnswerSuccessNotFinal;
}

double now()
{
    return platform::Clock::instance().now();
}
} // namespace

ObexServiceConnection::ObexServiceConnection(MFDevice* device, void* delegate, DeviceHooks hooks)
    : DZDeviceConnection(device, delegate)
    , _hooks(std::move(hooks))
    , _lastCloseAction(now() - 1000)
{
}

ObexServiceConnection::~ObexServiceConnection()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    freeCallbackPool();
}

void ObexServiceConnection::setObexSession(std::unique_ptr<ObexATSwitchTransportLayer> session)
{
    _obexSession = std::move(session);
}

uint16_t ObexServiceConnection::clampedMaxPacket(int stated)
{
    return uint16_t(std::clamp(stated, int(obex::kMinPacketLength), obex::kMaxPacketLength));
}

void ObexServiceConnection::logLine(const QString& line) const
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), line);
}

double ObexServiceConnection::pauseAfterAnyAction() const
{
    return _hooks.pauseAfterAnyAction ? _hooks.pauseAfterAnyAction() : 0.0;
}

OBEXSessionEventHandler ObexServiceConnection::eventHandler()
{
    std::weak_ptr<int> alive = _alive;
    return [this, alive](const OBEXSessionEvent& event) {
        if (!alive.expired())
            commandSentCallback(event);
    };
}

// --- commands ---

void ObexServiceConnection::rememberCommand(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (_currentCommand) {
        logLine(QStringLiteral("###### Bad! [%1 rememberCommand] _currentCommand is not nil: %2")
                    .arg(className(), _currentCommand->description()));
    }
    _currentCommand = command;
}

int ObexServiceConnection::removeCommand(const std::shared_ptr<ObjectPushCommand>& command, int status,
                                         bool notifySender)
{
    if (status == links::kErrTransportDied || status == links::kErrNotConnected)
        _hasConnection = false;
    if (_canceled)
        status = kCancelled;
    std::shared_ptr<ObjectPushCommand> finished = command;
    if (command != _currentCommand) {
        logLine(QStringLiteral("####### [%1 removeCommand]: Unequal command! #####").arg(className()));
        logLine(QStringLiteral("####### currentCommand =\n%1\n")
                    .arg(_currentCommand ? _currentCommand->description() : QStringLiteral("(null)")));
        logLine(QStringLiteral("####### inCommand =\n%1\n")
                    .arg(command ? command->description() : QStringLiteral("(null)")));
        if (!finished)
            finished = _currentCommand;
    }
    _currentCommand.reset();
    if (notifySender && finished)
        finished->finishCommand(status);
    return status;
}

// --- events ---

void ObexServiceConnection::commandSentCallback(const OBEXSessionEvent& event)
{
    const auto command = ObjectPushCommand::fromVariant(event.refCon);
    if (_canceled) {
        int status = kCancelled;
        if (event.type == obex::kEventAbortResponse || (_abortSent && event.type == obex::kEventError)) {
            // The answer to our abort (or its failure) ends the exchange; no
            // further abort.
            if (event.type == obex::kEventError)
                status = event.errorData.error;
            _abortSent = false;
            _isInProgress = false;
            logLine(
                QStringLiteral("[%1 commandSentCallback] abort ended while closing (%2)").arg(className()).arg(status));
        } else {
            performAbort(QVDeviceCallback::simpleObjectWithDelegate(this));
        }
        // The abort may have ended the command already.
        if (command) {
            if (command == _currentCommand) {
                _currentCommand.reset();
                command->finishCommand(status);
            }
        } else if (auto callback = event.refCon.value<std::shared_ptr<QVDeviceCallback>>()) {
            if (callback->isBusy())
                callback->finishWithResult(status, QVariant());
        }
        return;
    }
    switch (event.type) {
    case obex::kEventConnectResponse:
        _maxPacketLength = clampedMaxPacket(event.response.maxPacketSize);
        logLine(QStringLiteral("[%1 commandSentCallback] OBEXConnectHandler reports maxPacketLength = %2")
                    .arg(className())
                    .arg(_maxPacketLength));
        OBEXConnectHandler(event);
        return;
    case obex::kEventDisconnectResponse:
        OBEXDisconnectHandler(event);
        return;
    case obex::kEventPutResponse:
        OBEXPutHandler(event, command);
        return;
    case obex::kEventGetResponse:
        OBEXGetHandler(event, command);
        return;
    case obex::kEventSetPathResponse:
        OBEXSetPathHandler(event);
        return;
    case obex::kEventAbortResponse:
        OBEXAbortHandler(event);
        return;
    case obex::kEventError:
        if (command && event.errorData.error == links::kErrRequestTimeout) {
            commandTimedOut(command, event.errorData.error);
            return;
        }
        transportError(event);
        return;
    default:
        logLine(QStringLiteral("[%1 commandSentCallback] unrecognized command type.").arg(className()));
        if (command)
            removeCommand(command, kUnknownEvent, true);
        else
            finishWithError(kUnknownEvent);
        return;
    }
}

void ObexServiceConnection::transportError(const OBEXSessionEvent& event)
{
    const int error = event.errorData.error;
    if (error == links::kErrTransportDied)
        logLine(QStringLiteral("[%1 commandSentCallback] Underlying Transport session died").arg(className()));
    else
        logLine(
            QStringLiteral("[%1 commandSentCallback] Request failed. Response code: %2\n").arg(className()).arg(error));
    _isInProgress = false;
    if (auto command = ObjectPushCommand::fromVariant(event.refCon)) {
        removeCommand(command, error, true);
        return;
    }
    finishWithError(error);
}

void ObexServiceConnection::commandTimedOut(const std::shared_ptr<ObjectPushCommand>& command, int code)
{
    _hasConnection = false;
    _isInProgress = false;
    if (_hooks.closeDevice)
        _hooks.closeDevice();
    _lastCloseAction = now();
    removeCommand(command, code, true);
}

void ObexServiceConnection::OBEXConnectHandler(const OBEXSessionEvent& event)
{
    _isInProgress = false;
    const uint8_t code = event.response.serverResponseOpCode;
    if (code != obex::kResponseSuccess) {
        logLine(QStringLiteral("[%1 OBEXConnectHandler] Request failed. Response code: 0x%2\n")
                    .arg(className())
                    .arg(code, 0, 16));
        finishWithError(code);
        return;
    }
    const auto headers = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                            qsizetype(event.response.headerDataLength));
    const obex::Header* id = headers ? obex::findHeader(*headers, obex::kHeaderConnectionID) : nullptr;
    if (!id) {
        // Requests without the connection's id would go nowhere.
        logLine(QStringLiteral("### [%1 OBEXConnectHandler] answer without Connection-ID").arg(className()));
        finishWithError(obex::kErrBadResponse);
        return;
    }
    _sessionID = id->number;
    if (_obexSession)
        _obexSession->setSessionID(int32_t(_sessionID));
    const obex::Header* who = obex::findHeader(*headers, obex::kHeaderWho);
    if (who && who->value == serviceWho())
        _hasConnection = true;
    finishWithError(0);
}

void ObexServiceConnection::OBEXDisconnectHandler(const OBEXSessionEvent& event)
{
    _disconnectFinished = true;
    _isInProgress = false;
    _hasConnection = false;
    const uint8_t code = event.response.serverResponseOpCode;
    if (code != obex::kResponseSuccess) {
        logLine(QStringLiteral("%1 OBEXDisconnectHandler] Request failed. Response code: 0x%2\n")
                    .arg(className())
                    .arg(code, 0, 16));
    }
    finishWithError(0);
}

bool ObexServiceConnection::collectAnswer(const OBEXSessionEvent& event, ObjectPushCommand& command)
{
    if (!collectsData(event.response.serverResponseOpCode))
        return true;
    const auto headers = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                            qsizetype(event.response.headerDataLength));
    if (!headers) {
        logLine(QStringLiteral("### [%1 collectAnswer] headers run past the answer").arg(className()));
        return false;
    }
    if (const obex::Header* params = obex::findHeader(*headers, obex::kHeaderAppParameters))
        command.setAppParams(params->value.constData(), params->value.size());
    for (const uint8_t id : {obex::kHeaderBody, obex::kHeaderEndOfBody}) {
        for (const obex::Header& header : *headers) {
            if (header.identifier != id)
                continue;
            if (command.dataReceived().size() + header.value.size() > kMaxCollected) {
                logLine(QStringLiteral("### [%1 collectAnswer] more than %2 bytes received")
                            .arg(className())
                            .arg(kMaxCollected));
                return false;
            }
            command.collectDataReceived(header.value.constData(), header.value.size());
        }
    }
    return true;
}

int ObexServiceConnection::sendPutChunk(const std::shared_ptr<ObjectPushCommand>& command, int limit,
                                        const QByteArray& headers, bool* done)
{
    const QByteArray& data = command->dataToSend();
    const long long remaining = data.size() - command->bytesTransfered();
    *done = remaining <= 0;
    if (*done)
        return 0;
    const int room = std::min(limit, _obexSession->putBodyRoom(int(headers.size())));
    const int chunk = int(std::min<long long>(remaining, std::max(1, room)));
    const bool final = chunk == remaining;
    const int status = _obexSession->OBEXPut(final, headers.isEmpty() ? nullptr : headers.constData(),
                                             int(headers.size()), data.constData() + command->bytesTransfered(), chunk,
                                             eventHandler(), command->asVariant());
    if (status == 0)
        command->addBytesTransfered(chunk);
    return status;
}

void ObexServiceConnection::OBEXPutHandler(const OBEXSessionEvent& event,
                                           const std::shared_ptr<ObjectPushCommand>& command)
{
    if (!command) {
        logLine(QStringLiteral("### [%1 OBEXPutHandler] answer without its command").arg(className()));
        return;
    }
    if (!collectAnswer(event, *command)) {
        removeCommand(command, obex::kErrBadResponse, true);
        return;
    }
    int status = kPutRejected;
    switch (event.response.serverResponseOpCode) {
    case obex::kResponseContinue: {
        bool done = false;
        status = _obexSession ? sendPutChunk(command, _maxPacketLength - 6, QByteArray(), &done)
                              : links::kErrNotConnected;
        if (status == 0 && !done)
            return;
        break;
    }
    case obex::kResponseSuccess:
    case kAnswerSuccessNotFinal:
        status = 0;
        break;
    case kAnswerNotAcceptable:
        status = kNotAcceptable;
        break;
    case kAnswerBadRequest:
        status = kBadRequest;
        break;
    case kAnswerContinueNotFinal:
        logLine(QStringLiteral("[%1 OBEXPutHandler] Response is not complete").arg(className()));
        status = kNotComplete;
        break;
    case obex::kResponseForbidden:
        status = kForbidden;
        break;
    default:
        break;
    }
    removeCommand(command, status, true);
}

void ObexServiceConnection::OBEXGetHandler(const OBEXSessionEvent& event,
                                           const std::shared_ptr<ObjectPushCommand>& command)
{
    _getHeaders.clear();
    if (!command) {
        logLine(QStringLiteral("### [%1 OBEXGetHandler] answer without its command").arg(className()));
        return;
    }
    if (!collectAnswer(event, *command)) {
        removeCommand(command, obex::kErrBadResponse, true);
        return;
    }
    const uint8_t code = event.response.serverResponseOpCode;
    int status = 0;
    if (code == obex::kResponseContinue) {
        status = _obexSession ? _obexSession->OBEXGet(true, nullptr, 0, eventHandler(), command->asVariant())
                              : links::kErrNotConnected;
        if (status == 0)
            return;
    } else if (code != obex::kResponseSuccess && code != kAnswerSuccessNotFinal) {
        const QString line = QStringLiteral("[%1 OBEXGetHandler] Get rejected: 0x%2.")
                                 .arg(className(), QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper());
        logLine(line);
        QuickLogToNamedLog(qvlog::kSyncML, QStringLiteral("%1"), line);
        status = kGetRejected;
    }
    removeCommand(command, status, true);
}

void ObexServiceConnection::OBEXAbortHandler(const OBEXSessionEvent& event)
{
    _abortSent = false;
    _isInProgress = false;
    logLine(QStringLiteral("[%1 commandSentCallback] Abort answered: 0x%2")
                .arg(className())
                .arg(event.response.serverResponseOpCode, 0, 16));
    if (event.response.serverResponseOpCode == obex::kResponseSuccess && _currentCommand)
        removeCommand(_currentCommand, 0, true);
}

void ObexServiceConnection::OBEXSetPathHandler(const OBEXSessionEvent& event)
{
    _abortSent = false;
    _isInProgress = false;
    if (_currentCommand)
        removeCommand(_currentCommand, event.response.serverResponseOpCode == obex::kResponseSuccess ? 0 : kGetRejected,
                      true);
}

// --- abort ---

int ObexServiceConnection::performAbort(const std::shared_ptr<QVDeviceCallback>&)
{
    _abortSent = true;
    _userWantsAbort = false;
    ObexATSwitchTransportLayer* session = _obexSession.get();
    const auto transportOpen = [this] { return _obexSession && _obexSession->hasOpenTransportConnection(); };
    int status = 0;
    if (session && session->hasOpenOBEXConnection() && transportOpen()) {
        status = session->OBEXAbort(nullptr, 0, eventHandler(),
                                    _currentCommand ? _currentCommand->asVariant() : QVariant());
        if (status != 0)
            logLine(QStringLiteral("OBEXAbort Error occurred: 0x%1\n").arg(uint(status), 0, 16));
    }
    if (status != 0 || !transportOpen()) {
        _abortSent = false;
    } else {
        // Bounded by the codec's request time-out: a phone that never
        // answers the abort loses its link.
        std::weak_ptr<int> alive = _alive;
        const int passes = int(std::ceil(ObexATSwitchTransportLayer::kRequestTimeout / kAbortSlice));
        platform::runloop::waitUntil([&] { return alive.expired() || !_abortSent || !transportOpen(); }, kAbortSlice,
                                     passes);
        if (alive.expired())
            return status;
        if (_abortSent) {
            logLine(QStringLiteral("### [%1 performAbort] no answer to the abort: closing").arg(className()));
            _abortSent = false;
            _hasConnection = false;
            if (transportOpen())
                _obexSession->closeTransportLayer(nullptr);
            // Ended as timed out even while cancelled: the phone went silent.
            if (auto command = std::exchange(_currentCommand, nullptr))
                command->finishCommand(links::kErrRequestTimeout);
        }
    }
    logLine(QStringLiteral("#### %1 OBEXAbort finished").arg(className()));
    return status;
}

// --- callbacks ---

void ObexServiceConnection::rememberCallback(const std::shared_ptr<QVDeviceCallback>& callback)
{
    callback->setDelegate(this);
    _callbackPool.push_back(callback);
}

void ObexServiceConnection::qvDeviceCallbackFinished(QVDeviceCallback& callback)
{
    std::erase_if(_callbackPool, [&](const std::shared_ptr<QVDeviceCallback>& c) { return c.get() == &callback; });
}

void ObexServiceConnection::freeCallbackPool()
{
    for (const auto& callback : std::exchange(_callbackPool, {}))
        callback->senderIsDying();
}

// --- close ---

int ObexServiceConnection::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    _isInProgress = true;
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, QStringLiteral("delayedCloseConnection"), kCloseDelay,
                                         [this, alive, callback] {
                                             if (!alive.expired())
                                                 delayedCloseConnection(callback);
                                         });
    return 0;
}

void ObexServiceConnection::delayedCloseConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { closeConnectionStep2(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("closeConnectionStep2:"));
    rememberCallback(step);
    if (!_hasConnection) {
        step->finishWithResult(0, QVariant());
        return;
    }
    const int status = closeService(step);
    if (status != 0)
        step->finishWithResult(status, QVariant());
}

void ObexServiceConnection::closeConnectionStep2(QVDeviceCallback& callback)
{
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { closeConnectionStep3(c); }, {}, QVariant(), higher);
    step->setDescriptionNames(className(), QStringLiteral("closeConnectionStep3:"));
    rememberCallback(step);
    if (callback.returnStatus() != 0) {
        step->finishWithResult(callback.returnStatus(), QVariant());
        return;
    }
    closeTransportConnection(step);
}

int ObexServiceConnection::closeTransportConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _hasConnection = false;
    if (!_obexSession || !_obexSession->hasOpenTransportConnection()) {
        callback->finishWithResult(0, QVariant());
        return 0;
    }
    const int status = _obexSession->closeTransportLayer(callback);
    if (status != 0)
        callback->finishWithResult(status, QVariant());
    return status;
}

void ObexServiceConnection::closeConnectionStep3(QVDeviceCallback& callback)
{
    _lastCloseAction = now();
    const int status = callback.returnStatus();
    logLine(QStringLiteral("%1 closed with result: %2").arg(className()).arg(status));
    _isInProgress = false;
    _isOpen = false;
    if (auto higher = QVEmbeddedCallback::getHigherCallback(callback))
        higher->finishWithResult(status, QVariant());
}
