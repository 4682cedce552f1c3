#include "devicewindow/media/MyMovieView.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

MyMovieView::MyMovieView(QWidget* parent)
    : QWidget(parent), player_(new QMediaPlayer(this)), audio_(new QAudioOutput(this)), sink_(new QVideoSink(this))
{
    setAccessibleName(QStringLiteral("Video preview"));
    player_->setAudioOutput(audio_);
    player_->setVideoSink(sink_);
    connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        const QImage image = frame.toImage();
        if (!image.isNull()) {
            frame_ = image;
            update();
        }
    });
}

MyMovieView::~MyMovieView()
{
    player_->stop();
}

void MyMovieView::setVolume(float volume)
{
    audio_->setVolume(volume);
}

float MyMovieView::volume() const
{
    return audio_->volume();
}

void MyMovieView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (frame_.isNull())
        return;
    const QSize size = frame_.size().scaled(this->size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size), frame_);
}
