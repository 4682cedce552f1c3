#include "widgets/PolishedMetallWindow.h"

#include "widgets/PolishedMetall.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QToolBar>

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

void PolishedMetallWindow::setToolbar(QToolBar* toolbar)
{
    if (toolbar_ && toolbar_ != toolbar)
        toolbar_->hide();
    toolbar_ = toolbar;
    if (!toolbar)
        return;
    // No line under the items and no panel: the window's own background
    // shows through.
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setAutoFillBackground(false);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; }"));
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        box->insertWidget(0, toolbar, 0, Qt::AlignTop);
    } else {
        toolbar->setParent(this);
        toolbar->setGeometry(0, 0, width(), toolbar->sizeHint().height());
    }
    toolbar->show();
}

std::optional<QBrush> PolishedMetallWindow::sizedPolishedBackColor(bool flat) const
{
    return polished_metall::sizedPolishedBackColor(size(), flat);
}

void PolishedMetallWindow::windowDidResize()
{
    rebuild(forceDisplay_);
}

PolishedMetallWindow::BuiltFor PolishedMetallWindow::wantedBuild() const
{
    return {size(), flat_, !(polishedOnlyOnKey_ && !isActiveWindow())};
}

void PolishedMetallWindow::rebuildIfStale()
{
    if (built_ && *built_ == wantedBuild() && background_) {
        if (forceDisplay_ && isVisible())
            repaint();
        return;
    }
    rebuild(forceDisplay_);
}

void PolishedMetallWindow::rebuild(bool forceDisplay)
{
    built_ = wantedBuild();
    if (!built_->polished)
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
    if (toolbar_ && !qobject_cast<QBoxLayout*>(layout()))
        toolbar_->resize(width(), toolbar_->height());
    rebuildIfStale();
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
    rebuildIfStale();
}
