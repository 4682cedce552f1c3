#include "ContactForms.h"
#include "CorpusSummary.h"
#include "TestEnvironment.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/VCardFileImport.h"
#include "formats/VCardItemReader.h"
#include "formats/VCardReader.h"
#include "platform/SyncChange.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QUrl>

#include <gtest/gtest.h>

using namespace contactforms;

namespace {

const QString kFixtures = QStringLiteral(MARVESTO_TEST_DATA "/vcard-writer");

QString card(const QString& lines)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\n") + lines + QStringLiteral("END:VCARD\r\n");
}

QString card(const char* lines)
{
    return card(QString::fromUtf8(lines));
}

QVariantMap readOne(const QString& text)
{
    const auto cards = elemsForVCard(text);
    if (!cards || cards->size() != 1) {
        ADD_FAILURE() << "not one card in " << text.toStdString();
        return {};
    }
    return cards->first().map();
}

QStringList typesOfList(const QVariantMap& dict, const char* listKey)
{
    QStringList types;
    for (const QVariant& entry : dict.value(QLatin1String(listKey)).toList())
        types.append(entry.toMap().value(QStringLiteral("type")).toString());
    return types;
}

TEST(VCardImportReader, CardsAndRefusals)
{
    const auto two = elemsForVCard(card("N:A;;;;\r\n") + card("N:B;;;;\r\n"));
    ASSERT_TRUE(two);
    ASSERT_EQ(two->size(), 2);
    EXPECT_EQ(two->at(1).map().value(QLatin1String(kLastName)).toString(), QStringLiteral("B"));
    EXPECT_FALSE(elemsForVCard(QStringLiteral("N:A;;;;\r\nTEL:1\r\n")));
    // A card without its end is not returned.
    EXPECT_FALSE(elemsForVCard(QStringLiteral("BEGIN:VCARD\r\nN:A;;;;\r\n")));
    // ":" or ";" right after "=" drops the parameter; 'X;:y' ends the parameters.
    const QVariantMap dropped = readOne(card("TEL;TYPE=:5\r\nX;:y\r\n"));
    EXPECT_EQ(dropped.value(QLatin1String(kPhoneNumbers)).toList().value(0).toMap().value(QStringLiteral("value")),
              QStringLiteral("5"));
    EXPECT_EQ(dropped.value(VCardDictionary::kDeviceSpecific).toMap().value(QStringLiteral("X")),
              QStringLiteral("y"));
}

TEST(VCardImportReader, ListTypes)
{
    struct Case {
        const char* lines;
        const char* listKey;
        QStringList types;
    };
    const Case cases[] = {
        {"TEL;CELL:0170 1234\r\nTEL:0221 5\r\nTEL:0221 6\r\n", kPhoneNumbers,
         {QStringLiteral("mobile"), QStringLiteral("work"), QStringLiteral("other")}},
        {"TEL:1\r\nTEL:2\r\nTEL:3\r\n", kPhoneNumbers,
         {QStringLiteral("home"), QStringLiteral("work"), QStringLiteral("other")}},
        {"EMAIL:a@b\r\nEMAIL:c@d\r\n", kEmailAddresses, {QStringLiteral("other"), QStringLiteral("other")}},
        {"TEL;WORK;FAX:1\r\nTEL;FAX;HOME:2\r\nTEL;CELL;HOME:3\r\nTEL;PAGER:4\r\nTEL;PREF:5\r\n", kPhoneNumbers,
         {QStringLiteral("work fax"), QStringLiteral("home fax"), QStringLiteral("mobile"), QStringLiteral("pager"),
          QStringLiteral("main")}},
        {"TEL;TYPE=WORK;TYPE=FAX:1\r\n", kPhoneNumbers, {QStringLiteral("work fax")}},
        {"TEL;CHARSET=UTF-8;VOICE:1\r\n", kPhoneNumbers, {QStringLiteral("home")}},
        {"URL;PREF:http://a\r\nURL:http://b\r\n", kURLs, {QStringLiteral("home page"), QStringLiteral("work")}},
        {"ADR;WORK:;;S;C;;1;D\r\nADR;FAX:;;S;C;;1;D\r\n", kStreetAddresses,
         {QStringLiteral("work"), QStringLiteral("fax")}},
        // Two bare words with a comma, one value with "=".
        {"TEL;HOME,WORK:1\r\nTEL;TYPE=HOME,WORK:2\r\n", kPhoneNumbers,
         {QStringLiteral("work"), QStringLiteral("other")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        EXPECT_EQ(typesOfList(readOne(card(c.lines)), c.listKey), c.types);
    }
    // 3.0: the "type=pref" entry goes before the type is mapped.
    const QVariantMap pref = readOne(QStringLiteral("BEGIN:VCARD\rVERSION:3.0\rTEL;type=pref;type=HOME:1\rEND:VCARD\r"));
    const QVariantMap phone = pref.value(QLatin1String(kPhoneNumbers)).toList().value(0).toMap();
    EXPECT_EQ(phone.value(QStringLiteral("type")), QStringLiteral("home"));
    EXPECT_EQ(phone.value(VCardDictionary::kParams).toList().size(), 1);
    // An unknown word is the label of "other".
    const QVariantMap labelled = readOne(card("TEL;CAR:1\r\n"));
    EXPECT_EQ(labelled.value(QLatin1String(kPhoneNumbers)).toList().value(0).toMap().value(QStringLiteral("label")),
              QStringLiteral("CAR"));
}

TEST(VCardImportReader, Values)
{
    struct Case {
        const char* lines;
        const char* key;
        QVariant value;
    };
    const Case cases[] = {
        {"NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Gr=C3=BC=C3=9Fe=\r\nn\r\n", kNotes, QStringLiteral("Grüßen")},
        {"NOTE:abc\r\nd ef\r\n", kNotes, QStringLiteral("abcdef")},
        {"NOTE:abc\r\ndef:x\r\n", kNotes, QStringLiteral("abc")},
        {"NOTE:abc\nd ef\r\n", kNotes, QStringLiteral("abcdef")},
        {"NOTE:abc\ndef\r\n", kNotes, QStringLiteral("abc")},
        {"NOTE:a\\nb\r\n", kNotes, QStringLiteral("a\nb")},
        {"NOTE;QUOTED-PRINTABLE:caf=E9\r\n", kNotes, QStringLiteral("café")},
        {"N:M\\;x;J;;Dr.;\r\n", kLastName, QStringLiteral("M;x")},
        {"N:M;J;;Dr.;\r\n", kTitle, QStringLiteral("Dr.")},
        {"ORG:Firm;Sales\r\n", kDepartment, QStringLiteral("Sales")},
        {"BDAY:1970-12-24T00:00\r\n", kBirthday, QDate(1970, 12, 24)},
        {"BDAY:19701224\r\n", kBirthday, QDate(1970, 12, 24)},
        {"BDAY:701224\r\n", kBirthday, QVariant()},
        {"BDAY:1970-13-45\r\n", kBirthday, QVariant()},
        {"TITLE:Boss\r\n", kJobTitle, QStringLiteral("Boss")},
        // Company cards whose N holds the company name keep only the company.
        {"N:Example Ltd;;;;\r\nORG:Example Ltd\r\n", kLastName, QVariant()},
        {"N:Example;Jo;;;\r\nORG:Example Ltd\r\n", kLastName, QStringLiteral("Example")},
        // A plain value named in another set is re-read from Mac OS Roman only
        // when that is lossless.
        {"N;CHARSET=UTF-8:Grüße;;;;\r\n", kLastName, QStringLiteral("Grüße")},
        // Quoted-printable bytes in their named set: bytes that are no text in
        // it leave the value out; a leading byte-order mark is a character.
        {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:a=C3\r\n", kNotes, QVariant()},
        {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:a=ED=A0=80\r\n", kNotes, QVariant()},
        {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:=EF=BB=BFa\r\n", kNotes, QStringLiteral("\uFEFFa")},
        {"NOTE;QUOTED-PRINTABLE;CHARSET=ISO-8859-2:=B1\r\n", kNotes, QStringLiteral("ą")},
        {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-16BE:=00A\r\n", kNotes, QStringLiteral("A")},
        {"NOTE;QUOTED-PRINTABLE;CHARSET=ASCII:=E9\r\n", kNotes, QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const QVariantMap dict = readOne(card(c.lines));
        EXPECT_EQ(dict.value(QLatin1String(c.key)), c.value);
    }
    // A NUL byte is never stored, in a name or in a value.
    const QChar nul(0);
    const QVariantMap withNul = readOne(card(QStringLiteral("NO") + nul + QStringLiteral("TE:x\r\nN:M") + nul
                                             + QStringLiteral("ü;;;;\r\n")));
    EXPECT_EQ(withNul.value(QLatin1String(kNotes)), QStringLiteral("x"));
    EXPECT_EQ(withNul.value(QLatin1String(kLastName)), QStringLiteral("Mü"));
}

// Quoted-printable soft breaks as phones write them: both readers keep the
// property after an empty line, a blank at the start of the next line, and
// every letter of an escape that the break cuts.
TEST(VCardImportReader, QuotedPrintableSoftBreaks)
{
    struct Case {
        const char* what;
        const char* lines;
        const char* key;
        QVariant value;
        int phones;
    };
    const char* const qp = ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    const auto line = [qp](const char* name, const char* value) -> QByteArray { return QByteArray(name) + qp + value; };
    const QByteArray street = line("ADR;HOME",
                                   ";;=D0=91=D1=83=D1=87=D0=BC=D1=8B=\r\n 3-5;=D0=9A=D0=B8=D0=B5=D0=B2;;;\r\n");
    const QByteArray doubled = line("N", "=D0=91=D1=83=D1=87==\r\nD0=BC=D1=8B;;;;\r\n");
    const QByteArray digits = line("N", "=D0=91=D1=83=D1=87=D0=B=\r\nC=D1=8B;;;;\r\n");
    const Case cases[] = {
        {"empty line after the break", "N;ENCODING=QUOTED-PRINTABLE:Doe;John=\r\n\r\nTEL;CELL:123\r\n", kFirstName,
         QStringLiteral("John"), 1},
        {"empty line, LF only", "N;ENCODING=QUOTED-PRINTABLE:Doe;John=\n\nTEL;CELL:123\n", kFirstName,
         QStringLiteral("John"), 1},
        {"birthday after a note", "NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n\r\nBDAY:19700224\r\nTEL:1\r\n", kBirthday,
         QDate(1970, 2, 24), 1},
        {"note after a number", "TEL;CELL:1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:n=\r\n\r\nTEL:2\r\n", kNotes,
         QStringLiteral("n"), 2},
        {"blank after the break", street.constData(), kStreetAddresses, QString::fromUtf8("Бучмы 3-5"), 0},
        {"break inside an escape", doubled.constData(), kLastName, QString::fromUtf8("Бучмы"), 0},
        {"break between the digits", digits.constData(), kLastName, QString::fromUtf8("Бучмы"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = card(c.lines);
        const auto item = VXXX2ElemsParser(text, 0).getItem();
        ASSERT_TRUE(item);
        for (const QVariantMap& read : {readOne(text), item->map()}) {
            QVariant value = read.value(QLatin1String(c.key));
            if (c.key == kStreetAddresses)
                value = value.toList().value(0).toMap().value(QLatin1String(kStreet));
            EXPECT_EQ(value, c.value) << value.toString().toStdString();
            EXPECT_EQ(read.value(QLatin1String(kPhoneNumbers)).toList().size(), c.phones);
        }
    }
}

TEST(VCardImportReader, Photos)
{
    const QByteArray bytes = QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffdb004300080606070605080707");
    const QString base64 = QString::fromLatin1(bytes.toBase64());
    // Folded lines behind a blank, and Motorola-style unindented lines ended
    // by an empty line.
    const QString folded = QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:") + base64.left(20) + QStringLiteral("\r\n ")
                           + base64.mid(20) + QStringLiteral("\r\n\r\n");
    const QString motorola = QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n") + base64.left(20)
                             + QStringLiteral("\r\n") + base64.mid(20, 20) + QStringLiteral("\r\n") + base64.mid(40)
                             + QStringLiteral("\r\n\r\n");
    for (const QString& photo : {folded, motorola}) {
        SCOPED_TRACE(photo.toStdString());
        const QVariantMap dict = readOne(card(photo + QStringLiteral("TEL:1\r\n")));
        EXPECT_EQ(dict.value(QLatin1String(kImage)).toByteArray(), bytes);
        EXPECT_EQ(dict.value(QLatin1String(kPhoneNumbers)).toList().size(), 1);
    }
}

TEST(VCardImportReader, ItemForm)
{
    const auto cards = elemsForVCard(card("N:Doe;Jo;;;\r\nTEL;CELL:1\r\nitem2.URL:http://x.org/\r\nX-IRMC-LUID:12\r\n"));
    ASSERT_TRUE(cards);
    const VXDictionary vx = vCardDictionary2VXDictionary(cards->first(), QStringLiteral("7"));
    EXPECT_EQ(vx.sourceURI(), QStringLiteral("7"));
    EXPECT_EQ(vx.mainObjectForKey(QLatin1String(kFirstName)), QStringLiteral("Jo"));
    EXPECT_EQ(vx.mainObjectForKey(platform::ISyncRecordEntityNameKey), platform::entity::Contact);
    EXPECT_FALSE(vx.objectForKey(VXDictionary::kDeviceItems).isValid());
    const QString phoneId = vx.mainObjectForKey(QLatin1String(kPhoneNumbers)).toList().value(0).toString();
    const QVariantMap phone = vx.otherObjectForKey(phoneId).toMap();
    EXPECT_EQ(phone.value(QStringLiteral("type")), QStringLiteral("mobile"));
    EXPECT_EQ(phone.value(QStringLiteral("contact")).toList(), QVariantList{vx.objectForKey(VXDictionary::kUUID)});
    EXPECT_TRUE(vx.getTheRelation(QLatin1String(kPhoneNumbers), phoneId).isValid());
    const QString urlId = vx.mainObjectForKey(QLatin1String(kURLs)).toList().value(0).toString();
    EXPECT_EQ(vx.otherObjectForKey(urlId).toMap().value(QStringLiteral("value")), QUrl(QStringLiteral("http://x.org/")));
    // Another unknown property keeps the device items, without the LUID.
    const auto kept = elemsForVCard(card("X-IRMC-LUID:12\r\nX-A:1\r\n"));
    ASSERT_TRUE(kept);
    const VXDictionary keptVx = vCardDictionary2VXDictionary(kept->first());
    EXPECT_EQ(keptVx.objectForKey(VXDictionary::kDeviceItems).toMap().keys(), QStringList{QStringLiteral("X-A")});
}

TEST(VCardImportReader, StringHelpers)
{
    EXPECT_EQ(cleanedFromBackSlash(QStringLiteral("a\\;b\\\\c")), QStringLiteral("a;b\\c"));
    EXPECT_EQ(semicolonComponents(QStringLiteral("a;;b\\;c;d\\ne;")),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b;c"), QStringLiteral("d\ne")}));
    EXPECT_EQ(characterComponents(QStringLiteral("x,y\\,z"), u','), (QStringList{QStringLiteral("x"), QStringLiteral("y,z")}));
    // The reader's soft-line-break joiner: a quoted-printable note over three
    // lines becomes one; another property keeps its "=" and line end.
    EXPECT_EQ(VCard2ElemsParser::fixLineBreaks(
                  QStringLiteral("NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nb=\rc\r\nN:x=\r\ny")),
              QStringLiteral("NOTE;ENCODING=QUOTED-PRINTABLE:abc\r\nN:x=\r\ny"));
}

// Parameter lists are shared between properties written alike; lists that
// only look alike stay apart.
TEST(VCardImportReader, ParameterListsOfEachProperty)
{
    const QString text = card(QStringLiteral("TEL;A=B:1\r\nTEL;A\u0001B:2\r\nTEL;A=B:3\r\nTEL;AB:4\r\n"));
    const QVariantList phones = readOne(text).value(QLatin1String(kPhoneNumbers)).toList();
    ASSERT_EQ(phones.size(), 4);
    const auto params = [&phones](int at) { return phones.at(at).toMap().value(VCardDictionary::kParams); };
    const QVariantMap keyed{{QStringLiteral("Key"), QStringLiteral("A")},
                            {QStringLiteral("Values"), QVariantList{QStringLiteral("B")}}};
    EXPECT_EQ(params(0), QVariant(QVariantList{keyed}));
    EXPECT_EQ(params(2), params(0));
    EXPECT_EQ(params(1).toList().value(0).toMap().value(QStringLiteral("Values")),
              QVariant(QVariantList{QStringLiteral("A\u0001B")}));
    EXPECT_EQ(params(3).toList().value(0).toMap().value(QStringLiteral("Values")),
              QVariant(QVariantList{QStringLiteral("AB")}));
}

// A written street reads back as it was written, its lines joined by CR, so
// the next sync finds nothing changed.
TEST(VCardImportReader, WrittenStreetsReadBackUnchanged)
{
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    for (const char* protocol : {"Export-2.1", "Export-3.0"}) {
        const auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QString::fromLatin1(protocol));
        ASSERT_TRUE(description);
        for (const QString& street : {QStringLiteral("A\rB\rC"), QStringLiteral("Flat 2\rHigh St"),
                                      QStringLiteral("Main St 1"), QString::fromUtf8("Straße 1\rHof ö")}) {
            SCOPED_TRACE(QString(QString::fromLatin1(protocol) + u' ' + street).toStdString());
            ContactBuilder contact;
            contact.set(kLastName, QStringLiteral("Doe"))
                .with(kStreetAddresses, address(street, QStringLiteral("Town"), QStringLiteral("1"), QString()));
            const QString text = createVCardForVXDict(&contact.vx, *description, true, false, QString());
            const auto cards = elemsForVCard(text);
            ASSERT_TRUE(cards);
            const auto item = VXXX2ElemsParser(text, 0).getItem();
            ASSERT_TRUE(item);
            for (const QVariantMap& read : {cards->first().map(), item->map()}) {
                const QVariantMap entry = read.value(QLatin1String(kStreetAddresses)).toList().value(0).toMap();
                EXPECT_EQ(entry.value(QLatin1String(kStreet)), street);
            }
        }
    }
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

// A summary without list order and without telephone types: a 3.0 reader
// drops "type=pref", so the entry takes the default type of its position.
QJsonObject withoutOrderAndPref(QJsonObject summary)
{
    for (const QString& list : {QStringLiteral("tel"), QStringLiteral("email"), QStringLiteral("adr")}) {
        QStringList entries;
        for (const QJsonValue& entry : summary.value(list).toArray()) {
            QJsonObject object = entry.toObject();
            QJsonArray types = object.value(QStringLiteral("types")).toArray();
            for (qsizetype i = types.size() - 1; i >= 0; --i) {
                if (types.at(i).toString() == QLatin1String("PREF"))
                    types.removeAt(i);
            }
            if (list == QLatin1String("tel"))
                object.remove(QStringLiteral("types"));
            else
                object.insert(QStringLiteral("types"), types);
            entries.append(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        }
        entries.sort();
        if (!entries.isEmpty())
            summary.insert(list, QJsonArray::fromStringList(entries));
    }
    return summary;
}

// The writer's corpus read back: both versions give the summary kept beside
// the texts, through both readers, and a card rewritten as 3.0 still does.
TEST(VCardImportReader, ReadsTheWriterCorpus)
{
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    const QStringList summaries = QDir(kFixtures).entryList({QStringLiteral("*.json")});
    ASSERT_FALSE(summaries.isEmpty());
    for (const QString& file : summaries) {
        const QString base = kFixtures + u'/' + file.chopped(5);
        QFile json(base + QStringLiteral(".json"));
        ASSERT_TRUE(json.open(QIODevice::ReadOnly));
        const QJsonObject expected = QJsonDocument::fromJson(json.readAll()).object();
        for (const QString& suffix : {QStringLiteral("-21.vcf"), QStringLiteral("-30.vcf")}) {
            SCOPED_TRACE(QString(base + suffix).toStdString());
            QFile vcf(base + suffix);
            ASSERT_TRUE(vcf.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(vcf.readAll());
            const auto cards = elemsForVCard(text);
            ASSERT_TRUE(cards);
            const QJsonObject read = summaryOf(vCardDictionary2VXDictionary(cards->first()));
            if (suffix.startsWith(QLatin1String("-21")))
                EXPECT_EQ(read, expected);
            else
                EXPECT_EQ(withoutOrderAndPref(read), withoutOrderAndPref(expected));
            const auto item = VXXX2ElemsParser(text, 0).getItem();
            ASSERT_TRUE(item);
            EXPECT_EQ(withoutOrderAndPref(summaryOf(vCardDictionary2VXDictionary(*item))),
                      withoutOrderAndPref(expected));
            const QString rewritten = getVCard30(text);
            EXPECT_FALSE(isVCard21(rewritten));
            const auto again = elemsForVCard(rewritten);
            ASSERT_TRUE(again);
            EXPECT_EQ(withoutOrderAndPref(summaryOf(vCardDictionary2VXDictionary(again->first()))),
                      withoutOrderAndPref(expected));
        }
    }
    EXPECT_TRUE(getVCard30(QStringLiteral("N:A;;;;\r\n")).isNull());
    EXPECT_TRUE(getVCard30(QByteArray("N:A;;;;\r\n")).isNull());
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

TEST(VCardImportReader, FileToDictionaries)
{
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    const QString folder = testing_support::testHome() + QStringLiteral("/reader");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/two.vcf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((card("N:Ann;;;;\r\nTEL;CELL:1\r\n") + QStringLiteral("\r\n") + card("N:Bob;;;;\r\n")).toUtf8());
    file.close();
    const auto items = importVCardsFromFileToDict(path);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2);
    for (const QVariant& item : *items) {
        const QVariantMap map = item.toMap();
        EXPECT_EQ(map.value(QStringLiteral("SourceURI")), QStringLiteral("-1"));
        EXPECT_TRUE(map.value(QStringLiteral("vx-Data")).toString().contains(QLatin1String("VERSION:3.0")));
    }
    EXPECT_TRUE(items->at(1).toMap().value(QStringLiteral("vx-Data")).toString().contains(QLatin1String("N:Bob")));
    EXPECT_FALSE(importVCardsFromFileToDict(folder + QStringLiteral("/missing.vcf")));
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

} // namespace
