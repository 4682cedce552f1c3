#include "widgets/ProgressCycleHandler.h"

#include "platform/gui/Coordinates.h"

#include <QPainter>
#include <cmath>

namespace {

QPainterPath pie(const QPointF& centre, qreal radius, qreal startDegrees, qreal sweepDegrees)
{
    QPainterPath path;
    path.moveTo(centre);
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), startDegrees, sweepDegrees);
    path.closeSubpath();
    return path;
}

} // namespace

QRectF ProgressCycleHandler::discRect(qreal size, qreal areaHeight)
{
    const qreal u = size / 16;
    return platform::gui::flipRect(QRectF(u, 2 * u, size, size), areaHeight);
}

QPainterPath ProgressCycleHandler::progressPath(qreal size, qreal areaHeight, double progress)
{
    const qreal u = size / 16;
    QPainterPath path;
    if (std::isnan(progress) || progress >= 1)
        return path;
    if (progress <= 0) {
        path.addEllipse(platform::gui::flipRect(QRectF(3 * u, 4 * u, size - 4 * u, size - 4 * u), areaHeight));
        return path;
    }
    // Angles grow counter-clockwise from three o'clock as seen on screen.
    return pie(discRect(size, areaHeight).center(), size / 2 - 2 * u, 90, 360 * (1 - progress));
}

QPainterPath ProgressCycleHandler::idlePath(qreal size, qreal areaHeight, quint32 ticks)
{
    const qreal u = size / 16;
    const QPointF centre = discRect(size, areaHeight).center();
    const qreal start = ticks % 360;
    QPainterPath path;
    for (qreal a = start; a < start + 360; a += 72)
        path.addPath(pie(centre, size / 2 - u, a, 36));
    return path;
}

void ProgressCycleHandler::drawDisc(QPainter& painter, qreal size, qreal areaHeight) const
{
    const qreal u = size / 16;
    const QRectF disc = discRect(size, areaHeight);
    painter.save();
    painter.setPen(Qt::NoPen);
    // A soft shadow u below the disc: a few widening rings, fainter outwards.
    const QRectF shadow = disc.translated(0, u);
    for (int ring = 3; ring >= 1; --ring) {
        const qreal grow = u * ring / 3;
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.4 / 3));
        painter.drawEllipse(shadow.adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2));
    }
    painter.setBrush(foreGround_);
    painter.drawEllipse(disc);
    painter.restore();
}

void ProgressCycleHandler::drawProgressCycle(QPainter& painter, qreal size, qreal areaHeight, double progress) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    drawDisc(painter, size, areaHeight);
    painter.fillPath(progressPath(size, areaHeight, progress), backGround_);
}

void ProgressCycleHandler::drawIdleCycle(QPainter& painter, qreal size, qreal areaHeight, quint32 ticks) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    drawDisc(painter, size, areaHeight);
    painter.fillPath(idlePath(size, areaHeight, ticks), backGround_);
}

QImage ProgressCycleHandler::progressCycle(qreal size, double progress) const
{
    const qreal height = size + size / 8 + 1;
    QImage picture(QSize(int(std::ceil(size + size / 8)), int(std::ceil(height))), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawProgressCycle(painter, size, height, progress);
    return picture;
}
