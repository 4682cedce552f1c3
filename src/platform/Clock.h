#pragma once

#include <QDateTime>
#include <functional>
#include <optional>
#include <memory>

namespace platform {

class Timer;

// The one time facility of the program. Every timer, delay, tick and run-loop
// wait reads it. In real mode it follows the steady clock and Timer runs on
// QTimer. In virtual mode (tests) time stands still until advance() moves it;
// due timers then fire in order of their fire time, so a 60 s time-out takes
// no real time at all.
class Clock {
public:
    static Clock& instance();

    // Seconds on a monotonic scale (real or virtual).
    double now() const;
    // Wall-clock time: the real one plus the virtual time advanced so far.
    QDateTime currentDateTime() const;

    bool isVirtual() const;
    // Switching modes is meant for test set-up; timers running across the
    // switch keep their remaining time.
    void setVirtual(bool on);

    // Virtual mode: moves time forward by seconds, firing every timer that
    // falls due on the way (at its own fire time, in order), and processing
    // posted events between fires. Real mode: does nothing.
    void advance(double seconds);
    // Virtual mode: moves to the next timer's fire time and fires it. Answers
    // false when no timer is scheduled.
    bool advanceToNextTimer();
    // Virtual mode: fires the timers already due (fire time not after now)
    // that were started before this call, as a pass of the event loop does.
    void fireDueTimers();
    // Fire time of the earliest scheduled virtual timer, if any.
    std::optional<double> nextFireTime() const;
    // Number of active timers (either mode).
    int activeTimerCount() const;

    // Virtual mode: how long (real seconds) each pass of a run-loop wait may
    // block for outside input (sockets, pseudo-terminals, other threads)
    // before virtual time moves on. 0 (the default) never blocks; tests that
    // talk to a real peer set a few milliseconds.
    void setVirtualIdleWait(double realSeconds);
    double virtualIdleWait() const;

private:
    friend class Timer;
    Clock();
    ~Clock();
    struct Impl;
    std::unique_ptr<Impl> d;
};

// An owned timer. Destroying or stopping it cancels every pending fire, so a
// callback never reaches an object that is gone. Main thread only.
class Timer {
public:
    using Callback = std::function<void()>;

    explicit Timer(Callback callback = {});
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setCallback(Callback callback);
    // Starts (or restarts) the timer: fires after seconds, then every seconds
    // while repeats is true. An interval of 0 fires on a later pass of the loop,
    // never inline. Repeats are scheduled from the previous fire time (no
    // drift), at least 1 ms apart, and never re-enter a running callback: a
    // fire missed while the callback ran a nested wait is made up once.
    void start(double seconds, bool repeats = false);
    void stop();

    bool isActive() const;
    bool repeats() const;
    double interval() const;
    double fireTime() const;   // on the Clock's scale; meaningful while active

    // Lets the owner fire it early (as NSTimer fire): runs the callback now;
    // a one-shot timer stops.
    void fire();

private:
    friend class Clock;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
