#include "ContactForms.h"
#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaContactGenerator.h"
#include "formats/MotorolaContactReader.h"
#include "formats/VCardReader.h"
#include "formats/VCardRelations.h"
#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "platform/Paths.h"

#include <QDate>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

using namespace contactforms;
using namespace contactkey;

namespace {

const char kRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses,
    Unique_PhoneNumberType, Unique_EmailType, Unique_AddressType)
    VALUES ('Protocol LG Test', '2.1', '5', '2', '1', '2', '1', '1', '1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses,
    Unique_PhoneNumberType, Unique_EmailType, Unique_URLType)
    VALUES ('Protocol Motorola V3 Series', '2.1', '7', '2', '1', '2', '1', '1', '1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses)
    VALUES ('Plain', '2.1', '3', '2', '2', '2');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, Unique_PhoneNumberType)
    VALUES ('UniqueOne', '2.1', '1', '1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, Unique_PhoneNumberType)
    VALUES ('Unique5', '2.1', '5', '1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, CopyCompanyToName, MaxNo_PhoneNumbers)
    VALUES ('CopyCompany', '2.1', '1', '1');
)SQL";

const QString kLG = QStringLiteral("Protocol LG Test");
const QString kMoto = QStringLiteral("Protocol Motorola V3 Series");

QVariantMap param(const QString& key, const QString& value)
{
    return relationDictionary(key, value);
}

QVariantList typeParams(const QStringList& words)
{
    QVariantList params;
    for (const QString& word : words)
        params.append(param(QStringLiteral("type"), word));
    return params;
}

VCardDictionary readEntry(const QVariantMap& entry)
{
    const auto card = vCardDictionaryForMotorolaContact(entry);
    EXPECT_TRUE(card.has_value());
    return card.value_or(VCardDictionary());
}

QVariantMap firstOf(const VCardDictionary& card, const char* listKey)
{
    return card.map().value(QLatin1String(listKey)).toList().value(0).toMap();
}

class MotorolaContactConverterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("moto-contacts"), QString::fromUtf8(kRows));
        ASSERT_FALSE(s_path.isEmpty());
    }
    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        m_db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(m_db->openDB(s_path));
    }
    void TearDown() override { QVSyncDeviceDB::sharedSyncDeviceDB().reset(); }

    QVSyncDeviceDescription describe(const QString& protocol)
    {
        QVSyncDeviceDescription description(m_db);
        EXPECT_EQ(description.setupFromProtocol(protocol), 0);
        return description;
    }
    QVariantMap write(VXDictionary& vx, const QString& protocol)
    {
        return createMotoDictForVXDict(&vx, describe(protocol));
    }
    // Phone entry -> item form -> phone entry.
    QVariantMap roundTrip(const QVariantMap& entry, const QString& protocol, VXDictionary* form = nullptr)
    {
        VXDictionary vx = vCardDictionary2VXDictionary(readEntry(entry), QStringLiteral("1"));
        const QVariantMap written = write(vx, protocol);
        if (form)
            *form = vx;
        return written;
    }
    static QStringList values(const QVariantMap& dict, const char* key, const char* field = "value")
    {
        QStringList result;
        for (const QVariant& entry : dict.value(QLatin1String(key)).toList())
            result.append(entry.toMap().value(QLatin1String(field)).toString());
        return result;
    }

    static inline QString s_path;
    std::shared_ptr<qvDeviceDB> m_db;
};

// --- reading ------------------------------------------------------------------

TEST_F(MotorolaContactConverterTest, PhoneTypesReadAsTypesAndTypeParameters)
{
    struct Case {
        QVariant phoneType;
        const char* stored;
        QStringList params;
    };
    const Case cases[] = {
        {QStringLiteral("work"), "work", {QStringLiteral("WORK")}},
        {QStringLiteral("home"), "home", {QStringLiteral("HOME")}},
        {QStringLiteral("mobile"), "mobile", {QStringLiteral("CELL")}},
        {QStringLiteral("main"), "main", {QStringLiteral("MAIN")}},
        {QStringLiteral("fax"), "home fax", {QStringLiteral("HOME"), QStringLiteral("FAX")}},
        {QStringLiteral("pager"), "pager", {QStringLiteral("PAGER")}},
        {QStringLiteral("videocall"), "videocall", {QStringLiteral("VIDEOCALL")}},
        {QStringLiteral("other"), "other", {QStringLiteral("OTHER")}},
        {QStringLiteral("unknown"), "", {}},
        {QVariant(), "", {}},
        {42, "", {}},
    };
    for (const Case& c : cases) {
        QVariantMap phone{{QStringLiteral("value"), QStringLiteral("+491701")}};
        if (c.phoneType.isValid())
            phone.insert(QStringLiteral("type"), c.phoneType);
        const QVariantMap entry = firstOf(readEntry({{QStringLiteral("phone"), QVariantList{phone}}}), kPhoneNumbers);
        SCOPED_TRACE(c.phoneType.toString().toStdString());
        EXPECT_EQ(entry.value(QStringLiteral("value")).toString(), QStringLiteral("+491701"));
        EXPECT_EQ(entry.value(QStringLiteral("type")), QVariant(QString::fromLatin1(c.stored)));
        EXPECT_EQ(entry.value(QStringLiteral("PARAMS")).toList(), typeParams(c.params));
    }
}

TEST_F(MotorolaContactConverterTest, EmailUrlAndAddressEntries)
{
    const auto email = [](const QVariant& type) {
        QVariantMap e{{QStringLiteral("value"), QStringLiteral("a@example.org")}};
        if (type.isValid())
            e.insert(QStringLiteral("type"), type);
        return firstOf(readEntry({{QStringLiteral("email"), QVariantList{e}}}), kEmailAddresses);
    };
    EXPECT_EQ(email(QStringLiteral("home")).value(QStringLiteral("type")).toString(), QStringLiteral("home"));
    EXPECT_EQ(email(QStringLiteral("home")).value(QStringLiteral("PARAMS")).toList(),
              typeParams({QStringLiteral("HOME")}));
    EXPECT_EQ(email(QStringLiteral("work")).value(QStringLiteral("PARAMS")).toList(),
              typeParams({QStringLiteral("WORK")}));
    EXPECT_EQ(email(QStringLiteral("internet")).value(QStringLiteral("type")).toString(), QStringLiteral("other"));
    EXPECT_EQ(email(QStringLiteral("internet")).value(QStringLiteral("PARAMS")).toList(),
              typeParams({QStringLiteral("OTHER")}));
    EXPECT_FALSE(email(QVariant()).contains(QStringLiteral("type")));
    EXPECT_TRUE(email(QVariant()).value(QStringLiteral("PARAMS")).toList().isEmpty());

    const QVariantMap url = firstOf(
        readEntry({{QStringLiteral("url"),
                    QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("http://x.org")},
                                             {QStringLiteral("type"), QStringLiteral("other")}}}}}),
        kURLs);
    EXPECT_FALSE(url.contains(QStringLiteral("type")));
    EXPECT_TRUE(url.value(QStringLiteral("PARAMS")).toList().isEmpty());

    const QVariantMap address = firstOf(
        readEntry({{QStringLiteral("address"),
                    QVariantList{QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main St 1")},
                                             {QStringLiteral("street2"), QStringLiteral("Floor 2")},
                                             {QStringLiteral("zip"), QStringLiteral("12345")},
                                             {QStringLiteral("type"), QStringLiteral("school")},
                                             {QStringLiteral("subSlot"), QStringLiteral("12")}}}}}),
        kStreetAddresses);
    EXPECT_EQ(address.value(QStringLiteral("type")).toString(), QStringLiteral("other"));
    EXPECT_EQ(address.value(QStringLiteral("street")).toString(), QStringLiteral("Main St 1\rFloor 2"));
    EXPECT_EQ(address.value(QStringLiteral("postal code")).toString(), QStringLiteral("12345"));
    EXPECT_EQ(address.value(QStringLiteral("city")), QVariant(QStringLiteral("")));
    EXPECT_EQ(address.value(QStringLiteral("PARAMS")).toList(),
              (QVariantList{param(QStringLiteral("type"), QStringLiteral("WORK")),
                            param(QStringLiteral("subSlot"), QStringLiteral("12"))}))
        << "further keys become parameters after the type";
}

TEST_F(MotorolaContactConverterTest, FurtherEntryKeysBecomeParametersAfterTheType)
{
    const QVariantMap entry = firstOf(
        readEntry({{QStringLiteral("phone"),
                    QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("1")},
                                             {QStringLiteral("type"), QStringLiteral("fax")},
                                             {QStringLiteral("mainEntry"), QStringLiteral("1")},
                                             {QStringLiteral("subSlot"), QStringLiteral("3")},
                                             {QStringLiteral("bad"), 7}}}}}),
        kPhoneNumbers);
    EXPECT_EQ(entry.value(QStringLiteral("PARAMS")).toList(),
              (QVariantList{param(QStringLiteral("type"), QStringLiteral("HOME")),
                            param(QStringLiteral("type"), QStringLiteral("FAX")),
                            param(QStringLiteral("mainEntry"), QStringLiteral("1")),
                            param(QStringLiteral("subSlot"), QStringLiteral("3"))}))
        << "a number under a further key is no text and is dropped";
}

TEST_F(MotorolaContactConverterTest, Birthdays)
{
    struct Case {
        QVariant text;
        QDate expected;
    };
    const Case cases[] = {
        {QStringLiteral("12/24/1970"), QDate(1970, 12, 24)},
        {QStringLiteral("12.24.1970"), QDate(1970, 12, 24)},
        {QStringLiteral("03-05-2001"), QDate(2001, 3, 5)},
        {QStringLiteral("12/24/197"), QDate()},
        {QStringLiteral("12/24/19700"), QDate()},
        {QStringLiteral("13/45/1970"), QDate()},
        {QStringLiteral("ab/cd/efgh"), QDate()},
        {19701224, QDate()},
    };
    for (const Case& c : cases) {
        const VCardDictionary card = readEntry({{QStringLiteral("birthday"), c.text}});
        SCOPED_TRACE(c.text.toString().toStdString());
        EXPECT_EQ(card.map().value(QStringLiteral("birthday")).toDate(), c.expected);
        EXPECT_EQ(card.map().contains(QStringLiteral("birthday")), c.expected.isValid());
        EXPECT_FALSE(card.map().contains(VCardDictionary::kDeviceSpecific));
    }
}

TEST_F(MotorolaContactConverterTest, MainFieldsPhoneSideValuesAndValuesOfTheWrongKind)
{
    EXPECT_FALSE(vCardDictionaryForMotorolaContact(QVariant()).has_value());
    EXPECT_FALSE(vCardDictionaryForMotorolaContact(QStringLiteral("entry")).has_value());

    const QVariantMap unknownFields{{QStringLiteral("value"), QStringLiteral("x")},
                                    {QStringLiteral("subSlot"), QStringLiteral("20")}};
    const VCardDictionary card = readEntry({
        {QStringLiteral("firstname"), QStringLiteral("Ann")},
        {QStringLiteral("lastname"), QString(QLatin1String(""))},
        {QStringLiteral("company"), QStringLiteral("Acme")},
        {QStringLiteral("notes"), 12},
        {QStringLiteral("job title"), QStringLiteral("Engineer")},
        {QStringLiteral("ringtone"), QStringLiteral("Bells")},
        {QStringLiteral("logo"), QString(QLatin1String(""))},
        {QStringLiteral("categories"), QStringList{QStringLiteral("3"), QStringLiteral("7")}},
        {QStringLiteral("unknown"), QVariantList{unknownFields}},
        {QStringLiteral("flag"), true},
        {QStringLiteral("deep"), QVariantList{QVariantList{QVariantList{QStringLiteral("x")}}}},
        {QStringLiteral("phone"),
         QVariantList{QStringLiteral("123"), QVariantMap{{QStringLiteral("value"), 5}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("456")}}}},
        {QStringLiteral("email"), QStringLiteral("not a list")},
    });
    const QVariantMap& map = card.map();
    EXPECT_EQ(map.value(QStringLiteral("first name")).toString(), QStringLiteral("Ann"));
    EXPECT_FALSE(map.contains(QStringLiteral("last name"))) << "an empty name is dropped";
    EXPECT_EQ(map.value(QStringLiteral("company name")).toString(), QStringLiteral("Acme"));
    EXPECT_FALSE(map.contains(QStringLiteral("notes")));
    EXPECT_EQ(map.value(QStringLiteral("job title")).toString(), QStringLiteral("Engineer"));
    EXPECT_EQ(map.value(QStringLiteral("phone numbers")).toList().size(), 1) << "only the one readable number";
    EXPECT_FALSE(map.contains(QStringLiteral("email addresses")));
    const QVariantMap device = map.value(VCardDictionary::kDeviceSpecific).toMap();
    EXPECT_EQ(device.keys(),
              (QStringList{QStringLiteral("categories"), QStringLiteral("ringtone"), QStringLiteral("unknown")}));
    EXPECT_EQ(device.value(QStringLiteral("unknown")).toList(), QVariantList{unknownFields});
    EXPECT_FALSE(device.contains(QStringLiteral("job title")));
}

// --- writing ------------------------------------------------------------------

TEST_F(MotorolaContactConverterTest, TypeWords)
{
    const std::pair<const char*, const char*> phones[] = {
        {";HOME;FAX", "fax"},  {";WORK;FAX", "fax"},        {";PREF", "main"},   {";MAIN", "main"},
        {";MOBILE", "mobile"}, {";CELL", "mobile"},         {";HOME", "home"},   {";WORK", "work"},
        {";PAGER", "pager"},   {";VIDEOCALL", "videocall"}, {";X-FOO", "other"}, {"", "other"},
    };
    for (const auto& [text, type] : phones)
        EXPECT_EQ(MotorolaContactGenerator::vCardTypeToMotorolaType(QLatin1String(text)), QLatin1String(type)) << text;
    EXPECT_EQ(MotorolaContactGenerator::vCardAddrTypeToMotorolaType(QStringLiteral(";HOME")), QStringLiteral("home"));
    EXPECT_EQ(MotorolaContactGenerator::vCardAddrTypeToMotorolaType(QStringLiteral(";WORK")), QStringLiteral("work"));
    EXPECT_EQ(MotorolaContactGenerator::vCardAddrTypeToMotorolaType(QStringLiteral(";POSTAL")),
              QStringLiteral("other"));
}

TEST_F(MotorolaContactConverterTest, UniquePhoneTypesFillFreeSlots)
{
    ContactBuilder contact;
    contact.with(kPhoneNumbers, entry(QStringLiteral("1"), QStringLiteral("home")))
        .with(kPhoneNumbers, entry(QStringLiteral("2"), QStringLiteral("home")))
        .with(kPhoneNumbers, entry(QStringLiteral("3"), QStringLiteral("home fax")))
        .with(kPhoneNumbers, entry(QStringLiteral("4"), QStringLiteral("work fax")));
    VXDictionary five = contact.vx;
    const QVariantMap written = write(five, QStringLiteral("Unique5"));
    EXPECT_EQ(values(written, "phone"),
              (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("4")}));
    EXPECT_EQ(
        values(written, "phone", "type"),
        (QStringList{QStringLiteral("home"), QStringLiteral("fax"), QStringLiteral("work"), QStringLiteral("mobile")}))
        << "the second home number and the work fax take the free slots of the second pass";
    EXPECT_EQ(five.getTheRelation(QLatin1String(kPhoneNumbers), QStringLiteral("Tarnex:3")).toList(),
              typeParams({QStringLiteral("HOME"), QStringLiteral("FAX")}));
    EXPECT_EQ(five.getTheRelation(QLatin1String(kPhoneNumbers), QStringLiteral("Tarnex:2")).toList(),
              typeParams({QStringLiteral("WORK")}));

    VXDictionary one = contact.vx;
    EXPECT_EQ(values(write(one, QStringLiteral("UniqueOne")), "phone"), QStringList{QStringLiteral("1")});
    EXPECT_EQ(one.sentItems().toList().contains(QStringLiteral("Tarnex:2")), false);
}

TEST_F(MotorolaContactConverterTest, RememberedEntriesKeepTheirSlots)
{
    ContactBuilder contact;
    const QString home = contact.add(kPhoneNumbers, entry(QStringLiteral("1"), QStringLiteral("home")));
    const QString mobile = contact.add(kPhoneNumbers, entry(QStringLiteral("2"), QStringLiteral("mobile")));
    const QString other = contact.add(kPhoneNumbers, entry(QStringLiteral("3"), QStringLiteral("home")));
    contact.relate(kPhoneNumbers, home,
                   QVariantList{param(QStringLiteral("type"), QStringLiteral("WORK")),
                                param(QStringLiteral("subSlot"), QStringLiteral("4"))});
    contact.relate(kPhoneNumbers, mobile, typeParams({QStringLiteral("CELL")}));
    contact.relate(kPhoneNumbers, QStringLiteral("Tarnex:gone"), typeParams({QStringLiteral("HOME")}));
    contact.vx.rememberSent(QStringLiteral("stale"));
    VXDictionary vx = contact.vx;
    const QVariantMap written = write(vx, kMoto);
    const QVariantList phones = written.value(QStringLiteral("phone")).toList();
    ASSERT_EQ(phones.size(), 3);
    EXPECT_EQ(phones[0].toMap(),
              (QVariantMap{{QStringLiteral("value"), QStringLiteral("1")},
                           {QStringLiteral("type"), QStringLiteral("work")},
                           {QStringLiteral("subSlot"), QStringLiteral("4")}}));
    EXPECT_EQ(phones[1].toMap().value(QStringLiteral("type")).toString(), QStringLiteral("mobile"));
    EXPECT_EQ(phones[2].toMap().value(QStringLiteral("type")).toString(), QStringLiteral("home"))
        << "the new home number takes the free home slot";
    EXPECT_FALSE(vx.getTheRelation(QLatin1String(kPhoneNumbers), QStringLiteral("Tarnex:gone")).isValid());
    EXPECT_EQ(vx.getTheRelation(QLatin1String(kPhoneNumbers), other).toList(), typeParams({QStringLiteral("HOME")}));
    const QVariantList sent = vx.sentItems().toList();
    for (const QString& id : {home, mobile, other})
        EXPECT_TRUE(sent.contains(id)) << id.toStdString();
    EXPECT_FALSE(sent.contains(QStringLiteral("stale"))) << "the sent list starts empty";
    EXPECT_TRUE(sent.contains(QStringLiteral("last name")));
}

TEST_F(MotorolaContactConverterTest, EmailLimitsAndRememberedOrder)
{
    ContactBuilder contact;
    const QString other = contact.add(kEmailAddresses, entry(QStringLiteral("o@x"), QStringLiteral("other")));
    const QString home = contact.add(kEmailAddresses, entry(QStringLiteral("h@x"), QStringLiteral("home")));
    const QString work = contact.add(kEmailAddresses, entry(QStringLiteral("w@x"), QStringLiteral("work")));
    contact.relate(kEmailAddresses, other, typeParams({QStringLiteral("OTHER")}));
    contact.relate(kEmailAddresses, home, typeParams({QStringLiteral("HOME")}));
    contact.relate(kEmailAddresses, work, typeParams({QStringLiteral("WORK")}));
    VXDictionary vx = contact.vx;
    const QVariantMap written = write(vx, kMoto);
    EXPECT_EQ(values(written, "email"), (QStringList{QStringLiteral("w@x"), QStringLiteral("h@x")}));
    EXPECT_EQ(values(written, "email", "type"), (QStringList{QStringLiteral("work"), QStringLiteral("home")}))
        << "the phone's own types go back although the model takes no desktop e-mail types";

    VXDictionary none = contact.vx;
    const QVariantMap noEmail = write(none, QStringLiteral("UniqueOne"));
    EXPECT_TRUE(noEmail.contains(QStringLiteral("email")));
    EXPECT_TRUE(noEmail.value(QStringLiteral("email")).toList().isEmpty());

    ContactBuilder fresh;
    fresh.with(kEmailAddresses, entry(QStringLiteral("a@x"), QStringLiteral("home")));
    VXDictionary lg = fresh.vx;
    const QVariantMap lgWritten = write(lg, kLG);
    EXPECT_EQ(lgWritten.value(QStringLiteral("email")).toList(),
              (QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("a@x")}}}));
    EXPECT_EQ(lg.getTheRelation(QLatin1String(kEmailAddresses), QStringLiteral("Tarnex:1")).toList(), QVariantList())
        << "no desktop e-mail types on this model: the relation says none";
}

TEST_F(MotorolaContactConverterTest, MainFieldsPerModel)
{
    ContactBuilder contact;
    contact.set(kFirstName, QStringLiteral("Ann"))
        .set(kLastName, QStringLiteral("Lee"))
        .set(kCompanyName, QStringLiteral("Acme"))
        .set(kJobTitle, QStringLiteral("Engineer"))
        .set(kNotes, QStringLiteral("note"))
        .set(kBirthday, QDate(1970, 12, 24));
    VXDictionary moto = contact.vx;
    EXPECT_EQ(write(moto, kMoto),
              (QVariantMap{{QStringLiteral("firstname"), QStringLiteral("Ann")},
                           {QStringLiteral("lastname"), QStringLiteral("Lee")},
                           {QStringLiteral("birthday"), QStringLiteral("12-24-1970")}}));
    VXDictionary lg = contact.vx;
    EXPECT_EQ(write(lg, kLG),
              (QVariantMap{{QStringLiteral("firstname"), QStringLiteral("Ann")},
                           {QStringLiteral("lastname"), QStringLiteral("Lee")},
                           {QStringLiteral("company"), QStringLiteral("Acme")},
                           {QStringLiteral("job title"), QStringLiteral("Engineer")},
                           {QStringLiteral("notes"), QStringLiteral("note")}}));
    EXPECT_TRUE(lg.wasUUIDsent(QStringLiteral("job title")));
    EXPECT_FALSE(lg.wasUUIDsent(QStringLiteral("birthday")));

    ContactBuilder company;
    company.set(kCompanyName, QStringLiteral("Acme"));
    VXDictionary copied = company.vx;
    EXPECT_EQ(write(copied, QStringLiteral("CopyCompany")).value(QStringLiteral("lastname")).toString(),
              QStringLiteral("Acme"));
    EXPECT_TRUE(copied.wasUUIDsent(QStringLiteral("company name")));
}

TEST_F(MotorolaContactConverterTest, AddressesPerModel)
{
    ContactBuilder contact;
    contact.with(kStreetAddresses,
                 address(QStringLiteral("Main St 1\r\nFloor 2\rBack"), QStringLiteral("Town"), QStringLiteral("1"),
                         QString(QLatin1String("")), QStringLiteral("work")));
    VXDictionary moto = contact.vx;
    EXPECT_EQ(write(moto, kMoto).value(QStringLiteral("address")).toList(),
              (QVariantList{QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main St 1")},
                                        {QStringLiteral("street2"), QStringLiteral("Floor 2\rBack")},
                                        {QStringLiteral("city"), QStringLiteral("Town")},
                                        {QStringLiteral("zip"), QStringLiteral("1")},
                                        {QStringLiteral("country"), QString(QLatin1String(""))},
                                        {QStringLiteral("type"), QStringLiteral("work")}}}));
    VXDictionary lg = contact.vx;
    EXPECT_EQ(write(lg, kLG).value(QStringLiteral("address")).toList(),
              (QVariantList{QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main St 1\r\nFloor 2\rBack")},
                                        {QStringLiteral("city"), QStringLiteral("Town")},
                                        {QStringLiteral("zip"), QStringLiteral("1")},
                                        {QStringLiteral("type"), QStringLiteral("work")}}}));
}

TEST_F(MotorolaContactConverterTest, CreationIsLoggedToSyncMLWithoutTimeStamp)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kSyncML)));
    const QString path = platform::paths::stateHome() + QStringLiteral("/MarvestoLG/Logs/SyncML.log");
    QFile::remove(path);
    ContactBuilder contact;
    contact.set(kFirstName, QStringLiteral("Ann"));
    VXDictionary vx = contact.vx;
    write(vx, kMoto);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("-- Moto Dict created: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Ann")));
}

// --- faults and round trips ---------------------------------------------------

TEST_F(MotorolaContactConverterTest, JobTitleGoesBothWaysOnLG)
{
    VXDictionary vx;
    EXPECT_EQ(roundTrip({{QStringLiteral("firstname"), QStringLiteral("Ann")},
                         {QStringLiteral("job title"), QStringLiteral("Engineer")}},
                        kLG, &vx)
                  .value(QStringLiteral("job title"))
                  .toString(),
              QStringLiteral("Engineer"));
    EXPECT_EQ(vx.mainObjectForKey(QStringLiteral("job title")).toString(), QStringLiteral("Engineer"));
    vx.setMainObject(QStringLiteral("Manager"), QStringLiteral("job title"));
    // A phone-side value of the same key, as older item forms hold it, loses too.
    vx.deviceDict().insert(QStringLiteral("job title"), QStringLiteral("Engineer"));
    EXPECT_EQ(write(vx, kLG).value(QStringLiteral("job title")).toString(), QStringLiteral("Manager"));
}

TEST_F(MotorolaContactConverterTest, LgEntryRoundTrip)
{
    const QVariantMap lgEntry{
        {QStringLiteral("firstname"), QStringLiteral("Ann")},
        {QStringLiteral("lastname"), QStringLiteral("Lee")},
        {QStringLiteral("company"), QStringLiteral("Acme")},
        {QStringLiteral("job title"), QStringLiteral("Engineer")},
        {QStringLiteral("notes"), QStringLiteral("two\nlines")},
        {QStringLiteral("ringtone"), QStringLiteral("Bells")},
        {QStringLiteral("categories"), QVariantList{QStringLiteral("3"), QStringLiteral("7")}},
        {QStringLiteral("phone"),
         QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("+4917011")},
                                  {QStringLiteral("type"), QStringLiteral("mobile")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("0301")},
                                  {QStringLiteral("type"), QStringLiteral("home")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("0302")},
                                  {QStringLiteral("type"), QStringLiteral("fax")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("0303")},
                                  {QStringLiteral("type"), QStringLiteral("videocall")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("0304")},
                                  {QStringLiteral("type"), QStringLiteral("other")}}}},
        {QStringLiteral("email"),
         QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("a@x.org")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("b@x.org")}}}},
        {QStringLiteral("url"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("http://x.org/")}}}},
        {QStringLiteral("address"),
         QVariantList{QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main St 1")},
                                  {QStringLiteral("city"), QStringLiteral("Town")},
                                  {QStringLiteral("zip"), QStringLiteral("12345")},
                                  {QStringLiteral("type"), QStringLiteral("home")}},
                      QVariantMap{{QStringLiteral("street1"), QStringLiteral("Office 9")},
                                  {QStringLiteral("country"), QStringLiteral("DE")},
                                  {QStringLiteral("type"), QStringLiteral("work")}}}},
    };
    VXDictionary vx;
    EXPECT_EQ(roundTrip(lgEntry, kLG, &vx), lgEntry);
    // The second write, from the relations the first one stored, is the same.
    EXPECT_EQ(write(vx, kLG), lgEntry);
}

TEST_F(MotorolaContactConverterTest, MotorolaEntryRoundTrip)
{
    const auto field = [](const char* value, const char* type, const char* subSlot, const char* mainEntry = "0") {
        return QVariantMap{{QStringLiteral("value"), QLatin1String(value)},
                           {QStringLiteral("type"), QLatin1String(type)},
                           {QStringLiteral("subSlot"), QLatin1String(subSlot)},
                           {QStringLiteral("mainEntry"), QLatin1String(mainEntry)}};
    };
    const QVariantMap motoEntry{
        {QStringLiteral("firstname"), QStringLiteral("Bo")},
        {QStringLiteral("lastname"), QStringLiteral("Berg")},
        {QStringLiteral("nickname"), QStringLiteral("bobo")},
        {QStringLiteral("note"), QStringLiteral("a note")},
        {QStringLiteral("birthday"), QStringLiteral("03-15-1980")},
        {QStringLiteral("categoryID"), QStringLiteral("1")},
        {QStringLiteral("phone"),
         QVariantList{field("+4917011", "mobile", "1", "1"), field("0301", "home", "2"), field("0302", "main", "3"),
                      field("0303", "other", "4"), field("0304", "other", "5"), field("0305", "fax", "6")}},
        {QStringLiteral("email"), QVariantList{field("w@x.org", "work", "8"), field("o@x.org", "other", "9")}},
        {QStringLiteral("address"),
         QVariantList{QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main St 1")},
                                  {QStringLiteral("street2"), QStringLiteral("Floor 2")},
                                  {QStringLiteral("city"), QStringLiteral("Town")},
                                  {QStringLiteral("state"), QString(QLatin1String(""))},
                                  {QStringLiteral("zip"), QStringLiteral("12345")},
                                  {QStringLiteral("country"), QString(QLatin1String(""))},
                                  {QStringLiteral("type"), QStringLiteral("home")},
                                  {QStringLiteral("subSlot"), QStringLiteral("12")},
                                  {QStringLiteral("mainEntry"), QStringLiteral("0")}}}},
        {QStringLiteral("unknown"), QVariantList{field("zz", "unknown", "20")}},
    };
    VXDictionary vx;
    EXPECT_EQ(roundTrip(motoEntry, kMoto, &vx), motoEntry);
    EXPECT_EQ(write(vx, kMoto), motoEntry);
}

} // namespace
