#include "widgets/BlendGradient.h"

#include <QLinearGradient>
#include <QPainter>

BlendGradient::Element BlendGradient::element(const QColor& colour, float position)
{
    const QColor rgb = colour.toRgb();
    return {float(rgb.redF()), float(rgb.greenF()), float(rgb.blueF()), float(rgb.alphaF()), position};
}

BlendGradient::BlendGradient(const QColor& start, const QColor& end)
    : start_(element(start, 0.0f))
    , end_(element(end, 1.0f))
{
}

QColor BlendGradient::blendLinearEvaluation(qreal t) const
{
    if (t <= start_.position)
        return QColor::fromRgbF(start_.red, start_.green, start_.blue, start_.alpha);
    if (t >= end_.position)
        return QColor::fromRgbF(end_.red, end_.green, end_.blue, end_.alpha);
    const float f = float((t - start_.position) / (end_.position - start_.position));
    auto mix = [f](float a, float b) { return a + (b - a) * f; };
    return QColor::fromRgbF(mix(start_.red, end_.red), mix(start_.green, end_.green), mix(start_.blue, end_.blue),
                            mix(start_.alpha, end_.alpha));
}

void BlendGradient::drawGradient(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    QLinearGradient gradient(rect.bottomLeft(), rect.topLeft());
    gradient.setColorAt(start_.position, blendLinearEvaluation(start_.position));
    gradient.setColorAt(end_.position, blendLinearEvaluation(end_.position));
    gradient.setSpread(QGradient::PadSpread);
    painter.fillRect(rect, gradient);
    painter.restore();
}
