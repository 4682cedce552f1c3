#pragma once

// A phone with its data manager, files mirror and organizer archive, and a
// small contacts pane over the organizer pane bases, with a container that
// notes what the pane asks of it.
#include "TestEnvironment.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDescription.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "organizer/tables/OrganizerSyncTableView.h"
#include "organizer/tables/OrganizerViewProtocol.h"
#include "phone/DZDataManager.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/UserDefaults.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElemList.h"
#include "widgets/NSScaledImageButton.h"

#include <QLineEdit>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace tablestest {

inline const QString kContactCard =
    QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;%2\r\nTEL:555%3\r\nEND:VCARD\r\n");

class TablesRules : public SyncEnvironmentRules {
public:
    bool setupSyncEvironment() override { return false; }
    bool wantsToUseSyncEngineAtAll() const override { return !engineTypes.isEmpty(); }
    bool wantsToUseSyncEngineForProperty(int type) const override { return engineTypes.contains(type); }
    bool wantsSyncChangesFromDevice(int) const override { return fromDevice; }
    bool wasDatabaseSynced(int) const override { return false; }
    bool wantsToBackupOrganizerType(int) const override { return false; }
    void syncEngineDeviceActive(const QVariantMap&) override {}
    QSet<int> engineTypes;
    bool fromDevice = false;
};

class TablesEngineHandler : public DeviceSyncEngineHandler {
public:
    int trickleSyncEngine(int) override { return 0; }
    bool isBusy() const override { return false; }
    void updateEnabledEntities() override {}
    void announceQuit() override {}
    void enableSyncEngineNotifier() override {}
    QVariant lastSyncTime(int) const override { return QStringLiteral("2024-01-01 10:00:00 +0000"); }
    void setSlowModeForProperty(int, bool) override {}
    int initialReadFromSyncEngine(int, SynchronizationFeedbackConsumer*) override { return 0; }
};

class RecordingContainer : public OrganizerViewProtocol {
public:
    void setFooterText(const QString& text) override { footers.append(text); }
    bool isActiveView(const QWidget*) override { return true; }
    void reloadData() override { ++reloads; }
    bool isSyncEnabledForProperty(int) override { return syncEnabled; }
    void hideUpdateInfo() override { calls.append(QStringLiteral("hide")); }
    void displayUpdateInfo(const QPoint& point, const QString& text) override
    {
        calls.append(QStringLiteral("show %1,%2 %3").arg(point.x()).arg(point.y()).arg(text));
    }
    QStringList footers;
    QStringList calls;
    int reloads = 0;
    bool syncEnabled = false;
};

// A contacts pane: a name column ("title") and the state column ("phone").
// Like the contacts view it reloads its table and footer with the list, and
// its "title" column cycles first-name and last-name order.
class TestPane : public OrganizerSyncTableView {
public:
    TestPane()
    {
        setSyncProperty(0);
        auto* box = new QVBoxLayout(this);
        search = new QLineEdit;
        box->addWidget(search);
        table = new QVElemTableView;
        table->setTableColumns({{QStringLiteral("title"), QStringLiteral("Name"), 150, 40, 400},
                                {QStringLiteral("phone"), QStringLiteral("State"), 80, 30, 200}});
        box->addWidget(table);
        box->addWidget(updateButton());
        box->addWidget(refreshButton());
        setItemsView(table);
        setSearchField(search);
        resize(400, 300);
    }

    void reloadData() override
    {
        OrganizerSyncTableView::reloadData();
        itemsView()->reloadData();
        updateBottomLine();
    }
    void updateBottomLine() override { updateBottomLineWithTextItem(QStringLiteral("%d items")); }
    quint32 sortCodeForColumnSelector(const QString& identifier) override
    {
        if (identifier == QLatin1String("phone"))
            return 0x70686F6E;   // 'phon'
        return lastNames ? 0x6C617374 : 0x66697273;   // 'last', 'firs'
    }
    QVariant objectValueForTableColumn(DataTableView& t, const QString& column, int row) override
    {
        if (&t != itemsView())
            return {};
        const auto elem = elemAtRow(row);
        if (!elem)
            return {};
        return column == QLatin1String("phone") ? QVariant(getOnPhoneTypeStr(elem)) : QVariant(elem->sourceURI());
    }
    // The contacts view's cycle on its "title" column: the same column again
    // turns descending into a reversal, ascending into the other name order.
    void didClickTableColumn(DataTableView& t, const QString& column) override
    {
        if (&t != itemsView() || column != lastColumn()) {
            OrganizerSyncTableView::didClickTableColumn(t, column);
            return;
        }
        setSortDescending(!sortDescending());
        const auto saved = getSelectionElemsArray();
        if (sortDescending()) {
            syncElemsList()->reverse();
        } else {
            if (column == QLatin1String("title"))
                lastNames = !lastNames;
            syncElemsList()->sortBy(sortCodeForColumnSelector(column), sortDescending());
        }
        finishColumnClick(saved);
    }
    bool pressEnterKey(QVElemTableView&) override
    {
        ++enterKeys;
        return answersEnter;
    }
    void displayErrorText(int kind, const QString& title, const QString& text) override
    {
        alerts.append(QStringLiteral("%1|%2|%3").arg(kind).arg(title, text));
    }
    QMimeData* mimeDataForDraggedRows(const QList<int>&) override
    {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/vcard"), "BEGIN:VCARD");
        return data;
    }
    void pasteItems(const QVariantList& items, const QString& type, int level) override
    {
        pasted.append({items, type, level});
    }
    void selectionQVElemTableChanged() override { ++selectionChanges; }

    struct Paste {
        QVariantList items;
        QString type;
        int level;
    };
    QVElemTableView* table = nullptr;
    QLineEdit* search = nullptr;
    bool lastNames = false;
    bool answersEnter = false;
    int enterKeys = 0;
    int selectionChanges = 0;
    QStringList alerts;
    QList<Paste> pasted;
};

// A job that stays in its pipe.
class WaitingUpdateJob : public QVAction {
public:
    explicit WaitingUpdateJob(QString text)
        : text_(std::move(text))
    {
    }
    QString actionType() const override { return QStringLiteral("TablesWait"); }
    QString description() const override { return text_; }
    int startAction() override { return 0; }
    bool cancelAction() override { return false; }

private:
    QString text_;
};

inline const QString kUpdateContactsText = QStringLiteral("Update contacts");

class TablesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::gui::setBeepHandler([this] { ++beeps; });
        // Each test starts from the interface's column layout and no sort column.
        auto& defaults = platform::UserDefaults::standard();
        for (const char* key : {"NSTableView Columns OrganizerSyncTableView Vers.1.5.1_1",
                                "OrganizerSyncTableView-DefaultColumn",
                                "OrganizerSyncTableView-DefaultSortDescending"})
            defaults.remove(QLatin1String(key));
    }
    void TearDown() override
    {
        pane.reset();
        archive.reset();
        mirror.reset();
        device.reset();
        platform::gui::setBeepHandler({});
    }

    void makePhone(const QString& connType = QLatin1String(MFDevice::kUSBMassStorage), QSet<int> engine = {})
    {
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) {
            DZFileJobMakers jobs;
            jobs.organizerDescription = [](DZDataManager&, int type) {
                return type == 0 ? kUpdateContactsText : QString();
            };
            return std::make_unique<DZDataManager>(d, jobs);
        };
        makers.syncEnvironment = [this, engine](MFDevice&) {
            auto made = std::make_unique<TablesRules>();
            made->engineTypes = engine;
            rules = made.get();
            return made;
        };
        makers.syncEngineHandler = [](MFDevice&) { return std::make_unique<TablesEngineHandler>(); };
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        const QVariantMap row{{"Dorvanti.Model", "V3"}, {"Dorvanti.Manufacturer", "Motorola"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.SerialNo", QStringLiteral("3577%1").arg(++serials())}, {"Common.ModelName", "V3"}});
        device = std::make_unique<MFDevice>(connType, dict, row, description, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone%1.dzmir").arg(serials()));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
    }
    QVSyncElemList* contacts() const { return archive->storage(0); }
    // A contact on the phone (uri) or a new one (empty uri: a temporary id).
    QVSyncElemList::Elem addContact(const QString& uri, const QString& last, const QString& first = QStringLiteral("Ann"))
    {
        const QString id = uri.isEmpty() ? QStringLiteral("T-%1").arg(++temporaries) : uri;
        const auto elem = contacts()->createNewElem(kContactCard.arg(last, first, id), id, QStringLiteral("Phone"),
                                                    QStringLiteral("Phone"), QString());
        contacts()->addObject(elem);
        return elem;
    }
    // The pane woken, set up on the phone and shown.
    void openPane()
    {
        pane = std::make_unique<TestPane>();
        pane->awakeFromNib();
        pane->setup(nullptr, device.get(), &container);
        pane->show();
        pane->activate();
        pane->updateHeaderAndContent();
    }
    QStringList shownURIs() const
    {
        QStringList uris;
        for (int row = 0; row < pane->table->numberOfRows(); ++row)
            uris.append(pane->objectValueForTableColumn(*pane->table, QStringLiteral("title"), row).toString());
        return uris;
    }
    // The list's own order of its shown items, by URI.
    QStringList listOrder() const
    {
        QStringList uris;
        for (int row = 0; row < contacts()->count_cs(); ++row)
            uris.append(contacts()->objectAtIndex_cs(row)->sourceURI());
        return uris;
    }
    void selectURIs(const QStringList& uris) { pane->setSelectionURIsArray(uris); }

    static int& serials()
    {
        static int count = 0;
        return count;
    }
    QTemporaryDir dir;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
    RecordingContainer container;
    TablesRules* rules = nullptr;   // the phone's
    std::unique_ptr<TestPane> pane;
    int beeps = 0;
    int temporaries = 0;
};

} // namespace tablestest
