#pragma once

#include <QList>
#include <QString>

namespace phonesim {

class PhoneProfile;

// A Motorola phone's own phonebook as its synchronisation commands show it
// (AT+MODE=2 first). The extended layout ("motorola") keeps contacts in
// slots, each with its fields in sub-slots (1-7 numbers, 8-9 e-mail, 10-11
// URLs, 12-13 addresses) and answers one 27-field line per field; the older
// layout ("motorola2") keeps one line per number under an index and answers
// 24-field lines.
struct MotorolaField {
    int subSlot = 0;
    QString value;
    int type = 0;
    int mainEntry = 0;
};

struct MotorolaContact {
    int slot = 0;
    QString name;
    int order = 0;
    int position = 0;
    int category = 1;
    QString logo;
    QString nickname;
    QString birthday;
    QString ringtone;
    QString note;
    QList<MotorolaField> fields;   // sorted by sub-slot
};

struct MotorolaLine {
    int index = 0;
    QString number;
    int type = 0;
    QString name;
    int voiceDial = 0;
    int ringtone = 255;
    int mainEntry = 0;
    int category = 1;
    int icon = 255;
    int order = 0;
    int position = 0;
    QString logo;
};

struct MotorolaPhonebookState {
    bool olderLayout = false;
    int mode = 0;
    int synchronisation = 0;
    int firstSlot = 1;
    int lastSlot = 1000;
    int maxNumberLength = 32;
    int maxNameLength = 24;
    QList<MotorolaContact> contacts;   // extended layout, sorted by slot
    QList<MotorolaLine> lines;         // older layout, sorted by index

    MotorolaContact* contact(int slot);
    // Adds a contact at the lowest free slot; null when full.
    MotorolaContact* addContact();
    MotorolaLine* line(int index);
    int addLine(const MotorolaLine& line);
};

// The sub-slot range of a field's type code (phone 0-5 and 11, e-mail 12-14,
// address 15-17, URL 18).
QPair<int, int> motorolaSubSlotRange(int typeCode);

// Installs AT+MODE, +MSYN, +MPBRE, +MPBWE, +MPBF and +MPBW on the Motorola
// profiles ("motorola2" with the older layout).
void installMotorolaPhonebookHandlers(PhoneProfile& profile);

} // namespace phonesim
