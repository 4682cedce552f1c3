#include "../DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/media/ImageTabViewItem.h"
#include "devicewindow/media/MediaCenterMain.h"
#include "devicewindow/media/MediaStatusView.h"
#include "devicewindow/media/PreviewMatrix.h"
#include "devicewindow/queue/ActionMasterHdlr.h"
#include "devicewindow/queue/ActionMediaCell.h"

#include "MediaTestSupport.h"

#include "device/MFDeviceInfo.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FilesMirror.h"
#include "phone/PhoneFolders.h"
#include "phone/MFDevice.h"
#include "phone/USBMassStorageConnection.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/UsbRegistrySimulated.h"
#include "platform/gui/TestArtifacts.h"

#include "TestFiles.h"
#include "SimulatedStoragePhone.h"
#include "VirtualTime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray pngOf(QColor colour, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A mass-storage phone whose one volume is a temporary folder ("/PHONE"),
// with two pictures and a broken one in Pictures, in a device window.
class MediaCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid() && desk.isValid());
        phone = dir.filePath(QStringLiteral("PHONE"));
        QDir().mkpath(phone + QStringLiteral("/Pictures"));
        QDir().mkpath(phone + QStringLiteral("/Videos"));
        testing_support::writeFile(phone + "/Pictures/red.png", pngOf(Qt::red, {64, 48}));
        testing_support::writeFile(phone + "/Pictures/tall.png", pngOf(Qt::blue, {30, 60}));
        testing_support::writeFile(phone + "/Pictures/broken.jpg", "\xFF\xD8 nothing");
        testing_support::writeFile(phone + "/Pictures/notes.txt", "not media");
        registry = testing_support::plugInStoragePhone(phone);

        const MFDevice::Makers makers = testing_support::storagePhoneMakers();
        auto dict = testing_support::storagePhoneDict();
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.USB_RequiredPath_Int", "Pictures"},
                              {"Dorvanti.PicturesFolder", "Pictures"},
                              {"Dorvanti.VideosFolder", "Videos"},
                              {"Dorvanti.TopLevelVolumes", "1"}};
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, nullptr, makers);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.filePath(QStringLiteral("KU990.dzmir")));
        ASSERT_TRUE(mirror);
        // As at the connection: the phone's volumes are arranged.
        auto* storage = dynamic_cast<USBMassStorageConnection*>(device->ftpConnection());
        ASSERT_TRUE(storage);
        auto root = manager->root();
        root->update();
        ASSERT_TRUE(runUntil([&] { return root->status() == dztree::kUpToDate && !root->hasActionsInProgress(); }));
        storage->arrangeVolumes(QStringLiteral("PHONE"), QString(), {});
        controller = std::make_unique<DeviceWindowController>(&host);
        controller->window()->resize(760, 620);
        controller->setMFDevice(device.get());
        testing_support::runFor(0.05);
    }
    void TearDown() override
    {
        media_test::FakeLoader::restore();
        if (controller)
            controller->setMFDevice(nullptr);
        controller.reset();
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
        platform::UsbRegistry::setShared(nullptr);
    }
    MediaCenterMain* openMediaCenter()
    {
        controller->centers()->switchToNamedCenter(DeviceToolbar::kMediaCenter);
        return qobject_cast<MediaCenterMain*>(controller->centers()->mediaCenterMain());
    }
    static bool runUntil(const std::function<bool()>& predicate, double seconds = 60.0)
    {
        return testing_support::runUntil(predicate, seconds, 0.05);
    }

    testing_support::OutsideInputScope outside{0.01};
    devicewindow_tests::RecordingHost host;
    QTemporaryDir dir;
    QTemporaryDir desk;
    QString phone;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<DeviceWindowController> controller;
};

} // namespace

TEST_F(MediaCenterTest, PhotosAreListedMirroredAndShownThenUploadedAndDeleted)
{
    device->devInfo()->setObject(ImageTabViewItem::kPhotoVideo, MediaCenterMain::kLastTabKey);
    MediaCenterMain* center = openMediaCenter();
    ASSERT_TRUE(center) << "the media center replaces the placeholder";
    EXPECT_EQ(center->objectName(), QStringLiteral("MediaCenterMainView"));
    ImageTabViewItem* photos = center->currentTab();
    ASSERT_TRUE(photos);
    EXPECT_EQ(photos->kind(), ImageTabViewItem::kPhotoVideo) << "the remembered tab";
    ASSERT_FALSE(photos->mediaFolders().isEmpty());

    PreviewMatrix* grid = photos->matrix();
    ASSERT_TRUE(runUntil([&] { return grid->count() == 3; })) << "pictures only, no text file";
    ASSERT_TRUE(runUntil([&] {
        for (int i = 0; i < 3; ++i)
            if (!grid->getMediaCell(i)->mediaFile()->previewPath().size() || grid->getMediaCell(i)->image().isNull())
                return false;
        return !grid->isRefreshRunning();
    })) << "each file is mirrored, then its thumbnail shows";
    int missing = 0;
    for (int i = 0; i < 3; ++i) {
        const auto file = grid->getMediaCell(i)->mediaFile();
        EXPECT_TRUE(file->previewPath().startsWith(dir.path())) << "made from the mirror copy";
        missing += file->getCachedImage() ? 0 : 1;
    }
    EXPECT_EQ(missing, 1) << "the broken file keeps no picture";
    EXPECT_EQ(photos->statusTable()->rowCount(), 3) << "every mirror copy has its status row";
    platform::gui::saveGrab(controller->window(), QStringLiteral("media-center-photos"));

    // A drop uploads with one copy-to-phone job, a status row and a queue row.
    const QString picture = desk.filePath(QStringLiteral("new.png"));
    testing_support::writeFile(picture, pngOf(Qt::green, {40, 30}));
    const int jobsBefore = int(photos->jobs().size());
    photos->importMediaFiles({picture, desk.filePath(QStringLiteral("missing.doc"))});
    ASSERT_EQ(photos->uploads().size(), 1u);
    ASSERT_EQ(int(photos->jobs().size()), jobsBefore + 1);
    const auto upload = photos->uploads().front();
    const auto job = photos->jobs().back();
    EXPECT_EQ(ActionMediaCell::mediaEntryOf(*job), upload) << "the queue row finds its media entry";
    EXPECT_TRUE(controller->actionMasterHdlr()->equalFeedBackInMaster(job)) << "a queue row";
    EXPECT_TRUE(photos->statusTable()->mediaStatusForImage(upload));
    EXPECT_EQ(photos->statusTable()->rowCount(), 4);
    int conversions = -1;
    int transfers = -1;
    if (job->hasEnded()) {
        ADD_FAILURE() << "the upload ended at once; cannot see it running";
    } else {
        EXPECT_TRUE(MediaCenterMain::checkAllForMediaProzesses(conversions, transfers));
        EXPECT_EQ(transfers, 1) << "the badge counts a running transfer";
    }
    ASSERT_TRUE(runUntil([&] { return upload->getMediaCenterProgressStatus() == ImageFile::kDone; }));
    EXPECT_EQ(testing_support::readFile(phone + "/Pictures/new.png"), testing_support::readFile(picture));
    EXPECT_EQ(photos->statusTable()->mediaStatusForImage(upload)->statusText(), QStringLiteral("Done"));
    ASSERT_TRUE(runUntil([&] { return grid->count() == 4; })) << "the folder is read again";
    EXPECT_FALSE(MediaCenterMain::checkAllForMediaProzesses(conversions, transfers));

    // Delete asks; no answer deletes nothing, yes deletes the selection.
    int asked = 0;
    bool answer = false;
    photos->setConfirm([&](const QString&) {
        ++asked;
        return answer;
    });
    int target = -1;
    for (int i = 0; i < grid->count(); ++i)
        if (grid->getMediaCell(i)->mediaFile()->fileName() == QLatin1String("red.png"))
            target = i;
    ASSERT_GE(target, 0);
    grid->selectCells({target});
    photos->removeSelectedItemsInMatrix();
    EXPECT_EQ(asked, 1);
    testing_support::runFor(0.5);
    EXPECT_TRUE(QFile::exists(phone + "/Pictures/red.png"));
    answer = true;
    grid->selectCells({target});
    photos->removeSelectedItemsInMatrix();
    ASSERT_TRUE(runUntil([&] { return !QFile::exists(phone + "/Pictures/red.png"); }));
    ASSERT_TRUE(runUntil([&] { return grid->count() == 3; }));
    EXPECT_TRUE(QFile::exists(phone + "/Pictures/tall.png")) << "the rest stays";
}

TEST_F(MediaCenterTest, TheWindowsPhotoDropLandsInThePhotoTab)
{
    const QString picture = desk.filePath(QStringLiteral("dropped.png"));
    testing_support::writeFile(picture, pngOf(Qt::green, {40, 30}));
    controller->centers()->transferPhotoFiles({picture});
    auto* center = qobject_cast<MediaCenterMain*>(controller->centers()->mediaCenterMain());
    ASSERT_TRUE(center);
    EXPECT_EQ(center->currentTab()->kind(), ImageTabViewItem::kPhotoVideo);
    ASSERT_EQ(center->currentTab()->uploads().size(), 1u);
    ASSERT_TRUE(runUntil([&] { return QFile::exists(phone + "/Pictures/dropped.png"); }));
    EXPECT_EQ(device->devInfo()->objectForKey(MediaCenterMain::kLastTabKey).toString(), ImageTabViewItem::kPhotoVideo);
}

namespace {

// Under a real X server: a whole-screen picture by xwd into the shots folder.
void screenShot(const QString& name)
{
    testing_support::runFor(0.3);
    QProcess::execute(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"),
                                              qEnvironmentVariable("MARVESTO_XVFB_SHOTS") + QLatin1Char('/') + name +
                                                  QStringLiteral(".xwd")});
}

void xdo(const QStringList& arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
    testing_support::runFor(0.05);
}

QStringList at(const QPoint& global)
{
    return {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())};
}

// Drags with the real pointer from one screen point to another, in one
// xdotool run of its own: the drag's loop runs inside the program meanwhile.
void xdoDrag(const QPoint& from, const QPoint& to)
{
    QStringList arguments = at(from);
    arguments << QStringLiteral("mousedown") << QStringLiteral("1");
    for (int step = 1; step <= 12; ++step)
        arguments << at(from + (to - from) * step / 12) << QStringLiteral("sleep") << QStringLiteral("0.08");
    arguments << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup") << QStringLiteral("1");
    QProcess::startDetached(QStringLiteral("xdotool"), arguments);
    testing_support::runFor(3.0);
}

// A desktop folder window: files dropped on it are copied into its folder.
class FolderWindow : public QLabel {
public:
    explicit FolderWindow(const QString& folder) : folder_(folder)
    {
        setText(QStringLiteral("Desktop folder\n(drop here)"));
        setAlignment(Qt::AlignCenter);
        setAcceptDrops(true);
        setStyleSheet(QStringLiteral("background: #e8eef6; border: 2px dashed #6a8ab0;"));
    }
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override
    {
        for (const QUrl& url : event->mimeData()->urls())
            QFile::copy(url.toLocalFile(), QDir(folder_).filePath(QFileInfo(url.toLocalFile()).fileName()));
        event->acceptProposedAction();
    }

private:
    QString folder_;
};

// A desktop file to drag from.
class FileWindow : public QLabel {
public:
    explicit FileWindow(const QString& file) : file_(file)
    {
        setText(QFileInfo(file).fileName());
        setAlignment(Qt::AlignCenter);
        setStyleSheet(QStringLiteral("background: #f4f1e6; border: 1px solid #a09060;"));
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(file_)});
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction | Qt::LinkAction);
    }

private:
    QString file_;
};

} // namespace

// The media center on the real window system (X, under Xvfb): thumbnails one
// by one, a clip played by double-click, a picture dragged out to a folder
// window and one dragged in from a file window.
// Runs only when MARVESTO_XVFB_SHOTS names a folder and Qt runs on xcb.
TEST_F(MediaCenterTest, RealRunUnderX)
{
    const QString shots = qEnvironmentVariable("MARVESTO_XVFB_SHOTS");
    if (shots.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "a look under Xvfb: set MARVESTO_XVFB_SHOTS and QT_QPA_PLATFORM=xcb";
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    ASSERT_FALSE(ffmpeg.isEmpty());
    ASSERT_EQ(QProcess::execute(ffmpeg, {"-v", "error", "-f", "lavfi", "-i", "testsrc=d=3:s=320x240:r=15",
                                         "-pix_fmt", "yuv420p", "-c:v", "mpeg4", phone + "/Videos/clip.mp4"}),
              0);
    for (int n = 0; n < 4; ++n)
        testing_support::writeFile(phone + QStringLiteral("/Pictures/photo%1.png").arg(n),
                                   pngOf(QColor::fromHsv(n * 80, 160, 220), n % 2 ? QSize(300, 400) : QSize(640, 480)));
    testing_support::RealTimeScope real;

    QWidget* window = controller->window();
    window->move(0, 0);
    window->resize(820, 760);
    window->show();
    device->devInfo()->setObject(ImageTabViewItem::kPhotoVideo, MediaCenterMain::kLastTabKey);
    MediaCenterMain* center = openMediaCenter();
    ASSERT_TRUE(center);
    ImageTabViewItem* photos = center->currentTab();
    PreviewMatrix* grid = photos->matrix();
    ASSERT_TRUE(runUntil([&] { return grid->count() == 8; }, 20));
    screenShot(QStringLiteral("xvfb-media-listing-rings"));
    ASSERT_TRUE(runUntil([&] { return grid->getMediaCell(2) && !grid->getMediaCell(2)->image().isNull(); }, 20));
    screenShot(QStringLiteral("xvfb-media-thumbnails-coming"));
    ASSERT_TRUE(runUntil([&] {
        for (int i = 0; i < grid->count(); ++i)
            if (grid->getMediaCell(i)->image().isNull() || grid->getMediaCell(i)->isLoading())
                return false;
        return !grid->isRefreshRunning();
    }, 40));
    // A ring as a running copy shows it, over the first picture.
    grid->getMediaCell(0)->setProgress(35);
    grid->update();
    screenShot(QStringLiteral("xvfb-media-grid-missing-picture-ring"));
    grid->getMediaCell(0)->setProgress(-2);

    int clip = -1;
    for (int i = 0; i < grid->count(); ++i)
        if (grid->getMediaCell(i)->isMovie())
            clip = i;
    ASSERT_GE(clip, 0);
    auto* scroll = qobject_cast<QScrollArea*>(grid->parentWidget()->parentWidget());
    ASSERT_TRUE(scroll);
    const auto cellCentre = [&](int index) {
        const QRectF frame = grid->cellFrame(index);
        scroll->ensureVisible(int(frame.center().x()), int(frame.center().y()), int(frame.width() / 2),
                              int(frame.height() / 2));
        testing_support::runFor(0.2);
        return grid->mapToGlobal(
            grid->getMediaCell(index)->imageFrameForCellFrame(grid->cellFrame(index)).center().toPoint());
    };
    xdo(at(cellCentre(clip)));
    xdo({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
         QStringLiteral("80"), QStringLiteral("1")});
    EXPECT_TRUE(runUntil([&] { return grid->isInPreview(); }, 5)) << "a double-click plays the clip in its cell";
    testing_support::runFor(1.0);
    screenShot(QStringLiteral("xvfb-media-clip-playing"));
    grid->stopPreview();
    testing_support::runFor(0.5);
    screenShot(QStringLiteral("xvfb-media-clip-stopped"));

    // Drag a picture out to a folder window.
    QTemporaryDir out;
    FolderWindow folder(out.path());
    folder.setWindowTitle(QStringLiteral("Folder"));
    folder.setGeometry(840, 40, 260, 200);
    folder.show();
    const QString sourcePicture = desk.filePath(QStringLiteral("holiday.png"));
    testing_support::writeFile(sourcePicture, pngOf(QColor(240, 200, 40), {400, 300}));
    FileWindow file(sourcePicture);
    file.setGeometry(840, 300, 260, 120);
    file.show();
    testing_support::runFor(0.5);
    int picture = -1;
    for (int i = 0; i < grid->count() && picture < 0; ++i)
        if (!grid->getMediaCell(i)->isMovie() && grid->getMediaCell(i)->mediaFile()->getCachedImage())
            picture = i;
    ASSERT_GE(picture, 0);
    const QString name = grid->getMediaCell(picture)->mediaFile()->fileName();
    xdo(at(cellCentre(picture)));
    xdo({QStringLiteral("click"), QStringLiteral("1")});
    xdoDrag(cellCentre(picture), folder.mapToGlobal(folder.rect().center()));
    EXPECT_TRUE(runUntil([&] { return QFile::exists(out.filePath(name)); }, 5)) << "the picture arrives in the folder";
    screenShot(QStringLiteral("xvfb-media-dragged-out"));

    // Drag a picture in from the file window: uploaded with a status row.
    xdoDrag(file.mapToGlobal(file.rect().center()), grid->mapToGlobal(QPoint(grid->width() / 2, 40)));
    EXPECT_TRUE(runUntil([&] { return QFile::exists(phone + "/Pictures/holiday.png"); }, 10)) << "uploaded";
    EXPECT_TRUE(runUntil([&] { return grid->count() == 9; }, 10));
    testing_support::runFor(1.5);
    screenShot(QStringLiteral("xvfb-media-dropped-in-status-row"));

}
