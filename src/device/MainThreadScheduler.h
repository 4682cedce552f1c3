#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The one process-wide queue of deferred main-thread calls. Calls may be
// queued from any thread, also from inside a running queued call; the main
// run loop works them off one call per pass, in queue order, so other
// main-thread work runs between two of them. Each call carries its target (an
// identity used for removal); the call object keeps whatever it captured
// alive until it has run or was removed.
class MainThreadScheduler {
public:
    struct Invocation {
        const void* target = nullptr;
        std::function<void()> call;
    };

    static MainThreadScheduler& sharedMainThreadScheduler();

    // Appends and asks the main thread for a pass (without waiting).
    void addScheduleSelector(std::shared_ptr<Invocation> invocation);
    // One pass: runs the first queued call unless a call is running (the lock
    // is only tried, never waited for), then asks for another pass while
    // calls remain. Main thread.
    void invokeTheSchedules();
    // True while a queued call runs.
    bool isScheduledThreadRunning() const;
    bool doesExistScheduled(const void* target) const;
    // Removes the target's queued calls. Asked from inside a running call, the
    // removal takes effect as soon as that call has completed (before any
    // other queued call runs); asked while another thread holds the lock, it
    // is retried on a later pass.
    void doRemoveAllScheduleds(const void* target);

    int scheduledCount() const;

    MainThreadScheduler(const MainThreadScheduler&) = delete;
    MainThreadScheduler& operator=(const MainThreadScheduler&) = delete;

private:
    MainThreadScheduler() = default;
    void requestPass();
    // Moves the target's calls out of the list; the list mutex is held.
    void takeCallsOf(const void* target, std::vector<std::shared_ptr<Invocation>>& removed);

    mutable std::mutex m_listMutex;                       // guards the list itself, held briefly
    std::deque<std::shared_ptr<Invocation>> m_scheduleList;
    std::vector<const void*> m_pendingRemovals;           // asked for by the running call
    std::mutex m_locker;                                  // held while a call runs or calls are removed
    std::atomic<bool> m_isThreadRun { false };
};
