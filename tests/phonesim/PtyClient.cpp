#include "PtyClient.h"

#include "VirtualTime.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyClient::PtyClient(const QString& path)
{
    _fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (_fd < 0)
        return;
    termios attrs {};
    tcgetattr(_fd, &attrs);
    cfmakeraw(&attrs);
    tcsetattr(_fd, TCSANOW, &attrs);
}

PtyClient::PtyClient(int socket) : _fd(socket)
{
    if (_fd >= 0)
        ::fcntl(_fd, F_SETFL, ::fcntl(_fd, F_GETFL) | O_NONBLOCK);
}

PtyClient::~PtyClient()
{
    if (_fd >= 0)
        ::close(_fd);
}

bool PtyClient::write(const QByteArray& bytes)
{
    // The tty holds a few KB: a longer write goes out as the phone reads.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd writable{_fd, POLLOUT, 0};
        if (::poll(&writable, 1, 5000) <= 0)
            return false;
    }
    return true;
}

void PtyClient::drain(QByteArray& into)
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(_fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        _readSizes.append(int(n));
        into.append(buffer, n);
    }
}

QByteArray PtyClient::readAnswer(double seconds)
{
    testing_support::OutsideInputScope outside;
    QByteArray answer;
    _readSizes.clear();
    testing_support::runUntil(
        [&] {
            drain(answer);
            return answer.endsWith("\r\nOK\r\n") || answer.endsWith("\r\nERROR\r\n");
        },
        seconds);
    return answer;
}

QByteArray PtyClient::command(const QByteArray& command)
{
    if (!write(command + '\r'))
        return {};
    return readAnswer();
}

QByteArray PtyClient::readFor(double seconds)
{
    testing_support::OutsideInputScope outside;
    QByteArray answer;
    testing_support::runUntil(
        [&] {
            drain(answer);
            return false;
        },
        seconds);
    return answer;
}
