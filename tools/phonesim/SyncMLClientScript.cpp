#include "SyncMLClientScript.h"

#include <QFile>

#include <algorithm>

namespace phonesim {

namespace {
constexpr quint8 kContinue = 0x90;
constexpr quint8 kSuccess = 0xA0;

QByteArray header(quint8 id, const QByteArray& value)
{
    const int length = int(value.size()) + 3;
    QByteArray out(1, char(id));
    out.append(char(length >> 8)).append(char(length & 0xFF)).append(value);
    return out;
}

QByteArray connectionId(quint32 id)
{
    QByteArray out(1, char(0xCB));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((id >> shift) & 0xFF));
    return out;
}

QByteArray request(quint8 opcode, const QByteArray& rest)
{
    const int length = int(rest.size()) + 3;
    QByteArray out(1, char(opcode));
    out.append(char(length >> 8)).append(char(length & 0xFF)).append(rest);
    return out;
}

int big16(const QByteArray& bytes, qsizetype at)
{
    return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]);
}
} // namespace

void SyncMLClientScript::setBadAnswer(BadAnswer kind, int message)
{
    _badAnswer = kind;
    _badAt = std::max(1, message);
}

QByteArray SyncMLClientScript::badMessage(BadAnswer kind)
{
    const char* fixture = nullptr;
    switch (kind) {
    case BadAnswer::None:
    case BadAnswer::NoData:
        return {};
    case BadAnswer::NotWBXML:
        return QByteArrayLiteral("This is not a SyncML message.\r\n");
    case BadAnswer::NoSyncMLElement:
        fixture = "syncml-bad-no-syncml";
        break;
    case BadAnswer::ErrorStatus:
        fixture = "syncml-bad-status";
        break;
    case BadAnswer::ForeignTopLevel:
        fixture = "syncml-bad-top-level";
        break;
    }
    QFile file(QStringLiteral(":/phonesim/fixtures/%1.wbxml").arg(QLatin1String(fixture)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SyncMLClientScript::messageToPut(const QByteArray& good)
{
    if (_badAnswer == BadAnswer::None || _messagesSent + 1 != _badAt)
        return good;
    // A bad message without data goes as an empty End-of-Body.
    return badMessage(std::exchange(_badAnswer, BadAnswer::None));
}

void SyncMLClientScript::arm(const QByteArray& message)
{
    _message = message;
    _state = State::Idle;
    _sent = 0;
    _received.clear();
    _messagesSent = 0;
}

QByteArray SyncMLClientScript::start()
{
    _state = State::Connecting;
    QByteArray rest = QByteArray::fromHex("10002000");
    rest.append(header(0x46, "SYNCML-SYNC"));
    return request(0x80, rest);
}

QByteArray SyncMLClientScript::nextPut()
{
    const QByteArray part = _message.mid(_sent, kChunk);
    const bool first = _sent == 0;
    _sent += part.size();
    const bool last = _sent >= _message.size();
    QByteArray headers = connectionId(_connectionId);
    if (first)
        headers.append(header(0x42, QByteArray("application/vnd.syncml+wbxml", 29)));
    headers.append(header(last ? 0x49 : 0x48, part));
    return request(last ? 0x82 : 0x02, headers);
}

QByteArray SyncMLClientScript::onAnswer(const QByteArray& answer)
{
    if (answer.size() < 3) {
        _state = State::Done;
        return {};
    }
    const quint8 code = quint8(answer[0]);
    switch (_state) {
    case State::Connecting: {
        if (code != kSuccess || answer.size() < 7) {
            _state = State::Done;
            return {};
        }
        // The Connection-ID among the answer's headers.
        for (qsizetype at = 7; at + 5 <= answer.size();) {
            const quint8 id = quint8(answer[at]);
            if (id == 0xCB) {
                _connectionId = (quint32(quint8(answer[at + 1])) << 24) | (quint32(quint8(answer[at + 2])) << 16)
                    | (quint32(quint8(answer[at + 3])) << 8) | quint32(quint8(answer[at + 4]));
                break;
            }
            if ((id & 0xC0) == 0xC0)
                at += 5;
            else if ((id & 0xC0) == 0x80)
                at += 2;
            else if (at + 3 <= answer.size())
                at += std::max(3, big16(answer, at + 1));
            else
                break;
        }
        _message = messageToPut(_message);
        _sent = 0;
        _state = State::Putting;
        return nextPut();
    }
    case State::Putting:
        if (code == kContinue && _sent < _message.size())
            return nextPut();
        if (code != kSuccess) {
            _state = State::Done;
            return {};
        }
        ++_messagesSent;
        _received.clear();
        _state = State::Getting;
        return request(0x83, connectionId(_connectionId));
    case State::Getting: {
        // Body and End-of-Body of the answer, found by their identifiers.
        for (qsizetype at = 3; at + 3 <= answer.size();) {
            const quint8 id = quint8(answer[at]);
            const int length = (id & 0xC0) == 0xC0 ? 5 : (id & 0xC0) == 0x80 ? 2 : big16(answer, at + 1);
            if (length < 2 || at + length > answer.size())
                break;
            if (id == 0x48 || id == 0x49)
                _received.append(answer.mid(at + 3, length - 3));
            at += length;
        }
        if (code == kContinue)
            return request(0x83, connectionId(_connectionId));
        const bool badDue = _badAnswer != BadAnswer::None && _messagesSent + 1 == _badAt;
        if (code == kSuccess && (_responder || badDue)) {
            const QByteArray next = messageToPut(badDue ? QByteArray() : _responder(_received));
            if (!next.isEmpty() || badDue) {
                _message = next;
                _sent = 0;
                _state = State::Putting;
                return nextPut();
            }
        }
        _state = State::Disconnecting;
        return request(0x81, connectionId(_connectionId));
    }
    case State::Disconnecting:
        _state = State::Done;
        return {};
    case State::Idle:
    case State::Done:
        break;
    }
    return {};
}

} // namespace phonesim
