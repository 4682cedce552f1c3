#include "phonejobs/ActionRequestService.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "jobs/QVActionPipe.h"
#include "phone/MFDevice.h"
#include "phonejobs/PhoneJobCodes.h"
#include "phonejobs/PhoneJobNames.h"

ActionRequestService::ActionRequestService(const QString& serviceName, std::shared_ptr<QVActionNotify> notify,
                                           QVariant userInfo)
    : ActionDeviceCallback(std::move(notify), std::move(userInfo))
    , _serviceName(serviceName)
    , _openError(phonejobcodes::kOpenNotRequested)
{
}

ActionRequestService::~ActionRequestService()
{
    if (_openDeviceCallback)
        _openDeviceCallback->senderIsDying();
}

std::shared_ptr<ActionRequestService> ActionRequestService::initActionRequestService(
    const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    if (serviceName.isEmpty())
        return nullptr;
    return std::make_shared<ActionRequestService>(serviceName, std::move(notify), std::move(userInfo));
}

QString ActionRequestService::description() const
{
    return phonejobnames::kActionRequestServiceFormat.arg(_serviceName, hashText());
}

void ActionRequestService::openConnectionFinished(QVDeviceCallback& callback)
{
    if (&callback != _openDeviceCallback.get()) {
        _openError = phonejobcodes::kIOReturnAborted;
        return;
    }
    auto keepAlive = selfAction();
    _openError = callback.returnStatus();
    QVLOG(qvlog::kXT, phonejobnames::kOpenFinishedLogFormat.arg(_openError));
    _openDeviceCallback.reset();
    auto pipe = privateActionData();
    if (isCancelled() && pipe && pipe->isPipeCanceld())
        endAction(jobcodes::kCancelled);
}

bool ActionRequestService::readyToExecute()
{
    if (_checkingReadyToExecute)
        return false;
    _checkingReadyToExecute = true;
    if (!ActionDeviceCallback::readyToExecute()) {
        _checkingReadyToExecute = false;
        return false;
    }
    MFDevice* device = getActionDevice();
    if (_openError == phonejobcodes::kOpenNotRequested && device) {
        auto callback = callbackTo(&ActionRequestService::openConnectionFinished);
        QVLOG(qvlog::kXT, phonejobnames::kRequestServiceLogFormat.arg(_serviceName).arg(
                              reinterpret_cast<quintptr>(callback.get()), 0, 16));
        const int answer = device->requestService(_serviceName, callback);
        switch (answer) {
        case MFDevice::kServiceExclusive:
            // Held by someone else: asked again at the next poll.
            _checkingReadyToExecute = false;
            return false;
        case MFDevice::kServiceAlreadyOpen:
        case MFDevice::kServiceOpening:
            _openDeviceCallback = callback;
            _openError = links::kIOReturnBusy;
            break;
        default:
            // Nothing opens: the job ends here and leaves its pipe without a
            // start, so its requester hears of one end only.
            _openError = answer == MFDevice::kServiceNoSerialDevice ? phonejobcodes::kOpenNoSerialDevice
                                                                     : phonejobcodes::kOpenUnavailable;
            _checkingReadyToExecute = false;
            endAction(links::kIOReturnError);
            return false;
        }
    }
    _checkingReadyToExecute = false;
    return _openError != links::kIOReturnBusy;
}

int ActionRequestService::startAction()
{
    if (_openError != 0) {
        _inCheckToExecuteProcess = false;
        return _openError;
    }
    return ActionDeviceCallback::startAction();
}

QString ActionRequestService::actionType() const
{
    return _serviceName;
}

void ActionRequestService::resetActionForStartAfterSuspend()
{
    ActionDeviceCallback::resetActionForStartAfterSuspend();
    _openError = phonejobcodes::kOpenNotRequested;
}
