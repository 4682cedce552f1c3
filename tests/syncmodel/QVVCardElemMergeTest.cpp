#include "ContactTestSupport.h"
#include "RecordingLookup.h"

#include "formats/VCardGenerator.h"
#include "platform/SyncChange.h"

using namespace contacttest;
using platform::SyncChange;

namespace {

class VCardMergeTest : public ContactTest {
protected:
    static QVariantMap changeNamed(const SyncChange& change, const QString& name)
    {
        for (const QVariant& entry : change.changes()) {
            if (entry.toMap().value(platform::ISyncChangePropertyNameKey).toString() == name)
                return entry.toMap();
        }
        return {};
    }
    static QStringList ids(const QVVCardElem& elem, const char* listKey)
    {
        QStringList result;
        for (const QVariant& id : elem.vxDict()->mainObjectForKey(QString::fromLatin1(listKey)).toList())
            result.append(id.toString());
        return result;
    }

    RecordingLookup list;
};

} // namespace

TEST_F(VCardMergeTest, PhoneNumbersMatchByTheirEnding)
{
    struct Case {
        const char* what;
        QString stored, incoming, kept;
        bool modified;
    };
    const Case cases[] = {
        {"shorter incoming form", QStringLiteral("+49 30 1234567"), QStringLiteral("030 1234 567"),
         QStringLiteral("+49 30 1234567"), false},
        {"longer incoming form", QStringLiteral("030 1234 567"), QStringLiteral("+49 30 1234567"),
         QStringLiteral("+49 30 1234567"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list = RecordingLookup();
        const auto stored = fromText(
            card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:") + c.stored + QStringLiteral("\r\n")));
        const auto incoming = fromText(
            card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:") + c.incoming + QStringLiteral("\r\n")));
        stored->mergeElement(*incoming, &list);
        ASSERT_EQ(ids(*stored, contactkey::kPhoneNumbers).size(), 1);
        EXPECT_EQ(stored->getPhones().value(0).toMap().value(QStringLiteral("value")).toString(), c.kept);
        ASSERT_EQ(list.changes.size(), c.modified ? 1 : 0);
        if (c.modified) {
            EXPECT_EQ(list.changes[0].type(), SyncChange::Modify);
            EXPECT_EQ(list.changes[0].recordIdentifier(), ids(*stored, contactkey::kPhoneNumbers).value(0));
        }
        EXPECT_TRUE(list.forDeletion.empty());
    }
}

TEST_F(VCardMergeTest, ANewMailAddressIsAddedOnce)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nNOTE:older\r\n")));
    const auto incoming = fromText(card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\n"
                                                       "EMAIL;INTERNET:ann@example.org\r\nTITLE:Boss\r\n")));
    const QString newId = ids(*incoming, contactkey::kEmailAddresses).value(0);
    stored->mergeElement(*incoming, &list);

    ASSERT_EQ(list.changes.size(), 2);
    EXPECT_EQ(list.changes[0].type(), SyncChange::Add);
    EXPECT_EQ(list.changes[0].recordIdentifier(), newId);
    EXPECT_EQ(changeNamed(list.changes[0], QStringLiteral("value")).value(QStringLiteral("value")),
              QVariant(QStringLiteral("ann@example.org")));
    const SyncChange& contact = list.changes[1];
    EXPECT_EQ(contact.type(), SyncChange::Modify);
    EXPECT_EQ(contact.recordIdentifier(), stored->elemUUID());
    EXPECT_EQ(changeNamed(contact, QStringLiteral("email addresses")).value(QStringLiteral("value")),
              QVariant(QVariantList{newId}));
    EXPECT_EQ(changeNamed(contact, QStringLiteral("job title")).value(QStringLiteral("value")),
              QVariant(QStringLiteral("Boss")));
    // The sub-record now belongs to the stored contact, with its phone parameters.
    EXPECT_EQ(stored->otherItem(newId).toMap().value(QStringLiteral("contact")),
              QVariant(QVariantList{stored->elemUUID()}));
    EXPECT_TRUE(stored->vxDict()->getTheRelation(QStringLiteral("email addresses"), newId).isValid());
    EXPECT_TRUE(stored->isChanged());
}

TEST_F(VCardMergeTest, NotesAreJoinedOnce)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nNOTE:old\r\n")));
    stored->mergeElement(*fromText(card(QStringLiteral("N:Smith;Ann\r\nNOTE:new\r\n"))), &list);
    EXPECT_EQ(stored->getNotes(), QStringLiteral("new\rold"));
    ASSERT_EQ(list.changes.size(), 1);
    EXPECT_EQ(changeNamed(list.changes[0], QStringLiteral("notes")).value(QStringLiteral("value")),
              QVariant(QStringLiteral("new\rold")));

    list = RecordingLookup();
    stored->mergeElement(*fromText(card(QStringLiteral("N:Smith;Ann\r\nNOTE:new\r\n"))), &list);
    EXPECT_EQ(stored->getNotes(), QStringLiteral("new\rold"));
    EXPECT_TRUE(list.changes.isEmpty());
}

TEST_F(VCardMergeTest, AnEqualVersionLeavesTheContactUnchanged)
{
    const QString text = card(QStringLiteral("N:Smith;Ann\r\nTEL;HOME:123\r\nEMAIL;INTERNET:ann@example.org\r\n"));
    const auto stored = fromText(text);
    stored->setChanged();
    stored->mergeElement(*fromText(text), &list);
    EXPECT_TRUE(list.changes.isEmpty());
    EXPECT_FALSE(stored->isChanged());
}

TEST_F(VCardMergeTest, PhoneIdsAndTheDeviceSettings)
{
    const QString text = card(QStringLiteral("N:Smith;Ann\r\n"));
    {
        SCOPED_TRACE("a phone duplicate of a contact on the phone");
        list = RecordingLookup();
        const auto stored = fromText(text, "Phone", QStringLiteral("1"));
        stored->mergeElement(*fromText(text, "Phone", QStringLiteral("2")), &list);
        ASSERT_EQ(list.forDeletion.size(), 1u);
        EXPECT_EQ(list.forDeletion[0]->sourceURI(), QStringLiteral("2"));
        EXPECT_EQ(stored->sourceURI(), QStringLiteral("1"));
    }
    {
        SCOPED_TRACE("a contact not yet on the phone takes the phone's id");
        list = RecordingLookup();
        const auto stored = fromText(text, "Phone", QStringLiteral("T-7"));
        stored->mergeElement(*fromText(text, "Phone", QStringLiteral("2")), &list);
        EXPECT_TRUE(list.forDeletion.empty());
        EXPECT_EQ(stored->sourceURI(), QStringLiteral("2"));
    }
    {
        SCOPED_TRACE("a phone taking no desktop changes: the new contact replaces the stored one");
        list = RecordingLookup();
        list.fromEngine = false;
        const auto stored = fromText(text);
        const auto incoming = fromText(text, "Phone", QStringLiteral("2"));
        stored->mergeElement(*incoming, &list);
        ASSERT_EQ(list.removed.size(), 1u);
        EXPECT_EQ(list.removed[0], stored);
        ASSERT_EQ(list.added.size(), 1u);
        EXPECT_EQ(list.added[0], incoming);
        ASSERT_EQ(list.announced.size(), 1u);
        EXPECT_EQ(list.announced[0].first, incoming);
        EXPECT_FALSE(list.announced[0].second);
        EXPECT_TRUE(list.changes.isEmpty());
    }
    {
        SCOPED_TRACE("a phone giving no changes: the stored contact takes the phone id");
        list = RecordingLookup();
        list.fromDevice = false;
        const auto stored = fromText(text, "Phone", QStringLiteral("1"));
        stored->clearChanged();
        const auto incoming = fromText(text, "Phone", QStringLiteral("2"));
        stored->mergeElement(*incoming, &list);
        EXPECT_EQ(stored->sourceURI(), QStringLiteral("2"));
        EXPECT_TRUE(stored->isChanged());
        ASSERT_EQ(list.removed.size(), 1u);
        EXPECT_EQ(list.removed[0], incoming);
    }
}

TEST_F(VCardMergeTest, AddressesAndURLs)
{
    const auto stored = fromText(card(QStringLiteral("N:Smith;Ann\r\nADR;HOME:;;Main St 1;Springfield;;;\r\n"
                                                     "URL:http://example.org/\r\n")));
    const auto incoming = fromText(card(QStringLiteral("N:Smith;Ann\r\nADR;HOME:;;Main St 1;Springfield;;12345;\r\n"
                                                       "ADR;WORK:;;Work Rd 2;Shelbyville;;;\r\n"
                                                       "URL:http://example.org/\r\nURL:http://example.com/\r\n")));
    stored->mergeElement(*incoming, &list);
    ASSERT_EQ(stored->getAddresses().size(), 2);
    EXPECT_EQ(stored->getAddresses()[0].toMap().value(QStringLiteral("postal code")),
              QVariant(QStringLiteral("12345")));
    EXPECT_EQ(stored->getURLs().size(), 2);
    int adds = 0, modifies = 0;
    for (const SyncChange& change : list.changes) {
        adds += change.type() == SyncChange::Add;
        modifies += change.type() == SyncChange::Modify;
    }
    EXPECT_EQ(adds, 2);     // the work address and the second URL
    EXPECT_EQ(modifies, 2); // the home address's postal code, the contact's lists

    EXPECT_EQ(QVVCardElem::addressIdent(QVariantMap{{QStringLiteral("city"), QStringLiteral("A")},
                                                    {QStringLiteral("street"), QStringLiteral("B")}}),
              QStringLiteral("AB"));
    EXPECT_EQ(QVVCardElem::addressIdent(QVariant()), QString(""));
    EXPECT_EQ(QVVCardElem::findRight(QStringLiteral("1234"), {QStringLiteral("99"), QStringLiteral("491234")}), 1);
    EXPECT_EQ(QVVCardElem::findRight(QStringLiteral("491234"), {QStringLiteral("1234")}), 0);
    EXPECT_EQ(QVVCardElem::findRight(QString(""), {QStringLiteral("1234")}), -1);
}
