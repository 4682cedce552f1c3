#include "widgets/BasisOverlayFrame.h"

#include "widgets/FooterToolBarView.h"

#include <QPainter>

BasisOverlayFrame::BasisOverlayFrame(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

void BasisOverlayFrame::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    FooterToolBarView::drawBadge(&painter, rect(), QColor::fromRgbF(0, 0, 0, 0.51), true, kRadius);
    painter.end();
    QFrame::paintEvent(event);
}
