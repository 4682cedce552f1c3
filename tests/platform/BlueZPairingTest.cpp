// The BlueZ backend's pairing: Device1.Pair on python3-dbusmock's bluez5
// template, and our org.bluez.Agent1 registered there. The template pairs
// without ever calling an agent, so the agent's requests are made here as
// BlueZ makes them (method calls from another connection). Skipped when
// dbus-daemon or python3-dbusmock is missing.
#include "platform/IOReturn.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BlueZAgent.h"
#include "platform/bluetooth/BlueZObjects.h"
#include "platform/bluetooth/BluetoothStackBlueZ.h"

#include "VirtualTime.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace platform;

namespace {

const QString kPairingBlueZPhone = QStringLiteral("00:1E:75:11:22:33");
const QString kPairingBlueZPath = QStringLiteral("/org/bluez/hci0/dev_00_1E_75_11_22_33");

class BlueZPairingMock : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/lib/python3/dist-packages/dbusmock")))
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock missing";
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        ASSERT_TRUE(bus.waitForReadyRead(5000));
        address = QString::fromUtf8(bus.readLine()).trimmed();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
        mock.setProcessEnvironment(environment);
        mock.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("bluez5")});
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("bluez-pairing-mock")));
        caller = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("bluez-pairing-caller")));
        ASSERT_TRUE(connection->isConnected() && caller->isConnected());
        ASSERT_TRUE(testing_support::runUntil(
            [&] { return connection->interface()->isServiceRegistered(QStringLiteral("org.bluez")).value(); }, 10.0,
            0.05));
        QDBusInterface control(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez"),
                               QStringLiteral("org.bluez.Mock"), *connection);
        for (const auto& [method, arguments] :
             {std::pair{QStringLiteral("AddAdapter"), QVariantList{QStringLiteral("hci0"), QStringLiteral("computer")}},
              std::pair{QStringLiteral("AddDevice"),
                        QVariantList{QStringLiteral("hci0"), kPairingBlueZPhone, QStringLiteral("KU990")}}}) {
            const QDBusMessage reply = control.callWithArgumentList(QDBus::Block, method, arguments);
            ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
        }
        stack = std::make_shared<BluetoothStackBlueZ>();
        stack->setObjects(std::make_unique<BlueZObjects>(*connection));
    }
    void TearDown() override
    {
        stack.reset();
        connection.reset();
        caller.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("bluez-pairing-mock"));
        QDBusConnection::disconnectFromBus(QStringLiteral("bluez-pairing-caller"));
        for (QProcess* process : {&mock, &bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }
    // Calls our agent as BlueZ would; answers the reply once it came.
    QDBusMessage callAgent(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(connection->baseService(),
                                                           QLatin1String(BlueZAgent::kPath),
                                                           QLatin1String(BlueZAgent::kInterface), method);
        call.setArguments(arguments);
        QDBusPendingCall pending = caller->asyncCall(call);
        testing_support::runUntil([&] { return pending.isFinished(); }, 10.0, 0.02);
        return pending.reply();
    }

    testing_support::RealTimeScope realTime;
    QProcess bus;
    QProcess mock;
    QString address;
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<QDBusConnection> caller;
    std::shared_ptr<BluetoothStackBlueZ> stack;
};

} // namespace

TEST(BlueZPairingStatus, ErrorNamesBecomeStatuses)
{
    const struct {
        const char* error;
        int status;
    } cases[] = {
        {"", 0},
        {"org.bluez.Error.AlreadyExists", 0},
        {"org.bluez.Error.AuthenticationFailed", bluetooth::kAuthenticationFailure},
        {"org.bluez.Error.AuthenticationRejected", bluetooth::kAuthenticationFailure},
        {"org.bluez.Error.AuthenticationCanceled", bluetooth::kAuthenticationFailure},
        {"org.bluez.Error.ConnectionAttemptFailed", bluetooth::kPageTimeout},
        {"org.bluez.Error.AuthenticationTimeout", bluetooth::kPageTimeout},
        {"org.bluez.Error.InProgress", kIOReturnBusy},
        {"org.freedesktop.DBus.Error.UnknownObject", kIOReturnNoDevice},
        {"org.bluez.Error.Failed", kIOReturnError},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BluetoothStackBlueZ::statusForPairingError(QString::fromLatin1(c.error)), c.status) << c.error;
}

TEST_F(BlueZPairingMock, PairsAndItsRegisteredAgentAnswersRequests)
{
    const std::shared_ptr<BluetoothDevice> device = stack->deviceWithAddressString(kPairingBlueZPhone);
    ASSERT_FALSE(device->isPaired());
    int status = -1;
    ASSERT_EQ(device->pair([&](int s) { status = s; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return status != -1; }, 10.0, 0.02));
    EXPECT_EQ(status, 0) << "the agent registered, Device1.Pair answered";
    EXPECT_TRUE(stack->agent().isRegistered());
    EXPECT_TRUE(testing_support::runUntil([&] { return device->isPaired(); }, 5.0, 0.02));

    // Requests as BlueZ makes them, answered by whoever follows the agent.
    BluetoothPairingAgent& agent = stack->pairingAgent();
    std::function<void()> answer;
    QList<QVariantMap> seen;
    NotificationCenter::Token token = NotificationCenter::defaultCenter().addObserver(
        this, QString::fromLatin1(BluetoothPairingAgent::kRequestStartedNotification), &agent,
        [&](const Notification& n) {
            seen.append(n.userInfo);
            if (answer)
                runloop::performOnMainThread(answer);
        });
    const QVariant path = QVariant::fromValue(QDBusObjectPath(kPairingBlueZPath));

    answer = [&] { agent.answerPinCode(QStringLiteral("48151623")); };
    QDBusMessage reply = callAgent(QStringLiteral("RequestPinCode"), {path});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.arguments().value(0).toString(), QStringLiteral("48151623"));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].value("address").toString(), kPairingBlueZPhone);
    EXPECT_EQ(seen[0].value("kind").toInt(), int(BluetoothPairingAgent::Kind::PinCode));

    answer = [&] { agent.answerPasskey(42); };
    reply = callAgent(QStringLiteral("RequestPasskey"), {path});
    EXPECT_EQ(reply.arguments().value(0).toUInt(), 42u);

    answer = [&] { agent.confirm(false); };
    reply = callAgent(QStringLiteral("RequestConfirmation"), {path, uint(123456)});
    EXPECT_EQ(reply.errorName(), QStringLiteral("org.bluez.Error.Rejected"));
    EXPECT_EQ(seen.last().value("passkey").toUInt(), 123456u);

    // A passkey to show wants no answer; Cancel ends it.
    answer = {};
    reply = callAgent(QStringLiteral("DisplayPasskey"), {path, uint(7), QVariant::fromValue(quint16(0))});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(agent.hasPendingRequest());
    reply = callAgent(QStringLiteral("Cancel"), {});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(agent.hasPendingRequest());

    // Not a device, or a service to authorise: refused without asking.
    const int before = int(seen.size());
    reply = callAgent(QStringLiteral("RequestPinCode"), {QVariant::fromValue(QDBusObjectPath("/org/bluez/hci0"))});
    EXPECT_EQ(reply.errorName(), QStringLiteral("org.bluez.Error.Rejected"));
    reply = callAgent(QStringLiteral("AuthorizeService"), {path, QStringLiteral("0000110b-0000-1000-8000-00805f9b34fb")});
    EXPECT_EQ(reply.errorName(), QStringLiteral("org.bluez.Error.Rejected"));
    EXPECT_EQ(seen.size(), before);
    NotificationCenter::defaultCenter().removeObserver(token);

    // A device BlueZ does not know: the pairing ends with an error status.
    const std::shared_ptr<BluetoothDevice> unknown = stack->deviceWithAddressString(QStringLiteral("00:1E:75:00:00:01"));
    status = -1;
    ASSERT_EQ(unknown->pair([&](int s) { status = s; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return status != -1; }, 10.0, 0.02));
    EXPECT_NE(status, 0);
}
