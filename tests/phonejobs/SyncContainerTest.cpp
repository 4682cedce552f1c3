#include "SyncContainerTestSupport.h"

#include "phone/SyncEnvironment.h"
#include "phonejobs/BackUpContainer.h"
#include "phonejobs/GroupContainerSyncPhone.h"
#include "phonejobs/OrganizerApplySyncGroup.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/WaitForFoldersWithMaximumWaitingTimePreprocessor.h"
#include "platform/Localization.h"

#include <gmock/gmock.h>

using namespace containers_test;

namespace {

class SyncContainerTest : public ContainerPhoneFixture {
protected:
    QList<int> typesOf(const QList<std::shared_ptr<QVAction>>& jobs) const
    {
        QList<int> types;
        for (const auto& job : jobs)
            types.append(std::static_pointer_cast<OrganizerTestJob>(job)->type);
        return types;
    }
};

} // namespace

TEST_F(SyncContainerTest, ASyncWaitsItsThirtySecondsWhileTheSubLineCountsDown)
{
    decisions->engineAtAll = true;
    decisions->engineTypes = {0, 1};
    makeDevice();
    ftp->addFile(QStringLiteral("/a.txt"), "a");
    ftp->delays.insert(QStringLiteral("/"), 5.0);
    const double started = clockNow();
    auto container = manager->startSync();
    ASSERT_TRUE(container);
    follow(container);
    EXPECT_EQ(container->description(), QStringLiteral("<GroupActionSyncPhone>"));
    EXPECT_EQ(container->displayString(), platform::localizedString(containernames::kSyncingPrepare));

    testing_support::runFor(10.0);
    ASSERT_EQ(manager->root()->status(), dztree::kUpToDate) << "the listing of / has ended";
    const auto countdown = [](int seconds) {
        return platform::localizedString(containernames::kSyncCountdown).arg(seconds);
    };
    // Whole seconds left, cut off.
    EXPECT_THAT(container->displaySubString(), testing::AnyOf(countdown(20), countdown(19)));
    testing_support::runFor(15.0);
    EXPECT_THAT(container->displaySubString(), testing::AnyOf(countdown(5), countdown(4)));
    EXPECT_TRUE(log->startedTypes.isEmpty());

    ASSERT_TRUE(runUntil([&] { return hasEnded(container); }, 10.0));
    EXPECT_EQ(endCodeOf(container), 0);
    ASSERT_EQ(log->startTimes.size(), 2);
    EXPECT_GE(log->startTimes.first() - started, 30.0);
    EXPECT_LE(log->startTimes.first() - started, 30.7);
    EXPECT_EQ(log->startedTypes, (QList<int>{1, 0}));
}

TEST_F(SyncContainerTest, TheSyncTakesTheWantedTypesInItsOrderEachOnlyIfNeeded)
{
    struct Case {
        QSet<int> engineTypes;
        QList<int> jobs;
    };
    const Case cases[] = {
        {{0, 1, 2, 3, 4}, {1, 0, 3, 2, 4}},
        {{4, 0}, {0, 4}},
        {{2}, {2}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        QStringList named;
        for (const int type : c.jobs)
            named.append(QString::number(type));
        SCOPED_TRACE(named.join(QLatin1Char(',')).toStdString());
        TearDown();
        decisions->engineAtAll = true;
        decisions->engineTypes = c.engineTypes;
        makeDevice();
        auto container = GroupContainerSyncPhone::initQVActionContainer(machine(), 4);
        ASSERT_TRUE(container);
        EXPECT_TRUE(container->hasPreprocessor());
        const auto members = container->actionContainer();
        EXPECT_EQ(typesOf(members), c.jobs);
        for (const auto& job : members) {
            EXPECT_TRUE(job->executeOnlyIfNeeded());
            EXPECT_EQ(job->priority(), 4);
            auto wait = std::dynamic_pointer_cast<WaitForFoldersWithMaximumWaitingTimePreprocessor>(
                job->preprocessAction());
            ASSERT_TRUE(wait);
            EXPECT_EQ(wait->pathOnMobile(), QStringLiteral("/"));
        }
    }
    // The engine off: nothing to sync, nothing started.
    TearDown();
    decisions->engineAtAll = false;
    makeDevice();
    EXPECT_FALSE(manager->startSync());
}

TEST_F(SyncContainerTest, ARemoteSyncStartsAtOnceAtPriorityOne)
{
    decisions->engineAtAll = true;
    decisions->engineTypes = {0, 1, 4};
    heldTypes = {1};
    makeDevice();
    const double started = clockNow();
    auto container = manager->startSyncRemote();
    ASSERT_TRUE(container);
    auto sync = std::dynamic_pointer_cast<GroupContainerSyncPhone>(container);
    ASSERT_TRUE(sync);
    EXPECT_FALSE(sync->hasPreprocessor());
    for (const auto& job : container->actionContainer()) {
        EXPECT_FALSE(job->preprocessAction());
        EXPECT_EQ(job->priority(), 1);
    }
    ASSERT_TRUE(runUntil([&] { return !log->startedTypes.isEmpty(); }, 5.0));
    EXPECT_LT(log->startTimes.first() - started, 0.5);
    EXPECT_EQ(log->startedTypes.first(), 1);
    // The running job speaks for the container.
    EXPECT_EQ(container->displayString(), QStringLiteral("Sync 1"));
    EXPECT_EQ(container->displaySubString(), QStringLiteral("type 1"));
    organizerJobs.first()->endAction(0);
    follow(container);
    ASSERT_TRUE(runUntil([&] { return hasEnded(container); }, 5.0));
    EXPECT_EQ(log->startedTypes, (QList<int>{1, 0, 4}));
}

TEST_F(SyncContainerTest, SwitchingTheSyncEngineOffEndsOnlyTheSyncsWaits)
{
    decisions->engineAtAll = true;
    decisions->engineTypes = {0};
    makeDevice(true, {{"Common.BackupDevice", true}});
    ftp->addFile(QStringLiteral("/a.txt"), "a");
    auto sync = manager->startSync();
    auto backup = manager->startBackup();
    ASSERT_TRUE(sync && backup);
    const auto syncJobs = sync->actionContainer();
    const auto backupJobs = backup->actionContainer();
    ASSERT_EQ(syncJobs.size(), 1);
    ASSERT_GE(backupJobs.size(), 2);
    for (const auto& job : syncJobs + backupJobs)
        follow(job);
    testing_support::runFor(5.0);

    const double switchedOff = clockNow();
    platform::NotificationCenter::defaultCenter().post(containernames::kSyncSwitchedOffNotification);
    ASSERT_TRUE(hasEnded(syncJobs.first()));
    EXPECT_EQ(endCodeOf(syncJobs.first()), jobcodes::kCancelled);
    EXPECT_EQ(endTimeOf(syncJobs.first()), switchedOff);
    for (const auto& job : backupJobs)
        EXPECT_FALSE(hasEnded(job)) << job->description().toStdString();

    ASSERT_TRUE(runUntil([&] { return hasEnded(backupJobs.first()); }, 20.0));
    EXPECT_EQ(endCodeOf(backupJobs.first()), 0) << "the backup's waits go on to their end";
    EXPECT_FALSE(log->startedTypes.contains(0));
}

namespace {

QVariantMap syncModes(const QMap<QString, int>& modes)
{
    QVariantMap environment{{"Enabled", true}};
    for (auto it = modes.cbegin(); it != modes.cend(); ++it)
        environment.insert(it.key(), QVariantMap{{containernames::kSyncMode, it.value()}});
    return environment;
}

} // namespace

TEST_F(SyncContainerTest, TheApplyGroupReadsTheTypesSwitchedOnInTheWorkEnvironmentOnly)
{
    // Contacts on in both, calendar and bookmarks switched on now (bookmarks
    // with no main entry at all), notes switched on but synced already, SMS
    // is no type the group looks at.
    decisions->synced = {2};
    heldTypes = {1, 3};
    makeDevice();
    auto& environments = *device->syncEnvironments();
    environments.main = syncModes({{"Contacts", 3}, {"Calendar", 0}, {"Notes", 0}, {"SMS", 0}});
    environments.work = syncModes({{"Contacts", 3}, {"Calendar", 1}, {"Notes", 2}, {"Bookmarks", 3}, {"SMS", 3}});

    auto group = QVActionContainer::allocQVActionContainer<OrganizerApplySyncGroup>(machine());
    ASSERT_TRUE(group->doStartContainer());
    follow(group);
    EXPECT_EQ(typesOf(group->actionContainer()), (QList<int>{1, 3}));
    for (const auto& job : group->actionContainer()) {
        EXPECT_EQ(job->priority(), 1);
        EXPECT_TRUE(job->executeOnlyIfNeeded());
    }
    EXPECT_EQ(group->displayString(), platform::localizedString(containernames::kSyncingPrepare));
    EXPECT_EQ(group->displaySubString(), QStringLiteral(" "));

    // The percent: the inherited one per job left, plus the running job's
    // last report over the count taken at the start.
    ASSERT_TRUE(runUntil([&] { return log->startedTypes.size() == 1; }, 5.0));
    EXPECT_EQ(group->displaySubString(), QStringLiteral("type 1"));
    organizerJobs.at(0)->processAction(50.0f);
    EXPECT_FLOAT_EQ(group->calcCurrentProzent(), 0.0f / 2 + 50.0f / 2);
    organizerJobs.at(0)->endAction(0);
    ASSERT_TRUE(runUntil([&] { return log->startedTypes.size() == 2; }, 5.0));
    organizerJobs.at(1)->processAction(40.0f);
    EXPECT_FLOAT_EQ(group->calcCurrentProzent(), 50.0f / 1 + 40.0f / 2);
    organizerJobs.at(1)->endAction(0);
    ASSERT_TRUE(runUntil([&] { return hasEnded(group); }, 5.0));
    EXPECT_EQ(endCodeOf(group), 0);
}

TEST_F(SyncContainerTest, TheApplyGroupAddsNothingForATypeOnInBothEnvironments)
{
    makeDevice();
    auto& environments = *device->syncEnvironments();
    environments.main = syncModes({{"Contacts", 3}, {"Calendar", 1}, {"Notes", 2}, {"Bookmarks", 3}});
    environments.work = environments.main;
    auto group = QVActionContainer::allocQVActionContainer<OrganizerApplySyncGroup>(machine());
    EXPECT_FALSE(group->doStartContainer()) << "nothing to post";
    EXPECT_TRUE(group->actionContainer().isEmpty());
    EXPECT_TRUE(organizerJobs.isEmpty());
}
