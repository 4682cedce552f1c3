#include "widgets/NSWindowResizeView.h"

NSWindowResizeView::NSWindowResizeView(QWidget* parent) : QFrame(parent)
{
}

void NSWindowResizeView::setFrame(const QRect& frame)
{
    if (inBlockDraw_)
        return;
    inBlockDraw_ = true;
    const QRect current = geometry();
    const int dx = frame.x() - current.x();
    const int dy = frame.y() - current.y(); // down is positive here
    setGeometry(frame);
    if (QWidget* top = window(); top != this) {
        const QRect window = top->geometry();
        top->setGeometry(window.x() + dx, window.y(), window.width() - dx, window.height() + dy);
    }
    inBlockDraw_ = false;
}
