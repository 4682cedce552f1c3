#include "SyncContainerTestSupport.h"

#include "jobs/QVActionPipe.h"
#include "links/LinkCodes.h"
#include "phone/PhoneFolders.h"
#include "phonejobs/BackUpContainer.h"
#include "phonejobs/GroupContainerSyncPhone.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/TranslationAvailabilityChecker.h"
#include "phonejobs/WaitForFoldersWithMaximumWaitingTimePreprocessor.h"
#include "phonejobs/WaitForFoldersWithMinimumWaitingTimePreprocessor.h"

using namespace containers_test;

namespace {

enum class WaitKind { BackupFiles, BackupOrganizer, Sync, Plain };

std::shared_ptr<WaitForFoldersPreprocessor> folderWaitOfKind(WaitKind kind, const QString& path)
{
    switch (kind) {
    case WaitKind::BackupFiles: {
        auto wait = WaitForFoldersWithMinimumWaitingTimePreprocessor::preprocessorWithPath(path, 20.0);
        wait->setWaitingTimeAfterFinish(2.0);
        return wait;
    }
    case WaitKind::BackupOrganizer:
        return WaitForFoldersWithMinimumWaitingTimePreprocessor::preprocessorWithPath(path, 20.0);
    case WaitKind::Sync:
        return WaitForFoldersWithMaximumWaitingTimePreprocessor::preprocessorWithPath(path, 30.0);
    case WaitKind::Plain:
        break;
    }
    return WaitForFoldersPreprocessor::allocWaitForFoldersPreprocessor(path);
}

class FolderWaitTest : public ContainerPhoneFixture {
protected:
    // A test job held back by the wait, posted now.
    std::shared_ptr<OrganizerTestJob> postWaiting(const std::shared_ptr<WaitForFoldersPreprocessor>& wait)
    {
        auto job = std::make_shared<OrganizerTestJob>(0, nullptr, log);
        EXPECT_TRUE(job->setPreprocessAction(wait));
        follow(job);
        EXPECT_TRUE(device->addAction(job));
        return job;
    }
};

struct FolderWaitTiming {
    const char* name;
    WaitKind kind;
    double listingEnds;   // seconds after the post; < 0: the phone has no file-transfer connection
    double startsAt;
};

} // namespace

TEST_F(FolderWaitTest, TheWaitsHoldTheirJobsForTheirTimes)
{
    const FolderWaitTiming timings[] = {
        {"backup files, listing ends at 25 s", WaitKind::BackupFiles, 25.0, 27.0},
        {"backup files, listing ends at 3 s", WaitKind::BackupFiles, 3.0, 20.0},
        {"backup organizer job, listing ends at 25 s", WaitKind::BackupOrganizer, 25.0, 25.0},
        {"sync, listing ends at 5 s", WaitKind::Sync, 5.0, 30.0},
        {"sync, listing ends at 45 s", WaitKind::Sync, 45.0, 30.0},
        {"plain wait, listing ends at 7 s", WaitKind::Plain, 7.0, 7.0},
        {"backup files, no file-transfer connection", WaitKind::BackupFiles, -1.0, 20.0},
        {"sync, no file-transfer connection", WaitKind::Sync, -1.0, 30.0},
    };
    for (const auto& timing : timings) {
        SCOPED_TRACE(timing.name);
        TearDown();
        log = std::make_shared<JobLog>();
        listingsMade.clear();
        const bool withFiles = timing.listingEnds >= 0;
        makeDevice(withFiles);
        if (withFiles) {
            ftp->addFile(QStringLiteral("/a.txt"), "a");
            // Asked on the wait's first tick.
            ftp->delays.insert(QStringLiteral("/"), timing.listingEnds - containernames::kFolderWaitTick);
        }
        const double posted = clockNow();
        auto wait = folderWaitOfKind(timing.kind, QStringLiteral("/"));
        auto job = postWaiting(wait);
        ASSERT_TRUE(runUntil([&] { return job->startedAt >= 0; }, 80.0));
        const double started = job->startedAt - posted;
        EXPECT_GE(started, timing.startsAt - 0.05);
        EXPECT_LE(started, timing.startsAt + 1.0);
        EXPECT_EQ(endCodeOf(job), 0);
        if (withFiles) {
            ASSERT_TRUE(runUntil([&] { return ftp->listedAt.contains(QStringLiteral("/")); }, 30.0));
            EXPECT_NEAR(ftp->listedAt.value(QStringLiteral("/")) - posted, timing.listingEnds, 0.5);
            EXPECT_EQ(ftp->listingsAsked.value(QStringLiteral("/")), 1);
        } else {
            EXPECT_TRUE(listingsMade.isEmpty()) << "no listing is posted where no pipe serves it";
            EXPECT_EQ(wait->listingsPosted(), 0);
        }
    }
}

TEST_F(FolderWaitTest, OnlyFoldersTheBackupTakesHoldTheWait)
{
    // "diskcache" is never backed up: its slow listing is not waited for,
    // while the slow listing of an ordinary folder is.
    struct Case {
        const char* slowFolder;
        double startsBefore;
        double startsAfter;
    };
    for (const Case& c : {Case{"/diskcache", 3.0, 0.0}, Case{"/Pictures", 12.0, 9.0}}) {
        SCOPED_TRACE(c.slowFolder);
        TearDown();
        makeDevice();
        ftp->addFolder(QStringLiteral("/Pictures"));
        ftp->addFolder(QStringLiteral("/diskcache"));
        ftp->addFile(QStringLiteral("/Pictures/p.txt"), "p");
        ftp->delays.insert(QString::fromLatin1(c.slowFolder), 10.0);
        const double posted = clockNow();
        auto job = postWaiting(folderWaitOfKind(WaitKind::Plain, QStringLiteral("/")));
        ASSERT_TRUE(runUntil([&] { return job->startedAt >= 0; }, 30.0));
        EXPECT_LT(job->startedAt - posted, c.startsBefore);
        EXPECT_GE(job->startedAt - posted, c.startsAfter);
        EXPECT_EQ(ftp->listingsAsked.value(QStringLiteral("/diskcache")), 0);
        EXPECT_EQ(manager->getEntry(QStringLiteral("/Pictures"))->status(), dztree::kUpToDate);
    }
}

TEST_F(FolderWaitTest, AMissingPathEndsNotFoundAndAFileEndsTheWaitAtOnce)
{
    makeDevice();
    ftp->addFolder(QStringLiteral("/D"));
    ftp->addFile(QStringLiteral("/D/a.txt"), "a");

    auto missing = postWaiting(folderWaitOfKind(WaitKind::Plain, QStringLiteral("/nothere")));
    ASSERT_TRUE(runUntil([&] { return hasEnded(missing); }, 30.0));
    EXPECT_EQ(endCodeOf(missing), containernames::kIOReturnNotFound);
    EXPECT_LT(missing->startedAt, 0) << "the job never ran";

    {
        auto folder = manager->getDirectory(QStringLiteral("/D"));
        folder->update();
        ASSERT_TRUE(runUntil([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); }));
    }
    const double posted = clockNow();
    auto file = postWaiting(folderWaitOfKind(WaitKind::Sync, QStringLiteral("/D/a.txt")));
    ASSERT_TRUE(runUntil([&] { return hasEnded(file); }, 40.0));
    EXPECT_EQ(endCodeOf(file), 0);
    EXPECT_LT(file->startedAt - posted, 1.0) << "a file is no folder to wait for, even for the sync's 30 s";
}

TEST_F(FolderWaitTest, AListingThatKeepsFailingIsAskedOneAtATimeThenCountsAsSettled)
{
    makeDevice();
    // The connection loses the phone during each listing of "/": the folder
    // stays out of date and the wait asks again, one listing at a time,
    // until it gives the folder up and lets its job run.
    ftp->delays.insert(QStringLiteral("/"), 1.0);
    ftp->failing.insert(QStringLiteral("/"), links::kErrNotConnected);
    auto wait = folderWaitOfKind(WaitKind::Plain, QStringLiteral("/"));
    auto job = postWaiting(wait);
    int mostQueued = 0;
    runUntil([&] {
        int queued = 0;
        for (const auto& pipe : device->actionMachine()->actionPipes()) {
            for (const auto& queuedJob : pipe->actions())
                queued += !queuedJob->hasEnded()
                          && queuedJob->description().contains(QStringLiteral("ActionGetDirectoryContent"));
        }
        mostQueued = std::max(mostQueued, queued);
        return hasEnded(job);
    }, 30.0);
    EXPECT_EQ(mostQueued, 1);
    ASSERT_TRUE(hasEnded(job)) << "a folder the phone will not list must not hold the job for ever";
    EXPECT_EQ(endCodeOf(job), 0);
    EXPECT_EQ(wait->listingsPosted(), 3);
    EXPECT_EQ(listingsMade.count(QStringLiteral("/")), 3);
}

TEST_F(FolderWaitTest, ACancelEndsEveryWaitOfTheContainerAtOnce)
{
    for (const bool backup : {true, false}) {
        SCOPED_TRACE(backup ? "backup" : "sync");
        TearDown();
        ends.clear();
        decisions->engineAtAll = !backup;
        decisions->engineTypes = {0, 1};
        makeDevice(true, {{"Common.BackupDevice", true}});
        ftp->addFile(QStringLiteral("/a.txt"), "a");
        auto container = backup ? manager->startBackup() : manager->startSync();
        ASSERT_TRUE(container);
        const auto members = container->actionContainer();
        ASSERT_GE(members.size(), 2);
        follow(container);
        for (const auto& member : members)
            follow(member);
        testing_support::runFor(5.0);
        for (const auto& member : members)
            ASSERT_FALSE(hasEnded(member));

        const double cancelled = clockNow();
        container->cancelAction();
        for (const auto& member : members) {
            ASSERT_TRUE(hasEnded(member)) << member->description().toStdString();
            EXPECT_EQ(endCodeOf(member), jobcodes::kCancelled);
            EXPECT_EQ(endTimeOf(member), cancelled);
        }
        ASSERT_TRUE(hasEnded(container));
        EXPECT_EQ(endCodeOf(container), jobcodes::kCancelled);
        EXPECT_TRUE(log->startedTypes.isEmpty());
    }
}

namespace {

// Counts what the check would remove.
class CountingMediaCheck : public TranslationAvailabilityChecker {
public:
    using TranslationAvailabilityChecker::TranslationAvailabilityChecker;
    void removeMediaFoldersFromDatabase() override
    {
        ++removals;
        TranslationAvailabilityChecker::removeMediaFoldersFromDatabase();
    }
    int removals = 0;
};

} // namespace

TEST_F(FolderWaitTest, ARootWithoutAMediaFolderAsksOnceToRemoveThem)
{
    makeDevice(true, {}, {{"Dorvanti.PicturesFolder", "/Pictures"}, {"Dorvanti.PicturesFolder_MC", "/Pictures"},
                      {"Dorvanti.SoundsFolder", "/Sounds"}, {"Dorvanti.SoundsFolder_MC", "/Sounds"}});
    auto probe = std::make_shared<CountingMediaCheck>(nullptr, QVariant());
    probe->setActionDevice(device.get(), nullptr, 0);
    const QStringList names = probe->specialFolderNamesInRoot();
    ASSERT_FALSE(names.isEmpty()) << "the device has media folders";
    EXPECT_EQ(probe->description(), QStringLiteral("<TranslationAvailabilityChecker>"));

    for (const bool complete : {false, true}) {
        SCOPED_TRACE(complete ? "every media folder there" : "one missing");
        ftp->folders = {QStringLiteral("/"), QStringLiteral("/Other")};
        for (qsizetype i = complete ? 0 : 1; i < names.size(); ++i)
            ftp->addFolder(QLatin1Char('/') + names.at(i));
        auto check = std::make_shared<CountingMediaCheck>(nullptr, QVariant());
        follow(check);
        ASSERT_TRUE(device->addAction(check));
        ASSERT_TRUE(runUntil([&] { return hasEnded(check); }));
        EXPECT_EQ(endCodeOf(check), 0);
        EXPECT_EQ(check->removals, complete ? 0 : 1);
        EXPECT_EQ(check->missingFolderNames(), complete ? QStringList() : QStringList{names.first()});
    }
}
