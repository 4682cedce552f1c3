#pragma once

#include <QImage>
#include <QWidget>

// Shows the frames of a tab transition over the pages. Clicks and keys pass
// through to the page below.
class TransitionOverlay : public QWidget {
    Q_OBJECT
public:
    explicit TransitionOverlay(QWidget* parent);
    void setFrame(const QImage& frame);
    const QImage& currentFrame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
};
