#include "JobsTestSupport.h"

#include "platform/NotificationCenter.h"

using namespace jobs_test;

TEST_F(JobEngineTest, EqualPrioritiesRunFirstInFirstOutOneAtATimePerPipe)
{
    auto a1 = post(QStringLiteral("A"), QStringLiteral("a1"));
    auto a2 = post(QStringLiteral("A"), QStringLiteral("a2"));
    auto a3 = post(QStringLiteral("A"), QStringLiteral("a3"));
    auto b1 = post(QStringLiteral("B2"), QStringLiteral("b1"));   // another type of pipe B
    settle();
    EXPECT_EQ(startLog, (QStringList{"a1", "b1"}));
    EXPECT_EQ(machine->actionCount(), 4u);
    EXPECT_EQ(machine->actionCount(QStringLiteral("A")), 3u);
    EXPECT_EQ(machine->actionCount(QStringLiteral("Z")), 0u);

    a1->endAction(0);
    settle();
    a2->endAction(0);
    settle();
    EXPECT_EQ(startLog, (QStringList{"a1", "b1", "a2", "a3"}));
    EXPECT_TRUE(a3->isRunning());
}

TEST_F(JobEngineTest, UrgentJobSuspendsARunningJobThatCan)
{
    auto running = post(QStringLiteral("A"), QStringLiteral("running"));
    running->answersSuspend = true;
    settle();
    auto urgent = post(QStringLiteral("A"), QStringLiteral("urgent"), 1);
    EXPECT_EQ(running->suspendRequests, 1);
    settle();
    EXPECT_TRUE(running->isRunning());   // it suspends when it is ready to

    running->endAction(jobcodes::kSuspended);
    settle();
    EXPECT_TRUE(urgent->isRunning());
    EXPECT_EQ(running->feedBackStatus(), feedbackstatus::kQueued);

    urgent->endAction(0);
    settle();
    EXPECT_TRUE(running->isRunning());
    EXPECT_EQ(startLog, (QStringList{"running", "urgent", "running"}));
}

TEST_F(JobEngineTest, UrgentJobWaitsForARunningJobThatCannotSuspend)
{
    auto running = post(QStringLiteral("A"), QStringLiteral("running"));
    running->suspendable = false;
    settle();
    auto urgent = post(QStringLiteral("A"), QStringLiteral("urgent"), 0);
    settle();
    EXPECT_EQ(running->suspendRequests, 0);
    EXPECT_EQ(urgent->starts, 0);
    running->endAction(0);
    settle();
    EXPECT_TRUE(urgent->isRunning());
}

TEST_F(JobEngineTest, PrioritiesAboveFiveNeverStart)
{
    auto six = post(QStringLiteral("A"), QStringLiteral("six"), 6);
    auto seven = post(QStringLiteral("A"), QStringLiteral("seven"), 7);
    advance(40.0);   // polls and the shared tick included
    EXPECT_TRUE(startLog.isEmpty());
    EXPECT_EQ(machine->actionCount(), 2u);

    auto five = post(QStringLiteral("A"), QStringLiteral("five"), 5);
    settle();
    EXPECT_EQ(startLog, QStringList{"five"});
}

TEST_F(JobEngineTest, HeadThatIsNotReadyHoldsThePipe)
{
    auto head = job(QStringLiteral("A"), {}, {}, QStringLiteral("head"));
    head->ready = false;
    head->setPriority(0);
    ASSERT_TRUE(machine->addAction(head));
    auto behind = post(QStringLiteral("A"), QStringLiteral("behind"), 1);
    settle();
    const int asked = head->readyAsked;
    advance(1.2);   // polled every 0.12 s
    EXPECT_GE(head->readyAsked - asked, 8);
    EXPECT_LE(head->readyAsked - asked, 12);
    EXPECT_TRUE(startLog.isEmpty());

    head->ready = true;
    advance(0.13);
    EXPECT_EQ(startLog, QStringList{"head"});
    head->endAction(0);
    settle();
    EXPECT_EQ(startLog, (QStringList{"head", "behind"}));
}

TEST_F(JobEngineTest, CancellingAHeadThatIsNotReadyReleasesThePipe)
{
    auto head = job(QStringLiteral("A"));
    head->ready = false;
    ASSERT_TRUE(machine->addAction(head));
    auto behind = post(QStringLiteral("A"), QStringLiteral("behind"));
    settle();
    EXPECT_TRUE(head->cancelAction());
    advance(0.2);
    EXPECT_EQ(startLog, QStringList{"behind"});
}

TEST_F(JobEngineTest, RefusedPostsAnswerNoAndAreLogged)
{
    standardLogText();
    auto unserved = job(QStringLiteral("Z"));
    EXPECT_FALSE(machine->validateActionType(unserved));
    EXPECT_FALSE(machine->addAction(unserved));
    EXPECT_TRUE(standardLogText().contains(
        QStringLiteral("-[QVActionMachine addAction:] <Couldn't find Pipe for Acion: Z>")));
    EXPECT_FALSE(machine->addAction(nullptr));

    auto served = job(QStringLiteral("A"));
    EXPECT_TRUE(machine->validateActionType(served));
    machine->cancelAllActionsForClose();
    EXPECT_FALSE(machine->isActive());
    EXPECT_FALSE(machine->validateActionType(served));
    EXPECT_FALSE(machine->addAction(served));
    EXPECT_EQ(machine->actionCount(), 0u);
}

TEST_F(JobEngineTest, DuplicateActionTypeRaises)
{
    for (const QStringList& types : {QStringList{"A"}, QStringList{"C", "B2"}}) {
        try {
            machine->addActionPipe(types);
            ADD_FAILURE() << "no exception for " << types.join(',').toStdString();
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), QStringLiteral("Pipe ActionType already exist error"));
        }
    }
    EXPECT_EQ(machine->actionPipes().size(), 2);
    EXPECT_EQ(machine->pipeForAction(QStringLiteral("C")), nullptr);
    EXPECT_TRUE(machine->addActionPipe({QStringLiteral("C")}));
    EXPECT_FALSE(machine->addActionPipe({}));
}

TEST_F(JobEngineTest, AnnounceQuitKillsEverythingAndCountsWhatIsLeft)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto running = post(QStringLiteral("A"), QString(), -1, requester);
    running->suspendable = false;
    auto queued = post(QStringLiteral("A"), QString(), -1, requester);
    settle();

    // One round: the running job's removal has not arrived when it counts.
    EXPECT_EQ(machine->announceQuitWithLoops(0), 1u);
    EXPECT_TRUE(requester->endCodes().empty());   // killed without a word
    EXPECT_TRUE(running->hasEnded());
    EXPECT_TRUE(queued->hasEnded());
    EXPECT_EQ(machine->announceQuit(), 0u);
}

TEST_F(JobEngineTest, ActionsOfClassMatchTheExactClass)
{
    auto plain = post(QStringLiteral("A"));
    auto sub1 = std::make_shared<TestJobSubclass>(QStringLiteral("A"));
    auto sub2 = std::make_shared<TestJobSubclass>(QStringLiteral("B2"));
    ASSERT_TRUE(machine->addAction(sub1));
    ASSERT_TRUE(machine->addAction(sub2));

    const auto plainJobs = machine->actionsOfClass<TestJob>();
    ASSERT_EQ(plainJobs.size(), 1);
    EXPECT_EQ(plainJobs.first(), plain);
    EXPECT_EQ(machine->actionsOfClass<TestJobSubclass>().size(), 2);
    EXPECT_EQ(machine->pipeOfPostedActionOfClass(typeid(TestJobSubclass)), QStringLiteral("B2"));
    EXPECT_TRUE(machine->hasPostedActionsOfClass(typeid(TestJob)));
    EXPECT_FALSE(machine->hasPostedActionsOfClass(typeid(QVAction)));
    EXPECT_TRUE(machine->pipeOfPostedActionOfClass(typeid(QVAction)).isNull());
}

TEST_F(JobEngineTest, RemoveActionTakesOnlyQueuedJobs)
{
    auto running = post(QStringLiteral("A"));
    settle();
    auto queued = post(QStringLiteral("A"));
    auto p = pipe(QStringLiteral("A"));
    EXPECT_FALSE(p->removeAction(running));
    EXPECT_FALSE(p->removeAction(nullptr));
    EXPECT_TRUE(p->removeAction(queued));
    EXPECT_FALSE(p->removeAction(queued));
    EXPECT_EQ(queued->privateActionData(), nullptr);
    EXPECT_EQ(queued->feedBackStatus(), feedbackstatus::kNotPosted);
}

TEST_F(JobEngineTest, SessionDiedCancelsThePipeThenKillsEveryJob)
{
    int died = 0;
    const void* diedSender = nullptr;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        this, jobnames::kNotifySessionDiedError, nullptr, [&](const platform::Notification& n) {
            ++died;
            diedSender = n.sender;
        });

    auto rA = std::make_shared<RecordingNotify>();
    auto qA = std::make_shared<RecordingNotify>();
    auto rB = std::make_shared<RecordingNotify>();
    auto qB = std::make_shared<RecordingNotify>();
    auto runningA = post(QStringLiteral("A"), QString(), -1, rA);
    auto queuedA = post(QStringLiteral("A"), QString(), -1, qA);
    auto runningB = post(QStringLiteral("B"), QString(), -1, rB);
    auto queuedB = post(QStringLiteral("B"), QString(), -1, qB);
    settle();

    runningA->endAction(jobcodes::kSessionDied);
    advance(0.05);
    EXPECT_TRUE(pipe(QStringLiteral("A"))->isPipeCanceld());
    EXPECT_EQ(qA->endCodes(), std::vector<int>{jobcodes::kCancelled});
    EXPECT_TRUE(rB->endCodes().empty());
    EXPECT_TRUE(machine->isActive());
    EXPECT_EQ(died, 0);

    advance(0.1);
    EXPECT_EQ(died, 1);
    EXPECT_EQ(diedSender, static_cast<const void*>(fakeDevice()));
    EXPECT_EQ(rB->endCodes(), std::vector<int>{jobcodes::kCancelled});
    EXPECT_EQ(qB->endCodes(), std::vector<int>{jobcodes::kCancelled});
    EXPECT_FALSE(machine->isActive());
    EXPECT_FALSE(machine->addAction(job(QStringLiteral("B"))));
    settle();
    EXPECT_EQ(machine->actionCount(), 0u);

    // A cancelled pipe never starts anything again.
    auto late = job(QStringLiteral("A"));
    ASSERT_TRUE(pipe(QStringLiteral("A"))->addAction(late));
    advance(1.0);
    EXPECT_EQ(late->starts, 0);

    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(JobEngineTest, SharedTickPostsEveryThirtyFourSeconds)
{
    int ticks = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        this, jobnames::kPrivateActionPipeCheckFire, nullptr, [&](const platform::Notification&) { ++ticks; });
    advance(34.0);
    EXPECT_EQ(ticks, 1);
    advance(34.0);
    EXPECT_EQ(ticks, 2);
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(JobEngineTest, DestroyingTheMachineEndsItsJobsQuietly)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto running = post(QStringLiteral("A"), QString(), -1, requester);
    auto queued = post(QStringLiteral("A"), QString(), -1, requester);
    settle();
    std::weak_ptr<QVActionPipe> weakPipe = pipe(QStringLiteral("A"));
    machine.reset();
    settle();
    EXPECT_TRUE(weakPipe.expired());
    EXPECT_TRUE(running->hasEnded());
    EXPECT_TRUE(queued->hasEnded());
    EXPECT_TRUE(requester->endCodes().empty());
    machine = QVActionMachine::allocActionMachine(fakeDevice());   // for TearDown
    EXPECT_EQ(QVActionMachine::allocActionMachine(nullptr), nullptr);
}
