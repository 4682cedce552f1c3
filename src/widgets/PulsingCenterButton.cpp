#include "widgets/PulsingCenterButton.h"

PulsingCenterButton::PulsingCenterButton(QWidget* parent)
    : CenterButton(parent)
    , pulseTimer_([this] { pulseIdleTimer(); })
    , pulse_(kPulseDuration)
{
}

void PulsingCenterButton::awakeFromNib()
{
    CenterButton::awakeFromNib();
    dropPulse();
    animateOffset_ = kDefaultOffset;
    setAllowTracking(true);
    awake_ = true;
    pulseTimer_.start(kPulseInterval, true);
}

bool PulsingCenterButton::canPulse() const
{
    return isVisible();
}

void PulsingCenterButton::dropPulse()
{
    pulse_.stopAnimation();
    pulsing_ = false;
}

void PulsingCenterButton::pulseIdleTimer()
{
    if (!canPulse()) {
        pulseTimer_.stop();
        return;
    }
    if (isInTrack())
        return;
    pulsMod_ = !pulsMod_;
    pulsing_ = true;
    pulse_.setAnimatedHistoryContainer(this);
}

void PulsingCenterButton::doAnimate(double progress)
{
    if (!pulsing_) {
        CenterButton::doAnimate(progress);
        return;
    }
    const double level = pulsMod_ ? progress * 0.5 : 0.5 - progress * 0.5;
    setFooterAlpha(level + animateOffset_);
}

void PulsingCenterButton::doHighlite(bool on)
{
    dropPulse();
    CenterButton::doHighlite(on);
    pulsMod_ = on;
}

void PulsingCenterButton::setAllowTracking(bool allow)
{
    allowTracking_ = allow;
    updateTrackingRect();
}

void PulsingCenterButton::setVisible(bool visible)
{
    CenterButton::setVisible(visible);
    if (!visible) {
        dropPulse();
        pulseTimer_.stop();
    }
}

void PulsingCenterButton::showEvent(QShowEvent* event)
{
    CenterButton::showEvent(event);
    if (awake_ && !pulseTimer_.isActive())
        pulseTimer_.start(kPulseInterval, true);
}
