#include "links/SamsungATConnection.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObjectPushCommand.h"

#include "FakeSerialATChannel.h"
#include "LinkTestSupport.h"
#include "MobexStore.h"
#include "ObexServer.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>

using testing_support::runFor;
using testing_support::runUntil;

namespace {

QByteArray samsungPacket(uint8_t code, const QByteArray& rest)
{
    QByteArray out(3, '\0');
    out[0] = char(code);
    out[1] = char((rest.size() + 3) >> 8);
    out[2] = char((rest.size() + 3) & 0xFF);
    return out + rest;
}

struct SamsungRequest {
    uint8_t opcode = 0;
    QByteArray type;
    QByteArray params;
    QByteArray body;
    bool hasConnectionId = false;
    bool hasParams = false;
};

SamsungRequest readSamsungRequest(const QByteArray& packet)
{
    SamsungRequest r;
    r.opcode = uint8_t(packet[0]);
    const auto headers = obex::parseHeaders(packet.constData() + 3, packet.size() - 3);
    if (!headers)
        return r;
    for (const obex::Header& h : *headers) {
        if (h.identifier == obex::kHeaderType)
            r.type = h.value.left(h.value.size() - 1);
        if (h.identifier == obex::kHeaderAppParameters) {
            r.params = h.value;
            r.hasParams = true;
        }
        if (h.identifier == obex::kHeaderBody || h.identifier == obex::kHeaderEndOfBody)
            r.body += h.value;
        if (h.identifier == obex::kHeaderConnectionID)
            r.hasConnectionId = true;
    }
    return r;
}

// The connection on the AT-switched codec over an in-process channel whose
// far end is phonesim's OBEX server with a MOBEX store; a test may answer
// OBEX packets itself through phone.
class SamsungATConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { server.setMobexStore(phonesim::MobexStore()); }
    void TearDown() override
    {
        connection.reset();
        freeParkedChannel();
    }

    void make(bool isSamsung = false, uint16_t phoneMax = 0x2000)
    {
        server.setMaxPacket(phoneMax);
        ObexSwitchSettings settings;
        settings.usesSamsungATConnections = true;
        settings.isSamsungAT = true;
        SamsungATConnection::SamsungHooks hooks;
        hooks.pauseAfterNormalClose = [] { return 1.0; };
        hooks.isSamsung = isSamsung;
        connection = std::make_unique<SamsungATConnection>(
            nullptr,
            [this, settings] {
                auto transport = std::make_unique<CommonObexATSwitchIrMCTransportLayer>(
                    nullptr, settings, QVariantMap(), QStringLiteral("Bluetooth"), false);
                transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                                    SerialDelegateProtocol* delegate,
                                                    SerialATChannel::PhoneTraits traits) {
                    auto made = std::make_unique<FakeSerialATChannel>(dev, delegate, traits);
                    FakeSerialATChannel* raw = made.get();
                    made->onSend = [this, raw](const QByteArray& bytes) { answer(*raw, bytes); };
                    channel = raw;
                    return made;
                });
                return transport;
            },
            hooks);
    }

    void answer(FakeSerialATChannel& on, const QByteArray& bytes)
    {
        if (!on.modeObex()) {
            const QByteArray line = bytes.trimmed();
            if (auto reply = server.atLine(line)) {
                on.deliver(reply->answer);
                return;
            }
            on.deliver("\r\nOK\r\n");
            return;
        }
        if (phone) {
            const QByteArray reply = phone(bytes);
            if (!reply.isEmpty()) {
                on.deliver(reply);
                return;
            }
        }
        for (const QByteArray& reply : server.input(bytes).answers)
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

    struct Ended {
        int count = 0;
        int status = 1;
        QByteArray received;
        QByteArray params;
    };
    std::shared_ptr<ObjectPushCommand> command(Ended& ended, const QByteArray& data = {})
    {
        return ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kNothing, data, this,
                                                      [&ended](QVDeviceCallback& c) {
                                                          auto& command = static_cast<ObjectPushCommand&>(c);
                                                          ++ended.count;
                                                          ended.status = c.returnStatus();
                                                          ended.received = command.dataReceived();
                                                          ended.params = command.appParams();
                                                      });
    }
    bool wait(const Ended& ended)
    {
        return runUntil([&] { return ended.count > 0; }, 30);
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

    phonesim::ObexServer server;
    std::unique_ptr<SamsungATConnection> connection;
    FakeSerialATChannel* channel = nullptr;
    std::function<QByteArray(const QByteArray&)> phone;
};

} // namespace

TEST(SamsungATConnectionTypes, PathsAndTypesPerOrganizerType)
{
    EXPECT_EQ(SamsungATConnection::mobexProperty(0), QByteArray("m-obex/contacts/"));
    EXPECT_EQ(SamsungATConnection::mobexProperty(1), QByteArray("m-obex/calendar/"));
    EXPECT_TRUE(SamsungATConnection::mobexProperty(2).isEmpty());
    EXPECT_EQ(SamsungATConnection::propertyMobexCount(1), QByteArray("m-obex/calendar/count"));
    EXPECT_EQ(SamsungATConnection::propertyMobexCreate(0), QByteArray("m-obex/contacts/create"));
    EXPECT_TRUE(SamsungATConnection::propertyMobexWrite(2).isEmpty());
    EXPECT_EQ(SamsungATConnection::indexParams(1, 300), hex("01012C"));
}

TEST_F(SamsungATConnectionTest, OpensWithTheSwitchAndAMobexConnect)
{
    make();
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(connection->hasMobexSession());
    // The AT switch, then the Connect asking for 8,192 with Target "MOBEX".
    bool switched = false;
    for (const auto& s : channel->sent)
        switched = switched || s.bytes == "AT+SYNCML=MOBEXSTART\r\n";
    EXPECT_TRUE(switched);
    const QByteArray connect = obexSent().value(0);
    EXPECT_EQ(connect.left(7), hex("80000F10002000"));
    EXPECT_TRUE(connect.endsWith(QByteArray("\x46\x00\x08MOBEX", 8)));
    EXPECT_EQ(connection->maxPacketLength(), 0x2000);
    EXPECT_EQ(connection->maxLenWithoutHeader(), 0x2000 - 32);

    // A second open of the open session ends at once with 0.
    int second = 1;
    EXPECT_EQ(connection->OpenSamsungObexService(
                  QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { second = c.returnStatus(); }, {})),
              0);
    EXPECT_EQ(second, 0);

    // So does a second open of the whole connection, which keeps its session.
    EXPECT_EQ(open(), 0);
    EXPECT_TRUE(connection->hasMobexSession());
    Ended count;
    ASSERT_EQ(connection->requestPropertyCount(command(count), 0, 1), 0);
    ASSERT_TRUE(wait(count));
    EXPECT_EQ(count.status, 0);
}

TEST_F(SamsungATConnectionTest, ARefusedMobexConnectLeavesTheConnectionClosedAndOpenableAgain)
{
    make();
    server.setRefusedTarget("MOBEX");
    EXPECT_NE(open(), 0);
    EXPECT_FALSE(connection->hasMobexSession());
    EXPECT_FALSE(connection->hasConnection());
    server.setRefusedTarget({});
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(connection->hasMobexSession());
}

TEST_F(SamsungATConnectionTest, RequestsCarryTypeAndParameters)
{
    make();
    ASSERT_EQ(open(), 0);
    server.mobexStore()->put(0, 1, 300, "BEGIN:VCARD\r\nN:Far;Away\r\nEND:VCARD\r\n");

    Ended count;
    ASSERT_EQ(connection->requestPropertyCount(command(count), 1, 2), 0);
    ASSERT_TRUE(wait(count));
    SamsungRequest sent = readSamsungRequest(obexSent().last());
    EXPECT_EQ(sent.opcode, obex::kOpGetFinal);
    EXPECT_EQ(sent.type, QByteArray("m-obex/calendar/count"));
    EXPECT_EQ(sent.params, hex("02"));
    EXPECT_TRUE(sent.hasConnectionId);
    EXPECT_EQ(count.status, 0);
    EXPECT_EQ(count.params, hex("0000"));
    EXPECT_EQ(count.received.size(), 4);

    Ended read;
    ASSERT_EQ(connection->requestPropertyRead(command(read), 300, 0, 1), 0);
    ASSERT_TRUE(wait(read));
    sent = readSamsungRequest(obexSent().last());
    EXPECT_EQ(sent.type, QByteArray("m-obex/contacts/read"));
    EXPECT_EQ(sent.params, hex("01012C"));
    EXPECT_TRUE(read.received.contains("Far;Away"));

    // Delete of record 300 names 300, not 44.
    server.mobexStore()->put(0, 1, 44, "BEGIN:VCARD\r\nN:Near\r\nEND:VCARD\r\n");
    Ended erase;
    ASSERT_EQ(connection->sendPropertyDelete(command(erase), 300, 0, 1), 0);
    ASSERT_TRUE(wait(erase));
    sent = readSamsungRequest(obexSent().last());
    EXPECT_EQ(sent.opcode, obex::kOpPutFinal);
    EXPECT_EQ(sent.type, QByteArray("m-obex/contacts/delete"));
    EXPECT_EQ(sent.params, hex("01012C"));
    EXPECT_TRUE(sent.body.isEmpty());
    EXPECT_EQ(erase.status, 0);
    EXPECT_FALSE(server.mobexStore()->records(0, 1).contains(300));
    EXPECT_TRUE(server.mobexStore()->records(0, 1).contains(44));

    // Info without parameters sends none; an organizer type without path sends nothing.
    Ended info;
    ASSERT_EQ(connection->requestPropertyInfo(command(info), 1, QByteArray()), 0);
    ASSERT_TRUE(wait(info));
    EXPECT_FALSE(readSamsungRequest(obexSent().last()).hasParams);
    const qsizetype before = obexSent().size();
    Ended none;
    EXPECT_EQ(connection->requestPropertyCount(command(none), 2, 1), SamsungATConnection::kNoObjectPath);
    EXPECT_EQ(obexSent().size(), before);
    EXPECT_FALSE(connection->currentCommand());
}

TEST_F(SamsungATConnectionTest, ALongReplaceIsChunkedToThePhonesMaximum)
{
    make(false, 4096);
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(connection->maxPacketLength(), 4096);
    QByteArray text(10000, 'x');
    for (int i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    server.mobexStore()->put(0, 1, 5, "old");
    Ended ended;
    ASSERT_EQ(connection->sendPropertyReplace(command(ended, text), 5, 0, 1), 0);
    ASSERT_TRUE(wait(ended));
    EXPECT_EQ(ended.status, 0);
    QList<QByteArray> puts = obexSent().mid(1);
    ASSERT_GE(puts.size(), 3);
    QByteArray body;
    for (int i = 0; i < puts.size(); ++i) {
        EXPECT_LE(puts[i].size(), 4096);
        const SamsungRequest r = readSamsungRequest(puts[i]);
        if (i == 0)
            EXPECT_EQ(r.body.size(), 4049);
        else
            EXPECT_LE(r.body.size(), 4090);
        EXPECT_EQ(r.opcode, i + 1 == puts.size() ? obex::kOpPutFinal : obex::kOpPut) << i;
        body += r.body;
    }
    EXPECT_EQ(body, text);
    EXPECT_EQ(server.mobexStore()->records(0, 1).value(5), text);

    // A create leaves one byte more room (one-byte parameters).
    Ended add;
    ASSERT_EQ(connection->sendPropertyAdd(command(add, text), 0, 1), 0);
    ASSERT_TRUE(wait(add));
    EXPECT_EQ(readSamsungRequest(obexSent().at(puts.size() + 1)).body.size(), 4050);
    EXPECT_EQ(add.received.size(), 2);
}

TEST_F(SamsungATConnectionTest, AnswerCodesBecomeStatuses)
{
    make();
    ASSERT_EQ(open(), 0);
    struct Case {
        bool put;
        uint8_t code;
        int status;
    };
    const Case table[] = {
        {true, 0xA0, 0},    {true, 0x20, 0},    {true, 0x46, -101}, {true, 0x40, -102},  {true, 0x10, -100},
        {true, 0xC3, -106}, {true, 0xC4, -103}, {false, 0xA0, 0},   {false, 0xC0, -105}, {false, 0xC4, -105},
    };
    for (const Case& c : table) {
        phone = [code = c.code](const QByteArray&) { return samsungPacket(code, {}); };
        Ended ended;
        const int sent = c.put ? connection->sendPropertyDelete(command(ended), 1, 0, 1)
                               : connection->requestPropertyCount(command(ended), 0, 1);
        ASSERT_EQ(sent, 0);
        ASSERT_TRUE(wait(ended));
        EXPECT_EQ(ended.status, c.status) << (c.put ? "put " : "get ") << std::hex << int(c.code);
    }
}

TEST_F(SamsungATConnectionTest, ATransportDeathDropsTheSession)
{
    make();
    ASSERT_EQ(open(), 0);
    Ended ended;
    auto get = command(ended);
    connection->rememberCommand(get);
    EXPECT_EQ(connection->removeCommand(get, links::kErrTransportDied, true), links::kErrTransportDied);
    EXPECT_FALSE(connection->hasMobexSession());
    ASSERT_TRUE(wait(ended));
    EXPECT_EQ(ended.status, links::kErrTransportDied);
}

TEST_F(SamsungATConnectionTest, CloseDisconnectsAndRefusesASecondClose)
{
    for (const bool isSamsung : {false, true}) {
        make(isSamsung);
        ASSERT_EQ(open(), 0);
        int closed = 1;
        auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { closed = c.returnStatus(); },
                                                        {});
        ASSERT_EQ(connection->closeConnection(callback), 0);
        EXPECT_EQ(connection->closeConnection(QVDeviceCallback::commandObject(this, [](QVDeviceCallback&) {}, {})),
                  links::kIOReturnExclusiveAccess);
        ASSERT_TRUE(runUntil([&] { return closed != 1; }, 10));
        EXPECT_EQ(closed, 0);
        const QByteArray disconnect = obexSent().last();
        EXPECT_EQ(uint8_t(disconnect[0]), obex::kOpDisconnect);
        // A Samsung family phone gets its Disconnect without headers.
        EXPECT_EQ(disconnect.size() == 3, isSamsung);
        EXPECT_FALSE(connection->hasMobexSession());
        EXPECT_FALSE(connection->hasConnection());
        connection.reset();
        freeParkedChannel();
        server = phonesim::ObexServer();
        server.setMobexStore(phonesim::MobexStore());
    }
}

TEST_F(SamsungATConnectionTest, ACancelledExchangeEndsWithTheAbortAnswer)
{
    make();
    ASSERT_EQ(open(), 0);
    int aborts = 0;
    phone = [&aborts](const QByteArray& sent) {
        if (uint8_t(sent[0]) == obex::kOpAbort) {
            ++aborts;
            return samsungPacket(0xA0, {});
        }
        if (uint8_t(sent[0]) == obex::kOpGetFinal)
            return samsungPacket(0x90, {});
        return QByteArray();
    };
    Ended ended;
    connection->notifyAboutToClose();
    // Sent before the cancel is noticed: the answer comes while cancelled.
    auto get = command(ended);
    connection->rememberCommand(get);
    OBEXSessionEvent event;
    event.type = obex::kEventGetResponse;
    event.response.serverResponseOpCode = 0x90;
    event.refCon = get->asVariant();
    connection->commandSentCallback(event);
    ASSERT_TRUE(wait(ended));
    EXPECT_EQ(ended.status, -1702);
    runFor(2);
    EXPECT_EQ(aborts, 1);
}
