#include "SimPhonebook.h"

#include "AtCommand.h"
#include "CharacterSet.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <algorithm>

namespace phonesim {

namespace {

// 27.007 error numbers.
constexpr int kCmeMemoryFull = 20;
constexpr int kCmeInvalidIndex = 21;
constexpr int kCmeNotFound = 22;
constexpr int kCmeTextTooLong = 24;
constexpr int kCmeInvalidText = 25;
constexpr int kCmeDialStringTooLong = 26;
constexpr int kCmeInvalidDialString = 27;

PhonebookStorage& selectedStorage(PhoneSession& session)
{
    return session.phonebook.storages[session.phonebook.selected];
}

AtResult selectStorage(PhoneSession& session, const AtCommand& cmd)
{
    PhonebookState& book = session.phonebook;
    if (cmd.isTest()) {
        QByteArray list;
        for (const PhonebookStorage& storage : book.storages)
            list += (list.isEmpty() ? "\"" : ",\"") + storage.name + '"';
        return AtResult::okay({"+CPBS: (" + list + ")"});
    }
    if (cmd.isQuery()) {
        const PhonebookStorage& storage = selectedStorage(session);
        return AtResult::okay({"+CPBS: \"" + storage.name + "\"," + QByteArray::number(storage.entries.size()) + ','
                               + QByteArray::number(storage.capacity)});
    }
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QByteArray name = unquoted(cmd.args.mid(1));
    for (qsizetype i = 0; i < book.storages.size(); ++i) {
        if (book.storages.at(i).name == name) {
            book.selected = int(i);
            return AtResult::okay();
        }
    }
    return AtResult::equipmentError(kCmeInvalidIndex);
}

QByteArray entryLine(const PhoneSession& session, const PhonebookEntry& entry)
{
    const CharacterSetState& sets = session.characterSet;
    return "+CPBR: " + QByteArray::number(entry.index) + ",\"" + sets.encodeNumber(entry.number) + "\","
           + QByteArray::number(entry.type) + ",\"" + sets.encode(entry.name) + '"';
}

AtResult readEntries(PhoneSession& session, const AtCommand& cmd)
{
    const PhonebookStorage& storage = selectedStorage(session);
    if (cmd.isTest())
        return AtResult::okay({"+CPBR: (1-" + QByteArray::number(storage.capacity) + "),"
                               + QByteArray::number(session.phonebook.maxNumberLength) + ','
                               + QByteArray::number(session.phonebook.maxNameLength)});
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = cmd.args.mid(1).split(',');
    bool firstOk = false;
    bool lastOk = fields.size() == 1;
    const int first = fields.first().trimmed().toInt(&firstOk);
    const int last = fields.size() == 2 ? fields.at(1).trimmed().toInt(&lastOk) : first;
    if (!firstOk || !lastOk || fields.size() > 2 || first < 1 || last < first || last > storage.capacity)
        return AtResult::equipmentError(kCmeInvalidIndex);
    QList<QByteArray> lines;
    for (const PhonebookEntry& entry : storage.entries) {
        if (entry.index >= first && entry.index <= last)
            lines.append(entryLine(session, entry));
    }
    if (lines.isEmpty() && fields.size() == 1)
        return AtResult::equipmentError(kCmeNotFound);
    return AtResult::okay(lines);
}

AtResult writeEntry(PhoneSession& session, const AtCommand& cmd)
{
    PhonebookStorage& storage = selectedStorage(session);
    if (cmd.isTest())
        return AtResult::okay({"+CPBW: (1-" + QByteArray::number(storage.capacity) + "),"
                               + QByteArray::number(session.phonebook.maxNumberLength) + ",(129,145),"
                               + QByteArray::number(session.phonebook.maxNameLength)});
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = splitArguments(cmd.args.mid(1));
    int index = 0;
    if (!fields.first().trimmed().isEmpty()) {
        bool ok = false;
        index = fields.first().trimmed().toInt(&ok);
        if (!ok || index < 1 || index > storage.capacity)
            return AtResult::equipmentError(kCmeInvalidIndex);
    }
    const QByteArray numberField = fields.size() > 1 ? unquoted(fields.at(1)) : QByteArray();
    const QByteArray nameField = fields.size() > 3 ? unquoted(fields.at(3)) : QByteArray();
    if (fields.size() > 4 || fields.size() == 3)
        return AtResult::error();
    if (numberField.isEmpty() && nameField.isEmpty()) {
        // A clearing: the entry at index goes (an empty one stays empty).
        if (index == 0)
            return AtResult::equipmentError(kCmeInvalidIndex);
        storage.remove(index);
        return AtResult::okay();
    }
    const std::optional<QString> number = session.characterSet.decodeNumber(numberField);
    const std::optional<QString> name = session.characterSet.decode(nameField);
    if (!number)
        return AtResult::equipmentError(kCmeInvalidDialString);
    if (!name)
        return AtResult::equipmentError(kCmeInvalidText);
    if (number->size() > session.phonebook.maxNumberLength)
        return AtResult::equipmentError(kCmeDialStringTooLong);
    if (name->size() > session.phonebook.maxNameLength)
        return AtResult::equipmentError(kCmeTextTooLong);
    PhonebookEntry entry{index, *number, 129, *name};
    if (fields.size() > 2) {
        bool ok = false;
        entry.type = fields.at(2).trimmed().toInt(&ok);
        if (!ok)
            return AtResult::error();
    }
    if (storage.put(index, entry) < 0)
        return AtResult::equipmentError(kCmeMemoryFull);
    return AtResult::okay();
}

} // namespace

const PhonebookEntry* PhonebookStorage::find(int index) const
{
    for (const PhonebookEntry& entry : entries) {
        if (entry.index == index)
            return &entry;
    }
    return nullptr;
}

int PhonebookStorage::put(int index, const PhonebookEntry& entry)
{
    if (index == 0) {
        for (int free = 1; free <= capacity && index == 0; ++free) {
            if (!find(free))
                index = free;
        }
        if (index == 0)
            return -1;
    }
    remove(index);
    PhonebookEntry stored = entry;
    stored.index = index;
    const auto at = std::lower_bound(entries.begin(), entries.end(), index,
                                     [](const PhonebookEntry& e, int i) { return e.index < i; });
    entries.insert(at, stored);
    return index;
}

bool PhonebookStorage::remove(int index)
{
    return entries.removeIf([index](const PhonebookEntry& e) { return e.index == index; }) > 0;
}

PhonebookStorage* PhonebookState::find(const QByteArray& name)
{
    for (PhonebookStorage& storage : storages) {
        if (storage.name == name)
            return &storage;
    }
    return nullptr;
}

void installSimPhonebookHandlers(PhoneProfile& profile)
{
    installCharacterSetHandlers(profile);
    if (profile.name() == QLatin1String("sonyericsson"))
        profile.addSessionSetup([](PhoneSession& s) { s.characterSet.ucs2Numbers = true; });
    if (profile.name() == QLatin1String("siemens"))
        profile.addSessionSetup([](PhoneSession& s) { s.characterSet.siemensEscapes = true; });
    profile.setHandler("+CPBS", selectStorage);
    profile.setHandler("+CPBR", readEntries);
    profile.setHandler("+CPBW", writeEntry);
}

} // namespace phonesim
