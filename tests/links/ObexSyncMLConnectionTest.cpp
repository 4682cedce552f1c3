#include "links/ObexSyncMLConnection.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObexSyncMLDelegate.h"
#include "links/ObjectPushCommand.h"

#include "FakeSerialATChannel.h"
#include "LinkTestSupport.h"
#include "VirtualTime.h"

#include <QMap>
#include <deque>
#include <gtest/gtest.h>

using testing_support::runFor;
using testing_support::runUntil;

namespace {

QByteArray packet(uint8_t code, const QByteArray& rest)
{
    QByteArray out(3, '\0');
    out[0] = char(code);
    const int length = int(rest.size()) + 3;
    out[1] = char(length >> 8);
    out[2] = char(length & 0xFF);
    return out + rest;
}

QByteArray connectAnswer(uint16_t maxPacket, bool withId = true, const QByteArray& who = "SYNCML-SYNC")
{
    QByteArray fixed = hex("1000");
    fixed.append(char(maxPacket >> 8)).append(char(maxPacket & 0xFF));
    QByteArray headers;
    if (withId)
        obex::addConnectionIDHeader(headers, 7);
    obex::addWhoHeader(headers, who);
    return packet(0xA0, fixed + headers);
}

QByteArray bodyOf(const QByteArray& sent)
{
    const auto headers = obex::parseHeaders(sent.constData() + 3, sent.size() - 3);
    if (!headers)
        return {};
    QByteArray body;
    for (const obex::Header& h : *headers) {
        if (h.identifier == obex::kHeaderBody || h.identifier == obex::kHeaderEndOfBody)
            body += h.value;
    }
    return body;
}

struct FakeSession : ObexSyncMLDelegate {
    QList<int> globalErrors;
    QList<int> finished;
    int getRequests = 0;
    QList<QByteArray> received;
    QList<int> receivedStatus;
    std::function<void()> onGet;
    void setGlobalError(int status) override { globalErrors.append(status); }
    void finishSession(int status) override { finished.append(status); }
    void clientSentGetCommand() override
    {
        ++getRequests;
        if (onGet)
            onGet();
    }
    void receivedCommandFromClientFinished(ObjectPushCommand& command) override
    {
        received.append(command.dataReceived());
        receivedStatus.append(command.returnStatus());
    }
};

// The connection on the AT-switched codec over an in-process channel; the
// phone answers each OBEX packet through phone (nothing when it answers empty).
class ObexSyncMLConnectionTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        connection.reset();
        freeParkedChannel();
    }

    void make(bool asServer, const ObexSwitchSettings& settings = {})
    {
        connection = std::make_unique<ObexSyncMLConnection>(nullptr, &session);
        connection->setTransportFactory([this, asServer, settings] {
            auto transport = std::make_unique<CommonObexATSwitchTransportLayer>(nullptr, settings, QVariantMap(),
                                                                                QStringLiteral("Bluetooth"), asServer);
            transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                                SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
                auto made = std::make_unique<FakeSerialATChannel>(dev, delegate, traits);
                FakeSerialATChannel* raw = made.get();
                made->onSend = [this, raw](const QByteArray& bytes) { answer(*raw, bytes); };
                channel = raw;
                return made;
            });
            return transport;
        });
    }

    void answer(FakeSerialATChannel& on, const QByteArray& bytes)
    {
        if (!on.modeObex()) {
            if (atAnswers.contains(bytes))
                on.deliver(atAnswers.value(bytes));
            return;
        }
        if (!phone)
            return;
        const QByteArray reply = phone(bytes);
        if (!reply.isEmpty())
            on.deliver(reply);
    }

    int open()
    {
        int status = 1;
        auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); },
                                                        {});
        const int started = connection->openConnection(callback);
        if (started != 0)
            return started;
        EXPECT_TRUE(runUntil([&] { return status != 1; }, 30));
        return status;
    }

    // The client connected to a phone stating maxPacket.
    void connectClient(uint16_t maxPacket = 0xFF40)
    {
        make(false);
        phone = [maxPacket](const QByteArray& sent) {
            return uint8_t(sent[0]) == obex::kOpConnect ? connectAnswer(maxPacket) : QByteArray();
        };
        ASSERT_EQ(open(), 0);
        ASSERT_TRUE(connection->hasObexConnection());
    }

    struct Ended {
        int count = 0;
        int status = 1;
        QByteArray received;
    };
    std::shared_ptr<ObjectPushCommand> command(int code, const QByteArray& data, Ended& ended)
    {
        return ObjectPushCommand::pushCommandWithData(code, data, this, [&ended](QVDeviceCallback& c) {
            ++ended.count;
            ended.status = c.returnStatus();
            ended.received = static_cast<ObjectPushCommand&>(c).dataReceived();
        });
    }

    QList<QByteArray> obexSent() const
    {
        QList<QByteArray> out;
        if (!channel)
            return out;
        for (const auto& s : channel->sent) {
            if (!s.bytes.startsWith("AT") && !s.bytes.startsWith("+++"))
                out.append(s.bytes);
        }
        return out;
    }

    FakeSession session;
    std::unique_ptr<ObexSyncMLConnection> connection;
    FakeSerialATChannel* channel = nullptr;
    std::function<QByteArray(const QByteArray&)> phone;
    QMap<QByteArray, QByteArray> atAnswers{{"AT&FE0V1\r\n", "\r\nOK\r\n"}, {"AT+CPROT=0\r\n", "\r\nCONNECT\r\n"}};
};

} // namespace

TEST_F(ObexSyncMLConnectionTest, SessionIdsAndHeaderRoom)
{
    make(false);
    EXPECT_EQ(connection->newSessionID(), QStringLiteral("1"));
    EXPECT_EQ(connection->newSessionID(), QStringLiteral("3"));
    EXPECT_EQ(connection->newSessionID(), QStringLiteral("5"));
    EXPECT_EQ(connection->maxLenWithoutHeader(), 65244);
    EXPECT_FALSE(connection->hasConnection());
    EXPECT_FALSE(connection->isServer());
}

TEST_F(ObexSyncMLConnectionTest, ClientConnectsWithTargetAndSplitsALargeMessage)
{
    connectClient();
    const QByteArray connect = obexSent().value(0);
    EXPECT_EQ(connect.left(7), hex("8000151000FF40"));
    EXPECT_TRUE(connect.endsWith(QByteArray(QByteArray("\x46\x00\x0E", 3) + "SYNCML-SYNC")));
    EXPECT_EQ(connection->sessionID(), 7u);
    EXPECT_EQ(connection->maxPacketLength(), 0xFF40);

    QByteArray message(100000, '\0');
    for (int i = 0; i < message.size(); ++i)
        message[i] = char(i * 7);
    phone = [](const QByteArray& sent) { return packet(uint8_t(sent[0]) == obex::kOpPutFinal ? 0xA0 : 0x90, {}); };
    Ended ended;
    auto put = command(ObjectPushCommand::kPutSyncMLWBXML, message, ended);
    ASSERT_EQ(connection->executeCommandSync(put), 0);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 5));
    EXPECT_EQ(ended.status, 0);
    const QList<QByteArray> sent = obexSent();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(uint8_t(sent[1][0]), obex::kOpPut);
    EXPECT_EQ(bodyOf(sent[1]).size(), 65244);
    EXPECT_EQ(uint8_t(sent[2][0]), obex::kOpPutFinal);
    EXPECT_EQ(bodyOf(sent[2]).size(), 34756);
    EXPECT_EQ(bodyOf(sent[1]) + bodyOf(sent[2]), message);
    const auto first = obex::parseHeaders(sent[1].constData() + 3, sent[1].size() - 3);
    ASSERT_TRUE(first);
    EXPECT_EQ(obex::findHeader(*first, obex::kHeaderConnectionID)->number, 7u);
    EXPECT_EQ(obex::findHeader(*first, obex::kHeaderLength)->number, 100000u);
    EXPECT_EQ(obex::findHeader(*first, obex::kHeaderType)->value, QByteArray("application/vnd.syncml+wbxml", 29));
    EXPECT_FALSE(connection->currentCommand());
}

TEST_F(ObexSyncMLConnectionTest, PutAnswerCodesMapToStatuses)
{
    connectClient();
    const std::pair<uint8_t, int> table[] = {{0xA0, 0},    {0x20, 0},    {0x46, -101}, {0x40, -102},
                                             {0x10, -100}, {0xC3, -106}, {0xC4, -103}, {0xD3, -103}};
    for (const auto& [code, status] : table) {
        phone = [code](const QByteArray&) { return packet(code, {}); };
        Ended ended;
        ASSERT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, "msg", ended)), 0);
        ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 5));
        EXPECT_EQ(ended.status, status) << std::hex << int(code);
    }
}

TEST_F(ObexSyncMLConnectionTest, GetCollectsBodyOverContinuesAndRejectsOthers)
{
    connectClient();
    int gets = 0;
    phone = [&gets](const QByteArray&) {
        QByteArray headers;
        if (gets++ == 0) {
            obex::addApplicationParameterHeader(headers, hex("0102"));
            obex::addBodyHeader(headers, "<Sync", false);
            return packet(0x90, headers);
        }
        obex::addBodyHeader(headers, "ML/>", true);
        return packet(0xA0, headers);
    };
    Ended ended;
    auto get = command(ObjectPushCommand::kGetSyncMLWBXML, {}, ended);
    ASSERT_EQ(connection->executeCommandSync(get), 0);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 5));
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(ended.received, QByteArray("<SyncML/>"));
    EXPECT_EQ(get->appParamsAsLong(), 258);
    EXPECT_EQ(obexSent().last(), hex("830003"));

    phone = [](const QByteArray&) { return packet(0xC4, {}); };
    Ended rejected;
    ASSERT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kGetSyncMLWBXML, {}, rejected)), 0);
    ASSERT_TRUE(runUntil([&] { return rejected.count > 0; }, 5));
    EXPECT_EQ(rejected.status, -105);

    // Headers running past the answer end the exchange.
    phone = [](const QByteArray&) { return packet(0xA0, hex("48FFFF41")); };
    Ended malformed;
    ASSERT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kGetSyncMLWBXML, {}, malformed)), 0);
    ASSERT_TRUE(runUntil([&] { return malformed.count > 0; }, 5));
    EXPECT_EQ(malformed.status, obex::kErrBadResponse);
}

TEST_F(ObexSyncMLConnectionTest, ExecuteRefusesWhatItCannotRun)
{
    connectClient();
    phone = nullptr; // the Put stays unanswered
    Ended first, other;
    ASSERT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, "a", first)), 0);
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, "b", other)), -999);
    connection->removeCommand(connection->currentCommand(), 0, false);

    EXPECT_EQ(connection->executeCommandSync(command(9, "x", other)), -887);
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, {}, other)), -888);
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLNotification, {}, other)), -889);
    EXPECT_FALSE(connection->currentCommand());
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kNothing, {}, other)), 0);
    connection->notifyAboutToClose();
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, "c", other)), -1702);
    EXPECT_EQ(other.count, 0);
}

TEST_F(ObexSyncMLConnectionTest, SmallMaximumIsTakenAs255AndConnectWithoutIdFails)
{
    connectClient(64);
    EXPECT_EQ(connection->maxPacketLength(), 255);
    EXPECT_EQ(connection->maxLenWithoutHeader(), 155);

    make(false);
    phone = [](const QByteArray&) { return connectAnswer(0x2000, false); };
    EXPECT_EQ(open(), obex::kErrBadResponse);
    EXPECT_FALSE(connection->hasObexConnection());
}

TEST_F(ObexSyncMLConnectionTest, SecondOpenOfAnOpenServiceEndsItsCallback)
{
    connectClient();
    const qsizetype sentBefore = obexSent().size();
    int status = 1;
    auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {});
    EXPECT_EQ(connection->openSyncMLService(callback), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(obexSent().size(), sentBefore);
}

TEST_F(ObexSyncMLConnectionTest, UnansweredSwitchGivesTheSessionMinus200After15Seconds)
{
    ObexSwitchSettings settings;
    settings.switchToSyncMLCommand = QLatin1String(ObexSwitchSettings::kSyncSwitch);
    make(false, settings);
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(connection->sendSwitchCommandForProperty(0, false), 0);
    EXPECT_EQ(channel->sent.back().bytes, QByteArray("AT+SYNCML=1061\r\n"));
    runFor(14.9);
    EXPECT_TRUE(session.globalErrors.isEmpty());
    runFor(0.2);
    EXPECT_EQ(session.globalErrors, QList<int>{-200});
    EXPECT_EQ(session.finished, QList<int>{-200});
}

TEST_F(ObexSyncMLConnectionTest, UnansweredPutTimesOutWithTheCommandAndTheConnectionInactive)
{
    connectClient();
    connection->setActive(true);
    phone = nullptr;
    Ended ended;
    ASSERT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kPutSyncMLWBXML, "msg", ended)), 0);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 30));
    EXPECT_EQ(ended.status, links::kErrRequestTimeout);
    EXPECT_FALSE(connection->isActive());
    EXPECT_FALSE(connection->hasObexConnection());
}

TEST_F(ObexSyncMLConnectionTest, CloseDisconnectsThenClosesTheTransportAndRefusesASecondClose)
{
    connectClient();
    phone = [](const QByteArray&) { return packet(0xA0, {}); };
    int status = 1;
    auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {});
    ASSERT_EQ(connection->closeConnection(callback), 0);
    EXPECT_EQ(connection->closeConnection(callback), links::kIOReturnExclusiveAccess);
    runFor(0.9);
    EXPECT_EQ(uint8_t(obexSent().last()[0]), obex::kOpConnect);
    ASSERT_TRUE(runUntil([&] { return status != 1; }, 10));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(obexSent().last(), hex("810008CB00000007"));
    EXPECT_FALSE(connection->hasConnection());
    EXPECT_FALSE(connection->isInProgress());
}

// --- server role ---

class ObexSyncMLServerTest : public ObexSyncMLConnectionTest {
protected:
    void SetUp() override
    {
        make(true);
        ASSERT_EQ(open(), 0);
        ASSERT_TRUE(connection->isServer());
    }
    // The phone's request and our answer to it.
    QByteArray request(const QByteArray& bytes)
    {
        const qsizetype before = obexSent().size();
        channel->deliver(bytes);
        EXPECT_TRUE(runUntil([&] { return obexSent().size() > before; }, 2));
        return obexSent().value(before);
    }
    void connectPhone(uint16_t maxPacket = 0x2000)
    {
        QByteArray connect = hex("1000");
        connect.append(char(maxPacket >> 8)).append(char(maxPacket & 0xFF));
        QByteArray target;
        obex::addTargetHeader(target, "SYNCML-SYNC");
        const QByteArray answer = request(packet(0x80, connect + target));
        ASSERT_EQ(uint8_t(answer[0]), 0xA0);
    }
};

TEST_F(ObexSyncMLServerTest, ConnectChecksTheVersionAndAnswersWithWhoAndConnectionId)
{
    EXPECT_EQ(uint8_t(request(packet(0x80, hex("0F002000")))[0]), 0x40);
    EXPECT_FALSE(connection->hasObexConnection());
    EXPECT_EQ(uint8_t(request(packet(0x80, hex("10")))[0]), 0xC0);

    const QByteArray answer = request(packet(0x80, hex("10002000")));
    EXPECT_EQ(answer.left(7), hex("A0001A10002000"));
    const auto headers = obex::parseHeaders(answer.constData() + 7, answer.size() - 7);
    ASSERT_TRUE(headers);
    EXPECT_EQ(obex::findHeader(*headers, obex::kHeaderWho)->value, QByteArray("SYNCML-SYNC"));
    EXPECT_EQ(obex::findHeader(*headers, obex::kHeaderConnectionID)->number, 1u);
    EXPECT_TRUE(connection->hasObexConnection());

    EXPECT_EQ(request(packet(0xFF, {})), hex("400003"));
    EXPECT_EQ(request(packet(0x81, {})), hex("A00003"));
    EXPECT_FALSE(connection->hasObexConnection());
}

TEST_F(ObexSyncMLServerTest, PutIsCollectedAndEndedWithTheBody)
{
    connectPhone();
    QByteArray part1, part2;
    obex::addBodyHeader(part1, "<SyncML>", false);
    obex::addBodyHeader(part2, "</SyncML>", true);
    EXPECT_EQ(request(packet(0x02, part1)), hex("900003"));
    EXPECT_TRUE(session.received.isEmpty());
    EXPECT_EQ(request(packet(0x82, part2)), hex("A00003"));
    ASSERT_TRUE(runUntil([&] { return !session.received.isEmpty(); }, 1));
    EXPECT_EQ(session.received.value(0), QByteArray("<SyncML></SyncML>"));
    EXPECT_EQ(session.receivedStatus.value(0), 0);

    // Headers running past the packet: refused and ended with an error.
    EXPECT_EQ(request(packet(0x82, hex("48FFFF41"))), hex("C00003"));
    ASSERT_TRUE(runUntil([&] { return session.received.size() == 2; }, 1));
    EXPECT_EQ(session.receivedStatus.value(1), obex::kErrBadResponse);
}

TEST_F(ObexSyncMLServerTest, APutEndingAfterItsSessionWentReachesOnlyTheSessionOfThatMoment)
{
    connectPhone();
    QByteArray part1, part2;
    obex::addBodyHeader(part1, "<SyncML>", false);
    obex::addBodyHeader(part2, "</SyncML>", true);
    EXPECT_EQ(request(packet(0x02, part1)), hex("900003"));
    // The session is let go while the phone is still sending its message.
    connection->setSyncDelegate(nullptr);
    EXPECT_EQ(request(packet(0x82, part2)), hex("A00003"));
    runFor(0.2);
    EXPECT_TRUE(session.received.isEmpty()) << "the session that started the message is gone";

    // The next message reaches the session then in charge.
    FakeSession next;
    connection->setSyncDelegate(&next);
    EXPECT_EQ(request(packet(0x82, part1 + part2)), hex("A00003"));
    ASSERT_TRUE(runUntil([&] { return !next.received.isEmpty(); }, 1));
    EXPECT_TRUE(session.received.isEmpty());
}

TEST_F(ObexSyncMLServerTest, APhoneThatLeavesMidSessionEndsTheSessionWaitingForIt)
{
    connectPhone();
    QByteArray part;
    obex::addBodyHeader(part, "<SyncML></SyncML>", true);
    EXPECT_EQ(request(packet(0x82, part)), hex("A00003"));
    EXPECT_EQ(request(packet(0x81, {})), hex("A00003"));
    EXPECT_TRUE(session.finished.isEmpty()) << "not at once: its last answer may still be going out";
    runFor(1.1);
    EXPECT_EQ(session.finished, QList<int>{links::kErrNotConnected});

    // A phone that comes back within the grace keeps its session.
    session.finished.clear();
    connectPhone();
    EXPECT_EQ(request(packet(0x81, {})), hex("A00003"));
    connectPhone();
    runFor(1.1);
    EXPECT_TRUE(session.finished.isEmpty());
}

TEST_F(ObexSyncMLServerTest, GetReachesTheSessionThenTheAnswerGoesInParts)
{
    connectPhone(255);
    const QByteArray message(400, 'w');
    Ended ended;
    session.onGet = [&] {
        connection->executeCommandSync(command(ObjectPushCommand::kServerGetResponse, message, ended));
    };
    const QByteArray first = request(packet(0x83, {}));
    EXPECT_EQ(session.getRequests, 1);
    EXPECT_EQ(uint8_t(first[0]), 0x90);
    QByteArray collected = bodyOf(first);
    EXPECT_LE(first.size(), 255);
    EXPECT_LE(collected.size(), connection->maxLenWithoutHeader());
    QByteArray last = first;
    for (int i = 0; i < 10 && uint8_t(last[0]) == 0x90; ++i) {
        last = request(packet(0x83, {}));
        EXPECT_LE(last.size(), 255);
        collected += bodyOf(last);
    }
    EXPECT_EQ(uint8_t(last[0]), 0xA0);
    EXPECT_EQ(collected, message);
    EXPECT_EQ(session.getRequests, 1);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 1));
    EXPECT_EQ(ended.status, 0);
}

TEST_F(ObexSyncMLServerTest, ResponseThatDoesNotGoOutEndsItsCommandWithTheSendFailure)
{
    connectPhone();
    QByteArray body;
    obex::addBodyHeader(body, "x", true);
    channel->failSends = true;
    channel->deliver(packet(0x82, body));
    ASSERT_TRUE(runUntil([&] { return !session.received.isEmpty(); }, 2));
    EXPECT_EQ(session.receivedStatus.value(0), links::kIOReturnIOError);

    Ended ended;
    EXPECT_EQ(connection->executeCommandSync(command(ObjectPushCommand::kServerGetResponse, "answer", ended)),
              links::kIOReturnIOError);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 1));
    EXPECT_EQ(ended.status, links::kIOReturnIOError);
}

TEST_F(ObexSyncMLConnectionTest, CancelledExchangeSendsOneAbortAndItsAnswerEndsIt)
{
    connectClient();
    int aborts = 0;
    phone = [&aborts](const QByteArray& sent) {
        if (uint8_t(sent[0]) == obex::kOpAbort) {
            ++aborts;
            return packet(0xA0, {});
        }
        return packet(0x90, {});
    };
    Ended ended;
    connection->notifyAboutToClose();
    EXPECT_TRUE(connection->isCanceled());
    // Sent before the cancel took effect: the phone's continue finds us closing.
    auto put = command(ObjectPushCommand::kPutSyncMLWBXML, QByteArray(100000, 'm'), ended);
    connection->rememberCommand(put);
    QByteArray headers;
    obex::addConnectionIDHeader(headers, connection->sessionID());
    ASSERT_EQ(connection->obexSession()->OBEXPut(false, headers.constData(), int(headers.size()), "m", 1,
                                                 connection->eventHandler(), put->asVariant()),
              0);
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 5));
    runFor(1);
    EXPECT_EQ(ended.count, 1);
    EXPECT_EQ(ended.status, -1702);
    EXPECT_EQ(aborts, 1);
}

TEST_F(ObexSyncMLConnectionTest, UnansweredAbortIsBoundedAndEndsTheCommandAsTimedOut)
{
    connectClient();
    phone = [](const QByteArray& sent) {
        return uint8_t(sent[0]) == obex::kOpAbort || uint8_t(sent[0]) == obex::kOpDisconnect ? QByteArray()
                                                                                             : packet(0x90, {});
    };
    Ended ended;
    auto put = command(ObjectPushCommand::kPutSyncMLWBXML, QByteArray(100000, 'm'), ended);
    connection->rememberCommand(put);
    connection->notifyAboutToClose();
    ASSERT_EQ(
        connection->obexSession()->OBEXPut(false, nullptr, 0, "m", 1, connection->eventHandler(), put->asVariant()), 0);
    const double start = platform::Clock::instance().now();
    ASSERT_TRUE(runUntil([&] { return ended.count > 0; }, 30));
    EXPECT_LE(platform::Clock::instance().now() - start, ObexATSwitchTransportLayer::kRequestTimeout + 5);
    EXPECT_EQ(ended.status, links::kErrRequestTimeout);
    runFor(5);
    EXPECT_EQ(ended.count, 1);
    EXPECT_FALSE(connection->obexSession()->hasOpenTransportConnection());
}

TEST_F(ObexSyncMLServerTest, PutPastSixteenMegabytesIsRefusedAndNothingMoreKept)
{
    connectPhone(0xFFFF);
    const QByteArray chunk(65000, 'p');
    QByteArray headers;
    obex::addBodyHeader(headers, chunk, false);
    const QByteArray part = packet(0x02, headers);
    QByteArray answer;
    int sent = 0;
    for (; sent < 300; ++sent) {
        answer = request(part);
        if (uint8_t(answer[0]) != 0x90)
            break;
    }
    EXPECT_EQ(uint8_t(answer[0]), 0xC3);
    EXPECT_EQ(sent, int(ObexSyncMLConnection::kMaxCollected / chunk.size()));
    ASSERT_TRUE(runUntil([&] { return !session.received.isEmpty(); }, 1));
    EXPECT_EQ(session.receivedStatus.value(0), -106);
    // The rest of that message is answered and dropped; the next one is taken again.
    EXPECT_EQ(uint8_t(request(part)[0]), 0xC3);
    QByteArray last;
    obex::addBodyHeader(last, "end", true);
    EXPECT_EQ(uint8_t(request(packet(0x82, last))[0]), 0xC3);
    EXPECT_EQ(uint8_t(request(packet(0x82, last))[0]), 0xA0);
    ASSERT_TRUE(runUntil([&] { return session.received.size() == 2; }, 1));
    EXPECT_EQ(session.received.value(1), QByteArray("end"));
}

TEST_F(ObexSyncMLConnectionTest, GigasetIrMCCloseParksTheChannelAndTheNextOpenReusesIt)
{
    ObexSwitchSettings gigaset;
    gigaset.isGigaset = true;
    make(false, gigaset);
    phone = [](const QByteArray& sent) {
        return uint8_t(sent[0]) == obex::kOpConnect ? connectAnswer(0x2000) : packet(0xA0, {});
    };
    ASSERT_EQ(open(), 0);
    FakeSerialATChannel* first = channel;
    int closed = 1;
    auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { closed = c.returnStatus(); }, {});
    ASSERT_EQ(connection->closeConnection(callback), 0);
    ASSERT_TRUE(runUntil([&] { return closed != 1; }, 10));
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(parkedChannel(), first);

    ASSERT_EQ(open(), 0);
    EXPECT_EQ(parkedChannel(), nullptr);
    EXPECT_EQ(channel, first); // no new channel made
    EXPECT_TRUE(connection->hasObexConnection());
}
