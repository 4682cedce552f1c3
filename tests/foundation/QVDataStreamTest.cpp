#include "foundation/QVDataStream.h"

#include <gtest/gtest.h>

TEST(QVDataStream, ReadsBigEndianNumbers)
{
    const QByteArray bytes = QByteArray::fromHex("00010203");
    QVDataStream whole(bytes);
    EXPECT_EQ(whole.readUInt32BigEndian(), std::optional<quint32>(66051));
    EXPECT_FALSE(whole.hasBytesAvailable());

    QVDataStream halves = QVDataStream::streamWithData(bytes);
    EXPECT_EQ(halves.readUInt16BigEndian(), std::optional<quint16>(1));
    EXPECT_EQ(halves.readUInt16BigEndian(), std::optional<quint16>(515));
    EXPECT_FALSE(halves.readUInt8().has_value());

    QVDataStream high(QByteArray::fromHex("fffffffe80"));
    EXPECT_EQ(high.readUInt32BigEndian(), std::optional<quint32>(0xFFFFFFFEu));
    EXPECT_EQ(high.readUInt8(), std::optional<quint8>(0x80));
}

TEST(QVDataStream, ShortReadsAnswerNothingButConsume)
{
    QVDataStream one(QByteArray::fromHex("07"));
    EXPECT_TRUE(one.hasBytesAvailable());
    EXPECT_FALSE(one.readUInt16BigEndian().has_value());
    EXPECT_FALSE(one.hasBytesAvailable());

    QVDataStream three(QByteArray::fromHex("010203"));
    EXPECT_FALSE(three.readUInt32BigEndian().has_value());
    EXPECT_FALSE(three.readUInt8().has_value());

    QVDataStream empty{QByteArray()};
    EXPECT_FALSE(empty.hasBytesAvailable());
    EXPECT_FALSE(empty.readUInt8().has_value());
    char buffer[4] = {};
    EXPECT_EQ(empty.read(buffer, 4), 0);
}

TEST(QVDataStream, ReadCopiesUpToTheEnd)
{
    QVDataStream stream(QByteArray("abcde"));
    char buffer[8] = {};
    EXPECT_EQ(stream.read(buffer, 3), 3);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("abc"));
    EXPECT_EQ(stream.read(buffer, 8), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("de"));
    EXPECT_EQ(stream.read(buffer, 8), 0);
    EXPECT_EQ(stream.read(nullptr, 8), 0);
}

TEST(QVDataStream, ReadsItsOwnCopy)
{
    QByteArray bytes = QByteArray::fromHex("0102");
    QVDataStream stream(bytes);
    bytes[0] = '\x09';
    EXPECT_EQ(stream.readUInt8(), std::optional<quint8>(1));

    char raw[] = {'\x05', '\x06'};
    QVDataStream overRaw(QByteArray::fromRawData(raw, sizeof raw));
    raw[0] = '\x0A';
    EXPECT_EQ(overRaw.readUInt8(), std::optional<quint8>(5));
}
