#include "DZTreeFixture.h"

#include "phone/DZDataGUINotificator.h"

namespace {

using testing_support::runFor;

class DZNotificatorTest : public DZTreeFixture {
protected:
    DZNotificatorTest() : notificator(*manager)
    {
        notificator.listenForDirectoryEntryUpdateNotifications(
            this, [this](const std::shared_ptr<DZDirectoryEntry>& entry) { delivered.append(entry->name()); });
        a = DZDirectoryEntry::speculativeEntryWithName("a", manager.get(), false);
        b = DZDirectoryEntry::speculativeEntryWithName("b", manager.get(), false);
    }
    ~DZNotificatorTest() override { notificator.announceQuit(); }

    DZDataGUINotificator notificator;
    QStringList delivered;
    std::shared_ptr<DZDirectoryEntry> a;
    std::shared_ptr<DZDirectoryEntry> b;
};

TEST_F(DZNotificatorTest, ChangesDuringABlockArriveTogetherAtTheFirstTickAfterIt)
{
    {
        auto guard = notificator.autblock();
        for (int i = 0; i < 3; ++i)
            manager->postChangeNotificationForDirectoryEntry(a);
        runFor(1.0);
        EXPECT_TRUE(delivered.isEmpty());
        EXPECT_EQ(notificator.queuedCount(), 3);
    }
    EXPECT_EQ(notificator.blockCount(), 0);
    runFor(0.55);
    EXPECT_EQ(delivered, (QStringList{"a", "a", "a"}));
}

TEST_F(DZNotificatorTest, AnUnblockedChangeWaitsBehindOlderOnes)
{
    notificator.block();
    manager->postChangeNotificationForDirectoryEntry(a);
    runFor(0.01);
    notificator.unblock();
    manager->postChangeNotificationForDirectoryEntry(b);
    runFor(0.01);
    EXPECT_TRUE(delivered.isEmpty());
    runFor(0.6);
    EXPECT_EQ(delivered, (QStringList{"a", "b"}));

    manager->postChangeNotificationForDirectoryEntry(b);
    runFor(0.01);
    EXPECT_EQ(delivered, (QStringList{"a", "b", "b"}));
}

TEST_F(DZNotificatorTest, UnblockWithoutBlockStaysAtZero)
{
    notificator.unblock();
    EXPECT_EQ(notificator.blockCount(), 0);
    notificator.block();
    EXPECT_EQ(notificator.blockCount(), 1);
}

} // namespace
