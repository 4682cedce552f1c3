#include "widgets/OverlayHelperView.h"

#include "widgets/OverlayHelperWindow.h"

#include <QEvent>

OverlayHelperView::OverlayHelperView(QWidget* parentView, OverlayHelperWindow* helperWindow)
    : QObject(helperWindow)
    , parentView_(parentView)
    , helperWindow_(helperWindow)
{
    watchAncestors();
}

void OverlayHelperView::watchAncestors()
{
    for (const QPointer<QWidget>& widget : std::as_const(watched_)) {
        if (widget)
            widget->removeEventFilter(this);
    }
    watched_.clear();
    for (QWidget* widget = parentView_; widget; widget = widget->parentWidget()) {
        widget->installEventFilter(this);
        watched_.append(widget);
        if (widget->isWindow())
            break;
    }
}

bool OverlayHelperView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (helperWindow_)
            helperWindow_->parentViewChanged();
        break;
    case QEvent::ChildAdded:
        // Content added to the window later is stacked on top: keep the layer in
        // its place.
        if (helperWindow_ && watched == helperWindow_->parentWidget())
            helperWindow_->parentViewChanged();
        break;
    default:
        break;
    }
    return false;
}
