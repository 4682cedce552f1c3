#include "widgets/PhoneButtonCell.h"

#include "widgets/FooterToolBarView.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

PhoneButtonCell::PhoneButtonCell(QWidget* parent) : QAbstractButton(parent), fade_(kFadeDuration)
{
    setFocusPolicy(Qt::StrongFocus);
}

void PhoneButtonCell::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

void PhoneButtonCell::setWraps(bool wraps)
{
    wraps_ = wraps;
    update();
}

void PhoneButtonCell::updateTrackingRectCell(bool track)
{
    tracking_ = track && parentWidget() && isEnabled();
}

void PhoneButtonCell::doHighlite(bool on)
{
    if (on == inTrack_)
        return;
    inTrack_ = on;
    fade_.setAnimatedHistoryContainer(this);
}

void PhoneButtonCell::doAnimate(double progress)
{
    const double level = inTrack_ ? progress : 1.0 - progress;
    frontWhiteColor_ = std::min(level * 1.23, 1.0);
    update();
}

bool PhoneButtonCell::isInTrack() const
{
    return fade_.isAnimating() || inTrack_;
}

void PhoneButtonCell::setHighLited()
{
    highlited_ = true;
    update();
}

bool PhoneButtonCell::isHighlighted() const
{
    return isDown() || (highlited_ && inTrack_);
}

QColor PhoneButtonCell::titleColor() const
{
    if (!isEnabled())
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    return QColor::fromRgbF(float(frontWhiteColor_), float(frontWhiteColor_), float(frontWhiteColor_));
}

QSize PhoneButtonCell::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    return {text.width() + 24, std::max(text.height() + 8, 22)};
}

void PhoneButtonCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF frame = rect();
    if (isHighlighted())
        FooterToolBarView::drawBadge(&painter, frame, Qt::black, true, badgeRadius(frame.height()));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(titleColor());
    int flags = int(alignment_) | Qt::TextShowMnemonic;
    flags |= wraps_ ? Qt::TextWordWrap : 0;
    const QRect textRect = rect().adjusted(6, 2, -6, -2);
    painter.drawText(textRect, flags, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void PhoneButtonCell::enterEvent(QEnterEvent* event)
{
    if (tracking_ && isActiveWindow())
        doHighlite(true);
    QAbstractButton::enterEvent(event);
}

void PhoneButtonCell::leaveEvent(QEvent* event)
{
    highlited_ = false;
    doHighlite(false);
    QAbstractButton::leaveEvent(event);
}

void PhoneButtonCell::mousePressEvent(QMouseEvent* event)
{
    setHighLited();
    QAbstractButton::mousePressEvent(event);
}

void PhoneButtonCell::changeEvent(QEvent* event)
{
    // A disabled cell loses its tracking.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        tracking_ = false;
    QAbstractButton::changeEvent(event);
}
