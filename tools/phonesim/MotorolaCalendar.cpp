#include "MotorolaCalendar.h"

#include "AtCommand.h"
#include "CharacterSet.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <QDateTime>

namespace phonesim {

namespace {

constexpr int kCmeOperationNotAllowed = 3;
constexpr int kCmeInvalidIndex = 21;
constexpr int kCmeNotFound = 22;
constexpr int kCmeInvalidText = 25;

// Fields of a record that hold texts in the character set, and those sent
// between quotes as they are, by layout.
const QList<int> kTextFields = {1, 12, 14, 15};
const QList<int> kQuotedFields = {4, 5, 7, 8, 10, 11, 20};
const QList<int> kOldTextFields = {1};
const QList<int> kOldQuotedFields = {4, 5, 7, 8};

std::optional<int> number(const QByteArray& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int fieldCount(const PhoneSession& session)
{
    return session.motorola.olderLayout ? 10 : 21;
}

QByteArray recordLine(const PhoneSession& session, const MotorolaCalendarEvent& event)
{
    const bool older = session.motorola.olderLayout;
    const QList<int>& texts = older ? kOldTextFields : kTextFields;
    const QList<int>& quotedOnes = older ? kOldQuotedFields : kQuotedFields;
    QByteArray line = "+MDBR: " + QByteArray::number(event.slot);
    for (qsizetype i = 1; i < event.fields.size(); ++i) {
        const QString& field = event.fields.at(i);
        line += ',';
        if (texts.contains(int(i)))
            line += '"' + session.characterSet.encode(field) + '"';
        else if (quotedOnes.contains(int(i)))
            line += '"' + field.toLatin1() + '"';
        else
            line += field.toLatin1();
    }
    return line;
}

AtResult clock(PhoneSession&, const AtCommand& cmd)
{
    if (!cmd.isQuery())
        return AtResult::okay();
    return AtResult::okay({"+CCLK: \""
                           + QDateTime::currentDateTime().toString(QStringLiteral("yy/MM/dd,HH:mm:ss")).toLatin1()
                           + "+00\""});
}

AtResult lock(PhoneSession& session, const AtCommand& cmd)
{
    const std::optional<int> value = cmd.args.startsWith('=') ? number(cmd.args.mid(1)) : std::nullopt;
    if (!value || (*value != 0 && *value != 1))
        return AtResult::error();
    session.motorolaCalendar.locked = *value == 1;
    return AtResult::okay();
}

bool usable(const PhoneSession& session)
{
    return session.motorola.mode == 2 && (!session.motorola.olderLayout || session.motorolaCalendar.locked);
}

AtResult readEvents(PhoneSession& session, const AtCommand& cmd)
{
    const MotorolaCalendarState& calendar = session.motorolaCalendar;
    if (!usable(session))
        return AtResult::equipmentError(kCmeOperationNotAllowed);
    if (cmd.isTest())
        return AtResult::okay({"+MDBR: " + QByteArray::number(calendar.slotCount) + ",64,32,16,8"});
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = cmd.args.mid(1).split(',');
    const std::optional<int> first = number(fields.first());
    const std::optional<int> last = fields.size() == 2 ? number(fields.at(1)) : first;
    if (!first || !last || fields.size() > 2 || *first < 0 || *last < *first || *last >= calendar.slotCount)
        return AtResult::equipmentError(kCmeInvalidIndex);
    QList<QByteArray> lines;
    for (auto it = calendar.events.lowerBound(*first); it != calendar.events.end() && it.key() <= *last; ++it)
        lines.append(recordLine(session, it.value()));
    for (auto it = calendar.rawRecords.lowerBound(*first); it != calendar.rawRecords.end() && it.key() <= *last; ++it)
        lines.append(it.value());
    return AtResult::okay(lines);
}

AtResult writeEvent(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaCalendarState& calendar = session.motorolaCalendar;
    if (!usable(session))
        return AtResult::equipmentError(kCmeOperationNotAllowed);
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    const QList<QByteArray> fields = splitArguments(cmd.args.mid(1));
    if (fields.size() != fieldCount(session))
        return AtResult::error();
    const std::optional<int> slot = number(fields.at(0));
    if (!slot || *slot < 0 || *slot >= calendar.slotCount)
        return AtResult::equipmentError(kCmeInvalidIndex);
    if (calendar.refusedWrites > 0) {
        --calendar.refusedWrites;
        return AtResult::error();
    }
    const QList<int>& texts = session.motorola.olderLayout ? kOldTextFields : kTextFields;
    MotorolaCalendarEvent event;
    event.slot = *slot;
    event.fields.append(QString::number(*slot));
    for (qsizetype i = 1; i < fields.size(); ++i) {
        if (texts.contains(int(i))) {
            const std::optional<QString> text = session.characterSet.decode(unquoted(fields.at(i)));
            if (!text)
                return AtResult::equipmentError(kCmeInvalidText);
            event.fields.append(*text);
        } else {
            event.fields.append(QString::fromLatin1(unquoted(fields.at(i))));
        }
    }
    calendar.events.insert(*slot, event);
    return AtResult::okay();
}

AtResult deleteEvent(PhoneSession& session, const AtCommand& cmd)
{
    MotorolaCalendarState& calendar = session.motorolaCalendar;
    if (!usable(session))
        return AtResult::equipmentError(kCmeOperationNotAllowed);
    const QList<QByteArray> fields = cmd.args.startsWith('=') ? cmd.args.mid(1).split(',') : QList<QByteArray>();
    const std::optional<int> slot = fields.isEmpty() ? std::nullopt : number(fields.first());
    if (!slot)
        return AtResult::error();
    if (calendar.events.remove(*slot) == 0)
        return AtResult::equipmentError(kCmeNotFound);
    return AtResult::okay();
}

} // namespace

void installMotorolaCalendarHandlers(PhoneProfile& profile)
{
    if (!profile.name().startsWith(QLatin1String("motorola")))
        return;
    profile.setHandler("+CCLK", clock);
    profile.setHandler("+MDBL", lock);
    profile.setHandler("+MDBR", readEvents);
    profile.setHandler("+MDBW", writeEvent);
    profile.setHandler("+MDBWE", deleteEvent);
}

} // namespace phonesim
