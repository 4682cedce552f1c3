// The Samsung sync jobs with the real data manager and organizer archive:
// the data manager's choice of job, the merge of what the phone delivers and
// whole syncs through device, job, session, MOBEX connection and phonesim
// on a pseudo-terminal.
#include "PhoneJobsTestSupport.h"
#include "ArchivedPtyPhoneFixture.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "kitbridges/SMSAsyncBridge.h"
#include "links/SamsungATConnection.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionBatteryCheck.h"
#include "phonejobs/ActionSMSKitRead.h"
#include "phonejobs/ActionSamsungContactServices.h"
#include "phonejobs/ActionSamsungEventsServices.h"
#include "phonejobs/FileJobMakers.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCardElem.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace phonejobs_test;

namespace {

// Received from +123, "Hi".
const QByteArray kSamsungRunsHi = "07919471010670F004039121F300006221012143000A02C834";

QByteArray samsungRunsCard(const QString& last, const QString& tel)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;Test\r\nTEL:%2\r\nEND:VCARD\r\n").arg(last, tel).toUtf8();
}

QByteArray samsungRunsEvent(const QString& summary)
{
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:%1\r\n"
                          "DTSTART:20301212T100000\r\nDTEND:20301212T110000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(summary)
        .toUtf8();
}

class SamsungSyncRunsTest : public ArchivedPtyPhoneFixture {
protected:
    // A phone of the sync protocol (phonesim's "samsung" profile on the
    // pseudo-terminal) with its data manager, mirror and archive.
    void open(const char* syncProtocol, const char* deviceProtocol = "SamsungAT", const char* smsFamily = "samsung")
    {
        openArchived("samsung", deviceProtocol, smsFamily, syncProtocol);
    }
    DZDataManager* manager() const { return dynamic_cast<DZDataManager*>(device->dataManager()); }

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
        // The handlers hold this call's locals.
        job->stopFeedBackNotification(this);
        return end.value_or(-999);
    }
    // The next job of the data manager's choice for the type; while it runs
    // the data manager shows the type as being updated.
    int sync(int type, bool slow = false)
    {
        auto job = manager()->actionToUpdateOrganizerDataOfType(type, 0, slow);
        EXPECT_TRUE(job);
        if (!job)
            return -999;
        const int property = type == 0 ? 0 : 1;
        bool sawUpdating = false;
        follow(job, [&, property](const platform::Notification&) {
            sawUpdating = sawUpdating || manager()->statusOfOrganizerType(property) == 2;
        });
        const int end = run(job);
        EXPECT_TRUE(sawUpdating);
        return end;
    }
    QMap<int, QByteArray> phoneRecords(int property, int sub) const
    {
        QMap<int, QByteArray> records;
        sim->modifyObexServer([&](phonesim::ObexServer& obex) { records = obex.mobexStore()->records(property, sub); });
        return records;
    }
    void putOnPhone(int property, int sub, int index, const QByteArray& text)
    {
        sim->modifyObexServer([&](phonesim::ObexServer& obex) { obex.mobexStore()->put(property, sub, index, text); });
    }
    // The texts of the archive's live items of the type.
    QStringList desktopTexts(int type) const
    {
        QStringList texts;
        for (const auto& elem : archive->storage(type)->elemsList())
            if (!elem->isDeleted()) {
                // A contact's changes from the phone go into its fields.
                if (auto* contact = dynamic_cast<QVVCardElem*>(elem.get()))
                    texts << contact->foreignVCardRepresentation(false);
                else
                    texts << elem->vxData().toString();
            }
        return texts;
    }
    static bool anyContains(const QStringList& texts, const QString& part)
    {
        return std::any_of(texts.begin(), texts.end(), [&](const QString& t) { return t.contains(part); });
    }
    static bool anyContains(const QMap<int, QByteArray>& records, const QByteArray& part)
    {
        return std::any_of(records.begin(), records.end(), [&](const QByteArray& t) { return t.contains(part); });
    }
    // Adds a desktop item of the type to the archive.
    void addOnDesktop(int type, const QByteArray& text, const QString& id)
    {
        QVSyncElemList* list = archive->storage(type);
        const auto fresh = list->createNewElem(QString::fromUtf8(text), id, QString(), {}, {});
        ASSERT_TRUE(fresh);
        fresh->setProperty(type);
        list->addObject(fresh);
    }

};

} // namespace

TEST_F(SamsungSyncRunsTest, TheDataManagerChoosesTheSamsungJobs)
{
    struct Case {
        const char* syncProtocol;
        const char* deviceProtocol;
        int type;
        const char* description; // empty: no job
    };
    const Case cases[] = {
        {"Samsung AT", "SamsungAT", 0, "ActionSamsung: ActionSamsungContactServices"},
        {"Samsung AT", "SamsungAT", 1, "ActionSamsung: ActionSamsungEventsServices"},
        {"Samsung AT", "SamsungAT", 5, "ActionSamsung: ActionSamsungEventsServices"},
        {"Samsung AT", "SamsungAT", 6, "ActionSamsung: ActionSamsungEventsServices"},
        // The other families keep their jobs.
        {"Protocol Motorola V3 Series", "motorola", 0, "ActionSMSKitServices: ActionMotoContactServices"},
        {"Protocol LG", "lg", 1, "ActionSMSKitServices: ActionLGEventsServices"},
        // A phone of no AT family has no job for its contacts.
        {"UNKNOWN", "se", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.syncProtocol) + " type " + std::to_string(c.type));
        open(c.syncProtocol, c.deviceProtocol);
        EXPECT_EQ(manager()->getUpdateOrganizerDefaultDescription(c.type), QLatin1String(c.description));
        const auto job = manager()->actionToUpdateOrganizerDataOfType(c.type, 3, true);
        if (!*c.description) {
            EXPECT_FALSE(job);
            continue;
        }
        ASSERT_TRUE(job);
        EXPECT_EQ(job->description(), QLatin1String(c.description));
        EXPECT_EQ(job->priority(), 3);
        if (auto* samsung = dynamic_cast<ActionSamsungCommonServices*>(job.get())) {
            EXPECT_TRUE(samsung->isSlowSync());
            EXPECT_EQ(samsung->syncProperty(), c.type == 0 ? 0 : 1);
        }
    }
}

TEST_F(SamsungSyncRunsTest, AForcedSlowSyncMergesAndSendsNothing)
{
    open("Samsung AT");
    putOnPhone(0, 1, 3, samsungRunsCard(QStringLiteral("Alpha"), QStringLiteral("111")));
    ASSERT_EQ(sync(0), 0);
    ASSERT_TRUE(anyContains(desktopTexts(0), QStringLiteral("Alpha")));

    // A desktop change waits while the forced slow sync only takes the phone in.
    addOnDesktop(0, samsungRunsCard(QStringLiteral("Desk"), QStringLiteral("222")), QStringLiteral("T-1"));
    putOnPhone(0, 1, 4, samsungRunsCard(QStringLiteral("Bravo"), QStringLiteral("333")));
    ASSERT_EQ(sync(0, true), 0);
    const auto onPhone = phoneRecords(0, 1);
    EXPECT_EQ(onPhone.size(), 2);
    EXPECT_FALSE(anyContains(onPhone, "Desk"));
    const QStringList desktop = desktopTexts(0);
    EXPECT_TRUE(anyContains(desktop, QStringLiteral("Alpha")));
    EXPECT_TRUE(anyContains(desktop, QStringLiteral("Bravo")));
}

TEST_F(SamsungSyncRunsTest, NoDeliveredItemsIsLoggedAndDesktopChangesStillGo)
{
    open("Samsung AT");
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
    ASSERT_EQ(sync(1), 0);
    addOnDesktop(1, samsungRunsEvent(QStringLiteral("Desk meeting")), QStringLiteral("T-1"));
    QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    log.seek(log.size());
    ASSERT_EQ(sync(1), 0);
    const QString lines = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(lines.contains(QStringLiteral("Delivered changes from Device = empty <NSArray>")))
        << lines.toStdString();
    EXPECT_TRUE(anyContains(phoneRecords(1, 1), "Desk meeting"));
}

TEST_F(SamsungSyncRunsTest, ContactsAndCalendarSyncBothWaysAcrossTwoRuns)
{
    open("Samsung AT");
    putOnPhone(0, 1, 1, samsungRunsCard(QStringLiteral("Phone"), QStringLiteral("111")));
    putOnPhone(1, 1, 1, samsungRunsEvent(QStringLiteral("Phone meeting")));
    addOnDesktop(0, samsungRunsCard(QStringLiteral("Desk"), QStringLiteral("222")), QStringLiteral("T-1"));
    addOnDesktop(1, samsungRunsEvent(QStringLiteral("Desk meeting")), QStringLiteral("T-2"));

    // The first run: each side gets the other's item.
    ASSERT_EQ(sync(0), 0);
    ASSERT_EQ(sync(1), 0);
    // The data manager followed the jobs: both types are up to date.
    EXPECT_EQ(manager()->statusOfOrganizerType(0), 3);
    EXPECT_EQ(manager()->statusOfOrganizerType(1), 3);
    EXPECT_TRUE(anyContains(desktopTexts(0), QStringLiteral("Phone;Test")));
    EXPECT_TRUE(anyContains(desktopTexts(1), QStringLiteral("Phone meeting")));
    EXPECT_TRUE(anyContains(phoneRecords(0, 1), "Desk;Test"));
    EXPECT_TRUE(anyContains(phoneRecords(1, 1), "Desk meeting"));
    EXPECT_EQ(phoneRecords(0, 1).size(), 2);
    EXPECT_EQ(phoneRecords(1, 1).size(), 2);

    // The phone edits its own contact and event; the second run brings the
    // edits over and sends nothing twice.
    putOnPhone(0, 1, 1, samsungRunsCard(QStringLiteral("Phone"), QStringLiteral("999")));
    putOnPhone(1, 1, 1, samsungRunsEvent(QStringLiteral("Moved meeting")));
    ASSERT_EQ(sync(0), 0);
    ASSERT_EQ(sync(1), 0);
    EXPECT_TRUE(anyContains(desktopTexts(0), QStringLiteral("999"))) << desktopTexts(0).join(" | ").toStdString();
    EXPECT_FALSE(anyContains(desktopTexts(0), QStringLiteral("111")));
    EXPECT_TRUE(anyContains(desktopTexts(1), QStringLiteral("Moved meeting")));
    EXPECT_FALSE(anyContains(desktopTexts(1), QStringLiteral("Phone meeting")));
    EXPECT_EQ(desktopTexts(0).size(), 2);
    EXPECT_EQ(desktopTexts(1).size(), 2);
    EXPECT_EQ(phoneRecords(0, 1).size(), 2);
    EXPECT_EQ(phoneRecords(1, 1).size(), 2);
}

TEST_F(SamsungSyncRunsTest, ABatteryCheckAndAnSmsReadRightAfterASync)
{
    open("Samsung AT");
    sim->modifySession([](phonesim::PhoneSession& s) { s.sms.store("SM", 1, kSamsungRunsHi); });
    putOnPhone(0, 1, 1, samsungRunsCard(QStringLiteral("Phone"), QStringLiteral("111")));
    ASSERT_EQ(sync(0), 0);

    auto battery = std::make_shared<ActionBatteryCheck>(nullptr, QVariant());
    EXPECT_EQ(run(battery), 0);

    ASSERT_TRUE(device->smsKitAsyncConnection());
    auto read = ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant());
    ASSERT_EQ(run(read), 0);
    auto* bridge = dynamic_cast<SMSAsyncBridge*>(read->bridge().get());
    ASSERT_TRUE(bridge);
    int inbox = 0;
    for (const QVariant& r : bridge->msgList())
        inbox += r.toMap().value(QStringLiteral("SMS-Type")).toString() == QLatin1String("inbox");
    EXPECT_EQ(inbox, 1);

    // And the next sync still finds the MOBEX service.
    ASSERT_EQ(sync(0), 0);
}
