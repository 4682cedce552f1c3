#include "links/BTObexSession.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/QVDeviceCallback.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include "BluetoothPhoneFixture.h"

using testing_support::runUntil;

namespace {

// Records the events of one request after another.
struct Events {
    QList<OBEXSessionEvent> events;
    QList<QByteArray> headers;
    OBEXSessionEventHandler handler()
    {
        return [this](const OBEXSessionEvent& event) {
            events.append(event);
            headers.append(event.response.headerDataPtr
                               ? QByteArray(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                            qsizetype(event.response.headerDataLength))
                               : QByteArray());
        };
    }
    bool waitFor(int count)
    {
        return runUntil([&] { return events.size() >= count; }, 30.0);
    }
};

class BTObexSessionTest : public BluetoothPhoneFixture {
protected:
    std::unique_ptr<BTObexSession> openSession(quint8 channel)
    {
        auto session = std::make_unique<BTObexSession>(nullptr, connectionDict(), channel);
        int status = 1;
        auto done = QVDeviceCallback::commandObject(this, [&status](QVDeviceCallback& c) { status = c.returnStatus(); },
                                                    {});
        EXPECT_EQ(session->openTransportLayer(done), 0);
        EXPECT_TRUE(runUntil([&] { return status != 1; }, 10.0));
        EXPECT_EQ(status, 0);
        return session;
    }
};

} // namespace

TEST_F(BTObexSessionTest, IrMCConnectGetAndDisconnectWithoutAnyATLine)
{
    addPhone("sonyericsson");
    sim->modifyObexServer([](phonesim::ObexServer& server) {
        server.putFile(QStringLiteral("/telecom/pb/0.vcf"), QByteArray("BEGIN:VCARD\r\nN:Nobody\r\nEND:VCARD\r\n"));
    });
    const quint8 channel = platform::irmcChannel(*platform::btDeviceForAddress(address()));
    ASSERT_EQ(channel, 4);
    auto session = openSession(channel);
    ASSERT_TRUE(session->hasOpenTransportConnection());
    EXPECT_TRUE(session->modeObex());
    EXPECT_FALSE(session->hasOpenOBEXConnection());

    Events events;
    QByteArray target;
    obex::addTargetHeader(target, QByteArray("IRMC-SYNC"));
    ASSERT_EQ(session->OBEXConnect(0, 0x2000, target.constData(), int(target.size()), events.handler()), 0);
    ASSERT_TRUE(events.waitFor(1));
    EXPECT_EQ(events.events[0].type, obex::kEventConnectResponse);
    EXPECT_EQ(events.events[0].response.serverResponseOpCode, obex::kResponseSuccess);
    EXPECT_TRUE(session->hasOpenOBEXConnection());
    const auto connectHeaders = obex::parseHeaders(events.headers[0]);
    ASSERT_TRUE(connectHeaders);
    const obex::Header* who = obex::findHeader(*connectHeaders, obex::kHeaderWho);
    ASSERT_NE(who, nullptr);
    EXPECT_EQ(who->value, QByteArray("IRMC-SYNC"));
    const obex::Header* id = obex::findHeader(*connectHeaders, obex::kHeaderConnectionID);
    ASSERT_NE(id, nullptr);

    QByteArray get;
    obex::addConnectionIDHeader(get, id->number);
    obex::addNameHeader(get, QStringLiteral("telecom/pb/0.vcf"));
    ASSERT_EQ(session->OBEXGet(true, get.constData(), int(get.size()), events.handler()), 0);
    ASSERT_TRUE(events.waitFor(2));
    EXPECT_EQ(events.events[1].type, obex::kEventGetResponse);
    EXPECT_EQ(events.events[1].response.serverResponseOpCode, obex::kResponseSuccess);
    const auto getHeaders = obex::parseHeaders(events.headers[1]);
    ASSERT_TRUE(getHeaders);
    const obex::Header* body = obex::findHeader(*getHeaders, obex::kHeaderEndOfBody);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->value, QByteArray("BEGIN:VCARD\r\nN:Nobody\r\nEND:VCARD\r\n"));

    QByteArray disconnect;
    obex::addConnectionIDHeader(disconnect, id->number);
    ASSERT_EQ(session->OBEXDisconnect(disconnect.constData(), int(disconnect.size()), events.handler()), 0);
    ASSERT_TRUE(events.waitFor(3));
    EXPECT_EQ(events.events[2].type, obex::kEventDisconnectResponse);
    EXPECT_FALSE(session->hasOpenOBEXConnection());

    bool closed = false;
    auto done = QVDeviceCallback::commandObject(this, [&closed](QVDeviceCallback&) { closed = true; }, {});
    EXPECT_EQ(session->closeTransportLayer(done), 0);
    EXPECT_TRUE(runUntil([&] { return closed; }, 10.0));
    EXPECT_FALSE(session->hasOpenTransportConnection());
    EXPECT_TRUE(sim->receivedLines().isEmpty());
    EXPECT_EQ(sim->obexServer().lastTarget(), QByteArray("IRMC-SYNC"));
}

TEST_F(BTObexSessionTest, PutBodyRoomLeavesSpaceForPrefixHeadersAndBodyHeader)
{
    addPhone("sonyericsson");
    sim->modifyObexServer([](phonesim::ObexServer& server) { server.setMaxPacket(300); });
    auto session = openSession(platform::obexObjectPushChannel(*platform::btDeviceForAddress(address())));
    Events events;
    ASSERT_EQ(session->OBEXConnect(0, 0x2000, nullptr, 0, events.handler()), 0);
    ASSERT_TRUE(events.waitFor(1));
    EXPECT_EQ(session->getMaxPacketLength(), 300);

    QByteArray headers;
    obex::addNameHeader(headers, QStringLiteral("a.txt"));
    const int room = session->putBodyRoom(int(headers.size()));
    EXPECT_EQ(room, 300 - 3 - int(headers.size()) - 3);
    const QByteArray body(room, 'x');
    ASSERT_EQ(
        session->OBEXPut(true, headers.constData(), int(headers.size()), body.constData(), room, events.handler()), 0);
    ASSERT_TRUE(events.waitFor(2));
    EXPECT_EQ(events.events[1].response.serverResponseOpCode, obex::kResponseSuccess);
    EXPECT_EQ(sim->obexServer().files().value(QStringLiteral("/a.txt")), body);
    // One byte more no longer fits the phone's packet.
    EXPECT_NE(
        session->OBEXPut(true, headers.constData(), int(headers.size()), body.constData(), room + 1, events.handler()),
        0);
}

TEST_F(BTObexSessionTest, ChannelWithoutServiceFailsTheOpen)
{
    addPhone("sonyericsson");
    BTObexSession session(nullptr, connectionDict(), 29);
    int status = 1;
    auto done = QVDeviceCallback::commandObject(this, [&status](QVDeviceCallback& c) { status = c.returnStatus(); },
                                                {});
    const int direct = session.openTransportLayer(done);
    if (direct == 0) {
        EXPECT_TRUE(runUntil([&] { return status != 1; }, 10.0));
    }
    EXPECT_TRUE(direct != 0 || status != 0);
    EXPECT_FALSE(session.hasOpenTransportConnection());
}
