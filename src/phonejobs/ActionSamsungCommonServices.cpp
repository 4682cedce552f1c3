#include "phonejobs/ActionSamsungCommonServices.h"
#include "phonejobs/ActionSamsungContactServices.h"
#include "phonejobs/ActionSamsungEventsServices.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "foundation/QuorNSArrayExtensions.h"
#include "jobs/JobCodes.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "links/SamsungATConnection.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironment.h"
#include "platform/Clock.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "sync/SamsungObexSession.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElemList.h"

namespace {
ActionSamsungCommonServices::SessionMaker& samsungJobSessionMaker()
{
    static ActionSamsungCommonServices::SessionMaker maker;
    return maker;
}

void samsungJobLog(const QString& line)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), line);
}
} // namespace

void ActionSamsungCommonServices::setSessionMaker(SessionMaker maker)
{
    samsungJobSessionMaker() = std::move(maker);
}

ActionSamsungCommonServices::ActionSamsungCommonServices(const QString& serviceName,
                                                         std::shared_ptr<QVActionNotify> notify, bool slow,
                                                         QVariant userInfo, bool switchSyncEngine)
    : ActionExternalConnection(serviceName, std::move(notify), std::move(userInfo))
    , _switchOnSyncEngine(switchSyncEngine)
    , _isSlowSync(slow)
{
}

ActionSamsungCommonServices::~ActionSamsungCommonServices()
{
    if (_finishCallback)
        _finishCallback->senderIsDying();
    if (_closeCallback)
        _closeCallback->senderIsDying();
}

std::shared_ptr<ActionSamsungCommonServices> ActionSamsungCommonServices::organizerJobForDevice(
    MFDevice& device, int type, bool slowSync, std::shared_ptr<QVActionNotify> notify)
{
    if (!std::as_const(device).usesSamsungATConnections())
        return nullptr;
    if (type == 0)
        return ActionSamsungContactServices::initActionSamsungContactServices(std::move(notify), slowSync, QVariant(),
                                                                              false);
    if (type == 1 || type == 5 || type == 6)
        return ActionSamsungEventsServices::initActionSamsungEventsServices(std::move(notify), slowSync, QVariant(),
                                                                            false);
    return nullptr;
}

QString ActionSamsungCommonServices::defaultDescription(const QString& className)
{
    return QStringLiteral("ActionSamsung: %1").arg(className);
}

QString ActionSamsungCommonServices::localizedFormat(const QString& key, const QString& value)
{
    QString text = platform::localizedString(key);
    for (const QLatin1String place : {QLatin1String("%@"), QLatin1String("%1")}) {
        const qsizetype at = text.indexOf(place);
        if (at >= 0)
            return text.replace(at, place.size(), value);
    }
    return text;
}

void ActionSamsungCommonServices::setBackupRestorerCallback(std::shared_ptr<QVDeviceCallback> callback)
{
    _restorerCallback = std::move(callback);
}

SamsungATConnection* ActionSamsungCommonServices::tarnexConnection() const
{
    MFDevice* device = getActionDevice();
    return device ? dynamic_cast<SamsungATConnection*>(device->tarnexConnection()) : nullptr;
}

bool ActionSamsungCommonServices::readyToExecute()
{
    MFDevice* device = getActionDevice();
    if (SamsungATConnection* connection = tarnexConnection()) {
        const double readyAt = connection->lastCloseAction() + double(device->pauseAfterSyncMLClose());
        if (platform::Clock::instance().now() < readyAt)
            return false;
    }
    return ActionExternalConnection::readyToExecute();
}

int ActionSamsungCommonServices::startSamsungSync(const std::function<int(SamsungObexSession&)>& begin)
{
    MFDevice* device = getActionDevice();
    if (executeOnlyIfNeeded() && device && device->wasDatabaseSynced(_property))
        return jobcodes::kNothingToDo;
    if (const int status = ActionExternalConnection::startAction(); status != 0)
        return status;
    SamsungATConnection* connection = tarnexConnection();
    if (!connection)
        return links::kIOReturnNoDevice;
    _subLine = platform::localizedString(QStringLiteral("Sync_reading"));
    const SessionMaker& maker = samsungJobSessionMaker();
    _session = maker ? maker(*connection, this) : SamsungObexSession::initWithConnection(*connection, this);
    if (!_session)
        return links::kIOReturnNoDevice;
    return begin(*_session);
}

// --- the session's user ---

int ActionSamsungCommonServices::deliverIncomingData(QVBaseSession& base)
{
    auto& session = static_cast<SamsungObexSession&>(base);
    if (_closingSession || _endedOnce)
        return kSessionCancelled;
    const bool slow = session.isFirstSync() || _isSlowSync;
    const QVariantList items = session.items();
    if (items.isEmpty())
        samsungJobLog(QStringLiteral("\n==================\nDelivered changes from Device = empty <NSArray>"));
    else
        samsungJobLog(QStringLiteral("\n==================\nDelivered changes from Device = %1")
                          .arg(formattedDescription(items)));
    MFDevice* device = getActionDevice();
    DeviceDataManager* manager = device ? device->dataManager() : nullptr;
    OrganizerArchive* archive = manager ? manager->archive() : nullptr;
    auto commands = std::shared_ptr<QVCommandArray>(QVCommandArray::newCommandArray());
    if (archive) {
        const QVariantMap syncInfo{{QLatin1String(QVBaseSession::kItems), items},
                                   {QLatin1String(QVBaseSession::kIsFast), !slow}};
        archive->processSynchronization(syncInfo, _property, !slow);
        // A forced slow sync only takes the phone's items.
        if (!_isSlowSync)
            archive->addSyncCommands(*commands, _property, !slow, -1);
    }
    samsungJobLog(QStringLiteral("\n===================\nDownload Objects for Device: %1\n=========================")
                      .arg(commands->description()));
    session.setDownloadObjects(commands, archive ? archive->storage(_property) : nullptr, -1);
    if (archive) {
        archive->writeOtherDataToFile(_property);
        archive->saveCurrentSyncState(_property);
    }
    if (device)
        device->syncEnvironment().saveSyncDisabledSettings();
    return 0;
}

bool ActionSamsungCommonServices::notifySyncMLAction(const QString& text, float percent)
{
    if (!text.isEmpty() && text != _subLine)
        _subLine = text;
    return ActionExternalConnection::processAction(percent) && !isCancelled();
}

void ActionSamsungCommonServices::displayPercent(int percent)
{
    ActionExternalConnection::processAction(float(percent));
}

void ActionSamsungCommonServices::displayProgress(float percent)
{
    _prozDone += percent;
    ActionExternalConnection::processAction(_prozDone);
}

void ActionSamsungCommonServices::processAction(const QVariant& action)
{
    ActionExternalConnection::processAction(action.toFloat());
}

void ActionSamsungCommonServices::notifySyncFinished(const QString& result)
{
    // A session's end that comes after the job's own end has begun changes
    // nothing: the job closes and ends as it decided.
    if (_closingSession || _endedOnce)
        return;
    const int status = result.isNull() ? 0 : result.toInt();
    if (_session) {
        _unsentItems = _session->unsentItems();
        _deleteErrorCount = _session->deleteErrorCount();
    }
    MFDevice* device = getActionDevice();
    DeviceDataManager* manager = device ? device->dataManager() : nullptr;
    if (OrganizerArchive* archive = manager ? manager->archive() : nullptr) {
        archive->finalizeSyncing(_property, status);
        if (status == 0) {
            if (QVSyncElemList* list = archive->storage(_property)) {
                list->cleanUpDeletedItems();
                list->setClean();
            }
            archive->writeOtherDataToFile(_property);
            archive->saveCurrentSyncState(_property);
        }
    }
    if (status == 0)
        postDeleteErrors();
    endActionCloseFirst(status);
}

void ActionSamsungCommonServices::postDeleteErrors()
{
    if (_deleteErrorsPosted || _deleteErrorCount <= 0)
        return;
    _deleteErrorsPosted = true;
    platform::NotificationCenter::defaultCenter().post(
        QLatin1String(kSyncFailedDeleteItems), nullptr,
        QVariantMap{{QStringLiteral("failedItems"), qlonglong(_deleteErrorCount)},
                    {QStringLiteral("property"), _property}});
}

// --- the end ---

void ActionSamsungCommonServices::endActionCloseFirst(int status)
{
    auto keepAlive = selfAction();
    std::unique_ptr<SamsungObexSession> session = std::move(_session);
    if (!session) {
        endAction(status);
        return;
    }
    // The session may be the caller: it goes once the close has ended. It
    // takes no step from now on, so a job ended from outside (killed,
    // cancelled) leaves no session merging or sending behind it.
    session->detachFromJob();
    _closingSession = std::move(session);
    std::weak_ptr<QVFeedBack> weakSelf = weak_from_this();
    _closeCallback = QVDeviceCallback::commandObject(
        this,
        [weakSelf](QVDeviceCallback& callback) {
            if (auto self = std::static_pointer_cast<ActionSamsungCommonServices>(weakSelf.lock()))
                self->connectionClosed(callback);
        },
        {}, QVariant(status));
    _closingSession->closeConnection(_closeCallback);
}

void ActionSamsungCommonServices::connectionClosed(QVDeviceCallback& callback)
{
    auto keepAlive = selfAction();
    _closeCallback.reset();
    int status = callback.returnStatus();
    if (status == 0)
        status = callback.userInfo().toInt();
    if (status == kSessionCancelled)
        status = jobcodes::kCancelled;
    // Not inside the session's own call chain.
    if (_closingSession) {
        std::shared_ptr<SamsungObexSession> gone(std::move(_closingSession));
        platform::runloop::performAfterDelay(nullptr, QStringLiteral("samsungSessionRelease"), 0, [gone] {});
    }
    endAction(status);
}

void ActionSamsungCommonServices::endAction(int code)
{
    if (_endedOnce)
        return;
    auto keepAlive = selfAction();
    if (code == 0) {
        if (_session)
            _deleteErrorCount = _session->deleteErrorCount();
        postDeleteErrors();
    }
    if (_session) {
        endActionCloseFirst(code);
        return;
    }
    _endedOnce = true;
    MFDevice* device = getActionDevice();
    if (code == 0 && device) {
        if (auto* manager = dynamic_cast<DZDataManager*>(device->dataManager()))
            manager->didUpdateOrganizerDataOfType(_property);
    }
    if (_switchOnSyncEngine && device) {
        if (QVariantMap* work = device->syncEnvironment().requestWorkSyncEnvironment()) {
            work->insert(QStringLiteral("SyncEngineEnabled"), true);
            device->syncEnvironment().applyWorkSyncEnvironmentByUser();
        }
    }
    const std::shared_ptr<QVActionNotify> requester = _notify;
    ActionExternalConnection::endAction(code);
    auto& center = platform::NotificationCenter::defaultCenter();
    if (_unsentItems != 0) {
        center.post(QLatin1String(kSyncTooManyItems), nullptr,
                    QVariantMap{{QStringLiteral("missingItems"), qlonglong(_unsentItems)},
                                {QStringLiteral("property"), _property}});
    }
    center.post(QLatin1String(code == 0 ? kSyncSuccessful : kSyncFailed));
    afterEnd(requester);
}
