#pragma once

#include <QVideoWidget>

class QAudioOutput;
class QMediaPlayer;

// The player view of an in-cell video preview: no controller bar, not
// editable; it owns its player and sound output.
class MyMovieView : public QVideoWidget {
    Q_OBJECT

public:
    explicit MyMovieView(QWidget* parent = nullptr);
    ~MyMovieView() override;

    double controllerBarHeight() const { return 0.0; }
    QMediaPlayer* player() const { return player_; }
    void setVolume(float volume);
    float volume() const;

private:
    QMediaPlayer* player_;
    QAudioOutput* audio_;
};
