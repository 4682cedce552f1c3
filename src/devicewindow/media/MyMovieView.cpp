#include "devicewindow/media/MyMovieView.h"

#include <QAudioOutput>
#include <QMediaPlayer>

MyMovieView::MyMovieView(QWidget* parent)
    : QVideoWidget(parent), player_(new QMediaPlayer(this)), audio_(new QAudioOutput(this))
{
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(this);
    setAspectRatioMode(Qt::KeepAspectRatio);
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
