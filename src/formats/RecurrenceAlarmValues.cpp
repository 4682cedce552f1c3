#include "formats/RecurrenceAlarmValues.h"

#include "formats/FormatsLog.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "platform/Values.h"

#include <QStringList>
#include <QVariantList>

#include <algorithm>
#include <climits>

using namespace calendarkey;

namespace {

constexpr qsizetype kLocalDateLength = 15;    // YYYYMMDDTHHMMSS
constexpr qint64 kDurationPartLimit = qint64(1) << 40;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

int intValue(const QString& text)
{
    return platform::values::stringInt(text);
}

bool isNumberToken(const QString& token)
{
    return !token.isEmpty() && isCleanNumber(token, true);
}

// The end date of a 1.0 rule: 15 characters are local time, more are read
// by their first 15 as UTC; anything else is no date.
QDateTime ruleEndDate(const QString& token)
{
    if (token.size() < kLocalDateLength || token.at(8) != u'T')
        return {};
    const QString wallClock = token.left(kLocalDateLength);
    if (!isTimeString(wallClock))
        return {};
    return getNSCalendarDateFromT_Time(token.size() == kLocalDateLength ? wallClock : wallClock + u'Z');
}

// "#n" with n other than 0 sets the count, a date the end; anything else
// sets nothing.
void readRuleEnd(QVariantMap& record, const QString& token)
{
    if (token.startsWith(u'#')) {
        const int count = intValue(token.mid(1));
        if (count != 0)
            record.insert(key(kCount), count);
        return;
    }
    const QDateTime until = ruleEndDate(token);
    if (until.isValid())
        record.insert(key(kUntil), until);
}

QVariantMap dailyWeeklyYearlyRule(const QStringList& tokens)
{
    QVariantMap record;
    const QString first = tokens.value(0);
    QChar kind;
    const QChar letter = first.isEmpty() ? QChar() : first.at(0);
    if (letter == u'D' || letter == u'W') {
        record.insert(key(kFrequency), letter == u'D' ? QStringLiteral("daily") : QStringLiteral("weekly"));
        record.insert(key(kInterval), intValue(first.mid(1)));
        kind = letter;
    } else if (letter == u'Y') {
        record.insert(key(kFrequency), QStringLiteral("yearly"));
        const QChar second = first.size() > 1 ? first.at(1) : QChar();
        if (second == u'D' || second == u'M') {
            kind = second;
            record.insert(key(kInterval), intValue(first.mid(2)));
        } else {
            record.insert(key(kInterval), intValue(first.mid(1)));
        }
    }
    if (tokens.size() <= 1) {
        record.insert(key(kCount), 2);
        return record;
    }
    readRuleEnd(record, tokens.last());

    QVariantList days;
    QVariantList numbers;
    bool dayFrequencySet = false;
    for (qsizetype i = 1; i < tokens.size() - 1; ++i) {
        const QString& token = tokens[i];
        if (isNumberToken(token)) {
            numbers.append(intValue(token));
        } else {
            const QString day = weekdayNameForCode(token);
            if (!day.isNull())
                days.append(day);
        }
        if (!days.isEmpty()) {
            record.insert(key(kByDayDays), days);
            if (!dayFrequencySet) {
                record.insert(key(kByDayFreq), QVariantList(days.size(), 0));
                dayFrequencySet = true;
            }
        } else if (!numbers.isEmpty()) {
            if (kind == u'D')
                record.insert(key(kByYearDay), numbers);
            else if (kind == u'M')
                record.insert(key(kByMonth), numbers);
        }
    }
    return record;
}

QVariantMap monthlyRule(const QStringList& tokens)
{
    QVariantMap record{{key(kFrequency), QStringLiteral("monthly")}};
    const QString first = tokens.value(0);
    if (first.size() < 3)
        return record;
    const bool byPosition = first.at(1) == u'P';
    record.insert(key(kInterval), intValue(first.mid(2)));

    const QString last = tokens.last();
    const bool hasEnd = tokens.size() > 1 && (last.startsWith(u'#') || isTimeString(last));
    const qsizetype modifiersEnd = hasEnd ? tokens.size() - 1 : tokens.size();
    QVariantList positions;
    QVariantList days;
    for (qsizetype i = 1; i < modifiersEnd; ++i) {
        const QString& token = tokens[i];
        if (isNumberToken(token)) {
            // "2-" counts from the end; the saturated lowest value stays as it is.
            const qint64 number = intValue(token);
            const qint64 signedNumber = token.endsWith(u'-') ? -number : number;
            positions.append(int(std::clamp<qint64>(signedNumber, INT_MIN, INT_MAX)));
        } else {
            const QString day = weekdayNameForCode(token);
            if (!day.isNull())
                days.append(day);
        }
    }
    if (hasEnd)
        readRuleEnd(record, last);
    else
        record.insert(key(kCount), 2);
    if (!positions.isEmpty())
        record.insert(key(byPosition ? kByDayFreq : kByMonthDay), positions);
    if (!days.isEmpty())
        record.insert(key(kByDayDays), days);
    return record;
}

QVariantList numberList(const QString& text)
{
    QVariantList numbers;
    for (const QString& part : text.split(u','))
        numbers.append(intValue(part));
    return numbers;
}

QVariantMap iCalendarRule(const QString& rule)
{
    QVariantMap record;
    for (const QString& part : rule.split(u';')) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString name = part.left(equals);
        const QString value = part.mid(equals + 1);
        if (name == QLatin1String("FREQ")) {
            record.insert(key(kFrequency), value.toLower());
        } else if (name == QLatin1String("INTERVAL")) {
            record.insert(key(kInterval), intValue(value));
        } else if (name == QLatin1String("COUNT")) {
            record.insert(key(kCount), intValue(value));
        } else if (name == QLatin1String("BYMONTHDAY")) {
            record.insert(key(kByMonthDay), numberList(value));
        } else if (name == QLatin1String("BYDAY")) {
            // "2TU", "-1SU", "MO,WE": the position (0 without one) and the days.
            qsizetype digits = value.startsWith(u'-') || value.startsWith(u'+') ? 1 : 0;
            while (digits < value.size() && value.at(digits).isDigit())
                ++digits;
            if (digits == value.size())
                continue;
            record.insert(key(kByDayFreq), QVariantList{intValue(value.left(digits))});
            QVariantList days;
            for (const QString& code : value.mid(digits).split(u',')) {
                const QString day = weekdayNameForCode(code);
                if (!day.isNull())
                    days.append(day);
            }
            record.insert(key(kByDayDays), days);
        } else if (name == QLatin1String("UNTIL")) {
            // A date, or a date and time (UTC with a trailing "Z").
            const QDateTime until = getNSCalendarDateFromT_Time(value);
            if (until.isValid())
                record.insert(key(kUntil), until);
        } else {
            qCWarning(lcFormats).noquote() << QStringLiteral("##### -------- ##### Unidentified item:%1 in VCalendar:%2")
                                        .arg(name, rule);
        }
    }
    return record;
}

} // namespace

QString weekdayNameForCode(const QString& code)
{
    static const char* const table[][2] = {
        {"MO", "monday"}, {"TU", "tuesday"},  {"WE", "wednesday"}, {"TH", "thursday"},
        {"FR", "friday"}, {"SA", "saturday"}, {"SU", "sunday"},
    };
    for (const auto& entry : table) {
        if (code == QLatin1String(entry[0]))
            return QString::fromLatin1(entry[1]);
    }
    return QString();
}

std::optional<QVariantMap> recurrenceForRule(const QString& rule)
{
    if (rule.size() <= 1)
        return std::nullopt;
    if (rule.contains(QLatin1String("FREQ=")))
        return iCalendarRule(rule);
    const QStringList tokens = rule.split(u' ', Qt::SkipEmptyParts);
    if (rule.startsWith(QLatin1String("MD")) || rule.startsWith(QLatin1String("MP")))
        return monthlyRule(tokens);
    if (rule.startsWith(u'M'))
        return std::nullopt;
    return dailyWeeklyYearlyRule(tokens);
}

void enterRule(QVariantMap& item, const QString& rule)
{
    const auto record = recurrenceForRule(rule);
    if (!record)
        return;
    QVariantList recurrences = item.value(key(kRecurrences)).toList();
    recurrences.append(*record);
    item.insert(key(kRecurrences), recurrences);
}

QVariantMap alarmForValue(const QString& value)
{
    const QStringList parts = value.split(u';');
    const QString runTime = parts.value(0);
    const QDateTime date = isTimeString(runTime) ? getNSCalendarDateFromT_Time(runTime) : QDateTime();
    if (!date.isValid())
        return {};
    const QString snooze = parts.value(1);
    if (snooze.startsWith(u'P') || snooze.startsWith(QLatin1String("-P"))) {
        if (const auto seconds = durationInSeconds(snooze))
            return {{key(kTriggerDuration), *seconds}};
    }
    return {{key(kTriggerDate), date}};
}

void enterAlarm(QVariantMap& item, const QString& alarmKey, const QString& value)
{
    QVariantList alarms = item.value(alarmKey).toList();
    alarms.append(alarmForValue(value));
    item.insert(alarmKey, alarms);
}

namespace {

struct DurationParts {
    qint64 days = 0;
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
};

std::optional<DurationParts> durationParts(const QString& value)
{
    if (value.size() < 3)
        return std::nullopt;
    const bool negative = value.startsWith(QLatin1String("-P"));
    if (!negative && !value.startsWith(u'P'))
        return std::nullopt;
    DurationParts parts;
    qint64 digits = 0;
    for (qsizetype i = negative ? 2 : 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c.isDigit()) {
            digits = std::min(digits * 10 + c.digitValue(), kDurationPartLimit);
            continue;
        }
        switch (c.unicode()) {
        case u'D':
            parts.days = digits;
            break;
        case u'H':
            parts.hours = digits;
            break;
        case u'M':
            parts.minutes = digits;
            break;
        case u'S':
            parts.seconds = digits;
            break;
        default:                                // "T" and unknown letters assign nothing
            break;
        }
        digits = 0;
    }
    if (negative) {
        parts.days = -parts.days;
        parts.hours = -parts.hours;
        parts.minutes = -parts.minutes;
        parts.seconds = -parts.seconds;
    }
    return parts;
}

} // namespace

std::optional<qint64> durationInSeconds(const QString& value)
{
    const auto parts = durationParts(value);
    if (!parts)
        return std::nullopt;
    return parts->days * 86400 + parts->hours * 3600 + parts->minutes * 60 + parts->seconds;
}

QDateTime dateAddingDuration(const QDateTime& date, const QString& value)
{
    const auto parts = durationParts(value);
    if (!parts)
        return date;
    return date.addDays(parts->days).addSecs(parts->hours * 3600 + parts->minutes * 60 + parts->seconds);
}
