#include "device/DZUSBStorageDevice.h"
#include "platform/PropertyList.h"
#include "platform/UsbRegistrySimulated.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::UsbDevice;
using platform::UsbRegistry;

namespace {

class DZUSBStorageDeviceTest : public ::testing::Test {
protected:
    QVariantMap mountPoint(const QTemporaryDir& dir, const char* bsd)
    {
        return {{"bsdName", bsd}, {"mountPoint", dir.path()}};
    }
    QVariantMap foundWith(QVariantList mounts, const QString& serial = QString())
    {
        QVariantMap found{{"vendorId", 0x1004}, {"productId", 0x61f1}};
        if (!mounts.isEmpty())
            found.insert("mountPoints", mounts);
        if (!serial.isNull())
            found.insert("serialNumber", serial);
        return found;
    }
    void writeMarker(const QTemporaryDir& dir, const char* file, const QString& serial)
    {
        ASSERT_TRUE(platform::plist::writeFile(dir.filePath(file), QVariantMap{{"quorvalis serial number", serial}}));
    }
    // A storage phone on the simulated bus, its volumes mounted on the folders.
    void attachPhone(int vendor, const QString& usbSerial)
    {
        UsbDevice d;
        d.location = QStringLiteral("1-1");
        d.vendorId = vendor;
        d.productId = 0x61f1;
        d.vendorName = QStringLiteral("LG Electronics Inc.");
        d.productName = QStringLiteral("LG Mobile");
        d.serialNumber = usbSerial;
        d.volumes = {{QStringLiteral("sdb1"), volume1.path()}, {QStringLiteral("sdc1"), volume2.path()}};
        registry.addInterface(registry.addDevice(d), 0, UsbRegistry::kClassMassStorage);
    }
    std::optional<QVariantMap> find(const QVariantMap& stored)
    {
        DZUSBStorageDevice device(stored);
        device.setRegistry(&registry);
        return device.deviceInfo();
    }

    QTemporaryDir volume1, volume2, volume3;
    platform::UsbRegistrySimulated registry;
};

} // namespace

TEST_F(DZUSBStorageDeviceTest, MarkerIsWrittenOnceToTwoVolumesAndReadBack)
{
    const QVariantMap found = foundWith(
        {mountPoint(volume1, "sdb1"), mountPoint(volume2, "sdc1"), mountPoint(volume3, "sdd1")});
    const QString serial = DZUSBStorageDevice::getUSBStorageSerialNumber(found);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^quorSN-[1-9][0-9]{7}$")).match(serial).hasMatch())
        << serial.toStdString();
    EXPECT_TRUE(QFile::exists(volume1.filePath("qv_serno1.plist")));
    EXPECT_TRUE(QFile::exists(volume2.filePath("qv_serno1.plist")));
    EXPECT_FALSE(QFile::exists(volume3.filePath("qv_serno1.plist")));
    const QVariantMap onDisk = platform::plist::readFile(volume2.filePath("qv_serno1.plist")).toMap();
    EXPECT_EQ(onDisk.value("quorvalis serial number").toString(), serial);

    EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(found), serial) << "asked again: read, not rewritten";
    EXPECT_EQ(DZUSBStorageDevice::readSerialFromFile(found, false), serial);
    EXPECT_TRUE(DZUSBStorageDevice::readSerialFromFile(found, true).isNull());
}

TEST_F(DZUSBStorageDeviceTest, SerialSourcesInOrderOfPreference)
{
    const QVariantList mounts{mountPoint(volume1, "sdb1"), mountPoint(volume2, "sdc1")};
    // Written marker on the second volume only: still found.
    writeMarker(volume2, "qv_serno1.plist", QStringLiteral("quorSN-22222222"));
    EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(foundWith(mounts)), QStringLiteral("quorSN-22222222"));
    // A real marker wins over the written one, a USB serial over both.
    writeMarker(volume1, "qv_serno0.plist", QStringLiteral("REAL-1"));
    EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(foundWith(mounts)), QStringLiteral("REAL-1"));
    EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(foundWith(mounts, QStringLiteral("0000000123"))),
              QStringLiteral("0000000123"));
    // Without volumes nothing is read or written.
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(foundWith({})).isEmpty());
    EXPECT_TRUE(DZUSBStorageDevice::createSerialOnDevice(foundWith({})).isNull());
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(std::nullopt).isNull());
}

TEST_F(DZUSBStorageDeviceTest, UnreadableMarkerGivesNoSerial)
{
    QFile broken(volume1.filePath("qv_serno1.plist"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<plist>not closed");
    broken.close();
    EXPECT_TRUE(DZUSBStorageDevice::readSerialFromFile(foundWith({mountPoint(volume1, "sdb1")})).isEmpty());
}

TEST_F(DZUSBStorageDeviceTest, FindsThePhoneByMarkerSerial)
{
    writeMarker(volume1, "qv_serno1.plist", QStringLiteral("quorSN-12345678"));
    attachPhone(0x1004, QString());

    const auto found = find({{"vendorId", 0x1004}, {"serialNumber", "quorSN-12345678"}});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value("mountPoints").toList().size(), 2);
    EXPECT_FALSE(find({{"vendorId", 0x1004}, {"serialNumber", "quorSN-87654321"}}));
    EXPECT_FALSE(find({{"vendorId", 0x1005}, {"serialNumber", "quorSN-12345678"}}));
}

TEST_F(DZUSBStorageDeviceTest, SerialsAreComparedOnFifteenCharactersAndTheShorterLength)
{
    writeMarker(volume1, "qv_serno1.plist", QStringLiteral("ABCDEFGHIJKLMNOP-phone"));
    attachPhone(0x1004, QString());
    EXPECT_TRUE(find({{"vendorId", 0x1004}, {"serialNumber", "ABCDEFGHIJKLMNOxyz"}}));
    EXPECT_TRUE(find({{"vendorId", 0x1004}, {"serialNumber", "ABCDE"}})) << "cut to the shorter length";
    EXPECT_FALSE(find({{"vendorId", 0x1004}, {"serialNumber", "ABCDEFGHIJKLMNX"}}));
}

TEST_F(DZUSBStorageDeviceTest, UsbSerialNumberIsUsedBeforeTheMarker)
{
    writeMarker(volume1, "qv_serno1.plist", QStringLiteral("quorSN-12345678"));
    attachPhone(0x1004, QStringLiteral("123"));
    EXPECT_TRUE(find({{"vendorId", 0x1004}, {"serialNumber", "0000000123"}}));
    EXPECT_FALSE(find({{"vendorId", 0x1004}, {"serialNumber", "quorSN-12345678"}}));
}

TEST(DZUSBStorageDeviceAllocTest, NeedsVendorAndSerial)
{
    EXPECT_FALSE(DZUSBStorageDevice::allocDZUSBStorageDevice({{"vendorId", 1}}));
    EXPECT_FALSE(DZUSBStorageDevice::allocDZUSBStorageDevice({{"serialNumber", "x"}}));
    EXPECT_TRUE(DZUSBStorageDevice::allocDZUSBStorageDevice({{"vendorId", 1}, {"serialNumber", "x"}}));
}

TEST_F(DZUSBStorageDeviceTest, PhonesSetUpInTheSameSecondGetTheirOwnSerials)
{
    // The test clock stands still: every marker below is made in one second.
    QStringList serials;
    for (QTemporaryDir* volume : {&volume1, &volume2, &volume3})
        serials << DZUSBStorageDevice::createSerialOnDevice(foundWith({mountPoint(*volume, "sdb1")}));
    serials.removeDuplicates();
    EXPECT_EQ(serials.size(), 3) << serials.join(u' ').toStdString();
}
