#include "ContactTestSupport.h"

#include "formats/VCardGenerator.h"
#include "platform/SyncChange.h"

using namespace contacttest;
using platform::SyncChange;

namespace {

class VCardChangesTest : public ContactTest {
protected:
    // The changes from the stored text's contact to the phone's new text.
    QList<SyncChange> changesFor(const std::shared_ptr<QVVCardElem>& stored, const QString& newText)
    {
        const auto incoming = fromText(newText);
        return stored->acceptChangesForElem(*incoming);
    }
    static QString idAt(const QVVCardElem& elem, const char* listKey, int index)
    {
        return elem.vxDict()->mainObjectForKey(QString::fromLatin1(listKey)).toList().value(index).toString();
    }
    static QVariantMap param(const QString& key, const QString& value)
    {
        return {{QStringLiteral("Key"), key}, {QStringLiteral("Values"), QVariantList{value}}};
    }
    static QVariantMap set(const QString& name, const QVariant& value) { return SyncChange::setChange(name, value); }
};

} // namespace

TEST_F(VCardChangesTest, AnUnchangedVersionGivesNothing)
{
    const QString text = card(QStringLiteral("N:Smith;Ann\r\nTITLE:Boss\r\nTEL;HOME:123\r\nTEL;CELL:456\r\n"
                                             "EMAIL;INTERNET:ann@example.org\r\nURL:http://example.org/\r\n"
                                             "ADR;HOME:;;Main St 1;Springfield;;12345;\r\nBDAY:19800704\r\n"));
    const auto stored = fromText(text);
    (void)stored->vxDataForDevice(limits("Phone"));
    EXPECT_TRUE(changesFor(stored, text).isEmpty());
    // Nor does the phone's own rendering of it.
    const auto rendered = stored->vxDataForDevice(limits("Phone")).toString();
    EXPECT_TRUE(changesFor(stored, rendered).isEmpty()) << qPrintable(rendered);
}

TEST_F(VCardChangesTest, AFieldIsClearedOnlyWhenThePhoneHadIt)
{
    const QString withTitle = card(QStringLiteral("N:Smith;Ann\r\nTITLE:Boss\r\n"));
    const QString without = card(QStringLiteral("N:Smith;Ann\r\n"));
    const auto stored = fromText(withTitle);
    EXPECT_TRUE(changesFor(stored, without).isEmpty()); // never rendered for the phone

    (void)stored->vxDataForDevice(limits("Phone"));
    const auto changes = changesFor(stored, without);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].type(), SyncChange::Modify);
    EXPECT_EQ(changes[0].recordIdentifier(), stored->elemUUID());
    EXPECT_EQ(changes[0].changes(), (QVariantList{SyncChange::clearChange(QStringLiteral("job title"))}));
}

TEST_F(VCardChangesTest, MainFieldsSetWhenNewOrDifferent)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nBDAY:19800704\r\n")));
    const auto changes = changesFor(stored, card(QStringLiteral("N:Smith;Anna\r\nBDAY:19800705\r\nTITLE:Boss\r\n")));
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].changes(),
              (QVariantList{set(QStringLiteral("birthday"), QDateTime(QDate(1980, 7, 5), QTime(12, 0), Qt::UTC)),
                            set(QStringLiteral("first name"), QStringLiteral("Anna")),
                            set(QStringLiteral("job title"), QStringLiteral("Boss"))}));
}

TEST_F(VCardChangesTest, ACityChangeModifiesTheAddressOnly)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nADR;HOME:;;Main St 1;Springfield;;12345;\r\n")));
    const auto changes = changesFor(
        stored, card(QStringLiteral("N:Smith;Ann\r\nADR;HOME:;;Main St 1;Shelbyville;;12345;\r\n")));
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].type(), SyncChange::Modify);
    EXPECT_EQ(changes[0].recordIdentifier(), idAt(*stored, contactkey::kStreetAddresses, 0));
    EXPECT_EQ(changes[0].changes(), (QVariantList{set(QStringLiteral("city"), QStringLiteral("Shelbyville"))}));
}

TEST_F(VCardChangesTest, NumbersDeletedChangedAndAdded)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nTEL;WORK:456\r\n")));
    const QString home = idAt(*stored, contactkey::kPhoneNumbers, 0);
    const QString work = idAt(*stored, contactkey::kPhoneNumbers, 1);
    const QString phones = QStringLiteral("phone numbers");
    {
        SCOPED_TRACE("the second number is gone");
        const auto changes = changesFor(stored, card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\n")));
        ASSERT_EQ(changes.size(), 2);
        EXPECT_EQ(changes[0].type(), SyncChange::Delete);
        EXPECT_EQ(changes[0].recordIdentifier(), work);
        EXPECT_EQ(changes[1].changes(), (QVariantList{set(phones, QVariantList{home})}));
        // The stored contact keeps its numbers; only the relation of the gone one goes.
        EXPECT_TRUE(stored->otherItem(work).isValid());
        EXPECT_FALSE(stored->vxDict()->getTheRelation(phones, work).isValid());
    }
    const auto fresh = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nTEL;WORK:456\r\n")));
    const QString freshWork = idAt(*fresh, contactkey::kPhoneNumbers, 1);
    {
        SCOPED_TRACE("the work number changed, a mobile number is new");
        const auto changes = changesFor(
            fresh, card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nTEL;WORK:789\r\nTEL;CELL:555\r\n")));
        ASSERT_EQ(changes.size(), 3);
        EXPECT_EQ(changes[0].type(), SyncChange::Modify);
        EXPECT_EQ(changes[0].recordIdentifier(), freshWork);
        EXPECT_EQ(changes[0].changes(), (QVariantList{set(QStringLiteral("value"), QStringLiteral("789"))}));
        EXPECT_EQ(changes[1].type(), SyncChange::Add);
        const QString added = changes[1].recordIdentifier();
        EXPECT_TRUE(added.startsWith(QStringLiteral("Tarnex:")));
        EXPECT_TRUE(changes[1].changes().contains(set(QStringLiteral("value"), QStringLiteral("555"))));
        EXPECT_TRUE(changes[1].changes().contains(set(QStringLiteral("contact"), QVariantList{fresh->elemUUID()})));
        EXPECT_EQ(
            changes[2].changes(),
            (QVariantList{set(phones, QVariantList{idAt(*fresh, contactkey::kPhoneNumbers, 0), freshWork, added})}));
        EXPECT_TRUE(fresh->vxDict()->getTheRelation(phones, added).isValid());
    }
}

TEST_F(VCardChangesTest, URLsBecomeURLObjects)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\n")));
    const auto changes = changesFor(stored,
                                    card(QStringLiteral("N:Smith;Ann\r\nURL:http://example.org/x\r\n"
                                                        "URL:http://[broken\r\n")));
    ASSERT_EQ(changes.size(), 3);
    EXPECT_TRUE(
        changes[0].changes().contains(set(QStringLiteral("value"), QUrl(QStringLiteral("http://example.org/x")))));
    // A value that is no URL stays text.
    EXPECT_TRUE(changes[1].changes().contains(set(QStringLiteral("value"), QStringLiteral("http://[broken"))));
}

TEST_F(VCardChangesTest, APhoneThatShowsTheCompanyAsTheName)
{
    struct Case {
        const char* what;
        const char* protocol;
        QString stored, incoming;
        QVariantList mainChanges;
    };
    const Case cases[] = {
        {"company shown as the name",
         "CopyCompany",
         card(QStringLiteral("ORG:Acme Corp\r\n")),
         card(QStringLiteral("N:Acme Corp\r\n")),
         {}},
        {"another company as the name of a contact without last name",
         "CopyCompany",
         card(QStringLiteral("N:;Ann\r\nORG:Acme\r\n")),
         card(QStringLiteral("N:Other Co\r\n")),
         {set(QStringLiteral("company name"), QStringLiteral("Other Co")),
          SyncChange::clearChange(QStringLiteral("first name"))}},
        {"a phone without the rule",
         "Phone",
         card(QStringLiteral("ORG:Acme Corp\r\n")),
         card(QStringLiteral("N:Acme Corp\r\n")),
         {SyncChange::clearChange(QStringLiteral("company name")),
          set(QStringLiteral("last name"), QStringLiteral("Acme Corp"))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto stored = fromText(c.stored, c.protocol);
        (void)stored->vxDataForDevice(limits(c.protocol));
        const auto changes = stored->acceptChangesForElem(*fromText(c.incoming, c.protocol));
        if (c.mainChanges.isEmpty()) {
            EXPECT_TRUE(changes.isEmpty());
        } else {
            ASSERT_EQ(changes.size(), 1);
            EXPECT_EQ(changes[0].changes(), c.mainChanges);
        }
    }
}

TEST_F(VCardChangesTest, IgnoredParameters)
{
    const QString type = QStringLiteral("type");
    const QVariantMap home = param(type, QStringLiteral("HOME"));
    const QVariantMap work = param(type, QStringLiteral("WORK"));
    const QVariantMap cell = param(type, QStringLiteral("CELL"));
    const std::pair<QVariantList, QVariantList> cases[] = {
        {{home, param(type, QStringLiteral("VOICE")), param(type, QStringLiteral("PREF"))}, {home}},
        {{param(type, QStringLiteral("INTERNET")), param(type, QStringLiteral("MAIN"))}, {}},
        {{home, work, cell, param(type, QStringLiteral("PREF"))}, {cell}},
        {{home, cell, work}, {cell, work}},
        {{home, param(QStringLiteral("ringtone"), QStringLiteral("3")),
          param(QStringLiteral("subSlot"), QStringLiteral("1")), param(QStringLiteral("X-OWN"), QStringLiteral("1"))},
         {home, param(QStringLiteral("X-OWN"), QStringLiteral("1"))}},
    };
    for (const auto& [params, kept] : cases)
        EXPECT_EQ(QVVCardElem::removeIgnoredParams(params), kept);
}

TEST_F(VCardChangesTest, ParametersTakenOverWithoutChanges)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nTEL;WORK:456\r\nX-RING:1\r\n")));
    const QString home = idAt(*stored, contactkey::kPhoneNumbers, 0);
    const QString work = idAt(*stored, contactkey::kPhoneNumbers, 1);
    const QString phones = QStringLiteral("phone numbers");
    const auto before = stored->vxDict()->realDictionary().value(VXDictionary::kMainDict);
    const auto incoming = fromText(
        card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME;PREF:123\r\nTEL;CELL:456\r\nX-RING:2\r\n")));
    stored->acceptParamChangesForElem(*incoming);
    EXPECT_EQ(stored->vxDict()->getTheRelation(phones, home),
              QVariant(QVariantList{param(QStringLiteral("type"), QStringLiteral("HOME")),
                                    param(QStringLiteral("type"), QStringLiteral("PREF"))}));
    // Not similar (CELL against WORK), found by its value.
    EXPECT_EQ(stored->vxDict()->getTheRelation(phones, work),
              QVariant(QVariantList{param(QStringLiteral("type"), QStringLiteral("CELL"))}));
    EXPECT_EQ(stored->vxDict()->deviceObjectForKey(QStringLiteral("X-RING")), QVariant(QStringLiteral("2")));
    EXPECT_EQ(stored->vxDict()->realDictionary().value(VXDictionary::kMainDict), before);
}

TEST_F(VCardChangesTest, AddressDifferences)
{
    const QVariantMap stored{{QStringLiteral("street"), QStringLiteral("Main St 1")},
                             {QStringLiteral("city"), QStringLiteral("Springfield")},
                             {QStringLiteral("country"), QStringLiteral("Freedonia")}};
    const QVariantMap entry{{QStringLiteral("street"), QStringLiteral("Main St 1")},
                            {QStringLiteral("city"), QStringLiteral("Shelbyville")},
                            {QStringLiteral("state"), QStringLiteral("XY")}};
    EXPECT_EQ(QVVCardElem::changeListForAddressItem(stored, entry),
              (QVariantList{set(QStringLiteral("city"), QStringLiteral("Shelbyville")),
                            set(QStringLiteral("state"), QStringLiteral("XY")),
                            SyncChange::clearChange(QStringLiteral("country"))}));
    EXPECT_TRUE(QVVCardElem::changeListForAddressItem(stored, stored).isEmpty());
}
