#include "app/PanelFadeAnimation.h"

#include <utility>

PanelFadeAnimation::PanelFadeAnimation(QWidget* startPane, QWidget* endPane, int direction,
                                       std::function<void()> didEnd)
    : start_(startPane), end_(endPane), direction_(direction), didEnd_(std::move(didEnd))
{
    animation_.setDuration(kDuration);
    animation_.setProgressHandler([this](double progress) { step(progress); });
}

void PanelFadeAnimation::start()
{
    if (start_ && direction_ != 0) {
        startEffect_ = new QGraphicsOpacityEffect(start_);
        start_->setGraphicsEffect(startEffect_);
    }
    if (end_) {
        endEffect_ = new QGraphicsOpacityEffect(end_);
        end_->setGraphicsEffect(endEffect_);
        end_->show();
    }
    step(0);
    animation_.start();
}

void PanelFadeAnimation::step(double progress)
{
    if (startEffect_)
        startEffect_->setOpacity(1.0 - progress);
    if (endEffect_)
        endEffect_->setOpacity(progress);
    if (progress < 1.0)
        return;
    // The effects go with the animation; the panes draw plainly again.
    if (start_ && startEffect_)
        start_->setGraphicsEffect(nullptr);
    if (end_ && endEffect_)
        end_->setGraphicsEffect(nullptr);
    if (std::function<void()> didEnd = std::exchange(didEnd_, {}))
        didEnd();
}
