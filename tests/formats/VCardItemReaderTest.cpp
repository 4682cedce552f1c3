#include "formats/VCardItemReader.h"
#include "formats/VCardGenerator.h"
#include "foundation/NamedLog.h"

#include <QDate>
#include <QFile>

#include <cstring>

#include <gtest/gtest.h>

using namespace contactkey;

namespace {

std::optional<VCardDictionary> readItem(const QString& text, long long at = 0)
{
    return VXXX2ElemsParser(text, at).getItem();
}

QString itemCard(const char* lines)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\n") + QString::fromUtf8(lines)
           + QStringLiteral("END:VCARD\r\n");
}

QStringList typesOf(const VCardDictionary& dict, const char* listKey)
{
    QStringList types;
    for (const QVariant& entry : dict.map().value(QLatin1String(listKey)).toList())
        types.append(entry.toMap().value(QStringLiteral("type")).toString());
    return types;
}

TEST(VCardItemReader, ListTypesAndValues)
{
    struct Case {
        const char* lines;
        const char* listKey;
        QStringList types;
    };
    const Case cases[] = {
        {"TEL;TYPE=WORK;TYPE=FAX:1\r\nTEL;FAX;HOME:2\r\nTEL;CELL;HOME:3\r\n", kPhoneNumbers,
         {QStringLiteral("work fax"), QStringLiteral("home fax"), QStringLiteral("mobile")}},
        {"EMAIL:a\r\nEMAIL:b\r\nEMAIL:c\r\n", kEmailAddresses,
         {QStringLiteral("home"), QStringLiteral("work"), QStringLiteral("other")}},
        {"EMAIL:a\r\nEMAIL;INTERNET;PREF:b\r\n", kEmailAddresses, {QStringLiteral("home"), QStringLiteral("work")}},
        {"TEL:1\r\nTEL:2\r\nTEL:3\r\n", kPhoneNumbers,
         {QStringLiteral("home"), QStringLiteral("work"), QStringLiteral("work")}},
        {"item2.URL:http://x\r\n", kURLs, {QStringLiteral("home")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const auto item = readItem(itemCard(c.lines));
        ASSERT_TRUE(item);
        EXPECT_EQ(typesOf(*item, c.listKey), c.types);
    }
    struct ValueCase {
        const char* lines;
        const char* key;
        QVariant value;
    };
    const ValueCase values[] = {
        {"BDAY:1970-12-24T00:00\r\n", kBirthday, QDate(1970, 12, 24)},
        {"BDAY:19701224T120000\r\n", kBirthday, QDate(1970, 12, 24)},
        {"BDAY:701224\r\n", kBirthday, QVariant()},
        {"NOTE:a\\nb\r\n", kNotes, QStringLiteral("a\nb")},
        {"ADR;HOME:PO 1;Flat 2;Main St 3;Town;;12;Land\r\n", kStreetAddresses, QVariant()},
    };
    for (const ValueCase& c : values) {
        SCOPED_TRACE(c.lines);
        const auto item = readItem(itemCard(c.lines));
        ASSERT_TRUE(item);
        if (std::strcmp(c.key, kStreetAddresses) == 0) {
            // The street's lines come back in the order they are written:
            // extended address, post-office box, street.
            const QVariantMap address = item->map().value(QLatin1String(c.key)).toList().value(0).toMap();
            EXPECT_EQ(address.value(QLatin1String(kStreet)), QStringLiteral("Flat 2\rPO 1\rMain St 3"));
            EXPECT_EQ(address.value(QLatin1String(kPostalCode)), QStringLiteral("12"));
        } else {
            EXPECT_EQ(item->map().value(QLatin1String(c.key)), c.value);
        }
    }
}

TEST(VCardItemReader, RefusalsAndMismatchedEnd)
{
    EXPECT_FALSE(readItem(itemCard("X;:y\r\n")));
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
    const auto logged = [] {
        QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
        return log.open(QIODevice::ReadOnly)
                   ? log.readAll().count("EndItem has a big problem: BEGIN:VCARD is ended with END:VCALENDAR")
                   : 0;
    };
    const auto before = logged();
    EXPECT_FALSE(readItem(QStringLiteral("BEGIN:VCARD\r\nN:A\r\nEND:VCALENDAR\r\n")));
    EXPECT_EQ(logged(), before + 1);
    EXPECT_FALSE(readItem(QStringLiteral("N:A\r\n")));
}

TEST(VCardItemReader, NestedItemsAndPositions)
{
    const QString message = QStringLiteral("BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VCARD\r\nN:Doe;Jo\r\nTEL:1\r\n"
                                           "END:VCARD\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nDate:1.1.2020\r\nHello\r\n"
                                           "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n");
    VXXX2ElemsParser reader(message, 0);
    const auto item = reader.getItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(reader.itemType(), QStringLiteral("VMSG"));
    EXPECT_EQ(item->map().value(QStringLiteral("VERSION")), QStringLiteral("1.1"));
    EXPECT_EQ(item->map().value(QStringLiteral("VCARD")).toMap().value(QLatin1String(kFirstName)),
              QStringLiteral("Jo"));
    const QVariantMap body = item->map().value(QStringLiteral("VENV")).toMap().value(QStringLiteral("VBODY")).toMap();
    EXPECT_EQ(body.value(QStringLiteral("Date")), QStringLiteral("Date:1.1.2020"));
    EXPECT_EQ(body.value(QStringLiteral("Message")), QStringLiteral("Hello\r\n"));
    EXPECT_EQ(reader.nextPosition(), 0);

    // Two cards: the second reader starts at the line end after the first.
    const QString first = itemCard("N:A;;;;\r\n");
    const QString two = first + itemCard("N:B;;;;\r\n");
    VXXX2ElemsParser one(two, 0);
    ASSERT_TRUE(one.getItem());
    EXPECT_EQ(one.nextPosition(), first.toUtf8().size() - 1);
    const auto second = readItem(two, one.nextPosition());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->map().value(QLatin1String(kLastName)), QStringLiteral("B"));
    // The 3.0 text's lone CRs end lines.
    const QVariantList items = elemsForVXXXString(QStringLiteral("BEGIN:VCARD\rVERSION:3.0\rN:A;;;;\rEND:VCARD\r"
                                                                 "BEGIN:VCARD\rVERSION:3.0\rN:B;;;;\rEND:VCARD\r"));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.at(1).toMap().value(QStringLiteral("Type")), QStringLiteral("VCARD"));
    EXPECT_EQ(items.at(1).toMap().value(QStringLiteral("Element")).toMap().value(QLatin1String(kLastName)),
              QStringLiteral("B"));
}

TEST(VCardItemReader, Helpers)
{
    EXPECT_TRUE(VXXX2ElemsParser::isCalendarType(QStringLiteral("VTODO")));
    EXPECT_FALSE(VXXX2ElemsParser::isCalendarType(QStringLiteral("VCARD")));
    EXPECT_EQ(stringFixLineBreaks(QStringLiteral("N;QUOTED-PRINTABLE:a=\r\nb=\nc\r\nNOTE:x=\r\ny")),
              QStringLiteral("N;QUOTED-PRINTABLE:abc\r\nNOTE:x=\r\ny"));
    EXPECT_EQ(stringFixLineBreaks(QStringLiteral("NOTE:x=\r\ny")), QStringLiteral("NOTE:x=\r\ny"));
    EXPECT_EQ(VXXX2ElemsParser::separateDateLine(QStringLiteral("Date:x\r\nrest")),
              (std::pair{QStringLiteral("Date:x"), QStringLiteral("rest")}));
}

} // namespace
