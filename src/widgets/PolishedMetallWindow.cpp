#include "widgets/PolishedMetallWindow.h"

#include "widgets/PolishedMetall.h"

#include <QApplication>
#include <QEvent>

PolishedMetallWindow::PolishedMetallWindow(QWidget* parent, bool flat) : QWidget(parent, Qt::Window), flat_(flat)
{
    setAutoFillBackground(true);
    rebuild(false);
}

void PolishedMetallWindow::setFlatStyle(bool flat)
{
    flat_ = flat;
    rebuild(true);
}

void PolishedMetallWindow::setPolishedOnlyOnKey(bool on)
{
    polishedOnlyOnKey_ = on;
    rebuild(true);
}

void PolishedMetallWindow::setMinSize(const QSize& size)
{
    setMinimumSize(std::max(size.width(), kMinimumSide), std::max(size.height(), kMinimumSide));
}

void PolishedMetallWindow::setFrame(const QRect& frame)
{
    forceDisplay_ = true;
    setGeometry(frame);
    rebuild(true);
    forceDisplay_ = false;
}

std::optional<QBrush> PolishedMetallWindow::sizedPolishedBackColor(bool flat) const
{
    return polished_metall::sizedPolishedBackColor(size(), flat);
}

void PolishedMetallWindow::windowDidResize()
{
    rebuild(forceDisplay_);
}

void PolishedMetallWindow::rebuild(bool forceDisplay)
{
    if (polishedOnlyOnKey_ && !isActiveWindow())
        background_.reset();
    else
        background_ = sizedPolishedBackColor(flat_);
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window,
                     background_ ? *background_ : QApplication::palette(this).brush(QPalette::Window));
    setPalette(palette);
    if (forceDisplay && isVisible())
        repaint();
}

void PolishedMetallWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    windowDidResize();
}

void PolishedMetallWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && polishedOnlyOnKey_)
        rebuild(true);
}

void PolishedMetallWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    windowDidResize();
}
