#include "GeneralSyncTestSupport.h"

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <QDir>

using namespace general_sync_test;

namespace {

class GeneralSyncRunsTest : public GeneralSyncFixture {
protected:
    // The ids and titles of the calendars the desktop side sees.
    QMap<QString, QString> desktopCalendars()
    {
        desktop()->setShouldReplaceClientRecords(true, kSharedEntities);
        const Pulled all = syncDesktop();
        QMap<QString, QString> titles;
        for (const SyncChange& c : all.changes) {
            if (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Calendar)
                titles.insert(c.recordIdentifier(), c.record().value("title").toString());
        }
        return titles;
    }
    void alert(const QStringList& names)
    {
        info->syncGeneralAlertHandler(manager().clientWithIdentifier(GeneralSyncInfo::clientIdentifier()), names);
    }
    void writeSupportFile(const QVariantMap& value)
    {
        QDir().mkpath(supportFolder());
        ASSERT_TRUE(platform::plist::writeFile(filePath(), value));
    }
};

TEST_F(GeneralSyncRunsTest, FirstRunIsSlowAndPullsTheDesktopsCalendars)
{
    syncDesktop([](ISyncSession& s) { s.pushChangesFromRecord(calendarRecord("Home"), "cal-home"); });
    std::vector<QVariantMap> posted;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        this, "SyncEngineActive", nullptr, [&](const platform::Notification& n) { posted.push_back(n.userInfo); });
    GeneralSyncInfo& shared = make();
    shared.invalidateAllData();
    shared.functionalityRequired();
    EXPECT_EQ(shared.trickleSyncEngine(), -2); // the first run is under way
    ASSERT_TRUE(runEnds());
    platform::NotificationCenter::defaultCenter().removeObserver(token);

    EXPECT_EQ(logged("\n#### GeneralSyncInfo (trickleSync): SLOW SYNC for com.apple.calendars.Calendar:"), 1);
    EXPECT_EQ(logged("[GeneralSyncInfo prepareSlowSyncForEntity] remove calendars"), 1);
    EXPECT_EQ(shared.calendarID(0), QStringLiteral("cal-home"));
    EXPECT_EQ(shared.calendarName(0), QStringLiteral("Home"));
    EXPECT_TRUE(shared.isClientInitialized());
    EXPECT_TRUE(shared.initialReadDone());
    EXPECT_TRUE(QFile::exists(filePath()));
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0], (QVariantMap{{"Active", true}, {"SetupChanged", false}}));
    EXPECT_EQ(posted[1], (QVariantMap{{"Active", false}, {"SetupChanged", true}}));

    // Every pulled change was accepted: the next run brings nothing.
    const int processed = logged("Processing change:");
    EXPECT_EQ(shared.trickleSyncEngine(), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(logged("Processing change:"), processed);
}

TEST_F(GeneralSyncRunsTest, AddedCalendarIsTrickledToTheDesktop)
{
    desktop();
    GeneralSyncInfo& shared = makeActive();
    const QString id = shared.addCalendar("Work");
    EXPECT_EQ(shared.trickleSyncEngine(), 0);
    ASSERT_TRUE(runEnds());
    EXPECT_TRUE(shared.changesForSyncEngine().isEmpty());
    EXPECT_EQ(logged(QStringLiteral("-----[GeneralSyncInfo sendData]: Change (%1): add record id").arg(id)), 1);
    EXPECT_EQ(desktopCalendars().value(id), QStringLiteral("Work"));
}

TEST_F(GeneralSyncRunsTest, TrickleAnswersByState)
{
    GeneralSyncInfo& shared = make();
    EXPECT_EQ(shared.trickleSyncEngine(), -1); // not active
    shared.functionalityRequired();
    EXPECT_EQ(shared.trickleSyncEngine(), -2); // a run is pending
    ASSERT_TRUE(runEnds());
    shared.announceQuit();
    EXPECT_EQ(shared.trickleSyncEngine(), 0);
    EXPECT_FALSE(shared.isBusy());
}

TEST_F(GeneralSyncRunsTest, AlertNamingNoneOfTheEntitiesLeavesTheClientIdle)
{
    desktop();
    GeneralSyncInfo& shared = makeActive();
    alert({entity::Contact, entity::Note});
    EXPECT_FALSE(shared.isBusy());
    syncDesktop([](ISyncSession& s) { s.pushChangesFromRecord(calendarRecord("Trips"), "cal-trips"); });
    alert({entity::Contact, entity::Calendar});
    EXPECT_TRUE(shared.isBusy());
    EXPECT_EQ(shared.syncEntities(), QStringList{entity::Calendar});
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(shared.calendarName(0), QStringLiteral("Trips"));
    EXPECT_EQ(logged("<<<<<<<< Sync item (GeneralSyncInfo): com.apple.calendars.Calendar >>>>>>>>"), 1);
}

TEST_F(GeneralSyncRunsTest, HubAlertStartsARun)
{
    desktop();
    GeneralSyncInfo& shared = makeActive();
    syncDesktop([](ISyncSession& s) { s.pushChangesFromRecord(groupRecord("Friends"), "grp-friends"); });
    ASSERT_TRUE(testing_support::runUntil([&] { return shared.groupName(0) == QStringLiteral("Friends"); }));
    EXPECT_TRUE(runEnds());
}

TEST_F(GeneralSyncRunsTest, ClientRegisteredAgainAfterItsRemovalStillAnswersAlerts)
{
    desktop();
    GeneralSyncInfo& shared = makeActive();
    shared.removeSyncEngineClient(); // as when a phone is forgotten
    EXPECT_EQ(shared.trickleSyncEngine(), 0);
    ASSERT_TRUE(runEnds());
    syncDesktop([](ISyncSession& s) { s.pushChangesFromRecord(calendarRecord("Later"), "cal-later"); });
    EXPECT_TRUE(testing_support::runUntil([&] { return shared.calendarName(0) == QStringLiteral("Later"); }));
}

TEST_F(GeneralSyncRunsTest, ChangesOfEntitiesTheSessionDoesNotAskForStayPending)
{
    desktop();
    GeneralSyncInfo& shared = makeActive();
    const QString group = shared.addGroup("Friends");
    const QString calendar = shared.addCalendar("Work");
    alert({entity::Calendar});
    ASSERT_TRUE(runEnds());
    ASSERT_EQ(shared.changesForSyncEngine().size(), 1);
    EXPECT_EQ(shared.changesForSyncEngine().first().recordIdentifier(), group);
    EXPECT_TRUE(desktopCalendars().contains(calendar));
}

TEST_F(GeneralSyncRunsTest, TemporaryRecordIdsAreNeverPushed)
{
    desktop();
    writeSupportFile(
        {{"groups", QVariantMap()},
         {"bookmarkFolders", QVariantMap()},
         {"calendars",
          QVariantMap{{"T-1", QVariantMap{{"title", "Draft"}}}, {"Tarnex:real", QVariantMap{{"title", "Real"}}}}}});
    GeneralSyncInfo& shared = make();
    ASSERT_EQ(shared.calendars().size(), 2);
    shared.functionalityRequired(); // the client's first run pushes every record
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(logged("#### ---- #### [GeneralSyncInfo pushChangesToSyncSession] recID has Prefix T-"), 1);
    const QMap<QString, QString> seen = desktopCalendars();
    EXPECT_TRUE(seen.contains("Tarnex:real"));
    EXPECT_FALSE(seen.contains("T-1"));
}

TEST_F(GeneralSyncRunsTest, PulledChangesApplyPerKind)
{
    GeneralSyncInfo& shared = make();
    const QString calendar = shared.addCalendar("Work");
    const QString group = shared.addGroup("Friends");
    const auto modify = [](const QString& id, QVariantList changes) {
        return SyncChange(SyncChange::Modify, id, std::move(changes));
    };
    const QVariantMap before = *shared.calendarDictionary();
    shared.processOneSyncEngineCalendarChange(modify("unknown", {SyncChange::setChange("title", "X")}));
    EXPECT_EQ(*shared.calendarDictionary(), before);
    EXPECT_EQ(logged("### GeneralSyncInfo wants to modify nonexisting GROUP: unknown"), 1);

    shared.processOneSyncEngineCalendarChange(
        modify(calendar,
               {SyncChange::setChange("title", "Job"), SyncChange::clearChange("read only"),
                SyncChange::setChange("color", "#ff0000")}));
    EXPECT_EQ(
        shared.calendarDictionary()->value(calendar).toMap(),
        (QVariantMap{{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Job"}, {"color", "#ff0000"}}));
    // A group takes only its name.
    shared.processOneSyncEngineGroupChange(
        modify(group,
               {SyncChange::setChange("name", "Pals"), SyncChange::setChange("members", QVariantList{"a"}),
                SyncChange::setChange("name", 7)}));
    EXPECT_EQ(shared.groupName(0), QStringLiteral("Pals"));
    EXPECT_EQ(shared.groupDictionary()->value(group).toMap().value("members"), QVariant(QVariantList()));
    EXPECT_EQ(loggedSE("name of " + group + " skipped: not a text"), 1);
    EXPECT_EQ(loggedSE("[GeneralSyncInfo processOneSyncEngineGroupChange:\n  modify record id"), 1);

    shared.processOneSyncEngineFolderChange(
        SyncChange(SyncChange::Add, "F1", {SyncChange::setChange("name", "News"), 5}));
    EXPECT_EQ(shared.bookmarkFolderDictionary()->value("F1").toMap(), (QVariantMap{{"name", "News"}}));
    shared.processOneSyncEngineCalendarChange(SyncChange(SyncChange::Delete, calendar));
    EXPECT_TRUE(shared.calendarDictionary()->isEmpty());
}

// A shared client whose run never ends.
class StuckGeneralSyncInfo : public GeneralSyncInfo {
public:
    using GeneralSyncInfo::GeneralSyncInfo;
    bool isBusy() const override { return stuck || GeneralSyncInfo::isBusy(); }
    bool stuck = false;
};

TEST_F(GeneralSyncRunsTest, RequestInfoWaitsAtMostSixteenSeconds)
{
    StuckGeneralSyncInfo shared(manager(), supportFolder());
    shared.stuck = true;
    shared.functionalityRequired();
    ASSERT_TRUE(shared.isActive());
    ASSERT_FALSE(shared.isClientInitialized());
    const double start = platform::Clock::instance().now();
    EXPECT_FALSE(shared.requestInfo(true));
    EXPECT_NEAR(platform::Clock::instance().now() - start, 16.0, 0.5);
    shared.stuck = false;
    EXPECT_FALSE(shared.requestInfo(true)); // active, idle and empty: no wait
    EXPECT_NEAR(platform::Clock::instance().now() - start, 16.0, 0.5);
}

TEST_F(GeneralSyncRunsTest, RequestInfoByState)
{
    GeneralSyncInfo& shared = make();
    shared.invalidateAllData();
    EXPECT_FALSE(shared.isActive());
    // Inactive and empty: made active, and the wait brings the data.
    EXPECT_TRUE(shared.requestInfo(true));
    EXPECT_TRUE(shared.isActive());
    EXPECT_TRUE(shared.requestInfo(false));
    shared.invalidateAllData();
    EXPECT_TRUE(shared.requestInfo(false)); // still initialised
}

TEST_F(GeneralSyncRunsTest, HubFailuresEndTheRunAndOnlyUnavailableKeepsTheData)
{
    desktop();
    // A pending change the hub refuses (an action it does not know).
    const QVariantMap refused{{"type", 1},
                              {"recordIdentifier", "Tarnex:bad"},
                              {"changes", QVariantList{QVariantMap{{"action", "bogus"}, {"name", "title"}}}},
                              {"record", calendarRecord("W")}};
    for (const bool trickle : {true, false}) {
        SCOPED_TRACE(trickle ? "trickle" : "alert");
        makeActive(); // the first run is slow and pushes no changes
        info.reset();
        QVariantMap file = platform::plist::readFile(filePath()).toMap();
        file.insert("unsent ISyncChanges", QVariantList{refused});
        writeSupportFile(file);
        GeneralSyncInfo& shared = make();
        ASSERT_TRUE(shared.isClientInitialized());
        shared.enableSyncEngineNotifier(true);
        if (trickle) {
            shared.functionalityRequired();
        } else {
            alert({entity::Calendar});
        }
        ASSERT_TRUE(runEnds());
        EXPECT_FALSE(shared.calendarDictionary());
        EXPECT_EQ(logged(trickle ? "################### >> bgTrickleSessionDoneWithClient: Caught "
                                   "ISyncInvalidArgumentsException"
                                 : "################### >> bgSessionDoneWithClient-pushChangesToSyncSession: Caught "
                                   "ISyncInvalidArgumentsException"),
                  1);
        info.reset();
        manager().unregisterClient(manager().clientWithIdentifier(GeneralSyncInfo::clientIdentifier()));
    }

    // The client's own session is running: the alert's run cannot start.
    GeneralSyncInfo& shared = makeActive();
    shared.addCalendar("Kept");
    const auto client = manager().clientWithIdentifier(GeneralSyncInfo::clientIdentifier());
    const auto session = ISyncSession::beginSessionWithClient(client, kSharedEntities, {});
    alert({entity::Calendar});
    EXPECT_FALSE(shared.isBusy());
    EXPECT_EQ(logged("################### >> syncGeneralAlertHandler: Caught ISyncSessionUnavailableException"), 1);
    EXPECT_EQ(shared.calendarName(0), QStringLiteral("Kept"));
    session->cancelSyncing();
}

TEST_F(GeneralSyncRunsTest, InitialReadReplacesEverythingAndWaitsTenSeconds)
{
    desktop();
    GeneralSyncInfo& shared = make();
    EXPECT_EQ(shared.initialReadFromSyncEngine(), -1); // not active
    shared.functionalityRequired();
    EXPECT_EQ(shared.initialReadFromSyncEngine(), -2); // a run is pending
    ASSERT_TRUE(runEnds());
    shared.addGroup("Local only");
    const double start = platform::Clock::instance().now();
    EXPECT_EQ(shared.initialReadFromSyncEngine(), 0);
    EXPECT_NEAR(platform::Clock::instance().now() - start, 10.0, 0.5);
    EXPECT_TRUE(shared.initialReadDone());
    EXPECT_FALSE(shared.isBusy());
    EXPECT_EQ(logged("[GeneralSyncInfo prepareSlowSyncForEntity] remove groups"), 1);
    EXPECT_EQ(logged("<<<<<<<  laeving initialReadFromSyncEngine (GeneralSyncInfo) >>>>>>>"), 1);
}

TEST_F(GeneralSyncRunsTest, ClientIsRegisteredWithTheProgramsNameAndRemoved)
{
    GeneralSyncInfo& shared = make();
    const auto client = manager().clientWithIdentifier("com.marvesto.MarvestoLG");
    ASSERT_TRUE(client);
    EXPECT_EQ(client->supportedEntityNames().size(), 3);
    EXPECT_EQ(client->displayName(), QStringLiteral("MarvestoLG"));
    EXPECT_TRUE(client->imagePath().startsWith(QStringLiteral(":/images/program/")));
    EXPECT_TRUE(QFile::exists(supportFolder() + "/QVSync-App.plist"));
    EXPECT_EQ(shared.enableSyncEngineNotifier(false), 0);
    EXPECT_EQ(logged(",,,,,,,,,, GeneralSyncInfo DISABLED"), 1);
    shared.removeSyncEngineClient();
    EXPECT_FALSE(manager().clientWithIdentifier("com.marvesto.MarvestoLG"));
    shared.removeSyncEngineClient(); // nothing left to remove
}

TEST_F(GeneralSyncRunsTest, DestructionLetsTheRunEndAndWritesNothingMore)
{
    GeneralSyncInfo& shared = make();
    shared.functionalityRequired();
    ASSERT_TRUE(shared.isBusy());
    const double start = platform::Clock::instance().now();
    info.reset(); // waits for the run, which ends at once as the program quits
    EXPECT_LT(platform::Clock::instance().now() - start, 8.0);
    EXPECT_EQ(logged("<<<<<<<< Receiving entities (GeneralInfo) >>>>>>>>"), 0);
    // The run's session is over: the client can begin another.
    const auto client = manager().clientWithIdentifier(GeneralSyncInfo::clientIdentifier());
    const auto session = ISyncSession::beginSessionWithClient(client, kSharedEntities, {});
    EXPECT_TRUE(session);
    session->cancelSyncing();
}

TEST_F(GeneralSyncRunsTest, SharedInstanceIsMadeOnFirstUse)
{
    EXPECT_FALSE(GeneralSyncInfo::isGeneralSyncInfoAlloced());
    GeneralSyncInfo& shared = GeneralSyncInfo::sharedGeneralSyncInfo();
    EXPECT_TRUE(GeneralSyncInfo::isGeneralSyncInfoAlloced());
    EXPECT_EQ(&GeneralSyncInfo::sharedGeneralSyncInfo(), &shared);
    EXPECT_EQ(shared.filePath(), platform::paths::applicationSupportDirectory() + "/GlobalSyncInfo.plist");
    GeneralSyncInfo::releaseSharedGeneralSyncInfo();
    EXPECT_FALSE(GeneralSyncInfo::isGeneralSyncInfoAlloced());
}

} // namespace
