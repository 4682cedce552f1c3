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

// The date's wall clock in the machine's zone; a local date as it is (a
// conversion costs a look at the zone rules).
QDateTime localWallClock(const QDateTime& date)
{
    return date.timeSpec() == Qt::LocalTime ? date : date.toLocalTime();
}

bool isTimeOfDay(QTime time, int hour, int minute, int second)
{
    return time.hour() == hour && time.minute() == minute && time.second() == second;
}

// The number of whole days an event from start to end covers, when it covers
// whole days; later forms decide over earlier ones. Days are counted on the
// local wall clock, so a day of 23 or 25 hours (a daylight-saving change)
// counts as one.
std::optional<qint64> allDayCount(const QDateTime& start, const QDateTime& end)
{
    const QDateTime localStart = localWallClock(start);
    const QDateTime localEnd = localWallClock(end);
    const QDate startDay = localStart.date();
    const QDate endDay = localEnd.date();
    const QTime s = localStart.time();
    const QTime e = localEnd.time();
    const qint64 dayDiff = startDay.daysTo(endDay);
    std::optional<qint64> days;
    // An end one minute before the start's time of day, whole days later.
    const QTime minuteLater = e.addSecs(60);
    const QDate minuteLaterDay = minuteLater < e ? endDay.addDays(1) : endDay;
    if (isTimeOfDay(minuteLater, s.hour(), s.minute(), s.second()))
        days = startDay.daysTo(minuteLaterDay);
    if (isTimeOfDay(s, 0, 0, 0) && isTimeOfDay(e, 23, 59, 59))
        days = dayDiff + 1;
    if (isTimeOfDay(s, 23, 59, 0) && isTimeOfDay(e, 23, 59, 0))
        days = dayDiff + 1;
    if (isTimeOfDay(s, 0, 0, 0) && isTimeOfDay(e, 0, 0, 0))
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
            const QDateTime noon(localWallClock(start).date(), QTime(12, 0), QTimeZone::utc());
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
