#pragma once

#include "platform/NotificationCenter.h"

namespace platform {

// Posting when idle: notifications enqueued here are coalesced by name and
// sender (a second enqueue of the same pair before the first is posted is
// dropped) and posted to the default center once the event loop has no more
// pending events (on a 0 s Timer, so in virtual time too). Main thread only.
class NotificationQueue {
public:
    static NotificationQueue& defaultQueue();

    void enqueueWhenIdle(const Notification& notification);
    // Drops queued notifications of that name and sender (null: any sender).
    void dequeue(const QString& name, const void* sender = nullptr);
    int pendingCount() const;

private:
    NotificationQueue();
    ~NotificationQueue();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
