#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace desktopstore {

// One event or task as the hub holds it: its entity name under
// ISyncRecordEntityNameKey and the fields "summary", "description",
// "location", "start date", "end date", "all day", "due date", "due date is
// date only", "completion date", "status" and "priority". Dates are UTC; an
// all-day date is midnight UTC of its day. "exception dates" lists the dates
// the recurrence skips. subRecords holds the first recurrence rule and the
// audio and display alarms, each with its entity name (Recurrence, AudioAlarm,
// DisplayAlarm) and the fields of RecurrenceAlarmValues.h ("frequency",
// "interval", "count", "until", "bydaydays", "bydayfreq", "bymonthday",
// "bymonth"; "triggerdate" or "triggerduration" in seconds, "description",
// "repeat count", "repeat interval" in seconds).
// A note (VJOURNAL) has the fields "subject" (SUMMARY) and "content"
// (DESCRIPTION).
// One moved or changed occurrence of a recurring event (a VEVENT with the
// master's UID and a RECURRENCE-ID): the date and time it replaces (UTC, as
// "start date") and its own event record (the fields above, no sub-records).
struct CalendarInstance {
    QDateTime date;
    QVariantMap record;
};

struct CalendarItem {
    QString uid;
    QVariantMap record;
    QList<QVariantMap> subRecords;
    // A recurring event's moved occurrences. Read from a file, their dates are
    // among the event's "exception dates" too.
    QList<CalendarInstance> instances;
};

// The list field of an event or task that holds the ids of sub-records of an
// entity ("recurrences", "audio alarms", "display alarms"); empty for others.
QString calendarListKeyForEntity(const QString& entityName);

// The event (VEVENT), task (VTODO) or note (VJOURNAL) of an iCalendar file, or
// a recurring event with its moved occurrences (one master and VEVENTs with
// its UID and a RECURRENCE-ID). None (with *error) for text that does not
// parse or holds anything else.
std::optional<CalendarItem> readCalendarItem(const QByteArray& text, QString* error);

// The iCalendar text of an event, task or note (CR LF, folded at 75 octets). The
// properties and components of previousText that the mapping does not know
// are kept, and a time previousText gave in a zone is written in that zone. Empty for a record of another entity.
// An event's instances are written as VEVENTs with a RECURRENCE-ID (their
// dates are no EXDATE then); an occurrence previousText moved that the item
// no longer has goes, its date staying an exception.
QByteArray writeCalendarItem(const CalendarItem& item, const QByteArray& previousText = {});

} // namespace desktopstore
