#include "links/USBSerialATChannel.h"

#include "usbdevice/DZDeviceProperties.h"
#include "device/DZUSBSerialDevice.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

const char* const kConnProductID = "USB.ProductID";
const char* const kConnVendorID = "USB.VendorID";
const char* const kConnSerialNo = "Common.SerialNo";
const char* const kConnDeviceName = "Common.DeviceName";
const char* const kConnDeviceID = "Common.qvDeviceID";
const char* const kDBVendor = "Dorvanti.USB_Vendor";
const char* const kDBModel = "Dorvanti.PS_USB_Model";

void copyIfPresent(const QVariantMap& from, const char* fromKey, QVariantMap& to, const char* toKey)
{
    const auto it = from.constFind(QLatin1String(fromKey));
    if (it != from.constEnd())
        to.insert(QLatin1String(toKey), *it);
}

// The value of a connection key, else of a database key; empty when neither has one.
QString idFrom(const QVariantMap& connectionDict, const char* key, const QVariantMap& settings, const char* dbKey)
{
    QString value = connectionDict.value(QLatin1String(key)).toString();
    if (value.isEmpty())
        value = settings.value(QLatin1String(dbKey)).toString();
    return value;
}

} // namespace

USBSerialATChannel::USBSerialATChannel(MFDevice* device, const QVariantMap& connectionDict, const QVariantMap& wizDict,
                                       SerialDelegateProtocol* delegate, PhoneTraits traits)
    : SerialATChannel(device, delegate, traits)
    , _wizDict(wizDict)
    , _connDict(connectionDict)
    , _guard(std::make_unique<QObject>())
{
}

std::unique_ptr<USBSerialATChannel> USBSerialATChannel::withConnectionDict(MFDevice* device,
                                                                           const QVariantMap& connectionDict,
                                                                           SerialDelegateProtocol* delegate,
                                                                           PhoneTraits traits)
{
    return std::unique_ptr<USBSerialATChannel>(
        new USBSerialATChannel(device, connectionDict, QVariantMap(), delegate, traits));
}

std::unique_ptr<USBSerialATChannel> USBSerialATChannel::withWizDict(MFDevice* device, const QVariantMap& wizDict,
                                                                    SerialDelegateProtocol* delegate,
                                                                    PhoneTraits traits)
{
    return std::unique_ptr<USBSerialATChannel>(
        new USBSerialATChannel(device, QVariantMap(), wizDict, delegate, traits));
}

USBSerialATChannel::~USBSerialATChannel()
{
    stopReader();
    _usbSerialChannel.reset();
}

QString USBSerialATChannel::className() const
{
    return QStringLiteral("USBSerialATChannel");
}

QVariantMap USBSerialATChannel::makeWizDict(const QVariantMap& connectionDict)
{
    QVariantMap wizDict;
    copyIfPresent(connectionDict, kConnProductID, wizDict, DZDeviceProperties::kProductIDKey);
    copyIfPresent(connectionDict, kConnVendorID, wizDict, DZDeviceProperties::kVendorIDKey);
    copyIfPresent(connectionDict, kConnSerialNo, wizDict, DZDeviceProperties::kSerialNumberKey);
    copyIfPresent(connectionDict, kConnDeviceName, wizDict, DZDeviceProperties::kProductKey);
    return wizDict;
}

std::optional<QVariantMap> USBSerialATChannel::availableConnection(const QVariantMap& connectionDict)
{
    const QVariant deviceID = connectionDict.value(QLatin1String(kConnDeviceID));
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return std::nullopt;
    QVariantMap settings;
    try {
        settings = db->getSettingsForDeviceByID(deviceID);
    } catch (const platform::Exception& e) {
        QVLogWith(qvlog::kConn,
                  [&] { return QStringLiteral("[USBSerialATChannel availableConnection] %1").arg(e.reason()); });
        return std::nullopt;
    }
    if (settings.isEmpty())
        return std::nullopt;
    const QString vendor = idFrom(connectionDict, kConnVendorID, settings, kDBVendor);
    const QString product = idFrom(connectionDict, kConnProductID, settings, kDBModel);
    if (deviceID.toInt() > 0) {
        if (vendor.isEmpty())
            QVLOG(qvlog::kConn, QStringLiteral("Warning: no vendor string rom identifier or Device DB"));
        if (product.isEmpty())
            QVLOG(qvlog::kConn, QStringLiteral("Warning: no model string from identifier or Device DB"));
    }
    QVariantMap wanted{{DZDeviceProperties::kVendorIDKey, vendor}, {DZDeviceProperties::kProductIDKey, product}};
    const QString serial = connectionDict.value(QLatin1String(kConnSerialNo)).toString();
    if (!serial.isEmpty())
        wanted.insert(DZDeviceProperties::kSerialNumberKey, serial);
    const std::unique_ptr<DZUSBSerialDevice> device = DZUSBSerialDevice::deviceWithDict(wanted);
    return device ? device->deviceInfo() : std::nullopt;
}

std::unique_ptr<DZUSBSerialDevice> USBSerialATChannel::makeSerialDevice(const QVariantMap& wizDict)
{
    return DZUSBSerialDevice::deviceWithDict(wizDict);
}

int USBSerialATChannel::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("[%1 openConnection] refused, with kIOReturnExclusiveAccess").arg(className());
        });
        return links::kIOReturnExclusiveAccess;
    }
    _isInProgress = true;
    if (!_usbSerialChannel) {
        if (_wizDict.isEmpty())
            _wizDict = makeWizDict(_connDict);
        std::unique_ptr<DZUSBSerialDevice> device = makeSerialDevice(_wizDict);
        if (!device || !device->isSerialAvailable()) {
            QVLOG(qvlog::kConn, QStringLiteral("How's that?"));
            _isInProgress = false;
            return kNoSerialDevice;
        }
        if (!device->openSerialDevice()) {
            _isInProgress = false;
            return links::kIOReturnExclusiveAccess;
        }
        _usbSerialChannel = std::move(device);
        startReader();
    }
    _openCallback = callback;
    platform::runloop::performOnMainThread([this] { rfcommChannelOpenComplete(); }, _guard.get());
    return 0;
}

void USBSerialATChannel::rfcommChannelOpenComplete()
{
    transportOpened();
    _isInProgress = false;
    if (auto callback = std::exchange(_openCallback, nullptr))
        callback->finishWithResult(0, QVariant());
}

int USBSerialATChannel::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    if (!_usbSerialChannel || !_usbSerialChannel->isConnected()) {
        transportClosed();
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    _isInProgress = true;
    // The reader is stopped before the descriptor goes, so it never reads a
    // closed (or reused) descriptor.
    stopReader();
    if (!_usbSerialChannel->closeSerialDevice() && _usbSerialChannel->isConnected()) {
        _isInProgress = false;
        startReader();
        return links::kIOReturnStillOpen;
    }
    _closeCallback = callback;
    platform::runloop::performOnMainThread([this] { rfcommChannelClosed(); }, _guard.get());
    return 0;
}

void USBSerialATChannel::rfcommChannelClosed()
{
    releaseSerialDevice();
    transportClosed();
    if (auto callback = std::exchange(_closeCallback, nullptr))
        callback->finishWithResult(0, QVariant());
}

void USBSerialATChannel::releaseSerialDevice()
{
    stopReader();
    _usbSerialChannel.reset();
}

bool USBSerialATChannel::hasOpenTransportConnection() const
{
    return _usbSerialChannel && _usbSerialChannel->isConnected();
}

bool USBSerialATChannel::sendData(const char* bytes, int length)
{
    emptyBufferBeforeSend();
    if (!hasOpenTransportConnection() || length < 0)
        return false;
    std::lock_guard<std::mutex> io(_usbSerialChannel->ioLock());
    return DZUSBDeviceIdentifier::writeFully(_usbSerialChannel->fileDescriptor(), bytes, length);
}

QByteArray USBSerialATChannel::readBurst(int fileDescriptor, int* pieces, bool* lost)
{
    QByteArray batch;
    *pieces = 0;
    *lost = false;
    char piece[kReadPieceBytes];
    while (batch.size() < kReadBatchLimit) {
        const ssize_t n = ::read(fileDescriptor, piece, sizeof piece);
        if (n > 0) {
            batch.append(piece, n);
            ++*pieces;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing waiting is EAGAIN on a non-blocking tty; end of file or an
        // error (EIO once the phone is unplugged) means the tty is gone.
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            *lost = true;
        break;
    }
    return batch;
}

void USBSerialATChannel::startReader()
{
    stopReader();
    _stopReading = false;
    _readerWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (_readerWake < 0) {
        // The reader then waits its idle times out and sees a stop after them.
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("### [%1 startReader] no wake-up descriptor: %2")
                .arg(className(), QString::fromLocal8Bit(std::strerror(errno)));
        });
    }
    _reader = std::thread(
        [this, generation = _readerGeneration, idle = readIdleSeconds()] { doReadIdleThread(generation, idle); });
}

void USBSerialATChannel::stopReader()
{
    // What a stopped reader still has on its way to the main thread is stale.
    ++_readerGeneration;
    if (!_reader.joinable())
        return;
    _stopReading = true;
    if (_readerWake >= 0) {
        const uint64_t one = 1;
        while (::write(_readerWake, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    _reader.join();
    if (_readerWake >= 0) {
        ::close(_readerWake);
        _readerWake = -1;
    }
}

USBSerialATChannel::Wake USBSerialATChannel::waitForTty(int fileDescriptor, bool watchTty, double seconds)
{
    using namespace std::chrono;
    // Without a wake-up descriptor a stop is seen between slices of this length.
    constexpr int kStopSliceMs = int(kReadIdleSeconds * 1000);
    const auto deadline = steady_clock::now() + duration<double>(seconds);
    pollfd fds[2] = {{_readerWake, POLLIN, 0}, {watchTty ? fileDescriptor : -1, POLLIN, 0}};
    for (;;) {
        if (_stopReading)
            return Wake::Stop;
        // Rounded up to whole milliseconds: a short wait never becomes none.
        int left = int(ceil<milliseconds>(deadline - steady_clock::now()).count());
        if (left <= 0)
            return Wake::TimeOut;
        if (_readerWake < 0)
            left = std::min(left, kStopSliceMs);
        const int ready = ::poll(fds, 2, left);
        if (_stopReading)
            return Wake::Stop;
        if (ready > 0)
            return Wake::Tty; // the read tells bytes from a hang-up
        if (ready < 0 && errno != EINTR)
            std::this_thread::sleep_for(milliseconds(std::min(left, kStopSliceMs)));
    }
}

void USBSerialATChannel::doReadIdleThread(quint64 generation, double longestIdle)
{
    // Only this thread's start and the main thread's join bracket its life,
    // so the device object and the guard outlive every pass.
    DZUSBSerialDevice* device = _usbSerialChannel.get();
    const QObject* guard = _guard.get();
    const int fileDescriptor = device->fileDescriptor();
    bool ttyWoke = false;
    for (;;) {
        int pieces = 0;
        bool lost = false;
        QByteArray batch;
        {
            std::lock_guard<std::mutex> io(device->ioLock());
            batch = readBurst(fileDescriptor, &pieces, &lost);
        }
        if (!batch.isEmpty()) {
            platform::runloop::performOnMainThread(
                [this, batch, generation] {
                    if (generation == _readerGeneration)
                        doReadIdleMain(batch);
                },
                guard);
        }
        if (lost) {
            platform::runloop::performOnMainThread(
                [this, generation] {
                    if (generation == _readerGeneration)
                        readerLostTty();
                },
                guard);
            return;
        }
        // The longest wait: the poll interval of the hardware, the shorter
        // the more came. A tty that woke the reader and then had nothing is
        // left out of the next wait, so it cannot keep the reader spinning.
        double idle = longestIdle;
        for (int i = 0; i < pieces; ++i)
            idle /= 2;
        const Wake wake = waitForTty(fileDescriptor, !(ttyWoke && pieces == 0), idle);
        if (wake == Wake::Stop)
            return;
        ttyWoke = wake == Wake::Tty;
    }
}

void USBSerialATChannel::doReadIdleMain(const QByteArray& data)
{
    deliverData(data.constData(), int(data.size()));
}

void USBSerialATChannel::readerLostTty()
{
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("[%1] the tty hung up").arg(className()); });
    stopReader();
    if (_usbSerialChannel)
        _usbSerialChannel->closeSerialDevice();
    rfcommChannelClosed();
}
