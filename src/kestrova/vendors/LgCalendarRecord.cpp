#include "kestrova/vendors/LgCalendarRecord.h"

#include "kestrova/vendors/LgFrames.h"

#include <QLocale>
#include <QStringList>
#include <QVariantList>

namespace kestrova::lg {

namespace {
// Reply offsets of the event record.
constexpr qsizetype kSlot = 13;
constexpr qsizetype kStart = 25;
constexpr qsizetype kEnd = 29;
constexpr qsizetype kTimes = 33;
constexpr qsizetype kReminder = 38;
constexpr qsizetype kRepeat = 39;
constexpr qsizetype kSummary = 41;
// From the summary's terminating unit T.
constexpr qsizetype kAllDay = 4;
constexpr qsizetype kInterval = 7;
constexpr qsizetype kUntilFlag = 10;
constexpr qsizetype kUntilDate = 11;
constexpr qsizetype kLocation = 16;
constexpr int kFirstUntilYear = 2000;

const QString kEvent = QStringLiteral("event");
const QString kSummaryKey = QStringLiteral("summary");
const QString kLocationKey = QStringLiteral("location");
const QString kStartKey = QStringLiteral("start date");
const QString kEndKey = QStringLiteral("end date");
const QString kAllDayKey = QStringLiteral("all day");
const QString kAlarm = QStringLiteral("DisplayAlarm");
const QString kTrigger = QStringLiteral("triggerdate");
const QString kRecurrence = QStringLiteral("recurrence");
const QString kFrequency = QStringLiteral("frequency");
const QString kIntervalKey = QStringLiteral("interval");
const QString kByDayDays = QStringLiteral("bydaydays");
const QString kByDayFreq = QStringLiteral("bydayfreq");
const QString kByMonthDay = QStringLiteral("bymonthday");
const QString kByMonth = QStringLiteral("byMonth");
const QString kUntil = QStringLiteral("until");

// Seconds before the start by reminder code 1-7.
constexpr int kReminderSeconds[] = {0, 900, 1800, 3600, 86400, 259200, 604800};

int be16(const QByteArray& data, qsizetype offset)
{
    return (quint8(data[offset]) << 8) | quint8(data[offset + 1]);
}

QDate dateAt(const QByteArray& data, qsizetype offset)
{
    return QDate(be16(data, offset), quint8(data[offset + 2]), quint8(data[offset + 3]));
}

void appendDate(QByteArray& out, const QDate& date)
{
    const int year = date.isValid() ? date.year() : 0;
    out.append(char((year >> 8) & 0xFF)).append(char(year & 0xFF));
    out.append(char(date.isValid() ? date.month() : 0)).append(char(date.isValid() ? date.day() : 0));
}

bool nonEmptyList(const QVariantMap& map, const QString& key)
{
    return !map.value(key).toList().isEmpty();
}
} // namespace

QString readUtf16Until0(const QByteArray& data, qsizetype offset, qsizetype* end)
{
    QString text;
    qsizetype pos = offset;
    while (pos + 1 < data.size()) {
        const char16_t unit = char16_t(quint8(data[pos]) | (quint8(data[pos + 1]) << 8));
        if (unit == 0)
            break;
        text.append(QChar(unit));
        pos += 2;
    }
    if (pos + 1 >= data.size())
        pos = data.size();
    if (end)
        *end = pos;
    return text;
}

void appendUtf16(QByteArray& out, const QString& text)
{
    for (const QChar c : text)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
}

QString weekdayName(const QDate& date)
{
    return QLocale::c().dayName(date.dayOfWeek(), QLocale::LongFormat).toLower();
}

int weekOfMonth(const QDate& date)
{
    return (date.day() + 6) / 7;
}

std::optional<RepeatParams> lgViewtyGetRepeatParamsFromRecurrenceDict(const QVariantMap& recurrence)
{
    const int interval = recurrence.contains(kIntervalKey) ? recurrence.value(kIntervalKey).toInt() : 1;
    const bool hasFrequency = recurrence.contains(kFrequency);
    const QString frequency = recurrence.value(kFrequency).toString();
    if (recurrence.contains(kByDayDays) || recurrence.contains(kByDayFreq) || interval != 1) {
        if (interval < 1 || !hasFrequency)
            return std::nullopt;
        RepeatParams params{0, interval};
        if (frequency == QLatin1String("daily"))
            params.code = 100;
        else if (frequency == QLatin1String("weekly"))
            params.code = 101;
        else if (frequency == QLatin1String("monthly"))
            params.code = 102;
        else if (frequency == QLatin1String("yearly"))
            params.code = 104;
        if ((params.code == 102 || params.code == 104) && nonEmptyList(recurrence, kByDayFreq)
            && nonEmptyList(recurrence, kByDayDays))
            params.code += 1;
        return params;
    }
    if (!hasFrequency)
        return std::nullopt;
    static const QStringList kSimple = {QStringLiteral("daily"), QStringLiteral("weekly"), QStringLiteral("monthly"),
                                        QStringLiteral("yearly")};
    return RepeatParams{int(kSimple.indexOf(frequency) + 1), 1};
}

QVariantMap getLgViewtyRecurrenceDictFromParam(int code, int interval, const QDateTime& start)
{
    const QDate day = start.date();
    const QVariantList weekday{weekdayName(day)};
    const QVariantList monthDay{QString::number(day.day())};
    const QVariantList week{weekOfMonth(day)};
    const auto rule = [](const char* frequency, int n) {
        return QVariantMap{{kFrequency, QLatin1String(frequency)}, {kIntervalKey, n}};
    };
    QVariantMap r;
    switch (code) {
    case 1:
        return rule("daily", 1);
    case 2:
        r = rule("weekly", 1);
        r.insert(kByDayDays, weekday);
        r.insert(kByDayFreq, QVariantList{0});
        return r;
    case 3:
        r = rule("monthly", 1);
        r.insert(kByMonthDay, monthDay);
        return r;
    case 4:
        return rule("yearly", 1);
    case 100:
        return rule("daily", interval);
    case 101:
        r = rule("weekly", interval);
        r.insert(kByDayFreq, QVariantList());
        return r;
    case 102:
        r = rule("monthly", interval);
        r.insert(kByMonthDay, monthDay);
        return r;
    case 103:
        r = rule("monthly", interval);
        r.insert(kByDayDays, weekday);
        r.insert(kByDayFreq, week);
        return r;
    case 104:
        return rule("yearly", interval);
    case 105:
        r = rule("yearly", interval);
        r.insert(kByDayDays, weekday);
        r.insert(kByDayFreq, week);
        r.insert(kByMonth, QVariantList{day.month()});
        return r;
    default:
        return {};
    }
}

QDateTime getLgViewtyCalendarReminderTriggerDateFromParam(int code, const QDateTime& start)
{
    if (code < 1 || code > 7)
        return {};
    return start.addSecs(-kReminderSeconds[code - 1]);
}

quint8 lgViewtyGetReminderParamFromDate(const QDateTime& trigger, const QDateTime& start)
{
    const qint64 d = trigger.secsTo(start);
    if (d == 0)
        return 1;
    for (quint8 code = 2; code <= 6; ++code)
        if (d <= kReminderSeconds[code - 1])
            return code;
    return 7;
}

std::optional<QVariantMap> lgExtractCalendarData(const QByteArray& reply, QString* error)
{
    const auto fail = [error](const QString& why) -> std::optional<QVariantMap> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (reply.size() < kMinCalendarRecord)
        return fail(QStringLiteral("record of %1 bytes").arg(reply.size()));
    if (reply.size() <= kSummary)
        return fail(QStringLiteral("record of %1 bytes ends before its summary").arg(reply.size()));
    qsizetype t = 0;
    const QString summary = readUtf16Until0(reply, kSummary, &t);
    if (t + kUntilDate + 3 >= reply.size())
        return fail(QStringLiteral("record of %1 bytes ends after its summary").arg(reply.size()));
    const QString location = readUtf16Until0(reply, t + kLocation);

    const bool allDay = quint8(reply[t + kAllDay]) == 1;
    const QDate startDay = dateAt(reply, kStart);
    const QDate endDay = dateAt(reply, kEnd);
    if (!startDay.isValid())
        return fail(
            QStringLiteral("start date %1 is no date").arg(QString::fromLatin1(reply.mid(kStart, 4).toHex(' '))));
    QDateTime start;
    QDateTime end;
    if (allDay) {
        start = QDateTime(startDay, QTime(0, 0), Qt::UTC);
        end = QDateTime((endDay.isValid() ? endDay : startDay).addDays(1), QTime(0, 0), Qt::UTC);
    } else {
        start = QDateTime(startDay, QTime(quint8(reply[kTimes]), quint8(reply[kTimes + 1])));
        end = endDay.isValid() ? QDateTime(endDay, QTime(quint8(reply[kTimes + 2]), quint8(reply[kTimes + 3]))) : start;
        if (!start.isValid())
            start = QDateTime(startDay, QTime(0, 0));
        if (!end.isValid())
            end = start;
    }

    QVariantMap event{
        {kStartKey, start}, {kEndKey, end}, {QStringLiteral("slot"), QString::asprintf("%i", readLe16(reply, kSlot))}};
    if (!summary.isEmpty())
        event.insert(kSummaryKey, summary);
    if (!location.isEmpty())
        event.insert(kLocationKey, location);
    if (allDay)
        event.insert(kAllDayKey, true);
    QVariantMap out{{kEvent, event}};

    const QDateTime trigger = getLgViewtyCalendarReminderTriggerDateFromParam(quint8(reply[kReminder]), start);
    if (trigger.isValid())
        out.insert(kAlarm, QVariantMap{{kTrigger, trigger}});
    QVariantMap recurrence = getLgViewtyRecurrenceDictFromParam(quint8(reply[kRepeat]), be16(reply, t + kInterval),
                                                                start);
    if (!recurrence.isEmpty()) {
        const QDate untilDay = dateAt(reply, t + kUntilDate);
        if (quint8(reply[t + kUntilFlag]) != 0 && untilDay.isValid() && untilDay.year() >= kFirstUntilYear)
            recurrence.insert(kUntil, QDateTime(untilDay, QTime(23, 59, 59)));
        out.insert(kRecurrence, recurrence);
    }
    return out;
}

QByteArray lgViewtyCalendarCreateRawDataForDict(const QVariantMap& entry, quint8 counter2)
{
    const QVariantMap event = entry.value(kEvent).toMap();
    const bool allDay = event.value(kAllDayKey).toBool();
    const QDateTime start = event.value(kStartKey).toDateTime();
    QDateTime end = event.contains(kEndKey) ? event.value(kEndKey).toDateTime() : start;
    if (allDay)
        end = end.addSecs(-60);

    QByteArray out;
    out.append(char(counter2)).append(char(0x12)).append(4, '\0').append(char(0xFF)).append('\0');
    appendDate(out, start.date());
    appendDate(out, end.date());
    out.append(char(start.time().hour())).append(char(start.time().minute()));
    out.append(char(end.time().hour())).append(char(end.time().minute()));
    out.append('\0');
    const QDateTime trigger = entry.value(kAlarm).toMap().value(kTrigger).toDateTime();
    out.append(char(trigger.isValid() && start.isValid() ? lgViewtyGetReminderParamFromDate(trigger, start) : 0));
    const QVariantMap recurrence = entry.value(kRecurrence).toMap();
    const std::optional<RepeatParams> repeat = recurrence.isEmpty()
        ? std::nullopt
        : lgViewtyGetRepeatParamsFromRecurrenceDict(recurrence);
    out.append(char(repeat ? repeat->code : 0)).append('\0');
    const QString summary = event.value(kSummaryKey).toString();
    appendUtf16(out, summary.isEmpty() ? QStringLiteral("-") : summary);
    out.append(4, '\0');
    out.append(char(allDay ? 1 : 2)).append('\0');
    const int interval = repeat ? repeat->interval : 1;
    if (interval == 0)
        out.append('\0').append('\0').append(char(1));
    else
        out.append(char(3)).append(char((interval >> 8) & 0xFF)).append(char(interval & 0xFF));
    out.append('\0');
    if (!repeat) {
        out.append(QByteArray::fromHex("000FFF0C1F"));
    } else {
        const QDateTime until = recurrence.value(kUntil).toDateTime();
        out.append(char(until.isValid() ? 1 : 0));
        appendDate(out, until.isValid() ? until.date() : QDate(2099, 12, 31));
    }
    out.append('\0');
    appendUtf16(out, event.value(kLocationKey).toString());
    out.append('\0').append(4, '\0');
    return out;
}

} // namespace kestrova::lg
