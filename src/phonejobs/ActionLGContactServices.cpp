#include "phonejobs/ActionLGContactServices.h"

#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionLGContactServices::ActionLGContactServices(std::shared_ptr<QVActionNotify> notify, bool slow,
                                                 QVariant userInfo, bool switchSyncEngine)
    : ActionOrganizerKitServices(QString::fromLatin1(MFDevice::kServiceLGContacts), std::move(notify),
                                 std::move(userInfo))
{
    _isSlowSync = slow;
    _switchOnSyncEngine = switchSyncEngine;
    _headLine = kitjobnames::syncActionLine(OrganizerArchive::dbName(0));
    _subLine = platform::localizedString(kitjobnames::kSyncOpening);
}

ActionLGContactServices::~ActionLGContactServices() = default;

std::shared_ptr<ActionLGContactServices> ActionLGContactServices::initActionLGContactServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionLGContactServices>(std::move(notify), slow, std::move(userInfo), switchSyncEngine);
}

int ActionLGContactServices::startAction()
{
    return startSyncFlow();
}

DZDeviceConnection* ActionLGContactServices::kitConnection() const
{
    // The slot that serves "LGContacts": the kit connection of an LG phone.
    MFDevice* device = getActionDevice();
    if (!device)
        return nullptr;
    return device->usesLGATConnections() ? device->smsKitAsyncConnection() : device->tarnexConnection();
}

void ActionLGContactServices::phoneBookReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Phonebook, bridge, status);
}

void ActionLGContactServices::phoneBookWritten(OrganizerAsyncBridge*, int status,
                                               const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Phonebook, status, mappingTable);
}
