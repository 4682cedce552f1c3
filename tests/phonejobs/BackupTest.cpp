#include "SyncContainerTestSupport.h"

#include "links/LinkCodes.h"
#include "phonejobs/BackUpContainer.h"
#include "phonejobs/GroupActionBackupPhone.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/WaitForFoldersWithMinimumWaitingTimePreprocessor.h"
#include "platform/Localization.h"

#include <QFile>
#include <QFileInfo>

using namespace containers_test;

namespace {

QByteArray backupRead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BackupTest : public ContainerPhoneFixture {
protected:
    void makeBackupPhone(QVariantMap dict = {})
    {
        dict.insert(QStringLiteral("Common.BackupDevice"), true);
        // Every suffix is backed up.
        dict.insert(QStringLiteral("Common.BackupExceptSuffixList"), QStringList{QStringLiteral("map")});
        makeDevice(true, dict);
        ftp->addFolder(QStringLiteral("/D"));
        ftp->addFile(QStringLiteral("/D/a.txt"), "alpha");
        ftp->addFile(QStringLiteral("/D/b.txt"), "beta");
        ftp->addFile(QStringLiteral("/c.txt"), "gamma");
    }
    // Starts the backup and runs it to its end.
    std::shared_ptr<QVActionContainer> runBackup()
    {
        auto container = manager->startBackup();
        EXPECT_TRUE(container);
        if (!container)
            return nullptr;
        follow(container);
        files = std::dynamic_pointer_cast<GroupActionBackupPhone>(container->actionContainer().last());
        EXPECT_TRUE(files);
        if (files)
            follow(files);
        EXPECT_TRUE(runUntil([&] { return hasEnded(container); }, 120.0));
        return container;
    }
    QString mirrorFileOf(const QString& phonePath) const { return mirror->getMirrorPath(phonePath); }

    std::shared_ptr<GroupActionBackupPhone> files;
};

} // namespace

TEST_F(BackupTest, OrganizerJobsComeInTheirOrderWithTheLastViewedFirst)
{
    struct Case {
        const char* lastView;
        QSet<int> engineTypes;
        QList<int> order;
    };
    const Case cases[] = {
        {"", {}, {1, 0, 3, 2, 4}},
        {"", {0}, {1, 3, 2, 4}},
        {"SMS", {}, {4, 1, 0, 3, 2}},
        {"Notes", {1}, {2, 0, 3, 4}},
        {"Contacts", {0}, {1, 3, 2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastView);
        TearDown();
        log = std::make_shared<JobLog>();
        organizerJobs.clear();
        decisions->engineAtAll = !c.engineTypes.isEmpty();
        decisions->engineTypes = c.engineTypes;
        QVariantMap dict;
        if (*c.lastView)
            dict.insert(QStringLiteral("Organizer.LastOrganizerView"), QString::fromLatin1(c.lastView));
        makeBackupPhone(dict);
        auto container = runBackup();
        ASSERT_TRUE(container);
        EXPECT_EQ(log->startedTypes, c.order);
        for (const auto& job : organizerJobs) {
            EXPECT_TRUE(job->executeOnlyIfNeeded());
            auto wait = std::dynamic_pointer_cast<WaitForFoldersWithMinimumWaitingTimePreprocessor>(
                job->preprocessAction());
            ASSERT_TRUE(wait);
            EXPECT_EQ(wait->minimumWaitingTime(), 20.0);
            EXPECT_EQ(wait->waitingTimeAfterFinish(), 0.0);
        }
        ASSERT_TRUE(files);
        auto fileWait = std::dynamic_pointer_cast<WaitForFoldersWithMinimumWaitingTimePreprocessor>(
            files->preprocessAction());
        ASSERT_TRUE(fileWait);
        EXPECT_EQ(fileWait->waitingTimeAfterFinish(), 2.0);
    }
}

TEST_F(BackupTest, TheFilesGoIntoTheMirrorOnceAndTheBackupBecomesComplete)
{
    noJobTypes = {0, 1, 2, 3, 4};
    makeBackupPhone();
    // a.txt has its mirror copy already.
    const QString copyOfA = mirrorFileOf(QStringLiteral("/D/a.txt"));
    ASSERT_FALSE(copyOfA.isEmpty());
    {
        QFile out(copyOfA);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("alpha");
    }
    bool marked = false;
    platform::NotificationCenter::defaultCenter().addObserver(
        this, QStringLiteral("DZ-DatabaseSynced"), device.get(), [&](const platform::Notification&) { marked = true; });
    auto container = runBackup();
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    ASSERT_TRUE(container);
    EXPECT_EQ(endCodeOf(container), 0);
    EXPECT_EQ(endCodeOf(files), 0);
    EXPECT_EQ(files->copiesAdded(), 2);
    ftp->copied.sort();
    EXPECT_EQ(ftp->copied, (QStringList{"/D/b.txt", "/c.txt"}));
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/D/b.txt"))), QByteArray("beta"));
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/c.txt"))), QByteArray("gamma"));
    EXPECT_TRUE(device->isBackupComplete());
    EXPECT_TRUE(marked);
    EXPECT_TRUE(std::static_pointer_cast<BackUpContainer>(container)->errorFileDescriptions().isEmpty());

    // Again: every wanted file has its copy and nothing is fetched; a group
    // that had nothing to do does not mark the backup complete.
    device->setBackupComplete(false);
    ftp->copied.clear();
    auto again = runBackup();
    ASSERT_TRUE(again);
    EXPECT_TRUE(ftp->copied.isEmpty());
    EXPECT_EQ(files->copiesAdded(), 0);
    EXPECT_FALSE(device->isBackupComplete());
}

TEST_F(BackupTest, AFailedCopyIsListedAndTheBackupIsNotComplete)
{
    noJobTypes = {0, 1, 2, 3, 4};
    makeBackupPhone();
    // Copied in name order: b.txt is the last one.
    ftp->failingCopies.insert(QStringLiteral("/D/b.txt"), links::kIOReturnIOError);
    auto container = runBackup();
    ASSERT_TRUE(container);
    const QStringList failed = std::static_pointer_cast<BackUpContainer>(container)->errorFileDescriptions();
    ASSERT_EQ(failed.size(), 1);
    EXPECT_FALSE(failed.first().isEmpty());
    EXPECT_NE(endCodeOf(files), 0) << "the failed copy was the last one";
    EXPECT_FALSE(device->isBackupComplete());
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/D/a.txt"))), QByteArray("alpha")) << "the others were copied";
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/c.txt"))), QByteArray("gamma"));
}

TEST_F(BackupTest, AFolderWhoseListingKeepsFailingIsNamedAndTheRestIsCopied)
{
    noJobTypes = {0, 1, 2, 3, 4};
    makeBackupPhone();
    ftp->addFolder(QStringLiteral("/Locked"));
    ftp->addFile(QStringLiteral("/Locked/x.txt"), "x");
    // Each listing of the folder loses the phone: after three tries the
    // backup goes on without it and names it.
    ftp->failing.insert(QStringLiteral("/Locked"), links::kErrNotConnected);
    auto container = runBackup();
    ASSERT_TRUE(container);
    EXPECT_EQ(std::static_pointer_cast<BackUpContainer>(container)->errorFileDescriptions(),
              QStringList{QStringLiteral("/Locked")});
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/D/a.txt"))), QByteArray("alpha"));
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/c.txt"))), QByteArray("gamma"));
    EXPECT_FALSE(QFileInfo::exists(mirrorFileOf(QStringLiteral("/Locked/x.txt"))));
}

namespace {

// A member job of the file group as the error list sees it.
class BackupMemberJob : public QVAction {
public:
    BackupMemberJob(QString head, QString sub)
        : head(std::move(head))
        , sub(std::move(sub))
    {
    }
    QString actionType() const override { return QStringLiteral("FTP"); }
    QString displayString() const override { return head; }
    QString displaySubString() const override { return sub; }
    QString head;
    QString sub;
};

} // namespace

TEST_F(BackupTest, WhatAFailedMemberAddsToTheErrorList)
{
    struct Case {
        const char* name;
        const char* errorText;
        const char* head;
        const char* sub;
        int code;
        QStringList listed;
    };
    const Case cases[] = {
        {"its error text", "Disk full", "Copy", "a.txt", links::kIOReturnIOError, {"Disk full"}},
        {"both display strings", "", "Copy", "a.txt", links::kIOReturnIOError, {"(Copy)a.txt"}},
        {"only a display string", "", "Copy", "", jobcodes::kTimedOut, {"Copy"}},
        {"nothing to say", "", "", "", links::kIOReturnIOError, {}},
        {"cancelled", "", "Copy", "b.txt", jobcodes::kCancelled, {"(Copy)b.txt"}},
        {"success", "Disk full", "Copy", "a.txt", 0, {}},
        {"nothing to do", "Disk full", "Copy", "a.txt", jobcodes::kNothingToDo, {}},
        {"suspended", "Disk full", "Copy", "a.txt", jobcodes::kSuspended, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto group = std::make_shared<GroupActionBackupPhone>();
        EXPECT_FALSE(group->errorDescriptions());
        EXPECT_EQ(group->displayString(), platform::localizedString(containernames::kBackingUpIdle));
        auto list = std::make_shared<QStringList>();
        group->setErrorDescriptions(list);
        BackupMemberJob member(QString::fromLatin1(c.head), QString::fromLatin1(c.sub));
        member.setFeedBackErrorString(QString::fromLatin1(c.errorText));
        group->endAction(member, c.code);
        EXPECT_EQ(*list, c.listed);
    }
    // A group without a list adds nowhere and does not fail.
    auto alone = std::make_shared<GroupActionBackupPhone>();
    BackupMemberJob member(QStringLiteral("Copy"), QStringLiteral("a.txt"));
    alone->endAction(member, links::kIOReturnIOError);
    EXPECT_EQ(alone->description(), QStringLiteral("<GroupActionBackupPhone>"));
}

TEST_F(BackupTest, ASuspendedFileGroupResumesWithoutAddingItsCopiesAgain)
{
    noJobTypes = {0, 1, 2, 3, 4};
    makeBackupPhone();
    // Copied in name order: c.txt is the first one, and it takes a while.
    ftp->copyDelays.insert(QStringLiteral("/c.txt"), 3.0);
    auto container = manager->startBackup();
    ASSERT_TRUE(container);
    follow(container);
    files = std::dynamic_pointer_cast<GroupActionBackupPhone>(container->actionContainer().last());
    ASSERT_TRUE(files);
    testing_support::runFor(1.0);
    EXPECT_EQ(files->displayString(), platform::localizedString(containernames::kBackingUpPrepare));
    EXPECT_EQ(container->displayString(), platform::localizedString(containernames::kBackingUpPrepare));
    EXPECT_EQ(container->displaySubString(), QStringLiteral(" "));
    ASSERT_TRUE(runUntil([&] { return files->currentAction() != nullptr; }, 40.0));
    EXPECT_EQ(files->copiesAdded(), 3);
    EXPECT_EQ(files->displayString(), platform::localizedString(containernames::kBackingUp));
    EXPECT_EQ(files->displaySubString(), QStringLiteral("c.txt"));

    ASSERT_TRUE(files->doSuspendAction());
    ASSERT_TRUE(runUntil([&] { return hasEnded(container); }, 60.0));
    EXPECT_EQ(endCodeOf(container), 0);
    EXPECT_EQ(files->copiesAdded(), 3) << "the resumed group builds no copies again";
    EXPECT_EQ(ftp->copied.count(QStringLiteral("/c.txt")), 2) << "the suspended copy ran again";
    EXPECT_EQ(ftp->copied.count(QStringLiteral("/D/a.txt")), 1);
    EXPECT_EQ(ftp->copied.count(QStringLiteral("/D/b.txt")), 1);
    EXPECT_EQ(backupRead(mirrorFileOf(QStringLiteral("/D/a.txt"))), QByteArray("alpha"));
    EXPECT_TRUE(device->isBackupComplete());
}

TEST_F(BackupTest, NoFilesAreCopiedWhenTheDeviceWantsNoBackup)
{
    noJobTypes = {0, 1, 2, 3, 4};
    makeDevice(true, {{"Common.BackupDevice", false}});
    ftp->addFile(QStringLiteral("/c.txt"), "gamma");
    auto container = runBackup();
    ASSERT_TRUE(container);
    EXPECT_TRUE(ftp->copied.isEmpty());
    EXPECT_EQ(files->copiesAdded(), 0);
    EXPECT_FALSE(device->isBackupComplete()) << "a device that wants no backup is never marked backed up";
}
