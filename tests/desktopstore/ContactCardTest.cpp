#include "desktopstore/ContactCard.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include "VobjectReader.h"

#include "RecordMaps.h"
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using desktopstore::ContactItem;
using desktopstore::readContactCard;
using desktopstore::writeContactCard;
namespace entity = platform::entity;

namespace {

struct RoundTripCase {
    const char* name;
    ContactItem item;
};

ContactItem everything()
{
    ContactItem item;
    item.uid = QStringLiteral("8D1F-everything@example.org");
    item.contact = {{"first name", QString::fromUtf8("Zoë")},
                    {"middle name", "Ann"},
                    {"last name", QString::fromUtf8("Ñúñez; de la Peña, Jr")},
                    {"title", "Dr."},
                    {"suffix", "III"},
                    {"company name", QString::fromUtf8("Łódź Works")},
                    {"department", "R&D"},
                    {"job title", "Engineer"},
                    {"nick name", "Zo"},
                    {"notes", QString::fromUtf8("line one\nline two with a back\\slash and a very long tail that "
                                                "must be folded more than once, with ünïcödé characters "
                                                "sitting right where a fold might fall ✓✓✓✓✓✓✓✓✓✓")},
                    {"birthday", QDateTime(QDate(1984, 2, 29), QTime(0, 0), QTimeZone::utc())},
                    {"image", QByteArray("\xFF\xD8\xFF\xE0 not really a JPEG but bytes all the same \x00\x01", 48)}};
    item.subRecords = {
        sub(entity::PhoneNumber, {{"value", "+49 30 1234"}, {"type", "home"}}),
        sub(entity::PhoneNumber, {{"value", "+49 170 5555"}, {"type", "mobile"}}),
        sub(entity::PhoneNumber, {{"value", "+49 30 9999"}, {"type", "work fax"}}),
        sub(entity::PhoneNumber, {{"value", "+1 555 0100"}, {"type", "other"}, {"label", "Boat"}}),
        sub(entity::EmailAddress, {{"value", "zoe@example.org"}, {"type", "work"}}),
        sub(entity::URL, {{"value", "https://example.org/zoe?a=1,b=2"}, {"type", "home"}}),
        sub(entity::StreetAddress, {{"street", "c/o Works\nBuilding 4\nHauptstraße 1"},
                                    {"city", "Berlin"},
                                    {"postal code", "10115"},
                                    {"country", "Germany"},
                                    {"type", "work"}}),
    };
    item.groups = {QStringLiteral("Chor, Alt"), QString::fromUtf8("Familie Müller")};
    return item;
}

ContactItem minimal()
{
    ContactItem item;
    item.uid = QStringLiteral("m1");
    item.contact = {{"company name", "Only a Company"}};
    return item;
}

TEST(ContactCardTest, RoundTripKeepsEveryField)
{
    const RoundTripCase cases[] = {{"everything", everything()}, {"company only", minimal()}};
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray text = writeContactCard(c.item);
        QString error;
        const std::optional<ContactItem> back = readContactCard(text, &error);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(back->uid, c.item.uid);
        EXPECT_EQ(back->contact, c.item.contact);
        EXPECT_EQ(back->subRecords, c.item.subRecords);
        EXPECT_EQ(back->groups, c.item.groups);
    }
}

TEST(ContactCardTest, WritesFoldedVCard30)
{
    const QByteArray text = writeContactCard(everything());
    EXPECT_TRUE(text.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    EXPECT_TRUE(text.endsWith("END:VCARD\r\n"));
    EXPECT_TRUE(text.contains("PHOTO;ENCODING=b;TYPE=JPEG:"));
    EXPECT_TRUE(text.contains("item1.TEL;TYPE=OTHER:+1 555 0100\r\nitem1.X-ABLabel:Boat\r\n"));
    EXPECT_TRUE(text.contains("TEL;TYPE=CELL:+49 170 5555\r\n"));
    for (const QByteArray& line : text.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData();   // 75 octets and the CR
        EXPECT_TRUE(QString::fromUtf8(line).toUtf8() == line) << "a fold cut a UTF-8 sequence";
    }
    // A bare line feed never appears: every line ends in CR LF.
    EXPECT_EQ(text.count('\n'), text.count("\r\n"));
}

TEST(ContactCardTest, ReadsVersion4AndOtherWriters)
{
    const QByteArray text = "BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:1\nFN:Ann Lee\nN:Lee;Ann;;;\n"
                            "TEL;TYPE=\"cell,voice\";VALUE=uri:tel:+491701\n"
                            "EMAIL;TYPE=home,pref:ann@example.org\n"
                            "NOTE:folded\n  text\n"
                            "PHOTO:data:image/png;base64,iVBORw0KGgo=\n"
                            "END:VCARD\n";
    QString error;
    const std::optional<ContactItem> item = readContactCard(text, &error);
    ASSERT_TRUE(item) << error.toStdString();
    EXPECT_EQ(item->contact.value("first name"), "Ann");
    EXPECT_EQ(item->contact.value("notes"), "folded text");
    EXPECT_EQ(item->contact.value("image").toByteArray(), QByteArray("\x89PNG\r\n\x1a\n"));
    ASSERT_EQ(item->subRecords.size(), 2);
    // A quoted parameter value is one value.
    EXPECT_EQ(item->subRecords[0].value("type"), "cell,voice");
    EXPECT_EQ(item->subRecords[0].value("value"), "+491701");
    EXPECT_EQ(item->subRecords[1].value("type"), "home");
}

TEST(ContactCardTest, RefusesWhatIsNotOneContact)
{
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"empty", ""},
        {"no vCard", "hello\nworld\n"},
        {"two vCards", "BEGIN:VCARD\nVERSION:3.0\nFN:A\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nFN:B\nEND:VCARD\n"},
        {"an event", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND:VEVENT\nEND:VCALENDAR\n"},
        {"broken parameters", "BEGIN:VCARD\nTEL;TYPE=:1\nEND:VCARD\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(readContactCard(c.text, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ContactCardTest, RewriteKeepsUnknownProperties)
{
    const QByteArray old = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:u1\r\nN:Old;Name;;;\r\nFN:Name Old\r\n"
                           "CATEGORIES:Friends,Work\r\nX-FOO;X-BAR=1:kept\r\n"
                           "item1.X-ABDATE:2020-01-01\r\nitem1.X-ABLabel:anniversary\r\n"
                           "item2.TEL:+1\r\nitem2.X-ABLabel:old label\r\nEND:VCARD\r\n";
    ContactItem item;
    item.uid = QStringLiteral("u1");
    item.contact = {{"first name", "New"}};
    item.subRecords = {sub(entity::PhoneNumber, {{"value", "+2"}, {"label", "new label"}})};
    item.groups = {QStringLiteral("Friends")};
    const QByteArray text = writeContactCard(item, old);
    // The groups are the hub's: a group the contact left leaves CATEGORIES.
    EXPECT_TRUE(text.contains("\r\nCATEGORIES:Friends\r\n"));
    EXPECT_EQ(text.count("CATEGORIES"), 1);
    EXPECT_TRUE(text.contains("\r\nX-FOO;X-BAR=1:kept\r\n"));
    EXPECT_TRUE(text.contains("\r\nitem1.X-ABDATE:2020-01-01\r\nitem1.X-ABLabel:anniversary\r\n"));
    EXPECT_FALSE(text.contains("Old"));
    EXPECT_FALSE(text.contains("old label"));
    // The new label takes a group the kept lines do not use.
    EXPECT_TRUE(text.contains("\r\nitem2.TEL:+2\r\nitem2.X-ABLabel:new label\r\n"));
    EXPECT_EQ(text.count("BEGIN:VCARD"), 1);
}

// An independent reader: python3-vobject reads the written card back.
TEST(ContactCardTest, VobjectReadsWhatIsWritten)
{
    const char* script = R"(
card = vobject.readOne(open(sys.argv[1], encoding="utf-8").read())
c = card.contents
print(json.dumps({
    "given": card.n.value.given, "family": card.n.value.family,
    "org": c["org"][0].value, "note": card.note.value,
    "tels": [t.value for t in c.get("tel", [])],
    "label": [l.value for l in c.get("x-ablabel", [])],
    "street": c["adr"][0].value.street, "photo": len(card.photo.value),
}))
)";
    QTemporaryDir dir;
    const ContactItem item = everything();
    const QString path = dir.filePath("card.vcf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(writeContactCard(item));
    file.close();
    std::string skip;
    const std::optional<QJsonObject> result = desktopstore_test::readWithVobject(script, path, &skip);
    if (!result)
        GTEST_SKIP() << skip;
    const QJsonObject& read = *result;
    EXPECT_EQ(read["given"].toString(), item.contact["first name"].toString());
    EXPECT_EQ(read["family"].toString(), item.contact["last name"].toString());
    EXPECT_EQ(read["org"].toVariant().toStringList(), QStringList({QString::fromUtf8("Łódź Works"), "R&D"}));
    EXPECT_EQ(read["note"].toString(), item.contact["notes"].toString());
    EXPECT_EQ(read["tels"].toVariant().toStringList(),
              QStringList({"+49 30 1234", "+49 170 5555", "+49 30 9999", "+1 555 0100"}));
    EXPECT_EQ(read["label"].toVariant().toStringList(), QStringList{"Boat"});
    EXPECT_EQ(read["street"].toString(), QString::fromUtf8("c/o Works\nBuilding 4\nHauptstraße 1"));
    EXPECT_EQ(read["photo"].toInt(), item.contact["image"].toByteArray().size());
}

} // namespace
