#include "foundation/QuorNSDataExtensions.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytesFrom(int first, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>(first + i));
    return bytes;
}

} // namespace

TEST(QuorNSDataExtensions, SixteenBytesAreOneFullLine)
{
    const QString dump = formattedDescription(bytesFrom(0x30, 16));
    EXPECT_EQ(dump, QStringLiteral("00000000  30 31 32 33 34 35 36 37  38 39 3a 3b 3c 3d 3e 3f  |0123456789:;<=>?|\n"));
    EXPECT_EQ(dump.size(), 79);
}

TEST(QuorNSDataExtensions, ShortLastLineKeepsItsColumns)
{
    const QStringList lines = formattedDescription(bytesFrom(0x41, 17)).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);   // two lines and the empty rest after the final line feed
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_EQ(lines[1], QStringLiteral("00000010  51") + QString(48, QLatin1Char(' ')) + QStringLiteral("|Q|"));
    EXPECT_EQ(lines[0].indexOf(QStringLiteral(" |")), lines[1].indexOf(QStringLiteral(" |")));
}

TEST(QuorNSDataExtensions, CharacterColumn)
{
    QByteArray bytes;
    bytes.append('\x20').append('\x7f').append('\x26').append('\x25').append('\x7e').append('\xff').append('\0');
    const QString dump = formattedDescription(bytes);
    EXPECT_TRUE(dump.endsWith(QStringLiteral(" |..&.~..|\n"))) << dump.toStdString();
    EXPECT_TRUE(dump.startsWith(QStringLiteral("00000000  20 7f 26 25 7e ff 00 ")));
}

TEST(QuorNSDataExtensions, EmptyAndShortDescriptions)
{
    EXPECT_EQ(formattedDescription(QByteArray()), QStringLiteral("NSData is nil"));
    EXPECT_EQ(formattedDescription(QByteArray("")), QStringLiteral("NSData is nil"));
    EXPECT_EQ(shortDescription(QByteArray()), QStringLiteral("NSData is nil"));

    EXPECT_EQ(shortDescription(QByteArray("AT")),
              QStringLiteral("<NSData> (2 Bytes): 00000000  41 54") + QString(44, QLatin1Char(' '))
                  + QStringLiteral(" |AT|\n"));
    const QString longer = shortDescription(bytesFrom(0x30, 40));
    EXPECT_TRUE(longer.startsWith(QStringLiteral("<NSData> (40 Bytes) first 16 Bytes: 00000000  30 31")));
    EXPECT_TRUE(longer.endsWith(QStringLiteral("|0123456789:;<=>?|\n")));
    EXPECT_EQ(nSpaces(3), QStringLiteral("   "));
    EXPECT_EQ(nSpaces(-1), QString());
}

TEST(QuorNSDataExtensions, MultiLineOffsets)
{
    const QStringList lines = formattedDescription(bytesFrom(0, 256)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 16);
    EXPECT_TRUE(lines[15].startsWith(QStringLiteral("000000f0  f0 f1")));
    for (const QString& line : lines)
        EXPECT_EQ(line.size(), 78);
}
