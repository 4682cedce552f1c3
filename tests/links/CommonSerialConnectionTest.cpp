#include "FakeSerialATChannel.h"

#include "device/MFDeviceInfo.h"
#include "links/CommonSerialConnection.h"
#include "links/LinkCodes.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace {

class CommonSerialConnectionTest : public ::testing::Test {
protected:
    void makeConnection(const QString& protocol = QString(), bool gigaset = false,
                        const QString& type = QStringLiteral("USB-Serial"))
    {
        connection.reset();
        info = std::make_unique<MFDeviceInfo>(
            std::make_shared<QVariantMap>(),
            QVariantMap{{QStringLiteral("Dorvanti.DeviceProtocol"), protocol},
                        {QStringLiteral("Dorvanti.Identification"), QStringLiteral("ACME Phone")}},
            nullptr, true);
        SerialATChannel::PhoneTraits traits;
        traits.isGigaset = gigaset;
        connection = std::make_unique<CommonSerialConnection>(nullptr, info.get(), QVariantMap(), type, traits);
        connection->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* device,
                                             SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits t) {
            auto made = std::make_unique<FakeSerialATChannel>(device, delegate, t);
            made->openRefusal = openRefusal;
            made->openReport = openReport;
            fake = made.get();
            return made;
        });
        fake = nullptr;
    }
    void SetUp() override { makeConnection(); }
    void TearDown() override { connection.reset(); }

    // Opens and answers the init string.
    void openWithAnswer(const QByteArray& answer)
    {
        auto callback = QVDeviceCallback::pollingObject();
        ASSERT_EQ(connection->openConnection(callback), 0);
        ASSERT_TRUE(testing_support::runUntil([&] { return fake && !fake->sent.empty(); }, 1.0));
        fake->deliver(answer);
        ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 1.0));
    }
    void phoneSays(const QByteArray& text)
    {
        fake->sent.clear();
        fake->resetBuffer();
        fake->deliver(text);
    }

    int openRefusal = 0;
    int openReport = 0;
    std::unique_ptr<MFDeviceInfo> info;
    std::unique_ptr<CommonSerialConnection> connection;
    FakeSerialATChannel* fake = nullptr;
};

} // namespace

TEST_F(CommonSerialConnectionTest, OpenEndsWithThePhonesAnswerToTheInitString)
{
    EXPECT_EQ(connection->deviceIdentifier(), QStringLiteral("ACME Phone"));
    auto callback = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->openConnection(callback), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return fake && !fake->sent.empty(); }, 1.0));
    EXPECT_EQ(fake->sent[0].bytes, QByteArray("ATE0\r\n"));
    EXPECT_TRUE(callback->isBusy());

    fake->deliver("ATE0\r\r\nOK\r\n");
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 1.0));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_EQ(callback->resultObject().toString(), QStringLiteral("ATE0\r\r\nOK\r\n"));
    EXPECT_TRUE(connection->hasConnection());
    EXPECT_TRUE(connection->hasValidSession());

    auto again = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection->openConnection(again), links::kIOReturnExclusiveAccess);

    // An answered command: the callback carries the text, also for "ERROR".
    auto command = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->performATCommandWithCallback(QStringLiteral("AT+FOO\r\n"), command), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("AT+FOO\r\n"));
    testing_support::runFor(0.2);
    fake->deliver("\r\n+CME ERROR: 4\r\n");
    ASSERT_TRUE(testing_support::runUntil([&] { return !command->isBusy(); }, 1.0));
    EXPECT_EQ(command->returnStatus(), 0);
    EXPECT_EQ(command->resultObject().toString(), QStringLiteral("\r\n+CME ERROR: 4\r\n"));
    EXPECT_TRUE(again->isBusy());
}

TEST_F(CommonSerialConnectionTest, FailedOpensLeaveTheCallerInCharge)
{
    // Refused at once: the code is answered and the callback is not ended.
    openRefusal = links::kIOReturnExclusiveAccess;
    makeConnection();
    auto refused = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection->openConnection(refused), links::kIOReturnExclusiveAccess);
    testing_support::runFor(1.0);
    EXPECT_TRUE(refused->isBusy());

    // Failed later: the callback ends with the error and the connection can be opened again.
    openRefusal = 0;
    openReport = links::kIOReturnNoDevice;
    makeConnection();
    auto failed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->openConnection(failed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !failed->isBusy(); }, 1.0));
    EXPECT_EQ(failed->returnStatus(), links::kIOReturnNoDevice);
    EXPECT_FALSE(failed->resultObject().isValid());
    EXPECT_FALSE(connection->hasConnection());
    EXPECT_TRUE(fake->sent.empty());
    fake->openReport = 0;
    openWithAnswer("\r\nOK\r\n");
    EXPECT_TRUE(connection->hasConnection());
}

TEST_F(CommonSerialConnectionTest, ConnectionTypesWithoutASerialPort)
{
    makeConnection(QString(), false, QStringLiteral("Virtual"));
    try {
        connection->openConnection(QVDeviceCallback::pollingObject());
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("Unimplemented protocol error"));
        EXPECT_EQ(e.reason(), QStringLiteral("### There is no serial port for connection type: 'Virtual'"));
    }

    // The Bluetooth channel needs a phone address.
    makeConnection(QString(), false, QStringLiteral("Bluetooth"));
    connection->setChannelFactory({});
    EXPECT_EQ(connection->openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnNoDevice);
}

TEST_F(CommonSerialConnectionTest, CommandThatCannotBeSentIsNotEndedBehindTheCallersBack)
{
    openWithAnswer("\r\nOK\r\n");
    fake->failSends = true;
    int ends = 0;
    int sender = 0;
    auto callback = QVDeviceCallback::commandObject(&sender, [&](QVDeviceCallback&) { ++ends; }, {});
    EXPECT_EQ(connection->performATCommandWithCallback(QStringLiteral("AT\r\n"), callback), links::kIOReturnIOError);
    testing_support::runFor(1.0);
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(callback->isBusy());
}

TEST_F(CommonSerialConnectionTest, CloseEndsWithTheTransportsReport)
{
    auto early = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection->closeConnection(early), 0);   // no transport: ended at once, on a later pass
    platform::runloop::processPendingEvents();
    EXPECT_FALSE(early->isBusy());

    openWithAnswer("\r\nOK\r\n");
    auto close = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->closeConnection(close), 0);
    EXPECT_TRUE(connection->hasConnection());
    ASSERT_TRUE(testing_support::runUntil([&] { return !close->isBusy(); }, 1.0));
    EXPECT_EQ(close->returnStatus(), 0);
    EXPECT_FALSE(connection->hasConnection());
    EXPECT_FALSE(connection->hasOpenTransportConnection());
}

TEST_F(CommonSerialConnectionTest, ConnectionGoneBeforeItsOpenIsReported)
{
    auto callback = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->openConnection(callback), 0);
    connection.reset();   // closes the channel blocking; the late open report reaches nobody
    testing_support::runFor(1.0);
    EXPECT_TRUE(callback->isBusy());
}

TEST_F(CommonSerialConnectionTest, DialResponsesByProtocol)
{
    struct Case {
        const char* protocol;
        const char* answer;
        int expected;
    } cases[] = {
        {"motorola", "AT+CPAS\r\r\n\r\n+CPAS: 4\r\n\r\nOK\r\n", 0},
        {"motorola", "\r\n+CPAS: 0\r\n\r\nOK\r\n", -1},
        {"motorola", "\r\nNO CARRIER\r\n", -2},
        {"", "\r\n+CPAS: 3\r\n\r\nOK\r\n", 1},
        {"nokia", "\r\n+CPAS: 4\r\n\r\nOK\r\n", 0},
        {"nokia", "\r\nBLACKLISTED\r\n", -2},
        {"nokia", "\r\n+CME ERROR: 30\r\n", 1},   // only a plain ERROR line is -6
        {"nokia", "\r\nCONNECT\r\n", 1},
        {"nokia", "\r\nERROR\r\n", -6},
        {"sony", "\r\n+CPAS: 3\r\n\r\nOK\r\n", -3},
        {"sony", "ATE0\r\nOK\r\nOK\r\n", -3},
        {"sony", "\r\n+CPAS: 0\r\n\r\nOK\r\n", -2},
        {"siemens", "\r\n+CNIP: \"0123\",129\r\n\r\nOK\r\n", -9},
        {"siemens", "\r\nCONNECT\r\n", -3},
        {"siemens", "\r\nOK\r\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.protocol) + " " + c.answer);
        makeConnection(QLatin1String(c.protocol));
        openWithAnswer("\r\nOK\r\n");
        phoneSays(c.answer);
        ASSERT_TRUE(connection->dataAvail());
        EXPECT_EQ(connection->dialResponse(), c.expected);
        // Only an answer that no rule knows is consumed.
        const bool unmatched = c.expected == 1 && !QByteArray(c.answer).contains("CPAS");
        EXPECT_EQ(connection->dataAvail(), !unmatched);
    }
}

TEST_F(CommonSerialConnectionTest, DialCommands)
{
    EXPECT_EQ(connection->dialResponse(), 1);   // no channel, no data
    openWithAnswer("\r\nOK\r\n");
    EXPECT_EQ(connection->dialNumber(QStringLiteral("0123")), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("ATD0123;\r\n"));
    EXPECT_EQ(connection->dialOnline(), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("AT+CPAS\r\n"));
    EXPECT_EQ(connection->dialHangUp(), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("AT+CHUP\r\n"));
    fake->failSends = true;
    EXPECT_EQ(connection->dialOnline(), -7);

    makeConnection(QString(), true);
    openWithAnswer("\r\nOK\r\n");
    EXPECT_EQ(connection->dialHangUp(), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("ATH\r\n"));
}

TEST_F(CommonSerialConnectionTest, DialStringsWithAnythingButDialCharactersAreRefused)
{
    openWithAnswer("\r\nOK\r\n");
    const std::size_t sentBefore = fake->sent.size();
    for (const char* bad : {"", "0123\r", "0123;ATH", "12 34", "+49a", "0123\nAT+CMGD=1"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(connection->dialNumber(QString::fromLatin1(bad)), -6);
    }
    EXPECT_EQ(fake->sent.size(), sentBefore);

    EXPECT_EQ(connection->dialNumber(QStringLiteral("+49*31#p12w3,4")), 0);
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("ATD+49*31#p12w3,4;\r\n"));
}

TEST_F(CommonSerialConnectionTest, BatteryAnswerParsing)
{
    struct Case {
        const char* answer;
        int state, level;
    } cases[] = {
        {"\r\n+CBC: 0,80\r\n\r\nOK\r\n", 0, 80},
        {"\r\n+CBC: 1\r\n\r\nOK\r\n", 1, -1},
        {"ATE0\r\nOK\r\nAT+CBC\r\n+CBC: 1,55\r\nOK\r\n", 1, 55},
        {"\r\n+CBC: ,\r\n\r\nOK\r\n", -1, -1},
        {"\r\nOK\r\n", -1, -1},
    };
    openWithAnswer("\r\nOK\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        phoneSays(c.answer);
        const auto [state, level] = connection->batteryChargerConnection();
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(level, c.level);
    }
}

TEST_F(CommonSerialConnectionTest, SonyBatteryWaitSkipsTheInitEcho)
{
    makeConnection(QStringLiteral("sony"));
    openWithAnswer("\r\nOK\r\n");
    ASSERT_TRUE(connection->sendBatteryCheck());
    EXPECT_EQ(fake->sent.back().bytes, QByteArray("AT+CBC\r\n"));
    fake->deliver("ATE0\r\nOK\r\n");
    FakeSerialATChannel* target = fake;
    platform::runloop::performAfterDelay(target, QStringLiteral("deliver"), 0.5, [target] {
        target->deliver("\r\n+CBC: 0,42\r\n\r\nOK\r\n");
    });
    EXPECT_TRUE(connection->waitBatteryResponse());
    EXPECT_EQ(connection->batteryChargerConnection(), std::make_pair(0, 42));

    // Without an answer the wait gives up after 2.3 s.
    connection->sendBatteryCheck();
    const double start = platform::Clock::instance().now();
    EXPECT_FALSE(connection->doWaitBatteryResponse(QStringLiteral("nokia")));
    EXPECT_NEAR(platform::Clock::instance().now() - start, 2.3, 1e-6);
}
