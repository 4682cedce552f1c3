#include "jobs/QVActionGroup.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/QVActionGroupPipe.h"
#include "jobs/QVActionMachine.h"

#include "foundation/NamedLog.h"
#include "platform/RunLoop.h"

class QVActionGroup::SubJobNotify : public QVActionNotify {
public:
    explicit SubJobNotify(std::weak_ptr<QVActionGroup> group)
        : m_group(std::move(group))
    {
    }
    bool startAction(QVAction& action) override
    {
        auto group = m_group.lock();
        return group ? group->startAction(action) : false;
    }
    bool processAction(QVAction& action, float percent) override
    {
        auto group = m_group.lock();
        return group ? group->processAction(action, percent) : false;
    }
    void endAction(QVAction& action, int err) override
    {
        if (auto group = m_group.lock())
            group->endAction(action, err);
    }
    void didPostAction(QVAction& action) override
    {
        if (auto group = m_group.lock())
            group->didPostAction(action);
    }

private:
    std::weak_ptr<QVActionGroup> m_group;
};

QVActionGroup::QVActionGroup() = default;

QVActionGroup::QVActionGroup(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : QVAction(std::move(notify), std::move(userInfo))
{
}

QVActionGroup::~QVActionGroup() = default;

std::shared_ptr<QVActionGroup> QVActionGroup::selfGroup()
{
    return std::static_pointer_cast<QVActionGroup>(weak_from_this().lock());
}

std::shared_ptr<QVActionNotify> QVActionGroup::subJobNotify()
{
    if (!_subJobNotify)
        _subJobNotify = std::make_shared<SubJobNotify>(selfGroup());
    return _subJobNotify;
}

bool QVActionGroup::acceptPostForSubPipe(const QString& actionType) const
{
    return actionType == this->actionType();
}

bool QVActionGroup::addGroupAction(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return false;
    if (_doCancel) {
        QVLOG(qvlog::kStandard, jobnames::kGroupAddOnCancelled);
        return false;
    }
    const QString type = action->actionType();
    if (!acceptPostForSubPipe(type)) {
        QVLOG(qvlog::kStandard, jobnames::kGroupCouldNotAcceptFormat.arg(jobnames::kGroupAddGroupActionMethod, type));
        return false;
    }
    if (_groupPipe) {
        if (!_groupPipe->addAction(action))
            return false;
    } else {
        _groupBufferList.append(action);
    }
    action->addNotify(subJobNotify(), QVariant());
    return true;
}

bool QVActionGroup::cancelAction()
{
    if (_doCancel)
        return false;
    auto keepAlive = selfGroup();
    if (!_preprocessAction && actionCount() == 0)
        endAction(jobcodes::kCancelled);
    if (_groupPipe)
        _groupPipe->cancelActionPipe();
    _doCancel = true;
    return true;
}

int QVActionGroup::startAction()
{
    if (_groupPipe) {
        // A restart after suspension: let the sub-pipe look again shortly.
        std::weak_ptr<QVActionGroupPipe> weakPipe = _groupPipe;
        platform::runloop::performAfterDelay(_groupPipe.get(), jobnames::kPerformRestartActionPipeIdle,
                                             jobdelay::kIdle, [weakPipe] {
                                                 if (auto pipe = weakPipe.lock())
                                                     pipe->restartActionPipeIdle();
                                             });
        return 0;
    }
    if (_groupBufferList.isEmpty())
        return jobcodes::kNothingToDo;

    auto parent = privateActionData();
    auto machine = parent ? parent->actionMachine() : nullptr;
    auto subPipe = QVActionGroupPipe::allocGroupActionPipe(QStringList{actionType()}, machine, selfGroup());
    if (!subPipe)
        return jobcodes::kStartException;
    _groupPipe = subPipe;

    const auto buffered = _groupBufferList;
    _groupBufferList.clear();
    for (const auto& action : buffered) {
        if (!_groupPipe->addAction(action))
            return jobcodes::kStartException;
        action->addNotify(subJobNotify(), QVariant());
    }
    return 0;
}

void QVActionGroup::endAction(int code)
{
    auto keepAlive = selfGroup();
    QVAction::endAction(code);
    if (hasEnded() && !_groupBufferList.isEmpty()) {
        // Sub-jobs that never got to run: they hold the group as requester,
        // so drop them silently rather than keep both alive.
        const auto buffered = _groupBufferList;
        _groupBufferList.clear();
        for (const auto& action : buffered)
            action->killAction(false);
    }
}

bool QVActionGroup::startAction(QVAction&)
{
    if (_doCancel)
        return false;
    if (auto requester = _notify)
        return requester->startAction(*this);
    return true;
}

bool QVActionGroup::processAction(QVAction&, float percent)
{
    if (_doCancel)
        return false;
    if (auto requester = _notify)
        return requester->processAction(*this, percent);
    return true;
}

void QVActionGroup::endAction(QVAction& action, int err)
{
    auto keepAlive = selfGroup();
    auto subPipe = _groupPipe;
    if (!subPipe) {
        // A buffered sub-job ended before the group started: forget it.
        for (qsizetype i = 0; i < _groupBufferList.size(); ++i) {
            if (_groupBufferList.at(i).get() == &action) {
                _groupBufferList.removeAt(i);
                break;
            }
        }
        return;
    }
    if (_endOnSubActionError && err != 0)
        subPipe->killAllActions(false);
    if (subPipe->actionCount() <= 1 || err == jobcodes::kSuspended)
        endAction(err);
    else if (subPipe->isPipeBlocked())
        endAction(jobcodes::kSuspended);
}

unsigned QVActionGroup::actionCount() const
{
    if (_groupPipe)
        return _groupPipe->actionCount();
    return static_cast<unsigned>(_groupBufferList.size());
}

unsigned QVActionGroup::previewCount() const
{
    if (_groupPipe)
        return _groupPipe->previewCount();
    unsigned count = 0;
    for (const auto& action : _groupBufferList)
        count += action->previewCount();
    return count;
}

std::shared_ptr<QVAction> QVActionGroup::currentAction() const
{
    return _groupPipe ? _groupPipe->currentAction() : nullptr;
}

bool QVActionGroup::killAction(bool tell)
{
    if (_groupPipe && !_groupPipe->killAllActions(tell))
        return false;
    return QVAction::killAction(tell);
}

bool QVActionGroup::doSuspendAction()
{
    auto keepAlive = selfGroup();
    auto running = currentAction();
    if (running && running->canSuspend() && running->doSuspendAction())
        return true;
    if (auto subPipe = _groupPipe) {
        std::weak_ptr<QVActionGroupPipe> weakPipe = subPipe;
        platform::runloop::performOnMainThread([weakPipe] {
            if (auto pipe = weakPipe.lock())
                pipe->actionSuspended(nullptr);
        });
    }
    if (running)
        return true;
    endAction(jobcodes::kSuspended);
    return true;
}

void QVActionGroup::setEndOnSubActionError(bool flag)
{
    _endOnSubActionError = flag;
}

bool QVActionGroup::endOnSubActionError() const
{
    return _endOnSubActionError;
}
