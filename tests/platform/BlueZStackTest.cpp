// The BlueZ backend against python3-dbusmock's bluez5 template on a private
// bus: adapter power, the paired devices with their class, and discovery.
// Skipped when dbus-daemon or python3-dbusmock is missing.
#include "platform/bluetooth/BlueZObjects.h"
#include "platform/bluetooth/BluetoothInquiry.h"
#include "platform/bluetooth/BluetoothStackBlueZ.h"

#include "VirtualTime.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace platform;

namespace {

const QString kBlueZPhone = QStringLiteral("00:1E:75:11:22:33");
const QString kBlueZNewPhone = QStringLiteral("00:1E:75:77:88:99");

struct Seen : BluetoothInquiryDelegate {
    QStringList found;
    QStringList names;
    int completes = 0;
    bool aborted = false;
    void deviceInquiryStarted(BluetoothInquiry&) override { }
    void deviceInquiryDeviceFound(BluetoothInquiry&, const std::shared_ptr<BluetoothDevice>& d) override
    {
        found << d->address().toColonString();
    }
    void deviceInquiryUpdatingDeviceNamesStarted(BluetoothInquiry&, int) override { }
    void deviceInquiryDeviceNameUpdated(BluetoothInquiry&, const std::shared_ptr<BluetoothDevice>& d, int) override
    {
        names << d->name();
    }
    void deviceInquiryComplete(BluetoothInquiry&, int, bool a) override
    {
        ++completes;
        aborted = a;
    }
};

class BlueZMock : public ::testing::Test {
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
            QDBusConnection::connectToBus(address, QStringLiteral("bluez-mock")));
        ASSERT_TRUE(connection->isConnected());
        ASSERT_TRUE(testing_support::runUntil(
            [&] { return connection->interface()->isServiceRegistered(QStringLiteral("org.bluez")).value(); }, 10.0,
            0.05));
    }
    void TearDown() override
    {
        connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("bluez-mock"));
        for (QProcess* process : {&mock, &bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }
    void callMock(const QString& method, const QVariantList& arguments)
    {
        QDBusInterface control(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez"),
                               QStringLiteral("org.bluez.Mock"), *connection);
        const QDBusMessage reply = control.callWithArgumentList(QDBus::Block, method, arguments);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }
    std::shared_ptr<BluetoothStackBlueZ> makeStack()
    {
        auto stack = std::make_shared<BluetoothStackBlueZ>();
        stack->setObjects(std::make_unique<BlueZObjects>(*connection));
        return stack;
    }

    testing_support::RealTimeScope realTime;
    QProcess bus;
    QProcess mock;
    QString address;
    std::unique_ptr<QDBusConnection> connection;
};

} // namespace

TEST_F(BlueZMock, AdapterPairedDevicesAndClasses)
{
    EXPECT_FALSE(makeStack()->hasAdapter()) << "no adapter yet";
    callMock(QStringLiteral("AddAdapter"), {QStringLiteral("hci0"), QStringLiteral("computer")});
    callMock(QStringLiteral("AddDevice"), {QStringLiteral("hci0"), kBlueZPhone, QStringLiteral("KU990")});
    callMock(QStringLiteral("PairDevice"), {QStringLiteral("hci0"), kBlueZPhone, uint(0x5a020c)});
    // The template keeps Class 0 for a device it added itself; set it.
    QDBusInterface properties(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0/dev_00_1E_75_11_22_33"),
                              QStringLiteral("org.freedesktop.DBus.Properties"), *connection);
    const QDBusMessage set = properties.call(QStringLiteral("Set"), QStringLiteral("org.bluez.Device1"),
                                             QStringLiteral("Class"),
                                             QVariant::fromValue(QDBusVariant(uint(0x5a020c))));
    ASSERT_NE(set.type(), QDBusMessage::ErrorMessage) << set.errorMessage().toStdString();
    callMock(QStringLiteral("AddDevice"), {QStringLiteral("hci0"), kBlueZNewPhone, QStringLiteral("KE850")});

    auto stack = makeStack();
    EXPECT_TRUE(stack->hasAdapter());
    EXPECT_EQ(stack->powerState(), bluetooth::kPowerOn);
    const QList<std::shared_ptr<BluetoothDevice>> paired = stack->pairedDevices();
    ASSERT_EQ(paired.size(), 1);
    EXPECT_EQ(paired.first()->address().toColonString(), kBlueZPhone);
    EXPECT_EQ(paired.first()->majorDeviceClass(), bluetooth::kMajorClassPhone);
    EXPECT_EQ(paired.first()->name(), QStringLiteral("KU990"));
    EXPECT_TRUE(paired.first()->isPaired());
    EXPECT_FALSE(stack->deviceWithAddressString(kBlueZNewPhone)->isPaired());

    // Power goes off: the copy follows BlueZ's signal.
    QDBusInterface adapter(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0"),
                           QStringLiteral("org.freedesktop.DBus.Properties"), *connection);
    adapter.call(QStringLiteral("Set"), QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Powered"),
                 QVariant::fromValue(QDBusVariant(false)));
    EXPECT_TRUE(testing_support::runUntil([&] { return stack->powerState() == bluetooth::kPowerOff; }, 5.0, 0.05));
    EXPECT_NE(stack->makeInquiry()->start(), 0);
}

TEST_F(BlueZMock, DiscoveryReportsDevicesThatAppearAndStops)
{
    callMock(QStringLiteral("AddAdapter"), {QStringLiteral("hci0"), QStringLiteral("computer")});
    // The template's StartDiscovery needs a filter set before.
    QDBusInterface filter(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0"),
                          QStringLiteral("org.bluez.Adapter1"), *connection);
    filter.call(QStringLiteral("SetDiscoveryFilter"), QVariantMap());
    auto stack = makeStack();
    std::unique_ptr<BluetoothInquiry> inquiry = stack->makeInquiry();
    Seen seen;
    inquiry->setDelegate(&seen);
    inquiry->setUpdateNewDeviceNames(true);
    ASSERT_EQ(inquiry->start(), 0);
    QDBusInterface adapter(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0"),
                           QStringLiteral("org.freedesktop.DBus.Properties"), *connection);
    ASSERT_TRUE(testing_support::runUntil(
        [&] {
            const QDBusReply<QVariant> discovering = adapter.call(
                QStringLiteral("Get"), QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Discovering"));
            return discovering.isValid() && discovering.value().toBool();
        },
        5.0, 0.05));
    // A phone found without a name; the name comes later.
    callMock(QStringLiteral("AddDevice"), {QStringLiteral("hci0"), kBlueZNewPhone, QString()});
    ASSERT_TRUE(testing_support::runUntil([&] { return !seen.found.isEmpty(); }, 5.0, 0.05));
    EXPECT_EQ(seen.found, QStringList({kBlueZNewPhone}));
    QDBusInterface device(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0/dev_00_1E_75_77_88_99"),
                          QStringLiteral("org.freedesktop.DBus.Properties"), *connection);
    device.call(QStringLiteral("Set"), QStringLiteral("org.bluez.Device1"), QStringLiteral("Name"),
                QVariant::fromValue(QDBusVariant(QStringLiteral("KE850"))));
    ASSERT_TRUE(testing_support::runUntil([&] { return !seen.names.isEmpty(); }, 5.0, 0.05));
    EXPECT_EQ(seen.names, QStringList({QStringLiteral("KE850")}));
    EXPECT_EQ(inquiry->stop(), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return seen.completes == 1; }, 5.0, 0.05));
    EXPECT_TRUE(seen.aborted);
}
