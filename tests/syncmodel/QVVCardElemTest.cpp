#include "ContactTestSupport.h"

#include "formats/VCardGenerator.h"
#include "platform/SyncChange.h"

#include <QBuffer>
#include <QUrl>
#include <QtEndian>

using namespace contacttest;
using namespace contactkey;
using platform::SyncChange;

namespace {

class VCardElemTest : public ContactTest {
protected:
    static std::shared_ptr<QVVCardElem> withFields(const std::vector<std::pair<const char*, QString>>& fields,
                                                   const char* protocol = "Phone")
    {
        VXDictionary vx;
        for (const auto& [key, value] : fields)
            vx.setMainObject(value, QString::fromLatin1(key));
        return QVVCardElem::vCardWithDict(&vx, QStringLiteral("Tarnex:c"), QStringLiteral("1"),
                                          QString::fromLatin1(protocol), QStringLiteral("Phone"), QString());
    }

    static QString idOf(const QVVCardElem& elem, const char* listKey, int index)
    {
        return elem.vxDict()->mainObjectForKey(QString::fromLatin1(listKey)).toList().value(index).toString();
    }
};

quint32 code(const char (&text)[5])
{
    return qFromBigEndian<quint32>(text);
}

} // namespace

TEST_F(VCardElemTest, NamesOfTheContact)
{
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, QString>> fields;
        QString identity, fullName, lastFirstStart, entryName, elemDescription;
    };
    const Case cases[] = {
        {"first and last",
         {{kFirstName, QStringLiteral("Ann")}, {kLastName, QStringLiteral("Smith")}},
         QStringLiteral("AnnSmith"),
         QStringLiteral("Ann Smith"),
         QStringLiteral("Smith "),
         QStringLiteral("Ann Smith"),
         QStringLiteral("Ann Smith")},
        {"company only",
         {{kCompanyName, QStringLiteral("Acme")}},
         QStringLiteral("Acme"),
         QString(""),
         QString(""),
         QStringLiteral("Acme"),
         QStringLiteral("Acme")},
        {"nothing", {}, QString(""), QString(""), QString(""), QStringLiteral("Unknown Person"), QStringLiteral("---")},
        {"every part",
         {{kTitle, QStringLiteral("Dr.")},
          {kFirstName, QStringLiteral("Ann")},
          {kMiddleName, QStringLiteral("B")},
          {kLastName, QStringLiteral("Smith")},
          {kSuffix, QStringLiteral("Jr.")},
          {"nick name", QStringLiteral("Annie")},
          {kCompanyName, QStringLiteral("Acme")}},
         QStringLiteral("Dr.AnnBSmithJr.Acme"),
         QStringLiteral("Dr. Ann B Smith, Jr. (Annie)"),
         QStringLiteral("Smith, Jr., Dr. Ann B (Annie)"),
         QStringLiteral("Dr. Ann B Smith, Jr. (Annie)"),
         QStringLiteral("Dr. Ann B Smith, Jr. (Annie)\nAcme")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto elem = withFields(c.fields);
        EXPECT_EQ(elem->getIdentityString(), c.identity);
        EXPECT_EQ(elem->fullName(), c.fullName);
        EXPECT_TRUE(elem->fullNameLastFirst().startsWith(c.lastFirstStart)) << qPrintable(elem->fullNameLastFirst());
        EXPECT_EQ(elem->entryName(), c.entryName);
        EXPECT_EQ(elem->elemDescription(), c.elemDescription);
    }
}

TEST_F(VCardElemTest, IdentityFollowsThePhoneLimitsAndIsKept)
{
    const auto elem = withFields({{kFirstName, QStringLiteral("Alexandra")},
                                  {kLastName, QStringLiteral("Smith")},
                                  {kCompanyName, QStringLiteral("Acme Corp")}},
                                 "Short");
    EXPECT_EQ(elem->getIdentityString(), QStringLiteral("AleSmithAcme"));
    EXPECT_EQ(elem->formattedFullName(), QStringLiteral("Ale Smith"));
    EXPECT_EQ(elem->fullName(), QStringLiteral("Alexandra Smith"));
    // Computed once: a later change of the name does not move it.
    elem->processISyncChange(SyncChange(SyncChange::Modify, elem->elemUUID(),
                                        {SyncChange::setChange(QStringLiteral("last name"), QStringLiteral("Jones"))}),
                             false);
    EXPECT_EQ(elem->getIdentityString(), QStringLiteral("AleSmithAcme"));

    const auto onlyFirstLast = withFields({{kTitle, QStringLiteral("Dr.")}, {kCompanyName, QStringLiteral("Acme")}});
    onlyFirstLast->setHasOnlyFirstLast(true);
    EXPECT_EQ(onlyFirstLast->getIdentityString(), QStringLiteral("Acme"));
    // Without a description the company is not cut.
    EXPECT_EQ(withFields({{kCompanyName, QStringLiteral("Acme Corp")}}, "")->formattedFullName(),
              QStringLiteral("Acme Corp"));
}

TEST_F(VCardElemTest, FieldLimitsAndPhoneNumbers)
{
    const auto elem = withFields({}, "Short");
    EXPECT_EQ(elem->getFormattedString(QStringLiteral("Acme Corp"), QStringLiteral("company name")),
              QVariant(QStringLiteral("Acme")));
    EXPECT_EQ(elem->getFormattedString(QStringLiteral("Acme Corp"), QStringLiteral("department")),
              QVariant(QStringLiteral("Acme Corp")));
    EXPECT_EQ(elem->getFormattedString(QStringLiteral("Acme Corp"), QString()), QVariant(QStringLiteral("Acme Corp")));
    // Only the allowed characters, then the limit of 8.
    EXPECT_EQ(elem->formattedPhoneNumber(QStringLiteral("+49 (30) 1234-5678")), QStringLiteral("+4930123"));
    EXPECT_TRUE(elem->isValidPhoneNumberChar(u'+'));
    EXPECT_FALSE(elem->isValidPhoneNumberChar(u'-'));
    EXPECT_TRUE(withFields({})->isValidPhoneNumberChar(u'-'));
    EXPECT_TRUE(elem->mustBeUnique(QStringLiteral("SyncML.MaxLen_Company")));
    EXPECT_FALSE(elem->mustBeUnique(QStringLiteral("SyncML.Unique_EmailType")));

    const std::pair<QString, QString> numbers[] = {
        {QStringLiteral("+49 (030) 1234-56"), QStringLiteral("49030123456")},
        {QStringLiteral("0049 30 1234"), QStringLiteral("49301234")},
        {QStringLiteral("00"), QString("")},
        {QString(), QString("")},
    };
    for (const auto& [text, pure] : numbers)
        EXPECT_EQ(QVVCardElem::purePhoneNumber(text), pure) << qPrintable(text);
}

TEST_F(VCardElemTest, FirstNameShortenedBesideTheLastName)
{
    const auto elem = withFields({{kFirstName, QStringLiteral("Alexander")}, {kLastName, QStringLiteral("Smith")}});
    const std::pair<long, QString> cases[] = {
        {20, QStringLiteral("Alexander")}, // fits
        {9, QStringLiteral("Ale.")},       // 4 characters left
        {7, QStringLiteral("A.")},         // 2 left
        {6, QStringLiteral("A")},          // 1 left
        {5, QString("")},                  // none left
        {3, QString("")},
    };
    for (const auto& [limit, first] : cases)
        EXPECT_EQ(elem->evaluateFirstLastCombi(limit), first) << limit;
}

TEST_F(VCardElemTest, TextWithoutACardGivesNoItem)
{
    EXPECT_FALSE(QVVCardElem::elemWithData(QStringLiteral("no card here"), QStringLiteral("1"), QStringLiteral("Phone"),
                                           QStringLiteral("Phone"), QString()));
    const auto empty = QVVCardElem::elemWithData(QVariant(), QString(), QStringLiteral("Phone"),
                                                 QStringLiteral("Phone"), QString());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->elemUUID().startsWith(QStringLiteral("Tarnex:")));
    EXPECT_EQ(empty->property(), 0);
}

TEST_F(VCardElemTest, PulledChangesOfSubRecords)
{
    const auto elem = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nTEL;WORK:456\r\n"
                                                   "EMAIL;INTERNET:ann@example.org\r\n")));
    const QString home = idOf(*elem, kPhoneNumbers, 0);
    const QString work = idOf(*elem, kPhoneNumbers, 1);
    const QString phones = QString::fromLatin1(kPhoneNumbers);
    ASSERT_TRUE(elem->vxDict()->getTheRelation(phones, home).isValid());
    ASSERT_TRUE(elem->vxDict()->getTheRelation(phones, work).isValid());

    // A new type: the parameters that described the old one go.
    elem->processISyncChange(
        SyncChange(SyncChange::Modify, home, {SyncChange::setChange(QStringLiteral("type"), QStringLiteral("work"))}),
        false);
    EXPECT_FALSE(elem->vxDict()->getTheRelation(phones, home).isValid());
    EXPECT_EQ(elem->otherItem(home).toMap().value(QStringLiteral("type")), QVariant(QStringLiteral("work")));

    // A list without the work number deletes it with its relation.
    elem->processISyncChange(
        SyncChange(SyncChange::Modify, elem->elemUUID(), {SyncChange::setChange(phones, QVariantList{home})}), false);
    EXPECT_FALSE(elem->otherItem(work).isValid());
    EXPECT_FALSE(elem->vxDict()->getTheRelation(phones, work).isValid());
    EXPECT_TRUE(elem->otherItem(home).isValid());

    // Removing every e-mail address empties the list and its relations.
    EXPECT_TRUE(elem->removeItemsForEntity(platform::entity::EmailAddress));
    EXPECT_TRUE(elem->vxDict()->mainObjectForKey(QStringLiteral("email addresses")).toList().isEmpty());
    EXPECT_FALSE(elem->vxDict()->getRelations(QStringLiteral("email addresses")).isValid());
}

TEST_F(VCardElemTest, OneRenderingCacheForBothCalls)
{
    const auto elem = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;CELL:123\r\n")));
    const auto phone = limits("Phone");
    const QString first = elem->vxDataForDevice(phone).toString();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(elem->vxDataForDevice(phone).toString(), first);

    elem->processISyncChange(SyncChange(SyncChange::Modify, elem->elemUUID(),
                                        {SyncChange::setChange(QStringLiteral("last name"), QStringLiteral("Jones"))}),
                             false);
    const QString second = elem->vxDataForDevice(phone).toString();
    EXPECT_TRUE(second.contains(QStringLiteral("Jones"))) << qPrintable(second);
    // A change during a phone session does not mark the item, but renders anew.
    elem->processISyncChange(SyncChange(SyncChange::Modify, elem->elemUUID(),
                                        {SyncChange::setChange(QStringLiteral("last name"), QStringLiteral("Brown"))}),
                             true);
    EXPECT_TRUE(elem->vxDataForDevice(phone).toString().contains(QStringLiteral("Brown")));

    // After a change, the first call decides what both answer.
    elem->setChanged();
    const QString export21 = elem->vxDataForDescription(nullptr).toString();
    EXPECT_EQ(elem->vxDataForDevice(phone).toString(), export21);
    elem->setChanged();
    const QString forPhone = elem->vxDataForDevice(phone).toString();
    EXPECT_EQ(elem->vxDataForDescription(nullptr).toString(), forPhone);
    // Another model's description is rendered afresh and not cached.
    EXPECT_TRUE(elem->vxDataForDescription(limits("Export-3.0")).toString().contains(QStringLiteral("VERSION:3.0")));
    EXPECT_EQ(elem->vxDataForDevice(phone).toString(), forPhone);
}

TEST_F(VCardElemTest, ExportTextsWithAndWithoutPhoto)
{
    VXDictionary vx;
    vx.setMainObject(QStringLiteral("Smith"), QStringLiteral("last name"));
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    vx.setMainObject(jpeg, QStringLiteral("image"));
    const auto elem = QVVCardElem::vCardWithDict(&vx, QStringLiteral("Tarnex:c"), QString(), QString(), QString(),
                                                 QString());
    EXPECT_TRUE(elem->foreignVCard21Representation(QSize(64, 64)).contains(QStringLiteral("PHOTO")));
    EXPECT_FALSE(elem->foreignVCard21Representation(QSize(-1, -1)).contains(QStringLiteral("PHOTO")));
    EXPECT_TRUE(elem->foreignVCard30Representation(QSize(64, 64)).contains(QStringLiteral("VERSION:3.0")));
    EXPECT_FALSE(elem->foreignVCard30DataRepresentation(QSize(-1, -1)).contains("PHOTO"));
    EXPECT_EQ(elem->getImageData(), jpeg);
    EXPECT_EQ(elem->originalImage().size(), QSize(16, 16));
    EXPECT_TRUE(elem->imageWithSize(QSize(8, 8)).isNull());
    EXPECT_EQ(elem->imageWithSize(QSize(32, 64)).size(), QSize(32, 32));
}

TEST_F(VCardElemTest, CharsetOnlyWhenThePhoneNamesOne)
{
    const QString text = QStringLiteral(
        "N;ENCODING=QUOTED-PRINTABLE:M=C3=BCller\r\nNOTE;ENCODING=QUOTED-PRINTABLE:x\r\n");
    EXPECT_EQ(withFields({}, "Phone")->addCharsetInfo(text),
              QStringLiteral("N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller\r\n"
                             "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:x\r\n"));
    EXPECT_EQ(withFields({}, "NoCharset")->addCharsetInfo(text), text);
    EXPECT_EQ(withFields({}, "")->addCharsetInfo(text), text);
    const QString named = QStringLiteral("N;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:x\r\n");
    EXPECT_EQ(withFields({}, "Phone")->addCharsetInfo(named), named);
    EXPECT_EQ(withFields({})->fixIllegalCharset(QStringLiteral("N;CHARSET=:x")), QStringLiteral("N;CHARSET=UTF-8:x"));
}

TEST_F(VCardElemTest, TypesCompletedForAPhoneWithoutURLAndMailTypes)
{
    for (const char* protocol : {"Protocol LG Test", "Phone"}) {
        SCOPED_TRACE(protocol);
        const bool lg = QLatin1String(protocol) == QLatin1String("Protocol LG Test");
        VXDictionary vx;
        const std::pair<const char*, const char*> lists[] = {
            {kPhoneNumbers, "123"}, {kEmailAddresses, "ann@example.org"}, {kURLs, "http://example.org/"}};
        for (const auto& [listKey, value] : lists) {
            const QString id = QStringLiteral("Tarnex:") + QLatin1String(listKey);
            vx.setOtherObject(
                QVariantMap{{QStringLiteral("value"), QString::fromLatin1(value)}, {QStringLiteral("type"), QString()}},
                id);
            vx.setMainObject(QVariantList{id}, QString::fromLatin1(listKey));
        }
        const auto elem = QVVCardElem::vCardWithDict(&vx, QStringLiteral("Tarnex:c"), QString(),
                                                     QString::fromLatin1(protocol), QString(), QString());
        elem->complementTypeInfo();
        const auto typeOf = [&](const QVariantList& list) {
            return list.value(0).toMap().value(QStringLiteral("type")).toString();
        };
        EXPECT_EQ(typeOf(elem->getURLs()), lg ? QStringLiteral("home page") : QString());
        EXPECT_EQ(typeOf(elem->getEmails()), lg ? QStringLiteral("home") : QString());
        EXPECT_EQ(typeOf(elem->getPhones()), QString());
    }
}

TEST_F(VCardElemTest, CardRowsAndTheirTypeCodes)
{
    const auto elem = fromText(
        card(QStringLiteral("N:Smith;Ann\r\nORG:Acme;Sales\r\nTEL;CELL:123\r\nEMAIL;INTERNET:ann@example.org\r\n"
                            "URL:http://example.org/a%20b\r\nADR;HOME:;;Main St 1;Springfield;;12345;Freedonia\r\n"
                            "BDAY:19800704\r\nNOTE:hello\r\n")));
    QStringList labels, contents;
    QList<quint32> codes;
    ASSERT_TRUE(elem->getFullDisplayData(labels, contents, codes));
    const QList<quint32> expected{code("name"), code("name"), code("name"), code("nix "), code("phon"), code("nix "),
                                  code("mail"), code("nix "), code("url "), code("nix "), code("addr"), code("addr"),
                                  code("addr"), code("nix "), code("bday"), code("nix "), code("note"), code("nix ")};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(contents.value(0), QStringLiteral("Ann Smith"));
    EXPECT_EQ(labels.value(1), QStringLiteral("Company"));
    EXPECT_EQ(contents.value(1), QStringLiteral("Acme"));
    EXPECT_EQ(contents.value(2), QStringLiteral("Sales"));
    EXPECT_EQ(contents.value(8), QStringLiteral("http://example.org/a b"));
    EXPECT_EQ(contents.value(10), QStringLiteral("Main St 1"));
    EXPECT_EQ(contents.value(11), QStringLiteral("12345 Springfield"));
    EXPECT_EQ(contents.value(12), QStringLiteral("Freedonia"));
    EXPECT_EQ(contents.value(14), QStringLiteral("4. July 1980"));
    EXPECT_EQ(contents.value(16), QStringLiteral("hello"));

    const auto noForm = std::make_shared<QVVCardElem>(nullptr, QString(), QString(), QString(), QString(), QString());
    VXDictionary empty;
    EXPECT_TRUE(noForm->getFullDisplayDataFromVXDict(empty, labels, contents, false, codes, true));
    EXPECT_TRUE(codes.isEmpty());
}

TEST_F(VCardElemTest, SearchFindsANumberAddedByAPulledChange)
{
    const auto elem = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\n")));
    EXPECT_TRUE(elem->satisfiesSearchString(QStringLiteral("smith")));
    EXPECT_FALSE(elem->satisfiesSearchString(QStringLiteral("5550199")));

    const QString added = QStringLiteral("Tarnex:added");
    elem->processISyncChange(
        SyncChange(SyncChange::Modify, added,
                   {SyncChange::setChange(platform::ISyncRecordEntityNameKey, platform::entity::PhoneNumber),
                    SyncChange::setChange(QStringLiteral("value"), QStringLiteral("5550199"))}),
        false);
    QVariantList ids = elem->vxDict()->mainObjectForKey(QStringLiteral("phone numbers")).toList();
    ids.append(added);
    elem->processISyncChange(
        SyncChange(SyncChange::Modify, elem->elemUUID(), {SyncChange::setChange(QStringLiteral("phone numbers"), ids)}),
        false);
    EXPECT_TRUE(elem->satisfiesSearchString(QStringLiteral("5550199")));
}

TEST_F(VCardElemTest, RecordsGroupsAndInheritedRelations)
{
    const auto elem = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\n")));
    QVariantList records;
    elem->addRecordToList(records);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].toMap().value(QStringLiteral("Record-ID")).toString(), idOf(*elem, kPhoneNumbers, 0));
    EXPECT_EQ(elem->getAllElementUUIDs(), (QStringList{elem->elemUUID(), idOf(*elem, kPhoneNumbers, 0)}));

    EXPECT_TRUE(elem->isMemberOfRequestedGroups({}));
    EXPECT_FALSE(elem->isMemberOfRequestedGroups({QStringLiteral("g1")}));
    elem->addGroupRelation(QStringLiteral("g1"));
    EXPECT_TRUE(elem->isMemberOfRequestedGroups({QStringLiteral("g2"), QStringLiteral("g1")}));

    const auto fresh = withFields({{kLastName, QStringLiteral("Smith")}});
    fresh->inheritedFromZombie(*elem);
    EXPECT_EQ(fresh->sourceURI(), QStringLiteral("1"));
    EXPECT_EQ(fresh->vxDict()->getRelations(QStringLiteral("phone numbers")),
              elem->vxDict()->getRelations(QStringLiteral("phone numbers")));
    fresh->removeDeviceRelations();
    EXPECT_FALSE(fresh->vxDict()->getRelations(QStringLiteral("phone numbers")).isValid());
}

TEST_F(VCardElemTest, TextFittedToThePhone)
{
    const QString text = card(QStringLiteral("N:Smith;Ann\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:QUJD\r\n REVG\r\n\r\n"
                                             "X-RING:1\r\nTEL:1\r\n"));
    const QString fitted = withFields({}, "Ignore")->removeIgnoreItems(text);
    EXPECT_FALSE(fitted.contains(QStringLiteral("PHOTO"))) << qPrintable(fitted);
    EXPECT_FALSE(fitted.contains(QStringLiteral("X-RING"))) << qPrintable(fitted);
    EXPECT_TRUE(fitted.contains(QStringLiteral("TEL:1"))) << qPrintable(fitted);
    EXPECT_EQ(withFields({}, "")->removeIgnoreItems(text), text);

    const auto elem = fromText(card(QStringLiteral("N:Smith;Alexandra\r\nORG:Acme Corp\r\n"
                                                   "TEL;HOME:+49 (30) 1234-5678\r\nURL:http://example.org/\r\n")),
                               "Short");
    elem->formatAllEntries();
    EXPECT_EQ(elem->company(), QStringLiteral("Acme"));
    EXPECT_EQ(elem->getPhones().value(0).toMap().value(QStringLiteral("value")), QVariant(QStringLiteral("+4930123")));
    EXPECT_EQ(elem->getURLs().value(0).toMap().value(QStringLiteral("value")),
              QVariant(QUrl(QStringLiteral("http://example.org/"))));
    EXPECT_EQ(elem->getVCardCalDictionary().toMap().value(QStringLiteral("company name")),
              QVariant(QStringLiteral("Acme")));
}

TEST_F(VCardElemTest, SortOrders)
{
    const auto adams = withFields({{kFirstName, QStringLiteral("Zoe")},
                                   {kLastName, QStringLiteral("adams")},
                                   {kCompanyName, QStringLiteral("Beta")}});
    const auto baker = withFields({{kFirstName, QStringLiteral("Al")},
                                   {kLastName, QStringLiteral("Baker")},
                                   {kCompanyName, QStringLiteral("Alpha")}});
    EXPECT_GT(adams->firstComparisation(*baker), 0);
    EXPECT_LT(adams->lastComparisation(*baker), 0);
    EXPECT_GT(adams->orgComparisation(*baker), 0);
    EXPECT_EQ(adams->defaultComparisation(*baker), adams->firstComparisation(*baker));
    EXPECT_EQ(adams->onPhoneString(), QStringLiteral("1"));
    adams->setSourceURI(QStringLiteral("T-1"));
    EXPECT_LT(adams->onPhoneComparisation(*baker), 0);
}
