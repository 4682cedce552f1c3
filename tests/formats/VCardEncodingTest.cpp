#include "PinnedTimeZone.h"

#include "formats/VCardEncoding.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"

#include <QTimeZone>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QVariantMap param(const QString& key, const QVariantList& values)
{
    return {{QStringLiteral("Key"), key}, {QStringLiteral("Values"), values}};
}

TEST(VCardEncodingTest, EncodedLines)
{
    struct Case {
        QString value;
        const char* charset;
        const char* typeText;
        const char* expected;
    };
    const Case cases[] = {
        {QStringLiteral("Plain;text"), nullptr, nullptr, "NOTE:Plain\\;text"},
        {QStringLiteral("back\\slash,comma"), nullptr, nullptr, "NOTE:back\\slash,comma"},
        {QStringLiteral("Café"), "UTF-8", nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9"},
        {QStringLiteral("Café"), "ISO-8859-1", nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9"},
        {QStringLiteral("€uro"), "ISO-8859-1", nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=E2=82=ACuro"},
        {QStringLiteral("Café"), "NO-SUCH-SET", nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9"},
        {QStringLiteral("Café"), "UTF-8//IGNORE", nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9"},
        {QStringLiteral("a=b;\r\nc"), nullptr, nullptr, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=3Db;=0D=0Ac"},
        {QStringLiteral("x"), nullptr, "HOME", "NOTE;HOME:x"},
        {QStringLiteral("x"), nullptr, ";HOME", "NOTE;HOME:x"},
        {QStringLiteral("x"), nullptr, "", "NOTE:x"},
        {QStringLiteral("é"), nullptr, "WORK", "NOTE;WORK;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=C3=A9"},
        {QString(), nullptr, nullptr, "NOTE:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const QString charset = QString::fromLatin1(c.charset);
        const QString line = c.typeText
                                 ? createTypedEncodedLine(QStringLiteral("NOTE"), QString::fromLatin1(c.typeText),
                                                          c.value, charset)
                                 : createEncodedLine(QStringLiteral("NOTE"), c.value, charset);
        EXPECT_EQ(line, QString::fromUtf8(c.expected));
    }
}

TEST(VCardEncodingTest, ValueTestsAndQuoting)
{
    EXPECT_TRUE(isCleanASCII(QString()));
    EXPECT_TRUE(isCleanASCII(QStringLiteral("tab\tand ;=\\")));
    EXPECT_FALSE(isCleanASCII(QStringLiteral("a\rb")));
    EXPECT_FALSE(isCleanASCII(QStringLiteral("a\nb")));
    EXPECT_FALSE(isCleanASCII(QStringLiteral("\u0080")));
    EXPECT_EQ(asciiEncodedString(QStringLiteral(";a;;")), QStringLiteral("\\;a\\;\\;"));
    EXPECT_EQ(printableEncodedString(QStringLiteral("é=\n€a")), QStringLiteral("=E9=3D=0A=20ACa"));
    EXPECT_EQ(printableEncodedToCharsetString(QStringLiteral("ő="), QStringLiteral("ISO-8859-2")),
              QStringLiteral("=F5=3D"));
    EXPECT_EQ(printableEncodedToCharsetString(QStringLiteral("€"), QStringLiteral("ISO-8859-1")), QString());
    EXPECT_TRUE(isKnownCharsetName(QStringLiteral("utf-8")));
    EXPECT_FALSE(isKnownCharsetName(QStringLiteral("HOME")));
    EXPECT_FALSE(isKnownCharsetName(QStringLiteral("UTF-8//TRANSLIT")));
}

TEST(VCardEncodingTest, StringValueForItem)
{
    EXPECT_TRUE(stringValueForItem(QVariant()).isNull());
    EXPECT_TRUE(stringValueForItem(42).isNull());
    EXPECT_EQ(stringValueForItem(QStringLiteral("text")), QStringLiteral("text"));
    EXPECT_EQ(stringValueForItem(QUrl(QStringLiteral("http://example.org/a%20b/%C3%BC"))),
              QStringLiteral("http://example.org/a b/ü"));
    EXPECT_EQ(stringValueForItem(QUrl::fromEncoded("http://example.org/%FF")),
              QStringLiteral("http://example.org/%FF"));
    EXPECT_EQ(stringValueForItem(QDate(2024, 2, 29)), QStringLiteral("20240229"));
    const QDateTime local(QDate(2024, 2, 29), QTime(12, 0), Qt::LocalTime);
    EXPECT_EQ(stringValueForItem(local), QStringLiteral("20240229"));
}

TEST(VCardEncodingTest, DateTexts)
{
    const PinnedTimeZone berlin;

    const QDateTime date(QDate(2024, 7, 1), QTime(1, 30, 5), QTimeZone(QByteArrayLiteral("UTC+05:00")));
    EXPECT_EQ(zuluDateString(date), QStringLiteral("20240630T203005Z"));
    EXPECT_EQ(zeroZuluDayString(date), QStringLiteral("20240630T220000Z"));
    EXPECT_EQ(zeroZuluGreenwichTimeDayString(date), QStringLiteral("20240701T000000Z"));
    EXPECT_EQ(endDayZulu235900String(date), QStringLiteral("20240701T215900Z"));
    EXPECT_EQ(dayString(date), QStringLiteral("20240701"));
    EXPECT_EQ(zeroStartDayString(date), QStringLiteral("20240701T000000"));
    EXPECT_EQ(zeroEndDayString(date), QStringLiteral("20240701T000000"));
    EXPECT_EQ(endDay235959String(date), QStringLiteral("20240701T235959"));
    EXPECT_EQ(endDay235900String(date), QStringLiteral("20240701T235900"));

}

TEST(VCardRelationsTest, FormatRelation)
{
    const QVariantMap typeHome = param(QStringLiteral("type"), {QStringLiteral("HOME")});
    const QVariantMap charset = param(QStringLiteral("CHARSET"), {QStringLiteral("UTF-8")});
    const QVariantMap encoding = param(QStringLiteral("encoding"), {QStringLiteral("QUOTED-PRINTABLE")});
    const QVariantMap namedSet = param(QStringLiteral("X"), {QStringLiteral("ISO-8859-1")});
    const QVariantMap bare = param(QStringLiteral("VOICE"), {});
    struct Case {
        const char* what;
        QVariant params;
        QVariant expected;
    };
    const Case cases[] = {
        {"nil", QVariant(), QVariantList()},
        {"empty", QVariantList(), QVariantList()},
        {"plain entries unchanged", QVariantList{typeHome, bare}, QVariantList{typeHome, bare}},
        {"bare word and a character set", QVariantList{QStringLiteral("HOME"), charset},
         QVariantList{typeHome}},
        {"encoding, set-valued and set-named entries go",
         QVariantList{encoding, typeHome, namedSet, QStringLiteral("UTF-8")}, QVariantList{typeHome}},
        {"other kinds go", QVariantList{typeHome, 42, QVariantList{}, QStringLiteral("WORK")},
         QVariantList{typeHome, param(QStringLiteral("type"), {QStringLiteral("WORK")})}},
        {"only character sets", QVariantList{charset, QStringLiteral("UTF-8")}, QVariant()},
        {"not a list", QStringLiteral("HOME"), QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QVariant result = formatRelation(c.params);
        EXPECT_EQ(result.isValid(), c.expected.isValid());
        EXPECT_EQ(result.toList(), c.expected.toList());
    }

    EXPECT_EQ(relationDictionary(QStringLiteral("type"), QStringLiteral("HOME")), typeHome);
    EXPECT_EQ(relationDictionary(QStringLiteral("type"), QVariantList{QStringLiteral("HOME")}), typeHome);
    EXPECT_EQ(relationArrayWith2Vals(QStringLiteral("type"), QStringLiteral("HOME"), QStringLiteral("FAX")),
              (QVariantList{typeHome, param(QStringLiteral("type"), {QStringLiteral("FAX")})}));

    // Storing a list of which nothing remains removes the entry.
    VXDictionary vx;
    vx.setRelation({typeHome}, QStringLiteral("phone numbers"), QStringLiteral("Tarnex:1"));
    vx.setRelation({charset}, QStringLiteral("phone numbers"), QStringLiteral("Tarnex:1"));
    EXPECT_FALSE(vx.getTheRelation(QStringLiteral("phone numbers"), QStringLiteral("Tarnex:1")).isValid());
}

} // namespace
