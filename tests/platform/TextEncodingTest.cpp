#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

using namespace platform::text;

namespace {
const QString kSample = QStringLiteral("Gr\u00FC\u00DFe, caf\u00E9");
}

TEST(TextEncoding, Utf8RoundTrip)
{
    const QString text = QStringLiteral("h\u00E9llo \u20AC \U0001F600");
    const auto bytes = encode(text, Encoding::Utf8);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, text.toUtf8());
    const auto back = decode(*bytes, Encoding::Utf8);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, text);
}

TEST(TextEncoding, InvalidUtf8IsAnError)
{
    EXPECT_FALSE(decode(QByteArray("abc\xFF"), Encoding::Utf8));
    EXPECT_FALSE(decode(QByteArray("abc\xC3"), Encoding::Utf8));   // truncated sequence
}

TEST(TextEncoding, Utf16WithBom)
{
    const auto encoded = encode(QStringLiteral("A\u20AC"), Encoding::Utf16);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, QByteArray("\xFE\xFF\x00\x41\x20\xAC", 6));

    auto le = decode(QByteArray("\xFF\xFE\x41\x00\xAC\x20", 6), Encoding::Utf16);
    ASSERT_TRUE(le);
    EXPECT_EQ(*le, QStringLiteral("A\u20AC"));
    auto be = decode(QByteArray("\xFE\xFF\x00\x41\x20\xAC", 6), Encoding::Utf16);
    ASSERT_TRUE(be);
    EXPECT_EQ(*be, QStringLiteral("A\u20AC"));
    auto noBom = decode(QByteArray("\x00\x41", 2), Encoding::Utf16);
    ASSERT_TRUE(noBom);
    EXPECT_EQ(*noBom, QStringLiteral("A"));
    auto empty = decode(QByteArray(), Encoding::Utf16);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST(TextEncoding, Utf16ExplicitByteOrder)
{
    EXPECT_EQ(*encode(QStringLiteral("A\U0001F600"), Encoding::Utf16BE), QByteArray("\x00\x41\xD8\x3D\xDE\x00", 6));
    EXPECT_EQ(*encode(QStringLiteral("A"), Encoding::Utf16LE), QByteArray("\x41\x00", 2));
    EXPECT_EQ(*decode(QByteArray("\x41\x00\x42\x00", 4), Encoding::Utf16LE), QStringLiteral("AB"));
    EXPECT_FALSE(decode(QByteArray("\x00\x41\x00", 3), Encoding::Utf16BE));      // odd length
    EXPECT_FALSE(decode(QByteArray("\xD8\x3D\x00\x41", 4), Encoding::Utf16BE));   // lone surrogate
    QString lone;
    lone.append(QChar(0xD800));
    EXPECT_FALSE(encode(lone, Encoding::Utf16BE));
    EXPECT_FALSE(encode(lone, Encoding::Utf8));
}

TEST(TextEncoding, SingleByteEncodings)
{
    EXPECT_EQ(*encode(kSample, Encoding::Latin1), QByteArray("Gr\xFC\xDF" "e, caf\xE9"));
    EXPECT_EQ(*decode(QByteArray("Gr\xFC\xDF" "e, caf\xE9"), Encoding::Latin1), kSample);
    EXPECT_EQ(*encode(QStringLiteral("\u0141\u00F3d\u017A"), Encoding::Latin2), QByteArray("\xA3\xF3\x64\xBC"));
    EXPECT_EQ(*decode(QByteArray("\xA3\xF3\x64\xBC"), Encoding::Latin2), QStringLiteral("\u0141\u00F3d\u017A"));
    EXPECT_EQ(*encode(QStringLiteral("\u20AC\u2019"), Encoding::Windows1252), QByteArray("\x80\x92"));
    EXPECT_EQ(*decode(QByteArray("\x80\x92"), Encoding::Windows1252), QStringLiteral("\u20AC\u2019"));
    EXPECT_EQ(*encode(QStringLiteral("\u00E9\u00FC\u2122"), Encoding::MacRoman), QByteArray("\x8E\x9F\xAA"));
    EXPECT_EQ(*decode(QByteArray("\x8E\x9F\xAA"), Encoding::MacRoman), QStringLiteral("\u00E9\u00FC\u2122"));
    EXPECT_EQ(*encode(QStringLiteral("plain"), Encoding::Ascii), QByteArray("plain"));
}

TEST(TextEncoding, UnmappableIsReportedNotLossy)
{
    EXPECT_FALSE(encode(QStringLiteral("\u20AC"), Encoding::Latin1));
    EXPECT_FALSE(encode(QStringLiteral("\u00E9"), Encoding::Ascii));
    EXPECT_FALSE(encode(QStringLiteral("\u0141"), Encoding::Windows1252));
    EXPECT_FALSE(decode(QByteArray("\x81"), Encoding::Windows1252));   // undefined in Windows-1252
    EXPECT_FALSE(decode(QByteArray("a\x80"), Encoding::Ascii));
}

TEST(TextEncoding, AnyIconvName)
{
    const auto sjis = encode(QStringLiteral("\u65E5\u672C"), "SHIFT_JIS");
    ASSERT_TRUE(sjis);
    EXPECT_EQ(*sjis, QByteArray("\x93\xFA\x96\x7B"));
    EXPECT_EQ(*decode(*sjis, "SHIFT_JIS"), QStringLiteral("\u65E5\u672C"));
    // A stateful encoding gets its closing shift sequence.
    const auto jis = encode(QStringLiteral("\u65E5"), "ISO-2022-JP");
    ASSERT_TRUE(jis);
    EXPECT_TRUE(jis->endsWith("\x1B(B"));
    EXPECT_EQ(*decode(*jis, "ISO-2022-JP"), QStringLiteral("\u65E5"));
    EXPECT_FALSE(encode(QStringLiteral("x"), "NO-SUCH-ENCODING"));
    EXPECT_FALSE(decode(QByteArray("x"), "NO-SUCH-ENCODING"));
    EXPECT_FALSE(decode(QByteArray("x"), static_cast<const char*>(nullptr)));
    // Asking iconv for transliteration is asking for a lossy result.
    const auto translit = encode(QStringLiteral("\u20AC"), "ASCII//TRANSLIT");
    ASSERT_TRUE(translit);
    EXPECT_EQ(*translit, QByteArray("EUR"));
}

TEST(TextEncoding, LongTextGrowsTheBuffer)
{
    const QString text = QString(5000, QChar(0x20AC));
    const auto utf8 = encode(text, Encoding::Utf8);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->size(), 15000);
    EXPECT_EQ(*decode(*utf8, Encoding::Utf8), text);
}

TEST(TextEncoding, Names)
{
    EXPECT_STREQ(iconvName(Encoding::MacRoman), "MACINTOSH");
    EXPECT_STREQ(iconvName(Encoding::Latin2), "ISO-8859-2");
}
