// The LG event and task records both ways and their code conversions.
#include "CoreTestSupport.h"

#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgTaskRecord.h"

#include "LgCalendar.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <ctime>

using coretest::hex;
using namespace kestrova::lg;

namespace {

// Pins the local zone (Europe/Berlin) for one test.
class CalendarCodecZone {
public:
    CalendarCodecZone() : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    ~CalendarCodecZone()
    {
        if (m_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }

private:
    QByteArray m_old;
};

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

QDateTime utc(int y, int mo, int d)
{
    return QDateTime(QDate(y, mo, d), QTime(0, 0), Qt::UTC);
}

QVariantMap eventEntry(const QVariantMap& event, const QVariantMap& recurrence = {}, const QDateTime& trigger = {})
{
    QVariantMap entry{{QStringLiteral("event"), event}};
    if (!recurrence.isEmpty())
        entry.insert(QStringLiteral("recurrence"), recurrence);
    if (trigger.isValid())
        entry.insert(QStringLiteral("DisplayAlarm"), QVariantMap{{QStringLiteral("triggerdate"), trigger}});
    return entry;
}

QVariantMap timed(const QDateTime& start, const QDateTime& end, const QString& summary = QStringLiteral("Meeting"))
{
    QVariantMap e{{QStringLiteral("start date"), start}, {QStringLiteral("end date"), end}};
    if (!summary.isNull())
        e.insert(QStringLiteral("summary"), summary);
    return e;
}

// The read reply a phone gives for a record written here, at slot 5.
QByteArray calendarReadBack(quint8 service, const QByteArray& record, bool gd900 = false)
{
    const QByteArray command = hex("FF 12 83 00 00 00 00 00 FF 03") + record;
    const QByteArray body = phonesim::LgCalendar(gd900).bodyFromWrite(service, command);
    QByteArray reply = hex("FF FF") + char(service) + hex("93 00 00 00 00 00 FF 13 01") + char(service) + hex("05 00");
    return reply + body + hex("7E");
}

std::optional<QVariantMap> readEvent(const QVariantMap& entry)
{
    return lgExtractCalendarData(calendarReadBack(0x12, lgViewtyCalendarCreateRawDataForDict(entry, 1)));
}

} // namespace

TEST(LgCalendarCodecTest, AllDayEventIsWrittenWithItsLastMinuteAndReadsBackUnchanged)
{
    CalendarCodecZone zone;
    QVariantMap event = timed(utc(2024, 5, 1), utc(2024, 5, 2));
    event.insert(QStringLiteral("all day"), true);
    const QByteArray record = lgViewtyCalendarCreateRawDataForDict(eventEntry(event), 7);
    EXPECT_EQ(record.left(8), hex("07 12 00 00 00 00 FF 00"));
    EXPECT_EQ(record.mid(8, 12), hex("07 E8 05 01 07 E8 05 01 00 00 17 3B"));
    const std::optional<QVariantMap> back = readEvent(eventEntry(event));
    ASSERT_TRUE(back);
    QVariantMap expected = event;
    expected.insert(QStringLiteral("slot"), QStringLiteral("5"));
    EXPECT_EQ(back->value(QStringLiteral("event")).toMap(), expected);
    EXPECT_FALSE(back->contains(QStringLiteral("recurrence")));
    EXPECT_FALSE(back->contains(QStringLiteral("DisplayAlarm")));
}

TEST(LgCalendarCodecTest, RepeatCodesFromRecurrences)
{
    const auto rule = [](const char* frequency, QVariant interval = {}, QVariantList days = {},
                         QVariantList freq = {}) {
        QVariantMap r;
        if (frequency)
            r.insert(QStringLiteral("frequency"), QLatin1String(frequency));
        if (interval.isValid())
            r.insert(QStringLiteral("interval"), interval);
        if (!days.isEmpty())
            r.insert(QStringLiteral("bydaydays"), days);
        if (!freq.isEmpty())
            r.insert(QStringLiteral("bydayfreq"), freq);
        return r;
    };
    const QVariantList tuesday{QStringLiteral("tuesday")};
    const struct {
        QVariantMap recurrence;
        std::optional<int> code;
        int interval;
    } cases[] = {
        {rule("daily"), 1, 1},
        {rule("weekly", 1), 2, 1},
        {rule("monthly"), 3, 1},
        {rule("yearly"), 4, 1},
        {rule("hourly"), 0, 1},
        {rule("daily", 3), 100, 3},
        {rule("weekly", 2), 101, 2},
        {rule("monthly", 1, tuesday, {2}), 103, 1},
        {rule("monthly", 2, tuesday), 102, 2},
        {rule("yearly", 1, tuesday, {2}), 105, 1},
        {rule("yearly", 4), 104, 4},
        {rule(nullptr), std::nullopt, 0},
        {rule(nullptr, 2), std::nullopt, 0},
        {rule("daily", 0), std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QVariant(c.recurrence).toJsonValue().toVariant().toString().toStdString());
        const std::optional<RepeatParams> params = lgViewtyGetRepeatParamsFromRecurrenceDict(c.recurrence);
        ASSERT_EQ(params.has_value(), c.code.has_value());
        if (params) {
            EXPECT_EQ(params->code, *c.code);
            EXPECT_EQ(params->interval, c.interval);
        }
    }
}

TEST(LgCalendarCodecTest, RecurrencesReadBackWithTheStartsWeekdayAndWeek)
{
    CalendarCodecZone zone;
    // 2024-03-12 is the second Tuesday of March; day 9 of a month is week 2.
    const QDateTime start = local(2024, 3, 12, 10, 0);
    EXPECT_EQ(weekOfMonth(QDate(2024, 3, 9)), 2);
    EXPECT_EQ(weekOfMonth(QDate(2024, 3, 7)), 1);
    EXPECT_EQ(weekOfMonth(QDate(2024, 3, 8)), 2);
    const QVariantList tuesday{QStringLiteral("tuesday")};
    const struct {
        int code;
        QVariantMap expected;
    } cases[] = {
        {2, {{"frequency", "weekly"}, {"interval", 1}, {"bydaydays", tuesday}, {"bydayfreq", QVariantList{0}}}},
        {3, {{"frequency", "monthly"}, {"interval", 1}, {"bymonthday", QVariantList{QStringLiteral("12")}}}},
        {101, {{"frequency", "weekly"}, {"interval", 3}, {"bydayfreq", QVariantList()}}},
        {103, {{"frequency", "monthly"}, {"interval", 3}, {"bydaydays", tuesday}, {"bydayfreq", QVariantList{2}}}},
        {105,
         {{"frequency", "yearly"},
          {"interval", 3},
          {"bydaydays", tuesday},
          {"bydayfreq", QVariantList{2}},
          {"byMonth", QVariantList{3}}}},
        {9, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(getLgViewtyRecurrenceDictFromParam(c.code, 3, start), c.expected);
    }
    // The weekday names stay English whatever the locale.
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(weekdayName(QDate(2024, 3, 12)), QStringLiteral("tuesday"));
    QLocale::setDefault(QLocale::c());
}

TEST(LgCalendarCodecTest, RepeatEndAndIntervalBytes)
{
    CalendarCodecZone zone;
    const QVariantMap event = timed(local(2024, 3, 12, 10, 0), local(2024, 3, 12, 11, 0), QStringLiteral("A"));
    // Summary "A" ends at record offset 26: 2 + 2 terminator bytes, 2 empty.
    const auto tail = [&](const QVariantMap& recurrence) {
        return lgViewtyCalendarCreateRawDataForDict(eventEntry(event, recurrence), 1).mid(28, 12);
    };
    EXPECT_EQ(tail({}), hex("00 00 02 00 03 00 01 00 00 0F FF 0C"));
    const QVariantMap weekly{{QStringLiteral("frequency"), QStringLiteral("weekly")}};
    EXPECT_EQ(tail(weekly), hex("00 00 02 00 03 00 01 00 00 08 33 0C"));
    QVariantMap until = weekly;
    until.insert(QStringLiteral("interval"), 300);
    until.insert(QStringLiteral("until"), local(2024, 6, 30, 23, 59));
    EXPECT_EQ(tail(until), hex("00 00 02 00 03 01 2C 00 01 07 E8 06"));

    const std::optional<QVariantMap> noUntil = readEvent(eventEntry(event, weekly));
    ASSERT_TRUE(noUntil);
    EXPECT_FALSE(noUntil->value(QStringLiteral("recurrence")).toMap().contains(QStringLiteral("until")));
    const std::optional<QVariantMap> withUntil = readEvent(eventEntry(event, until));
    ASSERT_TRUE(withUntil);
    const QVariantMap recurrence = withUntil->value(QStringLiteral("recurrence")).toMap();
    EXPECT_EQ(recurrence.value(QStringLiteral("until")).toDateTime(), QDateTime(QDate(2024, 6, 30), QTime(23, 59, 59)));
    EXPECT_EQ(recurrence.value(QStringLiteral("interval")).toInt(), 300);
    EXPECT_EQ(recurrence.value(QStringLiteral("frequency")).toString(), QStringLiteral("weekly"));
}

TEST(LgCalendarCodecTest, ReminderCodes)
{
    CalendarCodecZone zone;
    const QDateTime start = local(2024, 3, 12, 10, 0);
    const struct {
        qint64 before;
        quint8 code;
        qint64 readBack;
    } cases[] = {
        {0, 1, 0},       {-600, 2, 900},   {600, 2, 900},      {900, 2, 900},       {1200, 3, 1800},
        {3600, 4, 3600}, {7200, 5, 86400}, {86401, 6, 259200}, {259201, 7, 604800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        EXPECT_EQ(lgViewtyGetReminderParamFromDate(start.addSecs(-c.before), start), c.code);
        EXPECT_EQ(getLgViewtyCalendarReminderTriggerDateFromParam(c.code, start), start.addSecs(-c.readBack));
    }
    EXPECT_FALSE(getLgViewtyCalendarReminderTriggerDateFromParam(0, start).isValid());
    EXPECT_FALSE(getLgViewtyCalendarReminderTriggerDateFromParam(8, start).isValid());

    const std::optional<QVariantMap> back = readEvent(
        eventEntry(timed(start, start.addSecs(3600)), {}, start.addSecs(-1200)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->value(QStringLiteral("DisplayAlarm")).toMap().value(QStringLiteral("triggerdate")).toDateTime(),
              start.addSecs(-1800));
}

TEST(LgCalendarCodecTest, SummaryAndLocationText)
{
    CalendarCodecZone zone;
    const QDateTime start = local(2024, 3, 12, 10, 0);
    QVariantMap noSummary = timed(start, start, QString());
    const std::optional<QVariantMap> dash = readEvent(eventEntry(noSummary));
    ASSERT_TRUE(dash);
    EXPECT_EQ(dash->value(QStringLiteral("event")).toMap().value(QStringLiteral("summary")), QStringLiteral("-"));

    QVariantMap tilde = timed(start, start.addSecs(1800), QStringLiteral("a~b ÄΩ"));
    tilde.insert(QStringLiteral("location"), QStringLiteral("room~2"));
    const std::optional<QVariantMap> back = readEvent(eventEntry(tilde));
    ASSERT_TRUE(back);
    QVariantMap expected = tilde;
    expected.insert(QStringLiteral("slot"), QStringLiteral("5"));
    EXPECT_EQ(back->value(QStringLiteral("event")).toMap(), expected);
}

TEST(LgCalendarCodecTest, DamagedEventRecordsGiveNoEntry)
{
    CalendarCodecZone zone;
    const QByteArray good = calendarReadBack(
        0x12,
        lgViewtyCalendarCreateRawDataForDict(eventEntry(timed(local(2024, 1, 2, 3, 4), local(2024, 1, 2, 5, 6))), 1));
    ASSERT_TRUE(lgExtractCalendarData(good));
    QByteArray badDate = good;
    badDate[27] = char(13);
    // The summary's units up to the record's end: no room for the flags.
    QByteArray endless = good.left(41) + QByteArray(40, 'x');
    const struct {
        const char* name;
        QByteArray reply;
    } cases[] = {
        {"31 bytes", good.left(31)},     {"ends before the summary", good.left(41)},
        {"summary to the end", endless}, {"flags cut", good.left(good.indexOf(QByteArray(2, '\0'), 41) + 10)},
        {"no start date", badDate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(lgExtractCalendarData(c.reply, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(LgCalendarCodecTest, TaskRecordsBothWays)
{
    CalendarCodecZone zone;
    const auto task = [](const QVariantMap& fields) { return QVariantMap{{QStringLiteral("task"), fields}}; };
    const QVariantMap full{{"summary", "Buy milk"},
                           {"due date", local(2024, 5, 3)},
                           {"due date is date only", true},
                           {"priority", 1},
                           {"status", "completed"}};
    const QByteArray record = lgViewtyTaskCreateRawDataForDict(task(full), 4);
    EXPECT_EQ(record.left(11), hex("04 13 00 00 00 00 FF 00 00 00 00"));
    EXPECT_EQ(record.right(12), hex("00 07 E8 05 03 00 01 01 00 00 00 00"));
    for (const bool gd900 : {false, true}) {
        SCOPED_TRACE(gd900);
        const std::optional<QVariantMap> back = lgExtractTaskData(calendarReadBack(0x13, record, gd900), gd900);
        ASSERT_TRUE(back);
        QVariantMap expected = full;
        expected.insert(QStringLiteral("slot"), QStringLiteral("5"));
        EXPECT_EQ(*back, expected);
    }

    const struct {
        QVariant priority;
        char code;
        int readBack;
    } priorities[] = {{9, 3, 9}, {QVariant(), 3, 9}, {1, 1, 1}, {5, 2, 5}, {7, 3, 9}};
    for (const auto& p : priorities) {
        SCOPED_TRACE(p.priority.toString().toStdString());
        QVariantMap fields{{"summary", "x"}};
        if (p.priority.isValid())
            fields.insert(QStringLiteral("priority"), p.priority);
        const QByteArray r = lgViewtyTaskCreateRawDataForDict(task(fields), 1);
        EXPECT_EQ(r.mid(13, 6), hex("00 00 00 00 00 00"));
        EXPECT_EQ(r[19], p.code);
        const std::optional<QVariantMap> back = lgExtractTaskData(calendarReadBack(0x13, r), false);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->value(QStringLiteral("priority")).toInt(), p.readBack);
        EXPECT_EQ(back->value(QStringLiteral("status")), QStringLiteral("processing"));
        EXPECT_FALSE(back->contains(QStringLiteral("due date")));
    }
}

TEST(LgCalendarCodecTest, TaskSummaryLengthIsChecked)
{
    const QByteArray empty = calendarReadBack(0x13, lgViewtyTaskCreateRawDataForDict({{"task", QVariantMap()}}, 1));
    ASSERT_EQ(quint8(empty[20]), 17);
    const std::optional<QVariantMap> noSummary = lgExtractTaskData(empty, false);
    ASSERT_TRUE(noSummary);
    EXPECT_FALSE(noSummary->contains(QStringLiteral("summary")));
    QByteArray small = empty;
    small[20] = char(16);
    QByteArray large = empty;
    large[19] = char(0x7F);
    for (const QByteArray& bad : {small, large, empty.left(31)}) {
        QString error;
        EXPECT_FALSE(lgExtractTaskData(bad, false, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}
