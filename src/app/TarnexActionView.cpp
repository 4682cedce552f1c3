#include "app/TarnexActionView.h"

#include "app/TarnexImages.h"

#include <QPainter>

TarnexActionView::TarnexActionView(QWidget* parent)
    : QWidget(parent)
    , background_(tarnex::image(tarnex::kStatusBackground))
{
}

void TarnexActionView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QSizeF size = background_.deviceIndependentSize();
    // At the bottom-left origin, as the picture is laid out.
    painter.drawImage(QRectF(QPointF(0, height() - size.height()), size), background_);
}
