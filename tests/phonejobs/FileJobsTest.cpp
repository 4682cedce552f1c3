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
#include "phonejobs/GroupActionCopyFolderToMac.h"

#include <QTemporaryDir>

namespace {

using testing_support::runUntil;

// Notes what a file job tells its requester.
class FileJobNotify : public QVActionNotify {
public:
    bool startAction(QVAction& action) override
    {
        if (onStart)
            onStart(action);
        return true;
    }
    bool processAction(QVAction&, float percent) override
    {
        percents.append(percent);
        return true;
    }
    void endAction(QVAction&, int err) override { codes.append(err); }
    QList<float> percents;
    QList<int> codes;
    std::function<void(QVAction&)> onStart;
};

QByteArray fileJobsRead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The in-memory phone noting what it is asked, and failing copies of some names.
class RecordingFileTransfer : public CapableFileTransfer {
public:
    using CapableFileTransfer::CapableFileTransfer;
    int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        asked.append("list " + path);
        return CapableFileTransfer::getDirectoryContentsAtPath(path, callback);
    }
    int makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        asked.append("mkdir " + path);
        return CapableFileTransfer::makeFolder(path, callback);
    }
    int deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        asked.append("delete " + path);
        return CapableFileTransfer::deleteFile(path, callback);
    }
    int copyFromMobileToMac(const QString& file, const QString& folder, bool overwrite,
                            const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        asked.append("get " + file);
        if (failing.contains(file)) {
            callback->finishWithErrorInMainThread(links::kIOReturnIOError, QVariant());
            return 0;
        }
        return CapableFileTransfer::copyFromMobileToMac(file, folder, overwrite, callback);
    }
    int copyFromMacToMobile(const QString& file, const QString& folder, bool overwrite,
                            const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        asked.append("put " + folder + "/" + QFileInfo(file).fileName());
        return CapableFileTransfer::copyFromMacToMobile(file, folder, overwrite, callback);
    }
    QStringList asked;
    QSet<QString> failing;
};

class FileJobsTest : public FolderPhoneFixture {
protected:
    void SetUp() override
    {
        filejobs::install(makers);
        makers.massStorageFTP = [this](MFDevice& owner, const QVariantMap&) {
            auto made = std::make_unique<RecordingFileTransfer>(owner, linkType);
            ftp = recording = made.get();
            return made;
        };
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

    // Waits until the group posted through the tree has ended.
    void waitFor(const std::shared_ptr<QVAction>& job)
    {
        ASSERT_TRUE(job);
        ASSERT_TRUE(runUntil([&] { return job->hasEnded(); }, 30.0));
    }
    QStringList askedOf(const char* kind) const
    {
        QStringList list;
        for (const QString& line : recording->asked) {
            if (line.startsWith(QLatin1String(kind)))
                list.append(line);
        }
        return list;
    }

    RecordingFileTransfer* recording = nullptr;
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

TEST_F(FileJobsTest, ASuspendedCopyEndsSuspendedAndStartsAgainFromTheBeginning)
{
    ftp->addFile("/D/suspended.jpg", QByteArray(2048, 's'));
    listed("/D");
    auto notify = std::make_shared<FileJobNotify>();
    auto copy = ActionCopyFileFolder::actionFromMobileToMac("/D/suspended.jpg", mac.path(), 2048, true, notify);
    ASSERT_TRUE(copy->doSuspendAction());
    EXPECT_FALSE(copy->doSuspendAction()) << "asked once";
    ASSERT_TRUE(device->addAction(copy));
    ASSERT_TRUE(runUntil([&] { return copy->hasEnded(); }));
    EXPECT_EQ(notify->codes, (QList<int>{jobcodes::kSuspended, 0}));
    EXPECT_EQ(askedOf("get"), (QStringList{"get /D/suspended.jpg", "get /D/suspended.jpg"}));
    EXPECT_EQ(fileJobsRead(mac.filePath("suspended.jpg")), QByteArray(2048, 's'));
}

TEST_F(FileJobsTest, ACopyOnAPhoneOfTheLGFamilyIsNotSuspended)
{
    struct Case {
        const char* smsProtocol;
        bool suspends;
    } cases[] = {{"", true}, {"Nokia", true}, {"lg", false}, {"lg2/x", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.smsProtocol);
        QVariantMap row;
        if (*c.smsProtocol)
            row.insert("Dorvanti.SMSProtocol", c.smsProtocol);
        auto phone = make(row);
        auto phoneMirror = FilesMirror::mirrorWithDevice(*phone);
        ASSERT_TRUE(phoneMirror);
        ftp->addFolder("/D");
        ftp->addFile("/D/s.jpg", QByteArray(100, 's'));
        QTemporaryDir into;
        auto notify = std::make_shared<FileJobNotify>();
        QList<bool> answers;
        notify->onStart = [&](QVAction& job) {
            if (answers.isEmpty())
                answers.append(job.doSuspendAction());
        };
        auto copy = ActionCopyFileFolder::actionFromMobileToMac("/D/s.jpg", into.path(), 100, true, notify);
        ASSERT_TRUE(phone->addAction(copy));
        ASSERT_TRUE(runUntil([&] { return copy->hasEnded(); }));
        EXPECT_EQ(answers, QList<bool>{c.suspends});
        EXPECT_EQ(notify->codes, c.suspends ? (QList<int>{jobcodes::kSuspended, 0}) : QList<int>{0});
        EXPECT_EQ(askedOf("get").size(), c.suspends ? 2 : 1) << "a suspended copy starts again from the beginning";
        EXPECT_EQ(fileJobsRead(QDir(into.path()).filePath("s.jpg")), QByteArray(100, 's'));
        phone->actionMachine()->announceQuitWithLoops(5);
        phone.reset();
    }
}

TEST_F(FileJobsTest, ATreeIsListedBreadthFirst)
{
    for (const char* folder : {"/T", "/T/A", "/T/A/A1", "/T/A/A2", "/T/B"})
        ftp->addFolder(folder);
    listed("/T");
    recording->asked.clear();
    auto group = manager->postAction(manager->getEntry("/T")->actionToUpdateWholeSubtreeWithPriority(1, true));
    waitFor(group);
    EXPECT_EQ(askedOf("list"), (QStringList{"list /T", "list /T/A", "list /T/B", "list /T/A/A1", "list /T/A/A2"}));
    EXPECT_EQ(group->description(), QStringLiteral("<GroupActionUpdateDirectoryTree: /T forcesUpdates:YES>"));
}

TEST_F(FileJobsTest, APhoneFolderCopiedToTheDesktopKeepsItsName)
{
    ftp->addFolder("/Trip");
    ftp->addFolder("/Trip/Day");
    ftp->addFile("/Trip/a.jpg", "A");
    ftp->addFile("/Trip/Day/b.jpg", "B");
    listed("/");
    auto trip = manager->getEntry("/Trip");
    ASSERT_TRUE(trip);
    trip->copyToMacDirectory(mac.path());
    ASSERT_TRUE(runUntil([&] { return QFileInfo::exists(mac.filePath("Trip/Day/b.jpg")); }, 30.0));
    runUntil([&] { return !trip->hasActionsInProgress(); });
    EXPECT_EQ(fileJobsRead(mac.filePath("Trip/a.jpg")), QByteArray("A"));
    EXPECT_EQ(fileJobsRead(mac.filePath("Trip/Day/b.jpg")), QByteArray("B"));
}

TEST_F(FileJobsTest, ACopyToTheDesktopStopsAtTheFirstFailure)
{
    ftp->addFolder("/S");
    for (const char* name : {"/S/1.jpg", "/S/2.jpg", "/S/3.jpg"})
        ftp->addFile(name, "x");
    recording->failing.insert("/S/2.jpg");
    listed("/");
    auto notify = std::make_shared<FileJobNotify>();
    auto group = GroupActionCopyFolderToMac::copyMobileDirectory("/S", mac.path(), false, notify);
    ASSERT_TRUE(device->addAction(group));
    waitFor(group);
    EXPECT_EQ(notify->codes, QList<int>{links::kIOReturnIOError});
    EXPECT_EQ(askedOf("get"), (QStringList{"get /S/1.jpg", "get /S/2.jpg"}));
    EXPECT_TRUE(QFileInfo::exists(mac.filePath("S/1.jpg")));
    EXPECT_FALSE(QFileInfo::exists(mac.filePath("S/3.jpg")));
    EXPECT_TRUE(GroupActionCopyFolderToMac::isFatalError(-5));
    EXPECT_FALSE(GroupActionCopyFolderToMac::isFatalError(jobcodes::kSuspended));
    EXPECT_FALSE(GroupActionCopyFolderToMac::isFatalError(jobcodes::kNothingToDo));
}

TEST_F(FileJobsTest, ADesktopFolderGoesUpWithoutItsHiddenItems)
{
    auto folder = listed("/D");
    QDir(mac.path()).mkpath("Up");
    for (const char* name : {"Up/.hidden", "Up/pic.jpg"}) {
        QFile file(mac.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    recording->asked.clear();
    auto job = folder->copyToMobile(mac.filePath("Up"));
    waitFor(job);
    EXPECT_EQ(askedOf("mkdir") + askedOf("put"), (QStringList{"mkdir /D/Up", "put /D/Up/pic.jpg"}));
    EXPECT_FALSE(ftp->files.contains("/D/Up/.hidden"));
    EXPECT_EQ(ftp->files.value("/D/Up/pic.jpg"), QByteArray("Up/pic.jpg"));
}

TEST_F(FileJobsTest, MakeFoldersAsksOnlyForTheMissingOnes)
{
    ftp->addFolder("/Phone");
    ftp->addFolder("/Phone/A");
    listed("/Phone");
    recording->asked.clear();
    waitFor(manager->createFolders({"/Phone/A/B"}));
    EXPECT_EQ(askedOf("mkdir"), QStringList{"mkdir /Phone/A/B"});
    EXPECT_TRUE(ftp->folders.contains("/Phone/A/B"));
}

TEST_F(FileJobsTest, AFolderIsDeletedChildrenFirst)
{
    ftp->addFolder("/X");
    ftp->addFolder("/X/empty");
    ftp->addFile("/X/f.txt", "f");
    listed("/");
    listed("/X");
    recording->asked.clear();
    auto job = manager->getEntry("/X")->deleteEntry();
    waitFor(job);
    EXPECT_EQ(askedOf("delete"), (QStringList{"delete /X/empty", "delete /X/f.txt", "delete /X"}));
    EXPECT_EQ(job->description(), QStringLiteral("<GroupActionDeleteFolder: /X"));
    EXPECT_FALSE(ftp->folders.contains("/X"));
}

} // namespace
