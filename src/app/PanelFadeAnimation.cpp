#include "app/PanelFadeAnimation.h"

void PanelFadeAnimation::begin()
{
    if (start_ && direction_ != 0) {
        startEffect_ = new QGraphicsOpacityEffect(start_);
        start_->setGraphicsEffect(startEffect_);
    }
    if (end_) {
        endEffect_ = new QGraphicsOpacityEffect(end_);
        end_->setGraphicsEffect(endEffect_);
    }
}

void PanelFadeAnimation::step(double progress)
{
    if (progress >= 1.0) {
        if (start_ && startEffect_)
            start_->setGraphicsEffect(nullptr);
        if (end_ && endEffect_)
            end_->setGraphicsEffect(nullptr);
        return;
    }
    if (startEffect_)
        startEffect_->setOpacity(1.0 - progress);
    if (endEffect_)
        endEffect_->setOpacity(progress);
}
