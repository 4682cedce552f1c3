#include "app/ProgramMakers.h"

#include "devicewindow/DeviceWindowController.h"
#include "phone/MFDevice.h"

void setProgramMakers()
{
    MFDevice::Makers makers;
    makers.busyProgress = [](int percent) {
        if (DeviceWindowController* window = DeviceWindowController::openingWindow())
            window->doProgressBusyOverlayAndDisplay(percent);
    };
    makers.mediaFormats = [](const QString& name) { return DeviceWindowController::getMediaInputFormat(name); };
    MFDevice::setDefaultMakers(std::move(makers));
}
