#include "FakeSerialATChannel.h"

#include "formats/QuorNSStringVCardExtensions.h"
#include "links/ATAnswerText.h"
#include "links/LinkCodes.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace {

double now()
{
    return platform::Clock::instance().now();
}

class SerialATChannelTest : public ::testing::Test {
protected:
    void makeChannel(SerialATChannel::PhoneTraits traits)
    {
        channel = std::make_unique<FakeSerialATChannel>(nullptr, &delegate, traits);
        delegate.channel = channel.get();
    }
    void SetUp() override { makeChannel({}); }
    void deliverLater(double delay, const QByteArray& bytes)
    {
        FakeSerialATChannel* target = channel.get();
        platform::runloop::performAfterDelay(target, QStringLiteral("deliver"), delay,
                                             [target, bytes] { target->deliver(bytes); });
    }
    QByteArray obexPacket(int length, char code = char(0xA0))
    {
        QByteArray packet(length, 'x');
        packet[0] = code;
        packet[1] = char((length >> 8) & 0xFF);
        packet[2] = char(length & 0xFF);
        return packet;
    }

    RecordingSerialDelegate delegate;
    std::unique_ptr<FakeSerialATChannel> channel;
};

struct AnswerCase {
    const char* text;
    bool filled;          // isBufferFilledWithAnswer
    bool okErrorConnect;  // waitForOkErrorConnect answers
    bool good;            // and its verdict
};

} // namespace

TEST_F(SerialATChannelTest, AnswerDetectionByTheLastSignificantLine)
{
    const AnswerCase cases[] = {
        {"AT+CGMI\r\r\nACME\r\n\r\nOK\r\n", true, true, true},
        {"\r\nOK\r\n  \r\n\r\n ", true, true, true},
        {"\r\nOK\r\n\r\n+CSQ: 15,99\r\n", false, false, true},
        {"\r\n+CME ERROR: 10\r\n", true, true, false},
        {"ERROR\r\n", true, true, false},
        {"\r\nChannelID: 3\r\n", true, false, true},
        {"\r\nChannelID:\r\n", true, true, false},
        {"\r\nCONNECT\r\n", true, true, true},
        {"\r\nCONNECT 9600\r\n", false, false, true},
        {"\r\nRING\r\n", false, false, true},
        // A final line ends an answer only once its line end came.
        {"\r\nACME\r\n\r\nOK", false, false, true},
        {"\r\n+CME ERROR: 1", false, false, true},
        {"\r\nCONNECT", false, false, true},
        {"\r\nOK\r", true, true, true},
        {"\nOK\n", true, true, true},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.text);
        makeChannel({});
        channel->deliver(c.text);
        EXPECT_EQ(channel->isBufferFilledWithAnswer(), c.filled);
        // An incomplete answer leaves nothing for the waiters.
        EXPECT_EQ(channel->dataAvail(), c.filled);

        makeChannel({});
        channel->deliver(c.text);
        bool good = !c.good;
        const double start = now();
        EXPECT_EQ(channel->waitForOkErrorConnect(5, &good), c.okErrorConnect);
        EXPECT_EQ(good, c.good);
        if (!c.okErrorConnect) {
            EXPECT_NEAR(now() - start, 0.5, 1e-6);
        }
    }
}

TEST_F(SerialATChannelTest, AnAnswerCutAnywhereReadsAsTheWholeOne)
{
    const struct {
        QByteArray reply;
        const char* answer;
    } cases[] = {
        {"\r\nQUALCOMM INCORPORATED\r\n\r\nOK\r\n", "QUALCOMM INCORPORATED"},
        {"AT+CGMM\r\r\nKU990\r\n\r\nOK\r\n", "AT+CGMM\r\r\nKU990"},
        {"\r\nOKI\r\n\r\nOK\r\n", "OKI"},
        {"\r\nCONNECTOR 2\r\n\r\nOK\r\n", "CONNECTOR 2"},
        {"\r\n+CME ERROR: 10\r\n", "ERROR"},
        {"Model\nOK\n", "Model"},
        {"\rModel\r\rOK\r", "Model"},
        {"\r\nV3 \r\n\r\nOK \r\n", "V3 "},
    };
    for (const auto& c : cases) {
        // One cut at every byte, then the pieces of a reader that gets 2, 3, 5 or 7 bytes at a time.
        std::vector<std::vector<qsizetype>> cutSets;
        for (qsizetype cut = 1; cut < c.reply.size(); ++cut)
            cutSets.push_back({cut});
        for (qsizetype piece : {2, 3, 5, 7}) {
            std::vector<qsizetype> cuts;
            for (qsizetype at = piece; at < c.reply.size(); at += piece)
                cuts.push_back(at);
            cutSets.push_back(cuts);
        }
        for (const auto& cuts : cutSets) {
            SCOPED_TRACE(c.reply.toStdString() + " cut at " + std::to_string(cuts.front()) + " of "
                         + std::to_string(cuts.size()));
            makeChannel({});
            auto waiter = QVDeviceCallback::pollingObject();
            channel->waitForATResultAsync(waiter);
            qsizetype from = 0;
            for (qsizetype cut : cuts) {
                channel->deliver(c.reply.mid(from, cut - from));
                from = cut;
            }
            channel->deliver(c.reply.mid(from));
            ASSERT_TRUE(testing_support::runUntil([&] { return !waiter->isBusy(); }, 1.0));
            EXPECT_EQ(links::extractATAnswer(waiter->resultObject().toString()), QLatin1String(c.answer));
        }
    }
}

TEST_F(SerialATChannelTest, BlockingWaitKeepsTheLoopTurningUntilTheAnswerIsWhole)
{
    channel->sendDataStr(QStringLiteral("AT+CBC\r\n"));
    deliverLater(0.15, "\r\n+CBC: 0,80\r\n");
    deliverLater(0.45, "\r\nOK\r\n");
    EXPECT_TRUE(channel->waitForOkOrError(10));
    EXPECT_TRUE(channel->buffer().endsWith(QStringLiteral("OK\r\n")));
    EXPECT_TRUE(channel->buffer().contains(QStringLiteral("+CBC: 0,80")));

    channel->sendDataStr(QStringLiteral("AT\r\n"));
    deliverLater(0.45, "\r\nOK\r\n");
    EXPECT_FALSE(channel->waitForOkOrError(3));
    EXPECT_TRUE(testing_support::runUntil([&] { return channel->dataAvail(); }, 1.0));
}

TEST_F(SerialATChannelTest, AsyncWaiterEndsOnceWithTheWholeAnswer)
{
    auto waiter = QVDeviceCallback::pollingObject();
    channel->waitForATResultAsync(waiter);
    channel->deliver("\r\nO");
    channel->deliver("K\r\n");
    EXPECT_TRUE(waiter->isBusy());   // ended on a later pass
    ASSERT_TRUE(testing_support::runUntil([&] { return !waiter->isBusy(); }, 1.0));
    EXPECT_EQ(waiter->returnStatus(), 0);
    EXPECT_EQ(waiter->resultObject().toString(), QStringLiteral("\r\nOK\r\n"));

    // An answer already in ends a new waiter at once; an error answer still ends with 0.
    channel->sendDataStr(QStringLiteral("AT+FOO\r\n"));
    channel->deliver("\r\nERROR\r\n");
    auto second = QVDeviceCallback::pollingObject();
    channel->waitForATResultAsync(second);
    channel->deliver("\r\nOK\r\n");   // no waiter left: nothing more is ended
    platform::runloop::processPendingEvents();
    EXPECT_FALSE(second->isBusy());
    EXPECT_EQ(second->returnStatus(), 0);
    EXPECT_EQ(second->resultObject().toString(), QStringLiteral("\r\nERROR\r\n"));
}

TEST_F(SerialATChannelTest, BufferTextIsReadAsLatin2)
{
    channel->deliver(QByteArray("\xA3\xF3\x64\xBC\r\nOK\r\n"));
    EXPECT_EQ(channel->buffer(), QStringLiteral(u"Łódź\r\nOK\r\n"));
    SerialATChannel bare(nullptr, nullptr);
    EXPECT_EQ(bare.buffer(), QStringLiteral(""));
}

TEST_F(SerialATChannelTest, ObexPacketIsHandedOverWhenItsLastByteArrives)
{
    const QByteArray packet = obexPacket(0x10);
    const std::vector<std::vector<int>> splits = {{16}, {1, 15}, {2, 1, 13}, {15, 1}, std::vector<int>(16, 1)};
    for (const auto& split : splits) {
        SCOPED_TRACE(split.size());
        makeChannel({});
        delegate.packets.clear();
        channel->setObexMode(true);
        int at = 0;
        for (int piece : split) {
            platform::runloop::processPendingEvents();
            EXPECT_TRUE(delegate.packets.empty());
            channel->deliver(packet.mid(at, piece));
            at += piece;
        }
        EXPECT_TRUE(delegate.packets.empty());   // queued, not called
        platform::runloop::processPendingEvents();
        ASSERT_EQ(delegate.packets.size(), 1u);
        EXPECT_EQ(delegate.packets[0], packet);
        EXPECT_FALSE(channel->dataAvail());
    }
}

TEST_F(SerialATChannelTest, ObexBytesBehindAPacketStartTheNextOne)
{
    channel->setObexMode(true);
    const QByteArray first = obexPacket(0x10);
    const QByteArray second = obexPacket(8, char(0xA0));
    channel->deliver(first + second.left(5));
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], first);

    channel->deliver(second.mid(5));
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 2u);
    EXPECT_EQ(delegate.packets[1], second);

    // Bytes arriving before the hand-over are kept as well.
    channel->deliver(first);
    channel->deliver(second);
    platform::runloop::processPendingEvents();
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 4u);
    EXPECT_EQ(delegate.packets[2], first);
    EXPECT_EQ(delegate.packets[3], second);
}

TEST_F(SerialATChannelTest, SurplusLeadsTheAnswerToARequestSentFromTheHandOver)
{
    channel->setObexMode(true);
    const QByteArray first = obexPacket(0x10);
    const QByteArray second = obexPacket(8);
    delegate.onPacket = [&] {
        if (delegate.packets.size() == 1) {
            channel->sendObexData("\x83\x00\x03", 3);
            channel->deliver(second.mid(4));   // the rest of the answer comes at once
        }
    };
    channel->deliver(first + second.left(4));
    platform::runloop::processPendingEvents();
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 2u);
    EXPECT_EQ(delegate.packets[1], second);
    EXPECT_EQ(channel->sent.size(), 1u);
}

TEST_F(SerialATChannelTest, MalformedObexLengthsAreDroppedNotAwaited)
{
    channel->setObexMode(true);
    for (int length : {0, 1, 2}) {
        SCOPED_TRACE(length);
        QByteArray bad = obexPacket(3);
        bad[2] = char(length);
        channel->deliver(bad);
        EXPECT_EQ(channel->currentBuffIndex(), 0u);
    }
    const QByteArray good = obexPacket(5);
    channel->deliver(good);
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], good);

    // The blocking wait gives up on such a length at once.
    channel->setObexMode(false);
    channel->sendDataStr(QStringLiteral("x"));
    channel->deliver(QByteArray("\xA0\x00\x01", 3));
    const double start = now();
    EXPECT_FALSE(channel->waitForObexAnswer(10));
    EXPECT_DOUBLE_EQ(now(), start);
}

TEST_F(SerialATChannelTest, OverflowStartsAgainWithTheNewBytesAndANewLength)
{
    channel->setObexMode(true);
    QByteArray big = obexPacket(0xF000);
    channel->deliver(big.left(0xE000));
    const QByteArray next = obexPacket(0x2000);
    channel->deliver(next);
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], next);

    // An AT answer is not held to a packet's size; the buffer stays NUL-terminated.
    channel->setObexMode(false);
    channel->deliver(QByteArray(70000, 'a'));
    EXPECT_EQ(channel->currentBuffIndex(), 70000u);
    EXPECT_EQ(channel->commBuffer()[70000], '\0');
}

TEST_F(SerialATChannelTest, NulBytesAreBytesOfTheAnswer)
{
    const char text[] = "\r\n+CPBR: 1,\"A\0B\",129\r\n\r\nOK\r\n";
    const QByteArray answer(text, sizeof text - 1);
    channel->sendDataStr(QStringLiteral("AT+CPBR=1\r\n"));
    deliverLater(0.1, answer);
    const double start = now();
    EXPECT_TRUE(channel->waitForOkOrError(10));
    EXPECT_NEAR(now() - start, 0.1, 1e-6);
    EXPECT_EQ(channel->bufferBytes(), answer);
    EXPECT_EQ(channel->buffer(), QString::fromLatin1(answer));
}

TEST_F(SerialATChannelTest, LongAnswerGrowsTheBuffer)
{
    // 1,500 phonebook entries: about 75 KB.
    QByteArray phonebook;
    for (int i = 1; i <= 1500; ++i)
        phonebook += "\r\n+CPBR: " + QByteArray::number(i) + ",\"+4930123456\",145,\"Entry " + QByteArray::number(i)
            + "\"\r\n";
    phonebook += "\r\nOK\r\n";
    ASSERT_GT(phonebook.size(), SerialATChannel::kBufferSize);
    channel->sendDataStr(QStringLiteral("AT+CPBR=1,1500\r\n"));
    for (qsizetype at = 0; at < phonebook.size(); at += 1000)
        channel->deliver(phonebook.mid(at, 1000));
    EXPECT_TRUE(channel->waitForOkOrError(10));
    EXPECT_FALSE(channel->answerOverflowed());
    EXPECT_EQ(channel->bufferBytes(), phonebook);
    EXPECT_EQ(channel->buffer().count(QStringLiteral("+CPBR:")), 1500);
}

TEST_F(SerialATChannelTest, AnswerPastTheLimitIsAnErrorForEveryWait)
{
    const QByteArray beyond(SerialATChannel::kAnswerLimit - 4, 'x');
    const struct {
        const char* wait;
        std::function<void(FakeSerialATChannel&)> check;
    } cases[] = {
        {"waitForOkOrError", [](FakeSerialATChannel& c) { EXPECT_FALSE(c.waitForOkOrError(10)); }},
        {"waitForOkErrorConnect",
         [](FakeSerialATChannel& c) {
             bool good = true;
             EXPECT_TRUE(c.waitForOkErrorConnect(10, &good));
             EXPECT_FALSE(good);
         }},
        {"waitForATResultAsync",
         [](FakeSerialATChannel& c) {
             auto waiter = QVDeviceCallback::pollingObject();
             c.waitForATResultAsync(waiter);
             ASSERT_TRUE(testing_support::runUntil([&] { return !waiter->isBusy(); }, 1.0));
             EXPECT_EQ(waiter->returnStatus(), links::kIOReturnOverrun);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        makeChannel({});
        channel->sendDataStr(QStringLiteral("AT+CPBR=1,9999\r\n"));
        channel->deliver(beyond);
        channel->deliver("\r\nOK\r\n");
        EXPECT_TRUE(channel->answerOverflowed());
        EXPECT_LE(channel->currentBuffIndex(), uint32_t(SerialATChannel::kAnswerLimit));
        const double start = now();
        c.check(*channel);
        EXPECT_DOUBLE_EQ(now() - start, 0.0);
        // The next command's answer starts afresh.
        channel->sendDataStr(QStringLiteral("AT\r\n"));
        channel->deliver("\r\nOK\r\n");
        EXPECT_FALSE(channel->answerOverflowed());
        EXPECT_TRUE(channel->waitForOkOrError(1));
    }
}

TEST_F(SerialATChannelTest, WaitsEndWhenTheTransportCloses)
{
    const struct {
        const char* wait;
        std::function<bool(FakeSerialATChannel&)> run;
    } cases[] = {
        {"waitForOkOrError", [](FakeSerialATChannel& c) { return c.waitForOkOrError(50); }},
        {"waitForOkErrorConnect", [](FakeSerialATChannel& c) { return c.waitForOkErrorConnect(50, nullptr); }},
        {"waitForObexAnswer", [](FakeSerialATChannel& c) { return c.waitForObexAnswer(50); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        makeChannel({});
        ASSERT_EQ(channel->openConnection(nullptr), 0);
        channel->sendDataStr(QStringLiteral("AT+CBC\r\n"));
        channel->deliver("\r\n+CB");
        ASSERT_EQ(channel->closeConnection(nullptr), 0); // the close is reported after 0.2 s
        const double start = now();
        EXPECT_FALSE(c.run(*channel));
        EXPECT_LE(now() - start, 0.3 + 1e-6);
        // Until the next open, a wait ends at once.
        const double closed = now();
        EXPECT_FALSE(c.run(*channel));
        EXPECT_DOUBLE_EQ(now(), closed);
    }
}

TEST_F(SerialATChannelTest, ModeSwitchStartsAFreshFraming)
{
    const QByteArray packet = obexPacket(5);
    // The answer to the switch command does not frame the first packet.
    channel->deliver("\r\nCONNECT\r\n");
    channel->setObexMode(true);
    channel->deliver(packet);
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], packet);

    // A packet cut short by the switch back is no part of the AT answer...
    channel->deliver(packet.left(3));
    channel->setObexMode(false);
    channel->deliver("\r\nOK\r\n");
    EXPECT_EQ(channel->buffer(), QStringLiteral("\r\nOK\r\n"));
    EXPECT_TRUE(channel->isBufferFilledWithAnswer());
    // ...nor of the next packet.
    channel->setObexMode(true);
    channel->deliver(packet);
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 2u);
    EXPECT_EQ(delegate.packets[1], packet);

    // A packet still waiting for its hand-over at a switch is not handed over,
    // nor are the bytes behind it.
    channel->deliver(packet + packet.left(2));
    channel->setObexMode(false);
    platform::runloop::processPendingEvents();
    EXPECT_EQ(delegate.packets.size(), 2u);
    EXPECT_EQ(channel->currentBuffIndex(), 0u);
}

TEST_F(SerialATChannelTest, ObexErrorAnswerIsCutAndHandedOverOnce)
{
    channel->setObexMode(true);
    channel->deliver("ERR");
    channel->deliver("OR\r\n");
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], QByteArray("ERROR"));
    EXPECT_EQ(channel->buffer(), QStringLiteral("ERROR"));

    makeChannel({});
    delegate.packets.clear();
    channel->setObexMode(true);
    channel->deliver("ERROR\r\n");
    platform::runloop::processPendingEvents();
    platform::runloop::processPendingEvents();
    ASSERT_EQ(delegate.packets.size(), 1u);
    EXPECT_EQ(delegate.packets[0], QByteArray("ERROR"));
}

TEST_F(SerialATChannelTest, BlockingObexWaitCountsItsPasses)
{
    const QByteArray packet = obexPacket(0x10);
    channel->deliver(packet.left(2));
    deliverLater(0.25, packet.mid(2, 10));
    deliverLater(0.55, packet.mid(12));
    EXPECT_TRUE(channel->waitForObexAnswer(10));
    EXPECT_EQ(channel->currentBuffIndex(), 16u);

    channel->sendDataStr(QStringLiteral("x"));
    channel->deliver(packet.left(10));
    const double start = now();
    EXPECT_FALSE(channel->waitForObexAnswer(4));
    EXPECT_NEAR(now() - start, 0.4, 1e-6);
}

TEST_F(SerialATChannelTest, GigasetCommandsWaitOutThePauseAfterAnAnswer)
{
    for (bool gigaset : {true, false}) {
        SCOPED_TRACE(gigaset);
        SerialATChannel::PhoneTraits traits;
        traits.isGigaset = gigaset;
        makeChannel(traits);
        channel->waitForATResultAsync(QVDeviceCallback::pollingObject());
        channel->deliver("\r\nOK\r\n");
        testing_support::runFor(0.01);
        const double sendCalled = now();
        ASSERT_TRUE(channel->sendDataStr(QStringLiteral("AT+CPAS\r\n")));
        ASSERT_EQ(channel->sent.size(), 1u);
        EXPECT_NEAR(channel->sent[0].time - sendCalled, gigaset ? 0.05 : 0.0, 1e-6);

        // The blocking wait imposes the pause as well.
        channel->deliver("\r\nOK\r\n");
        ASSERT_TRUE(channel->waitForOkOrError(1));
        const double answered = now();
        channel->sendDataStr(QStringLiteral("AT\r\n"));
        EXPECT_NEAR(channel->sent.back().time - answered, gigaset ? 0.06 : 0.0, 1e-6);

        // Once the pause is over, the next command leaves at once.
        testing_support::runFor(0.1);
        const double later = now();
        channel->sendDataStr(QStringLiteral("AT\r\n"));
        EXPECT_NEAR(channel->sent.back().time, later, 1e-6);
    }
}

TEST_F(SerialATChannelTest, HangupLeavesObexModeWithThePhonesEscape)
{
    struct Case {
        bool open, obex, gigaset, samsung;
        QByteArray sent;
        bool obexAfter;
    } cases[] = {
        {false, true, true, false, "", true},      // closed: nothing at all
        {true, false, true, false, "", false},     // AT mode: nothing at all
        {true, true, true, false, "+++", false},
        {true, true, false, true, "+++\r\n", false},
        {true, true, false, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent.constData());
        SerialATChannel::PhoneTraits traits;
        traits.isGigaset = c.gigaset;
        traits.usesSamsungATConnections = c.samsung;
        makeChannel(traits);
        channel->setOpen(c.open);
        channel->setObexMode(c.obex);
        channel->hangup();
        QByteArray all;
        for (const auto& s : channel->sent)
            all += s.bytes;
        EXPECT_EQ(all, c.sent);
        EXPECT_EQ(channel->modeObex(), c.obexAfter);
    }
}

TEST_F(SerialATChannelTest, BlockingCloseReportsTimeOutAfterThirtyPasses)
{
    channel->setOpen(true);
    channel->closeReportDelay = -1;
    double start = now();
    EXPECT_EQ(channel->closeChannelBlocking(), links::kIOReturnTimeout);
    EXPECT_NEAR(now() - start, 3.0, 1e-6);

    channel->closeReportDelay = 0.25;
    start = now();
    EXPECT_EQ(channel->closeChannelBlocking(), 0);
    EXPECT_FALSE(channel->hasConnection());
    EXPECT_LT(now() - start, 0.5);

    channel->setInProgress(true);
    EXPECT_EQ(channel->closeChannelBlocking(), links::kIOReturnExclusiveAccess);
    auto callback = QVDeviceCallback::pollingObject();
    EXPECT_EQ(channel->closeChannelWithCallback(callback), links::kIOReturnExclusiveAccess);
    testing_support::runFor(1.0);
    EXPECT_TRUE(callback->isBusy());
}

TEST_F(SerialATChannelTest, SendsConvertOnceAndSendTheConvertedBytes)
{
    EXPECT_FALSE(channel->sendDataStr(QString()));
    EXPECT_FALSE(channel->sendDataStr(QStringLiteral("")));
    EXPECT_TRUE(channel->sendDataStr(QStringLiteral(u"AT+CPBW=1,\"Zoë €\"\r\n")));
    ASSERT_EQ(channel->sent.size(), 1u);
    const QByteArray expected = SerialATChannel::commandBytes(QStringLiteral(u"AT+CPBW=1,\"Zoë €\"\r\n"));
    EXPECT_EQ(channel->sent[0].bytes, expected);
    EXPECT_EQ(channel->sent[0].bytes, QByteArray("AT+CPBW=1,\"Zo\xEB ?\"\r\n"));
    // A character beyond the basic plane is two units of text but one character.
    EXPECT_TRUE(channel->sendDataStr(QStringLiteral(u"A\U0001F600B")));
    EXPECT_EQ(channel->sent[1].bytes, SerialATChannel::commandBytes(QStringLiteral(u"A\U0001F600B")));
}

TEST_F(SerialATChannelTest, SendFailuresReachTheCallerAndCloseTheTransport)
{
    auto callback = QVDeviceCallback::pollingObject();
    EXPECT_TRUE(channel->sendDataStrAsync(QStringLiteral("AT\r\n"), callback));
    platform::runloop::processPendingEvents();
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_FALSE(callback->isBusy());

    channel->failSends = true;
    auto failing = QVDeviceCallback::pollingObject();
    EXPECT_FALSE(channel->sendDataStrAsync(QStringLiteral("AT\r\n"), failing));
    platform::runloop::processPendingEvents();
    EXPECT_EQ(failing->returnStatus(), links::kIOReturnIOError);

    channel->setOpen(true);
    EXPECT_FALSE(channel->sendObexData("\x80\x00\x03", 3));
    EXPECT_FALSE(channel->hasConnection());
}

TEST(SerialATChannelBaseTest, TransportOperationsMustBeSupplied)
{
    SerialATChannel bare(nullptr, nullptr);
    try {
        bare.sendData("x", 1);
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("Unimplemented function error"));
        EXPECT_TRUE(e.reason().startsWith(QStringLiteral("### You must implement ")));
    }
    EXPECT_THROW(bare.openConnection(nullptr), platform::Exception);
    EXPECT_THROW(bare.closeConnection(nullptr), platform::Exception);
    EXPECT_THROW((void)bare.hasOpenTransportConnection(), platform::Exception);
}

TEST_F(SerialATChannelTest, LastLineIsTheBuffersLastSignificantLine)
{
    const QByteArray buffers[] = {
        "", "\r\n \r\n", "OK", "\r\nOK\r\n  \r\n", "\r\n+CPBR: 1,\"\xb1\xe6\"\r\n", "a\rb\nc",
        QByteArray("\r\nERROR\r\n\0tail\r\n", 16), "\r\nCONNECT 9600\r\n\r\n\r\n", " \xa0OK\xa0 \r\n",
    };
    for (const QByteArray& bytes : buffers) {
        SCOPED_TRACE(bytes.toStdString());
        channel->resetBuffer();
        channel->deliver(bytes);
        EXPECT_EQ(channel->lastBufferLine(), lastSignificantLine(channel->buffer()));
    }
}
