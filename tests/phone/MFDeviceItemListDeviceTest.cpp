#include "DeviceDBTestSupport.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCardElem.h"

#include <gtest/gtest.h>

namespace {

const char kListPhoneRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, MaxNo_PhoneNumbers, syncContacts,
    syncCalendar, syncNotes, syncBookmarks)
    VALUES ('Moto Lists', 'ATSerial-Motorola', '2.1', 'UTF-8', '10', '1', '1', '1', '1');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, MaxNo_PhoneNumbers, syncContacts,
    syncCalendar)
    VALUES ('Samsung Lists', 'ATSerial-Samsung', '2.1', 'UTF-8', '10', '1', '1');
)SQL";

class ListEngineInfo : public SharedSyncInfo {
public:
    bool isBusy() const override { return false; }
    void announceQuit() override {}
    QList<QVariantMap> calendars() const override { return {{{"title", "Home"}}}; }
    QString calendarID(int index) const override { return index == 0 ? QStringLiteral("CAL-HOME") : QString(); }
};

class ListEngineHandler : public DeviceSyncEngineHandler {
public:
    int trickleSyncEngine(int) override { return 0; }
    bool isBusy() const override { return false; }
    void updateEnabledEntities() override {}
    void announceQuit() override {}
    QVariant lastSyncTime(int type) const override { return QStringLiteral("synced-%1").arg(type); }
};

class ListArchiveData : public DeviceDataManager {
public:
    void saveFinderState() override {}
    void loadFinderState() override {}
    FilesMirror* mirror() const override { return nullptr; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    std::optional<QVariantMap> deviceDataFileStorage(int type) const override
    {
        return QVariantMap{{"Type", type}};
    }
};

// Phones of the test device database: one with the sync engine, the shared
// sync information and an archive, and a history phone with none of them.
class ItemListDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dbPath = buildTestDeviceDB(QStringLiteral("item-list-device"), QString::fromUtf8(kListPhoneRows));
        ASSERT_FALSE(s_dbPath.isEmpty());
    }

    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_dbPath));
        // Contacts read their phone's limits from the same database.
        SyncDeviceLimits::setResolver([db = db](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto description = std::make_shared<QVSyncDeviceDescription>(db);
            if (description->setupFromProtocol(protocol) != 0)
                return nullptr;
            return std::make_shared<DeviceDescriptionLimits>(description);
        });
    }
    void TearDown() override
    {
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    }

    std::shared_ptr<QVSyncDeviceDescription> describe(const char* protocol)
    {
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        EXPECT_EQ(description->setupFromProtocol(QLatin1String(protocol)), 0);
        return description;
    }

    std::unique_ptr<MFDevice> make(const char* connType, const char* protocol, QVariantMap dict,
                                   MFDevice::Makers makers)
    {
        auto description = describe(protocol);
        const QVariantMap row{{"Dorvanti.Model", "Lister"},
                              {"Dorvanti.Manufacturer", "Test"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        deviceDict = std::make_shared<QVariantMap>(std::move(dict));
        return std::make_unique<MFDevice>(QLatin1String(connType), deviceDict, row, description, std::move(makers));
    }

    // Contacts both ways with the phone as master and only contacts with
    // numbers; the calendar into the phone one day back and 30 ahead; notes
    // from the phone; bookmarks not synced.
    std::unique_ptr<MFDevice> makeSyncing()
    {
        MFDevice::Makers makers;
        makers.generalSyncInfo = [this] { return &engineInfo; };
        makers.syncEngineHandler = [](MFDevice&) { return std::make_unique<ListEngineHandler>(); };
        makers.dataManager = [](MFDevice&) { return std::make_unique<ListArchiveData>(); };
        const QVariantMap environment{
            {"SyncEngineEnabled", true},
            {"Contacts", QVariantMap{{"SyncMode", 3}, {"MacIsMaster", false}, {"SyncOnlyWithPhoneNumbers", true}}},
            {"Calendar", QVariantMap{{"SyncMode", 1}, {"OlderThan", 86400}, {"YoungerThan", 30 * 86400}}},
            {"Notes", QVariantMap{{"SyncMode", 2}}},
            {"Bookmarks", QVariantMap{{"SyncMode", 0}}}};
        return make(MFDevice::kUSBMassStorage, "Moto Lists",
                    {{"Common.SyncEnvironment", environment},
                     {"Common.SyncMaxContacts", "250"},
                     {"Common.NextFreeT-ID", "41"}},
                    std::move(makers));
    }
    std::unique_ptr<MFDevice> makeHistory() { return make(MFDevice::kHistory, "Samsung Lists", {}, {}); }

    static std::shared_ptr<QVSyncElem> contact(const QString& lines)
    {
        const QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\n") + lines
                             + QStringLiteral("END:VCARD\r\n");
        auto elem = QVVCardElem::elemWithData(text, QStringLiteral("1"), QStringLiteral("Moto Lists"),
                                              QStringLiteral("Phone"), QString());
        EXPECT_TRUE(elem);
        return elem;
    }

    static inline QString s_dbPath;
    std::shared_ptr<qvDeviceDB> db;
    ListEngineInfo engineInfo;
    std::shared_ptr<QVariantMap> deviceDict;
};

QVariant optionalMap(const std::optional<QVariantMap>& map)
{
    return map ? QVariant(*map) : QVariant();
}

} // namespace

TEST_F(ItemListDeviceTest, EveryQueryAnswersFromThePhone)
{
    const auto syncing = makeSyncing();
    const auto history = makeHistory();
    ASSERT_TRUE(syncing->syncEngineHandler());
    ASSERT_TRUE(syncing->requestSyncEngineCommunication());
    const auto withoutNumber = contact(QStringLiteral("EMAIL:jane@example.org\r\n"));
    const auto withNumber = contact(QStringLiteral("TEL;CELL:+4912345\r\n"));
    ASSERT_TRUE(dynamic_cast<QVVCardElem&>(*withoutNumber).getPhones().isEmpty());
    ASSERT_FALSE(dynamic_cast<QVVCardElem&>(*withNumber).getPhones().isEmpty());
    const QDateTime now = platform::Clock::instance().currentDateTime();

    struct Case {
        const char* query;
        std::function<QVariant(ItemListDevice&)> ask;
        QVariant syncing;
        QVariant history;
    };
    const Case cases[] = {
        {"contacts from the engine", [](ItemListDevice& p) { return p.wantsSyncChangesFromEngine(0); }, true, false},
        {"tasks from the engine", [](ItemListDevice& p) { return p.wantsSyncChangesFromEngine(6); }, true, false},
        {"notes from the engine", [](ItemListDevice& p) { return p.wantsSyncChangesFromEngine(2); }, false, false},
        {"notes from the phone", [](ItemListDevice& p) { return p.wantsSyncChangesFromDevice(2); }, true, false},
        {"calendar from the phone", [](ItemListDevice& p) { return p.wantsSyncChangesFromDevice(1); }, false, false},
        {"contacts phone master", [](ItemListDevice& p) { return p.isMobileMaster(0); }, true, false},
        {"calendar phone master", [](ItemListDevice& p) { return p.isMobileMaster(1); }, false, false},
        {"max contacts", [](ItemListDevice& p) { return p.maxContacts(); }, 250, 63999},
        {"engine for contacts", [](ItemListDevice& p) { return p.wantsToUseSyncEngineForProperty(0); }, true, false},
        {"engine for bookmarks", [](ItemListDevice& p) { return p.wantsToUseSyncEngineForProperty(3); }, false, false},
        {"contacts mode", [](ItemListDevice& p) { return p.syncDirectionsModus(0); }, 3, 0},
        {"events mode", [](ItemListDevice& p) { return p.syncDirectionsModus(5); }, 1, 0},
        {"contact without number",
         [&](ItemListDevice& p) { return p.doesDeviceWantContact(withoutNumber); }, false, true},
        {"contact with number", [&](ItemListDevice& p) { return p.doesDeviceWantContact(withNumber); }, true, true},
        {"next week",
         [&](ItemListDevice& p) {
             return p.isPeriodInWantedCalendarPeriod(now.addDays(7), now.addDays(7).addSecs(3600));
         },
         true, false},
        {"ten days back",
         [&](ItemListDevice& p) { return p.isPeriodInWantedCalendarPeriod(now.addDays(-10), now.addDays(-9)); },
         false, false},
        {"history", [](ItemListDevice& p) { return p.isHistory(); }, false, true},
        {"Motorola AT", [](ItemListDevice& p) { return p.usesMotorolaATConnections(); }, true, false},
        {"Samsung AT", [](ItemListDevice& p) { return p.usesSamsungATConnections(); }, false, true},
        {"engine claimed", [](ItemListDevice& p) { return p.isSyncEngineActive(); }, true, false},
        {"events name", [](ItemListDevice& p) { return p.dbName(5); }, "Events", "Events"},
        {"stored calendar data", [](ItemListDevice& p) { return optionalMap(p.deviceDataFileStorage(1)); },
         QVariantMap{{"Type", 1}}, QVariant()},
        {"stored data of events", [](ItemListDevice& p) { return optionalMap(p.deviceDataFileStorage(5)); },
         QVariant(), QVariant()},
        {"last sync of tasks", [](ItemListDevice& p) { return p.lastSyncTime(6); }, "synced-6", QVariant()},
        {"default calendar", [](ItemListDevice& p) { return p.defaultCalendarID(); }, "CAL-HOME", QString()},
        {"environments", [](ItemListDevice& p) { return bool(p.syncEnvironments() && p.syncEnvironments()->main); },
         true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ask(*syncing), c.syncing) << c.query;
        EXPECT_EQ(c.ask(*history), c.history) << c.query << " (history)";
    }

    ItemListDevice& phone = *syncing;
    EXPECT_EQ(phone.syncDescription(), syncing->syncDescription());
    EXPECT_EQ(phone.newFreeTID(), "T-42");
    EXPECT_EQ(syncing->devInfo()->objectForKey("Common.NextFreeT-ID"), QVariant("42"));
    // A list of the phone keeps its contact limit.
    EXPECT_EQ(QVSyncElemList(0, &phone).maxItemsOnDevice(), 250);
}

TEST_F(ItemListDeviceTest, TheEndOfASyncIsMarkedOnlyWithoutError)
{
    const auto device = makeSyncing();
    ItemListDevice& phone = *device;
    EXPECT_FALSE(device->wasDatabaseSynced(1));
    phone.syncFinished(1, 514);
    EXPECT_FALSE(device->wasDatabaseSynced(1));
    phone.syncFinished(1, 0);
    EXPECT_TRUE(device->wasDatabaseSynced(1));
    EXPECT_TRUE(device->wasDatabaseSynced(5));
}

TEST_F(ItemListDeviceTest, ListsEditThePhonesOwnEnvironments)
{
    auto device = makeSyncing();
    ItemListDevice& phone = *device;
    SyncEnvironmentSet* environments = phone.syncEnvironments();
    ASSERT_EQ(environments, device->syncEnvironments());
    ASSERT_TRUE(environments->main);

    QVariantMap contacts = environments->main->value("Contacts").toMap();
    contacts.insert("SyncMode", 2);
    environments->main->insert("Contacts", contacts);
    EXPECT_FALSE(phone.wantsSyncChangesFromEngine(0));
    EXPECT_TRUE(device->wantsSyncChangesFromDevice(0));

    environments->work = environments->main;
    environments->work->insert("SyncEngineEnabled", false);
    ASSERT_TRUE(device->syncEnvironment().workSyncEnvironment());
    EXPECT_EQ(device->syncEnvironment().workSyncEnvironment()->value("SyncEngineEnabled"), QVariant(false));

    // What the list changed is what the phone stores when it goes.
    device.reset();
    const QVariantMap stored = deviceDict->value("Common.SyncEnvironment").toMap();
    EXPECT_EQ(stored.value("Contacts").toMap().value("SyncMode"), QVariant(2));
    EXPECT_EQ(deviceDict->value("Common.SyncWorkEnvironment").toMap().value("SyncEngineEnabled"), QVariant(false));
}

TEST_F(ItemListDeviceTest, ListNotificationsComeFromTheDeviceItself)
{
    const auto device = makeSyncing();
    ItemListDevice* phone = device.get();
    // The interface is not the device's first base, so its pointer is
    // another address than the device's.
    ASSERT_NE(static_cast<const void*>(phone), static_cast<const void*>(device.get()));
    EXPECT_EQ(phone->notificationSender(), static_cast<const void*>(device.get()));

    int fromList = 0;
    int fromDevice = 0;
    int observer = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(&observer, QStringLiteral("DZ-ContactInvalidated"), device.get(),
                       [&](const platform::Notification&) { ++fromList; });
    // And the device's own notifications reach an observer of the sender the
    // lists are given.
    center.addObserver(&observer, QStringLiteral("DeviceDirtyChanged_Notify"), phone->notificationSender(),
                       [&](const platform::Notification&) { ++fromDevice; });
    QVSyncElemList(0, phone).postChangedNotification();
    device->postDeviceDirtyChangedNotify();
    center.removeObserver(&observer);
    EXPECT_EQ(fromList, 1);
    EXPECT_EQ(fromDevice, 1);
}
