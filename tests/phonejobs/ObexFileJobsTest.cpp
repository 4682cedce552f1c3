#include "PhoneJobsTestSupport.h"

#include "links/ObexFileTransferConnection.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/FilesMirror.h"
#include "phone/PhoneFolders.h"
#include "device/MFDeviceInfo.h"
#include "phonejobs/FileJobMakers.h"
#include "phonejobs/GroupActionCopyFolderToMac.h"

#include "FileTreeTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace phonejobs_test;

namespace {

QByteArray obexJobBytes(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed) & 0xFF);
    return data;
}

QByteArray obexJobRead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file tree of a Bluetooth phone whose files phonesim serves over its
// OBEX File Transfer channel: the device makes the real connection itself.
class ObexFileJobsTest : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        ASSERT_TRUE(mac.isValid());
    }
    void TearDown() override
    {
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        BluetoothPhoneFixture::TearDown();
    }
    // The phone with the given files; packets no larger than maxPacket.
    void makeDevice(int maxPacket = 1024, const QByteArray& capability = {})
    {
        addPhone("sonyericsson");
        sim->modifyObexServer([&](phonesim::ObexServer& s) {
            s.setMaxPacket(maxPacket);
            s.addFolder(QStringLiteral("/D"));
            s.putFile(QStringLiteral("/D/a.jpg"), obexJobBytes(6000, 1));
            if (!capability.isEmpty())
                s.setCapability(capability);
        });
        MFDevice::Makers makers;
        filejobs::install(makers);
        const QVariantMap row{{"Dorvanti.Model", "K750"},
                              {"Dorvanti.Manufacturer", "Sony Ericsson"},
                              {"Dorvanti.DeviceProtocol", "sonyericsson"},
                              {"Dorvanti.SyncMLProtocol", "UNKNOWN"},
                              {"Dorvanti.OBEXFileSupport", "1"}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                            std::make_shared<QVariantMap>(connectionDict()), row, nullptr, makers);
        ASSERT_TRUE(dynamic_cast<ObexFileTransferConnection*>(device->ftpConnection()));
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        // Copies to the computer go through the mirror.
        ASSERT_TRUE(mirrorDir.isValid());
        mirror = FilesMirror::mirrorWithDevice(*device, mirrorDir.filePath("K750.dzmir"));
        ASSERT_TRUE(mirror);
    }
    std::shared_ptr<DZDirectoryEntry> listed(const QString& path) { return phonejobs_test::listedFolder(*manager, path); }
    static bool runUntil(const std::function<bool()>& predicate, double seconds = 60.0)
    {
        return phonejobs_test::runUntilTreeSettles(predicate, seconds);
    }
    QByteArray onPhone(const QString& path) const { return sim->obexServer().files().value(path); }

    // phonesim answers from its own thread: on a loaded machine a wait
    // gives it more real time before virtual time moves on.
    testing_support::OutsideInputScope patient{0.1};
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    QTemporaryDir mirrorDir;
    std::unique_ptr<FilesMirror> mirror;
    QTemporaryDir mac;
};

} // namespace

TEST_F(ObexFileJobsTest, ListCopyBothWaysMakeAFolderAndDeleteThroughTheTree)
{
    makeDevice();
    auto folder = listed(QStringLiteral("/D"));
    ASSERT_TRUE(folder);
    auto file = manager->getEntry(QStringLiteral("/D/a.jpg"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->displayableSize(), QStringLiteral("6.000 Byte"));

    // To the computer, in several packets, with progress on the entry.
    QList<float> progress;
    file->listenForPercentUpdateNotifications(this, [&](const platform::Notification& n) {
        progress.append(n.userInfo.value(dztree::kPercentKey).toFloat());
    });
    file->copyToMacDirectory(mac.path());
    ASSERT_TRUE(runUntil([&] { return QFileInfo::exists(mac.filePath("a.jpg")) && !file->hasActionsInProgress(); }));
    file->stopListeningForPercentUpdateNotifications(this);
    EXPECT_EQ(obexJobRead(mac.filePath("a.jpg")), obexJobBytes(6000, 1));
    EXPECT_GE(progress.size(), 2) << "progress while the packets come in";
    EXPECT_EQ(file->status(), dztree::kUpToDate);

    // To the phone.
    const QString up = mac.filePath("up.bin");
    {
        QFile out(up);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(obexJobBytes(5000, 2));
    }
    folder->copyToMobile(up);
    ASSERT_TRUE(runUntil([&] { return !onPhone("/D/up.bin").isEmpty() && !folder->hasActionsInProgress(); }));
    EXPECT_EQ(onPhone("/D/up.bin"), obexJobBytes(5000, 2));
    ASSERT_TRUE(runUntil([&] { return bool(manager->getEntry(QStringLiteral("/D/up.bin"))); }))
        << "the folder is listed again and shows the new file";

    // A new folder, then the file deleted again.
    folder->makeFolder(QStringLiteral("New"));
    ASSERT_TRUE(runUntil([&] { return sim->obexServer().folders().contains(QStringLiteral("/D/New")); }));
    runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
    ASSERT_TRUE(folder->entryWithName(QStringLiteral("New")));
    auto upEntry = manager->getEntry(QStringLiteral("/D/up.bin"));
    ASSERT_TRUE(upEntry);
    upEntry->deleteEntry();
    ASSERT_TRUE(runUntil([&] { return !sim->obexServer().files().contains(QStringLiteral("/D/up.bin")); }));
    runUntil([&] { return !folder->hasActionsInProgress(); });
    EXPECT_EQ(onPhone("/D/a.jpg"), obexJobBytes(6000, 1)) << "the rest stays";
}

TEST_F(ObexFileJobsTest, AListingNamingAParentFolderCopiesNothingOutsideTheDestination)
{
    makeDevice();
    listed(QStringLiteral("/"));
    sim->modifyObexServer([](phonesim::ObexServer& s) {
        s.addFolder(QStringLiteral("/S"));
        s.putFile(QStringLiteral("/S/good.txt"), "good");
        s.putFile(QStringLiteral("/evil"), "evil");
        s.setListingOverride("<?xml version=\"1.0\"?>\n<folder-listing version=\"1.0\">\n"
                             "<parent-folder/>\n<file name=\"../evil\" size=\"4\"/>\n"
                             "<folder name=\"..\"/>\n<file name=\"good.txt\" size=\"4\"/>\n"
                             "</folder-listing>\n");
    });
    QDir(mac.path()).mkpath(QStringLiteral("to"));
    const QString destination = mac.filePath(QStringLiteral("to"));
    auto notify = std::make_shared<RecordingNotify>();
    auto group = GroupActionCopyFolderToMac::copyMobileDirectory(QStringLiteral("/S"), destination, false, notify);
    ASSERT_TRUE(device->addAction(group));
    ASSERT_TRUE(runUntil([&] { return group->hasEnded(); }));
    EXPECT_EQ(obexJobRead(mac.filePath("to/S/good.txt")), QByteArray("good"));
    QStringList made;
    QDirIterator walk(mac.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext())
        made.append(QDir(mac.path()).relativeFilePath(walk.next()));
    made.sort();
    EXPECT_EQ(made, (QStringList{"to", "to/S", "to/S/good.txt"}));
}

TEST_F(ObexFileJobsTest, ACapabilityObjectInSeveralPacketsGivesThePhonesFolders)
{
    // Long enough for three packets of at most 255 bytes.
    QByteArray capability = "<?xml version=\"1.0\"?><Capability Version=\"1.0\"><General>"
                            "<Manufacturer>Sony Ericsson</Manufacturer><Language>de</Language>"
                            "<Memory><MemType>DEV</MemType><Location>C:\\Data\\</Location></Memory></General>"
                            "<Service><Name>Folder-Browsing</Name>"
                            "<Ext><XNam>Pictures</XNam><XVal>Folder=C:\\Data\\Images\\</XVal><XVal>MemType=DEV</XVal></Ext>"
                            "<Ext><XNam>Sounds</XNam><XVal>Folder=C:\\Data\\Sounds\\</XVal><XVal>MemType=DEV</XVal></Ext>"
                            "<Ext><XNam>Videos</XNam><XVal>Folder=C:\\Data\\Videos\\</XVal><XVal>MemType=DEV</XVal></Ext>"
                            "<Ext><XNam>Themes</XNam><XVal>Folder=C:\\Data\\Themes\\</XVal><XVal>MemType=DEV</XVal></Ext>"
                            "</Service></Capability>";
    ASSERT_GT(capability.size(), 2 * 255);
    makeDevice(255, capability);
    EXPECT_TRUE(device->phoneFolders().didProcessCapabilities());
    const MFDeviceInfo& info = *device->devInfo();
    EXPECT_EQ(info.objectForKey("Capab.BT_PathPrefix"), QVariant("/C:/Data"));
    EXPECT_EQ(info.objectForKey("Capab.PicturesFolder"), QVariant("/C:/Data/Images"));
    EXPECT_EQ(info.objectForKey("Capab.ThemesFolder"), QVariant("/C:/Data/Themes"));
    EXPECT_EQ(device->phoneFolders().generalDeviceDict().value("Manufacturer"), QVariant("Sony Ericsson"));
    int capabilityGets = 0;
    for (const QByteArray& packet : sim->obexServer().packets()) {
        if (quint8(packet.at(0)) == 0x83 && packet.contains("x-obex/capability"))
            ++capabilityGets;
    }
    EXPECT_EQ(capabilityGets, 1);
    EXPECT_GE(sim->obexServer().requests().count(quint8(0x83)), 3) << "the rest asked for by Continue";
}

TEST_F(ObexFileJobsTest, WhatTheJobsPutObexftpReadsBack)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("obexftp"));
    if (program.isEmpty())
        GTEST_SKIP() << "obexftp (Debian obexftp) is not installed";
    makeDevice();
    auto folder = listed(QStringLiteral("/D"));
    ASSERT_TRUE(folder);
    folder->makeFolder(QStringLiteral("Up"));
    ASSERT_TRUE(runUntil([&] { return sim->obexServer().folders().contains(QStringLiteral("/D/Up")); }));
    runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
    auto up = manager->getEntry(QStringLiteral("/D/Up"));
    ASSERT_TRUE(up);
    const QByteArray data = obexJobBytes(30000, 3);
    {
        QFile out(mac.filePath("sent.bin"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(data);
    }
    {
        // Many packets each way: on a busy machine a round trip may take
        // longer than the fixture's real-time allowance, and the link's
        // time-outs must not run ahead of the simulator.
        testing_support::OutsideInputScope busyMachine{0.25};
        up->copyToMobile(mac.filePath("sent.bin"));
        ASSERT_TRUE(runUntil([&] { return onPhone("/D/Up/sent.bin").size() == data.size() && !up->hasActionsInProgress(); }));
    }

    // The phone's store, served on a tty of its own to the outside client
    // (phonesim serves one link at a time; the Bluetooth one holds it).
    phonesim::PhoneSimulator tty(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
    const phonesim::ObexServer stored = sim->obexServer();
    tty.modifyObexServer([&](phonesim::ObexServer& s) {
        s.setMaxPacket(500);   // obexftp's tty transport takes no more in one go
        for (const QString& path : stored.folders())
            s.addFolder(path);
        const auto files = stored.files();
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            s.putFile(it.key(), it.value());
    });
    ASSERT_TRUE(tty.start()) << tty.errorString().toStdString();
    QTemporaryDir back;
    QByteArray output;
    // obexftp's tty transport waits for answers only briefly: on a busy
    // machine a try may give up.
    for (int attempt = 0; attempt < 3 && obexJobRead(QDir(back.path()).filePath("sent.bin")) != data; ++attempt) {
        QProcess client;
        client.setWorkingDirectory(back.path());
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(program, {QStringLiteral("-t"), tty.slavePath(), QStringLiteral("-c"), QStringLiteral("D/Up"),
                               QStringLiteral("-g"), QStringLiteral("sent.bin")});
        ASSERT_TRUE(client.waitForFinished(60000));
        output += client.readAll();
    }
    EXPECT_EQ(obexJobRead(QDir(back.path()).filePath("sent.bin")), data) << output.toStdString();
}
