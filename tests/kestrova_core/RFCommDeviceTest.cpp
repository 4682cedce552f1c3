// The RFCOMM transport over the simulated Bluetooth stack, its channels
// reaching the simulated phone through socket pairs.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/SLTRFCommDevice.h"
#include "platform/IOReturn.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using platform::BluetoothStack;
using platform::BluetoothStackSimulated;
using platform::BluetoothUuid;
using platform::SdpServiceRecord;
using testing_support::OutsideInputScope;
using testing_support::runFor;
using testing_support::runUntil;

namespace {

const QString kPhone = QStringLiteral("00:1c:62:aa:bb:cc");

SdpServiceRecord record(quint16 uuid, quint8 channel)
{
    return SdpServiceRecord::make({BluetoothUuid::uuid16(uuid)}, QStringLiteral("service"), channel);
}

struct Events : MultiCommDeviceDelegate {
    int opened = 0;
    int openFailed = 0;
    int timeouts = 0;
    int closed = 0;
    QStringList chunks;
    double timeoutAt = -1;
    void sltGeneralCommDeviceOpenSuccessful(MultiCommDevice*) override { ++opened; }
    void sltGeneralCommDeviceOpenFailed(MultiCommDevice*) override { ++openFailed; }
    void sltGeneralCommDeviceBufferFilled(MultiCommDevice* device, const QString& chunk) override
    {
        chunks.append(chunk);
        device->goOnReading();
    }
    void sltGeneralCommDeviceCommandError(MultiCommDevice*) override {}
    void sltGeneralCommDeviceTimeout(MultiCommDevice*) override
    {
        ++timeouts;
        timeoutAt = now();
    }
    void sltGeneralCommDeviceConnectionClosed(MultiCommDevice*) override { ++closed; }
};

struct WillClose : SLTWillCloseCallback {
    QList<const void*> channels;
    void smsKitWillCloseChannel(const void* channel) override { channels.append(channel); }
};

// Records the pieces written; the piece numbered failAt (from 1) fails.
class RecordingLink : public SLTRFCommDevice {
public:
    RecordingLink(std::shared_ptr<platform::BluetoothDevice> device, quint8 channel)
        : SLTRFCommDevice(std::move(device), channel)
    {
    }
    QList<QByteArray> pieces;
    int failAt = 0;

protected:
    int writePiece(const char* bytes, int length) override
    {
        pieces.append(QByteArray(bytes, length));
        if (pieces.size() == failAt)
            return platform::kIOReturnIOError;
        return SLTRFCommDevice::writePiece(bytes, length);
    }
};

class RFCommDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = std::make_shared<BluetoothStackSimulated>();
        BluetoothStack::setShared(stack);
    }
    void TearDown() override { BluetoothStack::setShared(nullptr); }

    // An LG phone with its published services, every AT channel reaching it.
    void addPhone()
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        QList<SdpServiceRecord> records;
        for (const QVariantMap& description : phonesim::ServiceRecords::forProfile(QStringLiteral("lg")))
            records.append(*BluetoothStackSimulated::recordFromJson(description));
        stack->addDevice(kPhone, QStringLiteral("LG"), true, records);
        for (int channel : phonesim::ServiceRecords::atChannels(QStringLiteral("lg")))
            stack->setChannelConnector(kPhone, quint8(channel), [this] { return sim->connectSocketPair(); });
    }
    template <typename Link>
    void open(Link& link)
    {
        link.setDelegate(&events);
        link.openConnection();
        ASSERT_TRUE(runUntil([&] { return events.opened + events.openFailed > 0; }, 5.0, 0.05));
        ASSERT_EQ(events.opened, 1);
    }

    std::shared_ptr<BluetoothStackSimulated> stack;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    Events events;
    OutsideInputScope outside;
};

} // namespace

TEST_F(RFCommDeviceTest, ChannelFromTheServiceRecords)
{
    const struct {
        const char* what;
        QList<SdpServiceRecord> records;
        quint16 uuid;
        int channel;   // -1: no transport
    } cases[] = {
        {"dial-up networking first", {record(0x1101, 2), record(0x1103, 1)}, 0, 1},
        {"serial port without dial-up networking", {record(0x1101, 2)}, 0, 2},
        {"neither", {record(0x1105, 9)}, 0, -1},
        {"the LG port", {record(0x1101, 2), record(0x4C47, 3)}, 0x4C47, 3},
        {"no LG port: the serial port", {record(0x1101, 2), record(0x1103, 1)}, 0x4C47, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stack->addDevice(kPhone, QStringLiteral("phone"), true, c.records);
        KitLogCapture log;
        const auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone, c.uuid);
        if (c.channel < 0) {
            EXPECT_EQ(link, nullptr);
            EXPECT_TRUE(log.contains(QStringLiteral("SLTRFCommDevice: no channelID found")));
        } else {
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(link->channelID(), c.channel);
        }
    }
    EXPECT_EQ(SLTRFCommDevice::initWithDeviceAddress(QString()), nullptr);
    EXPECT_EQ(SLTRFCommDevice::initWithDeviceAddress(QStringLiteral("not an address")), nullptr);
}

TEST_F(RFCommDeviceTest, BasebandThatStaysDownIsTriedTwice)
{
    // Records known from an earlier run, but the phone does not answer pages.
    stack->storeRecords(*platform::BluetoothAddress::fromString(kPhone), {record(0x1103, 1)});
    auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone);
    ASSERT_NE(link, nullptr);
    KitLogCapture log;
    link->setDelegate(&events);
    const double start = now();
    link->openConnection();
    ASSERT_TRUE(runUntil([&] { return events.openFailed > 0; }, 5.0, 0.05));
    EXPECT_NEAR(now() - start, 2 * SLTRFCommDevice::kBasebandPauseSeconds, 0.06);
    EXPECT_EQ(log.lines().count(QStringLiteral("opening new baseband connection")), 2);
    EXPECT_EQ(stack->openCount(kPhone), 0);
    EXPECT_EQ(events.opened, 0);
}

TEST_F(RFCommDeviceTest, ChannelOpenFailingWithStatus4IsTriedFiveTimesThenOnceMore)
{
    addPhone();
    stack->failOpens(kPhone, 4, 100);
    auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone);
    ASSERT_NE(link, nullptr);
    link->setDelegate(&events);
    link->openConnection();
    ASSERT_TRUE(runUntil([&] { return events.openFailed == 1; }, 10.0, 0.05));
    EXPECT_EQ(stack->openCount(kPhone), 5);
    link->openConnection();
    ASSERT_TRUE(runUntil([&] { return events.openFailed == 2; }, 10.0, 0.05));
    EXPECT_EQ(stack->openCount(kPhone), 6);

    // Another status is not tried again.
    stack->failOpens(kPhone, platform::kIOReturnNoDevice, 1);
    auto other = SLTRFCommDevice::initWithDeviceAddress(kPhone);
    other->setDelegate(&events);
    other->openConnection();
    ASSERT_TRUE(runUntil([&] { return events.openFailed == 3; }, 10.0, 0.05));
    EXPECT_EQ(stack->openCount(kPhone), 7);
}

TEST_F(RFCommDeviceTest, WritesGoInPiecesOfTheMtuAndAFailingPieceStopsTheRest)
{
    addPhone();
    stack->setMtu(8);
    auto device = platform::btDeviceForAddress(kPhone);
    for (const int failAt : {0, 2}) {
        SCOPED_TRACE(failAt);
        events = Events();
        RecordingLink link(device, platform::dunChannel(*device));
        link.failAt = failAt;
        open(link);
        const QByteArray command = "AT+CPBW=1,\"012345678\",12\r";   // 3 x 8 + 1 bytes: four pieces
        ASSERT_EQ(command.size(), 25);
        sim->clearReceived();
        link.sendCommand(QString::fromLatin1(command));
        if (failAt == 0) {
            ASSERT_EQ(link.pieces.size(), 4);
            EXPECT_EQ(link.pieces.join(), command);
            EXPECT_EQ(link.pieces.last(), "\r");
            EXPECT_TRUE(runUntil([&] { return sim->received() == command; }, 2.0, 0.05));
        } else {
            EXPECT_EQ(link.pieces.size(), 2);
            runFor(0.3);
            EXPECT_EQ(sim->received(), command.left(8));
        }
        link.close();
    }
}

TEST_F(RFCommDeviceTest, ReplyAndTimeOut)
{
    addPhone();
    auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone);
    ASSERT_NE(link, nullptr);
    open(*link);
    link->sendCommand(QStringLiteral("AT\r"));
    ASSERT_TRUE(runUntil([&] { return link->buffer().endsWith(QLatin1String("OK\r\n")); }, 5.0, 0.05));
    EXPECT_EQ(link->rawBuffer(), link->buffer().toLatin1());

    sim->setSilent(true);
    const double start = now();
    link->sendCommand(QStringLiteral("AT\r"));
    ASSERT_TRUE(runUntil([&] { return events.timeouts > 0; }, 15.0, 0.05));
    EXPECT_NEAR(events.timeoutAt - start, SLTRFCommDevice::kDefaultTimeoutSeconds, 0.1);
}

TEST_F(RFCommDeviceTest, WillCloseCallbackReplacesTheClosedMessage)
{
    addPhone();
    for (const bool withCallback : {true, false}) {
        SCOPED_TRACE(withCallback);
        events = Events();
        auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone);
        open(*link);
        WillClose willClose;
        if (withCallback)
            link->setWillCloseCallback(&willClose);
        link->close();
        runFor(0.5);
        EXPECT_EQ(willClose.channels.size(), withCallback ? 1 : 0);
        EXPECT_EQ(events.closed, withCallback ? 0 : 1);
        EXPECT_FALSE(link->isOpen());
    }
}

TEST_F(RFCommDeviceTest, QueueOverBluetooth)
{
    addPhone();
    for (const char* family : {"lg", "lg2"}) {
        SCOPED_TRACE(family);
        SLTCommDeviceCommandQueue queue;
        ResultRecorder results;
        queue.setDelegate(&results);
        queue.setDeviceType(kDeviceTypeBluetooth);
        queue.setDeviceAddress(kPhone);
        queue.setFamily(QLatin1String(family));
        const bool lg2 = QLatin1String(family) == QLatin1String("lg2");
        queue.addCommands(
            {lg2 ? command(44, "ObexConnect", hex("00 80 00 10 11 00 40 00 4A 00 09 4C 69 6E 75 78 00"))
                 : command(45, "init"),
             command(44, "frame", hex("AA BB"))});
        ASSERT_TRUE(runUntil([&] { return results.notifications.size() == 2; }, 10.0, 0.05));
        const auto* link = static_cast<SLTRFCommDevice*>(queue.machine().commDevice());
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->channelID(), lg2 ? 3 : 1);
        EXPECT_EQ(results.notifications[1].userInfo.value(k(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray(),
                  hex("FF AA BB 7E"));
        queue.fullStop();
    }
}
