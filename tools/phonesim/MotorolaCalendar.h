#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace phonesim {

class PhoneProfile;

// A Motorola phone's calendar (date book) as its synchronisation commands
// show it (AT+MODE=2 first): events by slot 0 .. slotCount - 1, each the
// fields of its record (21 in the extended layout, 10 in the older one of
// "motorola2"), texts decoded, the other fields without their quotes.
struct MotorolaCalendarEvent {
    int slot = 0;
    QStringList fields;
};

struct MotorolaCalendarState {
    int slotCount = 100;
    bool locked = false; // AT+MDBL
    QMap<int, MotorolaCalendarEvent> events;
    // Faults: records answered as they are for a slot (a short record, an
    // unreadable date), and how many of the next writes are refused.
    QMap<int, QByteArray> rawRecords;
    int refusedWrites = 0;
};

// Installs AT+CCLK, +MDBL, +MDBR, +MDBW and +MDBWE on the Motorola profiles.
void installMotorolaCalendarHandlers(PhoneProfile& profile);

} // namespace phonesim
