#include "phonejobs/ActionLGEventsServices.h"

#include "device/QVSyncDeviceDescription.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionLGEventsServices::ActionLGEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                                               bool switchSyncEngine)
    : ActionOrganizerKitServices(QString::fromLatin1(MFDevice::kServiceLGEvents), std::move(notify),
                                 std::move(userInfo))
{
    _isSlowSync = slow;
    _switchOnSyncEngine = switchSyncEngine;
    _headLine = kitjobnames::syncActionLine(OrganizerArchive::dbName(1));
    _subLine = platform::localizedString(kitjobnames::kSyncOpening);
}

ActionLGEventsServices::~ActionLGEventsServices() = default;

std::shared_ptr<ActionLGEventsServices> ActionLGEventsServices::initActionLGEventsServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionLGEventsServices>(std::move(notify), slow, std::move(userInfo), switchSyncEngine);
}

int ActionLGEventsServices::startAction()
{
    MFDevice* device = getActionDevice();
    _withTasks = device && device->syncDescription() && device->syncDescription()->hasTasks();
    return startSyncFlow();
}

DZDeviceConnection* ActionLGEventsServices::kitConnection() const
{
    // The slot that serves "LGEvents": the kit connection of an LG phone.
    MFDevice* device = getActionDevice();
    if (!device)
        return nullptr;
    return device->usesLGATConnections() ? device->smsKitAsyncConnection() : device->tarnexConnection();
}

void ActionLGEventsServices::calendarReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Calendar, bridge, status);
}

void ActionLGEventsServices::tasksReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Tasks, bridge, status);
}

void ActionLGEventsServices::calendarWritten(OrganizerAsyncBridge*, int status,
                                             const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Calendar, status, mappingTable);
}

void ActionLGEventsServices::tasksWritten(OrganizerAsyncBridge*, int status,
                                          const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Tasks, status, mappingTable);
}
