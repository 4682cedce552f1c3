#pragma once

#include "app/PanelTransition.h"

#include <QGraphicsOpacityEffect>

// Fades one pane out while the next fades in (direction 1 or -1); direction
// 0 only fades the new pane in. At the end both panes draw plainly again.
class PanelFadeAnimation : public PanelTransition {
public:
    using PanelTransition::PanelTransition;

private:
    void begin() override;
    void step(double progress) override;

    QPointer<QGraphicsOpacityEffect> startEffect_;
    QPointer<QGraphicsOpacityEffect> endEffect_;
};
