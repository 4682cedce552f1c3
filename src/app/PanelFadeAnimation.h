#pragma once

#include "platform/gui/Animation.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QWidget>

#include <functional>

// Fades one pane out and the next in over the same time: direction 1 or -1
// fades the start pane out while the end pane fades in; 0 only fades the end
// pane in. The callback runs at the end, with both panes fully drawn again.
class PanelFadeAnimation {
public:
    static constexpr double kDuration = 0.45;

    PanelFadeAnimation(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd);
    PanelFadeAnimation(const PanelFadeAnimation&) = delete;
    PanelFadeAnimation& operator=(const PanelFadeAnimation&) = delete;

    void start();
    bool isRunning() const { return animation_.isRunning(); }

private:
    void step(double progress);

    QPointer<QWidget> start_;
    QPointer<QWidget> end_;
    QPointer<QGraphicsOpacityEffect> startEffect_;
    QPointer<QGraphicsOpacityEffect> endEffect_;
    int direction_;
    std::function<void()> didEnd_;
    platform::gui::Animation animation_;
};
