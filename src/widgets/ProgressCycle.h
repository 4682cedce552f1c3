#pragma once

#include "platform/Clock.h"
#include "widgets/ProgressCycleHandler.h"

#include <QWidget>
#include <functional>

// The circular progress indicator of queue rows and preview cells: a disc that
// fills clockwise from twelve o'clock, or five turning wedges while the length
// of the work is unknown (indeterminate). Animation either runs on a timer of
// its own at the animation delay, or ("threaded") on one 25 Hz beat shared by
// every indicator. GUI thread only.
class ProgressCycle : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)
    Q_PROPERTY(bool indeterminate READ isIndeterminate WRITE setIndeterminate)
    Q_PROPERTY(bool usesThreadedAnimation READ usesThreadedAnimation WRITE setUsesThreadedAnimation)
    Q_PROPERTY(double animationDelay READ animationDelay WRITE setAnimationDelay)
    Q_PROPERTY(QColor foreGroundColor READ foreGroundColor WRITE setForeGroundColor)
    Q_PROPERTY(QColor backGroundColor READ backGroundColor WRITE setBackGroundColor)

public:
    // The shared beat asks for a drawing at most this often per indicator.
    static constexpr double kHeartBeatInterval = 0.04;

    explicit ProgressCycle(QWidget* parent = nullptr);
    ~ProgressCycle() override;

    double minValue() const { return minValue_; }
    void setMinValue(double value) { minValue_ = value; }
    double maxValue() const { return maxValue_; }
    void setMaxValue(double value) { maxValue_ = value; }
    double doubleValue() const { return value_; }
    // A changed value of a shown indicator asks for a drawing.
    void setDoubleValue(double value);
    bool isIndeterminate() const { return indeterminate_; }
    void setIndeterminate(bool on);
    bool usesThreadedAnimation() const { return threaded_; }
    void setUsesThreadedAnimation(bool on) { threaded_ = on; }
    double animationDelay() const { return animationDelay_; }
    void setAnimationDelay(double seconds) { animationDelay_ = seconds; }

    QColor foreGroundColor() const { return handler_.foreGroundColor(); }
    void setForeGroundColor(const QColor& colour);
    QColor backGroundColor() const { return handler_.backGroundColor(); }
    void setBackGroundColor(const QColor& colour);

    // (value - minimum) / (maximum - minimum); no number for an empty range.
    double getProcessVal() const;
    // The disc size S: the height less 10.
    qreal cycleSize() const { return height() - 10; }

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const;
    bool isOnHeartBeat() const { return onHeartBeat_; }
    static int heartBeatClientCount();

    // A click on the shown indicator runs the action 0.01 s later; without an
    // action the click goes on to the parent.
    void setAction(std::function<void(ProgressCycle*)> action) { action_ = std::move(action); }

    // One beat of the shared 25 Hz timer.
    void heartBeat();

    QSize sizeHint() const override { return {42, 42}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void animate();

    ProgressCycleHandler handler_;
    double minValue_ = 0;
    double maxValue_ = 100;
    double value_ = 0;
    bool indeterminate_ = false;
    bool threaded_ = false;
    double animationDelay_ = 5.0 / 60.0;
    bool onHeartBeat_ = false;
    double nextSpin_ = 0;   // clock time of the next drawing the beat may ask for
    platform::Timer animateTimer_;
    std::function<void(ProgressCycle*)> action_;
};
