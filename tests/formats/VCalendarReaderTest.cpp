#include "CalendarFixture.h"

#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCalendar2ElemsParser.h"
#include "foundation/NamedLog.h"
#include "platform/SyncChange.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace calendarfixture;

namespace {

// A VCALENDAR around the lines, CR LF after each.
QString calendarText(std::initializer_list<const char*> lines)
{
    QString text = QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\n");
    for (const char* line : lines)
        text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    return text + QStringLiteral("END:VCALENDAR\r\n");
}

QVariantMap firstSubitem(const std::optional<VCalendarDictionary>& calendar)
{
    if (!calendar)
        return QVariantMap();
    return calendar->map().value(QStringLiteral("Subitems")).toList().value(0).toMap();
}

class VCalendarReaderTest : public CalendarFixture {
protected:
    QVariantMap readEvent(std::initializer_list<const char*> lines, const QVSyncDeviceDescription* phone = nullptr)
    {
        return firstSubitem(elemsForVCalendarString(calendarText(lines), phone));
    }
};

TEST_F(VCalendarReaderTest, OneEventInsideTheCalendar)
{
    const auto calendar = elemsForVCalendarString(
        calendarText({"BEGIN:VEVENT", "SUMMARY:Review", "LOCATION:Room 4", "CLASS:PUBLIC", "DTSTART:20240301T100000",
                      "DTEND:20240301T113000Z", "CATEGORIES:MEETING", "X-FOO;TYPE=A:bar", "END:VEVENT"}),
        nullptr);
    ASSERT_TRUE(calendar);
    const QVariantList subitems = calendar->map().value(QStringLiteral("Subitems")).toList();
    ASSERT_EQ(subitems.size(), 1);
    const QVariantMap event = subitems.first().toMap();
    EXPECT_EQ(event.value(platform::ISyncRecordEntityNameKey).toString(), platform::entity::Event);
    EXPECT_EQ(event.value("summary").toString(), "Review");
    EXPECT_EQ(event.value("location").toString(), "Room 4");
    EXPECT_EQ(event.value("classification").toString(), "public");
    EXPECT_EQ(event.value("start date").toDateTime(), localTime(2024, 3, 1, 10));
    EXPECT_EQ(event.value("end date").toDateTime(), utcTime(2024, 3, 1, 11, 30));
    EXPECT_FALSE(event.contains("all day"));
    const QVariantMap device = event.value("DeviceSpecific").toMap();
    EXPECT_EQ(device.value("CATEGORIES").toString(), "MEETING");
    EXPECT_EQ(device.value("X-FOO").toMap().value("Data").toString(), "bar");
    EXPECT_FALSE(device.value("X-FOO").toMap().value("Params").toList().isEmpty());
}

TEST_F(VCalendarReaderTest, AllDayForms)
{
    struct Case {
        const char* start;
        const char* end;
        int days; // 0: timed
    };
    const Case cases[] = {
        {"20240301T000000", "20240301T235959", 1},
        {"20240301T000000", "20240303T000000", 2},
        {"20240301T000000", "20240301T000000", 1},
        {"20240301T235900", "20240301T235900", 1},
        {"20240301T235900", "20240302T235900", 2},
        {"20240301T000000", "20240301T235900", 1}, // one minute before the next day
        // Across the change to summer time: the day has 23 hours.
        {"20240331T000000", "20240401T000000", 1},
        {"20240331T000000", "20240331T235959", 1},
        {"20241027T000000", "20241028T000000", 1},
        {"20240301T100000", "20240301T113000", 0},
        {"20240302T000000", "20240301T000000", 0}, // end before the start
    };
    for (const Case& c : cases) {
        const QString start = QStringLiteral("DTSTART:") + QLatin1String(c.start);
        const QString end = QStringLiteral("DTEND:") + QLatin1String(c.end);
        const QVariantMap event = readEvent({"BEGIN:VEVENT", qPrintable(start), qPrintable(end), "END:VEVENT"});
        const QDate day = QDate::fromString(QString::fromLatin1(c.start).left(8), QStringLiteral("yyyyMMdd"));
        if (c.days == 0) {
            EXPECT_FALSE(event.contains("all day")) << c.start << " " << c.end;
            continue;
        }
        EXPECT_TRUE(event.value("all day").toBool()) << c.start << " " << c.end;
        const QDateTime noon(day, QTime(12, 0), QTimeZone::utc());
        EXPECT_EQ(event.value("start date").toDateTime(), noon) << c.start;
        EXPECT_EQ(event.value("end date").toDateTime(), noon.addDays(c.days)) << c.start << " " << c.end;
    }
}

TEST_F(VCalendarReaderTest, TimedEventFiledUnderAnAllDayCategoryStaysTimed)
{
    const QVariantMap event = readEvent(
        {"BEGIN:VEVENT", "CATEGORIES:HOLIDAY", "DTSTART:20240301T100000", "DTEND:20240301T110000", "END:VEVENT"});
    EXPECT_FALSE(event.contains("all day"));
}

TEST_F(VCalendarReaderTest, DurationAlarmsRulesAndDueDate)
{
    const QVariantMap event = readEvent({"BEGIN:VEVENT", "DTSTART:20240301T100000", "DURATION:PT1H30M",
                                         "AALARM;TYPE=X-EPOCSOUND:20240301T094500;PT15M;;", "AALARM:20240301T090000",
                                         "RRULE:W2 MO TH #10", "RRULE:nonsense rule",
                                         "EXDATE:20240304T100000;junk;20240307T100000", "END:VEVENT"});
    EXPECT_EQ(event.value("end date").toDateTime(), localTime(2024, 3, 1, 11, 30));
    const QVariantList alarms = event.value("audio alarms").toList();
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_EQ(alarms.at(0).toMap().value("triggerduration").toLongLong(), 900);
    EXPECT_FALSE(alarms.at(0).toMap().value("PARAMS").toList().isEmpty());
    EXPECT_EQ(alarms.at(1).toMap().value("triggerdate").toDateTime(), localTime(2024, 3, 1, 9));
    EXPECT_FALSE(alarms.at(1).toMap().contains("PARAMS"));
    const QVariantList rules = event.value("recurrences").toList();
    ASSERT_EQ(rules.size(), 2);
    EXPECT_EQ(rules.at(0).toMap().value("frequency").toString(), "weekly");
    EXPECT_EQ(rules.at(0).toMap().value("interval").toInt(), 2);
    EXPECT_EQ(rules.at(0).toMap().value("count").toInt(), 10);
    const QVariantList exceptions = event.value("exception dates").toList();
    ASSERT_EQ(exceptions.size(), 2);
    EXPECT_EQ(exceptions.at(1).toDateTime(), localTime(2024, 3, 7, 10));
    // Only the first audio alarm's trigger date would be taken; it has none.
    EXPECT_FALSE(event.contains("due date"));

    const QVariantMap task = readEvent({"BEGIN:VTODO", "SUMMARY:Call", "DALARM:20240301T080000", "END:VTODO"});
    EXPECT_EQ(task.value(platform::ISyncRecordEntityNameKey).toString(), platform::entity::Task);
    EXPECT_EQ(task.value("due date").toDateTime(), localTime(2024, 3, 1, 8));
    const QVariantMap dueTask = readEvent(
        {"BEGIN:VTODO", "DUE:20240305", "COMPLETED:20240302T120000Z", "DALARM:20240301T080000", "END:VTODO"});
    EXPECT_EQ(dueTask.value("due date").toDateTime(), localTime(2024, 3, 5));
    EXPECT_EQ(dueTask.value("completion date").toDateTime(), utcTime(2024, 3, 2, 12));
}

TEST_F(VCalendarReaderTest, StatusPriorityAndUnreadableValues)
{
    const struct {
        const char* status;
        const char* expected;
    } statuses[] = {{"ACCEPTED", "inprocess"},  {"SENT", "inprocess"},      {"TENTATIVE", "inprocess"},
                    {"CONFIRMED", "inprocess"}, {"DELEGATED", "inprocess"}, {"NEEDS ACTION", "needsaction"},
                    {"DECLINED", "cancelled"},  {"COMPLETED", "completed"}, {"FOO", "none"}};
    for (const auto& c : statuses) {
        const QString line = QStringLiteral("STATUS:") + QLatin1String(c.status);
        EXPECT_EQ(readEvent({"BEGIN:VTODO", qPrintable(line), "END:VTODO"}).value("status").toString(), c.expected)
            << c.status;
    }
    const QVSyncDeviceDescription prio = phone("Prio");
    EXPECT_EQ(readEvent({"BEGIN:VTODO", "PRIORITY:2", "END:VTODO"}, &prio).value("priority").toInt(), 8);
    EXPECT_EQ(readEvent({"BEGIN:VTODO", "PRIORITY:2", "END:VTODO"}).value("priority").toInt(), 2);
    const QVariantMap junk = readEvent(
        {"BEGIN:VEVENT", "PRIORITY:high", "DTSTART:tomorrow", "DTEND:2024-03-01", "DUE:20241301T000000", "END:VEVENT"});
    EXPECT_FALSE(junk.contains("priority"));
    EXPECT_FALSE(junk.contains("start date"));
    EXPECT_FALSE(junk.contains("end date"));
    EXPECT_FALSE(junk.contains("due date"));
    EXPECT_TRUE(junk.contains(platform::ISyncRecordEntityNameKey));
}

TEST_F(VCalendarReaderTest, RefusedAndMismatchedTextsGiveNothing)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
    const auto logged = [] {
        QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
        return log.open(QIODevice::ReadOnly)
            ? log.readAll().count("EndItem has a big problem: BEGIN:VEVENT is ended with END:VTODO")
            : 0;
    };
    const auto before = logged();
    const QString eventOnly = QStringLiteral("BEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VTODO\r\n");
    EXPECT_FALSE(elemsForVCalendarString(eventOnly, nullptr));
    EXPECT_EQ(logged(), before + 1);

    // Inside a calendar the broken event is lost, the calendar stays.
    const auto calendar = elemsForVCalendarString(
        calendarText({"BEGIN:VEVENT", "SUMMARY:lost", "END:VTODO", "BEGIN:VTODO", "SUMMARY:kept", "END:VTODO"}),
        nullptr);
    ASSERT_TRUE(calendar);
    const QVariantList subitems = calendar->map().value("Subitems").toList();
    ASSERT_EQ(subitems.size(), 1);
    EXPECT_EQ(subitems.first().toMap().value("summary").toString(), "kept");

    EXPECT_FALSE(elemsForVCalendarString(calendarText({"BEGIN:VEVENT", "X;:y", "END:VEVENT"}), nullptr));
    EXPECT_FALSE(elemsForVCalendarString(QStringLiteral("BEGIN:VEVENT\r\nX;:y\r\nEND:VEVENT\r\n"), nullptr));

    // Nesting deeper than the reader goes is refused.
    QString deep;
    for (int i = 0; i < 40; ++i)
        deep += QStringLiteral("BEGIN:VEVENT\r\n");
    for (int i = 0; i < 40; ++i)
        deep += QStringLiteral("END:VEVENT\r\n");
    EXPECT_FALSE(elemsForVCalendarString(deep, nullptr));
    QString fine;
    for (int i = 0; i < 5; ++i)
        fine += QStringLiteral("BEGIN:VEVENT\r\n");
    for (int i = 0; i < 5; ++i)
        fine += QStringLiteral("END:VEVENT\r\n");
    EXPECT_TRUE(elemsForVCalendarString(fine, nullptr));
}

TEST_F(VCalendarReaderTest, NestedCardAndBody)
{
    const auto calendar = elemsForVCalendarString(calendarText({"BEGIN:VEVENT",
                                                                "SUMMARY:Meet",
                                                                "BEGIN:VCARD",
                                                                "VERSION:2.1",
                                                                "N:Doe;Jane",
                                                                "TEL:123",
                                                                "EMAIL:a@b.example",
                                                                "X-IRMC-LUID:12",
                                                                "END:VCARD",
                                                                "DTSTART:20240301T100000",
                                                                "END:VEVENT",
                                                                "BEGIN:VBODY",
                                                                "Date:20240301T100000",
                                                                "Hello there",
                                                                "END:VBODY",
                                                                "BEGIN:VBODY",
                                                                "one line",
                                                                "END:VBODY",
                                                                "BEGIN:VBODY",
                                                                "no end"}),
                                                  nullptr);
    ASSERT_TRUE(calendar);
    const QVariantList subitems = calendar->map().value("Subitems").toList();
    ASSERT_GE(subitems.size(), 3);
    const QVariantMap event = subitems.at(0).toMap();
    EXPECT_EQ(event.value("summary").toString(), "Meet");
    EXPECT_EQ(event.value("start date").toDateTime(), localTime(2024, 3, 1, 10));
    const QVariantMap card = event.value("Subitems").toList().value(0).toMap();
    EXPECT_EQ(card.value("last name").toString(), "Doe");
    EXPECT_EQ(card.value("first name").toString(), "Jane");
    const QVariantList phones = card.value("phone numbers").toList();
    ASSERT_EQ(phones.size(), 1);
    EXPECT_EQ(phones.first().toMap().value("value").toString(), "123");
    // The import reader's default type for a mail address without one.
    EXPECT_EQ(card.value("email addresses").toList().value(0).toMap().value("type").toString(), "other");
    EXPECT_EQ(card.value("DeviceSpecific").toMap().value("X-IRMC-LUID").toString(), "12");
    // The same card on its own, read by the import reader.
    const auto alone = elemsForVCard(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nTEL:123\r\nEMAIL:a@b.example\r\nX-IRMC-LUID:12\r\n"
                       "END:VCARD\r\n"));
    ASSERT_TRUE(alone);
    ASSERT_EQ(alone->size(), 1);
    EXPECT_EQ(card, alone->first().map());
    EXPECT_EQ(subitems.at(1).toMap(), (QVariantMap{{"Date", "Date:20240301T100000"}, {"Message", "Hello there"}}));
    EXPECT_EQ(subitems.at(2).toMap(), (QVariantMap{{"Message", "one line"}}));
}

TEST_F(VCalendarReaderTest, CharacterSets)
{
    const QVSyncDeviceDescription latin = phone("Latin");
    const QVSyncDeviceDescription plain = phone("Plain");
    const struct {
        const char* line;
        const QVSyncDeviceDescription* phone;
        const char* expected;
    } cases[] = {
        {"SUMMARY;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9", nullptr, "Café"},
        {"SUMMARY;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9", &plain, "Café"},
        {"SUMMARY;ENCODING=QUOTED-PRINTABLE:Caf=E9", &latin, "Café"},
        {"SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9", &latin, "Café"},
        {"SUMMARY;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Caf=E9", nullptr, "Café"},
        {"SUMMARY:Café", &latin, "Café"},
        {"SUMMARY;ENCODING=QUOTED-PRINTABLE:line one=0D=0Aline =\r\ntwo", nullptr, "line one\r\nline two"},
    };
    for (const auto& c : cases) {
        const QVariantMap event = readEvent({"BEGIN:VEVENT", c.line, "END:VEVENT"}, c.phone);
        EXPECT_EQ(event.value("summary").toString(), QString::fromUtf8(c.expected)) << c.line;
    }
}

TEST_F(VCalendarReaderTest, ValuesEndingInEqualsSignStayWhole)
{
    const QVariantMap event = readEvent({"BEGIN:VEVENT", "SUMMARY:a=", "ATTACH;ENCODING=BASE64:QUJDRA==",
                                         "X-NOTE:ends with =", "LOCATION:after", "END:VEVENT"});
    EXPECT_EQ(event.value("summary").toString(), "a=");
    EXPECT_EQ(event.value("location").toString(), "after");
    const QVariantMap device = event.value("DeviceSpecific").toMap();
    EXPECT_EQ(device.value("ATTACH").toMap().value("Data").toByteArray(), QByteArray("ABCD"));
    EXPECT_EQ(device.value("X-NOTE").toString(), "ends with =");
}

TEST_F(VCalendarReaderTest, PositionsAndBoundsOfTheItemReader)
{
    const QByteArray bytes = "BEGIN:VTODO\r\nSUMMARY:\xC3\xA4\r\nEND:VTODO\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n";
    VCalendar2ElemsParser first(bytes, 0, nullptr, true);
    const auto todo = first.getItem();
    ASSERT_TRUE(todo);
    EXPECT_EQ(first.itemType(), "VTODO");
    EXPECT_EQ(first.nextPosition(), bytes.indexOf("BEGIN:VEVENT") - 1);
    VCalendar2ElemsParser second(bytes, first.nextPosition() + 1, nullptr, true);
    EXPECT_TRUE(second.getItem());
    EXPECT_EQ(second.itemType(), "VEVENT");
    EXPECT_EQ(second.nextPosition(), 0);
    VCalendar2ElemsParser past(bytes, bytes.size() + 100, nullptr, true);
    EXPECT_FALSE(past.getItem());
    // Many bodies without an end: each is read as empty, the text once.
    QString open = QStringLiteral("BEGIN:VCALENDAR\r\n");
    for (int i = 0; i < 20000; ++i)
        open += QStringLiteral("BEGIN:VBODY\r\nX-A:1\r\n");
    const auto bodies = elemsForVCalendarString(open + QStringLiteral("SUMMARY:s\r\nEND:VCALENDAR\r\n"), nullptr);
    ASSERT_TRUE(bodies);
    EXPECT_FALSE(bodies->map().contains("Subitems"));
    EXPECT_EQ(bodies->map().value("summary").toString(), "s");
    VCalendar2ElemsParser before(bytes, -5, nullptr, true);
    EXPECT_TRUE(before.getItem());
    EXPECT_TRUE(before.getVCalendarInfo().isEmpty());
}

} // namespace
