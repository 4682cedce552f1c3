#include "widgets/BusyModalSession.h"

#include "widgets/WidgetsLog.h"

#include "platform/RunLoop.h"

#include <QApplication>
#include <QEvent>

#include <exception>
#include <utility>

namespace {

BusyModalSession* g_running = nullptr;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<BusyModalSession> BusyModalSession::start(QWidget* overlay, std::function<void()> onEnd)
{
    if (g_running) {
        qCWarning(lcWidgets) << "startBusyModalSession: a busy session runs already; the new one is refused";
        return nullptr;
    }
    std::unique_ptr<BusyModalSession> session(new BusyModalSession(overlay, std::move(onEnd)));
    g_running = session.get();
    qApp->installEventFilter(session.get());
    return session;
}

BusyModalSession::BusyModalSession(QWidget* overlay, std::function<void()> onEnd)
    : overlay_(overlay)
    , onEnd_(std::move(onEnd))
{
}

BusyModalSession::~BusyModalSession()
{
    finish();
}

BusyModalSession* BusyModalSession::running()
{
    return g_running;
}

int BusyModalSession::poll()
{
    if (ended_)
        return kRunStopped;
    if (polling_) {
        qCWarning(lcWidgets) << "pollBusyModalSession: the session is being polled already";
        return kRunContinues;
    }
    polling_ = true;
    int answer = kRunContinues;
    try {
        platform::runloop::processPendingEvents();
        platform::runloop::runFor(kPollSlice);
    } catch (const std::exception& e) {
        qCWarning(lcWidgets).noquote() << BusyModalSession::kLogPollException << e.what();
        answer = kPollFailed;
    } catch (...) {
        qCWarning(lcWidgets).noquote() << BusyModalSession::kLogPollException;
        answer = kPollFailed;
    }
    polling_ = false;
    if (endRequested_) {
        finish();
        return answer == kPollFailed ? answer : kRunStopped;
    }
    return answer;
}

void BusyModalSession::end()
{
    if (polling_) {
        endRequested_ = true;
        return;
    }
    finish();
}

void BusyModalSession::finish()
{
    if (ended_)
        return;
    ended_ = true;
    if (qApp)
        qApp->removeEventFilter(this);
    if (g_running == this)
        g_running = nullptr;
    if (std::function<void()> onEnd = std::exchange(onEnd_, {}))
        onEnd();
}

bool BusyModalSession::eventFilter(QObject* watched, QEvent* event)
{
    if (ended_ || !isUserInput(event->type()))
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool insideOverlay = widget && overlay_ && (widget == overlay_ || overlay_->isAncestorOf(widget));
    return !insideOverlay;
}
