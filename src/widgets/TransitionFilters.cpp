#include "widgets/TransitionFilters.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace transitions {

namespace {

constexpr double kPi = 3.14159265358979323846;

QImage argb(const QImage& picture, const QSize& size)
{
    QImage converted = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (converted.size() != size)
        converted = converted.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return converted;
}

// A wide bright bar sweeps left to right; behind it the new picture.
QImage copyMachine(const QImage& from, const QImage& to, double t)
{
    QImage out = from;
    QPainter painter(&out);
    const double w = from.width();
    const double edge = t * (w + 40.0) - 20.0;
    painter.drawImage(QRectF(0, 0, std::max(0.0, edge), from.height()), to,
                      QRectF(0, 0, std::max(0.0, edge), from.height()));
    QLinearGradient bar(edge - 20, 0, edge + 20, 0);
    bar.setColorAt(0, QColor(255, 255, 255, 0));
    bar.setColorAt(0.5, QColor(230, 240, 255, 220));
    bar.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(edge - 20, 0, 40, from.height()), bar);
    return out;
}

// The new picture shows where the mask is darker than the time.
QImage disintegrate(const QImage& from, const QImage& to, double t, const QImage& mask)
{
    QImage out = from;
    QImage threshold;
    if (!mask.isNull()) {
        threshold = mask.convertToFormat(QImage::Format_Grayscale8)
                        .scaled(from.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        threshold = QImage(from.size(), QImage::Format_Grayscale8);
        quint32 seed = 0x9E3779B9u;
        for (int y = 0; y < threshold.height(); ++y) {
            uchar* line = threshold.scanLine(y);
            for (int x = 0; x < threshold.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                line[x] = uchar(seed >> 24);
            }
        }
    }
    const int limit = int(std::lround(t * 256.0));
    for (int y = 0; y < out.height(); ++y) {
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(to.constScanLine(y));
        const uchar* gate = threshold.constScanLine(y);
        for (int x = 0; x < out.width(); ++x)
            if (gate[x] < limit)
                target[x] = source[x];
    }
    return out;
}

QImage dissolve(const QImage& from, const QImage& to, double t)
{
    QImage out = from;
    QPainter painter(&out);
    painter.setOpacity(t);
    painter.drawImage(0, 0, to);
    return out;
}

// A dissolve under a white flash from the centre that peaks half-way.
QImage flash(const QImage& from, const QImage& to, double t)
{
    QImage out = dissolve(from, to, std::clamp((t - 0.25) * 2.0, 0.0, 1.0));
    QPainter painter(&out);
    const double strength = 1.0 - std::abs(2.0 * t - 1.0);
    const QPointF centre(from.width() * 0.5, from.height() * 0.5);
    const double radius = std::hypot(from.width(), from.height()) * (0.2 + 0.8 * strength);
    QRadialGradient light(centre, std::max(1.0, radius));
    light.setColorAt(0, QColor(255, 255, 255, int(255 * strength)));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(out.rect(), light);
    return out;
}

// Rings around the centre open one by one onto the new picture.
QImage mod(const QImage& from, const QImage& to, double t)
{
    QImage out = from;
    QPainter painter(&out);
    QPainterPath rings;
    const QPointF centre(from.width() * 0.5, from.height() * 0.5);
    const double maxRadius = std::hypot(from.width(), from.height()) * 0.5 + 24.0;
    for (double r = 0; r < maxRadius; r += 24.0) {
        const double open = 24.0 * std::clamp(t * 1.6 - (r / maxRadius) * 0.6, 0.0, 1.0);
        if (open <= 0)
            continue;
        QPainterPath ring;
        ring.addEllipse(centre, r + open, r + open);
        QPainterPath inner;
        inner.addEllipse(centre, r, r);
        rings.addPath(ring.subtracted(inner));
    }
    painter.setClipPath(rings);
    painter.drawImage(0, 0, to);
    return out;
}

// The old picture curls away from the lower right corner at 45 degrees,
// its back lit by the shading picture.
QImage pageCurl(const QImage& from, const QImage& to, double t, const QImage& shading)
{
    QImage out = to;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = from.width();
    const double h = from.height();
    // The fold is the line x + y = fold, moving from the lower right corner
    // to the upper left one; the old picture stays before it.
    const double fold = (w + h) * (1.0 - t);
    const double back = std::min((w + h) * t * 0.5, 40.0);
    QPainterPath remaining;
    remaining.addPolygon(QPolygonF({QPointF(0, 0), QPointF(fold, 0), QPointF(0, fold)}));
    remaining.closeSubpath();
    painter.save();
    painter.setClipPath(remaining);
    painter.drawImage(0, 0, from);
    painter.restore();
    // The page's back: a band beyond the fold, darker away from it.
    QPainterPath band;
    band.addPolygon(QPolygonF({QPointF(fold, 0), QPointF(fold + back, 0), QPointF(0, fold + back), QPointF(0, fold)}));
    band.closeSubpath();
    QLinearGradient lit(QPointF(fold / 2, fold / 2), QPointF((fold + back) / 2, (fold + back) / 2));
    lit.setColorAt(0, QColor(235, 235, 235));
    lit.setColorAt(1, QColor(140, 140, 140));
    painter.fillPath(band, lit);
    if (!shading.isNull()) {
        painter.setClipPath(band);
        painter.setOpacity(0.5);
        painter.drawImage(QRectF(out.rect()), shading);
    }
    return out;
}

// A wave runs out from the centre; inside it the new picture, on it the
// old picture displaced and lit.
QImage ripple(const QImage& from, const QImage& to, double t, const QImage& shading)
{
    const int w = from.width();
    const int h = from.height();
    QImage out(from.size(), QImage::Format_ARGB32_Premultiplied);
    const double cx = w * 0.5;
    const double cy = h * 0.5;
    const double maxRadius = std::hypot(cx, cy) + 60.0;
    const double front = t * maxRadius;
    constexpr double kWave = 40.0;
    QImage light;
    if (!shading.isNull())
        light = shading.convertToFormat(QImage::Format_Grayscale8).scaled(64, 1, Qt::IgnoreAspectRatio);
    for (int y = 0; y < h; ++y) {
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double dx = x - cx;
            const double dy = y - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < front - kWave) {
                target[x] = reinterpret_cast<const QRgb*>(to.constScanLine(y))[x];
                continue;
            }
            if (d > front) {
                target[x] = reinterpret_cast<const QRgb*>(from.constScanLine(y))[x];
                continue;
            }
            const double phase = (front - d) / kWave; // 0 .. 1 across the wave
            const double push = std::sin(phase * kPi) * 10.0;
            const double scale = d > 0 ? (d - push) / d : 1.0;
            const int sx = std::clamp(int(cx + dx * scale), 0, w - 1);
            const int sy = std::clamp(int(cy + dy * scale), 0, h - 1);
            const QImage& source = phase > 0.5 ? to : from;
            QRgb pixel = reinterpret_cast<const QRgb*>(source.constScanLine(sy))[sx];
            const double glow = light.isNull() ? std::sin(phase * kPi) * 0.25
                                               : light.constScanLine(0)[int(phase * 63)] / 255.0 * 0.35;
            auto lift = [glow](int c) { return std::min(255, int(c + (255 - c) * glow)); };
            pixel = qRgba(lift(qRed(pixel)), lift(qGreen(pixel)), lift(qBlue(pixel)), qAlpha(pixel));
            target[x] = pixel;
        }
    }
    return out;
}

// A soft edge wipes from left to right.
QImage swipe(const QImage& from, const QImage& to, double t)
{
    QImage layer = to;
    {
        QPainter mask(&layer);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        const double soft = 60.0;
        const double edge = t * (from.width() + soft) - soft / 2;
        QLinearGradient gradient(edge - soft / 2, 0, edge + soft / 2, 0);
        gradient.setColorAt(0, QColor(0, 0, 0, 255));
        gradient.setColorAt(1, QColor(0, 0, 0, 0));
        mask.fillRect(layer.rect(), gradient);
    }
    QImage out = from;
    QPainter painter(&out);
    painter.drawImage(0, 0, layer);
    return out;
}

} // namespace

int effectiveStyle(int style)
{
    return style >= 0 && style < kStyleCount ? style : kRipple;
}

QImage frame(int style, const QImage& fromPicture, const QImage& toPicture, double t, const QImage& shading,
             const QImage& mask)
{
    const QSize size = fromPicture.size().expandedTo(toPicture.size());
    if (size.isEmpty())
        return {};
    const QImage from = argb(fromPicture, size);
    const QImage to = argb(toPicture, size);
    t = std::clamp(t, 0.0, 1.0);
    if (t <= 0.0)
        return from;
    if (t >= 1.0)
        return to;
    switch (effectiveStyle(style)) {
    case 0:
        return copyMachine(from, to, t);
    case 1:
        return disintegrate(from, to, t, mask);
    case 2:
        return dissolve(from, to, t);
    case 3:
        return flash(from, to, t);
    case 4:
        return mod(from, to, t);
    case 5:
        return pageCurl(from, to, t, shading);
    case 7:
        return swipe(from, to, t);
    default:
        return ripple(from, to, t, shading);
    }
}

} // namespace transitions

void ClearBitmapImageRep(QImage& picture)
{
    if (!picture.isNull())
        picture.fill(0);
}
