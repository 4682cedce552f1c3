#include "PhoneJobsTestSupport.h"

#include "phonejobs/ActionDialNumber.h"

#include "CallProgress.h"

using namespace phonejobs_test;
using phonesim::CallScript;

namespace {

using Outcome = CallScript::Outcome;

class DialNumberTest : public PtyPhoneFixture {
protected:
    // Posts a dial job and follows what it shows, without repeats.
    std::shared_ptr<ActionDialNumber> dial(const QString& number)
    {
        shown.clear();
        auto job = ActionDialNumber::allocActionDialNumber(number);
        std::weak_ptr<ActionDialNumber> weakJob = job;
        follow(job, [this, weakJob](const platform::Notification& note) {
            auto j = weakJob.lock();
            if (!j)
                return;
            const QString text = j->displayString();
            if (shown.isEmpty() || shown.last() != text)
                shown.append(text);
            if (note.userInfo.contains(jobnames::kFeedEndActionKey)) {
                endCode = note.userInfo.value(jobnames::kFeedEndActionKey).toInt();
                errorText = j->feedBackErrorString();
            }
        });
        endCode.reset();
        EXPECT_TRUE(device->addAction(job));
        return job;
    }
    void script(CallScript callScript)
    {
        sim->modifySession([callScript](phonesim::PhoneSession& s) { s.call.script = callScript; });
    }
    int dialLines() const
    {
        int count = 0;
        for (const QByteArray& line : sim->receivedLines())
            count += line.startsWith("ATD");
        return count;
    }

    QStringList shown;
    std::optional<int> endCode;
    QString errorText;
};

} // namespace

TEST_F(DialNumberTest, TheCallFollowsThePhonesAnswers)
{
    struct Case {
        const char* what;
        const char* profile;
        const char* protocol;
        CallScript script;
        int end;
        const char* error;   // the queue's text for a failed call
    };
    const Case cases[] = {
        {"busy", "nokia", "nokia", {Outcome::Busy, 0, -1}, -1, "NO_CARRIER"},
        {"no carrier", "nokia", "nokia", {Outcome::NoCarrier, 0, -1}, -2, "NO_CARRIER"},
        // The far end's times are real ones: long beside the job's first steps.
        {"answered, then the far end hangs up", "motorola", "motorola", {Outcome::Answered, 0, 1500}, 0, nullptr},
        {"rings, is answered, the far end hangs up", "motorola", "motorola", {Outcome::Answered, 1000, 1000}, 0,
         nullptr},
        {"a Sony Ericsson's ringing ends its part", "sonyericsson", "sony", {Outcome::Answered, -1, -1}, 0, nullptr},
    };
    for (const Case& c : cases) {
        connect(c.profile, c.protocol);
        script(c.script);
        auto job = dial(QStringLiteral("0123456789"));
        EXPECT_EQ(job->description(), "ActionDialNumber");
        EXPECT_EQ(job->priority(), 0);
        ASSERT_TRUE(runUntil([&] { return endCode.has_value(); }, 600.0)) << c.what << " stuck in " << job->dialingState();
        EXPECT_EQ(*endCode, c.end) << c.what;
        EXPECT_EQ(shown.mid(0, 2), (QStringList{"Preparing", "Dialing"})) << c.what;
        EXPECT_EQ(shown.last(), "Connect") << c.what;
        if (c.error) {
            EXPECT_EQ(errorText, c.error) << c.what;
        }
        EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>{"0123456789"}) << c.what;
        // Nothing is sent once the job ended: its timer stopped.
        const int sent = sim->receivedLines().size();
        testing_support::runFor(5.0);
        EXPECT_EQ(sim->receivedLines().size(), sent) << c.what;
    }
}

TEST_F(DialNumberTest, CancellingARingingCallHangsUpAndEndsWell)
{
    struct Case {
        const char* profile;
        const char* protocol;
        const char* syncProtocol;
        QByteArray hangUp;
    };
    for (const Case& c : {Case{"nokia", "nokia", "Protocol Series 40", "AT+CHUP"},
                          Case{"gigaset", "gigaset", "Protocol Gigaset", "ATH"}}) {
        connect(c.profile, c.protocol, c.syncProtocol);
        script({Outcome::Answered, -1, -1});
        auto job = dial(QStringLiteral("+49301234567"));
        ASSERT_TRUE(runUntil([&] { return sim->session().activity == phonesim::PhoneSession::Ringing; }))
            << c.profile;
        testing_support::runFor(3.0);
        ASSERT_FALSE(endCode.has_value()) << c.profile;
        EXPECT_TRUE(job->cancelAction());
        EXPECT_EQ(job->displayString(), "HangUp") << c.profile;
        ASSERT_TRUE(runUntil([&] { return endCode.has_value(); })) << c.profile;
        EXPECT_EQ(*endCode, 0) << c.profile;
        EXPECT_TRUE(sim->receivedLines().contains(c.hangUp)) << c.profile;
        EXPECT_EQ(sim->session().activity, phonesim::PhoneSession::Ready) << c.profile;
    }
    // A Gigaset's AT connection is closed at the end of the job.
    EXPECT_FALSE(device->isConnectionOpen("Serial"));
}

TEST_F(DialNumberTest, ANumberThatIsNoDialStringIsNeverSent)
{
    connect("nokia", "nokia");
    for (const char* number : {"123;456", "12\r34", "", "0800 123"}) {
        auto job = dial(QString::fromLatin1(number));
        ASSERT_TRUE(runUntil([&] { return endCode.has_value(); })) << number;
        EXPECT_EQ(*endCode, -6) << number;
        EXPECT_EQ(errorText, "DIAL_ERROR") << number;
    }
    EXPECT_EQ(dialLines(), 0);
}

TEST_F(DialNumberTest, ADialThatCannotBeSentOrIsRefusedEndsWithItsCode)
{
    // The AT connection closes before the dial goes out.
    connect("nokia", "nokia");
    auto job = dial(QStringLiteral("555"));
    ASSERT_TRUE(runUntil([&] { return job->isRunning(); }));
    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(device->requestConnectionClose("Serial", closed), 0);
    ASSERT_TRUE(runUntil([&] { return endCode.has_value(); }));
    EXPECT_EQ(*endCode, -7);
    EXPECT_EQ(errorText, "DIAL_ERROR");

    // The phone refuses the call with an extended error report.
    connect("nokia", "nokia");
    sim->modifySession([](phonesim::PhoneSession& s) { s.cmeeMode = 1; });
    sim->setHandler("D", [](phonesim::PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::equipmentError(30);
    });
    dial(QStringLiteral("555"));
    ASSERT_TRUE(runUntil([&] { return endCode.has_value(); }));
    EXPECT_EQ(*endCode, -6);
    EXPECT_EQ(errorText, "DIAL_ERROR");
}

TEST_F(DialNumberTest, AHangUpThatIsNeverAnsweredDoesNotHoldTheJob)
{
    connect("nokia", "nokia");
    script({Outcome::Answered, -1, -1});
    sim->holdAnswersTo("+CHUP");
    auto job = dial(QStringLiteral("555"));
    ASSERT_TRUE(runUntil([&] { return sim->session().activity == phonesim::PhoneSession::Ringing; }));
    testing_support::runFor(2.0);
    job->cancelAction();
    ASSERT_TRUE(runUntil([&] { return endCode.has_value(); }, 60.0));
    EXPECT_EQ(*endCode, 0);
}
