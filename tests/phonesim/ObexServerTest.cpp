#include "ObexServer.h"

#include <gtest/gtest.h>

using phonesim::ObexServer;

namespace {

QByteArray packet(quint8 code, const QByteArray& rest)
{
    const int length = int(rest.size()) + 3;
    return QByteArray(1, char(code)) + char(length >> 8) + char(length & 0xFF) + rest;
}

QByteArray textHeader(quint8 id, const QByteArray& value)
{
    const int length = int(value.size()) + 3;
    return QByteArray(1, char(id)) + char(length >> 8) + char(length & 0xFF) + value;
}

} // namespace

TEST(ObexServerTest, ChannelOfItsOwnSpeaksOBEXAndAnswersASyncMLGetWithTheCannedMessage)
{
    ObexServer server;
    server.enterObexMode();
    EXPECT_TRUE(server.obexMode());
    const QByteArray connect =
        server.input(packet(0x80, QByteArray::fromHex("10002000") + textHeader(0x46, "SYNCML-SYNC"))).answers.value(0);
    EXPECT_EQ(quint8(connect[0]), 0xA0);
    EXPECT_EQ(server.lastTarget(), QByteArray("SYNCML-SYNC"));

    const QByteArray get = packet(0x83, textHeader(0x42, QByteArray("application/vnd.syncml+wbxml", 29)));
    EXPECT_EQ(quint8(server.input(get).answers.value(0)[0]), 0xC4); // nothing canned yet

    // The canned answer: WBXML 1.3 of the SyncML 1.1 document type.
    const QByteArray message = ObexServer::cannedSyncMLMessage(QStringLiteral("syncml-answer"));
    ASSERT_GT(message.size(), 4);
    EXPECT_EQ(message.left(3), QByteArray("\x03\x9F\x53", 3));
    EXPECT_FALSE(ObexServer::cannedSyncMLMessage(QStringLiteral("syncml-client")).isEmpty());
    EXPECT_TRUE(ObexServer::cannedSyncMLMessage(QStringLiteral("none")).isEmpty());
    server.setSyncMLAnswer(message);
    const QByteArray answer = server.input(get).answers.value(0);
    EXPECT_EQ(quint8(answer[0]), 0xA0);
    EXPECT_TRUE(answer.endsWith(textHeader(0x49, message)));
}
