#include "desktopstore/CalendarItem.h"

#include "formats/RecurrenceAlarmValues.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace desktopstore {

namespace {

const QString kSummary = QStringLiteral("summary");
const QString kDescription = QStringLiteral("description");
const QString kLocation = QStringLiteral("location");
const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");
const QString kAllDay = QStringLiteral("all day");
const QString kDueDate = QStringLiteral("due date");
const QString kDueDateIsDateOnly = QStringLiteral("due date is date only");
const QString kCompletionDate = QStringLiteral("completion date");
const QString kStatus = QStringLiteral("status");
const QString kPriority = QStringLiteral("priority");
const QString kExceptionDates = QStringLiteral("exception dates");
const QString kSubject = QStringLiteral("subject");
const QString kContent = QStringLiteral("content");
const QString kAlarmDescription = QStringLiteral("description");
const QString kRepeatCount = QStringLiteral("repeat count");
const QString kRepeatInterval = QStringLiteral("repeat interval");

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

struct Frequency {
    icalrecurrencetype_frequency kind;
    const char* name;
};
const Frequency kFrequencies[] = {
    {ICAL_DAILY_RECURRENCE, "daily"},
    {ICAL_WEEKLY_RECURRENCE, "weekly"},
    {ICAL_MONTHLY_RECURRENCE, "monthly"},
    {ICAL_YEARLY_RECURRENCE, "yearly"},
};
// By icalrecurrencetype_weekday - 1 (Sunday first).
const char* const kWeekdayCodes[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct TextProperty {
    icalproperty_kind kind;
    const QString* key;
};
const TextProperty kTextProperties[] = {
    {ICAL_SUMMARY_PROPERTY, &kSummary},
    {ICAL_DESCRIPTION_PROPERTY, &kDescription},
    {ICAL_LOCATION_PROPERTY, &kLocation},
};

struct DateProperty {
    icalproperty_kind kind;
    const QString* key;
    const QString* dateOnlyKey;   // the field telling a date from a date and time
};
const DateProperty kDateProperties[] = {
    {ICAL_DTSTART_PROPERTY, &kStartDate, &kAllDay},
    {ICAL_DTEND_PROPERTY, &kEndDate, nullptr},
    {ICAL_DUE_PROPERTY, &kDueDate, &kDueDateIsDateOnly},
    {ICAL_COMPLETED_PROPERTY, &kCompletionDate, nullptr},
};

// Properties the mapping writes: a rewrite replaces them and keeps the rest.
const icalproperty_kind kMappedProperties[] = {
    ICAL_UID_PROPERTY,     ICAL_SUMMARY_PROPERTY, ICAL_DESCRIPTION_PROPERTY, ICAL_LOCATION_PROPERTY,
    ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY,   ICAL_DUE_PROPERTY,         ICAL_COMPLETED_PROPERTY,
    ICAL_STATUS_PROPERTY,  ICAL_PRIORITY_PROPERTY, ICAL_DURATION_PROPERTY,    ICAL_RRULE_PROPERTY,
    ICAL_EXDATE_PROPERTY,
};

// The alarm entity of a VALARM, empty for an action the mapping leaves alone.
QString alarmEntity(icalcomponent* alarm)
{
    icalproperty* p = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
    const icalproperty_action action = p ? icalproperty_get_action(p) : ICAL_ACTION_NONE;
    return action == ICAL_ACTION_AUDIO     ? platform::entity::AudioAlarm
        : action == ICAL_ACTION_DISPLAY    ? platform::entity::DisplayAlarm
                                           : QString();
}

QList<icalcomponent*> mappedAlarmsOf(icalcomponent* c)
{
    QList<icalcomponent*> alarms;
    for (icalcomponent* a = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(c, ICAL_VALARM_COMPONENT)) {
        if (!alarmEntity(a).isEmpty())
            alarms.append(a);
    }
    return alarms;
}

QVariantList intList(const short* values, int size)
{
    QVariantList list;
    for (int i = 0; i < size && values[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        list.append(int(values[i]));
    return list;
}

void setIntList(short* values, int size, const QVariantList& list)
{
    int n = 0;
    for (const QVariant& v : list) {
        if (n + 1 >= size)
            break;
        bool ok = false;
        const int value = v.toInt(&ok);
        if (ok && value >= -366 && value <= 366)
            values[n++] = short(value);
    }
    values[n] = ICAL_RECURRENCE_ARRAY_MAX;
}

// The item components of a calendar.
QList<icalcomponent*> itemsOf(icalcomponent* root)
{
    QList<icalcomponent*> items;
    for (icalcomponent_kind kind : {ICAL_VEVENT_COMPONENT, ICAL_VTODO_COMPONENT, ICAL_VJOURNAL_COMPONENT}) {
        for (icalcomponent* c = icalcomponent_get_first_component(root, kind); c;
             c = icalcomponent_get_next_component(root, kind))
            items.append(c);
    }
    return items;
}

Component parse(const QByteArray& text)
{
    if (text.isEmpty() || text.contains('\0'))
        return nullptr;
    Component root(icalparser_parse_string(text.constData()));
    if (root && icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
        return nullptr;
    return root;
}

// The zone of a date property's TZID, when it can be found.
icaltimezone* zoneOf(icalcomponent* root, icalproperty* p)
{
    icalparameter* tzid = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
    if (!tzid)
        return nullptr;
    const char* name = icalparameter_get_tzid(tzid);
    icaltimezone* zone = icalcomponent_get_timezone(root, name);
    return zone ? zone : icaltimezone_get_builtin_timezone(name);
}

// A date or date and time as a UTC QDateTime; a floating time counts as UTC.
QDateTime dateTimeOf(icalcomponent* root, icalproperty* p, struct icaltimetype t)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return {};
    if (t.is_date)
        return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0), QTimeZone::utc());
    icaltimezone* zone = icaltime_is_utc(t) ? nullptr : zoneOf(root, p);
    if (!zone)
        zone = icaltimezone_get_utc_timezone();
    return QDateTime::fromSecsSinceEpoch(qint64(icaltime_as_timet_with_zone(t, zone)), QTimeZone::utc());
}

struct icaltimetype icalTimeOf(const QDateTime& date, bool dateOnly)
{
    if (dateOnly) {
        const QDate day = date.toUTC().date();
        struct icaltimetype t = icaltime_null_date();
        t.year = day.year();
        t.month = day.month();
        t.day = day.day();
        return t;
    }
    return icaltime_from_timet_with_zone(time_t(date.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
}


// The recurrence record of an RRULE; none for a frequency the hub has no
// name for.
std::optional<QVariantMap> recurrenceOf(icalcomponent* root, icalproperty* p)
{
    const struct icalrecurrencetype rule = icalproperty_get_rrule(p);
    QVariantMap r;
    for (const Frequency& f : kFrequencies) {
        if (f.kind == rule.freq)
            r.insert(key(calendarkey::kFrequency), key(f.name));
    }
    if (r.isEmpty())
        return std::nullopt;
    r.insert(platform::ISyncRecordEntityNameKey, platform::entity::Recurrence);
    r.insert(key(calendarkey::kInterval), int(rule.interval));
    if (rule.count > 0)
        r.insert(key(calendarkey::kCount), rule.count);
    const QDateTime until = dateTimeOf(root, nullptr, rule.until);
    if (until.isValid())
        r.insert(key(calendarkey::kUntil), until);
    QVariantList days;
    QVariantList positions;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        const int weekday = int(icalrecurrencetype_day_day_of_week(rule.by_day[i]));
        if (weekday < 1 || weekday > 7)
            continue;
        days.append(weekdayNameForCode(key(kWeekdayCodes[weekday - 1])));
        positions.append(icalrecurrencetype_day_position(rule.by_day[i]));
    }
    if (!days.isEmpty()) {
        r.insert(key(calendarkey::kByDayDays), days);
        if (std::any_of(positions.cbegin(), positions.cend(), [](const QVariant& v) { return v.toInt() != 0; }))
            r.insert(key(calendarkey::kByDayFreq), positions);
    }
    const QVariantList monthDays = intList(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE);
    if (!monthDays.isEmpty())
        r.insert(key(calendarkey::kByMonthDay), monthDays);
    const QVariantList months = intList(rule.by_month, ICAL_BY_MONTH_SIZE);
    if (!months.isEmpty())
        r.insert(key(calendarkey::kByMonth), months);
    return r;
}

icalproperty* ruleProperty(const QVariantMap& r, bool dateOnly)
{
    struct icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    const QString frequency = r.value(key(calendarkey::kFrequency)).toString();
    for (const Frequency& f : kFrequencies) {
        if (frequency == QLatin1String(f.name))
            rule.freq = f.kind;
    }
    if (rule.freq == ICAL_NO_RECURRENCE)
        return nullptr;
    rule.interval = short(std::clamp(r.value(key(calendarkey::kInterval), 1).toInt(), 1, 1000));
    rule.count = std::max(0, r.value(key(calendarkey::kCount)).toInt());
    const QDateTime until = r.value(key(calendarkey::kUntil)).toDateTime();
    if (until.isValid() && rule.count == 0)
        rule.until = icalTimeOf(until, dateOnly);
    const QVariantList days = r.value(key(calendarkey::kByDayDays)).toList();
    const QVariantList positions = r.value(key(calendarkey::kByDayFreq)).toList();
    int n = 0;
    for (int i = 0; i < days.size() && n + 1 < ICAL_BY_DAY_SIZE; ++i) {
        for (int d = 0; d < 7; ++d) {
            if (weekdayNameForCode(key(kWeekdayCodes[d])) != days[i].toString())
                continue;
            const int position = std::clamp(positions.value(i).toInt(), -53, 53);
            rule.by_day[n++] = short((d + 1 + 8 * std::abs(position)) * (position < 0 ? -1 : 1));
        }
    }
    rule.by_day[n] = ICAL_RECURRENCE_ARRAY_MAX;
    setIntList(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE, r.value(key(calendarkey::kByMonthDay)).toList());
    setIntList(rule.by_month, ICAL_BY_MONTH_SIZE, r.value(key(calendarkey::kByMonth)).toList());
    return icalproperty_new_rrule(rule);
}

QVariantMap alarmOf(icalcomponent* root, icalcomponent* a)
{
    QVariantMap r{{platform::ISyncRecordEntityNameKey, alarmEntity(a)}};
    if (icalproperty* p = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY)) {
        const struct icaltriggertype trigger = icalproperty_get_trigger(p);
        if (!icaltime_is_null_time(trigger.time)) {
            const QDateTime when = dateTimeOf(root, p, trigger.time);
            if (when.isValid())
                r.insert(key(calendarkey::kTriggerDate), when);
        } else {
            r.insert(key(calendarkey::kTriggerDuration), qlonglong(icaldurationtype_as_int(trigger.duration)));
        }
    }
    if (icalproperty* p = icalcomponent_get_first_property(a, ICAL_DESCRIPTION_PROPERTY)) {
        const QString text = QString::fromUtf8(icalproperty_get_description(p));
        if (!text.isEmpty())
            r.insert(kAlarmDescription, text);
    }
    if (icalproperty* p = icalcomponent_get_first_property(a, ICAL_REPEAT_PROPERTY))
        r.insert(kRepeatCount, icalproperty_get_repeat(p));
    if (icalproperty* p = icalcomponent_get_first_property(a, ICAL_DURATION_PROPERTY))
        r.insert(kRepeatInterval, qlonglong(icaldurationtype_as_int(icalproperty_get_duration(p))));
    return r;
}

icalcomponent* alarmComponent(const QVariantMap& r)
{
    const bool audio = r.value(platform::ISyncRecordEntityNameKey).toString() == platform::entity::AudioAlarm;
    struct icaltriggertype trigger {};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    const QDateTime when = r.value(key(calendarkey::kTriggerDate)).toDateTime();
    if (when.isValid())
        trigger.time = icalTimeOf(when, false);
    else
        trigger.duration = icaldurationtype_from_int(int(std::clamp(r.value(key(calendarkey::kTriggerDuration)).toLongLong(),
                                                                    qlonglong(INT_MIN / 2), qlonglong(INT_MAX / 2))));
    icalcomponent* a = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(a, icalproperty_new_action(audio ? ICAL_ACTION_AUDIO : ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(a, icalproperty_new_trigger(trigger));
    // A display alarm needs a text.
    const QString text = r.value(kAlarmDescription).toString();
    if (!text.isEmpty() || !audio)
        icalcomponent_add_property(a, icalproperty_new_description(text.isEmpty() ? "Reminder" : text.toUtf8().constData()));
    if (r.contains(kRepeatCount) && r.contains(kRepeatInterval)) {
        icalcomponent_add_property(a, icalproperty_new_repeat(std::max(0, r.value(kRepeatCount).toInt())));
        icalcomponent_add_property(a, icalproperty_new_duration(icaldurationtype_from_int(
            int(std::clamp(r.value(kRepeatInterval).toLongLong(), qlonglong(0), qlonglong(INT_MAX / 2))))));
    }
    return a;
}

// The item of a file: its one component, or a recurring event's master and
// the VEVENTs that move its occurrences.
struct ItemComponents {
    icalcomponent* main = nullptr;
    QList<icalcomponent*> overrides;
};

// A moved occurrence's RECURRENCE-ID as a UTC date (invalid when it has none).
QDateTime recurrenceDateOf(icalcomponent* root, icalcomponent* c)
{
    icalproperty* p = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
    return p ? dateTimeOf(root, p, icalproperty_get_recurrenceid(p)) : QDateTime();
}

std::optional<ItemComponents> componentsOf(icalcomponent* root, QString* why)
{
    const QList<icalcomponent*> items = itemsOf(root);
    if (items.size() == 1)
        return ItemComponents{items.first(), {}};
    const auto refuse = [&] {
        *why = QStringLiteral("%1 events and tasks in one file").arg(items.size());
        return std::nullopt;
    };
    ItemComponents parts;
    QList<QDateTime> dates;
    for (icalcomponent* c : items) {
        const char* uid = icalcomponent_get_uid(c);
        if (icalcomponent_isa(c) != ICAL_VEVENT_COMPONENT || !uid
            || std::strcmp(uid, icalcomponent_get_uid(items.first())) != 0)
            return refuse();
        if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
            if (parts.main)
                return refuse();
            parts.main = c;
            continue;
        }
        const QDateTime date = recurrenceDateOf(root, c);
        if (!date.isValid() || dates.contains(date))
            return refuse();
        dates.append(date);
        parts.overrides.append(c);
    }
    if (!parts.main || !icalcomponent_get_first_property(parts.main, ICAL_RRULE_PROPERTY))
        return refuse();
    return parts;
}

// The entity name and the mapped fields of an event or task.
QVariantMap fieldsOf(icalcomponent* root, icalcomponent* c)
{
    QVariantMap r{{platform::ISyncRecordEntityNameKey,
                   icalcomponent_isa(c) == ICAL_VEVENT_COMPONENT ? platform::entity::Event : platform::entity::Task}};
    for (const TextProperty& tp : kTextProperties) {
        if (icalproperty* p = icalcomponent_get_first_property(c, tp.kind)) {
            const QString value = QString::fromUtf8(icalvalue_get_text(icalproperty_get_value(p)));
            if (!value.isEmpty())
                r.insert(*tp.key, value);
        }
    }
    for (const DateProperty& dp : kDateProperties) {
        icalproperty* p = icalcomponent_get_first_property(c, dp.kind);
        if (!p)
            continue;
        const struct icaltimetype t = icalvalue_get_datetime(icalproperty_get_value(p));
        const QDateTime date = dateTimeOf(root, p, t);
        if (!date.isValid())
            continue;
        r.insert(*dp.key, date);
        if (dp.dateOnlyKey && t.is_date)
            r.insert(*dp.dateOnlyKey, true);
    }
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY)) {
        if (const char* status = icalproperty_get_value_as_string(p))
            r.insert(kStatus, QString::fromUtf8(status).toLower());
    }
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY))
        r.insert(kPriority, qlonglong(icalproperty_get_priority(p)));
    return r;
}

// Replaces the mapped properties of c (of kind) with those of record r; a
// time c gave in a zone stays in that zone.
void writeFields(icalcomponent* root, icalcomponent* c, icalcomponent_kind kind, const QVariantMap& r,
                 const QString& uid)
{
    // By property kind: the zone the file gave it, and the name it used.
    QHash<int, std::pair<icaltimezone*, QByteArray>> zones;
    for (const DateProperty& dp : kDateProperties) {
        icalproperty* p = icalcomponent_get_first_property(c, dp.kind);
        if (icaltimezone* zone = zoneOf(root, p)) {
            zones.insert(dp.kind, {zone, icalparameter_get_tzid(icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))});
        }
    }
    for (const icalproperty_kind mapped : kMappedProperties) {
        // A note maps only its uid, summary and description.
        if (kind == ICAL_VJOURNAL_COMPONENT && mapped != ICAL_UID_PROPERTY && mapped != ICAL_SUMMARY_PROPERTY
            && mapped != ICAL_DESCRIPTION_PROPERTY)
            continue;
        while (icalproperty* p = icalcomponent_get_first_property(c, mapped)) {
            icalcomponent_remove_property(c, p);
            icalproperty_free(p);
        }
    }
    icalcomponent_add_property(c, icalproperty_new_uid(uid.toUtf8().constData()));
    if (!icalcomponent_get_first_property(c, ICAL_DTSTAMP_PROPERTY)) {
        icalcomponent_add_property(
            c, icalproperty_new_dtstamp(icaltime_current_time_with_zone(icaltimezone_get_utc_timezone())));
    }
    for (const TextProperty& tp : kTextProperties) {
        const QString value = r.value(*tp.key).toString();
        if (value.isEmpty())
            continue;
        icalproperty* p = icalproperty_new(tp.kind);
        icalproperty_set_value(p, icalvalue_new_text(value.toUtf8().constData()));
        icalcomponent_add_property(c, p);
    }
    for (const DateProperty& dp : kDateProperties) {
        const QDateTime date = r.value(*dp.key).toDateTime();
        if (!date.isValid() || (dp.kind == ICAL_DUE_PROPERTY && kind != ICAL_VTODO_COMPONENT))
            continue;
        // An all-day event's end is a date too.
        const bool dateOnly = dp.dateOnlyKey ? r.value(*dp.dateOnlyKey).toBool()
                                             : dp.kind == ICAL_DTEND_PROPERTY && r.value(kAllDay).toBool();
        icalproperty* p = icalproperty_new(dp.kind);
        const auto zone = zones.constFind(dp.kind);
        if (!dateOnly && zone != zones.cend()) {
            struct icaltimetype t = icaltime_from_timet_with_zone(time_t(date.toSecsSinceEpoch()), 0, zone->first);
            t.zone = nullptr;   // written as wall-clock time with its TZID
            icalproperty_set_value(p, icalvalue_new_datetime(t));
            icalproperty_add_parameter(p, icalparameter_new_tzid(zone->second.constData()));
        } else {
            icalproperty_set_value(p, dateOnly ? icalvalue_new_date(icalTimeOf(date, true))
                                               : icalvalue_new_datetime(icalTimeOf(date, false)));
        }
        icalcomponent_add_property(c, p);
    }
    const QString status = r.value(kStatus).toString();
    const icalproperty_status s = icalproperty_string_to_status(status.toUpper().toUtf8().constData());
    if (!status.isEmpty() && s != ICAL_STATUS_NONE && s != ICAL_STATUS_X)
        icalcomponent_add_property(c, icalproperty_new_status(s));
    bool isNumber = false;
    const int priority = r.value(kPriority).toInt(&isNumber);
    if (isNumber && priority >= 0 && priority <= 9)
        icalcomponent_add_property(c, icalproperty_new_priority(priority));
}

} // namespace

QString calendarListKeyForEntity(const QString& entityName)
{
    if (entityName == platform::entity::Recurrence)
        return key(calendarkey::kRecurrences);
    if (entityName == platform::entity::AudioAlarm)
        return key(calendarkey::kAudioAlarms);
    if (entityName == platform::entity::DisplayAlarm)
        return key(calendarkey::kDisplayAlarms);
    return {};
}

std::optional<CalendarItem> readCalendarItem(const QByteArray& text, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const Component root = parse(text);
    if (!root)
        return fail(QStringLiteral("no iCalendar text"));
    QString why;
    const std::optional<ItemComponents> parts = componentsOf(root.get(), &why);
    if (!parts)
        return fail(why);
    icalcomponent* c = parts->main;
    CalendarItem item;
    QVariantMap& r = item.record;
    if (const char* uid = icalcomponent_get_uid(c))
        item.uid = QString::fromUtf8(uid);
    if (icalcomponent_isa(c) == ICAL_VJOURNAL_COMPONENT) {
        r.insert(platform::ISyncRecordEntityNameKey, platform::entity::Note);
        for (const auto& [kind, key] :
             {std::pair{ICAL_SUMMARY_PROPERTY, &kSubject}, {ICAL_DESCRIPTION_PROPERTY, &kContent}}) {
            if (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
                const QString value = QString::fromUtf8(icalvalue_get_text(icalproperty_get_value(p)));
                if (!value.isEmpty())
                    r.insert(*key, value);
            }
        }
        return item;
    }
    r = fieldsOf(root.get(), c);
    QVariantList exceptions;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
        const QDateTime date = dateTimeOf(root.get(), p, icalproperty_get_exdate(p));
        if (date.isValid())
            exceptions.append(date);
    }
    // What goes to the phone is the rule without the moved occurrences, and
    // each of them as an event of its own.
    for (icalcomponent* o : parts->overrides) {
        const QDateTime date = recurrenceDateOf(root.get(), o);
        item.instances.append({date, fieldsOf(root.get(), o)});
        if (!exceptions.contains(date))
            exceptions.append(date);
    }
    if (!exceptions.isEmpty())
        r.insert(kExceptionDates, exceptions);
    // The hub keeps one rule: the first it can name.
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RRULE_PROPERTY)) {
        if (const std::optional<QVariantMap> rule = recurrenceOf(root.get(), p)) {
            item.subRecords.append(*rule);
            break;
        }
    }
    for (icalcomponent* a : mappedAlarmsOf(c))
        item.subRecords.append(alarmOf(root.get(), a));
    return item;
}

QByteArray writeCalendarItem(const CalendarItem& item, const QByteArray& previousText)
{
    const QString entity = item.record.value(platform::ISyncRecordEntityNameKey).toString();
    const icalcomponent_kind kind = entity == platform::entity::Event ? ICAL_VEVENT_COMPONENT
        : entity == platform::entity::Task                            ? ICAL_VTODO_COMPONENT
        : entity == platform::entity::Note                            ? ICAL_VJOURNAL_COMPONENT
                                                                      : ICAL_NO_COMPONENT;
    // A note's subject and text are written as a summary and description.
    const QVariantMap r = kind != ICAL_VJOURNAL_COMPONENT
        ? item.record
        : QVariantMap{{kSummary, item.record.value(kSubject)}, {kDescription, item.record.value(kContent)}};
    if (kind == ICAL_NO_COMPONENT)
        return {};
    Component root = parse(previousText);
    icalcomponent* c = nullptr;
    QList<icalcomponent*> overrides;
    if (root) {
        QString why;
        const std::optional<ItemComponents> parts = componentsOf(root.get(), &why);
        if (parts && icalcomponent_isa(parts->main) == kind) {
            c = parts->main;
            overrides = parts->overrides;
        }
    }
    if (!c) {
        root.reset(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
        icalcomponent_add_property(root.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(root.get(), icalproperty_new_prodid("-//Marvesto//Marvesto LG//EN"));
        c = icalcomponent_new(kind);
        icalcomponent_add_component(root.get(), c);
    }
    for (icalcomponent* a : mappedAlarmsOf(c)) {
        icalcomponent_remove_component(c, a);
        icalcomponent_free(a);
    }
    writeFields(root.get(), c, kind, r, item.uid);
    const bool allDay = r.value(kAllDay).toBool();
    // The dates of the moved occurrences that stay are no exceptions in the file.
    QHash<qint64, icalcomponent*> moved;
    for (icalcomponent* o : overrides)
        moved.insert(recurrenceDateOf(root.get(), o).toMSecsSinceEpoch(), o);
    QSet<qint64> instanceDates;
    for (const CalendarInstance& instance : item.instances) {
        if (instance.date.isValid())
            instanceDates.insert(instance.date.toMSecsSinceEpoch());
    }
    for (const QVariant& v : r.value(kExceptionDates).toList()) {
        const QDateTime date = v.toDateTime();
        if (!date.isValid() || instanceDates.contains(date.toMSecsSinceEpoch()))
            continue;
        icalproperty* p = icalproperty_new(ICAL_EXDATE_PROPERTY);
        icalproperty_set_value(p, allDay ? icalvalue_new_date(icalTimeOf(date, true))
                                         : icalvalue_new_datetime(icalTimeOf(date, false)));
        icalcomponent_add_property(c, p);
    }
    bool ruleWritten = false;
    for (const QVariantMap& sub : item.subRecords) {
        const QString subEntity = sub.value(platform::ISyncRecordEntityNameKey).toString();
        if (subEntity == platform::entity::Recurrence) {
            // One rule: the hub's first.
            if (ruleWritten)
                continue;
            if (icalproperty* p = ruleProperty(sub, allDay)) {
                icalcomponent_add_property(c, p);
                ruleWritten = true;
            }
        } else if (subEntity == platform::entity::AudioAlarm || subEntity == platform::entity::DisplayAlarm) {
            icalcomponent_add_component(c, alarmComponent(sub));
        }
    }
    if (kind == ICAL_VEVENT_COMPONENT) {
        for (const CalendarInstance& instance : item.instances) {
            if (!instance.date.isValid())
                continue;
            icalcomponent* o = moved.take(instance.date.toMSecsSinceEpoch());
            if (!o) {
                o = icalcomponent_new(ICAL_VEVENT_COMPONENT);
                icalproperty* p = icalproperty_new(ICAL_RECURRENCEID_PROPERTY);
                icalproperty_set_value(p,
                                       allDay ? icalvalue_new_date(icalTimeOf(instance.date, true))
                                              : icalvalue_new_datetime(icalTimeOf(instance.date, false)));
                icalcomponent_add_property(o, p);
                icalcomponent_add_component(root.get(), o);
            }
            writeFields(root.get(), o, ICAL_VEVENT_COMPONENT, instance.record, item.uid);
        }
    }
    // A moved occurrence the item no longer has: its date stays an exception.
    for (icalcomponent* o : std::as_const(moved)) {
        icalcomponent_remove_component(root.get(), o);
        icalcomponent_free(o);
    }
    char* text = icalcomponent_as_ical_string_r(root.get());
    const QByteArray out(text);
    icalmemory_free_buffer(text);
    return out;
}

} // namespace desktopstore
