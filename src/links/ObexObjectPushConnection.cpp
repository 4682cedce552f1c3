#include "links/ObexObjectPushConnection.h"

#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/QVEmbeddedCallback.h"
#include "platform/RunLoop.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint8_t kAnswerContinueNotFinal = 0x10;
constexpr uint8_t kAnswerSuccessNotFinal = 0x20;
constexpr uint8_t kAnswerBadRequest = 0x40;
constexpr uint8_t kAnswerNotAcceptable = 0x46;
} // namespace

ObexObjectPushConnection::ObexObjectPushConnection(MFDevice* device, DeviceHooks hooks)
    : ObexServiceConnection(device, nullptr, std::move(hooks))
{
    _maxPacketLength = kInitialMaxPacket;
}

ObexObjectPushConnection::~ObexObjectPushConnection()
{
    _alive.reset();
    releaseFile();
    freeCallbackPool();
}

QString ObexObjectPushConnection::className() const
{
    return QStringLiteral("ObexObjectPushConnection");
}

bool ObexObjectPushConnection::hasConnection() const
{
    return _obexSession && _hasConnection && _obexSession->hasOpenTransportConnection();
}

OBEXSessionEventHandler ObexObjectPushConnection::pushEventHandler()
{
    std::weak_ptr<int> alive = _alive;
    return [this, alive](const OBEXSessionEvent& event) {
        if (!alive.expired())
            pushEvent(event);
    };
}

QByteArray ObexObjectPushConnection::connectionIDHeader() const
{
    QByteArray headers;
    if (_hasConnectionID)
        obex::addConnectionIDHeader(headers, _sessionID);
    return headers;
}

void ObexObjectPushConnection::releaseFile()
{
    _currentFile.reset();
    _tempPutDataBuffer.clear();
}

void ObexObjectPushConnection::endRequest(int status)
{
    _busy = false;
    finishWithError(status);
}

// --- open ---

int ObexObjectPushConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    logLine(QStringLiteral("[%1 openConnection]").arg(className()));
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    if (hasConnection()) {
        callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    _obexSession = _sessionFactory ? _sessionFactory() : nullptr;
    if (!_obexSession)
        return kNoSession;
    _hasConnection = false;
    _hasConnectionID = false;
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { openConnectionStep2(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("openConnectionStep2:"));
    rememberCallback(step);
    _isInProgress = true;
    const int status = _obexSession->openTransportLayer(step);
    if (status != 0) {
        _isInProgress = false;
        step->senderIsDying();
        qvDeviceCallbackFinished(*step);
        _obexSession.reset();
    }
    return status;
}

void ObexObjectPushConnection::openConnectionStep2(QVDeviceCallback& callback)
{
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    _isInProgress = false;
    int status = callback.returnStatus();
    if (status == 0)
        status = connectObex(higher);
    if (status != 0 && higher)
        higher->finishWithResult(status, QVariant());
}

int ObexObjectPushConnection::connectObex(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress) {
        logLine(QStringLiteral("-- Will NOT connectObex (ObjectPush), because it is in progress"));
        return links::kIOReturnExclusiveAccess;
    }
    if (!_obexSession)
        return kNoSession;
    if (_obexSession->hasOpenOBEXConnection() && _hasConnection) {
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    _isInProgress = true;
    _busy = true;
    logLine(QStringLiteral("[%1 connectObex] OBEXConnect").arg(className()));
    storeCallback(callback);
    const int status = _obexSession->OBEXConnect(0, uint16_t(obex::kMaxPacketLength), nullptr, 0, pushEventHandler(),
                                                 QVariant::fromValue(callback));
    if (status != 0) {
        logLine(QStringLiteral("[%1 OBEXConnect] Error occurred: 0x%2\n").arg(className()).arg(uint(status), 0, 16));
        _isInProgress = false;
        _busy = false;
        freeCallback();
        _obexSession.reset();
    }
    return status;
}

void ObexObjectPushConnection::OBEXConnectHandler(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    logLine(QStringLiteral("[%1 OBEXConnectHandler] returns %2").arg(className()).arg(code));
    _busy = false;
    _isInProgress = false;
    if (code != obex::kResponseSuccess) {
        finishWithError(code);
        return;
    }
    const auto headers = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                            qsizetype(event.response.headerDataLength));
    if (!headers) {
        logLine(QStringLiteral("### [%1 OBEXConnectHandler] headers run past the answer").arg(className()));
        finishWithError(obex::kErrBadResponse);
        return;
    }
    if (const obex::Header* id = obex::findHeader(*headers, obex::kHeaderConnectionID)) {
        _sessionID = id->number;
        _hasConnectionID = true;
    }
    _hasConnection = true;
    _isOpen = true;
    finishWithError(0);
}

// --- disconnect and close ---

int ObexObjectPushConnection::disconnectObex(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_obexSession || !hasConnection()) {
        // Nothing to disconnect: the caller's chain goes on.
        _busy = false;
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    if (_busy) {
        // The request in flight is aborted at its next event; the
        // disconnect follows the abort.
        _closeAfterAbort = callback;
        _userWantsAbort = true;
        return 0;
    }
    _busy = true;
    _disconnectFinished = false;
    logLine(QStringLiteral("[%1 disconnectObex] OBEXDisconnect").arg(className()));
    storeCallback(callback);
    const QByteArray headers = connectionIDHeader();
    const int status = _obexSession->OBEXDisconnect(headers.isEmpty() ? nullptr : headers.constData(),
                                                    int(headers.size()), pushEventHandler(),
                                                    QVariant::fromValue(callback));
    if (status != 0) {
        logLine(QStringLiteral("[%1 disconnectObex] failed with error %2").arg(className()).arg(status));
        _busy = false;
        freeCallback();
    }
    return status;
}

void ObexObjectPushConnection::abortBeforeCloseFinished(QVDeviceCallback& callback)
{
    if (callback.returnStatus() != 0)
        _busy = false;
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    const int status = disconnectObex(higher);
    if (status != 0 && higher)
        higher->finishWithResult(status, QVariant());
}

void ObexObjectPushConnection::OBEXDisconnectHandler(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    logLine(QStringLiteral("[%1 OBEXDisconnectHandler] returns %2").arg(className()).arg(code));
    _disconnectFinished = true;
    _isInProgress = false;
    _busy = false;
    if (code != obex::kResponseSuccess) {
        logLine(QStringLiteral("[%1 Disconnect Callback: failed:0x%2")
                    .arg(className())
                    .arg(code, 2, 16, QLatin1Char('0'))
                    .toUpper());
    } else {
        _hasConnection = false;
        _isOpen = false;
        logLine(QStringLiteral("Disconnect Callback: %1 CloseConnection successful").arg(className()));
    }
    finishWithError(code == obex::kResponseSuccess ? 0 : code);
}

int ObexObjectPushConnection::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    logLine(QStringLiteral("[%1 closeConnection]").arg(className()));
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    _isInProgress = true;
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { closeConnectionStep2(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("closeConnectionStep2:"));
    rememberCallback(step);
    const int status = disconnectObex(step);
    if (status != 0)
        step->finishWithErrorInMainThread(status, QVariant());
    return 0;
}

void ObexObjectPushConnection::closeConnectionStep2(QVDeviceCallback& callback)
{
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    if (callback.returnStatus() != 0) {
        _isInProgress = false;
        if (higher)
            higher->finishWithResult(callback.returnStatus(), QVariant());
        return;
    }
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { closeConnectionStep3(c); }, {}, QVariant(), higher);
    step->setDescriptionNames(className(), QStringLiteral("closeConnectionStep3:"));
    rememberCallback(step);
    const int status = closeObexSession(step);
    if (status != 0)
        step->finishWithResult(status, QVariant());
}

int ObexObjectPushConnection::closeObexSession(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _hasConnection = false;
    if (_obexSession && _obexSession->hasOpenTransportConnection())
        return _obexSession->closeTransportLayer(callback);
    callback->finishSuccessfullyInMainThread(QVariant());
    return 0;
}

void ObexObjectPushConnection::closeConnectionStep3(QVDeviceCallback& callback)
{
    const int status = callback.returnStatus();
    _isInProgress = false;
    _isOpen = false;
    if (status == 0)
        closeDevice();
    if (auto higher = QVEmbeddedCallback::getHigherCallback(callback))
        higher->finishWithResult(status, QVariant());
}

// --- push ---

int ObexObjectPushConnection::pushFileAsync(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_busy)
        return links::kIOReturnExclusiveAccess;
    if (!hasConnection())
        return links::kErrNotConnected;
    _currentFileSize = 0;
    _lastFileOffset = 0;
    _userWantsAbort = false;
    _abortSent = false;
    releaseFile();

    // Only a regular file: a FIFO or a device would block the open or the
    // reads. Opened without blocking, checked on the open handle.
    const QByteArray local = QFile::encodeName(path);
    const int fd = local.isEmpty() ? -1 : ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        logLine(QStringLiteral("[%1 pushFileAsync] %2 is no readable regular file").arg(className(), path));
        return kCannotOpen;
    }
    if (quint64(info.st_size) > 0xFFFFFFFFull) {
        ::close(fd);
        logLine(QStringLiteral("[%1 pushFileAsync] %2 is too large for OBEX").arg(className(), path));
        return kCannotOpen;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return kCannotOpen;
    }
    if (info.st_size == 0)
        return kEmptyFile;
    _currentFile = std::move(file);
    _currentFileSize = uint32_t(info.st_size);

    QByteArray headers = connectionIDHeader();
    obex::addNameHeader(headers, QFileInfo(path).fileName());
    obex::addLengthHeader(headers, _currentFileSize);
    _optHeadersSize = int(headers.size());
    bool last = false;
    const QByteArray chunk = getNextFileChunk(_optHeadersSize, &last);
    if (chunk.isEmpty()) {
        releaseFile();
        return kCannotOpen;
    }
    _busy = true;
    logLine(QStringLiteral("[%1 pushFileAsync] OBEXPut").arg(className()));
    storeCallback(callback);
    const int status = _obexSession->OBEXPut(last, headers.constData(), int(headers.size()), chunk.constData(),
                                             int(chunk.size()), pushEventHandler(), QVariant::fromValue(callback));
    if (status != 0) {
        _busy = false;
        freeCallback();
        releaseFile();
    }
    return status;
}

QByteArray ObexObjectPushConnection::getNextFileChunk(int optionalHeaderLength, bool* isLastChunk)
{
    *isLastChunk = false;
    if (!_obexSession || !_currentFile)
        return {};
    const int room = _obexSession->putBodyRoom(optionalHeaderLength);
    if (room <= 0)
        return {};
    *isLastChunk = quint64(_lastFileOffset) + quint64(room) >= _currentFileSize;
    _tempPutDataBuffer = _currentFile->read(room);
    if (_tempPutDataBuffer.isEmpty()) {
        // The file shrank under us: what is left is nothing.
        *isLastChunk = true;
        return {};
    }
    _lastFileOffset += uint32_t(_tempPutDataBuffer.size());
    if (_lastFileOffset >= _currentFileSize)
        *isLastChunk = true;
    return _tempPutDataBuffer;
}

void ObexObjectPushConnection::putAnswer(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    logLine(QStringLiteral("[%1 OBEXPutHandler] returns %2").arg(className()).arg(code));
    switch (code) {
    case obex::kResponseContinue: {
        if (const auto& callback = activeCallback()) {
            const double done = _currentFileSize ? double(_lastFileOffset) * 100.0 / _currentFileSize : 0.0;
            if (!callback->registerProgress(double(_lastFileOffset), float(done))) {
                // Asked to stop: the abort goes out now, between requests.
                _userWantsAbort = true;
                pushEvent(event);
                return;
            }
        }
        bool last = false;
        const QByteArray chunk = getNextFileChunk(0, &last);
        if (chunk.isEmpty()) {
            releaseFile();
            endRequest(kCannotOpen);
            return;
        }
        const int status = _obexSession->OBEXPut(last, nullptr, 0, chunk.constData(), int(chunk.size()),
                                                 pushEventHandler(), event.refCon);
        if (status != 0) {
            releaseFile();
            endRequest(status);
        }
        return;
    }
    case obex::kResponseSuccess:
    case kAnswerSuccessNotFinal:
        if (const auto& callback = activeCallback())
            callback->registerProgress(double(_lastFileOffset), 100.0f);
        releaseFile();
        endRequest(0);
        return;
    case kAnswerBadRequest:
        endRequest(kPutBadRequest);
        break;
    case kAnswerNotAcceptable:
        endRequest(kPutNotAcceptable);
        break;
    case obex::kResponseForbidden:
        endRequest(kPutForbidden);
        break;
    case kAnswerContinueNotFinal:
        logLine(QStringLiteral("[%1 OBEXPutHandler] Response is not complete! I don't think we handle this case.")
                    .arg(className()));
        endRequest(kPutNotComplete);
        break;
    default:
        endRequest(kPutRefused);
        break;
    }
    releaseFile();
}

// --- capabilities ---

int ObexObjectPushConnection::getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_busy)
        return links::kIOReturnExclusiveAccess;
    if (!hasConnection())
        return links::kErrNotConnected;
    _currentFileSize = 0;
    _lastFileOffset = 0;
    _userWantsAbort = false;
    _abortSent = false;
    _busy = true;
    _tempGetDataBuffer.clear();
    QByteArray headers = connectionIDHeader();
    obex::addTypeHeader(headers, QByteArray(kCapabilityType));
    logLine(QStringLiteral("[%1 getCapabilities] OBEXGet").arg(className()));
    storeCallback(callback);
    const int status = _obexSession->OBEXGet(true, headers.constData(), int(headers.size()), pushEventHandler(),
                                             QVariant::fromValue(callback));
    if (status != 0) {
        _busy = false;
        freeCallback();
    }
    return status;
}

void ObexObjectPushConnection::getAnswer(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    logLine(QStringLiteral("[%1 OBEXGetHandler] returns %2").arg(className()).arg(code));
    const bool collects = code == obex::kResponseContinue || code == obex::kResponseSuccess
        || code == kAnswerSuccessNotFinal;
    if (collects) {
        const auto headers = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                                qsizetype(event.response.headerDataLength));
        if (!headers) {
            logLine(QStringLiteral("### [%1 OBEXGetHandler] headers run past the answer").arg(className()));
            _tempGetDataBuffer.clear();
            endRequest(obex::kErrBadResponse);
            return;
        }
        // Body and End-of-Body, in the order they came.
        for (const obex::Header& header : *headers) {
            if (header.identifier != obex::kHeaderBody && header.identifier != obex::kHeaderEndOfBody)
                continue;
            if (_tempGetDataBuffer.size() + header.value.size() > kMaxCollected) {
                logLine(QStringLiteral("### [%1 OBEXGetHandler] more than %2 bytes").arg(className()).arg(kMaxCollected));
                _tempGetDataBuffer.clear();
                endRequest(obex::kErrBadResponse);
                return;
            }
            _tempGetDataBuffer += header.value;
        }
    }
    switch (code) {
    case obex::kResponseContinue: {
        const int status = _obexSession->OBEXGet(true, nullptr, 0, pushEventHandler(), event.refCon);
        if (status != 0) {
            _tempGetDataBuffer.clear();
            endRequest(status);
        }
        return;
    }
    case obex::kResponseSuccess:
    case kAnswerSuccessNotFinal: {
        _busy = false;
        const QByteArray data = std::exchange(_tempGetDataBuffer, QByteArray());
        finishWithResultObject(data);
        return;
    }
    case kAnswerContinueNotFinal:
        endRequest(kGetNotComplete);
        break;
    case kAnswerBadRequest:
    case obex::kResponseBadRequest:
        endRequest(kGetBadRequest);
        break;
    default:
        logLine(QStringLiteral("[%1 OBEXGetHandler] Get refused: 0x%2").arg(className()).arg(code, 2, 16, QLatin1Char('0')));
        endRequest(kGetRefused);
        break;
    }
    _tempGetDataBuffer.clear();
}

// --- abort ---

int ObexObjectPushConnection::performAbort(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _abortSent = true;
    _userWantsAbort = false;
    releaseFile();
    // The request ends now; the abort's own answer ends the abort callback.
    endRequest(kAborted);
    int status = links::kErrNotConnected;
    if (_obexSession && hasConnection()) {
        storeCallback(callback);
        _busy = true;
        status = _obexSession->OBEXAbort(nullptr, 0, pushEventHandler(), QVariant::fromValue(callback));
        if (status != 0) {
            logLine(QStringLiteral("[%1 performAbort] OBEXAbort Error occurred: 0x%2").arg(className()).arg(uint(status), 0, 16));
            _busy = false;
            freeCallback();
        }
    }
    if (status != 0) {
        _abortSent = false;
        if (callback)
            callback->finishWithErrorInMainThread(status, QVariant());
    }
    return status;
}

void ObexObjectPushConnection::OBEXAbortHandler(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    logLine(QStringLiteral("[%1 OBEXAbortHandler] returns %2").arg(className()).arg(code));
    _abortSent = false;
    _userWantsAbort = false;
    _busy = false;
    finishWithError(code == obex::kResponseSuccess ? 0 : code);
}

// --- event dispatch ---

void ObexObjectPushConnection::pushEvent(const OBEXSessionEvent& event)
{
    if (_userWantsAbort && !_abortSent) {
        // The abort's end only clears the abort marks; a close that waited
        // for it goes on with its disconnect.
        auto closeAfter = std::exchange(_closeAfterAbort, nullptr);
        std::shared_ptr<QVDeviceCallback> abortCallback;
        if (closeAfter) {
            abortCallback = QVEmbeddedCallback::embeddedObject(
                this, [this](QVDeviceCallback& c) { abortBeforeCloseFinished(c); }, {}, QVariant(), closeAfter);
            abortCallback->setDescriptionNames(className(), QStringLiteral("abortBeforeCloseFinished:"));
        } else {
            abortCallback = QVDeviceCallback::commandObject(
                this,
                [this](QVDeviceCallback&) {
                    _abortSent = false;
                    _userWantsAbort = false;
                },
                {});
        }
        rememberCallback(abortCallback);
        performAbort(abortCallback);
        return;
    }
    switch (event.type) {
    case obex::kEventConnectResponse:
        _maxPacketLength = clampedMaxPacket(event.response.maxPacketSize);
        OBEXConnectHandler(event);
        return;
    case obex::kEventDisconnectResponse:
        OBEXDisconnectHandler(event);
        return;
    case obex::kEventPutResponse:
        putAnswer(event);
        return;
    case obex::kEventGetResponse:
        getAnswer(event);
        return;
    case obex::kEventAbortResponse:
        OBEXAbortHandler(event);
        return;
    case obex::kEventSetPathResponse:
        return;
    case obex::kEventError:
        logLine(QStringLiteral("[%1 commandSentCallback] kOBEXSessionEventTypeError = %2")
                    .arg(className())
                    .arg(event.errorData.error));
        _busy = false;
        _abortSent = false;
        _isInProgress = false;
        releaseFile();
        _tempGetDataBuffer.clear();
        if (event.errorData.error == links::kErrTransportDied || event.errorData.error == links::kErrRequestTimeout)
            _hasConnection = false;
        finishWithError(event.errorData.error);
        return;
    default:
        logLine(QStringLiteral("[%1 commandSentCallback] unrecognized command type.").arg(className()));
        _busy = false;
        return;
    }
}
