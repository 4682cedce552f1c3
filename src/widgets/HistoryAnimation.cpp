#include "widgets/HistoryAnimation.h"

#include "widgets/AnimatedObject.h"

HistoryAnimation::HistoryAnimation(double seconds, QEasingCurve::Type curve)
    : animation_([this](double linear) { step(linear); })
    , curve_(curve)
{
    animation_.setDuration(seconds);
}

void HistoryAnimation::setAnimatedHistoryContainer(AnimatedObject* target)
{
    animation_.stop();
    target_ = target;
    animation_.start();
}

void HistoryAnimation::step(double linear)
{
    const bool ended = linear >= 1.0 && !animation_.isRunning();
    if (target_)
        target_->doAnimate(curve_.valueForProgress(linear));
    if (ended && onEnd_)
        onEnd_();
}
