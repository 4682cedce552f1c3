#pragma once

#include "widgets/BasisOverlayView.h"

#include <QPointer>

class BusyModalSession;
class DorvantiWindow;

// A busy overlay that keeps the user's key presses and left clicks away from
// its phone window while it is shown. Only a DorvantiWindow knows how to block
// them: over an ordinary window the overlay blocks nothing. The block ends
// whenever the overlay goes: removed, closed, or destroyed with the window
// still open. A modal session handed to it ends when the overlay is taken
// away. Main thread for everything but SetToOverlayView, which may be called
// from any thread as its base allows.
class PleaseWaitOverlayView : public BasisOverlayView {
    Q_OBJECT

public:
    explicit PleaseWaitOverlayView(QWidget* parent = nullptr);
    ~PleaseWaitOverlayView() override;

    // Passes the flag to the phone window under the overlay (when it is
    // shown over one); else nothing.
    void setBlockEvents(bool block);
    // null: unblocks first, then hides; a view: shows over it, then blocks.
    // Once no longer shown, a held modal session ends and is forgotten.
    void SetToOverlayView(QWidget* view);
    // Queued on the main-thread queue, so that a close asked for from a
    // running call happens after that call.
    void closeTheOverlay() override;

    // The session that ends with the overlay (the overlay does not own it).
    void setBusyOverlaySession(BusyModalSession* session) { busyOverlaySession_ = session; }
    BusyModalSession* busyOverlaySession() const { return busyOverlaySession_; }
    // The window whose events this overlay blocks now, or null.
    DorvantiWindow* blockedWindow() const { return blocked_; }

    void viewDidResignOverlay() override;

private:
    void endSessionIfGone();

    QPointer<BusyModalSession> busyOverlaySession_;
    QPointer<DorvantiWindow> blocked_;
};
