#pragma once

#include <QRect>
#include <QVariant>

class QPainter;
class QWidget;

// Draws extra marks (counts, out-of-date marks) into a row of a tool list
// or an outline cell.
class SlaveDrawInfo {
public:
    virtual ~SlaveDrawInfo() = default;
    virtual void drawSlaveWithFrame(QPainter& painter, const QRect& frame, QWidget* view, const QVariant& context) = 0;
};
