#include "widgets/TransitionOverlay.h"

#include <QPainter>

TransitionOverlay::TransitionOverlay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void TransitionOverlay::setFrame(const QImage& frame)
{
    frame_ = frame;
    update();
}

void TransitionOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(rect(), frame_);
}
