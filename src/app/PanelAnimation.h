#pragma once

#include "platform/gui/Animation.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// Slides one pane out and the next in, side by side, over 0.45 s: forward
// (direction 1) the old pane leaves to the left and the new one comes from
// the right, backward the other way. At the end both panes are back at their
// own origins and the callback runs.
class PanelAnimation {
public:
    static constexpr double kDuration = 0.45;

    PanelAnimation(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd);
    PanelAnimation(const PanelAnimation&) = delete;
    PanelAnimation& operator=(const PanelAnimation&) = delete;

    void start();
    bool isRunning() const { return animation_.isRunning(); }

private:
    void step(double progress);

    QPointer<QWidget> start_;
    QPointer<QWidget> end_;
    QPoint startOrigin_;
    QPoint endOrigin_;
    int direction_;
    std::function<void()> didEnd_;
    platform::gui::Animation animation_;
};
