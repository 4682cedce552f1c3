#include "app/PanelAnimation.h"

PanelAnimation::PanelAnimation(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd)
    : PanelTransition(startPane, endPane, direction < 0 ? -1 : 1, std::move(didEnd))
{
}

void PanelAnimation::begin()
{
    startOrigin_ = start_ ? start_->pos() : QPoint();
    endOrigin_ = end_ ? end_->pos() : QPoint();
}

void PanelAnimation::step(double progress)
{
    if (progress >= 1.0) {
        if (start_)
            start_->move(startOrigin_);
        if (end_)
            end_->move(endOrigin_);
        return;
    }
    const int width = start_ ? start_->width() : (end_ ? end_->width() : 0);
    const int shift = int(direction_ * width * progress);
    if (start_)
        start_->move(startOrigin_.x() - shift, startOrigin_.y());
    if (end_)
        end_->move(endOrigin_.x() + direction_ * width - shift, endOrigin_.y());
}
