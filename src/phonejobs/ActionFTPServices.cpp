#include "phonejobs/ActionFTPServices.h"

#include "foundation/NamedLog.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phonejobs/FileJobNames.h"

ActionFTPServices::ActionFTPServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionRequestService(QLatin1String(MFDevice::kServiceFTP), std::move(notify), std::move(userInfo))
{
}

DZDataManager* ActionFTPServices::dataManager() const
{
    MFDevice* device = getActionDevice();
    return device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr;
}

FileTransferConnection* ActionFTPServices::connection() const
{
    MFDevice* device = getActionDevice();
    return device ? device->ftpConnection() : nullptr;
}

bool ActionFTPServices::usesMassStoragePipes() const
{
    MFDevice* device = getActionDevice();
    if (!device)
        return false;
    return device->isHistory() || (device->ftpConnection() && device->ftpConnection()->servesMassStorage());
}

void ActionFTPServices::didPostToActionPipe()
{
    ActionRequestService::didPostToActionPipe();
    if (auto requester = notify())
        requester->didPostAction(*this);
}

int ActionFTPServices::startAction()
{
    const int answer = ActionRequestService::startAction();
    if (answer != 0) {
        QVLOG(qvlog::kXT, filejobnames::kStartedWithErrorFormat.arg(description()).arg(answer));
        return answer;
    }
    QVLOG(qvlog::kXT, filejobnames::kStartedFormat.arg(description()));
    return connection() ? 0 : links::kIOReturnNoDevice;
}

bool ActionFTPServices::canSuspend() const
{
    return inOpenRequest();
}

bool ActionFTPServices::doSuspendAction()
{
    if (!inOpenRequest())
        return false;
    if (FileTransferConnection* link = connection())
        link->killJobs(false, _openDeviceCallback);
    _openDeviceCallback->senderIsDying();
    _openDeviceCallback.reset();
    return true;
}

QString ActionFTPServices::description() const
{
    return filejobnames::kFTPServicesFormat.arg(hashText());
}

QString ActionFTPServices::actionType() const
{
    return usesMassStoragePipes() ? filejobnames::kMassStorageFast : filejobnames::kFTP;
}

void ActionFTPServices::endAction(int code)
{
    if (!hasEnded()) {
        QVLOG(qvlog::kXT, code == 0 ? filejobnames::kFinishedFormat.arg(description())
                                    : filejobnames::kStoppedFormat.arg(description()).arg(code));
        if (MFDevice* device = getActionDevice())
            device->waitForTime(device->pauseAfterAnyFTPAction());
    }
    ActionRequestService::endAction(code);
}
