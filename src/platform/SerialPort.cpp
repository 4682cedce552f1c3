#include "platform/SerialPort.h"

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

namespace platform::serialport {
namespace {

// Output that has not left after this long is dropped at close.
constexpr auto kDrainLimit = std::chrono::seconds(2);
// A write gives up when the peer has taken nothing for this long.
constexpr int kWriteStallMs = 2000;
// The kernel's majors of Unix 98 pseudo-terminal slaves.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

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

void report(const char* format, const QString& path, int error)
{
    std::printf(format, path.toLocal8Bit().constData(), std::strerror(error), error);
    std::fflush(stdout);
}

bool writeFully(int fileDescriptor, const char* bytes, qsizetype length)
{
    qsizetype done = 0;
    while (done < length) {
        const ssize_t n = ::write(fileDescriptor, bytes + done, size_t(length - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The tty's output queue is full: give the peer time to take it.
            pollfd writable{fileDescriptor, POLLOUT, 0};
            if (::poll(&writable, 1, kWriteStallMs) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool isPseudoTerminal(int fileDescriptor)
{
    struct stat info;
    if (::fstat(fileDescriptor, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned deviceMajor = major(info.st_rdev);
    return deviceMajor >= kPtySlaveMajorFirst && deviceMajor <= kPtySlaveMajorLast;
}

int openSerialPort(const QString& path, const SettingsMaker& makeSettings, struct termios* originalTTYAttrs)
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
    const struct termios options = makeSettings(*originalTTYAttrs);
    if (::tcsetattr(fd, TCSANOW, &options) != 0) {
        report("Error setting tty attributes %s - %s(%d).\n", path, errno);
        return closeKeepingErrno(fd);
    }
    return fd;
}

bool closeSerialPort(int fileDescriptor, const struct termios& originalTTYAttrs)
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

} // namespace platform::serialport
