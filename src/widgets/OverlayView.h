#pragma once

#include <QList>

class QWidget;

// Overlays: views laid over another view without becoming its children. Each
// overlay is carried by an OverlayHelperWindow, a transparent layer inside the
// parent view's top-level window (not a window of its own), kept exactly over
// the parent view on every move and resize, shown while the parent view is
// visible in a window and hidden while it is not. The layer lets the mouse
// through to what lies below, except over controls marked interactive.
//
// While shown, an overlay is a child of its layer; removing it gives it back
// (hidden) to the parent it had before. Main thread only.

// Hooks an overlay may implement; each is sent as the overlay is attached to
// or detached from a visible parent view.
class OverlayHooks {
public:
    virtual ~OverlayHooks() = default;
    virtual void viewWillBecomeOverlay() {}
    virtual void viewDidBecomeOverlay() {}
    virtual void viewWillResignOverlay() {}
    virtual void viewDidResignOverlay() {}
};

// Shows overlay over parentView; ordered 1 lays it above the window's other
// content, -1 below it.
void addOverlayView(QWidget* parentView, QWidget* overlay, int ordered);
// Takes overlay away from parentView; unknown parents and overlays are ignored.
void removeOverlayView(QWidget* parentView, QWidget* overlay);
// The overlays shown over parentView, in the order they were added.
QList<QWidget*> overlayViews(const QWidget* parentView);

// Marks a control inside an overlay as taking the mouse itself.
void setOverlayInteractive(QWidget* control, bool interactive = true);
