#include "GeneralSyncTestSupport.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

using namespace general_sync_test;

namespace {

class GeneralSyncInfoTest : public GeneralSyncFixture {
protected:
    QVariantMap storedFile() const { return platform::plist::readFile(filePath()).toMap(); }
    void writeFile(const QVariant& value)
    {
        QDir().mkpath(supportFolder());
        ASSERT_TRUE(platform::plist::writeFile(filePath(), value));
    }
    static QByteArray bytesOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(GeneralSyncInfoTest, LookupsFollowTheOrderOfTheRecordIds)
{
    GeneralSyncInfo& shared = make();
    EXPECT_EQ(shared.addBookmarkFolder(QStringLiteral("BookmarksBar")).size(), 43);
    EXPECT_EQ(shared.bookmarkFolderDictionary()->first().toMap().value("position"), QVariant(qlonglong(1)));
    const QString work = shared.addCalendar(QStringLiteral("Work"));
    const QString home = shared.addCalendar(QStringLiteral("Home"));
    const QString friends = shared.addGroup(QStringLiteral("Friends"));

    const bool workFirst = work < home;
    EXPECT_EQ(shared.calendarID(0), workFirst ? work : home);
    EXPECT_EQ(shared.calendarID(1), workFirst ? home : work);
    EXPECT_EQ(shared.calendarName(0), workFirst ? QStringLiteral("Work") : QStringLiteral("Home"));
    EXPECT_EQ(shared.calendars().first().value("title"), shared.calendarName(0));
    EXPECT_TRUE(shared.calendarID(2).isNull());
    EXPECT_TRUE(shared.calendarID(-1).isNull());
    EXPECT_EQ(shared.groupName(0), QStringLiteral("Friends"));
    EXPECT_EQ(shared.groupID(0), friends);
    EXPECT_TRUE(shared.groupName(1).isNull()); // at the count
    EXPECT_TRUE(shared.bookmarkFolderName(1).isNull());

    // The seam answers the same.
    const SharedSyncInfo& seam = shared;
    EXPECT_EQ(seam.calendarID(0), shared.calendarID(0));
    EXPECT_EQ(seam.groups().size(), 1);
}

TEST_F(GeneralSyncInfoTest, EachAddQueuesOneAddChangeAndSetsItsFlag)
{
    struct Case {
        const char* name;
        std::function<QString(GeneralSyncInfo&)> add;
        std::function<bool(const GeneralSyncInfo&)> flag;
        const QString& entity;
        QVariantMap expected;
    };
    const Case cases[] = {
        {"group",
         [](GeneralSyncInfo& s) { return s.addGroup("Friends"); },
         [](const GeneralSyncInfo& s) { return s.groupsNeedSync(); },
         entity::Group,
         {{"name", "Friends"}, {"members", QVariantList()}}},
        {"calendar",
         [](GeneralSyncInfo& s) { return s.addCalendar("Work"); },
         [](const GeneralSyncInfo& s) { return s.calendarsNeedSync(); },
         entity::Calendar,
         {{"title", "Work"}, {"read only", false}}},
        {"folder",
         [](GeneralSyncInfo& s) { return s.addBookmarkFolder("News"); },
         [](const GeneralSyncInfo& s) { return s.bookmarkFoldersNeedSync(); },
         entity::BookmarkFolder,
         {{"name", "News"}, {"is tab group", false}, {"children", QVariantList()}, {"position", qlonglong(1)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GeneralSyncInfo& shared = make();
        EXPECT_FALSE(c.flag(shared));
        const QString id = c.add(shared);
        EXPECT_TRUE(id.startsWith(QStringLiteral("Tarnex:")));
        EXPECT_TRUE(c.flag(shared));
        ASSERT_EQ(shared.changesForSyncEngine().size(), 1);
        const SyncChange& change = shared.changesForSyncEngine().first();
        EXPECT_EQ(change.type(), SyncChange::Add);
        EXPECT_EQ(change.recordIdentifier(), id);
        QVariantMap expected = c.expected;
        expected.insert(platform::ISyncRecordEntityNameKey, c.entity);
        EXPECT_EQ(change.record(), expected);
        EXPECT_EQ(change.changes().size(), expected.size());
    }
}

TEST_F(GeneralSyncInfoTest, BookmarkFolderPositionsCountPerParent)
{
    writeFile(QVariantMap{
        {"groups", QVariantMap()},
        {"calendars", QVariantMap()},
        {"bookmarkFolders",
         QVariantMap{{"A", QVariantMap{{"name", "BookmarksMenu"}, {"position", 3}}},
                     {"B", QVariantMap{{"name", "Inside"}, {"position", 7}, {"parent", QVariantList{"A"}}}},
                     {"C", QVariantMap{{"name", "Top"}, {"position", 5}}},
                     {"D", QVariantMap{{"name", "Odd"}, {"position", "x"}, {"parent", QVariantList{"A"}}}}}}});
    GeneralSyncInfo& shared = make();
    EXPECT_EQ(shared.uuidForBookmarkFolderName("BookmarksMenu"), QStringLiteral("A"));
    EXPECT_TRUE(shared.uuidForBookmarkFolderName("Missing").isNull());
    EXPECT_EQ(shared.highestNonParentBookmarkFolderPosition({}), 5);
    EXPECT_EQ(shared.highestNonParentBookmarkFolderPosition("A"), 7);
    EXPECT_EQ(shared.highestNonParentBookmarkFolderPosition("C"), 0);
    const QString id = shared.addBookmarkFolder("News");
    EXPECT_EQ(shared.bookmarkFolderDictionary()->value(id).toMap().value("position"), QVariant(qlonglong(8)));
}

TEST_F(GeneralSyncInfoTest, KindsWhoseSyncTimeDiffersAreLeftToBePulled)
{
    {
        GeneralSyncInfo& shared = makeActive();
        ASSERT_TRUE(shared.isClientInitialized());
        ASSERT_FALSE(shared.lastSyncDate(entity::Calendar).isEmpty());
    }
    const QString calendarTime = info->lastSyncDate(entity::Calendar);
    info.reset();
    writeFile(QVariantMap{{"groups", QVariantMap{{"G1", QVariantMap{{"name", "Old"}}}}},
                          {"calendars", QVariantMap{{"C1", QVariantMap{{"title", "Kept"}}}}},
                          {"SyncTime-groups", "2001-01-01T00:00:00.000Z"},
                          {"SyncTime-calendars", calendarTime}});
    GeneralSyncInfo& shared = make();
    EXPECT_FALSE(shared.groupDictionary());
    ASSERT_TRUE(shared.calendarDictionary());
    EXPECT_EQ(shared.calendarName(0), QStringLiteral("Kept"));
    EXPECT_FALSE(shared.bookmarkFolderDictionary()); // its time differs from the file's none
    EXPECT_FALSE(shared.isClientInitialized());
    EXPECT_EQ(logged("[GeneralSyncInfo readFromDisk] 0 groups, 1 calendars, 0 bookmarkFolders"), 1);

    // The next run pulls the missing kinds from scratch.
    shared.functionalityRequired();
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(logged("SLOW SYNC for com.apple.contacts.Group:"), 1);
    EXPECT_EQ(logged("SLOW SYNC for com.apple.calendars.Calendar:"), 0);
    EXPECT_TRUE(shared.groupDictionary());
    EXPECT_TRUE(shared.isClientInitialized());
}

TEST_F(GeneralSyncInfoTest, SavedFileHoldsTheKindsTimesAndPendingChanges)
{
    GeneralSyncInfo& shared = makeActive();
    EXPECT_EQ(storedFile().keys(),
              (QStringList{"SyncTime-bookmarkFolders", "SyncTime-calendars", "SyncTime-groups", "bookmarkFolders",
                           "calendars", "groups"}));
    const QString id = shared.addCalendar("Work");
    shared.saveToDisk();
    EXPECT_EQ(logged("[GeneralSyncInfo saveToDisk] called with 7 entries"), 1);
    const QVariantMap file = storedFile();
    EXPECT_TRUE(file.contains("unsent ISyncChanges"));
    EXPECT_EQ(file.value("calendars").toMap().value(id).toMap().value("title"), QVariant("Work"));

    // Python's reader takes the file as written.
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!python.isEmpty()) {
        QProcess process;
        process.start(python,
                      {"-c",
                       "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
                       "print(sorted(d), len(d['unsent ISyncChanges']))",
                       filePath()});
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.readAllStandardOutput().trimmed(),
                  QByteArray("['SyncTime-bookmarkFolders', 'SyncTime-calendars', 'SyncTime-groups', "
                             "'bookmarkFolders', 'calendars', 'groups', 'unsent ISyncChanges'] 1"));
    }

    // A new start reads the kinds and queues the change again.
    GeneralSyncInfo& again = make();
    EXPECT_TRUE(again.isClientInitialized());
    ASSERT_EQ(again.changesForSyncEngine().size(), 1);
    EXPECT_EQ(again.changesForSyncEngine().first().recordIdentifier(), id);
    EXPECT_EQ(again.changesForSyncEngine().first().record().value(platform::ISyncRecordEntityNameKey),
              QVariant(entity::Calendar));
    EXPECT_EQ(again.calendarID(0), id);
}

TEST_F(GeneralSyncInfoTest, NothingToSaveWritesNoFile)
{
    GeneralSyncInfo& shared = make();
    shared.invalidateAllData();
    shared.saveToDisk();
    EXPECT_FALSE(QFile::exists(filePath()));
    EXPECT_EQ(logged("[GeneralSyncInfo saveToDisk] called with 0 entries"), 1);
}

TEST_F(GeneralSyncInfoTest, FailedSaveKeepsTheOldFile)
{
    GeneralSyncInfo& shared = make();
    shared.addGroup("Friends");
    shared.saveToDisk();
    const QByteArray before = bytesOf(filePath());
    ASSERT_FALSE(before.isEmpty());
    shared.addGroup(QStringLiteral("Bad\x01Name")); // no property list can carry it
    shared.saveToDisk();
    EXPECT_EQ(bytesOf(filePath()), before);
    EXPECT_EQ(logged("[GeneralSyncInfo saveToDisk] cannot write"), 1);

    // A folder that cannot be made stops the save with a line.
    EXPECT_FALSE(GeneralSyncInfo::createDirPathForFile(filePath() + QStringLiteral("/below/file.plist")));
    EXPECT_EQ(logged("Beep: cannot create the folder"), 1);
}

TEST_F(GeneralSyncInfoTest, UntrustedFileLeavesTheBadKindsEmpty)
{
    struct Case {
        const char* name;
        QByteArray bytes; // written as is when not empty
        QVariant value;
        int groups; // -1: none
        int calendars;
        int unsent;
    };
    const QVariantMap good{{"N", QVariantMap{{"name", "Ok"}}}};
    const QVariantMap addChange{
        {"type", 1},
        {"recordIdentifier", "Tarnex:X"},
        {"changes", QVariantList{QVariantMap{{"action", "set"}, {"name", "title"}, {"value", "W"}}}},
        {"record", calendarRecord("W")}};
    const Case cases[] = {
        {"not a property list", "garbage\x01", {}, -1, -1, 0},
        {"an array", {}, QVariantList{1, 2}, -1, -1, 0},
        {"groups of the wrong type", {}, QVariantMap{{"groups", "text"}, {"calendars", good}}, -1, 1, 0},
        {"a record of the wrong type",
         {},
         QVariantMap{{"groups", QVariantMap{{"A", 5}, {"B", good.first()}}}},
         1,
         0,
         0},
        {"a sync time of the wrong type", {}, QVariantMap{{"groups", good}, {"SyncTime-groups", 5}}, -1, 0, 0},
        {"unsent changes",
         {},
         QVariantMap{{"unsent ISyncChanges", QVariantList{addChange, 7, QVariantMap{{"type", 9}}}}},
         0,
         0,
         1},
        {"unsent changes of the wrong type", {}, QVariantMap{{"unsent ISyncChanges", "x"}}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(filePath());
        if (!c.bytes.isEmpty()) {
            QDir().mkpath(supportFolder());
            QFile file(filePath());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
        } else {
            writeFile(c.value);
        }
        const int linesBefore = logged("[GeneralSyncInfo readFromDisk]");
        GeneralSyncInfo& shared = make();
        EXPECT_EQ(shared.groupDictionary() ? shared.groupDictionary()->size() : -1, c.groups);
        EXPECT_EQ(shared.calendarDictionary() ? shared.calendarDictionary()->size() : -1, c.calendars);
        EXPECT_EQ(shared.changesForSyncEngine().size(), c.unsent);
        EXPECT_FALSE(shared.isClientInitialized() && (c.groups < 0 || c.calendars < 0));
        EXPECT_GE(logged("[GeneralSyncInfo readFromDisk]") - linesBefore, 1);
    }
}

TEST_F(GeneralSyncInfoTest, DescriptionAndDatesCompare)
{
    GeneralSyncInfo& shared = make();
    shared.invalidateAllData();
    EXPECT_EQ(shared.description(),
              QStringLiteral("------------ GeneralSyncInfo ------------\n"
                             "\n---------------------------------------------\n"));
    shared.addGroup("Friends");
    EXPECT_TRUE(shared.description().contains(QStringLiteral("\n---- Groups: ")));
    EXPECT_FALSE(shared.description().contains(QStringLiteral("Calendars")));
    EXPECT_TRUE(GeneralSyncInfo::equalDates({}, {}));
    EXPECT_FALSE(GeneralSyncInfo::equalDates({}, "2026"));
    EXPECT_TRUE(GeneralSyncInfo::equalDates("2026", "2026"));
    EXPECT_EQ(GeneralSyncInfo::getEntityNames(), kSharedEntities);
}

} // namespace
