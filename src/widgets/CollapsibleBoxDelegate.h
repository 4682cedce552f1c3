#pragma once

#include <QRect>

class CollapsibleBox;

// Asked before a box animates to a new frame: true lets the box animate
// itself; false means the delegate has taken the resizing over (typically
// with CollapsibleBox::stdAnimateViewAndSiblings()).
class CollapsibleBoxDelegate {
public:
    virtual ~CollapsibleBoxDelegate() = default;
    virtual bool collapsibleBox(CollapsibleBox& box, const QRect& frame, bool expanding) = 0;
};
