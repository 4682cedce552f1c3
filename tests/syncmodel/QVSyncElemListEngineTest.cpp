#include "CalendarTestSupport.h"
#include "ListTestDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncMLChange.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include <gtest/gtest.h>

using platform::SyncChange;
namespace entity = platform::entity;

namespace {

class EngineTestTrash : public ItemTrash {
public:
    std::vector<std::pair<std::shared_ptr<QVSyncElem>, bool>> put;
    void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString&, bool conflict) override
    {
        put.emplace_back(elem, conflict);
    }
    QVariantList getList() override { return {}; }
    void setList(const QVariantList&) override {}
};

SyncChange engineAdd(const QString& id, const QVariantMap& record)
{
    QVariantList changes;
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        changes.append(SyncChange::setChange(it.key(), it.value()));
    return SyncChange(SyncChange::Add, id, changes, record);
}

QVariantMap engineContact(const QString& first)
{
    return {{platform::ISyncRecordEntityNameKey, entity::Contact}, {QStringLiteral("first name"), first}};
}

QVariantMap engineNumber(const QString& owner, const QString& value)
{
    return {{platform::ISyncRecordEntityNameKey, entity::PhoneNumber},
            {QStringLiteral("contact"), QVariantList{owner}},
            {QStringLiteral("type"), QStringLiteral("mobile")},
            {QStringLiteral("value"), value}};
}

QVSyncEngineElem* asEngine(const std::shared_ptr<QVSyncElem>& elem)
{
    return dynamic_cast<QVSyncEngineElem*>(elem.get());
}

QStringList engineSummary(const QList<SyncChange>& changes)
{
    static const char* const kTypes[] = {"?", "add", "modify", "delete"};
    QStringList lines;
    for (const SyncChange& c : changes)
        lines.append(QString::fromLatin1(kTypes[c.type()]) + u':' + c.recordIdentifier());
    return lines;
}

// The queue without confirming what is held.
QStringList engineQueued(const QVSyncElemList& list)
{
    QList<SyncChange> changes;
    for (const QVariant& stored : list.storedChangesForSyncEngine()) {
        SyncChange change;
        SyncChange::fromStoredDictionary(stored, change);
        changes.append(change);
    }
    return engineSummary(changes);
}

class EngineListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.useSyncEngine = true;
        list.setTrash(&trash);
    }
    // A contact pulled from the desktop: the main record and one number.
    std::shared_ptr<QVSyncElem> pullContact(const QString& id, const QString& first, const QString& numberId = {})
    {
        list.processOneSyncEngineChange(engineAdd(id, engineContact(first)), nullptr, false);
        if (!numberId.isEmpty())
            list.processOneSyncEngineChange(engineAdd(numberId, engineNumber(id, QStringLiteral("+4930111"))), nullptr,
                                            false);
        return findById(id);
    }
    std::shared_ptr<QVSyncElem> findById(const QString& id)
    {
        for (int i = 0; i < list.allCount(); ++i) {
            const auto elem = list.objectAtIndex_cs(i);
            if (asEngine(elem) && asEngine(elem)->elemUUID() == id)
                return elem;
        }
        return nullptr;
    }

    ListTestDevice device;
    EngineTestTrash trash;
    QVSyncElemList list{0, &device};
};

} // namespace

TEST_F(EngineListTest, QueuedOnlyWhenThePhoneGivesChangesAndHeldOnesWaitForConfirmation)
{
    const SyncChange change(SyncChange::Add, QStringLiteral("x"));
    device.fromDevice = false;
    list.addChangeForSyncEngine(change);
    list.addChangeForSyncEngineFromSyncML(change);
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());

    device.fromDevice = true;
    list.addChangeForSyncEngineFromSyncML(SyncChange(SyncChange::Add, QStringLiteral("held")));
    EXPECT_TRUE(list.storedChangesForSyncEngine().isEmpty());   // not in the queue yet
    list.discardChangesFromSyncMLForSyncEngine();
    list.confirmChangesFromSyncMLForSyncEngine();
    EXPECT_TRUE(list.storedChangesForSyncEngine().isEmpty());

    list.addChangeForSyncEngine(SyncChange(SyncChange::Add, QStringLiteral("first")));
    list.addChangeForSyncEngineFromSyncML(SyncChange(SyncChange::Add, QStringLiteral("held")));
    list.confirmChangesFromSyncMLForSyncEngine();
    EXPECT_EQ(list.storedChangesForSyncEngine().size(), 2);
    // Asking for the queue confirms what is held, after what is queued.
    list.addChangeForSyncEngineFromSyncML(SyncChange(SyncChange::Delete, QStringLiteral("late")));
    EXPECT_EQ(engineSummary(list.changesForSyncEngine()), (QStringList{"add:first", "add:held", "delete:late"}));

    QVSyncElemList other(0, &device);
    other.addChangeForSyncEngineFromSyncML(SyncChange(SyncChange::Modify, QStringLiteral("theirs")));
    list.addChangesFromSyncMLFromOtherList(other);
    EXPECT_EQ(list.changesForSyncEngine().size(), 4);

    list.addChangeForSyncEngineFromSyncML(change);
    list.clearChangesForSyncEngine();
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());

    // A list the desktop engine does not synchronize holds nothing back.
    device.useSyncEngine = false;
    list.addChangeForSyncEngineFromSyncML(change);
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());
}

TEST_F(EngineListTest, PulledNumberOfAnUnknownContactCreatesItWithTheGivenId)
{
    bool numberChanged = false;
    const QVariant record = list.processOneSyncEngineChange(
        engineAdd(QStringLiteral("Tarnex:P1"), engineNumber(QStringLiteral("Tarnex:C1"), QStringLiteral("+4930111"))),
        &numberChanged, false);
    EXPECT_TRUE(numberChanged);
    ASSERT_EQ(list.allCount(), 1);
    const auto contact = findById(QStringLiteral("Tarnex:C1"));
    ASSERT_NE(contact, nullptr);
    EXPECT_EQ(record.toMap().value(QStringLiteral("value")), QStringLiteral("+4930111"));
    EXPECT_EQ(asEngine(contact)->vxDict()->mainObjectForKey(QStringLiteral("phone numbers")).toList(),
              QVariantList{QStringLiteral("Tarnex:P1")});
    EXPECT_TRUE(contact->isChanged());

    // The contact's own add then fills the same item.
    numberChanged = false;
    list.processOneSyncEngineChange(engineAdd(QStringLiteral("Tarnex:C1"), engineContact(QStringLiteral("Ann"))),
                                    &numberChanged, false);
    EXPECT_FALSE(numberChanged);
    EXPECT_EQ(list.allCount(), 1);
    EXPECT_EQ(asEngine(contact)->vxDict()->mainObjectForKey(QStringLiteral("first name")), QStringLiteral("Ann"));
}

TEST_F(EngineListTest, PulledDeletesOfASubRecordKeepTheItemAndOfTheItemRemoveIt)
{
    const QString c1 = QStringLiteral("Tarnex:C1");
    const QString p1 = QStringLiteral("Tarnex:P1");
    pullContact(c1, QStringLiteral("Ann"), p1);
    const auto contact = findById(c1);
    ASSERT_NE(contact, nullptr);
    contact->setSourceURI(QStringLiteral("12"));   // on the phone
    contact->clearChanged();

    bool numberChanged = false;
    list.processOneSyncEngineChange(SyncChange(SyncChange::Delete, p1), &numberChanged, false);
    EXPECT_FALSE(numberChanged);
    EXPECT_EQ(findById(c1), contact);
    EXPECT_FALSE(asEngine(contact)->otherItem(p1).isValid());
    EXPECT_TRUE(contact->isChanged());

    list.processOneSyncEngineChange(SyncChange(SyncChange::Delete, QStringLiteral("Tarnex:unknown")), &numberChanged,
                                    false);
    EXPECT_FALSE(numberChanged);

    list.processOneSyncEngineChange(SyncChange(SyncChange::Delete, c1), &numberChanged, false);
    EXPECT_TRUE(numberChanged);
    EXPECT_TRUE(contact->isDeleted());             // on the phone: kept until the phone deletes it
    ASSERT_EQ(trash.put.size(), 1u);
    EXPECT_FALSE(trash.put[0].second);
    // The desktop deleted it: nothing goes back to it.
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());
}

TEST_F(EngineListTest, AffectedItemOfMainRecordsSubRecordsAndDeletes)
{
    const QString c1 = QStringLiteral("Tarnex:C1");
    pullContact(c1, QStringLiteral("Ann"), QStringLiteral("Tarnex:P1"));
    const QVariantMap group{{platform::ISyncRecordEntityNameKey, entity::Group}, {QStringLiteral("name"), "Friends"}};
    struct Case {
        const char* what;
        SyncChange change;
        QString expected;
    } cases[] = {
        {"main record", SyncChange(SyncChange::Modify, QStringLiteral("Tarnex:C2"), {}, engineContact("Bo")),
         QStringLiteral("Tarnex:C2")},
        {"sub-record", SyncChange(SyncChange::Modify, QStringLiteral("Tarnex:P9"), {}, engineNumber(c1, "1")), c1},
        {"delete of a sub-record", SyncChange(SyncChange::Delete, QStringLiteral("Tarnex:P1")), c1},
        {"delete of the item", SyncChange(SyncChange::Delete, c1), c1},
        {"delete of an unknown record", SyncChange(SyncChange::Delete, QStringLiteral("Tarnex:none")), QString()},
        {"group", SyncChange(SyncChange::Modify, QStringLiteral("G1"), {}, group), QString()},
        {"sub-record without owner",
         SyncChange(SyncChange::Modify, QStringLiteral("Tarnex:P8"), {},
                    QVariantMap{{platform::ISyncRecordEntityNameKey, entity::PhoneNumber}}),
         QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list.affectedElemUUID(c.change), c.expected) << c.what;

    QVSyncElemList calendar(1, &device);
    const QVariantMap alarm{{platform::ISyncRecordEntityNameKey, entity::DisplayAlarm},
                            {QStringLiteral("owner"), QVariantList{"Tarnex:E1"}}};
    EXPECT_EQ(calendar.affectedElemUUID(SyncChange(SyncChange::Modify, "Tarnex:A1", {}, alarm)), "Tarnex:E1");
    EXPECT_EQ(QVSyncElemList::commandTypeForName(entity::PhoneNumber), QStringLiteral("Phone Number"));
    EXPECT_EQ(QVSyncElemList::commandTypeForName(entity::Note), QStringLiteral(""));
}

TEST_F(EngineListTest, AllRecordsHoldEachItemsRecordsAndTheGroups)
{
    pullContact(QStringLiteral("Tarnex:C1"), QStringLiteral("Ann"), QStringLiteral("Tarnex:P1"));
    pullContact(QStringLiteral("Tarnex:C2"), QStringLiteral("Bo"));
    list.addGroupRelation(QStringLiteral("G1"), QStringLiteral("Tarnex:C1"));
    const auto gone = findById(QStringLiteral("Tarnex:C2"));
    gone->setSourceURI(QStringLiteral("4"));
    list.deleteItemByUser(gone);

    QStringList ids;
    for (const QVariant& record : list.getAllRecords()) {
        const QVariantMap map = record.toMap();
        ASSERT_TRUE(map.contains(QStringLiteral("Record-Dict")));
        ids.append(map.value(QStringLiteral("Record-ID")).toString());
    }
    ids.sort();
    EXPECT_EQ(ids, (QStringList{"G1", "Tarnex:C1", "Tarnex:P1"}));
}

TEST_F(EngineListTest, ChangeRecordsApplyInTheirOrderAndHoldTheirChanges)
{
    const QString c1 = QStringLiteral("Tarnex:C1");
    auto chit = [](const SyncChange& change) {
        return QVSyncMLChange::changeWithParams(QVSyncMLChange::kEngineChange,
                                                QVariantMap{{"ISyncChange", QVariant::fromValue(change)}});
    };
    list.addSyncMLChange(chit(engineAdd(c1, engineContact(QStringLiteral("Ann")))));
    list.addSyncMLChange(chit(SyncChange(SyncChange::Modify, c1,
                                         {SyncChange::setChange(QStringLiteral("first name"), QStringLiteral("Anna"))},
                                         engineContact(QStringLiteral("Anna")))));
    list.addSyncMLChange(QVSyncMLChange::changeWithParams(
        QVSyncMLChange::kAddData,
        QVariantMap{{"SourceURI", "7"}, {"vx-Data", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Carl\r\nEND:VCARD\r\n"}}));
    list.addSyncMLChange(QVSyncMLChange::changeWithParams(QVSyncMLChange::kAddData, QVariantMap{{"vx-Data", 5}}));
    EXPECT_TRUE(list.processSyncMLChanges());
    EXPECT_TRUE(list.changesFromDevice().empty());

    const auto ann = findById(c1);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(asEngine(ann)->vxDict()->mainObjectForKey(QStringLiteral("first name")), QStringLiteral("Anna"));
    EXPECT_FALSE(ann->isChanged());                // the phone told it: nothing to send back
    const auto carl = list.objectForURI(QStringLiteral("7"));
    ASSERT_NE(carl, nullptr);
    EXPECT_EQ(asEngine(carl)->vxDict()->mainObjectForKey(QStringLiteral("last name")), QStringLiteral("Berg"));
    // The engine changes wait for the session's success; the new item does not.
    EXPECT_EQ(engineQueued(list), QStringList{"add:" + asEngine(carl)->elemUUID()});
    EXPECT_EQ(list.changesForSyncEngine().size(), 3);
    EXPECT_FALSE(list.processSyncMLChanges());
}

TEST_F(EngineListTest, RemovingTheTaskEntityRemovesOnlyTheTasks)
{
    QVSyncElemList calendar(1, &device);
    const QVariantMap event{{platform::ISyncRecordEntityNameKey, entity::Event}, {QStringLiteral("summary"), "Meet"}};
    const QVariantMap task{{platform::ISyncRecordEntityNameKey, entity::Task}, {QStringLiteral("summary"), "Do"}};
    calendar.processOneSyncEngineChange(engineAdd(QStringLiteral("Tarnex:E1"), event), nullptr, false);
    calendar.processOneSyncEngineChange(engineAdd(QStringLiteral("Tarnex:T1"), task), nullptr, false);
    calendar.processOneSyncEngineChange(engineAdd(QStringLiteral("Tarnex:T2"), task), nullptr, false);
    ASSERT_EQ(calendar.allCount(), 3);
    calendar.objectAtIndex_cs(2)->setSourceURI(QStringLiteral("3"));   // T2 is on the phone

    calendar.removeItemsForEntity(entity::Task);
    ASSERT_EQ(calendar.allCount(), 2);
    EXPECT_FALSE(calendar.objectAtIndex_cs(0)->isDeleted());
    EXPECT_TRUE(calendar.objectAtIndex_cs(1)->isDeleted());
    EXPECT_EQ(calendar.nonDeletedAllElems(), 1);
}

TEST_F(EngineListTest, NewPhoneContactJoinsTheTargetGroupAndTheDesktopHearsOfIt)
{
    list.setTargetGroup(QStringLiteral("G1"));
    const auto contact = QVVCardElem::elemWithData(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\nTEL;CELL:+4930111\r\nEND:VCARD\r\n"),
        QStringLiteral("5"), QStringLiteral("Phone"), QString(), QString());
    ASSERT_TRUE(list.replaceItem(contact));
    const QString id = contact->elemUUID();
    EXPECT_EQ(contact->vxDict()->objectForKey(VXDictionary::kGroups).toList(), QVariantList{"G1"});
    const auto g1 = list.getAllRecords().last().toMap();
    EXPECT_EQ(g1.value("Record-ID"), "G1");
    EXPECT_EQ(g1.value("Record-Dict").toMap().value("members").toList(), QVariantList{id});
    // Held until the phone session succeeds: the number, the contact, the group.
    EXPECT_TRUE(list.storedChangesForSyncEngine().isEmpty());
    const QList<SyncChange> changes = list.changesForSyncEngine();
    ASSERT_EQ(changes.size(), 3);
    EXPECT_EQ(changes[1].recordIdentifier(), id);
    EXPECT_EQ(changes[2].type(), SyncChange::Modify);
    EXPECT_EQ(changes[2].changes()[0].toMap().value("value").toList(), QVariantList{id});

    // A phone that gives nothing to the desktop adds nothing.
    device.fromDevice = false;
    EXPECT_FALSE(list.replaceItem(QVVCardElem::elemWithData(QVariant(), "6", "Phone", QString(), QString())));
    EXPECT_EQ(list.objectForURI(QStringLiteral("6")), nullptr);
}

TEST_F(EngineListTest, DeletionByTheUserLeavesEveryGroupAndTellsTheDesktop)
{
    const QString c1 = QStringLiteral("Tarnex:C1");
    pullContact(c1, QStringLiteral("Ann"), QStringLiteral("Tarnex:P1"));
    pullContact(QStringLiteral("Tarnex:C2"), QStringLiteral("Bo"));
    for (const char* group : {"G1", "G2"}) {
        list.addGroupRelation(QLatin1String(group), c1);
        list.addGroupRelation(QLatin1String(group), QStringLiteral("Tarnex:C2"));
    }
    list.clearChangesForSyncEngine();
    const auto ann = findById(c1);
    ASSERT_FALSE(ann->isOnDevice());
    list.deleteItemByUser(ann);
    EXPECT_EQ(findById(c1), nullptr);              // not on the phone: gone at once
    ASSERT_EQ(trash.put.size(), 1u);
    for (const QVariant& record : list.getAllRecords()) {
        const QVariantMap map = record.toMap();
        if (map.value("Record-ID").toString().startsWith('G'))
            EXPECT_EQ(map.value("Record-Dict").toMap().value("members").toList(), QVariantList{"Tarnex:C2"});
    }
    EXPECT_EQ(engineSummary(list.changesForSyncEngine()),
              (QStringList{"delete:Tarnex:P1", "delete:" + c1, "modify:G1", "modify:G2"}));
    // By index, and twice: the second time changes nothing.
    list.deleteItemByUser(0);
    list.deleteItemByUser(0);
    EXPECT_EQ(list.allCount(), 0);
    EXPECT_EQ(trash.put.size(), 2u);
}

TEST_F(EngineListTest, PhoneItemsReplaceRawItemsAndDeletionsBySyncMLReachTheHeldQueue)
{
    const auto contact = QVVCardElem::elemWithData(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\nEND:VCARD\r\n"), QStringLiteral("5"),
        QStringLiteral("Phone"), QString(), QString());
    ASSERT_TRUE(list.replaceItem(contact));
    list.changesForSyncEngine();
    list.clearChangesForSyncEngine();
    EXPECT_TRUE(list.deleteItemBySyncML(QStringLiteral("5")));
    EXPECT_FALSE(list.deleteItemBySyncML(QStringLiteral("5")));
    EXPECT_EQ(list.allCount(), 0);
    EXPECT_TRUE(list.storedChangesForSyncEngine().isEmpty());
    EXPECT_EQ(engineSummary(list.changesForSyncEngine()), QStringList{"delete:" + contact->elemUUID()});
}

TEST_F(EngineListTest, ItemFormsAreAddedWithTheirIdsOrATemporaryOne)
{
    VXDictionary vx;
    vx.setMainObject(entity::Contact, platform::ISyncRecordEntityNameKey);
    vx.setMainObject(QStringLiteral("Ann"), QStringLiteral("first name"));
    vx.setObject(QStringLiteral("Tarnex:C5"), VXDictionary::kUUID);
    const auto added = list.addVXDictItem(QString(), vx, false, QString());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(asEngine(added)->elemUUID(), QStringLiteral("Tarnex:C5"));
    EXPECT_TRUE(added->sourceURI().startsWith(QStringLiteral("T-")));
    EXPECT_EQ(engineSummary(list.changesForSyncEngine()), QStringList{"add:Tarnex:C5"});

    list.addVXDataItem(QStringLiteral("9"), QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Carl\r\nEND:VCARD\r\n"),
                       QString());
    list.addVXDataItem(QStringLiteral("10"), QStringLiteral("no card"), QString());
    EXPECT_NE(list.objectForURI(QStringLiteral("9")), nullptr);
    EXPECT_EQ(list.allCount(), 2);
    // Property 4 (messages) has no item class.
    EXPECT_EQ(QVSyncElemList(4, &device).createNewElem(QVariant(), QString(), "vCard", QString(), QString()), nullptr);
}

TEST_F(EngineListTest, ItemsWithoutMergeAreQueuedAsAddDataOnASyncedListAndRawDataIsAppended)
{
    const QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\nEND:VCARD\r\n");
    list.addItemNoSort(QVVCardElem::elemWithData(text, QStringLiteral("3"), "Phone", QString(), QString()));
    EXPECT_EQ(list.allCount(), 0);
    ASSERT_EQ(list.changesFromDevice().size(), 1u);
    EXPECT_EQ(list.changesFromDevice()[0]->command(), QVSyncMLChange::kAddData);
    EXPECT_TRUE(list.processSyncMLChanges());
    const auto ann = list.objectForURI(QStringLiteral("3"));
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(asEngine(ann)->vxDict()->mainObjectForKey(QStringLiteral("first name")), QStringLiteral("Ann"));

    // A raw dictionary of another phone's form: its entries, the wrong ones skipped.
    const QVariantMap raw{{"Items", QVariantList{QVariantMap{{"vx-Data", text}, {"SourceURI", "8"}},
                                                 QStringLiteral("junk"), QVariantMap{{"SourceURI", "9"}},
                                                 QVariantMap{{"vx-Data", "no card"}, {"SourceURI", "10"}}}}};
    list.addData(raw);
    EXPECT_NE(list.objectForURI(QStringLiteral("8")), nullptr);
    EXPECT_EQ(list.allCount(), 2);

    device.useSyncEngine = false;
    list.addItemNoSort(QVVCardElem::elemWithData(text, QStringLiteral("4"), "Phone", QString(), QString()));
    EXPECT_NE(list.objectForURI(QStringLiteral("4")), nullptr);

    QVSyncElemList imported(0, &device);
    imported.importVCards({text, QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Carl\r\nEND:VCARD\r\n")});
    EXPECT_EQ(imported.allCount(), 2);
    EXPECT_EQ(imported.itemsOnDeviceCount(), 0);   // new on the phone
}

namespace {

// Event lists over the test database's "Shifted" phone, which keeps the
// years 2000 to 2030.
class EngineCalendarTest : public calendartest::CalendarTest {
protected:
    void SetUp() override
    {
        CalendarTest::SetUp();
        auto db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_path));
        device.description = std::make_shared<QVSyncDeviceDescription>(db);
        ASSERT_EQ(device.description->setupFromProtocol(QStringLiteral("Shifted")), 0);
        device.useSyncEngine = true;
        list.setTrash(&trash);
    }
    std::shared_ptr<QVVCalendarElem> phoneEvent(const QString& body)
    {
        return fromText(vcal(body), "Shifted", QStringLiteral("1"));
    }
    // The stored version: the same event, read from the phone and added.
    std::shared_ptr<QVVCalendarElem> storedEvent(const QString& body)
    {
        auto event = phoneEvent(body);
        list.addObject(event);
        return event;
    }
    QStringList chitNames()
    {
        QStringList names;
        for (const auto& record : list.changesFromDevice()) {
            const auto change = record->params().toMap().value("ISyncChange").value<SyncChange>();
            for (const QVariant& c : change.changes())
                names.append(c.toMap().value("name").toString());
        }
        return names;
    }

    ListTestDevice device;
    EngineTestTrash trash;
    QVSyncElemList list{1, &device};
};

} // namespace

TEST_F(EngineCalendarTest, ItemChangedOnBothSidesGoesToTheTrashAsConflictUnlessThePhoneIsMaster)
{
    for (bool master : {false, true}) {
        SCOPED_TRACE(master);
        list.removeAllObjects();
        trash.put.clear();
        device.master = master;
        const auto stored = storedEvent(QStringLiteral("SUMMARY:Meet\r\nDTSTART:20240301T100000\r\n"));
        stored->setChanged();
        const auto incoming = phoneEvent(QStringLiteral("SUMMARY:Meeting\r\nDTSTART:20240301T100000\r\n"));
        EXPECT_EQ(list.replaceItem(incoming), master);
        ASSERT_EQ(trash.put.size(), 1u);
        EXPECT_TRUE(trash.put[0].second);
        if (master) {
            EXPECT_NE(trash.put[0].first, incoming);   // the version before the change
            EXPECT_FALSE(stored->isChanged());
            EXPECT_TRUE(chitNames().contains("summary"));
            list.processSyncMLChanges();
            EXPECT_EQ(stored->descriptionString(), QStringLiteral("Meeting"));
        } else {
            EXPECT_EQ(trash.put[0].first, incoming);
            EXPECT_TRUE(list.changesFromDevice().empty());
        }
    }
}

TEST_F(EngineCalendarTest, EventWhoseYearThePhoneClampedKeepsTheDesktopsYear)
{
    const auto stored = storedEvent(QStringLiteral("SUMMARY:Launch\r\nDTSTART:20350301T100000\r\nDTEND:20350301T110000\r\n"));
    const auto incoming =
        phoneEvent(QStringLiteral("SUMMARY:Launch!\r\nDTSTART:20300301T100000\r\nDTEND:20300301T110000\r\n"));
    ASSERT_TRUE(list.replaceItem(incoming));
    const QStringList names = chitNames();
    EXPECT_TRUE(names.contains("summary")) << names.join(',').toStdString();
    EXPECT_FALSE(names.contains("start date")) << names.join(',').toStdString();
    EXPECT_FALSE(names.contains("end date")) << names.join(',').toStdString();

    // A year the phone keeps is a real change.
    list.removeAllObjects();
    storedEvent(QStringLiteral("SUMMARY:Launch\r\nDTSTART:20350301T100000\r\n"));
    ASSERT_TRUE(list.replaceItem(phoneEvent(QStringLiteral("SUMMARY:Launch\r\nDTSTART:20250301T100000\r\n"))));
    EXPECT_TRUE(chitNames().contains("start date"));
}

TEST_F(EngineCalendarTest, CalendarItemWithoutTargetJoinsTheSharedDefaultCalendar)
{
    device.calendar = QStringLiteral("CAL-1");
    const auto incoming = phoneEvent(QStringLiteral("SUMMARY:Meet\r\nDTSTART:20240301T100000\r\n"));
    ASSERT_TRUE(list.replaceItem(incoming));
    EXPECT_EQ(incoming->vxDict()->mainObjectForKey("calendar").toList(), QVariantList{"CAL-1"});
    list.setTargetGroup(QStringLiteral("CAL-2"));
    const auto second = fromText(vcal(QStringLiteral("SUMMARY:Other\r\nDTSTART:20240302T100000\r\n")), "Shifted", "2");
    ASSERT_TRUE(list.replaceItem(second));
    EXPECT_EQ(second->vxDict()->mainObjectForKey("calendar").toList(), QVariantList{"CAL-2"});
}

TEST_F(EngineCalendarTest, PhoneVersionOfAnItemDeletedHereWinsOnlyWhenThePhoneIsMaster)
{
    for (bool master : {false, true}) {
        SCOPED_TRACE(master);
        list.removeAllObjects();
        trash.put.clear();
        device.master = master;
        const auto stored = storedEvent(QStringLiteral("SUMMARY:Meet\r\nDTSTART:20240301T100000\r\n"));
        stored->setDeleted();
        const auto incoming = phoneEvent(QStringLiteral("SUMMARY:Meeting\r\nDTSTART:20240301T100000\r\n"));
        EXPECT_EQ(list.replaceItem(incoming), master);
        ASSERT_EQ(trash.put.size(), 1u);
        EXPECT_EQ(trash.put[0].first, master ? std::shared_ptr<QVSyncElem>(stored) : incoming);
        EXPECT_EQ(trash.put[0].second, master);
        // The phone's version alone holds its id: no deletion of it is left.
        EXPECT_EQ(list.objectForURI(QStringLiteral("1")), master ? std::shared_ptr<QVSyncElem>(incoming) : stored);
        EXPECT_EQ(list.allCount(), 1);
    }
}
