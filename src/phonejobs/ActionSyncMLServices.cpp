#include "phonejobs/ActionSyncMLServices.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "links/LinkCodes.h"
#include "links/ObexServiceConnection.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/DeviceWindowServices.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironment.h"
#include "platform/Clock.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "sync/QVSyncSession.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElemList.h"

namespace {

const QString kSyncMLJobDescriptionFormat = QStringLiteral("ActionSyncMLServices: %1");

// The localized key with its first "%@" (or "%1") filled in.
QString syncMLJobFormat(const QString& key, const QString& value)
{
    QString text = platform::localizedString(key);
    for (const QLatin1String place : {QLatin1String("%@"), QLatin1String("%1")}) {
        const qsizetype at = text.indexOf(place);
        if (at >= 0)
            return text.replace(at, place.size(), value);
    }
    return text + QLatin1Char(' ') + value;
}

OrganizerArchive* syncMLJobArchive(MFDevice* device)
{
    DeviceDataManager* manager = device ? device->dataManager() : nullptr;
    return manager ? manager->archive() : nullptr;
}

QString syncMLJobDatabaseName(MFDevice* device, int property)
{
    return device ? device->dbName(property) : OrganizerArchive::dbName(property);
}

} // namespace

std::shared_ptr<ActionSyncMLServices> ActionSyncMLServices::actionForProperty(int property, bool forceSlowSync,
                                                                              std::shared_ptr<QVActionNotify> notify,
                                                                              QVariant userInfo, bool switchSyncEngine)
{
    return std::make_shared<ActionSyncMLServices>(std::move(notify), property, forceSlowSync, std::move(userInfo),
                                                  switchSyncEngine);
}

ActionSyncMLServices::ActionSyncMLServices(std::shared_ptr<QVActionNotify> notify, int property, bool slow,
                                           QVariant userInfo, bool switchSyncEngine)
    : ActionRequestService(QString::fromLatin1(kServiceName), std::move(notify), std::move(userInfo))
    , _property(property)
    , _isSlowSync(slow)
    , _switchOnSyncEngine(switchSyncEngine)
{
}

ActionSyncMLServices::~ActionSyncMLServices()
{
    if (_finishCallback)
        _finishCallback->senderIsDying();
}

QString ActionSyncMLServices::defaultDescription(int property)
{
    return kSyncMLJobDescriptionFormat.arg(OrganizerArchive::dbName(property));
}

QVSyncSession* ActionSyncMLServices::session() const
{
    return dynamic_cast<QVSyncSession*>(_baseSession);
}

void ActionSyncMLServices::setBackupRestorerCallback(std::shared_ptr<QVSessionUser> restorer)
{
    _restorerCallback = std::move(restorer);
}

QString ActionSyncMLServices::statusMenueString() const
{
    return platform::localizedString(syncMLJobDatabaseName(getActionDevice(), _property));
}

void ActionSyncMLServices::willPostToActionPipe()
{
    MFDevice* device = getActionDevice();
    const OrganizerArchive* archive = syncMLJobArchive(device);
    const QVSyncElemList* list = archive ? archive->storage(_property) : nullptr;
    const QString database = platform::localizedString(syncMLJobDatabaseName(device, _property));
    _headLine = syncMLJobFormat(list && list->isSyncEngineList() ? QStringLiteral("Sync_action")
                                                                 : QStringLiteral("Sync_updating"),
                                database);
    _subLine = platform::localizedString(QStringLiteral("Opening connection..."));
    ActionRequestService::willPostToActionPipe();
}

bool ActionSyncMLServices::readyToExecute()
{
    MFDevice* device = getActionDevice();
    if (device) {
        if (const auto* connection = dynamic_cast<const ObexServiceConnection*>(device->syncMLConnection())) {
            const double readyAt = connection->lastCloseAction() + double(device->pauseAfterSyncMLClose());
            if (platform::Clock::instance().now() < readyAt)
                return false;
        }
    }
    return ActionRequestService::readyToExecute();
}

int ActionSyncMLServices::startAction()
{
    MFDevice* device = getActionDevice();
    if (executeOnlyIfNeeded() && device && device->wasDatabaseSynced(_property))
        return jobcodes::kNothingToDo;
    ActionRequestService::processAction(float(kStartPercent));
    if (const int status = ActionRequestService::startAction(); status != 0)
        return status;
    if (_property < 0 || _property > 6)
        return kIOReturnBadArgument;
    const auto& description = device ? device->syncDescription() : nullptr;
    if (!device || !device->syncMLConnection() || !description || !description->usesSyncMLForProperty(_property))
        return links::kIOReturnNoDevice;
    _syncSession = device->requestSyncSession(this);
    _baseSession = static_cast<QVBaseSession*>(_syncSession.get());
    if (!_syncSession)
        return links::kErrNotConnected;
    if (OrganizerArchive* archive = syncMLJobArchive(device))
        archive->prepareSyncing(_property);
    device->waitForTime(double(device->pauseAfterAnyAction()));
    QVSyncSession* syncSession = session();
    // Only the contacts read is the base's own: another session kind reads
    // nothing else.
    if (!syncSession)
        return _property == 0 ? _baseSession->performReadContacts(_isSlowSync) : kIOReturnBadArgument;
    return readProperty(*syncSession);
}

int ActionSyncMLServices::readProperty(QVSyncSession& session)
{
    switch (_property) {
    case 0:
        return session.performReadContacts(_isSlowSync);
    case 1:
        return session.performReadCalendarEvents(_isSlowSync);
    case 2:
        return session.performReadNotes(_isSlowSync);
    case 3:
        return session.performReadBookmarks(_isSlowSync);
    case 4:
        return session.performReadSMS(_isSlowSync);
    case 5:
        return session.performReadEvents(_isSlowSync);
    case 6:
        return session.performReadTasks(_isSlowSync);
    default:
        return kIOReturnBadArgument;
    }
}

// --- the session's user ---

int ActionSyncMLServices::deliverIncomingData(QVBaseSession& session)
{
    // A cancel inside the progress report may end the job: it lives on to
    // the end of this call.
    auto keepAlive = selfAction();
    // A session of a job that has ended merges nothing.
    if (hasEnded() || &session != _baseSession)
        return kSessionCancelled;
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = syncMLJobArchive(device);
    const QVariantMap& syncInfo = session.syncInfo();
    // A delivery without items is one of none.
    const QVariantList items = syncInfo.value(QLatin1String(QVBaseSession::kItems)).toList();
    const bool fast = isFast(syncInfo);
    if (!fast && device) {
        const bool phoneHadItems = archive && archive->elemOnDeviceCount(_property) > 0;
        const QVariant lastSync = device->lastSyncTimeDevice(_property);
        if (items.isEmpty() && phoneHadItems && !_isSlowSync && !lastSync.toString().isEmpty()) {
            QVLOG(qvlog::kXT, QStringLiteral("ActionSyncMLServices: the phone sent no %1 in a slow sync but had "
                                             "some: it lost all its entries")
                                  .arg(OrganizerArchive::dbName(_property)));
            device->processGAU();
            _deliveryVerdict = kPhoneLostEntries;
            return kPhoneLostEntries;
        }
        if (archive && !device->wantsSyncChangesFromEngine(_property))
            archive->removeAllOldObjects(_property);
    }
    if (archive)
        archive->processSynchronization(syncInfo, _property, fast);
    if (!ActionRequestService::processAction(float(kDeliveredPercent))) {
        _deliveryVerdict = kSessionCancelled;
        return kSessionCancelled;
    }

    const auto& description = device ? device->syncDescription() : nullptr;
    if (_property == 1 && description && description->has2CalendarDBs()) {
        for (const auto& [key, type] : {std::pair{"SyncML.syncEvents", 5}, std::pair{"SyncML.syncTasks", 6}}) {
            if (!description->nonNilBOOLFromDescription(QLatin1String(key)))
                continue;
            std::shared_ptr<QVCommandArray> commands = QVCommandArray::newCommandArray();
            if (archive && !_isSlowSync)
                archive->addSyncCommands(*commands, _property, fast, type);
            session.setDownloadObjects(commands, archive ? archive->storage(_property) : nullptr, type);
        }
    } else {
        std::shared_ptr<QVCommandArray> commands = QVCommandArray::newCommandArray();
        if (archive && !_isSlowSync)
            archive->addSyncCommands(*commands, _property, fast, -1);
        session.setDownloadObjects(commands, archive ? archive->storage(session.property()) : nullptr, _property);
    }
    if (_restorerCallback)
        _restorerCallback->deliverIncomingData(session);
    return 0;
}

bool ActionSyncMLServices::notifySyncMLAction(const QString& text, float percent)
{
    auto keepAlive = selfAction();
    if (hasEnded())
        return false;
    if (!text.isEmpty())
        _subLine = text;
    return ActionRequestService::processAction(percent);
}

void ActionSyncMLServices::displayPercent(int percent)
{
    ActionRequestService::processAction(float(percent));
}

void ActionSyncMLServices::processAction(const QVariant& action)
{
    ActionRequestService::processAction(action.toFloat());
}

void ActionSyncMLServices::notifySyncFinished(const QString& result)
{
    auto keepAlive = selfAction();
    if (!_baseSession || hasEnded())
        return;
    QVBaseSession& session = *_baseSession;
    _unsentItems = session.unsentItems();
    bool isNumber = false;
    int status = result.toInt(&isNumber);
    if (!isNumber)
        status = session.globalError();
    // The session stops on the delivery's verdict; what its link reports
    // while it stops does not replace it.
    if (_deliveryVerdict != 0)
        status = _deliveryVerdict;
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = syncMLJobArchive(device);
    if (archive)
        archive->finalizeSyncing(_property, status);
    if (status == 0 && archive) {
        QString refused;
        if (QVSyncElemList* list = archive->storage(_property)) {
            refused = list->processStatusMessages(session.statusArray());
            list->cleanUpDeletedItems();
            list->setClean();
        }
        archive->writeOtherDataToFile(_property);
        archive->saveCurrentSyncState(_property);
        if (!refused.isEmpty()) {
            DeviceDocument* document = device ? device->document() : nullptr;
            if (DeviceWindowServices* window = document ? document->deviceWindowServices() : nullptr)
                window->displayErrorText(1, platform::localizedString(QStringLiteral("Sync_error_title")), refused);
        }
    }
    if (status == kRetryNextServer && device && device->switchToNextSyncMLSource()) {
        QVLOG(qvlog::kXT, QStringLiteral("ActionSyncMLServices: the next sync server name is tried"));
        status = jobcodes::kSuspended;
    }
    releaseSession(status);
}

void ActionSyncMLServices::releaseSession(int status)
{
    MFDevice* device = getActionDevice();
    std::shared_ptr<void> session = std::exchange(_syncSession, nullptr);
    _baseSession = nullptr;
    // Without a release to wait for, the job ends as the release's end would.
    if (status == kSessionCancelled)
        status = _suspending ? jobcodes::kSuspended : jobcodes::kCancelled;
    if (!session) {
        endAction(status);
        return;
    }
    // The session may be the caller: it goes on a later pass of the loop.
    dropSessionSoon(session);
    if (!device) {
        endAction(status);
        return;
    }
    auto callback = QVDeviceCallback::commandObject(
        this,
        [weakSelf = std::weak_ptr<QVFeedBack>(weak_from_this())](QVDeviceCallback& finished) {
            if (auto self = std::static_pointer_cast<ActionSyncMLServices>(weakSelf.lock()))
                self->endActionStep2(finished);
        },
        {}, QVariant(status));
    _finishCallback = callback;
    device->releaseSyncSession(std::move(session), callback);
}

void ActionSyncMLServices::dropSessionSoon(const std::shared_ptr<void>& session)
{
    // Held by the job (never past it, so never past the device and its link).
    _releasedSession = session;
    _releaseTimer.setCallback([this] { _releasedSession.reset(); });
    _releaseTimer.start(0);
}

void ActionSyncMLServices::endActionStep2(QVDeviceCallback& callback)
{
    auto keepAlive = selfAction();
    if (&callback == _finishCallback.get())
        _finishCallback.reset();
    // The session's own end decides; the release's status only when the
    // session ended well (a phone that dropped the link first makes the
    // close answer "not connected", which must not hide a lost-entries or
    // cancel verdict).
    int status = callback.userInfo().toInt();
    if (status == 0)
        status = callback.returnStatus();
    if (status == kSessionCancelled)
        status = _suspending ? jobcodes::kSuspended : jobcodes::kCancelled;
    endAction(status);
}

void ActionSyncMLServices::endAction(int code)
{
    auto keepAlive = selfAction();
    if (hasEnded()) {
        ActionRequestService::endAction(code);
        return;
    }
    MFDevice* device = getActionDevice();
    // A job ended from outside (killed, a failed start) still gives its
    // session back: a claimed session refuses every later one.
    if (_syncSession && device) {
        std::shared_ptr<void> session = std::exchange(_syncSession, nullptr);
        _baseSession = nullptr;
        if (OrganizerArchive* archive = syncMLJobArchive(device))
            archive->finalizeSyncing(_property, code == 0 ? links::kIOReturnError : code);
        // Given back while the device and its link still exist.
        device->releaseSyncSession(std::move(session), nullptr);
    }
    if (device) {
        if (auto* manager = dynamic_cast<DZDataManager*>(device->dataManager())) {
            if (code == 0)
                manager->didUpdateOrganizerDataOfType(_property);
            else
                manager->updateOrganizerDataOfTypeFailed(_property, code);
        }
        device->waitForTime(double(device->pauseAfterNormalClose()));
        if (_switchOnSyncEngine && code != jobcodes::kSuspended) {
            if (QVariantMap* work = device->syncEnvironment().requestWorkSyncEnvironment()) {
                work->insert(QStringLiteral("SyncEngineEnabled"), true);
                device->syncEnvironment().applyWorkSyncEnvironmentByUser();
            }
        }
    }
    // The engine's "session died" would cancel the pipe and empty the
    // machine: a phone that lost its entries is a question to the user.
    if (code == kPhoneLostEntries) {
        code = kUserCancelled;
        if (device)
            device->askAboutLostEntriesLater(_property, kLostEntriesQuestionDelay);
    }
    const long unsent = _unsentItems;
    const int property = _property;
    ActionRequestService::endAction(code);
    if (unsent != 0 && code != jobcodes::kSuspended) {
        platform::NotificationCenter::defaultCenter().post(
            QLatin1String(kSyncTooManyItems), nullptr,
            QVariantMap{{QStringLiteral("missingItems"), qlonglong(unsent)}, {QStringLiteral("property"), property}});
    }
}

bool ActionSyncMLServices::doSuspendAction()
{
    if (_baseSession) {
        _suspending = true;
        _baseSession->stopSession();
        return true;
    }
    return !_checkingReadyToExecute;
}

void ActionSyncMLServices::resetActionForStartAfterSuspend()
{
    ActionRequestService::resetActionForStartAfterSuspend();
    _suspending = false;
    _unsentItems = 0;
    _deliveryVerdict = 0;
}
