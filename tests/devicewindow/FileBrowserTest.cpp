#include "DeviceWindowTestSupport.h"
#include "XvfbShots.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/files/FileDragAndDrop.h"
#include "devicewindow/queue/ActionMasterHdlr.h"
#include "devicewindow/queue/ActionMasterTable.h"

#include "foundation/SafeFileName.h"
#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FTPFileLocations.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/USBMassStorageConnection.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/PropertyList.h"
#include "platform/UsbRegistrySimulated.h"
#include "platform/gui/TestArtifacts.h"

#include "SimulatedStoragePhone.h"
#include "TestFiles.h"
#include "VirtualTime.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

bool runUntilBrowsed(const std::function<bool()>& predicate, double seconds = 60.0)
{
    return testing_support::runUntil(predicate, seconds, 0.05);
}

// The file browser over a USB storage phone whose volume "/PHONE" is a
// temporary folder, on the real mass-storage connection and file jobs.
class FileBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid() && mac.isValid());
        phone = dir.filePath(QStringLiteral("PHONE"));
        QDir().mkpath(phone + QStringLiteral("/Pictures/Holiday"));
        QDir().mkpath(phone + QStringLiteral("/Music"));
        writeFile(phone + QStringLiteral("/Pictures/a.jpg"), "picture a");
        writeFile(phone + QStringLiteral("/Pictures/b.jpg"), "picture b");
        writeFile(phone + QStringLiteral("/Pictures/late.jpg..."), "weird");
        registry = testing_support::plugInStoragePhone(phone);
        const auto dict = testing_support::storagePhoneDict();
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.PicturesFolder", "/PHONE/Pictures"},
                              {"Dorvanti.SoundsFolder", "/PHONE/Music"},
                              {"Dorvanti.TopLevelVolumes", "1"}};
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, nullptr,
                                            testing_support::storagePhoneMakers());
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.filePath(QStringLiteral("KU990.dzmir")));
        view.resize(760, 480);
        view.setAskers({[this](int count) {
                            asked << QStringLiteral("delete %1").arg(count);
                            return answer;
                        },
                        [this](const QString& path) {
                            asked << QStringLiteral("overwrite %1").arg(QFileInfo(path).fileName());
                            return answer;
                        },
                        {}, {}, {}});
        view.setMFDevice(device.get());
    }
    void TearDown() override
    {
        view.setMFDevice(nullptr);
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
        platform::UsbRegistry::setShared(nullptr);
    }
    std::shared_ptr<DZDirectoryEntry> entry(const char* path) const { return manager->getEntry(QLatin1String(path)); }
    bool settled(const char* path) const
    {
        const auto folder = entry(path);
        return folder && folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress();
    }
    bool openAndWait(const char* path)
    {
        runUntilBrowsed([&] { return settled("/"); });
        if (!entry(path))
            view.openFolder(QLatin1String(path).left(QLatin1String(path).lastIndexOf(QLatin1Char('/'))));
        runUntilBrowsed([&] { return bool(entry(path)); });
        return view.openFolder(QLatin1String(path)) && runUntilBrowsed([&] { return settled(path); })
            && (testing_support::runFor(0.1), true);
    }
    void select(const QStringList& paths)
    {
        view.tree()->clearSelection();
        for (const QString& path : paths) {
            QTreeWidgetItem* item = view.itemForPath(path);
            ASSERT_NE(item, nullptr) << path.toStdString();
            item->setSelected(true);
            view.tree()->setCurrentItem(item, 0, QItemSelectionModel::Select);
        }
    }

    testing_support::OutsideInputScope outside{0.01};
    QTemporaryDir dir;
    QTemporaryDir mac;
    QString phone;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
    MobileFinderView view;
    QStringList asked;
    bool answer = true;
};

TEST_F(FileBrowserTest, OpeningAFolderListsItOnceAndShowsItsEntries)
{
    ASSERT_TRUE(runUntilBrowsed([&] { return settled("/"); })) << "the phone's top is listed on its own";
    ASSERT_TRUE(runUntilBrowsed([&] { return view.itemForPath(QStringLiteral("/PHONE")) != nullptr; }));
    ASSERT_TRUE(view.openFolder(QStringLiteral("/PHONE")));
    ASSERT_TRUE(runUntilBrowsed([&] { return bool(entry("/PHONE/Pictures")); }));

    // Two opens while the first listing runs are one job.
    ASSERT_TRUE(view.openFolder(QStringLiteral("/PHONE/Pictures")));
    ASSERT_TRUE(view.openFolder(QStringLiteral("/PHONE/Pictures")));
    EXPECT_EQ(entry("/PHONE/Pictures")->countOfJobs(), 1u);
    EXPECT_EQ(view.itemForPath(QStringLiteral("/PHONE/Pictures"))->text(MobileFinderView::kStateColumn),
              QStringLiteral("Updating"));
    ASSERT_TRUE(runUntilBrowsed([&] { return settled("/PHONE/Pictures"); }));
    testing_support::runFor(0.1);

    QTreeWidgetItem* pictures = view.itemForPath(QStringLiteral("/PHONE/Pictures"));
    ASSERT_NE(pictures, nullptr);
    EXPECT_TRUE(pictures->isExpanded());
    QStringList names;
    for (int index = 0; index < pictures->childCount(); ++index)
        names << pictures->child(index)->text(MobileFinderView::kNameColumn);
    EXPECT_EQ(names, (QStringList{"a.jpg", "b.jpg", "Holiday", "late.jpg..."})) << "names as the phone sent them";
    EXPECT_EQ(view.itemForPath(QStringLiteral("/PHONE/Pictures/a.jpg"))->text(MobileFinderView::kSizeColumn),
              entry("/PHONE/Pictures/a.jpg")->displayableSize());
    EXPECT_TRUE(pictures->text(MobileFinderView::kStateColumn).isEmpty());
    EXPECT_EQ(view.currentFolder(), QStringLiteral("/PHONE/Pictures"));

    // The special folders of the model's settings.
    QStringList smart;
    for (int row = 0; row < view.smartFolderList()->count(); ++row)
        smart << view.smartFolderList()->item(row)->data(MobileFinderView::kSmartFolderRole).toString();
    EXPECT_TRUE(smart.contains(QStringLiteral("/PHONE/Pictures")));
    EXPECT_TRUE(smart.contains(QStringLiteral("/PHONE/Music")));

    // The phone goes: a folder that cannot be listed shows its failure, not
    // a spinner.
    ASSERT_TRUE(QDir().rename(phone, phone + QStringLiteral("-gone")));
    ASSERT_TRUE(view.openFolder(QStringLiteral("/PHONE/Pictures/Holiday")));
    ASSERT_TRUE(runUntilBrowsed([&] { return !entry("/PHONE/Pictures/Holiday")
                                                 || !entry("/PHONE/Pictures/Holiday")->hasActionsInProgress(); }));
    testing_support::runFor(0.1);
    QTreeWidgetItem* holiday = view.itemForPath(QStringLiteral("/PHONE/Pictures/Holiday"));
    ASSERT_NE(holiday, nullptr);
    EXPECT_EQ(holiday->text(MobileFinderView::kStateColumn), QStringLiteral("Folder not available"));
    EXPECT_TRUE(view.lastMessage().contains(QStringLiteral("Holiday"))) << view.lastMessage().toStdString();
    EXPECT_TRUE(view.openFolder(QStringLiteral("/PHONE/Pictures"))) << "the tree stays usable";

    view.show();
    EXPECT_FALSE(platform::gui::saveGrab(&view, QStringLiteral("devicewindow-file-browser-pictures")).isEmpty());
}

TEST_F(FileBrowserTest, CopiesToTheComputerLandUnderSafeNamesAndAskBeforeReplacing)
{
    ASSERT_TRUE(openAndWait("/PHONE/Pictures"));
    select({QStringLiteral("/PHONE/Pictures/a.jpg"), QStringLiteral("/PHONE/Pictures/late.jpg...")});
    ASSERT_EQ(view.selectedEntries().size(), 2u);
    EXPECT_EQ(view.copyToComputer(view.selectedEntries(), mac.path()), 2);
    const QString weird = safeFileNameFromDescription(QStringLiteral("late.jpg..."));
    ASSERT_TRUE(runUntilBrowsed([&] {
        return readFile(mac.filePath(QStringLiteral("a.jpg"))) == "picture a"
            && readFile(mac.filePath(weird)) == "weird" && !entry("/PHONE/Pictures/a.jpg")->hasActionsInProgress()
            && !entry("/PHONE/Pictures/late.jpg...")->hasActionsInProgress();
    }));
    ASSERT_TRUE(runUntilBrowsed([&] { return view.pendingRenameCount() == 0; }));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(QDir(mac.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "nothing else lands there";

    // The drag-and-drop helper's promised names are the names the files get.
    QTemporaryDir desk;
    FileDragAndDrop dnd(manager);
    const QStringList promised = dnd.namesOfPromisedFilesDroppedAtDestination(
        desk.path(), {entry("/PHONE/Pictures/a.jpg"), entry("/PHONE/Pictures/late.jpg...")});
    EXPECT_EQ(promised, (QStringList{"a.jpg", weird}));
    ASSERT_TRUE(runUntilBrowsed([&] { return dnd.pendingRenameCount() == 0 && !entry("/PHONE/Pictures/a.jpg")->hasActionsInProgress(); }));
    for (const QString& name : promised)
        EXPECT_TRUE(QFileInfo(QDir(desk.path()).filePath(name)).isFile()) << name.toStdString();
    EXPECT_EQ(QDir(desk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);

    // An existing file: asked first; "no" leaves it.
    writeFile(mac.filePath(QStringLiteral("b.jpg")), "mine");
    select({QStringLiteral("/PHONE/Pictures/b.jpg")});
    answer = false;
    EXPECT_FALSE(view.copySelectionToComputer(mac.path()));
    EXPECT_EQ(asked, QStringList{"overwrite b.jpg"});
    testing_support::runFor(0.5);
    EXPECT_EQ(readFile(mac.filePath(QStringLiteral("b.jpg"))), "mine");
    answer = true;
    EXPECT_TRUE(view.copySelectionToComputer(mac.path()));
    ASSERT_TRUE(runUntilBrowsed([&] { return readFile(mac.filePath(QStringLiteral("b.jpg"))) == "picture b"; }));

    // The drag carries the phone paths (and the copies the computer has).
    std::unique_ptr<QMimeData> drag(view.mimeDataForSelection());
    EXPECT_EQ(QString::fromUtf8(drag->data(QStringLiteral("application/x-marvesto-phone-paths"))),
              QStringLiteral("/PHONE/Pictures/b.jpg"));
}

// A phone name that needs making safe is fetched beside its target and
// renamed into place when its job ended: that rename replaces only what the
// user agreed to replace, and it happens also when the helper went first.
TEST_F(FileBrowserTest, ACopyUnderAMadeSafeNameNeverReplacesUnaskedAndOutlivesItsHelper)
{
    writeFile(phone + QStringLiteral("/Pictures/x\\y.jpg"), "backslash");
    ASSERT_TRUE(openAndWait("/PHONE/Pictures"));
    const auto odd = entry("/PHONE/Pictures/x\\y.jpg");
    ASSERT_TRUE(odd);
    const auto everything = [](const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    };

    // A file of the safe name that was not there when the question would
    // have been asked (another copy of the selection, the user's own): kept,
    // the copy takes a free name.
    writeFile(mac.filePath(QStringLiteral("x_y.jpg")), "mine");
    {
        FileDragAndDrop dnd(manager);
        ASSERT_TRUE(dnd.copyToComputer(odd, mac.path(), false));
        ASSERT_TRUE(runUntilBrowsed([&] { return dnd.pendingRenameCount() == 0; }));
        EXPECT_EQ(readFile(mac.filePath(QStringLiteral("x_y.jpg"))), "mine");
        EXPECT_EQ(readFile(mac.filePath(QStringLiteral("2 x_y.jpg"))), "backslash");
        EXPECT_EQ(everything(mac.path()), (QStringList{"2 x_y.jpg", "x_y.jpg"}));

        // Replacing once confirmed.
        ASSERT_TRUE(dnd.copyToComputer(odd, mac.path(), true));
        ASSERT_TRUE(runUntilBrowsed([&] { return dnd.pendingRenameCount() == 0; }));
        EXPECT_EQ(readFile(mac.filePath(QStringLiteral("x_y.jpg"))), "backslash");
        EXPECT_EQ(everything(mac.path()), (QStringList{"2 x_y.jpg", "x_y.jpg"}));
    }

    // The helper goes while its copy runs (the window's phone changed, the
    // window closed): the copy still lands, no hidden folder stays behind.
    QTemporaryDir desk;
    {
        FileDragAndDrop gone(manager);
        ASSERT_TRUE(gone.copyToComputer(odd, desk.path(), false));
    }
    ASSERT_TRUE(runUntilBrowsed([&] {
        return readFile(QDir(desk.path()).filePath(QStringLiteral("x_y.jpg"))) == "backslash"
            && everything(desk.path()).size() == 1;
    })) << everything(desk.path()).join(QLatin1Char(',')).toStdString();
}

// Finished files go into place without ever replacing unasked, also against
// a file that appeared meanwhile or a link.
TEST(FileDragAndDropPlaceTest, PuttingIntoPlaceReplacesOnlyWhenAsked)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto made = [&](const char* name, const char* text) {
        writeFile(dir.filePath(QLatin1String(name)), text);
        return dir.filePath(QLatin1String(name));
    };
    const QString target = dir.filePath(QStringLiteral("a.txt"));
    EXPECT_EQ(FileDragAndDrop::putIntoPlace(made(".in1", "one"), target, false), target) << "a free name";
    EXPECT_EQ(FileDragAndDrop::putIntoPlace(made(".in2", "two"), target, false),
              dir.filePath(QStringLiteral("2 a.txt")));
    EXPECT_EQ(FileDragAndDrop::putIntoPlace(made(".in3", "three"), target, false),
              dir.filePath(QStringLiteral("3 a.txt")));
    EXPECT_EQ(readFile(target), "one");
    EXPECT_EQ(FileDragAndDrop::putIntoPlace(made(".in4", "four"), target, true), target);
    EXPECT_EQ(readFile(target), "four");
    // A link at the target is replaced itself, never written through.
    const QString outside = made("outside.txt", "outside");
    ASSERT_TRUE(QFile::link(outside, dir.filePath(QStringLiteral("l.txt"))));
    EXPECT_EQ(FileDragAndDrop::putIntoPlace(made(".in5", "five"), dir.filePath(QStringLiteral("l.txt")), true),
              dir.filePath(QStringLiteral("l.txt")));
    EXPECT_EQ(readFile(outside), "outside");
    EXPECT_FALSE(QFileInfo(dir.filePath(QStringLiteral("l.txt"))).isSymLink());
    // A folder of the name is never replaced; the file stays where it was.
    QDir(dir.path()).mkdir(QStringLiteral("d"));
    const QString six = made(".in6", "six");
    EXPECT_TRUE(FileDragAndDrop::putIntoPlace(six, dir.filePath(QStringLiteral("d")), true).isEmpty());
    EXPECT_EQ(readFile(six), "six");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{".in6", "2 a.txt", "3 a.txt", "a.txt", "l.txt", "outside.txt"}));
}

TEST_F(FileBrowserTest, AddingFilesUploadsRefusesDotFilesAndAsksBeforeReplacing)
{
    ASSERT_TRUE(openAndWait("/PHONE/Pictures"));
    writeFile(mac.filePath(QStringLiteral("new.jpg")), "new picture");
    writeFile(mac.filePath(QStringLiteral(".hidden")), "secret");
    writeFile(mac.filePath(QStringLiteral("a.jpg")), "replacement");

    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(mac.filePath(QStringLiteral("new.jpg"))),
                  QUrl::fromLocalFile(mac.filePath(QStringLiteral(".hidden")))});
    EXPECT_TRUE(view.acceptsDrop(&drop));
    EXPECT_TRUE(view.dropFiles(&drop, QStringLiteral("/PHONE/Pictures")));
    EXPECT_TRUE(view.lastMessage().contains(QStringLiteral(".hidden"))) << view.lastMessage().toStdString();
    ASSERT_TRUE(runUntilBrowsed([&] {
        return readFile(phone + QStringLiteral("/Pictures/new.jpg")) == "new picture" && settled("/PHONE/Pictures");
    }));
    EXPECT_FALSE(QFileInfo::exists(phone + QStringLiteral("/Pictures/.hidden")));

    // Ctrl+V takes the clipboard's files into the current folder.
    writeFile(mac.filePath(QStringLiteral("pasted.jpg")), "pasted picture");
    auto* clip = new QMimeData;
    clip->setUrls({QUrl::fromLocalFile(mac.filePath(QStringLiteral("pasted.jpg")))});
    QApplication::clipboard()->setMimeData(clip);
    view.tree()->setCurrentItem(view.itemForPath(QStringLiteral("/PHONE/Pictures/b.jpg")));
    QTest::keyClick(view.tree(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(runUntilBrowsed([&] {
        return readFile(phone + QStringLiteral("/Pictures/pasted.jpg")) == "pasted picture" && settled("/PHONE/Pictures");
    }));
    // Backspace goes up to the folder.
    QTest::keyClick(view.tree(), Qt::Key_Backspace);
    EXPECT_EQ(view.tree()->currentItem(), view.itemForPath(QStringLiteral("/PHONE/Pictures")));

    answer = false;
    EXPECT_EQ(view.addFiles({mac.filePath(QStringLiteral("a.jpg"))}, QStringLiteral("/PHONE/Pictures")), 0);
    EXPECT_EQ(asked, QStringList{"overwrite a.jpg"});
    testing_support::runFor(0.5);
    EXPECT_EQ(readFile(phone + QStringLiteral("/Pictures/a.jpg")), "picture a");
}

TEST_F(FileBrowserTest, DeleteAsksAndPostsTheFolderDelete)
{
    ASSERT_TRUE(openAndWait("/PHONE/Pictures"));
    select({QStringLiteral("/PHONE/Pictures/Holiday")});
    answer = false;
    QTest::keyClick(view.tree(), Qt::Key_Delete);
    EXPECT_EQ(asked, QStringList{"delete 1"});
    testing_support::runFor(0.5);
    EXPECT_TRUE(QFileInfo(phone + QStringLiteral("/Pictures/Holiday")).isDir()) << "nothing without the answer";

    answer = true;
    select({QStringLiteral("/PHONE/Pictures/Holiday")});
    EXPECT_TRUE(view.deleteSelection());
    ASSERT_TRUE(runUntilBrowsed([&] { return !QFileInfo::exists(phone + QStringLiteral("/Pictures/Holiday")); }));
    ASSERT_TRUE(runUntilBrowsed([&] { return view.itemForPath(QStringLiteral("/PHONE/Pictures/Holiday")) == nullptr; }));

    // Ctrl+Shift+N makes a folder in the current one.
    view.setAskers({{}, {}, {}, {}, [] { return QStringLiteral("Made"); }});
    view.tree()->setCurrentItem(view.itemForPath(QStringLiteral("/PHONE/Pictures")));
    QTest::keyClick(view.tree(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(runUntilBrowsed([&] { return QFileInfo(phone + QStringLiteral("/Pictures/Made")).isDir(); }));

    // F5 reloads after a short pause.
    QTest::keyClick(view.tree(), Qt::Key_F5);
    EXPECT_TRUE(view.reloadPending());
    testing_support::runFor(0.4);
    EXPECT_FALSE(view.reloadPending());
}

TEST_F(FileBrowserTest, AnArchiveShowsItsSnapshotAndOffersOnlyTheCopyToTheComputer)
{
    // An archive whose mirror holds two snapshots and the copy of one picture.
    const QString anchor = dir.filePath(QStringLiteral("K700.dzmir"));
    platform::plist::writeFile(anchor + QStringLiteral("/History/MirrorFileSystem-20230101-120000"),
                               QVariantMap{{"/[0]/Old", QVariantMap{{"UniqueID", 0}}}});
    platform::plist::writeFile(anchor + QStringLiteral("/History/MirrorFileSystem-20240101-120000"),
                               QVariantMap{{"/[0]/Pics", QVariantMap{{"UniqueID", 0}}},
                                           {"/[0]/Pics/a.jpg", QVariantMap{{"UniqueID", 5}}}});
    platform::plist::writeFile(anchor + QStringLiteral("/Info.plist"), QVariantMap{{"CFBundleVersion", "10"}});
    writeFile(anchor + QStringLiteral("/Files/a.jpg"), QByteArray(5432, 'p'));
    auto history = std::make_unique<MFDevice>(
        QLatin1String(MFDevice::kHistory), std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"}}),
        QVariantMap{{"Dorvanti.Model", "K700"}, {"Dorvanti.Manufacturer", "Sony Ericsson"}}, nullptr,
        testing_support::storagePhoneMakers());
    auto archive = FilesMirror::mirrorWithDevice(*history, anchor);
    ASSERT_TRUE(archive);
    const QVariantMap located{{FTPFileLocations::kDeviceEntry, QVariantMap{{"name", "a.jpg"}, {"size", 5432}}},
                              {FTPFileLocations::kState, FTPFileLocations::kReal},
                              {FTPFileLocations::kPath, "/Files/a.jpg"}};
    archive->fileLocations().setEntry(&located, 5);
    history->jumpToHistoryIndex(1);
    view.setMFDevice(history.get());
    view.activate();
    EXPECT_FALSE(view.actionButton(QStringLiteral("copyToComputer"))->isHidden());
    for (const char* name : {"addFiles", "newFolder", "delete", "reload"})
        EXPECT_TRUE(view.actionButton(QLatin1String(name))->isHidden()) << name;
    ASSERT_TRUE(view.openFolder(QStringLiteral("/[0]/Pics")));
    ASSERT_NE(view.itemForPath(QStringLiteral("/[0]/Pics/a.jpg")), nullptr) << "the snapshot's tree";
    EXPECT_EQ(view.itemForPath(QStringLiteral("/[0]/Old")), nullptr);
    EXPECT_EQ(history->actionMachine()->actionCount(), 0u) << "an archive is never listed";

    select({QStringLiteral("/[0]/Pics/a.jpg")});
    EXPECT_TRUE(view.copySelectionToComputer(mac.path()));
    ASSERT_TRUE(runUntilBrowsed([&] { return readFile(mac.filePath(QStringLiteral("a.jpg"))).size() == 5432; }));
    ASSERT_TRUE(runUntilBrowsed([&] { return view.archiveCopiesInProgress() == 0; }));

    // Copying again asks; the user's file of the temporary copy's old name
    // stays, and no temporary file is left.
    writeFile(mac.filePath(QStringLiteral("a.jpg")), "mine");
    writeFile(mac.filePath(QStringLiteral("a.jpg.part")), "my part");
    asked.clear();
    EXPECT_TRUE(view.copySelectionToComputer(mac.path()));
    EXPECT_EQ(asked, QStringList{"overwrite a.jpg"});
    ASSERT_TRUE(runUntilBrowsed([&] { return view.archiveCopiesInProgress() == 0; }));
    EXPECT_EQ(readFile(mac.filePath(QStringLiteral("a.jpg"))).size(), 5432);
    EXPECT_EQ(readFile(mac.filePath(QStringLiteral("a.jpg.part"))), "my part");
    EXPECT_EQ(QDir(mac.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{"a.jpg", "a.jpg.part"}));

    // A copy that fails says so (a folder of the name cannot be replaced).
    QDir(mac.path()).mkpath(QStringLiteral("sub/a.jpg"));
    EXPECT_TRUE(view.copySelectionToComputer(mac.filePath(QStringLiteral("sub"))));
    ASSERT_TRUE(runUntilBrowsed([&] { return view.archiveCopiesInProgress() == 0; }));
    EXPECT_TRUE(view.lastMessage().contains(QStringLiteral("could not be copied"))) << view.lastMessage().toStdString();
    EXPECT_EQ(
        QDir(mac.filePath(QStringLiteral("sub"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"a.jpg"});

    writeFile(mac.filePath(QStringLiteral("new.jpg")), "new picture");
    EXPECT_EQ(view.addFiles({mac.filePath(QStringLiteral("new.jpg"))}, QStringLiteral("/[0]/Pics")), 0);
    EXPECT_FALSE(view.newFolder(QStringLiteral("X")));
    EXPECT_FALSE(view.deleteSelection());
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(mac.filePath(QStringLiteral("new.jpg")))});
    EXPECT_FALSE(view.acceptsDrop(&drop));
    view.setMFDevice(nullptr);
    history->actionMachine()->announceQuitWithLoops(5);
}

// The file browser in its window: the queue shows the copies both ways.
TEST_F(FileBrowserTest, TheWindowsFileBrowserShowsItsJobsInTheQueue)
{
    struct PhoneHost : devicewindow_tests::RecordingHost {
        bool hasDevice(const DeviceWindowController*) override { return true; }
    } host;
    DeviceWindowController controller(&host);
    controller.window()->resize(900, 640);
    controller.setMFDevice(device.get());
    controller.window()->show();
    testing_support::runFor(0.1);
    DeviceWindowCenters* centers = controller.centers();
    centers->switchToNamedCenter(DeviceToolbar::kMobileFinder);
    MobileFinderView* files = centers->mobileFinderView();
    ASSERT_EQ(centers->currentToolView(), files);
    EXPECT_TRUE(files->tree()->hasFocus() || !controller.window()->isActiveWindow()) << "the tree takes the keys";
    QStringList asked;
    files->setAskers({[&asked](int) { asked << QStringLiteral("delete"); return true; },
                      [&asked](const QString&) { asked << QStringLiteral("overwrite"); return true; }, {}, {}, {}});
    ASSERT_TRUE(runUntilBrowsed([&] { return settled("/"); }));
    ASSERT_TRUE(runUntilBrowsed([&] { return files->itemForPath(QStringLiteral("/PHONE")) != nullptr; }));
    files->openFolder(QStringLiteral("/PHONE"));
    ASSERT_TRUE(runUntilBrowsed([&] { return bool(entry("/PHONE/Pictures")); }));
    files->openFolder(QStringLiteral("/PHONE/Pictures"));
    ASSERT_TRUE(runUntilBrowsed([&] { return settled("/PHONE/Pictures"); }));
    testing_support::runFor(0.2);
    files->tree()->setCurrentItem(files->itemForPath(QStringLiteral("/PHONE/Pictures/a.jpg")));

    ActionMasterHdlr* queue = controller.actionMasterHdlr();
    ASSERT_NE(queue, nullptr);
    ASSERT_TRUE(files->copySelectionToComputer(mac.path()));
    writeFile(mac.filePath(QStringLiteral("upload.jpg")), QByteArray(200000, 'u'));
    ASSERT_EQ(files->addFiles({mac.filePath(QStringLiteral("upload.jpg"))}, QStringLiteral("/PHONE/Pictures")), 1);
    EXPECT_GE(queue->table()->feedBackList().size(), 1) << "the jobs are rows of the queue";
    devicewindow_tests::takeScreenPictures(controller.window(), QStringLiteral("xvfb-file-browser-pictures"), 0.05);
    ASSERT_TRUE(runUntilBrowsed([&] {
        return readFile(mac.filePath(QStringLiteral("a.jpg"))) == "picture a"
            && readFile(phone + QStringLiteral("/Pictures/upload.jpg")).size() == 200000;
    }));
    ASSERT_TRUE(runUntilBrowsed([&] { return bool(entry("/PHONE/Pictures/upload.jpg")) && settled("/PHONE/Pictures"); }));
    EXPECT_TRUE(asked.isEmpty());
    testing_support::runFor(1.0);
    files->tree()->setCurrentItem(files->itemForPath(QStringLiteral("/PHONE/Pictures/upload.jpg")));
    devicewindow_tests::takeScreenPictures(controller.window(), QStringLiteral("xvfb-file-browser-after-copies"));

    // Home: the phone's summary and Back Up Now.
    centers->switchToNamedCenter(DeviceToolbar::kHome);
    HistoryView* home = centers->historyView();
    ASSERT_EQ(centers->currentToolView(), home);
    EXPECT_EQ(home->connectionLabel()->text(), QStringLiteral("Connected over USB-MassStorage"));
    controller.validateMenus();
    const auto rowsBefore = queue->table()->feedBackList().size();
    if (home->backUpNowButton()->isEnabled()) {
        home->backUpNowButton()->click();
        EXPECT_GT(queue->table()->feedBackList().size(), rowsBefore) << "the backup is a row of the queue";
    }
    devicewindow_tests::takeScreenPictures(controller.window(), QStringLiteral("xvfb-connection-center-live"), 0.2);
    controller.setMFDevice(nullptr);
}

} // namespace

