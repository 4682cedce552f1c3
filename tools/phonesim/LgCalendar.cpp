#include "LgCalendar.h"

#include "LgPhonebook.h"

#include <algorithm>

namespace phonesim {

namespace {
constexpr qsizetype kRecordStart = 10;
constexpr qsizetype kEventPrefix = 8;
constexpr qsizetype kTaskPrefix = 11;
// Bytes of a task record after its summary.
constexpr qsizetype kTaskTail = 12;

QByteArray le16Bytes(int value)
{
    return QByteArray().append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}

int le16(const QByteArray& bytes, qsizetype at)
{
    return at + 1 < bytes.size() ? quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8) : -1;
}

QByteArray unwrap(const QByteArray& frame)
{
    return frame.size() < 3 ? QByteArray() : LgPhonebook::unescape(frame.mid(1, frame.size() - 2));
}
} // namespace

bool LgCalendar::claims(const QByteArray& frame) const
{
    const QByteArray command = unwrap(frame);
    return command.size() >= 8 && quint8(command[0]) == 0xFF
        && (quint8(command[1]) == kCalendar || quint8(command[1]) == kTasks);
}

int LgCalendar::nextSlot(quint8 service, int after)
{
    const QMap<int, QByteArray>& entries = store(service);
    auto it = entries.upperBound(after);
    if (it == entries.end() && endless)
        it = entries.begin();
    return it == entries.end() ? 0 : it.key();
}

QByteArray LgCalendar::bodyFromWrite(quint8 service, const QByteArray& command) const
{
    const QByteArray record = command.mid(kRecordStart);
    if (service == kCalendar)
        return record.mid(4, 4) + QByteArray(6, '\0') + record.mid(kEventPrefix);
    const qsizetype summaryBytes = std::max<qsizetype>(0, record.size() - kTaskPrefix - kTaskTail);
    const int v = 17 + int(_gd900 ? 2 * summaryBytes : summaryBytes);
    QByteArray body = record.mid(4, 4);
    body.append(char((v >> 8) & 0xFF)).append(char(v & 0xFF)).append(4, '\0').append(record.mid(8, 3));
    if (_gd900)
        body.append(summaryBytes, '\0');
    return body + record.mid(kTaskPrefix);
}

QList<QByteArray> LgCalendar::answer(const QByteArray& frame)
{
    const QByteArray command = unwrap(frame);
    commands.append(command);
    const quint8 service = quint8(command[1]);
    const quint8 opcode = quint8(command[2]);
    const quint8 sequence = quint8(command[3]);
    const char counter2 = command.size() > 10 ? command[10] : '\0';
    int& cursor = _cursor[service == kCalendar ? 0 : 1];
    QMap<int, QByteArray>& entries = store(service);
    const auto answerWith = [&](int slot, const QByteArray& rest) {
        QByteArray payload;
        payload.append(char(0xFF)).append(char(opcode - 0x80)).append(counter2).append(char(service));
        return QList<QByteArray>{LgPhonebook::reply(service, opcode, sequence, payload + le16Bytes(slot) + rest)};
    };
    switch (opcode) {
    case 0x91:
    case 0x92:
        if (shortListAnswers)
            return {LgPhonebook::reply(service, opcode, sequence, QByteArray(2, '\0'))};
        cursor = nextSlot(service, opcode == 0x91 ? 0 : cursor);
        return answerWith(cursor, QByteArray(6, '\0'));
    case 0x93:
        return answerWith(cursor, entries.value(cursor, QByteArray(20, '\0')));
    case 0x83:
    case 0x84: {
        if (refuseWrites || command.size() < kRecordStart + kEventPrefix)
            return {LgPhonebook::reply(service, opcode, sequence, QByteArray(2, '\0'))};
        int slot = le16(command, kRecordStart + 2);
        if (opcode == 0x83) {
            slot = 1;
            while (entries.contains(slot))
                ++slot;
        }
        entries.insert(slot, bodyFromWrite(service, command));
        return answerWith(slot, QByteArray(2, '\0'));
    }
    case 0x85: {
        const int slot = le16(command, 12);
        const quint8 model = command.size() > 15 ? quint8(command[15]) : 0;
        const quint8 expected = service == kCalendar ? (_gd900 ? 8 : 2) : (_gd900 ? 12 : 3);
        if (refuseWrites || model != expected || !entries.remove(slot))
            return {LgPhonebook::reply(service, opcode, sequence, QByteArray(2, '\0'))};
        return answerWith(slot, QByteArray(6, '\0'));
    }
    default:
        return {LgPhonebook::reply(service, opcode, sequence, QByteArray(1, '\0'))};
    }
}

} // namespace phonesim
