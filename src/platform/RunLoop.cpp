#include "platform/RunLoop.h"

#include "platform/Clock.h"
#include "platform/PlatformLog.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <vector>

namespace platform::runloop {

namespace {

// The optional guard object of a call: once given, the call is dropped when
// that object is gone.
struct CallGuard {
    explicit CallGuard(const QObject* guard = nullptr) : guarded(guard != nullptr), object(guard) {}
    bool gone() const { return guarded && !object; }

    bool guarded;
    QPointer<const QObject> object;
};

struct PerformRequest {
    quint64 id = 0;
    const void* target = nullptr;
    QString action;
    std::function<void()> fn;
    CallGuard guard;
    std::unique_ptr<Timer> timer;
};

// Pending delayed performs in the order they were requested. Main thread only.
std::vector<std::unique_ptr<PerformRequest>>& performRequests()
{
    static auto* requests = new std::vector<std::unique_ptr<PerformRequest>>;
    return *requests;
}

void firePerformRequest(quint64 id)
{
    auto& requests = performRequests();
    const auto it = std::find_if(requests.begin(), requests.end(), [id](const auto& r) { return r->id == id; });
    if (it == requests.end())
        return;
    // Out of the list before the call, so the callee may re-request or cancel.
    const std::unique_ptr<PerformRequest> request = std::move(*it);
    requests.erase(it);
    if (request->guard.gone())
        return;
    if (request->fn)
        request->fn();
}

// Drops the pending requests that match. They are moved out first, as
// destroying a request may run code that looks at the list.
template <typename Pred>
void cancelRequests(Pred matches)
{
    auto& requests = performRequests();
    std::vector<std::unique_ptr<PerformRequest>> cancelled;
    for (auto it = requests.begin(); it != requests.end();) {
        if (matches(**it)) {
            cancelled.push_back(std::move(*it));
            it = requests.erase(it);
        } else {
            ++it;
        }
    }
}

std::chrono::milliseconds toMilliseconds(double seconds)
{
    return std::chrono::milliseconds(qint64(std::ceil(std::max(0.0, seconds) * 1000.0 - 1e-6)));
}

// Nesting of real-time waits on the calling thread.
int& waitDepth()
{
    thread_local int depth = 0;
    return depth;
}

// Real mode: runs the Qt event loop for up to seconds; with a predicate, the
// slice ends as soon as the loop is about to block with the predicate met.
void runRealSlice(double seconds, const std::function<bool()>* predicate)
{
    QEventLoop loop;
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    const int depth = ++waitDepth();
    QMetaObject::Connection idle;
    if (predicate) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            idle = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                // Only the innermost wait looks at its predicate.
                if (waitDepth() == depth && (*predicate)())
                    loop.quit();
            });
        }
    }
    wake.start(toMilliseconds(seconds));
    loop.exec();
    QObject::disconnect(idle);
    --waitDepth();
}

// Virtual mode: one slice. Ends early, with no time spent, when the posted
// events already satisfy the predicate.
void runVirtualSlice(double seconds, const std::function<bool()>* predicate)
{
    auto& clock = Clock::instance();
    processPendingEvents();
    if (predicate && (*predicate)())
        return;
    if (const double idle = clock.virtualIdleWait(); idle > 0) {
        // Lets input from a real peer (sockets, other threads) arrive for a
        // moment of real time before virtual time moves on.
        runRealSlice(idle, predicate);
        processPendingEvents();
        if (predicate && (*predicate)())
            return;
    }
    clock.advance(seconds);
}

void runSlice(double seconds, const std::function<bool()>* predicate)
{
    if (!QCoreApplication::instance())
        return;
    if (!isMainThread() && Clock::instance().isVirtual()) {
        // Virtual time belongs to the main thread, which moves it; a waiting
        // worker only delivers its own events and yields for a moment, so
        // its bounded wait stays short in real time.
        QCoreApplication::processEvents();
        QThread::usleep(1000);
        return;
    }
    if (Clock::instance().isVirtual())
        runVirtualSlice(seconds, predicate);
    else
        runRealSlice(seconds, predicate);
}

} // namespace

void performAfterDelay(const void* target, const QString& action, double delay, std::function<void()> fn,
                       const QObject* guard)
{
    if (!isMainThread()) {
        performOnMainThread([=, callGuard = CallGuard(guard)] {
            if (!callGuard.gone())
                performAfterDelay(target, action, delay, fn, callGuard.object.data());
        });
        return;
    }
    static quint64 lastId = 0;
    auto request = std::make_unique<PerformRequest>();
    request->id = ++lastId;
    request->target = target;
    request->action = action;
    request->fn = std::move(fn);
    request->guard = CallGuard(guard);
    request->timer = std::make_unique<Timer>([id = request->id] { firePerformRequest(id); });
    request->timer->start(delay);
    performRequests().push_back(std::move(request));
}

void cancelPreviousPerformRequests(const void* target)
{
    cancelRequests([target](const PerformRequest& r) { return r.target == target; });
}

void cancelPreviousPerformRequests(const void* target, const QString& action)
{
    cancelRequests([&](const PerformRequest& r) { return r.target == target && r.action == action; });
}

int pendingPerformRequestCount(const void* target)
{
    const auto& requests = performRequests();
    return int(std::count_if(requests.begin(), requests.end(), [target](const auto& r) { return r->target == target; }));
}

void performOnMainThread(std::function<void()> fn, const QObject* guard)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qCWarning(lcPlatform, "platform::runloop::performOnMainThread: no application, call dropped");
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [fn = std::move(fn), callGuard = CallGuard(guard)] {
            if (!callGuard.gone() && fn)
                fn();
        },
        Qt::QueuedConnection);
}

bool waitUntil(const std::function<bool()>& predicate, double sliceSeconds, int maxPasses)
{
    for (int pass = 0; pass < maxPasses; ++pass) {
        if (predicate())
            return true;
        runSlice(sliceSeconds, &predicate);
    }
    return predicate();
}

void runFor(double seconds)
{
    runSlice(seconds, nullptr);
}

void processPendingEvents()
{
    if (!QCoreApplication::instance() || !isMainThread())
        return;
    // A nested loop that ends as soon as it has delivered what is queued ahead
    // of its quit. Being a real loop level, it also deletes objects whose
    // deleteLater() was called outside any loop, as a real slice would.
    QEventLoop loop;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    loop.exec();
    // Objects handed to deleteLater() by deliveries that have returned (Qt's
    // own level rules keep those of still running deliveries).
    QCoreApplication::sendPostedEvents();
    // Virtual timers already due fire on this pass too, as 0 ms timers would.
    Clock::instance().fireDueTimers();
}

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

} // namespace platform::runloop
