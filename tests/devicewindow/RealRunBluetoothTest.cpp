// The phone window and the "lg" phone of the phone simulator over the
// simulated Bluetooth stack: a new phone from the wizard's result, and the
// stored phone woken with a baseband open that first answers status 4.
#include "../links/BluetoothPhoneFixture.h"
#include "DeviceWindowTestSupport.h"

#include "DeviceDBTestSupport.h"
#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "platform/UserDefaults.h"

#include <QLabel>

namespace {

using namespace devicewindow_tests;

class RealRunBluetoothTest : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        markXT();
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        const QString path = buildTestDeviceDB(
            QStringLiteral("device-window-bt"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG) VALUES ('20001', 'LG+KU990', 'KU990', 'LG', 'lg', 1);"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        controller = std::make_unique<DeviceWindowController>(&host);
    }
    void TearDown() override
    {
        controller->setMFDevice(nullptr);
        controller.reset();
        device.reset();
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
        BluetoothPhoneFixture::TearDown();
    }
    QVariantMap wizard() const
    {
        return {{QStringLiteral("Wizard.BluetoothAddress"), address()},
                {QStringLiteral("Wizard.QuorvalisDeviceID"), 20001}};
    }

    RecordingHost host;
    std::unique_ptr<DeviceWindowController> controller;
    std::shared_ptr<MFDevice> device;
};

TEST_F(RealRunBluetoothTest, ANewPhoneFromTheWizardThenTheStoredPhoneAfterStatusFour)
{
    addPhone("lg");
    device = controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("Bluetooth"));
    ASSERT_TRUE(device) << xtLines().join(QLatin1Char('\n')).toStdString();
    const QVariantMap made = *device->mDeviceDict();
    EXPECT_EQ(made.value("BT.BT_Address"), address());
    EXPECT_EQ(made.value("Common.LastConnectionType"), QStringLiteral("Bluetooth"));
    EXPECT_NE(made.value("BT.DeviceChannel"), QStringLiteral("255"));
    EXPECT_FALSE(made.value("Common.SerialNo").toString().isEmpty());
    auto* connection = controller->window()->findChild<QLabel*>(QStringLiteral("summaryConnection"));
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->text(), QStringLiteral("Connected over Bluetooth"));
    controller->setMFDevice(nullptr);
    device.reset();

    stack->failBasebandOpens(address(), 4, 1);
    const int opensBefore = stack->basebandOpenCount(address());
    const double start = platform::Clock::instance().now();
    device = controller->openFromDeviceDictionary(wizard(), made, QStringLiteral("Bluetooth"));
    ASSERT_TRUE(device) << xtLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(platform::Clock::instance().now() - start, 1.0);
    EXPECT_GE(stack->basebandOpenCount(address()) - opensBefore, 2);
    const QStringList lines = xtLines();
    EXPECT_EQ(lines.filter(QStringLiteral("### openConnection returned status: 0x0004")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("+++ openConnection (2nd time) returned noErr")).size(), 1);
    EXPECT_EQ(controller->getMFDevice(), device.get());
}

} // namespace
