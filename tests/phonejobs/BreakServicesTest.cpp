#include "PhoneJobsTestSupport.h"

#include "jobs/QVActionMachine.h"
#include "phonejobs/ActionBreakPipe.h"
#include "phonejobs/ActionBreakServices.h"

using namespace phonejobs_test;

namespace {

// Start and end times of each job of a container, and the container's own reports.
class BreakServicesTest : public PtyPhoneFixture {
protected:
    std::shared_ptr<ActionBreakServices> start(double timeOut)
    {
        auto pause = ActionBreakServices::allocActionBreakServices(
            device->actionMachine()->shared_from_this(), timeOut);
        recorder = std::make_unique<jobs_test::FeedBackRecorder>(pause);
        EXPECT_TRUE(pause->doStartContainer());
        for (const auto& member : pause->actionContainer()) {
            QVAction* job = member.get();
            follow(member, [this, job](const platform::Notification& note) {
                if (note.userInfo.contains(jobnames::kFeedStartActionKey))
                    started[job] = now();
                if (note.userInfo.contains(jobnames::kFeedEndActionKey))
                    ended[job] = {now(), note.userInfo.value(jobnames::kFeedEndActionKey).toInt()};
            });
        }
        return pause;
    }
    void TearDown() override
    {
        recorder.reset();
        PtyPhoneFixture::TearDown();
    }

    std::unique_ptr<jobs_test::FeedBackRecorder> recorder;
    std::map<QVAction*, double> started;
    std::map<QVAction*, std::pair<double, int>> ended;
};

} // namespace

TEST_F(BreakServicesTest, EveryPipeIsHeldUntilTheFirstTickAfterTheTimeOut)
{
    connect("nokia", "nokia");
    ASSERT_EQ(device->actionMachine()->actionPipes().size(), 3);
    auto opened = QVDeviceCallback::pollingObject();
    ASSERT_EQ(device->requestService("Serial", opened), MFDevice::kServiceOpening);
    ASSERT_TRUE(runUntil([&] { return !opened->isBusy(); }));

    auto pause = start(2.0);
    EXPECT_EQ(pause->displayString(), "BackgroundMachineWait");
    EXPECT_TRUE(pause->displaySubString().isNull());
    ASSERT_EQ(pause->actionContainer().size(), 3);
    QStringList types;
    for (const auto& member : pause->actionContainer())
        types.append(member->actionType());
    EXPECT_EQ(types, (QStringList{"Serial", "GenericPipe", "QuickTime"}));

    ASSERT_TRUE(runUntil([&] { return ended.size() == 3; }, 10.0));
    EXPECT_FALSE(device->isConnectionOpen("Serial")) << "the pause closes its own type's connection too";
    for (const auto& [job, end] : ended) {
        ASSERT_TRUE(started.count(job)) << job->actionType().toStdString();
        const double held = end.first - started[job];
        EXPECT_GE(held, 2.0) << job->actionType().toStdString();
        EXPECT_LE(held, 2.0 + 0.34 + 1e-6) << job->actionType().toStdString();
        EXPECT_EQ(end.second, 0);
    }
    EXPECT_EQ(recorder->values(jobnames::kFeedEndActionKey), QList<QVariant>{0});
    for (float percent : recorder->percents())
        EXPECT_EQ(percent, -1.0f);
}

TEST_F(BreakServicesTest, WithoutTimeOutThePipesAreHeldUntilCancelled)
{
    connect("nokia", "nokia");
    auto pause = start(-1.0);
    testing_support::runFor(20.0);
    EXPECT_TRUE(ended.empty());
    EXPECT_EQ(started.size(), 3u);
    EXPECT_TRUE(pause->cancelAction());
    ASSERT_TRUE(runUntil([&] { return ended.size() == 3; }, 1.0));
    for (const auto& [job, end] : ended)
        EXPECT_EQ(end.second, 0) << "a cancelled pause ends with 0";
    EXPECT_EQ(recorder->values(jobnames::kFeedEndActionKey), QList<QVariant>{0});
}

TEST_F(BreakServicesTest, ARunningJobThatCanSuspendRunsAgainAfterThePause)
{
    connect("nokia", "nokia");
    auto requester = std::make_shared<RecordingNotify>();
    auto job = std::make_shared<ServiceJob>("Serial", requester, false);
    job->suspendable = true;
    ASSERT_TRUE(device->addAction(job));
    ASSERT_TRUE(runUntil([&] { return job->isRunning(); }));

    start(1.0);
    ASSERT_TRUE(runUntil([&] { return ended.size() == 3; }, 10.0));
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kSuspended});
    ASSERT_TRUE(runUntil([&] { return job->starts == 2; }, 10.0));
    EXPECT_TRUE(device->isConnectionOpen("Serial")) << "the job opened its connection again";
    job->finish();
    ASSERT_TRUE(runUntil([&] { return job->hasEnded(); }));
    EXPECT_EQ(requester->endCodes(), (std::vector<int>{jobcodes::kSuspended, 0}));
}
