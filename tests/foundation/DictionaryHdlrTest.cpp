#include "foundation/DictionaryHdlr.h"
#include "foundation/MutableDictionaryHdlr.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<QVariantMap> settings()
{
    return std::make_shared<QVariantMap>(QVariantMap{
        {QStringLiteral("Number"), 300},
        {QStringLiteral("Text"), QStringLiteral("42")},
        {QStringLiteral("Yes"), QStringLiteral("yes")},
        {QStringLiteral("True"), QStringLiteral("true")},
        {QStringLiteral("Real"), 2.75},
        {QStringLiteral("Flag"), true},
        {QStringLiteral("Negative"), -1},
        {QStringLiteral("List"), QVariantList{1, 2}},
    });
}

} // namespace

TEST(DictionaryHdlr, StringValueAnswersTheStoredObject)
{
    DictionaryHdlr hdlr(settings());
    EXPECT_EQ(hdlr.stringValue(QStringLiteral("Number")).metaType().id(), QMetaType::Int);   // not its text
    EXPECT_EQ(hdlr.stringValue(QStringLiteral("Text")), QVariant(QStringLiteral("42")));
    const QVariant absent = hdlr.stringValue(QStringLiteral("Missing"));
    EXPECT_EQ(absent.metaType().id(), QMetaType::QString);
    EXPECT_TRUE(absent.toString().isEmpty());
}

TEST(DictionaryHdlr, NumericReadsConvertAndTruncate)
{
    DictionaryHdlr hdlr(settings());
    EXPECT_EQ(hdlr.intValue(QStringLiteral("Text")), 42);
    EXPECT_EQ(hdlr.doubleValue(QStringLiteral("Text")), 42.0);
    EXPECT_EQ(hdlr.unsignedCharValue(QStringLiteral("Number")), 44);
    EXPECT_EQ(hdlr.charValue(QStringLiteral("Number")), 44);
    EXPECT_EQ(hdlr.shortValue(QStringLiteral("Number")), 300);
    EXPECT_EQ(hdlr.intValue(QStringLiteral("Real")), 2);
    EXPECT_FLOAT_EQ(hdlr.floatValue(QStringLiteral("Real")), 2.75f);
    EXPECT_EQ(hdlr.unsignedShortValue(QStringLiteral("Negative")), 0xFFFF);
    EXPECT_EQ(hdlr.unsignedLongLongValue(QStringLiteral("Negative")), ~0ull);
    EXPECT_EQ(hdlr.longLongValue(QStringLiteral("Flag")), 1);
    EXPECT_EQ(hdlr.intValue(QStringLiteral("List")), 0);       // no number in a list
    EXPECT_EQ(hdlr.intValue(QStringLiteral("Missing")), 0);
    EXPECT_EQ(hdlr.doubleValue(QStringLiteral("Missing")), 0.0);

    EXPECT_TRUE(hdlr.boolValue(QStringLiteral("Yes")));
    EXPECT_FALSE(hdlr.boolValue(QStringLiteral("True")));      // the program's string rule
    EXPECT_TRUE(hdlr.boolValue(QStringLiteral("Text")));
    EXPECT_TRUE(hdlr.boolValue(QStringLiteral("Flag")));
    EXPECT_FALSE(hdlr.boolValue(QStringLiteral("Missing")));
}

TEST(DictionaryHdlr, LookupsAndConstruction)
{
    DictionaryHdlr hdlr(settings());
    EXPECT_TRUE(hdlr.cotainsKey(QStringLiteral("Text")));
    EXPECT_FALSE(hdlr.cotainsKey(QStringLiteral("text")));
    EXPECT_TRUE(hdlr.noCaseCotainsKey(QStringLiteral("text")));
    EXPECT_EQ(hdlr.noCaseObjectForKey(QStringLiteral("NUMBER")), QVariant(300));
    EXPECT_FALSE(hdlr.isEmpty());

    DictionaryHdlr none;
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(none.intValue(QStringLiteral("Number")), 0);
    EXPECT_FALSE(none.objectForKey(QStringLiteral("Number")).isValid());

    EXPECT_EQ(DictionaryHdlr::allocDictionaryHdlr(QVariant(QStringLiteral("no dictionary"))), nullptr);
    EXPECT_EQ(DictionaryHdlr::allocDictionaryHdlr(QVariant()), nullptr);
    EXPECT_EQ(DictionaryHdlr::allocDictionaryHdlr(std::shared_ptr<QVariantMap>()), nullptr);
    EXPECT_TRUE(DictionaryHdlr::allocDictionaryHdlr(QVariant(QVariantMap()))->isEmpty());
}

TEST(DictionaryHdlr, PlainReads)
{
    const QVariantMap dict = *settings();
    EXPECT_TRUE(getBoolValue(dict, QStringLiteral("Yes")));
    EXPECT_FALSE(getBoolValue(dict, QString()));
    EXPECT_FALSE(getBoolValue(QVariantMap{{QString(), true}}, QString()));   // an empty key is never looked up
    EXPECT_EQ(getIntValue(dict, QStringLiteral("Text")), 42);
    EXPECT_EQ(getIntValue(dict, QStringLiteral("Missing")), 0);
    EXPECT_DOUBLE_EQ(getDoubleValue(dict, QStringLiteral("Real")), 2.75);
    EXPECT_FLOAT_EQ(getFloatValue(dict, QStringLiteral("Text")), 42.0f);
}

TEST(MutableDictionaryHdlr, ChangesAreSeenByEveryHolder)
{
    auto dict = settings();
    DictionaryHdlr reader(dict);
    auto writer = MutableDictionaryHdlr::allocMutableDictionaryHdlr(dict);
    writer->numberWithInt(7, QStringLiteral("Added"));
    EXPECT_EQ(reader.intValue(QStringLiteral("Added")), 7);
    EXPECT_EQ(dict->value(QStringLiteral("Added")), QVariant(7));

    // A copied wrapper does not write through.
    auto copy = MutableDictionaryHdlr::allocCopiedDictionaryHdlr(*dict);
    copy->removeObjectForKey(QStringLiteral("Added"));
    EXPECT_TRUE(reader.cotainsKey(QStringLiteral("Added")));
    EXPECT_EQ(MutableDictionaryHdlr::allocCopiedDictionaryHdlr(QVariant(5)), nullptr);
    EXPECT_EQ(MutableDictionaryHdlr::allocMutableDictionaryHdlr(nullptr), nullptr);
}

TEST(MutableDictionaryHdlr, StoreIfDifferent)
{
    auto hdlr = MutableDictionaryHdlr::allocMutableDictionaryHdlr(settings());

    hdlr->numberWithInt(300, QStringLiteral("Number"));
    hdlr->numberWithInt(42, QStringLiteral("Text"));             // "42" reads as 42
    hdlr->numberWithUnsignedChar(44, QStringLiteral("Number"));  // 300 reads as 44
    hdlr->numberWithBool(true, QStringLiteral("Yes"));
    hdlr->numberWithDouble(2.75, QStringLiteral("Real"));
    hdlr->numberWithFloat(2.75f, QStringLiteral("Real"));
    hdlr->setStringValue(QStringLiteral("42"), QStringLiteral("Text"));
    hdlr->setStringValue(QString(), QStringLiteral("Missing"));
    EXPECT_FALSE(hdlr->isModify());
    EXPECT_EQ(hdlr->objectForKey(QStringLiteral("Number")), QVariant(300));
    EXPECT_EQ(hdlr->objectForKey(QStringLiteral("Text")), QVariant(QStringLiteral("42")));

    hdlr->numberWithInt(301, QStringLiteral("Number"));
    EXPECT_TRUE(hdlr->isModify());
    EXPECT_EQ(hdlr->intValue(QStringLiteral("Number")), 301);
}

TEST(MutableDictionaryHdlr, SettersReplaceAndRemove)
{
    auto hdlr = MutableDictionaryHdlr::allocMutableDictionaryHdlr(settings());
    hdlr->numberWithLongLong(-5, QStringLiteral("New"));
    EXPECT_TRUE(hdlr->isModify());
    EXPECT_EQ(hdlr->longLongValue(QStringLiteral("New")), -5);
    hdlr->numberWithUnsignedLongLong(~0ull, QStringLiteral("Big"));
    EXPECT_EQ(hdlr->unsignedLongLongValue(QStringLiteral("Big")), ~0ull);

    // A number stored where a string was: the string's text equals, its type does not.
    auto strings = MutableDictionaryHdlr::allocMutableDictionaryHdlr(settings());
    strings->setStringValue(QStringLiteral("300"), QStringLiteral("Number"));
    EXPECT_TRUE(strings->isModify());
    EXPECT_EQ(strings->objectForKey(QStringLiteral("Number")), QVariant(QStringLiteral("300")));

    auto removing = MutableDictionaryHdlr::allocMutableDictionaryHdlr(settings());
    removing->setStringValue(QString(), QStringLiteral("Text"));
    EXPECT_TRUE(removing->isModify());
    EXPECT_FALSE(removing->cotainsKey(QStringLiteral("Text")));

    auto objects = MutableDictionaryHdlr::allocEmptyMutableDictionaryHdlr();
    objects->removeObjectForKey(QStringLiteral("Absent"));   // changes nothing, still marks
    EXPECT_TRUE(objects->isModify());
    objects->setObject(QStringLiteral("v"), QStringLiteral("k"));
    EXPECT_EQ(objects->objectForKey(QStringLiteral("k")), QVariant(QStringLiteral("v")));
    objects->setObject(QVariant(), QStringLiteral("k"));
    EXPECT_TRUE(objects->isEmpty());
}
