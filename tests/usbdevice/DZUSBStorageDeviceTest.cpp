#include "usbdevice/DZUSBStorageDevice.h"
#include "platform/PropertyList.h"
#include "platform/UsbRegistrySimulated.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(DZUSBStorageDeviceTest, MarkersThatAreNotPlainFilesAreNotRead)
{
    // A real marker that cannot be read gives way to the written one, at
    // once: nothing is followed out of the volume, waited on or read whole.
    const QTemporaryDir elsewhere;
    writeMarker(elsewhere, "qv_serno0.plist", QStringLiteral("OUTSIDE"));
    const QString real = volume1.filePath("qv_serno0.plist");
    const QByteArray realPath = QFile::encodeName(real);
    const struct {
        const char* name;
        std::function<bool()> make;
    } cases[] = {
        {"a link to /dev/zero", [&] { return ::symlink("/dev/zero", realPath.constData()) == 0; }},
        {"a FIFO", [&] { return ::mkfifo(realPath.constData(), 0600) == 0; }},
        {"a link to a marker outside the volume",
         [&] { return QFile::link(elsewhere.filePath("qv_serno0.plist"), real); }},
        {"a link to nowhere", [&] { return ::symlink("/nonexistent/qv_serno0.plist", realPath.constData()) == 0; }},
        {"a folder", [&] { return QDir().mkdir(real); }},
        {"a file of 2 MB",
         [&] {
             QFile file(real);
             return file.open(QIODevice::WriteOnly) && file.resize(2 << 20);
         }},
    };
    writeMarker(volume2, "qv_serno1.plist", QStringLiteral("quorSN-22222222"));
    const QVariantMap found = foundWith({mountPoint(volume1, "sdb1"), mountPoint(volume2, "sdc1")});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.make());
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(DZUSBStorageDevice::readSerialFromFile(found, true).isNull());
        EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(found), QStringLiteral("quorSN-22222222"));
        EXPECT_LT(timer.elapsed(), 1000);
        QFile::remove(real);
        QDir().rmdir(real);
    }
}

TEST_F(DZUSBStorageDeviceTest, FailedMarkerWritesHandOutNoSerial)
{
    // A folder where the marker goes: the write fails on both volumes.
    ASSERT_TRUE(QDir().mkdir(volume1.filePath("qv_serno1.plist")));
    ASSERT_TRUE(QDir().mkdir(volume2.filePath("qv_serno1.plist")));
    const QVariantMap blocked = foundWith({mountPoint(volume1, "sdb1"), mountPoint(volume2, "sdc1")});
    EXPECT_TRUE(DZUSBStorageDevice::createSerialOnDevice(blocked).isNull());
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(blocked).isNull());
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(blocked).isNull());

    // A volume without a mount point is passed over: no marker goes to the
    // root folder or the working folder.
    const QVariantMap nowhere = foundWith({QVariantMap{{"bsdName", "sde1"}}, QVariantMap{{"mountPoint", ""}}});
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(nowhere).isNull());
    EXPECT_FALSE(QFileInfo::exists("/qv_serno1.plist"));
    EXPECT_FALSE(QFileInfo::exists("qv_serno1.plist"));

    // A volume that is gone is not made again by the write.
    const QString gone = volume3.filePath("unmounted");
    const QVariantMap unmounted = foundWith({QVariantMap{{"bsdName", "sdd1"}, {"mountPoint", gone}}});
    EXPECT_TRUE(DZUSBStorageDevice::getUSBStorageSerialNumber(unmounted).isNull());
    EXPECT_FALSE(QFileInfo::exists(gone));

    // One volume that keeps it is enough; asked again, the same serial.
    const QVariantMap oneWritable = foundWith({mountPoint(volume1, "sdb1"), mountPoint(volume3, "sdd1")});
    const QString serial = DZUSBStorageDevice::getUSBStorageSerialNumber(oneWritable);
    EXPECT_FALSE(serial.isEmpty());
    EXPECT_TRUE(QFileInfo(volume3.filePath("qv_serno1.plist")).isFile());
    EXPECT_EQ(DZUSBStorageDevice::getUSBStorageSerialNumber(oneWritable), serial);
}
