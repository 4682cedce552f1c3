#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/RawVCardUtilities.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

const QString kPhoto21 = QStringLiteral(
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Ann\r\n"
    "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n"
    " /9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYI\r\n"
    " DAoMDAsKCwsNDhIQDQ4RDgsLEBYQERMUFRUVDA8XGBYUGBIUFRT\r\n"
    "TEL;CELL:123\r\nEND:VCARD\r\n");

} // namespace

TEST(RawVCardUtilities, FindKeyWordBeginOnlyAtLineStarts)
{
    const QString text = QStringLiteral("NOTE:see TEL:1\r\nTEL:2\r\n");
    EXPECT_EQ(findKeyWordBegin(QStringLiteral("TEL"), text), 16);
    EXPECT_EQ(findKeyWordBegin(QStringLiteral("NOTE"), text), 0);
    EXPECT_EQ(findKeyWordBegin(QStringLiteral("EMAIL"), text), -1);
    EXPECT_EQ(findKeyWordBegin(QStringLiteral("B"), QStringLiteral("A\nB")), 2);
}

TEST(RawVCardUtilities, LineAndContentEnds)
{
    EXPECT_EQ(findEndOfLogicalLine(QStringLiteral("N:a\r\n b\r\nTEL:1")), 9);
    EXPECT_EQ(findEndOfLogicalLine(QStringLiteral("N:a\r\n")), 5);
    EXPECT_EQ(findEndOfLogicalLine(QStringLiteral("N:a")), 3);
    EXPECT_EQ(findEndOfContent(QStringLiteral("N:a\r\n b\r\nTEL")), 8);
    EXPECT_EQ(findEndOfContent(QStringLiteral("N:a\rTEL")), 3);
    EXPECT_EQ(findEndOfContent(QStringLiteral("N:a")), 3);
    EXPECT_EQ(findEndOfProperty(QStringLiteral("TEL;CELL:1")), 4);
    EXPECT_EQ(findEndOfProperty(QStringLiteral("TEL")), 3);
    EXPECT_EQ(findDataType(QStringLiteral("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n")), QStringLiteral("VCALENDAR\r"));
    EXPECT_TRUE(findDataType(QStringLiteral("N:x")).isNull());
}

TEST(RawVCardUtilities, CRLFUsage)
{
    EXPECT_EQ(getCRLFUsage(QStringLiteral("A\r\nB\r\n")), QStringLiteral("\r\n"));
    EXPECT_EQ(getCRLFUsage(QStringLiteral("A\nB\n")), QStringLiteral("\r"));
    EXPECT_EQ(getCRLFUsage(QStringLiteral("A\rB\r")), QStringLiteral("\r"));
    EXPECT_EQ(getCRLFUsage(QStringLiteral("A\r")), QStringLiteral("\r"));
    EXPECT_EQ(getCRLFUsage(QStringLiteral("AB")), QStringLiteral("\r\n"));
}

TEST(RawVCardUtilities, RemoveItemsAndProperties)
{
    const QString stripped = removeVCardItem(QStringLiteral("PHOTO"), kPhoto21);
    EXPECT_EQ(stripped, QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Ann\r\nTEL;CELL:123\r\nEND:VCARD\r\n"));
    EXPECT_EQ(removeVCardItem(QStringLiteral("PHOTO"), stripped), stripped);
    // A padded photo ends after its "=" run; a plain property with its folds.
    EXPECT_EQ(removeVCardItem(QStringLiteral("PHOTO"),
                              QStringLiteral("N:x\r\nPHOTO;BASE64:\r\n QUJD\r\n QQ==\r\nTEL:1\r\n")),
              QStringLiteral("N:x\r\nTEL:1\r\n"));
    EXPECT_EQ(removeVCardItem(QStringLiteral("NOTE"), QStringLiteral("N:x\r\nNOTE:a\r\n b\r\nTEL:1\r\n")),
              QStringLiteral("N:x\r\nTEL:1\r\n"));
    // vCard 3.0: the value is one line ended by a CR.
    EXPECT_EQ(removeVCardItem(QStringLiteral("PHOTO"),
                              QStringLiteral("VERSION:3.0\rPHOTO;ENCODING=b;BASE64:QUJD\rTEL:1\r")),
              QStringLiteral("VERSION:3.0\rTEL:1\r"));
    EXPECT_EQ(removeVCardProperty(QStringLiteral("X-IRMC-LUID"), QStringLiteral("N:x\r\nX-IRMC-LUID:12\r\n")),
              QStringLiteral("N:x\r\n12\r\n"));
}

TEST(RawVCardUtilities, AddAndReplaceItems)
{
    const QString card = QStringLiteral("BEGIN:VCARD\r\nN:x\r\nEND:VCARD\r\n");
    EXPECT_EQ(addVCardItem(QStringLiteral("TEL:1\r\n"), card),
              QStringLiteral("BEGIN:VCARD\r\nN:x\r\nTEL:1\r\nEND:VCARD\r\n"));
    EXPECT_EQ(addVCardItem(QStringLiteral("TEL:1\r\n"), QStringLiteral("N:x")), QStringLiteral("N:x"));

    const QString cal = QStringLiteral("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(addVDataItem(cal, QStringLiteral("X:1\r\n")),
              QStringLiteral("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nEND:VEVENT\r\nX:1\r\nEND:VCALENDAR\r\n"));
    // The span up to the content end is replaced: the CR goes, the LF stays.
    QString expected = cal;
    expected.replace(QStringLiteral("DTSTART:1"), QStringLiteral("DTSTART:2"));
    EXPECT_EQ(replaceVDataItem(QStringLiteral("DTSTART"), cal, QStringLiteral("DTSTART:2\r")), expected);
    // A missing keyword is added with the text's line ending.
    EXPECT_TRUE(replaceVDataItem(QStringLiteral("DUE"), cal, QStringLiteral("DUE:3")).contains(QStringLiteral("DUE:3\r\nEND:VCALENDAR")));
}

TEST(RawVCardUtilities, EndOfBase64Blocks)
{
    // Two CRs in a row (a blank line) end a 2.1 block after the breaks.
    const QString blank = QStringLiteral("PHOTO;BASE64:QUJD\r\n QUJD\r\n\r\nTEL:1");
    EXPECT_EQ(findEndOfBase64(blank, true, true), blank.indexOf(QStringLiteral("TEL")));
    // Motorola style: unindented data lines, the block ends at an empty line.
    const QString moto = QStringLiteral("PHOTO;BASE64:\r\nQUJD\r\nQUJD\n\r\nTEL:1");
    EXPECT_TRUE(isMotorolaStyle(moto));
    EXPECT_FALSE(isMotorolaStyle(QStringLiteral("PHOTO;BASE64:QQ==\r\nTEL")));
    EXPECT_FALSE(isMotorolaStyle(QStringLiteral("PHOTO;BASE64:\r\n QUJD\r\n")));
    EXPECT_EQ(findEndOfBase64(moto, true, true), moto.indexOf(QStringLiteral("QUJD\n")) + 5);
    EXPECT_EQ(findEndOfBase64(QStringLiteral("QUJD"), true, false), 4);
    EXPECT_EQ(findEndOfBase64forV30(QStringLiteral("PHOTO:\rQUJD\r\rTEL"), true), 13);
    EXPECT_EQ(findEndOfBase64forV30(QStringLiteral("PHOTO"), true), 5);
}

TEST(RawVCardUtilities, Base64Codec)
{
    EXPECT_EQ(encodeDataToBase64(QByteArray("ABC")), QStringLiteral("QUJD"));
    EXPECT_EQ(encodeDataToBase64(QByteArray("A")), QStringLiteral("QQ=="));
    const QByteArray bytes = QByteArray::fromHex("00ff10203040506070808090a0b0c0d0e0f0fe");
    const QString flat = encodeDataToBase64(bytes);
    EXPECT_EQ(decodeDataFromBase64(flat), bytes);
    QString folded;
    for (qsizetype i = 0; i < flat.size(); i += 5)
        folded += QStringLiteral("\r\n   ") + flat.mid(i, 5);
    EXPECT_EQ(decodeDataFromBase64(folded), bytes);
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("QQ==")), QByteArray("A"));
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("QUI=")), QByteArray("AB"));
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("QUI")), QByteArray("AB"));
    EXPECT_TRUE(decodeDataFromBase64(QStringLiteral("\r\n  ")).isEmpty());
    // Bytes outside the alphabet are ignored, not counted as digits.
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("Q-U.J,D:")), QByteArray("ABC"));
    EXPECT_EQ(decodeDataFromBase64(QString::fromUtf8("QU\u00e9JD")), QByteArray("ABC"));
    // A lone trailing character is no byte; data after the fill is not read.
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("QUJDQ")), QByteArray("ABC"));
    EXPECT_EQ(decodeDataFromBase64(QStringLiteral("QQ==QUJD")), QByteArray("A"));
    // Large input grows the output as needed.
    QByteArray large(100000, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char(i * 7);
    EXPECT_EQ(decodeDataFromBase64(formatBase64(encodeDataToBase64(large))), large);
}

TEST(RawVCardUtilities, QuotedPrintableEncoding)
{
    EXPECT_EQ(encodeData_quoted_printable(QByteArray("a=b\r\nc")), QStringLiteral("a=3Db=0D=0Ac"));
    EXPECT_EQ(encodeData_quoted_printable(QString::fromUtf8("\u00e4").toUtf8()), QStringLiteral("=C3=A4"));
    EXPECT_EQ(encodeData_quoted_printable(QByteArray()), QString());
}

TEST(RawVCardUtilities, FormatBase64Lines)
{
    const QString s67(67, u'a');
    const QString s68(68, u'b');
    EXPECT_EQ(formatBase64(s67), s67);
    EXPECT_EQ(formatBase64(s68), s68 + QStringLiteral("\r\n"));
    EXPECT_EQ(formatBase64(s68 + u'c'), s68 + QStringLiteral("\r\n c\r\n"));
    const QString s135 = s68 + QString(67, u'd');
    EXPECT_EQ(formatBase64(s135), s68 + QStringLiteral("\r\n ") + QString(67, u'd') + QStringLiteral("\r\n"));
}

TEST(RawVCardUtilities, PhotoItems)
{
    const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:x\r\nEND:VCARD\r\n");
    QImage image(64, 48, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QString withPhoto = addPhotoItem(image, card, 0);
    ASSERT_NE(withPhoto, card);
    EXPECT_EQ(findKeyWordBegin(QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:"), withPhoto), 31);
    EXPECT_TRUE(withPhoto.endsWith(QStringLiteral("\r\nEND:VCARD\r\n")));
    const QImage back = getImageFromVCard(withPhoto);
    EXPECT_EQ(back.size(), image.size());

    // A noisy image shrinks until its JPEG fits the limit.
    QImage noisy(200, 200, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, random.generate());
    const QString limited = addPhotoItem(noisy, card, 20000);
    ASSERT_NE(limited, card);
    EXPECT_LE(getImageDataVCard(limited).size(), 20000);
    EXPECT_LT(getImageFromVCard(limited).width(), 200);
    // A limit nothing can meet: the shrinking stops at the smallest side and
    // the photo is left out.
    EXPECT_EQ(addPhotoItem(noisy, card, 10), card);
    EXPECT_EQ(addPhotoItem(QImage(), card, 0), card);
    EXPECT_TRUE(getImageDataVCard(card).isNull());
}

TEST(RawVCardUtilities, FixLineBreaksJoinsOnlyQuotedPrintableSoftBreaks)
{
    const QByteArray text("BEGIN:VCARD\r\n"
                          "NOTE;ENCODING=QUOTED-PRINTABLE:one=\r\ntwo=\r\nthree\r\n"
                          "X-A:keep=\r\nTEL:1\r\nEND:VCARD\r\n");
    EXPECT_EQ(fixLineBreaks(text), QByteArray("BEGIN:VCARD\r\n"
                                              "NOTE;ENCODING=QUOTED-PRINTABLE:onetwothree\r\n"
                                              "X-A:keep=\r\nTEL:1\r\nEND:VCARD\r\n"));
    EXPECT_EQ(fixLineBreaks(QByteArray("N;ENCODING=QUOTED-PRINTABLE:a=\n\rb")), QByteArray("N;ENCODING=QUOTED-PRINTABLE:ab"));
    EXPECT_EQ(fixLineBreaks(QByteArray("=\r\n")), QByteArray("=\r\n"));
    EXPECT_TRUE(bufferContainsQPEncoding("X;ENCODING=QUOTED-PRINTABLE:", 28));
    EXPECT_FALSE(bufferContainsQPEncoding("X;ENCODING=QUOTED-PRINTABLE:", 20));
}

TEST(VCardExtensions, VersionsAndConversions)
{
    EXPECT_FALSE(isVCard21(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\n")));
    EXPECT_TRUE(isVCard21(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\n")));
    EXPECT_TRUE(isVCard21(QStringLiteral("BEGIN:VCARD\r\n")));
    EXPECT_TRUE(isVCard21(QStringLiteral("VERSION:3.")));
    EXPECT_FALSE(isVCalendar20(QStringLiteral("VERSION:1.0")));
    EXPECT_TRUE(isVCalendar20(QStringLiteral("VERSION:2.0")));

    EXPECT_TRUE(getAsString(QByteArray()).isNull());
    EXPECT_EQ(getAsString(QString::fromUtf8("N:J\u00f6rg").toUtf8()), QString::fromUtf8("N:J\u00f6rg"));
    EXPECT_EQ(getAsString(QByteArray("N:J\xf6rg")), QString::fromUtf8("N:J\u00f6rg"));   // Latin 1 fall-back
    EXPECT_EQ(getAsString(QByteArray("\xff\xfeN\0:\0x\0", 8)), QStringLiteral("N:x"));
    EXPECT_EQ(getAsString(QByteArray("\0N\0:", 4)), QStringLiteral("N:"));
    EXPECT_FALSE(isVCard21(QByteArray("VERSION:3.0")));

    const QString ascii = QStringLiteral("N:x");
    EXPECT_EQ(getAsData(ascii), QByteArray("N:x"));
    QString lone = QStringLiteral("a");
    lone.append(QChar(0xD800));
    EXPECT_TRUE(getAsData(lone).startsWith("\xfe\xff"));

    EXPECT_FALSE(containsString(ascii, QString()));
    EXPECT_TRUE(containsString(ascii, QStringLiteral(":")));
    EXPECT_TRUE(hasSubString(ascii, QStringLiteral("N")));

    EXPECT_EQ(lastSignificantLine(QStringLiteral("A:1\r\nB:2 \r\n \r\n")), QStringLiteral("B:2"));
    EXPECT_EQ(lastSignificantLine(QStringLiteral("B:2")), QStringLiteral("B:2"));
    EXPECT_EQ(lastSignificantLine(QStringLiteral(" \r\n")), QStringLiteral(""));
}
