#pragma once

#include "platform/Clock.h"
#include "widgets/CenterButton.h"

// A center button whose footer fill breathes while nobody points at it: every
// 1.12 s a 0.44 s pulse takes the fill alpha up by 0.5 from the offset or back
// down. Hovering takes over from the pulse. The beat stops itself when the
// button cannot pulse (hidden or without a window) and starts again when the
// button is shown.
class PulsingCenterButton : public CenterButton {
    Q_OBJECT
    Q_PROPERTY(bool allowTracking READ allowTracking WRITE setAllowTracking)
    Q_PROPERTY(double animateOffset READ animateOffset WRITE setAnimateOffset)

public:
    static constexpr double kPulseInterval = 1.12;
    static constexpr double kPulseDuration = 0.44;
    static constexpr double kDefaultOffset = 0.12;

    explicit PulsingCenterButton(QWidget* parent = nullptr);

    void awakeFromNib() override;

    bool allowTracking() const { return allowTracking_; }
    void setAllowTracking(bool allow);
    double animateOffset() const { return animateOffset_; }
    void setAnimateOffset(double offset) { animateOffset_ = offset; }

    virtual bool canPulse() const;
    void pulseIdleTimer();
    bool hasPulseTimer() const { return pulseTimer_.isActive(); }
    bool isPulsing() const { return pulsing_; }

    void doHighlite(bool on) override;
    void doAnimate(double progress) override;
    void setVisible(bool visible) override;

protected:
    bool wantsTracking() const override { return allowTracking_; }
    void showEvent(QShowEvent* event) override;

private:
    void dropPulse();

    platform::Timer pulseTimer_;
    HistoryAnimation pulse_;
    bool pulsing_ = false; // a pulse was started and not dropped
    bool pulsMod_ = false; // the next pulse rises
    bool allowTracking_ = true;
    bool awake_ = false;
    double animateOffset_ = kDefaultOffset;
};
