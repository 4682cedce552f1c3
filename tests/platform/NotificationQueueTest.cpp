#include "platform/NotificationQueue.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

using platform::Notification;
using platform::NotificationCenter;
using platform::NotificationQueue;

namespace {

// Observes the queue's notifications (names beginning "IdleTest") on the
// default center and leaves nothing queued behind.
class IdleQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::defaultCenter().addObserver(this, QString(), nullptr, [this](const Notification& n) {
            if (n.name.startsWith("IdleTest"))
                posted << n.name + (n.sender == &senderA ? "/A" : n.sender == &senderB ? "/B" : "/-") + n.userInfo.value("v").toString();
        });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        for (const char* name : {"IdleTest", "IdleTest.Other", "IdleTest.Again"})
            queue().dequeue(name);
    }
    static NotificationQueue& queue() { return NotificationQueue::defaultQueue(); }
    static Notification note(const QString& name, const void* sender, const QString& value = QString())
    {
        return Notification{name, sender, {{"v", value}}};
    }

    int senderA = 0, senderB = 0;
    QStringList posted;
};

} // namespace

TEST_F(IdleQueue, CoalescesByNameAndSenderAndPostsLaterInOrder)
{
    queue().enqueueWhenIdle(note("IdleTest", &senderA, "1"));
    queue().enqueueWhenIdle(note("IdleTest", &senderB, "2"));
    queue().enqueueWhenIdle(note("IdleTest", &senderA, "3"));   // dropped: same name and sender queued
    queue().enqueueWhenIdle(note("IdleTest.Other", &senderA, "4"));
    queue().enqueueWhenIdle(note("IdleTest", nullptr, "5"));
    EXPECT_EQ(queue().pendingCount(), 4);
    EXPECT_TRUE(posted.isEmpty());

    testing_support::runFor(0);
    EXPECT_EQ(posted, (QStringList{"IdleTest/A1", "IdleTest/B2", "IdleTest.Other/A4", "IdleTest/-5"}));
    EXPECT_EQ(queue().pendingCount(), 0);

    // Once posted, the same pair is queued afresh.
    queue().enqueueWhenIdle(note("IdleTest", &senderA, "6"));
    testing_support::runFor(0);
    EXPECT_EQ(posted.last(), "IdleTest/A6");
}

TEST_F(IdleQueue, PostsAfterTheEventsAlreadyQueued)
{
    queue().enqueueWhenIdle(note("IdleTest", &senderA));
    platform::runloop::performOnMainThread([this] { posted << "queued call"; });
    testing_support::runFor(0);
    EXPECT_EQ(posted, (QStringList{"queued call", "IdleTest/A"}));
}

TEST_F(IdleQueue, DequeueByNameAndSender)
{
    queue().enqueueWhenIdle(note("IdleTest", &senderA));
    queue().enqueueWhenIdle(note("IdleTest", &senderB));
    queue().enqueueWhenIdle(note("IdleTest.Other", &senderA));
    queue().dequeue("IdleTest", &senderA);
    EXPECT_EQ(queue().pendingCount(), 2);
    queue().dequeue("IdleTest");   // any sender
    EXPECT_EQ(queue().pendingCount(), 1);
    testing_support::runFor(0.1);
    EXPECT_EQ(posted, QStringList{"IdleTest.Other/A"});

    queue().enqueueWhenIdle(note("IdleTest", &senderA));
    queue().dequeue("IdleTest", &senderA);
    EXPECT_EQ(queue().pendingCount(), 0);
    testing_support::runFor(0.1);
    EXPECT_EQ(posted.size(), 1);
}

TEST_F(IdleQueue, EnqueuedByAnObserverIsPostedOnALaterPassNotInsideTheFlush)
{
    int calls = 0, depth = 0, maxDepth = 0;
    QList<int> pendingInside;
    NotificationCenter::defaultCenter().addObserver(this, "IdleTest", nullptr, [&](const Notification&) {
        maxDepth = std::max(maxDepth, ++depth);
        if (++calls < 3)
            queue().enqueueWhenIdle(note("IdleTest", &senderA));
        pendingInside << queue().pendingCount();
        --depth;
    });
    queue().enqueueWhenIdle(note("IdleTest", &senderA));
    testing_support::runFor(0.1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(pendingInside, (QList<int>{1, 1, 0}));
    EXPECT_EQ(queue().pendingCount(), 0);
}
