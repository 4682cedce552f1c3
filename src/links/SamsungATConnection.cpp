#include "links/SamsungATConnection.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ConnectionRegistration.h"
#include "links/LinkCodes.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObjectPushCommand.h"
#include "links/QVEmbeddedCallback.h"
#include "platform/RunLoop.h"

#include <climits>

SamsungATConnection::SamsungATConnection(MFDevice* device, TransportFactory factory, SamsungHooks hooks)
    : ObexServiceConnection(device, nullptr, DeviceHooks{hooks.pauseAfterAnyAction, hooks.closeDevice})
    , _transportFactory(std::move(factory))
    , _samsungHooks(std::move(hooks))
{
}

SamsungATConnection::~SamsungATConnection()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

std::unique_ptr<SamsungATConnection> SamsungATConnection::initWithMFDeviceAndDictionary(
    MFDeviceLinkOwner& owner, const ObexSwitchSettings& settings, const QVariantMap& connectionDict,
    const QString& connType, SamsungHooks hooks)
{
    const std::optional<QVariantMap> specification = links::registrationSpecification(connType, connectionDict);
    if (!specification)
        return nullptr;
    MFDevice* device = owner.linkDevice();
    hooks.isSamsung = hooks.isSamsung || settings.isSamsung;
    auto connection = std::make_unique<SamsungATConnection>(
        device,
        [device, settings, connectionDict, connType] {
            return std::make_unique<CommonObexATSwitchIrMCTransportLayer>(device, settings, connectionDict, connType,
                                                                          false);
        },
        std::move(hooks));
    connection->setConnectionDict(connectionDict, connType);
    owner.registerConnection(QLatin1String(kServiceName), *specification);
    return connection;
}

QString SamsungATConnection::className() const
{
    return QStringLiteral("SamsungATConnection");
}

void SamsungATConnection::logRequest(const QString& line) const
{
    logLine(line);
    QuickLogToNamedLog(qvlog::kSyncML, QStringLiteral("%1"), line);
}

// --- open ---

int SamsungATConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    if (_isOpen && _hasConnection && _obexSession && _obexSession->hasOpenTransportConnection()) {
        // Open already: the caller has its connection, the live one stays.
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    if (!_obexSession) {
        if (!_transportFactory)
            return links::kIOReturnUnsupported;
        setObexSession(_transportFactory());
        if (!_obexSession)
            return links::kIOReturnNoDevice;
    }
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { openConnectionStep2(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("openConnectionStep2:"));
    rememberCallback(step);
    _isInProgress = true;
    const int status = _obexSession->openTransportLayer(step);
    if (status != 0) {
        _isInProgress = false;
        step->senderIsDying();
        _obexSession.reset();
        logLine(QStringLiteral("[%1 openConnection] returns %2").arg(className()).arg(uint(status), 0, 16));
    }
    return status;
}

void SamsungATConnection::openConnectionStep2(QVDeviceCallback& callback)
{
    auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    const int status = callback.returnStatus();
    if (status != 0) {
        _isInProgress = false;
        if (higher)
            higher->finishWithResult(status, QVariant());
        return;
    }
    _isOpen = true;
    const double pause = _samsungHooks.pauseAfterNormalClose ? _samsungHooks.pauseAfterNormalClose() : 0.0;
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, QStringLiteral("delayedOpenSamsungObexService"), pause,
                                         [this, alive, higher] {
                                             if (!alive.expired())
                                                 delayedOpenSamsungObexService(higher);
                                         });
}

void SamsungATConnection::delayedOpenSamsungObexService(const std::shared_ptr<QVDeviceCallback>& callback)
{
    const int status = OpenSamsungObexService(callback);
    if (status != 0 && callback)
        callback->finishWithResult(status, QVariant());
}

int SamsungATConnection::OpenSamsungObexService(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_obexSession) {
        _isInProgress = false;
        return links::kErrNotConnected;
    }
    if (!_obexSession->requiresOpenConnect() || _hasConnection) {
        // Switched by the sync command, or open already: nothing to connect.
        _isInProgress = false;
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    storeCallback(callback);
    QByteArray headers;
    obex::addTargetHeader(headers, QByteArray(kTarget));
    _isInProgress = true;
    const int status = _obexSession->OBEXConnect(0, kFirstConnectMaxPacket, headers.constData(), int(headers.size()),
                                                 eventHandler(), QVariant::fromValue(callback));
    if (status != 0) {
        _isInProgress = false;
        freeCallback();
        logLine(QStringLiteral("OBEXConnect Error occurred: 0x%1\n").arg(uint(status), 0, 16));
        if (_obexSession->hasOpenTransportConnection())
            _obexSession->closeTransportLayer(nullptr);
        _obexSession.reset();
        _isOpen = false;
    }
    return status;
}

void SamsungATConnection::openForPhonebookFinished(QVDeviceCallback& callback)
{
    if (_notifier)
        _notifier->phoneBookReceived(QVariant(), callback.returnStatus());
}

void SamsungATConnection::OBEXConnectHandler(const OBEXSessionEvent& event)
{
    const uint8_t code = event.response.serverResponseOpCode;
    if (code != obex::kResponseSuccess) {
        _isInProgress = false;
        logLine(QStringLiteral("[SamsungObexATSwitchTransportLayer OBEXConnectHandler] Request failed. "
                               "Response code: 0x%1\n")
                    .arg(code, 0, 16));
        // Without its MOBEX session the channel is of no use: it goes back,
        // and the connection no longer counts as open.
        _isOpen = false;
        _hasConnection = false;
        if (_obexSession && _obexSession->hasOpenTransportConnection())
            _obexSession->closeTransportLayer(nullptr);
        finishWithError(code);
        return;
    }
    ObexServiceConnection::OBEXConnectHandler(event);
}

// --- close ---

int SamsungATConnection::closeObexService(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_obexSession) {
        // Nothing left to close: the caller's step ends now, not never.
        _hasConnection = false;
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    if (!_hasConnection)
        return 0;
    _disconnectFinished = false;
    storeCallback(callback);
    QByteArray headers;
    if (!_samsungHooks.isSamsung)
        obex::addConnectionIDHeader(headers, _sessionID);
    const int status = _obexSession->OBEXDisconnect(headers.isEmpty() ? nullptr : headers.constData(),
                                                    int(headers.size()), eventHandler(), QVariant::fromValue(callback));
    if (status != 0)
        freeCallback();
    return status;
}

void SamsungATConnection::OBEXDisconnectHandler(const OBEXSessionEvent& event)
{
    _busy = false;
    _isOpen = false;
    ObexServiceConnection::OBEXDisconnectHandler(event);
}

// --- record operations ---

QByteArray SamsungATConnection::mobexProperty(int property)
{
    switch (property) {
    case 0:
        return QByteArrayLiteral("m-obex/contacts/");
    case 1:
        return QByteArrayLiteral("m-obex/calendar/");
    default:
        return {};
    }
}

QByteArray SamsungATConnection::typeText(int property, const char* word)
{
    const QByteArray path = mobexProperty(property);
    return path.isEmpty() ? QByteArray() : path + word;
}

QByteArray SamsungATConnection::indexParams(uint8_t subType, uint16_t index)
{
    QByteArray params;
    params.append(char(subType)).append(char(index >> 8)).append(char(index & 0xFF));
    return params;
}

int SamsungATConnection::checkReady() const
{
    if (_canceled)
        return kCancelled;
    if (!_obexSession || !_obexSession->hasOpenTransportConnection())
        return links::kErrNotConnected;
    return 0;
}

QByteArray SamsungATConnection::requestHeaders(const QByteArray& type, const QByteArray& appParams,
                                               bool withParams) const
{
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    obex::addTypeHeader(headers, type);
    if (withParams)
        obex::addApplicationParameterHeader(headers, appParams);
    return headers;
}

int SamsungATConnection::sendGet(const std::shared_ptr<ObjectPushCommand>& command, const QByteArray& type,
                                 const QByteArray& params, bool withParams)
{
    if (type.isEmpty())
        return kNoObjectPath;
    if (const int status = checkReady(); status != 0)
        return status;
    const QByteArray headers = requestHeaders(type, params, withParams);
    setGetHeader(headers);
    rememberCommand(command);
    _expectedAmountOfData = 0;
    logRequest(QStringLiteral("[%1] Get %2 (%3)")
                   .arg(className(), QString::fromLatin1(type), QString::fromLatin1(params.toHex(' '))));
    const int status = _obexSession->OBEXGet(true, headers.constData(), int(headers.size()), eventHandler(),
                                             command->asVariant());
    if (status != 0) {
        _getHeaders.clear();
        removeCommand(command, status, false);
    }
    return status;
}

int SamsungATConnection::sendPut(const std::shared_ptr<ObjectPushCommand>& command, const QByteArray& type,
                                 const QByteArray& params, bool withBody)
{
    if (type.isEmpty())
        return kNoObjectPath;
    if (const int status = checkReady(); status != 0)
        return status;
    QByteArray headers = requestHeaders(type, params, true);
    const QByteArray& data = command->dataToSend();
    if (withBody)
        obex::addLengthHeader(headers, uint32_t(data.size()));
    setPutHeader(headers);
    rememberCommand(command);
    _expectedAmountOfData = 0;
    logRequest(QStringLiteral("[%1] Put %2 (%3), %4 bytes")
                   .arg(className(), QString::fromLatin1(type), QString::fromLatin1(params.toHex(' ')))
                   .arg(withBody ? data.size() : 0));
    int status = 0;
    if (!withBody || data.isEmpty()) {
        status = _obexSession->OBEXPut(true, headers.constData(), int(headers.size()), nullptr, 0, eventHandler(),
                                       command->asVariant());
    } else {
        // The first chunk takes what the packet leaves beside these headers.
        bool done = false;
        status = sendPutChunk(command, INT_MAX, headers, &done);
    }
    if (status != 0) {
        _putHeaders.clear();
        removeCommand(command, status, false);
    }
    return status;
}

int SamsungATConnection::requestPropertyCount(const std::shared_ptr<ObjectPushCommand>& command, int property,
                                              uint8_t subType)
{
    return sendGet(command, propertyMobexCount(property), QByteArray(1, char(subType)), true);
}

int SamsungATConnection::requestPropertyInfo(const std::shared_ptr<ObjectPushCommand>& command, int property,
                                             const QByteArray& appParams)
{
    return sendGet(command, propertyMobexInfo(property), appParams, !appParams.isNull());
}

int SamsungATConnection::requestPropertyLoad(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index,
                                             int property, uint8_t subType)
{
    return sendGet(command, propertyMobexLoad(property), indexParams(subType, index), true);
}

int SamsungATConnection::requestPropertyRead(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index,
                                             int property, uint8_t subType)
{
    return sendGet(command, propertyMobexRead(property), indexParams(subType, index), true);
}

int SamsungATConnection::sendPropertyDelete(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index,
                                            int property, uint8_t subType)
{
    // The whole 16-bit index: record 300 is not record 44.
    return sendPut(command, propertyMobexDelete(property), indexParams(subType, index), false);
}

int SamsungATConnection::sendPropertyReplace(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index,
                                             int property, uint8_t subType)
{
    return sendPut(command, propertyMobexWrite(property), indexParams(subType, index), true);
}

int SamsungATConnection::sendPropertyAdd(const std::shared_ptr<ObjectPushCommand>& command, int property,
                                         uint8_t subType)
{
    return sendPut(command, propertyMobexCreate(property), QByteArray(1, char(subType)), true);
}
