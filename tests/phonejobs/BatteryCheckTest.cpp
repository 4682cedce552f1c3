#include "PhoneJobsTestSupport.h"

#include "device/MFDeviceInfo.h"
#include "phonejobs/ActionBatteryCheck.h"
#include "platform/NotificationCenter.h"

using namespace phonejobs_test;

namespace {

class BatteryCheckTest : public PtyPhoneFixture {
protected:
    std::shared_ptr<ActionBatteryCheck> check(const std::shared_ptr<RecordingNotify>& requester)
    {
        auto job = ActionDUNServices::allocActionDUNServices<ActionBatteryCheck>(requester, QVariant());
        EXPECT_TRUE(device->addAction(job));
        return job;
    }
};

} // namespace

TEST_F(BatteryCheckTest, TheAnswerIsStoredAndAnnouncedOnlyWhenItHoldsBothNumbers)
{
    using phonesim::AtCommand;
    using phonesim::AtResult;
    using phonesim::PhoneSession;
    struct Case {
        const char* what;
        std::function<void(phonesim::PhoneSimulator&)> phone;
        int end;
        std::pair<unsigned, unsigned> stored;   // as the device keeps it
    };
    const std::pair<unsigned, unsigned> none{unsigned(-1), unsigned(-1)};
    const auto answering = [](QList<QByteArray> lines, bool ok = true) {
        return [lines, ok](phonesim::PhoneSimulator& sim) {
            sim.setHandler("+CBC", [lines, ok](PhoneSession&, const AtCommand&) {
                return ok ? AtResult::okay(lines) : AtResult::error();
            });
        };
    };
    const Case cases[] = {
        {"charging", [](auto& sim) { sim.modifySession([](PhoneSession& s) { s.batteryConnection = 1, s.batteryCharge = 60; }); },
         0, {1, 60}},
        {"on battery", [](auto& sim) { sim.modifySession([](PhoneSession& s) { s.batteryConnection = 0, s.batteryCharge = 85; }); },
         0, {0, 85}},
        {"silent", [](auto& sim) { sim.holdAnswersTo("+CBC"); }, int(links::kIOReturnTimeout), none},
        {"refused", answering({}, false), int(links::kIOReturnError), none},
        {"no level", answering({"+CBC: 1"}), int(links::kIOReturnError), none},
        {"not numbers", answering({"+CBC: full,x"}), int(links::kIOReturnError), none},
    };
    for (const Case& c : cases) {
        connect("nokia", "nokia");
        c.phone(*sim);
        int announced = 0;
        platform::NotificationCenter::defaultCenter().addObserver(
            this, QStringLiteral("NotifyMobileDeviceBatteryChanged"), device.get(),
            [&](const platform::Notification&) { ++announced; });
        const double before = device->lastBatteryCheck();
        auto requester = std::make_shared<RecordingNotify>();
        auto job = check(requester);
        ASSERT_TRUE(runUntil([&] { return job->hasEnded(); })) << c.what;
        platform::NotificationCenter::defaultCenter().removeObserver(this);

        EXPECT_EQ(requester->endCodes(), std::vector<int>{c.end}) << c.what;
        EXPECT_EQ(announced, c.end == 0 ? 1 : 0) << c.what;
        EXPECT_EQ(device->batteryIsPowerPluged(), c.stored.first == 1) << c.what;
        // The device shows the level against the model's maximum.
        const long maximum = device->devInfo()->getBatteryMax();
        EXPECT_EQ(device->lastBatteryValue(), c.end == 0 ? int(c.stored.second * 100 / maximum) : -1) << c.what;
        EXPECT_NE(device->lastBatteryCheck(), before) << c.what << ": the check is stamped";
        EXPECT_TRUE(sim->receivedLines().contains("AT+CBC")) << c.what;
    }
}

TEST_F(BatteryCheckTest, ASecondRequestMergesAndARunningCheckCannotBeSuspendedOrCancelled)
{
    connect("nokia", "nokia");
    auto first = std::make_shared<RecordingNotify>();
    auto second = std::make_shared<RecordingNotify>();
    auto queued = check(first);
    EXPECT_EQ(queued->description(), "ActionBatteryCheck");
    EXPECT_FALSE(queued->canSuspend());

    auto again = ActionDUNServices::allocActionDUNServices<ActionBatteryCheck>(second, QVariant());
    auto equal = device->actionMachine()->actionEqualTo(again);
    ASSERT_EQ(equal, queued);
    EXPECT_TRUE(equal->didUpdateActionWithPriorityAndListenerFromAction(*again));

    ASSERT_TRUE(runUntil([&] { return queued->isRunning(); }));
    EXPECT_FALSE(queued->cancelAction());
    ASSERT_TRUE(runUntil([&] { return queued->hasEnded(); }));
    EXPECT_EQ(first->endCodes(), std::vector<int>{0});
    EXPECT_EQ(second->endCodes(), std::vector<int>{0});
    EXPECT_EQ(sim->receivedLines().count("AT+CBC"), 1);
}

TEST_F(BatteryCheckTest, ADeviceWithoutItsATConnectionAnswersNoDevice)
{
    connect("nokia", "nokia");
    auto requester = std::make_shared<RecordingNotify>();
    auto job = check(requester);
    // The connection goes between its open and the job's start.
    ASSERT_TRUE(runUntil([&] { return job->openError() == 0; }));
    device->releaseAllConnections();
    ASSERT_TRUE(runUntil([&] { return job->hasEnded(); }));
    EXPECT_EQ(requester->endCodes(), std::vector<int>{int(links::kIOReturnNoDevice)});
}
