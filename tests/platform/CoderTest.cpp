// Keyed and sequential archives: values back in order and by key, the bytes
// an XML property list, and archives of the wrong shape refused.
#include "platform/Coder.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

using platform::Coder;

TEST(CoderTest, KeyedAndUnkeyedValuesComeBackThroughTheBytes)
{
    Coder coder;
    EXPECT_TRUE(coder.allowsKeyedCoding());
    coder.encodeValue(0.5);
    coder.encodeValue(QStringLiteral("two"));
    coder.encodeObject(QStringLiteral("count"), 2);
    coder.encodeObject(QStringLiteral("list"), QVariantList{1, 2});
    const QByteArray bytes = coder.archivedData();
    EXPECT_TRUE(bytes.startsWith("<?xml"));

    std::optional<Coder> reading = Coder::fromArchivedData(bytes);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->decodeObjectForKey(QStringLiteral("count")).toInt(), 2);
    EXPECT_EQ(reading->decodeObjectForKey(QStringLiteral("list")).toList().size(), 2);
    EXPECT_TRUE(reading->containsValueForKey(QStringLiteral("count")));
    EXPECT_FALSE(reading->containsValueForKey(QStringLiteral("$unkeyed")));
    EXPECT_FALSE(reading->decodeObjectForKey(QStringLiteral("absent")).isValid());
    EXPECT_EQ(reading->decodeValue().toDouble(), 0.5);
    EXPECT_EQ(reading->decodeValue().toString(), QStringLiteral("two"));
    EXPECT_FALSE(reading->decodeValue().isValid());   // none left
}

TEST(CoderTest, ASequentialCoderHasNoKeysAndArchivesOfTheWrongShapeAreRefused)
{
    Coder sequential(Coder::Kind::Sequential);
    EXPECT_FALSE(sequential.allowsKeyedCoding());
    sequential.encodeValue(1);
    EXPECT_THROW(sequential.encodeObject(QStringLiteral("k"), 1), platform::Exception);
    std::optional<Coder> back = Coder::fromArchivedData(sequential.archivedData(), Coder::Kind::Sequential);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->decodeValue().toInt(), 1);

    const struct {
        QVariant archive;
        Coder::Kind kind;
    } refused[] = {
        {QVariantList{1}, Coder::Kind::Keyed},
        {QVariantMap{{"k", 1}}, Coder::Kind::Sequential},
        {QVariantMap{{"$unkeyed", "not a list"}}, Coder::Kind::Keyed},
        {QString("text"), Coder::Kind::Keyed},
    };
    for (const auto& r : refused) {
        QString error;
        EXPECT_FALSE(Coder::fromArchive(r.archive, r.kind, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    EXPECT_FALSE(Coder::fromArchivedData("<plist><dict><key>a</key>", Coder::Kind::Keyed, &error));
    EXPECT_FALSE(error.isEmpty());
}
