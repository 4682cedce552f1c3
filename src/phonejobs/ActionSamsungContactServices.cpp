#include "phonejobs/ActionSamsungContactServices.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "jobs/QVActionNotify.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "sync/SamsungObexSession.h"

ActionSamsungContactServices::ActionSamsungContactServices(std::shared_ptr<QVActionNotify> notify, bool slow,
                                                           QVariant userInfo, bool switchSyncEngine,
                                                           bool preprocessOnly)
    : ActionSamsungCommonServices(QLatin1String(kServiceName), std::move(notify), slow, std::move(userInfo),
                                  switchSyncEngine)
    , _preprocessOnly(preprocessOnly)
{
    _property = 0;
    _headLine = localizedFormat(QStringLiteral("Sync_action"),
                                platform::localizedString(QVBaseSession::myDB(_property)));
    _subLine = platform::localizedString(QStringLiteral("Sync_opening"));
}

ActionSamsungContactServices::~ActionSamsungContactServices()
{
    if (_preprocessCallback)
        _preprocessCallback->senderIsDying();
}

std::shared_ptr<ActionSamsungContactServices> ActionSamsungContactServices::initActionSamsungContactServices(
    std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionSamsungContactServices>(std::move(notify), slow, std::move(userInfo),
                                                          switchSyncEngine);
}

std::shared_ptr<ActionSamsungContactServices> ActionSamsungContactServices::initActionSamsungPreprocessContacts(
    std::shared_ptr<QVActionNotify> notify)
{
    return std::make_shared<ActionSamsungContactServices>(std::move(notify), false, QVariant(), false, true);
}

bool ActionSamsungContactServices::connectionIsValid() const
{
    MFDevice* device = getActionDevice();
    return device && device->tarnexConnection();
}

int ActionSamsungContactServices::startAction()
{
    return startSamsungSync([this](SamsungObexSession& session) {
        if (!_preprocessOnly)
            return session.performReadContacts(_isSlowSync);
        _preprocessCallback = callbackTo(&ActionSamsungContactServices::preprocessingDone);
        return session.performPreprocessContacts(_preprocessCallback);
    });
}

void ActionSamsungContactServices::preprocessingDone(QVDeviceCallback& callback)
{
    _preprocessCallback.reset();
    if (_session)
        _prepDict = _session->prepDict();
    else if (callback.resultObject().typeId() == QMetaType::QVariantMap)
        _prepDict = callback.resultObject().toMap();
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), QStringLiteral("ActionSamsungContacts preprocessingDone"));
}

void ActionSamsungContactServices::notifySyncFinished(const QString& result)
{
    if (!_preprocessOnly) {
        ActionSamsungCommonServices::notifySyncFinished(result);
        return;
    }
    if (_session && _prepDict.isEmpty())
        _prepDict = _session->prepDict();
    endActionCloseFirst(result.isNull() ? 0 : result.toInt());
}

void ActionSamsungContactServices::afterEnd(const std::shared_ptr<QVActionNotify>& requesterNotify)
{
    if (!_preprocessOnly || _requesterTold)
        return;
    _requesterTold = true;
    if (auto* requester = dynamic_cast<SamsungPreprocessingRequester*>(requesterNotify.get()))
        requester->preprocessingDone(*this);
}
