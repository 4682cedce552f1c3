#pragma once

#include <QString>
#include <optional>

class BetterSplitView;

// What a split view asks its owner. Every answer is optional: nullopt (or an
// empty name) means the owner has nothing to say.
class BetterSplitViewDelegate {
public:
    virtual ~BetterSplitViewDelegate() = default;
    // The user-defaults key the pane frames are kept under.
    virtual QString betterSplittAutoSaveName(BetterSplitView&) { return {}; }
    // Limits for the divider before the pane at index, in points from the
    // split view's left (or top) edge.
    virtual std::optional<qreal> constrainSplitPosition(BetterSplitView&, qreal, int) { return std::nullopt; }
    virtual std::optional<qreal> constrainMinCoordinate(BetterSplitView&, qreal, int) { return std::nullopt; }
    virtual std::optional<qreal> constrainMaxCoordinate(BetterSplitView&, qreal, int) { return std::nullopt; }
};
