#include "app/TarnexSyncView.h"

#include "app/TarnexImages.h"

#include <QPainter>

TarnexSyncView::TarnexSyncView(QWidget* parent)
    : QWidget(parent)
    , left_(tarnex::image(tarnex::kLeftShadow))
    , top_(tarnex::image(tarnex::kTopShadow))
    , corner_(tarnex::image(tarnex::kCornerShadow))
    , right_(tarnex::image(tarnex::kRightShadow))
{
}

void TarnexSyncView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal w = width();
    const qreal h = height();
    const QSizeF c = corner_.deviceIndependentSize();
    const qreal lw = left_.deviceIndependentSize().width();
    const qreal th = top_.deviceIndependentSize().height();
    const qreal rw = right_.deviceIndependentSize().width();
    painter.fillRect(rect(), QColor::fromRgbF(0.7, 0.7, 0.7));
    // Laid out from the bottom-left corner, flipped into widget coordinates.
    painter.drawImage(QRectF(0, c.height(), lw, h - c.height()), left_);
    painter.drawImage(QRectF(c.width(), th - c.height(), w - c.width(), c.height()), top_);
    painter.drawImage(QRectF(w - rw, th, rw, h - th), right_);
    painter.drawImage(QRectF(QPointF(0, 0), c), corner_);
}
