// The state machine over a recording transport: requested states, modem
// initialisation, reply validation, LG frame wrapping and unframing.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using testing_support::runFor;
using testing_support::runUntil;

namespace {

// A machine connected over a fake transport for the family.
struct Connected {
    explicit Connected(const QString& family)
    {
        machine.setDelegate(&recorder);
        machine.setFamily(family);
        machine.requestState(kStateConnected);
        EXPECT_TRUE(runUntil([&] { return machine.fake() && machine.fake()->opens == 1; }));
        if (!SLTStateMachine::isLgFamily(family)) {
            // Every other family initialises the modem first.
            EXPECT_TRUE(runUntil([&] { return machine.fake()->sentTexts.size() == 1; }));
            EXPECT_EQ(machine.fake()->sentTexts, QStringList{"ATE0\r"});
            EXPECT_EQ(machine.state(), kStateOpening);
            machine.fake()->reply("ATE0\r\r\nOK\r\n");
        }
        EXPECT_TRUE(runUntil([&] { return !recorder.states.isEmpty() && recorder.states.last() == kStateConnected; }));
        recorder.states.clear();
    }
    FakeCommDevice& link() { return *machine.fake(); }
    // The state of the next report.
    int nextReport(double seconds = 1.0)
    {
        if (!runUntil([&] { return !recorder.states.isEmpty(); }, seconds))
            return 999;
        return recorder.states.takeFirst();
    }

    FakeLinkMachine machine;
    StateRecorder recorder;
};

} // namespace

TEST(StateMachine, InitialisationByFamily)
{
    for (const char* family : {"se", "samsung"}) {
        SCOPED_TRACE(family);
        Connected c{QString::fromLatin1(family)};
        EXPECT_EQ(c.link().sentCount(), 1);   // only "ATE0\r"
    }
    for (const char* family : {"lg", "lg2", "lg3"}) {
        SCOPED_TRACE(family);
        Connected c{QString::fromLatin1(family)};
        EXPECT_EQ(c.link().sentCount(), 0);
    }
}

TEST(StateMachine, RequestedStatesSendTheirCommands)
{
    const struct {
        int requested;
        QVariant custom;
        QString sent;   // null: refused with -2, nothing sent
    } cases[] = {
        {2, {}, {}}, {8, {}, {}}, {41, {}, {}}, {53, {}, {}}, {-1, {}, {}},
        {13, {}, {}}, {13, QStringLiteral("AT+CGMI\r"), "AT+CGMI\r"},
        {11, {}, "AT+CIMI\r"}, {12, {}, "AT+CSCA?\r"},
        {15, {}, "AT+CMGL=0\r"}, {16, {}, "AT+CMGL=1\r"}, {17, {}, "AT+CMGL=2\r"}, {18, {}, "AT+CMGL=3\r"},
        {19, {}, "AT+CPMS=\"MT\"\r"}, {20, {}, "AT+CPMS=\"SM\"\r"}, {21, {}, "AT+CPMS=\"ME\"\r"},
        {22, {}, "AT+CMGF=0\r"}, {23, {}, "AT+CPMS?\r"}, {29, {}, "AT+CPBS=\"SM\"\r"}, {30, {}, "AT+CPBR=?\r"},
        {31, {}, "AT+CSCS?\r"}, {34, {}, "AT+CSCS=?\r"}, {37, {}, "AT\r"}, {40, {}, "AT+CPBS=\"ME\"\r"},
        {42, {}, "AT\r"}, {42, QStringLiteral("AT+CBC\r"), "AT+CBC\r"}, {44, {}, "AT\r"},
        {45, {}, "at$lgapp=1\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        Connected m{QStringLiteral("se")};
        const int before = m.link().sentCount();
        const int resets = m.link().resets;
        m.machine.requestState(c.requested, c.custom);
        if (c.sent.isNull()) {
            EXPECT_EQ(m.nextReport(), kStateRefused);
            EXPECT_EQ(m.link().sentCount(), before);
            EXPECT_EQ(m.link().resets, resets);
            continue;
        }
        ASSERT_EQ(m.link().sentTexts.size(), before + 1);
        EXPECT_EQ(m.link().sentTexts.last(), c.sent);
        if (c.requested != 45) {
            m.link().reply("\r\nOK\r\n");
            EXPECT_EQ(m.nextReport(), kStateCommandDone);
        }
    }
}

TEST(StateMachine, CustomCommandOfAnotherKindIsRefusedBeforeAnythingIsLogged)
{
    Connected m{QStringLiteral("lg")};
    KitLogCapture log;
    m.machine.requestState(13, 42);
    EXPECT_EQ(m.nextReport(), kStateRefused);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('|').toStdString();
    EXPECT_EQ(m.link().sentCount(), 0);
}

TEST(StateMachine, StorageQueryWaitsHalfASecond)
{
    Connected m{QStringLiteral("lg")};
    const double start = now();
    m.machine.requestState(14);
    EXPECT_EQ(m.link().sentCount(), 0);
    ASSERT_TRUE(runUntil([&] { return m.link().sentCount() == 1; }, 2.0, 0.01));
    EXPECT_NEAR(now() - start, 0.5, 0.02);
    EXPECT_EQ(m.link().sentTexts.last(), QStringLiteral("AT+CPMS=?\r"));
}

TEST(StateMachine, WaitStatesSucceedAfterTheirTime)
{
    for (const auto& [requested, seconds] : {std::pair{46, 1.0}, {47, 2.0}, {48, 3.0}}) {
        SCOPED_TRACE(requested);
        Connected m{QStringLiteral("lg")};
        const double start = now();
        m.machine.requestState(requested);
        ASSERT_TRUE(runUntil([&] { return !m.recorder.states.isEmpty(); }, 5.0, 0.01));
        EXPECT_EQ(m.recorder.states.first(), kStateCommandDone);
        EXPECT_NEAR(now() - start, seconds, 0.02);
        EXPECT_EQ(m.link().sentCount(), 0);
    }
}

TEST(StateMachine, LongTimeOutAfter27AndBackTo5After28Or50)
{
    Connected m{QStringLiteral("lg")};
    auto timeOutAfter = [&] {
        m.machine.requestState(5);
        EXPECT_EQ(m.nextReport(), kStateConnected);
        const double start = now();
        m.machine.requestState(11);
        EXPECT_TRUE(runUntil([&] { return !m.recorder.states.isEmpty(); }, 100.0, 0.5));
        EXPECT_EQ(m.recorder.states.takeFirst(), kStateTimeout);
        return now() - start;
    };
    EXPECT_NEAR(timeOutAfter(), 5.0, 0.6);
    for (int back : {28, 50}) {
        m.machine.requestState(27);
        EXPECT_EQ(m.nextReport(4.0), kStateCommandDone);
        EXPECT_NEAR(timeOutAfter(), 60.0, 0.6);
        m.machine.requestState(back);
        EXPECT_EQ(m.nextReport(4.0), kStateCommandDone);
        EXPECT_NEAR(timeOutAfter(), 5.0, 0.6);
    }
}

TEST(StateMachine, TextReplyValidation)
{
    const struct {
        const char* reply;
        bool connecting;
        int result;
        const char* left;   // the text after unsolicited lines went
    } cases[] = {
        {"\r\n^SYSSTART\r\nOK\r\n", false, SLTStateMachine::kReplyComplete, "OK\r\n"},
        {"\r\n+CMTI: \"SM\",3\r\n", false, SLTStateMachine::kReplyIncomplete, ""},
        {"\r\n+cmti: \"SM\",3\r\n\r\n+CSCA: \"+49\",145\r\n\r\nOK\r\n", false, SLTStateMachine::kReplyComplete,
         "\r\n+CSCA: \"+49\",145\r\n\r\nOK\r\n"},
        {"\r\n^BOOT:1,0\r\n\r\n^RSSI:3\r\n", false, SLTStateMachine::kReplyIncomplete, ""},
        {"\r\n^SYSST", false, SLTStateMachine::kReplyIncomplete, "\r\n^SYSST"},
        {"\r\n+CMS ERROR: 500\r\n", false, SLTStateMachine::kReplyError, "\r\n+CMS ERROR: 500\r\n"},
        {"\r\n+CME ERROR: 10\r\n", false, SLTStateMachine::kReplyError, "\r\n+CME ERROR: 10\r\n"},
        {"AT+X\r\r\nERROR\r\n", false, SLTStateMachine::kReplyError, "AT+X\r\r\nERROR\r\n"},
        {"\r\n+NO CARRIER", false, SLTStateMachine::kReplyError, "\r\n+NO CARRIER"},
        {"\r\n> ", false, SLTStateMachine::kReplyPrompt, "\r\n> "},
        {"AT+CMGS=23\r> ", false, SLTStateMachine::kReplyPrompt, "AT+CMGS=23\r> "},
        {"\r\n+CIMI: 26201", false, SLTStateMachine::kReplyIncomplete, "\r\n+CIMI: 26201"},
        {"", true, SLTStateMachine::kReplyComplete, ""},
        {"", false, SLTStateMachine::kReplyIncomplete, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        QString text = QString::fromLatin1(c.reply);
        EXPECT_EQ(SLTStateMachine::validateStringReply(text, c.connecting), c.result);
        EXPECT_EQ(text, QString::fromLatin1(c.left));
    }
}

TEST(StateMachine, TextReplyInPiecesIsJudgedAsTheWhole)
{
    const struct {
        QStringList pieces;
        QList<int> results;
        const char* left;
    } cases[] = {
        {{"\r\n^SYS", "START\r\nO", "K\r\n"},
         {SLTStateMachine::kReplyIncomplete, SLTStateMachine::kReplyIncomplete, SLTStateMachine::kReplyComplete},
         "OK\r\n"},
        {{"\r\n+CM", "S ERROR: 5"}, {SLTStateMachine::kReplyIncomplete, SLTStateMachine::kReplyError},
         "\r\n+CMS ERROR: 5"},
        {{"\r\n+CPBR: 1\r", "\n+CMTI: \"SM\",", "3\r\n\r", "\n> "},
         {SLTStateMachine::kReplyIncomplete, SLTStateMachine::kReplyIncomplete, SLTStateMachine::kReplyIncomplete,
          SLTStateMachine::kReplyPrompt},
         "\r\n+CPBR: 1\r\n> "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pieces.join('|').toStdString());
        QString text;
        qsizetype checked = 0;
        QList<int> results;
        for (const QString& piece : c.pieces) {
            text += piece;
            results.append(SLTStateMachine::validateStringReply(text, false, &checked));
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(text, QString::fromLatin1(c.left));
    }
}

TEST(StateMachine, ReplyOutcomesBecomeStates)
{
    const struct {
        const char* what;
        QByteArray reply;
        int state;
    } cases[] = {
        {"unsolicited line, then OK", "\r\n^SYSSTART\r\nOK\r\n", kStateCommandDone},
        {"service centre refused", "\r\n+CMS ERROR: 500\r\n", kStateCommandError},
        {"prompt", "\r\n> ", kStateCommandDone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Connected m{QStringLiteral("se")};
        m.machine.requestState(13, QStringLiteral("AT+CMGS=23\r"));
        m.link().reply(c.reply);
        EXPECT_EQ(m.nextReport(), c.state);
    }

    // A lone unsolicited line leaves the reply incomplete: the machine reads on.
    Connected m{QStringLiteral("se")};
    m.machine.requestState(11);
    const int reads = m.link().reads;
    m.link().reply("\r\n+CMTI: \"SM\",3\r\n");
    EXPECT_EQ(m.link().buffer(), QString());
    EXPECT_EQ(m.link().reads, reads + 1);
    runFor(0.5);
    EXPECT_TRUE(m.recorder.states.isEmpty());
    // Errors are reported at once, inside the transport's call.
    m.link().reply("\r\n+CMS ERROR: 330\r\n");
    EXPECT_EQ(m.recorder.states, QList<int>{kStateCommandError});
}

TEST(StateMachine, LgFramesAreWrappedPerFamily)
{
    const QByteArray frame = hex("AA BB");
    const struct {
        const char* family;
        int requested;
        QByteArray sent;
    } cases[] = {
        {"lg", 44, hex("FF AA BB 7E")},
        {"lg3", 44, hex("83 00 0A 70 00 07 FF AA BB 7E")},
        {"lg3", 52, hex("82 00 0A 49 00 07 FF AA BB 7E")},
        {"se", 44, hex("AA BB")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Connected m{QString::fromLatin1(c.family)};
        m.machine.requestState(c.requested, frame);
        ASSERT_EQ(m.link().sentFrames.size(), 1);
        EXPECT_EQ(m.link().sentFrames.first().toHex(' '), c.sent.toHex(' '));
    }

    // On a fresh "lg2" link the first frame loses its first byte and gets no
    // header; the next ones are packets.
    Connected m{QStringLiteral("lg2")};
    m.machine.requestState(44, hex("00 80 00 10"));
    m.machine.requestState(44, frame);
    ASSERT_EQ(m.link().sentFrames.size(), 2);
    EXPECT_EQ(m.link().sentFrames[0], hex("80 00 10"));
    EXPECT_EQ(m.link().sentFrames[1], hex("83 00 0A 70 00 07 FF AA BB 7E"));
}

TEST(StateMachine, PacketRepliesCompleteByTheirLengthAndLoseTheirHeader)
{
    for (const char* family : {"lg2", "lg3"}) {
        SCOPED_TRACE(family);
        Connected m{QString::fromLatin1(family)};
        if (QLatin1String(family) == QLatin1String("lg2"))
            m.machine.requestState(44, hex("00 80"));   // the first frame of the link
        m.machine.requestState(44, hex("AA BB"));
        // 17 bytes in all: the header, a frame ending at its first 7E, a tail.
        m.link().reply(hex("A0 00 11 48 00 0E FF 01 02"));
        runFor(0.2);
        EXPECT_TRUE(m.recorder.states.isEmpty());
        m.link().reply(hex("03 04 05 06 7E 99 98 97"));
        EXPECT_EQ(m.nextReport(), kStateCommandDone);
        EXPECT_EQ(m.machine.rawBuffer(), hex("FF 01 02 03 04 05 06 7E"));
    }
    const struct {
        const char* what;
        QByteArray reply;
        QByteArray kept;
    } cuts[] = {
        {"no FF after the header", hex("A0 00 09 48 00 06 00 01 7E"), hex("A0 00 09 48 00 06 00 01 7E")},
        {"7E last: nothing cut", hex("A0 00 0B 48 00 06 FF 01 02 03 7E"), hex("FF 01 02 03 7E")},
    };
    for (const auto& c : cuts) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(SLTStateMachine::isLgPacketComplete(c.reply));
        EXPECT_EQ(SLTStateMachine::trimToEndSign(SLTStateMachine::stripLgHeader(c.reply)), c.kept);
    }
    EXPECT_FALSE(SLTStateMachine::isLgPacketComplete(hex("A0 00 04")));
}

TEST(StateMachine, LgBusyAnswersAndDisconnectFrame)
{
    {
        SCOPED_TRACE("lg3 busy");
        Connected m{QStringLiteral("lg3")};
        m.machine.requestState(44, hex("AA"));
        m.link().reply(hex("A0 00 09 48 00 06 C0 00 03"));
        EXPECT_EQ(m.recorder.states, QList<int>{kStateLgPortBusy});
    }
    {
        SCOPED_TRACE("lg busy while the port opens");
        Connected m{QStringLiteral("lg")};
        m.machine.requestState(45);
        m.link().reply("at$lgapp=1\r\r\nOK\r\n");
        runFor(0.2);
        EXPECT_TRUE(m.recorder.states.isEmpty());
        m.link().reply(hex("FF 7D DF 00 C3 00 00 00 08 00 7E"));
        EXPECT_EQ(m.recorder.states, QList<int>{kStateLgPortBusy});
    }
    {
        SCOPED_TRACE("lg port opens: OK and the first frame in one read");
        Connected m{QStringLiteral("lg")};
        m.machine.requestState(45);
        m.link().reply("\r\nOK\r\n" + hex("FF 00 80 00 7E"));
        EXPECT_EQ(m.nextReport(), kStateCommandDone);
    }
    {
        SCOPED_TRACE("time-out while waiting for the port");
        Connected m{QStringLiteral("lg")};
        m.machine.requestState(45);
        m.link().reply("\r\nOK\r\n");
        EXPECT_EQ(m.nextReport(6.0), kStateLgPortBusy);
    }
    {
        SCOPED_TRACE("disconnect frame");
        Connected m{QStringLiteral("lg")};
        int posted = 0;
        auto& center = platform::NotificationCenter::defaultCenter();
        const auto token = center.addObserver(nullptr, QLatin1String(kSLTCommDeviceDisconnected), nullptr,
                                              [&](const platform::Notification&) { ++posted; });
        m.machine.requestState(44, hex("AA"));
        m.link().reply(hex("FF 7D DF 00 F2 00 00 00 08 00 7E"));
        center.removeObserver(token);
        EXPECT_EQ(posted, 1);
        EXPECT_EQ(m.machine.linkCloses, 1);
        EXPECT_EQ(m.recorder.states, QList<int>{kStateCommandError});
        EXPECT_EQ(m.machine.commDevice(), nullptr);
        runFor(0.2);
        EXPECT_EQ(m.recorder.states, QList<int>{kStateCommandError});
    }
}

TEST(StateMachine, BytesBetweenCommandsAnswerNothing)
{
    Connected m{QStringLiteral("se")};
    m.machine.requestState(37);
    m.link().reply("\r\nOK\r\n");
    EXPECT_EQ(m.nextReport(), kStateCommandDone);
    m.machine.requestState(5);
    EXPECT_EQ(m.nextReport(), kStateConnected);
    m.link().reply("\r\n+CMTI: \"SM\",4\r\n");
    m.link().reply("\r\nOK\r\n");
    runFor(1.0);
    EXPECT_TRUE(m.recorder.states.isEmpty());
    EXPECT_EQ(m.machine.state(), kStateConnected);
}

TEST(StateMachine, BytesPastTheCapCloseTheLinkWithAnError)
{
    // A phone that keeps sending, while a command waits or while none does:
    // whatever buffer holds the bytes, the link closes with a command error
    // once the cap is passed, so nothing grows past it.
    const struct {
        const char* family;
        bool awaiting;
        QByteArray piece;
    } cases[] = {
        {"se", false, QByteArray(64 * 1024, 'x')},
        {"se", true, QByteArray(64 * 1024, 'x')},
        {"lg", false, QByteArray(64 * 1024, 'x') + hex("7E")}, // LG frames between commands are carried
        {"lg3", false, QByteArray(64 * 1024, 'x')},
        {"lg", true, QByteArray(64 * 1024, 'x')},
    };
    constexpr qsizetype kCap = MultiCommDevice::kMaxBufferedBytes;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.family) + (c.awaiting ? " awaiting a reply" : " idle"));
        Connected m{QString::fromLatin1(c.family)};
        m.machine.requestState(37);
        if (!c.awaiting) {
            m.link().reply("\r\nOK\r\n");
            ASSERT_EQ(m.nextReport(), kStateCommandDone);
        }
        KitLogCapture log;
        qsizetype fed = 0;
        while (m.machine.fake() && fed <= 4 * kCap) {
            m.link().reply(c.piece);
            fed += c.piece.size();
        }
        EXPECT_EQ(m.machine.commDevice(), nullptr);
        EXPECT_LE(fed, kCap + c.piece.size());
        EXPECT_EQ(m.machine.linkCloses, 1);
        EXPECT_EQ(m.nextReport(), kStateCommandError);
        EXPECT_TRUE(log.contains(QStringLiteral("StateMachine read error, link closed")));
    }
}

TEST(StateMachine, SimpleAnswerEndsAfterOneSecondOfWhateverCame)
{
    Connected m{QStringLiteral("se")};
    const double start = now();
    m.machine.requestState(43, QStringLiteral("AT*X\r"));
    m.link().reply("\r\nOK\r\n");
    runFor(0.5);
    EXPECT_TRUE(m.recorder.states.isEmpty());
    ASSERT_TRUE(runUntil([&] { return !m.recorder.states.isEmpty(); }, 2.0, 0.05));
    EXPECT_EQ(m.recorder.states.first(), kStateCommandDone);
    EXPECT_NEAR(now() - start, 1.0, 0.06);
}

TEST(StateMachine, ConnectFailuresAndClosedLinks)
{
    {
        SCOPED_TRACE("no transport kind");
        SLTStateMachine machine;
        StateRecorder recorder;
        machine.setDelegate(&recorder);
        machine.requestState(kStateConnected);
        EXPECT_TRUE(runUntil([&] { return !recorder.states.isEmpty(); }));
        EXPECT_EQ(recorder.states, QList<int>{kStateConnectionError});
    }
    {
        SCOPED_TRACE("open failed");
        FakeLinkMachine machine;
        machine.failOpen = true;
        StateRecorder recorder;
        machine.setDelegate(&recorder);
        machine.requestState(kStateConnected);
        EXPECT_TRUE(runUntil([&] { return recorder.states.contains(kStateConnectionError); }));
        EXPECT_EQ(machine.commDevice(), nullptr);
    }
    {
        SCOPED_TRACE("closed under a pending request");
        Connected m{QStringLiteral("lg")};
        m.machine.requestState(11);
        m.link().close();
        EXPECT_EQ(m.nextReport(), kStateConnectionClosed);
    }
    {
        SCOPED_TRACE("fullStop reports nothing");
        Connected m{QStringLiteral("lg")};
        m.machine.requestState(46);
        m.machine.fullStop();
        runFor(2.0);
        EXPECT_TRUE(m.recorder.states.isEmpty());
        EXPECT_EQ(m.machine.state(), kStateClosed);
        EXPECT_EQ(m.machine.commDevice(), nullptr);
    }
}

TEST(StateMachine, LgReplyPartsWaitForEmptyFrameData)
{
    const struct {
        const char* family;
        QByteArray firstRead;
        QByteArray later;
        QByteArray first;
        QByteArray second;
    } cases[] = {
        // Two frames in one read; the rest of the second after the reply.
        {"lg", hex("FF 01 7E FF 02"), hex("03 7E"), hex("FF 01 7E"), hex("FF 02 03 7E")},
        {"lg3", hex("A0 00 09 48 00 06 FF 01 7E A0 00 0A"), hex("48 00 07 FF 02 03 7E"), hex("FF 01 7E"),
         hex("FF 02 03 7E")},
        // Nothing carried: the part comes while the machine waits.
        {"lg", hex("FF 01 7E"), QByteArray(), hex("FF 01 7E"), QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Connected m{QString::fromLatin1(c.family)};
        m.machine.requestState(44, hex("AA"));
        m.link().reply(c.firstRead);
        EXPECT_EQ(m.nextReport(), kStateCommandDone);
        if (!c.later.isEmpty())
            m.link().reply(c.later);
        EXPECT_EQ(m.machine.rawBuffer(), c.first);
        m.machine.requestState(5);
        EXPECT_EQ(m.nextReport(), kStateConnected);
        const int sent = m.link().sentCount();
        m.machine.requestState(44, QByteArray(""));
        if (c.second.isEmpty()) {
            runFor(0.5);
            EXPECT_TRUE(m.recorder.states.isEmpty());
            m.link().reply(hex("FF 09 7E"));
            EXPECT_EQ(m.nextReport(), kStateCommandDone);
            EXPECT_EQ(m.machine.rawBuffer(), hex("FF 09 7E"));
        } else {
            EXPECT_EQ(m.nextReport(), kStateCommandDone);
            EXPECT_EQ(m.machine.rawBuffer(), c.second);
        }
        EXPECT_EQ(m.link().sentCount(), sent);
    }
}
