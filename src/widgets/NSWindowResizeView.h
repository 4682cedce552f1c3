#pragma once

#include <QFrame>

// Sits at the foot of a panel: every move of its own frame becomes the same
// change of its window's frame, so the window grows at the bottom as the view
// moves down (the top edge stays). Re-entrant calls during the window's
// resize are ignored. The box animations move it through setFrame().
class NSWindowResizeView : public QFrame {
    Q_OBJECT
public:
    explicit NSWindowResizeView(QWidget* parent = nullptr);

    void setFrame(const QRect& frame);

private:
    bool inBlockDraw_ = false;
};
