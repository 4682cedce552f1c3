#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariantMap>
#include <optional>

// The event record of the LG calendar, both ways, and its reminder and repeat
// codes. An event dictionary has "event" ("summary", "location", "start
// date", "end date", "all day" = true for all-day events, "slot" as read),
// "DisplayAlarm" ({"triggerdate"}) and "recurrence" ("frequency",
// "interval", "bydaydays", "bydayfreq", "bymonthday", "byMonth", "until").
// Dates read are local, all-day dates UTC. Pure functions over untrusted
// bytes.
namespace kestrova::lg {

// Replies shorter than this hold no event.
inline constexpr qsizetype kMinCalendarRecord = 32;

// The summary or location of a record: UTF-16LE units from offset up to a
// 0x0000 unit or the end of the data; *end gets the offset of that unit.
QString readUtf16Until0(const QByteArray& data, qsizetype offset, qsizetype* end = nullptr);
void appendUtf16(QByteArray& out, const QString& text);

// The repeat code and interval of a recurrence dictionary; nothing when it
// gives none.
struct RepeatParams {
    int code = 0;
    int interval = 1;
};
std::optional<RepeatParams> lgViewtyGetRepeatParamsFromRecurrenceDict(const QVariantMap& recurrence);
// The recurrence dictionary of a repeat code (empty for an unknown code).
QVariantMap getLgViewtyRecurrenceDictFromParam(int code, int interval, const QDateTime& start);
// The reminder of a code: the trigger date; invalid for no reminder.
QDateTime getLgViewtyCalendarReminderTriggerDateFromParam(int code, const QDateTime& start);
quint8 lgViewtyGetReminderParamFromDate(const QDateTime& trigger, const QDateTime& start);

// The weekday name ("tuesday") and week of month (1 for days 1-7, ...).
QString weekdayName(const QDate& date);
int weekOfMonth(const QDate& date);

// Decodes one unescaped read reply (slot at 13-14, dates from 25, summary
// from 41). Nothing, with a reason in *error, when the reply is shorter than
// 32 bytes or an offset lies past its end.
std::optional<QVariantMap> lgExtractCalendarData(const QByteArray& reply, QString* error = nullptr);

// The event record as written: the 8-byte prefix (counter2, 0x12, 00 00 00
// 00 FF 00), dates, codes, summary, flags, repeat end, location.
QByteArray lgViewtyCalendarCreateRawDataForDict(const QVariantMap& event, quint8 counter2);

} // namespace kestrova::lg
