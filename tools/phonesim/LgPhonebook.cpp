#include "LgPhonebook.h"

#include <algorithm>

namespace phonesim {

namespace {
constexpr quint8 kPort = 0x00;
constexpr quint8 kPhonebook = 0x21;

int le16(const QByteArray& bytes, qsizetype at)
{
    if (at + 1 >= bytes.size())
        return -1;
    return quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8);
}

QByteArray le16Bytes(int value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    return bytes;
}
} // namespace

QByteArray LgPhonebook::escape(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        if (b == 0xFF || b == 0x7D || b == 0x7E)
            out.append(char(0x7D)).append(char(b == 0xFF ? 0xDF : b == 0x7D ? 0x5D : 0x5E));
        else
            out.append(c);
    }
    return out;
}

QByteArray LgPhonebook::unescape(const QByteArray& bytes)
{
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint8 next = i + 1 < bytes.size() ? quint8(bytes[i + 1]) : 0;
        if (quint8(bytes[i]) == 0x7D && (next == 0xDF || next == 0x5D || next == 0x5E)) {
            out.append(char(next == 0xDF ? 0xFF : next == 0x5D ? 0x7D : 0x7E));
            ++i;
        } else {
            out.append(bytes[i]);
        }
    }
    return out;
}

QByteArray LgPhonebook::reply(quint8 service, quint8 opcode, quint8 sequence, const QByteArray& payload)
{
    QByteArray inner;
    inner.append(char(0xFF)).append(char(service)).append(char(opcode)).append(char(sequence));
    inner.append(2, '\0').append(le16Bytes(int(8 + payload.size()))).append(payload);
    return char(0xFF) + escape(inner) + char(0x7E);
}

QList<QByteArray> LgPhonebook::entryReply(quint8 sequence)
{
    auto it = entries.upperBound(_cursor);
    if (it == entries.end() && endless)
        it = entries.begin();
    if (it == entries.end())
        return {reply(kPhonebook, 0x92, sequence, QByteArray(2, '\0'))};
    _cursor = it.key();
    if (wireOverrides.contains(it.key()))
        return {wireOverrides.value(it.key())};
    const QByteArray payload = QByteArray(1, '\0') + le16Bytes(it.key()) + QByteArray(2, '\0') + it.value();
    const QByteArray whole = reply(kPhonebook, 0x92, sequence, payload);
    if (parts <= 1)
        return {whole};
    // The unescaped reply cut into parts, each sent as a frame of its own.
    const QByteArray inner = unescape(whole.mid(1, whole.size() - 2));
    QList<QByteArray> frames;
    const qsizetype step = std::max<qsizetype>(1, inner.size() / parts);
    for (qsizetype at = 0; at < inner.size(); at += step) {
        const qsizetype length = frames.size() == parts - 1 ? inner.size() - at : std::min(step, inner.size() - at);
        frames.append(char(0xFF) + escape(inner.mid(at, length)) + char(0x7E));
        if (frames.size() == parts)
            break;
    }
    return frames;
}

QList<QByteArray> LgPhonebook::answer(const QByteArray& frame)
{
    if (frame.size() < 3)
        return {frame};
    const QByteArray command = unescape(frame.mid(1, frame.size() - 2));
    if (command.size() < 8 || quint8(command[0]) != 0xFF)
        return {frame};
    commands.append(command);
    const quint8 service = quint8(command[1]);
    const quint8 opcode = quint8(command[2]);
    const quint8 sequence = quint8(command[3]);
    const QByteArray ok(1, '\0');
    if (service == kPort)
        return {reply(kPort, opcode, sequence, ok)};
    if (service != kPhonebook)
        return {frame};
    switch (opcode) {
    case 0x81:
        return {reply(kPhonebook, opcode, sequence,
                      shortItemCount ? QByteArray() : QByteArray(1, '\0') + le16Bytes(int(entries.size())))};
    case 0x91:
        _cursor = -1;
        return entryReply(sequence);
    case 0x92:
        return entryReply(sequence);
    case 0x93: {
        if (writeAnswer == WriteAnswer::Refused || command.size() < 12)
            return {reply(kPhonebook, opcode, sequence, QByteArray(3, '\0'))};
        int slot = 1;
        while (entries.contains(slot))
            ++slot;
        entries.insert(slot, command.mid(12));
        if (writeAnswer == WriteAnswer::Updated)
            return {reply(kPhonebook, opcode, sequence, ok)};
        return {reply(kPhonebook, opcode, sequence, ok + le16Bytes(slot) + QByteArray(2, '\0'))};
    }
    case 0x94:
    case 0x95: {
        const int slot = le16(command, 8);
        const bool model = command.size() >= 12 && quint8(command[11]) == _modelByte;
        if (!model || (opcode == 0x94 && command.size() < 16) || (opcode == 0x95 && !entries.contains(slot)))
            return {reply(kPhonebook, opcode, sequence, QByteArray(3, '\0'))};
        if (opcode == 0x94)
            entries.insert(slot, command.mid(16));
        else
            entries.remove(slot);
        return {reply(kPhonebook, opcode, sequence, ok)};
    }
    default:
        return {reply(kPhonebook, opcode, sequence, ok)};
    }
}

} // namespace phonesim
