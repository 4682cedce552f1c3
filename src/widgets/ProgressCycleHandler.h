#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>

class QPainter;

// Draws the circular progress disc: a shadowed disc in the foreground colour,
// over which the part not yet done (a pie from twelve o'clock) or, for work of
// unknown length, five turning wedges are laid in the background colour.
//
// Geometry for a disc of size S, with u = S/16, in an area of height H whose
// origin is bottom-left: the disc fills (u, 2u, S, S). The paths answered here
// are already in Qt's top-left coordinates of that area.
class ProgressCycleHandler {
public:
    static QColor defaultForeGround() { return QColor(131, 163, 212); }

    void setForeGroundColor(const QColor& colour) { foreGround_ = colour; }
    void setBackGroundColor(const QColor& colour) { backGround_ = colour; }
    QColor foreGroundColor() const { return foreGround_; }
    QColor backGroundColor() const { return backGround_; }

    static QRectF discRect(qreal size, qreal areaHeight);
    // The not-yet-done part for progress 0 to 1: the inner disc (an empty ring
    // shows) at 0 or below, a pie for the part still to do, nothing at 1 or
    // above or when progress is no number.
    static QPainterPath progressPath(qreal size, qreal areaHeight, double progress);
    // Five 36-degree wedges turned by ticks (sixtieths of a second) degrees.
    static QPainterPath idlePath(qreal size, qreal areaHeight, quint32 ticks);

    void drawProgressCycle(QPainter& painter, qreal size, qreal areaHeight, double progress) const;
    void drawIdleCycle(QPainter& painter, qreal size, qreal areaHeight, quint32 ticks) const;
    // The progress disc alone in an image of S + S/8 by S + S/8 + 1.
    QImage progressCycle(qreal size, double progress) const;

private:
    void drawDisc(QPainter& painter, qreal size, qreal areaHeight) const;

    QColor foreGround_ = defaultForeGround();
    QColor backGround_ = Qt::white;
};
