#include "PinnedTimeZone.h"

#include "formats/CalendarOccurrences.h"
#include "formats/VXDictionary.h"
#include "platform/SyncChange.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <climits>

namespace {

QDateTime occurrenceLocal(int y, int mo, int d, int h = 10)
{
    return QDateTime(QDate(y, mo, d), QTime(h, 0), Qt::LocalTime);
}

// An event starting at first (stored in UTC, as the desktop stores it) with
// one rule, or none for an empty rule.
VXDictionary occurrenceEvent(const QDateTime& first, const QVariantMap& rule, const QDateTime& end = {})
{
    VXDictionary vx;
    vx.setMainObject(platform::entity::Event, platform::ISyncRecordEntityNameKey);
    vx.setMainObject(first.toUTC(), QStringLiteral("start date"));
    if (end.isValid())
        vx.setMainObject(end, QStringLiteral("end date"));
    if (!rule.isEmpty()) {
        vx.setOtherObject(rule, QStringLiteral("R1"));
        vx.setMainObject(QVariantList{QStringLiteral("R1")}, QStringLiteral("recurrences"));
    }
    return vx;
}

QVariantMap occurrenceRule(const char* frequency, const QVariant& count, const QVariant& interval = {})
{
    QVariantMap rule{{QStringLiteral("frequency"), QString::fromLatin1(frequency)}};
    if (count.isValid())
        rule.insert(QStringLiteral("count"), count);
    if (interval.isValid())
        rule.insert(QStringLiteral("interval"), interval);
    return rule;
}

struct OccurrenceCase {
    const char* name;
    QDateTime first;
    QVariantMap rule;
    QDateTime expected;
};

TEST(CalendarOccurrences, LastOccurrenceCountsInLocalCalendarTime)
{
    PinnedTimeZone zone;
    const OccurrenceCase cases[] = {
        {"weekly, interval 2, count 5", occurrenceLocal(2024, 6, 1), occurrenceRule("weekly", 5, 2),
         occurrenceLocal(2024, 7, 27)},
        {"count 1 is the first", occurrenceLocal(2024, 6, 1), occurrenceRule("weekly", 1),
         occurrenceLocal(2024, 6, 1)},
        // 59 months on: not 59 x 31 days (which lands on 3 January 2029).
        {"monthly on the 1st, count 60", occurrenceLocal(2024, 1, 1), occurrenceRule("monthly", 60),
         occurrenceLocal(2028, 12, 1)},
        {"yearly, count 3", occurrenceLocal(2024, 3, 1), occurrenceRule("yearly", 3), occurrenceLocal(2026, 3, 1)},
        // Across the end of summer time the wall-clock time stays.
        {"weekly across the end of summer time", occurrenceLocal(2024, 10, 20), occurrenceRule("weekly", 5),
         occurrenceLocal(2024, 11, 17)},
        {"daily, interval 0 counts as 1", occurrenceLocal(2024, 3, 30), occurrenceRule("daily", 3, 0),
         occurrenceLocal(2024, 4, 1)},
        {"count as text", occurrenceLocal(2024, 3, 1), occurrenceRule("yearly", QStringLiteral("2")),
         occurrenceLocal(2025, 3, 1)},
        {"unknown frequency is the first", occurrenceLocal(2024, 3, 1), occurrenceRule("hourly", 4),
         occurrenceLocal(2024, 3, 1)},
        {"no count repeats forever", occurrenceLocal(2024, 6, 1), occurrenceRule("weekly", {}), distantFutureDate()},
        {"count 0 repeats forever", occurrenceLocal(2024, 6, 1), occurrenceRule("weekly", 0), distantFutureDate()},
        {"a count past any calendar", occurrenceLocal(2024, 6, 1), occurrenceRule("yearly", LLONG_MAX, 7),
         distantFutureDate()},
        {"a daily count past any calendar", occurrenceLocal(2024, 6, 1), occurrenceRule("daily", 1LL << 40),
         distantFutureDate()},
    };
    for (const OccurrenceCase& c : cases) {
        const VXDictionary vx = occurrenceEvent(c.first, c.rule);
        const QDateTime last = lastOccurenceForVXDict(vx);
        EXPECT_EQ(last, c.expected) << c.name << ": " << last.toString(Qt::ISODate).toStdString();
    }
}

TEST(CalendarOccurrences, UntilEndDateAndFirst)
{
    PinnedTimeZone zone;
    const QDateTime first = occurrenceLocal(2024, 6, 1);
    const QDateTime until = occurrenceLocal(2024, 9, 1);
    QVariantMap rule = occurrenceRule("weekly", 5);
    rule.insert(QStringLiteral("until"), until);
    EXPECT_EQ(lastOccurenceForVXDict(occurrenceEvent(first, rule)), until);

    const QDateTime end = occurrenceLocal(2024, 6, 1, 12);
    EXPECT_EQ(lastOccurenceForVXDict(occurrenceEvent(first, {}, end)), end);
    EXPECT_EQ(lastOccurenceForVXDict(occurrenceEvent(first, {})), first);

    // A task counts from its due date.
    VXDictionary task;
    task.setMainObject(platform::entity::Task, platform::ISyncRecordEntityNameKey);
    task.setMainObject(first, QStringLiteral("due date"));
    task.setMainObject(occurrenceLocal(2020, 1, 1), QStringLiteral("start date"));
    EXPECT_EQ(firstOccurenceForVXDict(task), first);
    EXPECT_EQ(lastOccurenceForVXDict(task), first);
    EXPECT_FALSE(firstOccurenceForVXDict(VXDictionary()).isValid());
    EXPECT_GT(distantFutureDate().date().year(), 2099);
}

} // namespace
