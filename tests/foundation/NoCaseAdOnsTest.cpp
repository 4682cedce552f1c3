#include "foundation/NilObjects.h"
#include "foundation/NoCaseAdOns.h"
#include "foundation/NoCaseAdOns2.h"
#include "foundation/QuorNSDictionaryExtensions.h"

#include <gtest/gtest.h>

TEST(NoCaseAdOns, NoCaseLookupTakesTheFirstKeyInOrder)
{
    // "NAME" sorts before "Name" and "name": it wins, an exact match gets no preference.
    const QVariantMap dict{{QStringLiteral("name"), 3}, {QStringLiteral("Name"), 2}, {QStringLiteral("NAME"), 1}};
    EXPECT_EQ(noCaseObjectForKey(dict, QStringLiteral("name")), QVariant(1));
    EXPECT_FALSE(noCaseObjectForKey(dict, QStringLiteral("nam")).isValid());
    EXPECT_EQ(nonNilString(dict, QStringLiteral("Name")), QVariant(2));
    EXPECT_EQ(nonNilString(dict, QStringLiteral("Other")), QVariant(QStringLiteral("")));
}

TEST(NoCaseAdOns, SetNoCaseObjectKeepsTheStoredSpelling)
{
    QVariantMap dict{{QStringLiteral("Name"), QStringLiteral("old")}};
    setNoCaseObject(dict, QStringLiteral("new"), QStringLiteral("name"));
    EXPECT_EQ(dict, (QVariantMap{{QStringLiteral("Name"), QStringLiteral("new")}}));
    setNoCaseObject(dict, 5, QStringLiteral("Other"));
    EXPECT_EQ(dict.value(QStringLiteral("Other")), QVariant(5));

    setMaybeNilObject(dict, QVariant(), QStringLiteral("Other"));
    EXPECT_FALSE(dict.contains(QStringLiteral("Other")));
    setMaybeNilObject(dict, 1, QStringLiteral("One"));
    EXPECT_EQ(dict.value(QStringLiteral("One")), QVariant(1));
}

TEST(NoCaseAdOns, SyncEnvironmentIgnoresOnlyTopLevelGroups)
{
    const QVariantMap base{
        {QStringLiteral("Groups"), QVariantList{QStringLiteral("A")}},
        {QStringLiteral("Contacts"), QVariantMap{{QStringLiteral("Groups"), 1}, {QStringLiteral("On"), true}}},
        {QStringLiteral("Count"), 3},
    };
    QVariantMap otherGroups = base;
    otherGroups[QStringLiteral("Groups")] = QVariantList{QStringLiteral("B")};
    EXPECT_TRUE(isEqualToSyncEnvironment(base, otherGroups));

    QVariantMap nestedGroups = base;
    nestedGroups[QStringLiteral("Contacts")] =
        QVariantMap{{QStringLiteral("Groups"), 2}, {QStringLiteral("On"), true}};
    EXPECT_FALSE(isEqualToSyncEnvironment(base, nestedGroups));

    QVariantMap extra = base;
    extra[QStringLiteral("OnlyInOther")] = 1;
    EXPECT_TRUE(isEqualToSyncEnvironment(base, extra));    // one-sided
    EXPECT_FALSE(isEqualToSyncEnvironment(extra, base));

    QVariantMap widened = base;
    widened[QStringLiteral("Count")] = qlonglong(3);       // the same number read back from a file
    EXPECT_TRUE(isEqualToSyncEnvironment(base, widened));
    widened[QStringLiteral("Contacts")] = QStringLiteral("not a dictionary");
    EXPECT_FALSE(isEqualToSyncEnvironment(base, widened));
}
