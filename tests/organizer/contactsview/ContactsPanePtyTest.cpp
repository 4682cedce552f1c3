// The contacts pane against a phone on a pseudo-terminal, end to end: the
// pane's update goes through the data manager's contacts job of the phone's
// family (LG or Motorola), the kit bridge, the shared kit library and
// phonesim, and the pane's table shows what the phone holds. A contact
// deleted in the pane leaves the phone with the next update, and a contact
// pasted from the desktop folder shows as new and reaches the phone.
#include "ArchivedPtyPhoneFixture.h"
#include "PhoneJobsTestSupport.h"

#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/OrganizerContactsView.h"
#include "organizer/contacts/OrganizerContactsViewTransfer.h"
#include "organizer/tables/DataTableView.h"
#include "organizer/tables/OrganizerViewProtocol.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/Localization.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElemList.h"

#include "LgPhonebook.h"
#include "PhoneSession.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace phonejobs_test;

namespace {

struct ContactsPanePtyProfile {
    const char* profile;
    const char* syncProtocol;
    bool lg;
};

void PrintTo(const ContactsPanePtyProfile& profile, std::ostream* out)
{
    *out << profile.profile;
}

class ContactsPanePtyOrganizer : public OrganizerViewProtocol {
public:
    void setFooterText(const QString&) override {}
    bool isActiveView(const QWidget*) override { return true; }
    void reloadData() override {}
    bool isSyncEnabledForProperty(int) override { return false; }
    void hideUpdateInfo() override {}
    void displayUpdateInfo(const QPoint&, const QString&) override {}
    void smsHandleSMS(const QVariantMap&) override {}
};

// One row of the pane's table as the table's model shows it.
struct ContactsPanePtyRow {
    QString title;
    QString state;
    QColor background;   // invalid: none
};

QByteArray contactsPanePtyLgBody(const QString& first, const QString& last, const QString& number)
{
    const QVariantMap contact{{QStringLiteral("firstname"), first},
                              {QStringLiteral("lastname"), last},
                              {QStringLiteral("phone"),
                               QVariantList{QVariantMap{{QStringLiteral("value"), number},
                                                        {QStringLiteral("type"), QStringLiteral("mobile")}}}}};
    return kestrova::lg::lgViewtyPhonebookCreateRawDataForDict(contact, 0).mid(4);
}

bool contactsPanePtyLgHolds(const QByteArray& body, const QString& text)
{
    QByteArray units;
    kestrova::lg::appendUtf16(units, text);
    return body.contains(units);
}

// The phone keeps first and last name as one text and where the last name
// begins.
phonesim::MotorolaContact contactsPanePtyMotoContact(int slot, const QString& first, const QString& last,
                                                     const QString& number)
{
    phonesim::MotorolaContact contact;
    contact.slot = slot;
    contact.name = first + last;
    contact.position = int(first.size());
    contact.fields = {{1, number, 3, 1}};
    return contact;
}

void contactsPanePtyWrite(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(data);
}

class ContactsPanePtyTest : public ArchivedPtyPhoneFixture,
                            public ::testing::WithParamInterface<ContactsPanePtyProfile> {
protected:
    void SetUp() override
    {
        ArchivedPtyPhoneFixture::SetUp();
        platform::gui::setBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        delete pane;
        pane = nullptr;
        store.reset();
        QApplication::clipboard()->clear();
        platform::gui::setBeepHandler({});
        ArchivedPtyPhoneFixture::TearDown();
    }

    // The phone of the profile as openArchived makes it, except that the
    // data manager's organizer jobs are noted as they are made, and the pane
    // set up on it.
    void open()
    {
        const ContactsPanePtyProfile& p = GetParam();
        attachPhone(p.profile);
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kVendor},
                                                              {"USB.ProductID", kProduct},
                                                              {"Common.SerialNo", kSerial},
                                                              {"Common.DeviceName", "Pane Phone"},
                                                              {"USB.PortName", sim->slavePath()}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", p.profile},
                              {"Dorvanti.Identification", p.profile},
                              {"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.SMSProtocol", p.profile},
                              {"Dorvanti.SyncMLProtocol", p.syncProtocol}};
        DZFileJobMakers jobs = filejobs::makers();
        jobs.organizerJob = [this, made = jobs.organizerJob](DZDataManager& manager, int type, int priority,
                                                              bool slow, DZFileJobMakers::Notify notify) {
            DZFileJobMakers::Job job = made ? made(manager, type, priority, slow, std::move(notify)) : nullptr;
            if (job)
                madeJobs.push_back(job);
            return job;
        };
        MFDevice::Makers makers;
        makers.dataManager = [jobs](MFDevice& d) { return std::make_unique<DZDataManager>(d, jobs); };
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
        if (!archive->storage(0))
            archive->createEmptyStorage(0);
        if (!p.lg)
            sim->modifySession([](phonesim::PhoneSession& s) {
                s.characterSet.offered = {"GSM", "UCS2"};
                s.motorola.lastSlot = 10;
            });
        pane = new OrganizerContactsView;
        pane->resize(900, 600);
        pane->awakeFromNib();
        pane->setup(nullptr, device.get(), &organizer);
        pane->activate();
    }

    // The phone's contacts: first and last name with a number each.
    void seedPhone(const QList<QStringList>& people)
    {
        if (GetParam().lg) {
            sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) {
                int slot = 2;
                for (const QStringList& person : people)
                    pb.entries.insert(slot++, contactsPanePtyLgBody(person.at(0), person.at(1), person.at(2)));
            });
            return;
        }
        sim->modifySession([&](phonesim::PhoneSession& s) {
            int slot = 2;
            for (const QStringList& person : people) {
                s.motorola.contacts.append(
                    contactsPanePtyMotoContact(slot, person.at(0), person.at(1), person.at(2)));
                ++slot;
            }
        });
    }

    // How many of phonesim's phonebook entries hold the first name.
    int onPhone(const QString& first)
    {
        int found = 0;
        if (GetParam().lg) {
            sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) {
                for (const QByteArray& body : std::as_const(pb.entries))
                    found += contactsPanePtyLgHolds(body, first) ? 1 : 0;
            });
            return found;
        }
        for (const auto& contact : sim->session().motorola.contacts)
            found += contact.name.contains(first) ? 1 : 0;
        return found;
    }
    int phoneCount()
    {
        int count = 0;
        if (GetParam().lg)
            sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) { count = int(pb.entries.size()); });
        else
            count = int(sim->session().motorola.contacts.size());
        return count;
    }

    // The update button, run until the contacts job it posted ends; its end code.
    int updateFromPane()
    {
        const size_t before = madeJobs.size();
        pane->update(nullptr);
        if (madeJobs.size() != before + 1) {
            ADD_FAILURE() << "the update made " << madeJobs.size() - before << " jobs";
            return -999;
        }
        // The job is heard until the test ends, longer than this call.
        auto end = std::make_shared<std::optional<int>>();
        follow(madeJobs.back(), [end](const platform::Notification& note) {
            const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (code.isValid())
                *end = code.toInt();
        });
        EXPECT_TRUE(runUntil([&] { return end->has_value(); }, 120.0));
        // The tables reload on the data manager's notice, posted when idle.
        runUntil([] { return false; }, 0.2);
        return end->value_or(-999);
    }

    QList<ContactsPanePtyRow> tableRows() const
    {
        QList<ContactsPanePtyRow> rows;
        DataTableView* table = pane->itemsView();
        DataTableModel* model = table->tableModel();
        const int title = table->columnWithIdentifier(OrganizerContactsView::kTitleColumn);
        const int state = table->columnWithIdentifier(OrganizerContactsView::kPhoneColumn);
        for (int row = 0; row < model->rowCount(); ++row) {
            const QVariant back = model->data(model->index(row, title), Qt::BackgroundRole);
            rows.append({model->data(model->index(row, title), Qt::DisplayRole).toString(),
                         model->data(model->index(row, state), Qt::DisplayRole).toString(),
                         back.canConvert<QBrush>() ? back.value<QBrush>().color() : QColor()});
        }
        return rows;
    }
    // The row whose title begins with the first name, -1 when none.
    int rowOf(const QString& first) const
    {
        const QList<ContactsPanePtyRow> rows = tableRows();
        for (int row = 0; row < rows.size(); ++row)
            if (rows.at(row).title.startsWith(first))
                return row;
        return -1;
    }
    std::string describeTable() const
    {
        QStringList lines;
        for (const ContactsPanePtyRow& row : tableRows())
            lines << QStringLiteral("%1 [%2] %3").arg(row.title, row.state, row.background.name());
        return lines.join(QLatin1Char('\n')).toStdString();
    }

    testing_support::OutsideInputScope fasterInput{0.02};
    ContactsPanePtyOrganizer organizer;
    OrganizerContactsView* pane = nullptr;
    std::unique_ptr<ContactStore> store;
    std::vector<DZFileJobMakers::Job> madeJobs;
    int beeps = 0;
};

const QColor kContactsPanePtyNew = QColor::fromRgbF(0.871f, 1.0f, 0.871f);
const QColor kContactsPanePtyDeleted = QColor::fromRgbF(1.0f, 0.871f, 0.871f);

bool contactsPanePtySameColour(const QColor& a, const QColor& b)
{
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1
        && std::abs(a.blue() - b.blue()) <= 1;
}

} // namespace

// Update reads the phone's contacts into the table; a contact deleted in the
// pane is gone from the phone after the next update; contacts pasted from
// the desktop (a person of the desktop address book by id, a vCard file's
// text) are marked new and are on the phone after the next update.
TEST_P(ContactsPanePtyTest, UpdateDeleteAndPasteReachThePhone)
{
    open();
    ASSERT_FALSE(HasFatalFailure());
    seedPhone({{QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("+4917055501")},
               {QStringLiteral("Bo"), QStringLiteral("Moe"), QStringLiteral("+4917055502")},
               {QStringLiteral("Cy"), QStringLiteral("Nu"), QStringLiteral("+4917055503")}});
    const QString onDevice = platform::localizedString(QStringLiteral("ElemMarker_OnDevice"));
    const QString deleted = platform::localizedString(QStringLiteral("ElemMarker_Delete"));

    // 1. The phone's contacts come in as rows, each on the phone.
    ASSERT_EQ(updateFromPane(), 0);
    QList<ContactsPanePtyRow> rows = tableRows();
    ASSERT_EQ(rows.size(), 3) << describeTable();
    QStringList titles;
    for (const ContactsPanePtyRow& row : rows) {
        titles << row.title;
        EXPECT_EQ(row.state, onDevice) << describeTable();
        EXPECT_FALSE(row.background.isValid()) << describeTable();
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Ann Lee"), QStringLiteral("Bo Moe"), QStringLiteral("Cy Nu")}))
        << describeTable();

    // 2. Bo deleted with the Delete key: marked deleted until the update,
    // then gone from the phone and the table; the others stay.
    pane->itemsView()->selectRowIndexes({rowOf(QStringLiteral("Bo"))}, false);
    pane->deleteKeyPressed(*pane->itemsView());
    // Selected rows draw no state colour.
    pane->itemsView()->deselectAllRows();
    const int bo = rowOf(QStringLiteral("Bo"));
    ASSERT_GE(bo, 0) << describeTable();
    rows = tableRows();
    EXPECT_EQ(rows.at(bo).state, deleted) << describeTable();
    EXPECT_TRUE(contactsPanePtySameColour(rows.at(bo).background, kContactsPanePtyDeleted)) << describeTable();
    EXPECT_EQ(onPhone(QStringLiteral("Bo")), 1);

    ASSERT_EQ(updateFromPane(), 0);
    EXPECT_EQ(onPhone(QStringLiteral("Bo")), 0);
    EXPECT_EQ(onPhone(QStringLiteral("Ann")), 1);
    EXPECT_EQ(onPhone(QStringLiteral("Cy")), 1);
    EXPECT_EQ(phoneCount(), 2);
    EXPECT_EQ(rowOf(QStringLiteral("Bo")), -1) << describeTable();
    EXPECT_EQ(tableRows().size(), 2) << describeTable();

    // 3. Pasted from the desktop folder: Dora as a person of the desktop
    // address book (its contacts folder), Eve as a vCard file's text on the
    // clipboard. Both are new in the table until the update puts them on
    // the phone.
    const QString desktop = dir.path() + QStringLiteral("/desktop");
    contactsPanePtyWrite(desktop + QStringLiteral("/contacts/dora.vcf"),
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:pane-dora\r\nN:Desk;Dora;;;\r\nFN:Dora Desk\r\n"
                         "TEL;TYPE=CELL:+4930999001\r\nEND:VCARD\r\n");
    ASSERT_FALSE(HasFatalFailure());
    contactsPanePtyWrite(desktop + QStringLiteral("/Eve Ray.vcf"),
                         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Ray;Eve\r\nTEL;CELL:+4930999002\r\nEND:VCARD\r\n");
    ASSERT_FALSE(HasFatalFailure());
    store = std::make_unique<ContactStore>(desktop);
    ASSERT_TRUE(store->personByUid(QStringLiteral("pane-dora")));
    pane->setContactStore(store.get());

    auto* uids = new QMimeData;
    uids->setData(contactsviewtransfer::kPeopleUIDsMime, "pane-dora");
    QApplication::clipboard()->setMimeData(uids);
    pane->pasteFromClipboard();
    QFile eveFile(desktop + QStringLiteral("/Eve Ray.vcf"));
    ASSERT_TRUE(eveFile.open(QIODevice::ReadOnly));
    auto* card = new QMimeData;
    card->setData(contactsviewtransfer::kVCardMime, eveFile.readAll());
    QApplication::clipboard()->setMimeData(card);
    pane->pasteFromClipboard();
    EXPECT_EQ(beeps, 0);

    pane->itemsView()->deselectAllRows();
    rows = tableRows();
    ASSERT_EQ(rows.size(), 4) << describeTable();
    for (const QString& first : {QStringLiteral("Dora"), QStringLiteral("Eve")}) {
        const int row = rowOf(first);
        ASSERT_GE(row, 0) << first.toStdString() << "\n" << describeTable();
        EXPECT_TRUE(rows.at(row).state.isEmpty()) << describeTable();
        EXPECT_TRUE(contactsPanePtySameColour(rows.at(row).background, kContactsPanePtyNew)) << describeTable();
        EXPECT_EQ(onPhone(first), 0);
    }

    ASSERT_EQ(updateFromPane(), 0);
    EXPECT_EQ(onPhone(QStringLiteral("Dora")), 1);
    EXPECT_EQ(onPhone(QStringLiteral("Eve")), 1);
    EXPECT_EQ(phoneCount(), 4);
    rows = tableRows();
    ASSERT_EQ(rows.size(), 4) << describeTable();
    for (const ContactsPanePtyRow& row : rows)
        EXPECT_EQ(row.state, onDevice) << describeTable();
}

INSTANTIATE_TEST_SUITE_P(Phones, ContactsPanePtyTest,
                         ::testing::Values(ContactsPanePtyProfile{"lg", "Protocol LG", true},
                                           ContactsPanePtyProfile{"motorola", "Protocol Motorola V3 Series", false}),
                         [](const ::testing::TestParamInfo<ContactsPanePtyProfile>& info) {
                             return std::string(info.param.profile);
                         });
