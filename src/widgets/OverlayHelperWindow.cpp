#include "widgets/OverlayHelperWindow.h"

#include "widgets/OverlayHelperView.h"
#include "widgets/OverlayView.h"

#include <QResizeEvent>
#include <QScopedValueRollback>

OverlayHelperWindow::OverlayHelperWindow(QWidget* parentView, QWidget* overlay, int ordered)
    : QWidget(parentView->window())
    , parentView_(parentView)
    , overlay_(overlay)
    , overlayHome_(overlay->parentWidget())
    , helperView_(nullptr)
    , order_(ordered)
{
    setObjectName(QStringLiteral("OverlayHelperWindow"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    overlay->setParent(this);
    overlay->move(0, 0);
    overlay->show();
    helperView_ = new OverlayHelperView(parentView, this);
    parentViewChanged();
}

OverlayHelperWindow::~OverlayHelperWindow()
{
    // The window that carries the layer may be going: the overlay is not ours.
    releaseOverlay();
}

void OverlayHelperWindow::releaseOverlay()
{
    detach();
    if (helperView_) {
        helperView_->setHelperWindow(nullptr);
        delete helperView_;
        helperView_ = nullptr;
    }
    if (overlay_ && overlay_->parentWidget() == this) {
        overlay_->hide();
        overlay_->setParent(overlayHome_);
    }
    overlay_ = nullptr;
}

void OverlayHelperWindow::parentViewChanged()
{
    // Attaching moves the layer into the window, which reports back here.
    if (changing_)
        return;
    const QScopedValueRollback guard(changing_, true);
    const bool inWindow = parentView_ && overlay_ && parentView_->isVisible();
    if (attached_ && (!inWindow || parentWidget() != parentView_->window()))
        detach();
    if (inWindow && !attached_)
        attach();
    if (attached_)
        place();
}

void OverlayHelperWindow::attach()
{
    auto* hooks = dynamic_cast<OverlayHooks*>(overlay_.data());
    if (hooks)
        hooks->viewWillBecomeOverlay();
    if (parentWidget() != parentView_->window())
        setParent(parentView_->window());
    attached_ = true;
    place();
    show();
    if (order_ >= 0)
        raise();
    else
        lower();
    if (hooks)
        hooks->viewDidBecomeOverlay();
}

void OverlayHelperWindow::detach()
{
    if (!attached_)
        return;
    auto* hooks = dynamic_cast<OverlayHooks*>(overlay_.data());
    if (hooks)
        hooks->viewWillResignOverlay();
    hide();
    attached_ = false;
    if (hooks)
        hooks->viewDidResignOverlay();
}

void OverlayHelperWindow::place()
{
    QWidget* host = parentWidget();
    if (!host || !parentView_)
        return;
    const QPoint origin = parentView_ == host ? QPoint() : parentView_->mapTo(host, QPoint());
    setGeometry(QRect(origin, parentView_->size()));
    if (order_ >= 0)
        raise();
}

void OverlayHelperWindow::resizeEvent(QResizeEvent* event)
{
    if (overlay_)
        overlay_->setGeometry(QRect(QPoint(), event->size()));
    QWidget::resizeEvent(event);
}
