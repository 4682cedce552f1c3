#include "app/AppcastVersionComparator.h"

#include <gtest/gtest.h>

namespace {

TEST(AppcastVersionComparator, ComparesPartByPart)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},     {"1.2", "1.10", -1},  {"1.0", "1.0.1", -1}, {"1.0.1", "1.0", 1},   {"1.0b1", "1.0", -1},
        {"1.0", "1.0b1", 1},   {"1.0a", "1.0b", -1}, {"1.0B", "1.0a", -1}, {"1.a", "1.1", -1},    {"", "1", -1},
        {"1", "", 1},          {"", "", 0},          {"1..2", "1.2", -1},  {"010", "10", 0},
        // Numbers beyond any integer type still compare by value.
        {"1.99999999999999999999", "1.100000000000000000000", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(appcast::compareVersion(QLatin1String(c.a), QLatin1String(c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(appcast::compareVersion(QLatin1String(c.b), QLatin1String(c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(AppcastVersionComparator, SplitsIntoNumbersTextsAndSeparators)
{
    EXPECT_EQ(appcast::splitVersionString(QStringLiteral("1.10b3")),
              (QStringList{QStringLiteral("1"), QStringLiteral("."), QStringLiteral("10"), QStringLiteral("b"), QStringLiteral("3")}));
    EXPECT_EQ(appcast::splitVersionString(QStringLiteral("1..2")),
              (QStringList{QStringLiteral("1"), QStringLiteral("."), QStringLiteral("."), QStringLiteral("2")}));
    EXPECT_TRUE(appcast::splitVersionString(QString()).isEmpty());
}

} // namespace
