#include "phone/SyncEnvironment.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerStorage.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <QDebug>

namespace {

const QString kEnabled = QStringLiteral("SyncEngineEnabled");
const QString kSyncMode = QStringLiteral("SyncMode");
const QString kMacIsMaster = QStringLiteral("MacIsMaster");
const QString kUseAllGroups = QStringLiteral("UseAllGroups");
const QString kGroups = QStringLiteral("Groups");
const QString kOlderThan = QStringLiteral("OlderThan");
const QString kYoungerThan = QStringLiteral("YoungerThan");
const QString kOnlyWithPhones = QStringLiteral("SyncOnlyWithPhoneNumbers");
const QString kTargetGroup = QStringLiteral("TargetGroup");
const QString kTargetGroupName = QStringLiteral("TargetGroupName");

QString describe(const QVariant& value)
{
    QString text;
    QDebug(&text).noquote() << value;
    return text;
}

bool isNumeric(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// Stored entries come from the settings file: a value of the wrong type is
// passed over for the default, with a log line.
QVariant typed(const QVariantMap& stored, const QString& key, const QVariant& fallback, const QString& where)
{
    const auto it = stored.constFind(key);
    if (it == stored.cend())
        return fallback;
    if (isNumeric(*it))
        return fallback.typeId() == QMetaType::Bool ? QVariant(it->toBool()) : QVariant(it->toLongLong());
    if (it->typeId() == QMetaType::QString) {
        bool ok = false;
        const qlonglong number = it->toString().trimmed().toLongLong(&ok);
        if (ok)
            return fallback.typeId() == QMetaType::Bool ? QVariant(number != 0) : QVariant(number);
    }
    QVLOG(qvlog::kSE, QStringLiteral("sync environment: %1 \"%2\" of type %3 passed over")
                          .arg(where, key, QString::fromLatin1(it->typeName())));
    return fallback;
}

QVariantMap mapEntry(const QVariantMap& stored, const QString& key, const QString& where)
{
    const auto it = stored.constFind(key);
    if (it == stored.cend())
        return {};
    if (it->typeId() == QMetaType::QVariantMap)
        return it->toMap();
    QVLOG(qvlog::kSE, QStringLiteral("sync environment: %1 \"%2\" of type %3 passed over")
                          .arg(where, key, QString::fromLatin1(it->typeName())));
    return {};
}

// Two entries of a type are the same setting when they agree on everything
// but the engine's group list, which is compared on its own.
bool isEqualToSyncEnvironment(QVariantMap a, QVariantMap b)
{
    a.remove(kGroups);
    b.remove(kGroups);
    return a == b;
}

} // namespace

SyncEnvironment::SyncEnvironment(MFDevice& device)
    : _device(device)
{
}

int SyncEnvironment::calendarType(int organizerType)
{
    return organizerType == 5 || organizerType == 6 ? 1 : organizerType;
}

std::optional<QVariantMap> SyncEnvironment::createSyncEnvironment(const QVariant& stored) const
{
    SharedSyncInfo* general = _device.generalSyncInfo();
    if (general && !general->requestInfo(false))
        return std::nullopt;
    QVariantMap old;
    if (stored.typeId() == QMetaType::QVariantMap)
        old = stored.toMap();
    else if (stored.isValid())
        QVLOG(qvlog::kSE, QStringLiteral("sync environment of type %1 passed over").arg(QString::fromLatin1(stored.typeName())));

    QVariantMap environment;
    environment.insert(kEnabled, typed(old, kEnabled, false, QStringLiteral("environment")).toBool());
    for (int type = 0; type < 4; ++type) {
        const QString name = _device.dbName(type);
        const QVariantMap oldEntry = mapEntry(old, name, QStringLiteral("environment"));
        QVariantMap entry;
        if (type == 1) {
            const long older = _device.calendarDatesRestrictedTo2Weeks() ? kTwoWeeks : kDefaultWindow;
            entry.insert(kOlderThan, typed(oldEntry, kOlderThan, qlonglong(older), name));
            entry.insert(kYoungerThan, typed(oldEntry, kYoungerThan, qlonglong(kDefaultWindow), name));
        }
        if (type == 0)
            entry.insert(kOnlyWithPhones, typed(oldEntry, kOnlyWithPhones, false, name));
        entry.insert(kMacIsMaster, typed(oldEntry, kMacIsMaster, true, name));
        entry.insert(kSyncMode, typed(oldEntry, kSyncMode, qlonglong(0), name));
        entry.insert(kUseAllGroups, typed(oldEntry, kUseAllGroups, true, name));

        QVariantMap groups;
        QString firstKey;
        QString firstName;
        if (type != 2 && general) {
            const QList<QVariantMap> engineList = type == 0 ? general->groups()
                                                  : type == 1 ? general->calendars()
                                                              : general->bookmarkFolders();
            const QVariantMap oldGroups = mapEntry(oldEntry, kGroups, name);
            int counter = 0;
            for (const QVariantMap& engineEntry : engineList) {
                const QString groupName = engineEntry.value(type == 1 ? QStringLiteral("title") : QStringLiteral("name")).toString();
                if (groupName.isEmpty())
                    continue;
                QVariantMap group{{QStringLiteral("name"), groupName}};
                if (type == 1 && engineEntry.contains(QStringLiteral("read only")))
                    group.insert(QStringLiteral("read only"), engineEntry.value(QStringLiteral("read only")));
                if (type == 0 || type == 1) {
                    bool enabled = true;
                    for (const QVariant& oldGroup : oldGroups) {
                        const QVariantMap oldMap = oldGroup.toMap();
                        if (oldMap.value(QStringLiteral("name")).toString() == groupName) {
                            enabled = typed(oldMap, QStringLiteral("enabled"), true, name).toBool();
                            break;
                        }
                    }
                    group.insert(QStringLiteral("enabled"), enabled);
                }
                const QString key = QStringLiteral("T-%1").arg(counter++);
                groups.insert(key, group);
                if (firstKey.isNull()) {
                    firstKey = key;
                    firstName = groupName;
                }
            }
        }
        if (type != 2)
            entry.insert(kGroups, groups);

        if (type == 0) {
            for (const QString& key : {kTargetGroup, kTargetGroupName}) {
                if (oldEntry.contains(key))
                    entry.insert(key, oldEntry.value(key));
            }
        } else if (type == 1 || type == 3) {
            if (oldEntry.contains(kTargetGroup)) {
                entry.insert(kTargetGroup, oldEntry.value(kTargetGroup));
                if (oldEntry.contains(kTargetGroupName))
                    entry.insert(kTargetGroupName, oldEntry.value(kTargetGroupName));
            } else if (!firstKey.isNull()) {
                entry.insert(kTargetGroup, firstKey);
                entry.insert(kTargetGroupName, firstName);
            }
        }
        environment.insert(name, entry);
        if (type == 0)
            QVLOG(qvlog::kSE, QStringLiteral("createSyncEnvironment (%1):\n%2").arg(name, describe(entry)));
    }
    return environment;
}

bool SyncEnvironment::setupSyncEvironment()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (environments.main) {
        if (const auto fresh = createSyncEnvironment(*environments.main))
            environments.main = *fresh;
        bool changed = false;
        if (environments.work) {
            if (const auto fresh = createSyncEnvironment(*environments.work)) {
                changed = *environments.work != *fresh;
                environments.work = *fresh;
            }
        }
        return changed;
    }
    MFDeviceInfo& info = *_device.devInfo();
    const QVariant disk = info.objectForKey(QStringLiteral("Common.SyncEnvironment"));
    QVLOG(qvlog::kSE, QStringLiteral("=== setupSyncEvironment: diskSyncEnvironment: _DevInfo = %1")
                          .arg(describe(*info.mDeviceDict())));
    QVLOG(qvlog::kSE, QStringLiteral("=== setupSyncEvironment: diskSyncEnvironment: diskSyncEnvironment = %1")
                          .arg(describe(disk)));
    environments.main = createSyncEnvironment(disk);
    const QVariant work = info.objectForKey(QStringLiteral("Common.SyncWorkEnvironment"));
    if (work.isValid())
        environments.work = createSyncEnvironment(work);
    const QVariant user = info.objectForKey(QStringLiteral("Common.SyncUserEnvironment"));
    if (user.typeId() == QMetaType::QVariantMap)
        environments.user = user.toMap();
    else if (user.isValid())
        QVLOG(qvlog::kSE, QStringLiteral("user sync environment of type %1 passed over").arg(QString::fromLatin1(user.typeName())));
    return false;
}

std::optional<QVariantMap> SyncEnvironment::mainSyncEnvironment()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (!environments.main)
        setupSyncEvironment();
    if (!environments.main) {
        QVLOG(qvlog::kXT, QStringLiteral("======== Creating new _mainSyncEnvironment from DiskEnvironment ======"));
        const QVariant disk = _device.devInfo()->objectForKey(QStringLiteral("Common.SyncEnvironment"));
        if (disk.typeId() == QMetaType::QVariantMap)
            environments.main = disk.toMap();
    }
    return environments.main;
}

std::optional<QVariantMap> SyncEnvironment::workSyncEnvironment() const
{
    return _device.syncEnvironments()->work;
}

QVariantMap* SyncEnvironment::requestWorkSyncEnvironment()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (!environments.main)
        return nullptr;
    if (!environments.work)
        environments.work = *environments.main;
    return &*environments.work;
}

void SyncEnvironment::freeWorkSyncEnvironment()
{
    _device.syncEnvironments()->work.reset();
}

std::optional<QVariantMap> SyncEnvironment::userSyncEnvironment()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (environments.main && environments.work && *environments.main != *environments.work)
        environments.user = *environments.work;
    return environments.user;
}

void SyncEnvironment::recreateArchive()
{
    DeviceDocument* document = _device.document();
    if (DeviceDataManager* manager = _device.dataManager())
        manager->setArchive(document ? document->recreateArchive() : nullptr);
}

bool SyncEnvironment::applyWorkSyncEnvironment(bool byUser)
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (!environments.work || _applying)
        return false;
    _applying = true;
    const QVariantMap work = *environments.work;
    const QVariantMap main = environments.main.value_or(QVariantMap());
    QVLOG(qvlog::kXT, QStringLiteral("Applying _mainSyncEnvironment = %1").arg(describe(main)));
    const bool workOn = work.value(kEnabled).toBool();
    const bool switched = main.contains(kEnabled) && work.contains(kEnabled) && main.value(kEnabled).toBool() != workOn;
    if (workOn)
        _device.makeSyncEngineHandler();
    else
        _device.destructSyncEngineHandler();

    bool any = switched;
    std::array<bool, 4> changed{};
    std::array<bool, 4> groupsDiffer{};
    for (int type = 0; type < 4; ++type) {
        const QString name = _device.dbName(type);
        if (!main.contains(name) || !work.contains(name))
            continue;
        const QVariantMap before = main.value(name).toMap();
        const QVariantMap after = work.value(name).toMap();
        const bool differs = !isEqualToSyncEnvironment(before, after);
        if (!differs && before.contains(kGroups) && after.contains(kGroups))
            groupsDiffer[type] = before.value(kGroups) != after.value(kGroups);
        if (byUser && (differs || switched)) {
            changed[type] = true;
            any = true;
        }
    }
    if (any && workOn) {
        DeviceSyncEngineHandler* handler = _device.syncEngineHandler();
        if (handler
            && !platform::runloop::waitUntil([this] {
                   const DeviceSyncEngineHandler* current = _device.syncEngineHandler();
                   return !current || !current->isBusy();
               }, kHandlerWaitSlice, kHandlerWaitPasses)) {
            QVLOG(qvlog::kXT, QStringLiteral("applyWorkSyncEnvironment: the sync engine stayed busy, nothing applied"));
            _applying = false;
            return false;
        }
        if (DeviceDocument* document = _device.document())
            document->releaseArchive();
    }
    environments.main = work;
    if (switched) {
        if (workOn)
            _device.startTimer();
        else
            _device.stopTimer();
    }
    if (any) {
        recreateArchive();
        if (DeviceSyncEngineHandler* handler = _device.syncEngineHandler())
            handler->updateEnabledEntities();
    } else if (DeviceDataManager* manager = _device.dataManager()) {
        for (int type = 0; type < 4; ++type) {
            OrganizerStorage* storage = (changed[type] || groupsDiffer[type]) ? manager->organizerStorage(type) : nullptr;
            if (storage)
                storage->evaluateSyncEnvironment(true);
        }
    }
    if (switched)
        platform::NotificationCenter::defaultCenter().post(QStringLiteral("DZSyncSwitchedOnOffDoneNotification"), nullptr,
                                                           {{QStringLiteral("DZSwitchedOnOffNotificationWhatKey"), workOn}});
    _applying = false;
    return true;
}

bool SyncEnvironment::applyWorkSyncEnvironmentByUser()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (environments.work)
        environments.user = *environments.work;
    return applyWorkSyncEnvironment(true);
}

void SyncEnvironment::saveSyncDisabledSettings()
{
    MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (!environments.main)
        return;
    const QVariant previous = environments.main->value(kEnabled);
    environments.main->insert(kEnabled, false);
    _device.devInfo()->setObject(*environments.main, QStringLiteral("Common.SyncEnvironment"));
    _device.devInfo()->writeDeviceDictNow();
    environments.main->insert(kEnabled, previous.isValid() ? previous.toBool() : false);
}

void SyncEnvironment::syncEngineDeviceActive(const QVariantMap& userInfo)
{
    if (_device.isAboutToQuit())
        return;
    const bool active = userInfo.value(QStringLiteral("Active")).toBool();
    const bool syncData = userInfo.value(QStringLiteral("SyncData")).toBool();
    const bool setupChanged = userInfo.value(QStringLiteral("SetupChanged")).toBool();
    if (syncData && !active)
        syncEngineFinished();
    if (!setupChanged)
        return;
    const bool changed = setupSyncEvironment();
    platform::NotificationCenter::defaultCenter().post(
        QStringLiteral("SyncEngineEnvironmentActive"), nullptr,
        {{QStringLiteral("Active"), active}, {QStringLiteral("SetupChanged"), changed}});
    bool renew = false;
    if (DeviceDataManager* manager = _device.dataManager()) {
        for (int type = 0; type < 4; ++type) {
            OrganizerStorage* storage = manager->organizerStorage(type);
            if (storage && storage->isSyncEngineList() && storage->evaluateSyncEnvironment(false))
                renew = true;
        }
    }
    if (!renew)
        return;
    if (DeviceDocument* document = _device.document())
        document->releaseArchive();
    recreateArchive();
    if (DeviceSyncEngineHandler* handler = _device.syncEngineHandler())
        handler->updateEnabledEntities();
    const auto& main = _device.syncEnvironments()->main;
    if (main && main->value(kEnabled).toBool())
        _device.startTimer();
    else
        _device.stopTimer();
}

bool SyncEnvironment::wantsToUseSyncEngineAtAll() const
{
    const MFDevice::SyncEnvironments& environments = *_device.syncEnvironments();
    if (_device.isHistory() || (!environments.main && !environments.work))
        return false;
    return environments.main && environments.main->value(kEnabled).toBool();
}

QVariantMap SyncEnvironment::typeEntry(int organizerType) const
{
    const auto& main = _device.syncEnvironments()->main;
    return main ? main->value(_device.dbName(calendarType(organizerType))).toMap() : QVariantMap();
}

long SyncEnvironment::syncDirectionsModus(int organizerType) const
{
    if (_device.isHistory())
        return 0;
    if (!_device.syncEnvironments()->main) {
        // A wait inside this wait would only wait twice as long.
        if (_waitingForEnvironment)
            return 0;
        _waitingForEnvironment = true;
        const bool found = platform::runloop::waitUntil([this] { return bool(_device.syncEnvironments()->main); },
                                                        kEnvironmentWaitSlice, kEnvironmentWaitPasses);
        _waitingForEnvironment = false;
        if (!found)
            return 0;
    }
    return long(typeEntry(organizerType).value(kSyncMode).toLongLong());
}

bool SyncEnvironment::wantsToUseSyncEngineForProperty(int organizerType) const
{
    return !_device.isHistory() && wantsToUseSyncEngineAtAll() && _device.canProcessDB(calendarType(organizerType))
           && syncDirectionsModus(organizerType) != 0;
}

bool SyncEnvironment::wantsSyncChangesFromEngine(int organizerType) const
{
    return wantsToUseSyncEngineAtAll() && _device.canProcessDB(calendarType(organizerType))
           && (syncDirectionsModus(organizerType) & 1) != 0;
}

bool SyncEnvironment::wantsSyncChangesFromDevice(int organizerType) const
{
    return wantsToUseSyncEngineAtAll() && _device.canProcessDB(calendarType(organizerType))
           && (syncDirectionsModus(organizerType) & 2) != 0;
}

bool SyncEnvironment::isMobileMaster(int organizerType) const
{
    const QVariantMap entry = typeEntry(organizerType);
    return entry.contains(kMacIsMaster) && !entry.value(kMacIsMaster).toBool();
}

bool SyncEnvironment::doesDeviceWantContact(bool hasPhoneNumbers) const
{
    return !typeEntry(0).value(kOnlyWithPhones).toBool() || hasPhoneNumbers;
}

bool SyncEnvironment::isPeriodInWantedCalendarPeriod(const QDateTime& start, const QDateTime& end) const
{
    if (!start.isValid() || !end.isValid())
        return false;
    if (_device.devInfo()->deviceProtocol() == QLatin1String("nokiaS40") && start.date().year() < 1980)
        return false;
    const auto& main = _device.syncEnvironments()->main;
    if (!main || !main->contains(_device.dbName(1)))
        return false;
    const QVariantMap entry = main->value(_device.dbName(1)).toMap();
    if (!entry.contains(kOlderThan) && !entry.contains(kYoungerThan))
        return false;
    const auto bound = [&](const QString& key) {
        const double seconds = entry.value(key).toDouble();
        return seconds == 0 ? kUnbounded : seconds;
    };
    const double olderThan = bound(kOlderThan);
    const double youngerThan = bound(kYoungerThan);
    const QDateTime now = platform::Clock::instance().currentDateTime();
    const double s = double(now.msecsTo(start)) / 1000.0;
    const double e = double(now.msecsTo(end)) / 1000.0;
    if (s < -olderThan)
        return !(e < -olderThan);
    return s < youngerThan;
}

bool SyncEnvironment::wasDatabaseSynced(int organizerType) const
{
    const int type = calendarType(organizerType);
    return type >= 0 && type < int(_syncedThisTime.size()) && _syncedThisTime[type];
}

bool SyncEnvironment::wantsToBackupOrganizerType(int organizerType) const
{
    const auto& main = _device.syncEnvironments()->main;
    if (!main || !main->value(kEnabled).toBool())
        return false;
    if (organizerType == -1) {
        for (int type = 0; type < 4; ++type) {
            if (typeEntry(type).value(kSyncMode).toLongLong() != 0)
                return true;
        }
        return false;
    }
    return typeEntry(organizerType).value(kSyncMode).toLongLong() != 0;
}

bool SyncEnvironment::isSyncingDevice(const std::array<bool, 4>& types)
{
    bool syncing = false;
    for (int type = 0; type < 4; ++type)
        syncing = syncing || (types[type] && _syncingWithDevice[type]);
    if (syncing) {
        for (int type = 0; type < 4; ++type) {
            if (types[type])
                _device.setMustTrickle(type);
        }
    }
    return syncing;
}

void SyncEnvironment::prepareSyncing(int organizerType)
{
    if (organizerType >= 0 && organizerType < 4)
        _syncingWithDevice[organizerType] = true;
    if (DeviceDataManager* manager = _device.dataManager()) {
        if (OrganizerStorage* storage = manager->organizerStorage(organizerType))
            storage->prepareSynchronization();
    }
}

void SyncEnvironment::syncFinished(int organizerType, int error)
{
    if (error != 0)
        return;
    if (organizerType >= 0 && organizerType < 5)
        _syncedThisTime[organizerType] = true;
    if (organizerType >= 0 && organizerType < 4)
        _syncingWithDevice[organizerType] = false;
}

void SyncEnvironment::syncEngineFinished()
{
    if (_device.isAboutToQuit())
        return;
    for (int type = 0; type < 4; ++type) {
        if (_device.mustTrickle(type)) {
            _device.trickleSoon(-1);
            break;
        }
    }
    if (DeviceDataManager* manager = _device.dataManager()) {
        for (int type = 0; type < 4; ++type) {
            if (OrganizerStorage* storage = manager->organizerStorage(type))
                storage->resyncGroups();
        }
    }
}
