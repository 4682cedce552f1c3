// The LG phonebook through the organizer kit against the simulated phone,
// over a pseudo-terminal and over RFCOMM (simulated Bluetooth).
#include "CoreTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/VendorChains.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <gtest/gtest.h>

using coretest::hex;
using coretest::KitLogCapture;
using phonesim::LgPhonebook;
using phonesim::LgPort;
using platform::BluetoothStack;
using platform::BluetoothStackSimulated;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QString kPhonebookPhone = QStringLiteral("00:1c:62:aa:bb:cc");

struct LgOutcome {
    std::optional<QVariantMap> data;
    int code = 1;
};

struct LgPhonebookCallback : organizerKitAsync {
    QList<LgOutcome> reads;
    QList<LgOutcome> writes;
    QList<float> progress;
    Kestrova* abortOnProgress = nullptr;
    void organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override { reads.append({d, c}); }
    void organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        writes.append({d, c});
    }
    void organizerKitPhonebookReadProzDone(Kestrova*, float p) override
    {
        progress.append(p);
        if (abortOnProgress && p > 0.0f && p < 1.0f)
            std::exchange(abortOnProgress, nullptr)->abortActionAsync();
    }
};

QVariantMap contact(const char* first, const char* number = nullptr)
{
    QVariantMap c{{QStringLiteral("firstname"), QLatin1String(first)}};
    if (number)
        c.insert(QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QLatin1String(number)},
                                                                   {QStringLiteral("type"), QStringLiteral("mobile")}}});
    return c;
}

QByteArray body(const QVariantMap& c)
{
    return kestrova::lg::lgViewtyPhonebookCreateRawDataForDict(c, 0).mid(4);
}

class LgPhonebookKitTest : public ::testing::Test {
protected:
    void SetUp() override { kestrova::vendors::registerVendorChains(); }
    void TearDown() override
    {
        kit.reset();
        BluetoothStack::setShared(nullptr);
    }

    void makePhone(const char* profile)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
    }
    void makeKit(const char* family)
    {
        kit = std::make_unique<Kestrova>();
        kit->setCallback(&cb);
        kit->setFamily(QLatin1String(family));
    }
    void overSerial(const char* profile, const char* family)
    {
        makePhone(profile);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        makeKit(family);
        kit->setFilename(sim->slavePath());
    }
    void overRfcomm(const char* profile, const char* family)
    {
        makePhone(profile);
        shareAsBluetoothPhone(*sim, QLatin1String(profile), kPhonebookPhone);
        makeKit(family);
        kit->setAddressString(kPhonebookPhone);
    }
    void store(const QMap<int, QVariantMap>& contacts)
    {
        sim->modifyLgPhonebook([&](LgPhonebook& pb) {
            for (auto it = contacts.begin(); it != contacts.end(); ++it)
                pb.entries.insert(it.key(), body(it.value()));
        });
    }
    LgOutcome read(double seconds = 120.0)
    {
        kit->getPhonebookEntries();
        EXPECT_TRUE(runUntil([&] { return !cb.reads.isEmpty(); }, seconds, 0.05));
        runUntil([] { return false; }, 0.3, 0.05);
        EXPECT_EQ(cb.reads.size(), 1);
        return cb.reads.value(0);
    }
    LgOutcome write(const QVariantMap& entries)
    {
        kit->writePhonebookEntries(entries);
        EXPECT_TRUE(runUntil([&] { return !cb.writes.isEmpty(); }, 120.0, 0.05));
        runUntil([] { return false; }, 0.3, 0.05);
        EXPECT_EQ(cb.writes.size(), 1);
        return cb.writes.value(0);
    }
    // The opcodes of the phonebook commands the phone received.
    QList<int> phonebookOpcodes() const
    {
        QList<int> ops;
        for (const QByteArray& c : sim->lgPhonebook().commands)
            if (quint8(c[1]) == kestrova::lg::kPhonebookService)
                ops.append(quint8(c[2]));
        return ops;
    }

    OutsideInputScope outside;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<Kestrova> kit;
    LgPhonebookCallback cb;
};

} // namespace

TEST_F(LgPhonebookKitTest, ReadEndToEndPerFamilyAndLink)
{
    const struct {
        const char* profile;
        const char* family;
        bool rfcomm;
    } cases[] = {
        {"lg", "lg", false}, {"lg2", "lg2", false}, {"lg3", "lg3", false},
        {"lg", "lg", true},  {"lg2", "lg2", true},  {"lg3", "lg3", true},
        {"lggd900", "lgGD900", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.family) + (c.rfcomm ? " rfcomm" : " tty"));
        cb = LgPhonebookCallback();
        if (c.rfcomm)
            overRfcomm(c.profile, c.family);
        else
            overSerial(c.profile, c.family);
        store({{3, contact("Ann", "+4712")}, {9, contact("Bo")}});
        const LgOutcome outcome = read();
        ASSERT_TRUE(outcome.data);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(*outcome.data, (QVariantMap{{QStringLiteral("3"), contact("Ann", "+4712")}, {QStringLiteral("9"), contact("Bo")}}));
        EXPECT_EQ(phonebookOpcodes(), (QList<int>{0x81, 0x82, 0x2C, 0x91, 0x92, 0x92, 0xA7, 0xA0}));
        ASSERT_FALSE(cb.progress.isEmpty());
        EXPECT_FLOAT_EQ(cb.progress.last(), 1.0f);
        EXPECT_TRUE(std::is_sorted(cb.progress.begin(), cb.progress.end()));
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
}

TEST_F(LgPhonebookKitTest, PortOpeningAndClosingOnTheWire)
{
    overSerial("lg", "lg");
    kit->getPhonebookEntries();
    const double start = coretest::now();
    ASSERT_TRUE(runUntil([&] { return !cb.reads.isEmpty(); }, 60.0, 0.05));
    const double took = coretest::now() - start;
    const QByteArray wire = sim->received();
    ASSERT_TRUE(wire.startsWith("at$lgapp=1\r")) << wire.left(20).toHex(' ').toStdString();
    const QList<QByteArray> frames = sim->lgFramesReceived();
    ASSERT_GE(frames.size(), 3);
    // The counter goes on from frame to frame; the close is the last frame.
    EXPECT_EQ(frames[0], hex("FF 7D DF 00 81 00 00 00 09 00 00 7E"));
    EXPECT_EQ(frames[1], hex("FF 7D DF 00 83 01 00 00 08 00 7E"));
    const QByteArray close = frames.last();
    EXPECT_EQ(close.left(5), hex("FF 7D DF 00 82"));
    EXPECT_EQ(quint8(close[5]), frames.size() - 1);
    // The serial close waits 2.0 s and 3.0 s before it reports.
    EXPECT_GE(took, 5.0);
    EXPECT_EQ(cb.reads.value(0).code, 0);
}

TEST_F(LgPhonebookKitTest, Lg2ConnectsWithObexOverTheLgChannel)
{
    overRfcomm("lg2", "lg2");
    // Which channel the link took: the one of the LG service record (3).
    QList<int> channels;
    auto& stack = static_cast<BluetoothStackSimulated&>(BluetoothStack::shared());
    for (int channel : phonesim::ServiceRecords::atChannels(QStringLiteral("lg2")))
        stack.setChannelConnector(kPhonebookPhone, quint8(channel), [this, &channels, channel] {
            channels.append(channel);
            return sim->connectSocketPair();
        });
    store({{1, contact("Ann")}});
    const LgOutcome outcome = read();
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(channels, QList<int>{3});
    EXPECT_TRUE(sim->received().startsWith(hex("80 00 10 11 00 40 00 4A 00 09 4C 69 6E 75 78 00")));
    // The port answers in packets once the connect opened it.
    EXPECT_TRUE(sim->received().contains(hex("83 00 11 70 00 0E FF 7D DF 21 91")));
}

TEST_F(LgPhonebookKitTest, EmptyPhoneAndShortItemCount)
{
    overSerial("lg", "lg");
    sim->modifyLgPhonebook([](LgPhonebook& pb) { pb.shortItemCount = true; });
    const LgOutcome outcome = read();
    ASSERT_TRUE(outcome.data);
    EXPECT_TRUE(outcome.data->isEmpty());
    EXPECT_EQ(outcome.code, 0);
    // An unknown count: the first step's progress is 1 of 10000.
    EXPECT_TRUE(cb.progress.contains(0.0f));
}

TEST_F(LgPhonebookKitTest, EntriesSplitIntoPartsDecodeWhole)
{
    const struct {
        int parts;
        const char* family;
        bool rfcomm;
    } cases[] = {{2, "lg3", false}, {3, "lg3", false}, {3, "lg", true}, {2, "lg2", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.parts) + " parts " + c.family);
        cb = LgPhonebookCallback();
        if (c.rfcomm)
            overRfcomm(c.family, c.family);
        else
            overSerial(c.family, c.family);
        QVariantMap big = contact("Long ~ name", "123");
        big.insert(QStringLiteral("notes"), QString(300, QLatin1Char('n')));
        store({{4, big}, {5, contact("Next")}});
        sim->modifyLgPhonebook([&](LgPhonebook& pb) { pb.parts = c.parts; });
        const LgOutcome outcome = read();
        ASSERT_TRUE(outcome.data);
        EXPECT_EQ(*outcome.data, (QVariantMap{{QStringLiteral("4"), big}, {QStringLiteral("5"), contact("Next")}}));
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
}

TEST_F(LgPhonebookKitTest, PhoneDroppingThePortEndsTheReadWithAFailure)
{
    overSerial("lg", "lg");
    store({{1, contact("Ann")}, {2, contact("Bo")}});
    sim->modifyLgPhonebook([](LgPhonebook& pb) { pb.wireOverrides.insert(2, LgPort::kDisconnectFrame); });
    const LgOutcome outcome = read();
    EXPECT_FALSE(outcome.data);
    EXPECT_EQ(outcome.code, -1);
    EXPECT_TRUE(runUntil([&] { return !kit->isConnected(); }, 5.0, 0.05));
}

TEST_F(LgPhonebookKitTest, BadRecordsAreSkippedWithALogLine)
{
    KitLogCapture log;
    overSerial("lg", "lg");
    store({{1, contact("Ann")}, {2, contact("Bad")}, {3, contact("Cy")}, {4, contact("Dee")}});
    sim->modifyLgPhonebook([](LgPhonebook& pb) {
        // Slot 2 too short for its fields; slot 3 with a garbled escape.
        pb.entries.insert(2, hex("41 00 00 00 00 00"));
        QByteArray garbled = LgPhonebook::reply(0x21, 0x92, 0, hex("00 03 00 00 00") + body(contact("Cy")));
        garbled.insert(20, hex("7D 01"));
        pb.wireOverrides.insert(3, garbled);
    });
    const LgOutcome outcome = read();
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.data->keys(), (QStringList{QStringLiteral("1"), QStringLiteral("4")}));
    EXPECT_EQ(outcome.code, 0);
    int skipped = 0;
    for (const QString& line : log.lines())
        skipped += line.startsWith(QLatin1String("LG phonebook: entry of")) ? 1 : 0;
    EXPECT_EQ(skipped, 2);
}

TEST_F(LgPhonebookKitTest, APhoneThatKeepsSendingEntriesEndsTheReadWithAFailure)
{
    // Bounded by the stated count, or by 10,000 entries where the phone
    // stated none; one entry more ends the read with no data.
    const struct {
        bool statesCount;
        int entriesAsked;
    } cases[] = {{true, 4}, {false, 10001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statesCount ? "stated count" : "no count");
        cb = LgPhonebookCallback();
        KitLogCapture log;
        overSerial("lg", "lg");
        store({{1, contact("Ann")}, {2, contact("Bo")}, {3, contact("Cy")}});
        sim->modifyLgPhonebook([&](LgPhonebook& pb) {
            pb.endless = true;
            pb.shortItemCount = !c.statesCount;
        });
        const LgOutcome outcome = read(3600.0);
        EXPECT_FALSE(outcome.data);
        EXPECT_EQ(outcome.code, -1);
        const QList<int> ops = phonebookOpcodes();
        EXPECT_EQ(ops.count(0x91) + ops.count(0x92), c.entriesAsked);
        EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QLatin1String("LG phonebook: the phone sent more than")));
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgPhonebookKitTest, BusyPortGivesMinus7AndNoData)
{
    for (const auto& [profile, busy] : {std::pair{"lg", LgPort::Busy::Frame}, std::pair{"lg3", LgPort::Busy::Short}}) {
        SCOPED_TRACE(profile);
        cb = LgPhonebookCallback();
        overSerial(profile, profile);
        sim->setLgPortBusy(busy);
        const LgOutcome outcome = read();
        EXPECT_FALSE(outcome.data);
        EXPECT_EQ(outcome.code, -7);
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgPhonebookKitTest, AbortingAReadReportsNilAndZero)
{
    overSerial("lg", "lg");
    QMap<int, QVariantMap> many;
    for (int slot = 1; slot <= 20; ++slot)
        many.insert(slot, contact("X"));
    store(many);
    cb.abortOnProgress = kit.get();
    const LgOutcome outcome = read();
    EXPECT_FALSE(outcome.data);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_FALSE(phonebookOpcodes().contains(0xA7));
    EXPECT_EQ(sim->lgFramesReceived().last().left(5), hex("FF 7D DF 00 82"));
}

TEST_F(LgPhonebookKitTest, WritesNewUpdatedAndDeletedEntries)
{
    KitLogCapture log;
    overSerial("lggd900", "lgGD900");
    store({{12, contact("Old")}, {20, contact("Keep")}});
    const QVariantMap entries{{QStringLiteral("T-1"), contact("New", "555")},
                              {QStringLiteral("12"), QVariantMap()},
                              {QStringLiteral("20"), contact("Changed")},
                              {QStringLiteral("bogus"), contact("Nobody")},
                              {QStringLiteral("T-2"), QVariantMap()}};
    const LgOutcome outcome = write(entries);
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(*outcome.data, (QVariantMap{{QStringLiteral("T-1"), QVariantMap{{QStringLiteral("1"), contact("New", "555")}}},
                                          {QStringLiteral("12"), QStringLiteral("deleted")},
                                          {QStringLiteral("20"), QVariantMap{{QStringLiteral("20"), contact("Changed")}}}}));
    const LgPhonebook pb = sim->lgPhonebook();
    EXPECT_EQ(pb.entries.keys(), (QList<int>{1, 20}));
    QByteArray changed = body(contact("Changed"));
    const qsizetype length = 16 + changed.size();
    if ((length & 0xFF) != 0) {
        changed[length - 13 - 16] = char(0x80);
        changed[length - 8 - 16] = char(0x80);
    }
    EXPECT_EQ(pb.entries.value(20), changed);
    EXPECT_EQ(pb.entries.value(1), body(contact("New", "555")));
    EXPECT_TRUE(log.contains(QStringLiteral("LG phonebook: key bogus is neither new nor a slot; entry left alone")));
    // The delete frame with the model byte of the family.
    for (const QByteArray& c : pb.commands) {
        if (quint8(c[2]) == 0x95) {
            EXPECT_EQ(c, hex("FF 21 95") + c.mid(3, 1) + hex("00 00 0C 00 0C 00 00 04"));
        }
    }
}

TEST_F(LgPhonebookKitTest, EmptyListAndRefusedWrites)
{
    overSerial("lg", "lg");
    LgOutcome outcome = write({});
    ASSERT_TRUE(outcome.data);
    EXPECT_TRUE(outcome.data->isEmpty());
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(phonebookOpcodes(), (QList<int>{0x81, 0x82, 0x2C}));

    cb = LgPhonebookCallback();
    kit.reset();
    sim.reset();
    overSerial("lg", "lg");
    store({{8, contact("There")}});
    sim->modifyLgPhonebook([](LgPhonebook& pb) { pb.writeAnswer = LgPhonebook::WriteAnswer::Refused; });
    // Slot 7 is empty: its delete is refused too; slot 8 goes.
    outcome = write({{QStringLiteral("T-1"), contact("New")}, {QStringLiteral("7"), QVariantMap()},
                     {QStringLiteral("8"), QVariantMap()}});
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(*outcome.data, (QVariantMap{{QStringLiteral("8"), QStringLiteral("deleted")}}));

    cb = LgPhonebookCallback();
    sim->modifyLgPhonebook([](LgPhonebook& pb) { pb.writeAnswer = LgPhonebook::WriteAnswer::Updated; });
    outcome = write({{QStringLiteral("T-9"), contact("Here")}});
    ASSERT_TRUE(outcome.data) << outcome.code;
    EXPECT_EQ(*outcome.data, (QVariantMap{{QStringLiteral("T-9"), QVariantMap{{QStringLiteral("updated"), contact("Here")}}}}));
}

TEST_F(LgPhonebookKitTest, WriteFrameAndRecordPrefix)
{
    overSerial("lg3", "lg3");
    write({{QStringLiteral("T-1"), contact("A")}});
    const QList<QByteArray> commands = sim->lgPhonebook().commands;
    const auto it = std::find_if(commands.begin(), commands.end(), [](const QByteArray& c) { return quint8(c[2]) == 0x93; });
    ASSERT_NE(it, commands.end());
    const QByteArray& w = *it;
    EXPECT_EQ(int(quint8(w[6]) | (quint8(w[7]) << 8)), int(w.size()));
    EXPECT_EQ(w.mid(8, 4), hex("00 00 00 04"));
    EXPECT_EQ(w.right(kestrova::lg::kTrailerBytes), QByteArray(kestrova::lg::kTrailerBytes, '\0'));
    // The write goes out as a "put" packet (82, length, 49, length - 3).
    const QByteArray received = sim->received();
    const qsizetype at = received.indexOf(hex("FF 7D DF 21 93"));
    ASSERT_GE(at, 6);
    EXPECT_EQ(quint8(received[at - 6]), 0x82);
    EXPECT_EQ(quint8(received[at - 3]), 0x49);
}

TEST_F(LgPhonebookKitTest, AbortingAWriteReportsWhatThePhoneDid)
{
    overSerial("lg", "lg");
    cb.abortOnProgress = kit.get();
    const LgOutcome outcome = write({{QStringLiteral("T-1"), contact("A")},
                                     {QStringLiteral("T-2"), contact("B")},
                                     {QStringLiteral("T-3"), contact("C")},
                                     {QStringLiteral("T-4"), contact("D")}});
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.code, 0);
    // The abort came with the first outcome: what the phone stored by then
    // is reported, nothing after it is sent.
    const LgPhonebook pb = sim->lgPhonebook();
    EXPECT_EQ(outcome.data->size(), pb.entries.size());
    EXPECT_LT(pb.entries.size(), 4);
    EXPECT_EQ(sim->lgFramesReceived().last().left(5), hex("FF 7D DF 00 82"));
}
