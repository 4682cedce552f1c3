#include "app/TarnexSheetView.h"

#include "app/TarnexImages.h"

#include <QPainter>

TarnexSheetView::TarnexSheetView(QWidget* parent)
    : QWidget(parent)
    , title_(tarnex::image(tarnex::kMiddleTitle))
    , gradient_(tarnex::image(tarnex::kSheetGradient))
{
}

void TarnexSheetView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = width();
    const qreal h = height();
    const qreal th = title_.deviceIndependentSize().height();
    const QSizeF g = gradient_.deviceIndependentSize();
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QRectF(0, 0, w, th), title_);
    tarnex::drawTitle(painter, QRectF(0, 0, w, th), sheetTitle(), tarnex::titleFont(font()));
    QPen pen(QColor::fromRgbF(0.4, 0.4, 0.4));
    pen.setWidthF(2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF frame[] = {{2, th + 1}, {2, h - 2}, {w - 2, h - 2}, {w - 2, th + 1}};
    painter.drawPolyline(frame, 4);
    painter.drawImage(QRectF(QPointF(1, th), g), gradient_);
    painter.drawImage(QRectF(QPointF(w - 3, th), g), gradient_);
}
