#include "app/PanelAnimation.h"

#include <utility>

PanelAnimation::PanelAnimation(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd)
    : start_(startPane), end_(endPane), direction_(direction < 0 ? -1 : 1), didEnd_(std::move(didEnd))
{
    animation_.setDuration(kDuration);
    animation_.setProgressHandler([this](double progress) { step(progress); });
}

void PanelAnimation::start()
{
    startOrigin_ = start_ ? start_->pos() : QPoint();
    endOrigin_ = end_ ? end_->pos() : QPoint();
    if (end_)
        end_->show();
    step(0);
    animation_.start();
}

void PanelAnimation::step(double progress)
{
    const int width = start_ ? start_->width() : (end_ ? end_->width() : 0);
    const int shift = int(direction_ * width * progress);
    if (start_)
        start_->move(startOrigin_.x() - shift, startOrigin_.y());
    if (end_)
        end_->move(endOrigin_.x() + direction_ * width - shift, endOrigin_.y());
    if (progress < 1.0)
        return;
    if (start_)
        start_->move(startOrigin_);
    if (end_)
        end_->move(endOrigin_);
    if (std::function<void()> didEnd = std::exchange(didEnd_, {}))
        didEnd();
}
