// The organizer-kit jobs end to end: through the device, its pipe, the
// bridges, the shared kit library and phonesim on a pseudo-terminal, with
// gammu looking at the same phone from outside.
#include "PhoneJobsTestSupport.h"
#include "ArchivedPtyPhoneFixture.h"

#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionLGContactServices.h"
#include "phonejobs/ActionLGEventsServices.h"
#include "phonejobs/ActionMotoEventsServices.h"
#include "device/QVSyncDeviceDescription.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VXDictionary.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "phonejobs/ActionMotoContactServices.h"
#include "phonejobs/ActionSMSKitDelete.h"
#include "phonejobs/ActionSMSKitRead.h"
#include "phonejobs/ActionSMSKitSend.h"
#include "phonejobs/FileJobMakers.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionNotify.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "kitbridges/SMSAsyncBridge.h"
#include "syncmodel/QVSyncElemList.h"

#include "LgMessages.h"
#include "LgPhonebook.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace phonejobs_test;

namespace {

// Received from +123, "Hi".
const QByteArray kKitPtyHi = "07919471010670F004039121F300006221012143000A02C834";

QString kitPtyGammu(const QTemporaryDir& dir, const QString& tty, const QStringList& arguments)
{
    const QString config = dir.filePath(QStringLiteral("gammurc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("[gammu]\ndevice = " + tty.toUtf8() + "\nconnection = at\n");
    file.close();
    QProcess gammu;
    gammu.start(QStringLiteral("gammu"), QStringList{QStringLiteral("-c"), config} + arguments);
    if (!gammu.waitForFinished(60000)) {
        gammu.kill();
        gammu.waitForFinished();
    }
    return QString::fromUtf8(gammu.readAllStandardOutput() + gammu.readAllStandardError());
}

class KitJobsPtyTest : public ArchivedPtyPhoneFixture {
protected:
    // The phone of the profile with its data manager, mirror and archive.
    void open(const char* profile, const char* smsFamily, const char* syncProtocol)
    {
        openArchived(profile, smsFamily, smsFamily, syncProtocol);
    }
    // Runs the job to its end; its end code.
    int run(const std::shared_ptr<QVAction>& job, double seconds = 240.0)
    {
        std::optional<int> end;
        follow(job, [&end](const platform::Notification& note) {
            const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (code.isValid())
                end = code.toInt();
        });
        EXPECT_TRUE(device->addAction(job));
        EXPECT_TRUE(runUntil([&] { return end.has_value(); }, seconds));
        return end.value_or(-999);
    }
    int storedOnPhone() const
    {
        int stored = 0;
        for (const auto& store : sim->session().sms.stores)
            if (store.name != "MT")
                stored += int(store.messages.size());
        return stored;
    }

    void yearlyRuleKeepsItsMonth(const char* profile, const char* protocol, bool lg);

};

} // namespace

TEST_F(KitJobsPtyTest, SmsReadSendAndDeleteOnAnATPhone)
{
    open("sonyericsson", "se", "UNKNOWN");
    sim->modifySession([](phonesim::PhoneSession& s) { s.sms.store("SM", 1, kKitPtyHi); });
    ASSERT_TRUE(device->smsKitAsyncConnection());
    // The device's own serial connection holds the tty first: the kit job
    // closes it before the kit opens the port.
    auto serial = std::make_shared<ServiceJob>(QString::fromLatin1(MFDevice::kServiceSerial), nullptr);
    ASSERT_EQ(run(serial), 0);
    ASSERT_TRUE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceSerial)));

    auto read = ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant());
    ASSERT_EQ(run(read), 0);
    auto* bridge = dynamic_cast<SMSAsyncBridge*>(read->bridge().get());
    ASSERT_TRUE(bridge);
    QVariantList inbox;
    for (const QVariant& r : bridge->msgList())
        if (r.toMap().value(QStringLiteral("SMS-Type")).toString() == QLatin1String("inbox"))
            inbox.append(r);
    ASSERT_EQ(inbox.size(), 1);
    EXPECT_GE(archive->storage(4)->allCount(), 5);
    // The device's own serial connection was never open beside the kit.
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceSerial)));

    const QString text = QStringLiteral("Sent by the job");
    ASSERT_EQ(run(ActionSMSKitSend::allocAsyncSMSSend(nullptr, {}, text, {QStringLiteral("+4917123")}, false, 1)), 0);
    EXPECT_EQ(sim->session().sms.sentPdus.size(), 1);

    // The delete takes the SMS records the read stored, as the SMS window
    // hands them over; each progress reports the record itself.
    struct DeleteNotify : QVActionNotify {
        QList<QVariantMap> progress;
        bool startAction(QVAction&) override { return true; }
        bool processAction(QVAction& action, float) override
        {
            progress.append(action.getUserInfo().toMap());
            return true;
        }
        void endAction(QVAction&, int) override { }
    };
    const int before = storedOnPhone();
    auto toDo = std::make_shared<QVariantList>();
    auto notify = std::make_shared<DeleteNotify>();
    ASSERT_EQ(run(ActionSMSKitDelete::allocAsyncSMSDeleter(notify, inbox, QStringLiteral("inbox"), toDo)), 0);
    EXPECT_EQ(storedOnPhone(), before - 1);
    ASSERT_EQ(notify->progress.size(), 1);
    EXPECT_EQ(notify->progress.first().value(QStringLiteral("Text")), inbox.first().toMap().value(QStringLiteral("Text")));
    EXPECT_EQ(notify->progress.first().value(QStringLiteral("DelBoxName")).toString(), QStringLiteral("inbox"));
    EXPECT_TRUE(toDo->isEmpty());

    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir gammuDir;
    const QString listing = kitPtyGammu(gammuDir, sim->slavePath(), {QStringLiteral("getallsms")});
    EXPECT_TRUE(listing.contains(QStringLiteral("+4917123"))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(text)) << listing.toStdString();
    EXPECT_FALSE(listing.contains(QStringLiteral("\"+123\""))) << listing.toStdString();
}

TEST_F(KitJobsPtyTest, MotorolaPhonebookSyncsBothWaysAcrossTwoRuns)
{
    open("motorola", "motorola", "Protocol Motorola V3 Series");
    sim->modifySession([](phonesim::PhoneSession& s) {
        s.characterSet.offered = {"GSM", "UCS2"};
        s.motorola.lastSlot = 10;
        phonesim::MotorolaContact anna;
        anna.slot = 7;
        anna.name = QStringLiteral("AnnaBerg");
        anna.position = 4;
        anna.fields = {{1, QStringLiteral("0301234"), 3, 1}};
        s.motorola.contacts.append(anna);
    });
    ASSERT_TRUE(device->motoContactsConnection());
    ASSERT_EQ(run(ActionMotoContactServices::initActionMotoContactServices(nullptr, false, {}, false)), 0);
    QVSyncElemList* list = archive->storage(0);
    ASSERT_TRUE(list->objectForURI(QStringLiteral("7")));

    // A phone-side edit and a desktop-side new contact between the runs.
    sim->modifySession([](phonesim::PhoneSession& s) { s.motorola.contacts[0].name = QStringLiteral("AnneBerg"); });
    const auto fresh = list->createNewElem(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL;CELL:0309999\r\nEND:VCARD\r\n"),
        QStringLiteral("T-1"), QString(), {}, {});
    ASSERT_TRUE(fresh);
    fresh->setProperty(0);
    list->addObject(fresh);

    ASSERT_EQ(run(ActionMotoContactServices::initActionMotoContactServices(nullptr, false, {}, false)), 0);
    QStringList onPhone;
    for (const auto& contact : sim->session().motorola.contacts)
        onPhone << contact.name;
    EXPECT_EQ(onPhone.size(), 2) << onPhone.join(' ').toStdString();
    EXPECT_FALSE(fresh->sourceURI().startsWith(QStringLiteral("T-"))) << fresh->sourceURI().toStdString();
    const auto seven = list->objectForURI(QStringLiteral("7"));
    ASSERT_TRUE(seven);
    EXPECT_TRUE(seven->description().contains(QStringLiteral("Anne"))) << seven->description().toStdString();
}

TEST_F(KitJobsPtyTest, LGPhonebookWritesADesktopContactAndReadsItBack)
{
    open("lg3", "lg3", "Protocol LG");
    ASSERT_TRUE(device->usesLGATConnections());
    QVSyncElemList* list = archive->storage(0);
    const auto fresh = list->createNewElem(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL;CELL:0309999\r\nEND:VCARD\r\n"),
        QStringLiteral("T-1"), QString(), {}, {});
    ASSERT_TRUE(fresh);
    fresh->setProperty(0);
    list->addObject(fresh);

    ASSERT_EQ(run(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false)), 0);
    int entries = 0;
    sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) { entries = int(pb.entries.size()); });
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(fresh->sourceURI().startsWith(QStringLiteral("T-"))) << fresh->sourceURI().toStdString();
    const QString slot = fresh->sourceURI();
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceLGContacts)));

    ASSERT_EQ(run(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false)), 0);
    EXPECT_EQ(list->allCount(), 1);
    EXPECT_TRUE(list->objectForURI(slot));
}

TEST_F(KitJobsPtyTest, LGSmsReadThroughTheJob)
{
    open("lg3", "lg3", "Protocol LG");
    sim->modifyLgMessages([](phonesim::LgMessages& m) {
        phonesim::LgMessages::Message hi;
        hi.status = 0;
        hi.parts.append(QByteArray::fromHex(kKitPtyHi));
        m.messages = {{0, hi}};
    });
    auto read = ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant());
    ASSERT_EQ(run(read), 0);
    auto* bridge = dynamic_cast<SMSAsyncBridge*>(read->bridge().get());
    ASSERT_TRUE(bridge);
    int inbox = 0;
    for (const QVariant& r : bridge->msgList())
        inbox += r.toMap().value(QStringLiteral("SMS-Type")).toString() == QLatin1String("inbox");
    EXPECT_EQ(inbox, 1);
}

// A yearly rule on the second Tuesday of March, made on the desktop, written
// by the calendar job and taken in again by a slow sync.
void KitJobsPtyTest::yearlyRuleKeepsItsMonth(const char* profile, const char* protocol, bool lg)
{
    const struct {
        const char* profile;
        const char* protocol;
        bool lg;
    } c{profile, protocol, lg};
    {
        open(c.profile, c.profile, c.protocol);
        ASSERT_TRUE(device->syncDescription());
        const auto job = [&](bool slow) -> std::shared_ptr<QVAction> {
            if (c.lg)
                return ActionLGEventsServices::initActionLGEventsServices(nullptr, slow, {}, false);
            return ActionMotoEventsServices::initActionMotoEventsServices(nullptr, slow, {}, false, false);
        };
        const QDateTime start(QDate(2030, 3, 12), QTime(9, 0), Qt::LocalTime);
        const QVariantMap kitEntry{
            {QStringLiteral("event"), QVariantMap{{QStringLiteral("start date"), start},
                                                  {QStringLiteral("end date"), start.addSecs(3600)},
                                                  {QStringLiteral("summary"), QStringLiteral("Fair")}}},
            {QStringLiteral("recurrence"), QVariantMap{{QStringLiteral("frequency"), QStringLiteral("yearly")},
                                                       {QStringLiteral("interval"), 1},
                                                       {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("tuesday")}},
                                                       {QStringLiteral("bydayfreq"), QVariantList{2}},
                                                       {QStringLiteral("byMonth"), QVariantList{3}}}}};
        const auto parsed = vCalendarDictionaryForMotorolaEventOrTask(kitEntry, true);
        ASSERT_TRUE(parsed);
        VXDictionary form = vCalendarDictionary2VXDictionary(parsed->map(), QStringLiteral("T-1"));
        const QString text = createVCalendarForVXDict(&form, *device->syncDescription(), false);
        QVSyncElemList* list = archive->storage(1);
        const auto fresh = list->createNewElem(text, QStringLiteral("T-1"), QString(), {}, {});
        ASSERT_TRUE(fresh) << text.toStdString();
        fresh->setProperty(1);
        list->addObject(fresh);

        ASSERT_EQ(run(job(false)), 0);
        const QString slot = fresh->sourceURI();
        ASSERT_FALSE(slot.startsWith(QStringLiteral("T-"))) << slot.toStdString();

        // A slow sync takes the phone's entry in again, rule and all.
        ASSERT_EQ(run(job(true)), 0);
        const auto back = list->objectForURI(slot);
        ASSERT_TRUE(back);
        const auto* item = dynamic_cast<const QVSyncEngineElem*>(back.get());
        ASSERT_TRUE(item && item->vxDict());
        const QString ruleId = item->vxDict()->mainObjectForKey(QStringLiteral("recurrences")).toList().value(0).toString();
        const QVariantMap rule = item->vxDict()->otherObjectForKey(ruleId).toMap();
        EXPECT_EQ(rule.value(QStringLiteral("bymonth")), QVariant(QVariantList{3})) << c.profile;
    }
}

TEST_F(KitJobsPtyTest, AYearlyRuleReachesAMotorolaPhoneAndComesBackWithItsMonth)
{
    yearlyRuleKeepsItsMonth("motorola", "Protocol Motorola V3 Series", false);
}

TEST_F(KitJobsPtyTest, AYearlyRuleReachesAnLGPhoneAndComesBackWithItsMonth)
{
    yearlyRuleKeepsItsMonth("lg", "Protocol LG", true);
}

namespace {

// The same phone behind the simulated Bluetooth stack: the kit reaches it
// over an RFCOMM channel.
class KitJobsRfcommTest : public BluetoothPhoneFixture {
protected:
    void TearDown() override
    {
        archive.reset();
        mirror.reset();
        device.reset();
        BluetoothPhoneFixture::TearDown();
    }
    QTemporaryDir dir;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
};

} // namespace

TEST_F(KitJobsRfcommTest, AnATPhonesSmsAreReadOverRFComm)
{
    addPhone("sonyericsson");
    sim->modifySession([](phonesim::PhoneSession& s) { s.sms.store("SM", 1, kKitPtyHi); });
    MFDevice::Makers makers;
    makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
    QVariantMap dict = connectionDict();
    dict.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("rfcomm1"));
    const QVariantMap row{{"Dorvanti.Model", "K750"},
                          {"Dorvanti.Manufacturer", "Sony Ericsson"},
                          {"Dorvanti.SMSProtocol", "se"},
                          {"Dorvanti.SyncMLProtocol", "UNKNOWN"}};
    device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                        std::make_shared<QVariantMap>(dict), row, nullptr, makers);
    mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
    archive = OrganizerArchive::archiveWithDevice(*device);
    ASSERT_TRUE(device->smsKitAsyncConnection());

    auto read = ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant());
    std::optional<int> end;
    read->addFeedBackNotification(this, [&end](const platform::Notification& note) {
        const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
        if (code.isValid())
            end = code.toInt();
    });
    ASSERT_TRUE(device->addAction(read));
    ASSERT_TRUE(testing_support::runUntil([&] { return end.has_value(); }, 240.0, 0.05));
    read->stopFeedBackNotification(this);
    EXPECT_EQ(*end, 0);
    auto* bridge = dynamic_cast<SMSAsyncBridge*>(read->bridge().get());
    ASSERT_TRUE(bridge);
    int inbox = 0;
    for (const QVariant& r : bridge->msgList())
        inbox += r.toMap().value(QStringLiteral("SMS-Type")).toString() == QLatin1String("inbox");
    EXPECT_EQ(inbox, 1);
}

TEST_F(KitJobsPtyTest, CancellingAnLGPhonebookReadReleasesThePort)
{
    open("lg3", "lg3", "Protocol LG");
    QVSyncElemList* list = archive->storage(0);
    const auto fresh = list->createNewElem(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL;CELL:0309999\r\nEND:VCARD\r\n"),
        QStringLiteral("T-1"), QString(), {}, {});
    fresh->setProperty(0);
    list->addObject(fresh);
    ASSERT_EQ(run(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false)), 0);

    // The phone answers slowly: the cancel comes while the kit still reads.
    sim->setAnswerChunking(2, 100);
    auto job = ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false);
    std::optional<int> end;
    follow(job, [&end](const platform::Notification& note) {
        const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
        if (code.isValid())
            end = code.toInt();
    });
    ASSERT_TRUE(device->addAction(job));
    ASSERT_TRUE(runUntil([&] { return job->isRunning() && job->bridge(); }, 60.0));
    runUntil([] { return false; }, 0.3);
    job->cancelAction();
    ASSERT_TRUE(runUntil([&] { return end.has_value(); }, 60.0));
    EXPECT_EQ(*end, int(jobcodes::kCancelled));
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceLGContacts)));
    EXPECT_EQ(list->objectForURI(fresh->sourceURI()), fresh);

    // The port is free again for the next kit job.
    sim->setAnswerChunking(0, 0);
    EXPECT_EQ(run(ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant())), 0);
}
