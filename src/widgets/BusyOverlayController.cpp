#include "widgets/BusyOverlayController.h"

#include "widgets/OverlayView.h"
#include "widgets/WidgetClasses.h"
#include "widgets/WidgetsLog.h"

#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Interface.h"

#include <QKeyEvent>
#include <QLayout>

#include <utility>

namespace {

constexpr const char* kOverlayInterface = "BasisOverlay";
constexpr const char* kCancelKey = "Cancel";
constexpr double kMaxPercent = 100;

} // namespace

BusyOverlayController::BusyOverlayController(QWidget* window, std::function<QWidget*()> defaultParent, QObject* parent)
    : QObject(parent)
    , window_(window)
    , defaultParent_(std::move(defaultParent))
{
    overEventTimer_.setCallback([this] { overEvent(); });
}

BusyOverlayController::~BusyOverlayController()
{
    overEventTimer_.stop();
    session_.reset();
}

void BusyOverlayController::load()
{
    if (busyOverlay_ || !window_)
        return;
    registerWidgetClasses();
    QWidget* loaded = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle),
                                                   QLatin1String(kOverlayInterface), window_);
    busyOverlay_ = qobject_cast<BasisOverlayView*>(loaded);
    if (!busyOverlay_) {
        qCWarning(lcWidgets) << "the busy overlay did not load";
        delete loaded;
        return;
    }
    busyOverlay_->hide();
    busyOverlay_->setObjectName(QStringLiteral("busyOverLay"));
    busyMessage_ = platform::gui::outlet<QLabel>(busyOverlay_, QStringLiteral("message"));
    overlayProgressBar_ = platform::gui::outlet<OverlayProgressBar>(busyOverlay_, QStringLiteral("progressBar"));
    QWidget* frame = platform::gui::outlet<QWidget>(busyOverlay_, QStringLiteral("frame"));
    if (!frame || !frame->layout())
        return;
    // The cancel button sits in the frame's layout after the progress bar:
    // shown, it narrows the bar; hidden, the bar takes its place.
    overlayCancelButton_ = new QPushButton(platform::localizedString(QLatin1String(kCancelKey)), frame);
    overlayCancelButton_->setObjectName(QStringLiteral("overLayCancel"));
    overlayCancelButton_->setAccessibleName(overlayCancelButton_->text());
    overlayCancelButton_->installEventFilter(this);
    busyOverlay_->installEventFilter(this);
    overlayCancelButton_->hide();
    setOverlayInteractive(overlayCancelButton_);
    frame->setMaximumHeight(QWIDGETSIZE_MAX);
    frame->layout()->addWidget(overlayCancelButton_);
    connect(overlayCancelButton_, &QPushButton::clicked, this, [this] { overlayCancel(); });
}

bool BusyOverlayController::isOverlayModal() const
{
    BusyModalSession* running = BusyModalSession::running();
    return running && busyOverlay_ && running->overlay() == busyOverlay_;
}

void BusyOverlayController::doShowBusyOverlay(bool show, int percent, QWidget* parentView)
{
    load();
    if (show && overlayCancelButton_)
        overlayCancelButton_->hide();
    myShowBusyOverlay(show, percent, parentView);
}

void BusyOverlayController::doShowBusyOverlayCancel(bool show, int percent, QWidget* parentView,
                                                    std::function<void()> cancel)
{
    load();
    if (show) {
        setOverlayCancel(std::move(cancel));
        if (!overEventTimer_.isActive())
            overEventTimer_.start(kOverEventInterval, true);
    }
    myShowBusyOverlay(show, percent, parentView);
    if (show && overlayCancelButton_ && overlayCancelButton_->isVisible())
        overlayCancelButton_->setFocus(Qt::OtherFocusReason);
}

void BusyOverlayController::doStayedShowBusyOverlay(bool show, int percent, QWidget* parentView)
{
    stayedOverlay_ = show;
    doShowBusyOverlay(show, percent, parentView);
}

void BusyOverlayController::myShowBusyOverlay(bool show, int percent, QWidget* parentView)
{
    load();
    if (!busyOverlay_)
        return;
    if (show) {
        if (busyOverlay_->IsInOverlay())
            return;
        if (overlayProgressBar_) {
            overlayProgressBar_->setVisible(percent >= 0);
            overlayProgressBar_->setMinValue(0);
            overlayProgressBar_->setMaxValue(kMaxPercent);
            overlayProgressBar_->setDoubleValue(0);
        }
        busyOverlay_->StayForSeconds(0);
        doProgressBusyMessage(QString());
        QWidget* over = parentView ? parentView : (defaultParent_ ? defaultParent_() : nullptr);
        busyOverlay_->SetToOverlayView(over ? over : window_.data());
        return;
    }
    if (stayedOverlay_ || !busyOverlay_->IsInOverlay() || isOverlayModal())
        return;
    busyOverlay_->StayForSeconds(kCloseDelaySeconds);
}

void BusyOverlayController::doProgressBusyOverlay(int percent)
{
    if (overlayProgressBar_)
        overlayProgressBar_->setDoubleValue(percent);
    postponeClose();
}

void BusyOverlayController::doProgressBusyOverlayAndDisplay(int percent)
{
    doProgressBusyOverlay(percent);
    if (isShown())
        busyOverlay_->repaint();
}

void BusyOverlayController::doProgressBusyIncrement(double step)
{
    if (overlayProgressBar_) {
        double value = overlayProgressBar_->doubleValue() + step;
        if (value >= overlayProgressBar_->maxValue())
            value = overlayProgressBar_->minValue();
        overlayProgressBar_->setDoubleValue(value);
    }
    postponeClose();
}

void BusyOverlayController::doProgressBusyMessage(const QString& text)
{
    if (busyMessage_)
        busyMessage_->setText(text.isNull() ? QStringLiteral("") : text);
    if (isShown())
        busyOverlay_->update();
}

void BusyOverlayController::doCloseBusyOverlayImmediatly()
{
    if (isShown() && !isOverlayModal())
        busyOverlay_->SetToOverlayView(nullptr);
}

void BusyOverlayController::closeOverlayNow()
{
    if (busyOverlay_)
        busyOverlay_->SetToOverlayView(nullptr);
}

void BusyOverlayController::postponeClose()
{
    // A closing overlay goes one second after the latest progress, however
    // many came since the hide.
    if (busyOverlay_ && busyOverlay_->stopTicks() != 0)
        busyOverlay_->StayForSeconds(kCloseDelaySeconds);
}

QWidget* BusyOverlayController::overlayWindow() const
{
    return busyOverlay_ ? busyOverlay_->window() : nullptr;
}

void BusyOverlayController::setOverlayCancel(std::function<void()> action)
{
    load();
    overlayCancelAction_ = std::move(action);
    if (overlayCancelButton_)
        overlayCancelButton_->setVisible(bool(overlayCancelAction_));
}

void BusyOverlayController::overlayCancel()
{
    if (std::function<void()> action = overlayCancelAction_)
        platform::runloop::performOnMainThread(std::move(action), this);
}

bool BusyOverlayController::eventFilter(QObject* watched, QEvent* event)
{
    // Escape answers the cancel button while it shows (it has the focus).
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && overlayCancelButton_ && overlayCancelButton_->isVisible()) {
        overlayCancelButton_->click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BusyOverlayController::overEvent()
{
    if (!isShown() || !overlayWindow())
        overEventTimer_.stop();
}

void BusyOverlayController::busyIdleTime(const QWidget* indicator)
{
    if (!indicator || !indicator->isVisible())
        return;
    if (isShown())
        doProgressBusyIncrement(kIdleStep);
    else
        doShowBusyOverlay(true, 0, nullptr);
}

BusyModalSession* BusyOverlayController::startBusyModalSession(QWidget* view, int percent)
{
    if (BusyModalSession::running()) {
        qCWarning(lcWidgets) << "startBusyModalSession: a busy session runs already; the new one is refused";
        return nullptr;
    }
    doShowBusyOverlay(true, percent, view);
    if (!busyOverlay_)
        return nullptr;
    session_ = BusyModalSession::start(busyOverlay_, [] {});
    return session_.get();
}

BusyModalSession* BusyOverlayController::startBusyModalSession(QWidget* view, int percent, std::function<void()> cancel)
{
    if (BusyModalSession::running()) {
        qCWarning(lcWidgets) << "startBusyModalSession: a busy session runs already; the new one is refused";
        return nullptr;
    }
    doShowBusyOverlayCancel(true, percent, view, std::move(cancel));
    if (!busyOverlay_)
        return nullptr;
    session_ = BusyModalSession::start(busyOverlay_, [] {});
    return session_.get();
}

int BusyOverlayController::pollBusyModalSession(BusyModalSession* session)
{
    if (!session || session != session_.get())
        return BusyModalSession::kRunStopped;
    const int answer = session->poll();
    // Ended from inside the loop: it goes now that the poll is over.
    if (session_.get() == session && session->isEnded()) {
        session_.reset();
        closeOverlayNow();
    }
    return answer;
}

int BusyOverlayController::runBusyModalSession(BusyModalSession* session, double timeOut)
{
    platform::Clock& clock = platform::Clock::instance();
    const double deadline = clock.now() + timeOut;
    for (;;) {
        if (timeOut < 0 || clock.now() <= deadline) {
            const int answer = pollBusyModalSession(session);
            if (answer != BusyModalSession::kRunContinues)
                return answer;
        }
        if (timeOut >= 0 && clock.now() > deadline)
            return -1;
    }
}

void BusyOverlayController::endBusyModalSession(BusyModalSession* session)
{
    if (session && session == session_.get()) {
        session->end();
        if (!session->isEnded())
            return; // ended from inside its poll: the poll finishes it
        session_.reset();
    }
    closeOverlayNow();
}
