#include "phonejobs/ActionExternalConnection.h"

#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"

ActionExternalConnection::ActionExternalConnection(const QString& serviceName, std::shared_ptr<QVActionNotify> notify,
                                                   QVariant userInfo)
    : ActionRequestService(serviceName, std::move(notify), std::move(userInfo))
{
}

ActionExternalConnection::~ActionExternalConnection() = default;

void ActionExternalConnection::endActionStep2(QVDeviceCallback& callback)
{
    auto keepAlive = selfAction();
    int code = callback.userInfo().toInt();
    if (code == 0)
        code = _externalConnectionStatus;
    if (MFDevice* device = getActionDevice())
        device->waitForTime(device->pauseAfterNormalClose());
    ActionRequestService::endAction(code);
}
