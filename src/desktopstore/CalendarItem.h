#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace desktopstore {

// One event or task as the hub holds it: its entity name under
// ISyncRecordEntityNameKey and the fields "summary", "description",
// "location", "start date", "end date", "all day", "due date", "due date is
// date only", "completion date", "status" and "priority". Dates are UTC; an
// all-day date is midnight UTC of its day.
struct CalendarItem {
    QString uid;
    QVariantMap record;
};

// The event (VEVENT) or task (VTODO) of an iCalendar file. None (with *error)
// for text that does not parse or holds not exactly one of them.
std::optional<CalendarItem> readCalendarItem(const QByteArray& text, QString* error);

// The iCalendar text of an event or task (CR LF, folded at 75 octets). The
// properties and components of previousText that the mapping does not know
// are kept. Empty for a record of another entity.
QByteArray writeCalendarItem(const CalendarItem& item, const QByteArray& previousText = {});

} // namespace desktopstore
