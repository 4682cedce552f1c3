#include "kestrova/sms/GsmAlphabet.h"

#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

// A second transcription of the 3GPP TS 23.038 tables, written independently
// of the code's tables as 128-character rows in the layout of the standard's
// printed tables (one string per table, "\x01" for an undefined position).
// Every position of the code's tables must agree with it.
QString row(std::initializer_list<std::pair<int, char16_t>> entries)
{
    QString table(128, QChar(1));
    for (const auto& [pos, unit] : entries)
        table[pos] = QChar(unit);
    return table;
}

const QString kDefaultReference =
    QStringLiteral("@\u00A3$\u00A5\u00E8\u00E9\u00F9\u00EC\u00F2\u00C7\n\u00D8\u00F8\r\u00C5\u00E5"
                   "\u0394_\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E\u00A0\u00C6\u00E6\u00DF\u00C9"
                   " !\"#\u00A4%&'()*+,-./0123456789:;<=>?"
                   "\u00A1ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00C4\u00D6\u00D1\u00DC\u00A7"
                   "\u00BFabcdefghijklmnopqrstuvwxyz\u00E4\u00F6\u00F1\u00FC\u00E0");

QString commonShiftRows(QString table)
{
    // Positions every single-shift table shares with the basic extension table.
    const std::pair<int, char16_t> common[] = {{0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'},
                                               {0x29, u'}'}, {0x2F, u'\\'}, {0x3C, u'['},
                                               {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'},
                                               {0x65, u'\u20AC'}};
    for (const auto& [pos, unit] : common)
        table[pos] = QChar(unit);
    return table;
}

void expectTable(const GsmUnicodeTable& table, const QString& reference, const char* name)
{
    ASSERT_EQ(reference.size(), 128) << name;
    for (int i = 0; i < 128; ++i) {
        const char16_t expected = reference[i].unicode() == 1 ? u'?' : reference[i].unicode();
        EXPECT_EQ(table[i], expected) << name << " position 0x" << std::hex << i;
    }
}

} // namespace

TEST(GsmTables, AgreeWithTheStandardPositionByPosition)
{
    expectTable(gsmDefaultAlphabet(), kDefaultReference, "default");
    expectTable(gsmShiftTable(kSmsCodePageDefault), commonShiftRows(row({})), "extension");
    expectTable(gsmShiftTable(kSmsCodePageSpanish),
                commonShiftRows(row({{0x09, u'\u00E7'}, {0x41, u'\u00C1'}, {0x49, u'\u00CD'},
                                     {0x4F, u'\u00D3'}, {0x55, u'\u00DA'}, {0x61, u'\u00E1'},
                                     {0x69, u'\u00ED'}, {0x6F, u'\u00F3'}, {0x75, u'\u00FA'}})),
                "spanish");
    expectTable(gsmShiftTable(kSmsCodePagePortuguese),
                commonShiftRows(row({{0x05, u'\u00EA'}, {0x09, u'\u00E7'}, {0x0B, u'\u00D4'},
                                     {0x0C, u'\u00F4'}, {0x0E, u'\u00C1'}, {0x0F, u'\u00E1'},
                                     {0x12, u'\u03A6'}, {0x13, u'\u0393'}, {0x15, u'\u03A9'},
                                     {0x16, u'\u03A0'}, {0x17, u'\u03A8'}, {0x18, u'\u03A3'},
                                     {0x19, u'\u0398'}, {0x1F, u'\u00CA'}, {0x41, u'\u00C0'},
                                     {0x49, u'\u00CD'}, {0x4F, u'\u00D3'}, {0x55, u'\u00DA'},
                                     {0x5B, u'\u00C3'}, {0x5C, u'\u00D5'}, {0x61, u'\u00C2'},
                                     {0x69, u'\u00ED'}, {0x6F, u'\u00F3'}, {0x75, u'\u00FA'},
                                     {0x7B, u'\u00E3'}, {0x7C, u'\u00F5'}, {0x7F, u'\u00E2'}})),
                "portuguese");
    expectTable(gsmShiftTable(kSmsCodePageTurkish),
                commonShiftRows(row({{0x47, u'\u011E'}, {0x49, u'\u0130'}, {0x53, u'\u015E'},
                                     {0x63, u'\u00E7'}, {0x67, u'\u011F'}, {0x69, u'\u0131'},
                                     {0x73, u'\u015F'}})),
                "turkish");
}

TEST(GsmTables, MacRomanBytesAgreeWithIconv)
{
    // Each position holds the Mac OS Roman byte of the default alphabet's
    // character, or 0x3F where Mac OS Roman lacks it; Pi and Sigma are the
    // deliberate look-alikes (n-ary product and sum).
    const auto& bytes = gsmDefaultMacRomanTable();
    for (int i = 0; i < 128; ++i) {
        if (i == 0x1B) {
            EXPECT_EQ(bytes[i], 0x3F) << "escape position";
            continue;
        }
        const char16_t unit = gsmDefaultAlphabet()[i];
        const auto encoded = platform::text::encode(QString(QChar(unit)),
                                                    platform::text::Encoding::MacRoman);
        if (i == 0x16 || i == 0x18) {
            const auto decoded = platform::text::decode(QByteArray(1, char(bytes[i])),
                                                        platform::text::Encoding::MacRoman);
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->at(0).unicode(), i == 0x16 ? 0x220F : 0x2211);
            continue;
        }
        if (!encoded) {
            EXPECT_EQ(bytes[i], 0x3F) << "position 0x" << std::hex << i;
            continue;
        }
        ASSERT_EQ(encoded->size(), 1);
        EXPECT_EQ(bytes[i], quint8(encoded->at(0))) << "position 0x" << std::hex << i;
    }
    // The extension table: every defined byte decodes to the shift table's
    // character (0x63 is the Turkish table's c-cedilla).
    const auto& extension = gsmExtensionMacRomanTable();
    for (int i = 0; i < 128; ++i) {
        if (extension[i] == 0x3F)
            continue;
        const auto decoded = platform::text::decode(QByteArray(1, char(extension[i])),
                                                    platform::text::Encoding::MacRoman);
        ASSERT_TRUE(decoded);
        const char16_t expected = i == 0x63 ? gsmShiftTable(kSmsCodePageTurkish)[i]
                                            : gsmShiftTable(kSmsCodePageDefault)[i];
        EXPECT_EQ(decoded->at(0).unicode(), expected) << "position 0x" << std::hex << i;
    }
}

TEST(GsmCodePage, AnalysisChoosesTheTable)
{
    struct Case {
        QString text;
        int page;
        int escapes;
        int needsUcs2;
    } cases[] = {
        {QStringLiteral("Hello 123 \u00E9"), 1, 0, 0},
        {QStringLiteral("Hola \u00E1"), 3, 1, 0},
        {QStringLiteral("\u00E7"), 5, 1, 0},
        {QStringLiteral("\u00E7\u00E3"), 4, 2, 0},
        {QStringLiteral("\u00E1\u015F"), 0, 2, 1},
        {QStringLiteral("\u00E1\u00E7"), 3, 2, 0},         // the Spanish table has c-cedilla too
        {QStringLiteral("\u00E1\u00E3"), 4, 2, 0},          // Portuguese holds every Spanish letter
        {QStringLiteral("{\u015F|"), 5, 3, 0},              // "|" stands in the Turkish table
        {QStringLiteral("a?b\u00A0"), 1, 0, 0},
        {QStringLiteral("\u0416"), 0, 1, 1},
        {QStringLiteral("\U0001F600"), 0, 1, 1},
    };
    for (const auto& c : cases) {
        SLTSmsCodePage page = -1;
        int escapes = -1;
        EXPECT_EQ(messageTextContainsUniChars(c.text, page, escapes), c.needsUcs2) << c.text.toStdString();
        EXPECT_EQ(page, c.page) << c.text.toStdString();
        EXPECT_EQ(escapes, c.escapes) << c.text.toStdString();
    }
}

TEST(GsmText, EncodesAndDecodesEscapesAndTheLoneEscape)
{
    EXPECT_EQ(gsmEncodeText(u"{", 1), QByteArray("\x1B\x28"));
    EXPECT_EQ(gsmEncodeText(u"\u00A0", 1), QByteArray("\x1B"));
    EXPECT_EQ(gsmEncodeText(u"@?", 1), QByteArray("\x00\x3F", 2));
    EXPECT_EQ(gsmEncodeText(u"\u015F", 5), QByteArray("\x1B\x73"));
    // U+00A0 before a septet that would pair with the escape is a blank:
    // a defined shift position, or the escape of the next character (the
    // pair 1B 1B is reserved and must never be sent).
    const std::pair<const char16_t*, QByteArray> blanks[] = {
        {u"\u00A0(", " ("},
        {u"\u00A0{", " \x1B\x28"},
        {u"\u00A0\u00A0", " \x1B"},
        {u"\u00A0\u20AC", " \x1B\x65"},
    };
    for (const auto& [text, coded] : blanks)
        EXPECT_EQ(gsmEncodeText(text, 1), coded) << QString::fromUtf16(text).toStdString();
    // Portuguese: a Greek capital of the default alphabet takes its one
    // septet, not the shift table's pair, as the length count expects.
    EXPECT_EQ(gsmEncodeText(u"\u03A6", kSmsCodePagePortuguese), QByteArray("\x12"));

    const QString texts[] = {QStringLiteral("a\u00A0b"), QStringLiteral("end\u00A0"),
                             QStringLiteral("[x]~\u20AC")};
    for (const QString& text : texts)
        EXPECT_EQ(gsmDecodeText(gsmEncodeText(text, 1), 1), text) << text.toStdString();
    // A position the shift table leaves undefined: the default character.
    EXPECT_EQ(gsmDecodeText(QByteArray("\x1B\x41"), 1), QStringLiteral("\u00A0A"));
    EXPECT_EQ(gsmDecodeText(QByteArray("\x1B\x41"), 3), QStringLiteral("\u00C1"));
}

TEST(GreekSubstitution, ReplacesLettersAndDropsAccents)
{
    EXPECT_EQ(substituteStringToGreek(QStringLiteral("\u03B1\u03B2\u03B3")),
              QStringLiteral("AB\u0393"));
    EXPECT_EQ(substituteStringToGreek(QStringLiteral("\u0384\u0392")), QStringLiteral("B"));
    const auto kept = substituteStringToGreek(QStringLiteral("\u0384\u0391"));
    EXPECT_EQ(kept, QStringLiteral("\u0384A"));
    SLTSmsCodePage page = 0;
    int escapes = 0;
    EXPECT_EQ(messageTextContainsUniChars(*kept, page, escapes), 1);
    EXPECT_EQ(substituteStringToGreek(QStringLiteral("\u03C3\u03C2\u03C9`")),
              QStringLiteral("\u03A3\u03A3\u03A9 "));
    EXPECT_FALSE(substituteStringToGreek(QString()).has_value());
}

TEST(GsmAtCharset, ConvertsMacRomanBytes)
{
    EXPECT_EQ(convertToGSMEncoding("{"), QByteArray("\x1B\x28"));
    EXPECT_EQ(convertToGSMEncoding("?"), QByteArray("\x3F"));
    EXPECT_EQ(convertToGSMEncoding("a@b"), QByteArray("a\x00" "b", 3));
    EXPECT_EQ(convertToSiemensGSMEncoding("\"@"), QByteArray("\\22\\00"));
    EXPECT_EQ(convertFromGSMEncoding(QByteArray("\x1B\x28\x40\x01", 4)), QByteArray("{@\xA3"));
    EXPECT_EQ(convertFromGSMEncoding(QByteArray("\x80\x1B", 2)), QByteArray("??"));
}
