#include "desktopstore/CalendarItem.h"

#include "platform/SyncChange.h"

#include <QDateTime>
#include <QTimeZone>

#include <libical/ical.h>

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
    ICAL_STATUS_PROPERTY,  ICAL_PRIORITY_PROPERTY, ICAL_DURATION_PROPERTY,
};

// The item components of a calendar.
QList<icalcomponent*> itemsOf(icalcomponent* root)
{
    QList<icalcomponent*> items;
    for (icalcomponent_kind kind : {ICAL_VEVENT_COMPONENT, ICAL_VTODO_COMPONENT}) {
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

// A date or date and time as a UTC QDateTime; a floating time counts as UTC.
QDateTime dateTimeOf(icalcomponent* root, icalproperty* p, struct icaltimetype t)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return {};
    if (t.is_date)
        return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0), QTimeZone::utc());
    icaltimezone* zone = icaltimezone_get_utc_timezone();
    if (!icaltime_is_utc(t)) {
        if (icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER)) {
            const char* name = icalparameter_get_tzid(tzid);
            icaltimezone* found = icalcomponent_get_timezone(root, name);
            if (!found)
                found = icaltimezone_get_builtin_timezone(name);
            if (found)
                zone = found;
        }
    }
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

} // namespace

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
    const QList<icalcomponent*> items = itemsOf(root.get());
    if (items.size() != 1)
        return fail(QStringLiteral("%1 events and tasks in one file").arg(items.size()));
    icalcomponent* c = items.first();
    CalendarItem item;
    QVariantMap& r = item.record;
    r.insert(platform::ISyncRecordEntityNameKey,
             icalcomponent_isa(c) == ICAL_VEVENT_COMPONENT ? platform::entity::Event : platform::entity::Task);
    if (const char* uid = icalcomponent_get_uid(c))
        item.uid = QString::fromUtf8(uid);
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
        const QDateTime date = dateTimeOf(root.get(), p, t);
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
    return item;
}

QByteArray writeCalendarItem(const CalendarItem& item, const QByteArray& previousText)
{
    const QVariantMap& r = item.record;
    const QString entity = r.value(platform::ISyncRecordEntityNameKey).toString();
    const icalcomponent_kind kind = entity == platform::entity::Event ? ICAL_VEVENT_COMPONENT
        : entity == platform::entity::Task                             ? ICAL_VTODO_COMPONENT
                                                                       : ICAL_NO_COMPONENT;
    if (kind == ICAL_NO_COMPONENT)
        return {};
    Component root = parse(previousText);
    icalcomponent* c = nullptr;
    if (root) {
        const QList<icalcomponent*> items = itemsOf(root.get());
        if (items.size() == 1 && icalcomponent_isa(items.first()) == kind)
            c = items.first();
    }
    if (!c) {
        root.reset(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
        icalcomponent_add_property(root.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(root.get(), icalproperty_new_prodid("-//Marvesto//Marvesto LG//EN"));
        c = icalcomponent_new(kind);
        icalcomponent_add_component(root.get(), c);
    }
    for (const icalproperty_kind mapped : kMappedProperties) {
        while (icalproperty* p = icalcomponent_get_first_property(c, mapped)) {
            icalcomponent_remove_property(c, p);
            icalproperty_free(p);
        }
    }
    icalcomponent_add_property(c, icalproperty_new_uid(item.uid.toUtf8().constData()));
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
        icalproperty_set_value(p, dateOnly ? icalvalue_new_date(icalTimeOf(date, true))
                                           : icalvalue_new_datetime(icalTimeOf(date, false)));
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
    char* text = icalcomponent_as_ical_string_r(root.get());
    const QByteArray out(text);
    icalmemory_free_buffer(text);
    return out;
}

} // namespace desktopstore
