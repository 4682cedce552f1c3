#include "platform/gui/Coordinates.h"

namespace platform::gui {

QTransform flipVertically(qreal height)
{
    return QTransform(1, 0, 0, -1, 0, height);
}

QRectF flipRect(const QRectF& rect, qreal height)
{
    return QRectF(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
}

QPointF flipPoint(const QPointF& point, qreal height)
{
    return QPointF(point.x(), height - point.y());
}

QPainterPath flipPath(const QPainterPath& path, qreal height)
{
    return flipVertically(height).map(path);
}

} // namespace platform::gui
