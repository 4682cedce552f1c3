#include "kestrova/core/SLTRFCommDevice.h"

#include <algorithm>

#include "kestrova/core/KitLog.h"
#include "platform/HexDump.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

using kestrova::kitLog;
using kestrova::kitLogWith;

std::unique_ptr<SLTRFCommDevice> SLTRFCommDevice::initWithDeviceAddress(const QString& address, quint16 channelUUID)
{
    if (address.isEmpty())
        return nullptr;
    std::shared_ptr<platform::BluetoothDevice> device = platform::btDeviceForAddress(address);
    if (!device)
        return nullptr;
    if (!device->hasServiceRecords()) {
        // Nothing is known of the phone's services yet: the open reads them.
        kitLog("SLTRFCommDevice: no service records yet, channel looked up at the open");
        return std::unique_ptr<SLTRFCommDevice>(
            new SLTRFCommDevice(std::move(device), platform::kNoRfcommChannel, channelUUID));
    }
    const quint8 channel = channelFromRecords(*device, channelUUID);
    if (channel == platform::kNoRfcommChannel) {
        kitLog("SLTRFCommDevice: no channelID found");
        return nullptr;
    }
    return std::unique_ptr<SLTRFCommDevice>(new SLTRFCommDevice(std::move(device), channel, channelUUID));
}

SLTRFCommDevice::SLTRFCommDevice(std::shared_ptr<platform::BluetoothDevice> device, quint8 channelID,
                                 quint16 channelUUID)
    : _device(std::move(device))
    , _channelID(channelID)
    , _channelUUID(channelUUID)
    , _readTimer([this] { timeoutFired(); })
{
}

quint8 SLTRFCommDevice::channelFromRecords(const platform::BluetoothDevice& device, quint16 channelUUID)
{
    // Both look-ups fall back to the serial port's channel.
    return channelUUID != 0 ? platform::channelWithUUID(device, channelUUID) : platform::dunChannel(device);
}

SLTRFCommDevice::~SLTRFCommDevice()
{
    setDelegate(nullptr);
    setWillCloseCallback(nullptr);
    close();
    if (_channel)
        _channel->setDelegate(nullptr);
}

void SLTRFCommDevice::openConnection()
{
    ++_openAttempts;
    if (_channelID == platform::kNoRfcommChannel) {
        lookUpChannel();
        return;
    }
    _device->performSdpQuery();
    _basebandTries = 0;
    tryBaseband();
}

void SLTRFCommDevice::lookUpChannel()
{
    kitLog("SLTRFCommDevice: reading the service records");
    std::weak_ptr<int> alive = _alive;
    const int status = _device->performSdpQuery([this, alive](int result) {
        if (!alive.expired())
            channelLookedUp(result);
    });
    if (status != 0)
        channelLookedUp(status);
}

void SLTRFCommDevice::channelLookedUp(int status)
{
    if (status != 0) {
        kitLogWith([&] { return QStringLiteral("SLTRFCommDevice: SDP query failed (%1)").arg(uint(status), 0, 16); });
        reportOpenFailed();
        return;
    }
    _channelID = channelFromRecords(*_device, _channelUUID);
    if (_channelID == platform::kNoRfcommChannel) {
        kitLog("SLTRFCommDevice: no channelID found");
        reportOpenFailed();
        return;
    }
    _basebandTries = 0;
    tryBaseband();
}

void SLTRFCommDevice::tryBaseband()
{
    if (_device->isConnected()) {
        openChannel();
        return;
    }
    if (_basebandTries >= kBasebandTries) {
        reportOpenFailed();
        return;
    }
    ++_basebandTries;
    kitLog("opening new baseband connection");
    _openStep.setCallback([this] {
        const int status = _device->openConnection(kPageTimeoutSlots);
        if (status != 0) {
            kitLogWith([&] {
                return QStringLiteral("failed (%1) to open baseband connection%2")
                    .arg(uint(status), 0, 16)
                    .arg(QLatin1String(",retrying..."));
            });
        }
        tryBaseband();
    });
    _openStep.start(kBasebandPauseSeconds);
}

void SLTRFCommDevice::openChannel()
{
    kitLog("baseband connection open, opening RFCommChannel");
    if (_channel)
        _channel->setDelegate(nullptr);
    _channel.reset();
    const int status = _device->openRfcommChannelAsync(_channelID, this, &_channel);
    if (status != 0)
        channelOpenFailed(status);
}

void SLTRFCommDevice::channelOpenFailed(int status)
{
    if (_channel)
        _channel->setDelegate(nullptr);
    _channel.reset();
    kitLogWith([&] { return QStringLiteral("open status: %1").arg(uint(status), 0, 16); });
    if (status == kRetriedOpenStatus && _openAttempts <= kMaxRetriedAttempts) {
        kitLog("retrying...");
        _openStep.setCallback([this] { openConnection(); });
        _openStep.start(0);
        return;
    }
    kitLogWith([&] { return QStringLiteral("RFComm open failed (%1)").arg(uint(status), 0, 16); });
    reportOpenFailed();
}

void SLTRFCommDevice::reportOpenFailed()
{
    _openStep.setCallback([this] {
        if (MultiCommDeviceDelegate* d = delegate())
            d->sltGeneralCommDeviceOpenFailed(this);
    });
    _openStep.start(0);
}

void SLTRFCommDevice::rfcommChannelOpenComplete(platform::RfcommChannel&, int status)
{
    if (status != 0) {
        kitLogWith([&] { return QStringLiteral("RFComm open complete with error: %1").arg(uint(status), 0, 16).toUpper(); });
        channelOpenFailed(status);
        return;
    }
    if (MultiCommDeviceDelegate* d = delegate())
        d->sltGeneralCommDeviceOpenSuccessful(this);
}

int SLTRFCommDevice::writePiece(const char* bytes, int length)
{
    return _channel->writeSync(bytes, length);
}

void SLTRFCommDevice::writeAll(const QByteArray& bytes)
{
    if (!isOpen())
        return;
    const int mtu = std::max<int>(1, _channel->mtu());
    startTimer();
    for (qsizetype at = 0; at < bytes.size(); at += mtu) {
        const int length = int(std::min<qsizetype>(mtu, bytes.size() - at));
        if (const int status = writePiece(bytes.constData() + at, length); status != 0) {
            kitLogWith([&] { return QStringLiteral("SLTRFCommDevice write failed (%1)").arg(uint(status), 0, 16); });
            break;
        }
    }
    stopTimer();
}

void SLTRFCommDevice::sendString(const QString& text)
{
    kitLogWith([&] { return QStringLiteral("SLTRFCommDevice sendString: %1").arg(text); });
    writeAll(text.toUtf8());
}

void SLTRFCommDevice::sendDataCommandPrivate(const QByteArray& bytes)
{
    if (!isOpen())
        return;
    kitLogWith([&] { return QStringLiteral("bytes senden: \n%1").arg(platform::hexdump::formatted(bytes)); });
    writeAll(bytes);
}

void SLTRFCommDevice::sendCommand(const QString& text)
{
    clearForCommand();
    sendString(text);
    startTimer();
}

void SLTRFCommDevice::sendDataCommand(const QByteArray& bytes)
{
    clearForCommand();
    sendDataCommandPrivate(bytes);
    startTimer();
}

void SLTRFCommDevice::goOnReading()
{
    startTimer();
}

bool SLTRFCommDevice::reset()
{
    stopTimer();
    setRawBuffer(QByteArray());
    return MultiCommDevice::reset();
}

void SLTRFCommDevice::startTimer()
{
    _readTimer.start(_timeoutSeconds);
}

void SLTRFCommDevice::stopTimer()
{
    _readTimer.stop();
}

bool SLTRFCommDevice::increaseTimeout()
{
    _timeoutSeconds = kLongTimeoutSeconds;
    return true;
}

bool SLTRFCommDevice::decreaseTimeout()
{
    _timeoutSeconds = kDefaultTimeoutSeconds;
    return true;
}

bool SLTRFCommDevice::setTimeoutValue(int seconds)
{
    _timeoutSeconds = seconds;
    return true;
}

void SLTRFCommDevice::timeoutFired()
{
    kitLog("SLTRFCommDevice: TIMEOUT!");
    stopTimer();
    if (MultiCommDeviceDelegate* d = delegate())
        d->sltGeneralCommDeviceTimeout(this);
}

void SLTRFCommDevice::rfcommChannelData(platform::RfcommChannel&, const QByteArray& data)
{
    stopTimer();
    receive(data, "SLTRFCommDevice");
}

void SLTRFCommDevice::close()
{
    stopTimer();
    _openStep.stop();
    // A record query under way opens nothing after this.
    _alive = std::make_shared<int>(0);
    if (!_channel)
        return;
    std::shared_ptr<platform::RfcommChannel> channel = _channel;
    if (SLTWillCloseCallback* callback = willCloseCallback()) {
        // The kit closes the link itself: no closed message follows.
        channel->setDelegate(nullptr);
        callback->smsKitWillCloseChannel(channel.get());
    }
    const int status = channel->closeChannel();
    kitLogWith([&] { return QStringLiteral("channel close sagt: %1").arg(status); });
    kitLog("connection close sagt: 0");
    // The channel object stays until its closed message has come.
    if (!channel->delegate())
        _channel.reset();
}

void SLTRFCommDevice::rfcommChannelClosed(platform::RfcommChannel& channel)
{
    kitLog("SLTRFCommDevice: channel closed");
    stopTimer();
    if (_channel.get() == &channel) {
        _channel->setDelegate(nullptr);
        // Released on a later pass: this call comes from the channel.
        platform::runloop::performOnMainThread([closed = std::move(_channel)] {});
    }
    if (MultiCommDeviceDelegate* d = delegate())
        d->sltGeneralCommDeviceConnectionClosed(this);
}
