#include "foundation/QuorNSArrayExtensions.h"
#include "foundation/QuorNSDictionaryExtensions.h"

#include <gtest/gtest.h>

TEST(QuorNSDictionaryExtensions, TreeSortsKeysIgnoringCase)
{
    const QVariantMap dict{
        {QStringLiteral("b"), 1},
        {QStringLiteral("A"), QVariantList{QStringLiteral("x")}},
    };
    EXPECT_EQ(formattedDescription(dict), QStringLiteral("<NSDictionary>:\n"
                                                         "    <A> = <NSArray>\n"
                                                         "        [0] = x\n"
                                                         "    <b> = <NSNumber> 1"));
}

TEST(QuorNSDictionaryExtensions, NestedLevelsIndentByFour)
{
    const QVariantMap inner{{QStringLiteral("k"), QStringLiteral("v")}};
    const QVariantMap outer{{QStringLiteral("list"), QVariantList{inner}}};
    EXPECT_EQ(formattedDescription(outer), QStringLiteral("<NSDictionary>:\n"
                                                          "    <list> = <NSArray>\n"
                                                          "        [0] = <NSDictionary>:\n"
                                                          "            <k> = v"));
}

TEST(QuorNSDictionaryExtensions, ValuesOfEachKind)
{
    const QVariantList list{true, 2.5, QByteArray("AT"), QVariant(), QVariantMap()};
    const QString text = formattedDescription(list, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7) << text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("<NSArray>"));
    EXPECT_EQ(lines[1], QStringLiteral("        [0] = <NSNumber> 1"));
    EXPECT_EQ(lines[2], QStringLiteral("        [1] = <NSNumber> 2.5"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("        [2] = <NSData> (2 Bytes): 00000000  41 54")));
    EXPECT_TRUE(lines[4].isEmpty());   // the short dump ends with its line feed
    EXPECT_EQ(lines[5], QStringLiteral("        [3] = (null)"));
    EXPECT_EQ(lines[6], QStringLiteral("        [4] = <NSDictionary>:"));
}
