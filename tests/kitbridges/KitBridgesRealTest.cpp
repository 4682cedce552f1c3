// The bridges over the shared kit library against the simulated phone: over a
// pseudo-terminal and over the simulated RFCOMM channel, with gammu reading
// and writing the same phone from outside.
#include "KitBridgesTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kitbridges/OrganizerAsyncBridge.h"
#include "kitbridges/SMSAsyncBridge.h"
#include "kitbridges/SMSAsyncDeleter.h"
#include "kitbridges/SMSAsyncSender.h"
#include "platform/bluetooth/BluetoothStack.h"

#include "LgMessages.h"
#include "PhoneSimulator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace bridgetest;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

// Received from +123, "Hi"; a draft without recipient; a message sent to +123.
const QByteArray kRealHi = "07919471010670F004039121F300006221012143000A02C834";
const QByteArray kRealDraft = "0001000A810000000000000002C834";
const QByteArray kRealSent = "000100039121F3000002C834";

QString realGammu(const QString& config, const QStringList& arguments)
{
    QProcess gammu;
    gammu.start(QStringLiteral("gammu"), QStringList{QStringLiteral("-c"), config} + arguments);
    if (!gammu.waitForFinished(60000)) {
        gammu.kill();
        gammu.waitForFinished();
    }
    return QString::fromUtf8(gammu.readAllStandardOutput() + gammu.readAllStandardError());
}

QString realGammuConfig(const QTemporaryDir& dir, const QString& tty)
{
    const QString config = dir.filePath(QStringLiteral("gammurc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("[gammu]\ndevice = " + tty.toUtf8() + "\nconnection = at\n");
    return config;
}

QVariantList recordsOf(const QVariantList& list, const QString& type)
{
    QVariantList found;
    for (const QVariant& r : list)
        if (r.toMap().value(QStringLiteral("SMS-Type")).toString() == type)
            found.append(r);
    return found;
}

// Reads all boxes through a read bridge; the records, or none on time-out.
std::optional<QVariantList> bridgeRead(MFDeviceLinkOwner& phone, int* status = nullptr)
{
    SmsReadReceiver receiver;
    auto bridge = SMSAsyncBridge::smsBridgeWithAdress(&phone, &receiver);
    if (bridge->startReading() != 0)
        return std::nullopt;
    if (!runUntil(
            [&] {
                return receiver.events.contains(QStringLiteral("received:0"))
                    || receiver.events.join(' ').contains(QStringLiteral("received:"));
            },
            120.0, 0.05))
        return std::nullopt;
    if (status)
        *status = receiver.events.last().section(':', 1).toInt();
    return bridge->msgList();
}

class SmsBridgesRealTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(
            *phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
        sim->modifySession([](phonesim::PhoneSession& s) {
            s.sms.store("SM", 1, kRealHi);
            s.sms.store("SM", 2, kRealDraft);
            s.sms.store("ME", 3, kRealSent);
        });
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        phone = std::make_unique<BridgeTestPhone>(QStringLiteral("USB-Serial"), QStringLiteral("se"), sim->slavePath());
    }

    OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<BridgeTestPhone> phone;
};

} // namespace

TEST_F(SmsBridgesRealTest, ReadsDeletesAndSendsOverTheTty)
{
    int status = 1;
    const auto records = bridgeRead(*phone, &status);
    ASSERT_TRUE(records);
    EXPECT_EQ(status, 0);
    const QVariantList boxes = recordsOf(*records, QStringLiteral("_SMSBoxList_"));
    ASSERT_EQ(boxes.size(), 4);
    const QVariantList inbox = recordsOf(*records, QStringLiteral("inbox"));
    ASSERT_EQ(inbox.size(), 1);
    EXPECT_EQ(inbox.first().toMap().value(QStringLiteral("Text")), QVariant(QStringLiteral("Hi")));
    EXPECT_EQ(inbox.first().toMap().value(QStringLiteral("Number")), QVariant(QStringLiteral("+123")));
    EXPECT_EQ(inbox.first().toMap().value(QStringLiteral("IsOnPhone")), QVariant(true));
    EXPECT_EQ(recordsOf(*records, QStringLiteral("draft")).size(), 1);
    EXPECT_EQ(recordsOf(*records, QStringLiteral("sent")).size(), 1);

    // Two messages deleted: the kit takes its own dictionaries of a read.
    struct KitRead : smsKitAsync {
        QVariantList messages;
        bool done = false;
        void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString&) override
        {
            messages += list;
        }
        void smsKitReadingFinished(QVSmsKitAsync*, int) override { done = true; }
    } kitRead;
    QVSmsKitAsync kit;
    kit.setCallback(&kitRead);
    kit.setFilename(sim->slavePath());
    kit.setFamily(QStringLiteral("se"));
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return kitRead.done; }, 120.0, 0.05));
    kit.fullStop();
    kit.setCallback(nullptr);
    ASSERT_EQ(kitRead.messages.size(), 3);

    SmsDeleteReceiver deleting;
    auto deleter = SMSAsyncDeleter::smsDeleterWithAdress(phone.get(), &deleting);
    ASSERT_EQ(deleter->startDeleting(kitRead.messages.mid(0, 2), QStringLiteral("trash")), 0);
    ASSERT_TRUE(runUntil([&] { return !deleting.events.filter(QStringLiteral("finished")).isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(deleting.events.last(), QStringLiteral("finished:0"));
    EXPECT_EQ(deleting.fractions, (QList<float>{0.5f, 1.0f}));
    int stored = 0;
    for (const auto& store : sim->session().sms.stores)
        if (store.name != "MT")
            stored += int(store.messages.size());
    EXPECT_EQ(stored, 1);

    // A two-part text.
    const QString text = QString(QStringLiteral("Two parts: ")).leftJustified(200, QLatin1Char('x'))
        + QStringLiteral("end");
    SmsSendReceiver sending;
    auto sender = SMSAsyncSender::smsSenderWithAdress(phone.get(), &sending);
    ASSERT_EQ(sender->startSendTextMessage(text, {QStringLiteral("+4917123")}, false, 2), 0);
    ASSERT_TRUE(runUntil([&] { return !sending.events.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(sending.events, QStringList{"finished:0"});
    EXPECT_EQ(sending.fractions, (QList<float>{0.5f, 1.0f}));
    EXPECT_EQ(sim->session().sms.sentPdus.size(), 2);

    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const QString config = realGammuConfig(dir, sim->slavePath());
    const QString listing = realGammu(config, {QStringLiteral("geteachsms")});
    EXPECT_TRUE(listing.contains(QStringLiteral("\"+4917123\""))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(text)) << listing.toStdString();

    realGammu(config,
              {QStringLiteral("savesms"), QStringLiteral("TEXT"), QStringLiteral("-folder"), QStringLiteral("1"),
               QStringLiteral("-read"), QStringLiteral("-sender"), QStringLiteral("+4930555"), QStringLiteral("-text"),
               QStringLiteral("Stored by gammu")});
    const auto again = bridgeRead(*phone);
    ASSERT_TRUE(again);
    bool found = false;
    for (const QVariant& r : recordsOf(*again, QStringLiteral("inbox")))
        found = found
            || (r.toMap().value(QStringLiteral("Text")) == QStringLiteral("Stored by gammu")
                && r.toMap().value(QStringLiteral("Number")) == QStringLiteral("+4930555"));
    EXPECT_TRUE(found);
}

TEST(SmsBridgesRFComm, ReadsOverTheSimulatedBluetoothLink)
{
    OutsideInputScope outside{0.05};
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
    sim.modifySession([](phonesim::PhoneSession& s) { s.sms.store("SM", 1, kRealHi); });
    const QString address = QStringLiteral("00:1a:2b:3c:4d:5e");
    shareAsBluetoothPhone(sim, QStringLiteral("sonyericsson"), address);
    BridgeTestPhone phone(QStringLiteral("Bluetooth"), QStringLiteral("se"), address);
    int status = 1;
    const auto records = bridgeRead(phone, &status);
    platform::BluetoothStack::setShared(nullptr);
    ASSERT_TRUE(records);
    EXPECT_EQ(status, 0);
    const QVariantList inbox = recordsOf(*records, QStringLiteral("inbox"));
    ASSERT_EQ(inbox.size(), 1);
    EXPECT_EQ(inbox.first().toMap().value(QStringLiteral("Text")), QVariant(QStringLiteral("Hi")));
}

TEST(SmsBridgesLg, ReadsAnLgPhoneOverItsApplicationPort)
{
    OutsideInputScope outside{0.05};
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg3")));
    const auto message = [](quint8 status, const QByteArray& pdu) {
        phonesim::LgMessages::Message m;
        m.status = status;
        m.parts.append(QByteArray::fromHex(pdu));
        return m;
    };
    sim.modifyLgMessages([&](phonesim::LgMessages& m) {
        m.messages = {{0, message(0, kRealHi)}, {9, message(4, kRealDraft)}, {12, message(3, kRealSent)}};
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    BridgeTestPhone phone(QStringLiteral("USB-Serial"), QStringLiteral("lg3"), sim.slavePath());
    int status = 1;
    const auto records = bridgeRead(phone, &status);
    ASSERT_TRUE(records);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(recordsOf(*records, QStringLiteral("_SMSBoxList_")).size(), 4);
    const QVariantList inbox = recordsOf(*records, QStringLiteral("inbox"));
    ASSERT_EQ(inbox.size(), 1);
    EXPECT_EQ(inbox.first().toMap().value(QStringLiteral("Text")), QVariant(QStringLiteral("Hi")));
    EXPECT_EQ(recordsOf(*records, QStringLiteral("draft")).size(), 1);
    EXPECT_EQ(recordsOf(*records, QStringLiteral("sent")).size(), 1);
}
