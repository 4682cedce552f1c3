#include "SessionTestSupport.h"

#include "syncmodel/QVCommandArray.h"

using sessiontest::SessionTest;

namespace {

class ItemSessionTest : public SessionTest { };

} // namespace

TEST(QVCommandArrayTest, DeletionGoesFirstAndItemsAreMatchedByPhoneId)
{
    QVCommandArray commands;
    EXPECT_EQ(commands.description(), QStringLiteral("empty <QVCommandArray>"));
    const auto a = QVSyncElem::elemWithData(QStringLiteral("a"), QStringLiteral("1"), {}, {}, {});
    const auto b = QVSyncElem::elemWithData(QStringLiteral("b"), QStringLiteral("2"), {}, {}, {});
    commands.addObject(a, QVCommandArray::kAdd);
    commands.addObject(b, QVCommandArray::kReplace);
    commands.insertDeleteObject(b);
    ASSERT_EQ(commands.count(), 3);
    EXPECT_EQ(commands.commandAtIndex(0), QStringLiteral("Delete"));
    EXPECT_EQ(commands.elemAtIndex(0)->sourceURI(), QStringLiteral("2"));
    EXPECT_NE(commands.elemAtIndex(0), b); // a deletion item, not the item
    EXPECT_EQ(commands.commandAtIndex(1), QStringLiteral("Add"));
    EXPECT_TRUE(commands.description().startsWith(QStringLiteral("<QVCommandArray: 3 entries> = ")));

    const auto sameId = QVSyncElem::elemWithData(QStringLiteral("other"), QStringLiteral("1"), {}, {}, {});
    EXPECT_TRUE(commands.containsElem(sameId));
    EXPECT_FALSE(commands.containsElem(QVSyncElem::elemForDeletion(QStringLiteral("9"))));

    commands.removeElemAndCommandAtIndex(1);
    EXPECT_FALSE(commands.containsElem(a));
    EXPECT_EQ(commands.commandAtIndex(1), QStringLiteral("Replace"));
    commands.removeElemAndCommandAtIndex(7); // out of range: nothing
    EXPECT_EQ(commands.count(), 2);
    EXPECT_EQ(commands.elemAtIndex(5), nullptr);
    commands.removeAllObjects();
    EXPECT_EQ(commands.count(), 0);
}

TEST_F(ItemSessionTest, FastMergeAddsReplacesDeletesAndSkipsEntriesOfTheWrongKind)
{
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    onPhone(QStringLiteral("2"), QStringLiteral("Bob"));
    const QVariantList items{
        entry(QStringLiteral("3"), vcard(QStringLiteral("Cem")), QStringLiteral("Add")),
        entry(QStringLiteral("4"), QString(), QStringLiteral("Add")), // no text: noted, no item
        entry(QStringLiteral("1"), vcard(QStringLiteral("Anna")), QStringLiteral("Replace")),
        entry(QStringLiteral("2"), QVariant(), QStringLiteral("Delete")),
        entry(QStringLiteral("5"), vcard(QStringLiteral("Eve")), QStringLiteral("Move")), // ignored
        QVariant(QStringLiteral("not an entry")),
        QVariantMap{{QStringLiteral("vx-Data"), vcard(QStringLiteral("NoId"))}, {QStringLiteral("Action"), "Add"}},
        QVariantMap{{QStringLiteral("SourceURI"), QVariantList{}}, {QStringLiteral("Action"), "Add"}},
    };
    ASSERT_TRUE(list.processSyncInfo(syncInfo(items), true));
    EXPECT_EQ(uris(), (QStringList{"1", "3"}));
    EXPECT_EQ(firstName(list.objectForURI(QStringLiteral("1"))), QStringLiteral("Anna"));
    ASSERT_EQ(trash.put.size(), 2u); // the deleted item, the version before the replace
    EXPECT_EQ(list.listInfo().value(QStringLiteral("SyncML-Protocol")), QStringLiteral("Phone"));
    ASSERT_EQ(active.size(), 1);
    EXPECT_EQ(active[0], (QVariantMap{{"Active", "1"}, {"Property", 0}}));
    EXPECT_TRUE(newLog().contains(QStringLiteral("without \"SourceURI\" skipped")));

    // The list info keeps what it had.
    list.processSyncInfo({{QStringLiteral("SyncML-Protocol"), QStringLiteral("Other")},
                          {QStringLiteral("Items"), QStringLiteral("no list")}},
                         true);
    EXPECT_EQ(list.listInfo().value(QStringLiteral("SyncML-Protocol")), QStringLiteral("Phone"));
}

TEST_F(ItemSessionTest, PhoneWhoseChangesAreRefusedGetsItsAddsDeletedAndItsDeletesBack)
{
    device.useSyncEngine = true;
    device.fromDevice = false;
    const auto kept = onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    const QVariantList items{entry(QStringLiteral("7"), vcard(QStringLiteral("New")), QStringLiteral("Add")),
                             entry(QStringLiteral("1"), QVariant(), QStringLiteral("Delete"))};
    ASSERT_TRUE(list.processSyncInfo(syncInfo(items), true));
    EXPECT_EQ(list.invisibleDeletion(), QStringList{"7"});
    ASSERT_EQ(list.itemsForTrash().size(), 1u);
    EXPECT_EQ(list.allCount(), 1);
    // Sent back as new under a fresh temporary id.
    EXPECT_EQ(kept->sourceURI(), QStringLiteral("T-1"));
    EXPECT_FALSE(kept->isDeleted());

    list.moveTrashItems();
    ASSERT_EQ(trash.put.size(), 1u);
    EXPECT_TRUE(trash.put[0].second); // as a conflict
    EXPECT_TRUE(list.itemsForTrash().empty());
}

TEST_F(ItemSessionTest, SlowMergeTrashesWhatThePhoneNoLongerHas)
{
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    onPhone(QStringLiteral("2"), QStringLiteral("Bob"));
    const auto fresh = onPhone(QStringLiteral("T-5"), QStringLiteral("Local")); // not on the phone yet
    ASSERT_TRUE(list.processSyncInfo(syncInfo({entry(QStringLiteral("1"), vcard(QStringLiteral("Ann"))),
                                               entry(QStringLiteral("3"), vcard(QStringLiteral("Cem")))}),
                                     false));
    EXPECT_EQ(uris(), (QStringList{"1", "3", "T-5"}));
    ASSERT_EQ(trash.put.size(), 1u);
    EXPECT_EQ(firstName(trash.put[0].first), QStringLiteral("Bob"));

    // Refused changes: the missing item goes back as new with the list's own ids.
    device.useSyncEngine = true;
    device.fromDevice = false;
    ASSERT_TRUE(list.processSyncInfo(syncInfo({entry(QStringLiteral("1"), vcard(QStringLiteral("Ann")))}), false));
    EXPECT_EQ(uris(), (QStringList{"1", "T-0", "T-5"}));
}

TEST_F(ItemSessionTest, SlowMergeKeepsItemsWhoseEntriesCameWithoutReadableText)
{
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    onPhone(QStringLiteral("2"), QStringLiteral("Bob"));
    // The phone still holds 1 and 2; it sent 2 without text it can give.
    ASSERT_TRUE(list.processSyncInfo(syncInfo({entry(QStringLiteral("1"), vcard(QStringLiteral("Ann"))),
                                               entry(QStringLiteral("2"), QString())}),
                                     false));
    EXPECT_EQ(uris(), (QStringList{"1", "2"}));
    EXPECT_TRUE(trash.put.empty());
}

TEST_F(ItemSessionTest, RefusedItemsAreReportedAsFullOrAsErrors)
{
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    const auto status = [](const QVariant& code, const QString& ref) {
        return QVariantMap{{QStringLiteral("Status"), code}, {QStringLiteral("SourceRef"), ref}};
    };
    EXPECT_TRUE(list.processStatusMessages({status(200, "1"), status(QStringLiteral("201"), "2")}).isNull());

    const QString full = list.processStatusMessages({status(200, "3"), status(420, "1"), status(420, "2")});
    EXPECT_EQ(full,
              QStringLiteral("The phone's memory for Contacts is full: 1 items were transferred, 2 items "
                             "were not."));
    EXPECT_TRUE(newLog().contains(QStringLiteral("Device out of memory, not transfered item: ")));

    const QString error = list.processStatusMessages(
        {status(420, "1"), status(500, "2"), status(500, "2"), QVariant(5), status(QVariant(), "x")});
    EXPECT_TRUE(error.startsWith(QStringLiteral("Errors occurred while transferring Contacts")));
    EXPECT_TRUE(error.endsWith(QStringLiteral("0 items were transferred, 2 items were not.")));
    EXPECT_TRUE(newLog().contains(QStringLiteral("Error: 500, not transfered item: 2\n")));
}

TEST_F(ItemSessionTest, FailedSessionRestoresTheBackupUnlessThePhoneKeepsWhatWasMerged)
{
    struct Case {
        const char* protocol;
        bool samsung;
        bool prepared;
        QStringList after;
    };
    const Case cases[] = {
        {"Phone", false, true, {"1"}},
        {"Giga", false, true, {"1", "2"}},
        {"Phone", true, true, {"1", "2"}},
        {"Phone", false, false, {"1", "2"}}, // no backup: nothing is thrown away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.protocol);
        ListTestDevice phone;
        phone.description = describe(c.protocol);
        phone.samsung = c.samsung;
        QVSyncElemList session(0, &phone);
        session.setTrash(&trash);
        auto ann = session.createNewElem(vcard(QStringLiteral("Ann")), QStringLiteral("1"), QStringLiteral("Phone"), {},
                                         {});
        ann->setChanged();
        session.addObject(ann);
        session.addMapping(QStringLiteral("9"), QStringLiteral("T-3"));
        if (c.prepared)
            session.prepareSynchronization();
        EXPECT_TRUE(session.uriMappings().isEmpty() || !c.prepared);
        session.processSyncInfo(syncInfo({entry(QStringLiteral("2"), vcard(QStringLiteral("Bob")), "Add")}), true);
        active.clear();
        session.finalizeSynchronization(3);
        QStringList after;
        for (const auto& elem : session.allElems())
            after.append(elem->sourceURI());
        after.sort();
        EXPECT_EQ(after, c.after);
        EXPECT_TRUE(session.objectForURI(QStringLiteral("1"))->isChanged()); // flags come back too
        EXPECT_FALSE(session.hasBackup());
        EXPECT_EQ(active, (QList<QVariantMap>{{{"Active", "0"}, {"Property", 0}}}));
        EXPECT_EQ(phone.finished, (std::vector<std::pair<int, int>>{{0, 3}}));
    }
}

TEST_F(ItemSessionTest, SuccessfulSessionConfirmsAndClearsTheChangedFlags)
{
    const auto ann = onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    ann->setChanged();
    list.prepareSynchronization();
    list.finalizeSynchronization(0);
    EXPECT_FALSE(ann->isChanged());
    EXPECT_EQ(device.finished, (std::vector<std::pair<int, int>>{{0, 0}}));
}

TEST_F(ItemSessionTest, FailedReloadLeavesTheListAsItWasBeforeIt)
{
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    onPhone(QStringLiteral("2"), QStringLiteral("Bob"));
    list.backUpBeforeReload();
    // The reload empties the list and reads part of the phone before failing.
    list.removeAllObjects();
    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    list.syncFinishedWithError(true);
    EXPECT_EQ(uris(), (QStringList{"1", "2"}));
    EXPECT_FALSE(list.hasReloadBackup());
    EXPECT_EQ(firstName(list.objectForURI(QStringLiteral("2"))), QStringLiteral("Bob"));

    list.backUpBeforeReload();
    list.removeAllObjects();
    onPhone(QStringLiteral("3"), QStringLiteral("Cem"));
    list.syncFinishedWithError(false);
    EXPECT_EQ(uris(), QStringList{"3"});
}

TEST_F(ItemSessionTest, MergeWaitsForTheDesktopSyncWorkOnlySoLong)
{
    device.engineActive = true;
    EXPECT_FALSE(list.processSyncInfo(syncInfo({entry(QStringLiteral("1"), vcard(QStringLiteral("Ann")))}), false));
    EXPECT_EQ(list.allCount(), 0);
    EXPECT_TRUE(active.isEmpty());
    EXPECT_TRUE(newLog().contains(QStringLiteral("desktop sync work is still active")));
}

TEST_F(ItemSessionTest, DeleteEntryForAnItemTakesItsPhoneIdAway)
{
    const auto ann = onPhone(QStringLiteral("4"), QStringLiteral("Ann"));
    list.createSyncMLDeleteEntryForElem(ann);
    EXPECT_EQ(ann->sourceURI(), QStringLiteral("T-1"));
    const auto deletion = list.objectForURI(QStringLiteral("4"));
    ASSERT_NE(deletion, nullptr);
    EXPECT_TRUE(deletion->isDeleted());
    ASSERT_EQ(trash.put.size(), 1u);
    EXPECT_EQ(trash.put[0].first, deletion);
}
