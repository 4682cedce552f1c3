// The Motorola calendar through the organizer kit against the simulated phone
// over the tty ("motorola": extended records, "motorola2": older ones), and
// the command set's records as event dictionaries and back.
#include "EngineTestSupport.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/MotorolaCalendarValues.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaCalendarExt.h"
#include "kestrova/vendors/VendorChains.h"

#include "MotorolaKitFixture.h"
#include "PhoneSimulator.h"

#include <QTimeZone>
#include <ctime>
#include <gtest/gtest.h>

using namespace coretest;
using phonesim::MotorolaCalendarEvent;
using phonesim::PhoneSession;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

// The machine's time zone for the life of the object.
class CalendarZone {
public:
    explicit CalendarZone(const char* zone) : _old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~CalendarZone()
    {
        if (_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", _old);
        tzset();
    }
    CalendarZone(const CalendarZone&) = delete;
    CalendarZone& operator=(const CalendarZone&) = delete;

private:
    QByteArray _old;
};

struct CalendarCallback : organizerKitAsync {
    QList<std::optional<QVariantMap>> reads;
    QList<int> readCodes;
    QList<float> progress;
    QList<std::optional<QVariantMap>> writes;
    QList<int> writeCodes;

    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        reads.append(data);
        readCodes.append(code);
    }
    void organizerKitCalendarActionDone(Kestrova*, float done) override { progress.append(done); }
    void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        writes.append(data);
        writeCodes.append(code);
    }
};

QDateTime localAt(int year, int month, int day, int hour = 10, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::LocalTime);
}

// An event dictionary as the kit takes it.
QVariantMap calendarEvent(const QString& summary, const QDateTime& start, const QVariantMap& recurrence = {},
                          const QVariantMap& extra = {})
{
    QVariantMap event{{QStringLiteral("summary"), summary},
                      {QStringLiteral("start date"), start},
                      {QStringLiteral("end date"), start.addSecs(3600)}};
    QVariantMap entry{{QStringLiteral("event"), event}};
    if (!recurrence.isEmpty())
        entry.insert(QStringLiteral("recurrence"), recurrence);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        entry.insert(it.key(), it.value());
    return entry;
}

// The fields of a stored extended record: slot, summary, start, end.
MotorolaCalendarEvent storedEvent(int slot, const QString& summary, const QString& date = QStringLiteral("03-04-2026"))
{
    MotorolaCalendarEvent e;
    e.slot = slot;
    e.fields = QStringList{QString::number(slot),
                           summary,
                           QStringLiteral("1"),
                           QStringLiteral("0"),
                           QStringLiteral("10:00"),
                           date,
                           QString(),
                           QStringLiteral("06:28"),
                           QStringLiteral("02-06-2088"),
                           QStringLiteral("0"),
                           QStringLiteral("11:00"),
                           date,
                           QString(),
                           QStringLiteral("3"),
                           QString(),
                           QString(),
                           QStringLiteral("501"),
                           QStringLiteral("0"),
                           QStringLiteral("0"),
                           QString(),
                           QStringLiteral("00-00-2000")};
    return e;
}

class MotorolaCalendarTest : public MotorolaKitFixture<CalendarCallback> {
protected:
    void start(const char* profile, QList<QByteArray> offered = {"GSM", "UCS2"}, int slots = 10)
    {
        startPhone(profile, [&](PhoneSession& s) {
            s.characterSet.offered = offered;
            s.motorolaCalendar.slotCount = slots;
        });
    }
    void store(const MotorolaCalendarEvent& event)
    {
        sim->modifySession([&](PhoneSession& s) { s.motorolaCalendar.events.insert(event.slot, event); });
    }
    std::optional<QVariantMap> read() { return readWith(&Kestrova::getCalendarEntries); }
    std::optional<QVariantMap> write(const QVariantMap& entries)
    {
        return writeWith(&Kestrova::writeCalendarEntries, entries);
    }
};

} // namespace

TEST_F(MotorolaCalendarTest, OpensReadsInBatchesAndClosesTheCalendar)
{
    const struct {
        const char* profile;
        QStringList session;
        QStringList ranges;
        QList<float> progress;
    } cases[] = {
        {"motorola",
         {QStringLiteral("at+cclk?"), QStringLiteral("at+mode=2"), QStringLiteral("at+msyn=1"),
          QStringLiteral("AT+CSCS?"), QStringLiteral("AT+CSCS=?"), QStringLiteral("AT+CSCS=\"UCS2\""),
          QStringLiteral("at+msyn=0"), QStringLiteral("at+mode=0"), QStringLiteral("AT+CSCS=\"GSM\"")},
         {QStringLiteral("AT+MDBR=0,49"), QStringLiteral("AT+MDBR=50,99")},
         {49.0f / 99.0f, 1.0f}},
        {"motorola2",
         {QStringLiteral("at+cclk?"), QStringLiteral("at+mode=2"), QStringLiteral("at+mdbl=1"),
          QStringLiteral("at+msyn=1"), QStringLiteral("AT+CSCS?"), QStringLiteral("AT+CSCS=?"),
          QStringLiteral("AT+CSCS=\"UCS2\""), QStringLiteral("at+mdbl=0"), QStringLiteral("at+msyn=0"),
          QStringLiteral("at+mode=0"), QStringLiteral("AT+CSCS=\"GSM\"")},
         {QStringLiteral("AT+MDBR=0,24"), QStringLiteral("AT+MDBR=25,49"), QStringLiteral("AT+MDBR=50,74"),
          QStringLiteral("AT+MDBR=75,99")},
         {24.0f / 99.0f, 49.0f / 99.0f, 74.0f / 99.0f, 1.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        CalendarZone zone("Europe/Berlin");
        callback = CalendarCallback();
        start(c.profile, {"GSM", "UCS2"}, 100);
        MotorolaCalendarEvent stored = storedEvent(60, QStringLiteral("Dentist"));
        if (QLatin1String(c.profile) == QLatin1String("motorola2"))
            stored.fields = QStringList{QStringLiteral("60"), QStringLiteral("Dentist"), QStringLiteral("1"),
                                        QStringLiteral("0"),  QStringLiteral("10:00"),   QStringLiteral("03-04-2026"),
                                        QStringLiteral("60"), QStringLiteral("06:28"),   QStringLiteral("00-00-2000"),
                                        QStringLiteral("0")};
        store(stored);
        const std::optional<QVariantMap> events = read();
        ASSERT_TRUE(events.has_value());
        EXPECT_EQ(callback.readCodes, QList<int>{0});
        EXPECT_EQ(linesStartingWith({"at+cclk", "at+mode", "at+mdbl", "at+msyn", "AT+CSCS"}), c.session);
        QStringList ranges = linesStartingWith({"AT+MDBR="});
        EXPECT_EQ(ranges.takeFirst(), QStringLiteral("at+mdbr=?"));
        EXPECT_EQ(ranges, c.ranges);
        EXPECT_EQ(callback.progress, c.progress);
        ASSERT_EQ(events->keys(), QStringList{QStringLiteral("60")});
        const QVariantMap event = events->value(QStringLiteral("60")).toMap().value(QStringLiteral("event")).toMap();
        EXPECT_EQ(event.value(QStringLiteral("summary")).toString(), QStringLiteral("Dentist"));
        EXPECT_EQ(event.value(QStringLiteral("start date")).toDateTime(), localAt(2026, 3, 4));
        EXPECT_EQ(event.value(QStringLiteral("end date")).toDateTime(), localAt(2026, 3, 4, 11));
        const PhoneSession after = sim->session();
        EXPECT_EQ(after.motorola.mode, 0);
        EXPECT_FALSE(after.motorolaCalendar.locked);
        EXPECT_EQ(after.characterSet.current, QByteArray("GSM"));
        kit.fullStop();
    }
}

TEST_F(MotorolaCalendarTest, UnusableSlotCountsEndTheReadAtOnce)
{
    for (int slots : {2147483647, 10001, 1, 0}) {
        SCOPED_TRACE(slots);
        callback = CalendarCallback();
        KitLogCapture log;
        start("motorola", {"GSM"}, slots);
        kit.getCalendarEntries();
        ASSERT_TRUE(wait([&] { return !callback.reads.isEmpty(); }));
        EXPECT_FALSE(callback.reads.first().has_value());
        EXPECT_EQ(callback.readCodes, QList<int>{-1});
        QStringList ranges = linesStartingWith({"AT+MDBR="});
        EXPECT_EQ(ranges, QStringList{QStringLiteral("at+mdbr=?")});
        EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QLatin1String("; not read")));
        kit.fullStop();
    }
}

// Each event is written in the layout of the family, sent as it is, and read
// back by the matching parser.
TEST_F(MotorolaCalendarTest, RecordsAsWrittenAndReadBack)
{
    using kestrova::vendors::motorolacalendar::getLocalTimeZoneOnDate;
    const QString weekly = QStringLiteral("weekly");
    const auto days = [](std::initializer_list<const char*> names) {
        QVariantList list;
        for (const char* name : names)
            list.append(QLatin1String(name));
        return list;
    };
    const struct {
        const char* name;
        const char* family;
        const char* zone;
        QVariantMap entry;
        // Fields of the record (index -> text) and keys of the event read back.
        QMap<int, QString> fields;
        QVariantMap recurrence;
    } cases[] = {
        {"weekly Wednesday and Friday",
         "motorola",
         "Europe/Berlin",
         calendarEvent(
             QStringLiteral("Gym"), localAt(2026, 3, 4),
             {{QStringLiteral("frequency"), weekly}, {QStringLiteral("bydaydays"), days({"wednesday", "friday"})}}),
         {{9, QStringLiteral("2")}, {17, QStringLiteral("1")}, {18, QStringLiteral("80")}},
         {{QStringLiteral("frequency"), weekly},
          {QStringLiteral("interval"), 1},
          {QStringLiteral("bydaydays"), days({"wednesday", "friday"})},
          {QStringLiteral("bydayfreq"), QVariantList{0, 0}}}},
        {"monthly second Tuesday",
         "motorola",
         "Europe/Berlin",
         calendarEvent(QStringLiteral("Board"), localAt(2026, 3, 10),
                       {{QStringLiteral("frequency"), QStringLiteral("monthly")},
                        {QStringLiteral("bydaydays"), days({"tuesday"})},
                        {QStringLiteral("bydayfreq"), QVariantList{2}}}),
         {{9, QStringLiteral("3")}, {18, QStringLiteral("18")}},
         {{QStringLiteral("frequency"), QStringLiteral("monthly")},
          {QStringLiteral("interval"), 1},
          {QStringLiteral("bydaydays"), days({"tuesday"})},
          {QStringLiteral("bydayfreq"), QVariantList{2}}}},
        {"monthly second Tuesday, older layout",
         "motorola2",
         "Europe/Berlin",
         calendarEvent(QStringLiteral("Board"), localAt(2026, 3, 10),
                       {{QStringLiteral("frequency"), QStringLiteral("monthly")},
                        {QStringLiteral("bydaydays"), days({"tuesday"})},
                        {QStringLiteral("bydayfreq"), QVariantList{2}}}),
         {{9, QStringLiteral("4")}, {7, QStringLiteral("\"06:28\"")}, {8, QStringLiteral("\"00-00-2000\"")}},
         {{QStringLiteral("frequency"), QStringLiteral("monthly")},
          {QStringLiteral("interval"), 1},
          {QStringLiteral("bydaydays"), days({"tuesday"})},
          {QStringLiteral("bydayfreq"), QVariantList{2}}}},
        {"yearly second Tuesday of March",
         "motorola",
         "Europe/Berlin",
         calendarEvent(QStringLiteral("Fair"), localAt(2026, 3, 10),
                       {{QStringLiteral("frequency"), QStringLiteral("yearly")},
                        {QStringLiteral("bydaydays"), days({"tuesday"})},
                        {QStringLiteral("bydayfreq"), QVariantList{2}}}),
         {{9, QStringLiteral("5")}, {17, QStringLiteral("0")}, {18, QStringLiteral("18")}},
         {{QStringLiteral("frequency"), QStringLiteral("yearly")},
          {QStringLiteral("interval"), 1},
          {QStringLiteral("bydaydays"), days({"tuesday"})},
          {QStringLiteral("bydayfreq"), QVariantList{2}},
          {QStringLiteral("byMonth"), QVariantList{3}}}},
        {"no alarm, no repeat end, anniversary",
         "motorola",
         "Europe/Berlin",
         calendarEvent(QStringLiteral("Wedding"), localAt(2026, 6, 1),
                       {{QStringLiteral("frequency"), QStringLiteral("daily")}},
                       {{QStringLiteral("event-class"), QStringLiteral("Anniversary")}}),
         {{3, QStringLiteral("0")},
          {7, QStringLiteral("\"06:28\"")},
          {8, QStringLiteral("\"02-06-2088\"")},
          {13, QStringLiteral("5")},
          {16, QStringLiteral("501")},
          {20, QStringLiteral("\"00-00-2000\"")}},
         {{QStringLiteral("frequency"), QStringLiteral("daily")}, {QStringLiteral("interval"), 1}}},
        {"a past repeat end, telephone call",
         "motorola",
         "Europe/Berlin",
         calendarEvent(QStringLiteral("Call"), localAt(2020, 1, 6),
                       {{QStringLiteral("frequency"), QStringLiteral("daily")},
                        {QStringLiteral("until"), QDateTime(QDate(2020, 2, 1), QTime(23, 59, 59), Qt::LocalTime)}},
                       {{QStringLiteral("event-class"), QStringLiteral("telephone call")}}),
         {{13, QStringLiteral("6")}, {20, QStringLiteral("\"02-01-2020\"")}},
         {{QStringLiteral("frequency"), QStringLiteral("daily")},
          {QStringLiteral("interval"), 1},
          {QStringLiteral("until"), QDateTime(QDate(2020, 2, 1), QTime(23, 59, 59), Qt::LocalTime)}}},
        {"3:30 behind GMT",
         "motorola",
         "America/St_Johns",
         calendarEvent(QStringLiteral("Ferry"), localAt(2026, 1, 15, 8, 45), {},
                       {{QStringLiteral("DisplayAlarm"),
                         QVariantMap{{QStringLiteral("triggerdate"), localAt(2026, 1, 15, 8, 30)}}}}),
         {{3, QStringLiteral("1")},
          {4, QStringLiteral("\"08:45\"")},
          {7, QStringLiteral("\"08:30\"")},
          {9, QStringLiteral("0")}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CalendarZone zone(c.zone);
        SLTCommDevice engine;
        engine.setFamily(QLatin1String(c.family));
        engine.setCurrentEncoding(QStringLiteral("GSM"));
        auto& commands = engine.extension<SLTCommDeviceMotorolaCalendarExt>();
        const bool older = QLatin1String(c.family) == QLatin1String("motorola2");
        QVariantMap placed = c.entry;
        placed.insert(QStringLiteral("slot"), QStringLiteral("4"));
        const QString record = older ? commands.createOldMotorolaWriteStringForEntry(placed)
                                     : commands.createWriteStringForEntry(placed);
        const QStringList fields = record.split(QLatin1Char(','));
        ASSERT_EQ(fields.size(), older ? 10 : 21) << record.toStdString();
        for (auto it = c.fields.cbegin(); it != c.fields.cend(); ++it)
            EXPECT_EQ(fields.at(it.key()), it.value()) << "field " << it.key();
        const QString line = QStringLiteral("+MDBR: ") + record;
        const std::optional<QVariantMap> back = older ? commands.parseOldMotorolaCalendarLine(line)
                                                      : commands.parseMotorolaCalendarLine(line);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->value(QStringLiteral("slot")).toString(), QStringLiteral("4"));
        EXPECT_EQ(back->value(QStringLiteral("recurrence")).toMap(), c.recurrence);
        const QVariantMap event = back->value(QStringLiteral("event")).toMap();
        const QVariantMap given = c.entry.value(QStringLiteral("event")).toMap();
        EXPECT_EQ(event.value(QStringLiteral("summary")), given.value(QStringLiteral("summary")));
        EXPECT_EQ(event.value(QStringLiteral("start date")).toDateTime(),
                  given.value(QStringLiteral("start date")).toDateTime());
        EXPECT_EQ(event.value(QStringLiteral("end date")).toDateTime(),
                  given.value(QStringLiteral("end date")).toDateTime());
        if (c.entry.contains(QStringLiteral("event-class")))
            EXPECT_EQ(back->value(QStringLiteral("event-class")).toString(),
                      c.entry.value(QStringLiteral("event-class")).toString().toLower());
        EXPECT_EQ(back->value(QStringLiteral("DisplayAlarm")), c.entry.value(QStringLiteral("DisplayAlarm")));
        if (QLatin1String(c.zone) == QLatin1String("America/St_Johns"))
            EXPECT_EQ(getLocalTimeZoneOnDate(localAt(2026, 1, 15)), QStringLiteral("-0330"));
    }
}

TEST_F(MotorolaCalendarTest, MonthWeekdayValuesAndAllDayEventsAsRead)
{
    CalendarZone zone("America/St_Johns");
    SLTCommDevice engine;
    engine.setFamily(QStringLiteral("motorola"));
    engine.setCurrentEncoding(QStringLiteral("GSM"));
    auto& commands = engine.extension<SLTCommDeviceMotorolaCalendarExt>();
    const struct {
        int value;
        const char* day;
        int week;
    } values[] = {{18, "tuesday", 2}, {3, "sunday", 3}, {53, "saturday", 5}};
    for (const auto& v : values) {
        const QString line = QStringLiteral("+MDBR: 1,\"M\",1,0,\"10:00\",\"03-10-2026\",,\"06:28\",\"02-06-2088\",3,"
                                            "\"11:00\",\"03-10-2026\",\"\",0,,,501,1,%1,,\"00-00-2000\"")
                                 .arg(v.value);
        const QVariantMap recurrence =
            commands.parseMotorolaCalendarLine(line)->value(QStringLiteral("recurrence")).toMap();
        EXPECT_EQ(recurrence.value(QStringLiteral("bydaydays")).toList(), QVariantList{QLatin1String(v.day)})
            << v.value;
        EXPECT_EQ(recurrence.value(QStringLiteral("bydayfreq")).toList(), QVariantList{v.week}) << v.value;
    }
    // An all-day event goes out at 00:00 and comes back in the zone "0".
    QVariantMap entry = calendarEvent(QStringLiteral("Holiday"), QDateTime(QDate(2026, 1, 15), QTime(0, 0), Qt::UTC));
    QVariantMap event = entry.value(QStringLiteral("event")).toMap();
    event.insert(QStringLiteral("all day"), true);
    event.insert(QStringLiteral("end date"), QDateTime(QDate(2026, 1, 16), QTime(0, 0), Qt::UTC));
    entry.insert(QStringLiteral("event"), event);
    const QString record = commands.createWriteStringForEntry(entry);
    const QStringList fields = record.split(QLatin1Char(','));
    EXPECT_EQ(fields.mid(2, 4),
              (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("\"00:00\""),
                           QStringLiteral("\"01-15-2026\"")}));
    const QVariantMap back =
        commands.parseMotorolaCalendarLine(QStringLiteral("+MDBR: 2") + record)->value(QStringLiteral("event")).toMap();
    EXPECT_EQ(back.value(QStringLiteral("all day")), QVariant(true));
    EXPECT_EQ(back.value(QStringLiteral("start date")).toDateTime().offsetFromUtc(), 0);
    EXPECT_EQ(back.value(QStringLiteral("start date")).toDateTime(),
              event.value(QStringLiteral("start date")).toDateTime());
    EXPECT_EQ(back.value(QStringLiteral("end date")).toDateTime(),
              event.value(QStringLiteral("end date")).toDateTime());
}

TEST_F(MotorolaCalendarTest, UnusableRecordsAreSkippedAndTheReadGoesOn)
{
    CalendarZone zone("Europe/Berlin");
    KitLogCapture log;
    start("motorola", {"GSM"});
    store(storedEvent(1, QStringLiteral("Kept")));
    sim->modifySession([](PhoneSession& s) {
        s.motorolaCalendar.rawRecords.insert(2, "+MDBR: 2,\"Short\",1,0,\"10:00\"");
        s.motorolaCalendar.rawRecords.insert(
            3,
            "+MDBR: "
            "3,\"Bad\",1,0,\"25:99\",\"13-45-2026\",,\"06:28\",\"02-06-2088\",0,\"11:00\",\"03-04-2026\",\"\",0,,,"
            "501,0,0,,\"00-00-2000\"");
        s.motorolaCalendar.rawRecords.insert(4, "+MDBR: x,\"NoSlot\"");
    });
    const std::optional<QVariantMap> events = read();
    ASSERT_TRUE(events.has_value());
    EXPECT_EQ(events->keys(), QStringList{QStringLiteral("1")});
    EXPECT_EQ(callback.readCodes, QList<int>{0});
    EXPECT_EQ(log.lines().filter(QStringLiteral("record skipped")).size(), 3);
}

// Texts that hold the separator, a quote, a line break or "@" come back as
// one field each in both sets the kit chooses.
TEST_F(MotorolaCalendarTest, TextsComeBackWholeInEverySet)
{
    CalendarZone zone("Europe/Berlin");
    for (const QByteArray& set : {QByteArray("GSM"), QByteArray("UCS2")}) {
        SCOPED_TRACE(set.toStdString());
        callback = CalendarCallback();
        start("motorola", {"GSM", set});
        ASSERT_TRUE(read().has_value());
        QVariantMap withTexts = calendarEvent(QStringLiteral("Lunch, 1pm"), localAt(2026, 3, 4));
        QVariantMap event = withTexts.value(QStringLiteral("event")).toMap();
        event.insert(QStringLiteral("location"), QStringLiteral("Caf\u00e9 \"Zum\"\r\nHof"));
        event.insert(QStringLiteral("description"), QStringLiteral("mail anna@example.org"));
        withTexts.insert(QStringLiteral("event"), event);
        const std::optional<QVariantMap> outcomes = write(
            {{QStringLiteral("T-1"), withTexts},
             {QStringLiteral("T-2"), calendarEvent(QStringLiteral("@home"), localAt(2026, 3, 5))}});
        ASSERT_TRUE(outcomes.has_value());
        EXPECT_EQ(
            *outcomes,
            (QVariantMap{{QStringLiteral("T-1"), QStringLiteral("0")}, {QStringLiteral("T-2"), QStringLiteral("1")}}));
        EXPECT_EQ(linesStartingWith({"at+mdbw="}).size(), 2);
        const std::optional<QVariantMap> events = read();
        ASSERT_TRUE(events.has_value());
        const QVariantMap first = events->value(QStringLiteral("0")).toMap().value(QStringLiteral("event")).toMap();
        EXPECT_EQ(first.value(QStringLiteral("summary")).toString(), QStringLiteral("Lunch, 1pm"));
        // Hex digits carry any text; a quoted text has its quotes and line
        // breaks replaced.
        EXPECT_EQ(first.value(QStringLiteral("location")).toString(),
                  set == "UCS2" ? QStringLiteral("Caf\u00e9 \"Zum\"\r\nHof") : QStringLiteral("Caf\u00e9 'Zum'  Hof"));
        EXPECT_EQ(first.value(QStringLiteral("description")).toString(), QStringLiteral("mail anna@example.org"));
        const QVariantMap second = events->value(QStringLiteral("1")).toMap().value(QStringLiteral("event")).toMap();
        EXPECT_EQ(second.value(QStringLiteral("summary")).toString(), QStringLiteral("@home"));
        kit.fullStop();
    }
}

TEST_F(MotorolaCalendarTest, WritesUseTheFreeSlotsOfTheLastRead)
{
    CalendarZone zone("Europe/Berlin");
    start("motorola", {"GSM"}, 4);
    for (int slot : {0, 2})
        store(storedEvent(slot, QStringLiteral("Old %1").arg(slot)));
    ASSERT_TRUE(read().has_value());
    // Free: 1 (slot 3, the last one, never is). Deleting 0 puts it behind 1.
    const QVariantMap changed = calendarEvent(QStringLiteral("Moved"), localAt(2026, 5, 1));
    const std::optional<QVariantMap> outcomes = write(
        {{QStringLiteral("0"), QVariantMap()},
         {QStringLiteral("2"), changed},
         {QStringLiteral("T-a"), calendarEvent(QStringLiteral("New A"), localAt(2026, 5, 2))},
         {QStringLiteral("T-b"), calendarEvent(QStringLiteral("New B"), localAt(2026, 5, 3))},
         {QStringLiteral("T-c"), calendarEvent(QStringLiteral("New C"), localAt(2026, 5, 4))}});
    ASSERT_TRUE(outcomes.has_value());
    EXPECT_EQ(callback.writeCodes, QList<int>{0});
    EXPECT_EQ(*outcomes,
              (QVariantMap{{QStringLiteral("0"), QStringLiteral("deleted")},
                           {QStringLiteral("2"), QStringLiteral("changed")},
                           {QStringLiteral("T-a"), QStringLiteral("1")},
                           {QStringLiteral("T-b"), QStringLiteral("0")}}));
    EXPECT_EQ(callback.progress.mid(callback.progress.size() - 5), (QList<float>{0.0f, 0.2f, 0.4f, 0.6f, 0.8f}));
    const PhoneSession after = sim->session();
    EXPECT_EQ(after.motorolaCalendar.events.keys(), (QList<int>{0, 1, 2}));
    EXPECT_EQ(after.motorolaCalendar.events.value(0).fields.at(1), QStringLiteral("New B"));
    EXPECT_EQ(after.motorolaCalendar.events.value(2).fields.at(1), QStringLiteral("Moved"));
    EXPECT_TRUE(linesStartingWith({"at+mdbwe=0,0,0"}).size() == 1);
}

TEST_F(MotorolaCalendarTest, ARefusedWriteKeepsItsSlotFree)
{
    CalendarZone zone("Europe/Berlin");
    KitLogCapture log;
    start("motorola", {"GSM"}, 4);
    store(storedEvent(2, QStringLiteral("Old")));
    ASSERT_TRUE(read().has_value());
    sim->modifySession([](PhoneSession& s) { s.motorolaCalendar.refusedWrites = 1; });
    const std::optional<QVariantMap> outcomes = write(
        {{QStringLiteral("2"), calendarEvent(QStringLiteral("Refused"), localAt(2026, 5, 1))},
         {QStringLiteral("T-1"), calendarEvent(QStringLiteral("First"), localAt(2026, 5, 2))},
         {QStringLiteral("T-2"), calendarEvent(QStringLiteral("Second"), localAt(2026, 5, 3))},
         {QStringLiteral("T-3"), calendarEvent(QStringLiteral("No room"), localAt(2026, 5, 4))},
         {QStringLiteral("bad\r"), QVariantMap{{QStringLiteral("x"), 1}}}});
    ASSERT_TRUE(outcomes.has_value());
    EXPECT_EQ(callback.writeCodes, QList<int>{0});
    EXPECT_EQ(
        *outcomes,
        (QVariantMap{{QStringLiteral("T-1"), QStringLiteral("0")}, {QStringLiteral("T-2"), QStringLiteral("1")}}));
    EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QLatin1String("no free slot for T-3")));
    EXPECT_EQ(sim->session().motorolaCalendar.events.value(2).fields.at(1), QStringLiteral("Old"));
    EXPECT_EQ(linesStartingWith({"at+mdbw"}).filter(QStringLiteral("bad")), QStringList());

    // A new event refused by the phone leaves its slot to the next one.
    kit.fullStop();
    callback = CalendarCallback();
    start("motorola", {"GSM"}, 3);
    ASSERT_TRUE(read().has_value());
    sim->modifySession([](PhoneSession& s) { s.motorolaCalendar.refusedWrites = 1; });
    const std::optional<QVariantMap> retried = write(
        {{QStringLiteral("T-1"), calendarEvent(QStringLiteral("Refused"), localAt(2026, 5, 1))},
         {QStringLiteral("T-2"), calendarEvent(QStringLiteral("Taken"), localAt(2026, 5, 2))}});
    ASSERT_TRUE(retried.has_value());
    EXPECT_EQ(*retried, (QVariantMap{{QStringLiteral("T-2"), QStringLiteral("0")}}));
    EXPECT_EQ(linesStartingWith({"at+mdbw="}).size(), 2);
}

TEST_F(MotorolaCalendarTest, ALostLinkEndsTheWriteWithWhatWasDone)
{
    CalendarZone zone("Europe/Berlin");
    start("motorola", {"GSM"}, 10);
    store(storedEvent(3, QStringLiteral("A")));
    store(storedEvent(4, QStringLiteral("B")));
    ASSERT_TRUE(read().has_value());
    sim->clearReceived();
    sim->holdAnswersTo("+MDBWE");
    kit.writeCalendarEntries({{QStringLiteral("3"), QVariantMap()}, {QStringLiteral("4"), QVariantMap()}});
    ASSERT_TRUE(wait([&] { return linesStartingWith({"at+mdbwe"}).size() == 1; }));
    sim->releaseHeldAnswers();
    sim->holdAnswersTo("+MDBWE");
    ASSERT_TRUE(wait([&] { return linesStartingWith({"at+mdbwe"}).size() == 2; }));
    sim->stop();
    ASSERT_TRUE(wait([&] { return !callback.writes.isEmpty(); }));
    EXPECT_EQ(callback.writeCodes, QList<int>{-2});
    EXPECT_EQ(callback.writes.first(), (QVariantMap{{QStringLiteral("3"), QStringLiteral("deleted")}}));
}
