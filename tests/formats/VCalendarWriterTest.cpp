#include "CalendarFixture.h"

#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VXDictionary.h"
#include "foundation/NamedLog.h"
#include "platform/SyncChange.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace calendarfixture;

namespace {

QStringList calendarLines(const QString& text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class VCalendarWriterTest : public CalendarFixture {
protected:
    static VXDictionary eventForm(const QVariantMap& fields, const QString& entity = platform::entity::Event)
    {
        VXDictionary vx;
        vx.setObject(createQuorvalisPrimaryKey(), VXDictionary::kUUID);
        vx.setMainObject(entity, platform::ISyncRecordEntityNameKey);
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            vx.setMainObject(it.value(), it.key());
        return vx;
    }
    static void addSubRecord(VXDictionary& vx, const char* list, const QVariantMap& record)
    {
        const QString id = createQuorvalisPrimaryKey();
        QVariantList ids = vx.mainObjectForKey(QString::fromLatin1(list)).toList();
        ids.append(id);
        vx.setMainObject(ids, QString::fromLatin1(list));
        vx.setOtherObject(record, id);
    }
    QStringList write(VXDictionary& vx, const char* protocol, bool specifics = false)
    {
        const QString text = createVCalendarForVXDict(&vx, phone(protocol), specifics);
        EXPECT_TRUE(text.endsWith(QStringLiteral("END:VCALENDAR\r\n"))) << protocol;
        return calendarLines(text);
    }
    static QVariantMap allDay(const QDateTime& noon, int days)
    {
        return {{"all day", true}, {"start date", noon}, {"end date", noon.addDays(days)}};
    }
};

TEST_F(VCalendarWriterTest, TimedAndAllDayDates)
{
    const QVariantMap timed = {{"start date", localTime(2024, 3, 1, 10)}, {"end date", localTime(2024, 3, 1, 11)}};
    const QDateTime noon = utcTime(2024, 3, 1, 12);
    const struct {
        const char* what;
        QVariantMap fields;
        const char* protocol;
        QStringList expected;
    } cases[] = {
        {"no zones", timed, "Plain", {"DTSTART:20240301T100000", "DTEND:20240301T110000"}},
        {"zones", timed, "Zoned", {"DTSTART:20240301T090000Z", "DTEND:20240301T100000Z"}},
        {"midnight to 23:59:59", allDay(noon, 1), "Midnight", {"DTSTART:20240301T000000", "DTEND:20240301T235959"}},
        {"two days, midnight", allDay(noon, 2), "Midnight", {"DTSTART:20240301T000000", "DTEND:20240302T235959"}},
        {"zero to zero", allDay(noon, 1), "ZeroZero", {"DTSTART:20240301T000000", "DTEND:20240302T000000"}},
        {"no all-day support", allDay(noon, 1), "Plain", {"DTSTART:20240229T230000Z", "DTEND:20240301T225900Z"}},
        {"summer time change",
         allDay(utcTime(2024, 3, 31, 12), 1),
         "Plain",
         {"DTSTART:20240330T230000Z", "DTEND:20240331T215900Z"}},
        {"unknown definition", allDay(noon, 1), "Wrong", {"DTSTART:20240301T000000", "DTEND:20240301T235959"}},
        {"categories",
         allDay(noon, 1),
         "Protocol Series 40",
         {"DTSTART:20240301T235900", "DTEND:20240301T235900", "CATEGORIES:MISCELLANEOUS"}},
    };
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kVCard)));
    for (const auto& c : cases) {
        QVariantMap fields = c.fields;
        fields.insert("location", QStringLiteral("Room 4"));
        VXDictionary vx = eventForm(fields);
        const QStringList lines = write(vx, c.protocol);
        qsizetype at = 0;
        for (const QString& line : c.expected) {
            at = lines.indexOf(line, at);
            EXPECT_GE(at, 0) << c.what << ": " << qPrintable(line) << "\n" << qPrintable(lines.join(u'\n'));
        }
        EXPECT_FALSE(lines.contains(QStringLiteral("### WRONG AlldayFormat ###"))) << c.what;
        // A Series 40 phone files an all-day event under MISCELLANEOUS, without a place.
        EXPECT_EQ(lines.contains(QStringLiteral("LOCATION:Room 4")), qstrcmp(c.protocol, "Protocol Series 40") != 0)
            << c.what;
    }
    QFile log(QVPathForLogFile(QStringLiteral("VCard.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("unknown all-day definition \"Sometimes\""));
}

TEST_F(VCalendarWriterTest, CategoryRules)
{
    const QDateTime noon = utcTime(2024, 3, 1, 12);
    const struct {
        const char* protocol;
        bool allDayEvent;
        const char* url;
        QVariant categories;
        const char* expected; // CATEGORIES line; null: none
    } cases[] = {
        {"Protocol Series 40", true, "addressbook://x", QVariant(), "CATEGORIES:SPECIAL OCCASION"},
        {"Protocol Series 40", true, nullptr, QStringList{"HOLIDAY"}, "CATEGORIES:HOLIDAY"},
        {"Protocol Series 40", false, nullptr, QStringList{"A", "B"}, "CATEGORIES:MEETING"},
        {"Protocol Series 60 3rd", true, nullptr, QVariant(), "CATEGORIES:EVENT"},
        {"Protocol Series 60 3rd", true, "addressbook://x", QVariant(), "CATEGORIES:ANNIVERSARY"},
        {"Protocol Series 60 3rd", false, nullptr, QStringLiteral("X"), "CATEGORIES:APPOINTMENT"},
        {"Samsung SHP", true, nullptr, QVariant(), "CATEGORIES:HOLIDAY"},
        {"Plain", false, nullptr, QStringList{"A", "B"}, "CATEGORIES:A;B"},
        {"Plain", false, nullptr, QStringList{}, "CATEGORIES:"},
        {"Midnight", true, nullptr, QVariant(), nullptr},
    };
    for (const auto& c : cases) {
        QVariantMap fields = c.allDayEvent ? allDay(noon, 1) : QVariantMap{{"start date", localTime(2024, 3, 1, 10)}};
        if (c.url)
            fields.insert("url", QString::fromLatin1(c.url));
        VXDictionary vx = eventForm(fields);
        if (c.categories.isValid())
            vx.setObject(c.categories, QStringLiteral("CATEGORIES"));
        const QStringList lines = write(vx, c.protocol);
        const QStringList found = lines.filter(QRegularExpression(QStringLiteral("^CATEGORIES:")));
        if (c.expected)
            EXPECT_EQ(found, QStringList{QString::fromLatin1(c.expected)}) << c.protocol;
        else
            EXPECT_TRUE(found.isEmpty()) << c.protocol;
    }
    // The Samsung category line of a weekly event, which the writer itself
    // does not add.
    VXDictionary weekly = eventForm({});
    addSubRecord(weekly, "recurrences", {{"frequency", QStringLiteral("weekly")}});
    const QVSyncDeviceDescription samsung = phone("Samsung SHP");
    VCalendarGenerator generator(samsung, &weekly, false);
    generator.addSamsungCategories();
    EXPECT_TRUE(generator.produceVCalendar().startsWith(QStringLiteral("CATEGORIES:APPOINTMENT\r\nBEGIN:VCALENDAR")));
    // A repeating all-day event on a Samsung phone gets no category and the
    // midnight form.
    VXDictionary repeating = eventForm(allDay(noon, 1));
    addSubRecord(repeating, "recurrences", {{"frequency", QStringLiteral("daily")}});
    const QStringList lines = write(repeating, "Samsung SHP");
    EXPECT_TRUE(lines.filter(QRegularExpression(QStringLiteral("^CATEGORIES"))).isEmpty());
    EXPECT_TRUE(lines.contains(QStringLiteral("DTEND:20240301T235959")));
}

TEST_F(VCalendarWriterTest, TaskFields)
{
    VXDictionary task = eventForm({{"summary", QStringLiteral("Call; back")},
                                   {"description", QStringLiteral("Café")},
                                   {"classification", QStringLiteral("private")},
                                   {"priority", 1},
                                   {"status", QStringLiteral("needsaction")},
                                   {"due date", utcTime(2024, 3, 4, 23)},
                                   {"due date is date only", true},
                                   {"completion date", localTime(2024, 3, 2, 8, 30)},
                                   {"location", QStringLiteral("ignored")}},
                                  platform::entity::Task);
    EXPECT_EQ(write(task, "Prio"),
              (QStringList{"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VTODO", "SUMMARY:Call\\; back",
                           "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9", "CLASS:PRIVATE",
                           "PRIORITY:1", "STATUS:NEEDS ACTION", "DUE:20240305T000000", "COMPLETED:20240302T083000",
                           "END:VTODO", "END:VCALENDAR"}));
    // Sony: a date-only due date at noon of its day.
    EXPECT_TRUE(write(task, "SonyCal").contains("DUE:20240305T120000"));
    task.setMainObject(false, QStringLiteral("due date is date only"));
    EXPECT_TRUE(write(task, "Zoned").contains("DUE:20240304T230000Z"));

    const struct {
        const char* status;
        const char* line;
    } statuses[] = {{"needsaction", "STATUS:NEEDS ACTION"},
                    {"cancelled", "STATUS:DECLINED"},
                    {"completed", "STATUS:COMPLETED"},
                    {"inprocess", "STATUS:ACCEPTED"},
                    {"none", "STATUS:ACCEPTED"}};
    for (const auto& s : statuses) {
        VXDictionary vx = eventForm({{"status", QString::fromLatin1(s.status)}}, platform::entity::Task);
        EXPECT_TRUE(write(vx, "Plain").contains(QString::fromLatin1(s.line))) << s.status;
    }

    VXDictionary cafe = eventForm({{"summary", QStringLiteral("Café")}});
    EXPECT_TRUE(write(cafe, "Utf8").contains("SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9"));
    EXPECT_TRUE(write(cafe, "Latin").contains("SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9"));
    VXDictionary euro = eventForm({{"summary", QStringLiteral("5 €")}});
    EXPECT_TRUE(write(euro, "Latin").contains("SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:5 =E2=82=AC"));
}

TEST_F(VCalendarWriterTest, AlarmsAndDurations)
{
    const struct {
        qint64 seconds;
        const char* text;
    } durations[] = {{0, "P"},          {86400, "P1D"},        {-900, "-PT15M"},
                     {5400, "PT1H30M"}, {90061, "P1DT1H1M1S"}, {-93600, "-P1DT2H"},
                     {59, "PT59S"}};
    for (const auto& d : durations)
        EXPECT_EQ(VCalendarGenerator::durationString(d.seconds), QString::fromLatin1(d.text)) << d.seconds;

    VXDictionary vx = eventForm({{"start date", localTime(2024, 3, 1, 10)}});
    addSubRecord(vx, "audio alarms", {{"triggerduration", -900}});
    addSubRecord(vx, "audio alarms", {{"triggerdate", localTime(2024, 3, 1, 8)}});
    addSubRecord(vx, "display alarms", {{"triggerdate", localTime(2024, 3, 1, 9)}});
    const QStringList plain = write(vx, "Plain");
    EXPECT_EQ(plain.filter(QRegularExpression(QStringLiteral("^[AD]ALARM"))),
              (QStringList{"AALARM:20240301T094500", "DALARM:20240301T090000"}));
    const QStringList period = write(vx, "Samsung HPE");
    EXPECT_EQ(period.filter(QRegularExpression(QStringLiteral("^[AD]ALARM"))),
              (QStringList{"AALARM:20240301T100000;-PT15M;;", "DALARM:20240301T100000;-PT1H;;"}));

    // A period alarm needs a start; an alarm without any anchor is left out.
    VXDictionary task = eventForm({{"due date", localTime(2024, 3, 1, 10)}}, platform::entity::Task);
    addSubRecord(task, "audio alarms", {{"triggerduration", -600}});
    EXPECT_TRUE(write(task, "Plain").contains("AALARM:20240301T095000"));
    EXPECT_TRUE(write(task, "Samsung HPE").filter(QRegularExpression(QStringLiteral("^AALARM"))).isEmpty());
    VXDictionary bare = eventForm({});
    addSubRecord(bare, "audio alarms", {{"triggerduration", -600}});
    EXPECT_TRUE(write(bare, "Plain").filter(QRegularExpression(QStringLiteral("^AALARM"))).isEmpty());
}

TEST_F(VCalendarWriterTest, RecurrenceRules)
{
    const auto numbers = [](std::initializer_list<int> values) {
        QVariantList list;
        for (const int v : values)
            list.append(v);
        return list;
    };
    const auto days = [](std::initializer_list<const char*> values) {
        QVariantList list;
        for (const char* v : values)
            list.append(QString::fromLatin1(v));
        return list;
    };
    const QDateTime start = localTime(2024, 3, 12, 10); // a Tuesday
    const struct {
        QVariantMap rule;
        const char* protocol;
        const char* expected; // null: no rule line
    } cases[] = {
        {{{"frequency", "weekly"}, {"interval", 2}, {"bydaydays", days({"monday", "thursday"})}, {"count", 10}},
         "Plain",
         "RRULE:W2 MO TH #10"},
        {{{"frequency", "monthly"}, {"bydaydays", days({"tuesday"})}, {"bydayfreq", numbers({2})}},
         "Plain",
         "RRULE:MP1 2+ TU #0"},
        {{{"frequency", "monthly"}, {"bydaydays", days({"tuesday"})}, {"bydayfreq", numbers({2})}},
         "Samsung AT",
         "RRULE:MP1 2+ TU 20371231T000000Z"},
        {{{"frequency", "monthly"}, {"bydaydays", days({"friday"})}, {"bydayfreq", numbers({-1})}},
         "Plain",
         "RRULE:MP1 1- FR #0"},
        {{{"frequency", "monthly"}, {"bymonthday", numbers({1, -1})}, {"count", 3}}, "Plain", "RRULE:MD1 1 1- #3"},
        {{{"frequency", "monthly"}}, "Plain", "RRULE:M1 #0"},
        {{{"frequency", "monthly"}, {"count", 4}}, "Samsung AT", "RRULE:MD1 12 #4"},
        {{{"frequency", "weekly"}, {"count", 4}}, "Samsung AT", "RRULE:W1 TU #4"},
        {{{"frequency", "daily"}, {"until", localTime(2024, 3, 20, 10)}}, "Plain", "RRULE:D1 20240320T100000"},
        {{{"frequency", "daily"}, {"until", localTime(2024, 3, 20, 10)}}, "Zoned", "RRULE:D1 20240320T090000Z"},
        {{{"frequency", "daily"}, {"until", localTime(2024, 3, 20, 10)}}, "Samsung AT", "RRULE:D1 20240320T000000Z"},
        {{{"frequency", "yearly"}, {"bymonth", numbers({6})}, {"count", 3}}, "Plain", "RRULE:YM1 6 #3"},
        {{{"frequency", "yearly"}, {"byyearday", numbers({100})}}, "Plain", "RRULE:YD1 100 #0"},
        {{{"frequency", "yearly"}}, "Plain", "RRULE:Y1 #0"},
        {{{"frequency", "yearly"}}, "SonyCal", "RRULE:YM1 3 #0"},
        {{{"frequency", "yearly"}}, "Samsung SHP", "RRULE:YD1 #0"},
        {{{"frequency", "hourly"}}, "Plain", nullptr},
    };
    for (const auto& c : cases) {
        VXDictionary vx = eventForm({{"start date", start}});
        addSubRecord(vx, "recurrences", c.rule);
        addSubRecord(vx, "recurrences", {{"frequency", QStringLiteral("daily")}});
        const QStringList rules = write(vx, c.protocol).filter(QRegularExpression(QStringLiteral("^RRULE")));
        if (c.expected)
            EXPECT_EQ(rules, QStringList{QString::fromLatin1(c.expected)}) << c.expected;
        else
            EXPECT_TRUE(rules.isEmpty());
    }
}

TEST_F(VCalendarWriterTest, PhoneOnlyValues)
{
    VXDictionary vx = eventForm({{"summary", QStringLiteral("S")}});
    vx.setObject(
        QVariantMap{
            {"X-PLAIN", QStringLiteral("a=b;c")},
            {"X-BREAK", QStringLiteral("first\r\nDTSTART:20990101T000000")},
            {"X-PARAMS",
             QVariantMap{{"Params",
                          QVariantList{QVariantMap{{"Key", "TYPE"}, {"Values", QVariantList{"A"}}},
                                       QVariantMap{{"Key", "ENCODING"}, {"Values", QVariantList{"QUOTED-PRINTABLE"}}}}},
                         {"Data", QStringLiteral("x")}}}},
        VXDictionary::kDeviceItems);
    const QStringList lines = write(vx, "Plain", true);
    EXPECT_TRUE(lines.contains("X-PLAIN:a=b;c"));
    EXPECT_TRUE(lines.contains("X-PARAMS;TYPE=A:x"));
    EXPECT_TRUE(lines.contains("X-BREAK;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:first=0D=0ADTSTART:20990101T000000"));
    EXPECT_TRUE(lines.filter(QRegularExpression(QStringLiteral("^DTSTART"))).isEmpty());
    for (const QString& line : write(vx, "Plain", false))
        EXPECT_FALSE(line.startsWith(QLatin1String("X-")));
    for (const QString& line : write(vx, "Export-Cal", true))
        EXPECT_FALSE(line.startsWith(QLatin1String("X-")));
    // The value with the break reads back whole.
    const auto read = elemsForVCalendarString(createVCalendarForVXDict(&vx, phone("Plain"), true), nullptr);
    ASSERT_TRUE(read);
    const QVariantMap event = read->map().value("Subitems").toList().value(0).toMap();
    EXPECT_EQ(event.value("DeviceSpecific").toMap().value("X-BREAK").toMap().value("Data").toString(),
              "first\r\nDTSTART:20990101T000000");
    EXPECT_FALSE(event.contains("start date"));
    EXPECT_EQ(createVCalendarForVXDict(nullptr, phone("Plain"), true), QString());
}

// Items written for a phone and read back give the same item form fields.
TEST_F(VCalendarWriterTest, RoundTrip)
{
    struct Item {
        const char* what;
        QVariantMap fields;
        QVariantMap alarm;
        QVariantMap rule;
        QString entity = platform::entity::Event;
    };
    const QVariantList weekdays{QStringLiteral("monday"), QStringLiteral("thursday")};
    const Item items[] = {
        {"timed",
         {{"summary", QStringLiteral("Timed")},
          {"start date", localTime(2024, 3, 1, 10)},
          {"end date", localTime(2024, 3, 1, 11, 30)},
          {"location", QStringLiteral("Hall")}},
         {{"triggerdate", localTime(2024, 3, 1, 9, 45)}},
         {{"frequency", "weekly"},
          {"interval", 2},
          {"bydaydays", weekdays},
          {"bydayfreq", QVariantList{0}},
          {"count", 10}}},
        {"all day across summer time",
         allDay(utcTime(2024, 3, 30, 12), 3),
         {},
         {{"frequency", "monthly"}, {"interval", 1}, {"bymonthday", QVariantList{30}}}},
        {"one all-day day on the change",
         allDay(utcTime(2024, 10, 27, 12), 1),
         {},
         {{"frequency", "yearly"}, {"interval", 1}, {"bymonth", QVariantList{10}}, {"count", 5}}},
        {"timed across the change",
         {{"start date", localTime(2024, 3, 30, 22)}, {"end date", localTime(2024, 3, 31, 4)}},
         {{"triggerdate", localTime(2024, 3, 30, 21)}},
         {{"frequency", "daily"}, {"interval", 3}, {"until", localTime(2024, 4, 30, 22)}}},
        {"task",
         {{"summary", QStringLiteral("Do it")},
          {"due date", localTime(2024, 3, 5, 17)},
          {"priority", 3},
          {"status", QStringLiteral("completed")},
          {"completion date", localTime(2024, 3, 4, 12)}},
         {{"triggerdate", localTime(2024, 3, 5, 16)}},
         {{"frequency", "monthly"},
          {"interval", 1},
          {"bydaydays", QVariantList{QStringLiteral("tuesday")}},
          {"bydayfreq", QVariantList{2}}},
         platform::entity::Task},
    };
    for (const char* protocol : {"Plain", "Zoned", "Midnight", "ZeroZero", "Protocol Series 40"}) {
        for (const Item& item : items) {
            VXDictionary vx = eventForm(item.fields, item.entity);
            if (!item.alarm.isEmpty())
                addSubRecord(vx, "display alarms", item.alarm);
            addSubRecord(vx, "recurrences", item.rule);
            const QString text = createVCalendarForVXDict(&vx, phone(protocol), false);
            const auto read = elemsForVCalendarString(text, nullptr);
            ASSERT_TRUE(read) << item.what;
            const QVariantMap parsed = read->map().value("Subitems").toList().value(0).toMap();
            VXDictionary back = vCalendarDictionary2VXDictionary(parsed);
            const QString context = QString::fromLatin1(protocol) + u' ' + QLatin1String(item.what) + u'\n' + text;
            for (auto it = item.fields.cbegin(); it != item.fields.cend(); ++it) {
                // Only "Plain" maps priorities one to one.
                if (it.key() == QLatin1String("priority") && qstrcmp(protocol, "Plain") != 0)
                    continue;
                const QVariant value = back.mainObjectForKey(it.key());
                if (it.value().typeId() == QMetaType::QDateTime)
                    EXPECT_EQ(value.toDateTime(), it.value().toDateTime()) << qPrintable(it.key() + u' ' + context);
                else
                    EXPECT_EQ(value.toString(), it.value().toString()) << qPrintable(it.key() + u' ' + context);
            }
            EXPECT_EQ(back.mainObjectForKey(platform::ISyncRecordEntityNameKey).toString(), item.entity);
            const QString ruleId = back.mainObjectForKey("recurrences").toList().value(0).toString();
            QVariantMap rule = back.otherObjectForKey(ruleId).toMap();
            rule.remove(platform::ISyncRecordEntityNameKey);
            rule.remove("owner");
            QVariantMap expected = item.rule;
            if (expected.contains("until")) {
                EXPECT_EQ(rule.take("until").toDateTime(), expected.take("until").toDateTime()) << qPrintable(context);
            }
            EXPECT_EQ(QVariant(rule).toMap().keys(), expected.keys()) << qPrintable(context);
            for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                EXPECT_EQ(rule.value(it.key()).toString() + rule.value(it.key()).toStringList().join(u','),
                          it.value().toString() + it.value().toStringList().join(u','))
                    << qPrintable(it.key() + u' ' + context);
            if (!item.alarm.isEmpty()) {
                const QString alarmId = back.mainObjectForKey("display alarms").toList().value(0).toString();
                EXPECT_EQ(back.otherObjectForKey(alarmId).toMap().value("triggerdate").toDateTime(),
                          item.alarm.value("triggerdate").toDateTime())
                    << qPrintable(context);
            }
        }
    }
}

} // namespace
