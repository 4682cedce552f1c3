// The command queue over a recording transport, and once end to end over the
// serial transport and the simulated phone.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using testing_support::OutsideInputScope;
using testing_support::runFor;
using testing_support::runUntil;

namespace {

QVariantMap placeholder()
{
    return {{k(kSLTCommDeviceCommandQueueCommandPlaceholder), k(kSLTCommDeviceCommandQueueCommandPlaceholder)},
            {k(kSLTCommDeviceCommandCallbackSignal), QStringLiteral("placeholder")}};
}

QVariantMap sequenceEnd(const QString& signal)
{
    return {{k(kSLTCommDeviceCommandSequenceFinished), k(kSLTCommDeviceCommandSequenceFinished)},
            {k(kSLTCommDeviceCommandCallbackSignal), signal}};
}

// Counts a notification while alive.
struct Observed {
    explicit Observed(const char* name)
        : token(platform::NotificationCenter::defaultCenter().addObserver(
              nullptr, k(name), nullptr, [this](const platform::Notification&) { ++count; }))
    {
    }
    ~Observed() { platform::NotificationCenter::defaultCenter().removeObserver(token); }
    int count = 0;
    platform::NotificationCenter::Token token;
};

class CommandQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        queue.setDelegate(&results);
        queue.setFamily(QStringLiteral("lg"));
    }
    // Answers every command sent so far with OK, in order.
    bool answerNext(const QByteArray& reply = "\r\nOK\r\n")
    {
        const int before = int(results.notifications.size());
        if (!runUntil([&] { return queue.fake() && queue.fake()->sentCount() > answered; }))
            return false;
        ++answered;
        queue.fake()->reply(reply);
        return runUntil([&] { return results.notifications.size() > before; });
    }
    QStringList signalsDelivered() const
    {
        QStringList names;
        for (const auto& n : results.notifications)
            names.append(n.name);
        return names;
    }

    FakeLinkQueue queue;
    ResultRecorder results;
    int answered = 0;
};

} // namespace

TEST_F(CommandQueueTest, CommandOnAClosedLinkConnectsFirst)
{
    Observed connected(kSLTCommDeviceCommandQueueConnected);
    queue.addCommand(command(11, QStringLiteral("imsi")));
    ASSERT_TRUE(answerNext("\r\n262011234567890\r\n\r\nOK\r\n"));
    EXPECT_EQ(queue.fakeMachine().created, 1);
    EXPECT_EQ(queue.fake()->opens, 1);
    EXPECT_EQ(queue.fake()->sentTexts, QStringList{"AT+CIMI\r"});
    EXPECT_GE(connected.count, 1);
    const platform::Notification& n = results.notifications.first();
    EXPECT_EQ(n.name, QStringLiteral("imsi"));
    EXPECT_EQ(n.sender, &queue);
    EXPECT_EQ(n.userInfo.value(k(kSLTCommDeviceCommandQueueCommandResult)).toString(),
              QStringLiteral("\r\n262011234567890\r\n\r\nOK\r\n"));
    EXPECT_EQ(n.userInfo.value(k(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray(),
              QByteArray("\r\n262011234567890\r\n\r\nOK\r\n"));
    EXPECT_EQ(n.userInfo.value(k(kSLTCommDeviceCommandQueueValueRequestedState)).toInt(), 11);
}

TEST_F(CommandQueueTest, CloseIsDroppedBehindOtherCommandsAndClosesTheLinkWhenAlone)
{
    Observed disconnected(kSLTCommDeviceCommandQueueDisconnected);
    queue.addCommands({command(37, QStringLiteral("a")), command(0, QStringLiteral("close")),
                       command(37, QStringLiteral("b"))});
    ASSERT_TRUE(answerNext());
    ASSERT_TRUE(answerNext());
    EXPECT_EQ(signalsDelivered(), (QStringList{"a", "b"}));
    EXPECT_EQ(queue.fake()->closes, 0);
    EXPECT_TRUE(queue.isConnected());

    queue.addCommand(command(0, QStringLiteral("close")));
    ASSERT_TRUE(runUntil([&] { return disconnected.count == 1; }));
    EXPECT_EQ(queue.fakeMachine().linkCloses, 1);
    EXPECT_TRUE(queue.commands().isEmpty());
    EXPECT_FALSE(queue.isConnected());
    EXPECT_EQ(signalsDelivered(), (QStringList{"a", "b"}));   // a close gives no result
}

TEST_F(CommandQueueTest, PlaceholderHoldsTheQueueUntilReplacedOrDropped)
{
    queue.addCommands({command(37, QStringLiteral("first")), placeholder()});
    ASSERT_TRUE(answerNext());
    queue.addCommand(command(37, QStringLiteral("later")));
    runFor(2.0);
    EXPECT_EQ(queue.fake()->sentCount(), 1);
    EXPECT_TRUE(queue.isIdle());

    queue.insertCommand(command(13, QStringLiteral("second"), QStringLiteral("AT+CPAS\r")));
    ASSERT_TRUE(answerNext());
    ASSERT_TRUE(answerNext());
    EXPECT_EQ(queue.fake()->sentTexts, (QStringList{"AT\r", "AT+CPAS\r", "AT\r"}));
    EXPECT_EQ(signalsDelivered(), (QStringList{"first", "second", "later"}));

    // Without a placeholder at the head the insert is ignored.
    queue.insertCommand(command(37, QStringLiteral("ignored")));
    EXPECT_TRUE(queue.commands().isEmpty());
}

TEST_F(CommandQueueTest, FailedSequenceIsDroppedWithOneErrorToItsStage)
{
    queue.addCommands({command(37, QStringLiteral("first")), placeholder(), command(37, QStringLiteral("more")),
                       sequenceEnd(QStringLiteral("done"))});
    queue.addCommand(command(37, QStringLiteral("next job")));
    ASSERT_TRUE(answerNext("\r\nERROR\r\n"));
    EXPECT_TRUE(results.notifications.first().userInfo.contains(k(kSLTCommDeviceCommandQueueCommandError)));

    queue.removeRestOfCommandSequence(true);
    ASSERT_TRUE(answerNext());
    EXPECT_EQ(signalsDelivered(), (QStringList{"first", "done", "next job"}));
    EXPECT_EQ(results.notifications[1].userInfo.value(k(kSLTCommDeviceCommandQueueCommandError)).toString(),
              k(kSLTCommDeviceCommandQueueCommandError));
    EXPECT_EQ(queue.fake()->sentCount(), 2);
}

TEST_F(CommandQueueTest, TimeOutEndsTheOperationWhileACommandErrorEndsOnlyItsCommand)
{
    {
        SCOPED_TRACE("time-out in the second of three");
        FakeLinkQueue q;
        ResultRecorder r;
        q.setDelegate(&r);
        q.setFamily(QStringLiteral("lg"));
        q.addCommands({command(37, "a"), command(37, "b"), command(37, "c")});
        ASSERT_TRUE(runUntil([&] { return q.fake() && q.fake()->sentCount() == 1; }));
        q.fake()->reply("\r\nOK\r\n");
        ASSERT_TRUE(runUntil([&] { return r.notifications.size() == 2; }, 20.0));
        EXPECT_EQ(r.notifications[1].name, QStringLiteral("b"));
        EXPECT_EQ(r.notifications[1].userInfo.value(k(kSLTCommDeviceCommandQueueTimeout)).toString(),
                  k(kSLTCommDeviceCommandQueueTimeout));
        runFor(10.0);
        EXPECT_EQ(r.notifications.size(), 2);
        EXPECT_TRUE(q.commands().isEmpty());
        EXPECT_FALSE(q.isConnected());
        EXPECT_EQ(q.fake(), nullptr);
        EXPECT_EQ(q.fakeMachine().linkCloses, 1);
    }
    {
        SCOPED_TRACE("command error in the second of three");
        queue.addCommands({command(37, "a"), command(37, "b"), command(37, "c")});
        ASSERT_TRUE(answerNext());
        ASSERT_TRUE(answerNext("\r\n+CMS ERROR: 330\r\n"));
        ASSERT_TRUE(answerNext());
        EXPECT_EQ(signalsDelivered(), (QStringList{"a", "b", "c"}));
        EXPECT_EQ(results.notifications[1].userInfo.value(k(kSLTCommDeviceCommandQueueCommandError)).toString(),
                  k(kSLTCommDeviceWrongServiceCenter));
        EXPECT_TRUE(results.notifications[2].userInfo.contains(k(kSLTCommDeviceCommandQueueCommandResult)));
    }
}

TEST_F(CommandQueueTest, SequenceEndAnswersWithoutSending)
{
    queue.addCommands({command(37, QStringLiteral("a")), sequenceEnd(QStringLiteral("finished"))});
    ASSERT_TRUE(answerNext());
    ASSERT_TRUE(runUntil([&] { return results.notifications.size() == 2; }));
    EXPECT_EQ(queue.fake()->sentCount(), 1);
    EXPECT_EQ(results.notifications[1].name, QStringLiteral("finished"));
    EXPECT_EQ(results.notifications[1].userInfo.value(k(kSLTCommDeviceCommandQueueCommandResult)).toString(),
              QStringLiteral("ok"));
}

TEST_F(CommandQueueTest, ResultsComeOnALaterPassAndFullStopDropsThem)
{
    queue.addCommand(command(37, QStringLiteral("a")));
    ASSERT_TRUE(runUntil([&] { return queue.fake() && queue.fake()->sentCount() == 1; }));
    queue.fake()->reply("\r\nOK\r\n");
    // The machine's report: the result is built, its delivery waits.
    platform::Clock::instance().fireDueTimers();
    EXPECT_TRUE(results.notifications.isEmpty());
    queue.fullStop();
    runFor(2.0);
    EXPECT_TRUE(results.notifications.isEmpty());
    EXPECT_FALSE(queue.isConnected());

    // A later command clears the stop.
    queue.addCommand(command(37, QStringLiteral("b")));
    answered = 0;
    ASSERT_TRUE(answerNext());
    EXPECT_EQ(signalsDelivered(), QStringList{"b"});
}

TEST_F(CommandQueueTest, ResultToANamedEngineMethod)
{
    QVariantMap byName = command(37, QStringLiteral("a"));
    byName.insert(k(kSLTCommandQueueCommDeviceCallbackSelString), QStringLiteral("lgFrameAnswer:"));
    QVariantMap badName = command(37, QStringLiteral("b"));
    badName.insert(k(kSLTCommandQueueCommDeviceCallbackSelString), 7);
    queue.addCommands({byName, badName, command(37, QStringLiteral("c"))});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(runUntil([&] { return queue.fake() && queue.fake()->sentCount() > i; }));
        queue.fake()->reply("\r\nOK\r\n");
    }
    ASSERT_TRUE(runUntil([&] { return results.notifications.size() == 1; }));
    ASSERT_EQ(results.callbacks.size(), 1);
    EXPECT_EQ(results.callbacks[0].first, QStringLiteral("lgFrameAnswer:"));
    EXPECT_EQ(results.callbacks[0].second.value(k(kSLTCommDeviceCommandQueueCommandResult)).toString(),
              QStringLiteral("\r\nOK\r\n"));
    EXPECT_EQ(signalsDelivered(), QStringList{"c"});
}

TEST_F(CommandQueueTest, CloseTimerClosesAnIdleLinkAfterFiveSeconds)
{
    queue.addCommand(command(37, QStringLiteral("a")));
    ASSERT_TRUE(answerNext());
    queue.setCloseDelayTimer(true);
    EXPECT_TRUE(queue.isEmpty());
    runFor(4.8);
    EXPECT_EQ(queue.fakeMachine().linkCloses, 0);
    ASSERT_TRUE(runUntil([&] { return !queue.isConnected(); }, 0.5));
    EXPECT_EQ(queue.fakeMachine().linkCloses, 1);
}

// Open and close cycles over the tty: the transport is released after its
// close has returned (AddressSanitizer watches).
TEST(CommandQueueSerial, CommandsOverTheTtyAndRepeatedCloses)
{
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    OutsideInputScope outside;
    SLTCommDeviceCommandQueue queue;
    ResultRecorder results;
    queue.setDelegate(&results);
    queue.setDeviceType(kDeviceTypeSerial);
    queue.setFilename(sim.slavePath());
    queue.setFamily(QStringLiteral("se"));
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        queue.addCommands({command(37, QStringLiteral("at")), command(0, QStringLiteral("close"))});
        ASSERT_TRUE(runUntil([&] { return results.notifications.size() == cycle + 1 && !queue.isConnected(); },
                             10.0, 0.05));
        EXPECT_EQ(results.notifications.last().userInfo.value(k(kSLTCommDeviceCommandQueueCommandResult)).toString(),
                  QStringLiteral("\r\nOK\r\n"));
    }
    EXPECT_EQ(sim.receivedLines().count("ATE0"), 3);
    EXPECT_EQ(sim.receivedLines().count("AT"), 3);
}
