#pragma once

#include "devicewindow/media/ThumbnailMaker.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

class ImageFile;
class ProgressCycle;
class QPainter;
class QWidget;

// One thumbnail of the media grid (a cell drawn by its control view, not a
// widget of its own): the picture or a video's poster frame in a 4:3 area
// with a shadow, the title line below, a running-time strip on videos and a
// progress ring while the file is copied or exported. The picture is made
// off the GUI thread when the grid's refresh pump asks for it.
class MediaPreviewCell : public std::enable_shared_from_this<MediaPreviewCell> {
public:
    static constexpr int kFastImageSide = 99;
    static constexpr double kStripHeight = 16.0;
    static constexpr double kShadowBlur = 6.0;
    static inline const QString kMissingMovie = QStringLiteral("MissingMovie");
    static inline const QString kMissingPicture = QStringLiteral("MissingPicture");
    static inline const QString kCameraClip = QStringLiteral("QVBCameraClip");

    // How a picture of a file is made; tests put their own in place.
    using Loader = std::function<void(const QString& path, bool video, QObject* context, thumbnails::Done done)>;
    static void setLoader(Loader loader);

    MediaPreviewCell();
    ~MediaPreviewCell();
    MediaPreviewCell(const MediaPreviewCell&) = delete;
    MediaPreviewCell& operator=(const MediaPreviewCell&) = delete;

    // A copy that shares the ring, the pictures, the file and the time.
    std::shared_ptr<MediaPreviewCell> copy() const;

    // The thumbnail area of a cell frame for a picture of the given size:
    // the zero rectangle without picture; the band below is 8 points on a
    // high cell, else 32.
    static QRectF imageFrameForCellFrame(const QRectF& cell, const QSizeF& picture, bool highCell);
    QRectF imageFrameForCellFrame(const QRectF& cell) const;

    void setCanDrawHighlite(bool on) { canDrawHighlite_ = on; }
    void setDrawShadow(bool on) { drawShadow_ = on; }
    void setHighCell(bool on) { highCell_ = on; }
    bool isHighCell() const { return highCell_; }
    void setTrackHighlite(bool on) { trackHighlite_ = on; }
    bool isTrackHighlite() const { return trackHighlite_; }
    void setTitle(const QString& title) { title_ = title; }
    QString title() const { return title_; }
    QString timeString() const { return timeString_; }
    // The control view the cell draws in and puts its ring on; refresh is
    // how it asks that view's refresh pump to load it again.
    void setControlView(QWidget* view, std::function<void()> refresh);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    void setImageFile(const std::shared_ptr<ImageFile>& file) { mediaFile_ = file; }
    std::shared_ptr<ImageFile> mediaFile() const { return mediaFile_; }
    bool isMovie() const;
    QString previewPath() const;
    // The reduced picture drawn while the view is resized, made once.
    QImage getFastImage();

    // Takes the file, its title and its cached picture; without one the
    // picture is made at the next checkRefresh.
    void setPreview(const std::shared_ptr<ImageFile>& file);
    void refreshCell();
    // Starts making the picture when one is due (never more than one at a
    // time); whether the cell has a picture now.
    bool checkRefresh();
    bool isLoading() const { return loading_; }

    // The ring: p >= 0 shows it (0 turning, else p percent) and answers
    // whether it was made now; p < 0 removes it (answering whether there
    // was one) and, unless p is -2, loads the preview again.
    bool setProgress(int percent);
    ProgressCycle* progress() const { return progress_.get(); }
    static double ringSide(double cellWidth);

    struct DrawState {
        bool highlighted = false;
        bool enabled = true;
        bool liveResize = false;
    };
    void drawWithFrame(QPainter& painter, const QRectF& frame, const DrawState& state);

private:
    void takeThumbnail(const std::shared_ptr<ImageFile>& file, const Thumbnail& made);
    static QString timeText(qint64 seconds);

    std::shared_ptr<ProgressCycle> progress_;
    QImage image_;
    QImage fastImage_;
    std::shared_ptr<ImageFile> mediaFile_;
    QString timeString_;
    QString title_;
    QPointer<QWidget> controlView_;
    std::function<void()> refresh_;
    bool canDrawHighlite_ = false;
    bool trackHighlite_ = false;
    bool drawShadow_ = false;
    bool highCell_ = true;
    bool loadDue_ = false;
    bool loading_ = false;
};
