#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <QFile>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace phonesim {

namespace {
constexpr qsizetype kMaxLineLength = 4096;
constexpr int kOutboxPollMs = 10;
constexpr auto kLateWakeUp = std::chrono::milliseconds(5);
constexpr auto kYieldBeforePace = std::chrono::microseconds(200);
const QByteArray kLineEnd = "\r\n";
constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;

// The final text of a command that ended (its information lines for a
// success).
QByteArray resultText(const AtResult& result, int cmeeMode)
{
    if (result.cmsError >= 0)
        return kLineEnd + "+CMS ERROR: " + QByteArray::number(result.cmsError) + kLineEnd;
    if (!result.ok && result.cmeError >= 0 && cmeeMode != 0)
        return kLineEnd + "+CME ERROR: " + QByteArray::number(result.cmeError) + kLineEnd;
    if (!result.ok)
        return kLineEnd + PhoneSimulator::kError + kLineEnd;
    QByteArray text;
    for (const QByteArray& line : result.lines)
        text += kLineEnd + line + kLineEnd;
    return text + kLineEnd + PhoneSimulator::kOk + kLineEnd;
}
} // namespace

PhoneSimulator::PhoneSimulator(PhoneProfile profile)
    : _profile(std::move(profile))
    , _hasLgPort(_profile.name().startsWith(QLatin1String("lg")))
{
    _profile.prepareSession(_session);
    // The PC-suite channel of these phones shows their memory as "Phone".
    if (_profile.name().startsWith(QLatin1String("nokia")))
        _obex.addFolder(QStringLiteral("/Phone"));
    _profile.setHandler("^HSMM", [](PhoneSession&, const AtCommand&) { return AtResult::okay({"^HSMM: 1"}); });
    if (_profile.name() == QLatin1String("samsung")) {
        _obex.setMobexStore(MobexStore());
        _profile.setHandler("+INFO",
                            [](PhoneSession&, const AtCommand&) { return AtResult::okay({"+INFO: SGH-E250"}); });
        _profile.setHandler("+CSDH", [](PhoneSession&, const AtCommand&) { return AtResult::okay(); });
        // Selecting one storage selects it for reading, writing and
        // receiving alike, so the answer names its usage three times.
        if (const AtHandler* found = _profile.handler("+CPMS")) {
            _profile.setHandler("+CPMS", [standard = *found](PhoneSession& session, const AtCommand& cmd) {
                AtResult result = standard(session, cmd);
                if (!result.ok || cmd.isQuery() || cmd.isTest())
                    return result;
                const QByteArray name = '"' + session.sms.stores.at(session.sms.readStore).name + '"';
                const QList<AtCommand> all = AtCommand::parseLine("+CPMS=" + name + ',' + name + ',' + name);
                return all.isEmpty() ? result : standard(session, all.first());
            });
        }
    }
    if (_hasLgPort) {
        _profile.setHandler("$LGAPP", [](PhoneSession&, const AtCommand&) { return AtResult::okay(); });
        const QString name = _profile.name().toLower();
        _lgPhonebook = LgPhonebook(name == QLatin1String("lggd900") ? 4 : 1);
        _lgCalendar = LgCalendar(name == QLatin1String("lggd900"));
        _lgPort.setFramesHandler([this](const QByteArray& frame) {
            if (_lgCalendar.claims(frame))
                return _lgCalendar.answer(frame);
            if (_lgMessages.claims(frame))
                return _lgMessages.answer(frame);
            return _lgFiles.claims(frame) ? _lgFiles.answer(frame) : _lgPhonebook.answer(frame);
        });
        if (name == QLatin1String("lg3"))
            _lgPort.setAtOpensMode(LgPort::Mode::Lg3);
    }
}

LgPhonebook PhoneSimulator::lgPhonebook() const
{
    std::lock_guard lock(_mutex);
    return _lgPhonebook;
}

void PhoneSimulator::modifyLgPhonebook(const std::function<void(LgPhonebook&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_lgPhonebook);
}

LgCalendar PhoneSimulator::lgCalendar() const
{
    std::lock_guard lock(_mutex);
    return _lgCalendar;
}

void PhoneSimulator::modifyLgCalendar(const std::function<void(LgCalendar&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_lgCalendar);
}

LgMessages PhoneSimulator::lgMessages() const
{
    std::lock_guard lock(_mutex);
    return _lgMessages;
}

void PhoneSimulator::modifyLgMessages(const std::function<void(LgMessages&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_lgMessages);
}

void PhoneSimulator::modifyLgFiles(const std::function<void(LgFileSystem&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_lgFiles);
}

void PhoneSimulator::sendUnsolicited(const QByteArray& bytes)
{
    std::lock_guard lock(_mutex);
    _outbox += bytes;
}

void PhoneSimulator::setSilent(bool silent)
{
    std::lock_guard lock(_mutex);
    _silent = silent;
}

void PhoneSimulator::setLgFrameHandler(LgPort::FrameHandler handler)
{
    std::lock_guard lock(_mutex);
    _lgPort.setFrameHandler(std::move(handler));
}

void PhoneSimulator::setLgPortBusy(LgPort::Busy busy)
{
    std::lock_guard lock(_mutex);
    _lgPort.setBusy(busy);
}

LgPort::Mode PhoneSimulator::lgPortMode() const
{
    std::lock_guard lock(_mutex);
    return _lgPort.mode();
}

QList<QByteArray> PhoneSimulator::lgFramesReceived() const
{
    std::lock_guard lock(_mutex);
    return _lgPort.frames();
}

PhoneSimulator::~PhoneSimulator()
{
    stop();
}

bool PhoneSimulator::start()
{
    if (isRunning())
        return true;
    _master = posix_openpt(O_RDWR | O_NOCTTY);
    if (_master < 0 || grantpt(_master) != 0 || unlockpt(_master) != 0) {
        _error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    char name[256] = {};
    if (ptsname_r(_master, name, sizeof name) != 0) {
        _error = QStringLiteral("ptsname failed");
        stop();
        return false;
    }
    _slavePath = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master from hanging up while no client
    // is attached; raw mode makes a client that forgets termios still see bytes.
    _slaveKeeper = ::open(name, O_RDWR | O_NOCTTY);
    if (_slaveKeeper >= 0) {
        termios raw {};
        if (tcgetattr(_slaveKeeper, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(_slaveKeeper, TCSANOW, &raw);
        }
    }
    fcntl(_master, F_SETFL, fcntl(_master, F_GETFL) | O_NONBLOCK);
    _link = _master;
    return startServing();
}

bool PhoneSimulator::startServing()
{
    if (pipe2(_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        _error = QStringLiteral("pipe failed");
        stop();
        return false;
    }
    _stopping = false;
    _thread = std::thread([this] { serve(); });
    return true;
}

int PhoneSimulator::connectSocketPair()
{
    return connectLink(false);
}

int PhoneSimulator::connectObexSocketPair()
{
    return connectLink(true);
}

int PhoneSimulator::connectLink(bool obexMode)
{
    if (!isRunning() && !startServing())
        return -1;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return -1;
    {
        std::lock_guard lock(_mutex);
        if (_nextLink >= 0)
            ::close(_nextLink);
        _nextLink = pair[1];
        _nextLinkObex = obexMode;
    }
    const char byte = 'c';
    [[maybe_unused]] const ssize_t written = ::write(_wakePipe[1], &byte, 1);
    return pair[0];
}

int PhoneSimulator::listenAt(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path) {
        _error = QStringLiteral("socket path too long: %1").arg(path);
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::unlink(name.constData());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
        _error = QStringLiteral("cannot listen on %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

bool PhoneSimulator::startListening(const QString& path)
{
    if (isRunning())
        return false;
    _listen = listenAt(path);
    if (_listen >= 0)
        _socketPath = path;
    _obexListen = _listen >= 0 ? listenAt(ServiceRecords::obexSocketPath(path)) : -1;
    if (_obexListen < 0) {
        stop();
        return false;
    }
    return startServing();
}

void PhoneSimulator::adoptNextLink()
{
    int next = -1;
    {
        std::lock_guard lock(_mutex);
        std::swap(next, _nextLink);
        if (next >= 0) {
            // A new connection starts in AT mode, an OBEX channel's in OBEX mode.
            _pending.clear();
            _lgPort.close();
            _obex.leaveObexMode();
            if (std::exchange(_nextLinkObex, false))
                _obex.enterObexMode();
        }
    }
    if (next < 0)
        return;
    closeRelay();
    if (_link >= 0 && _link != _master)
        ::close(_link);
    fcntl(next, F_SETFL, fcntl(next, F_GETFL) | O_NONBLOCK);
    _link = next;
}

void PhoneSimulator::holdAnswersTo(const QByteArray& command)
{
    std::lock_guard lock(_mutex);
    _heldCommand = command;
}

void PhoneSimulator::releaseHeldAnswers()
{
    std::lock_guard lock(_mutex);
    _heldCommand.clear();
    _outbox += std::exchange(_heldAnswers, QByteArray());
}

void PhoneSimulator::stop()
{
    _stopping = true;
    if (_wakePipe[1] >= 0) {
        const char byte = 'x';
        [[maybe_unused]] const ssize_t written = ::write(_wakePipe[1], &byte, 1);
    }
    if (_thread.joinable())
        _thread.join();
    if (_link == _master)
        _link = -1;
    for (int* fd :
         {&_master, &_slaveKeeper, &_wakePipe[0], &_wakePipe[1], &_link, &_nextLink, &_listen, &_obexListen, &_relay}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (!_socketPath.isEmpty()) {
        ::unlink(QFile::encodeName(ServiceRecords::obexSocketPath(_socketPath)).constData());
        ::unlink(QFile::encodeName(std::exchange(_socketPath, QString())).constData());
    }
}

void PhoneSimulator::setAnswerChunking(int chunkSize, int delayMs)
{
    std::lock_guard lock(_mutex);
    _chunkSize = std::max(0, chunkSize);
    _delayMs = std::max(0, delayMs);
}

void PhoneSimulator::setHandler(const QByteArray& command, AtHandler handler)
{
    std::lock_guard lock(_mutex);
    _profile.setHandler(command, std::move(handler));
}

QByteArray PhoneSimulator::received() const
{
    std::lock_guard lock(_mutex);
    return _received.right(kReceivedWindowBytes);
}

QList<QByteArray> PhoneSimulator::receivedLines() const
{
    std::lock_guard lock(_mutex);
    return _receivedLines.mid(std::max<qsizetype>(0, _receivedLines.size() - kReceivedWindowLines));
}

void PhoneSimulator::clearReceived()
{
    std::lock_guard lock(_mutex);
    _received.clear();
    _receivedLines.clear();
}

PhoneSession PhoneSimulator::session() const
{
    std::lock_guard lock(_mutex);
    return _session;
}

void PhoneSimulator::modifySession(const std::function<void(PhoneSession&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_session);
}

QByteArray PhoneSimulator::answerLine(const QByteArray& rawLine)
{
    std::lock_guard lock(_mutex);
    const QByteArray line = rawLine.trimmed();
    if (line.size() < 2 || qstrnicmp(line.constData(), "AT", 2) != 0)
        return {};
    QByteArray answer;
    if (_session.echo)
        answer += rawLine + '\r';
    for (const AtCommand& cmd : AtCommand::parseLine(line.mid(2))) {
        const AtHandler* handler = _profile.handler(cmd.name);
        const AtResult result = handler ? (*handler)(_session, cmd) : AtResult::error();
        if (!result.ok)
            return answer + resultText(result, _session.cmeeMode);
        for (const QByteArray& text : result.lines)
            answer += kLineEnd + text + kLineEnd;
        if (result.prompt)
            return answer + kLineEnd + "> ";
        if (!result.finalResult.isEmpty())
            return answer + kLineEnd + result.finalResult + kLineEnd;
    }
    return answer + kLineEnd + kOk + kLineEnd;
}

void PhoneSimulator::setLineRate(int bitsPerSecond)
{
    std::lock_guard lock(_mutex);
    _lineRate = std::max(0, bitsPerSecond);
}

bool PhoneSimulator::paceLine(qsizetype bytes, std::chrono::steady_clock::time_point& freeAt, bool follows)
{
    int rate = 0;
    {
        std::lock_guard lock(_mutex);
        rate = _lineRate;
    }
    if (rate <= 0)
        return !_stopping;
    // Bytes that follow the last ones without a turn of the other side
    // continue the line's schedule, so that the simulator waking up late
    // does not stretch the line; otherwise the line idled until now.
    const auto now = std::chrono::steady_clock::now();
    const auto start = (follows && now - freeAt < kLateWakeUp) || now < freeAt ? freeAt : now;
    freeAt = start + std::chrono::nanoseconds(qint64(bytes) * 10'000'000'000 / rate);
    return sleepUntilUnlessStopped(freeAt);
}

ObexServer PhoneSimulator::obexServer() const
{
    std::lock_guard lock(_mutex);
    return _obex;
}

void PhoneSimulator::modifyObexServer(const std::function<void(ObexServer&)>& change)
{
    std::lock_guard lock(_mutex);
    change(_obex);
}

bool PhoneSimulator::obexMode() const
{
    std::lock_guard lock(_mutex);
    return _obex.obexMode();
}

void PhoneSimulator::setObexRelay(quint16 port)
{
    std::lock_guard lock(_mutex);
    _obexRelayPort = port;
}

void PhoneSimulator::openRelay()
{
    quint16 port = 0;
    {
        std::lock_guard lock(_mutex);
        port = _obexRelayPort;
    }
    closeRelay();
    if (port == 0)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // A reset on close leaves the server's port free at once (no TIME_WAIT),
    // so the next relayed session can have the server listen again.
    const linger reset{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    _relay = fd;
}

void PhoneSimulator::closeRelay()
{
    if (_relay >= 0)
        ::close(std::exchange(_relay, -1));
}

bool PhoneSimulator::handleObexInput(const QByteArray& bytes)
{
    ObexServer::Output out;
    bool relayed = false;
    {
        std::lock_guard lock(_mutex);
        if (!_obex.obexMode())
            return false;
        _received += bytes;
        if (_received.size() >= 2 * kReceivedWindowBytes)
            _received.remove(0, _received.size() - kReceivedWindowBytes);
        // A hang-up is the phone's own even when relaying: it leaves OBEX mode.
        relayed = _relay >= 0 && !ObexServer::isHangup(bytes);
        if (!relayed)
            out = _obex.input(bytes);
        if (_silent)
            out.answers.clear();
    }
    if (relayed) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(_relay, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd fds {_relay, POLLOUT, 0};
                ::poll(&fds, 1, 100);
            } else {
                closeRelay();
                break;
            }
        }
        return true;
    }
    if (out.hangup)
        closeRelay();
    for (const QByteArray& answer : out.answers)
        send(answer);
    return true;
}

bool PhoneSimulator::answerObexSwitch(const QByteArray& line)
{
    std::optional<ObexServer::SwitchAnswer> answer;
    bool echo = false;
    {
        std::lock_guard lock(_mutex);
        answer = _obex.atLine(line);
        echo = _session.echo;
    }
    if (!answer)
        return false;
    send((echo ? line + '\r' : QByteArray()) + answer->answer);
    if (answer->enterObex)
        openRelay();
    return true;
}

void PhoneSimulator::handleInput(const QByteArray& bytes)
{
    _lineBytesIn += bytes.size();
    // Input that came without an answer since the last input followed it on
    // the line; input after an answer waited for it.
    if (!paceLine(bytes.size(), _inboundFreeAt, !std::exchange(_answeredSinceInput, false)))
        return;
    if (handleObexInput(bytes))
        return;
    {
        // An escape sequence on a line already in command mode (the OBEX
        // session ended with its Disconnect) is no command: it is dropped
        // with its line end.
        std::lock_guard lock(_mutex);
        if (_pending.isEmpty() && ObexServer::isHangup(bytes) && (!_hasLgPort || _lgPort.mode() == LgPort::Mode::Closed)) {
            const QByteArray rest = bytes.mid(3);
            if (rest.isEmpty() || rest == "\r" || rest == "\r\n")
                return;
        }
    }
    QList<QByteArray> portAnswers;
    bool silent = false;
    bool binary = false;
    {
        std::lock_guard lock(_mutex);
        // The windows are trimmed when they reach twice their size, so the
        // copying stays linear in the input.
        _received += bytes;
        if (_received.size() >= 2 * kReceivedWindowBytes)
            _received.remove(0, _received.size() - kReceivedWindowBytes);
        silent = _silent;
        // An open LG port, or the bytes that open one, are frames, not lines.
        binary = _hasLgPort && (_lgPort.mode() != LgPort::Mode::Closed
                                || (_pending.isEmpty() && LgPort::startsPacketPort(bytes)));
        if (binary)
            portAnswers = _lgPort.input(bytes);
    }
    if (!silent) {
        // The parts of one answer go out one after the other, each paced
        // by the line rate alone.
        for (qsizetype i = 0; i < portAnswers.size(); ++i)
            send(portAnswers[i], i > 0);
    }
    if (binary)
        return;
    // Lines are answered one at a time: a line may ask for a PDU (the "> "
    // prompt), and then the bytes up to Ctrl-Z are that PDU, not lines.
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        std::optional<QByteArray> line;
        std::optional<QByteArray> typedPdu;
        {
            std::lock_guard lock(_mutex);
            for (; pos < bytes.size() && !line && !typedPdu; ++pos) {
                const char c = bytes.at(pos);
                if (_session.sms.input != SmsState::Input::None) {
                    if (c == kCtrlZ)
                        typedPdu = std::exchange(_typedPdu, QByteArray());
                    else if (c == kEscape) {
                        _session.sms.input = SmsState::Input::None;
                        _typedPdu.clear();
                    } else if (_typedPdu.size() <= SmsState::kMaxPduHexLength + 2) {
                        _typedPdu += c;
                    }
                } else if (c == '\r') {
                    line = std::exchange(_pending, QByteArray());
                    _receivedLines.append(*line);
                    if (_receivedLines.size() >= 2 * kReceivedWindowLines)
                        _receivedLines.remove(0, _receivedLines.size() - kReceivedWindowLines);
                } else if (c == '\n' && _pending.isEmpty()) {
                    continue;   // the LF of a CR LF line end
                } else if (_pending.size() < kMaxLineLength) {
                    _pending += c;
                }
            }
        }
        if (silent)
            continue;
        if (typedPdu) {
            QByteArray answer;
            {
                std::lock_guard lock(_mutex);
                answer = resultText(finishSmsInput(_session, *typedPdu), _session.cmeeMode);
            }
            send(answer);
        }
        if (line)
            answerAndSend(*line);
    }
}

void PhoneSimulator::answerAndSend(const QByteArray& line)
{
    const bool packetPort = _hasLgPort && LgPort::isPortOpening(line) && [this] {
        std::lock_guard lock(_mutex);
        return _lgPort.atOpensMode() == LgPort::Mode::Lg3;
    }();
    if (answerObexSwitch(line))
        return;
    // A port that answers in packets sends no text around its first packet.
    const QByteArray answer = packetPort ? QByteArray() : answerLine(line);
    if (isHeld(line)) {
        std::lock_guard lock(_mutex);
        _heldAnswers += answer;
        return;
    }
    if (!answer.isEmpty())
        send(answer);
    if (_hasLgPort && LgPort::isPortOpening(line)) {
        QByteArray first;
        {
            std::lock_guard lock(_mutex);
            first = _lgPort.openFromAtCommand();
        }
        send(first);
    }
}

void PhoneSimulator::sendOutbox()
{
    QByteArray bytes;
    {
        std::lock_guard lock(_mutex);
        _outbox += advanceCall(_session, std::chrono::steady_clock::now());
        bytes.swap(_outbox);
    }
    if (!bytes.isEmpty())
        send(bytes);
}

bool PhoneSimulator::sleepUnlessStopped(int ms)
{
    if (ms <= 0)
        return !_stopping;
    pollfd wake {_wakePipe[0], POLLIN, 0};
    ::poll(&wake, 1, ms);
    return !_stopping;
}

bool PhoneSimulator::sleepUntilUnlessStopped(std::chrono::steady_clock::time_point until)
{
    // To the microsecond: a line's pace is kept byte by byte, not in whole
    // milliseconds. The thread sleeps to shortly before the time and yields
    // for the rest, as a wake-up from sleep comes late by tens of
    // microseconds, once for every piece of a transfer.
    pollfd wake{_wakePipe[0], POLLIN, 0};
    for (auto now = std::chrono::steady_clock::now(); now < until && !_stopping;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now);
        if (left <= kYieldBeforePace) {
            sched_yield();
            continue;
        }
        const qint64 sleep = (left - kYieldBeforePace).count();
        const timespec wait{time_t(sleep / 1'000'000'000), long(sleep % 1'000'000'000)};
        if (::ppoll(&wake, 1, &wait, nullptr) > 0)
            break;
    }
    return !_stopping;
}

void PhoneSimulator::send(const QByteArray& answer, bool follows)
{
    int chunkSize = 0;
    int delayMs = 0;
    {
        std::lock_guard lock(_mutex);
        chunkSize = _chunkSize;
        delayMs = _delayMs;
    }
    const qsizetype step = chunkSize > 0 ? chunkSize : answer.size();
    for (qsizetype at = 0; at < answer.size(); at += step) {
        if (!sleepUnlessStopped(delayMs))
            return;
        const QByteArray chunk = answer.mid(at, step);
        // A chunk after a chosen delay does not follow on the line.
        if (!paceLine(chunk.size(), _outboundFreeAt, follows || (at > 0 && delayMs == 0)))
            return;
        _answeredSinceInput = true;
        qsizetype done = 0;
        while (done < chunk.size()) {
            if (_link < 0)
                return;   // no client: the answer goes nowhere
            const char* bytes = chunk.constData() + done;
            const size_t count = size_t(chunk.size() - done);
            // A client gone from a socket must not raise SIGPIPE.
            const ssize_t n = _link == _master ? ::write(_link, bytes, count) : ::send(_link, bytes, count, MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
                _lineBytesOut += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
            pollfd fds[2] = {{_link, POLLOUT, 0}, {_wakePipe[0], POLLIN, 0}};
            ::poll(fds, 2, 100);
            if (_stopping)
                return;
        }
    }
}

bool PhoneSimulator::isHeld(const QByteArray& line) const
{
    std::lock_guard lock(_mutex);
    if (_heldCommand.isEmpty())
        return false;
    const QByteArray trimmed = line.trimmed();
    const QList<AtCommand> commands = AtCommand::parseLine(trimmed.mid(2));
    return !commands.isEmpty() && commands.first().name == _heldCommand;
}

void PhoneSimulator::serve()
{
    // Line pacing sleeps to the microsecond; the default slack of 50 us a
    // wake-up would add up over thousands of pieces.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    char buffer[1024];
    while (!_stopping) {
        adoptNextLink();
        pollfd fds[5] = {{_link, POLLIN, 0},
                         {_wakePipe[0], POLLIN, 0},
                         {_listen, POLLIN, 0},
                         {_relay, POLLIN, 0},
                         {_obexListen, POLLIN, 0}};
        // The short wait lets bytes queued by sendUnsolicited() go out.
        if (::poll(fds, 5, kOutboxPollMs) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (_stopping)
            return;
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        for (const int at : {2, 4}) {
            if (!(fds[at].revents & POLLIN))
                continue;
            const int client = ::accept4(fds[at].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                std::lock_guard lock(_mutex);
                if (_nextLink >= 0)
                    ::close(_nextLink);
                _nextLink = client;
                _nextLinkObex = at == 4;
            }
        }
        if ((fds[2].revents | fds[4].revents) & POLLIN)
            continue;
        sendOutbox();
        if (_relay >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(_relay, buffer, sizeof buffer);
            if (n > 0)
                send(QByteArray(buffer, n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                closeRelay();
        }
        if (_link < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(_link, buffer, sizeof buffer);
            if (n > 0) {
                handleInput(QByteArray(buffer, n));
                continue;
            }
            if (n == 0 && _link != _master) {
                // The client closed its end of the socket.
                ::close(std::exchange(_link, -1));
                continue;
            }
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            if (_link != _master) {
                ::close(std::exchange(_link, -1));
                continue;
            }
            // No slave open (cannot happen while the keeper holds it); do not spin.
            sleepUnlessStopped(10);
        }
    }
}

} // namespace phonesim
