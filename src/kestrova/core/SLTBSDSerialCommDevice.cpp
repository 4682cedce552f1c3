#include "kestrova/core/SLTBSDSerialCommDevice.h"

#include "kestrova/core/KitLog.h"
#include "platform/HexDump.h"
#include "platform/RunLoop.h"
#include "platform/SerialPort.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
const QString kOpenSuccessfulAction = QStringLiteral("sltGeneralCommDeviceOpenSuccessful");
const QString kOpenFailedAction = QStringLiteral("sltGeneralCommDeviceOpenFailed");
} // namespace

std::unique_ptr<SLTBSDSerialCommDevice> SLTBSDSerialCommDevice::initWithBSDFullPath(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    struct termios original {};
    const int fd = platform::serialport::openSerialPort(path, linkSettings, &original);
    if (fd < 0)
        return nullptr;
    // The descriptor stays non-blocking: reads are started by the event loop
    // when bytes are there, so none ever waits.
    return std::unique_ptr<SLTBSDSerialCommDevice>(new SLTBSDSerialCommDevice(fd, original));
}

SLTBSDSerialCommDevice::SLTBSDSerialCommDevice(int fileDescriptor, const struct termios& original)
    : _fileDescriptor(fileDescriptor)
    , _originalTTYAttrs(original)
    , _currentTTYAttrs(linkSettings(original))
    , _readTimer([this] { readSilenceEnded(); })
{
}

SLTBSDSerialCommDevice::~SLTBSDSerialCommDevice()
{
    setDelegate(nullptr);
    setWillCloseCallback(nullptr);
    close();
}

struct termios SLTBSDSerialCommDevice::linkSettings(const struct termios& original)
{
    struct termios options = original;
    ::cfsetispeed(&options, B115200);
    ::cfsetospeed(&options, B115200);
    options.c_cflag |= (CLOCAL | CREAD);
    options.c_lflag &= ~tcflag_t(ICANON | ISIG | ECHO | ECHOE);
    options.c_oflag &= ~tcflag_t(OPOST);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = kReadTimeTenths;
    return options;
}

void SLTBSDSerialCommDevice::openConnection()
{
    if (_fileDescriptor < 0) {
        platform::runloop::performAfterDelay(this, kOpenFailedAction, 0, [this] {
            if (MultiCommDeviceDelegate* d = delegate())
                d->sltGeneralCommDeviceOpenFailed(this);
        });
        return;
    }
    _readNotifier = std::make_unique<QSocketNotifier>(_fileDescriptor, QSocketNotifier::Read);
    _readNotifier->setEnabled(false);
    QObject::connect(_readNotifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
    platform::runloop::performAfterDelay(this, kOpenSuccessfulAction, kOpenDelaySeconds, [this] {
        if (MultiCommDeviceDelegate* d = delegate())
            d->sltGeneralCommDeviceOpenSuccessful(this);
    });
}

void SLTBSDSerialCommDevice::write(const QByteArray& bytes)
{
    clearForCommand();
    if (_fileDescriptor < 0 || !platform::serialport::writeFully(_fileDescriptor, bytes.constData(), bytes.size())) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("SLTBSDSerialCommDevice - write failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        });
        if (MultiCommDeviceDelegate* d = delegate())
            d->sltGeneralCommDeviceCommandError(this);
        return;
    }
    kestrova::kitLog("SLTBSDSerialCommDevice - sendString ok");
    goOnReading();
}

void SLTBSDSerialCommDevice::sendCommand(const QString& text)
{
    kestrova::kitLogWith([&] { return QStringLiteral("SLTBSDSerialCommDevice - sendString: %1").arg(text); });
    write(text.toUtf8());
}

void SLTBSDSerialCommDevice::sendDataCommand(const QByteArray& bytes)
{
    kestrova::kitLogWith([&] {
        return QStringLiteral("SLTBSDSerialCommDevice - send: \n%1").arg(platform::hexdump::formatted(bytes));
    });
    write(bytes);
}

void SLTBSDSerialCommDevice::goOnReading()
{
    if (!_readNotifier)
        return;
    _readNotifier->setEnabled(true);
    // The silence that ends a read is the tty's own read limit.
    _readTimer.start(_currentTTYAttrs.c_cc[VTIME] / 10.0);
}

void SLTBSDSerialCommDevice::stopReading()
{
    _readTimer.stop();
    if (_readNotifier)
        _readNotifier->setEnabled(false);
}

void SLTBSDSerialCommDevice::readAvailable()
{
    stopTimer();
    stopReading();
    QByteArray bytes;
    char piece[kReadPieceBytes];
    bool failed = false;
    // What the tty holds now, bounded so one read never grows without end.
    while (bytes.size() < kMaxBufferedBytes) {
        const ssize_t n = ::read(_fileDescriptor, piece, sizeof piece);
        if (n > 0) {
            bytes.append(piece, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing more for now. End of file or an error (EIO once the
        // phone is gone) ends the read with an error.
        failed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (!bytes.isEmpty()) {
        _dataReceived = true;
        receive(bytes, "SLTBSDSerialCommDevice");
        return;
    }
    if (failed) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("SLTBSDSerialCommDevice - read failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        });
        if (MultiCommDeviceDelegate* d = delegate())
            d->sltGeneralCommDeviceCommandError(this);
        return;
    }
    // A wake-up without bytes: keep waiting, the silence timer still counts.
    goOnReading();
}

void SLTBSDSerialCommDevice::readSilenceEnded()
{
    stopTimer();
    stopReading();
    _dataReceived = false;
    receive(QByteArray(), "SLTBSDSerialCommDevice");
}

void SLTBSDSerialCommDevice::close()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    stopTimer();
    stopReading();
    _readNotifier.reset();
    if (_fileDescriptor >= 0) {
        if (SLTWillCloseCallback* callback = willCloseCallback())
            callback->smsKitWillCloseChannel(this);
        platform::serialport::closeSerialPort(_fileDescriptor, _originalTTYAttrs);
        _fileDescriptor = -1;
    }
    if (MultiCommDeviceDelegate* d = delegate())
        d->sltGeneralCommDeviceConnectionClosed(this);
}

bool SLTBSDSerialCommDevice::applyReadTime(int tenths)
{
    if (_fileDescriptor < 0)
        return false;
    struct termios changed = _currentTTYAttrs;
    changed.c_cc[VTIME] = cc_t(std::clamp(tenths, 0, 255));
    if (::tcsetattr(_fileDescriptor, TCSANOW, &changed) != 0)
        return false;
    _currentTTYAttrs = changed;
    return true;
}

bool SLTBSDSerialCommDevice::increaseTimeout()
{
    return applyReadTime(kLongReadTimeTenths);
}

bool SLTBSDSerialCommDevice::decreaseTimeout()
{
    return applyReadTime(kReadTimeTenths);
}

bool SLTBSDSerialCommDevice::setTimeoutValue(int seconds)
{
    return applyReadTime(seconds * 10);
}

void SLTBSDSerialCommDevice::stopTimer()
{
    _timeoutTimer.reset();
}

void SLTBSDSerialCommDevice::timeoutFired()
{
    stopTimer();
    kestrova::kitLog("SLTBSDSerialCommDevice timeout");
    if (MultiCommDeviceDelegate* d = delegate())
        d->sltGeneralCommDeviceTimeout(this);
}
