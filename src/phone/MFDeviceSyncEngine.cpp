// The device object and the sync engine: the handler, its timer and trickles,
// the sync environment's decisions, sync anchors, item ids, clearing the
// sync history and the organizer history.

#include "phone/MFDevice.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "links/DZDeviceConnection.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/DeviceWindowServices.h"
#include "phone/MFDeviceSupport.h"
#include "phone/OrganizerStorage.h"
#include "phone/PhoneFolderRules.h"
#include "phone/PhoneFolders.h"
#include "phone/PhoneLog.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/HistoryName.h"
#include "phone/SyncEnvironment.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

using mfdevice::logXT;

void MFDevice::syncEngineNoLongerBusy()
{
    _syncEngineHandler.reset();
}

void MFDevice::startTimer()
{
    if (!_syncEngineTimer.isActive())
        _syncEngineTimer.start(kSyncEngineInterval, true);
}

void MFDevice::stopTimer()
{
    _syncEngineTimer.stop();
}

bool MFDevice::isSyncEngineTimerRunning() const
{
    return _syncEngineTimer.isActive();
}

double MFDevice::syncEngineTimerFireTime() const
{
    return _syncEngineTimer.fireTime();
}

void MFDevice::useSyncEngineTime()
{
    if (!_syncEngineHandler)
        return;
    logXT(QStringLiteral("<<< useSyncEngineTime >>>"));
    bool pending = _isSyncEngineActive;
    if (!_isSyncEngineActive) {
        for (int type = 0; type < int(_mustTrickle.size()); ++type) {
            if (!_mustTrickle[type])
                continue;
            if (_syncEngineHandler->trickleSyncEngine(type) == 0) {
                _mustTrickle[type] = false;
                return;
            }
            pending = true;
        }
    }
    if (pending && _syncEngineTimer.isActive())
        _syncEngineTimer.start(4.0, true);
}

void MFDevice::trickleSoon(int organizerType)
{
    if (organizerType >= 0 && organizerType < int(_mustTrickle.size()))
        _mustTrickle[organizerType] = true;
    if (_syncEngineTimer.isActive())
        _syncEngineTimer.start(1.0, true);
}

bool MFDevice::mustTrickle(int organizerType) const
{
    return organizerType >= 0 && organizerType < int(_mustTrickle.size()) && _mustTrickle[organizerType];
}

void MFDevice::cleanUpChangesForSyncEngine()
{
    if (!_dataManager)
        return;
    int pending = 0;
    int pendingType = -1;
    for (int type = 0; type < int(_canProcessDB.size()); ++type) {
        if (_dataManager->hasChangesForSyncEngine(type)) {
            ++pending;
            pendingType = type;
        }
    }
    if (pending > 0 && _syncEngineHandler)
        _syncEngineHandler->trickleSyncEngine(pending == 1 ? pendingType : -1);
}

void MFDevice::appHasBecomeActive()
{
    for (int type : {3, 2}) {
        if (wantsToUseSyncEngineForProperty(type))
            trickleSoon(type);
    }
}

void MFDevice::appWillBecomeInactive()
{
    for (int type = 0; type < int(_mustTrickle.size()); ++type) {
        if (wantsToUseSyncEngineForProperty(type) && wantsSyncChangesFromDevice(type) && _dataManager
            && _dataManager->hasChangesForSyncEngine(type))
            trickleSoon(type);
    }
}

bool MFDevice::setupSyncEvironment()
{
    return environmentRules().setupSyncEvironment();
}

bool MFDevice::wantsToUseSyncEngineAtAll() const
{
    return environmentRules().wantsToUseSyncEngineAtAll();
}

bool MFDevice::wantsToUseSyncEngineForProperty(int organizerType) const
{
    return environmentRules().wantsToUseSyncEngineForProperty(organizerType);
}

bool MFDevice::wantsSyncChangesFromDevice(int organizerType) const
{
    return environmentRules().wantsSyncChangesFromDevice(organizerType);
}

bool MFDevice::wasDatabaseSynced(int organizerType) const
{
    return environmentRules().wasDatabaseSynced(organizerType);
}

bool MFDevice::wantsToBackupOrganizerType(int organizerType) const
{
    // Types synced with the sync engine go into the backup too.
    return _backup->maskIncludes(organizerType) || environmentRules().wantsToBackupOrganizerType(organizerType);
}

PhoneFolderRules& MFDevice::startFolders() const
{
    return _phoneFolders ? *_phoneFolders : static_cast<PhoneFolderRules&>(*_folders);
}

bool MFDevice::updateCapabilities()
{
    return startFolders().updateCapabilities();
}

void MFDevice::checkIfMirrorMustBeRenamed()
{
    startFolders().checkIfMirrorMustBeRenamed();
}

void MFDevice::preProcessDevice()
{
    startFolders().preProcessDevice();
}

bool MFDevice::canDoSerialSyncServices() const
{
    const QString protocolClass = _syncDescription ? _syncDescription->protocolClass() : QString();
    if (protocolClass.startsWith(QLatin1String("ATSerial")))
        return _isHistory || hasSMSKitAsyncConnection();
    if (protocolClass.startsWith(QLatin1String("AT")) || protocolClass.startsWith(QLatin1String("BT")))
        return hasSyncMLServices();
    return false;
}

bool MFDevice::canDoAnyOrganizerServices() const
{
    return canDoSerialSyncServices()
           || (!_devInfo->getSMSProtocol().toString().isEmpty() && hasSMSKitAsyncConnection());
}

bool MFDevice::hasUSBConnection() const
{
    return _usbMassStorageRegistered || _usbObjectPushRegistered || _usbSyncMLRegistered;
}

bool MFDevice::hasBluetoothConnection() const
{
    return _btFTPregistered || _btObjectPushRegistered || _btNokiaPCSuitePushRegistered || _btSyncMLRegistered
           || _btSerialPortRegistered;
}

bool MFDevice::calendarDatesRestrictedTo2Weeks() const
{
    return syncProtocol().contains(QLatin1String("Motorola"));
}

bool MFDevice::canMigrateRestoreTo(const QVariantMap& deviceDict) const
{
    const auto other = std::make_shared<QVariantMap>(deviceDict);
    const MFDeviceInfo info(other, nullptr, false);
    return info.getSyncMLProtocol().toString() == _devInfo->getSyncMLProtocol().toString();
}

void MFDevice::setFileSystemValid()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("DZ-DatabaseSynced"), this);
}

void MFDevice::setBackupComplete(bool complete)
{
    _backupComplete = complete;
    setFileSystemValid();
}

void MFDevice::postDeviceDirtyChangedNotify()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("DeviceDirtyChanged_Notify"), this);
}

void MFDevice::setModeTeachIn(int mode)
{
    _modeTeachIn = mode;
    if (mode == 0 && _document)
        _document->startBackgroundActionsSoon();
}

FilesMirror* MFDevice::mirror() const
{
    return _dataManager ? _dataManager->mirror() : nullptr;
}

OrganizerArchive* MFDevice::archive() const
{
    return _dataManager ? _dataManager->archive() : nullptr;
}

void MFDevice::progress(int percent) const
{
    if (_makers.busyProgress)
        _makers.busyProgress(percent);
}

void MFDevice::setSyncEnvironments(std::optional<QVariantMap> main, std::optional<QVariantMap> work,
                                   std::optional<QVariantMap> user)
{
    _syncEnvironments = {std::move(main), std::move(work), std::move(user)};
}

SyncEnvironmentRules& MFDevice::environmentRules() const
{
    return _syncEnvironment ? *_syncEnvironment : static_cast<SyncEnvironmentRules&>(*_environment);
}

SharedSyncInfo* MFDevice::generalSyncInfo() const
{
    return _makers.generalSyncInfo ? _makers.generalSyncInfo() : nullptr;
}

bool MFDevice::createSyncEngineHandler()
{
    if (_makers.syncEngineHandler)
        _syncEngineHandler = _makers.syncEngineHandler(*this);
    if (!_syncEngineHandler)
        qCWarning(lcPhone).noquote()
            << QStringLiteral("SERIOUS BUG: Could not get SyncClient for device:%1, schema file:%2")
                   .arg(_devInfo->nonNilStringFromDeviceSpec(QStringLiteral("Common.Identifier")),
                        _syncDescription ? _syncDescription->syncSchemaFile().toString() : QString());
    return bool(_syncEngineHandler);
}

void MFDevice::makeSyncEngineHandler()
{
    if (!_syncEngineHandler && createSyncEngineHandler())
        _syncEngineHandler->updateEnabledEntities();
    if (SharedSyncInfo* general = generalSyncInfo())
        general->functionalityRequired();
}

void MFDevice::destructSyncEngineHandler()
{
    if (_syncEngineHandler)
        _syncEngineHandler->announceQuit();
}

void MFDevice::killSyncEngine()
{
    stopTimer();
    _syncEngineHandler.reset();
    if (QVariantMap* work = _environment->requestWorkSyncEnvironment())
        work->insert(QStringLiteral("SyncEngineEnabled"), false);
    _environment->applyWorkSyncEnvironmentByUser();
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("SyncEngineEnvironmentActive"), nullptr,
                                                       {{QStringLiteral("SetupChanged"), true}});
}

bool MFDevice::requestSyncEngineCommunication()
{
    if (_isSyncMLActive)
        return false;
    if (_isSyncEngineActive) {
        logXT(QStringLiteral("========== requestSyncEngineCommunication: isSyncEngineActive already TRUE =========="));
        return false;
    }
    _isSyncEngineActive = true;
    return true;
}

void MFDevice::setMustTrickle(int organizerType)
{
    if (organizerType >= 0 && organizerType < int(_mustTrickle.size()))
        _mustTrickle[organizerType] = true;
}

namespace {

QString anchorKey(const char* side, const QString& name)
{
    return QStringLiteral("LastSyncTime (%1)-%2").arg(QLatin1String(side), name);
}

} // namespace

void MFDevice::setSyncAnchors(const std::optional<QVariantMap>& anchors)
{
    if (_isHistory)
        return;
    if (!_syncAnchors.isEmpty()) {
        for (int type = 0; type < 5; ++type) {
            _devInfo->removeObjectForKey(anchorKey("Device", dbName(type)));
            _devInfo->removeObjectForKey(anchorKey("DZ", dbName(type)));
        }
        _syncAnchors.clear();
    }
    if (anchors)
        _syncAnchors.insert(*anchors);
}

QVariant MFDevice::lastSyncTimeDevice(int organizerType) const
{
    return _syncAnchors.value(anchorKey("Device", dbName(organizerType)));
}

QVariant MFDevice::lastSyncTimeDZ(int organizerType) const
{
    return _syncAnchors.value(anchorKey("DZ", dbName(organizerType)));
}

void MFDevice::setSyncAnchor(const char* side, const QVariant& time, int organizerType)
{
    const QString key = anchorKey(side, dbName(organizerType));
    if (time.isValid())
        _syncAnchors.insert(key, time);
    else
        _syncAnchors.remove(key);
}

void MFDevice::setLastSyncTimeDevice(const QVariant& time, int organizerType)
{
    setSyncAnchor("Device", time, organizerType);
}

void MFDevice::setLastSyncTimeDZ(const QVariant& time, int organizerType)
{
    setSyncAnchor("DZ", time, organizerType);
}

void MFDevice::processGAU()
{
    for (int type = 0; type < 5; ++type)
        setLastSyncTimeDevice(QVariant(), type);
    if (_makers.deleteAllTrashURIs)
        _makers.deleteAllTrashURIs();
}

void MFDevice::askAboutLostEntriesLater(int property, double delay)
{
    if (!_lostEntriesProperties.contains(property))
        _lostEntriesProperties.append(property);
    _lostEntriesTimer.setCallback([this] {
        if (_lostEntriesProperties.isEmpty())
            return;
        const int lost = _lostEntriesProperties.takeFirst();
        // The window may have gone meanwhile.
        DeviceWindowServices* window = _document ? _document->deviceWindowServices() : nullptr;
        if (!window) {
            _lostEntriesProperties.clear();
            return;
        }
        // One question per pass: it may run a modal loop in which the window
        // or the device goes, so nothing is touched after it.
        if (!_lostEntriesProperties.isEmpty())
            _lostEntriesTimer.start(0);
        window->didDetectSyncGAU(lost);
    });
    _lostEntriesTimer.start(delay);
}

QString MFDevice::newFreeTID()
{
    ++_highestUsedContactRefNum;
    _devInfo->setObject(QString::number(_highestUsedContactRefNum), QStringLiteral("Common.NextFreeT-ID"));
    return QStringLiteral("T-%1").arg(_highestUsedContactRefNum);
}

bool MFDevice::switchToNextSyncMLSource()
{
    const qsizetype servers = _syncDescription ? _syncDescription->syncServerArray().size() : 0;
    if (servers < 2)
        return false;
    const long next = _devInfo->curSyncMLSourceIndex() + 1;
    const bool more = next >= 0 && next < servers;
    _devInfo->setObject(more ? int(next) : 0, QStringLiteral("Common.CurSyncMLIndex"));
    return more;
}

void MFDevice::resetSyncMLSource()
{
    _devInfo->setObject(0, QStringLiteral("Common.CurSyncMLIndex"));
}

void MFDevice::clearSyncHistory()
{
    if (_syncEnvironments.main)
        _syncEnvironments.main->insert(QStringLiteral("SyncEngineEnabled"), false);
    if (_syncDescription && _syncDescription->isGigaset() && _dataManager) {
        const QString otherData = _dataManager->subTempPath(QStringLiteral("Other Data"));
        if (!otherData.isEmpty())
            QDir(otherData).removeRecursively();
    }
    invalidateAllData();
    setSyncAnchors(std::nullopt);
}

int MFDevice::invalidateAllData()
{
    stopTimer();
    if (SharedSyncInfo* general = generalSyncInfo())
        general->initialReadFromSyncEngine();
    QStringList syncStates;
    for (int type = 0; type < 4 && _dataManager; ++type) {
        syncStates.append(_dataManager->pathNameForSyncState(type));
        if (OrganizerStorage* storage = _dataManager->organizerStorage(type)) {
            storage->clearChangesForSyncEngine();
            storage->evaluateSyncEnvironment(false);
        }
    }
    if (_document)
        _document->releaseArchive();
    for (const QString& path : std::as_const(syncStates)) {
        if (!path.isEmpty())
            QFile::remove(path);
    }
    if (_dataManager)
        _dataManager->setArchive(_document ? _document->recreateArchive() : nullptr);
    startTimer();
    return 0;
}

QString MFDevice::pathToOrganizerArchive(const QString& folder)
{
    const QString prefix = QStringLiteral("OrganizerData");
    const QString file = QDir(folder).filePath(prefix);
    if (!QFileInfo(file).isFile())
        return QString();
    const QString history = QDir(folder).filePath(QStringLiteral("History"));
    const QString current = platform::plist::readFile(file).toMap().value(QStringLiteral("CurOrganizer")).toString();
    if (!current.isEmpty()) {
        // Only the name of a history file that is there counts.
        const bool plainName = !current.contains(QLatin1Char('/')) && !current.contains(QLatin1Char('\0'));
        const QString target = QDir(history).filePath(current);
        if (plainName && historyname::timeOfName(current, prefix).isValid() && QFileInfo(target).isFile())
            return target;
        qCWarning(lcPhone) << "organizer file names no history file:" << current;
        QVLOG(qvlog::kXT, QStringLiteral("pathToOrganizerArchive: CurOrganizer \"%1\" names no history file").arg(current));
    }
    QDir().mkpath(history);
    const QString target = historyname::freeDatedPath(history, prefix, QFileInfo(file).lastModified());
    if (target.isEmpty() || !QFile::rename(file, target))
        return QString();
    return target;
}

void MFDevice::jumpToOrganizerHistoryIndex(int index)
{
    if (_organizerInHistoryFiles.isEmpty())
        return;
    _curOrganizerIndex = index >= 0 && index < _organizerInHistoryFiles.size() ? index
                                                                                : int(_organizerInHistoryFiles.size()) - 1;
    const QString name = QFileInfo(_organizerInHistoryFiles.at(_curOrganizerIndex)).fileName();
    const QString stamp = name.mid(QStringLiteral("OrganizerData").size() + 1);
    const QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss"));
    _curHistoryTime = time.isValid() ? QLocale::c().toString(time, QStringLiteral("dd. MMM yy, HH:mm")) : QString();
}

QString MFDevice::curOrganizerFile() const
{
    return _curOrganizerIndex >= 0 && _curOrganizerIndex < _organizerInHistoryFiles.size()
               ? _organizerInHistoryFiles.at(_curOrganizerIndex)
               : QString();
}

void MFDevice::setAnchorPathForLastState(const QString&, const QString&)
{
    _curOrganizerIndex = -1;
    if (!_stateInHistoryFiles.isEmpty())
        jumpToHistoryIndex(99999);
}
