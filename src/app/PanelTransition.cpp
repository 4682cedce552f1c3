#include "app/PanelTransition.h"

#include <utility>

PanelTransition::PanelTransition(QWidget* startPane, QWidget* endPane, int direction, std::function<void()> didEnd)
    : start_(startPane), end_(endPane), direction_(direction), didEnd_(std::move(didEnd))
{
    animation_.setDuration(kDuration);
    animation_.setProgressHandler([this](double progress) { tick(progress); });
}

void PanelTransition::start()
{
    begin();
    if (end_)
        end_->show();
    step(0);
    animation_.start();
}

void PanelTransition::tick(double progress)
{
    step(progress);
    if (progress < 1.0)
        return;
    if (std::function<void()> didEnd = std::exchange(didEnd_, {}))
        didEnd();
}
