#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// A two-colour vertical gradient: the start colour at the bottom edge of the
// rectangle, the end colour at its top, blended linearly in between.
class BlendGradient {
public:
    BlendGradient(const QColor& start, const QColor& end);

    // The colour at t (0 = start position, 1 = end position), clamped at both ends.
    QColor blendLinearEvaluation(qreal t) const;
    // Fills rect (top-left coordinates) with the gradient, clipped to it.
    void drawGradient(QPainter& painter, const QRectF& rect) const;

private:
    struct Element {
        float red, green, blue, alpha, position;
    };
    static Element element(const QColor& colour, float position);
    Element start_;
    Element end_;
};
