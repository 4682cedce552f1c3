#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace testing_support {

// Watches the GUI thread in real time: a 10 ms timer records the longest gap
// between its ticks from construction until stop(). Each gap over 30 ms is
// printed with its time, so a slow run shows where the thread stood still.
class GuiGapProbe {
public:
    explicit GuiGapProbe(std::function<void()> onTick = {}) : onTick_(std::move(onTick))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            if (now - last_ > 30)
                std::printf("GUI thread gap %lld ms at %lld ms\n", static_cast<long long>(now - last_),
                            static_cast<long long>(now));
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            if (onTick_)
                onTick_();
        });
        clock_.start();
        timer_.start(10);
    }
    void stop() { timer_.stop(); }
    // Milliseconds since the probe started.
    qint64 elapsed() const { return clock_.elapsed(); }
    qint64 longest() const { return longest_; }

private:
    std::function<void()> onTick_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

} // namespace testing_support
