// The SyncML job against phonesim's SyncML phone over a pseudo-terminal:
// the data manager's choice, the phone that lost its entries, forced slow
// syncs, refused items, the start's failures, cancels, a retry with the next
// server name and the pause after the SyncML link closed.
#include "SyncMLJobTestSupport.h"

#include "jobs/JobCodes.h"
#include "jobs/QVActionMachine.h"
#include "links/ObexServiceConnection.h"
#include "platform/Localization.h"
#include "sync/QVSyncSession.h"

using namespace syncmljob_test;

namespace {

class SyncMLJobTest : public SyncMLJobFixture {
protected:
    // A first sync that leaves the phone's three contacts in the archive and
    // a last sync time on the device.
    void firstSync()
    {
        phoneRuns(phonesim::SyncMLPhoneScript::withItems(
            {syncMLJobCard(QStringLiteral("Alpha"), 1), syncMLJobCard(QStringLiteral("Beta"), 2),
             syncMLJobCard(QStringLiteral("Gamma"), 3)}));
        ASSERT_EQ(run(job(0)), 0);
        settle();
        ASSERT_EQ(archiveTexts(0).size(), 3);
        ASSERT_GT(archive->elemOnDeviceCount(0), 0);
        ASSERT_FALSE(device->lastSyncTimeDevice(0).toString().isEmpty());
    }
};

// Restorer that looks at the session when the job has handed it its commands.
class SyncMLJobCommandsSeen : public QVSessionUser {
public:
    int deliverIncomingData(QVBaseSession& session) override
    {
        auto& sync = dynamic_cast<QVSyncSession&>(session);
        seen = true;
        events = sync.syncObjects() != nullptr;
        tasks = sync.syncObjectsTasks() != nullptr;
        return 0;
    }
    bool notifySyncMLAction(const QString&, float) override { return true; }
    void notifySyncFinished(const QString&) override { }
    void displayPercent(int) override { }
    void processAction(const QVariant&) override { }
    bool seen = false;
    bool events = false;
    bool tasks = false;
};

} // namespace

TEST_F(SyncMLJobTest, TheDataManagerChoosesTheSyncMLJobForTheTypesTheDescriptionSyncs)
{
    open();
    auto chosen = std::dynamic_pointer_cast<ActionSyncMLServices>(manager()->actionToUpdateOrganizerDataOfType(0, 3, true));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->syncProperty(), 0);
    EXPECT_TRUE(chosen->isSlowSync());
    EXPECT_EQ(chosen->priority(), 3);
    EXPECT_EQ(chosen->actionType(), QStringLiteral("SyncML/IrMC"));
    EXPECT_EQ(chosen->description(), QStringLiteral("ActionSyncMLServices: Contacts"));
    EXPECT_EQ(manager()->getUpdateOrganizerDefaultDescription(1), QStringLiteral("ActionSyncMLServices: Calendar"));
    // Notes go over no SyncML database of this phone: no job of this kind.
    EXPECT_FALSE(std::dynamic_pointer_cast<ActionSyncMLServices>(manager()->actionToUpdateOrganizerDataOfType(4, 3, false)));
}

TEST_F(SyncMLJobTest, APhoneThatLostItsEntriesLeavesTheArchiveAloneAndIsAskedAbout)
{
    open();
    firstSync();
    const QStringList before = archiveTexts(0);

    phoneRuns(phonesim::SyncMLPhoneScript::wipedPhone());
    auto wiped = job(0);
    // The engine would cancel the pipe and empty the machine on 0xAC0A0;
    // the job ends as cancelled by the user instead.
    EXPECT_EQ(run(wiped), jobcodes::kCancelled);
    EXPECT_EQ(archiveTexts(0), before);
    EXPECT_TRUE(device->lastSyncTimeDevice(0).toString().isEmpty()) << "the device forgot the phone's anchors";
    EXPECT_TRUE(window.lostEntries.isEmpty()) << "asked only a moment later";
    ASSERT_TRUE(runUntil([&] { return !window.lostEntries.isEmpty(); }, 2.0));
    EXPECT_EQ(window.lostEntries, QList<int>{0});
    EXPECT_NEAR(window.lostEntriesAt.first() - endedAt, ActionSyncMLServices::kLostEntriesQuestionDelay, 0.06);
    settle();

    // The pipe survived: the next sync runs on it. With the anchors gone it
    // is the same phone again, now asked for a forced slow sync, which goes on.
    phoneRuns(phonesim::SyncMLPhoneScript::wipedPhone());
    device->setLastSyncTimeDevice(QStringLiteral("20301212T100000Z"), 0);
    EXPECT_EQ(run(job(0, true)), 0);
    runUntil([] { return false; }, 1.0);
    EXPECT_EQ(window.lostEntries.size(), 1);
}

TEST_F(SyncMLJobTest, TheLostEntriesQuestionIsDroppedWhenTheWindowWentMeanwhile)
{
    open();
    firstSync();
    phoneRuns(phonesim::SyncMLPhoneScript::wipedPhone());
    EXPECT_EQ(run(job(0)), jobcodes::kCancelled);
    window.open = false;
    runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(window.lostEntries.isEmpty());
    EXPECT_FALSE(device->isLostEntriesQuestionPending());
}

TEST_F(SyncMLJobTest, AForcedSlowSyncMergesThePhonesItemsAndSendsNothing)
{
    const struct {
        bool forced;
        int sentToPhone;
    } cases[] = {{false, 1}, {true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.forced);
        open();
        addOnDesktop(0, syncMLJobCard(QStringLiteral("Desk"), 9), QStringLiteral("T-9"));
        auto phone = phonesim::SyncMLPhoneScript::withItems({syncMLJobCard(QStringLiteral("Alpha"), 1)});
        phoneRuns(phone);
        EXPECT_EQ(run(job(0, c.forced)), 0);
        EXPECT_EQ(phone->addedByProgram().size(), c.sentToPhone);
        const QStringList texts = archiveTexts(0);
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& t) { return t.contains("Alpha"); }));
        settle();
    }
}

TEST_F(SyncMLJobTest, RefusedItemsShowOneErrorTextAndTheArchiveIsStillSaved)
{
    for (const int status : {420, 500}) {
        SCOPED_TRACE(status);
        open();
        window.errors.clear();
        addOnDesktop(0, syncMLJobCard(QStringLiteral("Desk"), 9), QStringLiteral("T-9"));
        auto phone =
            phonesim::SyncMLPhoneScript::refusingAdds(status, {syncMLJobCard(QStringLiteral("Alpha"), 1)});
        phoneRuns(phone);
        EXPECT_EQ(run(job(0)), 0);
        EXPECT_EQ(phone->addedByProgram().size(), 1);
        ASSERT_EQ(window.errors.size(), 1);
        EXPECT_EQ(window.errors.first().title, platform::localizedString(QStringLiteral("Sync_error_title")));
        EXPECT_FALSE(window.errors.first().text.isEmpty());
        // Saved: a fresh archive of the phone reads the merged contact.
        archive.reset();
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
        const QStringList texts = archiveTexts(0);
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& t) { return t.contains("Alpha"); }));
        settle();
    }
}

TEST_F(SyncMLJobTest, AStartThatCannotSyncEndsWithItsReason)
{
    const struct {
        const char* name;
        int property;
        bool sessions;
        int end;
    } cases[] = {
        {"notes go over no SyncML database", 2, true, links::kIOReturnNoDevice},
        {"no such property", 7, true, ActionSyncMLServices::kIOReturnBadArgument},
        {"the device hands out no session", 0, false, links::kErrNotConnected},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.sessions)
            QVServerSyncSession::installAsDeviceSessionMaker();
        else
            MFDevice::setServerSyncSessionMaker({});
        EXPECT_EQ(run(job(c.property)), c.end);
        EXPECT_FALSE(device->isSyncMLActive());
        settle();
    }
}

TEST_F(SyncMLJobTest, ACancelDuringTheDeliveryEndsAsCancelled)
{
    open();
    requester = std::make_shared<SyncMLJobStoppingNotify>(float(ActionSyncMLServices::kDeliveredPercent));
    phoneRuns(phonesim::SyncMLPhoneScript::withItems({syncMLJobCard(QStringLiteral("Alpha"), 1)}));
    EXPECT_EQ(run(job(0)), jobcodes::kCancelled);
    settle();
    EXPECT_FALSE(device->isSyncMLActive());
}

TEST_F(SyncMLJobTest, TheRetryErrorTriesTheNextServerNameInANewRun)
{
    open();
    // A phone that takes the notification but does not call back yet: the
    // job holds its session while the test speaks for the session (a phone
    // that runs its script would end the whole sync within one poll).
    auto retried = job(0);
    ASSERT_TRUE(device->addAction(retried));
    ASSERT_TRUE(runUntil([&] { return retried->session() != nullptr; }, 60));
    EXPECT_EQ(device->devInfo()->curSyncMLSourceIndex(), 0);
    // What the session reports for a server name the phone does not take.
    retried->notifySyncFinished(QStringLiteral("-105"));
    // Suspended: the requester hears 0xAC003, the job is queued again and
    // its next start uses the next name.
    ASSERT_TRUE(runUntil([&] { return requester->count(QStringLiteral("start")) >= 2; }, 60));
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kSuspended});
    EXPECT_FALSE(retried->hasEnded());
    EXPECT_EQ(device->devInfo()->curSyncMLSourceIndex(), 1);
    ASSERT_TRUE(runUntil([&] { return retried->session() != nullptr; }, 60));
    EXPECT_EQ(retried->session()->myURI(), QStringLiteral("iSyncTwo"));
    retried->killAction(true);
    ASSERT_TRUE(runUntil([&] { return requester->endCodes().size() >= 2; }, 60));
    settle();
    EXPECT_FALSE(device->isSyncMLActive());
}

TEST_F(SyncMLJobTest, TheNextJobWaitsOutThePauseAfterTheSyncMLClose)
{
    open();
    phoneRuns(phonesim::SyncMLPhoneScript::withItems({syncMLJobCard(QStringLiteral("Alpha"), 1)}));
    ASSERT_EQ(run(job(0)), 0);
    auto* connection = dynamic_cast<ObexServiceConnection*>(device->syncMLConnection());
    ASSERT_TRUE(connection);
    ASSERT_TRUE(runUntil([&] { return !device->isSyncMLActive() && connection->lastCloseAction() > 0; }, 60));
    const double readyAt = connection->lastCloseAction() + double(device->pauseAfterSyncMLClose());
    phoneRuns(phonesim::SyncMLPhoneScript::withItems({syncMLJobCard(QStringLiteral("Alpha"), 1)}));
    auto next = job(0);
    double startedAt = -1;
    follow(next, [&](const platform::Notification& note) {
        if (note.userInfo.contains(QStringLiteral("QVFeedStartActionKey")) && startedAt < 0)
            startedAt = now();
    });
    EXPECT_EQ(run(next), 0);
    ASSERT_GE(startedAt, 0);
    EXPECT_GE(startedAt, readyAt);
}

TEST_F(SyncMLJobTest, ACalendarSyncOnATwoCalendarPhoneHandsTheSessionTheArraysItsSettingsAskFor)
{
    const struct {
        SyncMLJobModel model;
        bool events;
        bool tasks;
    } cases[] = {{kSyncMLJobEventsTasks, true, true}, {kSyncMLJobEvents, true, false}, {kSyncMLJobTasks, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model.protocol);
        open(c.model);
        phoneRuns(phonesim::SyncMLPhoneScript::withItems({syncMLJobEvent(QStringLiteral("Meeting"))},
                                                          QStringLiteral("Events"), QStringLiteral("./Events")));
        auto calendar = job(1);
        auto seen = std::make_shared<SyncMLJobCommandsSeen>();
        calendar->setBackupRestorerCallback(seen);
        run(calendar);
        ASSERT_TRUE(seen->seen);
        EXPECT_EQ(seen->tasks, c.tasks);
        // The session keeps its events queue in every case: only its
        // presence where asked for can be told apart.
        if (c.events) {
            EXPECT_TRUE(seen->events);
        }
        settle();
    }
}
