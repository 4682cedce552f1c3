#include "lumwick/RadialBackdropView.h"

#include "lumwick/ColorStopGradient.h"

#include <QPaintEvent>
#include <QPainter>

void RadialBackdropView::paintEvent(QPaintEvent* event)
{
    if (!drawsArea(event->rect()))
        return;
    QPainter painter(this);
    ColorStopGradient::unifiedSelectedGradient().radialFillRect(painter, event->rect());
}
