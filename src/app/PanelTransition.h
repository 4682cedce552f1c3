#pragma once

#include "platform/gui/Animation.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// A 0.45 s change from one pane to the next, by direction (1 forward, -1
// backward, 0 none); the callback runs once at the end. Subclasses lay out
// each step.
class PanelTransition {
public:
    static constexpr double kDuration = 0.45;

    PanelTransition(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd);
    virtual ~PanelTransition() = default;
    PanelTransition(const PanelTransition&) = delete;
    PanelTransition& operator=(const PanelTransition&) = delete;

    void start();
    bool isRunning() const { return animation_.isRunning(); }

protected:
    virtual void begin() = 0;
    // progress 0 to 1; at 1 the subclass puts the panes back as they draw
    // at rest.
    virtual void step(double progress) = 0;

    QPointer<QWidget> start_;
    QPointer<QWidget> end_;
    int direction_;

private:
    void tick(double progress);

    std::function<void()> didEnd_;
    platform::gui::Animation animation_;
};
