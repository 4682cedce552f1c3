#include "usbdevice/DZUSBDeviceIdentifier.h"
#include "platform/UsbRegistrySimulated.h"
#include "platform/UsbRegistryUdev.h"

#include <gtest/gtest.h>

using platform::UsbDevice;
using platform::UsbRegistry;
using platform::UsbRegistrySimulated;

namespace {

UsbDevice modemPhone(const QString& location, const QString& serial = QStringLiteral("35201234"))
{
    UsbDevice d;
    d.location = location;
    d.vendorId = 0x1004;
    d.productId = 0x6000;
    d.vendorName = QStringLiteral("LG Electronics");
    d.productName = QStringLiteral("LG CDMA USB Modem");
    d.serialNumber = serial;
    d.ttyPaths = {QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")};
    return d;
}

UsbDevice storagePhone(const QString& location, QList<platform::UsbVolume> volumes)
{
    UsbDevice d;
    d.location = location;
    d.vendorId = 0x0421;
    d.productId = 0x0076;
    d.vendorName = QStringLiteral("Nokia");
    d.productName = QStringLiteral("Nokia 6300");
    d.serialNumber = QStringLiteral("123");
    d.volumes = std::move(volumes);
    return d;
}

class DZUSBDeviceIdentifierTest : public ::testing::Test {
protected:
    std::optional<QList<QVariantMap>> scan(bool storage = true, bool modem = true)
    {
        DZUSBDeviceIdentifier identifier(storage, modem);
        identifier.setRegistry(&registry);
        return identifier.getUSBDevices();
    }

    UsbRegistrySimulated registry;
};

} // namespace

TEST(TenDigitSerNoTest, NormalisesToTenCharacters)
{
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("123"), QStringLiteral("0000000123")},
        {QStringLiteral("ABCDEFGHIJ"), QStringLiteral("ABCDEFGHIJ")},
        {QStringLiteral("123456789012"), QStringLiteral("3456789012")},
        {QStringLiteral(""), QStringLiteral("0000000000")},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tenDigitSerNo(c.in), c.out) << c.in.toStdString();
        EXPECT_EQ(tenDigitSerNo(c.in).isNull(), c.out.isNull()) << c.in.toStdString();
    }
}

TEST_F(DZUSBDeviceIdentifierTest, TwoCdcDataInterfacesAtOneLocationAreOnePhone)
{
    auto phone = registry.addDevice(modemPhone(QStringLiteral("1-1.4")));
    registry.addInterface(phone, 0, UsbRegistry::kClassCdcControl, 2);
    registry.addInterface(phone, 1, UsbRegistry::kClassCdcData);
    registry.addInterface(phone, 2, UsbRegistry::kClassCdcControl, 2);
    registry.addInterface(phone, 3, UsbRegistry::kClassCdcData);

    const auto found = scan();
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1);
    const QVariantMap& d = found->first();
    EXPECT_EQ(d.value("vendorId").toInt(), 0x1004);
    EXPECT_EQ(d.value("productId").toInt(), 0x6000);
    EXPECT_EQ(d.value("vendor").toString(), QStringLiteral("LG Electronics"));
    EXPECT_EQ(d.value("product").toString(), QStringLiteral("LG CDMA USB Modem"));
    EXPECT_EQ(d.value("portName").toString(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(d.value("serialNumber").toString(), QStringLiteral("0035201234"));
    EXPECT_FALSE(d.contains("locationID")) << "the plain scan strips the location";
}

TEST_F(DZUSBDeviceIdentifierTest, ModemPhonesAtTwoLocationsAreSortedByLocation)
{
    auto second = registry.addDevice(modemPhone(QStringLiteral("2-1"), QStringLiteral("BBBBBBBBBB")));
    auto first = registry.addDevice(modemPhone(QStringLiteral("1-3"), QStringLiteral("AAAAAAAAAA")));
    registry.addInterface(second, 1, UsbRegistry::kClassCdcData);
    registry.addInterface(first, 1, UsbRegistry::kClassCdcData);

    const auto found = scan();
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 2);
    EXPECT_EQ(found->at(0).value("serialNumber").toString(), QStringLiteral("AAAAAAAAAA"));
    EXPECT_EQ(found->at(1).value("serialNumber").toString(), QStringLiteral("BBBBBBBBBB"));
}

TEST_F(DZUSBDeviceIdentifierTest, ModemNeedsTtyNamesAndCdcDataClass)
{
    UsbDevice noTty = modemPhone(QStringLiteral("1-1"));
    noTty.ttyPaths.clear();
    UsbDevice noVendor = modemPhone(QStringLiteral("1-2"));
    noVendor.vendorName.clear();
    UsbDevice noProduct = modemPhone(QStringLiteral("1-3"));
    noProduct.productName.clear();
    registry.addInterface(registry.addDevice(noTty), 1, UsbRegistry::kClassCdcData);
    registry.addInterface(registry.addDevice(noVendor), 1, UsbRegistry::kClassCdcData);
    registry.addInterface(registry.addDevice(noProduct), 1, UsbRegistry::kClassCdcData);
    // A CDC control interface alone is no modem phone here.
    registry.addInterface(registry.addDevice(modemPhone(QStringLiteral("1-4"))), 0, UsbRegistry::kClassCdcControl);

    const auto found = scan();
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->isEmpty());
}

TEST_F(DZUSBDeviceIdentifierTest, SerialNumbersOfSixteenOrMoreAreCutBeforeNormalising)
{
    // Cut to 15 first ("ABCDEFGHIJKLMNO"), then the last ten are kept.
    auto phone = registry.addDevice(modemPhone(QStringLiteral("1-1"), QStringLiteral("ABCDEFGHIJKLMNOPQR")));
    registry.addInterface(phone, 1, UsbRegistry::kClassCdcData);
    UsbDevice noSerial = modemPhone(QStringLiteral("1-2"), QString());
    registry.addInterface(registry.addDevice(noSerial), 1, UsbRegistry::kClassCdcData);

    const auto found = scan();
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 2);
    EXPECT_EQ(found->at(0).value("serialNumber").toString(), QStringLiteral("FGHIJKLMNO"));
    EXPECT_FALSE(found->at(1).contains("serialNumber"));
}

TEST_F(DZUSBDeviceIdentifierTest, UnmountedStorageVolumeIsNotReported)
{
    auto phone = registry.addDevice(storagePhone(QStringLiteral("1-2"), {{QStringLiteral("sdb1"), QString()}}));
    registry.addInterface(phone, 0, UsbRegistry::kClassMassStorage, 6);

    const auto found = scan();
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->isEmpty());
}

TEST_F(DZUSBDeviceIdentifierTest, StorageWithTwoVolumesIsReportedOnceWithBothMountPoints)
{
    auto phone = registry.addDevice(storagePhone(QStringLiteral("1-2"),
                                                 {{QStringLiteral("sdb"), QString()},
                                                  {QStringLiteral("sdb1"), QStringLiteral("/media/u/PHONE")},
                                                  {QStringLiteral("sdc1"), QStringLiteral("/media/u/CARD")}}));
    // Internal memory and card: two storage interfaces of one device.
    registry.addInterface(phone, 0, UsbRegistry::kClassMassStorage, 6);
    registry.addInterface(phone, 1, UsbRegistry::kClassMassStorage, 6);

    const auto found = scan();
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1);
    const QVariantMap& d = found->first();
    EXPECT_EQ(d.value("vendor").toString(), QStringLiteral("Nokia"));
    EXPECT_EQ(d.value("productId").toInt(), 0x0076);
    EXPECT_EQ(d.value("serialNumber").toString(), QStringLiteral("0000000123"));
    EXPECT_FALSE(d.contains("portName"));
    const QVariantList mounts = d.value("mountPoints").toList();
    ASSERT_EQ(mounts.size(), 2);
    EXPECT_EQ(mounts[0].toMap().value("bsdName").toString(), QStringLiteral("sdb1"));
    EXPECT_EQ(mounts[0].toMap().value("mountPoint").toString(), QStringLiteral("/media/u/PHONE"));
    EXPECT_EQ(mounts[1].toMap().value("bsdName").toString(), QStringLiteral("sdc1"));
    EXPECT_EQ(mounts[1].toMap().value("mountPoint").toString(), QStringLiteral("/media/u/CARD"));
}

TEST_F(DZUSBDeviceIdentifierTest, KindsAskedForAreTheOnlyOnesReported)
{
    auto modem = registry.addDevice(modemPhone(QStringLiteral("1-1")));
    registry.addInterface(modem, 1, UsbRegistry::kClassCdcData);
    auto storage = registry.addDevice(storagePhone(QStringLiteral("1-2"), {{QStringLiteral("sdb1"), QStringLiteral("/m")}}));
    registry.addInterface(storage, 0, UsbRegistry::kClassMassStorage);

    const auto modemsOnly = scan(false, true);
    ASSERT_TRUE(modemsOnly);
    ASSERT_EQ(modemsOnly->size(), 1);
    EXPECT_TRUE(modemsOnly->first().contains("portName"));

    const auto storageOnly = scan(true, false);
    ASSERT_TRUE(storageOnly);
    ASSERT_EQ(storageOnly->size(), 1);
    EXPECT_TRUE(storageOnly->first().contains("mountPoints"));

    EXPECT_TRUE(scan(false, false)->isEmpty());
}

TEST_F(DZUSBDeviceIdentifierTest, UnreachableRegistryAnswersNothing)
{
    registry.setReachable(false);
    EXPECT_FALSE(scan());
}

TEST(DZUSBDeviceIdentifierPruneTest, DropsEqualLocationsAndKeepsOrder)
{
    auto at = [](int location, const char* tag) {
        return QVariantMap{{"locationID", location}, {"tag", tag}};
    };
    const QList<QVariantMap> pruned = DZUSBDeviceIdentifier::arraySortedAndPrunedWith(
        {at(0x02100000, "c"), at(0x01100000, "a"), at(0x01100000, "a2"), at(0x01200000, "b")});
    QStringList tags;
    for (const QVariantMap& d : pruned)
        tags << d.value("tag").toString();
    EXPECT_EQ(tags, QStringList({"a", "b", "c"}));
    EXPECT_TRUE(DZUSBDeviceIdentifier::isInReturnUSBList(pruned, 0x01200000));
    EXPECT_FALSE(DZUSBDeviceIdentifier::isInReturnUSBList(pruned, 0x01300000));
}

TEST(UsbRegistryTest, PacksBusPathIntoLocationNumber)
{
    EXPECT_EQ(UsbRegistry::packLocation(QStringLiteral("1-1.4")), 0x01140000u);
    EXPECT_EQ(UsbRegistry::packLocation(QStringLiteral("3-2")), 0x03200000u);
    EXPECT_EQ(UsbRegistry::packLocation(QStringLiteral("usb1")), 0u);
    EXPECT_LT(UsbRegistry::packLocation(QStringLiteral("1-1.4")), UsbRegistry::packLocation(QStringLiteral("1-2")));
}

TEST(UsbRegistryTest, MountInfoGivesMountPointsByDeviceNumber)
{
    const QByteArray info = "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
                            "40 22 8:17 / /media/u/MY\\040PHONE rw - vfat /dev/sdb1 rw\n"
                            "41 22 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n";
    const QHash<QString, QString> mounts = platform::UsbRegistryUdev::parseMountInfo(info);
    EXPECT_EQ(mounts.value("8:1"), QStringLiteral("/"));
    EXPECT_EQ(mounts.value("8:17"), QStringLiteral("/media/u/MY PHONE"));
    EXPECT_FALSE(mounts.contains("8:33"));
}

TEST(UsbRegistryTest, UdevRegistryScansWithoutPrivileges)
{
    // Whatever is plugged in, the real registry answers without root, and a
    // scan of it yields only well-formed phones.
    platform::UsbRegistryUdev udevRegistry;
    const auto interfaces = udevRegistry.interfaces();
    ASSERT_TRUE(interfaces);
    DZUSBDeviceIdentifier identifier;
    identifier.setRegistry(&udevRegistry);
    const auto found = identifier.getUSBDevices();
    ASSERT_TRUE(found);
    for (const QVariantMap& d : *found)
        EXPECT_TRUE(d.contains("portName") || d.contains("mountPoints"));
}

TEST_F(DZUSBDeviceIdentifierTest, EveryStoragePhoneIsReportedBesideModems)
{
    // Storage dictionaries carry no location: none of them is a duplicate of
    // another phone, whatever the sort put before it.
    auto first = registry.addDevice(storagePhone(QStringLiteral("1-2"), {{QStringLiteral("sdb1"), QStringLiteral("/a")}}));
    registry.addInterface(first, 0, UsbRegistry::kClassMassStorage);
    auto modem = registry.addDevice(modemPhone(QStringLiteral("1-1")));
    registry.addInterface(modem, 1, UsbRegistry::kClassCdcData);
    UsbDevice other = storagePhone(QStringLiteral("1-3"), {{QStringLiteral("sdc1"), QStringLiteral("/b")}});
    other.serialNumber = QStringLiteral("456");
    registry.addInterface(registry.addDevice(other), 0, UsbRegistry::kClassMassStorage);

    const auto found = scan();
    ASSERT_TRUE(found);
    QStringList kinds;
    for (const QVariantMap& d : *found)
        kinds << (d.contains("portName") ? QStringLiteral("modem") : d.value("serialNumber").toString());
    kinds.sort();
    EXPECT_EQ(kinds, QStringList({"0000000123", "0000000456", "modem"}));
}
