#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Run-loop services on top of the Qt event loop and the Clock.
namespace platform::runloop {

// performSelector:afterDelay: — runs fn after delay seconds (through the
// Clock) on the main thread. target and action identify the request for
// cancellation; guard, when given, drops the call if that object is gone.
void performAfterDelay(const void* target, const QString& action, double delay,
                       std::function<void()> fn, const QObject* guard = nullptr);
// Cancels the pending requests of a target (all, or one action).
void cancelPreviousPerformRequests(const void* target);
void cancelPreviousPerformRequests(const void* target, const QString& action);
int pendingPerformRequestCount(const void* target);

// Runs fn on the main thread on a later pass of the event loop, never inline,
// even when called from the main thread. Safe from any thread. guard as above.
void performOnMainThread(std::function<void()> fn, const QObject* guard = nullptr);

// Synchronous waits: runs the event loop in slices of sliceSeconds (Clock
// time) until predicate answers true or maxPasses slices have run. Answers
// whether the predicate was met. Re-entrant: a wait may run inside another.
// Real time: a slice ends early once the loop is idle with the predicate met.
// Virtual time (tests): each pass delivers the posted events, checks the
// predicate and then moves the Clock on by one slice, firing what falls due,
// so a 40 s time-out costs no real time. On a worker thread in virtual time a
// pass delivers that thread's events and yields about 1 ms of real time.
bool waitUntil(const std::function<bool()>& predicate, double sliceSeconds, int maxPasses);
// Runs the event loop for one slice of the given length (Clock time).
void runFor(double seconds);
// One pass of the event loop that does not wait: delivers the events already
// posted (queued calls, deferred deletes of outer loops). Main thread only.
void processPendingEvents();

bool isMainThread();

} // namespace platform::runloop
