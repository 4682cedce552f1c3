#include "platform/bluetooth/BluetoothStack.h"

#include "platform/Clock.h"
#include "platform/IOReturn.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothLog.h"
#include "platform/bluetooth/BluetoothStackBlueZ.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <cmath>

namespace platform {

Q_LOGGING_CATEGORY(lcBluetooth, "marvesto.bluetooth")

namespace {
QMutex stackMutex;
std::shared_ptr<BluetoothStack> installedStack;

std::shared_ptr<BluetoothStack> makeDefaultStack()
{
    const QString deviceFile = qEnvironmentVariable(BluetoothStack::kSimulationEnvironment);
    if (!deviceFile.isEmpty()) {
        auto simulated = std::make_shared<BluetoothStackSimulated>();
        QString error;
        if (!simulated->loadDeviceFile(deviceFile, &error))
            qCWarning(lcBluetooth) << "device file" << deviceFile << "not used:" << error;
        return simulated;
    }
    auto stack = std::make_shared<BluetoothStackBlueZ>();
    stack->setRecordCacheFile(QDir(paths::applicationSupportDirectory()).filePath(
        QLatin1String(BluetoothStack::kRecordCacheFile)));
    return stack;
}

constexpr double kWaitSlice = 0.1;
constexpr const char* kRecordsKey = "records";
} // namespace

// --- RfcommChannel ---------------------------------------------------------

RfcommChannel::RfcommChannel(std::shared_ptr<BluetoothDevice> device, quint8 channelID, quint16 mtu)
    : _device(std::move(device)), _channelID(channelID), _mtu(mtu), _guard(std::make_unique<QObject>())
{
}

RfcommChannel::~RfcommChannel() = default;

void RfcommChannel::post(std::function<void(RfcommChannelDelegate&)> event)
{
    std::function<void()> delivery = [this, event = std::move(event)] {
        if (_delegate)
            event(*_delegate);
    };
    if (_holdEvents)
        _heldEvents.push_back(std::move(delivery));
    else
        runloop::performOnMainThread(std::move(delivery), _guard.get());
}

int RfcommChannel::writeSync(const char* bytes, int length)
{
    if (_state != State::Open)
        return kIOReturnNotOpen;
    if (length < 0 || length > _mtu)
        return kIOReturnError;
    return transportWrite(bytes, length) ? 0 : kIOReturnIOError;
}

int RfcommChannel::writeAsync(const char* bytes, int length, quint64 reference)
{
    const int status = writeSync(bytes, length);
    if (status == 0)
        post([this, reference](RfcommChannelDelegate& d) { d.rfcommChannelWriteComplete(*this, reference, 0); });
    return status;
}

int RfcommChannel::closeChannel()
{
    if (_state == State::Closed)
        return kIOReturnNotOpen;
    const bool wasOpening = _state == State::Opening;
    _state = State::Closed;
    _openTimeLimit.reset();
    transportClose();
    if (wasOpening)
        _openStatus = kIOReturnNoDevice;
    post([this](RfcommChannelDelegate& d) { d.rfcommChannelClosed(*this); });
    return 0;
}

void RfcommChannel::openFinished(int status)
{
    if (_state != State::Opening)
        return;
    _openTimeLimit.reset();
    _openStatus = status;
    if (status == 0) {
        _state = State::Open;
    } else {
        _state = State::Closed;
        transportClose();
    }
    post([this, status](RfcommChannelDelegate& d) { d.rfcommChannelOpenComplete(*this, status); });
}

void RfcommChannel::dataArrived(const QByteArray& data)
{
    if (_state != State::Open || data.isEmpty())
        return;
    post([this, data](RfcommChannelDelegate& d) { d.rfcommChannelData(*this, data); });
}

void RfcommChannel::closedByPeer()
{
    if (_state == State::Opening) {
        openFinished(kIOReturnNoDevice);
        return;
    }
    if (_state == State::Closed)
        return;
    _state = State::Closed;
    transportClose();
    post([this](RfcommChannelDelegate& d) { d.rfcommChannelClosed(*this); });
}

// --- BluetoothDevice -------------------------------------------------------

BluetoothDevice::BluetoothDevice(BluetoothStack& stack, const BluetoothAddress& address)
    : _stack(stack.weak_from_this())
    , _address(address)
    , _records(stack.cachedRecords(address))
    , _hasRecords(stack.hasCachedRecords(address))
    , _guard(std::make_unique<QObject>())
{
}

BluetoothDevice::~BluetoothDevice() = default;

QList<SdpServiceRecord> BluetoothDevice::services() const
{
    return _records;
}

bool BluetoothDevice::hasServiceRecords() const
{
    return _hasRecords;
}

std::optional<SdpServiceRecord> BluetoothDevice::serviceRecordForUuid(const BluetoothUuid& uuid) const
{
    for (const SdpServiceRecord& record : _records) {
        if (record.hasUuid(uuid))
            return record;
    }
    return std::nullopt;
}

int BluetoothDevice::openConnectionAsync(std::function<void(int)> done, int pageTimeoutSlots,
                                         bool authenticationRequired)
{
    if (_asyncOpen && _asyncOpen->isActive())
        return kIOReturnBusy;
    auto owner = stack();
    if (!owner || !owner->hasAdapter())
        return kIOReturnNoDevice;
    _asyncOpen = std::make_unique<Timer>([this, done = std::move(done), pageTimeoutSlots, authenticationRequired] {
        const int status = openConnection(pageTimeoutSlots, authenticationRequired);
        if (done)
            done(status);
    });
    _asyncOpen->start(0);
    return 0;
}

int BluetoothDevice::pair(std::function<void(int)> done)
{
    if (_pairing)
        return kIOReturnBusy;
    auto owner = stack();
    if (!owner || !owner->hasAdapter())
        return kIOReturnNoDevice;
    _pairing = true;
    _pairingDone = std::move(done);
    _pairingTimeLimit = std::make_unique<Timer>([this] {
        qCWarning(lcBluetooth) << "pairing with" << addressString() << "timed out";
        stopPairing();
        pairingFinished(kIOReturnTimeout);
    });
    _pairingTimeLimit->start(bluetooth::kPairingTimeLimit);
    const int status = startPairing();
    if (status != 0) {
        _pairing = false;
        _pairingDone = {};
        _pairingTimeLimit.reset();
    }
    return status;
}

void BluetoothDevice::cancelPairing()
{
    if (!_pairing)
        return;
    stopPairing();
    pairingFinished(kIOReturnNotOpen);
}

int BluetoothDevice::startPairing()
{
    return kIOReturnUnsupported;
}

void BluetoothDevice::pairingFinished(int status)
{
    if (!_pairing)
        return;
    _pairing = false;
    _pairingTimeLimit.reset();
    if (auto owner = stack())
        owner->pairingAgent().endRequestsOf(_address);
    if (std::function<void(int)> done = std::exchange(_pairingDone, {}))
        runloop::performOnMainThread([done = std::move(done), status] { done(status); }, _guard.get());
}

int BluetoothDevice::performSdpQuery(std::function<void(int)> done)
{
    if (!_sdpRunning) {
        const int status = startSdpQuery();
        if (status != 0)
            return status;
        _sdpRunning = true;
        _sdpTimeLimit = std::make_unique<Timer>([this] {
            qCWarning(lcBluetooth) << "SDP query of" << addressString() << "timed out";
            sdpQueryFinished(kIOReturnTimeout, {});
        });
        _sdpTimeLimit->start(bluetooth::kSdpQueryTimeLimit);
    }
    _sdpWaiters.push_back(std::move(done));
    return 0;
}

void BluetoothDevice::sdpQueryFinished(int status, const QList<SdpServiceRecord>& records)
{
    if (!_sdpRunning)
        return;
    _sdpRunning = false;
    _sdpTimeLimit.reset();
    if (status == 0) {
        _records = records;
        _hasRecords = true;
        if (auto owner = stack())
            owner->storeRecords(_address, records);
    }
    for (auto& waiter : std::exchange(_sdpWaiters, {})) {
        if (waiter)
            runloop::performOnMainThread([waiter = std::move(waiter), status] { waiter(status); }, _guard.get());
    }
}

int BluetoothDevice::openRfcommChannelSync(quint8 channelID, RfcommChannelDelegate* delegate,
                                           std::shared_ptr<RfcommChannel>* channel)
{
    return openRfcomm(channelID, delegate, channel, true);
}

int BluetoothDevice::openRfcommChannelAsync(quint8 channelID, RfcommChannelDelegate* delegate,
                                            std::shared_ptr<RfcommChannel>* channel)
{
    return openRfcomm(channelID, delegate, channel, false);
}

int BluetoothDevice::openRfcomm(quint8 channelID, RfcommChannelDelegate* delegate,
                                std::shared_ptr<RfcommChannel>* channel, bool wait)
{
    std::shared_ptr<RfcommChannel> opened;
    const int status = startRfcommOpen(channelID, &opened);
    if (status != 0 || !opened)
        return status != 0 ? status : kIOReturnError;
    opened->setDelegate(delegate);
    opened->_holdEvents = wait;
    if (channel)
        *channel = wait ? nullptr : opened;
    if (opened->_state == RfcommChannel::State::Opening) {
        RfcommChannel* raw = opened.get();
        opened->_openTimeLimit = std::make_unique<Timer>([raw] {
            qCWarning(lcBluetooth) << "RFCOMM open of channel" << raw->channelID() << "timed out";
            raw->openFinished(kIOReturnTimeout);
        });
        opened->_openTimeLimit->start(bluetooth::kRfcommOpenTimeLimit);
    }
    if (!wait)
        return 0;
    const int passes = int(std::ceil(bluetooth::kRfcommOpenTimeLimit / kWaitSlice)) + 2;
    runloop::waitUntil([&] { return opened->_state != RfcommChannel::State::Opening; }, kWaitSlice, passes);
    if (opened->_state == RfcommChannel::State::Opening)
        opened->openFinished(kIOReturnTimeout);
    opened->_holdEvents = false;
    std::vector<std::function<void()>> held = std::exchange(opened->_heldEvents, {});
    if (opened->_openStatus != 0) {
        opened->setDelegate(nullptr);
        return opened->_openStatus;
    }
    if (channel)
        *channel = opened;
    for (auto& event : held)
        runloop::performOnMainThread(std::move(event), opened->_guard.get());
    return 0;
}

// --- BluetoothStack --------------------------------------------------------

BluetoothStack::BluetoothStack() = default;
BluetoothStack::~BluetoothStack() = default;

BluetoothStack& BluetoothStack::shared()
{
    QMutexLocker lock(&stackMutex);
    if (!installedStack)
        installedStack = makeDefaultStack();
    return *installedStack;
}

void BluetoothStack::setShared(std::shared_ptr<BluetoothStack> stack)
{
    QMutexLocker lock(&stackMutex);
    installedStack = std::move(stack);
}

std::shared_ptr<BluetoothDevice> BluetoothStack::deviceWithAddress(const BluetoothAddress& address)
{
    for (const auto& device : std::as_const(_devices)) {
        if (device->address() == address)
            return device;
    }
    std::shared_ptr<BluetoothDevice> device = makeDevice(address);
    if (device)
        _devices.append(device);
    return device;
}

std::shared_ptr<BluetoothDevice> BluetoothStack::deviceWithAddressString(const QString& address)
{
    const std::optional<BluetoothAddress> parsed = BluetoothAddress::fromString(address);
    return parsed ? deviceWithAddress(*parsed) : nullptr;
}

void BluetoothStack::setRecordCacheFile(const QString& path)
{
    _cacheFile = path;
    if (!path.isEmpty())
        _records = readRecordFile(path);
}

QList<SdpServiceRecord> BluetoothStack::cachedRecords(const BluetoothAddress& address) const
{
    return _records.value(address);
}

bool BluetoothStack::hasCachedRecords(const BluetoothAddress& address) const
{
    return _records.contains(address);
}

void BluetoothStack::storeRecords(const BluetoothAddress& address, const QList<SdpServiceRecord>& records)
{
    _records.insert(address, records);
    for (const auto& device : std::as_const(_devices)) {
        if (device->address() == address) {
            device->_records = records;
            device->_hasRecords = true;
        }
    }
    if (_cacheFile.isEmpty())
        return;
    QVariantMap file;
    for (auto it = _records.constBegin(); it != _records.constEnd(); ++it) {
        QVariantList encoded;
        for (const SdpServiceRecord& record : it.value())
            encoded.append(sdp::encodeRecord(record));
        file.insert(it.key().toString(), QVariantMap{{QLatin1String(kRecordsKey), encoded}});
    }
    QDir().mkpath(QFileInfo(_cacheFile).absolutePath());
    QString error;
    if (!plist::writeFile(_cacheFile, file, &error))
        qCWarning(lcBluetooth) << "record cache not written:" << error;
}

QMap<BluetoothAddress, QList<SdpServiceRecord>> BluetoothStack::readRecordFile(const QString& path)
{
    QMap<BluetoothAddress, QList<SdpServiceRecord>> result;
    if (!QFileInfo::exists(path))
        return result;
    QString error;
    const QVariant file = plist::readFile(path, &error);
    if (file.typeId() != QMetaType::QVariantMap) {
        qCWarning(lcBluetooth) << "record cache" << path << "unreadable:" << error;
        return result;
    }
    const QVariantMap devices = file.toMap();
    for (auto it = devices.constBegin(); it != devices.constEnd(); ++it) {
        const std::optional<BluetoothAddress> address = BluetoothAddress::fromString(it.key());
        if (!address) {
            qCWarning(lcBluetooth) << "record cache: bad address" << it.key();
            continue;
        }
        QList<SdpServiceRecord> records;
        for (const QVariant& encoded : it.value().toMap().value(QLatin1String(kRecordsKey)).toList()) {
            if (std::optional<SdpServiceRecord> record = sdp::decodeRecord(encoded.toByteArray()))
                records.append(*record);
            else
                qCWarning(lcBluetooth) << "record cache: malformed record of" << it.key() << "skipped";
        }
        result.insert(*address, records);
    }
    return result;
}

} // namespace platform
