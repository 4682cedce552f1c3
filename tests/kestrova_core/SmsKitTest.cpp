// The SMS kit end to end: the real engine over the tty (and once over RFCOMM)
// to the simulated phone and its message storages.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "EngineTestSupport.h"

#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/pdu.h"
#include "kestrova/sms/sms.h"
#include "kestrova/sms/smsList.h"
#include "platform/UserDefaults.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace coretest;
using phonesim::PhoneSession;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

// Received from +123 on 2026-12-10 12:34:00 at UTC-5, "Hi".
const QByteArray kHiUtcMinus5 = "07919471010670F004039121F300006221012143000A02C834";
// "a\nb" written with a backslash and an n.
const QByteArray kBackslashN = "07919471010670F004039121F300006221012143000005E1CDCB2D06";
const QByteArray kUcs2 = "07919471010670F004039121F30008622101214300000400C400E4";
// A draft without a recipient ("0000000000") and a sent message to +123.
const QByteArray kDraft = "0001000A810000000000000002C834";
const QByteArray kSent = "000100039121F3000002C834";
// The two parts of one UCS2 message "AB".
const QByteArray kPart1 = "07919471010670F044039121F3000862210121430000080500032A02010041";
const QByteArray kPart2 = "07919471010670F044039121F3000862210121430000080500032A02020042";

struct SmsCallback : smsKitAsync {
    QList<QPair<QString, QVariantList>> boxes;
    QList<int> readingFinished;
    QList<float> progress;
    QList<QVariantMap> deleted;
    QList<int> deletingFinished;
    QList<int> sendFinished;
    int partsSent = 0;
    QList<std::optional<QVariantList>> usage;

    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString& box) override
    {
        boxes.append({box, list});
    }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { readingFinished.append(code); }
    void smsKitReadingProgress(QVSmsKitAsync*, float percent) override { progress.append(percent); }
    void smsKitMessageDeleted(QVSmsKitAsync*, const QVariantMap& message) override { deleted.append(message); }
    void smsKitMessageDeletingFinished(QVSmsKitAsync*, int code) override { deletingFinished.append(code); }
    void smsKitSendTextMessageFinished(QVSmsKitAsync*, int code) override { sendFinished.append(code); }
    void smsKitMessagePartSent(QVSmsKitAsync*) override { ++partsSent; }
    void smsKitMemoryUsage(QVSmsKitAsync*, const std::optional<QVariantList>& mems) override { usage.append(mems); }

    QVariantList box(const QString& name) const
    {
        for (const auto& b : boxes)
            if (b.first == name)
                return b.second;
        return {};
    }
};

QVariantMap findMessage(const QVariantList& list, const QString& text)
{
    for (const QVariant& m : list)
        if (m.toMap().value(QStringLiteral("message")).toString() == text)
            return m.toMap();
    return {};
}

class SmsKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QStringLiteral("se"));
    }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    void store(const char* storage, int status, const QByteArray& pdu)
    {
        sim->modifySession([&](PhoneSession& s) { ASSERT_GT(s.sms.store(storage, status, pdu), 0); });
    }
    // The SMS command lines the phone received, in order.
    QStringList smsLines() const
    {
        QStringList lines;
        for (const QByteArray& line : sim->receivedLines())
            if (line.startsWith("AT+CPMS") || line.startsWith("AT+CMG") || line.startsWith("AT+CMSS"))
                lines.append(QString::fromLatin1(line));
        return lines;
    }

    // A loaded machine may take a while to answer: each pass waits up to 50 ms.
    OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    SmsCallback callback;
    QVSmsKitAsync kit;
};

} // namespace

TEST_F(SmsKitTest, ReadsTheThreeBoxesFromEveryStorage)
{
    store("SM", 0, kHiUtcMinus5);
    store("SM", 1, kBackslashN);
    store("ME", 1, kUcs2);
    store("SM", 2, kDraft);
    store("ME", 3, kSent);
    EXPECT_TRUE(kit.startReading());
    ASSERT_TRUE(runUntil([&] { return !callback.readingFinished.isEmpty(); }, 60.0, 0.05));
    EXPECT_EQ(callback.readingFinished, QList<int>{0});
    EXPECT_EQ(callback.progress, (QList<float>{5, 30, 60, 90}));
    EXPECT_EQ(smsLines(), (QStringList{
                              QStringLiteral("AT+CPMS=?"), QStringLiteral("AT+CMGF=0"), QStringLiteral("AT+CPMS=\"SM\""),
                              QStringLiteral("AT+CMGL=0"), QStringLiteral("AT+CMGL=1"), QStringLiteral("AT+CPMS=\"ME\""),
                              QStringLiteral("AT+CMGL=0"), QStringLiteral("AT+CMGL=1"), QStringLiteral("AT+CMGF=0"),
                              QStringLiteral("AT+CPMS=\"SM\""), QStringLiteral("AT+CMGL=2"), QStringLiteral("AT+CPMS=\"ME\""),
                              QStringLiteral("AT+CMGL=2"), QStringLiteral("AT+CMGF=0"), QStringLiteral("AT+CPMS=\"SM\""),
                              QStringLiteral("AT+CMGL=3"), QStringLiteral("AT+CPMS=\"ME\""), QStringLiteral("AT+CMGL=3")}));

    ASSERT_EQ(callback.boxes.size(), 3);
    EXPECT_EQ(callback.boxes[0].first, QStringLiteral("inbox"));
    EXPECT_EQ(callback.boxes[1].first, QStringLiteral("drafts"));
    EXPECT_EQ(callback.boxes[2].first, QStringLiteral("sent"));
    const QVariantList inbox = callback.box(QStringLiteral("inbox"));
    ASSERT_EQ(inbox.size(), 3);

    const QVariantMap hi = findMessage(inbox, QStringLiteral("Hi"));
    EXPECT_EQ(hi.value(QStringLiteral("number")).toString(), QStringLiteral("+123"));
    EXPECT_EQ(hi.value(QStringLiteral("name")).toString(), QStringLiteral("noch kein Name"));
    EXPECT_EQ(hi.value(QStringLiteral("memory")).toString(), QStringLiteral("SM"));
    EXPECT_EQ(hi.value(QStringLiteral("memIndexes")).toString(), QStringLiteral("1"));
    EXPECT_EQ(hi.value(QStringLiteral("multiPartMessageRef")).toString(), QString());
    EXPECT_FALSE(hi.value(QStringLiteral("specialChars")).toBool());
    EXPECT_EQ(hi.value(QStringLiteral("date")).toDateTime().toUTC(),
              QDateTime(QDate(2026, 12, 10), QTime(17, 34), QTimeZone::utc()));

    EXPECT_FALSE(findMessage(inbox, QStringLiteral("a\nb")).isEmpty());
    const QVariantMap ucs2 = findMessage(inbox, QStringLiteral("Ää"));
    EXPECT_TRUE(ucs2.value(QStringLiteral("specialChars")).toBool());
    EXPECT_EQ(ucs2.value(QStringLiteral("memory")).toString(), QStringLiteral("ME"));

    const QVariantMap draft = callback.box(QStringLiteral("drafts")).value(0).toMap();
    EXPECT_EQ(draft.value(QStringLiteral("number")).toString(), QString());
    EXPECT_EQ(draft.value(QStringLiteral("name")).toString(), QString());
    EXPECT_FALSE(draft.contains(QStringLiteral("date")));
    EXPECT_EQ(callback.box(QStringLiteral("sent")).value(0).toMap().value(QStringLiteral("number")).toString(),
              QStringLiteral("+123"));
}

TEST_F(SmsKitTest, AnEmptyInboxSendsNoBoxButGoesOn)
{
    store("SM", 3, kSent);
    kit.setQuorvalisID(5147);
    kit.startReading();
    // A second read while one runs is ignored.
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !callback.readingFinished.isEmpty(); }, 60.0, 0.05));
    runUntil([] { return false; }, 1.0);
    EXPECT_EQ(callback.readingFinished, QList<int>{0});
    EXPECT_EQ(callback.progress.last(), 90);
    ASSERT_EQ(callback.boxes.size(), 1);
    EXPECT_EQ(callback.boxes[0].first, QStringLiteral("sent"));
    EXPECT_EQ(smsLines().count(QStringLiteral("AT+CMGL=1")), 2);
    EXPECT_TRUE(smsLines().contains(QStringLiteral("AT+CPMS=\"SM\",\"SM\",\"SM\"")));
}

TEST_F(SmsKitTest, AMissingTtyEndsTheReadWithALinkFailure)
{
    kit.setFilename(QStringLiteral("/dev/nonexistent-modem"));
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !callback.readingFinished.isEmpty(); }, 60.0, 0.05));
    EXPECT_EQ(callback.readingFinished, QList<int>{-2});
}

TEST_F(SmsKitTest, SendsATextThePhoneRecords)
{
    kit.sendTextMessage(QStringLiteral("Hello"), {QStringLiteral("+123")}, false);
    ASSERT_TRUE(runUntil([&] { return !callback.sendFinished.isEmpty(); }, 60.0, 0.05));
    EXPECT_EQ(callback.sendFinished, QList<int>{0});
    EXPECT_EQ(callback.partsSent, 1);
    const QList<QByteArray> sent = sim->session().sms.sentPdus;
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(coretest::decodeSubmit(sent.first()), qMakePair(QStringLiteral("Hello"), QStringLiteral("+123")));

    // A phone that does not know its service centre refuses: -1.
    sim->modifySession([](PhoneSession& s) { s.sms.rejectSend = true; });
    kit.sendTextMessage(QStringLiteral("Hello"), {QStringLiteral("+123")}, false);
    ASSERT_TRUE(runUntil([&] { return callback.sendFinished.size() == 2; }, 60.0, 0.05));
    EXPECT_EQ(callback.sendFinished.last(), -1);
}

TEST_F(SmsKitTest, BadRequestsEndBeforeAnyCommand)
{
    struct Case {
        const char* what;
        QString text;
        QVariantList recipients;
        int code;
    };
    const Case cases[] = {
        {"recipient with a letter", QStringLiteral("Hi"), {QStringLiteral("+12a3")}, -5},
        {"recipient not a string", QStringLiteral("Hi"), {123}, -5},
        {"empty recipient", QStringLiteral("Hi"), {QString()}, -5},
        {"empty text", QString(), {QStringLiteral("+123")}, -4},
    };
    for (const Case& c : cases) {
        callback.sendFinished.clear();
        kit.sendTextMessage(c.text, c.recipients, false);
        EXPECT_TRUE(callback.sendFinished.isEmpty()) << c.what;
        ASSERT_TRUE(runUntil([&] { return !callback.sendFinished.isEmpty(); }, 1.0)) << c.what;
        EXPECT_EQ(callback.sendFinished, QList<int>{c.code}) << c.what;
    }
    EXPECT_TRUE(sim->receivedLines().isEmpty());
    EXPECT_FALSE(kit.removeMessages({}));
}

TEST_F(SmsKitTest, DeletesEveryPartOfAMessageReadBefore)
{
    store("SM", 1, kHiUtcMinus5);
    store("SM", 1, kBackslashN);
    store("SM", 1, kPart1);
    store("SM", 1, kPart2);
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !callback.readingFinished.isEmpty(); }, 60.0, 0.05));
    const QVariantMap joined = findMessage(callback.box(QStringLiteral("inbox")), QStringLiteral("AB"));
    ASSERT_EQ(joined.value(QStringLiteral("memIndexes")).toString(), QStringLiteral("3,4"));
    EXPECT_EQ(joined.value(QStringLiteral("multiPartMessageRef")).toString(), QStringLiteral("42"));

    sim->clearReceived();
    callback.boxes.clear();
    callback.readingFinished.clear();
    EXPECT_TRUE(kit.removeMessages({joined}));
    ASSERT_TRUE(runUntil([&] { return !callback.deletingFinished.isEmpty(); }, 60.0, 0.05));
    runUntil([] { return false; }, 1.0);
    EXPECT_EQ(callback.deletingFinished, QList<int>{0});
    EXPECT_EQ(callback.deleted, QList<QVariantMap>{joined});
    // The read before the delete is the kit's own.
    EXPECT_TRUE(callback.boxes.isEmpty());
    EXPECT_TRUE(callback.readingFinished.isEmpty());
    const QStringList lines = smsLines();
    const qsizetype first = lines.indexOf(QStringLiteral("AT+CMGD=3"));
    ASSERT_GE(first, 1);
    EXPECT_EQ(lines.mid(first - 1, 3), (QStringList{QStringLiteral("AT+CPMS=\"SM\""), QStringLiteral("AT+CMGD=3"),
                                                    QStringLiteral("AT+CMGD=4")}));
    EXPECT_EQ(sim->session().sms.find("SM")->messages.size(), 2);
}

TEST_F(SmsKitTest, DeletingFromEmptyBoxesFails)
{
    QVariantMap message{{QStringLiteral("memory"), QStringLiteral("SM")}, {QStringLiteral("memIndexes"), QStringLiteral("1")}};
    EXPECT_TRUE(kit.removeMessages({message}));
    ASSERT_TRUE(runUntil([&] { return !callback.deletingFinished.isEmpty(); }, 60.0, 0.05));
    EXPECT_EQ(callback.deletingFinished, QList<int>{-1});
    EXPECT_FALSE(smsLines().join(QLatin1Char(' ')).contains(QLatin1String("CMGD")));
}

TEST_F(SmsKitTest, MemoryUsageRetriesWithTheSimOnceAndReportsOnce)
{
    sim->modifySession([](PhoneSession& s) {
        s.sms.writeStore = 1;
        s.sms.receiveStore = 2;
        for (int i = 0; i < 5; ++i)
            s.sms.store("ME", 1, kSent);
    });
    store("SM", 1, kHiUtcMinus5);
    store("SM", 1, kHiUtcMinus5);
    store("SM", 1, kHiUtcMinus5);
    const QVariantMap sim3{{QStringLiteral("ist"), 3}, {QStringLiteral("max"), 20}, {QStringLiteral("free"), 17},
                           {QStringLiteral("type"), QStringLiteral("sim")}};
    const QVariantMap me5{{QStringLiteral("ist"), 5}, {QStringLiteral("max"), 100}, {QStringLiteral("free"), 95},
                          {QStringLiteral("type"), QStringLiteral("device")}};
    kit.getMemoryUsage();
    ASSERT_TRUE(runUntil([&] { return !callback.usage.isEmpty(); }, 60.0, 0.05));
    EXPECT_EQ(callback.usage.first(), (QVariantList{sim3, me5}));

    // The first query fails: the SIM is selected for all three uses and
    // asked again; one report.
    callback.usage.clear();
    sim->clearReceived();
    int queries = 0;
    sim->setHandler("+CPMS", [&queries, handler = *phonesim::PhoneProfile::named(QStringLiteral("sonyericsson"))
                                                       ->handler("+CPMS")](PhoneSession& s, const phonesim::AtCommand& c) {
        if (c.isQuery() && queries++ == 0)
            return phonesim::AtResult::error();
        return handler(s, c);
    });
    kit.getMemoryUsage();
    ASSERT_TRUE(runUntil([&] { return !callback.usage.isEmpty(); }, 60.0, 0.05));
    runUntil([] { return false; }, 1.0);
    ASSERT_EQ(callback.usage.size(), 1);
    EXPECT_EQ(callback.usage.first(), (QVariantList{sim3}));
    EXPECT_EQ(smsLines(), (QStringList{QStringLiteral("AT+CPMS?"), QStringLiteral("AT+CPMS=\"SM\",\"SM\",\"SM\""),
                                       QStringLiteral("AT+CPMS?")}));

    // A phone that stops answering: nothing, once.
    callback.usage.clear();
    sim->setSilent(true);
    kit.getMemoryUsage();
    ASSERT_TRUE(runUntil([&] { return !callback.usage.isEmpty(); }, 60.0, 0.05));
    runUntil([] { return false; }, 1.0);
    EXPECT_EQ(callback.usage, (QList<std::optional<QVariantList>>{std::nullopt}));
}

TEST(SmsKitDates, MotorolaDatesAreLocalOthersInThePduZone)
{
    for (const char* family : {"se", "motorola"}) {
        QVSmsKitAsync kit;
        kit.setFamily(QLatin1String(family));
        kestrova::pduList pdus;
        pdus.appendItem(std::make_unique<kestrova::pdu>(kHiUtcMinus5, 1, 1, QStringLiteral("SM")));
        kestrova::smsList messages;
        kestrova::createSmsListFromPduList(messages, pdus);
        const QDateTime date = kit.createListFrom(messages, QStringLiteral("inbox")).value(0).toMap().value(QStringLiteral("date")).toDateTime();
        const QDateTime wall(QDate(2026, 12, 10), QTime(12, 34));
        if (QLatin1String(family) == QLatin1String("motorola"))
            EXPECT_EQ(date, QDateTime(wall.date(), wall.time(), QTimeZone::systemTimeZone()));
        else
            EXPECT_EQ(date, QDateTime(wall.date(), wall.time(), QTimeZone(-5 * 3600)));
        EXPECT_TRUE(kit.createListFrom(messages, QStringLiteral("drafts")).value(0).toMap().value(QStringLiteral("date")).isNull());
    }
}

// The kit over Bluetooth: the RFCOMM channel of the simulated stack reaches
// the same phone, whether its service records were read before or never.
TEST(SmsKitRFComm, ReadsOverTheSimulatedBluetoothLink)
{
    const QString address = QStringLiteral("00:1d:28:aa:bb:cc");
    for (const bool recordsKnown : {true, false}) {
        SCOPED_TRACE(recordsKnown ? "records read before" : "records never read");
        auto stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
        sim.modifySession([](PhoneSession& s) { s.sms.store("SM", 1, kHiUtcMinus5); });
        QList<platform::SdpServiceRecord> records;
        for (const QVariantMap& description : phonesim::ServiceRecords::forProfile(QStringLiteral("sonyericsson")))
            records.append(*platform::BluetoothStackSimulated::recordFromJson(description));
        stack->addDevice(address, QStringLiteral("phone"), true, records, recordsKnown);
        for (int channel : phonesim::ServiceRecords::atChannels(QStringLiteral("sonyericsson")))
            stack->setChannelConnector(address, quint8(channel), [&sim] { return sim.connectSocketPair(); });

        OutsideInputScope outside(0.05);
        SmsCallback callback;
        {
            QVSmsKitAsync kit;
            kit.setCallback(&callback);
            kit.setAddressString(address);
            kit.setFamily(QStringLiteral("se"));
            kit.startReading();
            ASSERT_TRUE(runUntil([&] { return !callback.readingFinished.isEmpty(); }, 120.0, 0.05));
            kit.fullStop();
            kit.setCallback(nullptr);
        }
        platform::BluetoothStack::setShared(nullptr);
        EXPECT_EQ(callback.readingFinished, QList<int>{0});
        EXPECT_EQ(findMessage(callback.box(QStringLiteral("inbox")), QStringLiteral("Hi"))
                      .value(QStringLiteral("number"))
                      .toString(),
                  QStringLiteral("+123"));
    }
}
