#include "ContactsTestSupport.h"

#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/QuorABStringExtensions.h"
#include "VirtualTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

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
    const ContactNumberMatch ann = store.findBestPersonForNumber(QStringLiteral("0049 171 5550112"));
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann.person->uid, "u-bob") << "Bob's number is the very number";
    const ContactNumberMatch first = store.findBestPersonForNumber(QStringLiteral("+44 171 5550112"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first.person->uid, "u-ann") << "as close as Bob's, and Ann comes first";
    EXPECT_EQ(first.phoneIndex, 1);
    EXPECT_EQ(store.findBestPersonForNumber(QStringLiteral("0171 5550112")).person->uid, "u-ann");
    EXPECT_FALSE(store.findBestPersonForNumber(QString()));
    EXPECT_FALSE(store.findBestPersonForNumber(QStringLiteral("no digits")));
}

TEST(ContactStoreNumbers, TheClosestNumberWinsOverAddressBookOrder)
{
    // Ann's short form also ends Bob's full number; the full number is Bob's.
    const QString root = newStoreRoot();
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"5550112"}));
    writeContactFile(root, "bob.vcf", card("u-bob", "Zed", "Bob", {"030 1111111", "+49 171 5550112"}));
    writeContactFile(root, "cy.vcf", card("u-cy", "Zoo", "Cy", {"171 5550112"}));
    ContactStore store(root);
    struct Case {
        const char* number;
        const char* uid;
        int phone;
    };
    const Case cases[] = {
        {"+49 171 5550112", "u-bob", 1},   // equal digits beat every ending
        {"0171 5550112", "u-cy", 0},       // equal digits (leading zero dropped)
        {"+1 171 5550112", "u-cy", 0},     // ten common end digits beat seven
        {"+1 999 5550112", "u-ann", 0},    // only the seven-digit ending matches
    };
    for (const Case& c : cases) {
        const ContactNumberMatch m = store.findBestPersonForNumber(QString::fromUtf8(c.number));
        ASSERT_TRUE(m) << c.number;
        EXPECT_EQ(m.person->uid, c.uid) << c.number;
        EXPECT_EQ(m.phoneIndex, c.phone) << c.number;
    }
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
    EXPECT_TRUE(testing_support::runUntil([&] { return warnings.count() >= 2; }, 20.0))
        << "the watcher saw the new files";
    testing_support::runFor(1.0);
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
    testing_support::runFor(1.0);
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann"));
    EXPECT_TRUE(testing_support::runUntil([&] { return store.count() == 1; }, 20.0));
}

TEST(ContactStoreWatching, AFileRewrittenInPlaceAndAFolderMadeAnewAreSeen)
{
    testing_support::OutsideInputScope outside{0.01};
    const QString root = newStoreRoot();
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"0171 5550112"}));
    ContactStore store(root);
    ASSERT_EQ(store.count(), 1);

    // Same file, same inode: a folder watch alone hears nothing of it.
    {
        QFile file(root + "/contacts/ann.vcf");
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        file.write(card("u-ann", "Lee", "Annabel", {"0171 5550112"}));
    }
    EXPECT_TRUE(testing_support::runUntil(
        [&] { return store.personByUid(QStringLiteral("u-ann"))->firstName == QLatin1String("Annabel"); }, 20.0));

    // The folder renamed away and made anew: the new folder is the book and
    // its files show promptly (sooner than the periodic check).
    ASSERT_TRUE(QDir(root).rename("contacts", "contacts.old"));
    ASSERT_TRUE(QDir().mkpath(root + "/contacts"));
    ASSERT_TRUE(testing_support::runUntil([&] { return store.count() == 0; }, 20.0));
    testing_support::runFor(0.5);
    writeContactFile(root, "bob.vcf", card("u-bob", "Zed", "Bob"));
    EXPECT_TRUE(testing_support::runUntil([&] { return store.count() == 1; }, ContactStore::kPollInterval * 0.6));
    writeContactFile(root, "cy.vcf", card("u-cy", "Zoo", "Cy"));
    EXPECT_TRUE(testing_support::runUntil([&] { return store.count() == 2; }, ContactStore::kPollInterval * 0.6));
    QFile::remove(root + "/contacts.old/ann.vcf");
    testing_support::runFor(1.0);
    EXPECT_EQ(store.count(), 2) << "the old folder is no longer the book";
}

TEST(ContactStoreReading, OversizedFilesAreSkippedWithOneLine)
{
    testing_support::OutsideInputScope outside{0.01};
    const QString root = newStoreRoot();
    QByteArray huge = card("u-huge", "Huge", "");
    const QByteArray note(int(ContactStore::kMaxContactFileBytes), 'x');
    huge.replace("END:VCARD", QByteArray("NOTE:" + note + "\r\nEND:VCARD"));
    writeContactFile(root, "huge.vcf", huge);
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann"));
    OrganizerWarningCounter warnings;
    ContactStore store(root);
    EXPECT_EQ(store.count(), 1);
    EXPECT_FALSE(store.personByUid(QStringLiteral("u-huge")));
    testing_support::runFor(2 * ContactStore::kPollInterval);
    ASSERT_EQ(warnings.count(), 1) << warnings.lines().join('\n').toStdString();
    EXPECT_TRUE(warnings.lines().first().contains("huge.vcf"));
}

TEST(ContactStoreSpeed, ReadingFiveHundredPeopleLeavesTheMainThreadFree)
{
    const QString root = newStoreRoot();
    for (int i = 0; i < 500; ++i) {
        const QString n = QString::number(i).rightJustified(3, QLatin1Char('0'));
        QFile file(root + "/contacts/p" + n + ".vcf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray text = card("u" + n, "Last" + n, "First" + n, {"+49 171 555" + n, "030 1234" + n}, "Org",
                               {"p" + n + "@example.org"});
        text.replace("END:VCARD", QByteArray("NOTE:" + QByteArray(2000, 'n') + "\r\nEND:VCARD"));
        file.write(text);
    }
    testing_support::RealTimeScope real;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    std::unique_ptr<ContactStore> store;
    bool read = false;
    QElapsedTimer reading;
    qint64 readMs = 0;
    clock.start();
    probe.start();
    QTimer::singleShot(30, [&] {
        reading.start();
        store = std::make_unique<ContactStore>(root);
        QObject::connect(store.get(), &ContactStore::contactsChanged, [&] {
            read = true;
            readMs = reading.elapsed();
        });
    });
    QElapsedTimer limit;
    limit.start();
    while (!read && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    // A few more probe ticks after the people came in.
    const qint64 after = clock.elapsed();
    while (clock.elapsed() < after + 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    probe.stop();
    ASSERT_TRUE(read);
    EXPECT_EQ(store->count(), 500);
    // Generous for a sanitized debug build on a loaded machine (a stall of
    // the whole read shows as several hundred milliseconds there).
    EXPECT_LT(worst, 150) << "the main thread stalled for " << worst << " ms";
    std::printf("[ figures ] 500 contacts read in %lld ms, longest main-thread gap %lld ms\n",
                static_cast<long long>(readMs), static_cast<long long>(worst));
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
    ASSERT_EQ(store.count(), 5000);
    const qint64 readMs = reading.elapsed();
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
