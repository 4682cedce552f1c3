#include "JobsTestSupport.h"

#include "jobs/QVDoubleNotify.h"
#include "jobs/QVPreprocessAction.h"

#include "platform/Localization.h"

#include <stdexcept>

using namespace jobs_test;

namespace {

// A preparation step that runs until the test ends it.
class ManualStep : public QVPreprocessAction {
public:
    int startPreprocess() override
    {
        ++started;
        return startResult;
    }
    int started = 0;
    int startResult = 0;
};

QString unspecified(uint code)
{
    return platform::localizedString(QStringLiteral("UnspecifiedErr")) + QStringLiteral(" (0x%1)").arg(code, 0, 16);
}

} // namespace

// ---- ends -----------------------------------------------------------------

TEST_F(JobEngineTest, TransportSuspendRequeuesTheRunningJobAndKeepsItsRequester)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto j = post(QStringLiteral("A"), QStringLiteral("j"), -1, requester);
    FeedBackRecorder feedback(j);
    settle();
    ASSERT_TRUE(j->isRunning());

    j->endAction(jobcodes::kTransportSuspended);
    EXPECT_TRUE(feedback.ends().isEmpty());
    EXPECT_EQ(feedback.percents(), QList<float>{-1.0f});
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kSuspended});
    EXPECT_EQ(j->notify(), requester);
    EXPECT_FALSE(j->hasEnded());

    settle();   // back at the head of its pipe: it starts again, and its requester hears it
    EXPECT_EQ(j->starts, 2);
    EXPECT_EQ(requester->count(QStringLiteral("start")), 2);
    EXPECT_EQ(machine->actionCount(), 1u);

    j->endAction(0);
    settle();
    EXPECT_EQ(requester->endCodes(), (std::vector<int>{jobcodes::kSuspended, 0}));
    EXPECT_EQ(j->notify(), nullptr);
    EXPECT_EQ(machine->actionCount(), 0u);
}

TEST_F(JobEngineTest, EndCodesAndTheirErrorTexts)
{
    EXPECT_EQ(platform::localizedString(QStringLiteral("UnspecifiedErr")), QStringLiteral("Unspecified error"));
    struct Case {
        int code;
        int posted;          // the end the observers see
        QString errorText;   // feedBackErrorString() afterwards
    };
    const Case cases[] = {
        {jobcodes::kTransportCancelled, jobcodes::kCancelled, QStringLiteral("Error")},
        {jobcodes::kCancelled, jobcodes::kCancelled, QStringLiteral("Error")},
        {jobcodes::kNothingToDo, jobcodes::kNothingToDo, QStringLiteral("Error")},
        {jobcodes::kTimedOut, jobcodes::kTimedOut, QStringLiteral("Error")},
        {jobcodes::kRefused, jobcodes::kRefused, QStringLiteral("The job was refused.")},
        {0x1234, 0x1234, unspecified(0x1234)},
        {static_cast<int>(0xE00002BCu), static_cast<int>(0xE00002BCu), unspecified(0xE00002BCu)},
        {0, 0, unspecified(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        auto requester = std::make_shared<RecordingNotify>();
        auto j = post(QStringLiteral("A"), QString(), -1, requester);
        FeedBackRecorder feedback(j);
        settle();
        j->endAction(c.code);
        EXPECT_EQ(feedback.ends(), QList<int>{c.posted});
        EXPECT_EQ(requester->endCodes(), std::vector<int>{c.posted});
        EXPECT_EQ(j->feedBackErrorString(), c.errorText);
        settle();
        EXPECT_EQ(machine->actionCount(), 0u);
    }
}

TEST_F(JobEngineTest, JobInNoPipeTellsItsRequesterKeepsItAndEndsOnlyOnce)
{
    standardLogText();
    auto requester = std::make_shared<RecordingNotify>();
    auto j = job(QStringLiteral("A"), requester, QStringLiteral("info"));
    j->endAction(0x42);
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0x42});
    EXPECT_EQ(requester->last(QStringLiteral("end"))->userInfo, QVariant(QStringLiteral("info")));
    EXPECT_EQ(j->notify(), requester);
    EXPECT_TRUE(j->hasEnded());

    j->endAction(0);   // a second end is ignored, and logged
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0x42});
    EXPECT_TRUE(standardLogText().contains(QStringLiteral("-[QVAction endAction:]")));

    // ...and an ended job is not posted again.
    EXPECT_FALSE(machine->addAction(j));
    EXPECT_EQ(machine->actionCount(), 0u);
}

TEST_F(JobEngineTest, StartExceptionsAndRefusals)
{
    // A platform exception in the start ends the job with -1; the pipe goes on.
    auto failing = job(QStringLiteral("A"));
    failing->throwOnStart = true;
    auto requester = std::make_shared<RecordingNotify>();
    failing->setNotify(requester);
    ASSERT_TRUE(machine->addAction(failing));
    auto next = post(QStringLiteral("A"));
    settle();
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kStartException});
    settle();
    EXPECT_TRUE(next->isRunning());

    // The base class has neither a start nor a type.
    auto base = std::make_shared<QVAction>();
    EXPECT_EQ(base->doStartAction(), jobcodes::kStartException);
    try {
        (void)base->actionType();
        ADD_FAILURE() << "actionType() of the base did not throw";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("Unimplemented function error"));
        EXPECT_EQ(e.reason(), QStringLiteral("### You must implement '- (id) actionType'"));
    }

    // Other exceptions are not the engine's to swallow.
    struct Throwing : TestJob {
        using TestJob::TestJob;
        int startAction() override { throw std::runtime_error("bug"); }
    };
    auto bug = std::make_shared<Throwing>(QStringLiteral("A"));
    EXPECT_THROW(bug->doStartAction(), std::runtime_error);

    // The requester's NO refuses the start: 0xAC001, and startAction never runs.
    auto refusing = std::make_shared<RecordingNotify>();
    refusing->answerStart = false;
    auto refused = job(QStringLiteral("B"), refusing);
    EXPECT_EQ(refused->doStartAction(), jobcodes::kRefused);
    EXPECT_EQ(refused->starts, 0);
}

// ---- cancel and kill ------------------------------------------------------

TEST_F(JobEngineTest, CancelDependsOnWhereTheJobIs)
{
    auto requester = std::make_shared<RecordingNotify>();
    auto running = post(QStringLiteral("A"), QStringLiteral("running"), -1, requester);
    running->suspendable = false;
    auto queuedRequester = std::make_shared<RecordingNotify>();
    auto queued = post(QStringLiteral("A"), QStringLiteral("queued"), -1, queuedRequester);
    settle();
    ASSERT_TRUE(running->isRunning());

    // A running job that cannot suspend: NO, nothing changes.
    EXPECT_FALSE(running->cancelAction());
    EXPECT_FALSE(running->isCancelled());
    EXPECT_EQ(running->feedBackStatus(), feedbackstatus::kRunning);
    EXPECT_TRUE(requester->endCodes().empty());
    EXPECT_TRUE(running->processAction(10));

    // A queued job ends at once with 0xAC004; a second cancel answers NO.
    EXPECT_EQ(queued->feedBackStatus(), feedbackstatus::kQueued);
    EXPECT_TRUE(queued->cancelAction());
    EXPECT_EQ(queuedRequester->endCodes(), std::vector<int>{jobcodes::kCancelled});
    EXPECT_FALSE(queued->cancelAction());
    settle();
    EXPECT_EQ(machine->actionCount(), 1u);

    // A running job that can suspend only gets the flag; its progress answers NO.
    running->suspendable = true;
    EXPECT_TRUE(running->cancelAction());
    EXPECT_TRUE(running->isRunning());
    EXPECT_EQ(running->feedBackStatus(), feedbackstatus::kCancelled);
    EXPECT_FALSE(running->processAction(20));
    EXPECT_TRUE(requester->endCodes().empty());
}

TEST_F(JobEngineTest, CancelOnlyFlagsJobsThatArePreparing)
{
    auto blocker = post(QStringLiteral("A"));
    auto opening = job(QStringLiteral("A"));
    opening->inOpenProgress = true;
    ASSERT_TRUE(machine->addAction(opening));
    auto parked = job(QStringLiteral("A"));
    auto step = std::make_shared<ManualStep>();
    ASSERT_TRUE(parked->setPreprocessAction(step));
    ASSERT_TRUE(machine->addAction(parked));
    settle();
    EXPECT_EQ(parked->feedBackStatus(), feedbackstatus::kParked);

    EXPECT_TRUE(opening->cancelAction());
    EXPECT_TRUE(parked->cancelAction());
    EXPECT_FALSE(opening->hasEnded());
    EXPECT_FALSE(parked->hasEnded());

    // Their turn comes: they end with 0xAC004 from the start.
    blocker->endAction(0);
    settle();
    EXPECT_TRUE(opening->hasEnded());
    EXPECT_EQ(opening->starts, 0);
    step->endPreprocess(0);
    settle();
    EXPECT_TRUE(parked->hasEnded());
    EXPECT_EQ(parked->starts, 0);
    EXPECT_EQ(machine->actionCount(), 0u);
}

TEST_F(JobEngineTest, KillTellsTheRequesterOnlyWhenAsked)
{
    for (bool tell : {false, true}) {
        SCOPED_TRACE(tell);
        auto requester = std::make_shared<RecordingNotify>();
        auto j = post(QStringLiteral("A"), QString(), -1, requester);
        FeedBackRecorder feedback(j);
        settle();
        EXPECT_TRUE(j->killAction(tell));
        EXPECT_EQ(feedback.ends(), QList<int>{jobcodes::kCancelled});
        EXPECT_EQ(requester->endCodes().size(), tell ? 1u : 0u);
        settle();
        EXPECT_EQ(machine->actionCount(), 0u);
    }
}

// ---- priorities -----------------------------------------------------------

TEST_F(JobEngineTest, PriorityChanges)
{
    auto running = post(QStringLiteral("A"), QStringLiteral("running"));
    running->suspendable = false;
    settle();
    auto q1 = post(QStringLiteral("A"), QStringLiteral("q1"), 3);
    auto q2 = post(QStringLiteral("A"), QStringLiteral("q2"));
    auto q3 = post(QStringLiteral("A"), QStringLiteral("q3"));
    settle();
    auto names = [this] {
        QStringList list;
        for (const auto& a : pipe(QStringLiteral("A"))->actions())
            list.append(std::static_pointer_cast<TestJob>(a)->name);
        return list;
    };
    ASSERT_EQ(names(), (QStringList{"q1", "running", "q2", "q3"}));

    // The running job keeps its priority.
    EXPECT_FALSE(running->setPriority(0));
    EXPECT_EQ(running->priority(), 4);

    // The same value: no re-insertion, so no new job index.
    const unsigned index = q2->jobIndex();
    EXPECT_TRUE(q2->setPriority(4));
    settle();
    EXPECT_EQ(q2->jobIndex(), index);

    // A change re-sorts 0.0012 s later, behind the jobs of equal priority.
    EXPECT_TRUE(q1->setPriority(4));
    EXPECT_EQ(names(), (QStringList{"q1", "running", "q2", "q3"}));
    advance(0.002);
    EXPECT_EQ(names(), (QStringList{"running", "q2", "q3", "q1"}));

    // Raising a queued job to 0 takes it to the head; the running job cannot
    // suspend, so it runs on.
    EXPECT_TRUE(q3->setPriority(0));
    advance(0.002);
    EXPECT_EQ(names(), (QStringList{"q3", "running", "q2", "q1"}));
    EXPECT_TRUE(running->isRunning());
    EXPECT_EQ(running->suspendRequests, 0);
}

TEST_F(JobEngineTest, PendingResortDoesNotBringBackACancelledJob)
{
    auto running = post(QStringLiteral("A"));
    settle();
    auto queued = post(QStringLiteral("A"));
    settle();
    EXPECT_TRUE(queued->setPriority(2));
    EXPECT_TRUE(queued->cancelAction());
    settle();
    EXPECT_EQ(machine->actionCount(), 1u);
    EXPECT_EQ(queued->privateActionData(), nullptr);
}

// ---- preparation steps ----------------------------------------------------

TEST_F(JobEngineTest, PreparationStepParksTheJobAndGivesItsPriorityBack)
{
    auto j = job(QStringLiteral("A"));
    j->setPriority(3);
    auto step = std::make_shared<ManualStep>();
    ASSERT_TRUE(j->setPreprocessAction(step));
    FeedBackRecorder feedback(j);
    ASSERT_TRUE(machine->addAction(j));
    EXPECT_FALSE(j->setPreprocessAction(std::make_shared<ManualStep>()));   // already posted
    EXPECT_EQ(step->started, 1);
    EXPECT_EQ(j->priority(), jobpriority::kParked);
    EXPECT_EQ(feedback.values(jobnames::kFeedPreprocessStartKey), QList<QVariant>{true});

    // A parked job does not hold up the others.
    auto other = post(QStringLiteral("A"));
    settle();
    EXPECT_TRUE(other->isRunning());
    other->endAction(0);
    settle();
    EXPECT_EQ(j->starts, 0);

    step->endPreprocess(0);
    EXPECT_EQ(step->parentAction(), nullptr);
    settle();
    EXPECT_EQ(j->priority(), 3);
    EXPECT_TRUE(j->isRunning());
}

TEST_F(JobEngineTest, PreparationStepErrorsEndTheJob)
{
    // Ended later with an error: the queued job ends with it.
    auto requester = std::make_shared<RecordingNotify>();
    auto j = job(QStringLiteral("A"), requester);
    auto step = std::make_shared<ManualStep>();
    j->setPreprocessAction(step);
    ASSERT_TRUE(machine->addAction(j));
    settle();
    step->endPreprocess(0x99);
    EXPECT_EQ(requester->endCodes(), std::vector<int>{0x99});
    settle();
    EXPECT_EQ(machine->actionCount(), 0u);
    EXPECT_EQ(j->starts, 0);
    // A job whose step failed and that is started anyway answers that error.
    EXPECT_EQ(j->doStartAction(), 0x99);

    // The base step cannot prepare anything: its start fails at once.
    auto k = job(QStringLiteral("A"));
    k->setPreprocessAction(std::make_shared<QVPreprocessAction>());
    FeedBackRecorder feedback(k);
    ASSERT_TRUE(machine->addAction(k));
    EXPECT_EQ(feedback.values(jobnames::kFeedPreprocessStartKey), QList<QVariant>{false});
    EXPECT_EQ(feedback.ends(), QList<int>{jobcodes::kCannotStart});
}

// ---- merging equal requests -----------------------------------------------

TEST_F(JobEngineTest, MergedRequestLiftsThePriorityAndBothRequestersHearTheEnd)
{
    auto blocker = post(QStringLiteral("A"));
    blocker->suspendable = false;
    settle();
    auto first = std::make_shared<RecordingNotify>();
    auto queued = job(QStringLiteral("A"), first, QStringLiteral("first info"));
    queued->descriptionText = QStringLiteral("read contacts");
    ASSERT_TRUE(machine->addAction(queued));

    auto second = std::make_shared<RecordingNotify>();
    auto request = job(QStringLiteral("A"), second, QStringLiteral("second info"));
    request->descriptionText = QStringLiteral("read contacts");
    request->setPriority(1);
    ASSERT_EQ(machine->actionEqualTo(request), queued);
    EXPECT_TRUE(machine->searchActionEqualToDescripton(QStringLiteral("read contacts")));
    EXPECT_FALSE(machine->searchActionEqualToDescripton(QString()));

    EXPECT_TRUE(queued->didUpdateActionWithPriorityAndListenerFromAction(*request));
    EXPECT_EQ(queued->priority(), 1);
    EXPECT_FALSE(queued->addNotify(second, {}));   // already a requester
    settle();

    blocker->endAction(0);
    settle();
    ASSERT_TRUE(queued->isRunning());
    EXPECT_EQ(first->count(QStringLiteral("start")), 1);
    EXPECT_EQ(second->count(QStringLiteral("start")), 1);
    EXPECT_TRUE(queued->processAction(50));
    queued->endAction(0);
    ASSERT_EQ(first->endCodes(), std::vector<int>{0});
    ASSERT_EQ(second->endCodes(), std::vector<int>{0});
    EXPECT_EQ(first->last(QStringLiteral("end"))->userInfo, QVariant(QStringLiteral("first info")));
    EXPECT_EQ(second->last(QStringLiteral("end"))->userInfo, QVariant(QStringLiteral("second info")));
    EXPECT_EQ(second->last(QStringLiteral("process"))->userInfo, QVariant(QStringLiteral("second info")));

    // A request that is not equal does not merge.
    auto different = job(QStringLiteral("A"));
    different->descriptionText = QStringLiteral("read calendar");
    EXPECT_FALSE(queued->didUpdateActionWithPriorityAndListenerFromAction(*different));
}

TEST_F(JobEngineTest, FirstRequesterDecidesTheStartOfAMergedJob)
{
    auto first = std::make_shared<RecordingNotify>();
    first->answerStart = false;
    auto second = std::make_shared<RecordingNotify>();
    auto third = std::make_shared<RecordingNotify>();
    auto j = job(QStringLiteral("A"), first);
    EXPECT_TRUE(j->addNotify(second, 2));
    EXPECT_TRUE(j->addNotify(third, 3));   // a chain of fan-outs
    EXPECT_FALSE(j->addNotify(third, 3));
    ASSERT_TRUE(machine->addAction(j));
    settle();
    EXPECT_EQ(j->starts, 0);
    EXPECT_EQ(second->count(QStringLiteral("start")), 0);   // asked only after a YES
    for (const auto* r : {first.get(), second.get(), third.get()})
        EXPECT_EQ(r->endCodes(), std::vector<int>{jobcodes::kRefused});
    EXPECT_EQ(third->last(QStringLiteral("end"))->userInfo, QVariant(3));

    // A second requester's NO is not heard.
    auto agreeing = std::make_shared<RecordingNotify>();
    auto refusing = std::make_shared<RecordingNotify>();
    refusing->answerStart = false;
    auto k = job(QStringLiteral("A"), agreeing);
    k->addNotify(refusing, {});
    ASSERT_TRUE(machine->addAction(k));
    settle();
    EXPECT_EQ(k->starts, 1);

    // A requester added to a job that had none is its only one, and is heard.
    auto alone = job(QStringLiteral("A"));
    EXPECT_TRUE(alone->addNotify(refusing, QStringLiteral("alone")));
    EXPECT_EQ(alone->notify(), refusing);
    EXPECT_EQ(alone->doStartAction(), jobcodes::kRefused);
}

// ---- time-outs ------------------------------------------------------------

TEST_F(JobEngineTest, TimeoutsOfZeroOrLessSetNoTimer)
{
    auto blocker = post(QStringLiteral("A"));
    settle();
    for (double timeout : {0.0, -1.0, -5.0}) {
        SCOPED_TRACE(timeout);
        auto j = job(QStringLiteral("A"));
        j->setWaitTimeout(timeout);
        ASSERT_TRUE(machine->addAction(j));
        settle();
        // A timer of zero would have fired by now: the job must still be queued.
        EXPECT_FALSE(j->hasPendingTimer());
        EXPECT_FALSE(j->hasEnded());
    }
}

TEST_F(JobEngineTest, WaitTimeoutEndsAQueuedJob)
{
    auto blocker = post(QStringLiteral("A"));
    blocker->suspendable = false;
    settle();
    auto requester = std::make_shared<RecordingNotify>();
    auto j = job(QStringLiteral("A"), requester);
    j->setWaitTimeout(5.0);
    ASSERT_TRUE(machine->addAction(j));
    settle();
    EXPECT_TRUE(j->hasPendingTimer());
    advance(4.0);
    EXPECT_TRUE(requester->endCodes().empty());
    advance(1.0);
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kTimedOut});
    EXPECT_EQ(j->feedBackErrorString(), QStringLiteral("Error"));
    settle();
    EXPECT_EQ(machine->actionCount(), 1u);
}

TEST_F(JobEngineTest, RunTimeout)
{
    // Started: the wait timer is gone, the run timer ends a job that can suspend...
    auto requester = std::make_shared<RecordingNotify>();
    auto j = job(QStringLiteral("A"), requester);
    j->setWaitTimeout(1.0);
    j->setRunTimeout(3.0);
    ASSERT_TRUE(machine->addAction(j));
    advance(2.0);
    ASSERT_TRUE(j->isRunning());
    EXPECT_TRUE(requester->endCodes().empty());
    advance(1.5);
    EXPECT_EQ(requester->endCodes(), std::vector<int>{jobcodes::kTimedOut});

    // ...but one that cannot suspend runs on.
    auto stubborn = post(QStringLiteral("B"));
    stubborn->suspendable = false;
    stubborn->setRunTimeout(1.0);
    advance(2.0);
    EXPECT_TRUE(stubborn->isRunning());
    EXPECT_FALSE(stubborn->hasEnded());

    // A job that ends inside its own start gets no run timer afterwards.
    auto quick = job(QStringLiteral("A"));
    quick->endInsideStart = true;
    quick->setRunTimeout(1.0);
    ASSERT_TRUE(machine->addAction(quick));
    settle();
    EXPECT_TRUE(quick->hasEnded());
    EXPECT_FALSE(quick->hasPendingTimer());
}

// ---- notifications --------------------------------------------------------

TEST_F(JobEngineTest, NotificationsCarryTheEntryAndOneKey)
{
    auto j = post(QStringLiteral("A"));
    EXPECT_FALSE(j->doPostNotify());
    {
        FeedBackRecorder feedback(j);
        EXPECT_TRUE(j->doPostNotify());
        settle();
        EXPECT_TRUE(j->processAction(12.5f));
        j->endAction(0);
        ASSERT_EQ(feedback.posts.size(), 3);
        const QStringList keys[] = {{jobnames::kFeedStartActionKey},
                                    {jobnames::kFeedProcessActionKey},
                                    {jobnames::kFeedEndActionKey}};
        for (int i = 0; i < 3; ++i) {
            const QVariantMap& post = feedback.posts.at(i);
            EXPECT_EQ(post.size(), 2);
            EXPECT_TRUE(post.contains(keys[i].first()));
            EXPECT_EQ(post.value(jobnames::kFeedBackEntryKey).value<std::shared_ptr<QVFeedBack>>().get(),
                      static_cast<QVFeedBack*>(j.get()));
        }
        EXPECT_EQ(feedback.percents(), QList<float>{12.5f});
    }
    // The observer's registration kept the entry alive; stopping releases it.
    std::weak_ptr<TestJob> weak = j;
    j.reset();
    settle();
    EXPECT_TRUE(weak.expired());
}
