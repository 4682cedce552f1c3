#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <optional>

// The value grammars of vCalendar recurrence rules (1.0 "W1 MO TH #10" and
// iCalendar "FREQ=WEEKLY;BYDAY=MO"), alarms (AALARM, DALARM: "run time;snooze
// time;repeat count;content") and durations ("-P1DT2H"), read into records in
// the field names of the desktop's recurrence and alarm entities.

namespace calendarkey {
inline constexpr const char* kRecurrences = "recurrences";
inline constexpr const char* kAudioAlarms = "audio alarms";
inline constexpr const char* kDisplayAlarms = "display alarms";
// Recurrence record.
inline constexpr const char* kFrequency = "frequency";       // "daily", "weekly", "monthly", "yearly"
inline constexpr const char* kInterval = "interval";
inline constexpr const char* kCount = "count";
inline constexpr const char* kUntil = "until";
inline constexpr const char* kByDayDays = "bydaydays";       // "monday" ... "sunday"
inline constexpr const char* kByDayFreq = "bydayfreq";
inline constexpr const char* kByMonthDay = "bymonthday";
inline constexpr const char* kByYearDay = "byyearday";
inline constexpr const char* kByMonth = "bymonth";
// Alarm record.
inline constexpr const char* kTriggerDate = "triggerdate";
inline constexpr const char* kTriggerDuration = "triggerduration";  // seconds, signed
} // namespace calendarkey

// "monday" for "MO" ... "sunday" for "SU"; null for any other code.
QString weekdayNameForCode(const QString& code);

// The recurrence record of a rule; nullopt for a rule that is ignored (one
// character or less, or "M" not followed by "D" or "P").
std::optional<QVariantMap> recurrenceForRule(const QString& rule);
// Appends the rule's record to the item's "recurrences".
void enterRule(QVariantMap& item, const QString& rule);

// The alarm record of an AALARM or DALARM value: "triggerduration" when its
// snooze part is a duration, else "triggerdate"; empty when the run time is
// no date.
QVariantMap alarmForValue(const QString& value);
// Appends the value's record under key ("audio alarms" or "display alarms").
void enterAlarm(QVariantMap& item, const QString& key, const QString& value);

// A duration in seconds; nullopt when the value is no duration (shorter than
// three characters or not beginning "P" or "-P").
std::optional<qint64> durationInSeconds(const QString& value);
// The date plus a duration (days as calendar days); the date unchanged when
// the value is no duration.
QDateTime dateAddingDuration(const QDateTime& date, const QString& value);
