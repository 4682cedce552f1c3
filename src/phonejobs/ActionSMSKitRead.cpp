#include "phonejobs/ActionSMSKitRead.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "kitbridges/SMSAsyncBridge.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionSMSKitRead::ActionSMSKitRead(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionSMSKitServices(QString::fromLatin1(MFDevice::kServiceSMSKitAsync), std::move(notify), std::move(userInfo))
{
    _headLine = kitjobnames::syncActionLine(OrganizerArchive::dbName(4));
}

ActionSMSKitRead::~ActionSMSKitRead() = default;

std::shared_ptr<ActionSMSKitRead> ActionSMSKitRead::initActionSMSKitRead(std::shared_ptr<QVActionNotify> notify,
                                                                         QVariant userInfo)
{
    return std::make_shared<ActionSMSKitRead>(std::move(notify), std::move(userInfo));
}

int ActionSMSKitRead::startAction()
{
    beginKitJob();
    MFDevice* device = getActionDevice();
    if (_executeOnlyIfNeeded && device && device->wasDatabaseSynced(syncProperty()))
        return jobcodes::kNothingToDo;
    if (const int result = startKitJob(); result != 0)
        return result;
    auto bridge = SMSAsyncBridge::smsBridgeWithAdress(device, this, smsKitMaker());
    if (!bridge)
        return -1;
    _smsBridge = bridge;
    return bridge->startReading();
}

void ActionSMSKitRead::smsReceived(SMSAsyncBridge* bridge, int status)
{
    auto keepAlive = selfAction();
    if (status == 0 && bridge) {
        MFDevice* device = getActionDevice();
        if (OrganizerArchive* archive = device ? device->archive() : nullptr) {
            archive->removeAllOldObjects(syncProperty());
            archive->enterSMS(bridge->msgList(), syncProperty());
        }
    }
    endAction(status);
}

void ActionSMSKitRead::displayProgress(int value)
{
    if (value == 100)
        _prozDone = 100;
    else
        _prozDone += float(value);
    if (!processAction(_prozDone))
        if (auto* bridge = dynamic_cast<SMSAsyncBridge*>(_smsBridge.get()))
            bridge->stopReading();
}

void ActionSMSKitRead::displayPercent(int percent)
{
    processAction(float(percent));
}

QString ActionSMSKitRead::generateErrorString(int code) const
{
    if (code == -1 || code == -2)
        return platform::localizedString(kitjobnames::kSMSReadError);
    return ActionSMSKitServices::generateErrorString(code);
}

void ActionSMSKitRead::endAction(int code)
{
    auto keepAlive = selfAction();
    // The data manager hears of the SMS also when the read failed; the end
    // sequence tells it on success.
    if (code != 0 && !hasEnded())
        notifyArchiveChanged();
    ActionSMSKitServices::endAction(code);
}
