#include "../links/UsbPhoneFixture.h"

#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "platform/NotificationCenter.h"

// A "USB-Serial" phone end to end: phonesim on a pseudo-terminal behind the
// simulated USB registry.
namespace {

class MFDeviceOverUsbTest : public UsbPhoneFixture {
protected:
    std::unique_ptr<MFDevice> makeDevice()
    {
        auto dict = std::make_shared<QVariantMap>(QVariantMap{
            {"USB.VendorID", kVendor}, {"USB.ProductID", kProduct}, {"Common.SerialNo", kSerial}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", "nokia"},
                              {"Dorvanti.Identification", "nokia"},
                              {"Dorvanti.Manufacturer", "Nokia"},
                              {"Dorvanti.SyncMLProtocol", "Protocol Series 40"}};
        return std::make_unique<MFDevice>(QStringLiteral("USB-Serial"), dict, row, nullptr, MFDevice::Makers());
    }
};

} // namespace

TEST_F(MFDeviceOverUsbTest, SerialOpensAndClosesThroughTheServiceTable)
{
    attachPhone("nokia");
    const auto device = makeDevice();
    EXPECT_EQ(device->connectionInfo().value("Serial").toMap(),
              (QVariantMap{{"type", "USB-Serial"}, {"channel", 0}}));
    auto opened = QVDeviceCallback::pollingObject();
    ASSERT_EQ(device->requestService("Serial", opened), MFDevice::kServiceOpening);
    ASSERT_TRUE(testing_support::runUntil([&] { return !opened->isBusy(); }, 5.0));
    EXPECT_EQ(opened->returnStatus(), 0);
    EXPECT_TRUE(device->isConnectionOpen("Serial"));

    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(device->requestConnectionClose("Serial", closed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !closed->isBusy(); }, 5.0));
    EXPECT_EQ(closed->returnStatus(), 0);
    EXPECT_FALSE(device->isConnectionOpen("Serial"));
}

TEST_F(MFDeviceOverUsbTest, AnUnpluggedModemIsReportedOnce)
{
    attachPhone("nokia");
    for (bool heartBeat : {false, true}) {
        const auto device = makeDevice();
        ASSERT_TRUE(device->checkUSBAvailability());
        if (heartBeat)
            device->startHeartBeat();
        int disconnected = 0;
        const auto token = platform::NotificationCenter::defaultCenter().addObserver(
            this, QStringLiteral("kNotifyMobileDeviceDisconnected"), device.get(),
            [&](const platform::Notification&) { ++disconnected; });
        registry->clear();
        testing_support::runFor(0.6);
        EXPECT_EQ(disconnected, 1) << heartBeat;
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        attachPhone("nokia");
    }
}
