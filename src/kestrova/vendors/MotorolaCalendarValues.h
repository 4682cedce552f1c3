#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// The values of a Motorola phone's calendar records: dates and their zone
// texts, event types, weekday names, and the repeat rules as codes, the
// weekday mask and the month-weekday value.
namespace kestrova::vendors::motorolacalendar {

// "+hhmm" or "-hhmm": the local zone's offset from GMT at that moment.
QString getLocalTimeZoneOnDate(const QDateTime& date);
QString getLocalTimeZone();
// The date's time ("HH:mm") and date ("MM-dd-yyyy") in its own zone, each in
// double quotes.
QString getTimeStringForCalendarDate(const QDateTime& date);
QString getDateStringForCalendarDate(const QDateTime& date);
// A record's time ("HH:mm" or "HH:mm:ss") and date ("MM-dd-yyyy"), quotes
// allowed, in the zone of a zone text ("0", "+hhmm", "-hhmm"); null
// zone: the local zone on that date. nullopt when unreadable.
// The local zone's offsets by quarter hour of wall time, kept by a caller that
// reads many dates after setting the zone up once (tzset): each lookup
// through QDateTime reads the zone's file again.
using LocalOffsets = QHash<qint64, int>;
std::optional<QDateTime> readDate(const QString& time, const QString& date, const QString& zone = QString(),
                                  LocalOffsets* local = nullptr);

// Event types: the name of a record's code ("public" for any other code) and
// the code of a name (case ignored; 0 for any other name).
QString getEventTypeFromString(int code);
int getIntForEventTypeFromString(const QString& name);

// "sunday" .. "saturday" by index 0 .. 6, whatever the locale.
QString weekdayName(int index);
// The weekday index (sunday 0) of a date.
int weekdayIndex(const QDate& date);

// The weekday mask of days relative to the start's weekday (bit 64 the
// start's own day, 1 the sixth day after); unknown names count nothing.
int encodeParam3ForWeekDays(const QVariantList& days, const QDate& start);
// The month-weekday value of a weekday name and a week of the month 1-5; 0
// when either is not one.
int encodeParam3onWeekDayBaseMonthly(const QString& day, int week);

// The recurrence of an extended record: repeat code, interval, mask or
// month-weekday value, and the start; empty for no repeat.
QVariantMap getRecurrenceDictFromValue(int code, int interval, int value, const QDate& start);
// The recurrence of an older record's repeat code.
QVariantMap getRecurrenceDictForParam(int code, const QDate& start);
// "param1" (repeat code), "param2" (interval), "param3" (mask or
// month-weekday value) of an event's "recurrence" for either layout.
QVariantMap getRepeatParamsFromRec(const QVariantMap& event, bool olderLayout);

} // namespace kestrova::vendors::motorolacalendar
