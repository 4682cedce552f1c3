#include "app/SimulatedUsb.h"

#include "platform/UsbRegistry.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedUsb, InstallsOneModemPhoneOnTheNamedTtyOrNothingForBadText)
{
    for (const char* bad : {"", "   ", "/dev/pts/9 4100", "/dev/pts/9 x 24576", "/dev/pts/9 1 2 3 4", "/dev/pts/9 -1 2"}) {
        platform::UsbRegistry::setShared(nullptr);
        EXPECT_FALSE(simulatedusb::install(QLatin1String(bad))) << bad;
    }
    ASSERT_TRUE(simulatedusb::install(QStringLiteral("/dev/pts/9 0x1004 24576 35412301")));
    const std::optional<QList<platform::UsbInterface>> interfaces = platform::UsbRegistry::shared().interfaces();
    ASSERT_TRUE(interfaces);
    ASSERT_EQ(interfaces->size(), 1);
    const platform::UsbInterface& modem = interfaces->first();
    EXPECT_EQ(modem.interfaceClass, platform::UsbRegistry::kClassCdcData);
    ASSERT_TRUE(modem.device);
    EXPECT_EQ(modem.device->ttyPaths, QStringList{QStringLiteral("/dev/pts/9")});
    EXPECT_EQ(modem.device->vendorId, 0x1004);
    EXPECT_EQ(modem.device->productId, 24576);
    EXPECT_EQ(modem.device->serialNumber, QStringLiteral("35412301"));

    ASSERT_TRUE(simulatedusb::install(QStringLiteral("/dev/pts/10")));
    EXPECT_EQ(platform::UsbRegistry::shared().interfaces()->first().device->vendorId, 0);
    platform::UsbRegistry::setShared(nullptr);
}

}   // namespace
