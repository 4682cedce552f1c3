#include "widgets/ProgressCycle.h"

#include "platform/RunLoop.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <cmath>
#include <limits>

namespace {

// The one beat all threaded indicators share: a GUI-thread timer at 25 Hz,
// running while any indicator is registered.
struct HeartBeat {
    QSet<ProgressCycle*> clients;
    platform::Timer timer{[this] {
        const QSet<ProgressCycle*> now = clients;
        for (ProgressCycle* cycle : now) {
            if (clients.contains(cycle))
                cycle->heartBeat();
        }
    }};

    void add(ProgressCycle* cycle)
    {
        clients.insert(cycle);
        if (!timer.isActive())
            timer.start(ProgressCycle::kHeartBeatInterval, true);
    }
    void remove(ProgressCycle* cycle)
    {
        clients.remove(cycle);
        if (clients.isEmpty())
            timer.stop();
    }
};

HeartBeat& heartBeatService()
{
    static HeartBeat beat;
    return beat;
}

quint32 ticks()
{
    return quint32(std::fmod(std::floor(platform::Clock::instance().now() * 60), 4294967296.0));
}

} // namespace

ProgressCycle::ProgressCycle(QWidget* parent)
    : QWidget(parent)
    , animateTimer_([this] { animate(); })
{
    setAccessibleName(tr("Progress"));
}

ProgressCycle::~ProgressCycle()
{
    stopAnimation();
    platform::runloop::cancelPreviousPerformRequests(this);
}

void ProgressCycle::setDoubleValue(double value)
{
    if (isVisible() && value != value_)
        update();
    value_ = value;
}

void ProgressCycle::setIndeterminate(bool on)
{
    if (on != indeterminate_)
        update();
    indeterminate_ = on;
}

void ProgressCycle::setForeGroundColor(const QColor& colour)
{
    handler_.setForeGroundColor(colour);
    update();
}

void ProgressCycle::setBackGroundColor(const QColor& colour)
{
    handler_.setBackGroundColor(colour);
    update();
}

double ProgressCycle::getProcessVal() const
{
    const double span = maxValue_ - minValue_;
    if (span == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return (value_ - minValue_) / span;
}

void ProgressCycle::startAnimation()
{
    if (threaded_) {
        if (!onHeartBeat_) {
            onHeartBeat_ = true;
            nextSpin_ = -std::numeric_limits<double>::infinity();   // the first beat draws
            heartBeatService().add(this);
        }
    } else if (!animateTimer_.isActive()) {
        animateTimer_.start(animationDelay_, true);
    }
}

void ProgressCycle::stopAnimation()
{
    if (onHeartBeat_) {
        heartBeatService().remove(this);
        onHeartBeat_ = false;
    }
    animateTimer_.stop();
}

bool ProgressCycle::isAnimating() const
{
    return onHeartBeat_ || animateTimer_.isActive();
}

int ProgressCycle::heartBeatClientCount()
{
    return int(heartBeatService().clients.size());
}

void ProgressCycle::animate()
{
    if (indeterminate_)
        update();
}

void ProgressCycle::heartBeat()
{
    const double now = platform::Clock::instance().now();
    // A beat a hair early (clock rounding) still counts as 0.04 s apart.
    if (now < nextSpin_ - 1e-6)
        return;
    nextSpin_ = now + kHeartBeatInterval;
    if (isVisible())
        update();
}

void ProgressCycle::paintEvent(QPaintEvent*)
{
    const qreal size = cycleSize();
    if (size <= 0)
        return;
    QPainter painter(this);
    if (indeterminate_)
        handler_.drawIdleCycle(painter, size, height(), ticks());
    else
        handler_.drawProgressCycle(painter, size, height(), getProcessVal());
}

void ProgressCycle::mousePressEvent(QMouseEvent* event)
{
    if (action_ && isVisible()) {
        platform::runloop::performAfterDelay(this, QStringLiteral("action"), 0.01, [this] {
            if (action_)
                action_(this);
        }, this);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
