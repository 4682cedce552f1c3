#include "ListTestDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace {

class ListTestElem : public QVSyncElem {
public:
    ListTestElem(const QString& uri, const QString& identity)
        : QVSyncElem(QVariant(), uri, QStringLiteral("vCard"), QString(), QString()), identity(identity)
    {
        _allContentString = identity;
    }
    QString getIdentityString() const override { return identity; }
    int defaultComparisation(const QVSyncElem& other) const override
    {
        return identity.compare(static_cast<const ListTestElem&>(other).identity);
    }
    QString identity;
};


std::shared_ptr<ListTestElem> listElem(const QString& uri, const QString& identity)
{
    return std::make_shared<ListTestElem>(uri, identity);
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
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("Anna Berg")), nullptr);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("anna lind")), a);
    EXPECT_EQ(list.objectForURI(QStringLiteral("1")), nullptr);
    EXPECT_EQ(list.objectForURI(QStringLiteral("7")), a);
    EXPECT_EQ(list.UUIDForURI(QStringLiteral("7")), QStringLiteral("Anna Lind"));

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
    QVSyncElemList list(0, nullptr);
    auto a = listElem(QStringLiteral("1"), QStringLiteral("alpha"));
    auto b = listElem(QStringLiteral("2"), QStringLiteral("beta"));
    auto c = listElem(QStringLiteral("3"), QStringLiteral("alpine"));
    list.addObject(a);
    list.addObject(b);
    ASSERT_TRUE(list.elemsShareAllElems());
    list.insertObjectAtIndex(c, 1);
    EXPECT_EQ(list.objectAtIndex(1), c);
    EXPECT_EQ(list.objectAtIndex_cs(1), c);
    list.removeObjectAtIndex(0);          // one array: the item leaves the list
    EXPECT_EQ(list.allCount(), 2);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("alpha")), nullptr);

    list.addObject(a);
    list.constrainToSearchString(QStringLiteral("alp"));
    ASSERT_FALSE(list.elemsShareAllElems());
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.allCount(), 3);
    list.removeObjectAtIndex(0);          // parted: only the visible entry goes
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.allCount(), 3);
    auto d = listElem(QStringLiteral("4"), QStringLiteral("delta"));
    list.insertObjectAtIndex(d, 0);
    EXPECT_EQ(list.objectAtIndex(0), d);
    EXPECT_EQ(list.allCount(), 4);
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("delta")), d);
}

TEST(QVSyncElemList, DeleteByUserOfItemNotOnPhoneGoesAtOnceAndTellsEngine)
{
    ListTestDevice device;
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
    EXPECT_EQ(list.changesForSyncEngine()[0].recordIdentifier(), QStringLiteral("new one"));
}

TEST(QVSyncElemList, ChangesQueueOnlyWhenPhoneGivesChangesAndHeldOnesWaitForConfirm)
{
    ListTestDevice device;
    device.fromDevice = false;
    QVSyncElemList list(0, &device);
    const platform::SyncChange change(platform::SyncChange::Add, QStringLiteral("x"));
    list.addChangeForSyncEngine(change);
    list.addChangeForSyncEngineFromSyncML(change);
    list.confirmChangesFromSyncMLForSyncEngine();
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());

    device.fromDevice = true;
    list.addChangeForSyncEngineFromSyncML(change);
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());
    list.discardChangesFromSyncMLForSyncEngine();
    list.confirmChangesFromSyncMLForSyncEngine();
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());
    list.addChangeForSyncEngineFromSyncML(change);
    list.confirmChangesFromSyncMLForSyncEngine();
    EXPECT_EQ(list.changesForSyncEngine().size(), 1);
    list.addChangeForSyncEngine(change);
    EXPECT_EQ(list.changesForSyncEngine().size(), 2);
    list.clearChangesForSyncEngine();
    EXPECT_TRUE(list.changesForSyncEngine().isEmpty());
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
    QVSyncElemList list(0, &device);
    list.setTrash(&trash);
    auto shown = listElem(QStringLiteral("1"), QStringLiteral("alpha"));
    auto hidden = listElem(QStringLiteral("2"), QStringLiteral("beta"));
    auto fresh = listElem(QStringLiteral("T-9"), QStringLiteral("alpine"));
    list.addObject(shown);
    list.addObject(hidden);
    list.constrainToSearchString(QStringLiteral("alp"));
    const auto state = list.getCurrentState();

    list.deleteItemByUser(shown);
    trash.putItemToTrash(shown, QString(), false);
    list.addObject(fresh);
    list.clearChangesForSyncEngine();

    list.setStateFromDictionary(state);
    EXPECT_FALSE(shown->isDeleted());
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("beta")), hidden);   // not visible then, kept
    EXPECT_EQ(list.getItemForIdentity(QStringLiteral("alpine")), nullptr); // added since, gone
    EXPECT_EQ(list.allCount(), 2);
    EXPECT_TRUE(trash.list.isEmpty());
    ASSERT_EQ(list.changesForSyncEngine().size(), 1);
    EXPECT_EQ(list.changesForSyncEngine()[0].type(), platform::SyncChange::Add);
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
    auto order = [&] {
        QString text;
        for (int i = 0; i < list.count(); ++i)
            text += list.objectAtIndex(i)->getIdentityString();
        return text;
    };
    list.sortBy(QVSyncElemList::kSortDefault, true);
    EXPECT_EQ(order(), QStringLiteral("abc"));
    list.sortBy(QVSyncElemList::kSortDefault, false);
    EXPECT_EQ(order(), QStringLiteral("cba"));
    list.reverse();
    EXPECT_EQ(order(), QStringLiteral("abc"));
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
