#pragma once

#include "widgets/HistoryAnimation.h"

// The pulse of a tool-list icon: 0.55 s with the ease-in curve.
class SelectToolAnimation : public HistoryAnimation {
public:
    static constexpr double kDuration = 0.55;
    SelectToolAnimation() : HistoryAnimation(kDuration, QEasingCurve::InQuad) { }
};
