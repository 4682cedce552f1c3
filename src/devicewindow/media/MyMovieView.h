#pragma once

#include <QImage>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QVideoSink;

// The player view of an in-cell video preview: no controller bar, not
// editable; it owns its player and sound output and draws the frames itself
// (no window of its own, so the grid around it scrolls and redraws cleanly).
class MyMovieView : public QWidget {
    Q_OBJECT

public:
    explicit MyMovieView(QWidget* parent = nullptr);
    ~MyMovieView() override;

    double controllerBarHeight() const { return 0.0; }
    QMediaPlayer* player() const { return player_; }
    void setVolume(float volume);
    float volume() const;
    bool hasFrame() const { return !frame_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMediaPlayer* player_;
    QAudioOutput* audio_;
    QVideoSink* sink_;
    QImage frame_;
};
