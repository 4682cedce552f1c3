#include "JobsTestSupport.h"

#include "jobs/QVActionContainer.h"
#include "jobs/QVActionGroup.h"
#include "jobs/QVActionGroupPipe.h"

using namespace jobs_test;

namespace {

class TestGroup : public QVActionGroup {
public:
    TestGroup(QString type, std::shared_ptr<QVActionNotify> notify)
        : QVActionGroup(std::move(notify), QVariant())
        , type(std::move(type))
    {
    }
    QString actionType() const override { return type; }
    QString type;
};

} // namespace

// ---- containers -----------------------------------------------------------

TEST_F(JobEngineTest, ContainerCombinesThePercentOfItsMembers)
{
    auto container = QVActionContainer::allocQVActionContainer(machine);
    ASSERT_TRUE(container);
    auto a1 = job(QStringLiteral("A"), {}, {}, QStringLiteral("a1"));
    auto a2 = job(QStringLiteral("A"), {}, {}, QStringLiteral("a2"));
    auto b1 = job(QStringLiteral("B"), {}, {}, QStringLiteral("b1"));
    for (const auto& member : {a1, a2, b1})
        ASSERT_TRUE(container->addActionToContainer(member));
    EXPECT_FALSE(container->addActionToContainer(job(QStringLiteral("Z"))));
    EXPECT_EQ(container->previewCount(), 3u);
    EXPECT_EQ(container->feedBackStatus(), feedbackstatus::kNotPosted);

    FeedBackRecorder feedback(container);
    ASSERT_TRUE(container->doStartContainer());
    EXPECT_EQ(feedback.values(jobnames::kFeedStartActionKey), QList<QVariant>{true});
    EXPECT_EQ(container->calcCurrentProzent(), -1.0f);
    EXPECT_EQ(container->feedBackStatus(), feedbackstatus::kParked);
    EXPECT_FALSE(container->addActionToContainer(job(QStringLiteral("A"))));

    settle();   // a1 and b1 start side by side
    EXPECT_EQ(startLog, (QStringList{"a1", "b1"}));
    EXPECT_EQ(container->feedBackStatus(), feedbackstatus::kRunning);
    EXPECT_EQ(container->calcCurrentProzent(), 0.0f);

    a1->endAction(0);
    EXPECT_TRUE(feedback.percents().isEmpty());   // an end alone posts no percent
    EXPECT_EQ(container->calcCurrentProzent(), 33.0f);
    b1->processAction(50);
    EXPECT_EQ(feedback.percents(), QList<float>{33.0f});
    EXPECT_EQ(container->lastFeedBackProz(), 50.0f);
    EXPECT_EQ(container->refContent().get(), static_cast<QVFeedBack*>(b1.get()));

    settle();
    b1->endAction(0);
    a2->processAction(10);
    EXPECT_EQ(feedback.percents(), (QList<float>{33.0f, 66.0f}));
    EXPECT_TRUE(feedback.ends().isEmpty());

    a2->endAction(0x77);
    EXPECT_EQ(feedback.ends(), QList<int>{0x77});
    EXPECT_EQ(container->feedBackStatus(), feedbackstatus::kContainerDone);
}

TEST_F(JobEngineTest, StartedContainerLivesUntilItsLastMemberEnded)
{
    auto container = QVActionContainer::allocQVActionContainer(machine);
    auto member = job(QStringLiteral("A"));
    ASSERT_TRUE(container->addActionToContainer(member));
    ASSERT_TRUE(container->doStartContainer());
    std::weak_ptr<QVActionContainer> weak = container;
    container.reset();
    settle();
    ASSERT_FALSE(weak.expired());
    member->endAction(0);
    settle();
    EXPECT_TRUE(weak.expired());
}

TEST_F(JobEngineTest, ContainerStartAndCancelEdges)
{
    EXPECT_EQ(QVActionContainer::allocQVActionContainer(nullptr), nullptr);
    auto empty = QVActionContainer::allocQVActionContainer(machine);
    EXPECT_FALSE(empty->doStartContainer());
    EXPECT_TRUE(empty->description().startsWith(QStringLiteral("QVActionContainer: ")));

    auto container = QVActionContainer::allocQVActionContainer(machine);
    auto running = job(QStringLiteral("A"));
    running->suspendable = false;
    auto queued = job(QStringLiteral("A"));
    container->addActionToContainer(running);
    container->addActionToContainer(queued);
    ASSERT_TRUE(container->doStartContainer());
    settle();
    // The running member cannot be cancelled; the queued one ends at once.
    EXPECT_FALSE(container->cancelAction());
    EXPECT_TRUE(queued->hasEnded());
    EXPECT_EQ(container->actionContainer().size(), 1);
}

// ---- groups ---------------------------------------------------------------

struct SubJobCase {
    bool endOnSubActionError;
    std::vector<int> groupEnds;
    int secondStarts;
    int secondRequesterEnds;
};

class GroupSubJobErrorTest : public JobEngineTest, public ::testing::WithParamInterface<SubJobCase> {};

TEST_P(GroupSubJobErrorTest, GroupEndsWithItsLastSubJob)
{
    const SubJobCase c = GetParam();
    auto requester = std::make_shared<RecordingNotify>();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), requester);
    group->setEndOnSubActionError(c.endOnSubActionError);
    auto first = job(QStringLiteral("A"), {}, {}, QStringLiteral("first"));
    auto secondRequester = std::make_shared<RecordingNotify>();
    auto second = job(QStringLiteral("A"), secondRequester, {}, QStringLiteral("second"));
    ASSERT_TRUE(group->addGroupAction(first));
    ASSERT_TRUE(group->addGroupAction(second));
    EXPECT_EQ(group->actionCount(), 2u);
    ASSERT_TRUE(machine->addAction(group));
    settle();
    ASSERT_TRUE(group->isRunning());
    ASSERT_EQ(group->currentAction(), first);
    // The group's requester hears the group's start and each sub-job's start.
    EXPECT_EQ(requester->count(QStringLiteral("start")), 2);

    first->endAction(0x55);
    settle();
    if (second->isRunning())
        second->endAction(0);
    settle();
    EXPECT_EQ(requester->endCodes(), c.groupEnds);
    EXPECT_EQ(second->starts, c.secondStarts);
    EXPECT_EQ(secondRequester->endCodes().size(), size_t(c.secondRequesterEnds));
    EXPECT_EQ(machine->actionCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Jobs, GroupSubJobErrorTest,
                         ::testing::Values(SubJobCase{false, {0}, 1, 1},
                                           SubJobCase{true, {0x55}, 0, 0}));

TEST_F(JobEngineTest, UrgentJobSuspendsAGroupBetweenTwoSubJobs)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), requester);
    auto first = job(QStringLiteral("A"), {}, {}, QStringLiteral("first"));
    first->suspendable = false;
    auto second = job(QStringLiteral("A"), {}, {}, QStringLiteral("second"));
    group->addGroupAction(first);
    group->addGroupAction(second);
    ASSERT_TRUE(machine->addAction(group));
    settle();
    ASSERT_TRUE(first->isRunning());

    auto urgent = post(QStringLiteral("A"), QStringLiteral("urgent"), 1);
    settle();
    EXPECT_EQ(urgent->starts, 0);   // the sub-job cannot suspend: the group runs on
    EXPECT_TRUE(group->isRunning());

    first->endAction(0);
    settle();
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kSuspended});
    EXPECT_TRUE(urgent->isRunning());
    EXPECT_EQ(second->starts, 0);

    urgent->endAction(0);
    advance(0.012 + 0.012 + 0.05);   // the restart re-examines the sub-pipe after 0.012 s
    ASSERT_TRUE(second->isRunning());
    EXPECT_EQ(requester->count(QStringLiteral("start")), 4);   // group, first, group again, second
    second->endAction(0);
    settle();
    EXPECT_EQ(requester->endCodes(), (std::vector<int>{jobcodes::kSuspended, 0}));
    EXPECT_EQ(startLog, (QStringList{"first", "urgent", "second"}));
}

TEST_F(JobEngineTest, SubJobThatSuspendsItselfSuspendsTheGroup)
{
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), nullptr);
    auto first = job(QStringLiteral("A"), {}, {}, QStringLiteral("first"));
    first->answersSuspend = true;
    auto second = job(QStringLiteral("A"), {}, {}, QStringLiteral("second"));
    group->addGroupAction(first);
    group->addGroupAction(second);
    ASSERT_TRUE(machine->addAction(group));
    settle();
    auto urgent = post(QStringLiteral("A"), QStringLiteral("urgent"), 0);
    EXPECT_EQ(first->suspendRequests, 1);

    first->endAction(jobcodes::kTransportSuspended);
    settle();
    EXPECT_TRUE(urgent->isRunning());
    urgent->endAction(0);
    advance(0.1);
    EXPECT_TRUE(first->isRunning());   // resumes with the suspended sub-job
    EXPECT_EQ(startLog, (QStringList{"first", "urgent", "first"}));
}

TEST_F(JobEngineTest, GroupWithoutSubJobsHasNothingToDo)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), requester);
    ASSERT_TRUE(machine->addAction(group));
    settle();
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kNothingToDo});
    EXPECT_EQ(group->feedBackErrorString(), QStringLiteral("Error"));
}

TEST_F(JobEngineTest, GroupRefusesForeignAndLateSubJobs)
{
    standardLogText();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), nullptr);
    EXPECT_FALSE(group->addGroupAction(job(QStringLiteral("B"))));
    EXPECT_TRUE(standardLogText().contains(
        QStringLiteral("-[QVActionGroup addGroupAction:] <Couldn't accept Action: B>")));

    group->addGroupAction(job(QStringLiteral("A")));
    EXPECT_TRUE(group->cancelAction());
    EXPECT_FALSE(group->cancelAction());
    EXPECT_FALSE(group->addGroupAction(job(QStringLiteral("A"))));
    EXPECT_TRUE(standardLogText().contains(QStringLiteral("addGroupAction on a canceld GroupAction!!")));
}

TEST_F(JobEngineTest, CancellingARunningGroupEndsItOnceWithCancelled)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), requester);
    auto first = job(QStringLiteral("A"));
    auto second = job(QStringLiteral("A"));
    group->addGroupAction(first);
    group->addGroupAction(second);
    ASSERT_TRUE(machine->addAction(group));
    auto after = post(QStringLiteral("A"), QStringLiteral("after"));
    settle();
    ASSERT_TRUE(first->isRunning());

    EXPECT_TRUE(group->cancelAction());
    EXPECT_TRUE(second->hasEnded());
    EXPECT_FALSE(first->processAction(10));   // the running sub-job is only flagged
    first->endAction(jobcodes::kCancelled);
    settle();
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kCancelled});
    settle();
    EXPECT_TRUE(after->isRunning());
}

TEST_F(JobEngineTest, EndedGroupReleasesSubJobsThatNeverRan)
{
    auto blocker = post(QStringLiteral("A"));
    settle();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), nullptr);
    auto sub = job(QStringLiteral("A"));
    group->addGroupAction(sub);
    ASSERT_TRUE(machine->addAction(group));
    std::weak_ptr<TestGroup> weakGroup = group;
    std::weak_ptr<TestJob> weakSub = sub;
    group.reset();
    sub.reset();
    machine->killAllActions(false);
    settle();
    EXPECT_TRUE(weakGroup.expired());
    EXPECT_TRUE(weakSub.expired());
}

TEST_F(JobEngineTest, BufferedSubJobCancelledBeforeTheGroupStarts)
{
    auto blocker = post(QStringLiteral("A"));
    settle();
    auto requester = std::make_shared<RecordingNotify>();
    auto group = std::make_shared<TestGroup>(QStringLiteral("A"), requester);
    auto cancelled = job(QStringLiteral("A"));
    auto kept = job(QStringLiteral("A"), {}, {}, QStringLiteral("kept"));
    group->addGroupAction(cancelled);
    group->addGroupAction(kept);
    ASSERT_TRUE(machine->addAction(group));
    EXPECT_TRUE(cancelled->cancelAction());
    EXPECT_TRUE(requester->endCodes().empty());   // the group goes on
    EXPECT_EQ(group->actionCount(), 1u);

    blocker->endAction(0);
    settle();
    EXPECT_TRUE(kept->isRunning());
    EXPECT_EQ(group->groupPipe()->actionTypesToClose(), QStringList{"A"});
}
