#include "phonejobs/ActionOrganizerKitServices.h"

#include "phonejobs/KitJobState.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "jobs/JobCodes.h"
#include "kitbridges/OrganizerAsyncBridge.h"
#include "links/DZDeviceConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/RawRecordStore.h"
#include "phone/SyncEnvironment.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/QVSyncElemList.h"

#include <QElapsedTimer>

namespace {

OrganizerKitMaker& actionOrganizerKitServicesMaker()
{
    static OrganizerKitMaker maker = makeKestrova;
    return maker;
}

// The kit's "phone busy" status reaches the requester as -200; with it the
// raw records stay as they were before the sync.
constexpr int kActionOrganizerKitBusy = -7;
constexpr int kActionOrganizerKitBusyEnd = -200;

int actionOrganizerKitEndCode(int status)
{
    return status == kActionOrganizerKitBusy ? kActionOrganizerKitBusyEnd : status;
}

QVariant actionOrganizerKitNow()
{
    return platform::Clock::instance().currentDateTime();
}

} // namespace

class ActionOrganizerKitServices::OwnWork {
public:
    explicit OwnWork(double& total) : _total(total) { _timer.start(); }
    ~OwnWork() { _total += double(_timer.nsecsElapsed()) / 1e9; }
    OwnWork(const OwnWork&) = delete;
    OwnWork& operator=(const OwnWork&) = delete;

private:
    double& _total;
    QElapsedTimer _timer;
};

ActionOrganizerKitServices::ActionOrganizerKitServices(const QString& serviceName,
                                                       std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionExternalConnection(serviceName, std::move(notify), std::move(userInfo))
    , _kitAbortTimer([this] { kitAborted(); })
{
    _deviceRecords.reset();
}

ActionOrganizerKitServices::~ActionOrganizerKitServices() = default;

std::shared_ptr<ActionOrganizerKitServices> ActionOrganizerKitServices::initActionSMSKitServices(
    const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    if (serviceName.isEmpty())
        return nullptr;
    return std::make_shared<ActionOrganizerKitServices>(serviceName, std::move(notify), std::move(userInfo));
}

void ActionOrganizerKitServices::setOrganizerKitMaker(OrganizerKitMaker maker)
{
    actionOrganizerKitServicesMaker() = maker ? std::move(maker) : OrganizerKitMaker(makeKestrova);
}

const OrganizerKitMaker& ActionOrganizerKitServices::organizerKitMaker()
{
    return actionOrganizerKitServicesMaker();
}

QString ActionOrganizerKitServices::dbName() const
{
    MFDevice* device = getActionDevice();
    return device ? device->dbName(syncProperty()) : OrganizerArchive::dbName(syncProperty());
}

void ActionOrganizerKitServices::setupRawDataFromFile()
{
    OwnWork work(_ownWorkSeconds);
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    // A missing or malformed store reads as no records: the sync starts as
    // a first one.
    _deviceRecords = archive ? rawrecords::readDeviceRecords(rawrecords::pathFor(archive->pathNameForDeviceSyncData()),
                                                             dbName())
                             : QVariantMap();
    _rawLoaded = true;
}

void ActionOrganizerKitServices::saveRawData()
{
    OwnWork work(_ownWorkSeconds);
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    if (!archive)
        return;
    const QString path = rawrecords::pathFor(archive->pathNameForDeviceSyncData());
    if (_deviceRecords) {
        rawrecords::writeDeviceRecords(path, dbName(), *_deviceRecords);
        return;
    }
    // No records: the database's entry goes, the others stay.
    rawrecords::writeDeviceRecords(path, dbName(), {});
}

void ActionOrganizerKitServices::saveNewState()
{
    OwnWork work(_ownWorkSeconds);
    kitjobstate::saveNewState(getActionDevice(), syncProperty());
}

void ActionOrganizerKitServices::notifyArchiveChanged()
{
    kitjobstate::notifyArchiveChanged(getActionDevice(), syncProperty());
}

DZDeviceConnection* ActionOrganizerKitServices::kitConnection() const
{
    MFDevice* device = getActionDevice();
    return device ? device->smsKitAsyncConnection() : nullptr;
}

int ActionOrganizerKitServices::closeKitConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    DZDeviceConnection* connection = kitConnection();
    if (!connection)
        return links::kIOReturnNotOpen;
    return connection->closeConnection(callback);
}

bool ActionOrganizerKitServices::connectionIsValid() const
{
    return kitConnection() != nullptr;
}

int ActionOrganizerKitServices::startKitJob()
{
    beginKitJob();
    const int result = ActionExternalConnection::startAction();
    if (result != 0)
        return result;
    return connectionIsValid() ? 0 : links::kIOReturnNoDevice;
}

int ActionOrganizerKitServices::startAction()
{
    return startKitJob();
}

int ActionOrganizerKitServices::startSyncFlow()
{
    beginKitJob();
    _isSyncFlow = true;
    MFDevice* device = getActionDevice();
    if (_executeOnlyIfNeeded && device && device->wasDatabaseSynced(syncProperty()))
        return jobcodes::kNothingToDo;
    if (const int result = startKitJob(); result != 0)
        return result;
    setupRawDataFromFile();
    if (_isSlowSync)
        _deviceRecords = QVariantMap();
    // A bridge without kit would only report the missing kit later.
    auto bridge = OrganizerAsyncBridge::organizerBridgeWithAddress(device, this, organizerKitMaker());
    if (!bridge || !bridge->hasKit())
        return -1;
    _smsBridge = bridge;
    _subLine = platform::localizedString(kitjobnames::kSyncReading);
    _reading = true;
    if (syncProperty() == 0)
        bridge->readMotorolaPhonebook();
    else
        bridge->readMotorolaCalendar();
    return 0;
}

void ActionOrganizerKitServices::processRecords(const QVariantMap& records)
{
    OwnWork work(_ownWorkSeconds);
    MFDevice* device = getActionDevice();
    const int property = syncProperty();
    const bool erase = device && !device->lastSyncTimeDevice(property).isValid() && device->devInfo()
                       && device->devInfo()->eraseDeviceData(property);
    if (!_deviceRecords)
        _deviceRecords = QVariantMap();
    _sendData = _theStorage ? _theStorage->processMotorolaData(records, erase, *_deviceRecords) : std::nullopt;
    _theDict = records;
    _inStatus = 0;
}

void ActionOrganizerKitServices::recordsReceived(Records kind, OrganizerAsyncBridge* bridge, int status)
{
    auto keepAlive = selfAction();
    if (_endSequenceStarted || hasEnded())
        return;
    _reading = false;
    if (_kitAbortRequested) {
        endAction(jobcodes::kCancelled);
        return;
    }
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    _theStorage = archive ? archive->storage(syncProperty()) : nullptr;
    if (status != 0) {
        QVLOG(qvlog::kXT, kind == Records::Phonebook  ? kitjobnames::kPhonebookReadError
                          : kind == Records::Calendar ? kitjobnames::kEventsReadError
                                                      : kitjobnames::kTasksReadError);
        endAction(actionOrganizerKitEndCode(status));
        return;
    }
    if (!_theStorage) {
        QVLOG(qvlog::kXT, kitjobnames::kWrongKindFormat.arg(flowLogName(), dbName(), QStringLiteral("no item list")));
        endAction(-1);
        return;
    }
    const std::optional<QVariantMap> records = bridge ? bridge->msgDict() : std::nullopt;
    if (kind == Records::Tasks) {
        if (records) {
            QVLOG(qvlog::kXT, kitjobnames::kTasksReadFormat.arg(formattedDescription(*records)));
            if (_firstPassDict)
                _firstPassDict->insert(*records);
        } else {
            _firstPassDict.reset();
        }
        if (_firstPassDict)
            processRecords(*_firstPassDict);
        writeStep(Records::Tasks);
        return;
    }
    if (!records) {
        writeStep(kind);
        return;
    }
    QVLOG(qvlog::kXT, (kind == Records::Phonebook ? kitjobnames::kPhonebookReadFormat : kitjobnames::kEventsReadFormat)
                          .arg(formattedDescription(*records)));
    if (kind == Records::Calendar && syncsTasks()) {
        _firstPassDict = *records;
        writeStep(kind);
        return;
    }
    processRecords(*records);
    writeStep(kind);
}

void ActionOrganizerKitServices::writeStep(Records kind)
{
    MFDevice* device = getActionDevice();
    const int property = syncProperty();
    const bool read = _theDict.has_value();
    if (read && device) {
        const bool allowed = device->wantsSyncChangesFromEngine(property) || !device->wantsToUseSyncEngineAtAll();
        if (allowed && _sendData && !_sendData->isEmpty() && _smsBridge) {
            _subLine = platform::localizedString(kitjobnames::kSyncSending);
            QVLOG(qvlog::kXT, (kind == Records::Phonebook  ? kitjobnames::kPhonebookSendFormat
                               : kind == Records::Calendar ? kitjobnames::kCalendarSendFormat
                                                           : kitjobnames::kTasksSendFormat)
                                  .arg(flowLogName(), formattedDescription(*_sendData)));
            displayPercent(0);
            const QVariantMap toWrite = *_sendData;
            clearKept();
            if (kind == Records::Phonebook) {
                _smsBridge->writeMotorolaPhonebook(toWrite);
                device->setLastSyncTimeDevice(actionOrganizerKitNow(), 0);
            } else {
                _smsBridge->writeMotorolaCalendar(toWrite);
            }
            return;
        }
        QVLOG(qvlog::kXT, (kind == Records::Phonebook  ? kitjobnames::kPhonebookNothingFormat
                           : kind == Records::Calendar ? kitjobnames::kCalendarNothingFormat
                                                       : kitjobnames::kTasksNothingFormat)
                              .arg(flowLogName()));
    }
    if (kind == Records::Calendar && syncsTasks() && _smsBridge) {
        // The first pass: the tasks follow, and both are handed over together.
        _reading = true;
        _smsBridge->readMotorolaTasks();
        return;
    }
    if (device)
        device->setLastSyncTimeDevice(actionOrganizerKitNow(), property);
    const int status = read ? _inStatus : 0;
    if (read && _theStorage) {
        OwnWork work(_ownWorkSeconds);
        if (!_deviceRecords)
            _deviceRecords = QVariantMap();
        _theStorage->finishMotorolaSession({}, _inStatus, *_deviceRecords);
    }
    clearKept();
    endAction(status);
}

void ActionOrganizerKitServices::recordsWritten(Records kind, int status,
                                                const std::optional<QVariantMap>& mappingTable)
{
    auto keepAlive = selfAction();
    if (_endSequenceStarted || hasEnded())
        return;
    MFDevice* device = getActionDevice();
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    QVSyncElemList* list = archive ? archive->storage(syncProperty()) : nullptr;
    if (kind != Records::Phonebook && device)
        device->setLastSyncTimeDevice(actionOrganizerKitNow(), 1);
    if (list) {
        OwnWork work(_ownWorkSeconds);
        if (!_deviceRecords)
            _deviceRecords = QVariantMap();
        list->finishMotorolaSession(kind == Records::Tasks ? QVariantMap() : mappingTable.value_or(QVariantMap()),
                                    status, *_deviceRecords);
    }
    endAction(actionOrganizerKitEndCode(status));
}

void ActionOrganizerKitServices::clearKept()
{
    _sendData.reset();
    _theDict.reset();
    _inStatus = 0;
    _theStorage = nullptr;
}

void ActionOrganizerKitServices::requestKitAbort()
{
    // Only a running read stops; a write runs to its end so that the phone's
    // new slots reach the item list.
    if (_kitAbortRequested || !_reading || !_smsBridge)
        return;
    _kitAbortRequested = true;
    _smsBridge->abortAction();
    _kitAbortTimer.start(kAbortGrace);
}

void ActionOrganizerKitServices::flowProgress(int value)
{
    if (value == 100)
        _prozDone = 100;
    else
        _prozDone += float(value);
    if (!processAction(_prozDone))
        requestKitAbort();
}

void ActionOrganizerKitServices::flowPercent(int percent)
{
    if (!processAction(float(percent)))
        requestKitAbort();
}

bool ActionOrganizerKitServices::cancelAction()
{
    auto keepAlive = selfAction();
    const bool cancelled = ActionExternalConnection::cancelAction();
    if (_isSyncFlow && isCancelled() && !_endSequenceStarted && !hasEnded())
        requestKitAbort();
    return cancelled;
}

void ActionOrganizerKitServices::kitAborted()
{
    endAction(jobcodes::kCancelled);
}

void ActionOrganizerKitServices::runEndSequence(int code)
{
    _externalConnectionStatus = code;
    if (code == 0) {
        saveNewState();
        notifyArchiveChanged();
    }
    auto close = callbackTo(&ActionExternalConnection::endActionStep2);
    if (closeKitConnection(close) != 0)
        endActionStep2(*close);
}

void ActionOrganizerKitServices::endAction(int code)
{
    auto keepAlive = selfAction();
    if (!_kitJobStarted) {
        ActionExternalConnection::endAction(code);
        return;
    }
    if (_endSequenceStarted) {
        QVLOG(qvlog::kXT, kitjobnames::kSecondEndFormat.arg(className()).arg(code).arg(_firstEndCode));
        return;
    }
    _endSequenceStarted = true;
    _kitAbortTimer.stop();
    if (_kitAbortRequested && code != jobcodes::kCancelled) {
        QVLOG(qvlog::kXT, kitjobnames::kAbortedEndFormat.arg(className()).arg(code));
        code = jobcodes::kCancelled;
    }
    _firstEndCode = code;
    if (!_isSyncFlow) {
        runEndSequence(code);
        return;
    }
    if (logsEnd())
        QVLOG(qvlog::kXT, kitjobnames::kEventsEndFormat.arg(flowLogName()).arg(code));
    // Raw records are kept only when they were read this run, the phone was
    // not busy and the job was not aborted.
    if (_rawLoaded && code != kActionOrganizerKitBusyEnd && !_kitAbortRequested)
        saveRawData();
    MFDevice* device = getActionDevice();
    if (_switchOnSyncEngine && device) {
        if (QVariantMap* work = device->syncEnvironment().requestWorkSyncEnvironment()) {
            work->insert(kitjobnames::kSyncEngineEnabled, true);
            device->syncEnvironment().applyWorkSyncEnvironmentByUser();
        }
    }
    runEndSequence(code);
    platform::NotificationCenter::defaultCenter().post(code == 0 ? kitjobnames::kTarnexSyncSuccessful
                                                                 : kitjobnames::kTarnexSyncFailed);
}

QString ActionOrganizerKitServices::defaultDescription(const QString& className)
{
    return kitjobnames::kDefaultDescriptionFormat.arg(className);
}

QString ActionOrganizerKitServices::description() const
{
    return defaultDescription(className());
}
