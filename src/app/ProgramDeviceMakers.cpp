#include "app/ProgramDeviceMakers.h"

#include "app/DocumentFilesMirror.h"
#include "app/OrganizerDocumentArchive.h"
#include "app/OrganizerHostImpl.h"

#include "devicewindow/DeviceWindowController.h"
#include "phonejobs/FileJobMakers.h"
#include "sync/GeneralSyncInfo.h"
#include "sync/QVServerSyncSession.h"
#include "sync/SyncEngineHandler.h"

namespace programmakers {

MFDevice::Makers makers()
{
    MFDevice::Makers made;
    made.generalSyncInfo = []() -> SharedSyncInfo* {
        return GeneralSyncInfo::isGeneralSyncInfoAlloced() ? &GeneralSyncInfo::sharedGeneralSyncInfo() : nullptr;
    };
    made.syncEngineHandler = [](MFDevice& device) -> std::unique_ptr<DeviceSyncEngineHandler> {
        return SyncEngineHandler::initWithMFDevice(device);
    };
    made.busyProgress = [](int percent) {
        if (DeviceWindowController* window = DeviceWindowController::openingWindow())
            window->doProgressBusyOverlayAndDisplay(percent);
    };
    made.mediaFormats = [](const QString& name) { return DeviceWindowController::getMediaInputFormat(name); };
    filejobs::install(made);
    organizerhost::fillMakers(made);
    return made;
}

MobileDeviceDocument::Makers documentMakers()
{
    MobileDeviceDocument::Makers made;
    made.mirror = &DocumentFilesMirror::make;
    made.archive = &OrganizerDocumentArchive::make;
    return made;
}

void install()
{
    MFDevice::setDefaultMakers(makers());
    MobileDeviceDocument::setMakers(documentMakers());
    QVServerSyncSession::installAsDeviceSessionMaker();
}

} // namespace programmakers
