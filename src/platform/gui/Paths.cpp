#include "platform/gui/Paths.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace platform::gui {

void arcFromCorner(QPainterPath& path, const QPointF& corner, const QPointF& target, qreal radius)
{
    const QPointF from = path.currentPosition();
    const QPointF a = from - corner;
    const QPointF b = target - corner;
    const qreal la = std::hypot(a.x(), a.y());
    const qreal lb = std::hypot(b.x(), b.y());
    if (radius <= 0 || la == 0 || lb == 0) {
        path.lineTo(corner);
        return;
    }
    const QPointF ua = a / la;
    const QPointF ub = b / lb;
    const qreal theta = std::acos(std::clamp(ua.x() * ub.x() + ua.y() * ub.y(), -1.0, 1.0));
    if (theta < 1e-9 || M_PI - theta < 1e-9) {
        path.lineTo(corner);
        return;
    }
    const qreal tangent = radius / std::tan(theta / 2);
    const QPointF t1 = corner + ua * tangent;
    const QPointF t2 = corner + ub * tangent;
    QPointF bisector = ua + ub;
    bisector /= std::hypot(bisector.x(), bisector.y());
    const QPointF centre = corner + bisector * (radius / std::sin(theta / 2));
    path.lineTo(t1);
    // QPainterPath's angles grow counter-clockwise as seen with y pointing down.
    const qreal start = qRadiansToDegrees(std::atan2(-(t1.y() - centre.y()), t1.x() - centre.x()));
    const qreal end = qRadiansToDegrees(std::atan2(-(t2.y() - centre.y()), t2.x() - centre.x()));
    qreal sweep = end - start;
    while (sweep > 180)
        sweep -= 360;
    while (sweep < -180)
        sweep += 360;
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), start, sweep);
}

} // namespace platform::gui
