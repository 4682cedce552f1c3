#pragma once

#include "platform/gui/Interface.h"

#include <QFrame>
#include <QSize>

class CollapsibleBoxDelegate;
class NSCollapsButton;

// A box with two sizes, expanded and collapsed, that keeps its top-left
// corner when it switches; the switch is a 0.25 s stepped animation on the
// platform clock (the delegate may take it over). otherFrameSize is the size
// of the next switch and, after it, the size the box had before. A box in a
// layout animates its height and the layout moves what lies below.
class CollapsibleBox : public QFrame, public platform::gui::NibAwakening {
    Q_OBJECT
    // The stored state (writing it switches nothing; use setExpanded()).
    Q_PROPERTY(bool expanded READ isExpanded WRITE setExpandedState NOTIFY expandedChanged)
    Q_PROPERTY(QSize otherFrameSize READ otherFrameSize WRITE setOtherFrameSize)

public:
    static constexpr int kCollapsedHeight = 38;
    static constexpr double kAnimationDuration = 0.25;

    explicit CollapsibleBox(QWidget* parent = nullptr);
    // A box made in code: expanded, collapsing to its width and 38 points.
    CollapsibleBox(const QRect& frame, QWidget* parent);

    bool isExpanded() const { return expanded_; }
    void setExpandedState(bool expanded);
    QSize otherFrameSize() const { return otherFrameSize_; }
    void setOtherFrameSize(const QSize& size) { otherFrameSize_ = size; }
    void setAnimationDelegate(CollapsibleBoxDelegate* delegate) { delegate_ = delegate; }
    CollapsibleBoxDelegate* animationDelegate() const { return delegate_; }

    void setExpanded(bool expanded) { setExpanded(expanded, true); }
    void setExpanded(bool expanded, bool animate);

    // The frame at size with the top-left corner kept.
    QRect frameForNewSizePinnedToTopLeft(const QSize& size) const;
    void setFrameSizeWithPinningToTopLeft(const QSize& size);
    void setFrameSize(const QSize& size, bool animate);

    static NSCollapsButton* searchCollapsButton(QWidget* view);
    NSCollapsButton* getFirstCollapsButton() { return searchCollapsButton(this); }

    // Moves view to target in 0.25 s and every sibling whose lower edge lies
    // below the view's by the same amount as the view's lower edge. A new
    // animation of the same view first finishes the running one.
    static void stdAnimateViewAndSiblings(QWidget* view, const QRect& target);
    // Whether an animation moves view.
    static bool isAnimating(const QWidget* view);

    void awakeFromNib() override;

Q_SIGNALS:
    void expandedChanged(bool expanded);

protected:
    // Content stays laid out at the taller of the two sizes and is cut off
    // at the box's edge, never squeezed.
    void resizeEvent(QResizeEvent* event) override;

private:
    bool expanded_ = true;
    QSize otherFrameSize_;
    CollapsibleBoxDelegate* delegate_ = nullptr;
};
