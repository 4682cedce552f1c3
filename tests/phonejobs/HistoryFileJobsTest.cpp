#include "../phone/FolderPhoneFixture.h"
#include "TestFiles.h"

#include "jobs/QVActionMachine.h"
#include "links/LinkCodes.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/FTPFileLocations.h"
#include "phone/FilesMirror.h"
#include "phonejobs/ActionCopyFileFolder.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

using testing_support::runUntil;

class HistoryJobNotify : public QVActionNotify {
public:
    bool startAction(QVAction&) override { return true; }
    bool processAction(QVAction&, float) override { return true; }
    void endAction(QVAction&, int err) override { codes.append(err); }
    QList<int> codes;
};

// A history window's device: its mirror holds two snapshots of the phone's
// files, and the mirror copy of one picture.
class HistoryFileJobsTest : public FolderPhoneFixture {
protected:
    void SetUp() override
    {
        filejobs::install(makers);
        ASSERT_TRUE(dir.isValid());
        anchor = dir.filePath("K700.dzmir");
        platform::plist::writeFile(anchor + "/History/MirrorFileSystem-20230101-120000",
                                   QVariantMap{{"/[0]/Old", QVariantMap{{"UniqueID", 0}}},
                                               {"/[0]/Old/gone.jpg", QVariantMap{{"UniqueID", 7}}}});
        platform::plist::writeFile(anchor + "/History/MirrorFileSystem-20240101-120000",
                                   QVariantMap{{"/[0]/Pics", QVariantMap{{"UniqueID", 0}}},
                                               {"/[0]/Pics/Trip", QVariantMap{{"UniqueID", 0}}},
                                               {"/[0]/Pics/Trip/a.jpg", QVariantMap{{"UniqueID", 5}}}});
        platform::plist::writeFile(anchor + "/Info.plist", QVariantMap{{"CFBundleVersion", "10"}});
        testing_support::writeFile(anchor + "/Files/a.jpg", QByteArray(5432, 'p'));

        const QVariantMap row{{"Dorvanti.Model", "K700"},
                              {"Dorvanti.Manufacturer", "Sony Ericsson"},
                              {"Dorvanti.SyncMLProtocol", "Protocol SonyEricsson"}};
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kHistory),
                                            std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"}}),
                                            row, nullptr, makers);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        mirror = FilesMirror::mirrorWithDevice(*device, anchor);
        ASSERT_TRUE(mirror);
        ASSERT_EQ(device->stateInHistoryFiles().size(), 2);
        const QVariantMap located{{FTPFileLocations::kDeviceEntry,
                                   QVariantMap{{"name", "a.jpg"}, {"size", 5432}, {"modified", "20070315T142500"}}},
                                  {FTPFileLocations::kState, FTPFileLocations::kReal},
                                  {FTPFileLocations::kPath, "/Files/a.jpg"}};
        mirror->fileLocations().setEntry(&located, 5);
    }
    void TearDown() override
    {
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
    }
    QStringList treePaths() const
    {
        QStringList paths;
        QList<std::shared_ptr<DZDirectoryEntry>> open{manager->getEntry("/")};
        while (!open.isEmpty()) {
            const auto entry = open.takeFirst();
            if (!entry)
                continue;
            for (const auto& child : entry->entriesNoUpdate()) {
                paths.append(child->fullExternalPath());
                if (child->isDirectory())
                    open.append(child);
            }
        }
        paths.sort();
        return paths;
    }

    QTemporaryDir dir;
    QString anchor;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
};

} // namespace

TEST_F(HistoryFileJobsTest, TheChosenSnapshotIsTheTreeAndAsksNoListing)
{
    device->jumpToHistoryIndex(1);
    EXPECT_EQ(treePaths(), (QStringList{"/[0]", "/[0]/Pics", "/[0]/Pics/Trip", "/[0]/Pics/Trip/a.jpg"}));
    auto file = manager->getEntry("/[0]/Pics/Trip/a.jpg");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->displayableSize(), QStringLiteral("5.432 Byte"));
    EXPECT_EQ(file->formattedModificationDate(), QStringLiteral("15.03.2007, 14:25"));
    // Every folder is complete: opening one asks nothing.
    for (const char* path : {"/", "/[0]", "/[0]/Pics", "/[0]/Pics/Trip"}) {
        auto folder = manager->getEntry(path);
        ASSERT_TRUE(folder) << path;
        EXPECT_EQ(folder->status(), dztree::kUpToDate) << path;
        folder->entries();
        manager->getDirectory(path);
    }
    EXPECT_EQ(device->actionMachine()->actionCount(), 0u);
    runUntil([] { return false; }, 0.5);
    EXPECT_EQ(manager->getEntry("/[0]/Pics/Trip")->status(), dztree::kUpToDate);

    // Another snapshot replaces the tree.
    device->jumpToHistoryIndex(0);
    EXPECT_EQ(treePaths(), (QStringList{"/[0]", "/[0]/Old", "/[0]/Old/gone.jpg"}));
    EXPECT_FALSE(manager->getEntry("/[0]/Pics/Trip/a.jpg"));
    EXPECT_EQ(manager->getEntry("/[0]/Old/gone.jpg")->displayableSize(), QStringLiteral("--")) << "no location entry";
}

TEST_F(HistoryFileJobsTest, JobsForThePhoneEndAtOnceAndCopiesComeFromTheMirror)
{
    device->jumpToHistoryIndex(1);
    auto trip = manager->getEntry("/[0]/Pics/Trip");
    auto file = manager->getEntry("/[0]/Pics/Trip/a.jpg");
    ASSERT_TRUE(trip && file);
    const int folderBefore = trip->status();
    const int fileBefore = file->status();

    auto made = trip->makeFolder("New");
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->hasEnded());
    EXPECT_FALSE(trip->entryWithName("New"));
    EXPECT_EQ(trip->status(), folderBefore);
    file->deleteEntry();
    EXPECT_EQ(file->status(), fileBefore);
    EXPECT_EQ(file->countOfJobs(), 0u);
    EXPECT_TRUE(trip->entryWithName("a.jpg"));

    auto notify = std::make_shared<HistoryJobNotify>();
    auto missing = ActionCopyFileFolder::actionFromMobileToMac("/[0]/Pics/Trip/none.jpg", dir.path(), 1, false, notify);
    EXPECT_FALSE(device->addAction(missing)) << "no pipe serves it";
    manager->postAction(missing);
    ASSERT_TRUE(runUntil([&] { return !notify->codes.isEmpty(); }));
    EXPECT_EQ(notify->codes, QList<int>{links::kErrNotConnected}) << "a file the mirror lacks needs the phone";

    QTemporaryDir out;
    auto copied = std::make_shared<HistoryJobNotify>();
    auto copy = ActionCopyFileFolder::actionFromMobileToMac("/[0]/Pics/Trip/a.jpg", out.path(), 5432, false, copied);
    EXPECT_EQ(copy->actionType(), QStringLiteral("FTP")) << "not yet on a device";
    ASSERT_TRUE(device->addAction(copy));
    ASSERT_TRUE(runUntil([&] { return !copied->codes.isEmpty(); }));
    EXPECT_EQ(copied->codes, QList<int>{0});
    EXPECT_EQ(copy->actionType(), QStringLiteral("Virtual"));
    QFile result(QDir(out.path()).filePath("a.jpg"));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), QByteArray(5432, 'p'));
}
