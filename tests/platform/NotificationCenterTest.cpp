#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using platform::Notification;
using platform::NotificationCenter;

namespace {

int senderA = 0, senderB = 0;   // identities only

struct NotificationRecorder {
    QStringList calls;
    NotificationCenter::Handler as(const QString& who)
    {
        return [this, who](const Notification& n) { calls << who + ":" + n.name; };
    }
};

} // namespace

TEST(NotificationCenter, MatchesByNameAndOptionalSender)
{
    struct Case {
        const char* observedName;
        const void* observedSender;
        const char* postedName;
        const void* postedSender;
        bool delivered;
    };
    const Case cases[] = {
        {"Ping", nullptr, "Ping", nullptr, true},
        {"Ping", nullptr, "Ping", &senderA, true},      // no sender filter
        {"Ping", &senderA, "Ping", &senderA, true},
        {"Ping", &senderA, "Ping", &senderB, false},    // other sender
        {"Ping", &senderA, "Ping", nullptr, false},     // anonymous post
        {"Ping", nullptr, "Pong", nullptr, false},
        {"Ping", nullptr, "ping", nullptr, false},      // names are case-sensitive
        {"", nullptr, "Anything", &senderB, true},      // every notification
        {"", &senderA, "Anything", &senderB, false},
        {"", &senderA, "Anything", &senderA, true},
    };
    for (const Case& c : cases) {
        NotificationCenter center;
        int calls = 0;
        center.addObserver(nullptr, c.observedName, c.observedSender, [&](const Notification&) { ++calls; });
        center.post(c.postedName, c.postedSender);
        EXPECT_EQ(calls, c.delivered ? 1 : 0)
            << c.observedName << "/" << c.observedSender << " <- " << c.postedName << "/" << c.postedSender;
    }
}

TEST(NotificationCenter, DeliversSynchronouslyInRegistrationOrderWithUserInfo)
{
    NotificationCenter center;
    QStringList order;
    QVariantMap seen;
    const void* seenSender = nullptr;
    center.addObserver(nullptr, "Done", nullptr, [&](const Notification&) { order << "first"; });
    center.addObserver(nullptr, "", nullptr, [&](const Notification&) { order << "any"; });
    center.addObserver(nullptr, "Done", &senderA, [&](const Notification& n) {
        order << "third";
        seen = n.userInfo;
        seenSender = n.sender;
    });
    center.post("Done", &senderA, {{"Percent", 42}, {"Path", "/[0]/x"}});
    EXPECT_EQ(order, (QStringList{"first", "any", "third"}));
    EXPECT_EQ(seen.value("Percent").toInt(), 42);
    EXPECT_EQ(seen.value("Path").toString(), "/[0]/x");
    EXPECT_EQ(seenSender, &senderA);
}

TEST(NotificationCenter, RemoveByTokenByObserverAndByObserverNameAndSender)
{
    NotificationCenter center;
    NotificationRecorder r;
    int ownerX = 0, ownerY = 0;
    const auto token = center.addObserver(&ownerX, "N1", nullptr, r.as("x1"));
    center.addObserver(&ownerX, "N2", nullptr, r.as("x2"));
    center.addObserver(&ownerX, "N2", &senderA, r.as("x2a"));
    center.addObserver(&ownerY, "N1", nullptr, r.as("y1"));
    center.addObserver(&ownerY, "N2", nullptr, r.as("y2"));
    EXPECT_NE(token, 0u);

    center.removeObserver(token);
    center.removeObserver(&ownerX, "N2", &senderA);   // only the filtered one
    center.post("N1", &senderA);
    center.post("N2", &senderA);
    EXPECT_EQ(r.calls, (QStringList{"y1:N1", "x2:N2", "y2:N2"}));

    r.calls.clear();
    center.removeObserver(&ownerY, "N2");
    center.post("N1");
    center.post("N2");
    EXPECT_EQ(r.calls, (QStringList{"y1:N1", "x2:N2"}));

    r.calls.clear();
    center.removeObserver(&ownerX);
    center.removeObserver(&ownerY);
    center.removeObserver(NotificationCenter::Token(0));   // harmless
    center.post("N1");
    center.post("N2");
    EXPECT_TRUE(r.calls.isEmpty());
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalledAfterwards)
{
    NotificationCenter center;
    QStringList calls;
    NotificationCenter::Token self = 0, victim = 0;
    int owner = 0;
    center.addObserver(nullptr, "N", nullptr, [&](const Notification&) {
        calls << "first";
        center.removeObserver(victim);
        center.removeObserver(&owner);
    });
    self = center.addObserver(nullptr, "N", nullptr, [&](const Notification&) {
        calls << "self";
        center.removeObserver(self);   // while its own handler runs
    });
    victim = center.addObserver(nullptr, "N", nullptr, [&](const Notification&) { calls << "victim"; });
    center.addObserver(&owner, "N", nullptr, [&](const Notification&) { calls << "owned"; });
    center.addObserver(nullptr, "N", nullptr, [&](const Notification&) { calls << "last"; });

    center.post("N");
    EXPECT_EQ(calls, (QStringList{"first", "self", "last"}));
    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, (QStringList{"first", "last"}));
}

TEST(NotificationCenter, RemovingItselfReleasesCapturesOnlyAfterTheHandlerReturns)
{
    NotificationCenter center;
    auto state = std::make_shared<QString>("alive");
    std::weak_ptr<QString> watch = state;
    QString seenAfterRemoval;
    NotificationCenter::Token token = 0;
    token = center.addObserver(nullptr, "N", nullptr, [&, state](const Notification&) {
        center.removeObserver(token);
        seenAfterRemoval = *state;   // the capture must still be there
    });
    state.reset();
    center.post("N");
    EXPECT_EQ(seenAfterRemoval, "alive");
    EXPECT_TRUE(watch.expired());
}

TEST(NotificationCenter, ObserverAddedDuringDeliveryWaitsForTheNextPost)
{
    NotificationCenter center;
    int lateCalls = 0;
    bool added = false;
    center.addObserver(nullptr, "N", nullptr, [&](const Notification&) {
        if (!added) {
            added = true;
            center.addObserver(nullptr, "N", nullptr, [&](const Notification&) { ++lateCalls; });
        }
    });
    center.post("N");
    EXPECT_EQ(lateCalls, 0);
    center.post("N");
    EXPECT_EQ(lateCalls, 1);
}

TEST(NotificationCenter, NestedPostFromAHandler)
{
    NotificationCenter center;
    QStringList calls;
    center.addObserver(nullptr, "Outer", nullptr, [&](const Notification&) {
        calls << "outer";
        center.post("Inner");
        calls << "outer done";
    });
    center.addObserver(nullptr, "Inner", nullptr, [&](const Notification&) { calls << "inner"; });
    center.post("Outer");
    EXPECT_EQ(calls, (QStringList{"outer", "inner", "outer done"}));
}

TEST(NotificationCenter, PostsFromManyThreadsWhileObserversComeAndGo)
{
    NotificationCenter center;
    std::atomic<int> delivered{0};
    center.addObserver(nullptr, "Count", nullptr, [&](const Notification&) { ++delivered; });

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        int owner = 0;
        while (!stop) {
            center.addObserver(&owner, "Count", nullptr, [](const Notification&) {});
            center.removeObserver(&owner);
        }
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                center.post("Count", nullptr, {{"i", i}});
        });
    }
    for (auto& p : posters)
        p.join();
    stop = true;
    churn.join();
    EXPECT_EQ(delivered.load(), 2000);
}

TEST(NotificationCenter, DefaultCenterIsOneInstanceAndTokensAreNeverZero)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    NotificationCenter center;
    EXPECT_EQ(center.addObserver(nullptr, "N", nullptr, {}), 0u);   // no handler, nothing registered
    const auto a = center.addObserver(nullptr, "N", nullptr, [](const Notification&) {});
    const auto b = center.addObserver(nullptr, "N", nullptr, [](const Notification&) {});
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
}
