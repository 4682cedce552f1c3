#include "phonejobs/ActionObjectPushServices.h"

#include "links/LinkCodes.h"
#include "links/ObexObjectPushConnection.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"

#include <QFileInfo>

ActionObjectPushServices::ActionObjectPushServices(const QString& path, std::shared_ptr<QVActionNotify> notify,
                                                   QVariant userInfo)
    : ActionRequestService(QLatin1String(kServicePush), std::move(notify), std::move(userInfo))
    , _thePath(path)
{
}

ActionObjectPushServices::~ActionObjectPushServices() = default;

std::shared_ptr<ActionObjectPushServices> ActionObjectPushServices::initWithPath(const QString& path,
                                                                                 std::shared_ptr<QVActionNotify> notify,
                                                                                 QVariant userInfo)
{
    if (path.isEmpty())
        return nullptr;
    return std::make_shared<ActionObjectPushServices>(path, std::move(notify), std::move(userInfo));
}

int ActionObjectPushServices::startAction()
{
    const int result = ActionRequestService::startAction();
    if (result != 0)
        return result;
    MFDevice* device = getActionDevice();
    auto* push = device ? dynamic_cast<ObexObjectPushConnection*>(device->objectPushConnection()) : nullptr;
    if (!push)
        return links::kIOReturnNoDevice;
    return push->pushFileAsync(_thePath, deviceCallback());
}

void ActionObjectPushServices::endAction(int code)
{
    MFDevice* device = getActionDevice();
    if (device && !hasEnded()) {
        auto keepAlive = selfAction();
        device->waitForTime(device->pauseAfterNormalClose());
    }
    ActionRequestService::endAction(code);
}

QString ActionObjectPushServices::generateErrorString(int code) const
{
    return QStringLiteral("%1 (%2)").arg(platform::localizedString(QLatin1String(kPushToMobileKey))).arg(code);
}

QString ActionObjectPushServices::displayString() const
{
    return QFileInfo(_thePath).fileName();
}

QString ActionObjectPushServices::description() const
{
    return QStringLiteral("ActionObjectPushServices: %1").arg(quintptr(this), 0, 16);
}
