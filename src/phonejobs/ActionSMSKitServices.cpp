#include "phonejobs/ActionSMSKitServices.h"

#include "phonejobs/KitJobState.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "kitbridges/SMSAsyncBasisBridge.h"
#include "links/DZDeviceConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "syncmodel/QVSyncElemList.h"

namespace {

SmsKitMaker& actionSMSKitServicesMaker()
{
    static SmsKitMaker maker = makeQVSmsKitAsync;
    return maker;
}

constexpr double kActionSMSKitServicesAbortDelay = 0.12;

} // namespace

ActionSMSKitServices::ActionSMSKitServices(const QString& serviceName, std::shared_ptr<QVActionNotify> notify,
                                           QVariant userInfo)
    : ActionExternalConnection(serviceName, std::move(notify), std::move(userInfo))
    , _kitAbortTimer([this] { kitAborted(); })
{
}

ActionSMSKitServices::~ActionSMSKitServices() = default;

std::shared_ptr<ActionSMSKitServices> ActionSMSKitServices::initActionSMSKitServices(
    const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    if (serviceName.isEmpty())
        return nullptr;
    return std::make_shared<ActionSMSKitServices>(serviceName, std::move(notify), std::move(userInfo));
}

void ActionSMSKitServices::setSmsKitMaker(SmsKitMaker maker)
{
    actionSMSKitServicesMaker() = maker ? std::move(maker) : SmsKitMaker(makeQVSmsKitAsync);
}

const SmsKitMaker& ActionSMSKitServices::smsKitMaker()
{
    return actionSMSKitServicesMaker();
}

void ActionSMSKitServices::saveNewState()
{
    kitjobstate::saveNewState(getActionDevice(), syncProperty());
}

void ActionSMSKitServices::notifyArchiveChanged()
{
    kitjobstate::notifyArchiveChanged(getActionDevice(), syncProperty());
}

int ActionSMSKitServices::closeKitConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    MFDevice* device = getActionDevice();
    DZDeviceConnection* connection = device ? device->smsKitAsyncConnection() : nullptr;
    if (!connection)
        return links::kIOReturnNotOpen;
    return connection->closeConnection(callback);
}

bool ActionSMSKitServices::connectionIsValid() const
{
    MFDevice* device = getActionDevice();
    return device && device->smsKitAsyncConnection();
}

int ActionSMSKitServices::startKitJob()
{
    beginKitJob();
    const int result = ActionExternalConnection::startAction();
    if (result != 0)
        return result;
    return connectionIsValid() ? 0 : links::kIOReturnNoDevice;
}

int ActionSMSKitServices::startAction()
{
    return startKitJob();
}

void ActionSMSKitServices::scheduleKitAborted()
{
    if (_kitAbortRequested)
        return;
    _kitAbortRequested = true;
    _kitAbortTimer.start(kActionSMSKitServicesAbortDelay);
}

void ActionSMSKitServices::kitAborted()
{
    endAction(jobcodes::kCancelled);
}

void ActionSMSKitServices::endAction(int code)
{
    auto keepAlive = selfAction();
    if (!_kitJobStarted) {
        // Ended before its start (cancelled in the queue, no service): there
        // is no kit work to close.
        ActionExternalConnection::endAction(code);
        return;
    }
    if (_endSequenceStarted) {
        QVLOG(qvlog::kXT, kitjobnames::kSecondEndFormat.arg(className()).arg(code).arg(_firstEndCode));
        return;
    }
    _endSequenceStarted = true;
    _kitAbortTimer.stop();
    if (_kitAbortRequested && code != jobcodes::kCancelled) {
        QVLOG(qvlog::kXT, kitjobnames::kAbortedEndFormat.arg(className()).arg(code));
        code = jobcodes::kCancelled;
    }
    _firstEndCode = code;
    _externalConnectionStatus = code;
    if (code == 0) {
        saveNewState();
        notifyArchiveChanged();
    }
    auto close = callbackTo(&ActionExternalConnection::endActionStep2);
    if (closeKitConnection(close) != 0)
        endActionStep2(*close);
}

QString ActionSMSKitServices::defaultDescription(const QString& className)
{
    return kitjobnames::kDefaultDescriptionFormat.arg(className);
}

QString ActionSMSKitServices::description() const
{
    return defaultDescription(className());
}
