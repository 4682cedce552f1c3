#include "platform/NotificationQueue.h"

#include "platform/Clock.h"

#include <vector>

namespace platform {

struct NotificationQueue::Impl {
    std::vector<Notification> pending;
    Timer timer;

    void flush()
    {
        // Taken as a whole: what the observers enqueue now waits for the next
        // idle moment.
        const std::vector<Notification> batch = std::exchange(pending, {});
        for (const Notification& notification : batch)
            NotificationCenter::defaultCenter().post(notification);
    }
};

NotificationQueue& NotificationQueue::defaultQueue()
{
    static auto* queue = new NotificationQueue;
    return *queue;
}

NotificationQueue::NotificationQueue() : d(std::make_unique<Impl>())
{
    d->timer.setCallback([this] { d->flush(); });
}

NotificationQueue::~NotificationQueue() = default;

void NotificationQueue::enqueueWhenIdle(const Notification& notification)
{
    for (const Notification& queued : d->pending) {
        if (queued.name == notification.name && queued.sender == notification.sender)
            return;
    }
    d->pending.push_back(notification);
    if (!d->timer.isActive())
        d->timer.start(0);
}

void NotificationQueue::dequeue(const QString& name, const void* sender)
{
    std::erase_if(d->pending, [&](const Notification& n) { return n.name == name && (!sender || n.sender == sender); });
    if (d->pending.empty())
        d->timer.stop();
}

int NotificationQueue::pendingCount() const
{
    return int(d->pending.size());
}

} // namespace platform
