#include "TablesTestSupport.h"

#include "organizer/tables/InfoTableView.h"
#include "organizer/tables/TableDataSource.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/SelectToolViewList.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTest>

namespace {

using namespace tablestest;
using testing_support::runFor;

const QString kPaneName = QStringLiteral("OrganizerSyncTableView");

QColor rgb(int red, int green, int blue)
{
    return QColor(red, green, blue);
}

bool sendKey(QWidget* to, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.setAccepted(false);
    QApplication::sendEvent(to, &press);
    return press.isAccepted();
}

class OrganizerTables : public TablesFixture { };

TEST_F(OrganizerTables, CapacityIsCountedAndWarnedOncePerOverflow)
{
    makePhone();
    addContact("1", "Lee");
    addContact("2", "Ray");
    openPane();
    EXPECT_EQ(pane->maxDeviceItems(), OrganizerTableView::kUnknownCapacity);
    for (int i = 0; i < 3; ++i)
        addContact(QString::number(10 + i), "Extra");
    pane->reloadData();
    EXPECT_EQ(container.footers.last(), "5 items") << "no known limit: the count alone";
    EXPECT_TRUE(pane->alerts.isEmpty());

    // A phone that takes three contacts.
    contacts()->setMaxItemsOnDevice(3);
    pane->setup(nullptr, device.get(), &container);
    ASSERT_EQ(pane->maxDeviceItems(), 3);
    struct Step {
        int count;
        int alerts;
    };
    const Step steps[] = {{5, 1}, {6, 1}, {3, 1}, {4, 2}, {4, 2}, {2, 2}};
    for (const Step& step : steps) {
        while (contacts()->count() > step.count)
            contacts()->removeObject(contacts()->objectAtIndex(0));
        while (contacts()->count() < step.count)
            addContact(QString::number(100 + contacts()->count()), "More");
        pane->reloadData();
        EXPECT_EQ(container.footers.last(), QStringLiteral("%1 items (max. 3)").arg(step.count));
        EXPECT_EQ(pane->alerts.size(), step.alerts) << "count " << step.count;
    }
    EXPECT_EQ(pane->alerts.first(), "1|Capacity problem|The list holds 5 items, but the phone takes at most 3. "
                                    "Items past that will not reach the phone.");
}

TEST_F(OrganizerTables, HeaderClicksSortAndTheTitleCyclesTheNameOrder)
{
    makePhone();
    addContact("1", "Zorn", "Bob");
    addContact("2", "Abel", "Ann");
    addContact("3", "Moss", "Cid");
    openPane();
    auto order = [&] { return listOrder(); };
    pane->setSelectionURIsArray({"3"});

    pane->didClickTableColumn(*pane->table, "title");
    EXPECT_TRUE(pane->sortDescending()) << "a new column sorts descending first";
    EXPECT_EQ(pane->lastColumn(), "title");
    EXPECT_EQ(pane->table->highlightedTableColumn(), 0);
    EXPECT_TRUE(pane->table->hasIndicatorImage());
    EXPECT_TRUE(pane->table->indicatorDescending());
    const QStringList byFirst = order();
    contacts()->sortBy(0x66697273, true);
    EXPECT_EQ(order(), byFirst) << "sorted by the column's code";
    EXPECT_EQ(shownURIs(), byFirst);
    EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"3"}) << "the selection follows its item";

    // The contacts-like variant on "title", built on the base's hooks: the
    // same column alternates a reversal with a sort in the other name order.
    struct Step {
        bool descending;
        bool lastNames;
    };
    const Step cycle[] = {{false, true}, {true, true}, {false, false}, {true, false}};
    for (const Step& step : cycle) {
        pane->didClickTableColumn(*pane->table, "title");
        EXPECT_EQ(pane->sortDescending(), step.descending);
        EXPECT_EQ(pane->lastNames, step.lastNames);
        EXPECT_EQ(pane->table->indicatorDescending(), step.descending);
        EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"3"});
    }
    EXPECT_EQ(order(), byFirst) << "four clicks: back where it started";
}

TEST_F(OrganizerTables, TheSameColumnAgainReversesWithoutSorting)
{
    makePhone();
    addContact("1", "Zorn", "Bob");
    addContact("2", "Abel", "Ann");
    addContact("3", "Moss", "Bob");
    openPane();
    auto order = [&] { return listOrder(); };
    pane->didClickTableColumn(*pane->table, "phone");
    const QStringList sorted = order();
    pane->didClickTableColumn(*pane->table, "phone");
    QStringList reversed = sorted;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_FALSE(pane->sortDescending());
    EXPECT_FALSE(pane->table->indicatorDescending());
    EXPECT_EQ(order(), reversed) << "equal keys swap places: the list was reversed, not sorted";
    EXPECT_EQ(shownURIs(), reversed);
}

TEST_F(OrganizerTables, DeleteFromTheHighestRowUndoRedo)
{
    makePhone();
    const auto a = addContact("", "A");   // new
    const auto b = addContact("20", "B"); // on the phone
    const auto c = addContact("", "C");   // new
    const auto d = addContact("21", "D"); // on the phone
    openPane();
    ASSERT_EQ(shownURIs(), (QStringList{a->sourceURI(), "20", c->sourceURI(), "21"}));
    pane->table->selectRowIndexes({0, 2, 3}, false);

    EXPECT_TRUE(sendKey(pane->table, Qt::Key_Delete));
    EXPECT_EQ(shownURIs(), (QStringList{"20", "21"})) << "new items go at once, lower rows kept their items";
    EXPECT_FALSE(b->isDeleted());
    EXPECT_TRUE(d->isDeleted()) << "an item on the phone stays, marked";
    EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"21"}) << "the survivor stays selected";
    EXPECT_EQ(pane->table->undoManager()->undoText(), "Delete");

    pane->table->undoManager()->undo();
    EXPECT_EQ(shownURIs(), (QStringList{a->sourceURI(), "20", c->sourceURI(), "21"}));
    for (const auto& elem : {a, b, c, d})
        EXPECT_FALSE(elem->isDeleted()) << elem->sourceURI().toStdString();
    EXPECT_EQ(pane->getSelectionURIsArray(), (QStringList{"21", c->sourceURI(), a->sourceURI()}));

    pane->table->undoManager()->redo();
    EXPECT_EQ(shownURIs(), (QStringList{"20", "21"}));
    EXPECT_TRUE(d->isDeleted());
    pane->table->undoManager()->undo();
    EXPECT_FALSE(d->isDeleted());
    EXPECT_EQ(contacts()->count(), 4);
}

// The desktop store hears of every step: the delete, its undo and its redo.
TEST_F(OrganizerTables, DeleteUndoAndRedoEachReachTheDesktopStore)
{
    makePhone();
    addContact("1", "A");
    const auto b = addContact("2", "B");
    openPane();
    // From here on the desktop store takes the phone's changes (the list
    // itself stays one the pane may delete from).
    rules->engineTypes = {0};
    rules->fromDevice = true;
    ASSERT_FALSE(contacts()->isSyncEngineList());
    auto* engine = dynamic_cast<QVSyncEngineElem*>(b.get());
    ASSERT_TRUE(engine);
    const auto kinds = [&] {
        QStringList lines;
        for (const platform::SyncChange& change : contacts()->changesForSyncEngine()) {
            if (change.recordIdentifier() == engine->elemUUID())
                lines.append(change.type() == platform::SyncChange::Delete ? QStringLiteral("delete")
                                                                          : QStringLiteral("add"));
        }
        contacts()->clearChangesForSyncEngine();
        return lines;
    };
    kinds();

    pane->setSelectionURIsArray({"2"});
    ASSERT_TRUE(sendKey(pane->table, Qt::Key_Delete));
    ASSERT_TRUE(b->isDeleted());
    EXPECT_EQ(kinds(), QStringList{"delete"});
    pane->table->undoManager()->undo();
    ASSERT_FALSE(b->isDeleted());
    EXPECT_EQ(kinds(), QStringList{"add"});
    pane->table->undoManager()->redo();
    ASSERT_TRUE(b->isDeleted());
    EXPECT_EQ(kinds(), QStringList{"delete"}) << "the redone delete is told as well";
}

// A merge, an update's end or a new list from the archive changes the list
// under the undo steps: they go, and the pane follows the archive's list.
TEST_F(OrganizerTables, MergesUpdatesAndNewListsDropTheUndoSteps)
{
    makePhone();
    addContact("1", "A");
    addContact("2", "B");
    openPane();
    QUndoStack* undo = pane->table->undoManager();
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto deleteFirst = [&] {
        pane->table->selectRowIndexes({0}, false);
        pane->deleteKeyPressed(*pane->table);
        ASSERT_EQ(undo->count(), 1);
    };

    deleteFirst();
    center.post("DZ-SyncElemListActive", contacts(), {{"Active", "0"}, {"Property", 0}});
    EXPECT_EQ(undo->count(), 1) << "the end of a merge leaves them";
    center.post("DZ-SyncElemListActive", archive->storage(1), {{"Active", "1"}, {"Property", 6}});
    EXPECT_EQ(undo->count(), 1) << "another property's merge leaves them";
    center.post("DZ-SyncElemListActive", contacts(), {{"Active", "1"}, {"Property", 0}});
    EXPECT_EQ(undo->count(), 0) << "a merge starts";
    undo->clear();

    deleteFirst();
    center.post("DZOrganizerDataUpdateNotification", nullptr, {{"DZOrganizerDataUpdateNotificationPropertyKey", 1}});
    EXPECT_EQ(undo->count(), 1);
    center.post("DZOrganizerDataUpdateNotification", nullptr, {{"DZOrganizerDataUpdateNotificationPropertyKey", 0}});
    EXPECT_EQ(undo->count(), 0) << "an update of the pane's property ended";

    deleteFirst();
    archive->createEmptyStorage(0);
    EXPECT_EQ(pane->syncElemsList(), contacts()) << "never the freed list";
    pane->updateContent();
    EXPECT_EQ(undo->count(), 0);
    EXPECT_EQ(pane->table->numberOfRows(), 0);
}

// A drag's delete runs after the drag session: the list may have been
// reordered meanwhile, and the dragged items are the ones that go.
TEST_F(OrganizerTables, DragDeletesTheDraggedItemsAfterTheRowsMoved)
{
    makePhone();
    const auto fresh = addContact("", "0");
    const auto a = addContact("1", "A");
    const auto b = addContact("2", "B");
    const auto c = addContact("3", "C");
    openPane();
    ASSERT_EQ(shownURIs().value(1), "1");
    std::unique_ptr<QMimeData> data(pane->writeRowsWithIndexes(*pane->table, {1}));
    ASSERT_TRUE(data);
    contacts()->removeObject(fresh);   // the rows below move up
    pane->reloadData();
    EXPECT_EQ(pane->indexSetForDrag(), QList<int>{0});
    pane->table->draggedImageEnded(Qt::MoveAction);
    runFor(0.05);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_FALSE(b->isDeleted());
    EXPECT_FALSE(c->isDeleted());
}

// A delete key that deletes nothing leaves nothing to undo.
TEST_F(OrganizerTables, ADeleteThatDeletesNothingLeavesNoUndoStep)
{
    makePhone();
    addContact("1", "A");
    openPane();
    pane->table->deselectAllRows();
    pane->deleteKeyPressed(*pane->table);
    EXPECT_EQ(pane->table->undoManager()->count(), 0) << "no selection";
}

TEST_F(OrganizerTables, DragEndsDeleteOnlyWhenTakenAsAMove)
{
    makePhone();
    addContact("1", "A");
    addContact("2", "B");
    addContact("3", "C");
    openPane();
    for (const Qt::DropAction end : {Qt::CopyAction, Qt::IgnoreAction, Qt::LinkAction}) {
        std::unique_ptr<QMimeData> data(pane->writeRowsWithIndexes(*pane->table, {1, 2}));
        ASSERT_TRUE(data);
        EXPECT_EQ(pane->indexSetForDrag(), (QList<int>{1, 2}));
        pane->table->draggedImageEnded(end);
        EXPECT_EQ(pane->indexSetForDrag(), (QList<int>{1, 2})) << "queued: nothing happens inside the drag";
        runFor(0.05);
        EXPECT_TRUE(pane->indexSetForDrag().isEmpty());
        for (int row = 0; row < 3; ++row)
            EXPECT_FALSE(contacts()->objectAtIndex_cs(row)->isDeleted());
    }
    EXPECT_EQ(pane->table->undoManager()->count(), 0);

    std::unique_ptr<QMimeData> data(pane->writeRowsWithIndexes(*pane->table, {1, 2}));
    pane->table->draggedImageEnded(Qt::MoveAction);
    runFor(0.05);
    EXPECT_FALSE(contacts()->objectAtIndex_cs(0)->isDeleted());
    EXPECT_TRUE(contacts()->objectAtIndex_cs(1)->isDeleted());
    EXPECT_TRUE(contacts()->objectAtIndex_cs(2)->isDeleted());
    EXPECT_TRUE(pane->indexSetForDrag().isEmpty());
    pane->table->undoManager()->undo();
    EXPECT_FALSE(contacts()->objectAtIndex_cs(1)->isDeleted());
    EXPECT_FALSE(contacts()->objectAtIndex_cs(2)->isDeleted());
}

TEST_F(OrganizerTables, KeysReachTheControllerAndReturnOnlyWhereAnswered)
{
    makePhone();
    addContact("1", "A");
    addContact("2", "B");
    openPane();
    pane->table->selectRowIndexes({1}, false);

    EXPECT_FALSE(sendKey(pane->table, Qt::Key_Return)) << "not answered: the table handles it";
    EXPECT_EQ(pane->enterKeys, 1);
    pane->answersEnter = true;
    EXPECT_TRUE(sendKey(pane->table, Qt::Key_Return));
    EXPECT_TRUE(sendKey(pane->table, Qt::Key_Enter));
    EXPECT_EQ(pane->enterKeys, 3);
    EXPECT_FALSE(contacts()->objectAtIndex_cs(1)->isDeleted());

    EXPECT_TRUE(sendKey(pane->table, Qt::Key_Backspace));
    EXPECT_TRUE(contacts()->objectAtIndex_cs(1)->isDeleted());
    EXPECT_EQ(beeps, 0);
    QTest::keyClick(pane->table, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(contacts()->objectAtIndex_cs(1)->isDeleted()) << "Ctrl+Z undoes";
    QTest::keyClick(pane->table, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(contacts()->objectAtIndex_cs(1)->isDeleted()) << "Ctrl+Shift+Z redoes";
}

TEST_F(OrganizerTables, AHistoryPhoneBeepsOnDeleteAndOffersNoUpdate)
{
    makePhone(QLatin1String(MFDevice::kHistory));
    openPane();
    ASSERT_TRUE(pane->isHistoryDevice());
    EXPECT_TRUE(sendKey(pane->table, Qt::Key_Delete));
    pane->performDelete();
    pane->deleteItemsFromIndexSet({0});
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(pane->table->undoManager()->count(), 0);
    EXPECT_FALSE(pane->updateButton()->isVisibleTo(pane.get()));
    EXPECT_FALSE(pane->refreshButton()->isVisibleTo(pane.get()));
    EXPECT_FALSE(pane->validateScaledImageButton(*pane->updateButton()));
    EXPECT_FALSE(pane->validateScaledImageButton(*pane->refreshButton()));
    container.syncEnabled = true;
    pane->updateButtons();
    EXPECT_FALSE(pane->refreshButton()->isVisibleTo(pane.get())) << "stays hidden when the sync switches";
}

TEST_F(OrganizerTables, UpdateButtonsFollowTheSyncSwitchAndTheQueuedUpdate)
{
    makePhone();
    openPane();
    EXPECT_TRUE(pane->refreshButton()->isVisibleTo(pane.get()));
    EXPECT_EQ(pane->updateButton()->imageName(), "UpdateWithPhone");
    container.syncEnabled = true;
    pane->activate();
    EXPECT_TRUE(pane->oldSyncState());
    EXPECT_FALSE(pane->refreshButton()->isVisibleTo(pane.get()));
    EXPECT_EQ(pane->updateButton()->imageName(), "SyncManager");
    container.syncEnabled = false;
    pane->activate();
    EXPECT_TRUE(pane->refreshButton()->isVisibleTo(pane.get()));
    EXPECT_EQ(pane->updateButton()->imageName(), "UpdateWithPhone");

    EXPECT_TRUE(pane->validateScaledImageButton(*pane->updateButton()));
    EXPECT_TRUE(pane->validateScaledImageButton(*pane->refreshButton()));
    QVActionMachine* machine = device->actionMachine();
    ASSERT_TRUE(machine);
    machine->addActionPipe({QStringLiteral("TablesWait")});
    ASSERT_TRUE(machine->addAction(std::make_shared<WaitingUpdateJob>(QStringLiteral("Update calendar"))));
    runFor(0.1);
    EXPECT_TRUE(pane->validateScaledImageButton(*pane->updateButton())) << "another job";
    ASSERT_TRUE(machine->addAction(std::make_shared<WaitingUpdateJob>(kUpdateContactsText)));
    runFor(0.1);
    EXPECT_FALSE(pane->validateScaledImageButton(*pane->updateButton()));
    EXPECT_FALSE(pane->validateScaledImageButton(*pane->refreshButton()));
    NSScaledImageButton other;
    other.setActionName(QStringLiteral("import"));
    EXPECT_TRUE(pane->validateScaledImageButton(other));
    machine->cancelAllActionsForClose();
}

TEST_F(OrganizerTables, RowColoursAndStateTexts)
{
    makePhone();
    const auto unchanged = addContact("1", "A");
    const auto changed = addContact("2", "B");
    const auto deleted = addContact("3", "C");
    const auto fresh = addContact("", "D");
    changed->setChanged();
    deleted->setDeleted();
    openPane();
    struct Case {
        QVSyncElemList::Elem elem;
        std::optional<QColor> colour;
        QString text;
    };
    const Case cases[] = {
        {unchanged, std::nullopt, "on phone"},
        {changed, rgb(222, 222, 255), "changed"},
        {deleted, rgb(255, 222, 222), "deleted"},
        {fresh, rgb(222, 255, 222), ""},
        {nullptr, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pane->getOnPhoneTypeBackColor(c.elem), c.colour);
        EXPECT_EQ(pane->getOnPhoneTypeStr(c.elem), c.text);
    }
    EXPECT_NEAR(rgb(255, 222, 222).greenF(), 0.871, 0.001);
    const QModelIndex cell = pane->table->tableModel()->index(2, 1);
    EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QBrush>().color(), rgb(255, 222, 222));
    EXPECT_EQ(cell.data(Qt::DisplayRole).toString(), "deleted");
    pane->table->selectRowIndexes({2}, false);
    EXPECT_FALSE(cell.data(Qt::BackgroundRole).isValid()) << "a selected row shows no mark colour";
    EXPECT_FALSE(pane->table->tableModel()->index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(platform::gui::saveGrab(pane.get(), QStringLiteral("organizer-table-marks")).isEmpty());
}

TEST_F(OrganizerTables, AListThePhoneTakesNoDesktopChangesFromIsMarkedAndKept)
{
    makePhone(QLatin1String(MFDevice::kUSBMassStorage), {0});
    ASSERT_TRUE(contacts()->isSyncEngineList());
    if (device->wantsSyncChangesFromEngine(0))
        GTEST_SKIP() << "the phone's sync environment takes desktop changes";
    const auto elem = addContact("1", "A");
    openPane();
    EXPECT_EQ(pane->getOnPhoneTypeBackColor(elem), rgb(255, 255, 222));
    pane->table->selectRowIndexes({0}, false);
    pane->deleteKeyPressed(*pane->table);
    std::unique_ptr<QMimeData> data(pane->writeRowsWithIndexes(*pane->table, {0}));
    pane->deleteItemsFromIndexSet({0});
    EXPECT_EQ(beeps, 2);
    EXPECT_FALSE(elem->isDeleted()) << "neither the key nor a drag to the trash deletes";
    EXPECT_EQ(pane->table->undoManager()->count(), 0) << "nor leaves an undo step";
}

TEST_F(OrganizerTables, ColumnFittingShrinksFromTheLastAndSharesExtraRoom)
{
    QVElemTableView table;
    table.resize(300, 200);
    table.show();
    const auto widths = [&] {
        QList<int> list;
        for (int column = 0; column < table.numberOfColumns(); ++column)
            list.append(table.columnWidth(column));
        return list;
    };
    const int room = table.visibleWidth() - QVElemTableView::kFitMargin;
    ASSERT_GT(room, 150);

    // Too wide: the last column gives first, down towards its minimum.
    table.setTableColumns({{"a", "A", 120, 120, 500}, {"b", "B", room, 20, 900}});
    table.optimizeHeaders();
    EXPECT_EQ(table.columnWidth(0), 120) << "at its minimum";
    EXPECT_LT(table.visibleColumnSize(), room);
    EXPECT_GE(table.visibleColumnSize(), room - 5) << "stops as soon as the columns fit";

    // Minimums wider than the room: the passes run out at the minimums.
    table.setTableColumns({{"a", "A", 300, 200, 500}, {"b", "B", 300, 200, 900}});
    table.optimizeHeaders();
    EXPECT_EQ(widths(), (QList<int>{200, 200}));

    // Narrower: the extra room shared, each column capped at its maximum.
    table.setTableColumns({{"a", "A", 40, 10, 50}, {"b", "B", 40, 10, 900}});
    const int extra = int(std::lround((table.frameWidth() - 80) / 2.0));
    table.optimizeHeaders();
    EXPECT_EQ(widths(), (QList<int>{50, 40 + extra}));

    table.setTableColumns({{"a", "A", room / 2, 10, 900}, {"b", "B", room - room / 2, 10, 900}});
    const QList<int> exact = widths();
    table.optimizeHeaders();
    EXPECT_EQ(widths(), exact) << "an exact fit changes nothing";
}

TEST_F(OrganizerTables, HeadersAreFittedAfterTheDelay)
{
    makePhone();
    pane = std::make_unique<TestPane>();
    pane->table->setTableColumns({{"title", "Name", 900, 40, 2000}, {"phone", "State", 900, 30, 2000}});
    pane->show();
    pane->awakeFromNib();
    runFor(0.2);
    EXPECT_EQ(pane->table->visibleColumnSize(), 1800);
    runFor(0.05);
    EXPECT_LT(pane->table->visibleColumnSize(), pane->table->visibleWidth());
}

// A hidden pane's columns are not fitted into no width (and saved so); they
// are fitted once the pane is shown.
TEST_F(OrganizerTables, AHiddenPaneIsFittedWhenShown)
{
    makePhone();
    pane = std::make_unique<TestPane>();
    pane->table->setTableColumns({{"title", "Name", 900, 40, 2000}, {"phone", "State", 900, 30, 2000}});
    pane->awakeFromNib();
    runFor(0.3);
    EXPECT_EQ(pane->table->visibleColumnSize(), 1800) << "hidden: untouched";
    pane->show();
    runFor(0.05);
    EXPECT_LT(pane->table->visibleColumnSize(), pane->table->visibleWidth());
}

TEST_F(OrganizerTables, ColumnLayoutIsKeptAndAnUnreadableOneDropped)
{
    auto& defaults = platform::UserDefaults::standard();
    const QString key = QStringLiteral("NSTableView Columns LayoutPane Vers.1.5.1_1");
    defaults.setObject(key, QByteArray("not a header state"));
    {
        QVElemTableView table;
        table.setTableColumns({{"a", "A", 100, 10, 500}, {"b", "B", 100, 10, 500}});
        table.setAutosaveName(QStringLiteral("LayoutPane"));
        EXPECT_EQ(table.autosaveKey(), key);
        EXPECT_FALSE(defaults.contains(key)) << "unreadable: removed";
        EXPECT_EQ(table.columnWidth(0), 100);
        table.setAutosaveTableColumns(true);
        table.setColumnWidth(0, 173);
        EXPECT_TRUE(defaults.object(key).isValid());
    }
    QVElemTableView again;
    again.setTableColumns({{"a", "A", 100, 10, 500}, {"b", "B", 100, 10, 500}});
    again.setAutosaveName(QStringLiteral("LayoutPane"));
    EXPECT_EQ(again.columnWidth(0), 173);
    defaults.setObject(key, QStringLiteral("text"));
    QVElemTableView wrongKind;
    wrongKind.setTableColumns({{"a", "A", 100, 10, 500}});
    wrongKind.setAutosaveName(QStringLiteral("LayoutPane"));
    EXPECT_FALSE(defaults.contains(key));
}

TEST_F(OrganizerTables, SortColumnIsStoredWhenTheWindowClosesAndRestored)
{
    auto& defaults = platform::UserDefaults::standard();
    defaults.remove(kPaneName + "-DefaultColumn");
    defaults.remove(kPaneName + "-DefaultSortDescending");
    makePhone();
    openPane();
    pane->close();
    EXPECT_FALSE(defaults.contains(kPaneName + "-DefaultColumn")) << "no sort column: nothing stored";
    pane->show();
    pane->didClickTableColumn(*pane->table, "phone");
    pane->didClickTableColumn(*pane->table, "phone");
    pane->close();
    EXPECT_EQ(defaults.string(kPaneName + "-DefaultColumn"), "phone");
    EXPECT_FALSE(defaults.boolValue(kPaneName + "-DefaultSortDescending"));

    openPane();
    EXPECT_EQ(pane->lastColumn(), "phone");
    EXPECT_FALSE(pane->sortDescending());
    EXPECT_EQ(pane->table->highlightedTableColumn(), 1);
    defaults.setObject(kPaneName + "-DefaultColumn", QStringLiteral("gone"));
    openPane();
    EXPECT_TRUE(pane->lastColumn().isEmpty()) << "a column the table lacks is no sort column";
}

TEST_F(OrganizerTables, SelectionByURIsAndStateInfo)
{
    makePhone();
    addContact("1", "Abbot");
    addContact("2", "Berg");
    addContact("3", "Cole");
    openPane();
    EXPECT_EQ(pane->stateInfo(), "");
    EXPECT_TRUE(pane->getSelectionURIsArray().isEmpty());
    pane->processStateInfo("2\tmore\tfields");
    EXPECT_EQ(pane->theSelectedItem(), 1);
    EXPECT_EQ(pane->stateInfo(), "2");
    pane->processStateInfo("9");
    EXPECT_EQ(pane->stateInfo(), "2") << "an unknown record changes nothing";
    pane->setSelectionURIsArray({"1", "9", "3"});
    EXPECT_EQ(pane->getSelectionURIsArray(), (QStringList{"3", "1"})) << "highest row first";
    EXPECT_EQ(pane->theSelectedItem(), -1);
    EXPECT_EQ(pane->stateInfo(), "");
    pane->setSelectionURIsArray({"9"});
    EXPECT_FALSE(pane->hasSelection());

    // The search narrows the rows; the selection maps to what is shown.
    pane->search->setText("Berg");
    ASSERT_EQ(shownURIs(), QStringList{"2"});
    pane->selectFromURI("2");
    EXPECT_EQ(pane->stateInfo(), "2");
    pane->removeSearchData();
    pane->reloadData();
    EXPECT_EQ(shownURIs().size(), 3);
}

TEST_F(OrganizerTables, MergeNoticeKeepsTheSelectionOnlyForThisPhoneAndProperty)
{
    makePhone();
    addContact("1", "A");
    addContact("2", "B");
    openPane();
    auto& center = platform::NotificationCenter::defaultCenter();
    const QString name = QStringLiteral("DZ-SyncElemListActive");
    QVSyncElemList foreign(0, nullptr);

    pane->setSelectionURIsArray({"2"});
    center.post(name, contacts(), {{"Active", "1"}, {"Property", 0}});
    pane->setSelectionURIsArray({"1"});
    center.post(name, &foreign, {{"Active", "0"}, {"Property", 0}});
    center.post(name, contacts(), {{"Active", "0"}, {"Property", 1}});
    center.post(name, archive->storage(1), {{"Active", "0"}, {"Property", 6}});
    EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"1"}) << "another phone's or property's list";
    center.post(name, contacts(), {{"Active", "0"}, {"Property", 0}});
    EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"2"});
    pane->setSelectionURIsArray({"1"});
    center.post(name, contacts(), {});
    EXPECT_EQ(pane->getSelectionURIsArray(), QStringList{"2"}) << "no user info restores";
}

TEST_F(OrganizerTables, DataUpdateReloadsOnlyForThePanesProperty)
{
    makePhone();
    openPane();
    auto& center = platform::NotificationCenter::defaultCenter();
    const int before = container.reloads;
    center.post("DZOrganizerDataUpdateNotification", nullptr, {{"DZOrganizerDataUpdateNotificationPropertyKey", 1}});
    EXPECT_EQ(container.reloads, before);
    addContact("7", "New");
    center.post("DZOrganizerDataUpdateNotification", this, {{"DZOrganizerDataUpdateNotificationPropertyKey", 0}});
    EXPECT_EQ(container.reloads, before + 1);
    EXPECT_EQ(shownURIs(), QStringList{"7"});
}

TEST_F(OrganizerTables, PasteCutAndCopyGoThroughTheController)
{
    makePhone();
    addContact("1", "A");
    openPane();
    pane->table->setPBTypes({"application/x-marvesto-contacts", "text/vcard"}, true);
    EXPECT_FALSE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Copy));
    EXPECT_TRUE(pane->table->validateMenuItem(QVElemTableView::EditCommand::SelectAll));
    EXPECT_FALSE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Other));

    auto* data = new QMimeData;
    data->setData("text/vcard", "BEGIN:VCARD\r\nEND:VCARD\r\n");
    QApplication::clipboard()->setMimeData(data);
    ASSERT_TRUE(pane->table->pasteboardHasExpense());
    EXPECT_TRUE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Paste));
    pane->table->paste();
    ASSERT_EQ(pane->pasted.size(), 1);
    EXPECT_EQ(pane->pasted[0].type, "text/vcard");
    EXPECT_EQ(pane->pasted[0].level, 0);
    EXPECT_EQ(pane->pasted[0].items, QVariantList{QByteArray("BEGIN:VCARD\r\nEND:VCARD\r\n")}) << "raw data wrapped";
    EXPECT_EQ(pane->table->undoManager()->undoText(), "Cut");

    // A property list of the first type wins; a single value is wrapped.
    data = new QMimeData;
    data->setData("text/vcard", "ignored");
    data->setData("application/x-marvesto-contacts",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><string>x</string>"
                  "<string>y</string></array></plist>");
    QApplication::clipboard()->setMimeData(data);
    pane->table->paste();
    ASSERT_EQ(pane->pasted.size(), 2);
    EXPECT_EQ(pane->pasted[1].items, (QVariantList{"x", "y"}));
    EXPECT_EQ(pane->pasted[1].type, "application/x-marvesto-contacts");

    pane->table->selectRowIndexes({0}, false);
    pane->table->cut();
    EXPECT_TRUE(contacts()->objectAtIndex_cs(0)->isDeleted());
    pane->table->setPBTypes({"text/vcard"}, false);
    EXPECT_FALSE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Cut));
    EXPECT_FALSE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Paste));
    EXPECT_TRUE(pane->table->validateMenuItem(QVElemTableView::EditCommand::Copy));
    QApplication::clipboard()->clear();
}

TEST_F(OrganizerTables, ToolSwitchMarksFollowTheUpdateStatus)
{
    makePhone();
    openPane();
    auto* manager = dynamic_cast<DZDataManager*>(device->dataManager());
    ASSERT_TRUE(manager);
    SelectToolViewList list;
    list.resize(200, 300);
    const QRect row(0, 40, 200, 30);
    EXPECT_EQ(pane->getSlaveWithFrame(row, list, {}), QRect(182, 50, 18, 18));
    manager->setStatusForOrganizerType(1, 0);
    EXPECT_TRUE(pane->doSlaveTrackingslaveContext({}));
    for (int status : {2, 3}) {
        manager->setStatusForOrganizerType(status, 0);
        EXPECT_FALSE(pane->doSlaveTrackingslaveContext({}));
    }
    pane->enterSlaveTracking(QRect(10, 20, 18, 18), list, {});
    pane->leaveSlaveTracking(list, {});
    ASSERT_EQ(container.calls.size(), 2);
    EXPECT_TRUE(container.calls[0].startsWith("show ")) << container.calls[0].toStdString();
    EXPECT_TRUE(container.calls[0].endsWith("Update to read it again."));
    EXPECT_EQ(container.calls[1], "hide");
}

// A detail table whose values come from a list.
class InfoSource : public TableDataSource {
public:
    int numberOfRowsInTableView(DataTableView&) override { return int(labels.size()); }
    QVariant objectValueForTableColumn(DataTableView&, const QString& column, int row) override
    {
        return column == QLatin1String("field") ? labels.value(row) : values.value(row);
    }
    QStringList labels;
    QStringList values;
};

TEST(InfoTableView, ColumnsFitTheirTextAndLongValuesWrapWithoutLeadingBlanks)
{
    InfoSource source;
    source.labels = {"mobile", "home"};
    source.values = {"+49 170 1234567", ""};
    InfoTableView table;
    table.setDataSource(&source);
    table.setTableColumns({{"field", "", 50, 5, 500}, {"content", "", 50, 5, 500}});
    table.resize(260, 200);
    table.show();
    table.reloadData();
    EXPECT_EQ(table.columnWidth(0), table.textWidth("mobile") + 7);
    EXPECT_EQ(table.columnMinWidth(0), table.columnWidth(0));
    EXPECT_EQ(table.columnWidth(1), table.textWidth("+49 170 1234567") + 5);

    const QStringList labels{"note"};
    const int room = table.visibleWidth() - (table.textWidth("note") + InfoTableView::kWrapReserve);
    EXPECT_FALSE(table.wrapStringForFitCurrentSize(labels, "short").has_value());

    QString longWord(1, 'W');
    while (table.textWidth(longWord) <= room)
        longWord += 'W';
    const QString text = longWord + " and some more words to fill a line or two of the detail table";
    const auto lines = table.wrapStringForFitCurrentSize(labels, text);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->first(), longWord) << "an overlong first word is a line of its own, with no empty line before";
    for (const QString& line : *lines) {
        EXPECT_FALSE(line.isEmpty());
        EXPECT_FALSE(line.startsWith(' ')) << line.toStdString();
        if (line != longWord)
            EXPECT_LE(table.textWidth(line), room) << line.toStdString();
    }
    EXPECT_EQ(lines->join(' '), text);
}

} // namespace
