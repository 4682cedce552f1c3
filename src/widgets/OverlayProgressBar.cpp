#include "widgets/OverlayProgressBar.h"

#include "widgets/FooterToolBarView.h"

#include <QPainter>
#include <algorithm>

OverlayProgressBar::OverlayProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(tr("Progress"));
}

void OverlayProgressBar::setDoubleValue(double value)
{
    if (parentWidget() && value != value_)
        parentWidget()->update();
    value_ = value;
}

void OverlayProgressBar::setTextColor(const QColor& colour)
{
    textColor_ = colour;
    update();
}

void OverlayProgressBar::setBackgroundColor(const QColor& colour)
{
    backgroundColor_ = colour;
    update();
}

QRectF OverlayProgressBar::outlineRect() const
{
    return QRectF(rect()).adjusted(5, 5, -5, -5);
}

QRectF OverlayProgressBar::trackRect() const
{
    const QRectF r1 = outlineRect();
    const qreal inset = r1.height() / 14;
    return r1.adjusted(inset, inset, -inset, -inset);
}

double OverlayProgressBar::doneFraction() const
{
    const double span = maxValue_ - minValue_;
    if (!(span > 0))
        return value_ < minValue_ ? 0.0 : 1.0;
    const double clamped = std::clamp(value_, minValue_, maxValue_);
    return (clamped - minValue_) / span;
}

QRectF OverlayProgressBar::doneRect() const
{
    const QRectF r2 = trackRect();
    const qreal inset = r2.height() / 12;
    QRectF r3 = r2.adjusted(inset, inset, -inset, -inset);
    r3.setWidth(r3.width() * doneFraction());
    return r3;
}

QPainterPath OverlayProgressBar::progressPath(const QRectF& rect)
{
    return FooterToolBarView::badgePath(rect, rect.height() / 3.3);
}

void OverlayProgressBar::paintEvent(QPaintEvent*)
{
    const QRectF r1 = outlineRect();
    if (r1.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(progressPath(r1), QPen(textColor_, r1.height() / 9.9));
    painter.fillPath(progressPath(trackRect()), backgroundColor_);
    const QRectF r3 = doneRect();
    if (r3.width() > 0)
        painter.fillPath(progressPath(r3), textColor_);
}
