// Phonebooks of the simulated LG and Motorola phones read through the
// organizer kit, converted to contact forms, changed, converted back with the
// phone's description and written: the phone then holds the changes and
// everything else as before.
#include "VirtualTime.h"
#include "RecordingKitCallback.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaContactGenerator.h"
#include "formats/MotorolaContactReader.h"
#include "formats/VCardReader.h"
#include "formats/VXDictionary.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/VendorChains.h"

#include "PhoneSession.h"
#include "PhoneSimulator.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

// A phone dictionary as JSON text, for readable comparisons.
std::string json(const QVariant& value)
{
    return QJsonDocument::fromVariant(value).toJson(QJsonDocument::Indented).toStdString();
}

using Callback = RecordingKitCallback;

QVariantMap field(const char* value, const char* type)
{
    return {{QStringLiteral("value"), QLatin1String(value)}, {QStringLiteral("type"), QLatin1String(type)}};
}

struct Phone {
    const char* profile;
    const char* protocol;
    QVariantMap first;  // gets its e-mail address changed
    QVariantMap second; // gets a number added
};

Phone lgPhone()
{
    return {
        "lg",
        "Protocol LG",
        {{QStringLiteral("firstname"), QStringLiteral("Ann")},
         {QStringLiteral("lastname"), QStringLiteral("Lee")},
         {QStringLiteral("company"), QStringLiteral("Acme")},
         {QStringLiteral("job title"), QStringLiteral("Engineer")},
         {QStringLiteral("notes"), QStringLiteral("call after six")},
         {QStringLiteral("categories"), QVariantList{QStringLiteral("3"), QStringLiteral("7")}},
         {QStringLiteral("phone"),
          QVariantList{field("0170111", "mobile"), field("0301", "home"), field("0302", "fax"), field("0303", "work")}},
         {QStringLiteral("email"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("ann@x.org")}}}},
         {QStringLiteral("url"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("http://x.org")}}}}},
        {{QStringLiteral("firstname"), QStringLiteral("Bo")},
         {QStringLiteral("phone"), QVariantList{field("0401", "work")}}}};
}

// The older layout keeps a contact under its whole name, which the kit does
// not split and join back alike (a last name read with a leading blank is
// written with two): its contacts have first names only.
Phone motorolaPhone(const char* profile)
{
    QVariantMap first{{QStringLiteral("firstname"), QStringLiteral("Anna")},
                      {QStringLiteral("phone"),
                       QVariantList{field("0301234", "mobile"), field("0402", "home"), field("0403", "main")}},
                      {QStringLiteral("email"), QVariantList{field("anna@x.org", "home")}}};
    if (QLatin1String(profile) == QLatin1String("motorola")) {
        first.insert(QStringLiteral("lastname"), QStringLiteral("Berg"));
        first.insert(QStringLiteral("nickname"), QStringLiteral("annie"));
    }
    return {profile,
            "Protocol Motorola V3 Series",
            first,
            {{QStringLiteral("firstname"), QStringLiteral("Bert")},
             {QStringLiteral("phone"), QVariantList{field("040", "work")}}}};
}

class PhonebookConverterKitTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { kestrova::vendors::registerVendorChains(); }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    void start(const Phone& phone)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(phone.profile)));
        sim->modifySession([](phonesim::PhoneSession& s) { s.motorola.lastSlot = 10; });
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QLatin1String(phone.profile));
    }
    std::optional<QVariantMap> read()
    {
        const qsizetype before = callback.reads.size();
        kit.getPhonebookEntries();
        if (!runUntil([&] { return callback.reads.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.reads.last();
    }
    bool write(const QVariantMap& entries)
    {
        const qsizetype before = callback.writes.size();
        kit.writePhonebookEntries(entries);
        return runUntil([&] { return callback.writes.size() > before; }, 300.0, 0.25)
            && callback.writeCodes.last() == 0;
    }
    // The key of the one entry whose first name is given.
    static QString keyOf(const QVariantMap& phonebook, const QString& firstName)
    {
        for (auto it = phonebook.cbegin(); it != phonebook.cend(); ++it) {
            if (it.value().toMap().value(QStringLiteral("firstname")).toString() == firstName)
                return it.key();
        }
        return QString();
    }

    OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    Callback callback;
    Kestrova kit;
};

TEST_P(PhonebookConverterKitTest, ChangesReachThePhoneAndNothingElseMoves)
{
    const QString profile = QLatin1String(GetParam());
    const Phone phone = profile == QLatin1String("lg") ? lgPhone() : motorolaPhone(GetParam());
    start(phone);
    ASSERT_TRUE(read().has_value()) << "the phonebook is opened and read once before writing";
    ASSERT_TRUE(write({{QStringLiteral("T-1"), phone.first}, {QStringLiteral("T-2"), phone.second}}));

    const auto before = read();
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before->size(), 2);
    const QString firstName = phone.first.value(QStringLiteral("firstname")).toString();
    const QString secondName = phone.second.value(QStringLiteral("firstname")).toString();
    const QString firstKey = keyOf(*before, firstName);
    const QString secondKey = keyOf(*before, secondName);
    ASSERT_FALSE(firstKey.isEmpty());
    ASSERT_FALSE(secondKey.isEmpty());

    // To contact forms, as the item list keeps them.
    QMap<QString, VXDictionary> forms;
    for (auto it = before->cbegin(); it != before->cend(); ++it) {
        const auto card = vCardDictionaryForMotorolaContact(it.value());
        ASSERT_TRUE(card.has_value());
        forms.insert(it.key(), vCardDictionary2VXDictionary(*card, it.key()));
    }
    // The desktop changes the first contact's e-mail address and gives the
    // second one a mobile number.
    VXDictionary& first = forms[firstKey];
    const QString emailId = first.mainObjectForKey(QStringLiteral("email addresses")).toList().value(0).toString();
    QVariantMap email = first.otherObjectForKey(emailId).toMap();
    ASSERT_FALSE(email.isEmpty());
    email.insert(QStringLiteral("value"), QStringLiteral("new@x.org"));
    first.setOtherObject(email, emailId);
    VXDictionary& second = forms[secondKey];
    const QString numberId = QStringLiteral("Tarnex:added");
    second.setOtherObject(QVariantMap{{QStringLiteral("value"), QStringLiteral("0179999")},
                                      {QStringLiteral("type"), QStringLiteral("mobile")}},
                          numberId);
    QVariantList numbers = second.mainObjectForKey(QStringLiteral("phone numbers")).toList();
    numbers.append(numberId);
    second.setMainObject(numbers, QStringLiteral("phone numbers"));

    auto shipped = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
    QVSyncDeviceDescription description(shipped);
    ASSERT_EQ(description.setupFromProtocol(QLatin1String(phone.protocol)), 0);
    QVariantMap entries;
    for (auto it = forms.begin(); it != forms.end(); ++it)
        entries.insert(it.key(), createMotoDictForVXDict(&it.value(), description));
    EXPECT_TRUE(second.wasUUIDsent(numberId));
    ASSERT_TRUE(write(entries));

    const auto after = read();
    ASSERT_TRUE(after.has_value());
    ASSERT_EQ(after->keys(), before->keys()) << json(*after) << json(entries);
    QVariantMap expectedFirst = before->value(firstKey).toMap();
    QVariantList emails = expectedFirst.value(QStringLiteral("email")).toList();
    QVariantMap changedEmail = emails.value(0).toMap();
    changedEmail.insert(QStringLiteral("value"), QStringLiteral("new@x.org"));
    // A Motorola phone rewrites a changed field and sets its main-entry flag anew.
    const QString mainEntry = QStringLiteral("mainEntry");
    const QVariantMap emailAfter =
        after->value(firstKey).toMap().value(QStringLiteral("email")).toList().value(0).toMap();
    if (changedEmail.contains(mainEntry))
        changedEmail.insert(mainEntry, emailAfter.value(mainEntry));
    emails[0] = changedEmail;
    expectedFirst.insert(QStringLiteral("email"), emails);
    EXPECT_EQ(json(after->value(firstKey)), json(expectedFirst)) << json(entries);

    QVariantMap secondAfter = after->value(secondKey).toMap();
    QVariantList phonesAfter = secondAfter.take(QStringLiteral("phone")).toList();
    QVariantMap secondBefore = before->value(secondKey).toMap();
    const QVariantList phonesBefore = secondBefore.take(QStringLiteral("phone")).toList();
    EXPECT_EQ(json(secondAfter), json(secondBefore));
    ASSERT_EQ(phonesAfter.size(), phonesBefore.size() + 1);
    qsizetype added = -1;
    for (qsizetype i = 0; i < phonesAfter.size(); ++i) {
        if (phonesAfter[i].toMap().value(QStringLiteral("value")).toString() == QLatin1String("0179999"))
            added = i;
    }
    ASSERT_GE(added, 0);
    EXPECT_EQ(phonesAfter[added].toMap().value(QStringLiteral("type")).toString(), QStringLiteral("mobile"));
    phonesAfter.removeAt(added);
    EXPECT_EQ(json(phonesAfter), json(phonesBefore));
}

INSTANTIATE_TEST_SUITE_P(Phonebooks, PhonebookConverterKitTest, ::testing::Values("lg", "motorola", "motorola2"));

} // namespace
