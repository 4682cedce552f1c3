#include "jobs/QVActionMachine.h"
#include "links/FTPFile.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/MFDevice.h"
#include "phone/USBMassStorageConnection.h"
#include "platform/PropertyList.h"
#include "platform/UsbRegistrySimulated.h"

#include "TestFiles.h"
#include "VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testing_support::writeFile;

// The end of one request, with every progress report.
struct Outcome {
    bool ended = false;
    int status = 1;
    QVariant result;
    QList<float> progress;
    int stopAtProgress = -1; // the progress answer asks to stop at that report
};

std::shared_ptr<QVDeviceCallback> callbackFor(Outcome& outcome)
{
    return QVDeviceCallback::commandObject(
        &outcome,
        [&outcome](QVDeviceCallback& c) {
            outcome.ended = true;
            outcome.status = c.returnStatus();
            outcome.result = c.resultObject();
        },
        [&outcome](QVDeviceCallback& c) {
            outcome.progress.append(c.prozDone());
            return outcome.progress.size() == outcome.stopAtProgress;
        });
}

class MassStorageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
    }
    void TearDown() override
    {
        device.reset();
        const testing_support::OutsideInputScope outside;
        DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
        platform::UsbRegistry::setShared(nullptr);
    }
    // A storage phone whose volumes are the given folders.
    void attach(const QStringList& mountPoints, const QString& usbSerial = "0123456789")
    {
        platform::UsbDevice d;
        d.location = "1-2";
        d.vendorId = 0x1004;
        d.productId = 0x6000;
        d.vendorName = "LG Electronics Inc.";
        d.productName = "LG Mobile";
        d.serialNumber = usbSerial;
        for (int n = 0; n < mountPoints.size(); ++n)
            d.volumes.append({QStringLiteral("sdb%1").arg(n + 1), mountPoints.at(n)});
        registry->addInterface(registry->addDevice(d), 0, platform::UsbRegistry::kClassMassStorage);
    }
    USBMassStorageConnection& makeDevice(const QString& serial = "0123456789")
    {
        MFDevice::Makers makers;
        makers.massStorageFTP = [](MFDevice& owner, const QVariantMap& dict) {
            return std::make_unique<USBMassStorageConnection>(owner, dict);
        };
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"USB.VendorID", 0x1004}, {"USB.ProductID", 0x6000}, {"Common.SerialNo", serial}});
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.USB_RequiredPath_Int", "Pictures"},
                              {"Dorvanti.USB_RequiredPath_Ext", "DCIM"},
                              {"Dorvanti.TopLevelVolumes", "1"}};
        device = std::make_unique<MFDevice>(QStringLiteral("USB-MassStorage"), dict, row, nullptr, makers);
        auto* ftp = dynamic_cast<USBMassStorageConnection*>(device->ftpConnection());
        EXPECT_NE(ftp, nullptr);
        return *ftp;
    }
    // Runs a request to its end; a non-zero start is the outcome.
    template <typename Start>
    Outcome run(Start start, int stopAtProgress = -1)
    {
        Outcome outcome;
        outcome.stopAtProgress = stopAtProgress;
        const int started = start(callbackFor(outcome));
        if (started != 0) {
            outcome.status = started;
            return outcome;
        }
        const testing_support::OutsideInputScope outside;
        EXPECT_TRUE(testing_support::runUntil([&] { return outcome.ended; }, 60));
        return outcome;
    }
    static QStringList names(const Outcome& outcome)
    {
        QStringList list;
        for (const auto& file : outcome.result.value<FTPFileList>())
            list.append(file->fileName() + (file->isDirectory() ? "/" : ""));
        return list;
    }
    void exerciseVolume(USBMassStorageConnection& ftp, const QString& phone, const QString& mac);

    QTemporaryDir dir;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<MFDevice> device;
};

// Listing, copies both ways with progress, folders made and deleted, on the
// volume mounted at phone ("/PHONE" on the phone); mac is a local folder.
void MassStorageTest::exerciseVolume(USBMassStorageConnection& ftp, const QString& phone, const QString& mac)
{
    writeFile(phone + "/Pictures/a.jpg", QByteArray(3 * 65536 + 5, 'a'));
    QDir().mkpath(phone + "/Pictures/Old");

    const Outcome listing = run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/PHONE/Pictures", cb); });
    EXPECT_EQ(listing.status, 0);
    EXPECT_EQ(names(listing), QStringList({"a.jpg", "Old/"}));
    const auto files = listing.result.value<FTPFileList>();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files.first()->fullPath(), "/PHONE/Pictures/a.jpg");
    EXPECT_EQ(files.first()->fileSize(), 3 * 65536 + 5);
    EXPECT_TRUE(QRegularExpression("^\\d{8}T\\d{6}Z$").match(files.first()->modificationDate()).hasMatch());

    // To the computer, with progress; an existing file is kept unless allowed.
    Outcome copy = run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/Pictures/a.jpg", mac, false, cb); });
    EXPECT_EQ(copy.status, 0);
    EXPECT_FALSE(copy.progress.isEmpty());
    EXPECT_EQ(QFile(mac + "/a.jpg").size(), 3 * 65536 + 5);
    writeFile(mac + "/a.jpg", "mine");
    copy = run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/Pictures/a.jpg", mac, false, cb); });
    EXPECT_EQ(copy.status, -48);
    EXPECT_EQ(testing_support::readFile(mac + "/a.jpg"), "mine");
    copy = run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/Pictures/a.jpg", mac, true, cb); });
    EXPECT_EQ(copy.status, 0);
    EXPECT_EQ(QFile(mac + "/a.jpg").size(), 3 * 65536 + 5);

    // To the phone, likewise; a stop asked by the progress answer cancels.
    writeFile(mac + "/b.mp3", QByteArray(2 * 65536, 'b'));
    copy = run([&](auto cb) { return ftp.copyFromMacToMobile(mac + "/b.mp3", "/PHONE/Pictures/Old", false, cb); });
    EXPECT_EQ(copy.status, 0);
    EXPECT_EQ(QFile(phone + "/Pictures/Old/b.mp3").size(), 2 * 65536);
    writeFile(mac + "/b.mp3", "changed");
    copy = run([&](auto cb) { return ftp.copyFromMacToMobile(mac + "/b.mp3", "/PHONE/Pictures/Old", false, cb); });
    EXPECT_EQ(copy.status, -48);
    EXPECT_EQ(QFile(phone + "/Pictures/Old/b.mp3").size(), 2 * 65536);
    writeFile(mac + "/big.bin", QByteArray(64 * 65536, 'c'));
    copy = run([&](auto cb) { return ftp.copyFromMacToMobile(mac + "/big.bin", "/PHONE", false, cb); }, 1);
    EXPECT_EQ(copy.status, -1702);
    {
        const testing_support::OutsideInputScope outside;
        testing_support::runFor(1.0);
    }
    // The stop may come after the last chunk; a copy never leaves a part behind.
    const QStringList left = QDir(phone).entryList(QDir::Files);
    EXPECT_TRUE(left.isEmpty() || left == QStringList{"big.bin"}) << left.join(",").toStdString();
    if (!left.isEmpty())
        EXPECT_EQ(QFile(phone + "/big.bin").size(), 64 * 65536);

    // Folders.
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/Music", cb); }).status, 0);
    EXPECT_TRUE(QFileInfo(phone + "/Music").isDir());
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/Music", cb); }).status, -48);
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/none/x", cb); }).status, -2);
    EXPECT_EQ(run([&](auto cb) { return ftp.deleteFile("/PHONE/Pictures/Old", cb); }).status, 0);
    EXPECT_FALSE(QFileInfo::exists(phone + "/Pictures/Old"));
    EXPECT_EQ(run([&](auto cb) { return ftp.deleteFile("/PHONE/Pictures/Old", cb); }).status, -43);
    EXPECT_EQ(run([&](auto cb) { return ftp.doesExist("/PHONE/Music", cb); }).result, QVariant(true));
    EXPECT_EQ(run([&](auto cb) { return ftp.doesExist("/PHONE/Nothing", cb); }).result, QVariant(false));
}

} // namespace

TEST_F(MassStorageTest, AStoragePhoneGetsItsConnectionPipesAndArrangedVolumes)
{
    QDir().mkpath(dir.path() + "/CARD/DCIM");
    QDir().mkpath(dir.path() + "/PHONE/Pictures");
    attach({dir.path() + "/CARD", dir.path() + "/PHONE"});
    USBMassStorageConnection& ftp = makeDevice();
    EXPECT_TRUE(ftp.isUSB());
    EXPECT_EQ(device->connectionInfo().value("FTP").toMap(),
              (QVariantMap{{"type", "USB-MassStorage"}, {"channel", 0}}));
    EXPECT_TRUE(device->actionMachine()->pipeForAction("USB-MassStorage_Slow"));
    EXPECT_TRUE(device->actionMachine()->pipeForAction("USB-MassStorage_Fast"));
    EXPECT_TRUE(ftp.areVolumesValid());
    EXPECT_EQ(ftp.diskName(0), "/PHONE");
    EXPECT_EQ(ftp.diskName(1), "/CARD");
    EXPECT_EQ(ftp.pathToFileOnDisk("/DCIM/x.jpg", 1), "/CARD/DCIM/x.jpg");
    EXPECT_EQ(device->internalPath("/CARD/DCIM/x.jpg"), "/[1]/DCIM/x.jpg");

    const Outcome root = run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/", cb); });
    EXPECT_EQ(names(root), QStringList({"CARD/", "PHONE/"}));
    ftp.arrangeVolumes("DCIM", "Pictures", {});
    EXPECT_EQ(ftp.diskName(0), "/CARD");
    EXPECT_EQ(ftp.diskName(1), "/PHONE");
}

TEST_F(MassStorageTest, ListsCopiesAndMakesFoldersOnAFolderVolume)
{
    QDir().mkpath(dir.path() + "/PHONE/Pictures");
    QDir().mkpath(dir.path() + "/mac");
    attach({dir.path() + "/PHONE"});
    USBMassStorageConnection& ftp = makeDevice();
    EXPECT_EQ(ftp.diskName(0), "/PHONE");
    exerciseVolume(ftp, dir.path() + "/PHONE", dir.path() + "/mac");
}

TEST_F(MassStorageTest, PhoneNamesAndLinksNeverLeaveTheVolume)
{
    QDir().mkpath(dir.path() + "/PHONE/Pictures");
    QDir().mkpath(dir.path() + "/mac");
    writeFile(dir.path() + "/secret.txt", "secret");
    writeFile(dir.path() + "/PHONE/Pictures/in.jpg", "in");
    QFile::link(dir.path() + "/secret.txt", dir.path() + "/PHONE/Pictures/out.txt");
    QFile::link(dir.path(), dir.path() + "/PHONE/up");
    QFile::link(dir.path() + "/PHONE/Pictures/in.jpg", dir.path() + "/PHONE/Pictures/alias.jpg");
    attach({dir.path() + "/PHONE"});
    USBMassStorageConnection& ftp = makeDevice();
    const QString mac = dir.path() + "/mac";

    const Outcome listing = run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/PHONE/Pictures", cb); });
    EXPECT_EQ(names(listing), QStringList({"alias.jpg", "in.jpg"}));
    EXPECT_EQ(names(run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/PHONE", cb); })),
              QStringList({"Pictures/"}));
    EXPECT_EQ(run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/PHONE/up", cb); }).status, -2);
    EXPECT_EQ(run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/Pictures/out.txt", mac, true, cb); }).status,
              -43);
    EXPECT_EQ(run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/../secret.txt", mac, true, cb); }).status, -43);
    EXPECT_EQ(run([&](auto cb) { return ftp.copyFromMobileToMac("/PHONE/up/secret.txt", mac, true, cb); }).status, -43);
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/../x", cb); }).status, -2);
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/up/x", cb); }).status, -2);
    EXPECT_EQ(run([&](auto cb) { return ftp.deleteFile("/PHONE/up/secret.txt", cb); }).status, -43);
    EXPECT_EQ(run([&](auto cb) { return ftp.deleteFile("/PHONE", cb); }).status,
              USBMassStorageConnection::kNotPermitted);
    writeFile(mac + "/x.txt", "x");
    EXPECT_EQ(run([&](auto cb) { return ftp.copyFromMacToMobile(mac + "/x.txt", "/PHONE/up", true, cb); }).status, -2);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/x") || QFileInfo::exists(dir.path() + "/x.txt"));
    EXPECT_EQ(testing_support::readFile(dir.path() + "/secret.txt"), "secret");
    EXPECT_TRUE(QFileInfo(dir.path() + "/PHONE/up").isSymLink());
}

TEST_F(MassStorageTest, AVolumeGoneMidwayEndsTheRequestWithAnError)
{
    QDir().mkpath(dir.path() + "/PHONE/Pictures");
    attach({dir.path() + "/PHONE"});
    USBMassStorageConnection& ftp = makeDevice();
    QDir(dir.path() + "/PHONE").removeRecursively();
    EXPECT_EQ(run([&](auto cb) { return ftp.getDirectoryContentsAtPath("/PHONE/Pictures", cb); }).status,
              links::kIOReturnNoDevice);
    EXPECT_EQ(run([&](auto cb) { return ftp.makeFolder("/PHONE/x", cb); }).status, links::kIOReturnNoDevice);
    registry->clear();
    auto opened = QVDeviceCallback::pollingObject();
    EXPECT_EQ(ftp.openConnection(opened), links::kIOReturnNoDevice);
}

TEST_F(MassStorageTest, VolumeMarkersGiveOneSerialNumber)
{
    QDir().mkpath(dir.path() + "/PHONE");
    platform::plist::writeFile(dir.path() + "/PHONE/qv_serno1.plist",
                               QVariantMap{{"quorvalis serial number", "quorSN-12345678"}});
    attach({dir.path() + "/PHONE"}, QString());
    USBMassStorageConnection& ftp = makeDevice("quorSN-12345678");
    EXPECT_FALSE(ftp.mustWriteSerialNumber());
    EXPECT_EQ(ftp.oldSerialNumber(), "quorSN-12345678");
    EXPECT_EQ(ftp.oldSerialNumber(), "quorSN-12345678");
    EXPECT_FALSE(ftp.preProcessSerialNumber("quorSN-12345678"));
    EXPECT_TRUE(ftp.preProcessSerialNumber("0123456789"));
    EXPECT_EQ(ftp.diskName(0), "/PHONE");
}

TEST_F(MassStorageTest, ListsCopiesAndMakesFoldersOnAFatImage)
{
    const QString mkfs = QStandardPaths::findExecutable("mkfs.fat", {"/usr/sbin", "/sbin", "/usr/bin"});
    const QString fusefat = QStandardPaths::findExecutable("fusefat");
    if (mkfs.isEmpty() || fusefat.isEmpty() || !QFileInfo::exists("/dev/fuse"))
        GTEST_SKIP() << "needs mkfs.fat (dosfstools), fusefat and /dev/fuse; scripts/install-deps.sh installs both";
    const QString image = dir.path() + "/phone.img";
    const QString mount = dir.path() + "/PHONE";
    QDir().mkpath(mount);
    QDir().mkpath(dir.path() + "/mac");
    if (QProcess::execute(mkfs, {"-C", image, "16384"}) != 0)
        GTEST_SKIP() << "mkfs.fat could not make the image";
    if (QProcess::execute(fusefat, {"-o", "rw+", image, mount}) != 0)
        GTEST_SKIP() << "fusefat could not mount the image here";
    // The file system daemon may still be starting on a busy machine.
    const auto mounted = [&] {
        QFile mounts(QStringLiteral("/proc/self/mounts"));
        return mounts.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(mounts.readAll()).contains(mount);
    };
    for (int i = 0; i < 100 && !mounted(); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(mounted()) << "the image never appeared at " << mount.toStdString();
    // Unmounted whatever the test's outcome, before the folder goes.
    struct Unmount {
        QString mount;
        ~Unmount() { QProcess::execute("fusermount", {"-u", mount}); }
    } unmount{mount};
    attach({mount});
    USBMassStorageConnection& ftp = makeDevice();
    exerciseVolume(ftp, mount, dir.path() + "/mac");
    device.reset();
}
