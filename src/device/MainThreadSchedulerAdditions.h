#pragma once

#include <functional>

// Queuing calls on the main-thread scheduler for a target. The target is the
// identity the calls are removed by; the call captures what it needs (hold a
// shared_ptr to keep an object alive until the call has run).

// Queues call; it runs on the main thread on a later pass. Any thread.
void scheduleSelectorOnMainThread(const void* target, std::function<void()> call);
// Queues call after delay seconds (Clock time). Main thread.
void scheduleDelayedSelector(const void* target, double delay, std::function<void()> call);
// Queues a prepared call.
void postSchedule(const void* target, std::function<void()> call);
// Cancels the target's delayed calls and removes its queued ones. Main thread.
void removeAllScheduleds(const void* target);
// True while a queued call runs.
bool isScheduledThreadRunning();
