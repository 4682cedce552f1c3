// A phone's sync-hub client: its identity and registration, the properties
// and entities it exchanges, the classification of pulled changes and the
// push of a property's pending changes.
#include "SyncEngineHandlerSupport.h"

#include "device/MFDeviceInfo.h"

using namespace handler_test;

namespace {

QStringList handlerWarnings;

void collectHandlerWarnings(QtMsgType, const QMessageLogContext&, const QString& message)
{
    handlerWarnings.append(message);
}

QVariantMap handlerRecord(const QString& entityName, const QVariantMap& fields)
{
    QVariantMap record = fields;
    record.insert(platform::ISyncRecordEntityNameKey, entityName);
    return record;
}

} // namespace

TEST_F(HandlerFixture, TheClientIsNamedAfterThePhoneAndItsDescriptionComesFromItsRow)
{
    EXPECT_EQ(createClientName(QStringLiteral("KU990-1234")), "com.marvesto.MarvestoZODA.KU990-1234");
    makeDevice("Protocol LG");
    ASSERT_NE(handler(), nullptr);
    EXPECT_EQ(handler()->clientIdentifier(), "com.marvesto.MarvestoZODA.KU990-1234");
    const auto client = phoneClient();
    ASSERT_TRUE(client);
    EXPECT_EQ(client->displayName(), "Ann's phone (Marvesto)");
    const QString path = handler()->getSyncSchemaFilePath();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/MarvestoPhone-ContactsCalendar.plist"))) << path.toStdString();
    EXPECT_FALSE(path.startsWith(u':')) << "the hub reads plain files";
    QStringList expected = kContactNames;
    expected << entity::Calendar << entity::Task << entity::Event << entity::AudioAlarm << entity::DisplayAlarm
             << entity::Recurrence;
    QStringList supported = client->supportedEntityNames();
    supported.sort();
    expected.sort();
    EXPECT_EQ(supported, expected);

    // Every shipped phone protocol names a description that registers.
    for (const char* protocol : {"UNKNOWN", "Protocol Series 40", "Protocol Gigaset", "Protocol SonyEricsson"}) {
        makeDevice(protocol);
        EXPECT_NE(handler(), nullptr) << protocol;
    }
}

TEST_F(HandlerFixture, APhoneWithoutAUsableDescriptionGetsNoClient)
{
    struct Case {
        const char* protocol;
        bool client;
        const char* logLine;
    };
    const Case cases[] = {
        {"Plain Phone", false, "no client description"},
        {"Leo Phone", true, nullptr}, // only its "-Leo" variant exists
        {"Broken Phone", false, "################### >> getClient: Caught ISyncInvalidArgumentsException"},
    };
    for (const Case& c : cases) {
        device.reset();
        if (const auto known = phoneClient()) // the same phone's client of the case before
            manager().unregisterClient(known);
        handlerWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectHandlerWarnings);
        makeDevice(c.protocol);
        qInstallMessageHandler(previous);
        EXPECT_EQ(handler() != nullptr, c.client) << c.protocol;
        EXPECT_EQ(handlerWarnings.filter(QStringLiteral("SERIOUS BUG")).size(), c.client ? 0 : 1) << c.protocol;
        if (c.logLine)
            EXPECT_GE(logged(QLatin1String(c.logLine)), 1) << c.protocol;
    }
    EXPECT_TRUE(handlerWarnings.filter(QStringLiteral("schema file:Broken")).size() == 1);
}

TEST_F(HandlerFixture, EntityNamesFollowTheWantedPropertiesAndTimesTheirSlots)
{
    makeDevice("Every Phone", environment(3, 0, 0, 3));
    SyncEngineHandler& h = *handler();
    QStringList expected = kContactNames;
    expected << entity::Bookmark << entity::BookmarkFolder;
    EXPECT_EQ(h.getEntityNamesForProperty(-1), expected);
    EXPECT_TRUE(h.getEntityNamesForProperty(4).isEmpty());
    EXPECT_EQ(h.getEntityNamesForProperty(2), QStringList{entity::Note});

    makeDevice("Protocol LG");
    lists->make(0);
    lists->make(1);
    ASSERT_EQ(handler()->writeToSyncEngine(-1), 0);
    const QVariant calendar = handler()->lastSyncTime(1);
    EXPECT_TRUE(calendar.isValid());
    EXPECT_EQ(handler()->lastSyncTime(5), calendar);
    EXPECT_EQ(handler()->lastSyncTime(6), calendar);
    EXPECT_FALSE(handler()->lastSyncTime(4).isValid());
    // The lists' device answers through the handler.
    EXPECT_EQ(static_cast<ItemListDevice&>(*device).lastSyncTime(5), calendar);
}

TEST_F(HandlerFixture, APushSkipsTemporaryIdsAndSendsUnaskedEntitiesLast)
{
    makeDevice("Protocol LG");
    QVSyncElemList& contacts = lists->make(0);
    ASSERT_EQ(handler()->writeToSyncEngine(0), 0); // the first, slow session
    const QString ann = QStringLiteral("Tarnex:ann");
    contacts.fillChangesForSyncEngineFromDict(
        {SyncChange(SyncChange::Add, QStringLiteral("Tarnex:ev"),
                    addChange(QStringLiteral("x"), handlerRecord(entity::Event, {{"summary", "Fair"}})).changes())
             .storedDictionary(),
         addChange(QStringLiteral("T-3"), contact(QStringLiteral("Temp"))).storedDictionary(),
         addChange(ann, contact(QStringLiteral("Ann"))).storedDictionary()});
    ASSERT_EQ(contacts.changesForSyncEngine().size(), 3);

    const auto session = ISyncSession::beginSessionWithClient(phoneClient(), kContactNames, {});
    ASSERT_TRUE(session);
    EXPECT_TRUE(handler()->pushChangesToSyncSession(0, *session, false));
    session->finishSyncing();
    EXPECT_TRUE(contacts.changesForSyncEngine().isEmpty());
    const QByteArray log = newLog();
    const qsizetype annAt = log.indexOf("sendData]: Change (Tarnex:ann)");
    const qsizetype eventAt = log.indexOf("sendData]: Change (Tarnex:ev)");
    EXPECT_GE(annAt, 0);
    EXPECT_GT(eventAt, annAt) << "the entity the session did not ask for goes last";
    EXPECT_EQ(logged(QStringLiteral("Change (T-3)")), 0);
    EXPECT_EQ(logged(QStringLiteral("recID has Prefix T-")), 1);
    EXPECT_EQ(logged(QStringLiteral("### theStorage changesForSyncEngine is not empty")), 1);
    EXPECT_TRUE(storedRecord(ann).has_value());
    EXPECT_FALSE(storedRecord(QStringLiteral("T-3")).has_value());
}

TEST_F(HandlerFixture, APulledChangeIsClassifiedByRecordItemGroupOrCalendar)
{
    makeDevice("Protocol LG");
    QVSyncElemList& contacts = lists->make(0);
    QVSyncElemList& calendar = lists->make(1);
    const QString ann = QStringLiteral("Tarnex:ann");
    contacts.processOneSyncEngineChange(
        SyncChange(SyncChange::Add, ann, addChange(ann, contact("Ann")).changes(), contact("Ann")), nullptr, false);
    const QVariantMap group = handlerRecord(entity::Group, {{"name", "Friends"}, {"members", QVariantList()}});
    contacts.processOneSyncEngineGroupChange(
        SyncChange(SyncChange::Add, QStringLiteral("Tarnex:grp"), addChange("g", group).changes(), group), nullptr);
    const QVariantMap home = handlerRecord(entity::Calendar, {{"title", "Home"}});
    calendar.processOneSyncEngineCalendarChange(
        SyncChange(SyncChange::Add, QStringLiteral("Tarnex:cal"), addChange("c", home).changes(), home), nullptr);

    struct Case {
        const char* what;
        SyncChange change;
        QString entityName;
        int property;
        int propertyOfChange; // getPropertyForChange knows records and items only
    };
    const Case cases[] = {
        {"record", SyncChange(SyncChange::Add, "Tarnex:n1", {}, phoneNumber(ann, "+49301")), entity::PhoneNumber, 0, 0},
        {"item", SyncChange(SyncChange::Delete, ann), entity::Contact, 0, 0},
        {"group", SyncChange(SyncChange::Delete, "Tarnex:grp"), entity::Group, 0, -1},
        {"calendar", SyncChange(SyncChange::Delete, "Tarnex:cal"), entity::Calendar, 1, -1},
        {"unknown", SyncChange(SyncChange::Delete, "Tarnex:nobody"), QString(), -1, -1},
    };
    for (const Case& c : cases) {
        int property = 99;
        EXPECT_EQ(handler()->getTypeAndPropertyForChange(c.change, &property), c.entityName) << c.what;
        EXPECT_EQ(property, c.property) << c.what;
        EXPECT_EQ(handler()->getPropertyForChange(c.change), c.propertyOfChange) << c.what;
    }
}

TEST_F(HandlerFixture, AForgottenPhonesClientIsRemovedByItsDictionary)
{
    qvDeviceDB::setDefaultDatabasePath(s_dbPath);
    qvDeviceDB::releaseSharedDeviceDB();
    const QVariantMap entry{{"Common.qvDeviceID", "15320"}, {"Common.SerialNo", "1234"}};
    ASSERT_EQ(MFDeviceInfo::createUniqueName(entry), "KU990 Viewty-1234");
    const QString id = createClientName(QStringLiteral("KU990 Viewty-1234"));
    registerClient(id, kContactNames);
    registerClient(QStringLiteral("other"), kContactNames);

    removeSyncEngineClient(QVariantMap{{"Common.qvDeviceID", "15320"}}, manager()); // no serial: nothing
    EXPECT_TRUE(manager().clientWithIdentifier(id));
    removeSyncEngineClient(entry, manager());
    EXPECT_FALSE(manager().clientWithIdentifier(id));
    EXPECT_TRUE(manager().clientWithIdentifier(QStringLiteral("other")));
    removeSyncEngineClient(entry, manager()); // already gone: nothing happens
    qvDeviceDB::releaseSharedDeviceDB();
    qvDeviceDB::setDefaultDatabasePath({});
}
