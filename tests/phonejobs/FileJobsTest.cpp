#include "../phone/FolderPhoneFixture.h"

#include "jobs/JobCodes.h"
#include "jobs/QVActionMachine.h"
#include "links/LinkCodes.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/FilesMirror.h"
#include "phonejobs/ActionCopyFileFolder.h"
#include "phonejobs/ActionGetDirectoryContent.h"
#include "phonejobs/FileJobMakers.h"

#include <QTemporaryDir>

namespace {

using testing_support::runUntil;

// Notes what a file job tells its requester.
class FileJobNotify : public QVActionNotify {
public:
    bool startAction(QVAction&) override { return true; }
    bool processAction(QVAction&, float percent) override
    {
        percents.append(percent);
        return true;
    }
    void endAction(QVAction&, int err) override { codes.append(err); }
    QList<float> percents;
    QList<int> codes;
};

QByteArray fileJobsRead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FileJobsTest : public FolderPhoneFixture {
protected:
    void SetUp() override
    {
        filejobs::install(makers);
        rootEntries = {rootFolder("D")};
        device = make({});
        ASSERT_TRUE(ftp);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        mirror = FilesMirror::mirrorWithDevice(*device);
        ASSERT_TRUE(mirror);
        device->setMirror(mirror.get());
        ftp->addFolder("/D");
        ftp->addFile("/D/a.jpg", QByteArray(2048, 'a'));
        ASSERT_TRUE(mac.isValid());
    }
    void TearDown() override
    {
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
    }
    // Lists a folder through the tree and waits for the listing.
    std::shared_ptr<DZDirectoryEntry> listed(const QString& path)
    {
        auto folder = manager->getDirectory(path);
        folder->update();
        runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
        return folder;
    }

    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
    QTemporaryDir mac;
};

TEST_F(FileJobsTest, DescriptionsDecideMerging)
{
    auto copy = ActionCopyFileFolder::actionFromMobileToMac("/Phone/a.jpg", "/home/me/D", 10, false, nullptr);
    EXPECT_EQ(copy->description(),
              QStringLiteral("ActionCopyFileFolder (MobileToMac) (Replace: NO): </Phone/a.jpg>  -->  </home/me/D>"));
    auto first = manager->postActionIfNeccessary(ActionGetDirectoryContent::actionWithPath("/D", nullptr));
    auto second = manager->postActionIfNeccessary(ActionGetDirectoryContent::actionWithPath("/D", nullptr));
    EXPECT_EQ(first, second);
    EXPECT_EQ(copy->generateErrorString(-43),
              QStringLiteral("kCopyErrorSourceFileNotFound /Phone/a.jpg"));
}

TEST_F(FileJobsTest, ListCopyMakeAndDeleteThroughTheTree)
{
    auto folder = listed("/D");
    auto file = manager->getEntry("/D/a.jpg");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->displayableSize(), QStringLiteral("2.048 Byte"));

    QList<float> progress;
    file->listenForPercentUpdateNotifications(this, [&](const platform::Notification& n) {
        progress.append(n.userInfo.value(dztree::kPercentKey).toFloat());
    });
    file->copyToMacDirectory(mac.path());
    ASSERT_TRUE(runUntil([&] { return QFileInfo::exists(mac.filePath("a.jpg")) && !file->hasActionsInProgress(); }));
    EXPECT_EQ(fileJobsRead(mac.filePath("a.jpg")), QByteArray(2048, 'a'));
    EXPECT_EQ(file->status(), dztree::kUpToDate);
    EXPECT_FALSE(progress.isEmpty());
    file->stopListeningForPercentUpdateNotifications(this);

    // The mirror holds it now: a second copy asks nothing of the phone.
    ftp->files.remove("/D/a.jpg");
    QTemporaryDir other;
    auto notify = std::make_shared<FileJobNotify>();
    auto again = ActionCopyFileFolder::actionFromMobileToMac("/D/a.jpg", other.path(), 2048, false, notify);
    ASSERT_TRUE(device->addAction(again));
    ASSERT_TRUE(runUntil([&] { return !notify->codes.isEmpty(); }));
    EXPECT_EQ(notify->codes, QList<int>{0});
    EXPECT_EQ(fileJobsRead(QDir(other.path()).filePath("a.jpg")), QByteArray(2048, 'a'));

    QFile up(mac.filePath("up.txt"));
    ASSERT_TRUE(up.open(QIODevice::WriteOnly));
    up.write("hello");
    up.close();
    folder->copyToMobile(up.fileName());
    ASSERT_TRUE(runUntil([&] { return ftp->files.contains("/D/up.txt") && !folder->hasActionsInProgress(); }));
    EXPECT_EQ(ftp->files.value("/D/up.txt"), QByteArray("hello"));

    folder->makeFolder("New");
    ASSERT_TRUE(runUntil([&] { return ftp->folders.contains("/D/New"); }));
    runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
    auto upEntry = manager->getEntry("/D/up.txt");
    ASSERT_TRUE(upEntry);
    upEntry->deleteEntry();
    ASSERT_TRUE(runUntil([&] { return !ftp->files.contains("/D/up.txt"); }));
}

TEST_F(FileJobsTest, ACopyOntoAnExistingFileWithoutReplaceEndsWithMinus48)
{
    listed("/D");
    QFile existing(mac.filePath("a.jpg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("mine");
    existing.close();
    auto notify = std::make_shared<FileJobNotify>();
    auto copy = ActionCopyFileFolder::actionFromMobileToMac("/D/a.jpg", mac.path(), 2048, false, notify);
    ASSERT_TRUE(device->addAction(copy));
    ASSERT_TRUE(runUntil([&] { return !notify->codes.isEmpty(); }));
    EXPECT_EQ(notify->codes, QList<int>{-48});
    EXPECT_TRUE(copy->feedBackErrorString().contains(mac.filePath("a.jpg")));
    EXPECT_EQ(fileJobsRead(mac.filePath("a.jpg")), QByteArray("mine"));

    // A failing fetch removes nothing it did not write.
    auto missing = std::make_shared<FileJobNotify>();
    auto gone = ActionCopyFileFolder::actionFromMobileToMac("/D/none.jpg", mac.path(), 5, true, missing);
    ASSERT_TRUE(device->addAction(gone));
    ASSERT_TRUE(runUntil([&] { return !missing->codes.isEmpty(); }));
    EXPECT_EQ(missing->codes, QList<int>{-43});
    EXPECT_TRUE(QFileInfo::exists(mac.filePath("a.jpg")));
}

TEST_F(FileJobsTest, ProgressReadsBytesWhenTheConnectionSaysZero)
{
    auto notify = std::make_shared<FileJobNotify>();
    auto copy = ActionCopyFileFolder::actionFromMobileToMac("/D/a.jpg", mac.path(), 2048, false, notify);
    copy->ActionDeviceCallback::startAction();
    copy->deviceCallback()->registerProgress(512, 0.0f);
    auto unknown = ActionCopyFileFolder::actionFromMobileToMac("/D/a.jpg", mac.path(), 0, false, notify);
    unknown->ActionDeviceCallback::startAction();
    unknown->deviceCallback()->registerProgress(512, 40.0f);
    EXPECT_EQ(notify->percents, (QList<float>{25.0f, 40.0f}));
}

TEST_F(FileJobsTest, AVanishedFolderLeavesTheTree)
{
    listed("/D");
    manager->updateDirectory("/", {rootFolder("D"), rootFolder("Gone")});
    auto gone = manager->getEntry("/Gone");
    ASSERT_TRUE(gone);
    gone->update();
    ASSERT_TRUE(runUntil([&] { return !manager->getEntry("/Gone"); }));
}

TEST_F(FileJobsTest, JobsNoPipeServesEndAtOnceAsNotConnected)
{
    // A phone without a file-transfer connection has no pipe for file jobs.
    makers.massStorageFTP = nullptr;
    auto bare = make({});
    auto* tree = dynamic_cast<DZDataManager*>(bare->dataManager());
    ASSERT_TRUE(tree);
    tree->updateDirectory("/P", {FTPFile::ftpFileWithAttributes({{FTPFile::kName, "k.jpg"}}, "/P", nullptr)});
    auto folder = tree->getEntry("/P");
    auto job = folder->makeFolder("New");
    ASSERT_TRUE(job);
    EXPECT_TRUE(job->hasEnded());
    EXPECT_FALSE(folder->entryWithName("New"));

    auto file = tree->getEntry("/P/k.jpg");
    const int before = file->status();
    file->deleteEntry();
    EXPECT_EQ(file->status(), before);
    EXPECT_EQ(file->countOfJobs(), 0u);

    folder->update();
    EXPECT_EQ(folder->status(), dztree::kOutOfDate);
    EXPECT_FALSE(folder->isGhostFile());
}

} // namespace
