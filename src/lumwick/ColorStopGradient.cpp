#include "lumwick/ColorStopGradient.h"

#include "platform/Coder.h"
#include "platform/Exception.h"
#include "platform/Values.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

QColor grey(float level)
{
    return QColor::fromRgbF(level, level, level, 1.0f);
}

ColorStopGradient twoStops(const QColor& begin, const QColor& end)
{
    return ColorStopGradient::gradientWithBeginningColor(begin, end);
}

[[noreturn]] void rangeError(const QString& reason)
{
    throw platform::Exception(QStringLiteral("NSRangeException"), reason);
}

constexpr const char* kBlendingModeKey = "ColorStopGradientBlendingMode";
constexpr const char* kElementCountKey = "ColorStopGradientElementCount";
constexpr int kValuesPerStop = 5;

// Samples per stop interval when a hue blend is handed to a Qt gradient.
constexpr int kHueSamples = 32;

} // namespace

ColorStopGradient ColorStopGradient::gradientWithBeginningColor(const QColor& begin, const QColor& end)
{
    return ColorStopGradient().addColorStop(begin, 0).addColorStop(end, 1);
}

ColorStopGradient ColorStopGradient::aquaSelectedGradient()
{
    return twoStops(QColor::fromRgbF(0.58f, 0.86f, 0.98f), QColor::fromRgbF(0.25f, 0.57f, 0.89f));
}
ColorStopGradient ColorStopGradient::aquaNormalGradient() { return twoStops(grey(0.95f), grey(0.83f)); }
ColorStopGradient ColorStopGradient::aquaPressedGradient() { return twoStops(grey(0.8f), grey(0.64f)); }
ColorStopGradient ColorStopGradient::unifiedSelectedGradient() { return twoStops(grey(0.85f), grey(0.95f)); }
ColorStopGradient ColorStopGradient::unifiedNormalGradient() { return twoStops(grey(0.75f), grey(0.9f)); }
ColorStopGradient ColorStopGradient::unifiedPressedGradient() { return twoStops(grey(0.6f), grey(0.75f)); }
ColorStopGradient ColorStopGradient::unifiedDarkGradient() { return twoStops(grey(0.68f), grey(0.83f)); }
ColorStopGradient ColorStopGradient::sourceListSelectedGradient()
{
    return twoStops(QColor::fromRgbF(0.06f, 0.37f, 0.85f), QColor::fromRgbF(0.3f, 0.6f, 0.92f));
}
ColorStopGradient ColorStopGradient::sourceListUnselectedGradient()
{
    return twoStops(QColor::fromRgbF(0.43f, 0.43f, 0.43f), QColor::fromRgbF(0.6f, 0.6f, 0.6f));
}
ColorStopGradient ColorStopGradient::rainbowGradient()
{
    return twoStops(QColor::fromRgbF(1, 0, 0), QColor::fromRgbF(0.54f, 0, 1)).gradientWithBlendingMode(Chromatic);
}
ColorStopGradient ColorStopGradient::hydrogenSpectrumGradient()
{
    // The visible lines of hydrogen on black.
    ColorStopGradient g;
    const struct {
        float r, g, b, position;
    } lines[] = {{0, 0, 0, 0}, {0.4f, 0, 0.6f, 0.14f}, {0, 0, 0, 0.16f}, {0, 0.3f, 1, 0.28f},
                 {0, 0, 0, 0.3f},  {0, 0.9f, 1, 0.52f},  {0, 0, 0, 0.54f},  {1, 0, 0, 0.9f},
                 {0, 0, 0, 0.92f}, {0, 0, 0, 1}};
    for (const auto& line : lines)
        g = g.addColorStop(QColor::fromRgbF(line.r, line.g, line.b), line.position);
    return g;
}

ColorStopGradient ColorStopGradient::gradientWithAlphaComponent(float alpha) const
{
    ColorStopGradient copy = *this;
    for (Stop& stop : copy.m_stops)
        stop.alpha = alpha;
    return copy;
}

ColorStopGradient ColorStopGradient::gradientWithBlendingMode(BlendingMode mode) const
{
    ColorStopGradient copy = *this;
    copy.m_mode = mode;
    return copy;
}

ColorStopGradient ColorStopGradient::addColorStop(const QColor& color, float position) const
{
    ColorStopGradient copy = *this;
    const QColor rgb = color.toRgb();
    copy.insertStop({float(rgb.redF()), float(rgb.greenF()), float(rgb.blueF()), float(rgb.alphaF()), position});
    return copy;
}

void ColorStopGradient::insertStop(const Stop& stop)
{
    const auto at = std::upper_bound(m_stops.begin(), m_stops.end(), stop.position,
                                     [](float p, const Stop& s) { return p < s.position; });
    m_stops.insert(at, stop);
}

ColorStopGradient ColorStopGradient::removeColorStopAtPosition(float position) const
{
    const auto at = std::find_if(m_stops.begin(), m_stops.end(), [&](const Stop& s) { return s.position == position; });
    if (at == m_stops.end())
        rangeError(QString::asprintf("-[ColorStopGradient removeColorStopAtPosition:]: no such colorStop at position (%f)",
                                     double(position)));
    return removeColorStopAtIndex(int(at - m_stops.begin()));
}

ColorStopGradient ColorStopGradient::removeColorStopAtIndex(int index) const
{
    if (index < 0 || index >= count())
        rangeError(QString::asprintf("-[ColorStopGradient removeColorStopAtIndex:]: index (%i) beyond bounds", index));
    ColorStopGradient copy = *this;
    copy.m_stops.remove(index);
    return copy;
}

void ColorStopGradient::encodeWithCoder(platform::Coder& coder) const
{
    if (!coder.allowsKeyedCoding())
        throw platform::Exception(QStringLiteral("NSInvalidArchiveOperationException"),
                                  QStringLiteral("Only supports NSKeyedArchiver coders"));
    for (const Stop& stop : m_stops)
        for (float value : {stop.red, stop.green, stop.blue, stop.alpha, stop.position})
            coder.encodeValue(double(value));
    coder.encodeObject(QLatin1String(kBlendingModeKey), int(m_mode));
    coder.encodeObject(QLatin1String(kElementCountKey), int(m_stops.size()));
}

std::optional<ColorStopGradient> ColorStopGradient::initWithCoder(platform::Coder& coder)
{
    if (!coder.allowsKeyedCoding())
        return std::nullopt;
    const QVariant mode = coder.decodeObjectForKey(QLatin1String(kBlendingModeKey));
    const QVariant count = coder.decodeObjectForKey(QLatin1String(kElementCountKey));
    const auto isInteger = [](const QVariant& v) {
        const platform::values::Kind kind = platform::values::kindOf(v);
        return kind == platform::values::Kind::Signed || kind == platform::values::Kind::Unsigned;
    };
    if (!isInteger(mode) || !isInteger(count))
        return std::nullopt;
    const qlonglong modeValue = mode.toLongLong();
    if (modeValue < Linear || modeValue > InverseChromatic || count.toLongLong() < 0)
        return std::nullopt;
    ColorStopGradient gradient;
    gradient.m_mode = BlendingMode(modeValue);
    for (qlonglong i = 0; i < count.toLongLong(); ++i) {
        float part[kValuesPerStop];
        for (float& value : part) {
            const QVariant next = coder.decodeValue();
            if (!platform::values::isNumber(next) || next.typeId() == QMetaType::Bool)
                return std::nullopt;   // also when the numbers run out
            const double v = next.toDouble();
            if (!(v >= 0 && v <= 1))
                return std::nullopt;
            value = float(v);
        }
        gradient.insertStop({part[0], part[1], part[2], part[3], part[4]});
    }
    return gradient;
}

QColor ColorStopGradient::colorStopAtIndex(int index) const
{
    if (index < 0 || index >= count())
        rangeError(QString::asprintf("-[ColorStopGradient colorStopAtIndex:]: index (%i) beyond bounds", index));
    const Stop& s = m_stops[index];
    return QColor::fromRgbF(s.red, s.green, s.blue, s.alpha);
}

QColor ColorStopGradient::colorAtPosition(float position) const
{
    if (m_stops.isEmpty())
        return QColor::fromRgbF(1, 1, 1, 1);
    if (position <= m_stops.front().position)
        return colorStopAtIndex(0);
    if (position >= m_stops.back().position)
        return colorStopAtIndex(count() - 1);
    int upper = 1;
    while (m_stops[upper].position < position)
        ++upper;
    const Stop& a = m_stops[upper - 1];
    const Stop& b = m_stops[upper];
    const float span = b.position - a.position;
    const float t = span > 0 ? (position - a.position) / span : 1.0f;
    const float alpha = a.alpha + (b.alpha - a.alpha) * t;
    if (m_mode == Linear)
        return QColor::fromRgbF(a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
                                a.blue + (b.blue - a.blue) * t, alpha);
    float h1, s1, v1, h2, s2, v2, unused;
    QColor::fromRgbF(a.red, a.green, a.blue).getHsvF(&h1, &s1, &v1, &unused);
    QColor::fromRgbF(b.red, b.green, b.blue).getHsvF(&h2, &s2, &v2, &unused);
    h1 = std::max(h1, 0.0f);   // grey has no hue
    h2 = std::max(h2, 0.0f);
    // Chromatic goes up the hue circle from the first stop to the second,
    // inverse chromatic down it.
    float dh = h2 - h1;
    if (m_mode == Chromatic && dh < 0)
        dh += 1;
    if (m_mode == InverseChromatic && dh > 0)
        dh -= 1;
    float hue = std::fmod(h1 + dh * t, 1.0f);
    if (hue < 0)
        hue += 1;
    return QColor::fromHsvF(hue, s1 + (s2 - s1) * t, v1 + (v2 - v1) * t, alpha);
}

template <class Brush>
void ColorStopGradient::setStopsOn(Brush& brush) const
{
    if (m_stops.isEmpty()) {
        brush.setColorAt(0, Qt::white);
        brush.setColorAt(1, Qt::white);
        return;
    }
    if (m_mode == Linear) {
        for (int i = 0; i < count(); ++i)
            brush.setColorAt(std::clamp(double(m_stops[i].position), 0.0, 1.0), colorStopAtIndex(i));
        return;
    }
    const int samples = kHueSamples * count();
    for (int i = 0; i <= samples; ++i) {
        const double p = double(i) / samples;
        brush.setColorAt(p, colorAtPosition(float(p)));
    }
}

void ColorStopGradient::drawSwatchInRect(QPainter& painter, const QRectF& rect) const
{
    fillRect(painter, rect, 45);
}

void ColorStopGradient::fillRect(QPainter& painter, const QRectF& rect, double angle) const
{
    // The axis through the centre, long enough that its end lines touch the
    // rectangle's far corners.
    const double radians = angle * M_PI / 180.0;
    const double dx = std::cos(radians);
    const double dy = -std::sin(radians);   // y grows downward
    const double half = (std::abs(dx) * rect.width() + std::abs(dy) * rect.height()) / 2;
    const QPointF c = rect.center();
    QLinearGradient shading(c - QPointF(dx, dy) * half, c + QPointF(dx, dy) * half);
    setStopsOn(shading);
    painter.fillRect(rect, shading);
}

void ColorStopGradient::radialFillRect(QPainter& painter, const QRectF& rect) const
{
    const double radius = std::max(rect.width(), rect.height()) / 2;
    QRadialGradient shading(rect.center(), radius, rect.center(), 1);
    shading.setSpread(QGradient::PadSpread);
    setStopsOn(shading);
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, shading);
    painter.restore();
}
