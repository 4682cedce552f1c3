// LG messages through the SMS kit against the simulated phone: the boxes read
// over the application port, deletes by place, the service-centre fetch
// before a send.
#include "CoreTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/vendors/SLTCommDeviceLgMessages.h"
#include "kestrova/vendors/VendorChains.h"

#include "LgMessages.h"
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using coretest::hex;
using coretest::KitLogCapture;
using phonesim::LgMessages;
using phonesim::LgPort;
using platform::BluetoothStack;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QString kLgSmsPhone = QStringLiteral("00:1c:62:aa:bb:ce");
// Received "Hi", a draft without recipient and a sent message, as PDUs.
const QByteArray kLgHi = QByteArray::fromHex("07919471010670F004039121F300006221012143000A02C834");
const QByteArray kLgDraft = QByteArray::fromHex("0001000A810000000000000002C834");
const QByteArray kLgSent = QByteArray::fromHex("000100039121F3000002C834");

struct LgSmsCallback : smsKitAsync {
    QList<QPair<QString, QVariantList>> boxes;
    QList<int> finished;
    QList<QVariantMap> deleted;
    QList<int> deletingFinished;
    QList<int> sendFinished;
    QVSmsKitAsync* abortOnProgress = nullptr;
    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString& box) override
    {
        boxes.append({box, list});
    }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { finished.append(code); }
    void smsKitReadingProgress(QVSmsKitAsync*, float) override
    {
        if (abortOnProgress)
            std::exchange(abortOnProgress, nullptr)->abortActionAsync();
    }
    void smsKitMessageDeleted(QVSmsKitAsync*, const QVariantMap& message) override { deleted.append(message); }
    void smsKitMessageDeletingFinished(QVSmsKitAsync*, int code) override { deletingFinished.append(code); }
    void smsKitSendTextMessageFinished(QVSmsKitAsync*, int code) override { sendFinished.append(code); }
    QStringList boxNames() const
    {
        QStringList names;
        for (const auto& b : boxes)
            names.append(b.first);
        return names;
    }
};

LgMessages::Message lgSmsMessage(quint8 status, const QByteArray& pdu, int parts = 1)
{
    LgMessages::Message m;
    m.status = status;
    for (int i = 0; i < parts; ++i)
        m.parts.append(pdu);
    return m;
}

class LgSmsKitTest : public ::testing::Test {
protected:
    void SetUp() override { kestrova::vendors::registerVendorChains(); }
    void TearDown() override
    {
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
    void connect(const char* profile, bool rfcomm = false)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        kit = std::make_unique<QVSmsKitAsync>();
        kit->setCallback(&cb);
        if (rfcomm) {
            shareAsBluetoothPhone(*sim, QLatin1String(profile), kLgSmsPhone);
            kit->setAddressString(kLgSmsPhone);
        } else {
            ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
            kit->setFilename(sim->slavePath());
        }
        kit->setFamily(QLatin1String(profile));
    }
    void store(const QMap<int, LgMessages::Message>& messages)
    {
        sim->modifyLgMessages([&](LgMessages& m) { m.messages = messages; });
    }
    int read()
    {
        kit->startReading();
        EXPECT_TRUE(runUntil([&] { return !cb.finished.isEmpty(); }, 120.0, 0.05));
        runUntil([] { return false; }, 0.3, 0.05);
        EXPECT_EQ(cb.finished.size(), 1);
        return cb.finished.value(0, 1);
    }
    // The places of the message reads (0x81) the phone received.
    QList<int> placesRead() const
    {
        QList<int> places;
        for (const QByteArray& c : sim->lgMessages().commands)
            if (quint8(c[2]) == 0x81)
                places.append(quint8(c[8]) | (quint8(c[9]) << 8));
        return places;
    }
    bool portClosedLast() const { return sim->lgFramesReceived().last().left(5) == hex("FF 7D DF 00 82"); }

    OutsideInputScope outside;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<QVSmsKitAsync> kit;
    LgSmsCallback cb;
};

} // namespace

TEST_F(LgSmsKitTest, ReadsTheBoxesLastHeaderFirstPerFamilyAndLink)
{
    const struct {
        const char* profile;
        bool rfcomm;
    } cases[] = {{"lg", false}, {"lg2", false}, {"lg3", false}, {"lg", true}, {"lg2", true}, {"lg3", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + (c.rfcomm ? " rfcomm" : " tty"));
        cb = LgSmsCallback();
        connect(c.profile, c.rfcomm);
        store({{0, lgSmsMessage(0, kLgHi)},
               {5, lgSmsMessage(0, kLgHi)},
               {9, lgSmsMessage(4, kLgDraft)},
               {12, lgSmsMessage(3, kLgSent)},
               {20, lgSmsMessage(7, kLgHi)}});
        EXPECT_EQ(read(), 0);
        EXPECT_EQ(placesRead(), (QList<int>{20, 12, 9, 5, 0}));
        EXPECT_EQ(cb.boxNames(), (QStringList{"inbox", "drafts", "sent"}));
        const QVariantList inbox = cb.boxes.value(0).second;
        ASSERT_EQ(inbox.size(), 2);
        QStringList indexes;
        for (const QVariant& m : inbox) {
            indexes.append(m.toMap().value(QStringLiteral("memIndexes")).toString());
            EXPECT_EQ(m.toMap().value(QStringLiteral("memory")), QStringLiteral("ME"));
            EXPECT_EQ(m.toMap().value(QStringLiteral("message")), QStringLiteral("Hi"));
        }
        indexes.sort();
        EXPECT_EQ(indexes, (QStringList{"0", "5"}));
        EXPECT_TRUE(portClosedLast());
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
}

TEST_F(LgSmsKitTest, EmptyAndInboxOnlyPhones)
{
    connect("lg");
    EXPECT_EQ(read(), 0);
    EXPECT_TRUE(cb.boxes.isEmpty());
    EXPECT_TRUE(placesRead().isEmpty());

    cb = LgSmsCallback();
    store({{3, lgSmsMessage(0, kLgHi)}});
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(cb.boxNames(), (QStringList{"inbox"}));
}

TEST_F(LgSmsKitTest, MessagesInPartsAndPlacesWithoutAMessage)
{
    connect("lg");
    store({{4, lgSmsMessage(0, kLgHi, 2)}, {6, lgSmsMessage(0, kLgHi)}});
    sim->modifyLgMessages([](LgMessages& m) { m.emptyPlaces = {6}; });
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(placesRead(), (QList<int>{6, 4, 4}));
    EXPECT_EQ(cb.boxes.value(0).second.size(), 2);
}

TEST_F(LgSmsKitTest, UnreadableAnswersEndTheReadWithTheCloseAndMinus1)
{
    const struct {
        const char* name;
        std::function<void(LgMessages&)> fault;
    } cases[] = {
        {"same part forever", [](LgMessages& m) { m.repeatedPartPlaces = {4}; }},
        {"short answer", [](LgMessages& m) { m.shortPlaces = {4}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cb = LgSmsCallback();
        connect("lg");
        store({{2, lgSmsMessage(0, kLgHi)}, {4, lgSmsMessage(0, kLgHi)}});
        sim->modifyLgMessages(c.fault);
        KitLogCapture log;
        EXPECT_EQ(read(), -1);
        EXPECT_TRUE(cb.boxes.isEmpty());
        EXPECT_TRUE(portClosedLast());
        EXPECT_FALSE(log.lines().filter(QStringLiteral("reading stopped")).isEmpty());
        // The kit reads again after a failure.
        cb = LgSmsCallback();
        sim->modifyLgMessages([](LgMessages& m) { m.repeatedPartPlaces.clear(), m.shortPlaces.clear(); });
        EXPECT_EQ(read(), 0);
        EXPECT_EQ(cb.boxes.value(0).second.size(), 2);
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgSmsKitTest, AbortAndBusyPort)
{
    connect("lg");
    store({{1, lgSmsMessage(0, kLgHi)}, {2, lgSmsMessage(0, kLgHi)}, {3, lgSmsMessage(0, kLgHi)}});
    cb.abortOnProgress = kit.get();
    EXPECT_EQ(read(), 0);
    EXPECT_TRUE(cb.boxes.isEmpty());
    EXPECT_TRUE(portClosedLast());

    cb = LgSmsCallback();
    connect("lg");
    sim->setLgPortBusy(LgPort::Busy::Frame);
    EXPECT_EQ(read(), -7);
}

TEST_F(LgSmsKitTest, DeletesEveryPlaceOfAMessageAndReportsItOnce)
{
    connect("lg");
    store({{300, lgSmsMessage(0, kLgHi)}, {301, lgSmsMessage(0, kLgHi)}});
    const QVariantMap message{{"memIndexes", "300,301"}, {"memory", "ME"}, {"message", "Hi"}};
    kit->removeMessages({message});
    ASSERT_TRUE(runUntil([&] { return !cb.deletingFinished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.deletingFinished.value(0), 0);
    EXPECT_EQ(sim->lgMessages().deleted, (QList<int>{300, 301}));
    QList<QByteArray> frames;
    for (const QByteArray& c : sim->lgMessages().commands)
        if (quint8(c[2]) == 0x8D)
            frames.append(c.mid(6));
    EXPECT_EQ(frames, (QList<QByteArray>{hex("0C 00 2C 01 00 00"), hex("0C 00 2D 01 00 00")}));
    ASSERT_EQ(cb.deleted.size(), 1);
    EXPECT_EQ(cb.deleted.value(0), message);
}

TEST(LgSmsCodecTest, ServiceCentreAnswers)
{
    const struct {
        const char* digits;
        int flag;
        const char* address;
    } cases[] = {
        {"01 02 03 04 00 00", 1, "+1234"},
        {"01 02 03 04 00 00", 0, "1234"},
        {"01 02 00 00 7D 09", 1, "+1200"},
        {"00 00 00", 0, "00"},
        {"", 1, "+"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digits);
        const QByteArray reply = hex("FF FF 22 82 00 00 00 00 00 00 00 00") + hex(c.digits) + char(c.flag)
            + QByteArray(7, '\0') + hex("7E");
        EXPECT_EQ(SLTCommDeviceLgMessages::extractScAddress(reply), QLatin1String(c.address));
    }
    EXPECT_EQ(SLTCommDeviceLgMessages::extractScAddress(hex("FF FF 22 82 7E")), QString());
}

TEST_F(LgSmsKitTest, FirstSendFetchesTheServiceCentreThenSendsOverAt)
{
    connect("lg");
    const double start = coretest::now();
    kit->sendTextMessage(QStringLiteral("Hi"), {QStringLiteral("+4912345")}, false);
    ASSERT_TRUE(runUntil([&] { return !cb.sendFinished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.sendFinished, (QList<int>{0}));
    // The serial port close waits 2.0 s and 3.0 s, the send 3.0 s more.
    EXPECT_GE(coretest::now() - start, 8.0);
    EXPECT_EQ(kit->family(), QStringLiteral("se"));
    const QByteArray wire = sim->received();
    const qsizetype sent = wire.toUpper().indexOf("AT+CMGS");
    ASSERT_GE(sent, 0);
    EXPECT_GT(sent, wire.indexOf(hex("FF 7D DF 00 82")));
    // The fetched centre (+1234) leads the PDU.
    EXPECT_GT(wire.indexOf("03912143", sent), sent);
    QList<int> opcodes;
    for (const QByteArray& c : sim->lgMessages().commands)
        opcodes.append(quint8(c[2]));
    EXPECT_EQ(opcodes, (QList<int>{0x82}));
}

TEST_F(LgSmsKitTest, AFailedServiceCentreFetchEndsTheSend)
{
    connect("lg");
    sim->setLgPortBusy(LgPort::Busy::Frame);
    kit->sendTextMessage(QStringLiteral("Hi"), {QStringLiteral("+4912345")}, false);
    ASSERT_TRUE(runUntil([&] { return !cb.sendFinished.isEmpty(); }, 120.0, 0.05));
    runUntil([] { return false; }, 4.0, 0.05);
    EXPECT_EQ(cb.sendFinished, (QList<int>{-1}));
    EXPECT_EQ(sim->received().toUpper().indexOf("AT+CMGS"), -1);
}
