#include "formats/VCalendarDictionary.h"

#include "formats/RecurrenceAlarmValues.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace {

const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");
const QString kDueDate = QStringLiteral("due date");
const QString kAllDay = QStringLiteral("all day");

QString timeOfDay(const QDateTime& date)
{
    return date.toLocalTime().toString(QStringLiteral("HHmmss"));
}

// The number of whole days an event from start to end covers, when it covers
// whole days; later forms decide over earlier ones. Days written as wall-clock
// times are counted as local calendar days, so a day of 23 or 25 hours (a
// daylight-saving change) counts as one.
std::optional<qint64> allDayCount(const QDateTime& start, const QDateTime& end)
{
    const qint64 d = start.secsTo(end);
    const qint64 dayDiff = start.toLocalTime().date().daysTo(end.toLocalTime().date());
    const QString s = timeOfDay(start);
    const QString e = timeOfDay(end);
    std::optional<qint64> days;
    // An end one minute before the start's time of day, whole days later.
    const QDateTime endPlusMinute = end.addSecs(60).toLocalTime();
    if (d + 60 > 0 && endPlusMinute.time() == start.toLocalTime().time())
        days = start.toLocalTime().date().daysTo(endPlusMinute.date());
    if (s == QLatin1String("000000") && e == QLatin1String("235959"))
        days = dayDiff + 1;
    if (s == QLatin1String("235900") && e == QLatin1String("235900"))
        days = dayDiff + 1;
    if (s == QLatin1String("000000") && e == QLatin1String("000000"))
        days = dayDiff == 0 ? 1 : dayDiff;
    // An end before the start, or on the start, covers no day.
    if (days && *days < 1)
        days.reset();
    return days;
}

} // namespace

void VCalendarDictionary::finishVXItem()
{
    QVariantMap& item = map();
    const QDateTime start = item.value(kStartDate).toDateTime();
    const QDateTime end = item.value(kEndDate).toDateTime();
    if (start.isValid() && end.isValid()) {
        if (const auto days = allDayCount(start, end)) {
            const QDateTime noon(start.toLocalTime().date(), QTime(12, 0), QTimeZone::utc());
            item.insert(kAllDay, true);
            item.insert(kStartDate, noon);
            item.insert(kEndDate, noon.addDays(*days));
        }
    }
    for (const char* list : {calendarkey::kAudioAlarms, calendarkey::kDisplayAlarms, calendarkey::kRecurrences})
        fixRelations(QString::fromLatin1(list));
}

void VCalendarDictionary::complementDueDate()
{
    QVariantMap& item = map();
    if (item.contains(kDueDate))
        return;
    QVariantList alarms = item.value(QString::fromLatin1(calendarkey::kDisplayAlarms)).toList();
    if (alarms.isEmpty())
        alarms = item.value(QString::fromLatin1(calendarkey::kAudioAlarms)).toList();
    if (alarms.isEmpty())
        return;
    const QVariant trigger = alarms.first().toMap().value(QString::fromLatin1(calendarkey::kTriggerDate));
    if (trigger.isValid())
        item.insert(kDueDate, trigger);
}
