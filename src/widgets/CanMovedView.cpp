#include "widgets/CanMovedView.h"

void CanMovedView::mousePressEvent(QMouseEvent* event)
{
    if (!drag_.press(window(), event))
        QWidget::mousePressEvent(event);
}

void CanMovedView::mouseMoveEvent(QMouseEvent* event)
{
    if (!drag_.move(window(), event))
        QWidget::mouseMoveEvent(event);
}

void CanMovedView::mouseReleaseEvent(QMouseEvent* event)
{
    drag_.release();
    QWidget::mouseReleaseEvent(event);
}
