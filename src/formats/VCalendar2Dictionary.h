#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// A light reading of vCalendar text into one flat dictionary, property name
// to value text ("TYPE" is the last block begun inside VCALENDAR: "VEVENT" or
// "VTODO"), and the display facts read from such a dictionary.
class VCalendar2Dictionary {
public:
    // Empty when the text has no BEGIN:VCALENDAR. Values of a property met
    // more than once are joined with ", "; a value with "DATE" among its
    // parameters gets "T000000Z". Values are ISO Latin 1 when a parameter or
    // (without a CHARSET parameter) the default character set says "LATIN1",
    // else UTF-8; a value that does not decode is left out.
    static QVariantMap dictionaryForVCalendar(const QByteArray& text, const QString& defaultCharset);
};

// Display accessors on a flat dictionary.
QString getSummary(const QVariantMap& dict);
bool isEvent(const QVariantMap& dict);
bool isToDo(const QVariantMap& dict);
bool isMemo(const QVariantMap& dict);          // "CATEGORIES" holds "MEMO"
QVariant getDescription(const QVariantMap& dict);
QVariant getLocation(const QVariantMap& dict);
QVariant getURL(const QVariantMap& dict);
QVariant getPriority(const QVariantMap& dict);
QVariant getRawDueDate(const QVariantMap& dict);
QVariant getRawStartDate(const QVariantMap& dict);
// "ATTENDEE": a text as it is, a list as its entries each after a tab; null
// otherwise.
QString getAttendeesString(const QVariantMap& dict);
// Dates as display texts in the locale's names: "ddd. dd. MMM yyyy, HH:mm",
// or without the time for an all-day item (start 000000, end 235959); the
// short forms "dd.MM.yy, HH:mm" and "dd.MM.yy". Empty for a missing or
// unreadable date and for one in 2065 (no date).
QString getStartDate(const QVariantMap& dict);
QString getEndDate(const QVariantMap& dict);
QString getShortStartDate(const QVariantMap& dict);
QString getShortEndDate(const QVariantMap& dict);
QString getStartDateDay(const QVariantMap& dict);   // "yyyyMMdd" (all day: the long form)
QString getDueDate(const QVariantMap& dict);
QString getShortDueDate(const QVariantMap& dict);
QString getDueDateDay(const QVariantMap& dict);     // "yyyyMMdd", empty when there is none
QString getStartYear(const QVariantMap& dict);
// The first AALARM...: "SOUND" when its value has ";z:", else "--"; empty
// when there is none.
QString getAlarmInfo(const QVariantMap& dict);
// "Weekly", "Several days", "Daily", "Monthly", "Yearly" or "YES" for a rule;
// without one "Birthday" for a start in 2065, else "--".
QString getRepeatingInfo(const QVariantMap& dict);
