#pragma once

#include "app/PanelTransition.h"

// Slides one pane out and the next in, side by side: forward (direction 1)
// the old pane leaves to the left and the new one comes from the right,
// backward the other way. At the end both panes are back at their own
// origins.
class PanelAnimation : public PanelTransition {
public:
    PanelAnimation(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd);

private:
    void begin() override;
    void step(double progress) override;

    QPoint startOrigin_;
    QPoint endOrigin_;
};
