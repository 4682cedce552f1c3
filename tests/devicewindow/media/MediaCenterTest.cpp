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
#include "VirtualTime.h"

#include <QBuffer>
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
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
        platform::UsbDevice d;
        d.location = QStringLiteral("1-2");
        d.vendorId = 0x1004;
        d.productId = 0x6000;
        d.vendorName = QStringLiteral("LG Electronics Inc.");
        d.productName = QStringLiteral("LG Mobile");
        d.serialNumber = QStringLiteral("0123456789");
        d.volumes.append({QStringLiteral("sdb1"), phone});
        registry->addInterface(registry->addDevice(d), 0, platform::UsbRegistry::kClassMassStorage);

        MFDevice::Makers makers;
        filejobs::install(makers);
        makers.massStorageFTP = [](MFDevice& owner, const QVariantMap& dict) {
            return std::make_unique<USBMassStorageConnection>(owner, dict);
        };
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"USB.VendorID", 0x1004}, {"USB.ProductID", 0x6000}, {"Common.SerialNo", "0123456789"}});
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
