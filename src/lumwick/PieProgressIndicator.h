#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace platform {
class Coder;
}

// Registers the wizard's widget classes with the form loader, so that forms
// can promote to them ("PieProgressIndicator", "QVProgressPie",
// "QVImageViewer").
void registerWizardWidgetClasses();

// A progress indicator drawn as a pie: a wedge from twelve o'clock clockwise
// over the share of the range reached, optionally in whole steps; or, while
// halted, an image in its place (the expert rows show their status so).
class PieProgressIndicator : public QWidget {
public:
    // What one paint draws, decided from the state alone.
    struct Plan {
        bool haltedImage = false;
        bool background = false;
        bool wedge = false;
        bool wedgeStroke = false;
        bool frame = false;
        double angle = 0;   // degrees of the wedge
    };

    explicit PieProgressIndicator(QWidget* parent = nullptr);

    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    double doubleValue() const { return m_value; }
    void setMinValue(double value);
    void setMaxValue(double value);
    void setDoubleValue(double value);

    bool isHalted() const { return m_halted; }
    void setHalted(bool halted);
    const QImage& haltedImage() const { return m_haltedImage; }
    // Keeps a copy scaled to the indicator's size.
    void setHaltedImage(const QImage& image);

    double frameWidth() const { return m_frameWidth; }
    void setFrameWidth(double width);
    QColor frameColor() const { return m_frameColor; }
    void setFrameColor(const QColor& color);
    QColor wedgeColor() const { return m_wedgeColor; }
    void setWedgeColor(const QColor& color);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);

    bool useSteps() const { return m_useSteps; }
    void setUseSteps(bool use);
    double stepAngle() const { return m_stepAngle; }
    void setStepAngle(double degrees);
    bool overFillFirstStep() const { return m_overFillFirstStep; }
    void setOverFillFirstStep(bool overFill);
    // 360 / step angle with steps on, else 0; 0 turns steps off, n turns them
    // on at 360 / n degrees.
    int stepCount() const;
    void setStepCount(int count);

    Plan plan() const;

    // Archiving (keyed coders): "frameWidth", "frameColor", "wedgeColor",
    // "backgroundColor", "useSteps", "stepAngle", "overFillFirstStep", and the
    // range and value. Colours are [red, green, blue, alpha] in 0..1.
    void encodeWithCoder(platform::Coder& coder) const;
    // Takes what the archive holds over the defaults; a value that is absent,
    // of another type or out of range keeps its default.
    void decodeWithCoder(const platform::Coder& coder);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    template <class T>
    void change(T& field, const T& value);

    bool m_halted = false;
    QImage m_haltedImage;
    double m_frameWidth = 2;
    QColor m_frameColor;
    QColor m_wedgeColor;
    QColor m_backgroundColor = Qt::transparent;
    bool m_useSteps = false;
    double m_stepAngle = 18;
    bool m_overFillFirstStep = false;
    double m_min = 0;
    double m_max = 100;
    double m_value = 25;
};

// The pie of an expert row: clicks go through to the row behind it.
class QVProgressPie : public PieProgressIndicator {
public:
    explicit QVProgressPie(QWidget* parent = nullptr);
};

// An image view whose clicks go through to the view behind it.
class QVImageViewer : public QWidget {
public:
    explicit QVImageViewer(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
