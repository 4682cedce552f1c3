#include "widgets/TabViewAnimation.h"

TabViewAnimation::TabViewAnimation(Redraw redraw, std::function<void()> onEnd)
    : redraw_(std::move(redraw))
    , onEnd_(std::move(onEnd))
{
    animation_.setProgressHandler([this](double progress) { setCurrentProgress(progress); });
}

void TabViewAnimation::start(double seconds)
{
    value_ = 0.0;
    animation_.setDuration(seconds);
    animation_.start();
}

void TabViewAnimation::setCurrentProgress(double progress)
{
    value_ = curve_.valueForProgress(progress);
    if (redraw_)
        redraw_();
    if (progress >= 1.0 && onEnd_)
        onEnd_();
}
