#include "foundation/SafeFileName.h"

#include <gtest/gtest.h>

TEST(SafeFileName, MakesOneWordOfAPathFromAnyDescription)
{
    struct Case {
        QString description;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("Anna Müller"), QStringLiteral("Anna Müller")},
        {QStringLiteral("../../etc/passwd"), QStringLiteral("_.._etc_passwd")},
        {QStringLiteral("a\\b"), QStringLiteral("a_b")},
        {QStringLiteral("line\nbreak\ttab"), QStringLiteral("line_break_tab")},
        {QStringLiteral(".hidden"), QStringLiteral("hidden")},
        {QStringLiteral("  name. . "), QStringLiteral("name")},
        {QStringLiteral(".."), QStringLiteral("_")},
        {QString(), QStringLiteral("_")},
        {QStringLiteral("王小明"), QStringLiteral("王小明")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(safeFileNameFromDescription(c.description), c.expected) << c.description.toStdString();
    EXPECT_EQ(safeFileNameFromDescription(QStringLiteral("/"), QStringLiteral("others")), QStringLiteral("_"));
    EXPECT_EQ(safeFileNameFromDescription(QStringLiteral("..."), QStringLiteral("others")), QStringLiteral("others"));
}

TEST(SafeFileName, CutsLongNamesToTheFileSystemLimitBetweenCharacters)
{
    const QString longAscii(400, QLatin1Char('a'));
    EXPECT_EQ(safeFileNameFromDescription(longAscii).toUtf8().size(), 255);

    // Three bytes a character: 85 fit, the 86th would split.
    const QString longCjk(200, QChar(0x738B));
    EXPECT_EQ(safeFileNameFromDescription(longCjk).size(), 85);

    // Four bytes a character (a surrogate pair each): never half a pair.
    QString emoji;
    for (int i = 0; i < 100; ++i)
        emoji += QString::fromUcs4(U"\U0001F600");
    const QString cut = safeFileNameFromDescription(emoji);
    EXPECT_EQ(cut.toUtf8().size(), 252);
    EXPECT_FALSE(cut.back().isHighSurrogate());
}
