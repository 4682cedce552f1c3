#pragma once

#include "platform/Clock.h"
#include "widgets/OverlayView.h"

#include <QMutex>
#include <QPointer>
#include <QWidget>

#include <deque>

// A busy overlay: shown over another view (see OverlayView.h), from any
// thread, and closing itself after a deadline that progress reports push
// back. Its interface file puts a BasisOverlayFrame with a message line and an
// OverlayProgressBar inside it.
class BasisOverlayView : public QWidget, public OverlayHooks {
    Q_OBJECT
public:
    // Ticks of the deadline: sixtieths of a second of the platform clock.
    static constexpr int kTicksPerSecond = 60;

    explicit BasisOverlayView(QWidget* parent = nullptr);
    ~BasisOverlayView() override;

    // Shows the overlay over view (null: hides it). Safe from any thread:
    // requests are applied on the GUI thread, every one of them, in the order
    // they were made.
    void SetToOverlayView(QWidget* view);
    bool IsInOverlay() const { return !overlayParent_.isNull(); }
    QWidget* overlayParent() const { return overlayParent_; }

    // Closes the overlay seconds from now (0: no automatic close). GUI thread.
    void StayForSeconds(quint16 seconds);
    // Moves an existing deadline later; answers false, changing nothing, when
    // there is none.
    bool AddStaySeconds(quint16 seconds);
    quint32 stopTicks() const { return stopTicks_; }
    bool isCheckTimerActive() const { return checkTimer_.isActive(); }
    double checkInterval() const { return checkTimer_.interval(); }

    // Hides the overlay shortly (0.01 s from now).
    virtual void closeTheOverlay();
    // The deadline check, run by the check timer.
    void SecondsTest();

    void SetDoAnimate(bool animate) { doAnimate_ = animate; }
    // Called on each deadline check while enabled; nothing here.
    virtual void DoAnimate() {}

    static quint32 tickCount();

private:
    void applyRequests();
    void apply(QWidget* view);

    QPointer<QWidget> overlayParent_;
    QMutex requestsMutex_;
    std::deque<QPointer<QWidget>> requests_;
    bool applying_ = false;
    quint32 stopTicks_ = 0;
    bool doAnimate_ = false;
    platform::Timer checkTimer_;
};
