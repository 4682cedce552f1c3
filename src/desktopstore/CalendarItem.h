#pragma once

#include <QByteArray>
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
struct CalendarItem {
    QString uid;
    QVariantMap record;
    QList<QVariantMap> subRecords;
};

// The list field of an event or task that holds the ids of sub-records of an
// entity ("recurrences", "audio alarms", "display alarms"); empty for others.
QString calendarListKeyForEntity(const QString& entityName);

// The event (VEVENT), task (VTODO) or note (VJOURNAL) of an iCalendar file. None (with *error)
// for text that does not parse or holds not exactly one of them.
std::optional<CalendarItem> readCalendarItem(const QByteArray& text, QString* error);

// The iCalendar text of an event, task or note (CR LF, folded at 75 octets). The
// properties and components of previousText that the mapping does not know
// are kept, and a time previousText gave in a zone is written in that zone. Empty for a record of another entity.
QByteArray writeCalendarItem(const CalendarItem& item, const QByteArray& previousText = {});

} // namespace desktopstore
