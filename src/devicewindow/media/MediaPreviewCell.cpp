#include "devicewindow/media/MediaPreviewCell.h"

#include "devicewindow/media/ImageFile.h"

#include "platform/gui/Images.h"
#include "widgets/ProgressCycle.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
const QString kCellImageBundle = QStringLiteral("program");

MediaPreviewCell::Loader& cellLoader()
{
    static MediaPreviewCell::Loader loader = [](const QString& path, bool video, QObject* context,
                                                thumbnails::Done done) {
        if (video)
            thumbnails::makeVideo(path, context, std::move(done));
        else
            thumbnails::makePicture(path, context, std::move(done));
    };
    return loader;
}

// The three pictures of the class, loaded once.
const QImage& cellPicture(const QString& name)
{
    static const QImage movie = platform::gui::image(kCellImageBundle, MediaPreviewCell::kMissingMovie);
    static const QImage picture = platform::gui::image(kCellImageBundle, MediaPreviewCell::kMissingPicture);
    static const QImage clip = platform::gui::image(kCellImageBundle, MediaPreviewCell::kCameraClip);
    return name == MediaPreviewCell::kMissingMovie ? movie : name == MediaPreviewCell::kMissingPicture ? picture : clip;
}
} // namespace

void MediaPreviewCell::setLoader(Loader loader)
{
    cellLoader() = std::move(loader);
}

MediaPreviewCell::MediaPreviewCell() = default;

MediaPreviewCell::~MediaPreviewCell()
{
    setProgress(-2);
}

std::shared_ptr<MediaPreviewCell> MediaPreviewCell::copy() const
{
    auto made = std::make_shared<MediaPreviewCell>();
    made->progress_ = progress_;
    made->image_ = image_;
    made->fastImage_ = fastImage_;
    made->mediaFile_ = mediaFile_;
    made->timeString_ = timeString_;
    made->title_ = title_;
    made->canDrawHighlite_ = canDrawHighlite_;
    made->trackHighlite_ = trackHighlite_;
    return made;
}

QRectF MediaPreviewCell::imageFrameForCellFrame(const QRectF& cell, const QSizeF& picture, bool highCell)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return QRectF();
    const double band = highCell ? 8.0 : 32.0;
    const double ah = cell.height() - band;
    const double aw = ah * 4.0 / 3.0 - 8.0;
    const double iw = picture.width();
    const double ih = picture.height();
    if (iw > ih) {
        const double height = aw * ih / iw;
        return QRectF(cell.x() + (cell.width() - aw) / 2.0, cell.y() + (ah - height) / 2.0, aw, height);
    }
    const double width = ah * iw / ih;
    return QRectF(cell.x() + (cell.width() - aw) / 2.0 + (aw - width) / 2.0, cell.y(), width, ah);
}

QRectF MediaPreviewCell::imageFrameForCellFrame(const QRectF& cell) const
{
    return imageFrameForCellFrame(cell, image_.size(), highCell_);
}

void MediaPreviewCell::setControlView(QWidget* view, std::function<void()> refresh)
{
    controlView_ = view;
    refresh_ = std::move(refresh);
}

void MediaPreviewCell::setImage(const QImage& image)
{
    if (image.cacheKey() != image_.cacheKey())
        fastImage_ = QImage();
    image_ = image;
}

bool MediaPreviewCell::isMovie() const
{
    return mediaFile_ && mediaFile_->isVideo();
}

QString MediaPreviewCell::previewPath() const
{
    return mediaFile_ ? mediaFile_->previewPath() : QString();
}

QImage MediaPreviewCell::getFastImage()
{
    if (fastImage_.isNull() && !image_.isNull()) {
        const int longer = std::max(image_.width(), image_.height());
        const double scale = std::min(1.0, double(kFastImageSide) / longer);
        fastImage_ = image_.scaled(std::max(1, int(image_.width() * scale)), std::max(1, int(image_.height() * scale)),
                                   Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    return fastImage_;
}

QString MediaPreviewCell::timeText(qint64 seconds)
{
    return QString::asprintf("%02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
}

void MediaPreviewCell::setPreview(const std::shared_ptr<ImageFile>& file)
{
    mediaFile_ = file;
    timeString_.clear();
    loadDue_ = false;
    if (!file)
        return;
    title_ = QFileInfo(file->fileName()).completeBaseName();
    if (const auto& cached = file->getCachedImage()) {
        if (file->isVideo() && file->duration())
            timeString_ = timeText(*file->duration());
        setImage(*cached);
        return;
    }
    setImage(QImage());
    loadDue_ = true;
}

void MediaPreviewCell::refreshCell()
{
    setPreview(mediaFile_);
    if (refresh_)
        refresh_();
}

bool MediaPreviewCell::checkRefresh()
{
    if (!image_.isNull() || !mediaFile_)
        return !image_.isNull();
    if (!loadDue_ || loading_)
        return false;
    const QString path = mediaFile_->previewPath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;   // no local copy yet: the copy's end loads it again
    loadDue_ = false;
    loading_ = true;
    std::weak_ptr<MediaPreviewCell> self = weak_from_this();
    std::shared_ptr<ImageFile> file = mediaFile_;
    QObject* context = controlView_ ? static_cast<QObject*>(controlView_.data()) : nullptr;
    if (!context) {
        loading_ = false;
        return false;
    }
    cellLoader()(path, file->isVideo(), context, [self, file](const Thumbnail& made) {
        if (auto cell = self.lock())
            cell->takeThumbnail(file, made);
    });
    return false;
}

void MediaPreviewCell::takeThumbnail(const std::shared_ptr<ImageFile>& file, const Thumbnail& made)
{
    loading_ = false;
    file->setCachedImage(made.image.isNull() ? std::nullopt : std::optional<QImage>(made.image));
    if (made.seconds && !made.image.isNull())
        file->setDuration(*made.seconds);
    if (file != mediaFile_)
        return;
    if (made.image.isNull()) {
        // Shown as missing, and tried again at the next refresh.
        setImage(cellPicture(file->isVideo() ? kMissingMovie : kMissingPicture));
        return;
    }
    if (file->isVideo() && file->duration())
        timeString_ = timeText(*file->duration());
    setImage(made.image);
}

double MediaPreviewCell::ringSide(double cellWidth)
{
    return std::max(30.0, cellWidth / 4.6);
}

bool MediaPreviewCell::setProgress(int percent)
{
    if (percent < 0) {
        const bool removed = bool(progress_);
        progress_.reset();
        if (percent != -2)
            refreshCell();
        return removed;
    }
    bool made = false;
    if (!progress_) {
        if (!controlView_)
            return false;
        auto* ring = new ProgressCycle(controlView_);
        ring->setGeometry(-99, -99, 8, 8);
        ring->setMinValue(0);
        ring->setMaxValue(100);
        if (mediaFile_ && mediaFile_->isInExport())
            ring->setBackGroundColor(QColor::fromRgbF(0.69f, 0.1f, 0.1f, 1.0f));
        ring->show();
        progress_ = std::shared_ptr<ProgressCycle>(ring, [](ProgressCycle* gone) {
            gone->hide();
            gone->deleteLater();
        });
        made = true;
    }
    if (percent == 0) {
        progress_->setIndeterminate(true);
        progress_->setDoubleValue(0);
        progress_->startAnimation();
    } else {
        progress_->setIndeterminate(false);
        progress_->setDoubleValue(percent);
    }
    return made;
}

void MediaPreviewCell::drawWithFrame(QPainter& painter, const QRectF& frame, const DrawState& state)
{
    // A picture that is due is made through the control view's pump (one
    // per tick), never by the drawing itself.
    if (loadDue_ && !loading_ && image_.isNull() && mediaFile_ && refresh_)
        refresh_();
    painter.save();
    painter.fillRect(frame, Qt::white);
    const QImage picture = state.liveResize ? getFastImage() : image_;
    const QRectF area = imageFrameForCellFrame(frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !state.liveResize);
    if (!picture.isNull() && !area.isEmpty()) {
        if (drawShadow_ && !state.liveResize) {
            // Offset (2, 2) down-right, softened over the blur radius.
            const QRectF shadow = area.translated(2, 2);
            for (int step = int(kShadowBlur); step > 0; --step) {
                QColor colour = QColor::fromRgbF(0.5f, 0.5f, 0.5f, float(0.8 / kShadowBlur));
                painter.fillRect(shadow.adjusted(-step / 2.0, -step / 2.0, step / 2.0, step / 2.0), colour);
            }
        }
        painter.drawImage(area, picture);
        if (isMovie()) {
            const QRectF strip(area.left(), area.bottom() - kStripHeight, area.width(), kStripHeight);
            painter.fillRect(strip, QColor::fromRgbF(0.1333f, 0.1333f, 0.1333f, 0.6f));
            painter.setPen(Qt::black);
            painter.drawRect(strip);
            const QImage& clip = cellPicture(kCameraClip);
            const QRectF mark(strip.left() + 2, strip.top() + 2, (kStripHeight - 4) * clip.width() / std::max(1, clip.height()),
                              kStripHeight - 4);
            painter.drawImage(mark, clip);
            if (!timeString_.isEmpty()) {
                QFont font = painter.font();
                font.setPixelSize(12);
                painter.setFont(font);
                painter.setPen(Qt::white);
                painter.drawText(strip.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, timeString_);
            }
        }
        if (canDrawHighlite_ && (state.highlighted || trackHighlite_) && state.enabled) {
            painter.setPen(QPen(QColor(0x2a, 0x6f, 0xd6), 3));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(area.adjusted(-1.5, -1.5, 1.5, 1.5));
        }
    }
    const double band = highCell_ ? 8.0 : 32.0;
    const QRectF titleRect(frame.left(), frame.bottom() - band, frame.width(), 32.0);
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.drawText(titleRect.adjusted(2, 2, -2, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     painter.fontMetrics().elidedText(title_, Qt::ElideMiddle, int(frame.width() * 1.8)));
    painter.restore();
    if (progress_) {
        const double side = ringSide(frame.width());
        const QRectF base = area.isEmpty() ? QRectF(frame.topLeft() + QPointF(5, 5), QSizeF(1, 1)) : area;
        const QRect ring = QRectF(base.left() - 5, base.top() - 5, side, side).toRect();
        if (progress_->geometry() != ring)
            progress_->setGeometry(ring);
    }
}
