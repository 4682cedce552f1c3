#include "widgets/MirrovanceWindow.h"

MirrovanceWindow::MirrovanceWindow(QWidget* parent)
    : BlackToolWindow(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setBackAlphaValue(1.0);
}

QColor MirrovanceWindow::getBackGroundColor(qreal alpha) const
{
    return QColor::fromRgbF(0.5, 0.5, 0.5, alpha);
}
