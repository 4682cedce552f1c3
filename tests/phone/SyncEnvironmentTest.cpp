#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/DZDeviceConnection.h"
#include "links/QVDeviceCallback.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerStorage.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class Engine : public SharedSyncInfo {
public:
    bool isBusy() const override { return false; }
    void announceQuit() override {}
    bool requestInfo(bool) override { return available; }
    QList<QVariantMap> groups() const override { return contactGroups; }
    QList<QVariantMap> calendars() const override { return calendarList; }
    QList<QVariantMap> bookmarkFolders() const override { return folders; }
    void functionalityRequired() override { ++required; }
    int initialReadFromSyncEngine() override
    {
        ++initialReads;
        return 0;
    }
    bool available = true;
    QList<QVariantMap> contactGroups, calendarList, folders;
    int required = 0;
    int initialReads = 0;
};

class Handler : public DeviceSyncEngineHandler {
public:
    int trickleSyncEngine(int) override { return 0; }
    bool isBusy() const override { return busy; }
    void updateEnabledEntities() override { ++updates; }
    void announceQuit() override { ++quits; }
    bool busy = false;
    int updates = 0;
    int quits = 0;
};

class EnvironmentStorage : public OrganizerStorage {
public:
    void prepareSynchronization() override { ++prepared; }
    bool evaluateSyncEnvironment(bool byUser) override
    {
        evaluations.append(byUser);
        return renew;
    }
    void clearChangesForSyncEngine() override { ++cleared; }
    bool isSyncEngineList() const override { return true; }
    void resyncGroups() override {}
    bool replaceItem(TrashedItem&) override { return false; }
    void recalcUsableItems() override {}
    void useLastState() override {}
    int prepared = 0;
    int cleared = 0;
    bool renew = false;
    QList<bool> evaluations;
};

// The archive's storages and sync-state files, and the document that makes
// archives; each writes what it is asked into the step log.
class DataManager : public DeviceDataManager {
public:
    DataManager(EnvironmentStorage* storages, QStringList& steps, QString folder)
        : storages(storages)
        , steps(steps)
        , folder(std::move(folder))
    {
    }
    void saveFinderState() override {}
    void loadFinderState() override {}
    FilesMirror* mirror() const override { return nullptr; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    OrganizerStorage* organizerStorage(int type) const override { return type < 4 ? &storages[type] : nullptr; }
    QString pathNameForSyncState(int type) const override { return QStringLiteral("%1/state%2").arg(folder).arg(type); }
    void setArchive(OrganizerArchive*) override { steps.append("setArchive"); }
    EnvironmentStorage* storages;
    QStringList& steps;
    QString folder;
};

class Document : public DeviceDocument {
public:
    explicit Document(QStringList& steps)
        : steps(steps)
    {
    }
    void releaseArchive() override { steps.append("releaseArchive"); }
    OrganizerArchive* recreateArchive() override
    {
        steps.append("recreateArchive");
        return nullptr;
    }
    QStringList& steps;
};

class SyncEnvironmentTest : public ::testing::Test {
protected:
    SyncEnvironmentTest()
    {
        makers.generalSyncInfo = [this] { return &engine; };
        makers.syncEngineHandler = [this](MFDevice&) {
            auto made = std::make_unique<Handler>();
            handler = made.get();
            ++handlersMade;
            return made;
        };
    }

    std::unique_ptr<MFDevice> make(QVariantMap dict = {}, const QString& protocol = QStringLiteral("UNKNOWN"))
    {
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(protocol);
        EXPECT_TRUE(description);
        description->setDeviceFieldLengths(
            {{"SyncML.syncContacts", 1}, {"SyncML.syncCalendar", 1}, {"SyncML.syncNotes", 1}, {"SyncML.syncBookmarks", 1}});
        return make(std::move(dict), description);
    }
    std::unique_ptr<MFDevice> make(QVariantMap dict, std::shared_ptr<QVSyncDeviceDescription> description)
    {
        const QVariantMap row{{"Dorvanti.Model", "V3"},
                              {"Dorvanti.Manufacturer", "Motorola"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        deviceDict = std::make_shared<QVariantMap>(std::move(dict));
        return std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), deviceDict, row, description, makers);
    }
    // A stored environment with the engine on or off and the given entries.
    static QVariantMap stored(bool engineOn, QVariantMap entries = {})
    {
        entries.insert("SyncEngineEnabled", engineOn);
        return {{"Common.SyncEnvironment", entries}};
    }
    static QVariantMap entry(const MFDevice& device, int type)
    {
        return device.syncEnvironments()->main.value_or(QVariantMap()).value(device.dbName(type)).toMap();
    }

    MFDevice::Makers makers;
    Engine engine;
    Handler* handler = nullptr;
    int handlersMade = 0;
    std::shared_ptr<QVariantMap> deviceDict;
};

} // namespace

TEST_F(SyncEnvironmentTest, APhoneWithoutAStoredEnvironmentGetsTheDefaultsWithTheEngineOff)
{
    const auto device = make();
    ASSERT_TRUE(device->syncEnvironments()->main);
    EXPECT_EQ(device->syncEnvironments()->main->value("SyncEngineEnabled"), QVariant(false));
    EXPECT_FALSE(device->wantsToUseSyncEngineAtAll());
    EXPECT_EQ(handlersMade, 0);
    const QVariantMap defaults{{"MacIsMaster", true}, {"SyncMode", 0}, {"UseAllGroups", true}};
    QVariantMap contacts = defaults;
    contacts.insert({{"SyncOnlyWithPhoneNumbers", false}, {"Groups", QVariantMap()}});
    QVariantMap calendar = defaults;
    calendar.insert({{"OlderThan", 5270400}, {"YoungerThan", 5270400}, {"Groups", QVariantMap()}});
    QVariantMap bookmarks = defaults;
    bookmarks.insert("Groups", QVariantMap());
    EXPECT_EQ(entry(*device, 0), contacts);
    EXPECT_EQ(entry(*device, 1), calendar);
    EXPECT_EQ(entry(*device, 2), defaults);
    EXPECT_EQ(entry(*device, 3), bookmarks);
    EXPECT_FALSE(device->syncEnvironments()->work);

    // A phone that keeps two weeks of its calendar looks back two weeks.
    const auto motorola = make({}, QStringLiteral("Protocol Motorola V3 Series"));
    EXPECT_EQ(entry(*motorola, 1).value("OlderThan"), QVariant(1209600));
    EXPECT_EQ(entry(*motorola, 1).value("YoungerThan"), QVariant(5270400));
}

TEST_F(SyncEnvironmentTest, EngineGroupsAreKeyedInTheOrderMetAndKeepTheirChoices)
{
    engine.contactGroups = {{{"name", "Work"}}, {{"name", ""}}, {{"other", "x"}}, {{"name", "Family"}}};
    engine.calendarList = {{{"title", "Home"}, {"read only", true}}, {{"title", "Job"}}};
    engine.folders = {{{"name", "Bar"}}};
    const QVariantMap contacts{{"Groups", QVariantMap{{"T-7", QVariantMap{{"name", "Family"}, {"enabled", false}}}}},
                               {"TargetGroupName", "Family"}};
    const QVariantMap calendar{{"OlderThan", 10}, {"TargetGroup", "T-1"}, {"TargetGroupName", "Job"}};
    const auto device = make(stored(false, {{"Contacts", contacts}, {"Calendar", calendar}}));

    const QVariantMap contactsEntry = entry(*device, 0);
    EXPECT_EQ(contactsEntry.value("Groups").toMap(),
              (QVariantMap{{"T-0", QVariantMap{{"name", "Work"}, {"enabled", true}}},
                           {"T-1", QVariantMap{{"name", "Family"}, {"enabled", false}}}}));
    EXPECT_FALSE(contactsEntry.contains("TargetGroup"));
    EXPECT_EQ(contactsEntry.value("TargetGroupName"), QVariant("Family"));

    const QVariantMap calendarEntry = entry(*device, 1);
    EXPECT_EQ(calendarEntry.value("Groups").toMap(),
              (QVariantMap{{"T-0", QVariantMap{{"name", "Home"}, {"read only", true}, {"enabled", true}}},
                           {"T-1", QVariantMap{{"name", "Job"}, {"enabled", true}}}}));
    EXPECT_EQ(calendarEntry.value("OlderThan"), QVariant(10));
    EXPECT_EQ(calendarEntry.value("TargetGroup"), QVariant("T-1"));
    EXPECT_EQ(calendarEntry.value("TargetGroupName"), QVariant("Job"));

    // Without a stored target the first group receives new items.
    const QVariantMap bookmarks = entry(*device, 3);
    EXPECT_EQ(bookmarks.value("Groups").toMap(), (QVariantMap{{"T-0", QVariantMap{{"name", "Bar"}}}}));
    EXPECT_EQ(bookmarks.value("TargetGroup"), QVariant("T-0"));
    EXPECT_EQ(bookmarks.value("TargetGroupName"), QVariant("Bar"));
}

TEST_F(SyncEnvironmentTest, WrongTypedStoredEntriesArePassedOverForTheirDefaults)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kSE)));
    const auto logged = [] {
        QFile log(QVPathForLogFile(QStringLiteral("SE.log")));
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("passed over") : 0;
    };
    const auto before = logged();
    const auto device = make({{"Common.SyncEnvironment",
                               QVariantMap{{"SyncEngineEnabled", QVariantList{1}},
                                           {"Contacts", "text"},
                                           {"Calendar", QVariantMap{{"OlderThan", QVariantMap()},
                                                                    {"SyncMode", "3"},
                                                                    {"Groups", QStringList{"x"}}}}}},
                              {"Common.SyncUserEnvironment", 5}});
    EXPECT_EQ(device->syncEnvironments()->main->value("SyncEngineEnabled"), QVariant(false));
    EXPECT_EQ(entry(*device, 0).value("MacIsMaster"), QVariant(true));
    EXPECT_EQ(entry(*device, 1).value("OlderThan"), QVariant(5270400));
    EXPECT_EQ(entry(*device, 1).value("SyncMode"), QVariant(3));
    EXPECT_FALSE(device->syncEnvironments()->user);
    EXPECT_EQ(logged(), before + 5);
}

TEST_F(SyncEnvironmentTest, TheSyncModeGivesTheDirectionsAndEventsAndTasksReadAsTheCalendar)
{
    for (int mode : {0, 1, 2, 3}) {
        for (int type : {0, 1, 5, 6}) {
            const QString name = type == 0 ? QStringLiteral("Contacts") : QStringLiteral("Calendar");
            const auto device = make(stored(true, {{name, QVariantMap{{"SyncMode", mode}}}}));
            ASSERT_TRUE(device->wantsToUseSyncEngineAtAll());
            SyncEnvironment& environment = device->syncEnvironment();
            EXPECT_EQ(environment.syncDirectionsModus(type), mode) << mode << " " << type;
            EXPECT_EQ(environment.wantsSyncChangesFromEngine(type), (mode & 1) != 0) << mode << " " << type;
            EXPECT_EQ(device->wantsSyncChangesFromDevice(type), (mode & 2) != 0) << mode << " " << type;
            EXPECT_EQ(device->wantsToUseSyncEngineForProperty(type), mode != 0) << mode << " " << type;
            // The other types stay off.
            EXPECT_FALSE(device->wantsToUseSyncEngineForProperty(type == 0 ? 1 : 0));
        }
    }
    // With the engine off no type is synced, whatever its mode.
    const auto off = make(stored(false, {{"Contacts", QVariantMap{{"SyncMode", 3}}}}));
    EXPECT_FALSE(off->wantsToUseSyncEngineForProperty(0));
    EXPECT_FALSE(off->wantsSyncChangesFromDevice(0));
}

TEST_F(SyncEnvironmentTest, WaitingForAnEnvironmentThatNeverComesIsBoundedAndAnswersNone)
{
    engine.available = false;
    const auto device = make(stored(true, {{"Contacts", QVariantMap{{"SyncMode", 3}}}}));
    EXPECT_FALSE(device->syncEnvironments()->main);
    EXPECT_FALSE(device->wantsToUseSyncEngineAtAll());
    const double before = platform::Clock::instance().now();
    EXPECT_EQ(device->syncEnvironment().syncDirectionsModus(0), 0);
    EXPECT_NEAR(platform::Clock::instance().now() - before,
                SyncEnvironment::kEnvironmentWaitSlice * SyncEnvironment::kEnvironmentWaitPasses, 0.6);
    // The stored one is taken as it is when asked for.
    EXPECT_EQ(device->syncEnvironment().mainSyncEnvironment().value_or(QVariantMap()).value("SyncEngineEnabled"),
              QVariant(true));
}

TEST_F(SyncEnvironmentTest, OnlyEventsReachingIntoTheWindowAreWanted)
{
    const auto device =
        make(stored(false, {{"Calendar", QVariantMap{{"OlderThan", 100000}, {"YoungerThan", 200000}}}}));
    const QDateTime now = platform::Clock::instance().currentDateTime();
    struct Case {
        const char* what;
        qint64 start;
        qint64 end;
        bool wanted;
    };
    const Case cases[] = {
        {"wholly before the window", -300000, -200000, false},
        {"ends inside the window", -300000, -50000, true},
        {"now", -10, 10, true},
        {"just before the far end", 199999, 200500, true},
        {"at the far end", 200000, 200500, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(device->syncEnvironment().isPeriodInWantedCalendarPeriod(now.addSecs(c.start), now.addSecs(c.end)),
                  c.wanted)
            << c.what;
    EXPECT_FALSE(device->syncEnvironment().isPeriodInWantedCalendarPeriod(QDateTime(), now));

    // A zero bound stands for a hundred years.
    const auto open = make(stored(false, {{"Calendar", QVariantMap{{"OlderThan", 0}, {"YoungerThan", 0}}}}));
    EXPECT_TRUE(open->syncEnvironment().isPeriodInWantedCalendarPeriod(now.addYears(-50), now.addYears(-50)));
    EXPECT_TRUE(open->syncEnvironment().isPeriodInWantedCalendarPeriod(now.addYears(50), now.addYears(50)));
}

TEST_F(SyncEnvironmentTest, ItemIdsCountOnFromTheStoredCounter)
{
    const auto device = make({{"Common.NextFreeT-ID", "41"}});
    EXPECT_EQ(device->newFreeTID(), "T-42");
    EXPECT_EQ(device->newFreeTID(), "T-43");
    EXPECT_EQ(device->newFreeTID(), "T-44");
    EXPECT_EQ(device->devInfo()->objectForKey("Common.NextFreeT-ID"), QVariant("44"));
}

TEST_F(SyncEnvironmentTest, TheSyncServersAreTakenInTurnAndStartAgainAfterTheLast)
{
    const QString path = buildTestDeviceDB(
        QStringLiteral("servers"),
        QStringLiteral("INSERT INTO SyncML (SyncMLProtocol, SyncMLLocalSource) VALUES ('Three', 'a/b/c');"
                       "INSERT INTO SyncML (SyncMLProtocol, SyncMLLocalSource) VALUES ('One', 'a');"));
    ASSERT_FALSE(path.isEmpty());
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    auto db = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(db->openDB(path));
    const auto describe = [&](const char* protocol) {
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        EXPECT_EQ(description->setupFromProtocol(QLatin1String(protocol)), 0);
        return description;
    };
    struct Case {
        const char* protocol;
        int stored;
        bool next;
        int now;
    };
    const Case cases[] = {{"Three", 0, true, 1}, {"Three", 1, true, 2}, {"Three", 2, false, 0}, {"One", 0, false, 0}};
    for (const Case& c : cases) {
        const auto device = make({{"Common.CurSyncMLIndex", c.stored}}, describe(c.protocol));
        EXPECT_EQ(device->switchToNextSyncMLSource(), c.next) << c.protocol << c.stored;
        EXPECT_EQ(device->devInfo()->curSyncMLSourceIndex(), c.now) << c.protocol << c.stored;
    }
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

TEST_F(SyncEnvironmentTest, ASyncMLSessionAndTheEngineDoNotRunTogether)
{
    makers.syncML = [](MFDevice& device, const QVariantMap&) {
        return std::make_unique<DZDeviceConnection>(&device, nullptr, device.devInfo());
    };
    MFDevice::setServerSyncSessionMaker([](DZDeviceConnection&, QVSessionUser*) { return std::make_shared<int>(1); });
    const auto device = make();
    auto opened = QVDeviceCallback::pollingObject();
    device->requestService(QLatin1String(MFDevice::kServiceSyncML), opened);
    ASSERT_TRUE(testing_support::runUntil([&] { return !opened->isBusy(); }));
    auto session = device->requestSyncSession(nullptr);
    ASSERT_TRUE(session);

    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
    const auto logged = [] {
        QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("isSyncEngineActive already TRUE") : 0;
    };
    const auto before = logged();
    EXPECT_FALSE(device->requestSyncEngineCommunication());
    EXPECT_EQ(logged(), before);

    auto released = QVDeviceCallback::pollingObject();
    device->releaseSyncSession(std::move(session), released);
    ASSERT_TRUE(testing_support::runUntil([&] { return !released->isBusy(); }));
    EXPECT_TRUE(device->requestSyncEngineCommunication());
    EXPECT_FALSE(device->requestSyncEngineCommunication());
    EXPECT_EQ(logged(), before + 1);
    device->finishedSyncEngineCommunication();
    EXPECT_TRUE(device->requestSyncEngineCommunication());
    MFDevice::setServerSyncSessionMaker(nullptr);
}

TEST_F(SyncEnvironmentTest, SwitchingTheEngineOnMakesAHandlerAndSaysSo)
{
    QStringList steps;
    EnvironmentStorage storages[4];
    makers.dataManager = [&](MFDevice&) { return std::make_unique<DataManager>(storages, steps, QString()); };
    Document document(steps);
    const auto device = make();
    device->setDocument(&document);
    QList<QVariantMap> notes;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, "DZSyncSwitchedOnOffDoneNotification", nullptr,
                       [&](const platform::Notification& note) { notes.append(note.userInfo); });

    SyncEnvironment& environment = device->syncEnvironment();
    EXPECT_FALSE(environment.applyWorkSyncEnvironment(true));   // no work environment
    QVariantMap* work = environment.requestWorkSyncEnvironment();
    ASSERT_TRUE(work);
    work->insert("SyncEngineEnabled", true);
    ASSERT_TRUE(environment.applyWorkSyncEnvironmentByUser());
    EXPECT_EQ(handlersMade, 1);
    EXPECT_EQ(engine.required, 1);
    EXPECT_TRUE(device->wantsToUseSyncEngineAtAll());
    EXPECT_TRUE(device->isSyncEngineTimerRunning());
    EXPECT_EQ(notes, (QList<QVariantMap>{{{"DZSwitchedOnOffNotificationWhatKey", true}}}));
    EXPECT_EQ(steps, (QStringList{"releaseArchive", "recreateArchive", "setArchive"}));
    EXPECT_EQ(handler->updates, 2);   // made, then the new archive
    EXPECT_EQ(device->syncEnvironments()->user, device->syncEnvironments()->work);

    // A type changed while the engine is busy: nothing is applied after the
    // bounded wait.
    steps.clear();
    handler->busy = true;
    (*work)["Contacts"] = QVariantMap{{"SyncMode", 3}};
    const double before = platform::Clock::instance().now();
    EXPECT_FALSE(environment.applyWorkSyncEnvironment(true));
    EXPECT_GE(platform::Clock::instance().now() - before,
              SyncEnvironment::kHandlerWaitSlice * SyncEnvironment::kHandlerWaitPasses - 1);
    EXPECT_EQ(device->syncEnvironment().syncDirectionsModus(0), 0);
    EXPECT_TRUE(steps.isEmpty());

    // Only the groups changed, not by the user: the storage looks again.
    handler->busy = false;
    device->syncEnvironments()->work = device->syncEnvironments()->main;
    QVariantMap bookmarks = device->syncEnvironments()->work->value("Bookmarks").toMap();
    bookmarks.insert("Groups", QVariantMap{{"T-0", QVariantMap{{"name", "Bar"}}}});
    device->syncEnvironments()->work->insert("Bookmarks", bookmarks);
    ASSERT_TRUE(environment.applyWorkSyncEnvironment(false));
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_EQ(storages[3].evaluations, QList<bool>{true});
    EXPECT_EQ(notes.size(), 1);
    center.removeObserver(this);
}

TEST_F(SyncEnvironmentTest, EngineSyncedTypesGoIntoTheBackupWhateverTheMask)
{
    const auto device = make(stored(true, {{"Contacts", QVariantMap{{"SyncMode", 2}}}}));
    device->backupRules().setBackupOrganizerMask(0);
    EXPECT_TRUE(device->wantsToBackupOrganizerType(0));
    EXPECT_FALSE(device->wantsToBackupOrganizerType(2));
    device->backupRules().setBackupOrganizerMask(1 << 2);
    EXPECT_TRUE(device->wantsToBackupOrganizerType(2));
    const auto off = make(stored(false, {{"Contacts", QVariantMap{{"SyncMode", 2}}}}));
    off->backupRules().setBackupOrganizerMask(0);
    EXPECT_FALSE(off->wantsToBackupOrganizerType(0));
    EXPECT_FALSE(off->wantsToBackupOrganizerType(-1));
}

TEST_F(SyncEnvironmentTest, SyncBookkeepingMarksTrickleAndSyncedTypes)
{
    QStringList steps;
    EnvironmentStorage storages[4];
    makers.dataManager = [&](MFDevice&) { return std::make_unique<DataManager>(storages, steps, QString()); };
    const auto device = make();
    SyncEnvironment& environment = device->syncEnvironment();
    environment.prepareSyncing(0);
    EXPECT_EQ(storages[0].prepared, 1);
    EXPECT_FALSE(environment.isSyncingDevice({false, true, false, false}));
    EXPECT_FALSE(device->mustTrickle(1));
    EXPECT_TRUE(environment.isSyncingDevice({true, false, true, false}));
    EXPECT_TRUE(device->mustTrickle(0));
    EXPECT_TRUE(device->mustTrickle(2));
    environment.syncFinished(0, 514);
    EXPECT_FALSE(device->wasDatabaseSynced(0));
    EXPECT_TRUE(environment.isSyncingDevice({true, false, false, false}));
    environment.syncFinished(0, 0);
    EXPECT_TRUE(device->wasDatabaseSynced(0));
    EXPECT_FALSE(environment.isSyncingDevice({true, false, false, false}));
    environment.syncFinished(4, 0);
    EXPECT_TRUE(device->wasDatabaseSynced(4));
}

TEST_F(SyncEnvironmentTest, ClearingTheSyncHistoryForgetsAnchorsStatesAndTheEngine)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("SyncEnvironmentTest-%1").arg(QCoreApplication::applicationPid()));
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int type = 0; type < 4; ++type) {
        QFile state(QStringLiteral("%1/state%2").arg(folder).arg(type));
        ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    }
    QStringList steps;
    EnvironmentStorage storages[4];
    makers.dataManager = [&](MFDevice&) { return std::make_unique<DataManager>(storages, steps, folder); };
    int trashCleared = 0;
    makers.deleteAllTrashURIs = [&] { ++trashCleared; };
    Document document(steps);
    const auto device = make(stored(true, {{"Contacts", QVariantMap{{"SyncMode", 3}}}}));
    device->setDocument(&document);
    device->setLastSyncTimeDevice("20260101T000000Z", 0);
    device->setLastSyncTimeDZ("20260102T000000Z", 0);
    EXPECT_EQ(device->lastSyncTimeDZ(0), QVariant("20260102T000000Z"));
    device->processGAU();
    EXPECT_FALSE(device->lastSyncTimeDevice(0).isValid());
    EXPECT_TRUE(device->lastSyncTimeDZ(0).isValid());
    EXPECT_EQ(trashCleared, 1);

    device->devInfo()->setObject("old", "LastSyncTime (DZ)-Contacts");
    device->clearSyncHistory();
    EXPECT_FALSE(device->wantsToUseSyncEngineAtAll());
    EXPECT_TRUE(device->syncAnchors().isEmpty());
    EXPECT_FALSE(device->devInfo()->objectForKey("LastSyncTime (DZ)-Contacts").isValid());
    EXPECT_EQ(engine.initialReads, 1);
    for (const EnvironmentStorage& storage : storages) {
        EXPECT_EQ(storage.cleared, 1);
        EXPECT_EQ(storage.evaluations, QList<bool>{false});
    }
    EXPECT_TRUE(QDir(folder).isEmpty());
    EXPECT_EQ(steps, (QStringList{"releaseArchive", "recreateArchive", "setArchive"}));
    EXPECT_TRUE(device->isSyncEngineTimerRunning());
    QDir(folder).removeRecursively();
}

TEST_F(SyncEnvironmentTest, TheEnginesSetupChangeIsReadAgainAndRenewsTheArchiveWhenAStorageAsks)
{
    QStringList steps;
    EnvironmentStorage storages[4];
    makers.dataManager = [&](MFDevice&) { return std::make_unique<DataManager>(storages, steps, QString()); };
    Document document(steps);
    const auto device = make(stored(true));
    device->setDocument(&document);
    QList<QVariantMap> notes;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, "SyncEngineEnvironmentActive", nullptr,
                       [&](const platform::Notification& note) { notes.append(note.userInfo); });

    // A new group of the engine reaches the work environment.
    device->syncEnvironment().requestWorkSyncEnvironment();
    engine.contactGroups = {{{"name", "New"}}};
    storages[0].renew = true;
    const int updates = handler->updates;
    center.post(QLatin1String(MFDevice::kNotifySyncEngineActive), nullptr,
                {{"Active", false}, {"SyncData", true}, {"SetupChanged", true}});
    EXPECT_EQ(notes, (QList<QVariantMap>{{{"Active", false}, {"SetupChanged", true}}}));
    EXPECT_EQ(entry(*device, 0).value("Groups").toMap().size(), 1);
    EXPECT_EQ(steps, (QStringList{"releaseArchive", "recreateArchive", "setArchive"}));
    EXPECT_EQ(handler->updates, updates + 1);
    EXPECT_TRUE(device->isSyncEngineTimerRunning());

    // Nothing changed: said so, the archive stays.
    steps.clear();
    storages[0].renew = false;
    center.post(QLatin1String(MFDevice::kNotifySyncEngineActive), nullptr, {{"Active", true}, {"SetupChanged", true}});
    EXPECT_EQ(notes.last(), (QVariantMap{{"Active", true}, {"SetupChanged", false}}));
    EXPECT_TRUE(steps.isEmpty());
    center.removeObserver(this);
}

TEST_F(SyncEnvironmentTest, SavingWithTheEngineDisabledKeepsItOnInMemory)
{
    const auto device = make(stored(true));
    device->syncEnvironment().saveSyncDisabledSettings();
    EXPECT_EQ(deviceDict->value("Common.SyncEnvironment").toMap().value("SyncEngineEnabled"), QVariant(false));
    EXPECT_TRUE(device->wantsToUseSyncEngineAtAll());

    // Killing the engine turns it off for good.
    device->killSyncEngine();
    EXPECT_FALSE(device->wantsToUseSyncEngineAtAll());
    EXPECT_FALSE(device->syncEngineHandler());
    EXPECT_FALSE(device->isSyncEngineTimerRunning());
    EXPECT_EQ(device->syncEnvironments()->user.value_or(QVariantMap()).value("SyncEngineEnabled"), QVariant(false));
}

TEST_F(SyncEnvironmentTest, AnOrganizerFileWithoutACurrentEntryMovesIntoTheHistory)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("OrganizerHistory-%1").arg(QCoreApplication::applicationPid()));
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath("OrganizerData");
    ASSERT_TRUE(platform::plist::writeFile(file, QVariantMap{{"CurOrganizer", "OrganizerData-20260101-120000"}}));
    // Only a history file that is there counts.
    ASSERT_TRUE(QDir().mkpath(folder + "/History"));
    ASSERT_TRUE(platform::plist::writeFile(folder + "/History/OrganizerData-20260101-120000", QVariantMap()));
    EXPECT_EQ(MFDevice::pathToOrganizerArchive(folder), folder + "/History/OrganizerData-20260101-120000");
    EXPECT_TRUE(QFile::exists(file));

    ASSERT_TRUE(platform::plist::writeFile(file, QVariantMap{{"Contacts", 1}}));
    const QString moved = MFDevice::pathToOrganizerArchive(folder);
    EXPECT_TRUE(moved.startsWith(folder + "/History/OrganizerData-")) << moved.toStdString();
    EXPECT_TRUE(QFile::exists(moved));
    EXPECT_FALSE(QFile::exists(file));
    QDir(folder).removeRecursively();

    // Nothing fills a history device's lists: jumping changes nothing.
    const auto device = make();
    device->jumpToOrganizerHistoryIndex(3);
    EXPECT_TRUE(device->curOrganizerFile().isNull());
    EXPECT_TRUE(device->curHistoryTime().isEmpty());
}
