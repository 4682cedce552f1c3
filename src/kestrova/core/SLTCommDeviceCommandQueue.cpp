#include "kestrova/core/SLTCommDeviceCommandQueue.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "platform/RunLoop.h"

using namespace kestrova::core;
using kestrova::kitLog;
using kestrova::kitLogWith;

namespace {

const QString kResultAction = QStringLiteral("returnResultForState");

} // namespace

SLTCommDeviceCommandQueue::SLTCommDeviceCommandQueue()
    : SLTCommDeviceCommandQueue(std::make_unique<SLTStateMachine>())
{
}

SLTCommDeviceCommandQueue::SLTCommDeviceCommandQueue(std::unique_ptr<SLTStateMachine> machine)
    : _machine(std::move(machine))
    , _closeDelayTimer([this] { requestCloseFromTimer(); })
{
    _machine->setDelegate(this);
}

SLTCommDeviceCommandQueue::~SLTCommDeviceCommandQueue()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    _machine->setDelegate(nullptr);
}

void SLTCommDeviceCommandQueue::setDeviceType(int type)
{
    _deviceType = type;
    _machine->setDeviceType(type);
}

void SLTCommDeviceCommandQueue::setQuorvalisID(int identifier)
{
    _quorvalisID = identifier;
    _machine->setQuorvalisID(identifier);
}

bool SLTCommDeviceCommandQueue::isEmpty() const
{
    return _machine->state() == kStateOpening || _queue.isEmpty() || _closeDelayTimer.isActive();
}

void SLTCommDeviceCommandQueue::addCommand(const QVariantMap& command)
{
    _fullStop = false;
    _queue.append(command);
    startNextCommand();
}

void SLTCommDeviceCommandQueue::addCommands(const QList<QVariantMap>& commands)
{
    _fullStop = false;
    _queue.append(commands);
    startNextCommand();
}

void SLTCommDeviceCommandQueue::insertCommand(const QVariantMap& command)
{
    if (_queue.isEmpty() || !_queue.first().contains(key(kSLTCommDeviceCommandQueueCommandPlaceholder)))
        return;
    _queue.first() = command;
    if (_idle)
        startNextCommand();
}

void SLTCommDeviceCommandQueue::removeFirstCommand()
{
    if (_queue.isEmpty())
        return;
    _queue.removeFirst();
    if (_queue.isEmpty())
        platform::NotificationCenter::defaultCenter().post(key(kSLTCommDeviceCommandQueueEmpty), this);
}

void SLTCommDeviceCommandQueue::removeAllCommands()
{
    _queue.clear();
    platform::NotificationCenter::defaultCenter().post(key(kSLTCommDeviceCommandQueueEmpty), this);
}

void SLTCommDeviceCommandQueue::removeRestOfCommandSequence(bool reportError)
{
    while (!_queue.isEmpty()) {
        const bool end = _queue.first().contains(key(kSLTCommDeviceCommandSequenceFinished));
        if (end && reportError)
            returnResultForState(kStateCommandError);
        _queue.removeFirst();
        if (end)
            break;
    }
    if (_idle)
        startNextCommand();
}

void SLTCommDeviceCommandQueue::fullStop()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    _fullStop = true;
    _machine->fullStop();
    removeAllCommands();
    _idle = true;
}

void SLTCommDeviceCommandQueue::setCloseDelayTimer(bool arm)
{
    _closeDelayTimer.stop();
    if (arm)
        _closeDelayTimer.start(kCloseDelaySeconds);
}

void SLTCommDeviceCommandQueue::requestCloseFromTimer()
{
    _machine->requestState(kStateClosed);
}

void SLTCommDeviceCommandQueue::startNextCommand()
{
    // Sequence ends and dropped closes are taken here in a loop, so a long
    // run of them never nests.
    while (!_queue.isEmpty()) {
        if (!_idle) {
            kitLog("CommandQueue idle");
            return;
        }
        _idle = false;
        _closeDelayTimer.stop();
        const QVariantMap& head = _queue.first();
        if (head.contains(key(kSLTCommDeviceCommandQueueCommandPlaceholder))) {
            _idle = true;
            return;
        }
        if (head.contains(key(kSLTCommDeviceCommandQueueValueRequestedState))) {
            const int requested = head.value(key(kSLTCommDeviceCommandQueueValueRequestedState)).toInt();
            kitLogWith([&] { return QStringLiteral("SLTCommDeviceCommandQueue: requestedState: %1").arg(requested); });
            if (requested != kStateClosed) {
                if (_machine->state() == kStateClosed) {
                    _machine->requestState(kStateConnected);
                } else if (_machine->state() == kStateConnected) {
                    const QVariant custom = head.contains(key(kSLTStateMachineHexCommandData))
                                                ? head.value(key(kSLTStateMachineHexCommandData))
                                                : head.value(key(kSLTStateMachineCommandCustom));
                    _machine->requestState(requested, custom);
                }
                return;
            }
            if (_queue.size() == 1) {
                _machine->requestState(kStateClosed);
                return;
            }
            // A close with more work behind it is dropped.
            _queue.removeFirst();
            _idle = true;
            continue;
        }
        if (!head.contains(key(kSLTCommDeviceCommandSequenceFinished)))
            kitLog("SLTCommDeviceCommandQueue: command without requested state dropped");
        else
            returnResultForState(kStateCommandDone);
        _queue.removeFirst();
        _idle = true;
    }
}

void SLTCommDeviceCommandQueue::machineStateChanged(SLTStateMachine*)
{
    if (_fullStop)
        return;
    const int state = _machine->state();
    const bool commandsLeft = !_queue.isEmpty();
    switch (state) {
    case kStateConnected:
        _idle = true;
        platform::NotificationCenter::defaultCenter().post(key(kSLTCommDeviceCommandQueueConnected));
        startNextCommand();
        return;
    case kStateOpening:
        return;
    case kStateCommandDone:
    case kStateRefused:
    case kStateCommandError:
        if (!commandsLeft) {
            _machine->requestState(kStateClosed);
            return;
        }
        returnResultForState(state);
        removeFirstCommand();
        _machine->requestState(5);
        return;
    case kStateConnectionError:
    case kStateConnectionClosed:
    case kStateLgPortBusy:
    case kStateTimeout:
        if (commandsLeft) {
            returnResultForState(state);
            removeAllCommands();
            _idle = true;
        }
        _machine->requestState(kStateClosed);
        return;
    case kStateClosed:
        if (commandsLeft)
            _queue.removeFirst();
        platform::NotificationCenter::defaultCenter().post(key(kSLTCommDeviceCommandQueueDisconnected), this);
        _idle = true;
        startNextCommand();
        return;
    default:
        if (!commandsLeft)
            _machine->requestState(kStateClosed);
        return;
    }
}

void SLTCommDeviceCommandQueue::returnResultForState(int state)
{
    if (_queue.isEmpty())
        return;
    const QVariantMap& head = _queue.first();
    QVariantMap result = head;
    switch (state) {
    case kStateCommandDone: {
        const QString text = _machine->buffer();
        result.insert(key(kSLTCommDeviceCommandQueueCommandResult), text.isEmpty() ? QStringLiteral("ok") : text);
        const QByteArray raw = _machine->rawBuffer();
        if (!raw.isEmpty())
            result.insert(key(kSLTCommDeviceCommandQueueCommandRawResult), raw);
        break;
    }
    case kStateCommandError:
    case kStateRefused: {
        const QString text = _machine->buffer();
        const bool wrongCenter = text.contains(QLatin1String("CMS ERROR: 330"));
        result.insert(key(kSLTCommDeviceCommandQueueCommandError),
                      key(wrongCenter ? kSLTCommDeviceWrongServiceCenter : kSLTCommDeviceCommandQueueCommandError));
        break;
    }
    case kStateConnectionError:
    case kStateConnectionClosed:
        result.insert(key(kSLTCommDeviceCommandQueueConnectionError), key(kSLTCommDeviceCommandQueueConnectionError));
        break;
    case kStateLgPortBusy:
        result.insert(key(kSLTCommDeviceCommandQueueLgAppConflict), key(kSLTCommDeviceCommandQueueLgAppConflict));
        break;
    case kStateTimeout:
        result.insert(key(kSLTCommDeviceCommandQueueTimeout), key(kSLTCommDeviceCommandQueueTimeout));
        break;
    default:
        break;
    }

    const QString selectorKey = key(kSLTCommandQueueCommDeviceCallbackSelString);
    if (head.contains(selectorKey)) {
        const QVariant selector = head.value(selectorKey);
        if (selector.typeId() != QMetaType::QString)
            return;
        platform::runloop::performAfterDelay(this, kResultAction, 0, [this, name = selector.toString(), result] {
            if (_delegate)
                _delegate->performCommandCallback(name, result);
        });
        return;
    }
    platform::Notification notification{head.value(key(kSLTCommDeviceCommandCallbackSignal)).toString(), this, result};
    platform::runloop::performAfterDelay(this, kResultAction, 0, [this, notification] {
        if (_delegate)
            _delegate->commandResult(notification);
    });
}
