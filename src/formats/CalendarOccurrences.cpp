#include "formats/CalendarOccurrences.h"

#include "formats/RecurrenceAlarmValues.h"
#include "formats/VXDictionary.h"
#include "platform/SyncChange.h"
#include "platform/Values.h"

#include <QTimeZone>

#include <optional>

namespace {

// Above these the last occurrence lies past year 9999.
constexpr qint64 kMaxDaySteps = 3'000'000;
constexpr qint64 kMaxMonthSteps = 100'000;
constexpr qint64 kMaxYearSteps = 8'000;

bool isTask(const VXDictionary& vx)
{
    return vx.mainObjectForKey(platform::ISyncRecordEntityNameKey).toString() == platform::entity::Task;
}

QDateTime dateValue(const QVariant& value)
{
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

// A whole number of a rule field; nullopt when missing or of another kind.
std::optional<qint64> wholeNumber(const QVariant& value)
{
    if (platform::values::isNumber(value))
        return platform::values::toLongLong(value);
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

// The date in the first occurrence's own time representation.
QDateTime inZoneOf(const QDateTime& local, const QDateTime& first)
{
    switch (first.timeSpec()) {
    case Qt::UTC:
        return local.toUTC();
    case Qt::OffsetFromUTC:
        return local.toOffsetFromUtc(first.offsetFromUtc());
    case Qt::TimeZone:
        return local.toTimeZone(first.timeZone());
    case Qt::LocalTime:
        break;
    }
    return local;
}

} // namespace

const QDateTime& distantFutureDate()
{
    static const QDateTime date(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC);
    return date;
}

QDateTime firstOccurenceForVXDict(const VXDictionary& vx)
{
    return dateValue(vx.mainObjectForKey(isTask(vx) ? QStringLiteral("due date") : QStringLiteral("start date")));
}

QDateTime lastOccurenceForVXDict(const VXDictionary& vx)
{
    using namespace calendarkey;
    const QDateTime first = firstOccurenceForVXDict(vx);
    const QDateTime end =
        dateValue(vx.mainObjectForKey(isTask(vx) ? QStringLiteral("due date") : QStringLiteral("end date")));
    const QVariantList rules = vx.mainObjectForKey(QString::fromLatin1(kRecurrences)).toList();
    const QVariant ruleValue = rules.isEmpty() ? QVariant() : vx.otherObjectForKey(rules.first().toString());
    if (ruleValue.typeId() != QMetaType::QVariantMap)
        return end.isValid() ? end : first;

    const QVariantMap rule = ruleValue.toMap();
    const QDateTime until = dateValue(rule.value(QString::fromLatin1(kUntil)));
    if (until.isValid())
        return until;
    const std::optional<qint64> count = wholeNumber(rule.value(QString::fromLatin1(kCount)));
    if (!count || *count <= 0)
        return distantFutureDate();
    if (*count == 1 || !first.isValid())
        return first;
    qint64 interval = wholeNumber(rule.value(QString::fromLatin1(kInterval))).value_or(1);
    if (interval < 1)
        interval = 1;
    const qint64 periods = *count - 1;
    // Both factors are positive; a product beyond the bounds below is no date.
    const qint64 steps = periods > kMaxDaySteps / interval ? kMaxDaySteps + 1 : periods * interval;

    const QString frequency = rule.value(QString::fromLatin1(kFrequency)).toString();
    const QDateTime local = first.toLocalTime();
    QDateTime last;
    if (frequency == QLatin1String("daily"))
        last = steps > kMaxDaySteps ? QDateTime() : local.addDays(steps);
    else if (frequency == QLatin1String("weekly"))
        last = steps > kMaxDaySteps / 7 ? QDateTime() : local.addDays(steps * 7);
    else if (frequency == QLatin1String("monthly"))
        last = steps > kMaxMonthSteps ? QDateTime() : local.addMonths(int(steps));
    else if (frequency == QLatin1String("yearly"))
        last = steps > kMaxYearSteps ? QDateTime() : local.addYears(int(steps));
    else
        return first;
    if (!last.isValid() || last > distantFutureDate())
        return distantFutureDate();
    return inZoneOf(last, first);
}
