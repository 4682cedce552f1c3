#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace phonesim {

class PhoneProfile;

// One entry of a 27.007 phonebook storage.
struct PhonebookEntry {
    int index = 0;
    QString number;
    int type = 129;
    QString name;
};

struct PhonebookStorage {
    QByteArray name;
    int capacity = 0;
    QList<PhonebookEntry> entries;   // sorted by index

    const PhonebookEntry* find(int index) const;
    // Stores at index (0: the lowest free one); the index used, or -1 when full.
    int put(int index, const PhonebookEntry& entry);
    bool remove(int index);
};

// The phonebook storages that AT+CPBS selects ("SM" the SIM, "ME" the
// phone) with the limits that AT+CPBR=? reports.
struct PhonebookState {
    QList<PhonebookStorage> storages{{"SM", 250, {}}, {"ME", 500, {}}};
    int selected = 0;
    int maxNumberLength = 40;
    int maxNameLength = 18;

    PhonebookStorage* find(const QByteArray& name);
};

// Installs AT+CPBS, +CPBR (test form and ranges) and +CPBW (write at an
// index or the first free one, clear an index), texts in the set of AT+CSCS.
void installSimPhonebookHandlers(PhoneProfile& profile);

} // namespace phonesim
