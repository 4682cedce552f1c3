#include "DZTreeFixture.h"

#include "jobs/JobCodes.h"
#include "phone/DZEntryTexts.h"
#include "phone/DZFile.h"
#include "phone/DZOrganizerUpdateNotificationReciever.h"
#include "platform/Exception.h"
#include "platform/PropertyList.h"

#include <QTemporaryDir>

namespace {

using testing_support::runFor;

TEST(DZTreeTextsTest, SizeAndDateTextsFollowTheRule)
{
    const struct {
        qint64 bytes;
        const char* text;
    } sizes[] = {{-1, "--"},           {999, "999 Byte"},       {5432, "5.432 Byte"}, {1536, "1.536 Byte"},
                 {10000, "9,7 KB"},     {10240, "10 KB"},        {10753, "11 KB"},     {1048576, "1024 KB"},
                 {11 * 1048576 + 600 * 1024, "12 MB"}};
    for (const auto& row : sizes)
        EXPECT_EQ(dztree::displayableSize(row.bytes), QLatin1String(row.text)) << row.bytes;

    const struct {
        const char* time;
        const char* text;
    } dates[] = {{"20070315T142500", "15.03.2007, 14:25"},
                 {"20070315T142500Z", "15.03.2007, 14:25"},
                 {"00070315T142500", "15.03.2007, 14:25"},
                 {"20070315T14250", "--"},
                 {"", "--"}};
    for (const auto& row : dates)
        EXPECT_EQ(dztree::formattedModificationDate(QLatin1String(row.time)), QLatin1String(row.text)) << row.time;
}

TEST(DZTreeTextsTest, LabelColoursAndIconTypes)
{
    const QColor red = dztree::etiketColor(6);
    EXPECT_NEAR(red.redF(), 0.9882, 1e-3);
    EXPECT_NEAR(red.greenF(), 0.3882, 1e-3);
    EXPECT_NEAR(red.blueF(), 0.3490, 1e-3);
    EXPECT_EQ(red.alphaF(), 1.0);
    EXPECT_EQ(dztree::etiketColor(8).alpha(), 0);
    EXPECT_EQ(dztree::etiketColor(0).alpha(), 0);

    EXPECT_EQ(dztree::imageExtension(FTPFile::kFile, QStringLiteral("x.SIS")), QStringLiteral("APPL"));
    EXPECT_EQ(dztree::imageExtension(FTPFile::kFile, QStringLiteral("x.jad")), QStringLiteral("jar"));
    EXPECT_EQ(dztree::imageExtension(FTPFile::kDirectory, QStringLiteral("Card:")), QStringLiteral("idsk"));
    EXPECT_EQ(dztree::imageExtension(FTPFile::kDirectory, QStringLiteral("Pics")), QStringLiteral("fldr"));
    EXPECT_EQ(dztree::imageExtension(FTPFile::kPrivateDirectory, QStringLiteral("x")), QStringLiteral("prvf"));
    const QImage grey = dztree::iconImage(QStringLiteral("jpg"), 16, false);
    EXPECT_EQ(grey.size(), QSize(16, 16));
}

using DZTreeTest = DZTreeFixture;

TEST_F(DZTreeTest, NamesAreUniqueInAnyCaseAndSlashReadsAsColon)
{
    auto root = manager->root();
    ASSERT_TRUE(root->addEntry(DZDirectoryEntry::speculativeEntryWithName("photos", manager.get(), true)));
    EXPECT_FALSE(root->addEntry(DZDirectoryEntry::speculativeEntryWithName("Photos", manager.get(), true)));
    EXPECT_EQ(names(root), QStringList{"photos"});

    ASSERT_TRUE(root->addEntry(DZDirectoryEntry::speculativeEntryWithName("a:b", manager.get(), false)));
    auto found = root->entryWithName(QStringLiteral("a/b"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name(), QStringLiteral("a:b"));
    EXPECT_EQ(manager->getEntry(QStringLiteral("/PHOTOS")), root->entryWithName("photos"));
    EXPECT_FALSE(manager->getEntry(QStringLiteral("photos")));
}

TEST_F(DZTreeTest, AListingReplacesTheFolderContent)
{
    manager->updateDirectory("/D", {record("/D", "a.jpg", false), record("/D", "b.jpg", false),
                                    record("/D", "x", false)});
    auto folder = manager->getEntry("/D");
    ASSERT_TRUE(folder);
    EXPECT_EQ(names(folder), (QStringList{"a.jpg", "b.jpg", "x"}));

    const auto newer = record("/D", "a.jpg", false, 77);
    manager->updateDirectory("/D", {newer, record("/D", "x", true)});
    EXPECT_EQ(names(folder), (QStringList{"a.jpg", "x"}));
    EXPECT_EQ(folder->entryWithName("a.jpg")->ftpFile()->fileSize(), newer->fileSize());
    EXPECT_TRUE(folder->entryWithName("x")->isDirectory());
    EXPECT_EQ(folder->status(), dztree::kUpToDate);
}

TEST_F(DZTreeTest, AListingNeverNamesSomethingOutsideItsFolder)
{
    manager->updateDirectory("/D", {record("/D", "..", false), record("/D", "../evil", false),
                                    record("/D", ".", true), record("/D", QString(), false),
                                    record("/D", QString::fromUtf8("n\0ul", 4), false), record("/D", "a.jpg", false),
                                    record("/D", "A.JPG", false), nullptr});
    EXPECT_EQ(names(manager->getEntry("/D")), QStringList{"a.jpg"});
    EXPECT_FALSE(manager->addDirectoryFromDevice("/D/../x"));
}

TEST_F(DZTreeTest, AnUnknownPathBecomesSpeculativeFoldersEachListed)
{
    manager->updateDirectory("/a", {});
    made.clear();
    auto folder = manager->getDirectory("/a/b/c");
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isSpeculative());
    EXPECT_EQ(madeKinds(), (QStringList{"list /a/b", "list /a/b/c"}));
    EXPECT_EQ(manager->getEntry("/a/b")->status(), dztree::kUpdating);
}

TEST_F(DZTreeTest, AnUpToDateFolderWithoutRecordUnderAFreshListingIsAGhost)
{
    manager->updateDirectory("/p", {});
    auto parent = std::static_pointer_cast<DZDirectory>(manager->getEntry("/p"));
    auto ghost = parent->addSpeculativeEntryWithName("g", true);
    runFor(2.0);
    ghost->setStatus(dztree::kUpToDate);
    EXPECT_TRUE(ghost->isGhostFile());

    auto late = parent->addSpeculativeEntryWithName("h", true);
    runFor(4.0);
    late->setStatus(dztree::kUpToDate);
    EXPECT_FALSE(late->isGhostFile());
}

TEST_F(DZTreeTest, AFolderWithOnlyRemovedChildrenGetsTheSingleDeleteJob)
{
    manager->updateDirectory("/f", {record("/f", "gone.jpg", false)});
    auto folder = manager->getEntry("/f");
    folder->entryWithName("gone.jpg")->deleteEntry();
    made.clear();
    folder->deleteEntry();
    EXPECT_EQ(madeKinds(), QStringList{"delete /f"});

    manager->updateDirectory("/g", {record("/g", "kept.jpg", false)});
    made.clear();
    manager->getEntry("/g")->deleteEntry();
    EXPECT_EQ(madeKinds(), QStringList{"deleteFolder /g"});
}

TEST_F(DZTreeTest, JobCountsAndStatusFollowTheJobs)
{
    manager->updateDirectory("/m", {});
    auto folder = manager->getEntry("/m");
    auto job = folder->makeFolder("new");
    ASSERT_TRUE(job);
    auto made = folder->entryWithName("new");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->countOfJobs(), 1u);
    EXPECT_EQ(made->status(), dztree::kUpdating);

    made->endAction(*job, jobcodes::kSuspended);
    EXPECT_EQ(made->countOfJobs(), 1u);
    EXPECT_EQ(made->countOfJobsWithProgress(), 1u);

    job->endAction(-5);
    EXPECT_EQ(made->countOfJobs(), 0u);
    // A speculative folder no job needs is gone again.
    EXPECT_FALSE(folder->entryWithName("new"));
}

TEST_F(DZTreeTest, ADragReferenceNamesOnlyALiveEntry)
{
    manager->updateDirectory("/r", {record("/r", "a.jpg", false)});
    auto entry = manager->getEntry("/r/a.jpg");
    const QVariantMap reference = entry->getRefPtr();
    EXPECT_EQ(DZDirectoryEntry::getFromRef(reference), entry);

    entry.reset();
    manager->updateDirectory("/r", {});
    runFor(0.1);
    EXPECT_FALSE(DZDirectoryEntry::getFromRef(reference));
    EXPECT_FALSE(DZDirectoryEntry::getFromRef(QVariantMap{{"DirectoryEntryRefPtr", qulonglong(0xdeadbeef)}}));
    EXPECT_FALSE(DZDirectoryEntry::getFromRef(QStringLiteral("x")));
}

TEST_F(DZTreeTest, ChangesArriveWhenTheLoopIsIdleInOrder)
{
    QStringList seen;
    int token = 0;
    manager->listenForDirectoryEntryUpdateNotifications(&token, [&](const platform::Notification& n) {
        seen.append(n.userInfo.value(dztree::kEntryUpdateNotification)
                        .value<std::shared_ptr<DZDirectoryEntry>>()->name());
    });
    auto a = DZDirectoryEntry::speculativeEntryWithName("a", manager.get(), false);
    auto b = DZDirectoryEntry::speculativeEntryWithName("b", manager.get(), false);
    manager->postChangeNotificationForDirectoryEntry(a);
    manager->postChangeNotificationForDirectoryEntry(b);
    manager->postChangeNotificationForDirectoryEntry(a);
    EXPECT_TRUE(seen.isEmpty());
    runFor(0.01);
    EXPECT_EQ(seen, (QStringList{"a", "b", "a"}));
    manager->stopListenForDirectoryEntryUpdateNotifications(&token);
}

TEST_F(DZTreeTest, OrganizerTypesWithoutAJobRaiseAndStatusesFollowTheReceiver)
{
    try {
        manager->actionToUpdateOrganizerDataOfType(2, 1, false);
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("Database problem"));
        EXPECT_EQ(e.reason(), QStringLiteral("### updateOrganizerDataOfType can't acquire data for property:2"));
    }
    EXPECT_FALSE(manager->actionToUpdateOrganizerDataOfType(0, 1, false));

    struct ReadJob : QVAction, DZSyncPropertyJob {
        int syncProperty() const override { return 1; }
        QString actionType() const override { return QStringLiteral("GenericPipe"); }
    };
    DZOrganizerUpdateNotificationReciever receiver(manager.get());
    ReadJob job;
    receiver.startAction(job);
    EXPECT_EQ(manager->statusOfOrganizerType(1), dztree::kUpdating);
    receiver.endAction(job, 0);
    EXPECT_EQ(manager->statusOfOrganizerType(1), dztree::kOutOfDate);
    receiver.startAction(job);
    manager->didUpdateOrganizerDataOfType(1);
    receiver.endAction(job, 0);
    EXPECT_EQ(manager->statusOfOrganizerType(1), dztree::kUpToDate);
}

TEST_F(DZTreeTest, TheFinderStateReadsBackAndADamagedOneLeavesTheRoot)
{
    manager->updateDirectory("/s", {record("/s", "a.jpg", false), record("/s", "sub", true)});
    manager->getEntry("/s/a.jpg")->setEtiketteField(5);
    manager->getEntry("/s/sub")->attributes().insert("k", "v");
    const QVariantMap before = manager->root()->toDictionary();
    manager->saveFinderState();
    const QString path = manager->finderStatePath();
    ASSERT_FALSE(path.isEmpty());

    DZDataManager other(*device, jobs);
    other.loadFinderState();
    EXPECT_EQ(other.root()->toDictionary(), before);

    // Too deep, unsafe names, wrong kinds: the root stays.
    QVariantMap deep{{"Name", "x"}, {"IsDirectory", true}};
    for (int i = 0; i < 80; ++i)
        deep = QVariantMap{{"Name", "x"}, {"IsDirectory", true}, {"Children", QVariantList{deep}}};
    QVariantMap root{{"Name", "/"}, {"IsDirectory", true}, {"Children", QVariantList{deep}}};
    ASSERT_TRUE(platform::plist::writeFile(path, root));
    DZDataManager deepOne(*device, jobs);
    deepOne.loadFinderState();
    EXPECT_EQ(deepOne.root()->numberOfEntries(), 0);

    root = QVariantMap{{"Name", "/"}, {"IsDirectory", true},
                       {"Children", QVariantList{QVariantMap{{"Name", ".."}, {"IsDirectory", true}},
                                                 QVariantMap{{"Name", 5}, {"IsDirectory", false}},
                                                 QStringLiteral("junk"),
                                                 QVariantMap{{"Name", "ok"}, {"IsDirectory", false}}}}};
    ASSERT_TRUE(platform::plist::writeFile(path, root));
    DZDataManager unsafe(*device, jobs);
    unsafe.loadFinderState();
    EXPECT_EQ(names(unsafe.root()), QStringList{"ok"});

    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<plist><dict><key>Na");
    damaged.close();
    DZDataManager broken(*device, jobs);
    broken.loadFinderState();
    EXPECT_EQ(broken.root()->numberOfEntries(), 0);
}

} // namespace
