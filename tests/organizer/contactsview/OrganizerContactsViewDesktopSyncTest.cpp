// The contacts pane kept in step with the desktop store: a contact added in
// the pane reaches a .vcf after the pane's engine sync, and a .vcf another
// program writes shows in the pane after the next sync.
#include "SyncEngineHandlerSupport.h"

#include "desktopstore/DesktopStore.h"
#include "organizer/contacts/OrganizerContactsView.h"
#include "organizer/tables/OrganizerViewProtocol.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"

#include <QDirIterator>

using namespace handler_test;
using testing_support::runUntil;

namespace {

class DesktopSyncOrganizer : public OrganizerViewProtocol {
public:
    void setFooterText(const QString&) override {}
    bool isActiveView(const QWidget*) override { return true; }
    void reloadData() override {}
    bool isSyncEnabledForProperty(int) override { return true; }
    void hideUpdateInfo() override {}
    void displayUpdateInfo(const QPoint&, const QString&) override {}
    void smsHandleSMS(const QVariantMap&) override {}
};

class ContactsViewDesktopSyncTest : public HandlerFixture {
protected:
    void SetUp() override
    {
        HandlerFixture::SetUp();
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        ASSERT_EQ(description->setupFromProtocol(QStringLiteral("Protocol LG")), 0);
        MFDevice::Makers makers;
        makers.generalSyncInfo = [this] { return &engineInfo; };
        makers.syncEngineHandler = [this](MFDevice& d) -> std::unique_ptr<DeviceSyncEngineHandler> {
            return SyncEngineHandler::initWithMFDevice(d, manager());
        };
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, DZFileJobMakers{}); };
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"},
                                                              {"Common.DeviceName", "Ann's phone"},
                                                              {"Common.SyncEnvironment", environment(3, 0)}});
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBSerial), dict, row, description,
                                            std::move(makers));
        mirror = FilesMirror::mirrorWithDevice(*device, folder() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
        if (!archive->storage(0))
            archive->createEmptyStorage(0);
        ASSERT_TRUE(handler());
        handler()->enableSyncEngineNotifier();
        pane = std::make_unique<OrganizerContactsView>();
        pane->awakeFromNib();
        pane->setup(nullptr, device.get(), &organizer);
        pane->activate();
        store = std::make_unique<desktopstore::DesktopStore>(manager(), root());
    }
    void TearDown() override
    {
        pane.reset();
        store.reset();
        archive.reset();
        mirror.reset();
        HandlerFixture::TearDown();
    }
    QString root() const { return folder() + QStringLiteral("/vdir"); }
    void syncDesktop()
    {
        bool ended = false;
        bool ok = false;
        store->synchronize([&](bool finished) {
            ok = finished;
            ended = true;
        });
        ASSERT_TRUE(runUntil([&] { return ended; }));
        ASSERT_TRUE(ok);
    }
    QString cardOf(const QString& text) const
    {
        QDirIterator it(root() + QStringLiteral("/contacts"), {QStringLiteral("*.vcf")}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
                return path;
        }
        return {};
    }
    QStringList shownNames() const
    {
        QStringList names;
        QVSyncElemList* list = archive->storage(0);
        for (int row = 0; list && row < list->count_cs(); ++row)
            names << pane->elemDescription(row).section(QLatin1Char('\r'), 0, 0);
        return names;
    }

    testing_support::OutsideInputScope outside{0.05};
    DesktopSyncOrganizer organizer;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
    std::unique_ptr<OrganizerContactsView> pane;
    std::unique_ptr<desktopstore::DesktopStore> store;
};

} // namespace

TEST_F(ContactsViewDesktopSyncTest, PaneContactReachesItsCardAndAnOutsideCardShowsAfterSync)
{
    // A contact added in the pane goes to the store after the pane's sync.
    archive->storage(0)->addVXDataItem(QString(),
                                       QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\n"
                                                      "TEL;CELL:+491705550111\r\nEND:VCARD\r\n"),
                                       QString());
    pane->updateContent();
    ASSERT_EQ(shownNames(), QStringList{QStringLiteral("Ann Lee")});
    pane->syncWithEngine();
    ASSERT_TRUE(runEnds());
    syncDesktop();
    const QString ann = cardOf(QStringLiteral("+491705550111"));
    ASSERT_FALSE(ann.isEmpty());

    // Another program writes a card; after the store's and the pane's sync
    // the pane lists it.
    QDir().mkpath(root() + QStringLiteral("/contacts"));
    QFile card(root() + QStringLiteral("/contacts/outside-1.vcf"));
    ASSERT_TRUE(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:outside-1\r\nN:Roe;Bo;;;\r\nFN:Bo Roe\r\n"
               "TEL;TYPE=CELL:+491715550222\r\nEND:VCARD\r\n");
    card.close();
    syncDesktop();
    ASSERT_TRUE(runUntil([&] { return !handler()->isBusy(); }, 30.0));
    pane->syncWithEngine();
    ASSERT_TRUE(runEnds());
    pane->updateContent();
    EXPECT_TRUE(runUntil([&] { return shownNames().contains(QStringLiteral("Bo Roe")); }, 30.0))
        << shownNames().join(u',').toStdString();
}
