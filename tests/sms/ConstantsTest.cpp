#include "kestrova/sms/Constants.h"

#include "platform/UserDefaults.h"

#include <QVariantList>
#include <QVariantMap>
#include <gtest/gtest.h>

using namespace kestrova;

TEST(AtTextCoding, Ucs2Hex)
{
    EXPECT_EQ(Constants::encodeToUcs2CocoaAsciiStream(QStringLiteral("AB")), QStringLiteral("00410042"));
    EXPECT_EQ(Constants::encodeToUcs2CocoaAsciiStream(QString()), QStringLiteral("error"));
    EXPECT_EQ(Constants::encodeToUcs2AsciiStream(QStringLiteral("\u00E4\U0001F600")), QByteArray("00E4D83DDE00"));
    EXPECT_EQ(Constants::encodeToUcs2AsciiStream(QString()), QByteArray("error"));
    EXPECT_EQ(Constants::encodeToUTF8CocoaAsciiStream(QStringLiteral("a\u00E4")), QStringLiteral("61C3A4"));
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("1F0041"), QStringLiteral("A"));
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("0000"), QStringLiteral(" "));
    // A zero unit inside the text stays; zero units at its end close it.
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("0041000000420043"), QString::fromUtf16(u"A\0BC", 4));
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("004100000000"), QStringLiteral("A"));
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("0"), QStringLiteral("error"));
    EXPECT_EQ(Constants::decodeFromUcs2AsciiStream("00e4041600410042"), QStringLiteral("\u00E4\u0416AB"));
}

TEST(AtTextCoding, GsmCharsetKeepsTheAtSign)
{
    // "@" is the GSM code 0x00; names and addresses with it are not cut.
    const QString coded = Constants::encodeToGsmAsciiStream(QStringLiteral("me@home.org {x}"));
    EXPECT_EQ(coded.toLatin1(), QByteArray("me\x00home.org \x1B\x28x\x1B\x29", 17));
    EXPECT_EQ(Constants::encodeToGsmAsciiStream(QStringLiteral("\u00E9\u00C7\u0416")).toLatin1(),
              QByteArray("\x05\x09?"));
    EXPECT_EQ(Constants::encodeToSiemensGsmAsciiStream(QStringLiteral("a\"b@")), QStringLiteral("a\\22b\\00"));
    EXPECT_EQ(Constants::decodeFromGsmAsciiStream(QByteArray("\x05\x1B\x65\x40\x01", 5)),
              QStringLiteral("\u00E9\u20AC@\u00A3"));
}

TEST(AtTextCoding, SpecialCharsAndNumbers)
{
    EXPECT_EQ(Constants::replaceSpecialChars("a\"b\\c"), QStringLiteral("a'b/c"));
    EXPECT_EQ(Constants::replaceSpecialChars(""), QStringLiteral("error"));
    EXPECT_EQ(Constants::replaceSpecialChars("\xC3\x28"), QStringLiteral("error"));
    EXPECT_EQ(Constants::stripNumber(QStringLiteral("+49 (171) 12-34x")), QStringLiteral("+49 (171) 12-34"));
    EXPECT_EQ(Constants::stripNumber(QStringLiteral("0+49+1")), QStringLiteral("0491"));
    EXPECT_EQ(Constants::stripNumber(QStringLiteral("+4+9")), QStringLiteral("+49"));
    EXPECT_EQ(Constants::createSearchNumber(QStringLiteral("0049171")), QStringLiteral("+49171"));
    EXPECT_EQ(Constants::createSearchNumber(QStringLiteral("0171")), QStringLiteral("0171"));
    platform::UserDefaults::standard().setObject(QStringLiteral("defaultCountryCode"), QStringLiteral("+49"));
    EXPECT_EQ(Constants::createSearchNumber(QStringLiteral("0171")), QStringLiteral("+49171"));
    platform::UserDefaults::standard().remove(QStringLiteral("defaultCountryCode"));
    EXPECT_EQ(Constants::convertHexCharactersToString(QByteArray("\x01\xAB", 2)), QStringLiteral("01AB"));
    EXPECT_EQ(Constants::convertHexCharactersToString(QByteArray(300, '\x0F')), QStringLiteral("0F").repeated(255));
    EXPECT_EQ(Constants::getError(16), QStringLiteral("The message has no recipient."));
    EXPECT_EQ(Constants::getError(9999), QString());
}

TEST(AtTextCoding, MutableCopyIsDeep)
{
    const QVariantMap inner{{QStringLiteral("k"), QVariantList{1, 2}}};
    const QVariant copy = Constants::createMutableCopy(QVariantList{inner, QStringLiteral("s")});
    ASSERT_EQ(copy.typeId(), QMetaType::QVariantList);
    const QVariantList list = copy.toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toMap(), inner);
    EXPECT_EQ(list[1].toString(), QStringLiteral("s"));
    EXPECT_FALSE(Constants::createMutableCopy(QStringLiteral("x")).isValid());
}
