#include "devicewindow/AnimatedTextCell.h"

#include <QPainter>

#include <algorithm>

AnimatedTextCell::AnimatedTextCell(const QRectF& frame, QWidget* parent)
    : FooterToolBarView(parent, Origin::FromInterface), frame_(frame), destRect_(frame)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    placeInParent();
}

void AnimatedTextCell::setStringValue(const QString& text)
{
    dateString_ = text;
    setAccessibleName(text);
    update();
}

void AnimatedTextCell::setAnimatedFrame(const QRectF& frame)
{
    frame_ = frame;
    placeInParent();
}

void AnimatedTextCell::setDestAnimatedFrame(const QRectF& frame, qreal pointSize, qreal textGrey, qreal backAlpha)
{
    startRect_ = frame_;
    destRect_ = frame;
    startSize_ = pointSize_;
    destSize_ = pointSize;
    startTextColor_ = textColor_;
    destTextColor_ = textGrey;
    startBackAlpha_ = backAlpha_;
    destBackAlpha_ = backAlpha;
}

void AnimatedTextCell::doAnimate(double progress)
{
    const auto step = [progress](qreal from, qreal to) { return from + (to - from) * progress; };
    frame_ = QRectF(step(startRect_.x(), destRect_.x()), step(startRect_.y(), destRect_.y()),
                    step(startRect_.width(), destRect_.width()), step(startRect_.height(), destRect_.height()));
    pointSize_ = step(startSize_, destSize_);
    textColor_ = step(startTextColor_, destTextColor_);
    backAlpha_ = step(startBackAlpha_, destBackAlpha_);
    // Only the selected date, once fully there, is white.
    const qreal level = backAlpha_ == 1.0 ? kSelectedFill : kOtherFill;
    QColor fill = QColor::fromRgbF(float(level), float(level), float(level));
    fill.setAlphaF(float(std::clamp<qreal>(backAlpha_, 0, 1)));
    setFillColor(fill);
    placeInParent();
    update();
}

void AnimatedTextCell::placeInParent()
{
    // The strip counts upwards from its bottom edge; widgets downwards.
    const qreal height = parentWidget() ? parentWidget()->height() : frame_.bottom();
    setGeometry(QRectF(frame_.x(), height - frame_.y() - frame_.height(), frame_.width(), frame_.height())
                    .toAlignedRect());
}

void AnimatedTextCell::paintEvent(QPaintEvent* event)
{
    FooterToolBarView::paintEvent(event);
    if (dateString_.isEmpty() || pointSize_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = this->font();
    font.setPointSizeF(pointSize_);
    painter.setFont(font);
    const qreal grey = std::clamp<qreal>(textColor_, 0, 1);
    painter.setPen(QColor::fromRgbF(float(grey), float(grey), float(grey)));
    const QRectF bounds = rect();
    const qreal lowered = bounds.height() / 2 - 0.6 * pointSize_;
    painter.drawText(QRectF(10, lowered, bounds.width() - 10, bounds.height() - lowered),
                     Qt::AlignHCenter | Qt::AlignTop, dateString_);
}
