#include "foundation/QuorNSStringCharacterAdds.h"

#include <gtest/gtest.h>

TEST(QuorNSStringCharacterAdds, CleanLabel)
{
    EXPECT_EQ(cleanLabel(QStringLiteral("_$!<Home>!$_")), QStringLiteral("Home"));
    EXPECT_EQ(cleanLabel(QStringLiteral("Home")), QStringLiteral("Home"));
    EXPECT_EQ(cleanLabel(QStringLiteral("_$!<>!$_")), QStringLiteral(""));
    // Too short to hold both marks: no text, and no read outside the string.
    EXPECT_EQ(cleanLabel(QStringLiteral("_$!<")), QStringLiteral(""));
}

TEST(QuorNSStringCharacterAdds, CharactersAndOSTypes)
{
    EXPECT_EQ(stringByReplacingChar(QStringLiteral("a/b/c"), QLatin1Char('/'), QLatin1Char(':')),
              QStringLiteral("a:b:c"));
    EXPECT_EQ(charCount(QStringLiteral("a/b/c"), QLatin1Char('/')), 2);
    EXPECT_EQ(stringFromOSType(0x4D4F5359), QStringLiteral("MOSY"));
    QString s = QStringLiteral("ab");
    appendChar(s, QChar(0x00E9));
    EXPECT_EQ(s, QString::fromUtf8("ab\u00e9"));
}

TEST(QuorNSStringCharacterAdds, FirstLine)
{
    EXPECT_EQ(firstLine(QStringLiteral("\r\n \tHello world\r\nsecond")), QStringLiteral("Hello world"));
    EXPECT_EQ(firstLine(QStringLiteral("one")), QStringLiteral("one"));
    EXPECT_EQ(firstLine(QStringLiteral("  \n")), QStringLiteral("  "));
    EXPECT_EQ(firstLine(QString()), QString());
}

TEST(QuorNSStringCharacterAdds, LinesArray)
{
    const std::pair<const char*, QStringList> cases[] = {
        {"", {QString()}},
        {"a\n", {QStringLiteral("a")}},
        {"a\r\nb", {QStringLiteral("a"), QStringLiteral("b")}},
        {"a\n\rb", {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {"a\rb\nc", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"\n", {QString()}},
        {"\n\n", {QString(), QString()}},
        {"a\n\nb\r\n", {QStringLiteral("a"), QString(), QStringLiteral("b")}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(linesArray(QString::fromUtf8(text)), expected) << QString::fromUtf8(text).toHtmlEscaped().toStdString();
}

TEST(QuorNSStringCharacterAdds, HexValues)
{
    EXPECT_EQ(hexValue(QStringLiteral("1F")), 0x1Fu);
    EXPECT_EQ(hexValue(QStringLiteral("  0x10zz")), 0x10u);
    EXPECT_EQ(hexValue(QStringLiteral("zz")), 0u);
    EXPECT_EQ(hexValue(QStringLiteral("123456789")), 0xFFFFFFFFu);   // saturates
    EXPECT_EQ(intDecValue(QStringLiteral("10")), 16);
    EXPECT_EQ(intDecValue(QStringLiteral("")), -1);
    EXPECT_EQ(unsignedIntDecValue(QStringLiteral("ff")), 255u);
    EXPECT_EQ(unsignedIntDecValue(QStringLiteral("-")), 0u);
}
