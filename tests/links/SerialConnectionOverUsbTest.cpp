#include "UsbPhoneFixture.h"

#include "device/MFDeviceInfo.h"
#include "links/CommonSerialConnection.h"
#include "links/QVDeviceCallback.h"

// The "Serial" connection end to end: the real USB transport on a
// pseudo-terminal, with a simulated phone of each maker behind it.
namespace {

class SerialConnectionOverUsbTest : public UsbPhoneFixture {
protected:
    void TearDown() override
    {
        connection.reset();
        UsbPhoneFixture::TearDown();
    }

    // Attaches the phone and opens a connection to it; the open's result
    // (the answer to the init string) lands in openAnswer.
    void openPhone(const char* profile, const char* protocol, bool gigaset = false)
    {
        attachPhone(profile);
        info = std::make_unique<MFDeviceInfo>(
            std::make_shared<QVariantMap>(),
            QVariantMap{{QStringLiteral("Dorvanti.DeviceProtocol"), QString::fromLatin1(protocol)},
                        {QStringLiteral("Dorvanti.Identification"), QString::fromLatin1(profile)}},
            nullptr, true);
        SerialATChannel::PhoneTraits traits;
        traits.isGigaset = gigaset;
        const QVariantMap connectionDict{{"USB.VendorID", kVendor}, {"USB.ProductID", kProduct},
                                         {"Common.SerialNo", kSerial}};
        connection = std::make_unique<CommonSerialConnection>(nullptr, info.get(), connectionDict,
                                                              QStringLiteral("USB-Serial"), traits);
        auto callback = QVDeviceCallback::pollingObject();
        ASSERT_EQ(connection->openConnection(callback), 0);
        ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 5.0));
        ASSERT_EQ(callback->returnStatus(), 0);
        openAnswer = callback->resultObject().toString();
        sim->clearReceived();
    }

    // Waits until the phone's answer to the last command is complete.
    void waitForAnswer() { ASSERT_TRUE(connection->waitForOkOrError(50)); }

    std::unique_ptr<MFDeviceInfo> info;
    std::unique_ptr<CommonSerialConnection> connection;
    QString openAnswer;
};

} // namespace

TEST_F(SerialConnectionOverUsbTest, OpenAnswersWithThePhonesAnswerToTheInitString)
{
    openPhone("nokia", "nokia");
    // The phone still echoes the command that turns its echo off. (The
    // answer is complete with its last line; its line end may come later.)
    EXPECT_TRUE(openAnswer.startsWith(QLatin1String("ATE0\r\r\nOK"))) << openAnswer.toStdString();
    EXPECT_TRUE(connection->hasOpenTransportConnection());
    EXPECT_FALSE(sim->session().echo);

    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection->closeConnection(closed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !closed->isBusy(); }, 5.0));
    EXPECT_EQ(closed->returnStatus(), 0);
    EXPECT_FALSE(connection->hasConnection());
    EXPECT_FALSE(connection->hasOpenTransportConnection());
}

TEST_F(SerialConnectionOverUsbTest, WizardPropertiesFindThePhoneToo)
{
    attachPhone("samsung");
    CommonSerialConnection wizardConnection(wizDict(), QStringLiteral("USB-Serial"));
    auto callback = QVDeviceCallback::pollingObject();
    ASSERT_EQ(wizardConnection.openConnection(callback), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 5.0));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_TRUE(callback->resultObject().toString().endsWith(QLatin1String("OK\r\n")));
}

TEST_F(SerialConnectionOverUsbTest, MotorolaCallInProgressIsUp)
{
    openPhone("motorola", "motorola");
    EXPECT_EQ(connection->dialNumber(QStringLiteral("0123456789")), 0);
    waitForAnswer();
    EXPECT_EQ(connection->dialResponse(), 0);
    EXPECT_EQ(sim->received(), QByteArray("ATD0123456789;\r\n"));
    EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>{"0123456789"});

    sim->clearReceived();
    EXPECT_EQ(connection->dialOnline(), 0);
    waitForAnswer();
    EXPECT_EQ(sim->received(), QByteArray("AT+CPAS\r\n"));
    EXPECT_EQ(connection->dialResponse(), 0);

    sim->clearReceived();
    EXPECT_EQ(connection->dialHangUp(), 0);
    waitForAnswer();
    EXPECT_EQ(sim->received(), QByteArray("AT+CHUP\r\n"));
    EXPECT_EQ(sim->session().activity, phonesim::PhoneSession::Ready);
    // Idle again: CPAS 0 is "busy" in the Motorola rules.
    EXPECT_EQ(connection->dialOnline(), 0);
    waitForAnswer();
    EXPECT_EQ(connection->dialResponse(), -1);
}

TEST_F(SerialConnectionOverUsbTest, NokiaRingingKeepsTheCallerPolling)
{
    openPhone("nokia", "nokia");
    sim->modifySession([](phonesim::PhoneSession& s) { s.activity = phonesim::PhoneSession::Ringing; });
    EXPECT_EQ(connection->dialOnline(), 0);
    waitForAnswer();
    EXPECT_TRUE(connection->getDialBuffer().endsWith(QLatin1String("+CPAS: 3\nOK\n")));
    EXPECT_EQ(connection->dialResponse(), 1);
}

TEST_F(SerialConnectionOverUsbTest, GigasetHangsUpWithATH)
{
    openPhone("gigaset", "siemens", true);
    EXPECT_EQ(connection->dialHangUp(), 0);
    waitForAnswer();
    EXPECT_EQ(sim->received(), QByteArray("ATH\r\n"));
}

TEST_F(SerialConnectionOverUsbTest, BatteryAnswers)
{
    const struct {
        const char* profile;
        const char* protocol;
        QByteArray line;   // empty: the phone's own answer from its session
        std::pair<int, int> expected;
    } cases[] = {
        {"nokia", "nokia", {}, {0, 80}},
        {"sonyericsson", "sony", {}, {0, 80}},
        {"lg", "lg", "+CBC: 1", {1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        connection.reset();
        openPhone(c.profile, c.protocol);
        if (!c.line.isEmpty()) {
            sim->setHandler("+CBC", [line = c.line](phonesim::PhoneSession&, const phonesim::AtCommand&) {
                return phonesim::AtResult::okay({line});
            });
        }
        ASSERT_TRUE(connection->sendBatteryCheck());
        EXPECT_TRUE(connection->waitBatteryResponse());
        EXPECT_EQ(sim->received(), QByteArray("AT+CBC\r\n"));
        EXPECT_EQ(connection->batteryChargerConnection(), c.expected);
    }
}
