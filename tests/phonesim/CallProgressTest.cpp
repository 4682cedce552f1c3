#include "CallProgress.h"
#include "PhoneSimulator.h"
#include "PtyClient.h"

#include <gtest/gtest.h>

using phonesim::CallScript;
using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

using Outcome = CallScript::Outcome;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Drives a simulator's call by hand: command lines through answerLine() and
// the call's time through advanceCall() at chosen moments.
class CallProgressTest : public ::testing::Test {
protected:
    void make(const char* profile, CallScript script)
    {
        sim = std::make_unique<PhoneSimulator>(*PhoneProfile::named(QString::fromLatin1(profile)));
        sim->modifySession([script](PhoneSession& s) {
            s.echo = false;
            s.call.script = script;
        });
    }
    QByteArray advanceTo(Clock::time_point when)
    {
        QByteArray sent;
        sim->modifySession([&](PhoneSession& s) { sent = phonesim::advanceCall(s, when); });
        return sent;
    }
    QByteArray activity() { return sim->answerLine("AT+CPAS"); }

    std::unique_ptr<PhoneSimulator> sim;
};

const QByteArray kOk = "\r\nOK\r\n";
const QByteArray kRinging = "\r\n+CPAS: 3\r\n\r\nOK\r\n";
const QByteArray kTalking = "\r\n+CPAS: 4\r\n\r\nOK\r\n";
const QByteArray kIdle = "\r\n+CPAS: 0\r\n\r\nOK\r\n";

} // namespace

TEST_F(CallProgressTest, TheFarEndFollowsItsScript)
{
    struct Case {
        const char* what;
        CallScript script;
        QByteArray dialAnswer;
        QByteArray whileRinging;   // AT+CPAS before the ring time is over
        QByteArray atRingEnd;      // sent on its own when the ring time is over
        QByteArray afterRing;      // AT+CPAS then
        QByteArray atTalkEnd;
    };
    const Case cases[] = {
        {"answered at once, talks forever", {Outcome::Answered, 0, -1}, kOk, kTalking, "", kTalking, ""},
        {"busy at once", {Outcome::Busy, 0, -1}, "\r\nBUSY\r\n", kIdle, "", kIdle, ""},
        {"no carrier at once", {Outcome::NoCarrier, 0, -1}, "\r\nNO CARRIER\r\n", kIdle, "", kIdle, ""},
        {"rings, then answered, then hung up", {Outcome::Answered, 100, 100}, kOk, kRinging, "", kTalking,
         "\r\nNO CARRIER\r\n"},
        {"rings, then busy", {Outcome::Busy, 100, -1}, kOk, kRinging, "\r\nBUSY\r\n", kIdle, ""},
        {"rings unanswered", {Outcome::NoCarrier, 100, -1}, kOk, kRinging, "\r\nNO CARRIER\r\n", kIdle, ""},
    };
    for (const Case& c : cases) {
        make("nokia", c.script);
        const Clock::time_point dialled = Clock::now();
        EXPECT_EQ(sim->answerLine("ATD0301234;"), c.dialAnswer) << c.what;
        EXPECT_EQ(advanceTo(dialled), QByteArray()) << c.what;
        EXPECT_EQ(activity(), c.whileRinging) << c.what;
        EXPECT_EQ(advanceTo(dialled + milliseconds(150)), c.atRingEnd) << c.what;
        EXPECT_EQ(activity(), c.afterRing) << c.what;
        EXPECT_EQ(advanceTo(dialled + milliseconds(300)), c.atTalkEnd) << c.what;
        EXPECT_EQ(advanceTo(dialled + milliseconds(400)), QByteArray()) << c.what << ": told once";
        EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>{"0301234"}) << c.what;
    }
}

TEST_F(CallProgressTest, ARingingCallEndsWithTheMakersHangUp)
{
    struct Case {
        const char* profile;
        QByteArray chupAnswer;
    };
    for (const Case& c : {Case{"nokia", kOk}, Case{"gigaset", "\r\nERROR\r\n"}}) {
        make(c.profile, {Outcome::Answered, -1, -1});
        ASSERT_EQ(sim->answerLine("ATD555;"), kOk);
        EXPECT_EQ(advanceTo(Clock::now() + std::chrono::hours(1)), QByteArray()) << "rings until hung up";
        EXPECT_EQ(sim->answerLine("ATD556;"), "\r\nERROR\r\n") << "one call at a time";
        EXPECT_EQ(sim->answerLine("AT+CHUP"), c.chupAnswer) << c.profile;
        EXPECT_EQ(sim->answerLine("ATH"), kOk) << c.profile;
        EXPECT_EQ(activity(), kIdle) << c.profile;
    }
}

TEST_F(CallProgressTest, TheUnsolicitedEndReachesTheLine)
{
    auto sim = std::make_unique<PhoneSimulator>(*PhoneProfile::named(QStringLiteral("motorola")));
    sim->modifySession([](PhoneSession& s) { s.call.script = {Outcome::Answered, 0, 50}; });
    ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    PtyClient client(sim->slavePath());
    ASSERT_EQ(client.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
    EXPECT_EQ(client.command("ATD555;"), kOk);
    EXPECT_EQ(client.readFor(2.0), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(client.command("AT+CPAS"), kIdle);
}
