#include "foundation/UnicodeTest.h"

#include <gtest/gtest.h>

TEST(UnicodeTest, DefaultAlphabetPositions)
{
    struct Case {
        char16_t unit;
        int position;
    } const cases[] = {
        { u'@', 0 }, { u'A', 65 }, { u'?', 63 }, { 0x00A0, 27 }, { 0x00E0, 127 }, { u'\n', 10 },
        { 0x03A9, 21 }, { 0x4E2D, 63 }, { u'{', 63 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(getUnicodePos(c.unit), c.position) << int(c.unit);
}

TEST(UnicodeTest, ExtensionTableAndCheck)
{
    EXPECT_EQ(getUnicodeGlyph(0x20AC), 0x65);
    EXPECT_EQ(getUnicodeGlyph(u'{'), 0x28);
    EXPECT_EQ(getUnicodeGlyph(0x000C), 0x0A);
    EXPECT_EQ(getUnicodeGlyph(u'?'), 63);
    EXPECT_EQ(getUnicodeGlyph(u'A'), 63);

    EXPECT_FALSE(hasNonGsmCharacters(QStringLiteral("Hello? {€} Ü")));
    EXPECT_TRUE(hasNonGsmCharacters(QStringLiteral("Grüße aus 中国")));
    EXPECT_TRUE(hasNonGsmCharacters(QStringLiteral("ï")));
    EXPECT_FALSE(hasNonGsmCharacters(QString()));
}
