#include "phonejobs/ActionBreakServices.h"

#include "jobs/QVActionMachine.h"
#include "jobs/QVActionPipe.h"
#include "phonejobs/ActionBreakPipe.h"
#include "phonejobs/PhoneJobNames.h"
#include "platform/Localization.h"

ActionBreakServices::ActionBreakServices(std::shared_ptr<QVActionMachine> actionMachine, double timeOut)
    : QVActionContainer(std::move(actionMachine))
    , _timeOut(timeOut)
{
}

ActionBreakServices::~ActionBreakServices() = default;

std::shared_ptr<ActionBreakServices> ActionBreakServices::allocActionBreakServices(
    const std::shared_ptr<QVActionMachine>& actionMachine, double timeOut)
{
    if (!actionMachine)
        return nullptr;
    return std::make_shared<ActionBreakServices>(actionMachine, timeOut);
}

bool ActionBreakServices::doStartContainer()
{
    if (_actionMachine) {
        for (const auto& pipe : _actionMachine->actionPipes()) {
            const QStringList types = pipe->actionTypes();
            if (!types.isEmpty())
                addActionToContainer(ActionBreakPipe::allocActionBreakPipe(types.first(), _timeOut));
        }
    }
    return QVActionContainer::doStartContainer();
}

float ActionBreakServices::calcCurrentProzent() const
{
    return -1.0f;
}

QString ActionBreakServices::displayString() const
{
    return platform::localizedString(phonejobnames::kBackgroundMachineWait);
}

QString ActionBreakServices::displaySubString() const
{
    return QString();
}
