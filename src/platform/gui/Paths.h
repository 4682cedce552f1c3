#pragma once

#include <QPainterPath>
#include <QPointF>

namespace platform::gui {

// Rounds the corner between the path's current point and target with an arc
// of radius tangent to both legs (PostScript's arct): a line to the first
// tangent point, then the arc. A radius of 0 or less, or legs in one line,
// give a line to the corner.
void arcFromCorner(QPainterPath& path, const QPointF& corner, const QPointF& target, qreal radius);

} // namespace platform::gui
