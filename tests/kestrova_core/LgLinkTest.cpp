// The queue, machine and serial transport against the simulated phone's LG
// application port, unsolicited lines and silence, over a pseudo-terminal.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "platform/NotificationCenter.h"

#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using phonesim::LgPort;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

class LgLinkTest : public ::testing::Test {
protected:
    void start(const char* profile, const char* family)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        queue.setDelegate(&results);
        queue.setDeviceType(kDeviceTypeSerial);
        queue.setFilename(sim->slavePath());
        queue.setFamily(QLatin1String(family));
    }
    // Runs the commands; answers the results.
    QList<QVariantMap> run(const QList<QVariantMap>& commands, double seconds = 10.0)
    {
        const qsizetype before = results.notifications.size();
        queue.addCommands(commands);
        runUntil([&] { return results.notifications.size() >= before + commands.size(); }, seconds, 0.05);
        QList<QVariantMap> answers;
        for (qsizetype i = before; i < results.notifications.size(); ++i)
            answers.append(results.notifications[i].userInfo);
        return answers;
    }

    OutsideInputScope outside;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    SLTCommDeviceCommandQueue queue;
    ResultRecorder results;
};

QByteArray rawResult(const QVariantMap& result)
{
    return result.value(k(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray();
}

} // namespace

TEST_F(LgLinkTest, LgPortOpensWithItsAtCommandAndAnswersFrames)
{
    start("lg", "lg");
    const auto answers = run({command(45, "init"), command(44, "frame", hex("AA BB"))});
    ASSERT_EQ(answers.size(), 2);
    EXPECT_TRUE(answers[0].contains(k(kSLTCommDeviceCommandQueueCommandResult)));
    EXPECT_EQ(rawResult(answers[1]), hex("FF AA BB 7E"));
    EXPECT_EQ(sim->lgPortMode(), LgPort::Mode::Lg);
    EXPECT_EQ(sim->lgFramesReceived(), QList<QByteArray>{hex("FF AA BB 7E")});
}

TEST_F(LgLinkTest, Lg2OpensWithTheObexConnectAndLosesTheHeaderOfItsReplies)
{
    start("lg", "lg2");
    const auto answers = run({command(44, "ObexConnect", hex("00 80 00 10 11 00 40 00 4A 00 09 4C 69 6E 75 78 00")),
                              command(44, "frame", hex("AA BB"))});
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(rawResult(answers[0]), LgPort::kObexConnectAnswer);
    EXPECT_EQ(rawResult(answers[1]), hex("FF AA BB 7E"));
    EXPECT_EQ(sim->lgPortMode(), LgPort::Mode::Lg2);
}

TEST_F(LgLinkTest, Lg3ReplyInPieces)
{
    start("lg", "lg3");
    sim->setAnswerChunking(4, 20);
    sim->setLgFrameHandler([](const QByteArray&) { return hex("FF 01 02 03 04 05 06 7E 00 00"); });
    const auto answers = run({command(44, "frame", hex("AA BB"))});
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(rawResult(answers[0]), hex("FF 01 02 03 04 05 06 7E"));
    EXPECT_EQ(sim->lgFramesReceived(), QList<QByteArray>{hex("FF AA BB 7E")});
}

TEST_F(LgLinkTest, BusyPortEndsTheOperationWithOneConflict)
{
    const struct {
        const char* family;
        QList<QVariantMap> commands;
        LgPort::Busy busy;
    } cases[] = {
        {"lg3", {command(44, "a", hex("AA")), command(44, "b", hex("BB"))}, LgPort::Busy::Short},
        {"lg", {command(45, "init"), command(44, "b", hex("BB"))}, LgPort::Busy::Frame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        SLTCommDeviceCommandQueue fresh;
        ResultRecorder freshResults;
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        ASSERT_TRUE(sim->start());
        sim->setLgPortBusy(c.busy);
        fresh.setDelegate(&freshResults);
        fresh.setDeviceType(kDeviceTypeSerial);
        fresh.setFilename(sim->slavePath());
        fresh.setFamily(QLatin1String(c.family));
        fresh.addCommands(c.commands);
        ASSERT_TRUE(runUntil([&] { return !freshResults.notifications.isEmpty() && !fresh.isConnected(); }, 10.0, 0.05));
        runUntil([] { return false; }, 0.5, 0.05);
        ASSERT_EQ(freshResults.notifications.size(), 1);
        EXPECT_EQ(freshResults.notifications[0].userInfo.value(k(kSLTCommDeviceCommandQueueLgAppConflict)).toString(),
                  k(kSLTCommDeviceCommandQueueLgAppConflict));
    }
}

TEST_F(LgLinkTest, DisconnectFrameClosesTheLinkAndFailsTheCommand)
{
    start("lg", "lg");
    sim->setLgFrameHandler([](const QByteArray&) { return LgPort::kDisconnectFrame; });
    int disconnected = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto token = center.addObserver(nullptr, k(kSLTCommDeviceDisconnected), nullptr,
                                          [&](const platform::Notification&) { ++disconnected; });
    const auto answers = run({command(45, "init"), command(44, "frame", hex("AA"))});
    center.removeObserver(token);
    ASSERT_EQ(answers.size(), 2);
    EXPECT_TRUE(answers[1].contains(k(kSLTCommDeviceCommandQueueCommandError)));
    EXPECT_EQ(disconnected, 1);
    EXPECT_TRUE(runUntil([&] { return !queue.isConnected(); }, 2.0, 0.05));
}

TEST_F(LgLinkTest, UnsolicitedLinesAreRemovedAndSilenceTimesOut)
{
    start("sonyericsson", "se");
    ASSERT_EQ(run({command(37, "at")}).size(), 1);
    sim->sendUnsolicited("\r\n+CMTI: \"SM\",3\r\n");
    const auto answers = run({command(42, "battery", QStringLiteral("AT+CBC\r"))});
    ASSERT_EQ(answers.size(), 1);
    const QString text = answers[0].value(k(kSLTCommDeviceCommandQueueCommandResult)).toString();
    EXPECT_TRUE(text.endsWith(QLatin1String("OK\r\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("CMTI"))) << text.toStdString();

    sim->setSilent(true);
    const auto timedOut = run({command(37, "silent"), command(37, "never sent")}, 20.0);
    ASSERT_EQ(timedOut.size(), 1);
    EXPECT_EQ(timedOut[0].value(k(kSLTCommDeviceCommandQueueTimeout)).toString(), k(kSLTCommDeviceCommandQueueTimeout));
}
