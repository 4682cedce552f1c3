#include "kestrova/vendors/MotorolaCalendarValues.h"

#include "kestrova/core/SLTCommDevice.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iterator>

namespace kestrova::vendors::motorolacalendar {

namespace {

const char* const kWeekdays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
const char* const kEventTypes[] = {
    "public",  "private",       "discussion", "meeting", "birthday", "anniversary", "telephone call", "vacation",
    "holiday", "entertainment", "breakfast",  "lunch",   "dinner",   "education",   "travel",         "party"};

constexpr qint64 kEpochJulianDay = 2440588;

const QString kFrequency = QStringLiteral("frequency");
const QString kInterval = QStringLiteral("interval");
const QString kByDayDays = QStringLiteral("bydaydays");
const QString kByDayFreq = QStringLiteral("bydayfreq");
const QString kByMonthDay = QStringLiteral("bymonthday");
const QString kByMonth = QStringLiteral("byMonth");

int weekdayOf(const QString& name)
{
    for (int i = 0; i < 7; ++i)
        if (name.compare(QLatin1String(kWeekdays[i]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString stripped(const QString& text)
{
    return SLTCommDevice::stripQuotationMarks(text.trimmed());
}

std::optional<int> zoneOffset(const QString& zone)
{
    if (zone == QLatin1String("0"))
        return 0;
    if (zone.size() != 5 || (zone.at(0) != QLatin1Char('+') && zone.at(0) != QLatin1Char('-')))
        return std::nullopt;
    bool ok = false;
    const int digits = zone.mid(1).toInt(&ok);
    if (!ok || digits < 0)
        return std::nullopt;
    const int seconds = (digits / 100) * 3600 + (digits % 100) * 60;
    return zone.at(0) == QLatin1Char('-') ? -seconds : seconds;
}

// The month-weekday value's weekday (the largest base below it) and week.
void addWeekdayOfMonth(int value, QVariantMap& recurrence)
{
    if (value <= 0)
        return;
    const int base = std::min((value - 1) / 8, 6);
    recurrence.insert(kByDayDays, QVariantList{weekdayName(base)});
    recurrence.insert(kByDayFreq, QVariantList{value - base * 8});
}

} // namespace

QString getLocalTimeZoneOnDate(const QDateTime& date)
{
    const int offset = date.toLocalTime().offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("%1%2%3")
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString getLocalTimeZone()
{
    return getLocalTimeZoneOnDate(QDateTime::currentDateTime());
}

QString getTimeStringForCalendarDate(const QDateTime& date)
{
    return QLatin1Char('"') + date.toString(QStringLiteral("HH:mm")) + QLatin1Char('"');
}

QString getDateStringForCalendarDate(const QDateTime& date)
{
    return QLatin1Char('"') + date.toString(QStringLiteral("MM-dd-yyyy")) + QLatin1Char('"');
}

std::optional<QDateTime> readDate(const QString& time, const QString& date, const QString& zone, LocalOffsets* local)
{
    const QString timeText = stripped(time);
    const QString dateText = stripped(date);
    // "HH:mm" or "HH:mm:ss"; "MM-dd-yyyy".
    const auto digits = [](const QString& text, qsizetype at, qsizetype count) {
        int value = 0;
        for (qsizetype i = at; i < at + count; ++i) {
            const QChar c = text.at(i);
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return -1;
            value = value * 10 + (c.unicode() - '0');
        }
        return value;
    };
    const bool withSeconds = timeText.size() == 8 && timeText.at(5) == QLatin1Char(':');
    if ((timeText.size() != 5 && !withSeconds) || timeText.at(2) != QLatin1Char(':') || dateText.size() != 10
        || dateText.at(2) != QLatin1Char('-') || dateText.at(5) != QLatin1Char('-'))
        return std::nullopt;
    const int parts[] = {digits(timeText, 0, 2), digits(timeText, 3, 2), withSeconds ? digits(timeText, 6, 2) : 0,
                         digits(dateText, 6, 4), digits(dateText, 0, 2), digits(dateText, 3, 2)};
    if (std::any_of(std::begin(parts), std::end(parts), [](int part) { return part < 0; }))
        return std::nullopt;
    const QTime t(parts[0], parts[1], parts[2]);
    const QDate d(parts[3], parts[4], parts[5]);
    if (!t.isValid() || !d.isValid())
        return std::nullopt;
    // The wall time as if at GMT, then moved by the zone's offset (made from
    // milliseconds: a QDateTime made from date and time consults the local
    // zone, a file lookup each time).
    const qint64 wall = (d.toJulianDay() - kEpochJulianDay) * 86400000 + t.msecsSinceStartOfDay();
    if (zone.isNull()) {
        const qint64 quarter = wall / (15 * 60 * 1000);
        const auto known = local ? local->constFind(quarter) : LocalOffsets::const_iterator();
        int offset = 0;
        if (local && known != local->cend()) {
            offset = known.value();
        } else if (local) {
            // The caller set the zone up (tzset); localtime_r reads no file.
            // The offset at the instant the wall time names: from a first
            // guess, once more.
            const auto offsetAt = [](qint64 seconds) {
                const time_t at = time_t(seconds);
                struct tm parts { };
                return localtime_r(&at, &parts) ? int(parts.tm_gmtoff) : 0;
            };
            const qint64 wallSeconds = wall / 1000;
            offset = offsetAt(wallSeconds - offsetAt(wallSeconds));
            local->insert(quarter, offset);
        } else {
            offset = QDateTime(d, t, Qt::LocalTime).offsetFromUtc();
        }
        return QDateTime::fromMSecsSinceEpoch(wall - qint64(offset) * 1000, Qt::OffsetFromUTC, offset);
    }
    const std::optional<int> offset = zoneOffset(zone);
    if (!offset)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(wall - qint64(*offset) * 1000, Qt::OffsetFromUTC, *offset);
}

QString getEventTypeFromString(int code)
{
    return code >= 1 && code <= 15 ? QLatin1String(kEventTypes[code]) : QLatin1String(kEventTypes[0]);
}

int getIntForEventTypeFromString(const QString& name)
{
    for (int code = 1; code <= 15; ++code)
        if (name.compare(QLatin1String(kEventTypes[code]), Qt::CaseInsensitive) == 0)
            return code;
    return 0;
}

QString weekdayName(int index)
{
    return index >= 0 && index < 7 ? QLatin1String(kWeekdays[index]) : QString();
}

int weekdayIndex(const QDate& date)
{
    return date.dayOfWeek() % 7;
}

int encodeParam3ForWeekDays(const QVariantList& days, const QDate& start)
{
    if (!start.isValid())
        return 0;
    const int first = weekdayIndex(start);
    int mask = 0;
    for (const QVariant& day : days) {
        const int index = weekdayOf(day.toString());
        if (index >= 0)
            mask |= 64 >> ((index - first + 7) % 7);
    }
    return mask;
}

int encodeParam3onWeekDayBaseMonthly(const QString& day, int week)
{
    const int index = weekdayOf(day);
    if (index < 0 || week < 1 || week > 5)
        return 0;
    return index * 8 + week;
}

QVariantMap getRecurrenceDictFromValue(int code, int interval, int value, const QDate& start)
{
    QVariantMap recurrence;
    if (code < 1 || code > 6)
        return recurrence;
    if (interval > 0)
        recurrence.insert(kInterval, interval);
    switch (code) {
    case 1:
        recurrence.insert(kFrequency, QStringLiteral("daily"));
        break;
    case 2: {
        recurrence.insert(kFrequency, QStringLiteral("weekly"));
        QVariantList days;
        QVariantList weeks;
        const int first = weekdayIndex(start);
        for (int k = 0; k < 7; ++k) {
            if (value & (64 >> k)) {
                days.append(weekdayName((first + k) % 7));
                weeks.append(0);
            }
        }
        recurrence.insert(kByDayDays, days);
        recurrence.insert(kByDayFreq, weeks);
        break;
    }
    case 3:
        recurrence.insert(kFrequency, QStringLiteral("monthly"));
        addWeekdayOfMonth(value, recurrence);
        break;
    case 4:
        recurrence.insert(kFrequency, QStringLiteral("monthly"));
        recurrence.insert(kByMonthDay, QVariantList{QString::number(start.day())});
        break;
    case 5:
        recurrence.insert(kFrequency, QStringLiteral("yearly"));
        addWeekdayOfMonth(value, recurrence);
        recurrence.insert(kByMonth, QVariantList{start.month()});
        recurrence.insert(kInterval, 1);
        break;
    default:
        recurrence.insert(kFrequency, QStringLiteral("yearly"));
        recurrence.insert(kInterval, 1);
        break;
    }
    return recurrence;
}

QVariantMap getRecurrenceDictForParam(int code, const QDate& start)
{
    QVariantMap recurrence;
    if (code < 1 || code > 5)
        return recurrence;
    recurrence.insert(kInterval, 1);
    const QString day = weekdayName(weekdayIndex(start));
    switch (code) {
    case 1:
        recurrence.insert(kFrequency, QStringLiteral("daily"));
        break;
    case 2:
        recurrence.insert(kFrequency, QStringLiteral("weekly"));
        recurrence.insert(kByDayDays, QVariantList{day});
        recurrence.insert(kByDayFreq, QVariantList{0});
        break;
    case 3:
        recurrence.insert(kFrequency, QStringLiteral("monthly"));
        recurrence.insert(kByMonthDay, QVariantList{QString::number(start.day())});
        break;
    case 4:
        recurrence.insert(kFrequency, QStringLiteral("monthly"));
        recurrence.insert(kByDayDays, QVariantList{day});
        recurrence.insert(kByDayFreq, QVariantList{(start.day() + 6) / 7});
        break;
    default:
        recurrence.insert(kFrequency, QStringLiteral("yearly"));
        break;
    }
    return recurrence;
}

QVariantMap getRepeatParamsFromRec(const QVariantMap& event, bool olderLayout)
{
    const QVariantMap recurrence = event.value(QStringLiteral("recurrence")).toMap();
    const QString frequency = recurrence.value(kFrequency).toString();
    const int interval = recurrence.contains(kInterval) ? recurrence.value(kInterval).toInt() : 1;
    const QDateTime start =
        event.value(QStringLiteral("event")).toMap().value(QStringLiteral("start date")).toDateTime();
    const QVariantList days = recurrence.value(kByDayDays).toList();
    const QVariantList weeks = recurrence.value(kByDayFreq).toList();
    const bool weekdayOfMonth = !days.isEmpty() && !weeks.isEmpty();
    const int monthlyValue = weekdayOfMonth
        ? encodeParam3onWeekDayBaseMonthly(days.first().toString(), weeks.first().toInt())
        : 0;
    int code = 0;
    int param2 = 0;
    int param3 = 0;
    if (frequency == QLatin1String("daily")) {
        code = 1;
        param2 = interval;
    } else if (frequency == QLatin1String("weekly")) {
        code = 2;
        param2 = interval;
        if (start.isValid())
            param3 = days.isEmpty() ? 64 : encodeParam3ForWeekDays(days, start.date());
    } else if (frequency == QLatin1String("monthly")) {
        param2 = interval;
        if (recurrence.contains(kByMonthDay)) {
            code = olderLayout ? 3 : 4;
        } else if (weekdayOfMonth) {
            code = olderLayout ? 4 : 3;
            param3 = monthlyValue;
        }
    } else if (frequency == QLatin1String("yearly")) {
        if (olderLayout) {
            code = 5;
        } else if (weekdayOfMonth) {
            code = 5;
            param3 = monthlyValue;
        } else {
            code = 6;
        }
    }
    return {{QStringLiteral("param1"), code}, {QStringLiteral("param2"), param2}, {QStringLiteral("param3"), param3}};
}

} // namespace kestrova::vendors::motorolacalendar
