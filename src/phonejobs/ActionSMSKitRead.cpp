#include "phonejobs/ActionSMSKitRead.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "kitbridges/SMSAsyncBridge.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <QSet>

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
    // A read the user cancelled stores nothing, even when the kit finished it.
    if (status == 0 && bridge && !kitAbortRequested()) {
        MFDevice* device = getActionDevice();
        if (OrganizerArchive* archive = device ? device->archive() : nullptr) {
            archive->removeAllOldObjects(syncProperty());
            removePhoneSms(archive->storage(syncProperty()), bridge->msgList());
            archive->enterSMS(bridge->msgList(), syncProperty());
        }
    }
    endAction(status);
}

void ActionSMSKitRead::removePhoneSms(QVSyncElemList* list, const QVariantList& records)
{
    // The storage's own sweep keeps every message item; without this each
    // read would add the phone's messages and boxes once more. What the last
    // read had from the phone goes, and so does anything under a key the
    // phone delivers now; messages kept only here stay.
    if (!list)
        return;
    QSet<QString> incoming;
    for (const QVariant& record : records)
        if (record.typeId() == QMetaType::QVariantMap)
            incoming.insert(QVSmsElem::elemWithRecord(record.toMap())->sourceURI());
    std::vector<QVSyncElemList::Elem> gone;
    for (const auto& elem : list->allElems()) {
        const auto* sms = dynamic_cast<const QVSmsElem*>(elem.get());
        if ((sms && sms->isOnPhone()) || incoming.contains(elem->sourceURI()))
            gone.push_back(elem);
    }
    for (const auto& elem : gone)
        list->removeObject(elem);
}

void ActionSMSKitRead::displayProgress(int value)
{
    if (value == 100)
        _prozDone = 100;
    else
        _prozDone += float(value);
    if (!processAction(_prozDone))
        stopForCancel();
}

void ActionSMSKitRead::displayPercent(int percent)
{
    if (!processAction(float(percent)))
        stopForCancel();
}

void ActionSMSKitRead::stopForCancel()
{
    if (kitAbortRequested())
        return;
    if (auto* bridge = dynamic_cast<SMSAsyncBridge*>(_smsBridge.get()))
        bridge->stopReading();
    scheduleKitAborted();
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
