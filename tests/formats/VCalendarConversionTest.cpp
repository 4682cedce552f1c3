#include "CalendarFixture.h"

#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarConversion.h"
#include "platform/SyncChange.h"

#include <gtest/gtest.h>

using namespace calendarfixture;

namespace {

class VCalendarConversionTest : public CalendarFixture { };

TEST_F(VCalendarConversionTest, AlarmsBecomeOwnedSubRecords)
{
    const auto calendar = elemsForVCalendarString(
        QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Two alarms\r\n"
                       "DTSTART:20240301T100000\r\nAALARM:20240301T094500\r\nAALARM:20240301T093000\r\n"
                       "RRULE;X-KEEP=1:D1 #3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"),
        nullptr);
    ASSERT_TRUE(calendar);
    const QVariantMap event = calendar->map().value("Subitems").toList().value(0).toMap();
    VXDictionary vx = vCalendarDictionary2VXDictionary(event, QStringLiteral("42"));
    const QString id = vx.objectForKey(VXDictionary::kUUID).toString();
    EXPECT_TRUE(id.startsWith("Tarnex:"));
    EXPECT_EQ(vx.sourceURI(), "42");
    EXPECT_EQ(vx.mainObjectForKey(platform::ISyncRecordEntityNameKey).toString(), platform::entity::Event);
    EXPECT_EQ(vx.mainObjectForKey("summary").toString(), "Two alarms");
    const QVariantList alarms = vx.mainObjectForKey("audio alarms").toList();
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_NE(alarms.at(0), alarms.at(1));
    const QDateTime expected[] = {localTime(2024, 3, 1, 9, 45), localTime(2024, 3, 1, 9, 30)};
    for (int i = 0; i < 2; ++i) {
        const QVariantMap alarm = vx.otherObjectForKey(alarms.at(i).toString()).toMap();
        EXPECT_EQ(alarm.value(platform::ISyncRecordEntityNameKey).toString(), platform::entity::AudioAlarm);
        EXPECT_EQ(alarm.value("owner").toList(), QVariantList{id});
        EXPECT_EQ(alarm.value("triggerdate").toDateTime(), expected[i]);
        EXPECT_FALSE(alarm.contains("PARAMS"));
        EXPECT_TRUE(vx.getTheRelation("audio alarms", alarms.at(i).toString()).toList().isEmpty());
    }
    const QVariantList rules = vx.mainObjectForKey("recurrences").toList();
    ASSERT_EQ(rules.size(), 1);
    const QVariantMap rule = vx.otherObjectForKey(rules.first().toString()).toMap();
    EXPECT_EQ(rule.value(platform::ISyncRecordEntityNameKey).toString(), platform::entity::Recurrence);
    EXPECT_EQ(rule.value("count").toInt(), 3);
    EXPECT_FALSE(vx.getTheRelation("recurrences", rules.first().toString()).toList().isEmpty());
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kDeviceItems));
    EXPECT_FALSE(vx.mainDict().contains("display alarms"));
}

TEST_F(VCalendarConversionTest, MainFieldsDatesAndLeftOverKeys)
{
    const QVariantMap item = {
        {platform::ISyncRecordEntityNameKey, platform::entity::Task},
        {"start date", QStringLiteral("20240301T100000")},
        {"end date", QStringLiteral("tomorrow")},
        {"due date", QStringLiteral("20241399T100000")},
        {"completion date", QStringLiteral("20240302T080000Z")},
        {"priority", 5},
        {"exception dates", QVariantList{QDateTime::currentDateTime()}},
        {"TZ", QStringLiteral("+01")},
        {"DAYLIGHT", QStringLiteral("TRUE")},
        {"Subitems", QVariantList{QVariantMap{}}},
        {"DeviceSpecific", QVariantMap{{"CATEGORIES", QStringLiteral("HOLIDAY")}}},
        {"unknown", 1},
    };
    VXDictionary vx = vCalendarDictionary2VXDictionary(item);
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kSourceURI));
    EXPECT_EQ(vx.mainObjectForKey("start date").toDateTime(), localTime(2024, 3, 1, 10));
    EXPECT_EQ(vx.mainObjectForKey("end date").toString(), "tomorrow");
    EXPECT_FALSE(vx.mainObjectForKey("due date").isValid());
    EXPECT_EQ(vx.mainObjectForKey("completion date").toDateTime(), utcTime(2024, 3, 2, 8));
    EXPECT_EQ(vx.mainObjectForKey("priority").toInt(), 5);
    for (const char* key : {"exception dates", "TZ", "DAYLIGHT", "Subitems", "unknown", "DeviceSpecific"})
        EXPECT_FALSE(vx.mainDict().contains(key)) << key;
    EXPECT_EQ(vx.mainDict().size(), 5);
    EXPECT_EQ(vx.deviceObjectForKey("CATEGORIES").toString(), "HOLIDAY");
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kOtherItems));
}

} // namespace
