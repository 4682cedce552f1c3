#include "links/CommonObexATSwitchTransportLayer.h"

#include "foundation/NamedLog.h"
#include "links/LinkCodes.h"
#include "links/QVEmbeddedCallback.h"
#include "links/SerialATChannel.h"
#include "platform/RunLoop.h"

namespace {
std::unique_ptr<SerialATChannel>& parkedSlot()
{
    static std::unique_ptr<SerialATChannel> slot;
    return slot;
}

void hangUpAndClose(std::unique_ptr<SerialATChannel> channel)
{
    if (!channel)
        return;
    channel->hangup();
    channel->closeChannelNotWaiting();
}
} // namespace

void freeParkedChannel()
{
    if (!parkedSlot())
        return;
    QVLogWith(qvlog::kConn, [] { return QStringLiteral("--- freeParkedChannel ---"); });
    hangUpAndClose(std::exchange(parkedSlot(), nullptr));
}

SerialATChannel* parkedChannel()
{
    return parkedSlot().get();
}

CommonObexATSwitchTransportLayer::CommonObexATSwitchTransportLayer(MFDevice* device, ObexSwitchSettings settings,
                                                                   const QVariantMap& connectionDict,
                                                                   const QString& connType, bool asServer)
    : ObexATSwitchTransportLayer(device, std::move(settings), asServer)
    , _connDict(connectionDict)
    , _connType(connType)
    , _channelFactory(CommonSerialConnection::currentDefaultChannelFactory())
{
}

CommonObexATSwitchTransportLayer::~CommonObexATSwitchTransportLayer()
{
    for (const auto& step : _steps) {
        if (auto callback = step.lock())
            callback->senderIsDying();
    }
    platform::runloop::cancelPreviousPerformRequests(this);
    if (_serialChannel)
        _serialChannel->setDelegate(nullptr);
}

QString CommonObexATSwitchTransportLayer::className() const
{
    return QStringLiteral("CommonObexATSwitchTransportLayer");
}

bool CommonObexATSwitchTransportLayer::hasValidSession() const
{
    return ObexATSwitchTransportLayer::hasValidSession() && hasOpenTransportConnection();
}

void CommonObexATSwitchTransportLayer::closeSession()
{
    if (hasOpenTransportConnection())
        _serialChannel->closeChannelBlocking();
}

bool CommonObexATSwitchTransportLayer::hasOpenTransportConnection() const
{
    return _serialChannel && _serialChannel->hasOpenTransportConnection();
}

void CommonObexATSwitchTransportLayer::rfcommChannelClosed()
{
    QVLogNoTime(QLatin1String(qvlog::kXT), QStringLiteral("--- [CommonObexATSwitchTransportLayer rfcommChannelClosed] ---"));
    if (auto callback = std::exchange(_tempCallback, nullptr))
        callback->finishWithResult(0, QVariant());
}

int CommonObexATSwitchTransportLayer::openTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback)
{
    SerialATChannel* parked = parkedSlot().get();
    if (!_serialChannel && parked && _settings.parksChannel() && parked->mfDevice() == _mfDevice) {
        // Taking the channel up empties the slot: one owner at a time.
        _serialChannel = std::exchange(parkedSlot(), nullptr);
        _serialChannel->setDelegate(this);
        QVLogWith(qvlog::kConn, [] { return QString::fromUtf8(kReusingParked); });
        const bool stillObex = _serialChannel->modeObex();
        platform::runloop::performAfterDelay(this, QStringLiteral("reuseParked"), 0, [this, stillObex, callback] {
            if (stillObex)
                noteSyncMLSwitch(callback);
            else
                initializeSerialChannelForSyncML(callback);
        });
        return 0;
    }
    if (!_serialChannel) {
        QVLogWith(qvlog::kConn, [] { return QStringLiteral("+++ Creating Channel +++"); });
        const bool usb = _connType == QLatin1String(CommonSerialConnection::kConnTypeUSBSerial);
        _serialChannel = CommonSerialConnection::makeSerialChannel(_channelFactory, _connType, _connDict, false,
                                                                   _mfDevice, this, _settings.phoneTraits());
        if (!_serialChannel)
            return usb ? links::kIOReturnNoDevice : links::kIOReturnUnsupported;
    }
    auto step = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& c) { openConnectionInitForSyncML(c); }, {}, QVariant(), callback);
    step->setDescriptionNames(className(), QStringLiteral("openConnectionInitForSyncML:"));
    std::erase_if(_steps, [](const std::weak_ptr<QVDeviceCallback>& s) { return s.expired(); });
    _steps.push_back(step);
    if (!_serialChannel->hasConnection()) {
        QVLogWith(qvlog::kConn,
                  [&] { return QStringLiteral("[%1 openTransportLayer] will openConnection").arg(className()); });
        const int status = _serialChannel->openConnection(step);
        if (status != 0)
            step->senderIsDying();
        return status;
    }
    QVLogWith(qvlog::kConn,
              [] { return QStringLiteral("#### --- #### We try to open a serial channel which is already open!"); });
    step->senderIsDying();
    return links::kIOReturnExclusiveAccess;
}

void CommonObexATSwitchTransportLayer::openConnectionInitForSyncML(QVDeviceCallback& callback)
{
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("*** [%1 openConnectionInitForSyncML] status %2 ***")
            .arg(className())
            .arg(callback.returnStatus());
    });
    auto higher = static_cast<QVEmbeddedCallback&>(callback).getHigherCallback();
    // A channel that did not open makes the switch fail, which ends the caller's callback.
    platform::runloop::performAfterDelay(this, QStringLiteral("initializeSerialChannelForSyncML"), kSwitchDelay,
                                         [this, higher] { initializeSerialChannelForSyncML(higher); });
}

int CommonObexATSwitchTransportLayer::parkSerialChannel(const std::shared_ptr<QVDeviceCallback>& callback)
{
    QVLogWith(qvlog::kConn, [] { return QStringLiteral("*** Parked Serial Channel ***"); });
    _serialChannel->hangup();
    _serialChannel->setDelegate(nullptr);
    // One slot: a channel parked before is hung up and closed, not leaked open.
    hangUpAndClose(std::exchange(parkedSlot(), std::move(_serialChannel)));
    _modeObex = false;
    if (callback)
        callback->finishSuccessfullyInMainThread(QVariant());
    return 0;
}

int CommonObexATSwitchTransportLayer::closeTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _hasConnection = false;
    _hasValidSession = false;
    if (!hasOpenTransportConnection()) {
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    if (_settings.parksChannel())
        return parkSerialChannel(callback);
    return _serialChannel->closeChannelWithCallback(callback);
}

bool CommonObexATSwitchTransportLayer::sendData(const char* bytes, int length)
{
    if (!hasOpenTransportConnection())
        return false;
    return _serialChannel->sendDataAtSendTime(bytes, length);
}

bool CommonObexATSwitchTransportLayer::sendDataAndWait(const QString& text, int passes)
{
    if (hasOpenTransportConnection() && _serialChannel->sendDataAndWait(text, passes))
        return true;
    closeSession();
    return false;
}

bool CommonObexATSwitchTransportLayer::dataAvail() const
{
    return _serialChannel && _serialChannel->dataAvail();
}

QString CommonObexATSwitchTransportLayer::buffer() const
{
    return _serialChannel ? _serialChannel->buffer() : QString();
}

const char* CommonObexATSwitchTransportLayer::commBuffer() const
{
    return _serialChannel ? _serialChannel->commBuffer() : nullptr;
}

uint32_t CommonObexATSwitchTransportLayer::currentBuffIndex() const
{
    return _serialChannel ? _serialChannel->currentBuffIndex() : 0;
}

void CommonObexATSwitchTransportLayer::setObexMode(bool on)
{
    ObexATSwitchTransportLayer::setObexMode(on);
    if (_serialChannel)
        _serialChannel->setObexMode(on);
}

bool CommonObexATSwitchTransportLayer::sendObexData(const char* bytes, int length)
{
    if (bytes && length > 0)
        _sentCommand = uint8_t(bytes[0]);
    if (!hasOpenTransportConnection())
        return false;
    return _serialChannel->sendObexData(bytes, length);
}

bool CommonObexATSwitchTransportLayer::waitForObexAnswer(int passes)
{
    return _serialChannel && _serialChannel->waitForObexAnswer(passes);
}

bool CommonObexATSwitchTransportLayer::waitForOkErrorConnect(int passes, bool* resultGood)
{
    if (!_serialChannel) {
        if (resultGood)
            *resultGood = false;
        return false;
    }
    return _serialChannel->waitForOkErrorConnect(passes, resultGood);
}

bool CommonObexATSwitchTransportLayer::waitForOkOrError(int passes, bool* resultGood)
{
    if (resultGood)
        *resultGood = false;
    if (!_serialChannel || !_serialChannel->waitForOkOrError(passes))
        return false;
    if (resultGood) {
        bool good = true;
        *resultGood = _serialChannel->hasOkError(&good) && good;
    }
    return true;
}

QString CommonObexATSwitchIrMCTransportLayer::className() const
{
    return QStringLiteral("CommonObexATSwitchIrMCTransportLayer");
}
