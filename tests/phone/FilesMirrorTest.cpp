#include "phone/FilesMirror.h"
#include "links/FTPFile.h"
#include "phone/BackupRules.h"
#include "phone/DeadAliasAsker.h"
#include "phone/FTPFileLocations.h"
#include "phone/FTPFileSystem.h"
#include "phone/LocationsListServer.h"
#include "phone/MirrorOwner.h"
#include "platform/PropertyList.h"

#include "FakeMirrorDevice.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<FTPFile> listed(const QString& path, qint64 size, const QString& modified = "20240101T120000")
{
    const qsizetype slash = path.lastIndexOf('/');
    return FTPFile::ftpFileWithAttributes(
        {{"name", path.mid(slash + 1)}, {"size", size}, {"modified", modified}, {"file-type", 0}}, path.left(slash),
        nullptr);
}

// Python's plistlib reads the file; answers its error text ("" on success).
QString plistlibError(const QString& path)
{
    QProcess python;
    python.start("python3", {"-c", "import plistlib,sys\nplistlib.load(open(sys.argv[1],'rb'))", path});
    if (!python.waitForFinished(30000))
        return "python3 did not run";
    return python.exitCode() == 0 ? QString() : QString::fromUtf8(python.readAllStandardError());
}

class FilesMirrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LocationsListServer::sharedLocationsListServer().clear();
        anchor = dir.path() + "/anchor.dzmir";
    }
    std::unique_ptr<FilesMirror> open() { return FilesMirror::mirrorWithDevice(device, anchor); }
    QString at(const QString& name) const { return anchor + '/' + name; }
    QStringList history() const { return QDir(at("History")).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    QString anchor;
    FakeMirrorDevice device;
};

} // namespace

TEST_F(FilesMirrorTest, TheMarkerDecidesWhetherAnOldMirrorIsCleared)
{
    const struct {
        const char* name;
        QVariant marker; // invalid: no marker file
        bool oldLayoutPointer;
        bool cleared;
    } cases[] = {
        {"version 9", QVariantMap{{"CFBundleVersion", "9"}}, false, true},
        {"version 10", QVariantMap{{"CFBundleVersion", "10"}}, false, false},
        {"version 11", QVariantMap{{"CFBundleVersion", "11"}}, false, false},
        {"no marker, current layout", QVariant(), false, false},
        {"no marker, old layout", QVariant(), true, true},
        {"unreadable marker", QByteArray("<plist"), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(anchor).removeRecursively();
        LocationsListServer::sharedLocationsListServer().clear();
        for (const char* name : {"Files/x", "History/h", "Other Data/o", "Trash/t", "MirrorLocations"})
            testing_support::writeFile(at(name));
        if (c.oldLayoutPointer)
            platform::plist::writeFile(at("MirrorFileSystem"), QVariantMap{{"/[0]/a.jpg", 4711}});
        else
            platform::plist::writeFile(at("MirrorFileSystem"), QVariantMap{{"CurFileSystem", "none"}});
        if (c.marker.typeId() == QMetaType::QByteArray)
            testing_support::writeFile(at("Info.plist"), c.marker.toByteArray());
        else if (c.marker.isValid())
            platform::plist::writeFile(at("Info.plist"), c.marker);
        {
            auto mirror = open();
            ASSERT_TRUE(mirror);
            EXPECT_EQ(device.handedMirror, mirror.get());
        }
        for (const char* name : {"Files/x", "History/h", "Other Data/o", "Trash/t"})
            EXPECT_EQ(QFileInfo::exists(at(name)), !c.cleared) << name;
        const QVariantMap marker = platform::plist::readFile(at("Info.plist")).toMap();
        EXPECT_EQ(marker.value("CFBundleVersion").toString(),
                  c.cleared ? "10" : c.marker.toMap().value("CFBundleVersion", "10").toString());
        EXPECT_EQ(plistlibError(at("Info.plist")), "");
        EXPECT_EQ(plistlibError(at("MirrorDeviceDict")), "");
    }
}

TEST_F(FilesMirrorTest, IdsAreNumberedFrom4711AndNeverSharedOnOneAnchor)
{
    auto first = open();
    EXPECT_TRUE(first->registerFileOnDevice(*listed("/[0]/a.jpg", 10)));
    EXPECT_TRUE(first->registerFileOnDevice(*listed("/[0]/b.jpg", 10)));
    EXPECT_FALSE(first->registerFileOnDevice(*listed("/[0]/A.JPG", 10))) << "already in the snapshot";
    EXPECT_EQ(first->idForPath("/[0]/a.jpg"), 4711);
    EXPECT_EQ(first->idForPath("/[0]/b.jpg"), 4712);
    EXPECT_EQ(first->idForPath("/[0]/none"), -1);

    FakeMirrorDevice otherDevice;
    auto second = FilesMirror::mirrorWithDevice(otherDevice, anchor);
    EXPECT_TRUE(second->registerFileOnDevice(*listed("/[0]/c.jpg", 10)));
    EXPECT_TRUE(first->registerFileOnDevice(*listed("/[0]/d.jpg", 10)));
    EXPECT_EQ(second->idForPath("/[0]/c.jpg"), 4713);
    EXPECT_EQ(first->idForPath("/[0]/d.jpg"), 4714);

    first->save();
    const QVariantMap stored = platform::plist::readFile(at("MirrorLocations")).toMap();
    EXPECT_EQ(stored.value("NextFileID").toLongLong(), 4715);
    EXPECT_EQ(stored.value("Files").toMap().keys(), QStringList({"4711", "4712", "4713", "4714"}));
    EXPECT_EQ(plistlibError(at("MirrorLocations")), "");
    EXPECT_EQ(first->getIDForMirrorFile(anchor + "/Files/unknown"), 0);
}

TEST_F(FilesMirrorTest, AListedFileIsComparedWithItsStoredDescription)
{
    const struct {
        const char* storedSize;
        const char* storedTime;
        qint64 size;
        const char* time;
        int status;
    } cases[] = {
        {"100", "20240101T120000Z", 100, "20240101T120000", FTPFileLocations::kCurrent},
        {"100", "0", 100, "20240101T120000", FTPFileLocations::kCurrent},
        {"100", "20240101T120000", 100, "0", FTPFileLocations::kCurrent},
        {"100", "20350101T120000", 100, "20240101T120000", FTPFileLocations::kCurrent},
        {"100", "20240101T120000", 100, "20240101T121500", FTPFileLocations::kChanged},
        {"100", "20240101T120000", 100, "20240101T130000", FTPFileLocations::kCurrent},
        {"100", "20240101T120000", 101, "20240101T120000", FTPFileLocations::kChanged},
        {"5368709120", "0", Q_INT64_C(5368709121), "0", FTPFileLocations::kChanged},
    };
    auto mirror = open();
    FTPFileLocations& locations = mirror->fileLocations();
    long id = 100;
    for (const auto& c : cases) {
        const QString path = QStringLiteral("/[0]/f%1.jpg").arg(id);
        const QVariantMap entry{
            {"DeviceEntry", QVariantMap{{"DeviceFullPath", path}, {"Size", c.storedSize}, {"Modified", c.storedTime}}},
            {"State", "Real"},
            {"Path", QString("/Files" + path)},
            {"FinderInfo", 3}};
        locations.setEntry(&entry, id);
        long number = -1;
        int label = -1;
        EXPECT_EQ(locations.checkFileStatusOnMirror(*listed(path, c.size, c.time), &number, &label, true), c.status)
            << c.storedTime << " " << c.time;
        EXPECT_EQ(number, id);
        EXPECT_EQ(label, 3);
        ++id;
    }
    long number = -1;
    int label = -1;
    EXPECT_EQ(locations.checkFileStatusOnMirror(*listed("/[0]/new.jpg", 1), &number, &label, true),
              FTPFileLocations::kUnknown);
    EXPECT_EQ(number, 0);
}

TEST_F(FilesMirrorTest, TrashNamesCountUpAndAFullRangeMovesNothing)
{
    auto mirror = open();
    FTPFileLocations& locations = mirror->fileLocations();
    const auto real = [&](long id, const QString& name) {
        testing_support::writeFile(anchor + "/Files/[0]/" + name, "data");
        const QVariantMap entry{{"DeviceEntry", QVariantMap{{"DeviceFullPath", QString("/[0]/" + name)}}},
                                {"State", "Real"},
                                {"Path", QString("/Files/[0]/" + name)}};
        locations.setEntry(&entry, id);
    };
    real(1, "a.jpg");
    EXPECT_EQ(locations.moveToTrash(1), 0);
    real(2, "a.jpg");
    EXPECT_EQ(locations.moveToTrash(2), 0);
    EXPECT_TRUE(QFileInfo::exists(at("Trash/a_000.jpg")));
    EXPECT_TRUE(QFileInfo::exists(at("Trash/a_001.jpg")));
    EXPECT_EQ(locations.editableEntryForID(2)->value("Path"), "/Trash/a_001.jpg");
    EXPECT_EQ(locations.editableEntryForID(2)->value("State"), "Trash");
    EXPECT_EQ(locations.moveToTrash(99), -43);

    const QString longName = QString(36, 'n') + ".mp3";
    const auto cut = FTPFileLocations::unusedFileNameAtDestination(at("Trash/") + longName);
    ASSERT_TRUE(cut);
    EXPECT_EQ(QFileInfo(*cut).fileName(), QString(23, 'n') + "_000.mp3");

    for (int n = 0; n < FTPFileLocations::kTrashNameCount; ++n)
        QFile(at("Trash/") + QStringLiteral("b_%1.jpg").arg(n, 3, 10, QChar('0'))).open(QIODevice::WriteOnly);
    EXPECT_FALSE(FTPFileLocations::unusedFileNameAtDestination(at("Trash/b.jpg")));
    real(3, "b.jpg");
    EXPECT_EQ(locations.moveToTrash(3), 0);
    EXPECT_TRUE(QFileInfo::exists(anchor + "/Files/[0]/b.jpg"));
    EXPECT_EQ(locations.editableEntryForID(3)->value("State"), "Real");
    EXPECT_EQ(QFile(at("Trash/b_000.jpg")).size(), 0) << "an earlier trash file was replaced";
}

TEST_F(FilesMirrorTest, DeletingAFolderRemovesWhatLiesBelowIt)
{
    auto mirror = open();
    mirror->registerDirectoryOnDevice("/[0]/Pictures");
    mirror->registerFileOnDevice(*listed("/[0]/Pictures/x.jpg", 1));
    mirror->registerDirectoryOnDevice("/[0]/Pictures2");
    mirror->filesDeleted("/[0]/Pictures");
    const QVariantMap snapshot = mirror->currentFileSystem().fileSystem();
    EXPECT_EQ(snapshot.keys(), QStringList({"/[0]/Pictures2"}));
}

TEST_F(FilesMirrorTest, SavingWritesADatedSnapshotOnlyForAChange)
{
    {
        auto mirror = open();
        mirror->setFileSystemValid();
        mirror->save();
        EXPECT_TRUE(history().isEmpty()) << "a valid empty snapshot";
        mirror->registerFileOnDevice(*listed("/[0]/a.jpg", 1));
        mirror->save();
        mirror->save();
        ASSERT_EQ(history().size(), 1);
        mirror->registerFileOnDevice(*listed("/[0]/b.jpg", 1));
        mirror->save();
        EXPECT_EQ(history().size(), 2) << "a second save within one second keeps the first";
    }
    const QVariantMap pointer = platform::plist::readFile(at("MirrorFileSystem")).toMap();
    EXPECT_EQ(pointer.value("CurFileSystem").toString(), history().last());
    for (const QString& name : history())
        EXPECT_EQ(plistlibError(at("History/") + name), "");
    EXPECT_EQ(plistlibError(at("MirrorFileSystem")), "");

    // The next opening loads it as the previous snapshot and keeps its labels.
    auto reopened = open();
    EXPECT_EQ(reopened->lastFileSystem().fileSystem().size(), 2);
    EXPECT_EQ(reopened->getLastFileFinderInfoDictForPath("/[0]/A.jpg").value("UniqueID").toLongLong(), 4711);
    reopened->save();
    EXPECT_EQ(history().size(), 2) << "an unchanged listing writes nothing";
}

TEST_F(FilesMirrorTest, AnOldLayoutSnapshotMadeByPlistlibIsConvertedAndCopiedToHistory)
{
    QDir().mkpath(anchor);
    platform::plist::writeFile(at("Info.plist"), QVariantMap{{"CFBundleVersion", "10"}});
    QProcess python;
    python.start("python3",
                 {"-c",
                  "import plistlib,sys\nplistlib.dump({'/[0]/a.jpg': 4711, '/[0]/Pics': 0}, "
                  "open(sys.argv[1],'wb'))",
                  at("MirrorFileSystem")});
    ASSERT_TRUE(python.waitForFinished(30000));
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python3 did not write the fixture";
    auto mirror = open();
    const QVariantMap last = mirror->lastFileSystem().fileSystem();
    EXPECT_EQ(last.value("/[0]/a.jpg").toMap(),
              (QVariantMap{{"UniqueID", 4711}, {"FndrEtikete", 0}, {"FndrLocation", 0}}));
    EXPECT_TRUE(mirror->lastFileSystem().isValid());
    ASSERT_EQ(history().size(), 1);
    EXPECT_TRUE(history().first().startsWith("MirrorFileSystem-"));
}

TEST_F(FilesMirrorTest, StoredFilesOfTheWrongKindGiveTheEmptyState)
{
    QDir().mkpath(anchor);
    platform::plist::writeFile(at("Info.plist"), QVariantMap{{"CFBundleVersion", "10"}});
    const QByteArray truncated = "<?xml version=\"1.0\"?><plist><dict><key>Files</key>";
    testing_support::writeFile(at("MirrorLocations"), truncated);
    platform::plist::writeFile(at("MirrorFileSystem"), QVariantMap{{"CurFileSystem", "../../escape"}});
    auto mirror = open();
    EXPECT_FALSE(mirror->lastFileSystem().isValid());
    EXPECT_EQ(mirror->fileLocations().nextFileID(), 4711);
    const QStringList aside = QDir(anchor).entryList({"MirrorLocations-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFile(at(aside.first())).size(), truncated.size());

    // Wrong-typed entries are dropped; a later id stays above every kept one.
    LocationsListServer::sharedLocationsListServer().clear();
    platform::plist::writeFile(
        at("MirrorLocations"),
        QVariantMap{
            {"Files", QVariantMap{{"5000", QVariantMap{{"State", "Real"}}}, {"abc", QVariantMap{}}, {"5001", "text"}}},
            {"NextFileID", 12}});
    auto reread = open();
    EXPECT_EQ(reread->fileLocations().nextFileID(), 5001);
    EXPECT_FALSE(reread->fileLocations().editableEntryForID(5001));
}

TEST_F(FilesMirrorTest, PhonePathsNeverLeaveTheMirror)
{
    auto mirror = open();
    EXPECT_EQ(mirror->getMirrorPath("/[0]/Pictures/a:b.jpg"), anchor + "/Files/[0]/Pictures/ab.jpg");
    EXPECT_EQ(mirror->getMirrorPath("/[0]/../../x"), "");
    EXPECT_EQ(mirror->getMirrorPath(QStringLiteral("/[0]/a") + QChar(0) + "b"), "");
    EXPECT_EQ(mirror->getPreviewPath("/[0]/./x"), "");
    EXPECT_EQ(mirror->getPreviewPath("/[0]/x.jpg"), anchor + "/Files/[0]/HiddenPreviews/x.jpg");
    int error = 1;
    EXPECT_EQ(mirror->getMirroredFile(*listed("/[0]/D/x.jpg", 1), &error), anchor + "/Files/[0]/D/x.jpg");
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(QFileInfo(anchor + "/Files/[0]/D").isDir());
    EXPECT_EQ(mirror->getMirroredFile(*listed("/[0]/../x.jpg", 1), &error), "");
    EXPECT_EQ(error, -1);
    const QVariantMap stray{
        {"DeviceEntry", QVariantMap{{"DeviceFullPath", "/[0]/x"}}}, {"State", "Real"}, {"Path", "/../../etc/passwd"}};
    mirror->fileLocations().setEntry(&stray, 7);
    EXPECT_EQ(mirror->currentLocation(7), "");
}

TEST_F(FilesMirrorTest, DeliveryAndLabelsGoThroughTheCurrentSnapshot)
{
    auto mirror = open();
    mirror->registerFileOnDevice(*listed("/[0]/a.jpg", 4));
    const QString local = mirror->getMirrorPath("/[0]/a.jpg");
    testing_support::writeFile(local, "data");
    mirror->deliveredFile("/[0]/a.jpg", local);
    EXPECT_EQ(mirror->currentLocation(4711), local);
    EXPECT_EQ(mirror->getIDForMirrorFile(local), 4711);
    EXPECT_EQ(mirror->getMirrorPaths(), QStringList{local});

    QVariantMap info = mirror->getFinderInfoDictForPath("/[0]/a.jpg");
    info.insert("FndrEtikete", 5);
    EXPECT_TRUE(mirror->setFinderInfoDictForPath(info, "/[0]/a.jpg"));
    info.insert("UniqueID", 1);
    EXPECT_FALSE(mirror->setFinderInfoDictForPath(info, "/[0]/a.jpg"));

    // A listing without the file moves its copy to the trash.
    mirror->recreateFilesystem();
    mirror->setFileSystemValid();
    EXPECT_EQ(mirror->currentLocation(4711), anchor + "/Trash/a_000.jpg");
    EXPECT_TRUE(QFileInfo::exists(anchor + "/Trash/a_000.jpg"));
}

TEST_F(FilesMirrorTest, AHistoryDeviceListsItsStatesAndRegistersNothing)
{
    for (const char* name :
         {"History/MirrorFileSystem-20240101-120000", "History/MirrorFileSystem-20230101-120000",
          "History/MirrorFileSystem-20250101-120000", "History/stray", "History/MirrorFileSystem-2025",
          "Other Data/History/OrganizerData-20240202-101010", "Other Data/History/OrganizerData-20230202-101010"})
        testing_support::writeFile(at(name));
    platform::plist::writeFile(at("Info.plist"), QVariantMap{{"CFBundleVersion", "10"}});
    device.history = true;
    auto mirror = open();
    EXPECT_EQ(
        device.states,
        QStringList({at("History/MirrorFileSystem-20230101-120000"), at("History/MirrorFileSystem-20240101-120000"),
                     at("History/MirrorFileSystem-20250101-120000")}));
    EXPECT_EQ(device.organizerFiles,
              QStringList({at("Other Data/History/OrganizerData-20230202-101010"),
                           at("Other Data/History/OrganizerData-20240202-101010")}));
    EXPECT_FALSE(mirror->registerFileOnDevice(*listed("/[0]/a.jpg", 1)));
    EXPECT_TRUE(mirror->currentFileSystem().fileSystem().isEmpty());
}

TEST_F(FilesMirrorTest, AnAnchorAliasIsFollowedAndADeadOneDeletedOnlyWhenTheUserAgrees)
{
    struct Asker : DeadAliasAsker {
        bool answer = false;
        QStringList asked;
        bool askKillDeadAlias(const QString& path) override
        {
            asked.append(path);
            return answer;
        }
    } asker;
    const QString target = dir.path() + "/real.dzmir";
    QDir().mkpath(target);
    QFile::link(target, dir.path() + "/hop");
    QFile::link(dir.path() + "/hop", anchor);
    {
        auto mirror = FilesMirror::mirrorWithDevice(device, anchor, &asker);
        ASSERT_TRUE(mirror);
        EXPECT_EQ(mirror->getMirrorAnchorPath(), target);
        EXPECT_TRUE(QFileInfo::exists(target + "/Info.plist"));
    }
    EXPECT_TRUE(asker.asked.isEmpty());

    const QString dead = dir.path() + "/dead.dzmir";
    QFile::link(dir.path() + "/gone", dead);
    const QString plain = dir.path() + "/plain.dzmir";
    QFile::link(target + "/Info.plist", plain);
    EXPECT_FALSE(FilesMirror::mirrorWithDevice(device, dead)) << "no asker";
    EXPECT_FALSE(FilesMirror::mirrorWithDevice(device, plain)) << "a link to a plain file";
    EXPECT_FALSE(FilesMirror::mirrorWithDevice(device, dead, &asker));
    EXPECT_TRUE(QFileInfo(dead).isSymLink()) << "deleted without the user's answer";
    asker.answer = true;
    auto replaced = FilesMirror::mirrorWithDevice(device, dead, &asker);
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(QFileInfo(dead).isSymLink());
    EXPECT_TRUE(QFileInfo(dead).isDir());
    EXPECT_EQ(asker.asked, QStringList({dead, dead}));
}

TEST_F(FilesMirrorTest, AVolumeMissingNowButKeptInTheArchiveStaysInTheSnapshot)
{
    {
        auto mirror = open();
        mirror->registerFileOnDevice(*listed("/[0]/a.jpg", 1));
        mirror->registerFileOnDevice(*listed("/[1]/b.jpg", 1));
        const QString local = mirror->getMirrorPath("/[0]/a.jpg");
        testing_support::writeFile(local);
        mirror->deliveredFile("/[0]/a.jpg", local);
        mirror->setFileSystemValid();
        mirror->save();
    }
    device.internalMemory = false;
    device.internalInArchive = true;
    auto mirror = open();
    mirror->registerFileOnDevice(*listed("/[1]/b.jpg", 1));
    mirror->setFileSystemValid();
    EXPECT_EQ(mirror->currentFileSystem().fileSystem().keys(), QStringList({"/[0]/a.jpg", "/[1]/b.jpg"}));
    EXPECT_EQ(mirror->currentLocation(4711), anchor + "/Files/[0]/a.jpg") << "not trashed";

    device.internalInArchive = false;
    mirror->recreateFilesystem();
    mirror->registerFileOnDevice(*listed("/[1]/b.jpg", 1));
    mirror->setFileSystemValid();
    EXPECT_EQ(mirror->currentLocation(4711), anchor + "/Trash/a_000.jpg");
}

TEST_F(FilesMirrorTest, AnOldLayoutPointerSwitchedToTheLastStateIsSavedAsANewSnapshot)
{
    QDir().mkpath(anchor);
    platform::plist::writeFile(at("Info.plist"), QVariantMap{{"CFBundleVersion", "10"}});
    platform::plist::writeFile(at("MirrorFileSystem"), QVariantMap{{"/[0]/a.jpg", 4711}});
    auto mirror = open();
    const QStringList before = history();
    FTPFileSystem& current = mirror->currentFileSystem();
    current.loadFromFileSwitchToLast();
    EXPECT_TRUE(current.isValid());
    EXPECT_TRUE(current.isDirty());
    EXPECT_EQ(current.idForPath("/[0]/a.jpg"), 4711);
    current.save();
    EXPECT_EQ(history().size(), before.size() + 1);
    EXPECT_EQ(platform::plist::readFile(at("MirrorFileSystem")).toMap().value("CurFileSystem").toString(),
              history().last());
}
