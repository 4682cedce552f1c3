#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/USBMassStorageConnection.h"
#include "phonejobs/ActionCopyFileFolder.h"
#include "phonejobs/FileJobMakers.h"
#include "phonejobs/FileJobNames.h"
#include "phonejobs/GroupActionCopyFolderToMac.h"
#include "platform/UsbRegistrySimulated.h"

#include "../jobs/JobsTestSupport.h"
#include "TestFiles.h"
#include "FileTreeTestSupport.h"
#include "SimulatedStoragePhone.h"
#include "VirtualTime.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

QByteArray storageBytes(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 13 + seed) & 0xFF);
    return data;
}

// Every path under root, relative and sorted.
QStringList storageTree(const QString& root)
{
    QStringList made;
    QDirIterator walk(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        made.append(QDir(root).relativeFilePath(walk.next()));
    made.sort();
    return made;
}

// The file tree of a USB storage phone whose one volume is a temporary
// folder ("/PHONE" on the phone), on the real mass-storage connection.
class MassStorageFileJobsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid() && mac.isValid());
        phone = dir.filePath(QStringLiteral("PHONE"));
        QDir().mkpath(phone + QStringLiteral("/Pictures"));
        writeFile(phone + QStringLiteral("/Pictures/a.jpg"), storageBytes(kPictureSize, 1));
        registry = testing_support::plugInStoragePhone(phone);
    }
    void TearDown() override
    {
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
        platform::UsbRegistry::setShared(nullptr);
    }
    // withMirror: the phone's files mirror is set up (else it has none).
    void makeDevice(bool withMirror)
    {
        const MFDevice::Makers makers = testing_support::storagePhoneMakers();
        auto dict = testing_support::storagePhoneDict();
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.USB_RequiredPath_Int", "Pictures"},
                              {"Dorvanti.TopLevelVolumes", "1"}};
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, nullptr, makers);
        ASSERT_TRUE(dynamic_cast<USBMassStorageConnection*>(device->ftpConnection()));
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        if (withMirror) {
            mirror = FilesMirror::mirrorWithDevice(*device, dir.filePath(QStringLiteral("KU990.dzmir")));
            ASSERT_TRUE(mirror);
        }
    }
    std::shared_ptr<DZDirectoryEntry> listed(const QString& path) { return phonejobs_test::listedFolder(*manager, path); }
    // Copies a phone file to the computer through the tree; the percents
    // its entry reported.
    QList<float> copyToComputer(const std::shared_ptr<DZDirectoryEntry>& file, const QString& folder)
    {
        QList<float> progress;
        file->listenForPercentUpdateNotifications(this, [&](const platform::Notification& n) {
            progress.append(n.userInfo.value(dztree::kPercentKey).toFloat());
        });
        file->copyToMacDirectory(folder);
        EXPECT_TRUE(runUntil([&] { return !file->hasActionsInProgress(); }));
        file->stopListeningForPercentUpdateNotifications(this);
        return progress;
    }
    static bool runUntil(const std::function<bool()>& predicate, double seconds = 60.0)
    {
        return phonejobs_test::runUntilTreeSettles(predicate, seconds);
    }

    static constexpr int kPictureSize = 4 * 65536 + 5;
    testing_support::OutsideInputScope outside{0.01};
    QTemporaryDir dir;
    QTemporaryDir mac;
    QString phone;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
};

} // namespace

TEST_F(MassStorageFileJobsTest, ListCopyBothWaysMakeAFolderAndDeleteThroughTheTree)
{
    makeDevice(true);
    auto folder = listed(QStringLiteral("/PHONE/Pictures"));
    ASSERT_TRUE(folder);
    auto file = manager->getEntry(QStringLiteral("/PHONE/Pictures/a.jpg"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->displayableSize(), QStringLiteral("256 KB"));

    const QList<float> progress = copyToComputer(file, mac.path());
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), storageBytes(kPictureSize, 1));
    EXPECT_FALSE(progress.isEmpty()) << "progress on the entry while it copies";
    EXPECT_EQ(file->status(), dztree::kUpToDate);
    EXPECT_TRUE(file->hasMirrorFile()) << "the copy went through the mirror";

    writeFile(mac.filePath("up.bin"), storageBytes(3 * 65536, 2));
    folder->copyToMobile(mac.filePath("up.bin"));
    ASSERT_TRUE(runUntil([&] {
        return readFile(phone + "/Pictures/up.bin") == storageBytes(3 * 65536, 2) && !folder->hasActionsInProgress();
    }));
    ASSERT_TRUE(runUntil([&] { return bool(manager->getEntry(QStringLiteral("/PHONE/Pictures/up.bin"))); }))
        << "the folder is listed again and shows the new file";

    folder->makeFolder(QStringLiteral("New"));
    ASSERT_TRUE(
        runUntil([&] { return QFileInfo(phone + "/Pictures/New").isDir() && !folder->hasActionsInProgress(); }));
    runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
    EXPECT_TRUE(folder->entryWithName(QStringLiteral("New")));

    auto up = manager->getEntry(QStringLiteral("/PHONE/Pictures/up.bin"));
    ASSERT_TRUE(up);
    up->deleteEntry();
    ASSERT_TRUE(
        runUntil([&] { return !QFileInfo::exists(phone + "/Pictures/up.bin") && !folder->hasActionsInProgress(); }));
    EXPECT_EQ(storageTree(phone), (QStringList{"Pictures", "Pictures/New", "Pictures/a.jpg"}));
    EXPECT_EQ(readFile(phone + "/Pictures/a.jpg"), storageBytes(kPictureSize, 1)) << "the rest stays";
}

// A phone whose files mirror was never set up still copies to the computer:
// the fetch lands beside the destination and leaves nothing else there.
TEST_F(MassStorageFileJobsTest, ACopyToTheComputerWorksWithoutAFilesMirror)
{
    makeDevice(false);
    ASSERT_EQ(manager->mirror(), nullptr);
    listed(QStringLiteral("/PHONE/Pictures"));
    auto file = manager->getEntry(QStringLiteral("/PHONE/Pictures/a.jpg"));
    ASSERT_TRUE(file);

    auto notify = std::make_shared<jobs_test::RecordingNotify>();
    const auto copy = [&](bool replace) {
        auto job = ActionCopyFileFolder::actionFromMobileToMac(QStringLiteral("/PHONE/Pictures/a.jpg"), mac.path(),
                                                               kPictureSize, replace, notify);
        notify->events.clear();
        EXPECT_TRUE(device->addAction(job));
        EXPECT_TRUE(runUntil([&] { return job->hasEnded(); }));
        for (const auto& event : notify->events)
            if (event.kind == QLatin1String("end"))
                return event.code;
        return 1;
    };
    EXPECT_EQ(copy(false), 0);
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), storageBytes(kPictureSize, 1));
    EXPECT_EQ(storageTree(mac.path()), QStringList{"a.jpg"}) << "no fetch folder stays behind";

    // An existing file without replace is refused before the phone is asked.
    writeFile(mac.filePath("a.jpg"), "mine");
    EXPECT_EQ(copy(false), -48);
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), "mine");
    EXPECT_EQ(copy(true), 0);
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), storageBytes(kPictureSize, 1));

    // A link in the destination whose target is gone is a taken name too:
    // without replace nothing is written through it.
    QFile::remove(mac.filePath("a.jpg"));
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.jpg"));
    ASSERT_TRUE(QFile::link(elsewhere, mac.filePath("a.jpg")));
    EXPECT_EQ(copy(false), -48);
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_EQ(copy(true), 0) << "with replace the link itself is replaced";
    EXPECT_FALSE(QFileInfo(mac.filePath("a.jpg")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), storageBytes(kPictureSize, 1));

    // A source that went away fails and leaves the destination as it was.
    QFile::remove(phone + "/Pictures/a.jpg");
    EXPECT_EQ(copy(true), -43);
    EXPECT_EQ(readFile(mac.filePath("a.jpg")), storageBytes(kPictureSize, 1));
    EXPECT_EQ(storageTree(mac.path()), QStringList{"a.jpg"});
}

// On a storage volume, names that would lead out of a folder are links:
// copying the folder takes only what really lies in it, and deleting it
// removes the links, never what they lead to.
TEST_F(MassStorageFileJobsTest, LinksOutOfAFolderCopyNothingOutsideTheDestination)
{
    QDir().mkpath(phone + "/S");
    writeFile(phone + "/S/good.txt", "good");
    writeFile(dir.filePath("evil"), "evil");
    QDir().mkpath(dir.filePath("outside"));
    writeFile(dir.filePath("outside/secret.txt"), "secret");
    ASSERT_TRUE(QFile::link(dir.filePath("evil"), phone + "/S/evil"));
    ASSERT_TRUE(QFile::link(phone, phone + "/S/up"));
    ASSERT_TRUE(QFile::link(dir.filePath("outside"), phone + "/S/out"));
    makeDevice(true);
    listed(QStringLiteral("/PHONE"));

    QDir(mac.path()).mkpath(QStringLiteral("to"));
    auto notify = std::make_shared<jobs_test::RecordingNotify>();
    auto group = GroupActionCopyFolderToMac::copyMobileDirectory(QStringLiteral("/PHONE/S"), mac.filePath("to"), false,
                                                                 notify);
    ASSERT_TRUE(device->addAction(group));
    ASSERT_TRUE(runUntil([&] { return group->hasEnded(); }));
    EXPECT_EQ(storageTree(mac.path()), (QStringList{"to", "to/S", "to/S/good.txt"}));
    EXPECT_EQ(readFile(mac.filePath("to/S/good.txt")), "good");

    listed(QStringLiteral("/PHONE/S"));
    auto folder = manager->getEntry(QStringLiteral("/PHONE/S"));
    ASSERT_TRUE(folder);
    folder->deleteEntry();
    ASSERT_TRUE(runUntil([&] { return !QFileInfo::exists(phone + "/S") && !QFileInfo(phone + "/S").isSymLink(); }));
    runUntil([&] { return !manager->root()->hasActionsInProgress(); });
    EXPECT_EQ(storageTree(phone), (QStringList{"Pictures", "Pictures/a.jpg"}));
    EXPECT_EQ(readFile(dir.filePath("evil")), "evil");
    EXPECT_EQ(readFile(dir.filePath("outside/secret.txt")), "secret");
}
