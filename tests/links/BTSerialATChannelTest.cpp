#include "BluetoothPhoneFixture.h"

#include "LinkTestSupport.h"
#include "device/MFDeviceInfo.h"
#include "links/BTSerialATChannel.h"
#include "links/CommonSerialConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "platform/Clock.h"

namespace {

using platform::SdpServiceRecord;
using platform::BluetoothUuid;

double now()
{
    return platform::Clock::instance().now();
}

class BTSerialATChannelTest : public BluetoothPhoneFixture {
protected:
    // A channel of the setup wizard (no device object): synchronous opens,
    // two tries. Gigaset traits give a device's Gigaset the same.
    std::unique_ptr<BTSerialATChannel> makeChannel(SerialATChannel::PhoneTraits traits = {})
    {
        return std::make_unique<BTSerialATChannel>(nullptr, connectionDict(), nullptr, traits);
    }
    // Opens and answers the callback; the open's status in *status.
    std::shared_ptr<QVDeviceCallback> open(BTSerialATChannel& channel, int* status)
    {
        auto callback = QVDeviceCallback::pollingObject();
        *status = channel.openConnection(callback);
        return callback;
    }
};

} // namespace

TEST_F(BTSerialATChannelTest, SuccessIsReportedOneSecondAfterTheChannelOpened)
{
    addPhone("lg");
    auto channel = makeChannel();
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    const double opened = now();
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_NEAR(now() - opened, BTSerialATChannel::kOpenReportDelay, 0.15);
    EXPECT_TRUE(channel->hasOpenTransportConnection());
    EXPECT_EQ(stack->openCount(address()), 1);
    // The Dial-up Networking channel, not the Serial Port one.
    EXPECT_EQ(channel->btDevice()->services().size(), phonesim::ServiceRecords::forProfile("lg").size());
}

TEST_F(BTSerialATChannelTest, ChannelClosedBeforeTheReportEndsTheOpenWithNoDevice)
{
    addPhone("lg");
    auto channel = makeChannel();
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    testing_support::runFor(0.3);
    stack->closeFromRemote(address());
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    EXPECT_EQ(callback->returnStatus(), links::kIOReturnNoDevice);
    EXPECT_FALSE(channel->hasOpenTransportConnection());
    testing_support::runFor(2.0);   // the report that was due stays away
    EXPECT_EQ(callback->returnStatus(), links::kIOReturnNoDevice);
}

TEST_F(BTSerialATChannelTest, WaitEndsWhenThePhoneClosesTheChannel)
{
    addPhone("lg");
    auto channel = makeChannel();
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    ASSERT_EQ(callback->returnStatus(), 0);
    platform::Timer closer([&] { stack->closeFromRemote(address()); });
    closer.start(0.2);
    const double start = now();
    EXPECT_FALSE(channel->waitForOkOrError(50));
    EXPECT_LT(now() - start, 0.5);
    EXPECT_FALSE(channel->hasConnection());
}

TEST_F(BTSerialATChannelTest, PageTimeOutEndsTheOpenAtOnceWithoutQueryOrRetry)
{
    SerialATChannel::PhoneTraits gigaset;
    gigaset.isGigaset = true;
    for (const auto& traits : {SerialATChannel::PhoneTraits(), gigaset}) {
        addPhone("gigaset");
        const int queries = stack->sdpQueryCount(address());
        const int opens = stack->openCount(address());
        stack->failOpens(address(), BTSerialATChannel::kPageTimeout);
        auto channel = makeChannel(traits);
        int status = -99;
        auto callback = open(*channel, &status);
        EXPECT_EQ(status, 0);
        ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 0.1));
        EXPECT_EQ(callback->returnStatus(), BTSerialATChannel::kPageTimeout);
        testing_support::runFor(5.0);
        EXPECT_EQ(stack->sdpQueryCount(address()), queries);
        EXPECT_EQ(stack->openCount(address()), opens + 1);
    }
}

TEST_F(BTSerialATChannelTest, GigasetTriesAgainTwoSecondsAfterTheQueryAndEndsTheFirstCallback)
{
    addPhone("gigaset");
    // The first open and the one right after the query fail.
    stack->failOpens(address(), links::kIOReturnError, 2);
    SerialATChannel::PhoneTraits gigaset;
    gigaset.isGigaset = true;
    auto channel = makeChannel(gigaset);
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return stack->openCount(address()) == 2; }, 1.0));
    EXPECT_EQ(stack->sdpQueryCount(address()), 1);
    const double failed = now();
    ASSERT_TRUE(testing_support::runUntil([&] { return stack->openCount(address()) == 3; }, 3.0));
    EXPECT_NEAR(now() - failed, BTSerialATChannel::kRetryDelay, 0.15);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_TRUE(channel->hasOpenTransportConnection());
}

TEST_F(BTSerialATChannelTest, DevicesOpenOtherPhonesAsynchronouslyAndReportAFailureAfterTheSecond)
{
    addPhone("lg");
    stack->failOpens(address(), links::kIOReturnError);
    int device = 0;   // stands for a device object; the channel never reads it
    BTSerialATChannel channel(reinterpret_cast<MFDevice*>(&device), connectionDict(), nullptr);
    int status = -99;
    auto callback = open(channel, &status);
    ASSERT_EQ(status, 0);
    const double started = now();
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 5.0));
    EXPECT_EQ(callback->returnStatus(), links::kIOReturnError);
    EXPECT_NEAR(now() - started, BTSerialATChannel::kOpenReportDelay, 0.15);
    testing_support::runFor(3.0);
    EXPECT_EQ(stack->openCount(address()), 1);
    EXPECT_EQ(stack->sdpQueryCount(address()), 0);
}

TEST_F(BTSerialATChannelTest, OpensThatCannotStart)
{
    addPhone("lg");
    auto channel = makeChannel();
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    // A second open while one runs, and once the channel is there.
    EXPECT_EQ(channel->openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnExclusiveAccess);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    EXPECT_EQ(channel->openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnExclusiveAccess);

    // Neither Dial-up Networking nor Serial Port.
    addPhoneWithRecords({service(0x1105, 9)});
    EXPECT_EQ(makeChannel()->openConnection(QVDeviceCallback::pollingObject()), BTSerialATChannel::kNoChannel);

    // No usable address.
    BTSerialATChannel noAddress(nullptr, {{QStringLiteral("BT.BT_Address"), QStringLiteral("12:34")}}, nullptr);
    EXPECT_EQ(noAddress.openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnNoDevice);
}

TEST_F(BTSerialATChannelTest, RecordsNeverReadAreQueriedBeforeTheFirstOpen)
{
    addPhone("gigaset", false);
    auto channel = makeChannel();
    int status = -99;
    auto callback = open(*channel, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 3.0));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_EQ(stack->sdpQueryCount(address()), 1);
    EXPECT_TRUE(channel->hasOpenTransportConnection()) << "over the Serial Port channel";

    // A phone whose records turn out to offer no serial service.
    stack->addDevice(QStringLiteral("00:12:34:56:78:9b"), QString(), false, {service(0x1105, 9)}, false);
    BTSerialATChannel other(nullptr, {{QStringLiteral("BT.BT_Address"), QStringLiteral("00:12:34:56:78:9b")}},
                            nullptr);
    auto otherCallback = QVDeviceCallback::pollingObject();
    ASSERT_EQ(other.openConnection(otherCallback), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !otherCallback->isBusy(); }, 10.0));
    EXPECT_EQ(otherCallback->returnStatus(), BTSerialATChannel::kNoChannel);
}

TEST_F(BTSerialATChannelTest, WritesGoInMtuPieces)
{
    addPhone("lg");
    stack->setMtu(100);
    auto channel = makeChannel();
    auto notOpen = QVDeviceCallback::pollingObject();
    EXPECT_TRUE(channel->sendDataAsync("AT\r", 3, notOpen));
    ASSERT_TRUE(testing_support::runUntil([&] { return !notOpen->isBusy(); }, 1.0));
    EXPECT_EQ(notOpen->returnStatus(), links::kIOReturnNotOpen);
    EXPECT_FALSE(channel->sendData("AT\r", 3));

    int status = -99;
    auto opened = open(*channel, &status);
    ASSERT_TRUE(testing_support::runUntil([&] { return !opened->isBusy(); }, 3.0));
    const QByteArray bytes(250, 'x');
    auto sent = QVDeviceCallback::pollingObject();
    EXPECT_TRUE(channel->sendDataAsync(bytes.constData(), int(bytes.size()), sent));
    ASSERT_TRUE(testing_support::runUntil([&] { return !sent->isBusy(); }, 1.0));
    EXPECT_EQ(sent->returnStatus(), 0);
    EXPECT_EQ(stack->writeSizes(address()), (QList<int>{100, 100, 50}));
    EXPECT_TRUE(channel->sendData(bytes.constData(), int(bytes.size())));
    EXPECT_EQ(stack->writeSizes(address()).mid(3), (QList<int>{100, 100, 50}));
}

TEST_F(BTSerialATChannelTest, SerialConnectionOpensAndDialsOverBluetooth)
{
    addPhone("nokia");
    MFDeviceInfo info(std::make_shared<QVariantMap>(),
                      QVariantMap{{QStringLiteral("Dorvanti.DeviceProtocol"), QStringLiteral("nokia")}}, nullptr, true);
    CommonSerialConnection connection(nullptr, &info, connectionDict(), QStringLiteral("Bluetooth"), {});
    EXPECT_TRUE(connection.isBluetooth());
    EXPECT_FALSE(connection.isUSB());
    auto callback = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection.openConnection(callback), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 5.0));
    ASSERT_EQ(callback->returnStatus(), 0);
    EXPECT_TRUE(callback->resultObject().toString().endsWith(QLatin1String("OK\r\n")))
        << callback->resultObject().toString().toStdString();
    EXPECT_NE(dynamic_cast<BTSerialATChannel*>(connection.serialChannel()), nullptr);

    EXPECT_EQ(connection.dialNumber(QStringLiteral("0123456")), CommonSerialConnection::kDialUp);
    ASSERT_TRUE(connection.waitForOkOrError(50));
    EXPECT_EQ(connection.dialResponse(), CommonSerialConnection::kDialUp);
    EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>{"0123456"});

    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection.closeConnection(closed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !closed->isBusy(); }, 5.0));
    EXPECT_EQ(closed->returnStatus(), 0);
    EXPECT_FALSE(connection.hasOpenTransportConnection());
}
