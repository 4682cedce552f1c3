#include "MediaTestSupport.h"

#include "devicewindow/media/MediaStatusView.h"
#include "devicewindow/media/ThumbnailMaker.h"

#include "VirtualTime.h"

#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A file that counts how often its sizes are read.
class CountingFile : public ImageFile {
public:
    CountingFile() : ImageFile(QStringLiteral("/PHONE/Pictures/a.jpg"), 2048, false) {}
    qint64 fileSize() const override
    {
        ++sizeReads;
        return 2048;
    }
    qint64 getConvertedFileSize() const override
    {
        ++convertedReads;
        return 1024;
    }
    mutable int sizeReads = 0;
    mutable int convertedReads = 0;
};

} // namespace

TEST(MediaStatusRows, SizesAreReadOnceAndTheBarCountsOnlyWhileWorking)
{
    MediaStatusTable table;
    auto file = std::make_shared<CountingFile>();
    file->setUpload(true);
    MediaStatusView* row = table.mediaStatusForImage(file);
    ASSERT_TRUE(row);
    EXPECT_EQ(table.mediaStatusForImage(file), row) << "one row per file";
    EXPECT_EQ(table.mediaStatusForImage(nullptr), nullptr);
    EXPECT_EQ(table.rowCount(), 1);

    EXPECT_EQ(row->statusText(), QStringLiteral("Waiting"));
    EXPECT_EQ(row->progressBar()->maximum(), 0) << "turning while waiting";
    EXPECT_EQ(file->sizeReads, 1);
    EXPECT_EQ(file->convertedReads, 0);

    file->setStatus(ImageFile::kCopying);
    file->setProzDone(30);
    row->updateInfo();
    EXPECT_EQ(row->statusText(), QStringLiteral("Copying"));
    EXPECT_EQ(row->progressBar()->maximum(), 100);
    EXPECT_EQ(row->progressBar()->value(), 30);
    file->setProzDone(70);
    row->updateInfo();
    EXPECT_EQ(row->progressBar()->value(), 70) << "same status: only the bar moves";

    file->setStatus(ImageFile::kConvertingStatus);
    row->updateInfo();
    EXPECT_EQ(file->convertedReads, 0) << "not before the status passes 2";
    file->setStatus(ImageFile::kDone);
    row->updateInfo();
    file->setStatus(ImageFile::kFailed);
    row->updateInfo();
    EXPECT_EQ(row->statusText(), QStringLiteral("Failed"));
    EXPECT_EQ(file->sizeReads, 1) << "the source size is read once";
    EXPECT_EQ(file->convertedReads, 1) << "the converted size is read once";
    EXPECT_EQ(row->sourceSizeText(), QStringLiteral("2.0 KB"));
    EXPECT_EQ(row->convertedSizeText(), QStringLiteral("1.0 KB"));

    // Delete with a selected row asks the table's target.
    int asked = 0;
    table.setTarget([&](MediaStatusTable*) { ++asked; });
    QTest::keyClick(&table, Qt::Key_Delete);
    EXPECT_EQ(asked, 0) << "nothing selected";
    table.selectRow(0);
    QTest::keyClick(&table, Qt::Key_Delete);
    EXPECT_EQ(asked, 1);
}

TEST(MediaThumbnails, PicturesAreReadWithABoundAndBrokenOnesGiveNothing)
{
    QTemporaryDir dir;
    QImage picture(1600, 1200, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir.filePath("big.png")));
    const QImage small = thumbnails::readPicture(dir.filePath("big.png"));
    EXPECT_EQ(small.size(), QSize(320, 240)) << "scaled while reading";

    QFile broken(dir.filePath("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xFF\xD8\xFF\xE0 not a picture");
    broken.close();
    EXPECT_TRUE(thumbnails::readPicture(dir.filePath("broken.jpg")).isNull());

    // A PNG that announces 60000 × 60000 pixels: refused by the bound, not
    // allocated.
    QByteArray header = QByteArray::fromHex("89504E470D0A1A0A0000000D49484452"
                                            "0000EA600000EA600806000000");
    header += QByteArray::fromHex("00000000");   // a wrong CRC is fine: the size is read first
    QFile huge(dir.filePath("huge.png"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(header);
    huge.close();
    EXPECT_TRUE(thumbnails::readPicture(dir.filePath("huge.png")).isNull());

    // The worker answers later, on the GUI thread, never inline.
    QObject context;
    bool answered = false;
    QImage got;
    thumbnails::makePicture(dir.filePath("big.png"), &context, [&](const Thumbnail& made) {
        EXPECT_EQ(QThread::currentThread(), context.thread());
        answered = true;
        got = made.image;
    });
    EXPECT_FALSE(answered);
    testing_support::OutsideInputScope outside(0.02);
    EXPECT_TRUE(testing_support::runUntil([&] { return answered; }, 20.0, 0.05));
    EXPECT_FALSE(got.isNull());
}

TEST(MediaThumbnails, AThreeSecondClipShowsAFrameAndItsRunningTime)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    QProcess make;
    make.start(ffmpeg, {"-v", "error", "-f", "lavfi", "-i", "testsrc=d=3:s=160x120:r=10", "-pix_fmt", "yuv420p",
                        "-c:v", "mpeg4", clip});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

    testing_support::RealTimeScope real;
    QObject context;
    std::optional<Thumbnail> result;
    thumbnails::makeVideo(clip, &context, [&](const Thumbnail& made) { result = made; });
    testing_support::runUntil([&] { return result.has_value(); }, thumbnails::kVideoTimeout + 5, 0.05);
    ASSERT_TRUE(result);
    if (result->image.isNull())
        GTEST_SKIP() << "the Qt Multimedia backend gives no video frame here (GStreamer video decoding or "
                        "a video sink is missing offscreen)";
    ASSERT_TRUE(result->seconds);
    EXPECT_EQ(*result->seconds, 3);

    // Through a cell: the time strip reads 00:00:03.
    auto file = std::make_shared<ImageFile>(QStringLiteral("/PHONE/Videos/clip.mp4"), 1, true);
    file->setPreviewPath(clip);
    QWidget view;
    auto cell = std::make_shared<MediaPreviewCell>();
    cell->setControlView(&view, {});
    cell->setPreview(file);
    EXPECT_FALSE(cell->checkRefresh());
    testing_support::runUntil([&] { return !cell->isLoading(); }, thumbnails::kVideoTimeout + 5, 0.05);
    EXPECT_FALSE(cell->image().isNull());
    EXPECT_EQ(cell->timeString(), QStringLiteral("00:00:03"));

    // A file the backend cannot open: no picture, no time.
    const QString junk = dir.filePath(QStringLiteral("junk.mp4"));
    QFile out(junk);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(4096, 'j'));
    out.close();
    result.reset();
    thumbnails::makeVideo(junk, &context, [&](const Thumbnail& made) { result = made; });
    testing_support::runUntil([&] { return result.has_value(); }, thumbnails::kVideoTimeout + 5, 0.05);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->image.isNull());
    EXPECT_FALSE(result->seconds);
}
