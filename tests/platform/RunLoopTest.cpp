#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using platform::Clock;
namespace runloop = platform::runloop;

namespace {

// Cancels what a test left pending, so one test's requests never reach the next.
class PerformAfterDelay : public ::testing::Test {
protected:
    void TearDown() override
    {
        runloop::cancelPreviousPerformRequests(&targetA);
        runloop::cancelPreviousPerformRequests(&targetB);
    }
    double elapsed() const { return Clock::instance().now() - start; }

    int targetA = 0, targetB = 0;
    double start = Clock::instance().now();
};

} // namespace

TEST_F(PerformAfterDelay, RunsAfterItsDelayInRequestOrder)
{
    std::vector<std::pair<QString, double>> calls;
    auto record = [&](const QString& name) { return [&, name] { calls.emplace_back(name, elapsed()); }; };
    runloop::performAfterDelay(&targetA, "late", 0.12, record("late"));
    runloop::performAfterDelay(&targetA, "first", 0.012, record("first"));
    runloop::performAfterDelay(&targetB, "second", 0.012, record("second"));
    runloop::performAfterDelay(&targetB, "now", 0.0, record("now"));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(runloop::pendingPerformRequestCount(&targetA), 2);

    testing_support::runFor(0.011);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, "now");

    testing_support::runFor(1.0);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].first, "first");
    EXPECT_NEAR(calls[1].second, 0.012, 1e-9);
    EXPECT_EQ(calls[2].first, "second");
    EXPECT_EQ(calls[3].first, "late");
    EXPECT_NEAR(calls[3].second, 0.12, 1e-9);
    EXPECT_EQ(runloop::pendingPerformRequestCount(&targetA), 0);
}

TEST_F(PerformAfterDelay, CancelByTargetOrByTargetAndAction)
{
    QStringList calls;
    auto record = [&](const QString& name) { return [&, name] { calls << name; }; };
    runloop::performAfterDelay(&targetA, "tick", 1.0, record("A.tick"));
    runloop::performAfterDelay(&targetA, "tick", 2.0, record("A.tick2"));
    runloop::performAfterDelay(&targetA, "other", 1.0, record("A.other"));
    runloop::performAfterDelay(&targetB, "tick", 1.0, record("B.tick"));
    runloop::performAfterDelay(&targetB, "other", 1.0, record("B.other"));

    runloop::cancelPreviousPerformRequests(&targetA, "tick");
    EXPECT_EQ(runloop::pendingPerformRequestCount(&targetA), 1);
    runloop::cancelPreviousPerformRequests(&targetB);
    EXPECT_EQ(runloop::pendingPerformRequestCount(&targetB), 0);

    testing_support::runFor(5.0);
    EXPECT_EQ(calls, QStringList{"A.other"});
}

TEST_F(PerformAfterDelay, CancelFromAnotherRequestDueAtTheSameMoment)
{
    bool victimCalled = false;
    runloop::performAfterDelay(&targetA, "cancel", 0.5, [&] { runloop::cancelPreviousPerformRequests(&targetB); });
    runloop::performAfterDelay(&targetB, "victim", 0.5, [&] { victimCalled = true; });
    testing_support::runFor(1.0);
    EXPECT_FALSE(victimCalled);
}

TEST_F(PerformAfterDelay, RequestMayRequeueItselfAndCancelItsOwnTarget)
{
    int calls = 0;
    std::function<void()> again = [&] {
        ++calls;
        runloop::cancelPreviousPerformRequests(&targetA);   // nothing else pending: harmless
        if (calls < 3)
            runloop::performAfterDelay(&targetA, "again", 1.0, again);
    };
    runloop::performAfterDelay(&targetA, "again", 1.0, again);
    testing_support::runFor(10.0);
    EXPECT_EQ(calls, 3);
}

TEST_F(PerformAfterDelay, GuardGoneDropsTheCall)
{
    bool called = false;
    auto guard = std::make_unique<QObject>();
    runloop::performAfterDelay(&targetA, "guarded", 1.0, [&] { called = true; }, guard.get());
    guard.reset();
    testing_support::runFor(2.0);
    EXPECT_FALSE(called);
    EXPECT_EQ(runloop::pendingPerformRequestCount(&targetA), 0);
}

TEST_F(PerformAfterDelay, RequestedFromAnotherThreadRunsOnTheMainThread)
{
    std::atomic<bool> onMain{false};
    std::thread worker([&] {
        runloop::performAfterDelay(&targetA, "fromThread", 0.5, [&] { onMain = runloop::isMainThread(); });
    });
    worker.join();
    EXPECT_TRUE(testing_support::runUntil([&] { return onMain.load(); }, 2.0));
}

TEST(PerformOnMainThread, NeverRunsInline)
{
    std::vector<int> order;
    runloop::performOnMainThread([&] { order.push_back(2); });
    order.push_back(1);
    runloop::processPendingEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(PerformOnMainThread, FromOtherThreadsInOrderPerThread)
{
    std::vector<int> got;
    std::atomic<bool> allOnMain{true};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            runloop::performOnMainThread([&, i] {
                if (!runloop::isMainThread())
                    allOnMain = false;
                got.push_back(i);
            });
        }
    });
    worker.join();
    EXPECT_TRUE(testing_support::runUntil([&] { return got.size() == 50; }, 1.0));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < int(got.size()); ++i)
        ASSERT_EQ(got[size_t(i)], i);
}

TEST(PerformOnMainThread, GuardGoneDropsTheCall)
{
    bool called = false;
    auto guard = std::make_unique<QObject>();
    runloop::performOnMainThread([&] { called = true; }, guard.get());
    guard.reset();
    runloop::processPendingEvents();
    EXPECT_FALSE(called);
}

TEST(WaitUntil, MetByADelayedDeliveryAtSliceGranularity)
{
    const double start = Clock::instance().now();
    bool answered = false;
    int target = 0;
    runloop::performAfterDelay(&target, "answer", 2.5, [&] { answered = true; });
    EXPECT_TRUE(runloop::waitUntil([&] { return answered; }, 0.1, 100));
    EXPECT_NEAR(Clock::instance().now() - start, 2.5, 1e-9);
}

TEST(WaitUntil, BoundedByPassCount)
{
    struct Case {
        double slice;
        int passes;
    };
    for (const Case c : {Case{0.1, 1}, Case{0.25, 8}, Case{0.5, 120}, Case{0.1, 0}}) {
        const double start = Clock::instance().now();
        int checks = 0;
        EXPECT_FALSE(runloop::waitUntil([&] { return ++checks < 0; }, c.slice, c.passes));
        EXPECT_NEAR(Clock::instance().now() - start, c.slice * c.passes, 1e-6) << c.slice << " " << c.passes;
        EXPECT_GE(checks, c.passes + 1);
    }
}

TEST(WaitUntil, MetByAPostedEventTakesNoTime)
{
    const double start = Clock::instance().now();
    bool done = false;
    runloop::performOnMainThread([&] { done = true; });
    EXPECT_TRUE(runloop::waitUntil([&] { return done; }, 0.1, 10));
    EXPECT_DOUBLE_EQ(Clock::instance().now(), start);

    // Already met: no pass runs at all.
    bool ran = false;
    runloop::performOnMainThread([&] { ran = true; });
    EXPECT_TRUE(runloop::waitUntil([] { return true; }, 0.1, 10));
    EXPECT_FALSE(ran);
    runloop::processPendingEvents();
    EXPECT_TRUE(ran);
}

TEST(WaitUntil, NestedWaitInsideADelivery)
{
    const double start = Clock::instance().now();
    int target = 0;
    bool inner = false, outer = false, innerResult = false;
    runloop::performAfterDelay(&target, "inner", 1.5, [&] { inner = true; });
    runloop::performAfterDelay(&target, "outer", 0.5, [&] {
        innerResult = runloop::waitUntil([&] { return inner; }, 0.1, 50);
        runloop::performAfterDelay(&target, "done", 0.2, [&] { outer = true; });
    });
    EXPECT_TRUE(runloop::waitUntil([&] { return outer; }, 0.1, 100));
    EXPECT_TRUE(innerResult);
    EXPECT_NEAR(Clock::instance().now() - start, 1.7, 1e-9);
}

TEST(WaitUntil, DeletesObjectsLeftWithDeleteLater)
{
    QPointer<QObject> object = new QObject;
    object->deleteLater();
    testing_support::runFor(0.1);
    EXPECT_TRUE(object.isNull());
}

TEST(WaitUntil, DeleteLaterFromACallbackWaitsForTheCallbackToReturn)
{
    // A callback hands its object to deleteLater() and then waits: the object
    // must live through the nested wait and go once the callback is done.
    auto check = [] {
        QPointer<QObject> object = new QObject;
        bool aliveAfterNestedWait = false, done = false;
        platform::Timer timer([&] {
            object->deleteLater();
            runloop::waitUntil([] { return false; }, 0.01, 3);
            aliveAfterNestedWait = !object.isNull();
            done = true;
        });
        timer.start(0.02);
        EXPECT_TRUE(runloop::waitUntil([&] { return done && object.isNull(); }, 0.01, 100));
        EXPECT_TRUE(aliveAfterNestedWait);
    };
    check();
    testing_support::RealTimeScope real;
    check();
}

TEST(WaitUntil, OutsideInputArrivesWhileVirtualTimeIsBounded)
{
    // A peer on another thread answers after some real time. With the idle
    // allowance each pass blocks briefly for it, so a generous virtual
    // time-out is not used up before the answer can arrive.
    testing_support::OutsideInputScope allowance(0.005);
    std::atomic<bool> answered{false};
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        runloop::performOnMainThread([&] { answered = true; });
    });
    const bool met = testing_support::runUntil([&] { return answered.load(); }, 60.0);
    peer.join();
    EXPECT_TRUE(met);
}

TEST(WaitUntil, OnAWorkerThreadStaysBoundedWithoutMovingVirtualTime)
{
    const double start = Clock::instance().now();
    QElapsedTimer real;
    real.start();
    bool result = true;
    std::thread worker([&] { result = runloop::waitUntil([] { return false; }, 0.1, 50); });
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_LT(real.elapsed(), 1000);
    EXPECT_DOUBLE_EQ(Clock::instance().now(), start);
}

TEST(RunLoop, IsMainThread)
{
    EXPECT_TRUE(runloop::isMainThread());
    bool onWorker = true;
    std::thread worker([&] { onWorker = runloop::isMainThread(); });
    worker.join();
    EXPECT_FALSE(onWorker);
}
