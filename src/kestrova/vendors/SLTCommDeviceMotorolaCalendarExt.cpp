#include "kestrova/vendors/SLTCommDeviceMotorolaCalendarExt.h"

#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/MotorolaCalendarValues.h"
#include "kestrova/vendors/MotorolaSignals.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaSession.h"
#include "platform/RunLoop.h"

#include <QStringList>
#include <ctime>

using namespace kestrova::core;
using namespace kestrova::vendors;
using namespace kestrova::vendors::motorolacalendar;
using kestrova::kitLogWith;

namespace {

// Engine methods that take the replies.
constexpr const char* kParametersStage = "getMotorolaCalendarParametersStage2:";
constexpr const char* kEntriesStage = "getMotorolaCalendarEntriesStage2:";
constexpr const char* kReplyStage = "motorolaCalendarReplyStage2:";

const QString kSlot = QStringLiteral("slot");
const QString kEvent = QStringLiteral("event");
const QString kSummary = QStringLiteral("summary");
const QString kAllDay = QStringLiteral("all day");
const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");
const QString kLocation = QStringLiteral("location");
const QString kDescription = QStringLiteral("description");
const QString kAlarmSound = QStringLiteral("MotorolaCalendarCustomValueAlarmSound");
const QString kEventClass = QStringLiteral("event-class");
const QString kDisplayAlarm = QStringLiteral("DisplayAlarm");
const QString kTriggerDate = QStringLiteral("triggerdate");
const QString kRecurrence = QStringLiteral("recurrence");
const QString kUntil = QStringLiteral("until");
const QString kMidnight = QStringLiteral("\"00:00\"");

QString strip(const QString& field)
{
    return SLTCommDevice::stripQuotationMarks(field.trimmed());
}

int intOf(const QString& text)
{
    return text.trimmed().toInt();
}

bool isDigits(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The slot of a record's first field ("+MDBR: 5"); nullopt when none.
std::optional<int> slotOf(const QString& field)
{
    const QStringList head = field.split(QLatin1Char(' '));
    const QString slot = head.size() == 2 ? head.at(1).trimmed() : QString();
    return isDigits(slot) ? std::optional<int>(slot.toInt()) : std::nullopt;
}

QString textOf(const QVariantMap& map, const QString& name)
{
    const QVariant value = map.value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void skipped(const QString& why, const QString& line)
{
    kitLogWith([&] { return QStringLiteral("Motorola calendar: record skipped (%1): %2").arg(why, line); });
}

} // namespace

SLTCommDeviceMotorolaCalendarExt::SLTCommDeviceMotorolaCalendarExt(SLTCommDevice& engine) : _engine(engine)
{
    for (const char* selector : {kParametersStage, kEntriesStage, kReplyStage}) {
        _engine.registerCommandCallback(
            QLatin1String(selector),
            [this, name = QLatin1String(selector)](const QVariantMap& r) { replyStage(name, r); });
    }
}

SLTCommDeviceMotorolaCalendarExt::~SLTCommDeviceMotorolaCalendarExt()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

bool SLTCommDeviceMotorolaCalendarExt::isOlderLayout() const
{
    return engine().family() == QLatin1String("motorola2");
}

SLTCommDeviceMotorolaSession& SLTCommDeviceMotorolaCalendarExt::session() const
{
    return engine().extension<SLTCommDeviceMotorolaSession>();
}

QVariantMap SLTCommDeviceMotorolaCalendarExt::command(const SLTInvocationPtr& stage, const char* selector,
                                                      const char* signal, const QString& text) const
{
    return session().commandFor(stage, selector, signal, 42, text);
}

void SLTCommDeviceMotorolaCalendarExt::refuse(const SLTInvocationPtr& stage, const char* signal, const QString& why)
{
    session().refuse(this, QStringLiteral("Motorola calendar"), stage, signal, why);
}

// --- Session ------------------------------------------------------------------

void SLTCommDeviceMotorolaCalendarExt::motorolaCalendarPrepare(const SLTInvocationPtr& stage)
{
    SLTCommDeviceMotorolaSession& s = session();
    const char* prepare = kSLTCommDeviceMotorolaCalendarPrepare;
    QList<QVariantMap> own = {
        s.openingWait(stage, prepare),
        s.command(stage, kSLTCommDeviceMotorolaCalendarPrepareGetTime, 42, QStringLiteral("at+cclk?\r")),
        s.command(stage, prepare, 43, QStringLiteral("at+mode=2\r"))};
    if (isOlderLayout())
        own.append(s.command(stage, prepare, 42, QStringLiteral("at+mdbl=1\r")));
    own.append(s.command(stage, prepare, 42, QStringLiteral("at+msyn=1\r")));
    s.open(stage, SLTCommDeviceMotorolaSession::kCalendarSignals, own);
}

void SLTCommDeviceMotorolaCalendarExt::motorolaCalendarCleanup(const SLTInvocationPtr& stage)
{
    SLTCommDeviceMotorolaSession& s = session();
    const char* cleanup = kSLTCommDeviceMotorolaCalendarCleanup;
    QList<QVariantMap> own;
    if (isOlderLayout())
        own.append(s.command(stage, cleanup, 42, QStringLiteral("at+mdbl=0\r")));
    own.append(s.command(stage, cleanup, 42, QStringLiteral("at+msyn=0\r")));
    own.append(s.command(stage, cleanup, 43, QStringLiteral("at+mode=0\r")));
    s.close(stage, SLTCommDeviceMotorolaSession::kCalendarSignals, own);
}

// --- Reading ------------------------------------------------------------------

void SLTCommDeviceMotorolaCalendarExt::getMotorolaCalendarParameters(const SLTInvocationPtr& stage)
{
    engine().commandQueue().addCommand(
        command(stage, kParametersStage, kSLTCommDeviceGetMotorolaCalendarParameters, QStringLiteral("at+mdbr=?\r")));
}

std::optional<QVariantMap> SLTCommDeviceMotorolaCalendarExt::parseMotorolaCalendarParameters(const QString& reply)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 5)
        return std::nullopt;
    const QStringList halves = lines.at(1).split(QLatin1Char(' '));
    if (halves.size() != 2)
        return std::nullopt;
    const QStringList fields = halves.at(1).split(QLatin1Char(','));
    if (fields.size() <= 4)
        return std::nullopt;
    bool ok = false;
    const qint64 count = fields.at(0).trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    // Kept as stated: the kit judges whether the range is usable.
    return QVariantMap{{QStringLiteral("start"), 0}, {QStringLiteral("end"), count - 1}};
}

void SLTCommDeviceMotorolaCalendarExt::getMotorolaCalendarEntriesFrom(int first, int last,
                                                                      const SLTInvocationPtr& stage)
{
    engine().commandQueue().addCommand(command(stage, kEntriesStage, kSLTCommDeviceGetMotorolaCalendarEntriesFromTo,
                                               QStringLiteral("AT+MDBR=%1,%2\r").arg(first).arg(last)));
}

std::optional<QVariantMap> SLTCommDeviceMotorolaCalendarExt::parseMotorolaCalendarLine(
    const QString& line, kestrova::vendors::motorolacalendar::LocalOffsets* local) const
{
    const QStringList f = atfields::splitOutsideQuotes(line);
    const std::optional<int> slot = slotOf(f.first());
    if (f.size() < 21 || !slot) {
        skipped(QStringLiteral("%1 fields").arg(f.size()), line);
        return std::nullopt;
    }
    const bool allDay = intOf(f.at(2)) == 0;
    const QString zone = allDay ? QStringLiteral("0") : QString();
    const std::optional<QDateTime> start = readDate(f.at(4), f.at(5), zone, local);
    const std::optional<QDateTime> end = readDate(f.at(10), f.at(11), zone, local);
    if (!start || !end) {
        skipped(QStringLiteral("unreadable date"), line);
        return std::nullopt;
    }
    QVariantMap event;
    event.insert(kSummary, session().decode(strip(f.at(1))));
    if (allDay)
        event.insert(kAllDay, true);
    event.insert(kStartDate, *start);
    event.insert(kEndDate, *end);
    for (const auto& [index, name] : {std::pair{12, &kAlarmSound}, {14, &kLocation}, {15, &kDescription}}) {
        const QString text = strip(f.at(index));
        if (!text.isEmpty())
            event.insert(*name, session().decode(text));
    }
    QVariantMap entry{
        {kSlot, QString::number(*slot)}, {kEvent, event}, {kEventClass, getEventTypeFromString(intOf(f.at(13)))}};
    if (intOf(f.at(3)) == 1) {
        if (const std::optional<QDateTime> trigger = readDate(f.at(7), f.at(8), QString(), local))
            entry.insert(kDisplayAlarm, QVariantMap{{kTriggerDate, *trigger}});
        else
            kitLogWith([&] { return QStringLiteral("Motorola calendar: unreadable alarm in: %1").arg(line); });
    }
    QVariantMap recurrence = getRecurrenceDictFromValue(intOf(f.at(9)), intOf(f.at(17)), intOf(f.at(18)),
                                                        start->date());
    if (!recurrence.isEmpty()) {
        // Only 00-00-2000 (or an unreadable date) means a series without end;
        // one that ended keeps its end.
        if (const std::optional<QDateTime> until = readDate(QStringLiteral("23:59:59"), f.at(20), QString(), local))
            recurrence.insert(kUntil, *until);
        entry.insert(kRecurrence, recurrence);
    }
    return entry;
}

std::optional<QVariantMap> SLTCommDeviceMotorolaCalendarExt::parseOldMotorolaCalendarLine(
    const QString& line, kestrova::vendors::motorolacalendar::LocalOffsets* local) const
{
    const QStringList f = atfields::splitOutsideQuotes(line);
    const std::optional<int> slot = slotOf(f.first());
    if (f.size() < 10 || !slot) {
        skipped(QStringLiteral("%1 fields").arg(f.size()), line);
        return std::nullopt;
    }
    const std::optional<QDateTime> start = readDate(f.at(4), f.at(5), QString(), local);
    bool minutesOk = false;
    const qint64 minutes = f.at(6).trimmed().toLongLong(&minutesOk);
    if (!start || !minutesOk || minutes < 0 || minutes > 366LL * 24 * 60 * 100) {
        skipped(QStringLiteral("unreadable date"), line);
        return std::nullopt;
    }
    const QString summary = session().decode(strip(f.at(1)));
    QVariantMap event{{kSummary, summary}, {kStartDate, *start}, {kEndDate, start->addSecs(minutes * 60)}};
    if (intOf(f.at(2)) == 0)
        event.insert(kAllDay, true);
    QVariantMap entry{{kSlot, QString::number(*slot)}, {kEvent, event}};
    if (intOf(f.at(3)) == 1) {
        if (const std::optional<QDateTime> trigger = readDate(f.at(7), f.at(8), QString(), local))
            entry.insert(kDisplayAlarm, QVariantMap{{kTriggerDate, *trigger}, {kDescription, summary}});
    }
    const QVariantMap recurrence = getRecurrenceDictForParam(intOf(f.at(9)), start->date());
    if (!recurrence.isEmpty())
        entry.insert(kRecurrence, recurrence);
    return entry;
}

QVariantMap SLTCommDeviceMotorolaCalendarExt::parseMotorolaCalendarEntries(const QString& reply) const
{
    QVariantMap events;
    motorolacalendar::LocalOffsets local;
    tzset();
    for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QLatin1String("+MDBR")))
            continue;
        const std::optional<QVariantMap> event = isOlderLayout() ? parseOldMotorolaCalendarLine(line, &local)
                                                                 : parseMotorolaCalendarLine(line, &local);
        if (event)
            events.insert(event->value(kSlot).toString(), *event);
    }
    return events;
}

// --- Writing ------------------------------------------------------------------

QString SLTCommDeviceMotorolaCalendarExt::createWriteStringForEntry(const QVariantMap& entry) const
{
    const SLTCommDeviceMotorolaSession& s = session();
    const QVariantMap event = entry.value(kEvent).toMap();
    const bool allDay = event.value(kAllDay).toBool();
    const QDateTime start = event.value(kStartDate).toDateTime();
    const QDateTime end = event.contains(kEndDate) ? event.value(kEndDate).toDateTime() : start;
    const bool alarm = entry.contains(kDisplayAlarm);
    const QDateTime trigger = entry.value(kDisplayAlarm).toMap().value(kTriggerDate).toDateTime();
    const QVariantMap params = getRepeatParamsFromRec(entry, false);
    const QString sound = textOf(event, kAlarmSound);
    const auto optional = [&](const QString& name) {
        const QString text = textOf(event, name);
        return text.isEmpty() ? QString() : s.encodeQuoted(text);
    };
    QString soundField = QStringLiteral("\"\"");
    if (!sound.isEmpty())
        soundField = s.isUcs2() ? s.encode(sound)
                                : QLatin1Char('"') + atfields::quotedArgumentText(sound) + QLatin1Char('"');
    const QDateTime until = entry.value(kRecurrence).toMap().value(kUntil).toDateTime();
    const QStringList fields = {
        textOf(entry, kSlot),
        s.encodeQuoted(textOf(event, kSummary)),
        allDay ? QStringLiteral("0") : QStringLiteral("1"),
        alarm ? QStringLiteral("1") : QStringLiteral("0"),
        allDay ? kMidnight : getTimeStringForCalendarDate(start),
        getDateStringForCalendarDate(start),
        QString(),
        alarm ? getTimeStringForCalendarDate(trigger) : QStringLiteral("\"06:28\""),
        alarm ? getDateStringForCalendarDate(trigger) : QStringLiteral("\"02-06-2088\""),
        params.value(QStringLiteral("param1")).toString(),
        allDay ? kMidnight : getTimeStringForCalendarDate(end),
        getDateStringForCalendarDate(end),
        soundField,
        QString::number(getIntForEventTypeFromString(textOf(entry, kEventClass))),
        optional(kLocation),
        optional(kDescription),
        QStringLiteral("501"),
        params.value(QStringLiteral("param2")).toString(),
        params.value(QStringLiteral("param3")).toString(),
        QString(),
        until.isValid() ? getDateStringForCalendarDate(until.toLocalTime()) : QStringLiteral("\"00-00-2000\""),
    };
    return fields.join(QLatin1Char(','));
}

QString SLTCommDeviceMotorolaCalendarExt::createOldMotorolaWriteStringForEntry(const QVariantMap& entry) const
{
    const QVariantMap event = entry.value(kEvent).toMap();
    const QDateTime start = event.value(kStartDate).toDateTime();
    const QDateTime end = event.contains(kEndDate) ? event.value(kEndDate).toDateTime() : start;
    const qint64 minutes = std::max<qint64>(0, start.secsTo(end) / 60);
    const bool alarm = entry.contains(kDisplayAlarm);
    const QDateTime trigger = entry.value(kDisplayAlarm).toMap().value(kTriggerDate).toDateTime();
    const bool allDay = event.value(kAllDay).toBool() && minutes <= 1440;
    const QStringList fields = {
        textOf(entry, kSlot),
        session().encodeQuoted(textOf(event, kSummary)),
        allDay ? QStringLiteral("0") : QStringLiteral("1"),
        alarm ? QStringLiteral("1") : QStringLiteral("0"),
        getTimeStringForCalendarDate(start),
        getDateStringForCalendarDate(start),
        QString::number(minutes),
        alarm ? getTimeStringForCalendarDate(trigger) : QStringLiteral("\"06:28\""),
        alarm ? getDateStringForCalendarDate(trigger) : QStringLiteral("\"00-00-2000\""),
        getRepeatParamsFromRec(entry, true).value(QStringLiteral("param1")).toString(),
    };
    return fields.join(QLatin1Char(','));
}

QString SLTCommDeviceMotorolaCalendarExt::record(const QVariantMap& event) const
{
    return isOlderLayout() ? createOldMotorolaWriteStringForEntry(event) : createWriteStringForEntry(event);
}

void SLTCommDeviceMotorolaCalendarExt::deleteMotorolaCalendarEntry(const QString& slot, const SLTInvocationPtr& stage)
{
    const char* signal = kSLTCommDeviceDeleteMotorolaCalendarEntryFinished;
    if (!isDigits(slot)) {
        refuse(stage, signal, QStringLiteral("delete of slot %1").arg(slot));
        return;
    }
    engine().commandQueue().addCommand(
        command(stage, kReplyStage, signal, QStringLiteral("at+mdbwe=%1,0,0\r").arg(slot)));
}

void SLTCommDeviceMotorolaCalendarExt::writeNewMotorolaCalendarEntryFrom(const QVariantMap& event, const QString& slot,
                                                                         const SLTInvocationPtr& stage)
{
    const char* signal = kSLTCommDeviceWriteMotorolaCalendarEntryFinished;
    QVariantMap unplaced = event;
    unplaced.remove(kSlot);
    if (!isDigits(slot) || !event.value(kEvent).toMap().value(kStartDate).toDateTime().isValid()) {
        refuse(stage, signal, QStringLiteral("new event for slot %1").arg(slot));
        return;
    }
    engine().commandQueue().addCommand(
        command(stage, kReplyStage, signal, QStringLiteral("at+mdbw=") + slot + record(unplaced) + QLatin1Char('\r')));
}

void SLTCommDeviceMotorolaCalendarExt::updateMotorolaCalendarEntryFrom(const QVariantMap& event,
                                                                       const SLTInvocationPtr& stage)
{
    const char* signal = kSLTCommDeviceWriteMotorolaCalendarEntryFinished;
    const QString slot = textOf(event, kSlot);
    if (!isDigits(slot) || !event.value(kEvent).toMap().value(kStartDate).toDateTime().isValid()) {
        refuse(stage, signal, QStringLiteral("event of slot %1").arg(slot));
        return;
    }
    engine().commandQueue().addCommand(
        command(stage, kReplyStage, signal, QStringLiteral("at+mdbw=") + record(event) + QLatin1Char('\r')));
}

// --- Replies ------------------------------------------------------------------

void SLTCommDeviceMotorolaCalendarExt::replyStage(const QString& selector, const QVariantMap& result)
{
    const QString resultKey = key(kSLTCommDeviceCommandQueueCommandResult);
    if (!result.contains(resultKey)) {
        engine().returnResultforCommandRequest(result);
        return;
    }
    const QString reply = result.value(resultKey).toString();
    QVariantMap answer = result;
    if (selector == QLatin1String(kParametersStage)) {
        const std::optional<QVariantMap> parameters = parseMotorolaCalendarParameters(reply);
        if (!parameters) {
            kitLogWith([&] { return QStringLiteral("Motorola calendar: unusable slot count: %1").arg(reply); });
            answer.remove(resultKey);
            answer.insert(key(kSLTCommDeviceCommandQueueCommandError), key(kSLTCommDeviceCommandQueueCommandError));
            engine().returnResultforCommandRequest(answer);
            return;
        }
        answer.insert(resultKey, *parameters);
    } else if (selector == QLatin1String(kEntriesStage)) {
        const QVariantMap events = parseMotorolaCalendarEntries(reply);
        QVariantMap& gathered = session().entries();
        for (auto it = events.cbegin(); it != events.cend(); ++it)
            gathered.insert(it.key(), it.value());
        answer.insert(resultKey, events);
    }
    engine().returnOkResultforCommandRequest(answer);
}
