#include "widgets/BasisOverlayView.h"

#include "platform/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr const char* kCloseAction = "SetToOverlayView";
constexpr double kCloseDelay = 0.01;
constexpr double kLongestCheckInterval = 0.33;
constexpr double kCheckIntervalPerSecond = 0.0625;
} // namespace

BasisOverlayView::BasisOverlayView(QWidget* parent)
    : QWidget(parent)
    , checkTimer_([this] { SecondsTest(); })
{
}

BasisOverlayView::~BasisOverlayView()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    checkTimer_.stop();
    if (overlayParent_)
        removeOverlayView(overlayParent_, this);
}

quint32 BasisOverlayView::tickCount()
{
    return quint32(std::floor(platform::Clock::instance().now() * kTicksPerSecond));
}

void BasisOverlayView::SetToOverlayView(QWidget* view)
{
    {
        QMutexLocker lock(&requestsMutex_);
        requests_.emplace_back(view);
    }
    if (platform::runloop::isMainThread())
        applyRequests();
    else
        platform::runloop::performOnMainThread([this] { applyRequests(); }, this);
}

void BasisOverlayView::applyRequests()
{
    // A hook run by a request may ask again; the loop below picks that up.
    if (applying_)
        return;
    applying_ = true;
    for (;;) {
        QPointer<QWidget> view;
        {
            QMutexLocker lock(&requestsMutex_);
            if (requests_.empty())
                break;
            view = requests_.front();
            requests_.pop_front();
        }
        apply(view);
    }
    applying_ = false;
}

void BasisOverlayView::apply(QWidget* view)
{
    if (overlayParent_)
        removeOverlayView(overlayParent_, this);
    overlayParent_ = view;
    if (view)
        addOverlayView(view, this, 1);
    else
        stopTicks_ = 0;
}

void BasisOverlayView::StayForSeconds(quint16 seconds)
{
    if (stopTicks_ == 0)
        checkTimer_.start(std::min(kLongestCheckInterval, seconds * kCheckIntervalPerSecond), true);
    stopTicks_ = seconds ? tickCount() + quint32(kTicksPerSecond) * seconds : 0;
}

bool BasisOverlayView::AddStaySeconds(quint16 seconds)
{
    if (stopTicks_ == 0)
        return false;
    stopTicks_ += quint32(kTicksPerSecond) * seconds;
    return true;
}

void BasisOverlayView::closeTheOverlay()
{
    platform::runloop::performAfterDelay(this, QLatin1String(kCloseAction), kCloseDelay,
                                         [this] { SetToOverlayView(nullptr); }, this);
}

void BasisOverlayView::SecondsTest()
{
    if (!IsInOverlay()) {
        checkTimer_.stop();
        stopTicks_ = 0;
    }
    // Without a deadline the first check ends the checking; the overlay stays.
    if (stopTicks_ == 0 || tickCount() > stopTicks_) {
        if (stopTicks_ != 0)
            closeTheOverlay();
        checkTimer_.stop();
        stopTicks_ = 0;
    }
    if (doAnimate_)
        DoAnimate();
}
