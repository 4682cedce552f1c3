#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

namespace phonesim {

// The calendar (service 0x12) and to-do list (0x13) behind a simulated LG
// application port: entries by slot (from 1) as the record bodies the phone
// sends from reply offset 15, and the answers to prepare, read, acknowledge,
// write, replace and delete. Frames are FF, the escaped command, 7E; so is
// every answer. Not thread-safe: the simulator calls it under its lock.
class LgCalendar {
public:
    static constexpr quint8 kCalendar = 0x12;
    static constexpr quint8 kTasks = 0x13;

    explicit LgCalendar(bool gd900 = false) : _gd900(gd900) { }

    QMap<int, QByteArray> events;
    QMap<int, QByteArray> tasks;
    // Never says the entries are done: after the last it starts again at the
    // first (a phone stuck sending entries).
    bool endless = false;
    // Prepare and acknowledge answers of 12 bytes (too short to say anything).
    bool shortListAnswers = false;
    // Writes, replacements and deletes answered with a short refusal.
    bool refuseWrites = false;
    // The commands received, unescaped (FF, service, opcode, ...).
    QList<QByteArray> commands;

    bool claims(const QByteArray& frame) const;
    QList<QByteArray> answer(const QByteArray& frame);

    // The body of an entry as a written frame (unescaped command) gives it.
    QByteArray bodyFromWrite(quint8 service, const QByteArray& command) const;

private:
    QMap<int, QByteArray>& store(quint8 service) { return service == kCalendar ? events : tasks; }
    int nextSlot(quint8 service, int after);

    bool _gd900;
    int _cursor[2] = {0, 0};
};

} // namespace phonesim
