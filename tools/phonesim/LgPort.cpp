#include "LgPort.h"

#include <utility>

namespace phonesim {

namespace {
constexpr char kFrameEnd = char(0x7E);
constexpr quint8 kObexConnect = 0x80;
constexpr quint8 kPacket = 0x83;
constexpr quint8 kPutPacket = 0x82;
constexpr qsizetype kHeaderLength = 6;

int packetLength(const QByteArray& bytes)
{
    return (quint8(bytes[1]) << 8) | quint8(bytes[2]);
}
} // namespace

const QByteArray LgPort::kDisconnectFrame = QByteArray::fromHex("FF7DDF00F200000008007E");
const QByteArray LgPort::kBusyFrame = QByteArray::fromHex("FF7DDF00C300000008007E");
const QByteArray LgPort::kBusyShort = QByteArray::fromHex("C00003");
const QByteArray LgPort::kObexConnectAnswer = QByteArray::fromHex("A0000710004000");
const QByteArray LgPort::kPortCloseStart = QByteArray::fromHex("FF7DDF0082");
const QByteArray LgPort::kPortReadyFrame = QByteArray::fromHex("FF0080007E");

LgPort::LgPort()
    : _handler([](const QByteArray& frame) { return frame; })
{
}

void LgPort::close()
{
    _mode = Mode::Closed;
    _pending.clear();
}

bool LgPort::isPortOpening(const QByteArray& line)
{
    return line.trimmed().compare("at$lgapp=1", Qt::CaseInsensitive) == 0;
}

QByteArray LgPort::openFromAtCommand()
{
    _mode = _atOpensMode;
    _pending.clear();
    switch (_busy) {
    case Busy::Frame: return wrapReply(_mode, kBusyFrame);
    case Busy::Short: return wrapReply(_mode, kBusyShort);
    case Busy::None: break;
    }
    return wrapReply(_mode, kPortReadyFrame);
}

bool LgPort::startsPacketPort(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return false;
    const quint8 first = quint8(bytes[0]);
    return first == kObexConnect || first == kPacket || first == kPutPacket;
}

QByteArray LgPort::wrapReply(Mode mode, const QByteArray& frame)
{
    if (mode != Mode::Lg2 && mode != Mode::Lg3)
        return frame;
    const qsizetype length = frame.size();
    QByteArray header(kHeaderLength, '\0');
    header[0] = char(0xA0);
    header[1] = char(((length + 6) >> 8) & 0xFF);
    header[2] = char((length + 6) & 0xFF);
    header[3] = char(0x48);
    header[4] = char(((length + 3) >> 8) & 0xFF);
    header[5] = char((length + 3) & 0xFF);
    return header + frame;
}

QList<QByteArray> LgPort::answerFrame(const QByteArray& frame)
{
    _frames.append(frame);
    // The port's close frame (FF 00 82 ...) returns the link to AT commands
    // once it is answered.
    _closing = frame.startsWith(kPortCloseStart) && _busy == Busy::None;
    switch (_busy) {
    case Busy::Frame: return {wrapReply(_mode, kBusyFrame)};
    case Busy::Short: return {wrapReply(_mode, kBusyShort)};
    case Busy::None: break;
    }
    QList<QByteArray> answers;
    if (_framesHandler)
        answers = _framesHandler(frame);
    else if (_handler)
        answers = {_handler(frame)};
    QList<QByteArray> wrapped;
    for (const QByteArray& answer : answers)
        if (!answer.isEmpty())
            wrapped.append(wrapReply(_mode, answer));
    return wrapped;
}

QList<QByteArray> LgPort::input(const QByteArray& bytes)
{
    if (_mode == Mode::Closed) {
        if (!startsPacketPort(bytes))
            return {};
        _mode = quint8(bytes[0]) == kObexConnect ? Mode::Lg2 : Mode::Lg3;
    }
    _pending += bytes;
    QList<QByteArray> answers;
    for (;;) {
        if (_mode == Mode::Lg) {
            const qsizetype end = _pending.indexOf(kFrameEnd);
            if (end < 0)
                break;
            const QList<QByteArray> frameAnswers = answerFrame(_pending.left(end + 1));
            _pending.remove(0, end + 1);
            answers += frameAnswers;
            if (std::exchange(_closing, false)) {
                close();
                break;
            }
            continue;
        }
        if (_pending.size() < 3)
            break;
        const int length = packetLength(_pending);
        if (length < 3) {
            _pending.clear();   // not a packet: nothing to make of it
            break;
        }
        if (_pending.size() < length)
            break;
        const QByteArray packet = _pending.left(length);
        _pending.remove(0, length);
        if (quint8(packet[0]) == kObexConnect) {
            _frames.append(packet);
            answers.append(_busy == Busy::None ? kObexConnectAnswer : wrapReply(_mode, kBusyShort));
            continue;
        }
        answers += answerFrame(packet.mid(kHeaderLength));
        if (std::exchange(_closing, false)) {
            close();
            break;
        }
    }
    if (_pending.size() > kMaxFrameBytes)
        _pending.clear();
    return answers;
}

} // namespace phonesim
