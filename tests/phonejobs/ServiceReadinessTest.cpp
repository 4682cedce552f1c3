#include "PhoneJobsTestSupport.h"

#include "phonejobs/ActionExternalConnection.h"
#include "phonejobs/PhoneJobCodes.h"

using namespace phonejobs_test;

namespace {

class ServiceReadinessTest : public StandInPhoneFixture {
protected:
    bool runUntil(const std::function<bool()>& predicate, double seconds = 10.0)
    {
        return testing_support::runUntil(predicate, seconds, 0.01);
    }
};

} // namespace

TEST_F(ServiceReadinessTest, ASecondServiceOnTheLinkClosesTheFirstWaitsThePauseThenOpens)
{
    auto first = post("Push");
    ASSERT_TRUE(runUntil([&] { return first->hasEnded(); }));
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0});
    ASSERT_TRUE(device->isConnectionOpen("Push")) << "a job leaves its connection open";

    auto second = post("SyncML/IrMC");
    ASSERT_TRUE(runUntil([&] { return second->hasEnded(); }));
    EXPECT_EQ(requester->endCodes(), (std::vector<int>{0, 0}));
    EXPECT_EQ(push->closes, 1);
    EXPECT_FALSE(device->isConnectionOpen("Push"));
    EXPECT_TRUE(device->isConnectionOpen("SyncML/IrMC"));
    EXPECT_GE(syncML->openedAt - push->closedAt, device->pauseAfterNormalClose() - 1e-6);
    EXPECT_GE(second->startedAt, syncML->openedAt);

    // Its own service open already: nothing is closed, the open is answered at once.
    auto third = post("SyncML/IrMC");
    ASSERT_TRUE(runUntil([&] { return third->hasEnded(); }));
    EXPECT_EQ(syncML->closes, 0);
    EXPECT_EQ(syncML->opens, 1);
    EXPECT_EQ(third->starts, 1);
}

TEST_F(ServiceReadinessTest, AHeadJobWaitsForAConnectionOfItsLinkThatIsStillOpening)
{
    push->setState(true, true);
    auto job = post("SyncML/IrMC");
    testing_support::runFor(2.0);
    EXPECT_EQ(push->closes, 0);
    EXPECT_EQ(syncML->opens, 0);
    EXPECT_EQ(job->priority(), 0) << "a head job being prepared is not overtaken";
    EXPECT_TRUE(job->isInOpenProgress());

    push->setState(true, false);
    ASSERT_TRUE(runUntil([&] { return job->hasEnded(); }));
    EXPECT_EQ(push->closes, 1);
    EXPECT_EQ(job->starts, 1);
}

TEST_F(ServiceReadinessTest, AHeldServiceIsAskedForAgainAtEveryPoll)
{
    syncML->openResult = links::kIOReturnExclusiveAccess;   // the device answers 2
    auto job = post("SyncML/IrMC");
    testing_support::runFor(0.6);
    EXPECT_GE(syncML->opens, 4);
    EXPECT_LE(syncML->opens, 6);
    EXPECT_FALSE(job->hasEnded());
    EXPECT_EQ(job->openError(), phonejobcodes::kOpenNotRequested);

    syncML->openResult = 0;
    ASSERT_TRUE(runUntil([&] { return job->hasEnded(); }));
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0});
}

TEST_F(ServiceReadinessTest, AnOpeningServiceIsWaitedForAndItsResultStartsTheJob)
{
    struct Case {
        const char* what;
        int openStatus;
        std::vector<int> ends;
    };
    const Case cases[] = {
        {"the open succeeds", 0, {0}},
        {"the open fails: the job ends with its error at its start", int(links::kIOReturnNotOpen),
         {int(links::kIOReturnNotOpen)}},
    };
    for (const Case& c : cases) {
        requester->events.clear();
        syncML->setState(false, false);
        syncML->holdOpen = true;
        auto job = post("SyncML/IrMC");
        ASSERT_TRUE(runUntil([&] { return bool(syncML->heldOpen); })) << c.what;
        testing_support::runFor(1.0);
        EXPECT_TRUE(job->inOpenRequest()) << c.what;
        EXPECT_EQ(job->openError(), links::kIOReturnBusy) << c.what;
        EXPECT_EQ(requester->count("start"), 0) << c.what;

        syncML->finishHeldOpen(c.openStatus);
        ASSERT_TRUE(runUntil([&] { return job->hasEnded(); })) << c.what;
        EXPECT_EQ(requester->endCodes(), c.ends) << c.what;
        EXPECT_EQ(job->starts, c.openStatus == 0 ? 1 : 0) << c.what;
        EXPECT_FALSE(job->inOpenRequest()) << c.what;
    }
}

TEST_F(ServiceReadinessTest, AServiceThatCannotOpenEndsTheJobOnceWithoutAStart)
{
    struct Case {
        int openResult;    // what the connection answers
        int openState;     // what the job keeps
    };
    for (const Case& c : {Case{int(links::kIOReturnError), phonejobcodes::kOpenUnavailable},
                          Case{-203, phonejobcodes::kOpenNoSerialDevice}}) {
        requester->events.clear();
        syncML->openResult = c.openResult;
        auto failing = post("SyncML/IrMC");
        jobs_test::FeedBackRecorder reports(failing);
        auto behind = post("Push");
        ASSERT_TRUE(runUntil([&] { return behind->hasEnded(); })) << c.openResult;
        testing_support::runFor(1.0);
        EXPECT_EQ(failing->openError(), c.openState);
        EXPECT_EQ(requester->count("start"), 1) << "only the job behind it started";
        EXPECT_EQ(requester->endCodes(), (std::vector<int>{int(links::kIOReturnError), 0}));
        EXPECT_EQ(failing->starts, 0);
        EXPECT_TRUE(reports.values(jobnames::kFeedStartActionKey).isEmpty()) << "the pipe never started it";
        EXPECT_EQ(reports.values(jobnames::kFeedEndActionKey).size(), 1);
        EXPECT_FALSE(failing->privateActionData()) << "it left its pipe";
    }
}

TEST_F(ServiceReadinessTest, AnOpenCompletionThatIsNotThePendingOneAbortsTheOpen)
{
    ServiceJob job("Push", nullptr);
    auto stranger = QVDeviceCallback::pollingObject();
    job.openConnectionFinished(*stranger);
    EXPECT_EQ(job.openError(), phonejobcodes::kIOReturnAborted);
}

TEST_F(ServiceReadinessTest, DescriptionsNameTheServiceAndEveryJobIsItsOwn)
{
    ServiceJob a("Push", nullptr);
    ServiceJob b("Push", nullptr);
    EXPECT_TRUE(a.description().startsWith("ActionRequestService: Push "));
    EXPECT_FALSE(a.isEqual(b));
    EXPECT_TRUE(a.isEqual(a));
    EXPECT_EQ(a.actionType(), "Push");
    EXPECT_FALSE(ActionRequestService::initActionRequestService(QString(), nullptr, QVariant()));
}

namespace {

// A kit job shape: its work ended with a status, the close's user info may
// carry another.
class ExternalJob : public ActionExternalConnection {
public:
    ExternalJob(std::shared_ptr<QVActionNotify> notify, int status)
        : ActionExternalConnection(QStringLiteral("Push"), std::move(notify), QVariant())
    {
        _externalConnectionStatus = status;
        _headLine = QStringLiteral("Reading");
        _subLine = QStringLiteral("Contacts");
    }
};

} // namespace

TEST_F(ServiceReadinessTest, AnExternalConnectionJobEndsWithTheCloseCodeOrItsOwnStatus)
{
    struct Case {
        QVariant closeInfo;
        int end;
    };
    for (const Case& c : {Case{QVariant(0), links::kErrTransportDied}, Case{QVariant(), links::kErrTransportDied},
                          Case{QVariant(int(links::kIOReturnTimeout)), int(links::kIOReturnTimeout)}}) {
        requester->events.clear();
        auto job = std::make_shared<ExternalJob>(requester, links::kErrTransportDied);
        EXPECT_EQ(job->displayString(), "Reading");
        EXPECT_EQ(job->displaySubString(), "Contacts");
        ASSERT_TRUE(device->addAction(job));
        ASSERT_TRUE(runUntil([&] { return job->isRunning(); }));
        auto closed = QVDeviceCallback::commandObject(nullptr, {}, {}, c.closeInfo);
        job->endActionStep2(*closed);
        EXPECT_EQ(requester->endCodes(), std::vector<int>{c.end});
        EXPECT_GE(device->delayUntilTime(), device->pauseAfterNormalClose() - 1e-6) << "the close's pause";
        testing_support::runFor(device->delayUntilTime());
    }
}
