#pragma once

#include "platform/Clock.h"

#include <functional>

// Fades and pulses whose ticks run on platform::Timer, so virtual time drives
// every animation in tests. Main thread only.
namespace platform::gui {

class Animation {
public:
    // Called on each tick with the progress from 0 to 1.
    using Progress = std::function<void(double progress)>;

    explicit Animation(Progress onProgress = {});
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    void setProgressHandler(Progress onProgress);
    // A fade runs once from 0 to 1 over the duration and stops. A pulse goes
    // from 0 to 1 and back over twice the duration, again and again, until
    // stopped.
    void setDuration(double seconds);
    double duration() const { return duration_; }
    void setPulse(bool pulse) { pulse_ = pulse; }
    bool isPulse() const { return pulse_; }

    void start();
    void stop();
    bool isRunning() const;

private:
    void tick();

    Progress onProgress_;
    double duration_ = 0.25;
    static constexpr double kFrameInterval = 1.0 / 30.0;
    bool pulse_ = false;
    double startTime_ = 0;
    platform::Timer timer_;
};

// The desktop's alert sound.
void beep();
// Tests hear the sound through a handler of their own; an empty handler gives
// the desktop its sound back.
void setBeepHandler(std::function<void()> handler);

} // namespace platform::gui
