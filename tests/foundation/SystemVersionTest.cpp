#include "foundation/SystemVersion.h"

#include <gtest/gtest.h>

namespace {

SystemVersionDict version(int major, int minor, int bugFix)
{
    return { { QString::fromLatin1(sysversion::kMajor), major },
             { QString::fromLatin1(sysversion::kMinor), minor },
             { QString::fromLatin1(sysversion::kBugFix), bugFix } };
}

} // namespace

TEST(SystemVersion, StringToDict)
{
    EXPECT_EQ(systemVersionStringToDict(QStringLiteral("10.5")), version(10, 5, 0));
    EXPECT_EQ(systemVersionStringToDict(QStringLiteral("10.4.11")), version(10, 4, 11));
    EXPECT_EQ(systemVersionStringToDict(QStringLiteral("10")), version(10, 0, 0));
    EXPECT_FALSE(systemVersionStringToDict(QStringLiteral("9.2.2")));
    EXPECT_FALSE(systemVersionStringToDict(QString()));
    EXPECT_FALSE(systemVersionStringToDict(QStringLiteral("x.1")));
}

TEST(SystemVersion, DictToStringAndCodeName)
{
    EXPECT_EQ(systemVersionDictToString(version(10, 4, 11)), QStringLiteral("10.4.11"));
    EXPECT_EQ(systemVersionDictToString(version(10, -1, -5)), QStringLiteral("10.0.0"));
    EXPECT_EQ(systemVersionDictToString(SystemVersionDict { { QString::fromLatin1(sysversion::kMajor), 10 } }),
              QStringLiteral("10.0.0"));
    EXPECT_TRUE(systemVersionDictToString(version(9, 2, 2)).isNull());
    EXPECT_TRUE(systemVersionDictToString(SystemVersionDict {}).isNull());
    EXPECT_TRUE(systemVersionDictToString(std::nullopt).isNull());

    EXPECT_EQ(systemVersionCodeNameForDict(version(10, 0, 0)), QStringLiteral("Cheetah"));
    EXPECT_EQ(systemVersionCodeNameForDict(version(10, 4, 11)), QStringLiteral("Tiger"));
    EXPECT_EQ(systemVersionCodeNameForDict(version(10, 6, 0)), QStringLiteral("Snow Leopard"));
    EXPECT_EQ(systemVersionCodeNameForDict(version(10, 7, 0)), QStringLiteral("unknown codename"));
    EXPECT_EQ(systemVersionCodeNameForDict(version(11, 0, 0)), QStringLiteral("unknown codename"));
    EXPECT_TRUE(systemVersionCodeNameForDict(version(9, 0, 0)).isNull());
    EXPECT_TRUE(systemVersionCodeNameForDict(std::nullopt).isNull());
}

TEST(SystemVersion, Compare)
{
    EXPECT_EQ(systemVersionCompareDicts(version(10, 4, 11), version(10, 5, 0)), -1);
    EXPECT_EQ(systemVersionCompareDicts(version(10, 5, 1), version(10, 5, 0)), 1);
    EXPECT_EQ(systemVersionCompareDicts(version(10, 5, 0), *systemVersionStringToDict(QStringLiteral("10.5"))), 0);
    EXPECT_EQ(systemVersionCompareDicts(SystemVersionDict {}, version(0, 0, 0)), 0);
}

TEST(SystemVersion, PackedValues)
{
    EXPECT_EQ(systemVersionFromGestalt(0x1039), version(10, 3, 9));
    EXPECT_EQ(systemVersionFromGestalt(0x1040, 10, 5, 8), version(10, 5, 8));
    EXPECT_EQ(systemVersionFromGestalt(0x1040, 10, std::nullopt, 3), version(10, 0, 0));
    EXPECT_FALSE(systemVersionFromGestalt(std::nullopt));
    const std::optional<SystemVersionDict> old = systemVersionFromGestalt(0x0922);
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->contains(QString::fromLatin1(sysversion::kMajor)));
    EXPECT_TRUE(systemVersionDictToString(old).isNull());
}

TEST(SystemVersion, ThisSystemAnswersTheNewestKnownVersion)
{
    EXPECT_EQ(systemVersionDictToString(systemVersionGestalt()), QStringLiteral("10.6.8"));
    EXPECT_EQ(systemVersionCodeNameForDict(systemVersionGestalt()), QStringLiteral("Snow Leopard"));
    EXPECT_EQ(systemVersionPlistProductVersion(), QStringLiteral("10.6.8"));
}
