#pragma once

#include "widgets/BetterSplitView.h"

// A split view whose divider is a one-point gap.
class OneLineSplitView : public BetterSplitView {
    Q_OBJECT
public:
    explicit OneLineSplitView(QWidget* parent = nullptr) : BetterSplitView(parent) { setThickness(1); }
};
