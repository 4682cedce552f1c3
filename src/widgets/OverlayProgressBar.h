#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

// The flat rounded progress bar of the busy overlay: an outline in the text
// colour, a track in the background colour and the done part in the text
// colour. The value is clamped to the range when drawn.
class OverlayProgressBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)

public:
    explicit OverlayProgressBar(QWidget* parent = nullptr);

    double minValue() const { return minValue_; }
    double maxValue() const { return maxValue_; }
    // Plain setters: the bar is drawn again with its next value.
    void setMinValue(double value) { minValue_ = value; }
    void setMaxValue(double value) { maxValue_ = value; }
    double doubleValue() const { return value_; }
    // A changed value asks the bar's parent to draw again.
    void setDoubleValue(double value);

    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& colour);
    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& colour);

    // The three rectangles of the drawing: outline, track, done part.
    QRectF outlineRect() const;
    QRectF trackRect() const;
    QRectF doneRect() const;
    // The share of the range done, 0 to 1 (an empty or inverted range: 0
    // below its minimum, else 1).
    double doneFraction() const;

    static QPainterPath progressPath(const QRectF& rect);
    QSize sizeHint() const override { return {200, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double minValue_ = 0;
    double maxValue_ = 100;
    double value_ = 0;
    QColor textColor_ = QColor(235, 235, 235);
    QColor backgroundColor_ = QColor(70, 70, 70);
};
