// The serial side of the USB scan: opening and closing a phone's modem tty,
// and reading a short answer from it.

#include "usbdevice/DZUSBDeviceIdentifier.h"
#include "platform/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr speed_t kSpeed = B19200;
constexpr cc_t kMinBytes = 1;
constexpr cc_t kTimeTenths = 10;

constexpr int kReadStepBytes = 128;
constexpr int kReadLimitBytes = 2048;
constexpr int kIdleReadsToStop = 7;
constexpr auto kReadStepPause = std::chrono::milliseconds(10);

using platform::serialport::report;

} // namespace

bool DZUSBDeviceIdentifier::writeFully(int fileDescriptor, const char* bytes, qsizetype length)
{
    return platform::serialport::writeFully(fileDescriptor, bytes, length);
}

bool DZUSBDeviceIdentifier::isPseudoTerminal(int fileDescriptor)
{
    return platform::serialport::isPseudoTerminal(fileDescriptor);
}

struct termios DZUSBDeviceIdentifier::modemSettings(const struct termios& original)
{
    struct termios options = original;
    ::cfmakeraw(&options);
    options.c_cc[VMIN] = kMinBytes;
    options.c_cc[VTIME] = kTimeTenths;
    ::cfsetspeed(&options, kSpeed);
    // cfmakeraw already chose 8 bits, so or-ing in CS7 keeps 8: 8 bits, even
    // parity, RTS/CTS flow control.
    options.c_cflag |= (CS7 | PARENB | CRTSCTS);
    return options;
}

int DZUSBDeviceIdentifier::myOpenSerialPort(const QString& path, struct termios* originalTTYAttrs)
{
    const int fd = platform::serialport::openSerialPort(path, modemSettings, originalTTYAttrs);
    if (fd < 0)
        return -1;

    // A pseudo-terminal has no modem lines: there these calls fail and the
    // failure is only reported.
    const bool pty = isPseudoTerminal(fd);
    int dtr = TIOCM_DTR;
    if (::ioctl(fd, TIOCMBIS, &dtr) != 0) {
        report("Error asserting DTR %s - %s(%d).\n", path, errno);
        if (!pty) {
            platform::serialport::closeSerialPort(fd, *originalTTYAttrs);
            return -1;
        }
    }
    if (::ioctl(fd, TIOCMBIC, &dtr) != 0)
        report("Error clearing DTR %s - %s(%d).\n", path, errno);
    int handshake = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR;
    if (::ioctl(fd, TIOCMSET, &handshake) != 0)
        report("Error setting handshake lines %s - %s(%d).\n", path, errno);
    if (::ioctl(fd, TIOCMGET, &handshake) != 0)
        report("Error getting handshake lines %s - %s(%d).\n", path, errno);
    return fd;
}

bool DZUSBDeviceIdentifier::myCloseSerialPort(int fileDescriptor, const struct termios& originalTTYAttrs)
{
    return platform::serialport::closeSerialPort(fileDescriptor, originalTTYAttrs);
}

QByteArray DZUSBDeviceIdentifier::readBuffer(int fileDescriptor)
{
    QByteArray bytes;
    int idleReads = 0;
    while (bytes.size() + kReadStepBytes <= kReadLimitBytes) {
        std::this_thread::sleep_for(kReadStepPause);
        char piece[kReadStepBytes];
        const ssize_t n = ::read(fileDescriptor, piece, sizeof piece);
        if (n > 0) {
            bytes.append(piece, n);
            idleReads = 0;
        } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            if (++idleReads >= kIdleReadsToStop)
                break;
        } else {
            break;
        }
    }
    return bytes;
}

QString DZUSBDeviceIdentifier::getSerilCmdString(int fileDescriptor)
{
    static const QByteArray kSetupCommand = "ATV1E1X1\r";
    static const QByteArray kSerialCommand = "AT+cgsn\r";
    if (!writeFully(fileDescriptor, kSetupCommand.constData(), kSetupCommand.size()))
        return QString();
    readBuffer(fileDescriptor);
    if (!writeFully(fileDescriptor, kSerialCommand.constData(), kSerialCommand.size()))
        return QString();
    const QByteArray answer = readBuffer(fileDescriptor);
    const qsizetype echo = answer.indexOf(kSerialCommand);
    if (echo < 0)
        return QString();
    qsizetype start = echo + kSerialCommand.size();
    while (start < answer.size() && (answer.at(start) == '\r' || answer.at(start) == '\n' || answer.at(start) == ' '))
        ++start;
    const qsizetype end = answer.indexOf("\r\n", start);
    if (end <= start)
        return QString();
    return QString::fromLatin1(answer.mid(start, end - start));
}
