// The runs of a phone's sync-hub client against the real hub: result codes
// and the claim given back on every failing path, the first read with and
// without a busy sheet, alerts, the foreground write, trickles and their
// pulls, failures of the hub, and a removal while a run never ends.
#include "SyncEngineHandlerSupport.h"

#include "phone/SyncEnvironment.h"
#include "platform/Clock.h"
#include "syncmodel/QVSyncEngineElem.h"

using namespace handler_test;

namespace {

const QString kRunsCleo = QStringLiteral("Tarnex:cleo");

QString runsFirstName(QVSyncElemList& list, const QString& id)
{
    const auto elem = list.objectForUUID(id);
    const auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
    return engine && engine->vxDict() ? engine->vxDict()->mainObjectForKey(QStringLiteral("first name")).toString()
                                      : QString();
}

// A contact added to the list as a pulled change (not queued for the hub).
void runsAddContact(QVSyncElemList& list, const QString& id, const QString& first)
{
    list.processOneSyncEngineChange(
        SyncChange(SyncChange::Add, id, addChange(id, contact(first)).changes(), contact(first)), nullptr, false);
}

struct RunsNotes {
    QList<QVariantMap> engineActive;
    QList<QVariantMap> listActive;
    RunsNotes()
    {
        auto& center = platform::NotificationCenter::defaultCenter();
        center.addObserver(this, QStringLiteral("SyncEngineActive"), nullptr,
                           [this](const platform::Notification& n) { engineActive.append(n.userInfo); });
        center.addObserver(this, QStringLiteral("DZ-SyncElemListActive"), nullptr,
                           [this](const platform::Notification& n) { listActive.append(n.userInfo); });
    }
    ~RunsNotes() { platform::NotificationCenter::defaultCenter().removeObserver(this); }
};

class HandlerRunsTest : public HandlerFixture {
protected:
    // The desktop adds Cleo with a number.
    void desktopAddsCleo()
    {
        sync(
            desktop(),
            [](ISyncSession& s) {
                s.pushChangesFromRecord(contact(QStringLiteral("Cleo")), kRunsCleo);
                s.pushChangesFromRecord(phoneNumber(kRunsCleo, QStringLiteral("+49175")), QStringLiteral("Tarnex:c1"));
            },
            {}, kContactNames);
    }
    void expectIdle(const char* what)
    {
        EXPECT_EQ(handler()->pendingSessions(), 0) << what;
        EXPECT_FALSE(device->isSyncEngineActive()) << what;
    }
};

} // namespace

TEST_F(HandlerRunsTest, FailingStartsAnswerTheirCodesAndGiveTheClaimBack)
{
    makeDevice("Protocol LG");
    SyncEngineHandler* h = handler();
    EXPECT_EQ(h->trickleSyncEngine(0), -1) << "no list";
    EXPECT_EQ(h->trickleSyncEngine(-1), -1) << "no list of any property";
    lists->make(0);
    EXPECT_EQ(h->trickleSyncEngine(2), -1) << "notes not enabled";
    expectIdle("not started");

    ASSERT_TRUE(device->requestSyncEngineCommunication()); // the phone's own session runs
    EXPECT_EQ(h->trickleSyncEngine(0), -2);
    EXPECT_EQ(h->initialReadFromSyncEngine(0, nullptr), -2);
    EXPECT_EQ(h->writeToSyncEngine(0), -2);
    EXPECT_EQ(h->pendingSessions(), 0);
    device->finishedSyncEngineCommunication();

    // The hub refuses a second session of the client: the read ends, nothing removed.
    const auto held = ISyncSession::beginSessionWithClient(phoneClient(), kContactNames, {});
    EXPECT_EQ(h->initialReadFromSyncEngine(0, nullptr), -5);
    expectIdle("-5");
    EXPECT_EQ(h->trickleSyncEngine(0), -1);
    expectIdle("trickle refused by the hub");
    EXPECT_GE(logged(QStringLiteral("################### >> trickleSyncEngine (SyncEngineHandler): Caught "
                                    "ISyncSessionUnavailableException")),
              1);
    held->cancelSyncing();
    EXPECT_TRUE(phoneClient());

    makeDevice("Protocol LG", environment(0, 0, 0, 0));
    EXPECT_EQ(handler()->initialReadFromSyncEngine(0, nullptr), -3);
    expectIdle("-3");
}

TEST_F(HandlerRunsTest, TheFirstReadReportsToItsSheetAndASheetClosedEndsTheWait)
{
    desktopAddsCleo();
    makeDevice("Protocol LG");
    QVSyncElemList& contacts = lists->make(0);
    FakeBusySheet sheet;
    RunsNotes notes;
    ASSERT_EQ(handler()->initialReadFromSyncEngine(1, &sheet), 0);
    EXPECT_EQ(sheet.started, 1);
    EXPECT_EQ(sheet.ended, 1);
    EXPECT_EQ(sheet.messages.size(), 1);
    EXPECT_GE(sheet.increments, 2); // one per pulled change at least
    EXPECT_EQ(runsFirstName(contacts, kRunsCleo), "Cleo");
    EXPECT_TRUE(handler()->didSyncThisTime(0));
    EXPECT_TRUE(handler()->isSlowMode(0));
    expectIdle("read");
    ASSERT_GE(notes.engineActive.size(), 2);
    EXPECT_EQ(notes.engineActive.first(), (QVariantMap{{"Active", true}, {"SyncData", true}}));
    EXPECT_EQ(notes.engineActive.last(), (QVariantMap{{"Active", false}, {"SyncData", true}}));

    // The user closes the sheet at once: the read answers, the run goes on.
    makeDevice("Protocol LG");
    QVSyncElemList& again = lists->make(0);
    FakeBusySheet closing;
    closing.closeAfterPolls = 0;
    ASSERT_EQ(handler()->initialReadFromSyncEngine(1, &closing), 0);
    EXPECT_EQ(closing.ended, 1);
    // The phone's own session takes the claim before the run ends: the run's
    // end leaves that claim alone.
    ASSERT_TRUE(device->requestSyncEngineCommunication());
    EXPECT_TRUE(testing_support::runUntil([&] { return handler()->initialReadDone(); }));
    EXPECT_TRUE(device->isSyncEngineActive());
    device->finishedSyncEngineCommunication();
    EXPECT_EQ(runsFirstName(again, kRunsCleo), "Cleo");
    expectIdle("closed sheet");

    // Without a sheet the read waits for its end.
    makeDevice("Protocol LG");
    QVSyncElemList& plain = lists->make(0);
    EXPECT_EQ(handler()->initialReadFromSyncEngine(1, nullptr), 0);
    EXPECT_EQ(runsFirstName(plain, kRunsCleo), "Cleo");
}

TEST_F(HandlerRunsTest, AnAlertSyncsTheWholePropertyUnlessThePhoneIsSyncingIt)
{
    makeDevice("Protocol LG");
    QVSyncElemList& contacts = lists->make(0);
    ASSERT_EQ(handler()->writeToSyncEngine(0), 0);
    desktopAddsCleo();
    handler()->syncDeviceAlertHandler(phoneClient(), {entity::PhoneNumber});
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(runsFirstName(contacts, kRunsCleo), "Cleo") << "the contact came with its number";
    EXPECT_TRUE(handler()->reqSync(0));
    expectIdle("alert");

    // While the phone syncs its contacts the alert is put off.
    sync(
        desktop(),
        [](ISyncSession& s) {
            s.pushChange(modifyChange(kRunsCleo, QStringLiteral("first name"), QStringLiteral("Clea")));
        },
        {}, kContactNames);
    device->syncEnvironment().prepareSyncing(0);
    handler()->syncDeviceAlertHandler(phoneClient(), {entity::Contact});
    EXPECT_EQ(logged(QStringLiteral("xxxxxxx syncDeviceAlertHandler called, but we are busy! xxxxxxxx")), 1);
    expectIdle("busy alert");
    EXPECT_TRUE(device->mustTrickle(0));
    testing_support::runFor(1.0);
    EXPECT_EQ(runsFirstName(contacts, kRunsCleo), "Cleo");
}

TEST_F(HandlerRunsTest, AWriteNeverPullsAndAContactsTricklePullsOnlyAfterAPush)
{
    makeDevice("Every Phone", environment(3, 0, 3, 0));
    QVSyncElemList& contacts = lists->make(0);
    QVSyncElemList& notes = lists->make(2);
    ASSERT_EQ(handler()->writeToSyncEngine(-1), 0);
    desktopAddsCleo();

    ASSERT_EQ(handler()->writeToSyncEngine(0), 0);
    EXPECT_EQ(contacts.allCount(), 0) << "a foreground write does not pull";

    ASSERT_EQ(handler()->trickleSyncEngine(0), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(contacts.allCount(), 0) << "nothing pushed, nothing pulled";
    EXPECT_EQ(logged(QStringLiteral("_______leaving pullChangesDoneWithClient (SyncEngineHandler)_______")), 0);

    RunsNotes posted;
    ASSERT_EQ(handler()->trickleSyncEngine(2), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(logged(QStringLiteral("_______leaving pullChangesDoneWithClient (SyncEngineHandler)_______")), 1);
    EXPECT_TRUE(handler()->didSyncThisTime(2));
    EXPECT_EQ(posted.listActive,
              (QList<QVariantMap>{{{"Active", "1"}, {"Property", 2}}, {{"Active", "0"}, {"Property", 2}}}));
    EXPECT_TRUE(posted.engineActive.contains(QVariantMap{{"Active", true}}));
    EXPECT_TRUE(posted.engineActive.contains(QVariantMap{{"Active", true}, {"SyncData", true}}));
    (void)notes;

    // A pending contact change makes the trickle pull.
    contacts.fillChangesForSyncEngineFromDict(
        {addChange(QStringLiteral("Tarnex:ann"), contact("Ann")).storedDictionary()});
    ASSERT_EQ(handler()->trickleSyncEngine(0), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(runsFirstName(contacts, kRunsCleo), "Cleo");
    expectIdle("trickles");
}

TEST_F(HandlerRunsTest, AReplacingPullEmptiesTheContactsFirstAndSetsSlowMode)
{
    // Contacts from the desktop only: the list is emptied before the pull.
    for (int mode : {1, 3}) {
        makeDevice("Protocol LG", environment(mode, 3));
        QVSyncElemList& contacts = lists->make(0);
        ASSERT_EQ(handler()->writeToSyncEngine(0), 0);
        runsAddContact(contacts, QStringLiteral("Tarnex:ann"), QStringLiteral("Ann"));
        runsAddContact(contacts, QStringLiteral("Tarnex:gone"), QStringLiteral("Gone"));
        contacts.objectForUUID(QStringLiteral("Tarnex:gone"))->setDeleted(); // deleted here, still on the phone
        ASSERT_FALSE(handler()->isSlowMode(0));
        phoneClient()->setShouldReplaceClientRecords(true, kContactNames);
        handler()->syncDeviceAlertHandler(phoneClient(), {entity::Contact});
        ASSERT_TRUE(runEnds());
        EXPECT_TRUE(handler()->isSlowMode(0)) << mode;
        if (mode == 1) {
            EXPECT_EQ(logged(QStringLiteral("@@@ removing items of type com.apple.contacts.Contact")), 1);
            EXPECT_EQ(contacts.allCount(), 0);
        } else {
            // Both ways: the session took every record of the list whole, and
            // the hub does not send a session's own pushes back, so the list
            // keeps its items (and the deletion still owed to the phone).
            EXPECT_EQ(runsFirstName(contacts, QStringLiteral("Tarnex:ann")), "Ann");
            ASSERT_NE(contacts.objectForUUID(QStringLiteral("Tarnex:gone")), nullptr);
            EXPECT_TRUE(contacts.objectForUUID(QStringLiteral("Tarnex:gone"))->isDeleted());
        }
        if (const auto client = phoneClient())
            manager().unregisterClient(client);
    }
}

TEST_F(HandlerRunsTest, AHubFailureInARunRemovesTheClientAfterGivingTheClaimBack)
{
    makeDevice("Protocol LG");
    QVSyncElemList& contacts = lists->make(0);
    ASSERT_EQ(handler()->writeToSyncEngine(0), 0);
    // An add that names no entity: the hub refuses it.
    contacts.fillChangesForSyncEngineFromDict(
        {SyncChange(SyncChange::Add, QStringLiteral("Tarnex:bad"), {SyncChange::setChange("first name", "X")})
             .storedDictionary()});
    RunsNotes notes;
    ASSERT_EQ(handler()->trickleSyncEngine(0), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(logged(QStringLiteral("################### >> trickleSessionDoneWithClient (SyncEngineHandler): Caught "
                                    "ISyncInvalidArgumentsException")),
              1);
    EXPECT_FALSE(phoneClient());
    EXPECT_FALSE(handler()->isClientInitialized());
    ASSERT_FALSE(notes.engineActive.isEmpty());
    EXPECT_EQ(notes.engineActive.last().value(QStringLiteral("Active")), false) << "the busy flag went off";
    EXPECT_EQ(contacts.changesForSyncEngine().size(), 1) << "the change the hub refused stays queued";
    expectIdle("failed run");
}

TEST_F(HandlerRunsTest, ARemovalGivesUpOnARunThatNeverEnds)
{
    makeDevice("Protocol LG");
    // A run whose session the hub dropped: its claim is never given back.
    ASSERT_TRUE(handler()->requestCommunication());
    ASSERT_TRUE(handler()->isBusy());
    const double before = platform::Clock::instance().now();
    handler()->removeSyncEngineClient();
    EXPECT_NEAR(platform::Clock::instance().now() - before, 8.0, 0.5);
    EXPECT_EQ(logged(QStringLiteral("a sync run did not end; removing the client anyway")), 1);
    EXPECT_FALSE(phoneClient());
    expectIdle("given up");
}

TEST_F(HandlerRunsTest, APulledChangeThatNoListTakesIsStillAccepted)
{
    makeDevice("Protocol LG");
    lists->make(0);
    ASSERT_EQ(handler()->writeToSyncEngine(0), 0);
    desktopAddsCleo();
    handler()->syncDeviceAlertHandler(phoneClient(), {entity::Contact});
    ASSERT_TRUE(runEnds());
    ASSERT_EQ(runsFirstName(*lists->lists[0], kRunsCleo), "Cleo");

    // The list made anew knows nothing of Cleo when the desktop deletes her:
    // the deletions have no record and no item, so no property.
    QVSyncElemList& fresh = lists->make(0);
    sync(
        desktop(), [](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Delete, kRunsCleo)); }, {}, kContactNames);
    int property = 99;
    EXPECT_TRUE(handler()->getTypeAndPropertyForChange(SyncChange(SyncChange::Delete, kRunsCleo), &property).isNull());
    EXPECT_EQ(property, -1);
    handler()->syncDeviceAlertHandler(phoneClient(), {entity::Contact});
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(fresh.allCount(), 0);
    expectIdle("pull of deletions");
    // Accepted: the hub has nothing more for the phone.
    EXPECT_TRUE(sync(phoneClient(), {}, {}, kContactNames).changes.isEmpty());
}

TEST_F(HandlerRunsTest, AQuitDuringTheFirstReadEndsTheHandlerAfterTheRead)
{
    desktopAddsCleo();
    makeDevice("Protocol LG");
    lists->make(0);
    FakeBusySheet sheet;
    // The window closes as the pull begins.
    sheet.onMessage = [&] { device->destructSyncEngineHandler(); };
    EXPECT_EQ(handler()->initialReadFromSyncEngine(0, &sheet), 0);
    EXPECT_EQ(device->syncEngineHandler(), nullptr) << "let go once the read was over";
    EXPECT_EQ(sheet.ended, 1);
    EXPECT_TRUE(lists->lists[0]->allCount() == 0) << "the pull at quit takes nothing";
    EXPECT_FALSE(device->isSyncEngineActive());
}
