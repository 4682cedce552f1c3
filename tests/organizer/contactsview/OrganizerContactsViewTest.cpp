// The contacts pane over a real contacts list of an archived phone: the card,
// names and sorting, contacts in (paste, import, drop) and out (copy, drag,
// export), the update requests and the keyboard.
#include "ContactsViewTestSupport.h"

#include "organizer/contacts/ContactTableView.h"
#include "organizer/contacts/OrganizerContactsViewCenter.h"
#include "organizer/contacts/OrganizerContactsViewTransfer.h"
#include "platform/PropertyList.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

using namespace contactsviewtest;
using testing_support::runUntil;

namespace {

QByteArray contactsViewFileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void contactsViewWriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

} // namespace

TEST_F(ContactsViewFixture, CardShowsSelectedContactAndEmptyPictWithoutOne)
{
    EXPECT_EQ(pane->elemDescription(-1), QStringLiteral("=== no card elem ==="));
    EXPECT_TRUE(pane->cardShowsEmptyImage());
    EXPECT_TRUE(pane->curUUID().isEmpty());

    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann"),
             QStringLiteral("ORG:Acme;Sales\r\nTITLE:Buyer\r\nPHOTO;ENCODING=BASE64;TYPE=PNG:%1\r\n\r\n")
                 .arg(pngBase64(10))));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    const int ann = rowOf(QStringLiteral("Ann Lee"));
    ASSERT_GE(ann, 0);
    select({ann});
    EXPECT_FALSE(pane->cardShowsEmptyImage());
    EXPECT_EQ(pane->cardImage().size(), QSize(64, 64));
    EXPECT_EQ(pane->contactNameView()->text(), QStringLiteral("Ann Lee\nAcme"));
    EXPECT_EQ(pane->contactTitleView()->text(), QStringLiteral("Buyer"));
    EXPECT_EQ(pane->contactDepartmentView()->text(), QStringLiteral("Sales"));
    EXPECT_FALSE(pane->curUUID().isEmpty());
    EXPECT_TRUE(pane->typesArray().contains(QVVCardElem::kPhoneCode));
    EXPECT_EQ(pane->contactAddItemsView()->model()->rowCount(), pane->contentArray().size());

    // A contact without photo shows the empty picture; no selection clears all.
    select({rowOf(QStringLiteral("Bo Moe"))});
    EXPECT_TRUE(pane->cardShowsEmptyImage());
    pane->itemsView()->deselectAllRows();
    EXPECT_TRUE(pane->curUUID().isEmpty());
    EXPECT_TRUE(pane->contactNameView()->text().isEmpty());
    EXPECT_TRUE(pane->contentArray().isEmpty());
}

TEST_F(ContactsViewFixture, DisplayNameAddsCompanyOnlyWhenNotContained)
{
    const struct {
        const char* extra;
        const char* last;
        const char* first;
        const char* shown;
    } cases[] = {
        {"ORG:Lee\r\n", "Lee", "Ann", "Ann Lee\r"},            // the name holds the company
        {"ORG:Acme\r\n", "Lee", "Ann", "Ann Lee\rAcme"},       // a company of its own
        {"", "Lee", "Ann", "Ann Lee\r"},                       // no company
        {"ORG:Solo GmbH\r\n", "", "", "Solo GmbH"},            // a company alone
        {"", "", "", "Unknown Person"},                        // nothing at all
    };
    for (const auto& c : cases) {
        list()->removeAllElements();
        add(personCard(QLatin1String(c.last), QLatin1String(c.first), QLatin1String(c.extra)));
        ASSERT_EQ(list()->count_cs(), 1) << c.shown;
        EXPECT_EQ(pane->elemDescription(0), QLatin1String(c.shown)) << c.extra;
    }
}

TEST_F(ContactsViewFixture, TitleClicksCycleFirstAndLastNamesAndNamelessStaysLast)
{
    add(personCard(QStringLiteral("Young"), QStringLiteral("Ann")));
    add(personCard(QString(), QString()));
    add(personCard(QStringLiteral("Zed"), QStringLiteral("Bob")));
    add(personCard(QStringLiteral("Xavier"), QStringLiteral("Cid")));
    const QString nameless = QStringLiteral("Unknown Person");
    const QStringList expected[] = {
        {"Ann Young", "Bob Zed", "Cid Xavier", nameless},   // first name ascending
        {"Cid Xavier", "Bob Zed", "Ann Young", nameless},   // descending
        {"Xavier Cid", "Young Ann", "Zed Bob", nameless},   // last name ascending
        {"Zed Bob", "Young Ann", "Xavier Cid", nameless},   // descending
        {"Ann Young", "Bob Zed", "Cid Xavier", nameless},   // and round again
    };
    for (const QStringList& order : expected) {
        pane->didClickTableColumn(*pane->itemsView(), OrganizerContactsView::kTitleColumn);
        EXPECT_EQ(shownNames(), order);
    }
    EXPECT_EQ(pane->sortCodeForColumnSelector(OrganizerContactsView::kPhoneColumn), OrganizerContactsView::kSortPhone);
    // The selection survives a re-sort.
    select({rowOf(QStringLiteral("Bob Zed"))});
    pane->didClickTableColumn(*pane->itemsView(), OrganizerContactsView::kTitleColumn);
    ASSERT_EQ(pane->itemsView()->selectedRowIndexes().size(), 1);
    EXPECT_TRUE(pane->elemDescription(pane->itemsView()->selectedRowIndexes().first()).startsWith("Bob Zed"));
}

TEST_F(ContactsViewFixture, DragWritesOneSafelyNamedFileIntoTheMirrorsTemporaryFolder)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    add(personCard(QStringLiteral("Nu"), QStringLiteral("Cy")));
    add(personCard(QStringLiteral("b"), QStringLiteral("../a/")));
    const int ann = rowOf(QStringLiteral("Ann Lee"));
    QList<int> others{rowOf(QStringLiteral("Bo Moe")), rowOf(QStringLiteral("Cy Nu"))};
    EXPECT_EQ(pane->fileNameForSelection({ann}), QStringLiteral("Ann Lee.vcf"));
    EXPECT_EQ(pane->fileNameForSelection(QList<int>{ann} + others), QStringLiteral("Ann Lee and 2 others.vcf"));
    const QString unsafe = pane->fileNameForSelection({rowOf(QStringLiteral("../a/"))});
    EXPECT_FALSE(unsafe.contains(QLatin1Char('/'))) << unsafe.toStdString();
    EXPECT_FALSE(unsafe.startsWith(QLatin1Char('.'))) << unsafe.toStdString();

    const QString folder = pane->getDropLocation();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(QStringLiteral("/OrganizerContacts")));
    std::unique_ptr<QMimeData> mime(pane->mimeDataForDraggedRows(QList<int>{ann} + others));
    ASSERT_TRUE(mime);
    ASSERT_EQ(mime->urls().size(), 1);
    const QString path = mime->urls().first().toLocalFile();
    EXPECT_EQ(path, folder + QStringLiteral("/Ann Lee and 2 others.vcf"));
    EXPECT_EQ(contactsViewFileText(path).count("BEGIN:VCARD"), 3);
    EXPECT_EQ(mime->data(contactsviewtransfer::kOrganizerMime), QByteArray("Contacts"));
    // The unsafe name stays inside the folder.
    std::unique_ptr<QMimeData> single(pane->mimeDataForDraggedRows({rowOf(QStringLiteral("../a/"))}));
    ASSERT_TRUE(single);
    EXPECT_EQ(QFileInfo(single->urls().first().toLocalFile()).absolutePath(), QDir(folder).absolutePath());
}

TEST_F(ContactsViewFixture, DragTakenAsMoveDeletesUndoablyAndOtherEndsDeleteNothing)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    QVElemTableView* items = pane->itemsView();
    const QList<int> rows{rowOf(QStringLiteral("Bo Moe"))};

    std::unique_ptr<QMimeData> copy(pane->writeRowsWithIndexes(*items, rows));
    items->draggedImageEnded(Qt::CopyAction);
    testing_support::runFor(0.5);
    EXPECT_EQ(list()->count_cs(), 2);

    std::unique_ptr<QMimeData> move(pane->writeRowsWithIndexes(*items, rows));
    items->draggedImageEnded(Qt::MoveAction);
    ASSERT_TRUE(runUntil([&] { return rowOf(QStringLiteral("Bo Moe")) < 0; }, 2.0));
    ASSERT_TRUE(items->undoManager()->canUndo());
    items->undoManager()->undo();
    EXPECT_GE(rowOf(QStringLiteral("Bo Moe")), 0);
    EXPECT_EQ(list()->count_cs(), 2);
}

TEST_F(ContactsViewFixture, CopySkipsAContactWithoutVCardTextAndKeepsEveryScript)
{
    add(personCard(QStringLiteral("Петров"), QStringLiteral("Иван")));
    // A contact whose rendering fails.
    class TextlessContact : public QVVCardElem {
    public:
        using QVVCardElem::QVVCardElem;
        QVariant vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>&) override { return {}; }
    };
    const auto named = QVVCardElem::elemWithData(personCard(QStringLiteral("Nil"), QStringLiteral("Ned")), QString(),
                                                 QString(), QString(), QString());
    ASSERT_TRUE(named);
    list()->addObject(std::make_shared<TextlessContact>(named->vxDict(), QStringLiteral("no-text"),
                                                        QStringLiteral("T-1"), QString(), QString(), QString()));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    pane->updateContent();
    ASSERT_EQ(list()->count_cs(), 3);
    pane->itemsView()->selectAllRows();
    pane->copyItems(*pane->itemsView());
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime);
    const QByteArray cards = mime->data(contactsviewtransfer::kVCardMime);
    EXPECT_EQ(cards.count("BEGIN:VCARD"), 2);
    EXPECT_TRUE(mime->text().contains(QStringLiteral("Иван Петров")));
    EXPECT_TRUE(mime->text().contains(QStringLiteral("Bo Moe")));
    EXPECT_TRUE(mime->text().contains(QStringLiteral("Ned Nil")));   // the name still goes out as text
    const QVariantMap people = platform::plist::read(mime->data(contactsviewtransfer::kPeopleDictMime)).toMap();
    ASSERT_EQ(people.size(), 2);
    bool cyrillic = false;
    for (const QVariant& person : people)
        cyrillic = cyrillic || platform::plist::toXml(person).contains(QStringLiteral("Петров").toUtf8());
    EXPECT_TRUE(cyrillic) << "the address-book data lost the Cyrillic name";
}

TEST_F(ContactsViewFixture, PasteTakesVCardsSelectsThemAndBeepsAtOtherText)
{
    QApplication::clipboard()->setText(QStringLiteral("just some words"));
    pane->pasteFromClipboard();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(list()->count_cs(), 0);

    auto* mime = new QMimeData;
    mime->setData(contactsviewtransfer::kVCardMime,
                  (personCard(QStringLiteral("Lee"), QStringLiteral("Ann")) + personCard(QStringLiteral("Moe"), QStringLiteral("Bo")))
                      .toUtf8());
    QApplication::clipboard()->setMimeData(mime);
    pane->pasteFromClipboard();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(list()->count_cs(), 2);
    EXPECT_EQ(pane->itemsView()->selectedRowIndexes().size(), 2);
    // New, not yet on the phone: no phone mark.
    EXPECT_TRUE(pane->objectValueForTableColumn(*pane->itemsView(), OrganizerContactsView::kPhoneColumn, 0)
                    .toString()
                    .isEmpty());
    // The paste is one undo step.
    pane->itemsView()->undoManager()->undo();
    EXPECT_EQ(list()->count_cs(), 0);
}

TEST_F(ContactsViewFixture, ImportSaysWhenAFileHoldsNoContactsAndCountsBrokenEntries)
{
    const QString empty = dir.path() + QStringLiteral("/notes.vcf");
    contactsViewWriteFile(empty, "no cards in here\n");
    pane->importFiles({empty});
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(pane->alerts.size(), 1);
    EXPECT_TRUE(pane->alerts.first().contains(QStringLiteral("The file holds no contacts.")));
    EXPECT_TRUE(pane->alerts.first().contains(QStringLiteral("notes.vcf")));

    // A FIFO dropped as a file is refused without waiting for a writer.
    const QString fifo = dir.path() + QStringLiteral("/pipe.vcf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    pane->alerts.clear();
    pane->importFiles({fifo});
    EXPECT_EQ(beeps, 2);
    ASSERT_EQ(pane->alerts.size(), 1);
    EXPECT_TRUE(pane->alerts.first().contains(QStringLiteral("pipe.vcf")));

    const QString mixed = dir.path() + QStringLiteral("/mixed.vcf");
    contactsViewWriteFile(mixed, (personCard(QStringLiteral("Lee"), QStringLiteral("Ann"))
                                  + personCard(QStringLiteral("Moe"), QStringLiteral("Bo"))
                                  + QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Cut;Off\r\n"))
                                     .toUtf8());
    QSignalSpy skipped(pane, &OrganizerContactsView::entriesSkipped);
    pane->alerts.clear();
    pane->importFiles({mixed});
    EXPECT_EQ(list()->count_cs(), 2);
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_EQ(skipped.first().first().toInt(), 1);
    ASSERT_EQ(pane->alerts.size(), 1);
    EXPECT_TRUE(pane->alerts.first().contains(QStringLiteral("2 contacts were added.")));
    EXPECT_TRUE(pane->alerts.first().contains(QStringLiteral("1 broken entries were skipped.")));
    pane->itemsView()->undoManager()->undo();
    EXPECT_EQ(list()->count_cs(), 0);
}

TEST_F(ContactsViewFixture, ExportIsReadBackByVobject)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    add(personCard(QStringLiteral("Ström"), QStringLiteral("Åsa"),
             QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=PNG:%1\r\n\r\n").arg(pngBase64(8))));
    EXPECT_EQ(pane->defaultExportFileName(), QStringLiteral("VCards from Anna's KU990.vcf"));
    QString offered;
    pane->setSavePanelHook([&](const QString& suggested) -> QString {
        offered = suggested;
        return dir.path() + QStringLiteral("/export");
    });
    pane->exportWithPictures();
    EXPECT_EQ(offered, QDir::homePath() + QStringLiteral("/VCards from Anna's KU990.vcf"));
    const QString path = dir.path() + QStringLiteral("/export.vcf");
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(contactsViewFileText(path).contains("PHOTO"));
    ASSERT_TRUE(pane->writeExport(dir.path() + QStringLiteral("/plain.vcf"), false));
    EXPECT_FALSE(contactsViewFileText(dir.path() + QStringLiteral("/plain.vcf")).contains("PHOTO"));

    QProcess python;
    python.start(QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, vobject\n"
                                 "names = sorted(str(c.n.value.family) for c in "
                                 "vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()))\n"
                                 "print(','.join(names))\n"),
                  path});
    ASSERT_TRUE(python.waitForFinished(60000));
    if (python.exitCode() != 0 && python.readAllStandardError().contains("No module named 'vobject'"))
        GTEST_SKIP() << "python3-vobject is not installed";
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(), QStringLiteral("Lee,Ström"));
}

TEST_F(ContactsViewFixture, StoreDropOntoAnEngineKeptListBeepsAndAddsNothing)
{
    engineKept = true;
    openPhone(QString::fromLatin1(MFDevice::kUSBSerial));
    ASSERT_TRUE(list()->isSyncEngineList());
    const int before = list()->count_cs();
    QMimeData drop;
    drop.setData(contactsviewtransfer::kPeopleUIDsMime, "some-uid\n");
    EXPECT_EQ(pane->validateDrop(*pane->itemsView(), drop, -1, Qt::CopyAction), Qt::CopyAction);
    EXPECT_FALSE(pane->acceptDrop(*pane->itemsView(), drop, -1, Qt::CopyAction));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(list()->count_cs(), before);
}

TEST_F(ContactsViewFixture, FileDropImportsAfterTheDrop)
{
    const QString file = dir.path() + QStringLiteral("/one.vcf");
    contactsViewWriteFile(file, personCard(QStringLiteral("Lee"), QStringLiteral("Ann")).toUtf8());
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(file)});
    EXPECT_EQ(pane->validateDrop(*pane->itemsView(), drop, -1, Qt::CopyAction), Qt::CopyAction);
    EXPECT_TRUE(pane->acceptDrop(*pane->itemsView(), drop, -1, Qt::CopyAction));
    EXPECT_EQ(list()->count_cs(), 0);   // not inside the drop
    ASSERT_TRUE(runUntil([&] { return list()->count_cs() == 1; }, 2.0));
    QMimeData nothing;
    nothing.setText(QStringLiteral("words"));
    EXPECT_EQ(pane->validateDrop(*pane->itemsView(), nothing, -1, Qt::CopyAction), Qt::IgnoreAction);
}

TEST_F(ContactsViewFixture, UpdateRequestsAndHistoryDevice)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    pane->update(nullptr);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.back().type, 0);
    EXPECT_EQ(requests.back().priority, 1);
    EXPECT_FALSE(requests.back().slow);
    pane->reloadFromDeviceMinimal();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests.back().slow);
    EXPECT_EQ(list()->count_cs(), 1);   // nothing cleared
    pane->reloadFromDevice(nullptr);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests.back().slow);
    EXPECT_EQ(list()->count_cs(), 0);
    EXPECT_TRUE(organizer.footer.startsWith(QStringLiteral("0 contacts"))) << organizer.footer.toStdString();

    EXPECT_EQ(pane->itemsView()->draggingSourceOperationMask(), Qt::CopyAction | Qt::MoveAction);
    EXPECT_TRUE(pane->itemsView()->acceptDrops());

    openPhone(QString::fromLatin1(MFDevice::kHistory));
    requests.clear();
    pane->update(nullptr);
    EXPECT_TRUE(requests.empty());
    EXPECT_GE(beeps, 1);
    EXPECT_TRUE(pane->updateButton()->isHidden());
    EXPECT_TRUE(pane->refreshButton()->isHidden());
    // A history phone's contacts leave only as copies, and nothing drops in.
    EXPECT_EQ(pane->itemsView()->draggingSourceOperationMask(), Qt::DropActions(Qt::CopyAction));
    EXPECT_FALSE(pane->itemsView()->acceptDrops());
}

TEST_F(ContactsViewFixture, KeyboardDeletesUndoesRedoesAndUpdates)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    pane->show();
    pane->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pane));
    QVElemTableView* items = pane->itemsView();
    items->setFocus();
    select({rowOf(QStringLiteral("Bo Moe"))});
    QTest::keyClick(items, Qt::Key_Delete);
    EXPECT_LT(rowOf(QStringLiteral("Bo Moe")), 0);
    QTest::keyClick(items, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_GE(rowOf(QStringLiteral("Bo Moe")), 0);
    QTest::keyClick(items, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_LT(rowOf(QStringLiteral("Bo Moe")), 0);
    QTest::keyClick(items, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(requests.size(), 1u);
    QTest::keyClick(items, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(pane->searchField()->hasFocus());
}

TEST_F(ContactsViewFixture, CardFollowsListChanges)
{
    add(personCard(QStringLiteral("Lee"), QStringLiteral("Ann")));
    add(personCard(QStringLiteral("Moe"), QStringLiteral("Bo")));
    select({rowOf(QStringLiteral("Bo Moe"))});
    const QString shown = pane->curUUID();
    ASSERT_FALSE(shown.isEmpty());
    platform::NotificationCenter::defaultCenter().post(OrganizerContactsView::kContactInvalidated, device.get(),
                                                       {{QStringLiteral("UUID"), QStringLiteral("ALL")}});
    EXPECT_EQ(pane->curUUID(), shown);
    list()->removeObject(list()->objectForUUID(shown));
    platform::NotificationCenter::defaultCenter().post(OrganizerContactsView::kContactInvalidated, device.get(),
                                                       {{QStringLiteral("UUID"), shown}});
    EXPECT_TRUE(pane->curUUID().isEmpty());
    EXPECT_TRUE(pane->cardShowsEmptyImage());
}

TEST_F(ContactsViewFixture, OrganizerCenterShowsThePaneWithItsFooter)
{
    closePhone();
    openPhone(QString::fromLatin1(MFDevice::kUSBSerial));
    list()->addVXDataItem(QString(), personCard(QStringLiteral("Lee"), QStringLiteral("Ann")), QString());
    OrganizerContactsViewCenter center;
    center.setup(nullptr, device.get());
    center.activate();
    EXPECT_TRUE(center.isActiveView(center.contactsView()));
    EXPECT_EQ(center.contactsView()->syncElemsList(), list());
    EXPECT_TRUE(center.footer()->text().startsWith(QStringLiteral("1 contacts"))) << center.footer()->text().toStdString();
}
