#include "lumwick/PieProgressIndicator.h"

#include "platform/Coder.h"
#include "platform/Values.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr const char* kFrameWidthKey = "frameWidth";
constexpr const char* kFrameColorKey = "frameColor";
constexpr const char* kWedgeColorKey = "wedgeColor";
constexpr const char* kBackgroundColorKey = "backgroundColor";
constexpr const char* kUseStepsKey = "useSteps";
constexpr const char* kStepAngleKey = "stepAngle";
constexpr const char* kOverFillFirstStepKey = "overFillFirstStep";
constexpr const char* kMinValueKey = "minValue";
constexpr const char* kMaxValueKey = "maxValue";
constexpr const char* kDoubleValueKey = "doubleValue";

QVariant colorValue(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return QVariantList{rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

std::optional<QColor> colorFrom(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList parts = value.toList();
    if (parts.size() != 4)
        return std::nullopt;
    float component[4];
    for (int i = 0; i < 4; ++i) {
        if (!platform::values::isNumber(parts.at(i)))
            return std::nullopt;
        const double v = parts.at(i).toDouble();
        if (!(v >= 0 && v <= 1))
            return std::nullopt;
        component[i] = float(v);
    }
    return QColor::fromRgbF(component[0], component[1], component[2], component[3]);
}

std::optional<double> numberFrom(const QVariant& value)
{
    if (!platform::values::isNumber(value) || value.typeId() == QMetaType::Bool)
        return std::nullopt;
    const double v = value.toDouble();
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::optional<bool> flagFrom(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool ? std::optional<bool>(value.toBool()) : std::nullopt;
}

} // namespace

void registerWizardWidgetClasses()
{
    platform::gui::registerWidgetClass(QStringLiteral("PieProgressIndicator"),
                                       [](QWidget* parent) { return new PieProgressIndicator(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("QVProgressPie"),
                                       [](QWidget* parent) { return new QVProgressPie(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("QVImageViewer"),
                                       [](QWidget* parent) { return new QVImageViewer(parent); });
}

PieProgressIndicator::PieProgressIndicator(QWidget* parent)
    : QWidget(parent)
    , m_frameColor(QColor::fromRgbF(0.933f, 0.49f, 0.149f, 1.0f))
    , m_wedgeColor(m_frameColor)
{
    setHaltedImage(platform::gui::image(QString::fromLatin1(platform::gui::kLumwickBundle),
                                        QStringLiteral("ProgressIndicatorHalted")));
}

template <class T>
void PieProgressIndicator::change(T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    update();
}

void PieProgressIndicator::setMinValue(double value) { change(m_min, value); }
void PieProgressIndicator::setMaxValue(double value) { change(m_max, value); }
void PieProgressIndicator::setDoubleValue(double value) { change(m_value, value); }
void PieProgressIndicator::setHalted(bool halted) { change(m_halted, halted); }
void PieProgressIndicator::setFrameWidth(double width) { change(m_frameWidth, width); }
void PieProgressIndicator::setFrameColor(const QColor& color) { change(m_frameColor, color); }
void PieProgressIndicator::setWedgeColor(const QColor& color) { change(m_wedgeColor, color); }
void PieProgressIndicator::setBackgroundColor(const QColor& color) { change(m_backgroundColor, color); }
void PieProgressIndicator::setUseSteps(bool use) { change(m_useSteps, use); }
void PieProgressIndicator::setStepAngle(double degrees) { change(m_stepAngle, degrees); }

void PieProgressIndicator::setOverFillFirstStep(bool overFill)
{
    m_overFillFirstStep = overFill;
    update();
}

void PieProgressIndicator::setHaltedImage(const QImage& image)
{
    const QSize size = this->size().isEmpty() ? QSize(16, 16) : this->size();
    m_haltedImage = image.isNull() ? QImage() : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update();
}

int PieProgressIndicator::stepCount() const
{
    return m_useSteps && m_stepAngle > 0 ? int(std::lround(360.0 / m_stepAngle)) : 0;
}

void PieProgressIndicator::setStepCount(int count)
{
    if (count <= 0) {
        setUseSteps(false);
        return;
    }
    setStepAngle(360.0 / count);
    setUseSteps(true);
}

void PieProgressIndicator::encodeWithCoder(platform::Coder& coder) const
{
    coder.encodeObject(QLatin1String(kMinValueKey), m_min);
    coder.encodeObject(QLatin1String(kMaxValueKey), m_max);
    coder.encodeObject(QLatin1String(kDoubleValueKey), m_value);
    coder.encodeObject(QLatin1String(kFrameWidthKey), m_frameWidth);
    coder.encodeObject(QLatin1String(kFrameColorKey), colorValue(m_frameColor));
    coder.encodeObject(QLatin1String(kWedgeColorKey), colorValue(m_wedgeColor));
    coder.encodeObject(QLatin1String(kBackgroundColorKey), colorValue(m_backgroundColor));
    coder.encodeObject(QLatin1String(kUseStepsKey), m_useSteps);
    coder.encodeObject(QLatin1String(kStepAngleKey), m_stepAngle);
    coder.encodeObject(QLatin1String(kOverFillFirstStepKey), m_overFillFirstStep);
}

void PieProgressIndicator::decodeWithCoder(const platform::Coder& coder)
{
    const auto value = [&coder](const char* key) { return coder.decodeObjectForKey(QLatin1String(key)); };
    const std::optional<double> min = numberFrom(value(kMinValueKey));
    const std::optional<double> max = numberFrom(value(kMaxValueKey));
    if (min && max && *min < *max) {
        setMinValue(*min);
        setMaxValue(*max);
    }
    if (const std::optional<double> v = numberFrom(value(kDoubleValueKey)))
        setDoubleValue(*v);
    if (const std::optional<double> width = numberFrom(value(kFrameWidthKey)); width && *width >= 0)
        setFrameWidth(*width);
    if (const std::optional<QColor> color = colorFrom(value(kFrameColorKey)))
        setFrameColor(*color);
    if (const std::optional<QColor> color = colorFrom(value(kWedgeColorKey)))
        setWedgeColor(*color);
    if (const std::optional<QColor> color = colorFrom(value(kBackgroundColorKey)))
        setBackgroundColor(*color);
    if (const std::optional<bool> use = flagFrom(value(kUseStepsKey)))
        setUseSteps(*use);
    if (const std::optional<double> angle = numberFrom(value(kStepAngleKey)); angle && *angle > 0 && *angle <= 360)
        setStepAngle(*angle);
    if (const std::optional<bool> overFill = flagFrom(value(kOverFillFirstStepKey)))
        setOverFillFirstStep(*overFill);
}

PieProgressIndicator::Plan PieProgressIndicator::plan() const
{
    Plan plan;
    if (m_halted) {
        plan.haltedImage = true;
        return plan;
    }
    const double range = m_max - m_min;
    double angle = range > 0 ? std::clamp((m_value - m_min) / range, 0.0, 1.0) * 360.0 : 0.0;
    if (m_useSteps && m_stepAngle > 0) {
        if (angle > 0 && angle < m_stepAngle && m_overFillFirstStep)
            angle = m_stepAngle;
        else
            angle = std::floor(angle / m_stepAngle) * m_stepAngle;
    }
    plan.background = true;
    plan.frame = true;
    plan.angle = angle;
    plan.wedge = angle != 0;
    plan.wedgeStroke = plan.wedge && angle != 360;
    return plan;
}

void PieProgressIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const Plan plan = this->plan();
    if (plan.haltedImage) {
        painter.drawImage(rect(), m_haltedImage);
        return;
    }
    QPainterPath clip;
    clip.addEllipse(QRectF(rect()));
    painter.setClipPath(clip);
    const double inset = m_frameWidth / 2;
    const QRectF oval = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_backgroundColor);
    painter.drawEllipse(oval);
    if (plan.wedge) {
        QPainterPath wedge;
        wedge.moveTo(oval.center());
        // From twelve o'clock, clockwise (Qt counts counter-clockwise).
        wedge.arcTo(oval, 90, -plan.angle);
        wedge.closeSubpath();
        QPen stroke(m_frameColor, m_frameWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(plan.wedgeStroke ? stroke : QPen(Qt::NoPen));
        painter.setBrush(m_wedgeColor);
        painter.drawPath(wedge);
    }
    painter.setPen(QPen(m_frameColor, m_frameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(oval);
}

QVProgressPie::QVProgressPie(QWidget* parent) : PieProgressIndicator(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QVImageViewer::QVImageViewer(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QVImageViewer::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void QVImageViewer::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), fitted);
    target.moveCenter(rect().center());
    painter.drawImage(target, m_image);
}
