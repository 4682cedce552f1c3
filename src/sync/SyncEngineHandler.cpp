// A phone's client of the sync hub: registration, the properties and their
// entities, the engine claim, and the push of a property's changes.
#include "sync/SyncEngineHandler.h"

#include "device/MFDeviceInfo.h"
#include "device/PhoneIconFromiSyncSearcher.h"
#include "device/QVSyncDeviceDescription.h"
#include "foundation/SystemVersion.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "platform/Exception.h"
#include "platform/FileIO.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"
#include "sync/SyncLog.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncEngineElem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace entity = platform::entity;
using platform::SyncChange;

namespace {

const QString kClientInfix = QStringLiteral(".MarvestoZODA.");
const QString kDefaultDisplayName = QStringLiteral("quorvalis device client");
const QString kResourceFolder = QStringLiteral(":/syncclients");
const QString kCopiedDescriptions = QStringLiteral("SyncClients");

QStringList& handlerDescriptionFolders()
{
    static QStringList folders{kResourceFolder};
    return folders;
}

const QStringList& handlerEntityNames(int property)
{
    static const QStringList names[4] = {
        {entity::Contact, entity::PhoneNumber, entity::StreetAddress, entity::EmailAddress, entity::URL, entity::Group},
        {entity::Calendar, entity::Task, entity::Event, entity::AudioAlarm, entity::DisplayAlarm, entity::Recurrence},
        {entity::Note},
        {entity::Bookmark, entity::BookmarkFolder}};
    static const QStringList none;
    return property >= 0 && property < 4 ? names[property] : none;
}

const QString& handlerMainEntity(int property)
{
    static const QString mains[4] = {entity::Contact, entity::Calendar, entity::Note, entity::Bookmark};
    return mains[property];
}

// 5 and 6 (events, tasks) count as the calendar.
int handlerSlot(int property)
{
    return property == 5 || property == 6 ? 1 : property;
}

// A description among the program's resources is copied out for the hub,
// which reads plain files.
QString handlerFileForHub(const QString& path)
{
    if (!path.startsWith(QLatin1Char(':')))
        return path;
    QFile resource(path);
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = resource.readAll();
    const QString target = QDir(platform::paths::applicationSupportDirectory())
                               .filePath(kCopiedDescriptions + QLatin1Char('/') + QFileInfo(path).fileName());
    QFile current(target);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return target;
    current.close();
    QDir().mkpath(QFileInfo(target).absolutePath());
    QString error;
    if (!platform::writeFileAtomically(target, bytes, &error)) {
        synclog::xt(QStringLiteral("[SyncEngineHandler getSyncSchemaFilePath] cannot write %1: %2").arg(target, error));
        return {};
    }
    return target;
}

QString handlerFindDescription(const QString& name)
{
    for (const QString& folder : std::as_const(handlerDescriptionFolders())) {
        const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".plist");
        if (QFileInfo::exists(path))
            return handlerFileForHub(path);
    }
    return {};
}

// The platform's newer system (10.5 and later) takes the "-Leo" variant.
bool handlerIsLeopardOrLater()
{
    const auto version = systemVersionGestalt();
    if (!version)
        return true;
    return systemVersionCompareDicts(*version, *systemVersionStringToDict(QStringLiteral("10.5"))) >= 0;
}

} // namespace

QString createClientName(const QString& uniqueName)
{
    return platform::kSyncClientIdentifierPrefix + kClientInfix + uniqueName;
}

void removeSyncEngineClient(const QVariantMap& deviceDict)
{
    removeSyncEngineClient(deviceDict, platform::ISyncManager::sharedManager());
}

void removeSyncEngineClient(const QVariantMap& deviceDict, platform::ISyncManager& manager)
{
    const QString name = MFDeviceInfo::createUniqueName(deviceDict);
    if (name.isEmpty())
        return;
    try {
        if (const auto client = manager.clientWithIdentifier(createClientName(name)))
            manager.unregisterClient(client);
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("removeSyncEngineClient"), e));
    }
}

void SyncEngineHandler::setDescriptionFolders(const QStringList& folders)
{
    handlerDescriptionFolders() = folders.isEmpty() ? QStringList{kResourceFolder} : folders;
}

QStringList SyncEngineHandler::descriptionFolders()
{
    return handlerDescriptionFolders();
}

SyncEngineHandler::SyncEngineHandler(MFDevice& device, platform::ISyncManager& manager)
    : m_device(device)
    , m_manager(manager)
{
}

std::unique_ptr<SyncEngineHandler> SyncEngineHandler::initWithMFDevice(MFDevice& device)
{
    return initWithMFDevice(device, platform::ISyncManager::sharedManager());
}

std::unique_ptr<SyncEngineHandler> SyncEngineHandler::initWithMFDevice(MFDevice& device,
                                                                       platform::ISyncManager& manager)
{
    std::unique_ptr<SyncEngineHandler> handler(new SyncEngineHandler(device, manager));
    const auto client = handler->getClient();
    if (!client)
        return nullptr;
    handler->updateSyncTimes(client);
    return handler;
}

SyncEngineHandler::~SyncEngineHandler()
{
    m_aboutToQuit = true;
    if (m_client) {
        try {
            m_client->setSyncAlertHandler({});
        } catch (const platform::Exception&) {
            // An unregistered client has no handler left to remove.
        }
    }
    if (isBusy())
        platform::runloop::waitUntil([this] { return !isBusy(); }, kWaitSlice, kDestructionWaitPasses);
    if (isBusy()) {
        // A run that never ended: the phone gets its claim back.
        synclog::xt(
            QStringLiteral("[SyncEngineHandler dealloc] a sync run did not end, the engine claim is given back"));
        releaseCommunication();
    }
    platform::NotificationCenter::defaultCenter().removeObserver(this);
}

// ---- Identity and registration

QString SyncEngineHandler::clientIdentifier() const
{
    return createClientName(m_device.devInfo()->getUniqueDeviceName());
}

QString SyncEngineHandler::getSyncSchemaFilePath() const
{
    const auto& description = m_device.syncDescription();
    const QString name = description ? description->syncSchemaFile().toString() : QString();
    if (name.isEmpty())
        return {};
    const QString plain = handlerFindDescription(name);
    if (!plain.isEmpty())
        return plain;
    return handlerFindDescription(name
                                  + (handlerIsLeopardOrLater() ? QStringLiteral("-Leo") : QStringLiteral("-Tiger")));
}

std::shared_ptr<platform::ISyncClient> SyncEngineHandler::getClient()
{
    try {
        std::shared_ptr<platform::ISyncClient> client = m_manager.clientWithIdentifier(clientIdentifier());
        bool named = client && client->displayName() != kDefaultDisplayName && !client->imagePath().isEmpty();
        if (!client) {
            const QString path = getSyncSchemaFilePath();
            if (path.isEmpty()) {
                synclog::xt(QStringLiteral("[SyncEngineHandler getClient] no client description for %1")
                                .arg(clientIdentifier()));
                return nullptr;
            }
            client = m_manager.registerClientWithIdentifier(clientIdentifier(), path);
            named = false;
            if (m_notifierEnabled)
                installAlertHandler(client);
        }
        if (!named) {
            const QString deviceName = m_device.getDeviceName();
            if (!deviceName.isEmpty())
                client->setDisplayName(deviceName + QStringLiteral(" (Marvesto)"));
            const QString icon = getPhoneIconForModel(m_device.devInfo()->deviceIdentification());
            if (!icon.isEmpty())
                client->setImagePath(icon);
        }
        m_client = client;
        return client;
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("getClient"), e));
        m_client.reset();
        removeSyncEngineClient();
        m_device.invalidateAllData();
        return nullptr;
    }
}

void SyncEngineHandler::removeSyncEngineClient()
{
    if (isBusy() && !platform::runloop::waitUntil([this] { return !isBusy(); }, kWaitSlice, kRemovalWaitPasses)) {
        // A run whose session the hub dropped would hold the program here.
        synclog::xt(QStringLiteral("[SyncEngineHandler removeSyncEngineClient] a sync run did not end; removing the "
                                   "client anyway"));
        releaseCommunication();
    }
    try {
        if (const auto client = m_manager.clientWithIdentifier(clientIdentifier()))
            m_manager.unregisterClient(client);
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("removeSyncEngineClient (SyncEngineHandler)"), e));
    }
    m_client.reset();
    m_isClientInitialized = false;
    m_enabled.fill(false);
    m_reqSync.fill(false);
    for (QString& time : m_lastSyncTime)
        time.clear();
}

// ---- Configuration

void SyncEngineHandler::updateEnabledEntities()
{
    const auto client = getClient();
    if (!client)
        return;
    const bool atAll = m_device.wantsToUseSyncEngineAtAll();
    for (int p = 0; p < 4; ++p)
        m_enabled[p] = m_device.wantsSyncChangesFromEngine(p) || (m_device.wantsSyncChangesFromDevice(p) && atAll);
    try {
        for (int p = 0; p < 4; ++p)
            client->setEnabled(m_enabled[p], handlerEntityNames(p));
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("updateEnabledEntities"), e));
    }
    m_isClientInitialized = true;
}

void SyncEngineHandler::setPropertyEnabled(int property, bool enabled)
{
    if (property == -1) {
        for (int p = 0; p < 4; ++p)
            setPropertyEnabled(p, enabled);
        return;
    }
    if (property < 0 || property > 3)
        return;
    const auto client = getClient();
    m_enabled[property] = enabled;
    if (!client)
        return;
    try {
        client->setEnabled(enabled, handlerEntityNames(property));
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("setPropertyEnabled"), e));
    }
}

QStringList SyncEngineHandler::enabledSupportedEntities()
{
    QStringList names;
    const auto client = m_client ? m_client : getClient();
    if (!client)
        return names;
    for (const QString& name : client->supportedEntityNames()) {
        if (isEnabled(syncpush::propertyForEntityName(name)))
            names.append(name);
    }
    return names;
}

void SyncEngineHandler::installAlertHandler(const std::shared_ptr<platform::ISyncClient>& client)
{
    std::weak_ptr<int> alive = m_alive;
    client->setSyncAlertHandler(
        [this, alive](const std::shared_ptr<platform::ISyncClient>& from, const QStringList& names) {
            if (!alive.expired())
                syncDeviceAlertHandler(from, names);
        });
}

void SyncEngineHandler::enableSyncEngineNotifier()
{
    m_notifierEnabled = true;
    if (const auto client = getClient()) {
        try {
            installAlertHandler(client);
        } catch (const platform::Exception& e) {
            synclog::xt(synclog::caught(QStringLiteral("enableSyncEngineNotifier"), e));
        }
    }
}

void SyncEngineHandler::setSlowModeForProperty(int property, bool slow)
{
    if (property == -1)
        m_slowMode.fill(slow);
    else if (property >= 0 && property < 4)
        m_slowMode[property] = slow;
}

QVariant SyncEngineHandler::lastSyncTime(int property) const
{
    const int slot = handlerSlot(property);
    if (slot < 0 || slot > 3 || m_lastSyncTime[slot].isEmpty())
        return {};
    return m_lastSyncTime[slot];
}

bool SyncEngineHandler::didSyncThisTime(int property) const
{
    const int slot = handlerSlot(property);
    return slot >= 0 && slot < 4 && m_didSyncThisTime[slot];
}

void SyncEngineHandler::updateSyncTimes(const std::shared_ptr<platform::ISyncClient>& client)
{
    if (client)
        m_client = client;
    if (!m_client)
        return;
    try {
        for (int p = 0; p < 4; ++p)
            m_lastSyncTime[p] = platform::syncDateText(m_client->lastSyncDateForEntityName(handlerMainEntity(p)));
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("updateSyncTimes (SyncEngineHandler)"), e));
    }
}

// ---- Engine claim and busy state

bool SyncEngineHandler::requestCommunication()
{
    if (!m_device.requestSyncEngineCommunication())
        return false;
    ++m_pendingSessions;
    m_holdsClaim = true;
    return true;
}

void SyncEngineHandler::releaseCommunication()
{
    m_pendingSessions = 0;
    if (!m_holdsClaim)
        return;
    m_holdsClaim = false;
    m_device.finishedSyncEngineCommunication();
}

void SyncEngineHandler::finishSyncingSession(const std::shared_ptr<platform::ISyncSession>& session)
{
    if (session) {
        try {
            session->finishSyncing();
        } catch (const platform::Exception& e) {
            synclog::xt(synclog::caught(QStringLiteral("finishSyncingSession (SyncEngineHandler)"), e));
        }
    }
    updateSyncTimes(m_client);
    releaseCommunication();
}

void SyncEngineHandler::cancelSyncingSession(const std::shared_ptr<platform::ISyncSession>& session)
{
    if (session) {
        try {
            session->cancelSyncing();
        } catch (const platform::Exception& e) {
            synclog::xt(synclog::caught(QStringLiteral("cancelSyncingSession (SyncEngineHandler)"), e));
        }
    }
    releaseCommunication();
}

void SyncEngineHandler::announceQuit()
{
    m_aboutToQuit = true;
    if (m_client) {
        try {
            m_client->setSyncAlertHandler({});
        } catch (const platform::Exception&) {
            // Unregistered meanwhile: nothing to remove.
        }
    }
    if (!isBusy() && !m_inInitialRead)
        m_device.syncEngineNoLongerBusy(); // destroys this handler
}

// ---- Entities and changes

QStringList SyncEngineHandler::getEntityNamesForProperty(int property)
{
    if (property != -1)
        return property >= 0 && property < 4 ? handlerEntityNames(property) : QStringList();
    QStringList names;
    names.reserve(32);
    for (int p = 0; p < 4; ++p) {
        if (m_device.wantsToUseSyncEngineForProperty(p))
            names.append(handlerEntityNames(p));
    }
    return names;
}

int SyncEngineHandler::getPropertyForChange(const SyncChange& change)
{
    if (!change.record().isEmpty())
        return syncpush::propertyForEntityName(change.record().value(platform::ISyncRecordEntityNameKey).toString());
    for (int p = 0; p < 4; ++p) {
        QVSyncElemList* list = isEnabled(p) ? storage(p) : nullptr;
        if (list && !list->affectedElemUUID(change).isEmpty())
            return p;
    }
    return -1;
}

QString SyncEngineHandler::getTypeAndPropertyForChange(const SyncChange& change, int* outProperty)
{
    *outProperty = -1;
    if (!change.record().isEmpty()) {
        const QString name = change.record().value(platform::ISyncRecordEntityNameKey).toString();
        *outProperty = syncpush::propertyForEntityName(name);
        return name;
    }
    static const QString itemEntities[4] = {entity::Contact, entity::Event, entity::Note, entity::Bookmark};
    for (int p = 0; p < 4; ++p) {
        QVSyncElemList* list = isEnabled(p) ? storage(p) : nullptr;
        if (list && !list->affectedElemUUID(change).isEmpty()) {
            *outProperty = p;
            return itemEntities[p];
        }
    }
    const QString& id = change.recordIdentifier();
    const struct {
        int property;
        const QString& entity;
    } containers[] = {{0, entity::Group}, {1, entity::Calendar}, {3, entity::BookmarkFolder}};
    for (const auto& container : containers) {
        QVSyncElemList* list = isEnabled(container.property) ? storage(container.property) : nullptr;
        if (!list)
            continue;
        const auto& known = container.property == 1 ? list->calendars() : list->groups();
        if (known && known->contains(id)) {
            *outProperty = container.property;
            return container.entity;
        }
    }
    return {};
}

QString SyncEngineHandler::entityForChange(const syncpush::PushItem& item, QVSyncElemList& storage)
{
    if (!item.change)
        return item.record.value(platform::ISyncRecordEntityNameKey).toString();
    const QVariantMap& record = item.change->record();
    if (!record.isEmpty())
        return record.value(platform::ISyncRecordEntityNameKey).toString();
    return storage.getCommandEntityName(*item.change);
}

bool SyncEngineHandler::wantsChanges(int property, platform::ISyncSession& session, bool* slow)
{
    bool wants = false;
    for (const QString& name : getEntityNamesForProperty(property)) {
        if (session.shouldPushChangesForEntityName(name))
            wants = true;
        if (slow && session.shouldPushAllRecordsForEntityName(name))
            *slow = true;
    }
    return wants;
}

void SyncEngineHandler::setSyncingUISyncState(bool state, bool forSync)
{
    QVariantMap info{{QStringLiteral("Active"), state}};
    if (forSync) {
        info.insert(QStringLiteral("SyncData"), true);
        synclog::xt(state ? QStringLiteral("_______Syncing on (XXXXX) (SyncEngineHandler)_______")
                          : QStringLiteral("_______Syncing off (.....) (SyncEngineHandler)_______"));
    } else {
        synclog::xt(QStringLiteral("_______Toggle BusyFlag (%1) (SyncEngineHandler)_______").arg(int(state)));
    }
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("SyncEngineActive"),
                                                       m_device.notificationSender(), info);
}

QList<syncpush::PushItem> SyncEngineHandler::allRecordsForEntity(const QString& entityName, QVSyncElemList& storage)
{
    QList<syncpush::PushItem> records;
    records.reserve(128);
    for (const QVariant& entry : storage.getAllRecords()) {
        const QVariantMap map = entry.toMap();
        const QVariantMap record = map.value(QVSyncEngineElem::kRecordDict).toMap();
        if (record.value(platform::ISyncRecordEntityNameKey).toString() == entityName)
            records.append({std::nullopt, map.value(QVSyncEngineElem::kRecordID).toString(), record});
    }
    return records;
}

void SyncEngineHandler::moveChangesForEntity(const QString& entityName, QList<syncpush::PushItem>& pending,
                                             QList<syncpush::PushItem>* target, QVSyncElemList& storage)
{
    for (qsizetype i = 0; i < pending.size();) {
        if (entityForChange(pending.at(i), storage) == entityName) {
            if (target)
                target->append(pending.at(i));
            pending.removeAt(i);
        } else {
            ++i;
        }
    }
}

bool SyncEngineHandler::pushChangesToSyncSession(int property, platform::ISyncSession& session, bool mustSlowSync)
{
    QVSyncElemList* list = storage(property);
    if (!list)
        return false;
    QList<syncpush::PushItem> pending;
    for (const SyncChange& change : list->changesForSyncEngine())
        pending.append({change, {}, {}});
    const QStringList names = getEntityNamesForProperty(property);
    if (mustSlowSync)
        session.clientWantsToPushAllRecordsForEntityNames(names);
    QList<syncpush::PushItem> outgoing;
    outgoing.reserve(128);
    for (const QString& name : names) {
        if (session.shouldPushChangesForEntityName(name) && session.shouldPushAllRecordsForEntityName(name))
            m_pushedWhole.insert(name);
    }
    syncpush::collect(
        session, names, [list](const QString& name) { return allRecordsForEntity(name, *list); },
        [list, &pending](const QString& name, QList<syncpush::PushItem>* target) {
            moveChangesForEntity(name, pending, target, *list);
        },
        outgoing);
    if (!pending.isEmpty()) {
        QStringList left;
        for (const auto& item : std::as_const(pending))
            left.append(item.identifier());
        synclog::xt(QStringLiteral("### theStorage changesForSyncEngine is not empty = %1").arg(left.join(u' ')));
        outgoing.append(pending);
    }
    // A temporary id is not known to the hub: never pushed, change or record.
    for (syncpush::PushItem& item : outgoing) {
        if (item.change && item.change->recordIdentifier().startsWith(QLatin1String("T-")))
            item = {std::nullopt, item.change->recordIdentifier(), {}};
    }
    const bool pushed =
        syncpush::send(session, outgoing,
                       {QStringLiteral("-----[SyncEngineHandler sendData]: Change (%1): %2  "),
                        QStringLiteral("-----[SyncEngineHandler sendData]: Record ID '%1' = %2"),
                        QStringLiteral("#### ---- #### [SyncEngineHandler pushChangesToSyncSession] recID has "
                                       "Prefix T-")});
    // Only a push the hub took empties the queue: one that failed leaves the
    // changes for the next run.
    list->clearChangesForSyncEngine();
    return pushed;
}

QVSyncElemList* SyncEngineHandler::storage(int property) const
{
    DeviceDataManager* manager = m_device.dataManager();
    return manager && property >= 0 && property < 4 ? manager->syncEngineList(property) : nullptr;
}

QVSyncElemList* SyncEngineHandler::createEmptyStorage(int property) const
{
    DeviceDataManager* manager = m_device.dataManager();
    return manager && property >= 0 && property < 4 ? manager->createEmptySyncEngineList(property) : nullptr;
}
