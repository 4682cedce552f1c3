#include "phonejobs/ActionMotoEventsServices.h"

#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionMotoEventsServices::ActionMotoEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow,
                                                   QVariant userInfo, bool switchSyncEngine, bool withTasks)
    : ActionOrganizerKitServices(QString::fromLatin1(MFDevice::kServiceMotoEvents), std::move(notify),
                                 std::move(userInfo))
    , _processTasks(withTasks)
{
    _isSlowSync = slow;
    _switchOnSyncEngine = switchSyncEngine;
    _headLine = kitjobnames::syncActionLine(OrganizerArchive::dbName(1));
    _subLine = platform::localizedString(kitjobnames::kSyncOpening);
}

ActionMotoEventsServices::~ActionMotoEventsServices() = default;

std::shared_ptr<ActionMotoEventsServices> ActionMotoEventsServices::initActionMotoEventsServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine, bool withTasks)
{
    return std::make_shared<ActionMotoEventsServices>(std::move(notify), slow, std::move(userInfo), switchSyncEngine,
                                                      withTasks);
}

int ActionMotoEventsServices::startAction()
{
    return startSyncFlow();
}

DZDeviceConnection* ActionMotoEventsServices::kitConnection() const
{
    MFDevice* device = getActionDevice();
    return device ? device->motoEventsConnection() : nullptr;
}

void ActionMotoEventsServices::calendarReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Calendar, bridge, status);
}

void ActionMotoEventsServices::tasksReceived(OrganizerAsyncBridge* bridge, int status)
{
    recordsReceived(Records::Tasks, bridge, status);
}

void ActionMotoEventsServices::calendarWritten(OrganizerAsyncBridge*, int status,
                                               const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Calendar, status, mappingTable);
}

void ActionMotoEventsServices::tasksWritten(OrganizerAsyncBridge*, int status,
                                            const std::optional<QVariantMap>& mappingTable)
{
    recordsWritten(Records::Tasks, status, mappingTable);
}
