#include "platform/Values.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform::values;

TEST(Values, StringIntTakesTheLeadingNumber)
{
    EXPECT_EQ(stringInt(QStringLiteral("42abc")), 42);
    EXPECT_EQ(stringInt(QStringLiteral(" -7")), -7);
    EXPECT_EQ(stringInt(QStringLiteral("\t\n+13 ")), 13);
    EXPECT_EQ(stringInt(QStringLiteral("abc")), 0);
    EXPECT_EQ(stringInt(QString()), 0);
    EXPECT_EQ(stringInt(QStringLiteral("-")), 0);
    EXPECT_EQ(stringInt(QStringLiteral("- 5")), 0);
    EXPECT_EQ(stringInt(QStringLiteral("3.9")), 3);
    EXPECT_EQ(stringInt(QStringLiteral("007")), 7);
}

TEST(Values, StringNumbersSaturate)
{
    EXPECT_EQ(stringInt(QStringLiteral("99999999999")), std::numeric_limits<int>::max());
    EXPECT_EQ(stringInt(QStringLiteral("-99999999999")), std::numeric_limits<int>::min());
    EXPECT_EQ(stringLongLong(QStringLiteral("9223372036854775807")), std::numeric_limits<qlonglong>::max());
    EXPECT_EQ(stringLongLong(QStringLiteral("9223372036854775808")), std::numeric_limits<qlonglong>::max());
    EXPECT_EQ(stringLongLong(QStringLiteral("-9223372036854775808")), std::numeric_limits<qlonglong>::min());
    EXPECT_EQ(stringLongLong(QStringLiteral("-9223372036854775809")), std::numeric_limits<qlonglong>::min());
    EXPECT_EQ(stringLongLong(QStringLiteral("123456789012345678901234567890")), std::numeric_limits<qlonglong>::max());
    EXPECT_EQ(stringLongLong(QStringLiteral("  -1234567890123x")), -1234567890123LL);
}

TEST(Values, StringDouble)
{
    EXPECT_DOUBLE_EQ(stringDouble(QStringLiteral("2.5kg")), 2.5);
    EXPECT_DOUBLE_EQ(stringDouble(QStringLiteral(" -1.25e2x")), -125.0);
    EXPECT_DOUBLE_EQ(stringDouble(QStringLiteral("1e")), 1.0);
    EXPECT_DOUBLE_EQ(stringDouble(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(stringDouble(QStringLiteral("7.")), 7.0);
    EXPECT_EQ(stringDouble(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(stringDouble(QStringLiteral(".")), 0.0);
    EXPECT_EQ(stringDouble(QStringLiteral("inf")), 0.0);
    EXPECT_EQ(stringDouble(QStringLiteral("0x10")), 0.0);
    EXPECT_TRUE(std::isinf(stringDouble(QStringLiteral("1e999"))));
    EXPECT_EQ(stringDouble(QStringLiteral("1e-999")), 0.0);
}

TEST(Values, StringBool)
{
    EXPECT_FALSE(stringBool(QString()));
    EXPECT_FALSE(stringBool(QStringLiteral("")));
    EXPECT_TRUE(stringBool(QStringLiteral("1")));
    EXPECT_TRUE(stringBool(QStringLiteral(" 12")));
    EXPECT_TRUE(stringBool(QStringLiteral("-1")));
    EXPECT_FALSE(stringBool(QStringLiteral("0")));
    EXPECT_TRUE(stringBool(QStringLiteral("YES")));
    EXPECT_TRUE(stringBool(QStringLiteral("yes")));
    EXPECT_TRUE(stringBool(QStringLiteral("Y")));
    EXPECT_FALSE(stringBool(QStringLiteral("true")));
    EXPECT_FALSE(stringBool(QStringLiteral("T")));
    EXPECT_FALSE(stringBool(QStringLiteral("NO")));
    EXPECT_FALSE(stringBool(QStringLiteral(" yes")));
}

TEST(Values, NumbersConvertByValue)
{
    EXPECT_EQ(toInt(QVariant(true)), 1);
    EXPECT_EQ(toInt(QVariant(false)), 0);
    EXPECT_EQ(toInt(QVariant(3.9)), 3);
    EXPECT_EQ(toInt(QVariant(-3.9)), -3);
    EXPECT_EQ(toInt(QVariant(1e30)), std::numeric_limits<int>::max());
    EXPECT_EQ(toInt(QVariant(std::nan(""))), 0);
    EXPECT_EQ(toLongLong(QVariant(qlonglong(1) << 40)), qlonglong(1) << 40);
    EXPECT_EQ(toULongLong(QVariant(std::numeric_limits<quint64>::max())), std::numeric_limits<quint64>::max());
    EXPECT_EQ(toULongLong(QVariant(1e300)), std::numeric_limits<quint64>::max());
    EXPECT_DOUBLE_EQ(toDouble(QVariant(7)), 7.0);
    EXPECT_DOUBLE_EQ(toDouble(QVariant(true)), 1.0);
    EXPECT_DOUBLE_EQ(toDouble(QVariant(QStringLiteral("2.5"))), 2.5);
    EXPECT_EQ(toInt(QVariant(QStringLiteral("42abc"))), 42);
    EXPECT_EQ(toLongLong(QVariant(QStringLiteral(" -7"))), -7);
    EXPECT_TRUE(toBool(QVariant(2)));
    EXPECT_TRUE(toBool(QVariant(0.5)));
    EXPECT_FALSE(toBool(QVariant(0)));
    EXPECT_TRUE(toBool(QVariant(QStringLiteral("yes"))));
    EXPECT_FALSE(toBool(QVariant(QStringLiteral("true"))));
}

TEST(Values, OtherValuesAreZero)
{
    EXPECT_EQ(toInt(QVariant()), 0);
    EXPECT_FALSE(toBool(QVariant()));
    EXPECT_EQ(toDouble(QVariant(QVariantList{1})), 0.0);
    EXPECT_EQ(toInt(QVariant(QByteArray("12"))), 0);
    EXPECT_EQ(toInt(QVariant(QDateTime::currentDateTimeUtc())), 0);
}

TEST(Values, Kinds)
{
    EXPECT_TRUE(isNumber(QVariant(true)));
    EXPECT_TRUE(isNumber(QVariant(1)));
    EXPECT_TRUE(isNumber(QVariant(1u)));
    EXPECT_TRUE(isNumber(QVariant(qlonglong(1))));
    EXPECT_TRUE(isNumber(QVariant(quint64(1))));
    EXPECT_TRUE(isNumber(QVariant(1.5)));
    EXPECT_TRUE(isNumber(QVariant(1.5f)));
    EXPECT_FALSE(isNumber(QVariant(QStringLiteral("1"))));
    EXPECT_FALSE(isNumber(QVariant()));
    EXPECT_TRUE(isString(QVariant(QStringLiteral("1"))));
    EXPECT_FALSE(isString(QVariant(QByteArray("1"))));
    EXPECT_FALSE(isString(QVariant(1)));
}
