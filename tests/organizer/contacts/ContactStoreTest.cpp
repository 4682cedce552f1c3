#include "ContactsTestSupport.h"

#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/QuorABStringExtensions.h"
#include "VirtualTime.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace contactstest;

namespace {

QStringList contactNames(const QList<ContactPersonPtr>& people)
{
    QStringList names;
    for (const ContactPersonPtr& p : people)
        names.append(p->displayName());
    return names;
}

} // namespace

TEST(ContactStoreNumbers, TheNumberRuleNeedsEqualDigitsOrSevenCommonEndDigits)
{
    struct Case {
        const char* a;
        const char* b;
        bool match;
    };
    const Case cases[] = {
        {"112", "+49 170 555 0112", false},            // a short stored number names no sender
        {"+49 170 555 0112", "112", false},
        {"0171 5550112", "+49 171 5550112", true},     // national and international form
        {"+49 171 5550112", "0171 5550112", true},
        {"5550112", "+49 171 5550112", true},          // exactly seven digits
        {"550112", "+49 171 5550112", false},          // six
        {"0172 5550112", "0171 5550112", false},       // seven common end digits, yet other numbers
        {"112", "112", true},                          // equal short forms
        {"0112", "112", true},                         // leading zeros do not count
        {"+1 (0)2-3", "1023", true},
        {"", "", false},
        {"abc", "abc", false},                         // no digits names nobody
        {"0", "00", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContactStore::numbersMatch(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.match)
            << c.a << " / " << c.b;
    EXPECT_EQ(ContactStore::purePhoneNumber(QStringLiteral("+1 (0)2-3")), "1023");
    EXPECT_EQ(ContactStore::purePhoneNumber(QStringLiteral("0012")), "12");
}

TEST(ContactStoreNumbers, TheFirstMatchingPersonInAddressBookOrderNamesANumber)
{
    const QString root = newStoreRoot();
    writeContactFile(root, "emergency.vcf", card("u-112", "Service", "Emergency", {"112"}));
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"work=+49 30 1234567", "mobile=0171 5550112"}));
    writeContactFile(root, "bob.vcf", card("u-bob", "Zed", "Bob", {"+49 171 5550112"}));
    ContactStore store(root);
    ASSERT_EQ(store.count(), 3);

    EXPECT_FALSE(store.findBestPersonForNumber(QStringLiteral("+49 170 555 0112")));
    EXPECT_EQ(store.findBestPersonForNumber(QStringLiteral("112")).person->uid, "u-112");
    const ContactNumberMatch ann = store.findBestPersonForNumber(QStringLiteral("+49 171 5550112"));
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann.person->uid, "u-ann") << "Ann comes before Bob";
    EXPECT_EQ(ann.phoneIndex, 1);
    EXPECT_FALSE(store.findBestPersonForNumber(QString()));
    EXPECT_FALSE(store.findBestPersonForNumber(QStringLiteral("no digits")));
}

TEST(ContactStoreReading, PeopleCarryTheirNamesNumbersMailsPhotoAndText)
{
    const QString root = newStoreRoot();
    const QByteArray ann = card("u-ann", "Lee", "Ann", {"_$!<Mobile>!$_=0171 5550112", "+49 30 1234567"}, "Acme",
                                {"ann@example.org"});
    writeContactFile(root, "ann.vcf", ann);
    QByteArray photo = card("u-pic", "Pic", "", {});
    photo.replace("END:VCARD", "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\nEND:VCARD");
    writeContactFile(root, "pic.vcf", photo);
    writeContactFile(root, "org.vcf", card("u-org", "", "", {}, "Zeta Corp"));
    writeContactFile(root, "nameless.vcf", card("u-none", "", "", {"5550000"}));
    writeContactFile(root, ".hidden.vcf", card("u-hidden", "Hidden", "", {}));
    writeContactFile(root, "notes.txt", card("u-txt", "Text", "", {}));
    ContactStore store(root);

    EXPECT_EQ(contactNames(store.people()), (QStringList{"Ann Lee", "Pic", "Zeta Corp", ""}))
        << "by name, the nameless last; hidden and other files are no contacts";
    const ContactPersonPtr p = store.personByUid(QStringLiteral("u-ann"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->firstName, "Ann");
    EXPECT_EQ(p->lastName, "Lee");
    EXPECT_EQ(p->organization, "Acme");
    ASSERT_EQ(p->phones.size(), 2);
    EXPECT_EQ(p->phones[0].label, "Mobile") << "the address-book label is cleaned";
    EXPECT_EQ(p->phones[0].value, "0171 5550112");
    EXPECT_EQ(p->phones[1].label, "mobile") << "without label the type words";
    ASSERT_EQ(p->emails.size(), 1);
    EXPECT_EQ(p->emails[0].value, "ann@example.org");
    EXPECT_EQ(p->vCardText, ann);
    EXPECT_EQ(p->fileName, "ann.vcf");
    EXPECT_EQ(store.personByUid(QStringLiteral("u-pic"))->photo, QByteArray::fromBase64("iVBORw0KGgo="));
    EXPECT_FALSE(store.personByUid(QStringLiteral("u-missing")));

    EXPECT_EQ(contactNames(store.peopleWithNamePrefix(QStringLiteral("le"))), QStringList{"Ann Lee"});
    EXPECT_EQ(contactNames(store.peopleWithNamePrefix(QStringLiteral("ANN L"))), QStringList{"Ann Lee"});
    EXPECT_EQ(contactNames(store.peopleWithNamePrefix(QStringLiteral("ac"))), QStringList{"Ann Lee"})
        << "the organization counts";
    EXPECT_EQ(contactNames(store.peopleWithNamePrefix(QStringLiteral("corp"))), QStringList{});
    EXPECT_EQ(store.peopleWithNamePrefix(QString()).size(), 4);
}

TEST(ContactStoreReading, AMissingFolderIsAnEmptyBook)
{
    const QString root = testing_support::testHome() + QStringLiteral("/no-store-here");
    QDir(root).removeRecursively();
    ContactStore store(root);
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.contactsFolder(), root + "/contacts");
}

TEST(ContactStoreWatching, FilesOtherProgramsAddChangeOrRemoveShowAndBrokenOnesAreSkippedOnce)
{
    testing_support::OutsideInputScope outside{0.01};
    const QString root = newStoreRoot();
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"0171 5550112"}));
    OrganizerWarningCounter warnings;
    ContactStore store(root);
    QSignalSpy changed(&store, &ContactStore::contactsChanged);
    ASSERT_EQ(store.count(), 1);

    writeContactFile(root, "bob.vcf", card("u-bob", "Zed", "Bob", {"+49 30 7654321"}));
    ASSERT_TRUE(testing_support::runUntil([&] { return store.count() == 2; }, 20.0));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(store.findBestPersonForNumber(QStringLiteral("030 7654321")).person->uid, "u-bob");

    // A file that does not parse: skipped with one log line, kept skipped
    // while it stays as it is.
    writeContactFile(root, "broken.vcf", "BEGIN:VEVENT\r\nSUMMARY:no contact\r\nEND:VEVENT\r\n");
    writeContactFile(root, "two.vcf", card("u-1", "One", "") + card("u-2", "Two", ""));
    testing_support::runFor(1.0);
    store.rescan();
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(warnings.count(), 2) << warnings.lines().join('\n').toStdString();
    EXPECT_TRUE(warnings.lines().join('\n').contains("broken.vcf"));
    EXPECT_EQ(changed.count(), 1) << "broken files change nothing";

    // Edited in place (a new inode through the rename) and removed.
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Anna", {"0171 5550112"}));
    ASSERT_TRUE(testing_support::runUntil(
        [&] { return store.personByUid(QStringLiteral("u-ann"))->firstName == QLatin1String("Anna"); }, 20.0));
    QFile::remove(root + "/contacts/bob.vcf");
    ASSERT_TRUE(testing_support::runUntil([&] { return store.count() == 1; }, 20.0));
    EXPECT_FALSE(store.personByUid(QStringLiteral("u-bob")));

    // The broken file mended shows.
    writeContactFile(root, "broken.vcf", card("u-mended", "Mended", ""));
    ASSERT_TRUE(testing_support::runUntil([&] { return store.count() == 2; }, 20.0));
    EXPECT_EQ(warnings.count(), 2);
}

TEST(ContactStoreWatching, AContactsFolderMadeLaterIsWatched)
{
    testing_support::OutsideInputScope outside{0.01};
    const QString root = newStoreRoot();
    QDir(root + "/contacts").removeRecursively();
    ContactStore store(root);
    EXPECT_EQ(store.count(), 0);
    QDir().mkpath(root + "/contacts");
    ASSERT_TRUE(testing_support::runUntil([&] { return false; }, 1.0) || true);
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann"));
    EXPECT_TRUE(testing_support::runUntil([&] { return store.count() == 1; }, 20.0));
}

TEST(ContactStoreSpeed, SearchesOverFiveThousandPeopleStayWellWithinATenthOfASecond)
{
    const QString root = newStoreRoot();
    for (int i = 0; i < 5000; ++i) {
        const QString n = QString::number(i).rightJustified(4, QLatin1Char('0'));
        QFile file(root + "/contacts/p" + n + ".vcf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(card("u" + n, "Last" + n, "First" + n, {"+49 171 555" + n, "030 1234" + n}));
    }
    QElapsedTimer reading;
    reading.start();
    ContactStore store(root);
    const qint64 readMs = reading.elapsed();
    ASSERT_EQ(store.count(), 5000);
    QElapsedTimer clock;
    clock.start();
    const QList<ContactPersonPtr> found = store.peopleWithNamePrefix(QStringLiteral("last49"));
    const ContactNumberMatch match = store.findBestPersonForNumber(QStringLiteral("0171 5554999"));
    const ContactNumberMatch none = store.findBestPersonForNumber(QStringLiteral("+1 999 0000000"));
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(found.size(), 100);   // 4900 .. 4999
    ASSERT_TRUE(match);
    EXPECT_EQ(match.person->uid, "u4999");
    EXPECT_FALSE(none);
    // Generous for a sanitized debug build on a loaded machine.
    EXPECT_LT(ms, 100) << "searches took " << ms << " ms";
    std::printf("[ figures ] 5000 contacts: read in %lld ms, prefix and two number searches %lld ms\n",
                static_cast<long long>(readMs), static_cast<long long>(ms));
}

TEST(ContactLabels, CleanLabelTakesTheBareLabel)
{
    const std::pair<const char*, const char*> cases[] = {
        {"_$!<Mobile>!$_", "Mobile"},
        {"_$!<HomeFAX>!$_", "HomeFAX"},
        {"_$!<>!$_", ""},
        {"Mobile", "Mobile"},
        {"_$!<Mo", "_$!<Mo"},   // too short to be such a label: unchanged
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(cleanLabel(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}
