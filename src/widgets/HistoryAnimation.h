#pragma once

#include "platform/gui/Animation.h"

#include <QEasingCurve>
#include <functional>

class AnimatedObject;

// The program's general non-blocking fade: runs on the platform clock for a
// duration and tells its target the eased progress, from 0 at the start to 1
// at the end. Restarting stops the running fade first. Main thread only; a
// target must not destroy the animation from inside doAnimate().
class HistoryAnimation {
public:
    static constexpr double kDefaultDuration = 0.5;

    explicit HistoryAnimation(double seconds = kDefaultDuration, QEasingCurve::Type curve = QEasingCurve::InOutSine);
    HistoryAnimation(const HistoryAnimation&) = delete;
    HistoryAnimation& operator=(const HistoryAnimation&) = delete;

    // Stores the target and starts (or restarts) the animation.
    void setAnimatedHistoryContainer(AnimatedObject* target);
    // Called once after the last step of a run that was not stopped.
    void setEndHandler(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }

    bool isAnimating() const { return animation_.isRunning(); }
    // Ends the run at once: no further steps, no end report.
    void stopAnimation() { animation_.stop(); }

private:
    void step(double linear);

    platform::gui::Animation animation_;
    QEasingCurve curve_;
    AnimatedObject* target_ = nullptr;
    std::function<void()> onEnd_;
};
