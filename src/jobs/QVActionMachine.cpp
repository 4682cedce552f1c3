#include "jobs/QVActionMachine.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionPipe.h"

#include "foundation/NamedLog.h"
#include "platform/Exception.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <algorithm>

QVActionMachine::QVActionMachine(MFDevice* device)
    : _actionDevice(device)
{
}

std::shared_ptr<QVActionMachine> QVActionMachine::allocActionMachine(MFDevice* device)
{
    if (!device)
        return nullptr;
    return std::make_shared<QVActionMachine>(device);
}

QVActionMachine::~QVActionMachine()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

MFDevice* QVActionMachine::getActionDevice() const
{
    return _actionDevice;
}

QList<std::shared_ptr<QVActionPipe>> QVActionMachine::actionPipes() const
{
    return _actionPipes;
}

std::shared_ptr<QVActionPipe> QVActionMachine::pipeForAction(const QString& actionType) const
{
    for (const auto& pipe : _actionPipes) {
        if (pipe->actionTypeFetches(actionType))
            return pipe;
    }
    return nullptr;
}

bool QVActionMachine::addActionPipe(const QStringList& actionTypes)
{
    for (const QString& type : actionTypes) {
        if (pipeForAction(type))
            throw platform::Exception(jobnames::kPipeActionTypeExistsError, jobnames::kPipeActionTypeExistsReason);
    }
    auto pipe = QVActionPipe::allocActionPipe(actionTypes, shared_from_this());
    if (!pipe)
        return false;
    _actionPipes.append(pipe);
    return true;
}

bool QVActionMachine::validateActionType(const std::shared_ptr<QVAction>& action)
{
    if (!action || !_actIsActive)
        return false;
    action->setActionDevice(_actionDevice, nullptr, 0);
    return pipeForAction(action->actionType()) != nullptr;
}

bool QVActionMachine::addAction(const std::shared_ptr<QVAction>& action)
{
    if (!action || !_actIsActive)
        return false;
    action->setActionDevice(_actionDevice, nullptr, 0);
    const QString type = action->actionType();
    if (auto pipe = pipeForAction(type))
        return pipe->addAction(action);
    QVLOG(qvlog::kStandard, jobnames::kNoPipeForActionFormat.arg(jobnames::kMachineAddActionMethod, type));
    return false;
}

unsigned QVActionMachine::actionCount() const
{
    unsigned count = 0;
    for (const auto& pipe : _actionPipes)
        count += pipe->actionCount();
    return count;
}

unsigned QVActionMachine::actionCount(const QString& actionType) const
{
    if (actionType.isNull())
        return 0;
    auto pipe = pipeForAction(actionType);
    return pipe ? pipe->actionCount() : 0;
}

void QVActionMachine::cancelAllActions()
{
    const auto pipes = _actionPipes;
    for (const auto& pipe : pipes)
        pipe->cancelActionPipe();
}

void QVActionMachine::cancelAllActionsForClose()
{
    _actIsActive = false;
    cancelAllActions();
}

bool QVActionMachine::killAllActions(bool tell)
{
    bool all = true;
    const auto pipes = _actionPipes;
    for (const auto& pipe : pipes)
        all = pipe->killAllActions(tell) && all;
    return all;
}

bool QVActionMachine::killAllActions(bool tell, const QString& actionType)
{
    if (actionType.isNull())
        return false;
    auto pipe = pipeForAction(actionType);
    return pipe ? pipe->killAllActions(tell) : false;
}

std::shared_ptr<QVAction> QVActionMachine::actionEqualTo(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return nullptr;
    action->setActionDevice(_actionDevice, nullptr, 0);
    auto pipe = pipeForAction(action->actionType());
    return pipe ? pipe->actionEqualTo(*action) : nullptr;
}

bool QVActionMachine::searchActionEqualToDescripton(const QString& description) const
{
    if (description.isEmpty())
        return false;
    return std::any_of(_actionPipes.begin(), _actionPipes.end(), [&](const std::shared_ptr<QVActionPipe>& pipe) {
        return pipe->searchActionEqualToDescripton(description);
    });
}

void QVActionMachine::sessionPipeDied()
{
    if (!_actIsActive)
        return;
    auto keepAlive = shared_from_this();
    _actIsActive = false;
    killAllActions(true);
    platform::NotificationCenter::defaultCenter().post(jobnames::kNotifySessionDiedError, _actionDevice);
}

unsigned QVActionMachine::announceQuit()
{
    return announceQuitWithLoops(jobdelay::kQuitLoops);
}

unsigned QVActionMachine::announceQuitWithLoops(unsigned loops)
{
    auto keepAlive = shared_from_this();
    killAllActions(false);
    unsigned count = 0;
    const unsigned rounds = std::max(loops, 1u);
    for (unsigned i = 0; i < rounds; ++i) {
        count = actionCount();
        if (count == 0)
            break;
        platform::runloop::runFor(jobdelay::kQuitSlice);
    }
    return count;
}

QList<std::shared_ptr<QVAction>> QVActionMachine::actionsOfClass(const std::type_info& type) const
{
    QList<std::shared_ptr<QVAction>> found;
    for (const auto& pipe : _actionPipes) {
        for (const auto& action : pipe->actions()) {
            const QVAction& job = *action;
            if (typeid(job) == type)
                found.append(action);
        }
    }
    return found;
}

QString QVActionMachine::pipeOfPostedActionOfClass(const std::type_info& type) const
{
    const auto found = actionsOfClass(type);
    if (found.isEmpty())
        return QString();
    return found.last()->actionType();
}

bool QVActionMachine::hasPostedActionsOfClass(const std::type_info& type) const
{
    return !pipeOfPostedActionOfClass(type).isNull();
}

bool QVActionMachine::isActive() const
{
    return _actIsActive;
}
