#include "phonejobs/ActionDUNServices.h"

#include "device/QVSyncDeviceDescription.h"
#include "links/CommonSerialConnection.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "phonejobs/PhoneJobCodes.h"
#include "phonejobs/PhoneJobNames.h"
#include "platform/RunLoop.h"

ActionDUNServices::ActionDUNServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionRequestService(QLatin1String(MFDevice::kServiceSerial), std::move(notify), std::move(userInfo))
{
}

ActionDUNServices::~ActionDUNServices() = default;

CommonSerialConnection* ActionDUNServices::serialLink() const
{
    MFDevice* device = getActionDevice();
    return device ? dynamic_cast<CommonSerialConnection*>(device->dunConnection()) : nullptr;
}

int ActionDUNServices::startAction()
{
    const int result = ActionRequestService::startAction();
    if (result != 0)
        return result;
    if (!serialLink())
        return links::kIOReturnNoDevice;
    return _openError;
}

QString ActionDUNServices::description() const
{
    return phonejobnames::kActionDUNServicesFormat.arg(hashText());
}

void ActionDUNServices::endAction(int code)
{
    MFDevice* device = getActionDevice();
    if (device && !hasEnded()) {
        auto keepAlive = selfAction();
        device->waitForTime(device->pauseAfterNormalClose());
        const auto& description = device->syncDescription();
        if (description && description->isGigaset()) {
            auto closed = QVDeviceCallback::pollingObject();
            if (device->requestConnectionClose(QLatin1String(MFDevice::kServiceSerial), closed) == 0)
                platform::runloop::waitUntil([&closed] { return !closed->isBusy(); },
                                             phonejobcodes::kGigasetCloseSlice, phonejobcodes::kGigasetCloseSlices);
        }
    }
    ActionRequestService::endAction(code);
}
