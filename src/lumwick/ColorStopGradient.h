#pragma once

#include <QColor>
#include <QRectF>
#include <QVector>

#include <optional>

class QPainter;

namespace platform {
class Coder;
}

// A colour gradient of stops at positions 0..1, evaluated linearly in RGB or
// around the hue circle. Changes answer a new gradient; the receiver stays.
class ColorStopGradient {
public:
    enum BlendingMode { Linear = 0, Chromatic = 1, InverseChromatic = 2 };

    struct Stop {
        float red, green, blue, alpha, position;
    };

    ColorStopGradient() = default;

    static ColorStopGradient gradientWithBeginningColor(const QColor& begin, const QColor& end);
    static ColorStopGradient aquaSelectedGradient();
    static ColorStopGradient aquaNormalGradient();
    static ColorStopGradient aquaPressedGradient();
    static ColorStopGradient unifiedSelectedGradient();
    static ColorStopGradient unifiedNormalGradient();
    static ColorStopGradient unifiedPressedGradient();
    static ColorStopGradient unifiedDarkGradient();
    static ColorStopGradient sourceListSelectedGradient();
    static ColorStopGradient sourceListUnselectedGradient();
    static ColorStopGradient rainbowGradient();
    static ColorStopGradient hydrogenSpectrumGradient();

    ColorStopGradient gradientWithAlphaComponent(float alpha) const;
    ColorStopGradient gradientWithBlendingMode(BlendingMode mode) const;
    // A stop at a position already taken goes after the stops there.
    ColorStopGradient addColorStop(const QColor& color, float position) const;
    // Both throw platform::Exception ("NSRangeException") when nothing is there.
    ColorStopGradient removeColorStopAtPosition(float position) const;
    ColorStopGradient removeColorStopAtIndex(int index) const;

    int count() const { return int(m_stops.size()); }
    const QVector<Stop>& stops() const { return m_stops; }
    // Throws "NSRangeException" beyond the stops.
    QColor colorStopAtIndex(int index) const;
    BlendingMode blendingMode() const { return m_mode; }
    void setBlendingMode(BlendingMode mode) { m_mode = mode; }
    // Outside the stops the end colours; white with no stops.
    QColor colorAtPosition(float position) const;

    void drawSwatchInRect(QPainter& painter, const QRectF& rect) const;
    // Covers the whole rectangle along the angle (degrees, counter-clockwise
    // from the positive x axis).
    void fillRect(QPainter& painter, const QRectF& rect, double angle) const;
    // From the centre out to half the larger side, padded at both ends.
    void radialFillRect(QPainter& painter, const QRectF& rect) const;

    // Archiving, keyed coders only (another coder throws platform::Exception
    // "NSInvalidArchiveOperationException"): the stops as unkeyed numbers,
    // five per stop (red, green, blue, alpha, position), then
    // "ColorStopGradientBlendingMode" and "ColorStopGradientElementCount".
    void encodeWithCoder(platform::Coder& coder) const;
    // Nullopt for an archive that holds no whole gradient: a count that the
    // numbers do not cover, a value that is no number or lies outside 0..1,
    // an unknown blending mode.
    static std::optional<ColorStopGradient> initWithCoder(platform::Coder& coder);

private:
    // Sorted by position, after the stops at the same position.
    void insertStop(const Stop& stop);
    template <class Brush>
    void setStopsOn(Brush& brush) const;

    QVector<Stop> m_stops;
    BlendingMode m_mode = Linear;
};
