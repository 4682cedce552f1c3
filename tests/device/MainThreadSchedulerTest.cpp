#include "device/MainThreadScheduler.h"
#include "device/MainThreadSchedulerAdditions.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

MainThreadScheduler& scheduler()
{
    return MainThreadScheduler::sharedMainThreadScheduler();
}

// Runs posted events until nothing is left (bounded).
void drain()
{
    for (int i = 0; i < 50; ++i)
        QCoreApplication::sendPostedEvents();
}

class MainThreadSchedulerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        drain();
        EXPECT_EQ(scheduler().scheduledCount(), 0);
    }
    int target = 0;
    int otherTarget = 0;
};

} // namespace

TEST_F(MainThreadSchedulerTest, CallsFromAnotherThreadRunOnTheMainThreadInOrderOnePerPass)
{
    std::vector<int> order;
    std::vector<bool> onMainThread;
    QThread* mainThread = QThread::currentThread();
    std::thread worker([&] {
        for (int i = 1; i <= 3; ++i) {
            scheduleSelectorOnMainThread(&target, [&, i] {
                order.push_back(i);
                onMainThread.push_back(QThread::currentThread() == mainThread);
            });
        }
    });
    worker.join();
    EXPECT_TRUE(order.empty()) << "nothing runs inline";
    EXPECT_TRUE(scheduler().doesExistScheduled(&target));

    scheduler().invokeTheSchedules();
    EXPECT_EQ(order, std::vector<int>({ 1 }));
    scheduler().invokeTheSchedules();
    EXPECT_EQ(order, std::vector<int>({ 1, 2 }));
    drain();
    EXPECT_EQ(order, std::vector<int>({ 1, 2, 3 }));
    EXPECT_EQ(onMainThread, std::vector<bool>({ true, true, true }));
    EXPECT_FALSE(scheduler().doesExistScheduled(&target));
}

TEST_F(MainThreadSchedulerTest, RemovalFromInsideARunningCallTakesEffectLater)
{
    std::vector<QString> ran;
    scheduleSelectorOnMainThread(&target, [&] {
        ran.push_back(QStringLiteral("first"));
        removeAllScheduleds(&target);
        EXPECT_TRUE(scheduler().doesExistScheduled(&target)) << "the lock is held: the removal waits for a later pass";
        ran.push_back(QStringLiteral("first completed"));
    });
    scheduleSelectorOnMainThread(&target, [&] { ran.push_back(QStringLiteral("second")); });
    scheduleSelectorOnMainThread(&otherTarget, [&] { ran.push_back(QStringLiteral("other")); });
    scheduleSelectorOnMainThread(&target, [&] { ran.push_back(QStringLiteral("third")); });
    drain();
    EXPECT_EQ(ran, std::vector<QString>({ QStringLiteral("first"), QStringLiteral("first completed"), QStringLiteral("other") }));
}

TEST_F(MainThreadSchedulerTest, CallsQueuedFromARunningCallRunAfterIt)
{
    std::vector<int> ran;
    scheduleSelectorOnMainThread(&target, [&] {
        ran.push_back(1);
        scheduleSelectorOnMainThread(&target, [&] { ran.push_back(3); });
        ran.push_back(2);
    });
    drain();
    EXPECT_EQ(ran, std::vector<int>({ 1, 2, 3 }));
}

TEST_F(MainThreadSchedulerTest, DelayedCallRemovedBeforeItsTimeNeverRuns)
{
    bool ran = false;
    bool kept = false;
    scheduleDelayedSelector(&target, 2.0, [&] { ran = true; });
    scheduleDelayedSelector(&otherTarget, 2.0, [&] { kept = true; });
    platform::Clock::instance().advance(1.0);
    drain();
    EXPECT_FALSE(kept);
    removeAllScheduleds(&target);
    platform::Clock::instance().advance(2.0);
    drain();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(kept);
}

TEST_F(MainThreadSchedulerTest, RunningFlagOnlyInsideACall)
{
    bool inside = false;
    EXPECT_FALSE(isScheduledThreadRunning());
    postSchedule(&target, [&] { inside = isScheduledThreadRunning(); });
    drain();
    EXPECT_TRUE(inside);
    EXPECT_FALSE(isScheduledThreadRunning());
}

TEST_F(MainThreadSchedulerTest, QueuedCallKeepsWhatItCapturedAlive)
{
    auto payload = std::make_shared<int>(42);
    std::weak_ptr<int> watch = payload;
    int seen = 0;
    scheduleSelectorOnMainThread(&target, [&seen, payload] { seen = *payload; });
    payload.reset();
    EXPECT_FALSE(watch.expired());
    drain();
    EXPECT_EQ(seen, 42);
    EXPECT_TRUE(watch.expired());

    auto removed = std::make_shared<int>(1);
    watch = removed;
    scheduleSelectorOnMainThread(&target, [removed] {});
    removed.reset();
    removeAllScheduleds(&target);
    EXPECT_TRUE(watch.expired()) << "a removed call releases what it held";
}
