#include "widgets/CenterButton.h"

#include "widgets/FooterToolBarView.h"

#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>

CenterButton::CenterButton(QWidget* parent) : QPushButton(parent), fade_(kFadeDuration)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CenterButton::awakeFromNib()
{
    if (!footer_ && !footerName_.isEmpty())
        footer_ = platform::gui::outlet<QWidget>(window(), footerName_);
    inTrack_ = true;
    doHighlite(false);
    updateTrackingRect();
}

FooterToolBarView* CenterButton::footerBar() const
{
    return qobject_cast<FooterToolBarView*>(footer_.data());
}

void CenterButton::doHighlite(bool on)
{
    if (!footerBar() || on == inTrack_)
        return;
    inTrack_ = on;
    fade_.setAnimatedHistoryContainer(this);
}

void CenterButton::doAnimate(double progress)
{
    setFooterAlpha(inTrack_ ? progress : 1.0 - progress);
}

void CenterButton::setFooterAlpha(double alpha)
{
    FooterToolBarView* bar = footerBar();
    if (!bar)
        return;
    QColor colour = bar->fillColor();
    if (!colour.isValid())
        return;
    colour.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    bar->setFillColor(colour);
}

bool CenterButton::isInTrack() const
{
    return fade_.isAnimating() || inTrack_;
}

void CenterButton::updateTrackingRect()
{
    tracking_ = wantsTracking() && parentWidget() != nullptr && !isHidden();
}

void CenterButton::setVisible(bool visible)
{
    QPushButton::setVisible(visible);
    if (!visible)
        tracking_ = false;
    else
        updateTrackingRect();
}

void CenterButton::enterEvent(QEnterEvent* event)
{
    if (tracking_ && isActiveWindow())
        doHighlite(true);
    QPushButton::enterEvent(event);
}

void CenterButton::leaveEvent(QEvent* event)
{
    doHighlite(false);
    QPushButton::leaveEvent(event);
}

void CenterButton::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled() && menu() && event->button() == Qt::LeftButton) {
        // The menu takes over the pointer: the highlight goes at once.
        fade_.stopAnimation();
        if (inTrack_) {
            inTrack_ = false;
            setFooterAlpha(0);
        }
    }
    QPushButton::mousePressEvent(event);
}

bool CenterButton::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        updateTrackingRect();
    return QPushButton::event(event);
}
