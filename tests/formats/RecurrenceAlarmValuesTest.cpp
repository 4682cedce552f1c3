#include "PinnedTimeZone.h"

#include "formats/RecurrenceAlarmValues.h"

#include <QTimeZone>

#include <libical/ical.h>

#include <gtest/gtest.h>

using namespace calendarkey;

namespace {

QVariantList numbers(std::initializer_list<int> values)
{
    QVariantList list;
    for (const int value : values)
        list.append(value);
    return list;
}

QVariantList names(std::initializer_list<const char*> values)
{
    QVariantList list;
    for (const char* value : values)
        list.append(QString::fromLatin1(value));
    return list;
}

QDateTime local(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s), Qt::LocalTime);
}

QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s), QTimeZone::utc());
}

TEST(RecurrenceAlarmValues, Rules)
{
    const PinnedTimeZone berlin;
    struct Case {
        const char* rule;
        QVariantMap expected;
    };
    const QString daily = QStringLiteral("daily"), weekly = QStringLiteral("weekly"),
                  monthly = QStringLiteral("monthly"), yearly = QStringLiteral("yearly");
    const Case cases[] = {
        {"W1 MO TH #10",
         {{kFrequency, weekly}, {kInterval, 1}, {kByDayDays, names({"monday", "thursday"})},
          {kByDayFreq, numbers({0})}, {kCount, 10}}},
        {"D2 #0", {{kFrequency, daily}, {kInterval, 2}}},
        {"D1", {{kFrequency, daily}, {kInterval, 1}, {kCount, 2}}},
        {"W1 MO TU", {{kFrequency, weekly}, {kInterval, 1}, {kByDayDays, names({"monday"})}, {kByDayFreq, numbers({0})}}},
        {"W2 XX #3", {{kFrequency, weekly}, {kInterval, 2}, {kCount, 3}}},
        {"W1 20241231T000000Z", {{kFrequency, weekly}, {kInterval, 1}, {kUntil, utc(2024, 12, 31)}}},
        {"D1 20241231", {{kFrequency, daily}, {kInterval, 1}}},
        {"MP1 1+ MO 2- FR #0",
         {{kFrequency, monthly}, {kInterval, 1}, {kByDayFreq, numbers({1, -2})},
          {kByDayDays, names({"monday", "friday"})}}},
        {"MD1 1 15 20241231T000000",
         {{kFrequency, monthly}, {kInterval, 1}, {kByMonthDay, numbers({1, 15})}, {kUntil, local(2024, 12, 31)}}},
        {"MD2 7", {{kFrequency, monthly}, {kInterval, 2}, {kByMonthDay, numbers({7})}, {kCount, 2}}},
        {"MD", {{kFrequency, monthly}}},
        {"YM1 6 #3", {{kFrequency, yearly}, {kInterval, 1}, {kByMonth, numbers({6})}, {kCount, 3}}},
        {"YD1 100", {{kFrequency, yearly}, {kInterval, 1}}},
        {"YD1 100 200 #0", {{kFrequency, yearly}, {kInterval, 1}, {kByYearDay, numbers({100, 200})}}},
        {"Y1 #2", {{kFrequency, yearly}, {kInterval, 1}, {kCount, 2}}},
        {"FREQ=MONTHLY;BYDAY=2TU", {{kFrequency, monthly}, {kByDayFreq, numbers({2})}, {kByDayDays, names({"tuesday"})}}},
        {"FREQ=WEEKLY;BYDAY=MO,WE;INTERVAL=2",
         {{kFrequency, weekly}, {kInterval, 2}, {kByDayFreq, numbers({0})}, {kByDayDays, names({"monday", "wednesday"})}}},
        {"FREQ=MONTHLY;BYDAY=-1SU", {{kFrequency, monthly}, {kByDayFreq, numbers({-1})}, {kByDayDays, names({"sunday"})}}},
        {"FREQ=MONTHLY;BYMONTHDAY=1,-1;COUNT=4;BYDAY=12",
         {{kFrequency, monthly}, {kByMonthDay, numbers({1, -1})}, {kCount, 4}}},
        {"FREQ=DAILY;UNTIL=20241231T235959Z", {{kFrequency, daily}, {kUntil, utc(2024, 12, 31, 23, 59, 59)}}},
        {"FREQ=DAILY;UNTIL=20241231T235959", {{kFrequency, daily}, {kUntil, local(2024, 12, 31, 23, 59, 59)}}},
        {"FREQ=DAILY;UNTIL=20241231", {{kFrequency, daily}, {kUntil, local(2024, 12, 31)}}},
        {"FREQ=YEARLY;WKST=MO;junk", {{kFrequency, yearly}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto record = recurrenceForRule(QString::fromLatin1(c.rule));
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(*record, c.expected);
    }
    for (const char* ignored : {"", "W", "M1 #2", "MX1"})
        EXPECT_FALSE(recurrenceForRule(QString::fromLatin1(ignored)).has_value()) << ignored;

    QVariantMap item;
    enterRule(item, QStringLiteral("D1"));
    enterRule(item, QStringLiteral("M"));
    enterRule(item, QStringLiteral("W1 #2"));
    EXPECT_EQ(item.value(QString::fromLatin1(kRecurrences)).toList().size(), 2);
}

TEST(RecurrenceAlarmValues, AlarmsAndDurations)
{
    const PinnedTimeZone berlin;
    EXPECT_EQ(alarmForValue(QStringLiteral("20240301T080000;PT15M;;")), (QVariantMap{{kTriggerDuration, 900}}));
    EXPECT_EQ(alarmForValue(QStringLiteral("20240301T080000")), (QVariantMap{{kTriggerDate, local(2024, 3, 1, 8)}}));
    EXPECT_EQ(alarmForValue(QStringLiteral("20240301T070000Z;;1;beep")),
              (QVariantMap{{kTriggerDate, utc(2024, 3, 1, 7)}}));
    EXPECT_EQ(alarmForValue(QStringLiteral("20240301;X")), (QVariantMap{{kTriggerDate, local(2024, 3, 1)}}));
    EXPECT_TRUE(alarmForValue(QStringLiteral("tomorrow;PT5M")).isEmpty());

    QVariantMap item;
    enterAlarm(item, QString::fromLatin1(kDisplayAlarms), QStringLiteral("garbage"));
    EXPECT_EQ(item.value(QString::fromLatin1(kDisplayAlarms)).toList(), QVariantList{QVariantMap()});

    struct Case {
        const char* value;
        std::optional<qint64> seconds;
    };
    const Case durations[] = {
        {"-P1DT2H", -93600}, {"PT90M", 5400},   {"P1D", 86400},   {"PT1H30M10S", 5410},
        {"P2W", 0},          {"PT", std::nullopt},{"P1DT", 86400},  {"PX9H", 32400},
        {"P", std::nullopt}, {"1H", std::nullopt}, {"-1D", std::nullopt}, {"", std::nullopt},
        {"P99999999999999999999D", (qint64(1) << 40) * 86400},   // digits saturate
    };
    for (const Case& c : durations)
        EXPECT_EQ(durationInSeconds(QString::fromLatin1(c.value)), c.seconds) << c.value;

    // Days are calendar days: across the change to summer time a day is 23 hours.
    const QDateTime start = local(2024, 3, 30, 10);
    EXPECT_EQ(dateAddingDuration(start, QStringLiteral("P1DT1H30M")), local(2024, 3, 31, 11, 30));
    EXPECT_EQ(dateAddingDuration(start, QStringLiteral("soon")), start);
}

// libical reads the iCalendar rules as this reader does.
TEST(RecurrenceAlarmValues, LibicalAgreesOnICalendarRules)
{
    const PinnedTimeZone berlin;
    static const char* const weekdays[] = {"", "sunday", "monday", "tuesday", "wednesday", "thursday", "friday",
                                           "saturday"};
    for (const char* rule : {"FREQ=MONTHLY;BYDAY=2TU", "FREQ=WEEKLY;BYDAY=MO,WE;INTERVAL=2", "FREQ=MONTHLY;BYDAY=-1SU",
                             "FREQ=DAILY;UNTIL=20241231T235959Z", "FREQ=DAILY;UNTIL=20241231T235959",
                             "FREQ=DAILY;UNTIL=20241231", "FREQ=YEARLY;COUNT=5;INTERVAL=3"}) {
        SCOPED_TRACE(rule);
        const QVariantMap ours = *recurrenceForRule(QString::fromLatin1(rule));
        const icalrecurrencetype theirs = icalrecurrencetype_from_string(rule);
        ASSERT_NE(theirs.freq, ICAL_NO_RECURRENCE);
        EXPECT_EQ(ours.value(QString::fromLatin1(kFrequency)).toString().toUpper(),
                  QString::fromLatin1(icalrecur_freq_to_string(theirs.freq)));
        EXPECT_EQ(ours.value(QString::fromLatin1(kInterval), 1).toInt(), theirs.interval);
        EXPECT_EQ(ours.value(QString::fromLatin1(kCount), 0).toInt(), theirs.count);

        QVariantList days;
        QVariantList positions;
        for (int i = 0; i < ICAL_BY_DAY_SIZE && theirs.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
            days.append(QString::fromLatin1(weekdays[icalrecurrencetype_day_day_of_week(theirs.by_day[i])]));
            positions.append(icalrecurrencetype_day_position(theirs.by_day[i]));
        }
        EXPECT_EQ(ours.value(QString::fromLatin1(kByDayDays)).toList(), days);
        if (!positions.isEmpty()) {
            EXPECT_EQ(ours.value(QString::fromLatin1(kByDayFreq)).toList().value(0), positions.value(0));
        }

        const QDateTime until = ours.value(QString::fromLatin1(kUntil)).toDateTime();
        EXPECT_EQ(until.isValid(), !icaltime_is_null_time(theirs.until));
        if (until.isValid()) {
            const QDateTime shown = icaltime_is_utc(theirs.until) ? until.toUTC() : until;
            const icaltimetype u = theirs.until;
            EXPECT_EQ(shown.date(), QDate(u.year, u.month, u.day));
            EXPECT_EQ(shown.time(), QTime(u.hour, u.minute, u.second));
        }
    }
}

} // namespace
