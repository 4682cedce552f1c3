#include "phonejobs/ActionBreakPipe.h"

#include "jobs/JobCodes.h"
#include "phonejobs/PhoneJobCodes.h"

ActionBreakPipe::ActionBreakPipe(const QString& type, double timeOut)
    : ActionDeviceCallback(nullptr, QVariant())
    , _timeOut(timeOut)
    , _breakeTimer([this] { actionBreakPipeTimer(); })
    , _serviceName(type)
{
    _qvaPriority = 0;
}

ActionBreakPipe::~ActionBreakPipe() = default;

std::shared_ptr<ActionBreakPipe> ActionBreakPipe::allocActionBreakPipe(const QString& type, double timeOut)
{
    return std::make_shared<ActionBreakPipe>(type, timeOut);
}

bool ActionBreakPipe::isSameActionType(const QString&) const
{
    return false;
}

int ActionBreakPipe::startAction()
{
    _inCheckToExecuteProcess = false;
    if (isCancelled())
        return jobcodes::kCancelled;
    const double now = platform::Clock::instance().now();
    _timeOut = _timeOut > 0 ? now + _timeOut : phonejobcodes::kNoDeadline;
    _breakeTimer.start(phonejobcodes::kBreakTick, true);
    return 0;
}

void ActionBreakPipe::actionBreakPipeTimer()
{
    auto keepAlive = selfAction();
    if (!processAction(-1.0f))
        _doCancel = true;
    if (!_doCancel
        && (_timeOut == phonejobcodes::kNoDeadline || platform::Clock::instance().now() < _timeOut))
        return;
    _breakeTimer.stop();
    endAction(0);
}

void ActionBreakPipe::endAction(int code)
{
    _breakeTimer.stop();
    ActionDeviceCallback::endAction(code);
}
