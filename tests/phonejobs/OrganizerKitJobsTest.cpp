// The Motorola and LG sync jobs against a recording kit in virtual time: the
// flow from read to item list to write to the phone's mapping, the raw
// records, the sync times, the end sequence and the cancel.
#include "KitJobsTestSupport.h"

#include "phone/RawRecordStore.h"
#include "phonejobs/ActionLGContactServices.h"
#include "phonejobs/ActionLGEventsServices.h"
#include "phonejobs/ActionMotoContactServices.h"
#include "phonejobs/ActionMotoEventsServices.h"
#include "phonejobs/ActionSMSKitRead.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace kitjobs_test;

namespace {

QVariantMap kitEvent(const char* summary, int day)
{
    const QDateTime start(QDate(2030, 5, day), QTime(9, 0), Qt::UTC);
    return {{QStringLiteral("event"), QVariantMap{{QStringLiteral("summary"), QLatin1String(summary)},
                                                  {QStringLiteral("start date"), start},
                                                  {QStringLiteral("end date"), start.addSecs(3600)}}}};
}

QVariantMap kitTask(const char* summary)
{
    return {{QStringLiteral("task"), QVariantMap{{QStringLiteral("summary"), QLatin1String(summary)}}}};
}

// Counts the outcome notifications of the sync jobs.
struct OutcomeCounter {
    OutcomeCounter()
    {
        auto& center = platform::NotificationCenter::defaultCenter();
        center.addObserver(this, QStringLiteral("TarnexSyncSuccessful"), nullptr, [this](auto&) { ++good; });
        center.addObserver(this, QStringLiteral("TarnexSyncFailed"), nullptr, [this](auto&) { ++failed; });
    }
    ~OutcomeCounter() { platform::NotificationCenter::defaultCenter().removeObserver(this); }
    int good = 0;
    int failed = 0;
};

class OrganizerKitJobsTest : public KitJobsFixture {
protected:
    std::shared_ptr<ActionMotoContactServices> motoContacts(bool slow = false)
    {
        return ActionMotoContactServices::initActionMotoContactServices(nullptr, slow, {}, false);
    }
    // Answers the pending read of the kind with the records (none: nil).
    void answerRead(const char* kind, const std::optional<QVariantMap>& records, int status = 0)
    {
        ASSERT_TRUE(organizerCallback()) << kind;
        const QString k = QLatin1String(kind);
        if (k == QLatin1String("phonebook"))
            organizerCallback()->organizerKitPhonebookRead(nullptr, records, status);
        else if (k == QLatin1String("calendar"))
            organizerCallback()->organizerKitCalendarRead(nullptr, records, status);
        else
            organizerCallback()->organizerKitTasksRead(nullptr, records, status);
    }
    QString rawPath() const { return rawrecords::pathFor(archive->pathNameForDeviceSyncData()); }
    QVariantMap rawStore() const { return platform::plist::readFile(rawPath()).toMap(); }
    QStringList uris(int type) const
    {
        QStringList ids;
        for (const auto& elem : archive->storage(type)->elemsList())
            ids << elem->sourceURI();
        ids.sort();
        return ids;
    }
};

} // namespace

TEST_F(OrganizerKitJobsTest, MotorolaPhonebookFirstSyncErasesOnlyWithTheSettingAndOnlyOnce)
{
    makePhone(kMotorola, "motorola", {{"Common.EraseDevice-Contacts", true}});
    const QVariantMap phone{{"1", phoneContact("Ann", "111")}, {"2", phoneContact("Bob", "222")}};
    OutcomeCounter outcomes;

    post(motoContacts());
    answerRead("phonebook", phone);
    // The first sync with the erase setting deletes what the phone holds.
    ASSERT_TRUE(kit->calls.contains("writePhonebookEntries")) << kit->calls.join(' ').toStdString();
    EXPECT_EQ(kit->written.value("1"), QVariant(QVariantMap()));
    EXPECT_EQ(kit->written.value("2"), QVariant(QVariantMap()));
    // The phonebook's sync time is set when the write starts.
    EXPECT_TRUE(device->lastSyncTimeDevice(0).isValid());
    organizerCallback()->organizerKitPhonebookEntriesWritten(
        nullptr, QVariantMap{{"1", "DELETED"}, {"2", "DELETED"}}, 0);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});

    kit->calls.clear();
    post(motoContacts());
    answerRead("phonebook", phone);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_FALSE(kit->calls.contains("writePhonebookEntries"));
    EXPECT_EQ(uris(0), (QStringList{"1", "2"}));
    EXPECT_EQ(outcomes.good, 2);
    EXPECT_EQ(outcomes.failed, 0);
}

TEST_F(OrganizerKitJobsTest, EndSequenceOfAGoodSyncSavesTheStateAndKeepsOtherRawKeys)
{
    makePhone(kMotorola, "motorola");
    manager()->setStatusForOrganizerType(1, 0);
    post(ActionMotoEventsServices::initActionMotoEventsServices(nullptr, false, {}, false, false));
    answerRead("calendar", QVariantMap{{"7", kitEvent("Dentist", 6)}});
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(ends, QList<int>{0});
    EXPECT_TRUE(device->lastSyncTimeDevice(1).isValid());

    post(motoContacts());
    const double asked = phonejobs_test::now();
    answerRead("phonebook", QVariantMap{{"3", phoneContact("Cem", "333")}});
    ASSERT_TRUE(runUntil([&] { return !device->isConnectionOpen(MFDevice::kServiceMotoContacts); }, 5.0, 0.01));
    const double closed = phonejobs_test::now();
    ASSERT_TRUE(waitForEnd());
    // The next job waits out the pause after a normal close.
    EXPECT_GE(device->delayUntilTime(), device->pauseAfterNormalClose() - 0.1);
    EXPECT_LT(closed - asked, 1.0);
    EXPECT_EQ(ends, QList<int>{0});

    const QVariantMap store = rawStore();
    EXPECT_TRUE(store.value("DeviceRecords-Calendar").toMap().contains("7"));
    EXPECT_TRUE(store.value("DeviceRecords-Contacts").toMap().contains("3"));
    EXPECT_EQ(manager()->statusOfOrganizerType(0), 3);
    EXPECT_TRUE(QFileInfo::exists(archive->pathNameForDeviceSyncData()));
    EXPECT_FALSE(archive->storage(0)->isDirty());
}

TEST_F(OrganizerKitJobsTest, APhoneOnTheEngineThatWantsNoChangesIsComparedNotWritten)
{
    makePhone(kMotorola, "motorola");
    post(motoContacts());
    answerRead("phonebook", QVariantMap{{"1", phoneContact("Ann", "111")}});
    ASSERT_TRUE(waitForEnd());
    archive->storage(0)->objectForURI("1")->setChanged();

    rules->engine = true;
    kit->calls.clear();
    post(motoContacts());
    answerRead("phonebook", QVariantMap{{"1", phoneContact("Ann", "111")}});
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_FALSE(kit->calls.contains("writePhonebookEntries"));
}

TEST_F(OrganizerKitJobsTest, ASlowSyncStartsWithoutTheStoredRawRecords)
{
    makePhone(kMotorola, "motorola");
    const QVariantMap phone{{"1", phoneContact("Ann", "111")}};
    ASSERT_TRUE(rawrecords::writeDeviceRecords(rawPath(), "Contacts", phone));
    // The stored records match the phone: the fast sync takes nothing in.
    post(motoContacts());
    answerRead("phonebook", phone);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(uris(0), QStringList());

    post(motoContacts(true));
    answerRead("phonebook", phone);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(uris(0), QStringList{"1"});
}

TEST_F(OrganizerKitJobsTest, TasksReadWithoutRecordsWritesNothingAndHandsNothingOver)
{
    makePhone(kMotorola, "motorola");
    post(ActionMotoEventsServices::initActionMotoEventsServices(nullptr, false, {}, false, true));
    answerRead("calendar", QVariantMap{{"7", kitEvent("Dentist", 6)}});
    ASSERT_TRUE(runUntil([&] { return kit->calls.contains("getTasks"); }, 2.0, 0.01));
    answerRead("tasks", std::nullopt);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_FALSE(kit->calls.contains("writeCalendarEntries"));
    EXPECT_EQ(archive->storage(1)->allCount(), 0);
}

TEST_F(OrganizerKitJobsTest, APhoneBusyEndsWith200AndKeepsTheStoredRawRecords)
{
    makePhone(kMotorola, "motorola");
    const QVariantMap before{{"9", phoneContact("Old", "999")}};
    ASSERT_TRUE(rawrecords::writeDeviceRecords(rawPath(), "Contacts", before));
    OutcomeCounter outcomes;
    post(motoContacts());
    answerRead("phonebook", std::nullopt, -7);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{-200});
    EXPECT_EQ(rawStore().value("DeviceRecords-Contacts").toMap(), before);
    EXPECT_EQ(outcomes.failed, 1);
    EXPECT_EQ(outcomes.good, 0);
}

TEST_F(OrganizerKitJobsTest, CalendarSetsItsSyncTimeInTheWrittenStepWhateverTheStatus)
{
    makePhone(kMotorola, "motorola");
    post(ActionMotoEventsServices::initActionMotoEventsServices(nullptr, false, {}, false, false));
    answerRead("calendar", QVariantMap{});
    ASSERT_TRUE(waitForEnd());
    device->setLastSyncTimeDevice(QVariant(), 1);
    const auto fresh = archive->storage(1)->createNewElem(
        QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Desk\r\n"
                       "DTSTART:20300507T090000Z\r\nDTEND:20300507T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"),
        QStringLiteral("T-3"), QString(), {}, {});
    ASSERT_TRUE(fresh);
    fresh->setProperty(1);
    archive->storage(1)->addObject(fresh);

    post(ActionMotoEventsServices::initActionMotoEventsServices(nullptr, false, {}, false, false));
    answerRead("calendar", QVariantMap{});
    ASSERT_TRUE(kit->calls.contains("writeCalendarEntries")) << kit->calls.join(' ').toStdString();
    EXPECT_FALSE(device->lastSyncTimeDevice(1).isValid());
    organizerCallback()->organizerKitCalendarEntriesWritten(nullptr, std::nullopt, -3);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{-3});
    EXPECT_TRUE(device->lastSyncTimeDevice(1).isValid());
}

TEST_F(OrganizerKitJobsTest, LGContactsMapNewItemsToTheirSlotsAndDropDeletedOnes)
{
    makePhone(kLG, "lg");
    const QVariantMap phone{{"1", phoneContact("Ann", "111")}, {"2", phoneContact("Bob", "222")}};
    post(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false));
    EXPECT_TRUE(kit->calls.contains("setFamily:lg"));
    answerRead("phonebook", phone);
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(ends, QList<int>{0});
    ASSERT_EQ(uris(0), (QStringList{"1", "2"}));

    QVSyncElemList* list = archive->storage(0);
    const auto fresh = list->createNewElem(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:New;Nina\r\nTEL;CELL:444\r\nEND:VCARD\r\n"),
        QStringLiteral("T-1"), QString(), {}, {});
    fresh->setProperty(0);
    list->addObject(fresh);
    list->objectForURI("2")->setDeleted();

    post(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false));
    answerRead("phonebook", phone);
    ASSERT_TRUE(kit->calls.contains("writePhonebookEntries")) << kit->calls.join(' ').toStdString();
    QString newId;
    for (const QString& id : kit->written.keys())
        if (id.startsWith("T-"))
            newId = id;
    ASSERT_FALSE(newId.isEmpty()) << kit->written.keys().join(' ').toStdString();
    EXPECT_EQ(kit->written.value("2"), QVariant(QVariantMap()));
    organizerCallback()->organizerKitPhonebookEntriesWritten(
        nullptr, QVariantMap{{newId, "12"}, {"2", "deleted"}}, 0);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_EQ(uris(0), (QStringList{"1", "12"}));
    // The job closed the kit connection it used.
    EXPECT_FALSE(device->isConnectionOpen(MFDevice::kServiceLGContacts));
}

TEST_F(OrganizerKitJobsTest, LGCalendarWithTasksWritesEventsAndTasksInOneList)
{
    makePhone(kLG, "lg");
    ASSERT_TRUE(device->usesLGATConnections());
    if (!device->syncDescription() || !device->syncDescription()->hasTasks())
        GTEST_SKIP() << "the LG description has no tasks";
    post(ActionLGEventsServices::initActionLGEventsServices(nullptr, false, {}, false));
    answerRead("calendar", QVariantMap{{"1", kitEvent("Dentist", 6)}});
    ASSERT_TRUE(runUntil([&] { return kit->calls.contains("getTasks"); }, 2.0, 0.01));
    answerRead("tasks", QVariantMap{{"T1", kitTask("Buy")}});
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_EQ(archive->storage(1)->allCount(), 2);
}

TEST_F(OrganizerKitJobsTest, CancellingAnLGReadAbortsTheKitAndSavesNothing)
{
    makePhone(kLG, "lg");
    const QVariantMap before{{"9", phoneContact("Old", "999")}};
    ASSERT_TRUE(rawrecords::writeDeviceRecords(rawPath(), "Contacts", before));
    OutcomeCounter outcomes;
    auto job = post(ActionLGContactServices::initActionLGContactServices(nullptr, false, {}, false));
    ASSERT_TRUE(organizerCallback());
    job->cancelAction();
    organizerCallback()->organizerKitPhonebookReadProzDone(nullptr, 0.2f);
    EXPECT_TRUE(kit->calls.contains("abortActionAsync")) << kit->calls.join(' ').toStdString();
    // The aborted kit answers nothing read with 0: still a cancel.
    answerRead("phonebook", std::nullopt, 0);
    ASSERT_TRUE(waitForEnd());
    testing_support::runFor(6.0);
    EXPECT_EQ(ends, QList<int>{int(jobcodes::kCancelled)});
    EXPECT_FALSE(device->lastSyncTimeDevice(0).isValid());
    EXPECT_EQ(rawStore().value("DeviceRecords-Contacts").toMap(), before);
    EXPECT_FALSE(device->isConnectionOpen(MFDevice::kServiceLGContacts));
    EXPECT_EQ(outcomes.failed, 1);
}

TEST_F(OrganizerKitJobsTest, AnAbortTheKitNeverAnswersStillEndsTheJob)
{
    makePhone(kLG, "lg");
    auto job = post(ActionLGEventsServices::initActionLGEventsServices(nullptr, false, {}, false));
    ASSERT_TRUE(organizerCallback());
    job->cancelAction();
    const double cancelledAt = phonejobs_test::now();
    organizerCallback()->organizerKitCalendarActionDone(nullptr, 0.3f);
    ASSERT_TRUE(waitForEnd(ActionOrganizerKitServices::kAbortGrace + 5.0));
    EXPECT_EQ(ends, QList<int>{int(jobcodes::kCancelled)});
    // As every kit job: cancelled 0.12 s after the cancel, not at the kit's leisure.
    EXPECT_LT(phonejobs_test::now() - cancelledAt, 0.5);
}

TEST_F(OrganizerKitJobsTest, TheEngineIsSwitchedOnEvenAfterAFailedRead)
{
    makePhone(kLG, "lg");
    device->setSyncEnvironments(QVariantMap{{"SyncEngineEnabled", false}}, std::nullopt, std::nullopt);
    post(ActionLGEventsServices::initActionLGEventsServices(nullptr, false, {}, true));
    answerRead("calendar", std::nullopt, -1);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{-1});
    // The calendar job closes the connection it used.
    EXPECT_FALSE(device->isConnectionOpen(MFDevice::kServiceLGEvents));
    ASSERT_TRUE(device->syncEnvironments()->main);
    EXPECT_TRUE(device->syncEnvironments()->main->value("SyncEngineEnabled").toBool());
}

TEST_F(OrganizerKitJobsTest, TheDataManagerChoosesTheKitJobs)
{
    struct Case {
        QString protocol;
        const char* family;
        int type;
        const char* description;
    };
    const Case cases[] = {
        {kMotorola, "motorola", 0, "ActionSMSKitServices: ActionMotoContactServices"},
        {kMotorola, "motorola", 1, "ActionSMSKitServices: ActionMotoEventsServices"},
        {kMotorola, "motorola", 6, "ActionSMSKitServices: ActionMotoEventsServices"},
        {kLG, "lg", 0, "ActionSMSKitServices: ActionLGContactServices"},
        {kLG, "lg", 1, "ActionSMSKitServices: ActionLGEventsServices"},
        {kLG, "lg", 4, "ActionSMSKitServices: ActionSMSKitRead"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        makePhone(c.protocol, c.family);
        if (c.type == 4) {
            ASSERT_TRUE(device->usesDUNForSMS());
        }
        EXPECT_EQ(manager()->getUpdateOrganizerDefaultDescription(c.type), QLatin1String(c.description));
        const auto job = manager()->actionToUpdateOrganizerDataOfType(c.type, 3, true);
        ASSERT_TRUE(job);
        EXPECT_EQ(job->description(), QLatin1String(c.description));
        EXPECT_EQ(job->priority(), 3);
        if (auto* kitJob = dynamic_cast<ActionOrganizerKitServices*>(job.get())) {
            EXPECT_TRUE(kitJob->isSlowSync());
        }
    }
}
