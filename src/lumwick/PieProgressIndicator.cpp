#include "lumwick/PieProgressIndicator.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

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
