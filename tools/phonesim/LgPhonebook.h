#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

namespace phonesim {

// The phonebook behind a simulated LG application port: entries by slot as
// the record bodies the phone keeps, and the answers to the port's and the
// phonebook's frames. A frame is FF, the escaped command, 7E; so is every
// answer (several for an entry sent in parts). Frames of other services get
// themselves back. Not thread-safe: the simulator calls it under its lock.
class LgPhonebook {
public:
    // How a write of a new entry is answered: with the new slot (15 bytes),
    // stored in place (11 bytes), or refused (12 bytes).
    enum class WriteAnswer { NewSlot, Updated, Refused };

    explicit LgPhonebook(quint8 modelByte = 1) : _modelByte(modelByte) {}

    QMap<int, QByteArray> entries;
    // Entries go out in this many frames (1: whole).
    int parts = 1;
    WriteAnswer writeAnswer = WriteAnswer::NewSlot;
    // Slots whose entry goes out as these wire bytes instead (a damaged reply).
    QMap<int, QByteArray> wireOverrides;
    // Answers the item count with a reply too short to hold it.
    bool shortItemCount = false;
    // Never says the entries are done: after the last it starts again at the
    // first (a phone stuck sending entries).
    bool endless = false;
    // The commands received, unescaped (FF, service, opcode, ...).
    QList<QByteArray> commands;

    QList<QByteArray> answer(const QByteArray& frame);

    static QByteArray escape(const QByteArray& bytes);
    static QByteArray unescape(const QByteArray& bytes);
    // A reply frame as the port sends it: FF, the escaped header and payload, 7E.
    static QByteArray reply(quint8 service, quint8 opcode, quint8 sequence, const QByteArray& payload);

private:
    QList<QByteArray> entryReply(quint8 sequence);

    quint8 _modelByte;
    int _cursor = -1;
};

} // namespace phonesim
