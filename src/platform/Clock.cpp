#include "platform/Clock.h"

#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMutex>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <map>
#include <unordered_map>

namespace platform {

namespace {
// Repeating timers never fire closer together than this, so a repeating timer
// of interval 0 cannot spin virtual time in place.
constexpr qint64 kMinimumRepeatNs = 1'000'000;

// Clock time is kept in whole nanoseconds, so that slices of 0.1 s add up to
// exactly the fire time of a 2.5 s time-out.
qint64 toNs(double seconds)
{
    return std::llround(seconds * 1e9);
}
double toSeconds(qint64 ns)
{
    return double(ns) / 1e9;
}

using TimerKey = std::pair<qint64, quint64>;   // fire time (ns), start sequence

// Runs timer callbacks as the delivery of an event, as QTimer does. Qt counts
// that delivery as a scope, so an object a callback hands to deleteLater()
// survives any nested wait the callback runs and goes once the callback has
// returned, exactly as in real time.
class CallbackScope : public QObject {
public:
    void run(const std::function<void()>& fn)
    {
        if (!QCoreApplication::instance()) {
            fn();
            return;
        }
        CallEvent event(fn);
        QCoreApplication::sendEvent(this, &event);
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != eventType())
            return QObject::event(e);
        static_cast<CallEvent*>(e)->fn();
        return true;
    }

private:
    struct CallEvent : QEvent {
        explicit CallEvent(const std::function<void()>& f) : QEvent(eventType()), fn(f) {}
        const std::function<void()>& fn;
    };
    static QEvent::Type eventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
};
} // namespace

struct Timer::Impl {
    quint64 id = 0;             // unique for the life of the process
    Callback callback;
    bool active = false;
    bool repeats = false;
    double interval = 0;
    qint64 fireTime = 0;        // ns on the Clock scale
    quint64 run = 0;            // bumped by start() and stop()

    // Virtual mode: position in the schedule.
    bool scheduled = false;
    TimerKey key{};
    // Real mode.
    std::unique_ptr<QTimer> qtimer;

    qint64 step() const { return std::max(toNs(interval), kMinimumRepeatNs); }
};

struct Clock::Impl {
    // Time values, read from any thread.
    mutable QMutex mutex;
    bool virtualMode = false;
    QElapsedTimer steady;
    qint64 realOffset = 0;          // keeps now() monotonic across mode switches
    qint64 virtualNow = 0;
    qint64 virtualStart = 0;
    qint64 wallAtVirtualStartMs = 0;
    double idleWait = 0;

    // Timers: main thread only.
    quint64 sequence = 0;
    std::unordered_map<quint64, Timer::Impl*> live;
    std::map<TimerKey, Timer::Impl*> schedule;   // virtual mode
    std::unique_ptr<QTimer> kick;               // real 0 ms timer for due virtual timers
    std::unique_ptr<CallbackScope> callbackScope;

    qint64 realNow() const { return steady.nsecsElapsed() + realOffset; }
    qint64 nowUnlocked() const { return virtualMode ? virtualNow : realNow(); }
    qint64 currentNow() const
    {
        QMutexLocker lock(&mutex);
        return nowUnlocked();
    }
    bool isVirtual() const
    {
        QMutexLocker lock(&mutex);
        return virtualMode;
    }
    void setVirtualNow(qint64 value)
    {
        QMutexLocker lock(&mutex);
        if (value > virtualNow)
            virtualNow = value;
    }

    void armAt(Timer::Impl* t, qint64 fireTime);
    void disarm(Timer::Impl* t);
    void fire(Timer::Impl* t);
    void fireDue();
    void startKick();
};

// ---------------------------------------------------------------------------
// Scheduling

void Clock::Impl::armAt(Timer::Impl* t, qint64 fireTime)
{
    const qint64 now = currentNow();
    t->fireTime = fireTime;
    if (isVirtual()) {
        t->key = {fireTime, ++sequence};
        schedule.emplace(t->key, t);
        t->scheduled = true;
        if (fireTime <= now)
            startKick();
        return;
    }
    if (!t->qtimer) {
        t->qtimer = std::make_unique<QTimer>();
        t->qtimer->setTimerType(Qt::PreciseTimer);
        t->qtimer->setSingleShot(true);
        QObject::connect(t->qtimer.get(), &QTimer::timeout, t->qtimer.get(), [this, t] { fire(t); });
    }
    // Round up so that a timer never fires before its fire time on the Clock.
    const qint64 delayNs = std::max<qint64>(0, fireTime - now);
    t->qtimer->start(std::chrono::milliseconds((delayNs + 999'999) / 1'000'000));
}

void Clock::Impl::disarm(Timer::Impl* t)
{
    if (t->scheduled) {
        schedule.erase(t->key);
        t->scheduled = false;
    }
    if (t->qtimer)
        t->qtimer->stop();
}

// Fires one timer. The callback may stop, restart or destroy this timer or any
// other, and may run a nested wait; nothing here touches the timer after the
// callback unless it is still alive and still on the same run.
void Clock::Impl::fire(Timer::Impl* t)
{
    disarm(t);
    const quint64 id = t->id;
    const quint64 run = t->run;
    if (t->repeats)
        t->fireTime += t->step();   // rescheduled after the callback
    else
        t->active = false;

    const Timer::Callback callback = t->callback;
    if (callback) {
        if (!callbackScope)
            callbackScope = std::make_unique<CallbackScope>();
        callbackScope->run(callback);
    }

    const auto it = live.find(id);
    if (it == live.end())
        return;
    t = it->second;
    if (!t->active || t->run != run || t->scheduled)
        return;
    // A nested wait inside the callback may have run past several fire times:
    // make up one of them, then carry on in step.
    const qint64 now = currentNow();
    if (t->fireTime < now)
        t->fireTime += (now - t->fireTime) / t->step() * t->step();
    armAt(t, t->fireTime);
}

// Virtual mode: fires the timers that are already due (0 ms timers, or timers
// made due by a nested advance) when the Qt event loop runs on its own, e.g.
// in processEvents() or a modal loop. Timers started during this pass wait
// for the next one.
void Clock::Impl::fireDue()
{
    if (!isVirtual())
        return;
    const quint64 limit = sequence;
    bool more = false;
    for (;;) {
        const qint64 now = currentNow();
        Timer::Impl* next = nullptr;
        for (const auto& [key, t] : schedule) {
            if (key.first > now)
                break;
            if (key.second <= limit) {
                next = t;
                break;
            }
            more = true;
        }
        if (!next)
            break;
        fire(next);
    }
    if (more)
        startKick();
}

void Clock::Impl::startKick()
{
    if (!kick) {
        kick = std::make_unique<QTimer>();
        kick->setSingleShot(true);
        QObject::connect(kick.get(), &QTimer::timeout, kick.get(), [this] { fireDue(); });
    }
    if (!kick->isActive())
        kick->start(0);
}

// ---------------------------------------------------------------------------
// Clock

Clock& Clock::instance()
{
    // Lives until exit: timers in other singletons may outlive any static.
    static Clock* clock = new Clock;
    return *clock;
}

Clock::Clock() : d(std::make_unique<Impl>())
{
    d->steady.start();
}

Clock::~Clock() = default;

double Clock::now() const
{
    return toSeconds(d->currentNow());
}

QDateTime Clock::currentDateTime() const
{
    QMutexLocker lock(&d->mutex);
    if (!d->virtualMode)
        return QDateTime::currentDateTime();
    return QDateTime::fromMSecsSinceEpoch(d->wallAtVirtualStartMs + (d->virtualNow - d->virtualStart) / 1'000'000);
}

bool Clock::isVirtual() const
{
    return d->isVirtual();
}

void Clock::setVirtual(bool on)
{
    if (on == isVirtual())
        return;
    // Timers that run across the switch keep their remaining time.
    const qint64 oldNow = d->currentNow();
    std::vector<std::pair<Timer::Impl*, qint64>> rearm;
    for (const auto& [id, t] : d->live) {
        if (t->active) {
            rearm.emplace_back(t, t->fireTime - oldNow);
            d->disarm(t);
        }
    }
    {
        QMutexLocker lock(&d->mutex);
        if (on) {
            d->virtualNow = oldNow;
            d->virtualStart = oldNow;
            d->wallAtVirtualStartMs = QDateTime::currentMSecsSinceEpoch();
        } else {
            d->realOffset = d->virtualNow - d->steady.nsecsElapsed();
        }
        d->virtualMode = on;
    }
    if (!on && d->kick)
        d->kick->stop();
    const qint64 newNow = d->currentNow();
    for (const auto& [t, remaining] : rearm)
        d->armAt(t, newNow + std::max<qint64>(0, remaining));
}

void Clock::advance(double seconds)
{
    if (!isVirtual())
        return;
    Q_ASSERT_X(runloop::isMainThread(), "platform::Clock::advance", "virtual time is moved by the main thread");
    const qint64 target = d->currentNow() + std::max<qint64>(0, toNs(seconds));
    runloop::processPendingEvents();
    for (;;) {
        if (!isVirtual())
            return;
        const auto first = d->schedule.begin();
        if (first == d->schedule.end() || first->first.first > target)
            break;
        d->setVirtualNow(first->first.first);
        d->fire(first->second);
        runloop::processPendingEvents();
    }
    d->setVirtualNow(target);
}

bool Clock::advanceToNextTimer()
{
    if (!isVirtual() || d->schedule.empty())
        return false;
    const qint64 target = d->schedule.begin()->first.first;
    advance(toSeconds(std::max<qint64>(0, target - d->currentNow())));
    return true;
}

void Clock::fireDueTimers()
{
    d->fireDue();
}

std::optional<double> Clock::nextFireTime() const
{
    if (!isVirtual() || d->schedule.empty())
        return std::nullopt;
    return toSeconds(d->schedule.begin()->first.first);
}

int Clock::activeTimerCount() const
{
    int count = 0;
    for (const auto& [id, t] : d->live)
        count += t->active ? 1 : 0;
    return count;
}

void Clock::setVirtualIdleWait(double realSeconds)
{
    QMutexLocker lock(&d->mutex);
    d->idleWait = std::max(0.0, realSeconds);
}

double Clock::virtualIdleWait() const
{
    QMutexLocker lock(&d->mutex);
    return d->idleWait;
}

// ---------------------------------------------------------------------------
// Timer

Timer::Timer(Callback callback) : d(std::make_unique<Impl>())
{
    auto& clock = *Clock::instance().d;
    d->id = ++clock.sequence;
    d->callback = std::move(callback);
    clock.live.emplace(d->id, d.get());
}

Timer::~Timer()
{
    auto& clock = *Clock::instance().d;
    clock.disarm(d.get());
    clock.live.erase(d->id);
}

void Timer::setCallback(Callback callback)
{
    d->callback = std::move(callback);
}

void Timer::start(double seconds, bool repeats)
{
    Q_ASSERT_X(runloop::isMainThread(), "platform::Timer::start", "timers belong to the main thread");
    auto& clock = *Clock::instance().d;
    clock.disarm(d.get());
    d->active = true;
    d->repeats = repeats;
    d->interval = std::max(0.0, seconds);
    ++d->run;
    clock.armAt(d.get(), clock.currentNow() + toNs(d->interval));
}

void Timer::stop()
{
    Clock::instance().d->disarm(d.get());
    d->active = false;
    ++d->run;
}

bool Timer::isActive() const
{
    return d->active;
}

bool Timer::repeats() const
{
    return d->repeats;
}

double Timer::interval() const
{
    return d->interval;
}

double Timer::fireTime() const
{
    return toSeconds(d->fireTime);
}

void Timer::fire()
{
    if (!d->repeats)
        stop();
    const Callback callback = d->callback;
    if (callback)
        callback();
}

} // namespace platform
