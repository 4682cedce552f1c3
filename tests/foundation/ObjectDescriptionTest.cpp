#include "foundation/ObjectDescription.h"

#include <QDateTime>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

TEST(ObjectDescription, EachKindOfValue)
{
    const std::pair<QVariant, QString> cases[] = {
        {QVariant(), QStringLiteral("(null)")},
        {QStringLiteral("text"), QStringLiteral("text")},
        {true, QStringLiteral("1")},
        {qlonglong(-42), QStringLiteral("-42")},
        {0.1, QStringLiteral("0.1")},
        {QByteArray::fromHex("0102030405"), QStringLiteral("<01020304 05>")},
        {QDateTime(QDate(2009, 3, 14), QTime(17, 5, 9), QTimeZone(-5 * 3600 - 1800)),
         QStringLiteral("2009-03-14 17:05:09 -0530")},
        {QUrl(QStringLiteral("obex://phone/a b")), QStringLiteral("obex://phone/a%20b")},
        {QVariantMap{{QStringLiteral("k"), 1}}, QStringLiteral("<NSDictionary>:\n    <k> = <NSNumber> 1")},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(objectDescription(value), expected) << value.typeName();
}
