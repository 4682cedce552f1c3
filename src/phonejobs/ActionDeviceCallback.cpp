#include "phonejobs/ActionDeviceCallback.h"

#include "jobs/JobCodes.h"
#include "jobs/QVActionPipe.h"
#include "phone/MFDevice.h"
#include "phonejobs/PhoneJobNames.h"

#include <typeinfo>

ActionDeviceCallback::ActionDeviceCallback() = default;

ActionDeviceCallback::ActionDeviceCallback(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : QVAction(std::move(notify), std::move(userInfo))
{
}

ActionDeviceCallback::~ActionDeviceCallback()
{
    dropDeviceCallback();
    if (_closeCallback)
        _closeCallback->senderIsDying();
}

QString ActionDeviceCallback::hashText() const
{
    return QString::number(reinterpret_cast<quintptr>(this), 16);
}

QString ActionDeviceCallback::description() const
{
    return phonejobnames::kActionDeviceCallbackFormat.arg(hashText());
}

int ActionDeviceCallback::priority() const
{
    return _inCheckToExecuteProcess ? 0 : QVAction::priority();
}

bool ActionDeviceCallback::isEqual(const QVAction& other) const
{
    // No job class shares its description with a class of another kind, so
    // the same class stands for "a kind of the other's class".
    return typeid(*this) == typeid(other) && isEqualToAction(other);
}

bool ActionDeviceCallback::isEqualToAction(const QVAction& other) const
{
    return description() == other.description();
}

void ActionDeviceCallback::setActionDevice(MFDevice* device, const std::shared_ptr<QVActionPipe>& pipe,
                                           unsigned jobIndex)
{
    QVAction::setActionDevice(device, pipe, jobIndex);
    _closeChannels.reset();
}

void ActionDeviceCallback::closeOldConnectionFinished(QVDeviceCallback& callback)
{
    if (MFDevice* device = getActionDevice())
        device->waitForTime(device->pauseAfterNormalClose());
    // A close from before a suspension does not end the close of now.
    if (&callback == _closeCallback.get()) {
        _closeCallback.reset();
        _inCloseAction = false;
    }
}

bool ActionDeviceCallback::isSameActionType(const QString& type) const
{
    return type == actionType();
}

bool ActionDeviceCallback::isInOpenProgress() const
{
    return _inCheckToExecuteProcess;
}

bool ActionDeviceCallback::readyToExecute()
{
    _inCheckToExecuteProcess = true;
    if (isCancelled() && !_inCloseAction)
        return true;
    MFDevice* device = getActionDevice();
    if (!device)
        return QVAction::readyToExecute();
    if (device->delayUntilTime() > 0)
        return false;
    if (!_closeChannels) {
        auto pipe = privateActionData();
        _closeChannels = pipe ? pipe->actionTypesToClose() : QStringList();
    }
    while (!_closeChannels->isEmpty() && !_inCloseAction) {
        const QString type = _closeChannels->last();
        if (!isSameActionType(type) && device->hasService(type) && device->isConnectionOpen(type)) {
            if (device->isConnectionInProgress(type))
                return false;
            _inCloseAction = true;
            _closeCallback = callbackTo(&ActionDeviceCallback::closeOldConnectionFinished);
            if (device->requestConnectionClose(type, _closeCallback) != 0) {
                _closeCallback.reset();
                _inCloseAction = false;
            }
        }
        _closeChannels->removeLast();
    }
    if (_inCloseAction)
        return false;
    return QVAction::readyToExecute();
}

int ActionDeviceCallback::startAction()
{
    _inCheckToExecuteProcess = false;
    if (isCancelled())
        return jobcodes::kCancelled;
    dropDeviceCallback();
    _deviceCallback = QVDeviceCallback::simpleObjectWithDelegate(this);
    return _deviceCallback ? 0 : jobcodes::kCannotStart;
}

void ActionDeviceCallback::endAction(int code)
{
    MFDevice* device = getActionDevice();
    if (device && !hasEnded())
        device->waitForTime(device->pauseAfterAnyAction());
    QVAction::endAction(code);
}

void ActionDeviceCallback::resetActionForStartAfterSuspend()
{
    QVAction::resetActionForStartAfterSuspend();
    _closeChannels.reset();
    dropDeviceCallback();
    _inCloseAction = false;
}

bool ActionDeviceCallback::qvDeviceCallbackProgress(QVDeviceCallback& callback)
{
    if (&callback != _deviceCallback.get())
        return false;
    return !processAction(callback.prozDone());
}

void ActionDeviceCallback::qvDeviceCallbackFinished(QVDeviceCallback& callback)
{
    if (&callback != _deviceCallback.get())
        return;
    endAction(callback.returnStatus());
}

void ActionDeviceCallback::dropDeviceCallback()
{
    if (_deviceCallback)
        _deviceCallback->senderIsDying();
    _deviceCallback.reset();
}
