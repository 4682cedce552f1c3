#include "desktopstore/CalendarItem.h"
#include "platform/SyncChange.h"

#include "VobjectReader.h"

#include "RecordMaps.h"
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using desktopstore::CalendarItem;
using desktopstore::readCalendarItem;
using desktopstore::writeCalendarItem;
namespace entity = platform::entity;

namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc());
}

CalendarItem item(const QString& uid, const QString& entityName, QVariantMap fields,
                  QList<QVariantMap> subRecords = {})
{
    fields.insert(platform::ISyncRecordEntityNameKey, entityName);
    return {uid, fields, subRecords};
}

struct Case {
    const char* name;
    CalendarItem item;
};

std::vector<Case> roundTripCases()
{
    return {
        {"all-day event",
         item("allday-1", entity::Event,
              {{"summary", QString::fromUtf8("Geburtstag, Jörg; mit Torte")},
               {"start date", utc(2026, 3, 29)},
               {"end date", utc(2026, 3, 30)},
               {"all day", true}})},
        {"timed event across the DST change",
         item("dst-1", entity::Event,
              {{"summary", "Night shift"},
               {"description", "line one\nline two"},
               {"location", "Berlin"},
               {"start date", utc(2026, 3, 28, 23, 30)},
               {"end date", utc(2026, 3, 29, 5, 0)},
               {"status", "confirmed"},
               {"priority", qlonglong(1)}})},
        {"recurring event with an alarm",
         item("weekly-1", entity::Event,
              {{"summary", "Choir"},
               {"start date", utc(2026, 1, 6, 18)},
               {"end date", utc(2026, 1, 6, 20)},
               {"exception dates", QVariantList{utc(2026, 1, 13, 18), utc(2026, 2, 3, 18)}}},
              {sub(entity::Recurrence, {{"frequency", "weekly"},
                                        {"interval", 2},
                                        {"until", utc(2026, 6, 30, 18)},
                                        {"bydaydays", QVariantList{"tuesday", "thursday"}}}),
               sub(entity::DisplayAlarm, {{"triggerduration", qlonglong(-900)}, {"description", "Leave now"}}),
               sub(entity::AudioAlarm, {{"triggerdate", utc(2026, 1, 6, 17)},
                                        {"repeat count", 2},
                                        {"repeat interval", qlonglong(300)}})})},
        {"monthly all-day event on the last Friday",
         item("monthly-1", entity::Event,
              {{"summary", "Payday"},
               {"start date", utc(2026, 1, 30)},
               {"all day", true},
               {"exception dates", QVariantList{utc(2026, 4, 24)}}},
              {sub(entity::Recurrence, {{"frequency", "monthly"},
                                        {"interval", 1},
                                        {"count", 12},
                                        {"bydaydays", QVariantList{"friday"}},
                                        {"bydayfreq", QVariantList{-1}}}),
               sub(entity::Recurrence, {{"frequency", "yearly"}, {"interval", 1}, {"bymonth", QVariantList{3}},
                                        {"bymonthday", QVariantList{1}}})})},
        {"task with due date",
         item("task-1", entity::Task,
              {{"summary", "File taxes"},
               {"due date", utc(2026, 5, 31)},
               {"due date is date only", true},
               {"completion date", utc(2026, 5, 30, 18, 0)},
               {"status", "completed"},
               {"priority", qlonglong(5)}})},
        {"note", item("note-1", entity::Note, {{"subject", "Shopping"}, {"content", "Milk, eggs;\nbread"}})},
    };
}

TEST(CalendarItemTest, RoundTripKeepsEveryField)
{
    for (const Case& c : roundTripCases()) {
        SCOPED_TRACE(c.name);
        const QByteArray text = writeCalendarItem(c.item);
        QString error;
        const std::optional<CalendarItem> back = readCalendarItem(text, &error);
        ASSERT_TRUE(back) << error.toStdString() << text.constData();
        EXPECT_EQ(back->uid, c.item.uid);
        EXPECT_EQ(back->record, c.item.record) << text.constData();
        // The hub keeps one rule: the second of the monthly case is not written.
        QList<QVariantMap> expectedSubs;
        bool hasRule = false;
        for (const QVariantMap& s : c.item.subRecords) {
            const bool isRule = s.value(platform::ISyncRecordEntityNameKey) == entity::Recurrence;
            if (!isRule || !hasRule)
                expectedSubs.append(s);
            hasRule = hasRule || isRule;
        }
        EXPECT_EQ(back->subRecords, expectedSubs) << text.constData();
        EXPECT_EQ(text.count('\n'), text.count("\r\n"));
    }
}

TEST(CalendarItemTest, ZonedTimesBecomeTheirInstant)
{
    // 01:30 in Berlin before the change is 00:30 UTC; 03:30 after it is 01:30 UTC.
    const QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:z1\r\n"
                            "DTSTART;TZID=Europe/Berlin:20260329T013000\r\n"
                            "DTEND;TZID=Europe/Berlin:20260329T033000\r\nSUMMARY:Across\r\n"
                            "END:VEVENT\r\nEND:VCALENDAR\r\n";
    QString error;
    const std::optional<CalendarItem> item = readCalendarItem(text, &error);
    ASSERT_TRUE(item) << error.toStdString();
    EXPECT_EQ(item->record.value("start date").toDateTime(), utc(2026, 3, 29, 0, 30));
    EXPECT_EQ(item->record.value("end date").toDateTime(), utc(2026, 3, 29, 1, 30));
}

TEST(CalendarItemTest, RefusesWhatIsNotOneItem)
{
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"empty", ""},
        {"a vCard", "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n"},
        {"no item", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n"},
        {"two items",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nEND:VEVENT\r\nBEGIN:VTODO\r\nUID:b\r\n"
         "END:VTODO\r\nEND:VCALENDAR\r\n"},
        // Moved occurrences belong to one recurring master of their UID.
        {"a moved occurrence of another UID",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260302T080000Z\r\nRRULE:FREQ=DAILY\r\n"
         "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:b\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        {"two masters of one UID",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:a\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        {"moved occurrences without their master",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID:20260304T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        {"a master without a rule",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260302T080000Z\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        {"one occurrence moved twice",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260302T080000Z\r\nRRULE:FREQ=DAILY\r\n"
         "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        {"a moved task",
         "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\r\nRRULE:FREQ=DAILY\r\nEND:VTODO\r\n"
         "BEGIN:VTODO\r\nUID:a\r\nRECURRENCE-ID:20260303T080000Z\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(readCalendarItem(c.text, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

// Audio and display alarms are the hub's; others stay with the file.
TEST(CalendarItemTest, RewriteKeepsUnknownPropertiesAndAlarms)
{
    const QByteArray old = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:other\r\nBEGIN:VEVENT\r\nUID:k1\r\n"
                           "DTSTAMP:20260101T000000Z\r\nDTSTART:20260101T100000Z\r\nSUMMARY:Old\r\n"
                           "X-OTHER-APP:kept\r\nCATEGORIES:Work\r\nBEGIN:VALARM\r\nACTION:EMAIL\r\n"
                           "TRIGGER:-PT15M\r\nDESCRIPTION:soon\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const QByteArray text = writeCalendarItem(
        item("k1", entity::Event, {{"summary", "New"}, {"start date", utc(2026, 1, 2, 9)}}), old);
    EXPECT_TRUE(text.contains("SUMMARY:New\r\n"));
    EXPECT_FALSE(text.contains("SUMMARY:Old"));
    EXPECT_TRUE(text.contains("DTSTART:20260102T090000Z\r\n"));
    EXPECT_TRUE(text.contains("X-OTHER-APP:kept\r\n"));
    EXPECT_TRUE(text.contains("CATEGORIES:Work\r\n"));
    EXPECT_TRUE(text.contains("BEGIN:VALARM\r\n"));
    EXPECT_TRUE(text.contains("PRODID:other\r\n"));
}

TEST(CalendarItemTest, ReadsRuleParts)
{
    const QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:r1\r\n"
                            "DTSTART;TZID=Europe/Berlin:20260105T090000\r\n"
                            "RRULE:FREQ=HOURLY\r\nRRULE:FREQ=YEARLY;BYMONTH=1,7;BYMONTHDAY=5;COUNT=3\r\n"
                            "EXDATE;TZID=Europe/Berlin:20260705T090000\r\n"
                            "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\n"
                            "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER;RELATED=START:-P1DT2H\r\nEND:VALARM\r\n"
                            "END:VEVENT\r\nEND:VCALENDAR\r\n";
    QString error;
    const std::optional<CalendarItem> read = readCalendarItem(text, &error);
    ASSERT_TRUE(read) << error.toStdString();
    // An hourly rule has no name in the hub: the first rule it can name counts;
    // an e-mail alarm is no sub-record; a zoned exception date is its instant.
    EXPECT_EQ(read->record.value("exception dates"), QVariantList{utc(2026, 7, 5, 7)});
    ASSERT_EQ(read->subRecords.size(), 2);
    EXPECT_EQ(read->subRecords[0], sub(entity::Recurrence, {{"frequency", "yearly"},
                                                            {"interval", 1},
                                                            {"count", 3},
                                                            {"bymonth", QVariantList{1, 7}},
                                                            {"bymonthday", QVariantList{5}}}));
    EXPECT_EQ(read->subRecords[1], sub(entity::AudioAlarm, {{"triggerduration", qlonglong(-93600)}}));
}

TEST(CalendarItemTest, RewriteKeepsTheZoneOfAZonedTime)
{
    const QByteArray old = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:z2\r\n"
                           "DTSTART;TZID=Europe/Berlin:20260328T100000\r\nDTEND:20260328T100000Z\r\n"
                           "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\n"
                           "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT1H\r\nDESCRIPTION:old\r\nEND:VALARM\r\n"
                           "END:VEVENT\r\nEND:VCALENDAR\r\n";
    // Moved by a day, across the change to summer time.
    const QByteArray text = writeCalendarItem(
        item("z2", entity::Event, {{"start date", utc(2026, 3, 29, 8)}, {"end date", utc(2026, 3, 29, 9)}},
             {sub(entity::DisplayAlarm, {{"triggerduration", qlonglong(-600)}, {"description", "new"}})}),
        old);
    EXPECT_TRUE(text.contains("DTSTART;TZID=Europe/Berlin:20260329T100000\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("DTEND:20260329T090000Z\r\n")) << text.constData();
    // The e-mail alarm is kept, the display alarm replaced.
    EXPECT_TRUE(text.contains("ACTION:EMAIL\r\n"));
    EXPECT_FALSE(text.contains("DESCRIPTION:old"));
    EXPECT_TRUE(text.contains("TRIGGER:-PT10M\r\n"));
    QString error;
    const std::optional<CalendarItem> back = readCalendarItem(text, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->record.value("start date").toDateTime(), utc(2026, 3, 29, 8));
    EXPECT_EQ(back->subRecords.size(), 1);
}

// A recurring event with one occurrence moved, as calendar programs and
// CalDAV servers write it: the master in a zone, the moved occurrence a second
// VEVENT of the same UID.
const QByteArray kMovedOccurrence =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:other\r\nBEGIN:VEVENT\r\nUID:m1\r\nDTSTAMP:20260101T000000Z\r\n"
    "DTSTART;TZID=Europe/Berlin:20260302T090000\r\nDTEND;TZID=Europe/Berlin:20260302T093000\r\n"
    "RRULE:FREQ=DAILY;COUNT=5\r\nEXDATE;TZID=Europe/Berlin:20260305T090000\r\nSUMMARY:Stand-up\r\n"
    "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:m1\r\nDTSTAMP:20260101T000000Z\r\n"
    "RECURRENCE-ID;TZID=Europe/Berlin:20260304T090000\r\nDTSTART;TZID=Europe/Berlin:20260304T150000\r\n"
    "DTEND;TZID=Europe/Berlin:20260304T153000\r\nSUMMARY:Stand-up (late)\r\nX-KEPT:yes\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

TEST(CalendarItemTest, MovedOccurrenceIsAnExceptionAndAnEventOfItsOwn)
{
    QString error;
    std::optional<CalendarItem> read = readCalendarItem(kMovedOccurrence, &error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(read->uid, "m1");
    EXPECT_EQ(read->record.value("summary"), "Stand-up");
    EXPECT_EQ(read->record.value("exception dates"), QVariantList({utc(2026, 3, 5, 8), utc(2026, 3, 4, 8)}));
    ASSERT_EQ(read->subRecords.size(), 1);
    ASSERT_EQ(read->instances.size(), 1);
    EXPECT_EQ(read->instances[0].date, utc(2026, 3, 4, 8));
    EXPECT_EQ(read->instances[0].record,
              QVariantMap({{platform::ISyncRecordEntityNameKey, entity::Event},
                           {"summary", "Stand-up (late)"},
                           {"start date", utc(2026, 3, 4, 14)},
                           {"end date", utc(2026, 3, 4, 14, 30)}}));

    // The master changed elsewhere: the moved occurrence stays as it was, and
    // its date is no EXDATE of the file.
    CalendarItem changed = *read;
    changed.record.insert("summary", "Daily");
    QByteArray text = writeCalendarItem(changed, kMovedOccurrence);
    EXPECT_TRUE(text.contains("RECURRENCE-ID;TZID=Europe/Berlin:20260304T090000\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("SUMMARY:Stand-up (late)\r\n"));
    EXPECT_TRUE(text.contains("X-KEPT:yes\r\n"));
    EXPECT_TRUE(text.contains("EXDATE:20260305T080000Z\r\n"));
    EXPECT_FALSE(text.contains("EXDATE:20260304"));
    std::optional<CalendarItem> back = readCalendarItem(text, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->record, changed.record);
    ASSERT_EQ(back->instances.size(), 1);
    EXPECT_EQ(back->instances[0].record, read->instances[0].record);

    // Another reader sees the rule and its moved occurrence.
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("m1.ics"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        const char* script = R"(
cal = vobject.readOne(open(sys.argv[1], encoding="utf-8").read())
events = cal.contents.get("vevent")
moved = [e for e in events if "recurrence-id" in e.contents]
print(json.dumps({"events": len(events), "moved": moved[0].summary.value if moved else "",
                  "when": moved[0].contents["recurrence-id"][0].value.replace(tzinfo=None).isoformat() if moved else ""}))
)";
        std::string skip;
        const std::optional<QJsonObject> read = desktopstore_test::readWithVobject(script, file.fileName(), &skip);
        if (read) {
            EXPECT_EQ((*read)["events"].toInt(), 2);
            EXPECT_EQ((*read)["moved"].toString(), "Stand-up (late)");
            EXPECT_EQ((*read)["when"].toString(), "2026-03-04T09:00:00"); // Berlin wall-clock time
        }
    }

    // The occurrence moved again, then removed: its date stays an exception.
    changed.instances[0].record.insert("start date", utc(2026, 3, 4, 16));
    text = writeCalendarItem(changed, text);
    back = readCalendarItem(text, &error);
    ASSERT_TRUE(back && back->instances.size() == 1) << text.constData();
    EXPECT_EQ(back->instances[0].record.value("start date"), utc(2026, 3, 4, 16));
    EXPECT_TRUE(text.contains("DTSTART;TZID=Europe/Berlin:20260304T170000\r\n")) << text.constData();
    changed.instances.clear();
    text = writeCalendarItem(changed, text);
    EXPECT_EQ(text.count("BEGIN:VEVENT"), 1) << text.constData();
    EXPECT_TRUE(text.contains("EXDATE:20260304T080000Z\r\n"));
    back = readCalendarItem(text, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(back->instances.isEmpty());
    EXPECT_EQ(back->record.value("exception dates"), changed.record.value("exception dates"));
}

// An independent reader: python3-vobject reads each written item back.
TEST(CalendarItemTest, VobjectReadsWhatIsWritten)
{
    const char* script = R"(
cal = vobject.readOne(open(sys.argv[1], encoding="utf-8").read())
item = (cal.contents.get("vevent") or cal.contents.get("vtodo") or cal.contents.get("vjournal"))[0]
when = item.dtstart.value if "dtstart" in item.contents else item.due.value if "due" in item.contents else None
print(json.dumps({"kind": item.name, "summary": item.summary.value, "uid": item.uid.value,
                  "when": when.isoformat() if when else ""}))
)";
    QTemporaryDir dir;
    for (const Case& c : roundTripCases()) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.item.uid + ".ics");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(writeCalendarItem(c.item));
        file.close();
        std::string skip;
        const std::optional<QJsonObject> read = desktopstore_test::readWithVobject(script, path, &skip);
        if (!read)
            GTEST_SKIP() << skip;
        const QVariantMap& r = c.item.record;
        const QString kind = r.value(platform::ISyncRecordEntityNameKey).toString();
        EXPECT_EQ((*read)["kind"].toString(), kind == entity::Event ? "VEVENT" : kind == entity::Task ? "VTODO" : "VJOURNAL");
        EXPECT_EQ((*read)["summary"].toString(), r.value(kind == entity::Note ? "subject" : "summary").toString());
        EXPECT_EQ((*read)["uid"].toString(), c.item.uid);
        if (kind == entity::Note)
            continue;
        const QDateTime when = r.value(r.contains("start date") ? "start date" : "due date").toDateTime();
        const bool dateOnly = r.value("all day").toBool() || r.value("due date is date only").toBool();
        EXPECT_EQ((*read)["when"].toString(),
                  dateOnly ? when.date().toString(Qt::ISODate) : when.toString("yyyy-MM-ddTHH:mm:ss+00:00"));
    }
}

} // namespace
