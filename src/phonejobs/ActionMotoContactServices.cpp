#include "phonejobs/ActionMotoContactServices.h"

#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionMotoContactServices::ActionMotoContactServices(std::shared_ptr<QVActionNotify> notify, bool slow,
                                                     QVariant userInfo, bool switchSyncEngine)
    : ActionOrganizerKitServices(QString::fromLatin1(MFDevice::kServiceMotoContacts), std::move(notify),
                                 std::move(userInfo))
{
    _isSlowSync = slow;
    _switchOnSyncEngine = switchSyncEngine;
    _headLine = kitjobnames::syncActionLine(OrganizerArchive::dbName(0));
    _subLine = platform::localizedString(kitjobnames::kSyncOpening);
}

ActionMotoContactServices::~ActionMotoContactServices() = default;

std::shared_ptr<ActionMotoContactServices> ActionMotoContactServices::initActionMotoContactServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionMotoContactServices>(std::move(notify), slow, std::move(userInfo),
                                                       switchSyncEngine);
}

int ActionMotoContactServices::startAction()
{
    return startSyncFlow();
}

DZDeviceConnection* ActionMotoContactServices::kitConnection() const
{
    MFDevice* device = getActionDevice();
    return device ? device->motoContactsConnection() : nullptr;
}

QString ActionMotoContactServices::flowLogName() const
{
    return kitjobnames::kMotoContactsLogName;
}

void ActionMotoContactServices::phoneBookReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Phonebook, bridge, status);
}

void ActionMotoContactServices::phoneBookWritten(OrganizerAsyncBridge*, int status,
                                                 const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Phonebook, status, mappingTable);
}
