#pragma once

// Helpers for tests that drive the platform Clock. Tests run in virtual time
// (set up by the test main): time stands still until a wait or
// Clock::advance() moves it, and a 60 s time-out costs no real time.

#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include <cmath>
#include <functional>

namespace testing_support {

// Runs the event loop in slices until predicate holds or seconds of Clock time
// have gone by. Answers whether the predicate was met.
inline bool runUntil(const std::function<bool()>& predicate, double seconds = 10.0, double slice = 0.1)
{
    const int passes = std::max(1, int(std::ceil(seconds / slice - 1e-9)));
    return platform::runloop::waitUntil(predicate, slice, passes);
}

// Runs the event loop for seconds of Clock time, firing what falls due.
inline void runFor(double seconds)
{
    platform::runloop::runFor(seconds);
}

// Switches the Clock to real time for its lifetime (for the few tests that
// must see QTimer and the real event loop). Keep real intervals short.
class RealTimeScope {
public:
    RealTimeScope() { platform::Clock::instance().setVirtual(false); }
    ~RealTimeScope() { platform::Clock::instance().setVirtual(true); }
    RealTimeScope(const RealTimeScope&) = delete;
    RealTimeScope& operator=(const RealTimeScope&) = delete;
};

// In virtual time, lets each pass of a wait block up to realSeconds for input
// from a real peer (a pseudo-terminal, a socket pair, a thread) before virtual
// time moves on.
class OutsideInputScope {
public:
    explicit OutsideInputScope(double realSeconds = 0.005)
        : previous_(platform::Clock::instance().virtualIdleWait())
    {
        platform::Clock::instance().setVirtualIdleWait(realSeconds);
    }
    ~OutsideInputScope() { platform::Clock::instance().setVirtualIdleWait(previous_); }
    OutsideInputScope(const OutsideInputScope&) = delete;
    OutsideInputScope& operator=(const OutsideInputScope&) = delete;

private:
    double previous_;
};

} // namespace testing_support
