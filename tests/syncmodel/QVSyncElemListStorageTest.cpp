#include "ContactTestSupport.h"
#include "ListTestDevice.h"

#include "formats/VXDictionary.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>

namespace {

const QString kTime = QStringLiteral("2026-12-01 10:00:00 +0000");

// Messages of the list that tell of a skipped stored entry.
QStringList g_skipped;

void recordSkipped(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (message.contains(QLatin1String("skipping")))
        g_skipped.append(message);
}

class ItemListStorageTest : public contacttest::ContactTest {
protected:
    void SetUp() override
    {
        ContactTest::SetUp();
        device.description = std::dynamic_pointer_cast<DeviceDescriptionLimits>(limits("Phone"))->description();
        ASSERT_TRUE(device.description);
    }

    std::unique_ptr<QVSyncElemList> listFrom(const std::optional<QVariantMap>& dict, int property = 0)
    {
        return QVSyncElemList::fromFileDictionary(dict, QStringLiteral("Contacts"), property, &device);
    }

    // A contact in item form with a record id and, when given, a phone id.
    static QVSyncElemList::Elem contact(QVSyncElemList& list, const QString& first, const QString& uri)
    {
        VXDictionary vx;
        vx.setMainObject(first, QStringLiteral("first name"));
        vx.setMainObject(QStringLiteral("Berg"), QStringLiteral("last name"));
        auto elem = list.createNewElemWithDict(&vx, uri, QStringLiteral("Tarnex:") + first, QStringLiteral("Phone"),
                                               QStringLiteral("Phone"), QString());
        list.addObject(elem);
        return elem;
    }

    // Written as the property-list file would be and read back.
    static QVariantMap throughPlist(const QVariantMap& dict)
    {
        QString error;
        const QByteArray xml = platform::plist::toXml(dict, &error);
        EXPECT_FALSE(xml.isEmpty()) << error.toStdString();
        return platform::plist::read(xml, &error).toMap();
    }

    static QVariantMap withoutIds(QVariantMap dict)
    {
        dict.remove(VXDictionary::kSourceURI);
        return dict;
    }

    ListTestDevice device;
};

TEST_F(ItemListStorageTest, RawFormReadsBackEqualWithItsListInfo)
{
    const QVariantMap info{{QStringLiteral("SyncML-Protocol"), QStringLiteral("Phone")},
                           {QStringLiteral("SyncML-Device"), QStringLiteral("Phone")},
                           {QStringLiteral("SyncMode"), 2},
                           {QStringLiteral("Custom"), QVariantList{1, QStringLiteral("x")}}};
    auto list = listFrom(info);
    for (const char* uri : {"1", "2"})
        list->addObject(fromText(card(QStringLiteral("N:Berg;Anna%1\r\nTEL;CELL:+4912%1\r\n").arg(QLatin1String(uri))),
                                 "Phone", QLatin1String(uri)));
    list->objectAtIndex(1)->setDeleted();
    list->addObject(fromText(card(QStringLiteral("N:New;One\r\n")), "Phone", QStringLiteral("T-4")));

    const QVariantMap stored = throughPlist(list->dictionaryForFile());
    EXPECT_EQ(list->holdDict(), list->dictionaryForFile());
    const QVariantList items = stored.value(QStringLiteral("Items")).toList();
    ASSERT_EQ(items.size(), 2);                   // the new item is not on the phone yet
    EXPECT_FALSE(items[0].toMap().contains(VXDictionary::kTempDeletedFlag));
    EXPECT_EQ(items[1].toMap().value(VXDictionary::kTempDeletedFlag), QVariant(true));

    auto back = listFrom(stored);
    EXPECT_EQ(back->listInfo(), info);
    EXPECT_EQ(back->syncModeFromFile(), 2);
    ASSERT_EQ(back->allCount(), 2);
    const auto limits = std::make_shared<DeviceDescriptionLimits>(device.description);
    for (int i = 0; i < 2; ++i) {
        const auto mine = list->objectAtIndex(i);
        const auto theirs = back->objectAtIndex(i);
        EXPECT_EQ(theirs->sourceURI(), mine->sourceURI());
        EXPECT_EQ(theirs->isDeleted(), mine->isDeleted()) << i;
        EXPECT_EQ(theirs->vxDataForDevice(limits), mine->vxDataForDevice(limits));
    }
    EXPECT_EQ(back->dictionaryForFile(), stored);
}

TEST_F(ItemListStorageTest, SyncFormReadsBackEqualWithQueuedChangesGroupsAndFlags)
{
    device.useSyncEngine = true;
    device.directionsModus = 3;
    device.syncTime = kTime;
    const QVariantMap groups{{QStringLiteral("Tarnex:g"),
                              QVariantMap{{QStringLiteral("name"), QStringLiteral("Work")},
                                          {QStringLiteral("members"), QVariantList{QStringLiteral("Tarnex:Anna")}}}}};
    auto list = listFrom(QVariantMap{{QStringLiteral("Custom"), QStringLiteral("kept")},
                                     {QStringLiteral("Groups"), groups},
                                     {QStringLiteral("InvisibleDeletionElems"), QStringList{QStringLiteral("9")}}});
    contact(*list, QStringLiteral("Anna"), QStringLiteral("1"));
    contact(*list, QStringLiteral("Bert"), QStringLiteral("2"))->setChanged();
    contact(*list, QStringLiteral("Cleo"), QStringLiteral("3"))->setDeleted();
    auto fresh = contact(*list, QStringLiteral("Dora"), QStringLiteral("T-7"));
    fresh->setSourceParentURI(QStringLiteral("folder"));
    list->addChangeForSyncEngine(platform::SyncChange(
        platform::SyncChange::Modify, QStringLiteral("Tarnex:Bert"),
        {platform::SyncChange::setChange(QStringLiteral("first name"), QStringLiteral("Bert"))}));
    list->addChangeForSyncEngine(platform::SyncChange(platform::SyncChange::Delete, QStringLiteral("Tarnex:Cleo")));

    const auto written = list->syncDictionaryForFile();
    ASSERT_TRUE(written);
    const QVariantMap stored = throughPlist(*written);
    EXPECT_EQ(stored.value(QStringLiteral("SyncMode")), QVariant(3));
    EXPECT_EQ(stored.value(QStringLiteral("LastSyncTime")), QVariant(kTime));
    if (const QByteArray dir = qgetenv("MARVESTO_ITEMLIST_PLIST_OUT"); !dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        ASSERT_TRUE(platform::plist::writeFile(QString::fromLocal8Bit(dir) + QStringLiteral("/sync.plist"), *written));
        auto raw = listFrom(QVariantMap{{QStringLiteral("SyncML-Protocol"), QStringLiteral("Phone")}});
        raw->addObject(fromText(card(QStringLiteral("N:Berg;Anna\r\nTEL;CELL:+4912\r\n")), "Phone", "1"));
        ASSERT_TRUE(platform::plist::writeFile(QString::fromLocal8Bit(dir) + QStringLiteral("/raw.plist"),
                                               raw->dictionaryForFile()));
    }

    auto back = listFrom(stored);
    EXPECT_FALSE(back->needsInitialRead());
    EXPECT_EQ(back->listInfo().value(QStringLiteral("Custom")), QVariant(QStringLiteral("kept")));
    EXPECT_EQ(back->groups(), std::optional<QVariantMap>(groups));
    EXPECT_EQ(back->invisibleDeletion(), QStringList{QStringLiteral("9")});
    ASSERT_EQ(back->allCount(), list->allCount());
    for (const auto& mine : list->allElems()) {
        const auto* engine = dynamic_cast<QVSyncEngineElem*>(mine.get());
        const auto theirs = std::dynamic_pointer_cast<QVSyncEngineElem>(back->objectForUUID(engine->elemUUID()));
        ASSERT_TRUE(theirs) << engine->elemUUID().toStdString();
        EXPECT_EQ(theirs->sourceURI(), mine->sourceURI());
        EXPECT_EQ(theirs->sourceParentURI(), mine->sourceParentURI());
        EXPECT_EQ(theirs->isChanged(), mine->isChanged()) << engine->elemUUID().toStdString();
        EXPECT_EQ(theirs->isDeleted(), mine->isDeleted()) << engine->elemUUID().toStdString();
        EXPECT_EQ(withoutIds(theirs->vxDict()->realDictionary()), withoutIds(engine->vxDict()->realDictionary()));
    }
    ASSERT_EQ(back->changesForSyncEngine().size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(back->changesForSyncEngine()[i].storedDictionary(), list->changesForSyncEngine()[i].storedDictionary());
    EXPECT_EQ(throughPlist(*back->syncDictionaryForFile()), stored);
}

TEST_F(ItemListStorageTest, EmptyQueuesAreNotWrittenAndRawListsHaveNoSyncForm)
{
    auto raw = listFrom(std::nullopt);
    EXPECT_FALSE(raw->syncDictionaryForFile());
    device.useSyncEngine = true;
    auto list = listFrom(std::nullopt);
    contact(*list, QStringLiteral("Anna"), QStringLiteral("1"));
    const QVariantMap stored = *list->syncDictionaryForFile();
    for (const char* key : {"SyncEngineChanges", "InvisibleDeletionElems", "LastSyncTime"})
        EXPECT_FALSE(stored.contains(QLatin1String(key))) << key;
    EXPECT_EQ(stored.value(QStringLiteral("SyncMode")), QVariant(qlonglong(0)));
    device.history = true;                        // a history phone keeps the raw form
    EXPECT_FALSE(listFrom(std::nullopt)->syncDictionaryForFile());
}

TEST_F(ItemListStorageTest, AStaleStoredStateWaitsAsZombies)
{
    device.useSyncEngine = true;
    device.syncTime = kTime;
    auto list = listFrom(std::nullopt);
    contact(*list, QStringLiteral("Anna"), QStringLiteral("1"))->setDeleted();
    contact(*list, QStringLiteral("Bert"), QStringLiteral("2"));
    const QVariantMap stored = *list->syncDictionaryForFile();

    const struct {
        const char* name;
        QVariant storedTime;
        QVariant clientTime;
        bool stale;
    } cases[] = {{"same time", kTime, kTime, false},
                 {"no stored time", QVariant(), kTime, true},
                 {"other time", QStringLiteral("2026-11-30 09:00:00 +0000"), kTime, true},
                 {"client has none", kTime, QVariant(), true},
                 {"stored time not a string", 5, kTime, true}};
    for (const auto& c : cases) {
        QVariantMap dict = stored;
        dict.remove(QStringLiteral("LastSyncTime"));
        if (c.storedTime.isValid())
            dict.insert(QStringLiteral("LastSyncTime"), c.storedTime);
        device.syncTime = c.clientTime;
        auto back = listFrom(dict);
        EXPECT_EQ(back->needsInitialRead(), c.stale) << c.name;
        EXPECT_EQ(back->count(), c.stale ? 0 : 2) << c.name;
        EXPECT_EQ(back->allCount(), c.stale ? 0 : 2) << c.name;
        EXPECT_EQ(back->zombies() ? back->zombies()->size() : 0u, c.stale ? 2u : 0u) << c.name;
        EXPECT_EQ(back->description().contains(QLatin1String("  [ZOMBIE] ")), c.stale) << c.name;
        EXPECT_EQ(back->description().contains(QLatin1String("## DELETED ##")), !c.stale) << c.name;
    }

    // The phone is read again: a zombie deleted on the phone marks the item
    // read back under its phone id deleted; stored raw device data waits
    // for conversion.
    device.syncTime = QVariant();
    auto stale = listFrom(stored);
    auto again = contact(*stale, QStringLiteral("Anna"), QStringLiteral("1"));
    auto other = contact(*stale, QStringLiteral("Bert"), QStringLiteral("2"));
    device.storedDeviceData = QVariantMap{
        {QStringLiteral("Items"), QVariantList{QVariantMap{{QStringLiteral("vx-Data"), card(QStringLiteral("N:X;Y\r\n"))},
                                                           {QStringLiteral("SourceURI"), QStringLiteral("5")}},
                                               QStringLiteral("junk")}}};
    stale->removeZombies(true);
    EXPECT_FALSE(stale->needsInitialRead());
    EXPECT_TRUE(again->isDeleted());
    EXPECT_FALSE(other->isDeleted());
    EXPECT_EQ(stale->oldFashionedItems().size(), 1);
}

TEST_F(ItemListStorageTest, MoveAllToZombiesMarksPhoneItemsDeletedAndEmptiesGroups)
{
    device.useSyncEngine = true;
    auto list = listFrom(QVariantMap{{QStringLiteral("Groups"), QVariantMap{{QStringLiteral("g"), QVariantMap()}}}});
    auto onPhone = contact(*list, QStringLiteral("Anna"), QStringLiteral("1"));
    auto fresh = contact(*list, QStringLiteral("Bert"), QString());
    EXPECT_TRUE(list->moveAllToZombies());
    EXPECT_TRUE(list->needsInitialRead());
    EXPECT_EQ(list->zombies()->size(), 2u);
    EXPECT_TRUE(onPhone->isDeleted());
    EXPECT_FALSE(fresh->isDeleted());
    EXPECT_TRUE(list->groups()->isEmpty());
    EXPECT_FALSE(list->moveAllToZombies());       // nothing new to make or empty
}

TEST_F(ItemListStorageTest, OlderDeletedItemsAndRawEntriesAreRead)
{
    VXDictionary vx;
    vx.setMainObject(QStringLiteral("Gone"), QStringLiteral("first name"));
    vx.setObject(QStringLiteral("4"), VXDictionary::kSourceURI);
    auto list = listFrom(QVariantMap{
        {QStringLiteral("Items"),
         QVariantList{QVariantMap{{QStringLiteral("vx-Data"), card(QStringLiteral("N:Berg;Anna\r\n"))},
                                  {QStringLiteral("SourceURI"), QStringLiteral("1")}}}},
        {QStringLiteral("Deleted Items"),
         QVariantList{QVariantMap{{QStringLiteral("vx-Dict"), vx.realDictionary()},
                                  {QStringLiteral("UUID"), QStringLiteral("Tarnex:d")},
                                  {QStringLiteral("SourceParent"), QStringLiteral("p")}}}}});
    ASSERT_EQ(list->allCount(), 2);
    EXPECT_FALSE(list->objectForURI(QStringLiteral("1"))->isDeleted());   // no flag: not deleted
    const auto gone = list->objectForUUID(QStringLiteral("Tarnex:d"));
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->isDeleted());
    EXPECT_EQ(gone->sourceURI(), QStringLiteral("4"));
    EXPECT_EQ(gone->sourceParentURI(), QStringLiteral("p"));
    EXPECT_FALSE(list->listInfo().contains(QStringLiteral("Deleted Items")));

    // In a desktop sync list raw entries wait for conversion.
    device.useSyncEngine = true;
    auto synced = listFrom(QVariantMap{{QStringLiteral("Items"), list->dictionaryForFile().value("Items")}});
    EXPECT_EQ(synced->allCount(), 0);
    EXPECT_EQ(synced->oldFashionedItems().size(), 2);
    synced->mergeItems(list->dictionaryForFile());
    EXPECT_EQ(synced->oldFashionedItems().size(), 4);
}

TEST_F(ItemListStorageTest, StoredEntriesOfTheWrongKindAreSkippedWithALogLine)
{
    VXDictionary vx;
    vx.setMainObject(QStringLiteral("Anna"), QStringLiteral("first name"));
    vx.setObject(QStringLiteral("1"), VXDictionary::kSourceURI);
    const QVariantMap dict{
        {QStringLiteral("Items"),
         QVariantList{QStringLiteral("junk"), 5, QVariantMap(), QVariantMap{{QStringLiteral("vx-Data"), 5}},
                      QVariantMap{{QStringLiteral("vx-Dict"), QStringLiteral("x")}},
                      QVariantMap{{QStringLiteral("vx-Dict"), vx.realDictionary()}}}},
        {QStringLiteral("Deleted Items"), QStringLiteral("not a list")},
        {QStringLiteral("InvisibleDeletionElems"), QVariantList{3, QStringLiteral("ok")}},
        {QStringLiteral("SyncMode"), QStringLiteral("fast")},
        {QStringLiteral("SyncEngineChanges"), QVariantMap{{QStringLiteral("a"), 1}}},
        {QStringLiteral("Groups"), 7}};
    g_skipped.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordSkipped);
    auto list = listFrom(dict);
    qInstallMessageHandler(previous);
    EXPECT_EQ(list->allCount(), 1);
    EXPECT_EQ(list->invisibleDeletion(), QStringList{QStringLiteral("ok")});
    EXPECT_EQ(list->syncModeFromFile(), 0);
    EXPECT_TRUE(list->changesForSyncEngine().isEmpty());
    EXPECT_EQ(list->groups(), std::optional<QVariantMap>(QVariantMap()));
    EXPECT_GE(g_skipped.size(), 9) << g_skipped.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ItemListStorageTest, DiffCommandsReplaceChangedItemsAndDeleteGoneOnes)
{
    auto list = listFrom(QVariantMap{{QStringLiteral("SyncML-Protocol"), QStringLiteral("Phone")}});
    for (const char* uri : {"1", "2", "3"})
        list->addObject(fromText(card(QStringLiteral("N:Berg;Anna%1\r\n").arg(QLatin1String(uri))), "Phone",
                                 QLatin1String(uri)));
    auto same = list->copy();
    EXPECT_FALSE(list->createDiffCommands(*same));
    EXPECT_FALSE(list->createOldfashionedDiffCommands(*same));

    auto changed = std::dynamic_pointer_cast<QVVCardElem>(list->objectForURI(QStringLiteral("1")));
    (*changed->mainDict())[QStringLiteral("first name")] = QStringLiteral("Zora");
    changed->setChanged();
    list->removeObject(list->objectForURI(QStringLiteral("2")));
    const auto commands = list->createDiffCommands(*same);
    ASSERT_TRUE(commands);
    ASSERT_EQ(commands->size(), 2);
    const QVariantMap replace = commands->at(0).toMap();
    EXPECT_EQ(replace.value("Command"), QVariant(QStringLiteral("Replace")));
    EXPECT_EQ(replace.value("SourceURI"), QVariant(QStringLiteral("1")));
    EXPECT_TRUE(replace.value("vx-Data").toString().contains(QLatin1String("Zora")));
    EXPECT_FALSE(replace.contains(QStringLiteral("SourceParent")));
    const QVariantMap remove = commands->at(1).toMap();
    EXPECT_EQ(remove.value("Command"), QVariant(QStringLiteral("Delete")));
    EXPECT_EQ(remove.value("SourceURI"), QVariant(QStringLiteral("2")));
    EXPECT_EQ(list->holdDict().value("Items").toList().size(), 2);   // the raw form rewritten

    // A raw dictionary replaces every item; list info keys are only added.
    same->replaceData(QVariantMap{{QStringLiteral("Items"),
                                   QVariantList{QVariantMap{{QStringLiteral("vx-Data"), card(QStringLiteral("N:Neu;Nina\r\n"))},
                                                            {QStringLiteral("SourceURI"), QStringLiteral("8")},
                                                            {QStringLiteral("TEMP_DELETED_FLAG"), true}},
                                                QStringLiteral("junk")}}});
    ASSERT_EQ(same->allCount(), 1);
    EXPECT_TRUE(same->objectForURI(QStringLiteral("8"))->isDeleted());
    EXPECT_EQ(same->objectForURI(QStringLiteral("1")), nullptr);
    same->addOtherListinfo({{QStringLiteral("SyncML-Protocol"), QStringLiteral("Other")}, {QStringLiteral("New"), 1}});
    EXPECT_EQ(same->listInfo().value(QStringLiteral("SyncML-Protocol")), QVariant(QStringLiteral("Phone")));
    EXPECT_EQ(same->listInfo().value(QStringLiteral("New")), QVariant(1));

    EXPECT_EQ(QVSyncElemList::makeDiffCommand(QStringLiteral("Delete"), QStringLiteral("5"), QVariant(),
                                              QStringLiteral("p")),
              (QVariantMap{{"Command", "Delete"}, {"SourceURI", "5"}, {"SourceParent", "p"}}));
}

} // namespace
