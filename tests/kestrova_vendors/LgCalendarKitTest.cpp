// The LG calendar and tasks through the organizer kit against the simulated
// phone, over a pseudo-terminal and over RFCOMM (simulated Bluetooth).
#include "CoreTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/KestrovaLgCalendarExt.h"
#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgTaskRecord.h"
#include "kestrova/vendors/VendorChains.h"

#include "LgCalendar.h"
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

#include <ctime>

using coretest::hex;
using coretest::KitLogCapture;
using phonesim::LgCalendar;
using phonesim::LgPort;
using platform::BluetoothStack;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QString kCalendarPhone = QStringLiteral("00:1c:62:aa:bb:cd");

struct CalendarOutcome {
    std::optional<QVariantMap> data;
    int code = 1;
};

struct LgCalendarCallback : organizerKitAsync {
    QList<CalendarOutcome> reads;
    QList<CalendarOutcome> taskReads;
    QList<CalendarOutcome> writes;
    QList<float> progress;
    Kestrova* abortOnProgress = nullptr;
    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        reads.append({d, c});
    }
    void organizerKitTasksRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        taskReads.append({d, c});
    }
    void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        writes.append({d, c});
    }
    void organizerKitCalendarActionDone(Kestrova*, float p) override
    {
        progress.append(p);
        if (abortOnProgress && p > 0.0f && p < 1.0f)
            std::exchange(abortOnProgress, nullptr)->abortActionAsync();
    }
    void organizerKitTasksActionDone(Kestrova*, float p) override { progress.append(p); }
};

QVariantMap calendarKitEvent(const char* summary, int day, int hour)
{
    const QDateTime start(QDate(2024, 4, day), QTime(hour, 0));
    return {{QStringLiteral("event"),
             QVariantMap{{QStringLiteral("summary"), QLatin1String(summary)},
                         {QStringLiteral("start date"), start},
                         {QStringLiteral("end date"), start.addSecs(3600)}}}};
}

QVariantMap calendarKitTask(const char* summary, int priority)
{
    return {{QStringLiteral("task"),
             QVariantMap{{QStringLiteral("summary"), QLatin1String(summary)},
                         {QStringLiteral("priority"), priority},
                         {QStringLiteral("status"), QStringLiteral("processing")}}}};
}

class LgCalendarKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kestrova::vendors::registerVendorChains();
        _oldZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void TearDown() override
    {
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
        if (_oldZone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", _oldZone);
        tzset();
    }

    void connect(const char* profile, const char* family, bool rfcomm = false)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        kit = std::make_unique<Kestrova>();
        kit->setCallback(&cb);
        kit->setFamily(QLatin1String(family));
        if (rfcomm) {
            shareAsBluetoothPhone(*sim, QLatin1String(profile), kCalendarPhone);
            kit->setAddressString(kCalendarPhone);
        } else {
            ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
            kit->setFilename(sim->slavePath());
        }
    }
    void storeEvent(int slot, const QVariantMap& entry)
    {
        const QByteArray command = hex("FF 12 83 00 00 00 00 00 FF 03")
            + kestrova::lg::lgViewtyCalendarCreateRawDataForDict(entry, 1);
        sim->modifyLgCalendar(
            [&](LgCalendar& c) { c.events.insert(slot, c.bodyFromWrite(LgCalendar::kCalendar, command)); });
    }
    void storeTask(int slot, const QVariantMap& entry)
    {
        const QByteArray command = hex("FF 13 83 00 00 00 00 00 FF 03")
            + kestrova::lg::lgViewtyTaskCreateRawDataForDict(entry, 1);
        sim->modifyLgCalendar(
            [&](LgCalendar& c) { c.tasks.insert(slot, c.bodyFromWrite(LgCalendar::kTasks, command)); });
    }
    template <typename Start>
    CalendarOutcome await(QList<CalendarOutcome>& list, Start start)
    {
        start();
        EXPECT_TRUE(runUntil([&] { return !list.isEmpty(); }, 120.0, 0.05));
        runUntil([] { return false; }, 0.3, 0.05);
        EXPECT_EQ(list.size(), 1);
        return list.value(0);
    }
    CalendarOutcome readCalendar()
    {
        return await(cb.reads, [&] { kit->getCalendarEntries(); });
    }
    CalendarOutcome readTasks()
    {
        return await(cb.taskReads, [&] { kit->getTasks(); });
    }
    CalendarOutcome write(const QVariantMap& list)
    {
        return await(cb.writes, [&] { kit->writeCalendarEntries(list); });
    }
    // The calendar and tasks commands the phone received.
    QList<QByteArray> organizerCommands() const { return sim->lgCalendar().commands; }

    OutsideInputScope outside;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<Kestrova> kit;
    LgCalendarCallback cb;

private:
    QByteArray _oldZone;
};

} // namespace

TEST_F(LgCalendarKitTest, ReadsEventsAndTasksPerFamilyAndLink)
{
    const struct {
        const char* profile;
        const char* family;
        bool rfcomm;
    } cases[] = {
        {"lg", "lg", false},  {"lg2", "lg2", false}, {"lg3", "lg3", false},         {"lg", "lg", true},
        {"lg2", "lg2", true}, {"lg3", "lg3", true},  {"lggd900", "lgGD900", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.family) + (c.rfcomm ? " rfcomm" : " tty"));
        cb = LgCalendarCallback();
        connect(c.profile, c.family, c.rfcomm);
        storeEvent(3, calendarKitEvent("Dentist", 2, 9));
        storeEvent(12, calendarKitEvent("Lunch", 5, 12));
        storeTask(4, calendarKitTask("Call", 5));
        const CalendarOutcome events = readCalendar();
        ASSERT_TRUE(events.data);
        EXPECT_EQ(events.code, 0);
        EXPECT_EQ(*events.data,
                  (QVariantMap{{QStringLiteral("3-E"), calendarKitEvent("Dentist", 2, 9)},
                               {QStringLiteral("12-E"), calendarKitEvent("Lunch", 5, 12)}}));
        const CalendarOutcome tasks = readTasks();
        ASSERT_TRUE(tasks.data);
        EXPECT_EQ(tasks.code, 0);
        EXPECT_EQ(*tasks.data, (QVariantMap{{QStringLiteral("4-T"), calendarKitTask("Call", 5)}}));
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
}

TEST_F(LgCalendarKitTest, ThirtyEventsReportProgressBeforeEachStep)
{
    connect("lg", "lg");
    for (int slot = 1; slot <= 30; ++slot)
        storeEvent(slot, calendarKitEvent("E", 1 + slot % 28, 8));
    const CalendarOutcome outcome = readCalendar();
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.data->size(), 30);
    // Read and acknowledge per entry, the prepare and the last acknowledge:
    // n / (n + 10) twice for every n below 30, once for 30, then 1.0.
    QList<float> expected;
    for (int n = 0; n <= 30; ++n)
        for (int i = n == 0 || n == 30 ? 1 : 0; i < 2; ++i)
            expected.append(float(n) / float(n + 10));
    expected.insert(0, 0.0f);
    expected.append(1.0f);
    EXPECT_EQ(cb.progress, expected);

    const QList<QByteArray> commands = organizerCommands();
    ASSERT_GE(commands.size(), 3);
    const auto shape = [](const QByteArray& c) { return QByteArray(c.left(3) + c.mid(4)); };
    EXPECT_EQ(shape(commands[0]), hex("FF 12 91 00 00 12 00 FF 11 01 12 00 00 00 00 00 00"));
    EXPECT_EQ(shape(commands[1]), hex("FF 12 93 00 00 12 00 FF 13 02 12 00 00 00 00 00 00"));
    EXPECT_EQ(shape(commands[2]), hex("FF 12 92 00 00 12 00 FF 12 03 12 00 00 00 00 00 00"));
    EXPECT_EQ(quint8(commands[1][3]), quint8(commands[0][3]) + 1);
}

TEST_F(LgCalendarKitTest, WritesNewReplacedAndDeletedEventsAndTasks)
{
    for (const auto& [profile, family, model] : {std::tuple{"lg", "lg", 2}, std::tuple{"lggd900", "lgGD900", 8}}) {
        SCOPED_TRACE(family);
        cb = LgCalendarCallback();
        connect(profile, family);
        storeEvent(3, calendarKitEvent("Old", 2, 9));
        storeEvent(5, calendarKitEvent("Keep", 3, 9));
        storeTask(8, calendarKitTask("Gone", 1));
        KitLogCapture log;
        const QVariantMap list{
            {QStringLiteral("T-1"), calendarKitEvent("New", 7, 10)},
            {QStringLiteral("T-2"), calendarKitTask("Todo", 9)},
            {QStringLiteral("3-E"), calendarKitEvent("Changed", 2, 11)},
            {QStringLiteral("8-T"), QVariantMap()},
            {QStringLiteral("9-E"), QVariantMap()},
            {QStringLiteral("x-E"), calendarKitEvent("Nowhere", 1, 1)},
        };
        const CalendarOutcome outcome = write(list);
        ASSERT_TRUE(outcome.data);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(*outcome.data,
                  (QVariantMap{{QStringLiteral("T-1"), QVariantMap{{QStringLiteral("1-E"), list.value("T-1")}}},
                               {QStringLiteral("T-2"), QVariantMap{{QStringLiteral("1-T"), list.value("T-2")}}},
                               {QStringLiteral("3-E"), QVariantMap{{QStringLiteral("3-E"), list.value("3-E")}}},
                               {QStringLiteral("8-T"), QStringLiteral("deleted")}}));
        EXPECT_TRUE(log.contains(QStringLiteral("LG calendar: key x-E names no slot; entry left alone")));
        const LgCalendar phone = sim->lgCalendar();
        EXPECT_EQ(phone.events.keys(), (QList<int>{1, 3, 5}));
        EXPECT_EQ(phone.tasks.keys(), (QList<int>{1}));
        // The replacement carries the slot and the model byte in its prefix.
        QByteArray replace;
        for (const QByteArray& c : phone.commands)
            if (quint8(c[2]) == 0x84)
                replace = c;
        ASSERT_GE(replace.size(), 18);
        EXPECT_EQ(replace.mid(8, 6), hex("FF 04") + char(replace[10]) + hex("12 03 00"));
        EXPECT_EQ(quint8(replace[15]), model);
        EXPECT_EQ(quint8(replace[16]), (replace.size() - 10) & 0xFF);
        EXPECT_EQ(kestrova::lg::readLe16(replace, 6), replace.size());
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgCalendarKitTest, FailuresEndTheReadWithoutData)
{
    {
        SCOPED_TRACE("short prepare answer");
        connect("lg", "lg");
        storeEvent(1, calendarKitEvent("E", 1, 8));
        sim->modifyLgCalendar([](LgCalendar& c) { c.shortListAnswers = true; });
        const CalendarOutcome outcome = readCalendar();
        EXPECT_FALSE(outcome.data);
        EXPECT_EQ(outcome.code, -1);
    }
    {
        SCOPED_TRACE("busy port");
        cb = LgCalendarCallback();
        connect("lg", "lg");
        sim->setLgPortBusy(LgPort::Busy::Frame);
        const CalendarOutcome outcome = readTasks();
        EXPECT_FALSE(outcome.data);
        EXPECT_EQ(outcome.code, -7);
    }
    {
        SCOPED_TRACE("entries without end");
        cb = LgCalendarCallback();
        connect("lg", "lg");
        storeEvent(1, calendarKitEvent("E", 1, 8));
        storeEvent(2, calendarKitEvent("F", 2, 8));
        sim->modifyLgCalendar([](LgCalendar& c) { c.endless = true; });
        KitLogCapture log;
        KestrovaLgCalendarExt::setMaxEntries(25);
        kit->getCalendarEntries();
        const bool ended = runUntil([&] { return !cb.reads.isEmpty(); }, 120.0, 0.05);
        KestrovaLgCalendarExt::setMaxEntries(KestrovaLgCalendarExt::kMaxEntries);
        ASSERT_TRUE(ended);
        ASSERT_TRUE(runUntil([&] { return !cb.reads.isEmpty(); }, 120.0, 0.05));
        EXPECT_FALSE(cb.reads.value(0).data);
        EXPECT_EQ(cb.reads.value(0).code, -1);
        EXPECT_TRUE(log.contains(QStringLiteral("LG calendar: the phone sent more than 25 entries; read stopped")));
        // The port was closed in order.
        EXPECT_EQ(sim->lgFramesReceived().last().left(5), hex("FF 7D DF 00 82"));
    }
}

TEST_F(LgCalendarKitTest, AbortingReportsNothingForAReadAndTheConversionsForAWrite)
{
    connect("lg", "lg");
    for (int slot = 1; slot <= 20; ++slot)
        storeEvent(slot, calendarKitEvent("E", slot, 8));
    cb.abortOnProgress = kit.get();
    const CalendarOutcome read = readCalendar();
    EXPECT_FALSE(read.data);
    EXPECT_EQ(read.code, 0);
    EXPECT_EQ(sim->lgFramesReceived().last().left(5), hex("FF 7D DF 00 82"));

    cb = LgCalendarCallback();
    QVariantMap list;
    for (int i = 1; i <= 5; ++i)
        list.insert(QStringLiteral("T-%1").arg(i), calendarKitEvent("N", i, 9));
    cb.abortOnProgress = kit.get();
    const CalendarOutcome written = write(list);
    ASSERT_TRUE(written.data);
    EXPECT_EQ(written.code, 0);
    EXPECT_GE(written.data->size(), 1);
    EXPECT_LT(written.data->size(), 5);
}
