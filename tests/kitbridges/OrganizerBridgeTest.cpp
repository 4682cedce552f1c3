// The organizer bridge against a recording kit: the family set before each
// call, progress in percent, the final callbacks, the beep, the stop and the
// lifetime of bridge and kit.
#include "KitBridgesTestSupport.h"

#include "kitbridges/OrganizerAsyncBridge.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

using namespace bridgetest;

namespace {

class OrganizerBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openBridgeLogs();
        platform::gui::setBeepHandler([this] { ++beeps; });
    }
    void TearDown() override { platform::gui::setBeepHandler({}); }
    std::shared_ptr<OrganizerAsyncBridge> make(MFDeviceLinkOwner* device)
    {
        return OrganizerAsyncBridge::organizerBridgeWithAddress(device, &receiver, [this] {
            auto kit = std::make_shared<FakeOrganizerKit>(state);
            lastKit = kit;
            return kit;
        });
    }
    organizerKitAsync* cb() const { return static_cast<organizerKitAsync*>(state->callback); }

    int beeps = 0;
    std::shared_ptr<FakeKitState> state = std::make_shared<FakeKitState>();
    std::weak_ptr<FakeOrganizerKit> lastKit;
    OrganizerReceiver receiver;
    BridgeTestPhone lgPhone{QStringLiteral("Bluetooth"), QStringLiteral("lg3/lgcal"),
                            QStringLiteral("00:11:22:33:44:55")};
};

} // namespace

TEST_F(OrganizerBridgeTest, ProgressByOperationAndPhase)
{
    auto bridge = make(&lgPhone);
    EXPECT_EQ(state->calls, (QStringList{"setCallback", "setAddressString:00:11:22:33:44:55", "setFamily:lg3"}));
    state->calls.clear();

    bridge->readMotorolaPhonebook();
    cb()->organizerKitPhonebookReadProzDone(nullptr, 0.5f);
    cb()->organizerKitPhonebookReadProzDone(nullptr, 0.999f);
    const QVariantMap book{{QStringLiteral("1"), QStringLiteral("Anna")}};
    cb()->organizerKitPhonebookRead(nullptr, book, 0);
    EXPECT_EQ(bridge->msgDict(), std::optional<QVariantMap>(book));
    bridge->writeMotorolaPhonebook(book);
    cb()->organizerKitPhonebookReadProzDone(nullptr, 0.5f);
    cb()->organizerKitPhonebookEntriesWritten(nullptr, QVariantMap{{QStringLiteral("T-1"), QStringLiteral("7")}}, 0);
    EXPECT_EQ(receiver.events,
              (QStringList{"percent:25", "percent:49", "progress:100", "phoneBookReceived:0", "percent:75",
                           "progress:100", "phoneBookWritten:0"}));
    EXPECT_EQ(receiver.mapping, std::optional<QVariantMap>(QVariantMap{{QStringLiteral("T-1"), QStringLiteral("7")}}));
    EXPECT_EQ(state->calls,
              (QStringList{"setFamily:lg3", "getPhonebookEntries", "setFamily:lg3", "writePhonebookEntries"}));
    // The receiver is forgotten after the phonebook was written.
    cb()->organizerKitPhonebookReadProzDone(nullptr, 1.0f);
    cb()->organizerKitCalendarRead(nullptr, std::nullopt, 0);
    EXPECT_EQ(receiver.events.size(), 7);

    OrganizerReceiver calendar;
    auto second = OrganizerAsyncBridge::organizerBridgeWithAddress(
        &lgPhone, &calendar, [this] { return std::make_shared<FakeOrganizerKit>(state); });
    state->calls.clear();
    second->readMotorolaCalendar();
    cb()->organizerKitCalendarActionDone(nullptr, 1.0f);
    cb()->organizerKitCalendarRead(nullptr, QVariantMap(), 0);
    second->readMotorolaTasks();
    cb()->organizerKitTasksActionDone(nullptr, 0.0f);
    cb()->organizerKitTasksActionDone(nullptr, 1.0f);
    cb()->organizerKitTasksRead(nullptr, QVariantMap(), 0);
    // Progress after a final callback reaches no receiver.
    cb()->organizerKitTasksActionDone(nullptr, 0.5f);
    second->writeMotorolaCalendar(QVariantMap());
    cb()->organizerKitCalendarActionDone(nullptr, 0.5f);
    cb()->organizerKitCalendarEntriesWritten(nullptr, std::nullopt, 0);
    EXPECT_EQ(calendar.events,
              (QStringList{"percent:25", "progress:100", "calendarReceived:0", "percent:25", "percent:50",
                           "progress:100", "tasksReceived:0", "percent:12", "progress:100", "calendarWritten:0"}));
    EXPECT_EQ(
        state->calls,
        (QStringList{"setFamily:lgcal", "getCalendarEntries", "setFamily:lgcal", "getTasks", "writeCalendarEntries"}));
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(
        namedLogText("Conn").contains(QStringLiteral("[OrganizerAsyncBridge smsKitCalendarEntriesWritten] returns 0")));
    EXPECT_TRUE(namedLogText("XT").contains(
        QStringLiteral("[SMSAsyncBridge smsKitPhonebookEntriesWritten] returned conversions:")));

    try {
        second->writeMotorolaTasks(QVariantMap());
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("writeMotorolaTasks depricated"));
        EXPECT_EQ(e.reason(), QStringLiteral("### Don't call it."));
    }
}

TEST_F(OrganizerBridgeTest, FailedCalendarAndTaskReadsBeep)
{
    auto bridge = make(&lgPhone);
    bridge->readMotorolaCalendar();
    cb()->organizerKitCalendarRead(nullptr, std::nullopt, -2);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(receiver.events, (QStringList{"progress:100", "calendarReceived:-2"}));
    EXPECT_FALSE(bridge->msgDict());
    bridge->readMotorolaTasks();
    cb()->organizerKitTasksRead(nullptr, std::nullopt, -7);
    EXPECT_EQ(beeps, 2);
    bridge->readMotorolaPhonebook();
    cb()->organizerKitPhonebookRead(nullptr, std::nullopt, -1);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(receiver.events.last(), QStringLiteral("phoneBookReceived:-1"));
}

TEST_F(OrganizerBridgeTest, AbortActsOnlyWhileAReadRuns)
{
    const std::pair<const char*, const char*> cases[] = {{"lg", "abortActionAsync"}, {"motorola2", "fullStop"}};
    for (const auto& [family, stop] : cases) {
        BridgeTestPhone phone(QStringLiteral("USB-Serial"), QString::fromLatin1(family));
        auto bridge = make(&phone);
        state->calls.clear();
        bridge->abortAction();
        EXPECT_TRUE(state->calls.isEmpty()) << family;
        bridge->readMotorolaCalendar();
        bridge->abortAction();
        EXPECT_EQ(state->calls.last(), QString::fromLatin1(stop)) << family;
        state->calls.clear();
        bridge->abortAction();
        EXPECT_TRUE(state->calls.isEmpty()) << family;
    }
}

TEST_F(OrganizerBridgeTest, APhoneWithoutKitEndsEachOperationWithAnError)
{
    BridgeTestPhone history(QStringLiteral("History"), QStringLiteral("lg"));
    auto bridge = make(&history);
    EXPECT_FALSE(bridge->hasKit());
    bridge->readMotorolaPhonebook();
    EXPECT_TRUE(receiver.events.isEmpty());
    ASSERT_TRUE(testing_support::runUntil([&] { return !receiver.events.isEmpty(); }, 1.0));
    EXPECT_EQ(receiver.events, (QStringList{"progress:100", "phoneBookReceived:-1"}));
    bridge->readMotorolaCalendar();
    bridge.reset();
    testing_support::runUntil([] { return false; }, 0.5);
    EXPECT_EQ(receiver.events.size(), 2);
    EXPECT_TRUE(namedLogText("Conn").contains(QStringLiteral("[OrganizerAsyncBridge readMotorolaPhonebook] no kit")));
}

TEST_F(OrganizerBridgeTest, BridgeAndKitGoWhenTheJobLetsGo)
{
    auto job = make(&lgPhone);
    std::weak_ptr<OrganizerAsyncBridge> weakBridge = job;
    receiver.onFinal = [&] { job.reset(); };
    job->readMotorolaPhonebook();
    cb()->organizerKitPhonebookRead(nullptr, QVariantMap(), 0);
    EXPECT_TRUE(weakBridge.expired());
    EXPECT_EQ(state->callback, nullptr);
    platform::runloop::processPendingEvents();
    EXPECT_TRUE(lastKit.expired());
    EXPECT_TRUE(state->callbackClearedWhenGone);
}
