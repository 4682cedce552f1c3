#include "jobs/QVAction.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/JobsLog.h"
#include "jobs/QVActionNotify.h"
#include "jobs/QVActionPipe.h"
#include "jobs/QVDoubleNotify.h"
#include "jobs/QVPreprocessAction.h"

#include "foundation/NamedLog.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QDebug>

QVAction::QVAction()
    : _timer([this] { timeoutAction(); })
{
}

QVAction::QVAction(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : QVAction()
{
    _feedBackErrorHandling = 2;
    _qvaPriority = jobpriority::kDefault;
    _notify = std::move(notify);
    _userInfo = std::move(userInfo);
}

QVAction::~QVAction()
{
    _timer.stop();
}

std::shared_ptr<QVAction> QVAction::selfAction()
{
    return std::static_pointer_cast<QVAction>(weak_from_this().lock());
}

bool QVAction::setPreprocessAction(std::shared_ptr<QVPreprocessAction> step)
{
    if (!step || privateActionData())
        return false;
    _preprocessAction = std::move(step);
    return true;
}

std::shared_ptr<QVPreprocessAction> QVAction::preprocessAction() const
{
    return _preprocessAction;
}

QString QVAction::statusNibIdent() const
{
    return _statusNibIdent;
}

void QVAction::setStatusNibIdent(const QString& ident)
{
    _statusNibIdent = ident;
}

bool QVAction::executeOnlyIfNeeded() const
{
    return _executeOnlyIfNeeded;
}

void QVAction::setExecuteOnlyIfNeeded(bool flag)
{
    _executeOnlyIfNeeded = flag;
}

int QVAction::feedBackErrorHandling() const
{
    return _feedBackErrorHandling;
}

QString QVAction::feedBackErrorString() const
{
    if (!_feedBackErrorString.isEmpty())
        return _feedBackErrorString;
    return QVFeedBack::feedBackErrorString();
}

void QVAction::setFeedBackErrorString(const QString& text)
{
    _feedBackErrorString = text;
}

QString QVAction::generateErrorString(int code) const
{
    const QString key = QString::number(code);
    const QString text = platform::localizedString(key);
    if (!text.isEmpty() && text != key)
        return text;
    return jobnames::kUnspecifiedErrFormat.arg(platform::localizedString(jobnames::kUnspecifiedErrKey))
        .arg(static_cast<uint>(code), 0, 16);
}

bool QVAction::addNotify(std::shared_ptr<QVActionNotify> notify, const QVariant& userInfo)
{
    if (!notify || notify == _notify)
        return false;
    if (auto fanOut = std::dynamic_pointer_cast<QVDoubleNotify>(_notify))
        return fanOut->addNotify(std::move(notify), userInfo);
    if (!_notify) {
        // No requester yet: the new one is the only one, and its answers count.
        _notify = std::move(notify);
        _userInfo = userInfo;
        return true;
    }
    _notify = std::make_shared<QVDoubleNotify>(_notify, _userInfo, std::move(notify), userInfo);
    _userInfo = QVariant();
    return true;
}

bool QVAction::didUpdateActionWithPriorityAndListenerFromAction(QVAction& other)
{
    if (!isEqual(other))
        return false;
    if (priority() > other.priority())
        setPriority(other.priority());
    addNotify(other.notify(), other.getUserInfo());
    return true;
}

void QVAction::setActionDevice(MFDevice* device, const std::shared_ptr<QVActionPipe>& pipe, unsigned jobIndex)
{
    _actionDevice = device;
    _privateActionData = pipe;
    _jobIndex = jobIndex;
}

void QVAction::willPostToActionPipe()
{
    if (_preprocessAction)
        _preprocessAction->setAction(selfAction());
}

void QVAction::didPostToActionPipe()
{
    startTimerWithTimeout(waitTimeout());
    if (auto step = _preprocessAction) {
        const int r = step->startPreprocess();
        postPreprocessStart(r == 0);
        if (r != 0)
            step->endPreprocess(r);
    }
}

unsigned QVAction::jobIndex() const
{
    return _jobIndex;
}

void QVAction::setNotify(std::shared_ptr<QVActionNotify> notify)
{
    _notify = std::move(notify);
}

std::shared_ptr<QVActionNotify> QVAction::notify() const
{
    return _notify;
}

MFDevice* QVAction::getActionDevice() const
{
    return _actionDevice;
}

void QVAction::doPostNotifications(bool on)
{
    _postNotifications = on;
}

bool QVAction::doPostNotify() const
{
    return _postNotifications;
}

bool QVAction::isInOpenProgress() const
{
    return false;
}

double QVAction::waitTimeout() const
{
    return _waitTimeout;
}

void QVAction::setWaitTimeout(double seconds)
{
    _waitTimeout = seconds;
}

double QVAction::runTimeout() const
{
    return _runTimeout;
}

void QVAction::setRunTimeout(double seconds)
{
    _runTimeout = seconds;
}

void QVAction::stopTimer()
{
    ++_timerGeneration;
    if (_timer.isActive()) {
        qCDebug(lcJobs).noquote() << jobnames::kInvalidatingTimer;
        _timer.stop();
    }
}

void QVAction::timeoutAction()
{
    auto keepAlive = selfAction();
    stopTimer();
    if (!isRunning() || canSuspend())
        endAction(jobcodes::kTimedOut);
}

void QVAction::setupTimerWithTimeout(double seconds)
{
    stopTimer();
    if (seconds != jobdelay::kNoTimeout)
        _timer.start(seconds);
}

void QVAction::startTimerWithTimeout(double seconds)
{
    stopTimer();
    if (seconds == jobdelay::kNoTimeout || seconds <= 0)
        return;
    const quint64 generation = _timerGeneration;
    std::weak_ptr<QVFeedBack> weakSelf = weak_from_this();
    platform::runloop::performOnMainThread([weakSelf, generation, seconds] {
        auto self = std::static_pointer_cast<QVAction>(weakSelf.lock());
        // Dropped when the timer was stopped meanwhile or the job has ended.
        if (self && self->_timerGeneration == generation && !self->_ended)
            self->setupTimerWithTimeout(seconds);
    });
}

bool QVAction::hasPendingTimer() const
{
    return _timer.isActive();
}

bool QVAction::cancelAction()
{
    auto keepAlive = selfAction();
    stopTimer();
    if (_doCancel)
        return false;
    if (isRunning()) {
        if (!canSuspend())
            return false;
    } else if (feedBackStatus() != feedbackstatus::kParked && !isInOpenProgress()) {
        endAction(jobcodes::kCancelled);
    }
    _doCancel = true;
    return true;
}

bool QVAction::killAction(bool tell)
{
    auto keepAlive = selfAction();
    if (!tell)
        _notify.reset();
    endAction(jobcodes::kCancelled);
    return true;
}

QVariant QVAction::getUserInfo() const
{
    return _userInfo;
}

void QVAction::setUserInfo(const QVariant& userInfo)
{
    _userInfo = userInfo;
}

unsigned QVAction::actionCount() const
{
    return 1;
}

unsigned QVAction::previewCount() const
{
    return actionCount();
}

int QVAction::feedBackStatus() const
{
    if (!privateActionData())
        return feedbackstatus::kNotPosted;
    if (_doCancel)
        return feedbackstatus::kCancelled;
    if (isRunning())
        return feedbackstatus::kRunning;
    if (_preprocessAction && priority() == jobpriority::kParked)
        return feedbackstatus::kParked;
    return feedbackstatus::kQueued;
}

QString QVAction::description() const
{
    return jobnames::kQVActionDescription;
}

bool QVAction::isEqualToAction(const QVAction& other) const
{
    return isEqual(other);
}

bool QVAction::isEqual(const QVAction& other) const
{
    return this == &other;
}

namespace {
template <typename T>
int compareValues(T a, T b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}
} // namespace

int QVAction::priorityCompare(const QVAction& other) const
{
    if (const int c = compareValues(priority(), other.priority()))
        return c;
    return compareValues(jobIndex(), other.jobIndex());
}

int QVAction::feedBackStatusCompare(const QVAction& other) const
{
    return compareValues(feedBackStatus(), other.feedBackStatus());
}

bool QVAction::setPriority(int priority)
{
    auto pipe = privateActionData();
    if (_actionDevice && pipe) {
        if (isRunning())
            return false;
        if (priority != _qvaPriority)
            pipe->resortActionLater(selfAction());
    }
    _qvaPriority = priority;
    return true;
}

int QVAction::priority() const
{
    return _qvaPriority;
}

bool QVAction::isRunning() const
{
    auto pipe = privateActionData();
    return pipe && pipe->currentAction().get() == this;
}

int QVAction::doStartAction()
{
    auto keepAlive = selfAction();
    stopTimer();
    int r = 0;
    try {
        if (_doCancel)
            r = jobcodes::kCancelled;
        else if (_preprocessAction && _preprocessAction->preErr() != 0)
            r = _preprocessAction->preErr();
        else if (auto requester = _notify; requester && !requester->startAction(*this))
            r = jobcodes::kRefused;
        else
            r = startAction();
    } catch (const platform::Exception& e) {
        qCWarning(lcJobs).noquote() << description() << e.name() << e.reason();
        r = jobcodes::kStartException;
    }
    if (r == 0)
        startTimerWithTimeout(runTimeout());
    postStartAction(r == 0);
    return r;
}

bool QVAction::processAction(float percent)
{
    if (_doCancel)
        return false;
    postProcessAction(percent);
    if (auto requester = _notify)
        return requester->processAction(*this, percent);
    return true;
}

bool QVAction::readyToExecute()
{
    return true;
}

int QVAction::startAction()
{
    throw platform::Exception(jobnames::kUnimplementedFunctionError, jobnames::kUnimplementedStartAction);
}

QString QVAction::actionType() const
{
    throw platform::Exception(jobnames::kUnimplementedFunctionError, jobnames::kUnimplementedActionType);
}

void QVAction::actionRemovedFromPipe()
{
    _privateActionData.reset();
}

void QVAction::endAction(int code)
{
    auto keepAlive = selfAction();
    if (_ended) {
        QVLOG(qvlog::kStandard, jobnames::kSecondEndFormat.arg(jobnames::kEndActionMethod, description()).arg(code));
        return;
    }
    stopTimer();

    int err = code;
    if (err == jobcodes::kTransportSuspended)
        err = jobcodes::kSuspended;
    else if (err == jobcodes::kTransportCancelled)
        err = jobcodes::kCancelled;
    // The engine's own codes carry no error text.
    const bool withText = err != jobcodes::kNothingToDo && err != jobcodes::kSuspended
        && err != jobcodes::kCancelled && err != jobcodes::kTimedOut;
    // Set before anyone hears of the end, so that an end re-entered from a
    // requester (a kill of the remaining sub-jobs, say) is ignored.
    if (err != jobcodes::kSuspended)
        _ended = true;
    _feedBackErrorString = withText ? generateErrorString(err) : QString();

    postEndAction(err);   // a suspension posts a progress of -1.0 instead

    if (auto requester = _notify)
        requester->endAction(*this, err);

    auto pipe = privateActionData();
    if (!pipe)
        return;   // a job in no pipe keeps its requester
    // The pipe hears of the end on a later pass of the loop.
    void (QVActionPipe::*report)(const std::shared_ptr<QVAction>&) = &QVActionPipe::actionDidEnd;
    if (err == jobcodes::kSessionDied)
        report = &QVActionPipe::sessionDied;
    else if (err == jobcodes::kSuspended)
        report = &QVActionPipe::actionSuspended;
    std::weak_ptr<QVActionPipe> weakPipe = pipe;
    platform::runloop::performOnMainThread([weakPipe, keepAlive, report] {
        if (auto p = weakPipe.lock())
            (p.get()->*report)(keepAlive);
    });
    if (err == jobcodes::kSuspended)
        resetActionForStartAfterSuspend();
    else
        _notify.reset();
}

bool QVAction::canSuspend() const
{
    return true;
}

bool QVAction::doSuspendAction()
{
    return false;
}

void QVAction::resetActionForStartAfterSuspend()
{
    _doCancel = false;
}

std::shared_ptr<QVActionPipe> QVAction::privateActionData() const
{
    return _privateActionData.lock();
}

bool QVAction::isCancelled() const
{
    return _doCancel;
}

bool QVAction::hasEnded() const
{
    return _ended;
}
