#include "links/ATAnswerText.h"
#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

using namespace links;

TEST(ATAnswerTextTest, ExtractsTheAnswerFromItsFraming)
{
    struct Case {
        QString raw;
        const char* expected;
    };
    const Case cases[] = {
        {QStringLiteral("\r\nMaker\r\n\r\nOK\r\n"), "Maker"},
        {QStringLiteral("\r\n+CGMM: \"GSM900\",\"MODEL=V3\"\r\n\r\nOK\r\n"), "+CGMM: \"GSM900\",\"MODEL=V3\""},
        {QStringLiteral("\n\rLine one\r\nLine two\r\n\r\nOK\r\n\r\n"), "Line one\r\nLine two"},
        {QStringLiteral("Model\r\nOK\r\n\n"), "Model"},
        {QStringLiteral("\r\nERROR\r\n"), "ERROR"},
        {QStringLiteral("\r\nx\r\n+CME ERROR\r\n"), "ERROR"},
        {QStringLiteral("\r\nERROR"), "ERROR"}, // no line end after it: text like any other
        {QStringLiteral("\r\nOK\r\n"), ""},
        {QStringLiteral("\r\n\r\n"), ""},
        {QString(), ""},
        {QStringLiteral("NO OK AT ALL"), "NO OK AT ALL"},
        // The final line is the one the channel's answer test reads.
        {QStringLiteral("\r\nOKI\r\n\r\nOK\r\n"), "OKI"},
        {QStringLiteral("\r\nxOK\r\n"), "xOK"},
        {QStringLiteral("\rModel\r\rOK\r"), "Model"},
        {QStringLiteral("Model\r\nOK \r\n  "), "Model"},
        {QStringLiteral("\r\n+CME ERROR: 10\r"), "ERROR"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(extractATAnswer(c.raw), QLatin1String(c.expected)) << c.raw.toStdString();
    EXPECT_FALSE(extractATAnswer(QString()).isNull());
}

TEST(ATAnswerTextTest, AnAnswerEndsWithAWholeResultLine)
{
    struct Case {
        QByteArray text;
        ATFinalLine line;
        qsizetype lineStart; // -1: the text's size
    };
    const Case cases[] = {
        {"\r\nX\r\n\r\nOK\r\n", ATFinalLine::Ok, 7},
        {"\r\nX\r\n\r\nOK", ATFinalLine::None, -1},
        {"\r\nOK \r\n \r\n ", ATFinalLine::Ok, 2},
        {"\r\nOK \r\n \r\nRING\r\n", ATFinalLine::None, -1},
        {"OK\n", ATFinalLine::Ok, 0},
        {"\r\nCONNECT\r\n", ATFinalLine::Connect, 2},
        {"\r\nCONNECT 9600\r\n", ATFinalLine::None, -1},
        {"\r\n+CMS ERROR: 500\r\n", ATFinalLine::Error, 2},
        {"\r\nChannelID:\r\n", ATFinalLine::ChannelID, 2},
        {"\r\nChannelID: 3\r\n", ATFinalLine::ChannelIDNumber, 2},
        {"\r\n\xA3\xF3\x64\xBC ERROR\r\n", ATFinalLine::Error, 2},
        {"\r\n \r\n", ATFinalLine::None, -1},
        {"", ATFinalLine::None, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const qsizetype lineStart = c.lineStart < 0 ? c.text.size() : c.lineStart;
        const ATAnswerEnd onBytes = findATAnswerEnd(QByteArrayView(c.text));
        EXPECT_EQ(onBytes.line, c.line);
        EXPECT_EQ(onBytes.lineStart, lineStart);
        // Their text (the channel reads Latin-2) ends where they do.
        const ATAnswerEnd onText = findATAnswerEnd(
            platform::text::decode(c.text, platform::text::Encoding::Latin2).value_or(QString()));
        EXPECT_EQ(onText.line, c.line);
        EXPECT_EQ(onText.lineStart, lineStart);
    }
}

TEST(ATAnswerTextTest, VersionNumbersAndErrorFreeTexts)
{
    struct Case {
        const char* text;
        qint64 value;
    };
    const Case cases[] = {
        {"1.2.3", 1002003}, {"1.2", 0},       {"", 0},         {"1.2.3.4", 0},
        {"10.4.11", 10004011}, {"2a.3b.4c", 2003004}, {"x.y.z", 0}, {"-1.0.0", -1000000},
        {"99999999999.0.0", qint64(INT_MAX) * 1000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(versStringToLong(QLatin1String(c.text)), c.value) << c.text;
    EXPECT_EQ(versStringToLong(QString()), 0);

    EXPECT_TRUE(nonErrorString(QString()).isNull());
    EXPECT_TRUE(nonErrorString(QStringLiteral("")).isNull());
    EXPECT_TRUE(nonErrorString(QStringLiteral("+CME ERROR: 10")).isNull());
    EXPECT_EQ(nonErrorString(QStringLiteral("V3")), QLatin1String("V3"));
}

TEST(ATAnswerTextTest, VersionStringIsTheLineAfterTheCommand)
{
    struct Case {
        QByteArray text;
        const char* expected;   // nullptr: none
    };
    const Case cases[] = {
        {"\r\nR7C_13Z_0123456\r\n\r\nOK\r\n", "R7C_13Z_012"},
        {"AT+CGMR\r\r\nV10c\r\n\r\nOK\r\n", "V10c"},
        {"garbage\r\nAT+CGMR\r\n41\r\nOK\r\n", "41"},
        {"\r\n\xe9t\xe9\r\nOK\r\n", "\u00e9t\u00e9"},
        {"no line end", nullptr},
        {"AT+CGMR\r\n", nullptr},
        {"\r\nR7\0C\r\n", "R7"},
        {"", nullptr},
    };
    for (Case c : cases) {
        const QString version = makeVersionString(c.text);
        if (!c.expected)
            EXPECT_TRUE(version.isNull()) << c.text.toStdString();
        else
            EXPECT_EQ(version, QString::fromUtf8(c.expected)) << c.text.toStdString();
    }

    QByteArray buffer("A\r\r\n\nB\n\rC\r");
    EXPECT_EQ(stripAndCompactBuffer(buffer), 6);
    EXPECT_EQ(buffer, QByteArray("A\nB\nC\n"));
}
