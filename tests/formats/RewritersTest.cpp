#include "NoiseImage.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCalendar2To1.h"
#include "formats/VCard3To21.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QByteArray calendar(const QByteArray& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nX-WR-CALNAME:Home\r\nBEGIN:VEVENT\r\n" + body
           + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

QByteArray card(const QByteArray& body)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}

TEST(VCalendar2To1, Lines)
{
    struct Case {
        const char* what;
        QByteArray body;
        QByteArray expected;                    // the event's lines
    };
    const Case cases[] = {
        {"plain summary", "SUMMARY:Lunch\r\n", "SUMMARY:Lunch\r\n"},
        {"accented summary", "SUMMARY:Caf\xC3\xA9\r\n", "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9\r\n"},
        {"escaped line break", "DESCRIPTION:a\\nb\r\n", "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab\r\n"},
        {"escaped comma and semicolon", "LOCATION:a\\, b\\; c\\\\\r\n", "LOCATION:a, b; c\\\r\n"},
        {"dropped", "UID:1\r\nRRULE:FREQ=DAILY\r\nPHOTO:abc\r\nX-FOO:1\r\nATTENDEE:x\r\n", ""},
        {"grouped", "item1.LOCATION:Room 4\r\n", "LOCATION:Room 4\r\n"},
        {"Latin 1", "SUMMARY;CHARSET=LATIN1:K\xF6ln\r\n", "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:K=C3=B6ln\r\n"},
        {"undecodable", "SUMMARY:K\xF6ln\r\n", ""},
        {"empty", "SUMMARY:\r\n", ""},
        {"dates and alarm block",
         "DTSTART:20240301T100000Z\r\nBEGIN:VALARM\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n",
         "DTSTART:20240301T100000Z\r\nBEGIN:VALARM\r\nEND:VALARM\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VCalendar2To1 converter;
        converter.rewrite(calendar(c.body));
        EXPECT_EQ(converter.data(), "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n" + c.expected
                                        + "END:VEVENT\r\nEND:VCALENDAR\r\n");
        EXPECT_TRUE(converter.isVersion20());
    }
    VCalendar2To1 old;
    old.rewrite("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nEND:VCALENDAR\r\n");
    EXPECT_FALSE(old.isVersion20());

    // A refused byte ends the rewrite with what came before it.
    const QByteArray broken = VCalendar2To1::dictionary1ForVCalendar("BEGIN:VCALENDAR\r\nSUMMARY:x\r\nBAD;:y\r\n");
    EXPECT_EQ(broken, "BEGIN:VCALENDAR\r\nSUMMARY:x\r\n");
}

TEST(VCard3To21, Lines)
{
    struct Case {
        const char* what;
        QByteArray body;
        QByteArray expected;
    };
    const Case cases[] = {
        {"grouped mobile", "item1.TEL;type=CELL;type=pref:+49 170 1\r\nitem1.X-ABLabel:mobile\r\n", "TEL;CELL:+49 170 1\r\n"},
        {"e-mail", "EMAIL;type=INTERNET;type=HOME:a@x\r\n", "EMAIL;HOME:a@x\r\n"},
        {"main number", "TEL;type=MAIN;type=WORK:1\r\n", "TEL;WORK:1\r\n"},
        {"note with a break", "NOTE:a\\nb\r\n", "NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab\r\n"},
        {"accented name", "N:M\xC3\xBCller;J\xC3\xB6rg;;;\r\nFN:J\xC3\xB6rg\r\n",
         "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller;J=C3=B6rg;;;\r\n"
         "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6rg\r\n"},
        {"birthday", "BDAY:1980-01-02T00:00:00Z\r\nBDAY:19800102\r\n", "BDAY:19800102\r\nBDAY:19800102\r\n"},
        {"dropped", "UID:1\r\nNICKNAME:x\r\nPRODID:p\r\nCATEGORIES:a\r\nPHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\nX-A:1\r\n", ""},
        {"address", "ADR;type=HOME:;;1 Main St;Town;;123;UK\r\n", "ADR;HOME:;;1 Main St;Town;;123;UK\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VCard3To21 rewriter;
        rewriter.rewrite(card(c.body));
        EXPECT_EQ(rewriter.data(), "BEGIN:VCARD\r\nVERSION:2.1\r\n" + c.expected + "END:VCARD\r\n");
        EXPECT_TRUE(rewriter.isVersion30());
    }
}

TEST(VCard3To21, Photo)
{
    // A large photo is shrunk until its JPEG fits in 32768 bytes.
    const QByteArray withPhoto = VCard3To21::dictionary21ForVCard(card("FN:A\r\n"), noiseImage(400, 300));
    const QString text = QString::fromLatin1(withPhoto);
    ASSERT_TRUE(text.contains(QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\nEND:VCARD\r\n")));
    const QByteArray jpeg = getImageDataVCard(text);
    EXPECT_LE(jpeg.size(), VCard3To21::kPhotoByteLimit);
    const QImage sent = QImage::fromData(jpeg, "JPEG");
    ASSERT_FALSE(sent.isNull());
    EXPECT_LT(sent.width(), 400);

    // A line of pixels whose JPEG is over the limit cannot be shrunk: no
    // photo, the rest written.
    const QByteArray noPhoto = VCard3To21::dictionary21ForVCard(card("FN:A\r\n"), noiseImage(40000, 1));
    EXPECT_EQ(noPhoto, "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:A\r\nEND:VCARD\r\n");
}

} // namespace
