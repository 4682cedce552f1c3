// The serial side of the USB scan: opening and closing a phone's modem tty,
// and reading a short answer from it.

#include "device/DZUSBDeviceIdentifier.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr speed_t kSpeed = B19200;
constexpr cc_t kMinBytes = 1;
constexpr cc_t kTimeTenths = 10;
// Output that has not left after this long is dropped at close.
constexpr auto kDrainLimit = std::chrono::seconds(2);

// A write gives up when the phone has taken nothing for this long.
constexpr int kWriteStallMs = 2000;

constexpr int kReadStepBytes = 128;
constexpr int kReadLimitBytes = 2048;
constexpr int kIdleReadsToStop = 7;
constexpr auto kReadStepPause = std::chrono::milliseconds(10);

// The kernel's majors of Unix 98 pseudo-terminal slaves.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

void report(const char* format, const QString& path, int error)
{
    std::printf(format, path.toLocal8Bit().constData(), std::strerror(error), error);
    std::fflush(stdout);
}

void report(const char* format, int error)
{
    std::printf(format, std::strerror(error), error);
    std::fflush(stdout);
}

int closeKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

// tcdrain() waits without end on a tty whose peer stops reading; this gives up
// after kDrainLimit, reporting ETIMEDOUT.
int drainBounded(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
    for (;;) {
        int pending = 0;
        if (::ioctl(fd, TIOCOUTQ, &pending) < 0)
            return ::tcdrain(fd) == 0 ? 0 : errno;
        if (pending <= 0)
            return 0;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::tcflush(fd, TCOFLUSH);
            return ETIMEDOUT;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

bool DZUSBDeviceIdentifier::writeFully(int fileDescriptor, const char* bytes, qsizetype length)
{
    qsizetype done = 0;
    while (done < length) {
        const ssize_t n = ::write(fileDescriptor, bytes + done, size_t(length - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The tty's output queue is full: give the phone time to take it.
            pollfd writable{fileDescriptor, POLLOUT, 0};
            if (::poll(&writable, 1, kWriteStallMs) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool DZUSBDeviceIdentifier::isPseudoTerminal(int fileDescriptor)
{
    struct stat info;
    if (::fstat(fileDescriptor, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned deviceMajor = major(info.st_rdev);
    return deviceMajor >= kPtySlaveMajorFirst && deviceMajor <= kPtySlaveMajorLast;
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
    const QByteArray nativePath = path.toLocal8Bit();
    const int fd = ::open(nativePath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        report("Error opening serial port %s - %s(%d).\n", path, errno);
        return -1;
    }
    // TIOCEXCL keeps other users out, but not root; the lock keeps out every
    // other program that asks for it (and a second open of ours).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        report("Error setting TIOCEXCL on %s - %s(%d).\n", path, errno);
        return closeKeepingErrno(fd);
    }
    if (::tcgetattr(fd, originalTTYAttrs) != 0) {
        report("Error getting tty attributes %s - %s(%d).\n", path, errno);
        return closeKeepingErrno(fd);
    }
    const struct termios options = modemSettings(*originalTTYAttrs);
    if (::tcsetattr(fd, TCSANOW, &options) != 0) {
        report("Error setting tty attributes %s - %s(%d).\n", path, errno);
        return closeKeepingErrno(fd);
    }

    // A pseudo-terminal has no modem lines: there these calls fail and the
    // failure is only reported.
    const bool pty = isPseudoTerminal(fd);
    int dtr = TIOCM_DTR;
    if (::ioctl(fd, TIOCMBIS, &dtr) != 0) {
        report("Error asserting DTR %s - %s(%d).\n", path, errno);
        if (!pty)
            return closeKeepingErrno(fd);
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
    if (fileDescriptor == -1)
        return true;
    if (const int error = drainBounded(fileDescriptor))
        report("Error waiting for drain - %s(%d).\n", error);
    if (::tcsetattr(fileDescriptor, TCSANOW, &originalTTYAttrs) != 0)
        report("Error resetting tty attributes - %s(%d).\n", errno);
    // Linux releases the descriptor even when close() reports an error, so it
    // is never closed twice.
    return ::close(fileDescriptor) == 0;
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
