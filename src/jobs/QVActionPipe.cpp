#include "jobs/QVActionPipe.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"

#include "foundation/NamedLog.h"
#include "platform/RunLoop.h"

#include <algorithm>
#include <functional>

QVActionPipe::QVActionPipe(const QStringList& actionTypes, const std::shared_ptr<QVActionMachine>& actionMachine)
    : _actionTypes(actionTypes)
    , _actionMachine(actionMachine)
    , _actionDevice(actionMachine ? actionMachine->getActionDevice() : nullptr)
{
}

std::shared_ptr<QVActionPipe> QVActionPipe::allocActionPipe(const QStringList& actionTypes,
                                                            const std::shared_ptr<QVActionMachine>& actionMachine)
{
    if (!actionMachine || !actionMachine->getActionDevice() || actionTypes.isEmpty())
        return nullptr;
    return std::make_shared<QVActionPipe>(actionTypes, actionMachine);
}

QVActionPipe::~QVActionPipe()
{
    killAllActions(false);
    platform::runloop::cancelPreviousPerformRequests(this);
}

std::shared_ptr<QVActionMachine> QVActionPipe::actionMachine() const
{
    return _actionMachine.lock();
}

QList<std::shared_ptr<QVAction>> QVActionPipe::actions() const
{
    return _transJobList;
}

QStringList QVActionPipe::actionTypes() const
{
    return _actionTypes;
}

QStringList QVActionPipe::actionTypesToClose() const
{
    return _actionTypes;
}

bool QVActionPipe::actionTypeFetches(const QString& actionType) const
{
    return _actionTypes.contains(actionType);
}

MFDevice* QVActionPipe::device() const
{
    return _actionDevice;
}

namespace {

// A delayed call of the pipe's scheduler that does not keep the pipe alive.
std::function<void()> idleCallOf(const std::weak_ptr<QVActionPipe>& weakPipe)
{
    return [weakPipe] {
        if (auto pipe = weakPipe.lock())
            pipe->actionPipeIdle();
    };
}

} // namespace

void QVActionPipe::performActionPipeIdle(double delay)
{
    platform::runloop::performAfterDelay(this, jobnames::kPerformActionPipeIdle, delay, idleCallOf(weak_from_this()));
}

void QVActionPipe::schedulePoll()
{
    // One poll at a time, however many idle calls found nothing to start.
    platform::runloop::cancelPreviousPerformRequests(this, jobnames::kPerformActionPipePoll);
    platform::runloop::performAfterDelay(this, jobnames::kPerformActionPipePoll, jobdelay::kPoll,
                                         idleCallOf(weak_from_this()));
}

void QVActionPipe::doAddAction(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return;
    if (!_transJobList.contains(action))
        _transJobList.append(action);
    action->setActionDevice(device(), shared_from_this(), _jobIndex);
    ++_jobIndex;
    std::stable_sort(_transJobList.begin(), _transJobList.end(),
                     [](const std::shared_ptr<QVAction>& a, const std::shared_ptr<QVAction>& b) {
                         return a->priorityCompare(*b) < 0;
                     });

    const std::shared_ptr<QVAction> head = _transJobList.first();
    if (_currentAction && head != _currentAction && head->priority() < jobpriority::kUrgentBelow
        && _currentAction->canSuspend()) {
        // A job that suspends itself later ends with 0xAC003, which frees the
        // slot; one that cannot just runs on.
        auto running = _currentAction;
        running->doSuspendAction();
        return;
    }
    performActionPipeIdle(jobdelay::kIdle);
}

void QVActionPipe::resortActionLater(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return;
    std::weak_ptr<QVActionPipe> weakSelf = weak_from_this();
    platform::runloop::performAfterDelay(this, jobnames::kPerformDoAddAction, jobdelay::kResort, [weakSelf, action] {
        auto self = weakSelf.lock();
        if (self && self->_transJobList.contains(action))
            self->doAddAction(action);
    });
}

bool QVActionPipe::addAction(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return false;
    if (action->hasEnded()) {
        QVLOG(qvlog::kStandard,
              jobnames::kEndedActionPostedFormat.arg(jobnames::kPipeAddActionMethod, action->description()));
        return false;
    }
    if (_transJobList.isEmpty())
        _jobIndex = 0;
    action->setActionDevice(device(), nullptr, 0);
    action->willPostToActionPipe();
    doAddAction(action);
    action->didPostToActionPipe();
    return true;
}

bool QVActionPipe::removeAction(const std::shared_ptr<QVAction>& action)
{
    if (!action || !_transJobList.contains(action) || action == _currentAction)
        return false;
    _transJobList.removeOne(action);
    action->actionRemovedFromPipe();
    return true;
}

void QVActionPipe::actionDidEnd(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return;
    auto keepAlive = shared_from_this();
    if (action == _currentAction) {
        _currentAction.reset();
        if (!_pipeCanceld)
            performActionPipeIdle(jobdelay::kIdle);
    }
    if (_transJobList.removeOne(action))
        action->actionRemovedFromPipe();
}

void QVActionPipe::actionSuspended(const std::shared_ptr<QVAction>& action)
{
    if (action && action == _currentAction) {
        _currentAction.reset();
        performActionPipeIdle(jobdelay::kIdle);
    }
}

void QVActionPipe::sessionDied(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return;
    auto keepAlive = shared_from_this();
    if (action == _currentAction)
        _currentAction.reset();
    if (_transJobList.removeOne(action))
        action->actionRemovedFromPipe();
    cancelActionPipe();
    if (auto machine = actionMachine()) {
        std::weak_ptr<QVActionMachine> weakMachine = machine;
        platform::runloop::performAfterDelay(machine.get(), jobnames::kPerformSessionPipeDied, jobdelay::kPoll,
                                             [weakMachine] {
                                                 if (auto m = weakMachine.lock())
                                                     m->sessionPipeDied();
                                             });
    }
}

bool QVActionPipe::isPipeBlocked() const
{
    return false;
}

void QVActionPipe::actionPipeIdle()
{
    if (_currentAction || isPipeBlocked() || _pipeCanceld || _transJobList.isEmpty())
        return;
    auto keepAlive = shared_from_this();

    const std::shared_ptr<QVAction> head = _transJobList.first();
    // A job that ended already waits only for its removal.
    if (head->priority() > jobpriority::kHighestStartable || head->hasEnded() || !head->readyToExecute()) {
        schedulePoll();
        return;
    }
    _currentAction = head;
    const int r = head->doStartAction();
    if (r != 0)
        head->endAction(r);
}

unsigned QVActionPipe::actionCount() const
{
    return static_cast<unsigned>(_transJobList.size());
}

unsigned QVActionPipe::previewCount() const
{
    unsigned count = 0;
    for (const auto& action : _transJobList)
        count += action->previewCount();
    return count;
}

std::shared_ptr<QVAction> QVActionPipe::actionEqualTo(const QVAction& action) const
{
    for (const auto& queued : _transJobList) {
        if (queued->isEqualToAction(action))
            return queued;
    }
    return nullptr;
}

bool QVActionPipe::searchActionEqualToDescripton(const QString& description) const
{
    return std::any_of(_transJobList.begin(), _transJobList.end(),
                       [&](const std::shared_ptr<QVAction>& queued) { return queued->description() == description; });
}

std::shared_ptr<QVAction> QVActionPipe::currentAction() const
{
    return _currentAction;
}

bool QVActionPipe::killAllActions(bool tell)
{
    platform::runloop::cancelPreviousPerformRequests(this);
    const auto jobs = _transJobList;
    for (auto it = jobs.crbegin(); it != jobs.crend(); ++it) {
        const std::shared_ptr<QVAction> action = *it;
        if (action != _currentAction) {
            action->setActionDevice(device(), nullptr, 0);
            action->killAction(tell);
            _transJobList.removeOne(action);
            action->actionRemovedFromPipe();
        } else {
            action->killAction(tell);
        }
    }
    return true;
}

bool QVActionPipe::isPipeCanceld() const
{
    return _pipeCanceld;
}

void QVActionPipe::cancelActionPipe()
{
    const auto jobs = _transJobList;
    for (auto it = jobs.crbegin(); it != jobs.crend(); ++it)
        (*it)->cancelAction();
    _pipeCanceld = true;
}
