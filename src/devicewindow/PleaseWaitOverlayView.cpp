#include "devicewindow/PleaseWaitOverlayView.h"

#include "devicewindow/DorvantiWindow.h"

#include "platform/RunLoop.h"
#include "widgets/BusyModalSession.h"

PleaseWaitOverlayView::PleaseWaitOverlayView(QWidget* parent) : BasisOverlayView(parent)
{
    setObjectName(QStringLiteral("PleaseWaitOverlayView"));
}

PleaseWaitOverlayView::~PleaseWaitOverlayView()
{
    // The window must never stay blocked by an overlay that is gone.
    if (blocked_)
        blocked_->setBlockEvents(false);
    blocked_ = nullptr;
    // Nor may a modal session outlive it: it would keep every key and click.
    if (BusyModalSession* session = busyOverlaySession_) {
        busyOverlaySession_ = nullptr;
        session->end();
    }
}

void PleaseWaitOverlayView::setBlockEvents(bool block)
{
    if (!block) {
        if (blocked_)
            blocked_->setBlockEvents(false);
        blocked_ = nullptr;
        return;
    }
    QWidget* over = overlayParent();
    auto* window = over ? qobject_cast<DorvantiWindow*>(over->window()) : nullptr;
    if (!window)
        return;
    if (blocked_ && blocked_ != window)
        blocked_->setBlockEvents(false);
    blocked_ = window;
    window->setBlockEvents(true);
}

void PleaseWaitOverlayView::SetToOverlayView(QWidget* view)
{
    if (!platform::runloop::isMainThread()) {
        QPointer<QWidget> target(view);
        const bool hide = view == nullptr;
        platform::runloop::performOnMainThread([this, target, hide] {
            if (hide || target)
                SetToOverlayView(target);
        }, this);
        return;
    }
    if (!view)
        setBlockEvents(false);
    BasisOverlayView::SetToOverlayView(view);
    if (view)
        setBlockEvents(true);
    endSessionIfGone();
}

void PleaseWaitOverlayView::closeTheOverlay()
{
    platform::runloop::performOnMainThread([this] { SetToOverlayView(nullptr); }, this);
}

void PleaseWaitOverlayView::viewDidResignOverlay()
{
    // Taken away by anyone (the overlay layer, its parent view going): the
    // block goes with it.
    setBlockEvents(false);
}

void PleaseWaitOverlayView::endSessionIfGone()
{
    if (IsInOverlay() || !busyOverlaySession_)
        return;
    BusyModalSession* session = busyOverlaySession_;
    busyOverlaySession_ = nullptr;
    session->end();
}
