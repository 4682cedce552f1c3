#include "IrmcSessionTestSupport.h"

#include "sync/QVIRMCReaders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryDir>

using irmctest::IrmcSessionTest;

namespace {

QString changeLogName(const QString& anchor)
{
    return QStringLiteral("telecom/pb/luid/%1.log").arg(anchor);
}

} // namespace

// --- fast sync from the change log ---

TEST_F(IrmcSessionTest, ChangeLogGivesTheChangedEntriesAndDeleteItemsAndSkipsStrangeLines)
{
    fillPhone(5);
    storeAnchor(QStringLiteral("3"), phone->databaseID());
    phone->setOverride(changeLogName(QStringLiteral("3")),
                       "SN:1\r\nDID:" + phone->databaseID().toLatin1()
                           + "\r\nTotal-Records:5\r\nM:12::5\r\nD:13::7\r\nM:14:5\r\n");
    open();
    EXPECT_EQ(sync(), 0);
    EXPECT_EQ(itemSummary(user.items()), (QStringList{"Delete:7", "Replace:5"}));
    EXPECT_TRUE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
    EXPECT_TRUE(logged(QStringLiteral("### Strange line, no LUID: M:14:5")));
    EXPECT_FALSE(phone->reads().contains(QStringLiteral("telecom/pb.vcf")));
    EXPECT_TRUE(
        user.items().at(1).toMap().value(QStringLiteral("vx-Data")).toString().contains(QLatin1String("Name5")));
}

TEST_F(IrmcSessionTest, SlowSyncWhenTheLogCannotServeIt)
{
    struct Case {
        const char* name;
        bool storeAnchor;
        bool forceSlow;
        bool starLog;
        bool otherDatabase;
    };
    const Case cases[] = {
        {"no anchor", false, false, false, false},
        {"forced", true, true, false, false},
        {"star line", true, false, true, false},
        {"database id changed", true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        fillPhone(3);
        phone->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Late"), QStringLiteral("1")));
        if (c.storeAnchor)
            storeAnchor(QStringLiteral("2"), c.otherDatabase ? QStringLiteral("OLD") : phone->databaseID());
        if (c.starLog)
            phone->setOverride(changeLogName(QStringLiteral("2")),
                               "SN:1\r\nDID:" + phone->databaseID().toLatin1() + "\r\n*\r\n");
        user = irmctest::IrmcUser();
        open();
        EXPECT_EQ(sync(c.forceSlow), 0);
        EXPECT_EQ(itemSummary(user.items()), (QStringList{"Replace:1", "Replace:2", "Replace:3", "Replace:4"}));
        EXPECT_FALSE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
        EXPECT_TRUE(phone->reads().contains(QStringLiteral("telecom/pb.vcf")));
    }
}

TEST_F(IrmcSessionTest, CounterEqualToTheAnchorReadsNothingAndGoesStraightToSending)
{
    fillPhone(2);
    storeAnchor(QString::number(phone->changeCounter()), phone->databaseID());
    open();
    EXPECT_EQ(sync(), 0);
    EXPECT_TRUE(user.items().isEmpty());
    EXPECT_EQ(phone->reads(), (QStringList{"telecom/pb/info.log", "telecom/pb/luid/cc.log"}));
    EXPECT_TRUE(logged(QStringLiteral("Two-way Sync (with no new data from device)")));
}

// --- slow read ---

TEST_F(IrmcSessionTest, PhonebookTextsSplitIntoCards)
{
    const QByteArray one = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:One;;;;\r\nX-IRMC-LUID:11\r\nEND:VCARD\r\n";
    const QByteArray two = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Two;;;;\r\nX-IRMC-LUID:22\r\nEND:VCARD\r\n";
    const QByteArray noLuid = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Anon;;;;\r\nEND:VCARD\r\n";
    struct Case {
        const char* name;
        QByteArray book;
        int result;
        QStringList items; // "T-" stands for any temporary id
    };
    const Case cases[] = {
        {"empty phonebook", "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD", 0, {}},
        {"wrapped", "BEGIN:VCARD\r\nVERSION:2.1\r\n" + one + two + "END:VCARD\r\n", 0, {"Replace:11", "Replace:22"}},
        {"plain run", one + two, 0, {"Replace:11", "Replace:22"}},
        {"no card", "hello phone", -1, {}},
        {"outer head only", "BEGIN:VCARD\r\nVERSION:2.1\r\nBEGIN:VCARD", -1, {}},
        {"card without LUID", noLuid, 0, {"Replace:T-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        phone->setOverride(QStringLiteral("telecom/pb.vcf"), c.book);
        user = irmctest::IrmcUser();
        open();
        EXPECT_EQ(sync(), c.result);
        QStringList items = itemSummary(user.items());
        for (QString& item : items) {
            if (item.startsWith(QLatin1String("Replace:T-")))
                item = QStringLiteral("Replace:T-");
        }
        EXPECT_EQ(items, c.items);
    }
}

// --- sending ---

TEST_F(IrmcSessionTest, CommandsGoToTheirObjectNamesAndTheAnswersGiveLUIDAndCounter)
{
    fillPhone(3);
    open();
    auto added = contact(QStringLiteral("T-1"), QStringLiteral("Neu"));
    auto changed = contact(QStringLiteral("2"), QStringLiteral("Changed"));
    auto gone = QVSyncElem::elemForDeletion(QStringLiteral("3"));
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(gone, QVCommandArray::kDelete);
    user.commands->addObject(changed, QVCommandArray::kReplace);
    user.commands->addObject(added, QVCommandArray::kAdd);
    EXPECT_EQ(sync(true), 0);
    EXPECT_EQ(phone->writes(),
              (QStringList{"telecom/pb/luid/3.vcf", "telecom/pb/luid/2.vcf", "telecom/pb/luid/zapis.vcf"}));
    EXPECT_FALSE(phone->entry(QStringLiteral("3")));
    EXPECT_TRUE(phone->entry(QStringLiteral("2"))->card.contains("Changed"));
    EXPECT_EQ(added->sourceURI(), phone->entries().last().luid);
    // The counter came with the last answer: no second read, stored at once.
    EXPECT_EQ(phone->reads().count(QStringLiteral("telecom/pb/luid/cc.log")), 1);
    EXPECT_EQ(device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString(),
              QString::number(phone->changeCounter()));
    EXPECT_EQ(device.settings.value(QStringLiteral("Common.DatabaseID-Contacts")).toString(), phone->databaseID());
    EXPECT_EQ(device.writes, 1);
}

TEST_F(IrmcSessionTest, ListFullDropsTheRestAsUnsentAndStillEndsWell)
{
    phone->setCapacity(1);
    open();
    user.list = &list;
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(contact(QStringLiteral("T-1"), QStringLiteral("A")), QVCommandArray::kAdd);
    user.commands->addObject(contact(QStringLiteral("T-2"), QStringLiteral("B")), QVCommandArray::kAdd);
    user.commands->addObject(contact(QStringLiteral("T-3"), QStringLiteral("C")), QVCommandArray::kAdd);
    EXPECT_EQ(sync(true), 0);
    EXPECT_EQ(phone->entries().size(), 1);
    EXPECT_EQ(session->unsentItems(), 2);
}

TEST_F(IrmcSessionTest, BadCommandEndsWithMinus8999AndKeepsTheOldAnchor)
{
    fillPhone(1);
    storeAnchor(QStringLiteral("0"), QStringLiteral("OLD"));
    open();
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(contact(QStringLiteral("T-5"), QStringLiteral("X")), QVCommandArray::kReplace);
    EXPECT_EQ(sync(), QVIRMCSession::kBadCommand);
    EXPECT_TRUE(logged(QStringLiteral("Bad Command: Replace")));
    EXPECT_EQ(device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString(), QStringLiteral("0"));
    EXPECT_EQ(device.settings.value(QStringLiteral("Common.DatabaseID-Contacts")).toString(), QStringLiteral("OLD"));
    EXPECT_EQ(device.writes, 0);
}

TEST_F(IrmcSessionTest, EntryOutsideMacRomanIsUnsentAndThePhoneEntryStays)
{
    fillPhone(2);
    open();
    const QByteArray before = phone->entry(QStringLiteral("2"))->card;
    // Raw items go out as their text: one character outside Mac OS Roman.
    const auto raw = [](const QString& uri, const QString& name) {
        return QVSyncElem::elemWithData(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1\r\nEND:VCARD\r\n").arg(name),
                                        uri, QStringLiteral("Protocol Siemens IrMC"), QString(), QString());
    };
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(raw(QStringLiteral("2"), QStringLiteral("日本")), QVCommandArray::kReplace);
    user.commands->addObject(raw(QStringLiteral("T-9"), QStringLiteral("Ωmega 中")), QVCommandArray::kAdd);
    user.commands->addObject(raw(QStringLiteral("1"), QStringLiteral("Ωmega")), QVCommandArray::kReplace);
    EXPECT_EQ(sync(true), 0);
    EXPECT_EQ(session->unsentItems(), 2);
    EXPECT_EQ(phone->writes(), QStringList{"telecom/pb/luid/1.vcf"});
    EXPECT_EQ(phone->entry(QStringLiteral("2"))->card, before);
    EXPECT_EQ(phone->entries().size(), 2);
    EXPECT_TRUE(logged(QStringLiteral("does not convert")));
}

TEST_F(IrmcSessionTest, PhoneWithoutLevel4GetsItsLUIDByReadBackAndTheCounterReadAgain)
{
    phone->setLevel4(false);
    fillPhone(2);
    switchSettings.isGigaset = true;
    open("Gigaset+SL");
    ASSERT_FALSE(session->hasIRMCLevel4Support());
    auto added = contact(QStringLiteral("T-1"), QStringLiteral("Neu"));
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(added, QVCommandArray::kAdd);
    EXPECT_EQ(sync(true), 0);
    EXPECT_EQ(added->sourceURI(), phone->entries().last().luid);
    EXPECT_TRUE(phone->reads().contains(QStringLiteral("telecom/pb/3.vcf")));
    EXPECT_EQ(phone->reads().count(QStringLiteral("telecom/pb/luid/cc.log")), 2);
    EXPECT_EQ(device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString(),
              QString::number(phone->changeCounter()));

    // A later edit goes out as a Replace to that LUID.
    session.reset();
    user = irmctest::IrmcUser();
    session = QVIRMCSession::irmcSessionWithConnection(*link, &user);
    user.commands = std::make_shared<QVCommandArray>();
    user.commands->addObject(added, QVCommandArray::kReplace);
    EXPECT_EQ(sync(), 0);
    EXPECT_EQ(phone->writes().last(), QStringLiteral("telecom/pb/luid/%1.vcf").arg(added->sourceURI()));
    EXPECT_EQ(phone->entries().size(), 3);
}

TEST_F(IrmcSessionTest, ANewEntryWhoseReadBackCannotBeTrustedKeepsItsTemporaryId)
{
    struct Case {
        const char* name;
        QByteArray infoLog; // empty: the phone's own
        bool listHoldsTheFirstEntry;
        bool readsBack;
    };
    const Case cases[] = {
        // Without the count the index of the new entry is only a guess.
        {"no record count", "IEL:0x02\r\nDID:1\r\nMaximum-Records:100\r\n", false, false},
        // The phone has no entry at the index asked for: the sync goes on.
        {"read-back refused", "IEL:0x02\r\nDID:1\r\nTotal-Records:9\r\nMaximum-Records:100\r\n", false, true},
        // A count too small leads to another entry, whose LUID an item holds.
        {"read-back gives a LUID in use", "IEL:0x02\r\nDID:1\r\nTotal-Records:0\r\nMaximum-Records:100\r\n",
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        phone->setLevel4(false);
        fillPhone(2);
        phone->setOverride(QStringLiteral("telecom/pb/info.log"), c.infoLog);
        user = irmctest::IrmcUser();
        open();
        if (c.listHoldsTheFirstEntry) {
            list.addObject(contact(phone->entries().first().luid, QStringLiteral("Held")));
            user.list = &list;
        }
        auto added = contact(QStringLiteral("T-1"), QStringLiteral("Neu"));
        user.commands = std::make_shared<QVCommandArray>();
        user.commands->addObject(added, QVCommandArray::kAdd);
        EXPECT_EQ(sync(true), 0);
        EXPECT_EQ(added->sourceURI(), QStringLiteral("T-1"));
        EXPECT_EQ(phone->entries().size(), 3) << "the entry went to the phone all the same";
        bool readBack = false;
        for (const QString& read : phone->reads())
            readBack = readBack || QRegularExpression(QStringLiteral("^telecom/pb/\\d+\\.vcf$")).match(read).hasMatch();
        EXPECT_EQ(readBack, c.readsBack);
    }
}

TEST(IrmcReaders, AHugeChangeLogIsReadInLinearTime)
{
    QString text = QStringLiteral("SN:0\r\nDID:1\r\nTotal-Records:1\r\n");
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("M:%1::%2\r\n").arg(i).arg(i % 30000);
    text += QStringLiteral("D:60001::7\r\n");
    QElapsedTimer timer;
    timer.start();
    const QVIRMCChangeLog log = irmcChangeLog(text, true, nullptr);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(log.changed.size(), 29999) << "each LUID once, the deleted one left out";
    EXPECT_EQ(log.deleted, QStringList{QStringLiteral("7")});
}

TEST(IrmcReaders, AnEmptyFirstCardDoesNotHideTheCardsAfterIt)
{
    const QString book = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n"
                                        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Two;;;;\r\nX-IRMC-LUID:2\r\nEND:VCARD\r\n");
    const auto cards = irmcSplitPhonebook(book);
    ASSERT_TRUE(cards);
    EXPECT_EQ(cards->size(), 2);
    EXPECT_EQ(irmcSplitPhonebook(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n")), QStringList());
}

// --- codes and progress ---

TEST_F(IrmcSessionTest, EmptyAnswersEndWithTheirCodesAndTheAnchorStays)
{
    struct Case {
        const char* object;
        int result;
    };
    const Case cases[] = {
        {"telecom/pb/info.log", QVIRMCSession::kNoDataInfo},
        {"telecom/pb/luid/cc.log", QVIRMCSession::kNoDataChangeLog},
        {"telecom/pb.vcf", QVIRMCSession::kNoDataChangeLog},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        TearDown();
        SetUp();
        storeAnchor(QStringLiteral("0"), QStringLiteral("OLD"));
        phone->setOverride(QString::fromLatin1(c.object), QByteArray());
        user = irmctest::IrmcUser();
        open();
        EXPECT_EQ(sync(), c.result);
        EXPECT_EQ(device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString(), QStringLiteral("0"));
    }
}

TEST_F(IrmcSessionTest, CancelledJobOrStopEndsWith214)
{
    fillPhone(1);
    open();
    user.cancelled = true;
    EXPECT_EQ(sync(), QVBaseSession::kResultStopped);
    EXPECT_EQ(device.writes, 0);

    user = irmctest::IrmcUser();
    open();
    EXPECT_EQ(session->performReadContacts(false), 0);
    session->stopSession();
    EXPECT_EQ(runToEnd(), QVBaseSession::kResultStopped);
    EXPECT_TRUE(logged(QStringLiteral("IrMC Session stopped by user")));
    EXPECT_EQ(device.writes, 0);
}

TEST_F(IrmcSessionTest, ProgressByStateAndWhileSending)
{
    fillPhone(3);
    open();
    user.commands = std::make_shared<QVCommandArray>();
    for (const char* uri : {"1", "2", "3"})
        user.commands->addObject(contact(QLatin1String(uri), QStringLiteral("E")), QVCommandArray::kReplace);
    EXPECT_EQ(sync(true), 0);
    ASSERT_GE(user.percents.size(), 4);
    EXPECT_EQ(user.percents.at(0), 2.0f); // preparing
    EXPECT_EQ(user.percents.at(1), 8.0f); // change counter
    EXPECT_EQ(user.percents.at(3), 50.0f); // the list merges
    // 1 of 3 sent: 33 (integer division) x 0.45 + 52 = 66.85.
    EXPECT_TRUE(user.shown.contains(66)) << user.shown.size();
    EXPECT_TRUE(user.shown.contains(97));
    EXPECT_EQ(session->noOfElemsToSend(), 3);
    EXPECT_EQ(session->indexOfCurrentSendingElem(), 3);
}

// --- end to end with the contacts list ---

namespace {

// A first (slow) sync brings the phone's entries into the list and sends the
// list's new contact; after the phone changed one entry and deleted another,
// a second sync is fast and moves exactly those changes.
class IrmcRoundTripTest : public IrmcSessionTest {
protected:
    void slowThenFast(const char* identifier, const char* protocol)
    {
        fillPhone(3);
        open(identifier);
        auto mine = list.createNewElem(
            QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Mac;Maria\r\nTEL;CELL:+4930555\r\nEND:VCARD\r\n"),
            QStringLiteral("T-1"), QLatin1String(protocol), QString(), QString());
        mine->setProperty(0);
        list.addObject(mine);
        user.list = &list;
        user.merge = true;
        EXPECT_EQ(sync(), 0);
        EXPECT_FALSE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
        EXPECT_EQ(phone->entries().size(), 4);
        EXPECT_EQ(mine->sourceURI(), phone->entries().last().luid);
        for (const char* luid : {"1", "2", "3"})
            EXPECT_NE(list.objectForURI(QLatin1String(luid)), nullptr) << luid;

        phone->modifyEntry(QStringLiteral("2"),
                           phonesim::IrmcPhone::card(QStringLiteral("Renamed"), QStringLiteral("+4930222")));
        phone->removeEntry(QStringLiteral("3"));
        session.reset();
        user = irmctest::IrmcUser();
        user.list = &list;
        user.merge = true;
        session = QVIRMCSession::irmcSessionWithConnection(*link, &user);
        const qsizetype writesBefore = phone->writes().size();
        EXPECT_EQ(sync(), 0);
        EXPECT_TRUE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
        EXPECT_EQ(itemSummary(user.items()), (QStringList{"Delete:3", "Replace:2"}));
        EXPECT_EQ(list.objectForURI(QStringLiteral("3")), nullptr);
        EXPECT_EQ(phone->writes().size(), writesBefore);
    }
};

} // namespace

TEST_F(IrmcRoundTripTest, SiemensIrMCSlowThenFast)
{
    slowThenFast("Siemens+S65", "Protocol Siemens IrMC");
}

// No App-Parameters (the new entry's LUID is read back), on the AT-switched
// codec that parks a Gigaset's channel.
TEST_F(IrmcRoundTripTest, GigasetSlowThenFast)
{
    phone->setLevel4(false);
    switchSettings.isGigaset = true;
    slowThenFast("Gigaset+SL", "Protocol Gigaset");
}

// --- files ---

TEST_F(IrmcSessionTest, ListingRootGoesOneLevelDownAndStoresSortedLists)
{
    server.addFolder(QStringLiteral("/Pictures"));
    server.putFile(QStringLiteral("/Pictures/b.jpg"), "b");
    server.putFile(QStringLiteral("/Pictures/A.jpg"), "a");
    server.putFile(QStringLiteral("/Sounds/ring.mid"), "r");
    server.putFile(QStringLiteral("/readme.txt"), "t");
    server.putFile(QStringLiteral("/Pictures/Deep/x.jpg"), "x");
    open();
    QVariantMap dict{{QStringLiteral("stale"), 1}};
    EXPECT_EQ(session->performGetDirectory({QStringLiteral("/")}, &dict), 0);
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_EQ(dict.keys(), (QStringList{"/", "Pictures", "Sounds"}));
    QStringList names;
    for (const QVariant& entry : dict.value(QStringLiteral("Pictures")).toList())
        names.append(entry.toMap().value(QStringLiteral("name")).toString());
    // The parent-folder element is an entry too, without a name.
    EXPECT_EQ(names, (QStringList{"", "A.jpg", "b.jpg", "Deep"}));
    EXPECT_EQ(dict.value(QStringLiteral("/")).toList().size(), 3);
    // A file operation never touches the phonebook anchors.
    EXPECT_FALSE(device.settings.contains(QStringLiteral("Common.LogNumber-Contacts")));
}

TEST_F(IrmcSessionTest, BrokenListingsAreReadLenientlyAndBadNamesLeftOut)
{
    struct Case {
        const char* name;
        QByteArray xml;
        QStringList names; // empty: nothing stored
    };
    const Case cases[] = {
        {"not well-formed",
         "<folder-listing><file name=\"a.txt\" size=\"1\"><file name=\"B.txt\"/>",
         {"a.txt", "B.txt"}},
        {"bad names",
         "<folder-listing><file name=\"..\"/><file name=\"a/b\"/><folder name=\".\"/><file name=\"\"/>"
         "<file name=\"ok\"/></folder-listing>",
         {"ok"}},
        {"empty", "<folder-listing version=\"1.0\"></folder-listing>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        server.addFolder(QStringLiteral("/Music"));
        server.setListingOverride(c.xml);
        user = irmctest::IrmcUser();
        open();
        QVariantMap dict;
        EXPECT_EQ(session->performGetDirectory({QStringLiteral("/Music")}, &dict), 0);
        EXPECT_EQ(runToEnd(), 0);
        QStringList names;
        for (const QVariant& entry : dict.value(QStringLiteral("Music")).toList())
            names.append(entry.toMap().value(QStringLiteral("name")).toString());
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(dict.contains(QStringLiteral("Music")), !c.names.isEmpty());
    }
}

TEST_F(IrmcSessionTest, DownloadUploadAndDelete)
{
    QTemporaryDir dir;
    server.putFile(QStringLiteral("/Pictures/a.jpg"), "JPEGDATA");
    server.putFile(QStringLiteral("/Pictures/empty.txt"), QByteArray());
    struct Case {
        const char* phonePath;
        QString macPath;
        int result;
        QByteArray written; // null: no file
    };
    const Case cases[] = {
        {"/Pictures/a.jpg", dir.filePath(QStringLiteral("a.jpg")), 0, "JPEGDATA"},
        {"/Pictures/empty.txt", dir.filePath(QStringLiteral("e.txt")), 0, QByteArray("")},
        {"/Pictures/a.jpg", QStringLiteral("/proc/no/such/a.jpg"), QVIRMCSession::kFileWriteFailed, QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phonePath);
        user = irmctest::IrmcUser();
        open();
        EXPECT_EQ(session->performDownloadFile(QLatin1String(c.phonePath), c.macPath), 0);
        EXPECT_EQ(runToEnd(), c.result);
        QFile file(c.macPath);
        EXPECT_EQ(file.exists(), !c.written.isNull());
        if (!c.written.isNull() && file.open(QIODevice::ReadOnly))
            EXPECT_EQ(file.readAll(), c.written);
    }

    user = irmctest::IrmcUser();
    open();
    EXPECT_EQ(session->performUploadFile("NEW", QStringLiteral("/Pictures/new.jpg")), 0);
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_EQ(server.files().value(QStringLiteral("/Pictures/new.jpg")), QByteArray("NEW"));

    user = irmctest::IrmcUser();
    open();
    EXPECT_EQ(session->performDeleteFile(QStringLiteral("/Pictures/a.jpg")), 0);
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_FALSE(server.files().contains(QStringLiteral("/Pictures/a.jpg")));

    user = irmctest::IrmcUser();
    open();
    EXPECT_EQ(session->performDeleteFile(QStringLiteral("/Pictures/none.jpg")), 0);
    EXPECT_NE(runToEnd(), 0);

    EXPECT_DOUBLE_EQ(QVIRMCSession::convertPercentForGetAction(50), 29.5);
}

// --- readers ---

TEST(IrmcReaders, AppParametersKeepWhatFitsTheData)
{
    struct Case {
        QByteArray bytes;
        QVariantMap fields;
        bool logged;
    };
    const Case cases[] = {
        {QByteArray("\x01\x02"
                    "1A"
                    "\x02\x01"
                    "9",
                    7),
         {{"1", "1A"}, {"2", "9"}},
         false},
        {QByteArray("\x01\x02"
                    "1A"
                    "\x02\x05"
                    "9",
                    7),
         {{"1", "1A"}},
         true},
        {QByteArray("\x01", 1), {}, true},
        {QByteArray(), {}, false},
    };
    for (const Case& c : cases) {
        QStringList log;
        EXPECT_EQ(irmcAppParameters(c.bytes, &log), c.fields) << c.bytes.toHex().constData();
        EXPECT_EQ(!log.isEmpty(), c.logged);
    }
}

TEST(IrmcReaders, PlainFunctions)
{
    EXPECT_EQ(stringForLong(-12), QStringLiteral("-12"));
    EXPECT_EQ(getAfterColon(QStringLiteral("DID:a:b")), QStringLiteral("a:b"));
    EXPECT_TRUE(getAfterColon(QStringLiteral("none")).isNull());
    EXPECT_EQ(uriForVXData(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\nX-IRMC-LUID:3F\r\nEND:VCARD\r\n")),
              QStringLiteral("3F"));
    EXPECT_TRUE(uriForVXData(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\nEND:VCARD\r\n")).isEmpty());
    const QVIRMCInfoLog info = irmcInfoLog(
        QStringLiteral("IEL:0x10\r\nDID:77\r\nMaximum-Records:x\r\nTotal-Records:12\r\nHD:YES\r\n"), nullptr);
    EXPECT_EQ(info.databaseID, QStringLiteral("77"));
    EXPECT_FALSE(info.maxRecords);
    EXPECT_EQ(info.totalRecords, 12);
    EXPECT_EQ(info.hardDelete, true);
}
