#pragma once

#include "platform/Clock.h"

#include <QImage>
#include <QWidget>

// The waiting mark of a queue row: a small mark that runs left and right
// while its job waits. It moves on the platform's animation ticks (so tests
// drive it in virtual time) and only on the GUI thread; a blocked mark keeps
// its place while a row animation runs.
class ActionBusyIndicator : public QWidget {
    Q_OBJECT

public:
    static constexpr double kSpinInterval = 0.02;
    static constexpr int kStep = 2;

    explicit ActionBusyIndicator(QWidget* parent = nullptr);

    // Called on each animation tick: moves the mark one step unless blocked
    // or called again within kSpinInterval.
    void heartBeat();
    void blockAnimation(bool block) { blockAnimation_ = block; }
    bool isAnimationBlocked() const { return blockAnimation_; }
    // Shows the mark and starts its ticks, or hides it and stops them.
    void startBusyAnimation(bool start);
    bool isAnimating() const { return ticks_.isActive(); }
    int markPosition() const { return xPos_; }
    bool isForward() const { return forward_; }

    QSize sizeHint() const override { return {60, 8}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static const QImage& forwardImage();
    static const QImage& backwardImage();

    platform::Timer ticks_;
    double nextSpin_ = 0;
    int xPos_ = 0;
    bool forward_ = true;
    bool blockAnimation_ = false;
};
