#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <vector>

using platform::Clock;
using platform::Timer;

namespace {

// Records which timer fired and at what Clock time, relative to the start.
struct FireLog {
    double start = Clock::instance().now();
    std::vector<std::pair<QString, double>> fires;

    Timer::Callback recorder(const QString& name)
    {
        return [this, name] { fires.emplace_back(name, Clock::instance().now() - start); };
    }
    QStringList names() const
    {
        QStringList list;
        for (const auto& f : fires)
            list << f.first;
        return list;
    }
};

} // namespace

TEST(ClockVirtual, FiresTimersInOrderOfFireTimeThenCreationAtTheirOwnTime)
{
    FireLog log;
    Timer late(log.recorder("late")), early(log.recorder("early")), tieA(log.recorder("tieA")),
        tieB(log.recorder("tieB")), beyond(log.recorder("beyond"));
    late.start(3.0);
    beyond.start(5.0);
    tieB.start(1.5);
    tieA.start(1.5);   // same fire time as tieB, started after it
    early.start(0.25);

    Clock::instance().advance(4.0);

    // Ties go by the order in which the timers were started.
    EXPECT_EQ(log.names(), (QStringList{"early", "tieB", "tieA", "late"}));
    ASSERT_EQ(log.fires.size(), 4u);
    EXPECT_NEAR(log.fires[0].second, 0.25, 1e-9);
    EXPECT_NEAR(log.fires[1].second, 1.5, 1e-9);
    EXPECT_NEAR(log.fires[3].second, 3.0, 1e-9);
    EXPECT_NEAR(Clock::instance().now() - log.start, 4.0, 1e-9);
    EXPECT_TRUE(beyond.isActive());
    EXPECT_FALSE(late.isActive());
    EXPECT_NEAR(*Clock::instance().nextFireTime(), log.start + 5.0, 1e-9);
}

TEST(ClockVirtual, ZeroIntervalNeverFiresInline)
{
    int fired = 0;
    Timer timer([&] { ++fired; });
    timer.start(0);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer.isActive());

    // A plain pass of the Qt loop is enough, as with a real 0 ms QTimer.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer.isActive());
}

TEST(ClockVirtual, ZeroIntervalStartedFromACallbackWaitsForALaterPass)
{
    std::vector<int> order;
    Timer second([&] { order.push_back(2); });
    Timer first([&] {
        second.start(0);
        order.push_back(1);
    });
    first.start(1.0);
    Clock::instance().advance(1.0);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(ClockVirtual, RepeatingTimerReschedulesFromItsFireTime)
{
    FireLog log;
    Timer tick(log.recorder("tick"));
    tick.start(0.34, true);
    Clock::instance().advance(0.34 * 10 + 0.01);
    ASSERT_EQ(log.fires.size(), 10u);
    for (size_t i = 0; i < log.fires.size(); ++i)
        EXPECT_NEAR(log.fires[i].second, 0.34 * double(i + 1), 1e-9) << i;
    EXPECT_TRUE(tick.isActive());
    EXPECT_NEAR(tick.fireTime() - log.start, 0.34 * 11, 1e-9);
}

TEST(ClockVirtual, TimersStoppedOrDestroyedDuringAFireNeverFireAfterwards)
{
    int victimFired = 0, repeatFired = 0;
    auto victim = std::make_unique<Timer>([&] { ++victimFired; });
    Timer stoppedVictim([&] { ++victimFired; });
    auto self = std::make_unique<Timer>();
    Timer repeat;
    repeat.setCallback([&] {
        ++repeatFired;
        repeat.stop();
    });
    Timer killer([&] {
        victim.reset();          // due at the same moment, destroyed
        stoppedVictim.stop();    // due at the same moment, stopped
    });
    self->setCallback([&] { self.reset(); });   // destroys itself while firing

    killer.start(1.0);
    victim->start(1.0);
    stoppedVictim.start(1.0);
    self->start(0.5);
    repeat.start(0.2, true);

    Clock::instance().advance(5.0);
    EXPECT_EQ(victimFired, 0);
    EXPECT_EQ(repeatFired, 1);
    EXPECT_EQ(self, nullptr);
    EXPECT_FALSE(repeat.isActive());
}

TEST(ClockVirtual, CallbackMayRestartItsOwnTimer)
{
    FireLog log;
    Timer timer;
    int count = 0;
    timer.setCallback([&] {
        log.recorder("t")();
        if (++count < 3)
            timer.start(2.0);
    });
    timer.start(1.0);
    Clock::instance().advance(10.0);
    ASSERT_EQ(log.fires.size(), 3u);
    EXPECT_NEAR(log.fires[2].second, 5.0, 1e-9);
    EXPECT_FALSE(timer.isActive());
}

TEST(ClockVirtual, RepeatingTimerIsNotReenteredByANestedWaitInItsCallback)
{
    // A heart beat whose callback runs a synchronous wait longer than its
    // interval: the nested wait fires the other timers but not the heart beat
    // itself; the missed beats are made up once afterwards.
    FireLog log;
    int depth = 0, maxDepth = 0, beats = 0;
    Timer other(log.recorder("other"));
    Timer beat;
    beat.setCallback([&] {
        ++beats;
        maxDepth = std::max(maxDepth, ++depth);
        if (beats == 1) {
            other.start(0.3);
            platform::runloop::waitUntil([] { return false; }, 0.1, 20);   // 2 s
        }
        --depth;
    });
    beat.start(0.5, true);

    Clock::instance().advance(0.5);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(log.names(), QStringList{"other"});
    EXPECT_NEAR(Clock::instance().now() - log.start, 2.5, 1e-9);

    // The missed beats are made up by one, on the pass after the callback,
    // then the beat carries on on its half-second grid.
    EXPECT_EQ(beats, 2);
    EXPECT_NEAR(beat.fireTime() - log.start, 3.0, 1e-9);
    Clock::instance().advance(0.5);
    EXPECT_EQ(beats, 3);
}

TEST(ClockVirtual, FireRunsTheCallbackNowAndStopsOnlyOneShotTimers)
{
    int oneShotCount = 0, repeatingCount = 0;
    Timer oneShot([&] { ++oneShotCount; });
    Timer repeating([&] { ++repeatingCount; });
    oneShot.start(5.0);
    repeating.start(5.0, true);
    const double repeatingFireTime = repeating.fireTime();

    oneShot.fire();
    repeating.fire();
    EXPECT_EQ(oneShotCount, 1);
    EXPECT_EQ(repeatingCount, 1);
    EXPECT_FALSE(oneShot.isActive());
    EXPECT_TRUE(repeating.isActive());
    EXPECT_DOUBLE_EQ(repeating.fireTime(), repeatingFireTime);

    Clock::instance().advance(5.0);
    EXPECT_EQ(oneShotCount, 1);
    EXPECT_EQ(repeatingCount, 2);
}

TEST(ClockVirtual, ProcessesPostedEventsBetweenFires)
{
    std::vector<QString> order;
    Timer second([&] { order.push_back("second timer"); });
    Timer first([&] {
        order.push_back("first timer");
        platform::runloop::performOnMainThread([&] { order.push_back("queued by first"); });
    });
    first.start(1.0);
    second.start(1.0);
    Clock::instance().advance(1.0);
    EXPECT_EQ(order, (std::vector<QString>{"first timer", "queued by first", "second timer"}));
}

TEST(ClockVirtual, AdvanceToNextTimerJumpsToItsFireTime)
{
    FireLog log;
    EXPECT_EQ(Clock::instance().activeTimerCount(), 0);
    EXPECT_FALSE(Clock::instance().advanceToNextTimer());
    Timer a(log.recorder("a")), b(log.recorder("b"));
    a.start(60.0);
    b.start(34.0);
    EXPECT_EQ(Clock::instance().activeTimerCount(), 2);
    EXPECT_TRUE(Clock::instance().advanceToNextTimer());
    EXPECT_EQ(log.names(), QStringList{"b"});
    EXPECT_NEAR(Clock::instance().now() - log.start, 34.0, 1e-9);
    EXPECT_TRUE(Clock::instance().advanceToNextTimer());
    EXPECT_EQ(log.names(), (QStringList{"b", "a"}));
    EXPECT_FALSE(Clock::instance().advanceToNextTimer());
}

TEST(ClockVirtual, WallClockMovesWithVirtualTime)
{
    const QDateTime before = Clock::instance().currentDateTime();
    Clock::instance().advance(3600.5);
    const qint64 moved = before.msecsTo(Clock::instance().currentDateTime());
    EXPECT_EQ(moved, 3600500);
}

TEST(ClockVirtual, FortySecondTimeOutTakesWellUnderASecond)
{
    QElapsedTimer real;
    real.start();
    const double start = Clock::instance().now();
    int ticks = 0;
    Timer tick([&] { ++ticks; });
    tick.start(34.0, true);

    bool answered = false;
    platform::runloop::performAfterDelay(&answered, "answer", 60.0, [&] { answered = true; });
    EXPECT_FALSE(platform::runloop::waitUntil([&] { return answered; }, 0.1, 400));

    EXPECT_NEAR(Clock::instance().now() - start, 40.0, 1e-6);
    EXPECT_EQ(ticks, 1);
    EXPECT_LT(real.elapsed(), 1000);
    platform::runloop::cancelPreviousPerformRequests(&answered);
}

TEST(ClockModes, SwitchingKeepsNowMonotonicAndTimersRunning)
{
    int fired = 0;
    Timer timer([&] { ++fired; });
    timer.start(0.02);
    const double virtualNow = Clock::instance().now();
    {
        testing_support::RealTimeScope real;
        EXPECT_GE(Clock::instance().now(), virtualNow);
        EXPECT_FALSE(Clock::instance().nextFireTime().has_value());
        EXPECT_TRUE(platform::runloop::waitUntil([&] { return fired == 1; }, 0.01, 200));
    }
    EXPECT_GE(Clock::instance().now(), virtualNow);
    EXPECT_TRUE(Clock::instance().isVirtual());
}

TEST(ClockReal, TimersFireInOrderAndZeroIntervalIsNotInline)
{
    testing_support::RealTimeScope real;
    FireLog log;
    Timer zero(log.recorder("zero")), shortOne(log.recorder("short")), longer(log.recorder("longer"));
    Timer repeat(log.recorder("repeat"));
    longer.start(0.06);
    shortOne.start(0.02);
    zero.start(0);
    repeat.start(0.025, true);
    EXPECT_TRUE(log.fires.empty());

    EXPECT_TRUE(platform::runloop::waitUntil([&] { return !longer.isActive(); }, 0.01, 200));
    repeat.stop();
    ASSERT_GE(log.fires.size(), 4u);
    EXPECT_EQ(log.fires[0].first, "zero");
    EXPECT_EQ(log.fires[1].first, "short");
    EXPECT_GE(log.fires[1].second, 0.02);
    EXPECT_GE(log.names().count("repeat"), 2);
    EXPECT_EQ(log.names().last(), "longer");
    EXPECT_GE(log.fires.back().second, 0.06);
}

TEST(ClockReal, TimerDestroyedInItsOwnCallback)
{
    testing_support::RealTimeScope real;
    auto timer = std::make_unique<Timer>();
    timer->setCallback([&] { timer.reset(); });
    timer->start(0.001);
    EXPECT_TRUE(platform::runloop::waitUntil([&] { return timer == nullptr; }, 0.01, 200));
}

TEST(ClockReal, WaitEndsAsSoonAsThePredicateHolds)
{
    testing_support::RealTimeScope real;
    bool done = false;
    platform::runloop::performOnMainThread([&] { done = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(platform::runloop::waitUntil([&] { return done; }, 5.0, 2));
    EXPECT_LT(elapsed.elapsed(), 2000);
}
