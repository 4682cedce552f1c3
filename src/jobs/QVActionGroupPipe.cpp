#include "jobs/QVActionGroupPipe.h"

#include "jobs/JobCodes.h"
#include "jobs/QVActionGroup.h"

QVActionGroupPipe::QVActionGroupPipe(const QStringList& actionTypes,
                                     const std::shared_ptr<QVActionMachine>& actionMachine,
                                     const std::shared_ptr<QVActionGroup>& groupAction)
    : QVActionPipe(actionTypes, actionMachine)
    , _groupAction(groupAction)
{
}

std::shared_ptr<QVActionGroupPipe> QVActionGroupPipe::allocGroupActionPipe(
    const QStringList& actionTypes, const std::shared_ptr<QVActionMachine>& actionMachine,
    const std::shared_ptr<QVActionGroup>& groupAction)
{
    if (!actionMachine || actionTypes.isEmpty())
        return nullptr;
    return std::make_shared<QVActionGroupPipe>(actionTypes, actionMachine, groupAction);
}

QStringList QVActionGroupPipe::actionTypesToClose() const
{
    if (auto group = _groupAction.lock()) {
        if (auto parent = group->privateActionData())
            return parent->actionTypes();
    }
    return {};
}

void QVActionGroupPipe::actionSuspended(const std::shared_ptr<QVAction>& action)
{
    _blockPipe = true;
    QVActionPipe::actionSuspended(action);
}

bool QVActionGroupPipe::isPipeBlocked() const
{
    return _blockPipe;
}

void QVActionGroupPipe::restartActionPipeIdle()
{
    _blockPipe = false;
    performActionPipeIdle(jobdelay::kIdle);
}

void QVActionGroupPipe::actionDidEnd(const std::shared_ptr<QVAction>& action)
{
    auto keepAlive = shared_from_this();
    QVActionPipe::actionDidEnd(action);
    if (isPipeCanceld() && actionCount() <= 1) {
        if (auto group = _groupAction.lock())
            group->endAction(jobcodes::kCancelled);
    }
}
