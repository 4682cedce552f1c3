// GeneralSyncInfo: the runs with the hub (alert, trickle, push, pull, first read).

#include "sync/GeneralSyncInfo.h"

#include "platform/Exception.h"
#include "platform/RunLoop.h"
#include "sync/SyncLog.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"

using platform::ISyncClient;
using platform::ISyncSession;
using platform::SyncChange;

void GeneralSyncInfo::replaceMissingKinds(const std::shared_ptr<ISyncClient>& client, const QStringList& names,
                                          const QString& logText)
{
    QStringList missing;
    for (const QString& name : names) {
        const int kind = kindOfEntity(name);
        if (kind >= 0 && !dictionary(Kind(kind)))
            missing.append(name);
    }
    if (missing.isEmpty())
        return;
    client->setShouldReplaceClientRecords(true, missing);
    for (const QString& name : std::as_const(missing))
        synclog::xt(logText.arg(name));
}

void GeneralSyncInfo::syncGeneralAlertHandler(const std::shared_ptr<ISyncClient>& client, const QStringList& names)
{
    if (isBusy())
        return;
    m_client = client;
    if (m_aboutToQuit) {
        refreshSyncTimes();
        return;
    }
    synclog::xt(QStringLiteral("<<<<< syncGeneralAlertHandler (GeneralSyncInfo) >>>>>>>>"));
    ++m_pendingSessions;
    m_syncEntities.clear();
    for (const QString& name : names) {
        if (getEntityNames().contains(name) && !m_syncEntities.contains(name)) {
            m_syncEntities.append(name);
            synclog::xt(QStringLiteral("<<<<<<<< Sync item (GeneralSyncInfo): %1 >>>>>>>>").arg(name));
        }
    }
    if (m_syncEntities.isEmpty()) {
        m_pendingSessions = 0;
        return;
    }
    try {
        replaceMissingKinds(client, m_syncEntities,
                            QStringLiteral("\n#### GeneralSyncInfo (syncGeneralAlertHandler): SLOW SYNC for %1:"));
        ISyncSession::beginSessionInBackgroundWithClient(
            client, m_syncEntities, [alive = std::weak_ptr<int>(m_alive), this](const auto& c, const auto& session) {
                if (alive.lock())
                    bgSessionDoneWithClient(c, session);
            });
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(QStringLiteral("syncGeneralAlertHandler"), e));
        m_pendingSessions = 0;
    }
}

void GeneralSyncInfo::finishAtQuit(const std::shared_ptr<ISyncSession>& session)
{
    try {
        if (session)
            session->finishSyncing();
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("finishSyncing (GeneralSyncInfo)"), e));
    }
    m_pendingSessions = 0;
    refreshSyncTimes();
}

void GeneralSyncInfo::endRunAfterException(const std::shared_ptr<ISyncSession>& session, const QString& name,
                                           bool invalidate)
{
    if (session) {
        try {
            session->cancelSyncing();
        } catch (const platform::Exception&) {
            // The session is gone already.
        }
    }
    if (invalidate || name != platform::ISyncSessionUnavailableException)
        invalidateAllData();
    m_pendingSessions = 0;
}

void GeneralSyncInfo::prepareBackgroundPull(const std::shared_ptr<ISyncSession>& session, const QStringList& names)
{
    session->prepareToPullChangesInBackgroundForEntityNames(
        names, [alive = std::weak_ptr<int>(m_alive), this](const auto& c, const auto& s) {
            if (alive.lock())
                pullBgChangesDoneWithClient(c, s);
        });
}

bool GeneralSyncInfo::pushIntoBackgroundSession(const std::shared_ptr<ISyncClient>& client,
                                                const std::shared_ptr<ISyncSession>& session, const QString& where,
                                                bool trickle)
{
    synclog::xt(QStringLiteral("<<<<< bgSessionDoneWithClient (GeneralInfo) >>>>>>>"));
    m_client = client;
    if (m_aboutToQuit) {
        finishAtQuit(session);
        return false;
    }
    if (!session) {
        m_pendingSessions = 0;
        return false;
    }
    try {
        pushChangesToSyncSession(*session);
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(where, e));
        endRunAfterException(session, e.name(), trickle);
        return false;
    }
    return true;
}

void GeneralSyncInfo::bgSessionDoneWithClient(const std::shared_ptr<ISyncClient>& client,
                                              const std::shared_ptr<ISyncSession>& session)
{
    if (!pushIntoBackgroundSession(client, session, QStringLiteral("bgSessionDoneWithClient-pushChangesToSyncSession"),
                                   false))
        return;
    try {
        QStringList pull;
        for (const QString& name : std::as_const(m_syncEntities)) {
            if (session->shouldPullChangesForEntityName(name))
                pull.append(name);
        }
        m_syncEntities = pull;
        prepareBackgroundPull(session, m_syncEntities);
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(
            QStringLiteral("bgSessionDoneWithClient-prepareToPullChangesInBackgroundForEntityNames"), e));
        endRunAfterException(session, e.name(), false);
        return;
    }
    synclog::xt(QStringLiteral("<<<<< Leaving bgSessionDoneWithClient (GeneralInfo) >>>>>>>"));
}

int GeneralSyncInfo::trickleSyncEngine()
{
    if (!m_isActive)
        return -1;
    if (m_aboutToQuit)
        return 0;
    if (isBusy())
        return -2;
    if (!m_manager.isEnabled())
        return -1;
    const std::shared_ptr<ISyncClient> client = getClient();
    if (!client)
        return -1;
    m_client = client;
    ++m_pendingSessions;
    try {
        replaceMissingKinds(client, getEntityNames(),
                            QStringLiteral("\n#### GeneralSyncInfo (trickleSync): SLOW SYNC for %1:"));
        ISyncSession::beginSessionInBackgroundWithClient(
            client, getEntityNames(), [alive = std::weak_ptr<int>(m_alive), this](const auto& c, const auto& session) {
                if (alive.lock())
                    bgTrickleSessionDoneWithClient(c, session);
            });
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("beginSessionInBackgroundWithClient"), e));
        m_pendingSessions = 0;
    }
    return 0;
}

void GeneralSyncInfo::bgTrickleSessionDoneWithClient(const std::shared_ptr<ISyncClient>& client,
                                                     const std::shared_ptr<ISyncSession>& session)
{
    if (!pushIntoBackgroundSession(client, session, QStringLiteral("bgTrickleSessionDoneWithClient"), true))
        return;
    try {
        m_syncEntities = getEntityNames();
        prepareBackgroundPull(session, m_syncEntities);
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(
            QStringLiteral("bgSessionDoneWithClient-prepareToPullChangesInBackgroundForEntityNames"), e));
        endRunAfterException(session, e.name(), false);
        return;
    }
    synclog::xt(QStringLiteral("<<<<< Leaving bgSessionDoneWithClient (GeneralInfo) >>>>>>>"));
}

QList<syncpush::PushItem> GeneralSyncInfo::allRecordsForEntity(const QString& entityName) const
{
    QList<syncpush::PushItem> items;
    items.reserve(4);
    const int kind = kindOfEntity(entityName);
    if (kind < 0 || !dictionary(Kind(kind)))
        return items;
    const QVariantMap& dict = *dictionary(Kind(kind));
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        QVariantMap record = it.value().toMap();
        record.insert(platform::ISyncRecordEntityNameKey, entityName);
        items.append(syncpush::PushItem{std::nullopt, it.key(), record});
    }
    return items;
}

void GeneralSyncInfo::moveChangesForEntity(const QString& entityName, QList<syncpush::PushItem>* target)
{
    for (auto it = m_changesForSyncEngine.begin(); it != m_changesForSyncEngine.end();) {
        if (it->record().value(platform::ISyncRecordEntityNameKey).toString() != entityName) {
            ++it;
            continue;
        }
        if (target)
            target->append(syncpush::PushItem{*it, {}, {}});
        it = m_changesForSyncEngine.erase(it);
    }
}

void GeneralSyncInfo::pushChangesToSyncSession(ISyncSession& session)
{
    QList<syncpush::PushItem> outgoing;
    outgoing.reserve(128);
    syncpush::collect(
        session, getEntityNames(), [this](const QString& name) { return allRecordsForEntity(name); },
        [this](const QString& name, QList<syncpush::PushItem>* target) { moveChangesForEntity(name, target); },
        outgoing);
    static const syncpush::PushLogTexts kTexts{
        QStringLiteral("-----[GeneralSyncInfo sendData]: Change (%1): %2  "),
        QStringLiteral("-----[GeneralSyncInfo sendData]: Record ID '%1' = %2"),
        QStringLiteral("#### ---- #### [GeneralSyncInfo pushChangesToSyncSession] recID has Prefix T-")};
    syncpush::send(session, outgoing, kTexts);
}

void GeneralSyncInfo::prepareSlowSyncForEntity(const QString& entityName)
{
    const int kind = kindOfEntity(entityName);
    if (kind < 0)
        return;
    synclog::xt(info(Kind(kind)).slowLog);
    dictionary(Kind(kind)).emplace();
}

void GeneralSyncInfo::processChange(Kind kind, const SyncChange& change)
{
    std::optional<QVariantMap>& dict = dictionary(kind);
    if (!dict)
        dict.emplace();
    const QString& id = change.recordIdentifier();
    if (change.type() == SyncChange::Delete) {
        dict->remove(id);
        return;
    }
    if (change.type() == SyncChange::Modify && !dict->contains(id)) {
        synclog::xt(QStringLiteral("### GeneralSyncInfo wants to modify nonexisting GROUP: %1").arg(id));
        return;
    }
    QVariantMap record = change.type() == SyncChange::Add ? QVariantMap() : dict->value(id).toMap();
    for (const QVariant& entry : change.changes()) {
        if (entry.typeId() != QMetaType::QVariantMap) {
            synclog::se(QStringLiteral("[GeneralSyncInfo] property change of %1 skipped: not a dictionary").arg(id));
            continue;
        }
        const QVariantMap property = entry.toMap();
        const QString action = property.value(platform::ISyncChangePropertyActionKey).toString();
        const QString name = property.value(platform::ISyncChangePropertyNameKey).toString();
        const QVariant value = property.value(platform::ISyncChangePropertyValueKey);
        if (name.isEmpty())
            continue;
        if (name == info(kind).nameKey && value.isValid() && value.typeId() != QMetaType::QString) {
            synclog::se(QStringLiteral("[GeneralSyncInfo] %1 of %2 skipped: not a text").arg(name, id));
            continue;
        }
        const bool isSet = action == platform::ISyncChangePropertySet;
        if (change.type() == SyncChange::Modify && kind == kGroups) {
            if (isSet && value.isValid() && name == QLatin1String("name"))
                record.insert(name, value);
            continue;
        }
        if (isSet && value.isValid())
            record.insert(name, value);
        else if (change.type() == SyncChange::Modify && action == platform::ISyncChangePropertyClear)
            record.remove(name);
    }
    dict->insert(id, record);
}

void GeneralSyncInfo::processOneSyncEngineGroupChange(const SyncChange& change)
{
    synclog::se(QStringLiteral("[GeneralSyncInfo processOneSyncEngineGroupChange:\n  %1")
                    .arg(syncpush::fullDescription(change)));
    processChange(kGroups, change);
}

void GeneralSyncInfo::processOneSyncEngineCalendarChange(const SyncChange& change)
{
    processChange(kCalendars, change);
}

void GeneralSyncInfo::processOneSyncEngineFolderChange(const SyncChange& change)
{
    processChange(kFolders, change);
}

void GeneralSyncInfo::pullBgChangesDoneWithClient(const std::shared_ptr<ISyncClient>& client,
                                                  const std::shared_ptr<ISyncSession>& session)
{
    synclog::xt(QStringLiteral("<<<<<<<< pullBgChangesDoneWithClient (GeneralInfo) >>>>>>>>"));
    m_client = client;
    if (m_aboutToQuit || !session) {
        finishAtQuit(session);
        saveToDisk();
        m_initialReadDone = true;
        return;
    }
    setSyncingUISyncState(true, false);
    synclog::xt(QStringLiteral("<<<<<<<< Receiving entities (GeneralInfo) >>>>>>>>"));
    int changed = 0;
    try {
        QStringList names;
        for (const QString& name : getEntityNames()) {
            if (!session->shouldPullChangesForEntityName(name))
                continue;
            if (session->shouldReplaceAllRecordsOnClientForEntityName(name))
                prepareSlowSyncForEntity(name);
            names.append(name);
        }
        const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(names);
        for (const SyncChange& change : changes) {
            ++changed;
            synclog::xt(QStringLiteral("+++++[GeneralSyncInfo readingData]: Processing change: %1")
                            .arg(syncpush::fullDescription(change)));
            if (!change.record().isEmpty()) {
                const QVariant entity = change.record().value(platform::ISyncRecordEntityNameKey);
                switch (kindOfEntity(entity.toString())) {
                case kGroups:
                    processOneSyncEngineGroupChange(change);
                    break;
                case kCalendars:
                    processOneSyncEngineCalendarChange(change);
                    break;
                case kFolders:
                    processOneSyncEngineFolderChange(change);
                    break;
                default:
                    synclog::se(QStringLiteral("[GeneralSyncInfo] change of %1 skipped: entity %2 is not shared")
                                    .arg(change.recordIdentifier(), entity.toString()));
                    break;
                }
            } else if (change.type() == SyncChange::Delete) {
                processOneSyncEngineGroupChange(change);
                processOneSyncEngineCalendarChange(change);
                processOneSyncEngineFolderChange(change);
            }
            synclog::xt(QStringLiteral("<<<<<<<< Processing done ^^^^^ (GeneralInfo)"));
            session->clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), {}, {});
        }
        session->clientCommittedAcceptedChanges();
        session->finishSyncing();
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(QStringLiteral("pullBgChangesDoneWithClient (GeneralSyncInfo)"), e));
        m_pendingSessions = 0;
        try {
            if (!session->isFinished())
                session->finishSyncing();
        } catch (const platform::Exception&) {
            // Nothing more to end.
        }
        setSyncingUISyncState(false, false);
        return;
    }
    m_pendingSessions = 0;
    refreshSyncTimes();
    m_isClientInitialized = true;
    for (int kind = 0; kind < kKindCount; ++kind) {
        if (!dictionary(Kind(kind)))
            dictionary(Kind(kind)).emplace();
    }
    saveToDisk();
    setSyncingUISyncState(false, changed > 0);
    synclog::xt(QStringLiteral("<<<<<<<< Leaving pullBgChangesDoneWithClient (GeneralInfo)"));
    m_initialReadDone = true;
}

int GeneralSyncInfo::initialReadFromSyncEngine()
{
    if (!m_isActive || !m_manager.isEnabled())
        return -1;
    if (isBusy())
        return -2;
    synclog::xt(QStringLiteral("<<$$$<< initialReadFromSyncEngine (GeneralSyncInfo) >>$$$>>"));
    setSyncingUISyncState(true, false);
    const std::shared_ptr<ISyncClient> client = getClient();
    if (!client)
        return -4;
    try {
        client->setShouldReplaceClientRecords(true, getEntityNames());
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("initialReadFromSyncEngine"), e));
    }
    m_initialReadDone = false;
    const int started = trickleSyncEngine();
    if (started != 0)
        return started;
    platform::runloop::waitUntil([] { return false; }, kWaitSlice, kInitialReadWaitPasses);
    m_pendingSessions = 0;
    synclog::xt(QStringLiteral("<<<<<<<  laeving initialReadFromSyncEngine (GeneralSyncInfo) >>>>>>>"));
    return 0;
}
