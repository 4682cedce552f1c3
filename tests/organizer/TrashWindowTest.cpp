#include "ListTestDevice.h"
#include "TrashTestSupport.h"
#include "VirtualTime.h"

#include "device/DeviceList.h"
#include "organizer/OrganizerHost.h"
#include "organizer/trash/TrashDrag.h"
#include "organizer/trash/TrashManagerHdlr.h"
#include "organizer/trash/TrashSheet.h"
#include "organizer/trash/TrashTableModel.h"
#include "platform/gui/Animation.h"
#include "platform/gui/TestArtifacts.h"
#include "syncmodel/QVSyncElemList.h"
#include "widgets/BetterSplitView.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/WidgetClasses.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <cstdlib>

using namespace trashtest;

namespace {

const QString kSerial = QStringLiteral("35412345678901");

// The shell as the trash window sees it: a current phone (or none) whose
// organizer storages are a real contacts list.
class WindowTestHost : public OrganizerHost {
public:
    int emptyTrashPeriod() override { return 61; }
    std::optional<QVariantMap> currentPhoneEntry() override
    {
        if (!hasPhone)
            return std::nullopt;
        return QVariantMap{{"Common.DeviceName", "Anna's phone"},
                           {"Common.SerialNo", kSerial},
                           {"Common.Identifier", "LG+KU990"},
                           {"Common.qvDeviceID", "42"}};
    }
    bool restoreToCurrentPhone(const QList<TrashedItem*>& items) override
    {
        if (!hasPhone)
            return false;
        for (TrashedItem* item : items) {
            auto* elem = dynamic_cast<TrashElem*>(item);
            item->setSourceURI(QString());
            if (elem && item->organizerType() == 0)
                contacts.replaceItem(elem->syncElem());
        }
        ++restores;
        return true;
    }
    bool hasPhone = true;
    int restores = 0;
    ListTestDevice device;
    QVSyncElemList contacts{0, &device};
};

class TrashWindowTest : public TrashTest {
protected:
    void SetUp() override
    {
        TrashTest::SetUp();
        registerWidgetClasses();
        OrganizerHost::setShared(&host);
        platform::gui::setBeepHandler([this] { ++beeps; });
        DeviceList& list = DeviceList::sharedDeviceList();
        if (list.getIndexFor(kSerial) < 0)
            list.addDevice(std::make_shared<QVariantMap>(QVariantMap{{"Common.DeviceName", "Anna's phone"},
                                                                     {"Common.SerialNo", kSerial},
                                                                     {"Common.Identifier", "LG+KU990"}}));
        store = std::make_unique<TrashManager>(fileName);
        store->readFromDisk();
        window = std::make_unique<TrashManagerHdlr>(*store);
        window->window()->resize(760, 460);
    }
    void TearDown() override
    {
        window.reset();
        store.reset();
        platform::gui::setBeepHandler({});
        OrganizerHost::setShared(nullptr);
        TrashTest::TearDown();
    }

    template <class T>
    T* find(const char* name) const
    {
        return window->window()->findChild<T*>(QLatin1String(name));
    }
    QString countText() const { return find<QLabel>("countField")->text(); }
    QString tab() const { return find<QStackedWidget>("detailTabs")->currentWidget()->objectName(); }
    QTableView* table() const { return find<QTableView>("itemsTable"); }
    bool enabled(const char* button) const { return find<NSScaledImageButton>(button)->isEnabled(); }
    void selectRows(std::initializer_list<int> rows)
    {
        table()->clearSelection();
        for (int row : rows)
            table()->selectionModel()->select(window->model()->index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    int rowOf(const QString& title) const
    {
        for (int row = 0; row < store->count(); ++row)
            if (window->model()->elemAt(row)->getTitleForList().startsWith(title))
                return row;
        return -1;
    }
    void trashContact(const char* last, const char* first)
    {
        store->putItemToTrash(contact(QString::fromUtf8(last), QString::fromUtf8(first)), testPhone(), false);
    }

    WindowTestHost host;
    std::unique_ptr<TrashManager> store;
    std::unique_ptr<TrashManagerHdlr> window;
    int beeps = 0;
};

// For a look at the real window: with MARVESTO_TRASH_XVFB_HOLD=<seconds> the
// test runs the real event loop that long at the named point.
void holdForLook(QWidget* window)
{
    const char* hold = std::getenv("MARVESTO_TRASH_XVFB_HOLD");
    if (!hold)
        return;
    testing_support::RealTimeScope realTime;
    window->show();
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < qint64(std::atof(hold) * 1000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

TEST_F(TrashWindowTest, CountLineTabsAndButtonsFollowTheStore)
{
    EXPECT_EQ(countText(), "0 items");
    EXPECT_EQ(tab(), "Empty");
    EXPECT_FALSE(enabled("emptyTrashButton"));
    EXPECT_FALSE(enabled("restoreButton"));

    trashContact("Berg", "Carl");
    EXPECT_EQ(countText(), "1 item");
    EXPECT_TRUE(enabled("emptyTrashButton"));
    EXPECT_FALSE(enabled("restoreButton")) << "nothing selected";
    store->putItemToTrash(fromText(event("Dentist")), testPhone(), true);
    QVariantMap other = fileEntry(QStringLiteral("a note"), -1, QDateTime::currentDateTime());
    store->setList(store->getList() << QVariant::fromValue(TrashElem::trashElemFromDictionary(other)));
    EXPECT_EQ(countText(), "3 items");

    struct Case {
        const char* title;
        const char* tab;
    };
    for (const Case& c : {Case{"Carl Berg", "Contacts"}, Case{"Dentist", "Events"}, Case{"???", "Empty"}}) {
        const int row = rowOf(QLatin1String(c.title));
        ASSERT_GE(row, 0) << c.title;
        selectRows({row});
        EXPECT_EQ(tab(), c.tab) << c.title;
        EXPECT_TRUE(enabled("restoreButton")) << c.title;
    }
    selectRows({rowOf("Carl Berg")});
    EXPECT_EQ(find<QLabel>("contactName")->text(), "Berg Carl");
    EXPECT_GT(find<QTableWidget>("contactDetailTable")->rowCount(), 0);
    EXPECT_FALSE(find<QLabel>("contactImage")->pixmap().isNull()) << "the empty picture";
    selectRows({rowOf("Dentist")});
    EXPECT_EQ(find<QLabel>("eventDescription")->text(), "Dentist");
    EXPECT_FALSE(find<QLabel>("eventDate")->text().isEmpty());
    const QModelIndex typeCell = window->model()->index(rowOf("Dentist"), TrashTableModel::Type);
    EXPECT_FALSE(typeCell.data(Qt::DecorationRole).value<QImage>().isNull());

    host.hasPhone = false;
    window->validateButtons();
    EXPECT_FALSE(enabled("restoreButton")) << "no phone to restore to";
    platform::gui::saveGrab(window->window(), QStringLiteral("trash-window-event"));

    window->emptyTrash();
    ASSERT_TRUE(window->alertSheet());
    EXPECT_EQ(window->alertSheet()->messageLabel()->text(), "Delete all items in the organizer trash for good?");
    EXPECT_EQ(window->alertSheet()->defaultButton()->text(), "Delete");
    platform::gui::saveGrab(window->window(), QStringLiteral("trash-window-empty-question"));
    holdForLook(window->window());
    window->alertSheet()->cancelButton()->click();
    EXPECT_EQ(store->count(), 3);
    window->emptyTrash();
    window->alertSheet()->defaultButton()->click();
    EXPECT_EQ(store->count(), 0);
    EXPECT_EQ(countText(), "0 items");
    EXPECT_EQ(tab(), "Empty");
}

TEST_F(TrashWindowTest, AContactDeletedInAListIsRestoredAsNewAndStaysOutOfTheTrash)
{
    ListTestDevice device;
    QVSyncElemList list(0, &device);
    list.setTrash(store.get());
    auto removed = contact("Berg", "Carl");
    list.addObject(removed);
    list.addToDeleted(removed);
    store->putItemToTrash(fromText(event("Dentist")), testPhone(), false);
    ASSERT_EQ(store->count(), 2);
    ASSERT_TRUE(store->writeToDisk());

    selectRows({rowOf("Carl Berg")});
    window->restoreItems();
    ASSERT_TRUE(window->restoreSheet());
    QComboBox* popup = window->phonePopup();
    ASSERT_EQ(popup->count(), 1);
    EXPECT_EQ(popup->currentText(), "Anna's phone");
    EXPECT_EQ(popup->currentData().toString(), kSerial);
    EXPECT_EQ(popup->iconSize(), QSize(20, 20));
    platform::gui::saveGrab(window->window(), QStringLiteral("trash-window-restore-sheet"));
    holdForLook(window->window());
    window->restoreSheet()->defaultButton()->click();

    EXPECT_EQ(host.restores, 1);
    ASSERT_EQ(host.contacts.count(), 1);
    const auto restored = host.contacts.allElems().front();
    EXPECT_EQ(restored->elemDescription(), "Carl Berg");
    EXPECT_FALSE(restored->isOnDevice()) << "a new item for the phone";
    EXPECT_EQ(store->count(), 1);
    EXPECT_TRUE(store->isDirty());
    EXPECT_EQ(countText(), "1 item");

    // After a restart the restored contact is not back.
    ASSERT_TRUE(store->writeToDisk());
    TrashManager restarted(fileName);
    restarted.readFromDisk();
    ASSERT_EQ(restarted.count(), 1);
    EXPECT_TRUE(restarted.objectAtIndex(0)->getTitleForList().startsWith("Dentist"));

    // Without a current phone: a beep and no change.
    host.hasPhone = false;
    selectRows({0});
    window->restoreItems();
    const int before = beeps;
    window->endAskForRestore(1);
    EXPECT_EQ(beeps, before + 1);
    EXPECT_EQ(store->count(), 1);
    EXPECT_EQ(host.restores, 1);
}

TEST_F(TrashWindowTest, DraggedContactsBecomeOneVCardFile)
{
    trashContact("Berg", "Carl");
    trashContact("Lee", "Ann");
    trashContact("Müller", "Jörg");
    store->putItemToTrash(fromText(event("Dentist")), testPhone(), false);
    const QList<TrashElemPtr> contacts = store->elems().mid(0, 3);

    EXPECT_EQ(trashdrag::fileName({contacts.at(0)}), "Carl Berg.vcf");
    EXPECT_EQ(trashdrag::fileName(contacts), "Carl Berg and 2 others.vcf");
    EXPECT_TRUE(trashdrag::fileName({store->elems().at(3), contacts.at(0)}).isNull()) << "first is an event";
    // A name with a slash stays one file name.
    store->putItemToTrash(contact("AC/DC", "Band"), testPhone(), false);
    EXPECT_EQ(trashdrag::fileName({store->elems().last()}), "Band AC_DC.vcf");

    const QString folder = this->folder + QStringLiteral("/drag");
    const QString path = trashdrag::writeFile(contacts, folder);
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count("BEGIN:VCARD"), 3);
    EXPECT_TRUE(text.contains("N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller;J=C3=B6rg"));
    if (const char* out = std::getenv("MARVESTO_TRASH_DRAG_OUT")) {
        ASSERT_TRUE(QFile::copy(path, QString::fromLocal8Bit(out)));
    }

    // A contact and an event: only the contact is written.
    const QByteArray mixed = trashdrag::fileText({contacts.at(1), store->elems().at(3)});
    EXPECT_EQ(mixed.count("BEGIN:VCARD"), 1);
    EXPECT_FALSE(mixed.contains("VCALENDAR"));

    // The table's drag: the file, the organizer type and the text.
    const int berg = rowOf("Carl Berg");
    const int dentist = rowOf("Dentist");
    std::unique_ptr<QMimeData> data(window->model()->mimeData({window->model()->index(berg, 0)}));
    ASSERT_TRUE(data);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_TRUE(data->urls().first().toLocalFile().endsWith("/Trash/Carl Berg.vcf"));
    EXPECT_EQ(data->data("DorvantiOrganizerPboardType"), "Contacts");
    EXPECT_EQ(data->text(), "Contacts");
    EXPECT_FALSE(window->model()->mimeData({window->model()->index(dentist, 0)})) << "an event alone drags nothing";
}

TEST_F(TrashWindowTest, FadesKeysAndSplitLimits)
{
    trashContact("Berg", "Carl");
    trashContact("Lee", "Ann");
    window->doOpen();
    window->doOpen();
    EXPECT_EQ(window->fadeInCount(), 1) << "opened twice in a row fades in once";
    testing_support::runFor(0.5);
    EXPECT_FALSE(window->isFading());
    EXPECT_DOUBLE_EQ(window->window()->windowOpacity(), 1.0);
    EXPECT_TRUE(window->isOpen());
    platform::gui::saveGrab(window->window(), QStringLiteral("trash-window-contact"));

    QTest::keyClick(table(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->selectedElems().size(), 2) << "Ctrl+A selects all";

    // Delete asks, then removes the selected entries.
    selectRows({rowOf("Ann Lee")});
    QTest::keyClick(table(), Qt::Key_Delete);
    ASSERT_TRUE(window->alertSheet());
    window->alertSheet()->defaultButton()->click();
    EXPECT_EQ(store->count(), 1);
    EXPECT_TRUE(store->isDirty());

    // Return restores the selection to the current phone.
    selectRows({0});
    QTest::keyClick(table(), Qt::Key_Return);
    ASSERT_TRUE(window->restoreSheet());
    QTest::keyClick(window->restoreSheet(), Qt::Key_Escape);
    EXPECT_FALSE(window->restoreSheet());
    EXPECT_EQ(store->count(), 1) << "cancelled";

    // Escape and the close button fade the window out; it is never closed.
    QTest::keyClick(table(), Qt::Key_Escape);
    EXPECT_TRUE(window->isFading());
    testing_support::runFor(0.5);
    EXPECT_FALSE(window->isOpen());
    window->doOpen();
    EXPECT_EQ(window->fadeInCount(), 2);
    testing_support::runFor(0.5);
    window->window()->close();
    testing_support::runFor(0.5);
    EXPECT_FALSE(window->isOpen());

    auto* split = find<BetterSplitView>("splitView");
    ASSERT_TRUE(split);
    EXPECT_EQ(window->constrainMinCoordinate(*split, 20, 0), 180);
    EXPECT_EQ(window->constrainMaxCoordinate(*split, 900, 0), split->width() * 0.8);
}
