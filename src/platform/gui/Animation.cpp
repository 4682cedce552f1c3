#include "platform/gui/Animation.h"

#include <QApplication>
#include <algorithm>
#include <cmath>

namespace platform::gui {

Animation::Animation(Progress onProgress)
    : onProgress_(std::move(onProgress))
    , timer_([this] { tick(); })
{
}

void Animation::setProgressHandler(Progress onProgress)
{
    onProgress_ = std::move(onProgress);
}

void Animation::setDuration(double seconds)
{
    duration_ = std::max(seconds, 0.001);
}

void Animation::start()
{
    startTime_ = Clock::instance().now();
    timer_.start(kFrameInterval, true);
    if (onProgress_)
        onProgress_(0.0);
}

void Animation::stop()
{
    timer_.stop();
}

bool Animation::isRunning() const
{
    return timer_.isActive();
}

void Animation::tick()
{
    const double t = (Clock::instance().now() - startTime_) / duration_;
    double progress;
    if (pulse_) {
        progress = 1.0 - std::abs(1.0 - std::fmod(t, 2.0));
    } else {
        progress = std::min(t, 1.0);
        if (progress >= 1.0)
            timer_.stop();
    }
    if (onProgress_)
        onProgress_(progress);
}

namespace {

std::function<void()>& beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

} // namespace

void beep()
{
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

void setBeepHandler(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}

} // namespace platform::gui
