#include "ListTestDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"
#include "formats/VXDictionary.h"

#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace {

// Which comparison the last sort asked.
QString g_lastComparison;

class ListTestElem : public QVSyncEngineElem {
public:
    ListTestElem(const QString& uri, const QString& identity)
        : QVSyncEngineElem(nullptr, QStringLiteral("u-") + identity, uri, QStringLiteral("vCard"), QString(), QString())
        , identity(identity)
    {
        _allContentString = identity;
    }
    QString getIdentityString() const override { return identity; }
    int defaultComparisation(const QVSyncElem& other) const override { return compare("dflt", other); }
    int titleComparisation(const QVSyncElem& o) const override { return compare("btit", o); }
    int urlComparisation(const QVSyncElem& o) const override { return compare("burl", o); }
    int dateComparisation(const QVSyncElem& o) const override { return compare("date", o); }
    int descriptionComparisation(const QVSyncElem& o) const override { return compare("desc", o); }
    int eventTypeComparisation(const QVSyncElem& o) const override { return compare("etyp", o); }
    int firstComparisation(const QVSyncElem& o) const override { return compare("firs", o); }
    int lastComparisation(const QVSyncElem& o) const override { return compare("last", o); }
    int locationComparisation(const QVSyncElem& o) const override { return compare("loca", o); }
    int noteComparisation(const QVSyncElem& o) const override { return compare("note", o); }
    int numberComparisation(const QVSyncElem& o) const override { return compare("numb", o); }
    int orgComparisation(const QVSyncElem& o) const override { return compare("org ", o); }
    int smsComparisation(const QVSyncElem& o) const override { return compare("stxt", o); }
    int typeComparisation(const QVSyncElem& o) const override { return compare("type", o); }
    int onPhoneComparisation(const QVSyncElem& o) const override { return compare("onph", o); }
    bool isMemberOfRequestedGroups(const QStringList& requested) override { return requested.contains(group); }
    bool isMemberOfRequestedCalendars(const QStringList& requested) override { return requested.contains(group); }
    bool isChildOfRequestedFather(const QStringList& requested, SyncElemLookup*) override
    {
        return requested.contains(group);
    }
    bool isFolder() const override { return folder; }
    int positionNumber() const override { return position; }
    void setNewPosition(int newPosition, SyncElemLookup*) override
    {
        position = newPosition;
        ++renumbered;
    }

    QString identity;
    QString group = QStringLiteral("g1");
    bool folder = false;
    int position = -1;
    int renumbered = 0;

private:
    int compare(const char* name, const QVSyncElem& other) const
    {
        g_lastComparison = QLatin1String(name);
        return identity.compare(static_cast<const ListTestElem&>(other).identity);
    }
};

std::shared_ptr<ListTestElem> listElem(const QString& uri, const QString& identity)
{
    return std::make_shared<ListTestElem>(uri, identity);
}

QString order(const QVSyncElemList& list, bool searchView = false)
{
    QString text;
    for (int i = 0; i < (searchView ? list.count_cs() : list.count()); ++i)
        text += (searchView ? list.objectAtIndex_cs(i) : list.objectAtIndex(i))->getIdentityString();
    return text;
}

quint32 code(const char (&text)[5])
{
    return (quint32(quint8(text[0])) << 24) | (quint32(quint8(text[1])) << 16) | (quint32(quint8(text[2])) << 8) |
           quint32(quint8(text[3]));
}

// A desktop sync list whose visible items are the members of group "g1".
std::unique_ptr<QVSyncElemList> groupedList(ListTestDevice& device, int property = 0)
{
    device.useSyncEngine = true;
    auto list = QVSyncElemList::fromFileDictionary(std::nullopt, QStringLiteral("Contacts"), property, &device);
    list->setEnabledGroups(QStringList{QStringLiteral("g1")});
    return list;
}

} // namespace

TEST(QVSyncElemList, MaxItemsOnDeviceKeepsDefaultUnlessPhoneNamesALimit)
{
    ListTestDevice device;
    EXPECT_EQ(QVSyncElemList(0, &device).maxItemsOnDevice(), 63999);
    device.contacts = 500;
    EXPECT_EQ(QVSyncElemList(0, &device).maxItemsOnDevice(), 500);
    EXPECT_EQ(QVSyncElemList(1, &device).maxItemsOnDevice(), 63999);
    EXPECT_EQ(QVSyncElemList(0, nullptr).maxItemsOnDevice(), 63999);
}

TEST(QVSyncElemList, LookupsIgnoreCaseAndFollowChangedIdentities)
{
    QVSyncElemList list(0, nullptr);
    auto a = listElem(QStringLiteral("1"), QStringLiteral("Anna Berg"));
    auto b = listElem(QStringLiteral("2"), QStringLiteral("Carl Dorn"));
    list.addObject(a);
    list.addObject(b);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("anna BERG")), a);
    EXPECT_EQ(list.objectForURI(QStringLiteral("2")), b);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("nobody")), nullptr);

    // The identity and the id change after indexing: no stale match.
    a->identity = QStringLiteral("Anna Lind");
    a->setSourceURI(QStringLiteral("7"));
    a->setElemUUID(QStringLiteral("u-7"));
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("Anna Berg")), nullptr);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("anna lind")), a);
    EXPECT_EQ(list.objectForURI(QStringLiteral("1")), nullptr);
    EXPECT_EQ(list.objectForURI(QStringLiteral("7")), a);
    EXPECT_EQ(list.UUIDForURI(QStringLiteral("7")), QStringLiteral("u-7"));
    EXPECT_EQ(list.objectForUUID(QStringLiteral("u-7")), a);
    EXPECT_EQ(list.objectForUUID(QStringLiteral("u-Anna Berg")), nullptr);
    EXPECT_EQ(list.objectForUUID(QStringLiteral("u-Carl Dorn")), b);

    list.removeObject(a);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("Anna Lind")), nullptr);
}

TEST(QVSyncElemList, IndexAccessAnswersNullPastTheEndAndIgnoresBadIndexes)
{
    QVSyncElemList list(0, nullptr);
    auto a = listElem(QStringLiteral("1"), QStringLiteral("a"));
    list.addObject(a);
    EXPECT_EQ(list.objectAtIndex(0), a);
    for (int index : {-1, 1, 5}) {
        EXPECT_EQ(list.objectAtIndex(index), nullptr) << index;
        EXPECT_EQ(list.objectAtIndex_cs(index), nullptr) << index;
    }
    list.insertObjectAtIndex(listElem(QStringLiteral("2"), QStringLiteral("b")), 3);
    list.removeObjectAtIndex(-1);
    list.removeObjectAtIndex(1);
    EXPECT_EQ(list.allCount(), 1);
}

TEST(QVSyncElemList, InsertAndRemoveByIndexWhileSharedAndAfterParting)
{
    ListTestDevice device;
    auto list = groupedList(device);
    list->setEnabledGroups(std::nullopt);
    auto a = listElem(QStringLiteral("1"), QStringLiteral("a"));
    auto b = listElem(QStringLiteral("2"), QStringLiteral("b"));
    auto c = listElem(QStringLiteral("3"), QStringLiteral("c"));
    list->addObject(a);
    list->addObject(b);
    ASSERT_TRUE(list->elemsShareAllElems());
    list->insertObjectAtIndex(c, 1);               // one array: at that very place, unsorted
    EXPECT_EQ(order(*list), QStringLiteral("acb"));
    list->removeObjectAtIndex(0);
    EXPECT_EQ(list->allCount(), 2);
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("a")), nullptr);

    // Parted: "h" is not in the enabled group, so it is not shown.
    auto h = listElem(QStringLiteral("8"), QStringLiteral("h"));
    h->group = QStringLiteral("g2");
    list->addObject(h);
    list->addObject(a);
    list->setEnabledGroups(QStringList{QStringLiteral("g1")});
    list->recalcUsableItems();
    ASSERT_FALSE(list->elemsShareAllElems());
    EXPECT_EQ(order(*list), QStringLiteral("abc"));
    EXPECT_EQ(list->allCount(), 4);
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("H")), h);   // contacts: hidden ones count too

    // Removal takes the item out of the list; insertion puts it before the
    // item shown at that index; both recalculate (and so sort) the view.
    list->removeObjectAtIndex(1);
    EXPECT_EQ(order(*list), QStringLiteral("ac"));
    EXPECT_EQ(list->allCount(), 3);
    EXPECT_EQ(list->objectForURI(QStringLiteral("2")), nullptr);
    auto d = listElem(QStringLiteral("4"), QStringLiteral("d"));
    list->insertObjectAtIndex(d, 1);
    EXPECT_EQ(order(*list), QStringLiteral("acd"));
    EXPECT_EQ(list->allElems()[0], d);              // before "c" among all items
    EXPECT_EQ(list->allElems()[1], c);
    list->insertObjectAtIndex(listElem(QStringLiteral("5"), QStringLiteral("e")), 3);   // at the end: first of all
    EXPECT_EQ(list->allElems()[0]->getIdentityString(), QStringLiteral("e"));
    EXPECT_EQ(list->allCount(), 5);

    // The search view's forms work on what the search shows.
    EXPECT_FALSE(list->constrainToSearchString(QString()));
    EXPECT_TRUE(list->constrainToSearchString(QStringLiteral("d")));
    EXPECT_EQ(order(*list, true), QStringLiteral("d"));
    EXPECT_EQ(list->objectAtIndex_cs(1), nullptr);
    EXPECT_EQ(list->indexOfObject_cs(d), 0);
    EXPECT_EQ(list->indexOfObjectWithURI_cs(QStringLiteral("4")), 0);
    EXPECT_EQ(list->indexOfObjectWithUUID(QStringLiteral("u-d")), 2);
    list->removeObjectAtIndex_cs(0);
    EXPECT_EQ(list->count_cs(), 0);
    EXPECT_EQ(list->objectForURI(QStringLiteral("4")), nullptr);
    list->insertObjectAtIndex_cs(d, 0);
    EXPECT_EQ(list->count_cs(), 1);
    list->removeObjectAtIndex_cs(3);               // out of range: nothing
    EXPECT_TRUE(list->constrainToSearchString(QString()));
    EXPECT_EQ(order(*list, true), order(*list));
}

TEST(QVSyncElemList, TheSearchViewFollowsEditsWhileTheVisibleItemsAreAllItems)
{
    ListTestDevice device;
    QVSyncElemList list(0, &device);
    list.addObject(listElem(QStringLiteral("1"), QStringLiteral("dora")));
    list.addObject(listElem(QStringLiteral("2"), QStringLiteral("carl")));
    ASSERT_TRUE(list.elemsShareAllElems());
    ASSERT_TRUE(list.constrainToSearchString(QStringLiteral("d")));
    ASSERT_EQ(list.count_cs(), 1);
    list.addObject(listElem(QStringLiteral("3"), QStringLiteral("dirk")));
    EXPECT_EQ(list.count_cs(), 2);
    list.removeObjectAtIndex(0);                   // "dora"
    EXPECT_EQ(list.count_cs(), 1);
    EXPECT_EQ(list.objectAtIndex_cs(0)->getIdentityString(), QStringLiteral("dirk"));
    list.insertObjectAtIndex(listElem(QStringLiteral("4"), QStringLiteral("dana")), 0);
    EXPECT_EQ(list.count_cs(), 2);
}

TEST(QVSyncElemList, CalendarLookupsSeeOnlyTheShownCalendars)
{
    ListTestDevice device;
    auto list = groupedList(device, 1);
    auto shown = listElem(QStringLiteral("1"), QStringLiteral("Meeting"));
    auto hidden = listElem(QStringLiteral("2"), QStringLiteral("Party"));
    hidden->group = QStringLiteral("g2");
    list->addObject(shown);
    list->addObject(hidden);
    list->recalcUsableItems();
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("meeting")), shown);
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("party")), nullptr);
    EXPECT_EQ(list->objectForUUID(QStringLiteral("u-Party")), hidden);

    // Two items of one identity: the shown one answers, and the other once
    // the first is gone.
    auto twin = listElem(QStringLiteral("3"), QStringLiteral("meeting"));
    list->addObject(twin);
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("Meeting")), shown);
    list->removeObject(shown);
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("Meeting")), twin);
}

TEST(QVSyncElemList, ItemMakersAndCountsAndCleanUp)
{
    ListTestDevice device;
    QVSyncElemList list(0, &device);
    EXPECT_EQ(QVSyncElemList(2, &device).createElem(QStringLiteral("x")), nullptr);
    const auto made = list.getOrCreateElem(QStringLiteral("Tarnex:1"));
    ASSERT_NE(dynamic_cast<QVVCardElem*>(made.get()), nullptr);
    EXPECT_EQ(list.getOrCreateElem(QStringLiteral("Tarnex:1")), made);
    EXPECT_EQ(list.allCount(), 1);
    EXPECT_FALSE(made->isOnDevice());
    EXPECT_TRUE(list.isDirty());                   // not on the phone yet

    auto kept = listElem(QStringLiteral("1"), QStringLiteral("kept"));
    auto old = listElem(QStringLiteral("2"), QStringLiteral("old"));
    auto gone = listElem(QStringLiteral("3"), QStringLiteral("gone"));
    for (const auto& elem : {kept, old, gone})
        list.addObject(elem);
    kept->setChanged();
    gone->setDeleted();
    EXPECT_EQ(list.validEntries(), 3);
    EXPECT_EQ(list.itemsOnDeviceCount(), 2);
    EXPECT_EQ(list.deletedAllElems().size(), 1u);
    EXPECT_EQ(list.nonDeletedElems().size(), 3u);

    list.removeItemFromCleanUpList(QStringLiteral("1"));   // not deleted: stays
    EXPECT_EQ(list.allCount(), 4);
    list.removeAllOldObjects();                             // "old" (unchanged, on the phone) and "gone"
    EXPECT_EQ(order(list), QStringLiteral("kept") + made->getIdentityString());
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("old")), nullptr);
    kept->setDeleted();
    list.removeItemFromCleanUpList(QStringLiteral("1"));
    EXPECT_EQ(list.allCount(), 1);
    list.removeAllObjects();
    EXPECT_EQ(list.objectForUUID(QStringLiteral("Tarnex:1")), nullptr);
    EXPECT_FALSE(list.isDirty());
}

TEST(QVSyncElemList, CompareCalendarDatesPutsMissingDatesFirst)
{
    const QDateTime early(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
    const QDateTime late = early.addSecs(1);
    const struct {
        QDateTime first, second;
        int expected;
    } cases[] = {{early, QDateTime(), 1}, {QDateTime(), QDateTime(), 0}, {QDateTime(), early, -1},
                 {early, late, -1},       {late, early, 1},             {early, early, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(QVSyncElemList::compareCalendarDates(c.first, c.second), c.expected)
            << c.first.toString().toStdString() << " / " << c.second.toString().toStdString();
}

TEST(QVSyncElemList, DeleteByUserOfItemNotOnPhoneGoesAtOnceAndTellsEngine)
{
    ListTestDevice device;
    device.useSyncEngine = true;
    QVSyncElemList list(0, &device);
    auto fresh = listElem(QStringLiteral("T-3"), QStringLiteral("new one"));
    auto onPhone = listElem(QStringLiteral("5"), QStringLiteral("old one"));
    list.addObject(fresh);
    list.addObject(onPhone);
    list.deleteItemByUser(fresh);
    EXPECT_EQ(list.allCount(), 1);
    list.deleteItemByUser(onPhone);
    EXPECT_EQ(list.allCount(), 1);
    EXPECT_TRUE(onPhone->isDeleted());
    EXPECT_EQ(list.nonDeletedAllElems(), 0);
    ASSERT_EQ(list.changesForSyncEngine().size(), 2);
    EXPECT_EQ(list.changesForSyncEngine()[0].type(), platform::SyncChange::Delete);
    EXPECT_EQ(list.changesForSyncEngine()[0].recordIdentifier(), QStringLiteral("u-new one"));
}

namespace {
class RecordingTrash : public ItemTrash {
public:
    QVariantList list;
    std::vector<std::pair<std::shared_ptr<QVSyncElem>, bool>> put;
    void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString&, bool conflict) override
    {
        put.emplace_back(elem, conflict);
        list.append(elem->getIdentityString());
    }
    QVariantList getList() override { return list; }
    void setList(const QVariantList& l) override { list = l; }
};
} // namespace

TEST(QVSyncElemList, UndoSnapshotRestoresItemsAndTrashAndKeepsHiddenItems)
{
    ListTestDevice device;
    RecordingTrash trash;
    auto list = groupedList(device);
    list->setTrash(&trash);
    auto shown = listElem(QStringLiteral("1"), QStringLiteral("alpha"));
    auto hidden = listElem(QStringLiteral("2"), QStringLiteral("beta"));
    hidden->group = QStringLiteral("g2");
    auto fresh = listElem(QStringLiteral("T-9"), QStringLiteral("alpine"));
    list->addObject(shown);
    list->addObject(hidden);
    list->recalcUsableItems();
    ASSERT_EQ(list->count(), 1);                   // "beta" is in a group not shown
    const auto state = list->getCurrentState();

    list->deleteItemByUser(shown);
    trash.putItemToTrash(shown, QString(), false);
    list->addObject(fresh);
    list->clearChangesForSyncEngine();

    list->setStateFromDictionary(state);
    EXPECT_FALSE(shown->isDeleted());
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("beta")), hidden);   // not visible then, kept
    EXPECT_EQ(list->getItemForIdentity(QStringLiteral("alpine")), nullptr); // added since, gone
    EXPECT_EQ(list->allCount(), 2);
    EXPECT_EQ(list->count(), 1);
    EXPECT_TRUE(trash.list.isEmpty());
    ASSERT_EQ(list->changesForSyncEngine().size(), 1);
    EXPECT_EQ(list->changesForSyncEngine()[0].type(), platform::SyncChange::Add);
}

TEST(QVSyncElemList, StoredChangesReadBackEqualAndWrongEntriesAreSkipped)
{
    ListTestDevice device;
    QVSyncElemList list(0, &device);
    list.addChangeForSyncEngine(platform::SyncChange(
        platform::SyncChange::Modify, QStringLiteral("r1"),
        {platform::SyncChange::setChange(QStringLiteral("first name"), QStringLiteral("Anna"))}));
    list.addChangeForSyncEngine(platform::SyncChange(platform::SyncChange::Delete, QStringLiteral("r2")));
    QVariantList stored = list.storedChangesForSyncEngine();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0].toMap().value("type"), QVariant(2));

    stored.append(QStringLiteral("not a change"));
    stored.append(QVariantMap{{"type", 9}, {"recordIdentifier", "r3"}});
    stored.append(QVariantMap{{"type", 1}, {"recordIdentifier", 5}});
    stored.append(QVariantMap{{"type", 1}, {"recordIdentifier", "r4"}, {"changes", "junk"}});
    QVSyncElemList back(0, &device);
    back.fillChangesForSyncEngineFromDict(stored);
    ASSERT_EQ(back.changesForSyncEngine().size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(back.changesForSyncEngine()[i].type(), list.changesForSyncEngine()[i].type());
        EXPECT_EQ(back.changesForSyncEngine()[i].recordIdentifier(), list.changesForSyncEngine()[i].recordIdentifier());
        EXPECT_EQ(back.changesForSyncEngine()[i].changes(), list.changesForSyncEngine()[i].changes());
    }
}

TEST(QVSyncElemList, DefaultSortWithDescendingNoReversesTheComparisonsOrder)
{
    QVSyncElemList list(0, nullptr);
    for (const char* name : {"b", "c", "a"})
        list.addObject(listElem(QLatin1String(name), QLatin1String(name)));
    list.sortBy(QVSyncElemList::kSortDefault, true);
    EXPECT_EQ(order(list), QStringLiteral("abc"));
    list.sortBy(QVSyncElemList::kSortDefault, false);
    EXPECT_EQ(order(list), QStringLiteral("cba"));
    list.reverse();
    EXPECT_EQ(order(list), QStringLiteral("abc"));
}

TEST(QVSyncElemList, EverySortCodePicksItsComparisonAndOthersSortByOnPhone)
{
    QVSyncElemList list(0, nullptr);
    list.addObject(listElem(QStringLiteral("1"), QStringLiteral("b")));
    list.addObject(listElem(QStringLiteral("2"), QStringLiteral("a")));
    const char* const known[] = {"btit", "burl", "date", "desc", "dflt", "etyp", "firs",
                                 "last", "loca", "note", "numb", "org ", "stxt", "type"};
    for (const char* name : known) {
        g_lastComparison.clear();
        list.sortBy(code(*reinterpret_cast<const char(*)[5]>(name)), true);
        EXPECT_EQ(g_lastComparison, QLatin1String(name)) << name;
    }
    for (quint32 other : {code("DFLT"), code("org_"), code("xxxx"), quint32(0), quint32(0xFFFFFFFF)}) {
        g_lastComparison.clear();
        list.sortBy(other, true);
        EXPECT_EQ(g_lastComparison, QStringLiteral("onph")) << std::hex << other;
    }
}

TEST(QVSyncElemList, ComparisonsAnItemLacksAnswerAsItsDefault)
{
    VXDictionary zoeDict;
    zoeDict.setMainObject(QStringLiteral("Zoe"), QStringLiteral("first name"));
    VXDictionary adaDict;
    adaDict.setMainObject(QStringLiteral("Ada"), QStringLiteral("first name"));
    const auto zoe = QVVCardElem::vCardWithDict(&zoeDict, QStringLiteral("1"), QString(), QString(), QString(), QString());
    const auto ada = QVVCardElem::vCardWithDict(&adaDict, QStringLiteral("2"), QString(), QString(), QString(), QString());
    EXPECT_GT(zoe->defaultComparisation(*ada), 0);
    for (auto comparison : {&QVSyncElem::smsComparisation, &QVSyncElem::titleComparisation,
                            &QVSyncElem::dateComparisation, &QVSyncElem::numberComparisation})
        EXPECT_EQ(((*zoe).*comparison)(*ada), zoe->defaultComparisation(*ada));
}

TEST(QVSyncElemList, ChangedNotificationByPropertyCarriesAllAndThePhone)
{
    ListTestDevice device;
    auto& center = platform::NotificationCenter::defaultCenter();
    QStringList seen;
    int observer = 0;
    center.addObserver(&observer, QString(), &device, [&](const platform::Notification& n) {
        if (n.userInfo.value(QStringLiteral("UUID")) == QStringLiteral("ALL"))
            seen.append(n.name);
    });
    for (int property : {0, 1, 2, 3, 4, 5})
        QVSyncElemList(property, &device).postChangedNotification();
    center.removeObserver(&observer);
    EXPECT_EQ(seen, (QStringList{"DZ-ContactInvalidated", "DZ-CalendarInvalidated", "DZ-NoteInvalidated",
                                 "DZ-BookmarkInvalidated"}));
}

TEST(QVSyncElemList, CreateNewElemPicksTheClassByPropertyAndTakesATemporaryId)
{
    ListTestDevice device;
    EXPECT_EQ(QVSyncElemList(4, &device).createNewElem(QVariant(), QString(), "vCard", QString(), QString()), nullptr);
    EXPECT_EQ(QVSyncElemList(2, &device).createNewElem(QVariant(), QString(), "vCard", QString(), QString()), nullptr);
    QVSyncElemList contacts(0, &device);
    contacts.setHasOnlyFirstLast(true);
    const auto contact = contacts.createNewElem(QVariant(), QString(), "vCard", QString(), QString());
    ASSERT_NE(dynamic_cast<QVVCardElem*>(contact.get()), nullptr);
    EXPECT_TRUE(contact->sourceURI().startsWith(QStringLiteral("T-"))) << contact->sourceURI().toStdString();
    for (int property : {1, 5, 6}) {
        const auto event = QVSyncElemList(property, &device).createNewElem(QVariant(), "12", "vCal", QString(), QString());
        EXPECT_NE(dynamic_cast<QVVCalendarElem*>(event.get()), nullptr) << property;
        EXPECT_EQ(event->sourceURI(), QStringLiteral("12"));
    }
}

TEST(QVSyncElemList, AnEventIsFoundByItsNewIdentityAfterAChange)
{
    VXDictionary vx;
    vx.setMainObject(QStringLiteral("Dentist"), QStringLiteral("summary"));
    vx.setMainObject(QDateTime(QDate(2026, 3, 4), QTime(9, 0), Qt::UTC), QStringLiteral("start date"));
    const auto event =
        QVVCalendarElem::vCalendarWithDict(&vx, QStringLiteral("Tarnex:e1"), QStringLiteral("7"), QString(), QString(), QString());
    QVSyncElemList list(1, nullptr);
    list.addObject(event);
    const QString before = event->getIdentityString();
    ASSERT_EQ(list.getItemForIdentity(before.toUpper()), event);

    (*event->mainDict())[QStringLiteral("summary")] = QStringLiteral("Doctor");
    event->setChanged();
    const QString after = event->getIdentityString();
    ASSERT_NE(after, before);
    EXPECT_EQ(list.getItemForIdentity(before), nullptr);
    EXPECT_EQ(list.getItemForIdentity(after), event);
    EXPECT_EQ(list.objectForUUID(QStringLiteral("Tarnex:e1")), event);
}

TEST(QVSyncElemList, BookmarksShowTheTargetFoldersChildrenAndAreRenumbered)
{
    ListTestDevice device;
    auto list = groupedList(device, 3);
    list->setTargetGroup(QStringLiteral("g1"));
    const int positions[] = {5, 2, 3, 7};
    std::vector<std::shared_ptr<ListTestElem>> marks;
    for (int i = 0; i < 4; ++i) {
        marks.push_back(listElem(QString::number(i), QStringLiteral("m%1").arg(i)));
        marks.back()->position = positions[i];
        list->addObject(marks.back());
    }
    marks[2]->setDeleted();
    auto folder = listElem(QStringLiteral("9"), QStringLiteral("folder"));
    folder->folder = true;
    auto elsewhere = listElem(QStringLiteral("8"), QStringLiteral("other"));
    elsewhere->group = QStringLiteral("g2");
    list->addObject(folder);
    list->addObject(elsewhere);
    list->recalcUsableItems();
    EXPECT_EQ(list->count(), 4);                   // no folder, nothing of another folder
    EXPECT_EQ(list->highestPositionForFolder(QStringLiteral("g1")), 7);
    EXPECT_EQ(list->highestPositionForFolder(QStringLiteral("none")), 0);

    marks[1]->position = 0;                       // already right: kept
    list->recalcPositionsForFolder(QStringLiteral("g1"));
    EXPECT_EQ(marks[1]->position, 0);
    EXPECT_EQ(marks[1]->renumbered, 0);
    EXPECT_EQ(marks[0]->position, 1);
    EXPECT_EQ(marks[3]->position, 2);
    EXPECT_EQ(marks[2]->position, 3);             // deleted: skipped
}

TEST(QVSyncElemList, StartingFromScratchTellsThePhonesListeners)
{
    ListTestDevice device;
    auto& center = platform::NotificationCenter::defaultCenter();
    QVariantMap seen;
    int observer = 0;
    center.addObserver(&observer, QStringLiteral("SyncEngineActive"), &device,
                       [&](const platform::Notification& n) { seen = n.userInfo; });
    QVSyncElemList(0, &device).mergeFromScratch(QVSyncElemList::kFromScratchDevice);
    center.removeObserver(&observer);
    EXPECT_EQ(seen, (QVariantMap{{"Active", false}, {"SetupChanged", true}}));
}
