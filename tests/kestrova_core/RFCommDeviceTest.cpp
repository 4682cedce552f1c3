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
#include <sys/socket.h>
#include <unistd.h>

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

TEST_F(RFCommDeviceTest, RecordsNeverReadAreReadBeforeTheOpen)
{
    const struct {
        const char* what;
        QList<SdpServiceRecord> records;
        quint16 uuid;
        int sdpFailure;
        int channel; // -1: the open fails
        const char* logged;
    } cases[] = {
        {"dial-up networking", {record(0x1101, 2), record(0x1103, 1)}, 0, 0, 1, nullptr},
        {"the LG port", {record(0x1101, 2), record(0x4C47, 3)}, 0x4C47, 0, 3, nullptr},
        {"no channel in the records", {record(0x1105, 9)}, 0, 0, -1, "SLTRFCommDevice: no channelID found"},
        {"the query fails",
         {record(0x1103, 1)},
         0,
         platform::kIOReturnTimeout,
         -1,
         "SLTRFCommDevice: SDP query failed (e00002d6)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stack = std::make_shared<BluetoothStackSimulated>();
        BluetoothStack::setShared(stack);
        stack->addDevice(kPhone, QStringLiteral("phone"), true, c.records, false);
        for (const quint8 channel : {1, 2, 3, 9}) {
            stack->setChannelConnector(kPhone, channel, [] {
                int ends[2];
                if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
                    return -1;
                ::close(ends[0]); // nobody answers; the channel opens all the same
                return ends[1];
            });
        }
        if (c.sdpFailure != 0)
            stack->failSdpQueries(kPhone, c.sdpFailure);
        events = Events();
        KitLogCapture log;
        auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone, c.uuid);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->channelID(), platform::kNoRfcommChannel);
        link->setDelegate(&events);
        link->openConnection();
        ASSERT_TRUE(runUntil([&] { return events.opened + events.openFailed > 0; }, 5.0, 0.05));
        EXPECT_EQ(stack->sdpQueryCount(kPhone), 1);
        if (c.channel < 0) {
            EXPECT_EQ(events.openFailed, 1);
            EXPECT_EQ(stack->openCount(kPhone), 0);
            EXPECT_TRUE(log.contains(QLatin1String(c.logged))) << log.lines().join(u'\n').toStdString();
        } else {
            EXPECT_EQ(events.opened, 1);
            EXPECT_EQ(link->channelID(), c.channel);
        }
        link->close();
    }
}

TEST_F(RFCommDeviceTest, ARecordQueryUnderWayOpensNothingAfterTheClose)
{
    stack->addDevice(kPhone, QStringLiteral("phone"), true, {record(0x1103, 1)}, false);
    stack->setSdpDelay(1.0);
    auto link = SLTRFCommDevice::initWithDeviceAddress(kPhone);
    ASSERT_NE(link, nullptr);
    link->setDelegate(&events);
    link->openConnection();
    runFor(0.5);
    link->close();
    runFor(2.0);
    EXPECT_EQ(stack->openCount(kPhone), 0);
    EXPECT_EQ(events.opened + events.openFailed, 0);
    link->openConnection();
    link.reset();
    runFor(2.0);
    EXPECT_EQ(stack->openCount(kPhone), 0);
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
        coretest::WillCloseRecorder willClose;
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

TEST_F(RFCommDeviceTest, FloodWhileNoCommandWaitsClosesTheLink)
{
    // The phone end of the channel is this test's own socket.
    int ends[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int phone = ends[0];
    stack->addDevice(kPhone, QStringLiteral("LG"), true, {record(0x1103, 1)});
    stack->setChannelConnector(kPhone, 1, [&] { return std::exchange(ends[1], -1); });

    SLTCommDeviceCommandQueue queue;
    ResultRecorder results;
    queue.setDelegate(&results);
    queue.setDeviceType(kDeviceTypeBluetooth);
    queue.setDeviceAddress(kPhone);
    queue.setFamily(QStringLiteral("lg"));
    queue.addCommand(command(44, "frame", hex("AA")));
    char frame[3];
    ASSERT_TRUE(runUntil([&] { return ::recv(phone, frame, sizeof frame, MSG_DONTWAIT) == 3; }, 5.0, 0.05));
    const QByteArray reply = hex("FF BB 7E");
    ASSERT_EQ(::send(phone, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL), reply.size());
    ASSERT_TRUE(runUntil([&] { return results.notifications.size() == 1 && queue.isConnected(); }, 5.0, 0.05));

    // Idle now; the phone sends on and on.
    KitLogCapture log;
    const QByteArray piece(64 * 1024, '\x55');
    qint64 sent = 0;
    while (queue.isConnected() && sent < 4 * MultiCommDevice::kMaxBufferedBytes) {
        const ssize_t n = ::send(phone, piece.constData(), size_t(piece.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (errno != EAGAIN)
            break;
        runFor(0.01);
    }
    EXPECT_FALSE(queue.isConnected());
    EXPECT_LE(sent, 2 * MultiCommDevice::kMaxBufferedBytes);
    EXPECT_TRUE(log.contains(QStringLiteral("StateMachine read error, link closed")));
    EXPECT_EQ(results.notifications.size(), 1);
    ::close(phone);
    if (ends[1] >= 0)
        ::close(ends[1]);
}
