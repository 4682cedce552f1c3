#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"
#include "kestrova/views/MessageInputViewTools.h"

#include <gtest/gtest.h>

namespace {

QString repeat(const QString& piece, int times)
{
    return piece.repeated(times);
}

struct CountCase {
    const char* name;
    QString text;
    bool greek;
    int realLength;
    bool unicode;
    int free;
    int parts;
    bool shift;
};

} // namespace

TEST(MessageInputViewTools, CountsTextsAsTheCodecSendsThem)
{
    const QString a = QStringLiteral("a");
    const QString zhe = QStringLiteral("\u0436");       // Cyrillic: UCS2 only
    const QString grin = QStringLiteral("\U0001F600");  // two UTF-16 units
    const CountCase cases[] = {
        {"one GSM character", a, false, 1, false, 159, 1, false},
        {"160 GSM", repeat(a, 160), false, 160, false, 0, 1, false},
        {"161 GSM", repeat(a, 161), false, 161, false, 145, 2, false},
        {"306 GSM, exact multiple", repeat(a, 306), false, 306, false, 0, 2, false},
        {"euro takes an escape", repeat(a, 158) + QStringLiteral("\u20AC"), false, 160, false, 0, 1, false},
        {"70 with a UCS2 letter", zhe + repeat(a, 69), false, 70, true, 0, 1, false},
        {"71 with a UCS2 letter", zhe + repeat(a, 70), false, 71, true, 63, 2, false},
        {"Spanish letter: shift table, counted twice", QStringLiteral("\u00E1") + repeat(a, 153), false, 155,
         false, 0, 1, true},
        {"Spanish letter one over the single part", QStringLiteral("\u00E1") + repeat(a, 154), false, 156,
         false, 149 * 2 - 156, 2, true},
        // The escape pair may not straddle the end of a part: 152 + 2 + 152
        // septets are three messages, not the two of 306 / 153.
        {"escape pair at a part boundary", repeat(a, 152) + QStringLiteral("\u20AC") + repeat(a, 152), false,
         306, false, 153 - 1, 3, false},
        // A UCS2 part never ends between the halves of a surrogate pair.
        {"emoji at a UCS2 boundary", repeat(a, 66) + grin + repeat(a, 66), false, 134, true, 67 - 1, 3, false},
        {"tab is not in the GSM alphabet", QStringLiteral("a\tb"), false, 3, true, 67, 1, false},
        {"line feed is", QStringLiteral("a\nb"), false, 3, false, 157, 1, false},
        {"Greek letters counted after substitution", QStringLiteral("\u03B1\u03B2\u03B3"), true, 3, false, 157, 1,
         false},
        {"Greek letters without substitution", QStringLiteral("\u03B1\u03B2\u03B3"), false, 3, true, 67, 1, false},
    };
    for (const CountCase& c : cases) {
        const auto counted = MessageInputViewTools::countMessageChars(
            {{kSMSMessageText, c.text}, {kSMSMessageGreekSubstitution, c.greek}});
        ASSERT_TRUE(counted) << c.name;
        EXPECT_EQ(counted->value(kSMSMessageRealLength).toInt(), c.realLength) << c.name;
        EXPECT_EQ(counted->value(kSMSMessageUnicodeNeeded).toBool(), c.unicode) << c.name;
        EXPECT_EQ(counted->value(kSMSMessageFreeCharsInLastPart).toInt(), c.free) << c.name;
        EXPECT_EQ(counted->value(kSMSMessagePartCount).toInt(), c.parts) << c.name;
        EXPECT_EQ(counted->value(kSMSMessageUseSingleShiftTable).toBool(), c.shift) << c.name;
        EXPECT_EQ(counted->size(), 5) << c.name;
    }
}

TEST(MessageInputViewTools, EmptyTextCountsAsNothing)
{
    EXPECT_FALSE(MessageInputViewTools::countMessageChars({{kSMSMessageText, QString()}}));
    EXPECT_FALSE(MessageInputViewTools::countMessageChars({}));
    EXPECT_FALSE(MessageInputViewTools::countMessageChars(
        {{kSMSMessageText, QString()}, {kSMSMessageGreekSubstitution, true}}));
    const SmsTextMeasure empty = MessageInputViewTools::measurePlainLength(0, false, false);
    EXPECT_EQ(empty.freeInLastPart, 160);
    EXPECT_EQ(empty.partCount, 1);
}

TEST(MessageInputViewTools, PartCountAgreesWithThePduList)
{
    const QString texts[] = {
        QString(152, QLatin1Char('a')) + QStringLiteral("\u20AC") + QString(152, QLatin1Char('a')),
        QString(161, QLatin1Char('b')),
        QString(66, QLatin1Char('c')) + QStringLiteral("\U0001F600") + QString(66, QLatin1Char('c')),
    };
    for (const QString& text : texts) {
        const SmsTextMeasure measure = MessageInputViewTools::measure(text, false);
        kestrova::sms message;
        message.setTP_DCS(measure.unicodeNeeded ? 8 : 0);
        message.setUtf8String(text.toUtf8());
        if (measure.unicodeNeeded)
            message.setUcs2Text(text);
        auto recipients = std::make_unique<kestrova::addressList>();
        recipients->appendItem(QStringLiteral("+123"));
        message.setAddressList(std::move(recipients));
        auto pdus = kestrova::createPduListFromSms(message);
        ASSERT_TRUE(pdus);
        EXPECT_EQ(pdus->length(), measure.partCount) << text.left(10).toStdString();
    }
}

TEST(MessageInputViewTools, AllowedLengths)
{
    struct {
        bool shift, unicode;
        int parts, length;
    } const cases[] = {
        {false, false, 1, 160}, {true, false, 1, 155}, {false, true, 1, 70},     {true, true, 1, 70},
        {false, false, 10, 1530}, {true, false, 10, 1480}, {false, true, 10, 670}, {true, true, 10, 670},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageInputViewTools::getAllowedMessageLength(c.shift, c.unicode, c.parts), c.length)
            << c.shift << c.unicode << c.parts;
}
