#include "phonejobs/ActionSamsungEventsServices.h"

#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "sync/SamsungObexSession.h"

ActionSamsungEventsServices::ActionSamsungEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow,
                                                         QVariant userInfo, bool switchSyncEngine)
    : ActionSamsungCommonServices(QLatin1String(kServiceName), std::move(notify), slow, std::move(userInfo),
                                  switchSyncEngine)
{
    _property = 1;
    _headLine = localizedFormat(QStringLiteral("Sync_action"),
                                platform::localizedString(QVBaseSession::myDB(_property)));
    _subLine = platform::localizedString(QStringLiteral("Sync_opening"));
}

ActionSamsungEventsServices::~ActionSamsungEventsServices() = default;

std::shared_ptr<ActionSamsungEventsServices> ActionSamsungEventsServices::initActionSamsungEventsServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionSamsungEventsServices>(std::move(notify), slow, std::move(userInfo),
                                                         switchSyncEngine);
}

bool ActionSamsungEventsServices::connectionIsValid() const
{
    MFDevice* device = getActionDevice();
    return device && device->tarnexConnection();
}

int ActionSamsungEventsServices::startAction()
{
    return startSamsungSync(
        [this](SamsungObexSession& session) { return session.performReadCalendarEvents(_isSlowSync); });
}
