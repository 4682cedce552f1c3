#include "device/MainThreadScheduler.h"

#include "platform/RunLoop.h"

#include <algorithm>

MainThreadScheduler& MainThreadScheduler::sharedMainThreadScheduler()
{
    static MainThreadScheduler instance;
    return instance;
}

void MainThreadScheduler::addScheduleSelector(std::shared_ptr<Invocation> invocation)
{
    if (!invocation || !invocation->call)
        return;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        m_scheduleList.push_back(std::move(invocation));
    }
    requestPass();
}

void MainThreadScheduler::requestPass()
{
    platform::runloop::performOnMainThread([this] { invokeTheSchedules(); });
}

void MainThreadScheduler::invokeTheSchedules()
{
    std::shared_ptr<Invocation> first;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        if (!m_scheduleList.empty())
            first = m_scheduleList.front();
    }
    if (first) {
        // Destroyed after the lock is released: a destroyed call may release
        // objects whose destructors queue further calls.
        std::vector<std::shared_ptr<Invocation>> finished;
        std::unique_lock<std::mutex> running(m_locker, std::try_to_lock);
        if (running.owns_lock()) {
            m_isThreadRun = true;
            struct Finish {
                MainThreadScheduler* self;
                std::shared_ptr<Invocation>& done;
                std::vector<std::shared_ptr<Invocation>>& finished;
                ~Finish()
                {
                    {
                        std::lock_guard<std::mutex> lock(self->m_listMutex);
                        auto& list = self->m_scheduleList;
                        const auto it = std::find(list.begin(), list.end(), done);
                        if (it != list.end()) {
                            finished.push_back(std::move(*it));
                            list.erase(it);
                        }
                        for (const void* target : self->m_pendingRemovals)
                            self->takeCallsOf(target, finished);
                        self->m_pendingRemovals.clear();
                    }
                    finished.push_back(std::move(done));
                    self->m_isThreadRun = false;
                }
            } finish { this, first, finished };
            first->call();
        }
    }
    bool remaining;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        remaining = !m_scheduleList.empty();
    }
    if (remaining)
        requestPass();
}

void MainThreadScheduler::takeCallsOf(const void* target, std::vector<std::shared_ptr<Invocation>>& removed)
{
    for (auto it = m_scheduleList.end(); it != m_scheduleList.begin();) {
        --it;
        if ((*it)->target == target) {
            removed.push_back(std::move(*it));
            it = m_scheduleList.erase(it);
        }
    }
}

bool MainThreadScheduler::isScheduledThreadRunning() const
{
    return m_isThreadRun;
}

bool MainThreadScheduler::doesExistScheduled(const void* target) const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    return std::any_of(m_scheduleList.begin(), m_scheduleList.end(),
                       [target](const std::shared_ptr<Invocation>& invocation) { return invocation->target == target; });
}

void MainThreadScheduler::doRemoveAllScheduleds(const void* target)
{
    if (!doesExistScheduled(target))
        return;
    // Out of the list under its lock, destroyed after it: a destroyed call may
    // release objects whose destructors queue further calls.
    std::vector<std::shared_ptr<Invocation>> removed;
    std::unique_lock<std::mutex> removing(m_locker, std::try_to_lock);
    if (!removing.owns_lock()) {
        if (m_isThreadRun && platform::runloop::isMainThread()) {
            // Asked by the running call: done when it has completed.
            std::lock_guard<std::mutex> lock(m_listMutex);
            m_pendingRemovals.push_back(target);
            return;
        }
        platform::runloop::performOnMainThread([this, target] { doRemoveAllScheduleds(target); });
        return;
    }
    std::lock_guard<std::mutex> lock(m_listMutex);
    takeCallsOf(target, removed);
}

int MainThreadScheduler::scheduledCount() const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    return int(m_scheduleList.size());
}
