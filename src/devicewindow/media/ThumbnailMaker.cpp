#include "devicewindow/media/ThumbnailMaker.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMediaPlayer>
#include <QThreadPool>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

namespace thumbnails {

QImage readPicture(const QString& path, int longerSide)
{
    QImageReader reader(path);
    reader.setAllocationLimit(kAllocationLimitMB);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > longerSide || size.height() > longerSide))
        reader.setScaledSize(size.scaled(longerSide, longerSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (image.width() > longerSide || image.height() > longerSide)
        image = image.scaled(longerSide, longerSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

void makePicture(const QString& path, QObject* context, Done done)
{
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([path, guard, done = std::move(done)] {
        Thumbnail made;
        made.image = readPicture(path);
        // The context is asked on the GUI thread only: it may go while the
        // picture is read.
        QMetaObject::invokeMethod(
            qApp, [guard, made, done] {
                if (guard)
                    done(made);
            },
            Qt::QueuedConnection);
    });
}

namespace {
// One hidden player that ends itself with the first frame, an error or the
// time-out.
class VideoProbe : public QObject {
public:
    VideoProbe(const QString& path, QObject* context, Done done)
        : context_(context), done_(std::move(done)), player_(new QMediaPlayer(this)), sink_(new QVideoSink(this))
    {
        player_->setVideoSink(sink_);
        connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
            if (!frame.isValid())
                return;
            QImage image = frame.toImage();
            if (image.isNull())
                return;
            if (made_.image.isNull())
                made_.image = image.scaled(kLongerSide, kLongerSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            durationKnown();
            // The running time may come after the first frame.
            if (made_.seconds)
                finish();
            else if (!durationWait_.isActive())
                durationWait_.start(kDurationWait);
        });
        connect(player_, &QMediaPlayer::durationChanged, this, [this] {
            durationKnown();
            if (made_.seconds && !made_.image.isNull())
                finish();
        });
        durationWait_.setCallback([this] { finish(); });
        connect(player_, &QMediaPlayer::errorOccurred, this, [this] { finish(); });
        connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::EndOfMedia)
                finish();
        });
        timeout_.setCallback([this] { finish(); });
        timeout_.start(kVideoTimeout);
        if (!QFileInfo(path).isFile()) {
            timeout_.start(0);
            return;
        }
        player_->setSource(QUrl::fromLocalFile(path));
        player_->play();
    }

private:
    static constexpr double kDurationWait = 2.0;

    void durationKnown()
    {
        if (player_->duration() > 0)
            made_.seconds = player_->duration() / 1000 + (player_->duration() % 1000 >= 500 ? 1 : 0);
    }
    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        timeout_.stop();
        durationWait_.stop();
        player_->stop();
        // A player without a usable frame shows nothing, not even a time.
        if (made_.image.isNull())
            made_.seconds.reset();
        if (context_)
            done_(made_);
        deleteLater();
    }

    QPointer<QObject> context_;
    Done done_;
    QMediaPlayer* player_;
    QVideoSink* sink_;
    platform::Timer timeout_;
    platform::Timer durationWait_;
    Thumbnail made_;
    bool finished_ = false;
};
} // namespace

void makeVideo(const QString& path, QObject* context, Done done)
{
    new VideoProbe(path, context, std::move(done));
}

} // namespace thumbnails
