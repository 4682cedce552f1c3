#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>

namespace phonesim {

// The messages behind a simulated LG application port (service 0x22): the
// header listing (0x86 per message, 0x87 at the end), the message answers
// (one per part, with the part count N and index k), the service-centre
// answer and deletes by 16-bit place. Not thread-safe: the simulator calls
// it under its lock.
class LgMessages {
public:
    static constexpr quint8 kService = 0x22;

    struct Message {
        quint8 status = 0;       // 0 received, 3 sent, 4 stored unsent
        QList<QByteArray> parts; // the PDU bytes of each part
    };
    QMap<int, Message> messages;
    // Service-centre digits (one per byte), whether 0x7D ends them, and the
    // international flag.
    QByteArray scDigits = QByteArray::fromHex("0102030400");
    bool scEnded = false;
    quint8 scInternational = 1;
    // Faults: places answered with a 39-byte answer (no message), with a
    // 20-byte answer, or always with the first of two parts.
    QSet<int> emptyPlaces;
    QSet<int> shortPlaces;
    QSet<int> repeatedPartPlaces;
    // The commands received, unescaped (FF, service, opcode, ...).
    QList<QByteArray> commands;
    // The places deleted, in order.
    QList<int> deleted;

    bool claims(const QByteArray& frame) const;
    QList<QByteArray> answer(const QByteArray& frame);

private:
    QByteArray messageAnswer(quint8 sequence, int place);

    int _headerCursor = -1;
    QMap<int, int> _partCursor;
};

} // namespace phonesim
