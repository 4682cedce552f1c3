#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

// Drawing code that thinks in a bottom-left origin (y grows upwards) maps its
// geometry into Qt's top-left origin here, and only here.
namespace platform::gui {

// Maps bottom-left coordinates of an area of the given height to top-left
// coordinates (and back: the mapping is its own inverse).
QTransform flipVertically(qreal height);
QRectF flipRect(const QRectF& rect, qreal height);
QPointF flipPoint(const QPointF& point, qreal height);
QPainterPath flipPath(const QPainterPath& path, qreal height);

} // namespace platform::gui
