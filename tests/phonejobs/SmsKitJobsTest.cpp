// The SMS jobs of the organizer kit against a recording kit in virtual time:
// start codes, the read's replacement of the stored SMS, the delete's
// progress and to-do list, the send's error texts and its cancel.
#include "KitJobsTestSupport.h"

#include "phonejobs/ActionLGEventsServices.h"
#include "phonejobs/ActionMotoContactServices.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "phonejobs/ActionSMSKitDelete.h"
#include "phonejobs/ActionSMSKitRead.h"
#include "phonejobs/ActionSMSKitSend.h"
#include "platform/Localization.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <gtest/gtest.h>

using namespace kitjobs_test;

namespace {

QVariantMap smsFromKit(const QString& text, int index)
{
    return {{QStringLiteral("name"), QStringLiteral("n")},
            {QStringLiteral("message"), text},
            {QStringLiteral("number"), QStringLiteral("+4930%1").arg(index)},
            {QStringLiteral("memory"), QStringLiteral("SM")},
            {QStringLiteral("memIndexes"), QString::number(index)},
            {QStringLiteral("date"), QDateTime(QDate(2024, 3, 1), QTime(10, index), Qt::UTC)}};
}

// A read job whose device has lost its kit connection by the time it starts.
class ReadWithoutKitConnection : public ActionSMSKitRead {
public:
    ReadWithoutKitConnection() : ActionSMSKitRead(nullptr, QVariant()) { }
    bool connectionIsValid() const override { return false; }
};

class SmsKitJobsTest : public KitJobsFixture {
protected:
    void SetUp() override
    {
        KitJobsFixture::SetUp();
        makePhone(kMotorola, "motorola");
    }
    // Reads the messages given as the phone's inbox.
    int read(const QVariantList& inbox, int status = 0)
    {
        auto job = post(ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant()));
        EXPECT_TRUE(smsCallback());
        if (!smsCallback())
            return -99;
        if (!inbox.isEmpty())
            smsCallback()->smsKitReadingBoxData(nullptr, inbox, QStringLiteral("inbox"));
        smsCallback()->smsKitReadingFinished(nullptr, status);
        EXPECT_TRUE(waitForEnd());
        return ends.value(0, -99);
    }
    int storedSms() const { return archive->storage(4) ? archive->storage(4)->allCount() : -1; }
};

} // namespace

TEST_F(SmsKitJobsTest, StartCodes)
{
    struct Case {
        const char* name;
        std::function<std::shared_ptr<QVAction>()> make;
        int code;
        int kitsMade;
    };
    const auto onlyIfNeeded = [](std::shared_ptr<QVAction> job) {
        job->setExecuteOnlyIfNeeded(true);
        return job;
    };
    const Case cases[] = {
        {"SMS read of synced SMS",
         [&] { return onlyIfNeeded(ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant())); },
         int(jobcodes::kNothingToDo), 0},
        {"Motorola phonebook already synced",
         [&] {
             return onlyIfNeeded(ActionMotoContactServices::initActionMotoContactServices(nullptr, false, {}, false));
         },
         int(jobcodes::kNothingToDo), 0},
        {"no kit connection", [] { return std::make_shared<ReadWithoutKitConnection>(); },
         int(links::kIOReturnNoDevice), 0},
        {"no kit for the organizer bridge",
         [] { return ActionMotoContactServices::initActionMotoContactServices(nullptr, false, {}, false); }, -1, 1},
        {"delete of nothing",
         [] { return ActionSMSKitDelete::allocAsyncSMSDeleter(nullptr, {}, QStringLiteral("inbox"), nullptr); }, -2,
         0},
        {"send to nobody",
         [] { return ActionSMSKitSend::allocAsyncSMSSend(nullptr, {}, QStringLiteral("Hi"), {}, false, 1); }, -3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rules->synced = {0, 4};
        kit->made = 0;
        noKit = QLatin1String(c.name) == QLatin1String("no kit for the organizer bridge");
        auto job = c.make();
        post(job);
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(ends, QList<int>{c.code});
        EXPECT_EQ(kit->made, c.kitsMade);
        // The service the job opened is closed again.
        EXPECT_FALSE(device->isConnectionOpen(job->actionType()));
        noKit = false;
    }
    const auto sendText = ActionSMSKitSend::allocAsyncSMSSend(nullptr, {}, QStringLiteral("Hi"), {}, false, 1);
    EXPECT_EQ(sendText->generateErrorString(-3), platform::localizedString(QStringLiteral("60")));
}

TEST_F(SmsKitJobsTest, AGoodReadReplacesTheStoredSmsAFailedOneKeepsThem)
{
    const auto status = [&] { return manager()->statusOfOrganizerType(4); };
    ASSERT_EQ(read({smsFromKit("one", 1)}), 0);
    const int withOne = storedSms();
    EXPECT_EQ(status(), 3);
    ASSERT_EQ(read({smsFromKit("two", 2), smsFromKit("three", 3), smsFromKit("four", 4)}), 0);
    // The old messages went before the new ones came: three records, three items more.
    EXPECT_EQ(storedSms(), withOne + 2);
    ASSERT_EQ(read({smsFromKit("five", 5)}), 0);
    EXPECT_EQ(storedSms(), withOne);

    // A message kept only on the desktop survives the phone's reads.
    archive->storage(4)->addObject(QVSmsElem::elemWithRecord({{"SMS-Type", "inbox"},
                                                               {"Text", "kept here"},
                                                               {"Number", "+4930"},
                                                               {"IsOnPhone", false},
                                                               {"Date", "20200101T100000Z-local"}}));
    ASSERT_EQ(read({smsFromKit("five", 5)}), 0);
    EXPECT_EQ(storedSms(), withOne + 1);

    manager()->setStatusForOrganizerType(1, 4);
    EXPECT_EQ(read({smsFromKit("six", 6), smsFromKit("seven", 7)}, -1), -1);
    EXPECT_EQ(storedSms(), withOne + 1);
    // The data manager heard of the SMS all the same.
    EXPECT_EQ(status(), 3);

    ActionSMSKitRead job(nullptr, QVariant());
    for (int code : {-1, -2})
        EXPECT_EQ(job.generateErrorString(code), platform::localizedString(kitjobnames::kSMSReadError));
    EXPECT_NE(job.generateErrorString(-3), platform::localizedString(kitjobnames::kSMSReadError));
    EXPECT_EQ(job.description(), QStringLiteral("ActionSMSKitServices: ActionSMSKitRead"));
}

TEST_F(SmsKitJobsTest, DeleteReportsEachMessageWithItsBoxAndEmptiesTheToDoList)
{
    const QVariantList messages{QVariantMap{{"SMSSelfKey", "a"}, {"message", "one"}},
                                QVariantMap{{"SMSSelfKey", "b"}, {"message", "two"}}};
    auto toDo = std::make_shared<QVariantList>(QVariantList{QStringLiteral("someone else's")});
    auto job = ActionSMSKitDelete::allocAsyncSMSDeleter(nullptr, messages, QStringLiteral("inbox"), toDo);
    EXPECT_EQ(toDo->size(), 3);
    post(job);
    ASSERT_TRUE(smsCallback());
    EXPECT_EQ(kit->removed.size(), 2);
    smsCallback()->smsKitMessageDeleted(nullptr, messages.at(0).toMap());
    smsCallback()->smsKitMessageDeleted(nullptr, messages.at(1).toMap());
    smsCallback()->smsKitMessageDeletingFinished(nullptr, 0);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(ends, QList<int>{0});

    QStringList reported;
    for (const auto& e : requester->events)
        if (e.kind == QLatin1String("process")) {
            const QVariantMap info = e.userInfo.toMap();
            reported << info.value("SMSSelfKey").toString() + "@" + info.value("DelBoxName").toString() + ":"
                            + QString::number(e.percent);
        }
    EXPECT_EQ(reported, (QStringList{"a@inbox:50", "b@inbox:100"}));
    EXPECT_EQ(*toDo, QVariantList{QStringLiteral("someone else's")});
    EXPECT_TRUE(archive->isArchiveChanged());
}

TEST_F(SmsKitJobsTest, SendErrorTexts)
{
    ActionSMSKitSend job(nullptr, {}, QStringLiteral("Hi"), {QStringLiteral("+49")}, false, 1);
    const std::pair<int, const char*> table[] = {
        {-1, "SMSSendError"}, {-2, "DIAL_ERROR"}, {-3, "60"}, {-4, "-21854"}, {-5, "EnterNumberTlt"}};
    for (const auto& [code, key] : table)
        EXPECT_EQ(job.generateErrorString(code), platform::localizedString(QString::fromLatin1(key))) << code;
    EXPECT_EQ(job.generateErrorString(-6), job.QVAction::generateErrorString(-6));
}

TEST_F(SmsKitJobsTest, CancellingDuringThePartsStopsTheSenderAndEndsOnce)
{
    auto job = post(ActionSMSKitSend::allocAsyncSMSSend(nullptr, {}, QStringLiteral("long text"),
                                                         {QStringLiteral("+4912")}, false, 5));
    ASSERT_TRUE(smsCallback());
    smsCallback()->smsKitMessagePartSent(nullptr);
    smsCallback()->smsKitMessagePartSent(nullptr);
    job->cancelAction();
    smsCallback()->smsKitMessagePartSent(nullptr);
    const double cancelledAt = phonejobs_test::now();
    EXPECT_TRUE(kit->calls.contains(QStringLiteral("fullStop")));
    testing_support::runFor(0.1);
    EXPECT_TRUE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceSMSKitAsync)));
    EXPECT_TRUE(ends.isEmpty());
    runUntil([&] { return !device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceSMSKitAsync)); }, 1.0, 0.01);
    EXPECT_NEAR(phonejobs_test::now() - cancelledAt, 0.12, 0.02);
    // The kit's own end comes too late and changes nothing.
    if (smsCallback())
        smsCallback()->smsKitSendTextMessageFinished(nullptr, 0);
    ASSERT_TRUE(waitForEnd());
    testing_support::runFor(2.0);
    EXPECT_EQ(ends, QList<int>{int(jobcodes::kCancelled)});
    EXPECT_EQ(requester->endCodes(), std::vector<int>{int(jobcodes::kCancelled)});
}

TEST_F(SmsKitJobsTest, TheKitsEndBeforeTheAbortDelayEndsTheJobAsCancelled)
{
    auto job = post(ActionSMSKitSend::allocAsyncSMSSend(nullptr, {}, QStringLiteral("text"),
                                                         {QStringLiteral("+4912")}, false, 2));
    ASSERT_TRUE(smsCallback());
    job->cancelAction();
    smsCallback()->smsKitMessagePartSent(nullptr);
    smsCallback()->smsKitSendTextMessageFinished(nullptr, 0);
    ASSERT_TRUE(waitForEnd());
    testing_support::runFor(1.0);
    EXPECT_EQ(ends, QList<int>{int(jobcodes::kCancelled)});
}

TEST_F(SmsKitJobsTest, AJobWhoseKitConnectionWentStillEndsOnce)
{
    post(ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant()));
    ASSERT_TRUE(smsCallback());
    device->releaseAllConnections();
    ASSERT_FALSE(device->smsKitAsyncConnection());
    smsCallback()->smsKitReadingFinished(nullptr, 0);
    ASSERT_TRUE(waitForEnd());
    testing_support::runFor(2.0);
    EXPECT_EQ(ends, QList<int>{0});
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0});
}

TEST_F(SmsKitJobsTest, ACancelledReadStopsTheKitAndStoresNothingEvenWhenTheKitFinishes)
{
    ASSERT_EQ(read({smsFromKit("one", 1)}), 0);
    const int before = storedSms();
    ends.clear();
    auto job = post(ActionSMSKitRead::initActionSMSKitRead(nullptr, QVariant()));
    ASSERT_TRUE(smsCallback());
    job->cancelAction();
    smsCallback()->smsKitReadingBoxData(nullptr, {smsFromKit("two", 2), smsFromKit("three", 3)},
                                        QStringLiteral("inbox"));
    EXPECT_TRUE(kit->calls.contains(QStringLiteral("fullStop")));
    smsCallback()->smsKitReadingFinished(nullptr, 0);
    ASSERT_TRUE(waitForEnd());
    testing_support::runFor(1.0);
    EXPECT_EQ(ends, QList<int>{int(jobcodes::kCancelled)});
    EXPECT_EQ(storedSms(), before);
}

TEST_F(SmsKitJobsTest, ADeleteThatNeverRanStillTakesItsMessagesOffTheToDoList)
{
    const QVariantList messages{QVariantMap{{"SMSSelfKey", "a"}, {"memory", "SM"}, {"memIndexes", "1"}}};
    struct Case {
        const char* name;
        bool refuse;
        bool withoutConnection;
    } cases[] = {{"the kit refuses", true, false}, {"no kit connection", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ends.clear();
        kit->refuse = c.refuse;
        if (c.withoutConnection)
            device->releaseAllConnections();
        auto toDo = std::make_shared<QVariantList>(QVariantList{QStringLiteral("someone else's")});
        post(ActionSMSKitDelete::allocAsyncSMSDeleter(nullptr, messages, QStringLiteral("inbox"), toDo));
        ASSERT_TRUE(waitForEnd());
        EXPECT_NE(ends.value(0), 0);
        EXPECT_EQ(*toDo, QVariantList{QStringLiteral("someone else's")});
        kit->refuse = false;
    }
}
