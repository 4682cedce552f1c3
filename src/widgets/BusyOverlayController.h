#pragma once

#include "platform/Clock.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/BusyModalSession.h"
#include "widgets/OverlayProgressBar.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <functional>
#include <memory>

// The busy overlay of one window and its modal busy sessions: a BasisOverlayView
// (interface file "BasisOverlay") with a message line, a progress bar of 0 to
// 100 and a cancel button, laid over a view of the window. The main window and
// every phone window own one each.
//
// The rules: a show while the overlay is up changes nothing; a hide lets it
// close itself one second later, each progress call pushing that back a
// second; a "stayed" overlay ignores plain hides; while a busy session owns
// the overlay, hides and immediate closes are ignored until the session ends.
class BusyOverlayController : public QObject {
    Q_OBJECT

public:
    // Seconds between checks of a cancellable overlay's mouse forwarding.
    static constexpr double kOverEventInterval = 0.07;
    // How long a hidden overlay stays, and how far each progress call pushes
    // that back.
    static constexpr int kCloseDelaySeconds = 1;
    // The step of busyIdleTime() on a shown overlay.
    static constexpr int kIdleStep = 16;

    // window: the overlay's window; defaultParent: the view a show without a
    // parent view goes over (the window's current pane or center).
    BusyOverlayController(QWidget* window, std::function<QWidget*()> defaultParent, QObject* parent = nullptr);
    ~BusyOverlayController() override;

    void doShowBusyOverlay(bool show, int percent, QWidget* parentView);
    // With the cancel button, which calls cancel (queued) when pressed.
    void doShowBusyOverlayCancel(bool show, int percent, QWidget* parentView, std::function<void()> cancel);
    void doStayedShowBusyOverlay(bool show, int percent, QWidget* parentView);
    void myShowBusyOverlay(bool show, int percent, QWidget* parentView);
    void doProgressBusyOverlay(int percent);
    void doProgressBusyOverlayAndDisplay(int percent);
    void doProgressBusyIncrement(double step);
    void doProgressBusyMessage(const QString& text);
    void doCloseBusyOverlayImmediatly();
    // Removes the overlay whoever owns it.
    void closeOverlayNow();
    QWidget* overlayWindow() const;

    void setOverlayCancel(std::function<void()> action);
    void overlayCancel();
    // The mouse-forwarding check of a cancellable overlay: the session lets
    // the overlay's own controls take their clicks, so the check only stops
    // itself once the overlay is gone.
    void overEvent();
    bool isOverEventRunning() const { return overEventTimer_.isActive(); }

    // The busy indicator's idle check: shows the overlay over the default
    // parent while indicator is visible, or steps its progress when shown.
    void busyIdleTime(const QWidget* indicator);

    // Shows the overlay (percent, over view or the default parent) and starts a
    // session for it; null while another session runs.
    BusyModalSession* startBusyModalSession(QWidget* view, int percent);
    BusyModalSession* startBusyModalSession(QWidget* view, int percent, std::function<void()> cancel);
    // One poll: BusyModalSession::kRunContinues, kRunStopped or kPollFailed.
    int pollBusyModalSession(BusyModalSession* session);
    // Polls until the session stops (timeOut negative) or until timeOut
    // seconds have passed, then -1.
    int runBusyModalSession(BusyModalSession* session, double timeOut = -1.0);
    // Ends the session and closes the overlay at once (when called from
    // inside a poll, as that poll returns).
    void endBusyModalSession(BusyModalSession* session);
    bool isOverlayModal() const;

    void setStayedOverlay(bool stayed) { stayedOverlay_ = stayed; }
    bool stayedOverlay() const { return stayedOverlay_; }
    BasisOverlayView* busyOverlay() const { return busyOverlay_; }
    OverlayProgressBar* overlayProgressBar() const { return overlayProgressBar_; }
    QLabel* busyMessage() const { return busyMessage_; }
    QPushButton* overlayCancelButton() const { return overlayCancelButton_; }
    bool isShown() const { return busyOverlay_ && busyOverlay_->IsInOverlay(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void postponeClose();

    QPointer<QWidget> window_;
    std::function<QWidget*()> defaultParent_;
    QPointer<BasisOverlayView> busyOverlay_;
    QPointer<OverlayProgressBar> overlayProgressBar_;
    QPointer<QLabel> busyMessage_;
    QPointer<QPushButton> overlayCancelButton_;
    std::function<void()> overlayCancelAction_;
    std::unique_ptr<BusyModalSession> session_;
    platform::Timer overEventTimer_;
    bool stayedOverlay_ = false;
};
