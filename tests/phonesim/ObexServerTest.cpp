// The simulated phone's OBEX server: each connection begins at the root; a
// channel of its own speaks OBEX from its first byte.
#include "ObexServer.h"

#include <gtest/gtest.h>

using phonesim::ObexServer;

namespace {

QByteArray withLength(quint8 opcode, const QByteArray& rest)
{
    const int length = 3 + int(rest.size());
    return QByteArray(1, char(opcode)) + char(length >> 8) + char(length & 0xFF) + rest;
}

QByteArray header(quint8 id, const QByteArray& value)
{
    const int length = 3 + int(value.size());
    return QByteArray(1, char(id)) + char(length >> 8) + char(length & 0xFF) + value;
}

QByteArray nameHeader(const char* name)
{
    QByteArray utf16;
    for (const char* c = name; *c; ++c)
        utf16.append('\0').append(*c);
    return header(0x01, utf16 + QByteArray(2, '\0'));
}

// The response code of the one answer to packet.
int answer(ObexServer& server, const QByteArray& packet)
{
    const ObexServer::Output out = server.input(packet);
    return out.answers.size() == 1 ? quint8(out.answers.first()[0]) : -1;
}

const QByteArray kConnect = withLength(0x80, QByteArray::fromHex("10002000"));
const QByteArray kDisconnect = withLength(0x81, {});

QByteArray setPath(const char* name, quint8 flags)
{
    return withLength(0x85, QByteArray(1, char(flags)) + '\0' + (name ? nameHeader(name) : QByteArray()));
}

QByteArray put(const char* name)
{
    return withLength(0x82, nameHeader(name) + header(0x49, "data"));
}

} // namespace

TEST(ObexServerTest, EachConnectStartsAtTheRoot)
{
    ObexServer server;
    ASSERT_EQ(answer(server, kConnect), 0xA0);
    ASSERT_EQ(answer(server, setPath("Music", 0x00)), 0xA0);
    ASSERT_EQ(answer(server, put("a.txt")), 0xA0);
    ASSERT_EQ(answer(server, kDisconnect), 0xA0);

    ASSERT_EQ(answer(server, kConnect), 0xA0);
    ASSERT_EQ(answer(server, put("b.txt")), 0xA0);
    // At the root there is no parent to go up to.
    EXPECT_EQ(answer(server, setPath(nullptr, 0x03)), 0xC4);
    EXPECT_EQ(server.files().keys(), (QStringList{QStringLiteral("/Music/a.txt"), QStringLiteral("/b.txt")}));

    // A Connect without a Disconnect before it (a new link) starts there too.
    ASSERT_EQ(answer(server, setPath("Music", 0x02)), 0xA0);
    ASSERT_EQ(answer(server, kConnect), 0xA0);
    EXPECT_EQ(answer(server, setPath(nullptr, 0x03)), 0xC4);
}

TEST(ObexServerTest, ChannelOfItsOwnSpeaksOBEXAndAnswersASyncMLGetWithTheCannedMessage)
{
    ObexServer server;
    server.enterObexMode();
    EXPECT_TRUE(server.obexMode());
    const QByteArray connect =
        server.input(withLength(0x80, QByteArray::fromHex("10002000") + header(0x46, "SYNCML-SYNC"))).answers.value(0);
    EXPECT_EQ(quint8(connect[0]), 0xA0);
    EXPECT_EQ(server.lastTarget(), QByteArray("SYNCML-SYNC"));

    const QByteArray get = withLength(0x83, header(0x42, QByteArray("application/vnd.syncml+wbxml", 29)));
    EXPECT_EQ(quint8(server.input(get).answers.value(0)[0]), 0xC4); // nothing canned yet

    // The canned answer: WBXML 1.3 of the SyncML 1.1 document type.
    const QByteArray message = ObexServer::cannedSyncMLMessage(QStringLiteral("syncml-answer"));
    ASSERT_GT(message.size(), 4);
    EXPECT_EQ(message.left(3), QByteArray("\x03\x9F\x53", 3));
    EXPECT_FALSE(ObexServer::cannedSyncMLMessage(QStringLiteral("syncml-client")).isEmpty());
    EXPECT_TRUE(ObexServer::cannedSyncMLMessage(QStringLiteral("none")).isEmpty());
    server.setSyncMLAnswer(message);
    const QByteArray cannedAnswer = server.input(get).answers.value(0);
    EXPECT_EQ(quint8(cannedAnswer[0]), 0xA0);
    EXPECT_TRUE(cannedAnswer.endsWith(header(0x49, message)));
}

// A session the line switched on with AT+CPROT=0 ends with its Disconnect and
// leaves the line in AT mode; a channel of its own stays an OBEX channel.
TEST(ObexServerTest, OnlyACPROTSessionEndsWithItsDisconnect)
{
    {
        ObexServer server;
        ASSERT_TRUE(server.atLine("AT+CPROT=0"));
        ASSERT_TRUE(server.obexMode());
        ASSERT_EQ(answer(server, kConnect), 0xA0);
        const ObexServer::Output out = server.input(kDisconnect);
        ASSERT_EQ(out.answers.size(), 1);
        EXPECT_EQ(quint8(out.answers.first()[0]), 0xA0) << "the Disconnect is answered first";
        EXPECT_TRUE(out.hangup);
        EXPECT_FALSE(server.obexMode());
        // Switched on again, the next session begins afresh.
        ASSERT_TRUE(server.atLine("AT+CPROT=0"));
        EXPECT_EQ(answer(server, kConnect), 0xA0);
    }
    {
        ObexServer server;
        server.enterObexMode();
        ASSERT_EQ(answer(server, kConnect), 0xA0);
        const ObexServer::Output out = server.input(kDisconnect);
        EXPECT_FALSE(out.hangup);
        EXPECT_TRUE(server.obexMode());
        EXPECT_EQ(answer(server, kConnect), 0xA0);
    }
}
