#include "OrganizerArchiveFixture.h"

#include "phone/HistoryName.h"
#include "phone/RawRecordStore.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFile>

using namespace archivetest;

namespace {

class OrganizerArchiveHistoryTest : public Fixture {
protected:
    // A history file written by hand, named at a given second.
    QString putHistory(const QString& stamp, const QVariantMap& content)
    {
        QDir().mkpath(historyFolder());
        const QString name = "OrganizerData-" + stamp;
        EXPECT_TRUE(platform::plist::writeFile(historyFolder() + '/' + name, content));
        return name;
    }
    static QVariantMap full(const QVariantList& contacts)
    {
        return {{"FileFormat", "1/Full"}, {"Contacts", QVariantMap{{"Items", contacts}}}};
    }
    static QVariantMap diff(const QString& base, int iteration, const QVariantList& commands)
    {
        return {{"FileFormat", "1/Diff"}, {"Diff-File", base}, {"DiffFileIteration", iteration},
                {"ChangesToFullFile", iteration}, {"Contacts", commands}};
    }
    static QVariantMap command(const QString& kind, const QString& uri, const QString& data = {})
    {
        return {{"Command", kind}, {"SourceURI", uri}, {"vx-Data", data}, {"SourceParent", ""}};
    }
    static QStringList uris(const QVariantMap& merged)
    {
        QStringList found;
        for (const QVariant& item : merged.value("Contacts").toMap().value("Items").toList())
            found.append(item.toMap().value("SourceURI").toString() + "=" + item.toMap().value("vx-Data").toString());
        return found;
    }
};

TEST_F(OrganizerArchiveHistoryTest, WithoutBackupOnlyTheWorkingFileIsWritten)
{
    makeDevice(false);
    open();
    ASSERT_TRUE(archive);
    addContact("1", "Ann");
    archive->writeOtherDataToFile(OrganizerArchive::kAllTypes);
    EXPECT_TRUE(history().isEmpty());
    const QString file = working();
    EXPECT_TRUE(file.endsWith("/Other Data/DeviceData")) << file.toStdString();
    const QVariantMap stored = platform::plist::readFile(file).toMap();
    EXPECT_EQ(stored.value("FileFormat"), "1/Full");
    EXPECT_EQ(stored.value("Contacts").toMap().value("Items").toList().size(), 1);
    EXPECT_EQ(plistlibError(file), "");
}

TEST_F(OrganizerArchiveHistoryTest, ABaseFileStartsTheChainAndTheNinthWriteIsFullAgain)
{
    makeDevice(true);
    open();
    // No base was read: the first write is full and becomes the base.
    addContact("1", "Ann");
    archive->writeOtherDataToFile(0);
    ASSERT_EQ(history().size(), 1);
    EXPECT_EQ(historyFile(history().at(0)).value("FileFormat"), "1/Full");
    EXPECT_TRUE(archive->hasBaseFile());

    // Unchanged: nothing new in the history.
    archive->writeOtherDataToFile(0);
    EXPECT_EQ(history().size(), 1);

    for (int write = 1; write <= 9; ++write) {
        addContact(QString::number(100 + write), "Bo");
        const QString newestBefore = history().constLast();
        archive->writeOtherDataToFile(0);
        const QStringList now = history();
        ASSERT_EQ(now.size(), 1 + write) << "two writes within one second keep two files";
        const QVariantMap file = historyFile(now.constLast());
        EXPECT_EQ(plistlibError(historyFolder() + '/' + now.constLast()), "");
        if (write <= 8) {
            EXPECT_EQ(file.value("FileFormat"), "1/Diff") << write;
            EXPECT_EQ(file.value("DiffFileIteration").toInt(), write);
            EXPECT_EQ(file.value("Diff-File").toString(), newestBefore);
            EXPECT_EQ(file.value("ChangesToFullFile").toInt(), write);
            EXPECT_EQ(file.value("Contacts").toList().size(), 1);
        } else {
            EXPECT_EQ(file.value("FileFormat"), "1/Full") << "the ninth write in a row";
            EXPECT_EQ(archive->diffFileIteration(), 0);
        }
    }
    EXPECT_EQ(plistlibError(working()), "");
}

TEST_F(OrganizerArchiveHistoryTest, MoreThanThirtyTwoChangesGiveAFullFile)
{
    makeDevice(true);
    open();
    archive->writeOtherDataToFile(0);   // the base
    for (int i = 0; i < 20; ++i)
        addContact(QString::number(i), "A");
    archive->writeOtherDataToFile(0);
    EXPECT_EQ(historyFile(history().constLast()).value("ChangesToFullFile").toInt(), 20);
    for (int i = 20; i < 33; ++i)
        addContact(QString::number(i), "B");
    archive->writeOtherDataToFile(0);
    EXPECT_EQ(historyFile(history().constLast()).value("FileFormat"), "1/Full");
    EXPECT_EQ(archive->accumulatedChanges(), 0);
    EXPECT_EQ(archive->diffFileIteration(), 0);
}

TEST_F(OrganizerArchiveHistoryTest, ReopenedOnADifferenceTheChainStillEndsWithinEightDifferences)
{
    makeDevice(true);
    open();
    archive->writeOtherDataToFile(0);
    for (int write = 1; write <= 5; ++write) {
        addContact(QString::number(write), "C");
        archive->writeOtherDataToFile(0);
    }
    reopen();
    EXPECT_EQ(archive->diffFileIteration(), 5) << "counters of the newest difference";
    for (int write = 6; write <= 9; ++write) {
        addContact(QString::number(write), "C");
        archive->writeOtherDataToFile(0);
    }
    // Full, 8 differences, full.
    const QStringList names = history();
    ASSERT_EQ(names.size(), 10);
    EXPECT_EQ(historyFile(names.at(8)).value("DiffFileIteration").toInt(), 8);
    EXPECT_EQ(historyFile(names.at(9)).value("FileFormat"), "1/Full");
    // The newest difference read back through the chain gives the same items.
    const QVariantMap newestDiff = historyFile(names.at(8));
    const auto merged = archive->mergeDiffDict(newestDiff, newestDiff.value("Diff-File").toString());
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->value("Contacts").toMap().value("Items").toList().size(), 8);
}

TEST_F(OrganizerArchiveHistoryTest, TheChainMergesInOrderAndRefusesBadBases)
{
    makeDevice(true);
    open();
    const QString base = putHistory("20200101-100000", full({contact("1", "x1"), contact("2", "x2")}));
    const QString first = putHistory("20200101-100001", diff(base, 1, {command("Delete", "1"), command("Replace", "2", "y2")}));
    const QVariantMap second = diff(first, 2, {command("Replace", "1", "z1"), command("Bogus", "2"), QVariant(7)});
    const auto merged = archive->mergeDiffDict(second, first);
    ASSERT_TRUE(merged);
    EXPECT_EQ(uris(*merged), (QStringList{"2=y2", "1=z1"}));
    EXPECT_EQ(merged->size(), 5) << "only the five storages";

    // A loop: two differences naming each other.
    const QString loopA = putHistory("20200101-110000", diff("OrganizerData-20200101-110001", 1, {}));
    putHistory("20200101-110001", diff(loopA, 2, {}));
    const struct {
        const char* base;
        const char* why;
    } refused[] = {{"OrganizerData-20200101-110001", "loop"},
                   {"../x", "escapes"},
                   {"OrganizerData-20200101-100000/..", "slash"},
                   {"Contacts", "no history name"},
                   {"OrganizerData-20300101-100000", "missing"},
                   {"", "none"}};
    for (const auto& c : refused)
        EXPECT_FALSE(archive->mergeDiffDict(second, QString::fromLatin1(c.base))) << c.why;
    const QString withNul = QStringLiteral("OrganizerData-20200101-10000") + QChar(0);
    EXPECT_FALSE(archive->mergeDiffDict(second, withNul));
}

TEST_F(OrganizerArchiveHistoryTest, AWorkingDifferenceFileIsReadThroughItsChain)
{
    makeDevice(true);
    open();
    const QString base = putHistory("20200101-100000", full({contact("1", "Ann")}));
    archive.reset();
    const QString workingFile = mirror->getSubTempPath("Other Data") + "/DeviceData";
    ASSERT_TRUE(platform::plist::writeFile(workingFile, diff(base, 3, {command("Replace", "2", kCard.arg("Bo", "2"))})));
    open();
    EXPECT_EQ(archive->elemCount(0), 2);
    EXPECT_EQ(archive->diffFileIteration(), 3);
}

TEST_F(OrganizerArchiveHistoryTest, UnreadableFilesGiveEmptyData)
{
    makeDevice(true);
    open();
    archive.reset();
    const QString workingFile = mirror->getSubTempPath("Other Data") + "/DeviceData";
    for (const QByteArray& bytes : {QByteArray("not a plist"), QByteArray("<plist><array/></plist>"),
                                    platform::plist::toXml(QVariantMap{{"Contacts", 5}, {"SyncAnchors", "x"}})}) {
        QFile file(workingFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        open();
        ASSERT_TRUE(archive);
        EXPECT_EQ(archive->elemCount(0), 0);
        ASSERT_TRUE(archive->storage(4));
        archive.reset();
    }
}

TEST_F(OrganizerArchiveHistoryTest, AnchorsInTheWorkingFileRetireTheOlderFile)
{
    makeDevice(false);
    open();
    const QString anchorsFile = archive->pathNameForSyncAnchors();
    const QString workingFile = working();
    archive.reset();
    const QVariantMap old{{"LastSyncTime (DZ)-Contacts", "old"}};
    ASSERT_TRUE(platform::plist::writeFile(anchorsFile, old));
    ASSERT_TRUE(platform::plist::writeFile(workingFile, QVariantMap{{"FileFormat", "1/Full"}}));
    open();
    EXPECT_EQ(device->syncAnchors(), old) << "without anchors in the working file the older file is read";
    EXPECT_TRUE(QFile::exists(anchorsFile));

    archive.reset();
    const QVariantMap current{{"LastSyncTime (DZ)-Contacts", "new"}};
    ASSERT_TRUE(platform::plist::writeFile(workingFile, QVariantMap{{"FileFormat", "1/Full"}, {"SyncAnchors", current}}));
    open();
    EXPECT_EQ(device->syncAnchors(), current);
    EXPECT_FALSE(QFile::exists(anchorsFile));
}

TEST_F(OrganizerArchiveHistoryTest, AnOlderOrganizerFileMovesIntoTheHistory)
{
    const QString folder = dir.path() + "/older";
    const QString file = folder + "/OrganizerData";
    EXPECT_TRUE(MFDevice::pathToOrganizerArchive(folder).isEmpty()) << "no file: none, nothing moved";
    ASSERT_TRUE(QDir().mkpath(folder + "/History"));
    ASSERT_TRUE(platform::plist::writeFile(folder + "/History/OrganizerData-20260101-120000", full({})));

    ASSERT_TRUE(platform::plist::writeFile(file, QVariantMap{{"CurOrganizer", "OrganizerData-20260101-120000"}}));
    EXPECT_EQ(MFDevice::pathToOrganizerArchive(folder), folder + "/History/OrganizerData-20260101-120000");
    EXPECT_TRUE(QFile::exists(file));

    for (const char* current : {"../x", "OrganizerData-20990101-120000", "../../etc/passwd"}) {
        ASSERT_TRUE(platform::plist::writeFile(file, QVariantMap{{"CurOrganizer", current}, {"Contacts", 1}}));
        QFile stamped(file);
        ASSERT_TRUE(stamped.open(QIODevice::ReadWrite));
        ASSERT_TRUE(stamped.setFileTime(QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7)), QFileDevice::FileModificationTime));
        stamped.close();
        const QString moved = MFDevice::pathToOrganizerArchive(folder);
        EXPECT_TRUE(moved.startsWith(folder + "/History/OrganizerData-20250304-0506")) << moved.toStdString();
        EXPECT_TRUE(QFile::exists(moved));
        EXPECT_FALSE(QFile::exists(file));
    }
    EXPECT_EQ(QDir(folder + "/History").entryList(QDir::Files).size(), 4) << "a taken name moves on a second";
}

TEST_F(OrganizerArchiveHistoryTest, AHistoryDeviceOpensItsSelectedFileAndWritesNothing)
{
    makeDevice(true, QLatin1String(MFDevice::kHistory));
    const QString name = putHistory("20240202-101010", full({contact("1", "Ann"), contact("2", "Bo")}));
    open();
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->elemCount(0), 0) << "nothing selected: nothing opened";
    archive.reset();

    device->setHistoryFiles({}, {historyFolder() + '/' + name});
    device->jumpToOrganizerHistoryIndex(0);
    open();
    EXPECT_EQ(archive->pathNameForDeviceSyncData(), historyFolder() + '/' + name);
    EXPECT_EQ(archive->elemCount(0), 2);
    const QByteArray before = [&] {
        QFile f(historyFolder() + '/' + name);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    archive->setArchiveChanged();
    archive->checkForArchiveChanges();
    archive->writeOtherDataToFile(OrganizerArchive::kAllTypes);
    archive->saveAllSyncStates();
    QFile f(historyFolder() + '/' + name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(history().size(), 1);
    bool canDiscard = false;
    EXPECT_FALSE(archive->isSomethingDirty(&canDiscard));
    EXPECT_FALSE(canDiscard) << "left untouched";
}

TEST_F(OrganizerArchiveHistoryTest, TheRawStoreKeepsOtherDatabasesAndSetsAsideADamagedFile)
{
    makeDevice(false);
    open();
    const QString raw = rawrecords::pathFor(working());
    EXPECT_TRUE(raw.endsWith("/DeviceData-RAW"));
    ASSERT_TRUE(rawrecords::writeDeviceRecords(raw, "Calendar", {{"1", "cal"}}));
    ASSERT_TRUE(rawrecords::writeDeviceRecords(raw, "Contacts", {{"7", "card"}}));
    EXPECT_EQ(rawrecords::readDeviceRecords(raw, "Calendar"), (QVariantMap{{"1", "cal"}}));
    EXPECT_EQ(rawrecords::readDeviceRecords(raw, "Contacts"), (QVariantMap{{"7", "card"}}));
    EXPECT_EQ(plistlibError(raw), "");

    QFile damaged(raw);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<plist><dict><key>DeviceRecords-Calendar");
    damaged.close();
    ASSERT_TRUE(rawrecords::writeDeviceRecords(raw, "Contacts", {{"8", "card"}}));
    const QStringList aside = QFileInfo(raw).dir().entryList({"DeviceData-RAW-*"}, QDir::Files);
    EXPECT_EQ(aside.size(), 1) << "the damaged file is kept under a dated name";
    EXPECT_EQ(rawrecords::readDeviceRecords(raw, "Contacts"), (QVariantMap{{"8", "card"}}));
}

} // namespace
