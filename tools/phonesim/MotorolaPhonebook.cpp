#include "MotorolaPhonebook.h"

#include "AtCommand.h"
#include "CharacterSet.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <algorithm>

namespace phonesim {

namespace {

constexpr int kCmeInvalidIndex = 21;
constexpr int kCmeNotFound = 22;
constexpr int kCmeMemoryFull = 20;
constexpr int kCmeTextTooLong = 24;
constexpr int kCmeInvalidText = 25;
constexpr int kCmeOperationNotAllowed = 3;

// The arguments after "=", split at commas outside quotes.
QList<QByteArray> arguments(const AtCommand& cmd)
{
    return splitArguments(cmd.args.mid(1));
}

std::optional<int> number(const QByteArray& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QByteArray quoted(const QByteArray& text)
{
    return '"' + text + '"';
}

AtHandler modeSetting(int MotorolaPhonebookState::*member)
{
    return [member](PhoneSession& session, const AtCommand& cmd) {
        if (cmd.isTest() || cmd.isQuery())
            return AtResult::okay();
        const std::optional<int> value = cmd.args.startsWith('=') ? number(cmd.args.mid(1)) : std::nullopt;
        if (!value)
            return AtResult::error();
        session.motorola.*member = *value;
        return AtResult::okay();
    };
}

QByteArray contactLine(const PhoneSession& session, const MotorolaContact& c, const MotorolaField& f)
{
    const CharacterSetState& sets = session.characterSet;
    const int ton = f.value.startsWith(QLatin1Char('+')) ? 145 : 129;
    return "+MPBRE: " + QByteArray::number(c.slot) + ',' + QByteArray::number(f.subSlot) + ','
           + quoted(sets.encode(f.value)) + ',' + QByteArray::number(ton) + ',' + quoted(sets.encode(c.name)) + ','
           + QByteArray::number(f.type) + ",0,255,0," + QByteArray::number(f.mainEntry) + ','
           + QByteArray::number(c.category) + ",," + QByteArray::number(c.order) + ',' + QByteArray::number(c.position)
           + ',' + quoted(sets.encode(c.logo)) + ",,,\"\",\"\",\"\",\"\",\"\",\"\"," + quoted(sets.encode(c.nickname))
           + ',' + quoted(c.birthday.toLatin1()) + ',' + quoted(sets.encode(c.ringtone)) + ','
           + quoted(sets.encode(c.note));
}

QByteArray oldLine(const PhoneSession& session, const char* prefix, const MotorolaLine& l)
{
    const CharacterSetState& sets = session.characterSet;
    return QByteArray(prefix) + QByteArray::number(l.index) + ',' + quoted(l.number.toLatin1()) + ','
           + (l.number.startsWith(QLatin1Char('+')) ? "145" : "129") + ',' + quoted(sets.encode(l.name)) + ','
           + QByteArray::number(l.type) + ',' + QByteArray::number(l.voiceDial) + ',' + QByteArray::number(l.ringtone)
           + ",0," + QByteArray::number(l.mainEntry) + ',' + QByteArray::number(l.category) + ','
           + QByteArray::number(l.icon) + ',' + QByteArray::number(l.order) + ',' + QByteArray::number(l.position) + ','
           + quoted(sets.encode(l.logo)) + ",0,0,0,0,0,0,0,0,0,0";
}

AtResult readEntries(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaPhonebookState& book = session.motorola;
    if (book.mode != 2)
        return AtResult::equipmentError(kCmeOperationNotAllowed);
    if (cmd.isTest())
        return AtResult::okay({"+MPBRE: (" + QByteArray::number(book.firstSlot) + '-' + QByteArray::number(book.lastSlot)
                               + ")," + QByteArray::number(book.maxNumberLength) + ','
                               + QByteArray::number(book.maxNameLength) + ",6,128,128,64,64,50,24,50,64"});
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = cmd.args.mid(1).split(',');
    const std::optional<int> first = number(fields.first());
    const std::optional<int> last = fields.size() == 2 ? number(fields.at(1)) : first;
    if (!first || !last || fields.size() > 2 || *first < book.firstSlot || *last < *first || *last > book.lastSlot)
        return AtResult::equipmentError(kCmeInvalidIndex);
    QList<QByteArray> lines;
    if (book.olderLayout) {
        for (const MotorolaLine& line : std::as_const(book.lines))
            if (line.index >= *first && line.index <= *last)
                lines.append(oldLine(session, "+MPBRE: ", line));
    } else {
        for (const MotorolaContact& contact : std::as_const(book.contacts)) {
            if (contact.slot < *first || contact.slot > *last)
                continue;
            for (const MotorolaField& field : contact.fields)
                lines.append(contactLine(session, contact, field));
        }
    }
    return AtResult::okay(lines);
}

AtResult findEntries(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaPhonebookState& book = session.motorola;
    if (book.mode != 2 || !cmd.args.startsWith('='))
        return AtResult::error();
    const std::optional<QString> name = session.characterSet.decode(unquoted(cmd.args.mid(1)));
    if (!name)
        return AtResult::equipmentError(kCmeInvalidText);
    QList<QByteArray> lines;
    for (const MotorolaLine& line : std::as_const(book.lines))
        if (line.name == *name)
            lines.append(oldLine(session, "+MPBF: ", line));
    return AtResult::okay(lines);
}

// A text argument, quoted or (hex in UCS2) bare.
std::optional<QString> text(const PhoneSession& session, const QList<QByteArray>& fields, int index)
{
    if (index >= fields.size())
        return QString();
    return session.characterSet.decode(unquoted(fields.at(index)));
}

int freeSubSlot(const MotorolaContact& contact, int type)
{
    const auto [low, high] = motorolaSubSlotRange(type);
    for (int sub = low; sub <= high; ++sub) {
        if (std::none_of(contact.fields.begin(), contact.fields.end(), [sub](const MotorolaField& f) { return f.subSlot == sub; }))
            return sub;
    }
    return -1;
}

void putField(MotorolaContact& contact, const MotorolaField& field)
{
    contact.fields.removeIf([&](const MotorolaField& f) { return f.subSlot == field.subSlot; });
    const auto at = std::lower_bound(contact.fields.begin(), contact.fields.end(), field.subSlot,
                                     [](const MotorolaField& f, int sub) { return f.subSlot < sub; });
    contact.fields.insert(at, field);
}

AtResult writeExtended(PhoneSession& session, const QList<QByteArray>& fields)
{
    MotorolaPhonebookState& book = session.motorola;
    const std::optional<int> slot = number(fields.at(0));
    const std::optional<int> sub = fields.size() > 1 ? number(fields.at(1)) : std::nullopt;
    if (fields.size() == 1 || fields.size() == 2) {
        // A delete: the whole contact, or one of its fields.
        MotorolaContact* contact = slot ? book.contact(*slot) : nullptr;
        if (!contact)
            return AtResult::equipmentError(kCmeNotFound);
        if (fields.size() == 1)
            book.contacts.removeIf([&](const MotorolaContact& c) { return c.slot == *slot; });
        else if (!sub || contact->fields.removeIf([&](const MotorolaField& f) { return f.subSlot == *sub; }) == 0)
            return AtResult::equipmentError(kCmeNotFound);
        return AtResult::okay();
    }
    if (fields.size() < 6)
        return AtResult::error();
    const std::optional<QString> value = text(session, fields, 2);
    if (!value)
        return AtResult::equipmentError(kCmeInvalidText);
    if (value->size() > std::max(book.maxNumberLength, 128))
        return AtResult::equipmentError(kCmeTextTooLong);
    const std::optional<int> type = number(fields.at(fields.size() == 6 ? 5 : 5));
    MotorolaContact* contact = nullptr;
    if (!fields.at(0).trimmed().isEmpty()) {
        contact = slot ? book.contact(*slot) : nullptr;
        if (!contact)
            return AtResult::equipmentError(kCmeNotFound);
    } else if (fields.size() >= 27) {
        contact = book.addContact();
        if (!contact)
            return AtResult::equipmentError(kCmeMemoryFull);
    } else {
        return AtResult::error();
    }
    if (fields.size() >= 27) {
        const std::optional<QString> name = text(session, fields, 4);
        if (!name)
            return AtResult::equipmentError(kCmeInvalidText);
        if (name->size() > book.maxNameLength)
            return AtResult::equipmentError(kCmeTextTooLong);
        contact->name = *name;
        contact->category = number(fields.at(10)).value_or(1);
        contact->order = number(fields.at(12)).value_or(0);
        contact->position = number(fields.at(13)).value_or(0);
        contact->logo = text(session, fields, 14).value_or(QString());
        contact->nickname = text(session, fields, 23).value_or(QString());
        contact->birthday = QString::fromLatin1(unquoted(fields.at(24)));
        contact->ringtone = text(session, fields, 25).value_or(QString());
        contact->note = text(session, fields, 26).value_or(QString());
    }
    int written = sub.value_or(-1);
    if (!value->isEmpty()) {
        const int fieldType = type.value_or(sub ? 0 : 11);
        if (!sub)
            written = freeSubSlot(*contact, fieldType);
        if (written < 1)
            return AtResult::equipmentError(kCmeMemoryFull);
        const bool main = contact->fields.isEmpty();
        putField(*contact, {written, *value, fieldType, main ? 1 : 0});
    }
    return AtResult::okay({"+MPBWE: " + QByteArray::number(contact->slot) + ',' + QByteArray::number(written)});
}

AtResult writeEntries(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaPhonebookState& book = session.motorola;
    if (book.mode != 2 || !cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = arguments(cmd);
    if (!book.olderLayout)
        return writeExtended(session, fields);
    // The older layout deletes a line by its index.
    const std::optional<int> index = number(fields.at(0));
    if (fields.size() != 1 || !index || !book.line(*index))
        return AtResult::equipmentError(kCmeNotFound);
    book.lines.removeIf([&](const MotorolaLine& l) { return l.index == *index; });
    return AtResult::okay();
}

AtResult writeOldLine(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaPhonebookState& book = session.motorola;
    if (book.mode != 2 || !book.olderLayout || !cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = arguments(cmd);
    if (fields.size() != 14)
        return AtResult::error();
    const std::optional<QString> name = text(session, fields, 3);
    if (!name)
        return AtResult::equipmentError(kCmeInvalidText);
    if (name->size() > book.maxNameLength)
        return AtResult::equipmentError(kCmeTextTooLong);
    MotorolaLine line;
    line.number = QString::fromLatin1(unquoted(fields.at(1)));
    line.name = *name;
    line.type = number(fields.at(4)).value_or(0);
    line.voiceDial = number(fields.at(5)).value_or(0);
    line.ringtone = number(fields.at(6)).value_or(255);
    line.mainEntry = number(fields.at(8)).value_or(0);
    line.category = number(fields.at(9)).value_or(1);
    line.icon = number(fields.at(10)).value_or(255);
    line.order = number(fields.at(11)).value_or(0);
    line.position = number(fields.at(12)).value_or(0);
    line.logo = text(session, fields, 13).value_or(QString());
    if (fields.at(0).trimmed().isEmpty()) {
        if (book.addLine(line) < 0)
            return AtResult::equipmentError(kCmeMemoryFull);
        return AtResult::okay();
    }
    const std::optional<int> index = number(fields.at(0));
    if (!index || *index < book.firstSlot || *index > book.lastSlot)
        return AtResult::equipmentError(kCmeInvalidIndex);
    line.index = *index;
    book.lines.removeIf([&](const MotorolaLine& l) { return l.index == *index; });
    book.addLine(line);
    return AtResult::okay();
}

} // namespace

QPair<int, int> motorolaSubSlotRange(int typeCode)
{
    if (typeCode >= 12 && typeCode <= 14)
        return {8, 9};
    if (typeCode == 18)
        return {10, 11};
    if (typeCode >= 15 && typeCode <= 17)
        return {12, 13};
    return {1, 7};
}

MotorolaContact* MotorolaPhonebookState::contact(int slot)
{
    for (MotorolaContact& c : contacts)
        if (c.slot == slot)
            return &c;
    return nullptr;
}

MotorolaContact* MotorolaPhonebookState::addContact()
{
    for (int slot = firstSlot; slot <= lastSlot; ++slot) {
        if (contact(slot))
            continue;
        MotorolaContact made;
        made.slot = slot;
        const auto at = std::lower_bound(contacts.begin(), contacts.end(), slot,
                                         [](const MotorolaContact& c, int s) { return c.slot < s; });
        return &*contacts.insert(at, made);
    }
    return nullptr;
}

MotorolaLine* MotorolaPhonebookState::line(int index)
{
    for (MotorolaLine& l : lines)
        if (l.index == index)
            return &l;
    return nullptr;
}

int MotorolaPhonebookState::addLine(const MotorolaLine& added)
{
    MotorolaLine stored = added;
    if (stored.index == 0) {
        for (int index = firstSlot; index <= lastSlot && stored.index == 0; ++index)
            if (!line(index))
                stored.index = index;
        if (stored.index == 0)
            return -1;
    }
    const auto at = std::lower_bound(lines.begin(), lines.end(), stored.index,
                                     [](const MotorolaLine& l, int i) { return l.index < i; });
    lines.insert(at, stored);
    return stored.index;
}

void installMotorolaPhonebookHandlers(PhoneProfile& profile)
{
    if (!profile.name().startsWith(QLatin1String("motorola")))
        return;
    if (profile.name() == QLatin1String("motorola2"))
        profile.addSessionSetup([](PhoneSession& s) { s.motorola.olderLayout = true; });
    profile.setHandler("+MODE", modeSetting(&MotorolaPhonebookState::mode));
    profile.setHandler("+MSYN", modeSetting(&MotorolaPhonebookState::synchronisation));
    profile.setHandler("+MPBRE", readEntries);
    profile.setHandler("+MPBWE", writeEntries);
    profile.setHandler("+MPBF", findEntries);
    profile.setHandler("+MPBW", writeOldLine);
}

} // namespace phonesim
