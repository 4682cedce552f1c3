// The organizer bridge over the shared kit library against the simulated
// phone: an LG request reaches the vendor chain the library registered, and a
// phonebook is read, changed, written back and read again.
#include "KitBridgesTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/LgTaskRecord.h"
#include "kitbridges/OrganizerAsyncBridge.h"
#include "platform/bluetooth/BluetoothStack.h"

#include "LgCalendar.h"
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using namespace bridgetest;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

QVariantMap lgContact(const char* first, const char* number = nullptr)
{
    QVariantMap c{{QStringLiteral("firstname"), QLatin1String(first)}};
    if (number)
        c.insert(QStringLiteral("phone"),
                 QVariantList{QVariantMap{{QStringLiteral("value"), QLatin1String(number)},
                                          {QStringLiteral("type"), QStringLiteral("mobile")}}});
    return c;
}

// One organizer job: its bridge, and each operation waited for.
struct OrganizerRun {
    explicit OrganizerRun(MFDeviceLinkOwner& phone)
        : bridge(OrganizerAsyncBridge::organizerBridgeWithAddress(&phone, &receiver))
    {
    }
    bool waitFor(const QString& event, double seconds = 300.0)
    {
        const qsizetype before = receiver.events.size();
        return runUntil(
            [&] {
                for (qsizetype i = before; i < receiver.events.size(); ++i)
                    if (receiver.events.at(i).startsWith(event))
                        return true;
                return false;
            },
            seconds, 0.05);
    }
    int lastStatus() const { return receiver.events.last().section(':', 1).toInt(); }
    OrganizerReceiver receiver;
    std::shared_ptr<OrganizerAsyncBridge> bridge;
};

void readChangeWriteRead(MFDeviceLinkOwner& phone, const QString& slot, const QString& firstName)
{
    OrganizerRun run(phone);
    const qsizetype start = run.receiver.events.size();
    run.bridge->readMotorolaPhonebook();
    ASSERT_TRUE(run.waitFor(QStringLiteral("phoneBookReceived")));
    ASSERT_EQ(run.lastStatus(), 0) << run.receiver.events.join(' ').toStdString();
    EXPECT_EQ(run.receiver.events.at(run.receiver.events.size() - 2), QStringLiteral("progress:100"));
    ASSERT_TRUE(run.bridge->msgDict());
    QVariantMap entry = run.bridge->msgDict()->value(slot).toMap();
    ASSERT_FALSE(entry.isEmpty()) << run.bridge->msgDict()->keys().join(' ').toStdString();
    for (qsizetype i = start; i < run.receiver.events.size(); ++i)
        if (run.receiver.events.at(i).startsWith(QStringLiteral("percent:")))
            EXPECT_LE(run.receiver.events.at(i).section(':', 1).toInt(), 50);

    entry.insert(QStringLiteral("firstname"), firstName);
    run.bridge->writeMotorolaPhonebook({{slot, entry}});
    ASSERT_TRUE(run.waitFor(QStringLiteral("phoneBookWritten")));
    EXPECT_EQ(run.lastStatus(), 0);
    ASSERT_TRUE(run.receiver.mapping);

    OrganizerRun again(phone);
    again.bridge->readMotorolaPhonebook();
    ASSERT_TRUE(again.waitFor(QStringLiteral("phoneBookReceived")));
    ASSERT_EQ(again.lastStatus(), 0);
    QStringList names;
    for (const QVariant& e : *again.bridge->msgDict())
        names.append(e.toMap().value(QStringLiteral("firstname")).toString());
    EXPECT_TRUE(names.contains(firstName)) << names.join(' ').toStdString();
}

} // namespace

TEST(OrganizerBridgeReal, LgPhonebookOverTtyAndRFComm)
{
    OutsideInputScope outside{0.05};
    struct Case {
        const char* family;
        bool rfcomm;
    };
    for (const Case c : {Case{"lg", false}, Case{"lg3", true}}) {
        SCOPED_TRACE(c.family);
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QLatin1String(c.family)));
        sim.modifyLgPhonebook([](phonesim::LgPhonebook& pb) {
            pb.entries.insert(3,
                              kestrova::lg::lgViewtyPhonebookCreateRawDataForDict(lgContact("Ann", "+4712"), 0).mid(4));
            pb.entries.insert(9, kestrova::lg::lgViewtyPhonebookCreateRawDataForDict(lgContact("Bo"), 0).mid(4));
        });
        const QString address = QStringLiteral("00:1c:62:aa:bb:cc");
        std::unique_ptr<BridgeTestPhone> phone;
        if (c.rfcomm) {
            shareAsBluetoothPhone(sim, QLatin1String(c.family), address);
            phone = std::make_unique<BridgeTestPhone>(QStringLiteral("Bluetooth"), QLatin1String(c.family), address);
        } else {
            ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
            phone = std::make_unique<BridgeTestPhone>(QStringLiteral("USB-Serial"), QLatin1String(c.family),
                                                      sim.slavePath());
        }
        readChangeWriteRead(*phone, QStringLiteral("9"), QStringLiteral("Bob"));
        runUntil([] { return false; }, 1.0, 0.05);
        platform::BluetoothStack::setShared(nullptr);
    }
}

TEST(OrganizerBridgeReal, MotorolaPhonebookOverTheTty)
{
    OutsideInputScope outside{0.05};
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("motorola")));
    sim.modifySession([](phonesim::PhoneSession& s) {
        s.characterSet.offered = {"GSM", "UCS2"};
        s.motorola.lastSlot = 10;
        phonesim::MotorolaContact anna;
        anna.slot = 7;
        anna.name = QStringLiteral("AnnaBerg");
        anna.position = 4;
        anna.fields = {{1, QStringLiteral("0301234"), 3, 1}};
        s.motorola.contacts.append(anna);
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    BridgeTestPhone phone(QStringLiteral("USB-Serial"), QStringLiteral("motorola"), sim.slavePath());
    readChangeWriteRead(phone, QStringLiteral("7"), QStringLiteral("Anne"));
}

TEST(OrganizerBridgeReal, LgCalendarAndTasksOverTheTty)
{
    OutsideInputScope outside{0.05};
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg3")));
    const QDateTime start(QDate(2024, 4, 9), QTime(10, 0));
    const QVariantMap event{{QStringLiteral("event"),
                             QVariantMap{{QStringLiteral("summary"), QStringLiteral("Dentist")},
                                         {QStringLiteral("start date"), start},
                                         {QStringLiteral("end date"), start.addSecs(3600)}}}};
    const QVariantMap task{{QStringLiteral("task"),
                            QVariantMap{{QStringLiteral("summary"), QStringLiteral("Call back")},
                                        {QStringLiteral("priority"), 1},
                                        {QStringLiteral("status"), QStringLiteral("processing")}}}};
    sim.modifyLgCalendar([&](phonesim::LgCalendar& c) {
        c.events.insert(1,
                        c.bodyFromWrite(phonesim::LgCalendar::kCalendar,
                                        QByteArray::fromHex("FF12830000000000FF03")
                                            + kestrova::lg::lgViewtyCalendarCreateRawDataForDict(event, 1)));
        c.tasks.insert(2,
                       c.bodyFromWrite(phonesim::LgCalendar::kTasks,
                                       QByteArray::fromHex("FF13830000000000FF03")
                                           + kestrova::lg::lgViewtyTaskCreateRawDataForDict(task, 1)));
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    BridgeTestPhone phone(QStringLiteral("USB-Serial"), QStringLiteral("lg3"), sim.slavePath());
    OrganizerRun run(phone);
    run.bridge->readMotorolaCalendar();
    ASSERT_TRUE(run.waitFor(QStringLiteral("calendarReceived")));
    EXPECT_EQ(run.lastStatus(), 0) << run.receiver.events.join(' ').toStdString();
    ASSERT_TRUE(run.bridge->msgDict());
    EXPECT_EQ(run.bridge->msgDict()->size(), 1);
    const qsizetype afterCalendar = run.receiver.events.size();
    run.bridge->readMotorolaTasks();
    ASSERT_TRUE(run.waitFor(QStringLiteral("tasksReceived")));
    EXPECT_EQ(run.lastStatus(), 0);
    ASSERT_TRUE(run.bridge->msgDict());
    EXPECT_EQ(run.bridge->msgDict()->size(), 1);
    for (qsizetype i = 0; i < run.receiver.events.size(); ++i) {
        const QString e = run.receiver.events.at(i);
        if (!e.startsWith(QStringLiteral("percent:")))
            continue;
        const int percent = e.section(':', 1).toInt();
        EXPECT_TRUE(i < afterCalendar ? percent <= 25 : percent >= 25 && percent <= 50) << e.toStdString();
    }
}

TEST(OrganizerBridgeReal, MotorolaCalendarOverTheTty)
{
    OutsideInputScope outside{0.05};
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("motorola")));
    sim.modifySession([](phonesim::PhoneSession& s) {
        s.characterSet.offered = {"GSM", "UCS2"};
        s.motorolaCalendar.slotCount = 10;
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    BridgeTestPhone phone(QStringLiteral("USB-Serial"), QStringLiteral("motorola"), sim.slavePath());
    OrganizerRun run(phone);
    run.bridge->readMotorolaCalendar();
    ASSERT_TRUE(run.waitFor(QStringLiteral("calendarReceived")));
    EXPECT_EQ(run.lastStatus(), 0) << run.receiver.events.join(' ').toStdString();
    ASSERT_TRUE(run.bridge->msgDict());
    EXPECT_TRUE(run.bridge->msgDict()->isEmpty());
    EXPECT_EQ(run.receiver.events.filter(QStringLiteral("percent:")), QStringList{"percent:25"});
}
