#include "foundation/QuorNSStringPathExtensions.h"
#include "foundation/SimpleRegexMatching.h"

#include <gtest/gtest.h>

TEST(QuorNSStringPathExtensions, ConcatenatesWithOneSlash)
{
    const QString n;   // no string
    struct Case {
        QString front, rear, expected;
    };
    const Case cases[] = {
        {n, n, QStringLiteral("/")},
        {n, QStringLiteral("a"), QStringLiteral("/a")},
        {QStringLiteral("/x"), n, QStringLiteral("/x")},
        {QStringLiteral("/x"), QStringLiteral(""), QStringLiteral("/x")},
        {QStringLiteral("/x"), QStringLiteral("a"), QStringLiteral("/x/a")},
        {QStringLiteral("/x"), QStringLiteral("/a"), QStringLiteral("/x/a")},
        {QStringLiteral("/x/"), QStringLiteral("a"), QStringLiteral("/x/a")},
        {QStringLiteral("/x/"), QStringLiteral("/a"), QStringLiteral("/x/a")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stringByConcatenatingPathComponents(c.front, c.rear), c.expected)
            << c.front.toStdString() << " + " << c.rear.toStdString();
}

TEST(QuorNSStringPathExtensions, LastPathComponent)
{
    EXPECT_EQ(lastPathComponent(QStringLiteral("/a/b.txt")), QStringLiteral("b.txt"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("/a/b/")), QStringLiteral("b"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("b")), QStringLiteral("b"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(SimpleRegexMatching, WholeStringAndContains)
{
    EXPECT_TRUE(matchesRegex(QStringLiteral("KG800"), QStringLiteral("KG[0-9]+")));
    EXPECT_FALSE(matchesRegex(QStringLiteral("LG KG800"), QStringLiteral("KG[0-9]+")));
    EXPECT_TRUE(containsRegex(QStringLiteral("LG KG800 phone"), QStringLiteral("KG[0-9]+")));
    EXPECT_FALSE(containsRegex(QStringLiteral("LG phone"), QStringLiteral("KG[0-9]+")));
    // An invalid pattern matches nothing instead of failing.
    EXPECT_FALSE(matchesRegex(QStringLiteral("(("), QStringLiteral("((")));
}
