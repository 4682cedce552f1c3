#include "CalendarFixture.h"

#include "formats/CalendarOccurrences.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VXDictionary.h"
#include "platform/Clock.h"
#include "platform/SyncChange.h"

using calendarfixture::CalendarFixture;

namespace {

class MotorolaCalendarConverterTest : public CalendarFixture {
protected:
    // An event item form with a summary, from start to start + 1 h.
    static VXDictionary event(const QDateTime& start)
    {
        VXDictionary vx;
        vx.setMainObject(platform::entity::Event, platform::ISyncRecordEntityNameKey);
        vx.setMainObject(QStringLiteral("Dentist"), QStringLiteral("summary"));
        vx.setMainObject(start, QStringLiteral("start date"));
        vx.setMainObject(start.addSecs(3600), QStringLiteral("end date"));
        return vx;
    }
    static void addSub(VXDictionary& vx, const char* listKey, const QString& id, const QVariantMap& record)
    {
        vx.setOtherObject(record, id);
        QVariantList ids = vx.mainObjectForKey(QLatin1String(listKey)).toList();
        ids.append(id);
        vx.setMainObject(ids, QLatin1String(listKey));
    }
    // The second-Tuesday-of-March rule as the kit spells it.
    static QVariantMap kitYearlyRule()
    {
        return {{QStringLiteral("frequency"), QStringLiteral("yearly")},
                {QStringLiteral("interval"), 1},
                {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("tuesday")}},
                {QStringLiteral("bydayfreq"), QVariantList{2}},
                {QStringLiteral("byMonth"), QVariantList{3}}};
    }
};

TEST_F(MotorolaCalendarConverterTest, AlarmNeedsAMinuteOfLeadTime)
{
    const auto description = phone("Plain");
    const QDateTime start = localTime(2024, 5, 6, 9);
    struct Case {
        const char* name;
        QVariantMap alarm;
        bool written;
    } cases[] = {
        {"trigger 30 s before", {{QStringLiteral("triggerdate"), start.addSecs(-30)}}, false},
        {"trigger 60 s before", {{QStringLiteral("triggerdate"), start.addSecs(-60)}}, true},
        {"trigger after the start", {{QStringLiteral("triggerdate"), start.addSecs(600)}}, false},
        {"duration -59", {{QStringLiteral("triggerduration"), -59}}, false},
        {"duration -60", {{QStringLiteral("triggerduration"), -60}}, true},
        {"no trigger", {{QStringLiteral("description"), QStringLiteral("x")}}, false},
    };
    for (const Case& c : cases) {
        VXDictionary vx = event(start);
        addSub(vx, "display alarms", QStringLiteral("A1"), c.alarm);
        const QVariantMap entry = createMotoEventDictForVXDict(&vx, description);
        EXPECT_EQ(entry.contains(QStringLiteral("DisplayAlarm")), c.written) << c.name;
        EXPECT_EQ(vx.wasUUIDsent(QStringLiteral("A1")), c.written) << c.name;
        if (c.written)
            EXPECT_EQ(entry.value(QStringLiteral("DisplayAlarm")).toMap().value(QStringLiteral("triggerdate")),
                      QVariant(start.addSecs(-60)))
                << c.name;
    }
}

TEST_F(MotorolaCalendarConverterTest, AudioAlarmFirstAndTextNeeded)
{
    const auto description = phone("Plain");
    const QDateTime start = localTime(2024, 5, 6, 9);
    VXDictionary vx = event(start);
    vx.removeMainObjectForKey(QStringLiteral("summary"));
    // Without any text the audio alarm does not qualify; the display alarm has its own.
    addSub(vx, "audio alarms", QStringLiteral("AU"), {{QStringLiteral("triggerduration"), -900}});
    addSub(vx, "display alarms", QStringLiteral("DI"),
           {{QStringLiteral("triggerduration"), -300}, {QStringLiteral("description"), QStringLiteral("go")}});
    const QVariantMap entry = createMotoEventDictForVXDict(&vx, description);
    EXPECT_EQ(entry.value(QStringLiteral("DisplayAlarm")).toMap().value(QStringLiteral("triggerdate")).toDateTime(),
              start.addSecs(-300));
    EXPECT_TRUE(vx.wasUUIDsent(QStringLiteral("DI")));
    EXPECT_FALSE(vx.wasUUIDsent(QStringLiteral("AU")));
}

TEST_F(MotorolaCalendarConverterTest, DatesFittedToThePhone)
{
    const auto lg = phone("Protocol LG Cal"); // years 2000-2030
    // All day: 0:00 of its own day, in its own zone.
    VXDictionary allDay = event(localTime(2024, 3, 15, 14, 30));
    allDay.setMainObject(true, QStringLiteral("all day"));
    QVariantMap written = createMotoEventDictForVXDict(&allDay, lg).value(QStringLiteral("event")).toMap();
    EXPECT_EQ(written.value(QStringLiteral("start date")).toDateTime(), localTime(2024, 3, 15));
    EXPECT_EQ(written.value(QStringLiteral("start date")).toDateTime().timeSpec(), Qt::LocalTime);
    EXPECT_EQ(written.value(QStringLiteral("all day")), QVariant(true));

    // Before the oldest year: moved into it, month, day and time kept.
    VXDictionary old = event(localTime(1995, 7, 4, 18, 15));
    written = createMotoEventDictForVXDict(&old, lg).value(QStringLiteral("event")).toMap();
    EXPECT_EQ(written.value(QStringLiteral("start date")).toDateTime(), localTime(2000, 7, 4, 18, 15));
    EXPECT_EQ(written.value(QStringLiteral("end date")).toDateTime(), localTime(2000, 7, 4, 19, 15));
    VXDictionary late = event(localTime(2044, 2, 29, 8));
    written = createMotoEventDictForVXDict(&late, lg).value(QStringLiteral("event")).toMap();
    EXPECT_EQ(written.value(QStringLiteral("start date")).toDateTime().date().year(), 2030);
}

TEST_F(MotorolaCalendarConverterTest, LocationOnlyWhereThePhoneHasOne)
{
    for (const auto& [protocol, hasLocation] :
         {std::pair{"Protocol LG Cal", true}, std::pair{"Protocol Motorola V3 Cal", false}}) {
        VXDictionary vx = event(localTime(2024, 5, 6, 9));
        vx.setMainObject(QStringLiteral("Room 4"), QStringLiteral("location"));
        vx.deviceDict().insert(QStringLiteral("MotorolaCalendarCustomValueAlarmSound"), QStringLiteral("3"));
        vx.deviceDict().insert(QStringLiteral("kitKey"), QStringLiteral("7"));
        const QVariantMap entry = createMotoEventDictForVXDict(&vx, phone(protocol));
        const QVariantMap part = entry.value(QStringLiteral("event")).toMap();
        EXPECT_EQ(part.contains(QStringLiteral("location")), hasLocation) << protocol;
        EXPECT_EQ(part.value(QStringLiteral("MotorolaCalendarCustomValueAlarmSound")), QVariant(QStringLiteral("3")));
        EXPECT_EQ(entry.value(QStringLiteral("kitKey")), QVariant(QStringLiteral("7")));
        EXPECT_FALSE(entry.contains(QStringLiteral("MotorolaCalendarCustomValueAlarmSound")));
    }
}

TEST_F(MotorolaCalendarConverterTest, TaskDueDate)
{
    VXDictionary task;
    task.setMainObject(platform::entity::Task, platform::ISyncRecordEntityNameKey);
    task.setMainObject(QStringLiteral("Taxes"), QStringLiteral("summary"));
    task.setMainObject(2, QStringLiteral("priority"));
    const QDateTime before = platform::Clock::instance().currentDateTime().addSecs(-1);
    const QVariantMap lg = createMotoTaskDictForVXDict(&task, phone("Protocol LG Cal"));
    const QDateTime due = lg.value(QStringLiteral("task")).toMap().value(QStringLiteral("due date")).toDateTime();
    EXPECT_GE(due, before);
    EXPECT_LE(due, platform::Clock::instance().currentDateTime().addSecs(1));
    const QVariantMap moto = createMotoTaskDictForVXDict(&task, phone("Protocol Motorola V3 Cal"));
    EXPECT_FALSE(moto.value(QStringLiteral("task")).toMap().contains(QStringLiteral("due date")));
    EXPECT_EQ(moto.value(QStringLiteral("task")).toMap().value(QStringLiteral("summary")),
              QVariant(QStringLiteral("Taxes")));
    EXPECT_EQ(moto.value(QStringLiteral("task")).toMap().value(QStringLiteral("priority")), QVariant(2));

    // A date-only due date is written at 0:00 of its day.
    task.setMainObject(localTime(2024, 4, 30, 12), QStringLiteral("due date"));
    task.setMainObject(true, QStringLiteral("due date is date only"));
    const QVariantMap dateOnly = createMotoTaskDictForVXDict(&task, phone("Protocol Motorola V3 Cal"));
    EXPECT_EQ(dateOnly.value(QStringLiteral("task")).toMap().value(QStringLiteral("due date")).toDateTime(),
              localTime(2024, 4, 30));
}

TEST_F(MotorolaCalendarConverterTest, FirstRuleWithItsLastOccurrence)
{
    VXDictionary vx = event(localTime(2024, 6, 1, 10));
    addSub(vx, "recurrences", QStringLiteral("R1"),
           {{QStringLiteral("frequency"), QStringLiteral("weekly")},
            {QStringLiteral("interval"), 2},
            {QStringLiteral("count"), 5}});
    addSub(vx, "recurrences", QStringLiteral("R2"), {{QStringLiteral("frequency"), QStringLiteral("daily")}});
    const QVariantMap entry = createMotoEventDictForVXDict(&vx, phone("Protocol LG Cal"));
    const QVariantMap rule = entry.value(QStringLiteral("recurrence")).toMap();
    EXPECT_EQ(rule.value(QStringLiteral("frequency")), QVariant(QStringLiteral("weekly")));
    EXPECT_EQ(rule.value(QStringLiteral("until")).toDateTime(), localTime(2024, 7, 27, 10));
    EXPECT_FALSE(rule.contains(QStringLiteral("count")));
    EXPECT_TRUE(vx.wasUUIDsent(QStringLiteral("R1")));
    EXPECT_FALSE(vx.wasUUIDsent(QStringLiteral("R2")));

    // A rule without end is written without one.
    VXDictionary open = event(localTime(2024, 6, 1, 10));
    addSub(open, "recurrences", QStringLiteral("R1"),
           {{QStringLiteral("frequency"), QStringLiteral("weekly")}, {QStringLiteral("count"), 0}});
    EXPECT_FALSE(createMotoEventDictForVXDict(&open, phone("Plain"))
                     .value(QStringLiteral("recurrence"))
                     .toMap()
                     .contains(QStringLiteral("until")));
}

TEST_F(MotorolaCalendarConverterTest, ReadEventWithAlarm)
{
    const QDateTime start = localTime(2024, 5, 6, 9);
    const QVariantMap entry{
        {QStringLiteral("event"),
         QVariantMap{{QStringLiteral("start date"), start},
                     {QStringLiteral("end date"), start.addSecs(1800)},
                     {QStringLiteral("summary"), QStringLiteral("Call")},
                     {QStringLiteral("location"), QString()},
                     {QStringLiteral("slot"), 4},
                     {QStringLiteral("MotorolaCalendarCustomValueAlarmSound"), QStringLiteral("2")}}},
        {QStringLiteral("DisplayAlarm"), QVariantMap{{QStringLiteral("triggerdate"), start.addSecs(-900)}}},
        {QStringLiteral("kitKey"), QStringLiteral("9")},
        {QStringLiteral("empty"), QString()},
    };
    for (const bool audio : {true, false}) {
        const auto read = vCalendarDictionaryForMotorolaEventOrTask(entry, audio);
        ASSERT_TRUE(read);
        const QVariantMap& item = read->map();
        EXPECT_EQ(item.value(QStringLiteral("start date")).toDateTime(), start);
        EXPECT_EQ(item.value(QStringLiteral("summary")), QVariant(QStringLiteral("Call")));
        EXPECT_FALSE(item.contains(QStringLiteral("location")));
        EXPECT_EQ(item.value(platform::ISyncRecordEntityNameKey), QVariant(platform::entity::Event));
        const QString used = audio ? QStringLiteral("audio alarms") : QStringLiteral("display alarms");
        const QString unused = audio ? QStringLiteral("display alarms") : QStringLiteral("audio alarms");
        const QVariantMap alarm = item.value(used).toList().value(0).toMap();
        EXPECT_EQ(alarm.value(QStringLiteral("triggerduration")).toLongLong(), -900) << audio;
        EXPECT_FALSE(alarm.contains(QStringLiteral("triggerdate")));
        EXPECT_FALSE(item.contains(unused));
        const QVariantMap device = item.value(QStringLiteral("DeviceSpecific")).toMap();
        EXPECT_EQ(device, (QVariantMap{{QStringLiteral("MotorolaCalendarCustomValueAlarmSound"), QStringLiteral("2")},
                                       {QStringLiteral("kitKey"), QStringLiteral("9")}}));
    }
}

TEST_F(MotorolaCalendarConverterTest, ReadTaskAndBadInput)
{
    const QVariantMap entry{
        {QStringLiteral("task"),
         QVariantMap{{QStringLiteral("due date"), QStringLiteral("tomorrow")},
                     {QStringLiteral("summary"), QStringLiteral("Taxes")},
                     {QStringLiteral("priority"), 1},
                     {QStringLiteral("status"), 5}}},
        // An alarm without an event start keeps its date.
        {QStringLiteral("DisplayAlarm"), QVariantMap{{QStringLiteral("triggerdate"), localTime(2024, 1, 1, 8)}}},
        {QStringLiteral("recurrence"), QStringLiteral("weekly")},
        {QStringLiteral("list"), QVariantList{1, 2}},
    };
    const auto read = vCalendarDictionaryForMotorolaEventOrTask(entry, false);
    ASSERT_TRUE(read);
    const QVariantMap& item = read->map();
    EXPECT_EQ(item.value(platform::ISyncRecordEntityNameKey), QVariant(platform::entity::Task));
    EXPECT_FALSE(item.contains(QStringLiteral("due date")));
    EXPECT_FALSE(item.contains(QStringLiteral("status")));
    EXPECT_FALSE(item.contains(QStringLiteral("recurrences")));
    EXPECT_FALSE(item.contains(QStringLiteral("DeviceSpecific")));
    EXPECT_EQ(item.value(QStringLiteral("priority")), QVariant(1));
    EXPECT_EQ(item.value(QStringLiteral("display alarms")).toList().value(0).toMap().value(QStringLiteral("triggerdate")),
              QVariant(localTime(2024, 1, 1, 8)));

    EXPECT_FALSE(vCalendarDictionaryForMotorolaEventOrTask(QVariant(), true));
    EXPECT_FALSE(vCalendarDictionaryForMotorolaEventOrTask(QStringLiteral("event"), true));
}

// The kit's "byMonth" is the item form's "bymonth", both ways.
TEST_F(MotorolaCalendarConverterTest, MonthKeyTranslated)
{
    const auto description = phone("Plain");
    const QVariantMap entry{
        {QStringLiteral("event"),
         QVariantMap{{QStringLiteral("start date"), localTime(2024, 3, 12, 9)},
                     {QStringLiteral("summary"), QStringLiteral("Tax day")}}},
        {QStringLiteral("recurrence"), kitYearlyRule()},
    };
    const auto read = vCalendarDictionaryForMotorolaEventOrTask(entry, true);
    ASSERT_TRUE(read);
    const QVariantMap rule = read->map().value(QStringLiteral("recurrences")).toList().value(0).toMap();
    EXPECT_EQ(rule.value(QStringLiteral("bymonth")), QVariant(QVariantList{3}));
    EXPECT_FALSE(rule.contains(QStringLiteral("byMonth")));
    EXPECT_EQ(rule.value(QStringLiteral("bydayfreq")), QVariant(QVariantList{2}));

    VXDictionary vx = vCalendarDictionary2VXDictionary(read->map(), QStringLiteral("7"));
    VXDictionary rendered(vx);
    EXPECT_TRUE(createVCalendarForVXDict(&rendered, description, false).contains(QStringLiteral("RRULE:YM1 3 TU #0\r\n")));

    const QVariantMap written = createMotoEventDictForVXDict(&vx, description).value(QStringLiteral("recurrence")).toMap();
    EXPECT_EQ(written.value(QStringLiteral("byMonth")), QVariant(QVariantList{3}));
    EXPECT_FALSE(written.contains(QStringLiteral("bymonth")));
    EXPECT_EQ(written.value(QStringLiteral("bydaydays")), QVariant(QVariantList{QStringLiteral("tuesday")}));
}

} // namespace
