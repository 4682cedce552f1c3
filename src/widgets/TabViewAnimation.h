#pragma once

#include "platform/gui/Animation.h"

#include <QEasingCurve>
#include <functional>

// The animation of a tab transition: runs on the platform clock without
// blocking, keeps its eased value, and after every step has its owner redraw
// at once. Main thread only.
class TabViewAnimation {
public:
    using Redraw = std::function<void()>;

    TabViewAnimation(Redraw redraw, std::function<void()> onEnd);
    TabViewAnimation(const TabViewAnimation&) = delete;
    TabViewAnimation& operator=(const TabViewAnimation&) = delete;

    void start(double seconds);
    // Stops without the end report.
    void stop() { animation_.stop(); }
    bool isAnimating() const { return animation_.isRunning(); }
    double duration() const { return animation_.duration(); }
    // The eased value, 0 to 1.
    double currentValue() const { return value_; }
    void setCurrentProgress(double progress);

private:
    platform::gui::Animation animation_;
    QEasingCurve curve_{QEasingCurve::InOutSine};
    Redraw redraw_;
    std::function<void()> onEnd_;
    double value_ = 0.0;
};
