#include "LgMessages.h"

#include "LgPhonebook.h"

namespace phonesim {

namespace {
QByteArray le16Bytes(int value)
{
    return QByteArray().append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}

QByteArray unwrap(const QByteArray& frame)
{
    return frame.size() < 3 ? QByteArray() : LgPhonebook::unescape(frame.mid(1, frame.size() - 2));
}

// A reply with its opcode replaced (headers answer 0x86 and 0x87).
QByteArray reply(quint8 opcode, quint8 sequence, const QByteArray& payload)
{
    return LgPhonebook::reply(LgMessages::kService, opcode, sequence, payload);
}
} // namespace

bool LgMessages::claims(const QByteArray& frame) const
{
    const QByteArray command = unwrap(frame);
    return command.size() >= 8 && quint8(command[0]) == 0xFF && quint8(command[1]) == kService;
}

QByteArray LgMessages::messageAnswer(quint8 sequence, int place)
{
    // Unescaped: FF, 8 header bytes, place at 9-10, P - 1 at 37, the PDU
    // from 40, then N, 3 bytes, k, 3 bytes and the final 7E.
    if (shortPlaces.contains(place))
        return reply(0x81, sequence, le16Bytes(place) + QByteArray(8, '\0'));
    const Message message = messages.value(place);
    if (emptyPlaces.contains(place) || message.parts.isEmpty())
        return reply(0x81, sequence, le16Bytes(place) + QByteArray(27, '\0'));
    int& cursor = _partCursor[place];
    const int n = int(message.parts.size());
    const int k = repeatedPartPlaces.contains(place) ? 0 : cursor % n;
    const int parts = repeatedPartPlaces.contains(place) ? 2 : n;
    cursor = (cursor + 1) % n;
    const QByteArray pdu = message.parts.value(k);
    QByteArray payload = le16Bytes(place) + QByteArray(26, '\0');
    payload.append(char(pdu.size() - 1)).append(2, '\0').append(pdu);
    payload.append(char(parts)).append(3, '\0').append(char(k)).append(3, '\0');
    return reply(0x81, sequence, payload);
}

QList<QByteArray> LgMessages::answer(const QByteArray& frame)
{
    const QByteArray command = unwrap(frame);
    commands.append(command);
    const quint8 opcode = quint8(command[2]);
    const quint8 sequence = quint8(command[3]);
    const int place = command.size() >= 10 ? quint8(command[8]) | (quint8(command[9]) << 8) : -1;
    switch (opcode) {
    case 0x80: {
        auto it = messages.upperBound(_headerCursor);
        if (it == messages.end()) {
            _headerCursor = -1;
            return {reply(0x87, sequence, QByteArray(2, '\0'))};
        }
        _headerCursor = it.key();
        QByteArray payload = le16Bytes(it.key()) + QByteArray(8, '\0');
        payload.append(char(it->status)).append(2, '\0');
        return {reply(0x86, sequence, payload)};
    }
    case 0x81:
        return {messageAnswer(sequence, place)};
    case 0x82: {
        QByteArray payload(3, '\0');
        payload.append(scDigits);
        if (scEnded)
            payload.append(char(0x7D));
        payload.append(char(scInternational)).append(7, '\0');
        return {reply(0x82, sequence, payload)};
    }
    case 0x8D:
        deleted.append(place);
        messages.remove(place);
        return {reply(0x8D, sequence, QByteArray(1, '\0'))};
    default:
        return {reply(opcode, sequence, QByteArray(1, '\0'))};
    }
}

} // namespace phonesim
