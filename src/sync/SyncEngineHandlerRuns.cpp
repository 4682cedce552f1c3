// The runs of a phone's sync-hub client: the first read with its busy sheet,
// the foreground write, the trickle and its pull, and the background run that
// answers the hub's alerts. Each holds the phone's engine claim from its
// start to its finish or cancel, and gives it back before a failure removes
// the client.
#include "sync/SyncEngineHandler.h"

#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "phone/SyncEnvironment.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "sync/SyncLog.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"
#include "syncmodel/QVSyncElemList.h"

#include <QScopeGuard>

namespace entity = platform::entity;
using platform::ISyncClient;
using platform::ISyncSession;
using platform::SyncChange;

namespace {

using ClientPtr = std::shared_ptr<ISyncClient>;
using SessionPtr = std::shared_ptr<ISyncSession>;

void runsPostListActive(QVSyncElemList* list, int property, bool active)
{
    platform::NotificationCenter::defaultCenter().post(
        QStringLiteral("DZ-SyncElemListActive"), list,
        {{QStringLiteral("Active"), active ? QStringLiteral("1") : QStringLiteral("0")},
         {QStringLiteral("Property"), property}});
}

bool runsTransient(const platform::Exception& e)
{
    return e.name() == platform::ISyncSessionUnavailableException;
}

} // namespace

std::function<void(const ClientPtr&, const SessionPtr&)> SyncEngineHandler::callback(SessionDone done)
{
    std::weak_ptr<int> alive = m_alive;
    return [this, alive, done](const ClientPtr& client, const SessionPtr& session) {
        if (!alive.expired())
            (this->*done)(client, session);
    };
}

void SyncEngineHandler::failed(const QString& where, const platform::Exception& e, bool transientEndsRunOnly)
{
    synclog::system(synclog::caught(where, e));
    if (transientEndsRunOnly && runsTransient(e))
        return;
    removeSyncEngineClient();
    m_device.invalidateAllData();
}

QList<int> SyncEngineHandler::runProperties(int property) const
{
    if (property != -1)
        return {property};
    QList<int> properties;
    for (int p = 0; p < 4; ++p) {
        if (isEnabled(p) && storage(p))
            properties.append(p);
    }
    return properties;
}

QStringList SyncEngineHandler::entityNamesOf(const QList<int>& properties)
{
    QStringList names;
    for (int p : properties)
        names.append(getEntityNamesForProperty(p));
    return names;
}

// ---- First read

int SyncEngineHandler::initialReadFromSyncEngine(int replaceAll, SynchronizationFeedbackConsumer* consumer)
{
    synclog::xt(QStringLiteral("__$$$__initialReadFromSyncEngine (SyncEngineHandler)__$$$__"));
    if (!m_manager.isEnabled())
        return kFailed;
    if (!requestCommunication())
        return kRefused;
    if (replaceAll)
        setSlowModeForProperty(-1, true);
    setSyncingUISyncState(true, true);
    updateEnabledEntities();
    const auto giveUp = [this](int code) {
        releaseCommunication();
        setSyncingUISyncState(false, true);
        return code;
    };
    if (!isEnabled(0) && !isEnabled(1) && !isEnabled(2) && !isEnabled(3))
        return giveUp(kNothingEnabled);
    const auto client = getClient();
    if (!client)
        return giveUp(kNoClient);
    const QStringList entities = enabledSupportedEntities();
    if (entities.isEmpty())
        return giveUp(kFailed);

    int result = kOK;
    try {
        for (int p = 0; p < 4; ++p) {
            if (isEnabled(p) && isSlowMode(p))
                client->setShouldReplaceClientRecords(true, getEntityNamesForProperty(p));
        }
        m_initialReadDone = false;
        m_feedbackConsumer = consumer;
        m_inInitialRead = true;
        ISyncSession::beginSessionInBackgroundWithClient(client, entities,
                                                         callback(&SyncEngineHandler::initialSessionDoneWithClient));
        if (consumer) {
            BusyModalSession* sheet = consumer->startBusyModalSession(nullptr, 0);
            while (!m_initialReadDone) {
                platform::runloop::runFor(kWaitSlice);
                if (m_initialReadDone || consumer->pollBusyModalSession(sheet) != kPollContinues)
                    break;
                consumer->doProgressBusyIncrement(1);
            }
            consumer->endBusyModalSession(sheet);
        } else if (!platform::runloop::waitUntil([this] { return m_initialReadDone; }, kWaitSlice,
                                                 kInitialReadWaitPasses)) {
            synclog::xt(QStringLiteral("[SyncEngineHandler initialReadFromSyncEngine] the read did not end in time"));
            result = kFailed;
        }
    } catch (const platform::Exception& e) {
        synclog::system(synclog::caught(QStringLiteral("initialReadFromSyncEngine (SyncEngineHandler)"), e));
        if (!runsTransient(e)) {
            releaseCommunication();
            removeSyncEngineClient();
            m_device.invalidateAllData();
        }
        result = kException;
    }
    m_inInitialRead = false;
    m_feedbackConsumer = nullptr;
    setSyncingUISyncState(false, true);
    releaseCommunication();
    synclog::xt(QStringLiteral("_______Leaving initialReadFromSyncEngine (SyncEngineHandler)_______"));
    if (m_aboutToQuit)
        m_device.syncEngineNoLongerBusy(); // destroys this handler
    return result;
}

void SyncEngineHandler::initialSessionDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    m_client = client;
    try {
        QStringList pull;
        for (const QString& name : enabledSupportedEntities()) {
            if (session->shouldPullChangesForEntityName(name))
                pull.append(name);
        }
        session->prepareToPullChangesInBackgroundForEntityNames(
            pull, callback(&SyncEngineHandler::pullInitialChangesDoneWithClient));
    } catch (const platform::Exception& e) {
        cancelSyncingSession(session);
        m_initialReadDone = true;
        failed(QStringLiteral("initialSessionDoneWithClient (SyncEngineHandler)"), e, true);
    }
}

void SyncEngineHandler::applyPulledChange(ISyncSession& session, const SyncChange& change, const QString& entityName,
                                          int property, QVSyncElemList* list, bool* groupChanged, bool* changed,
                                          QStringList* changedIds)
{
    QVariant record;
    if (property >= 0 && list) {
        if ((entityName == entity::Group && property == 0) || (entityName == entity::BookmarkFolder && property == 3)) {
            list->processOneSyncEngineGroupChange(change, nullptr);
            if (groupChanged)
                *groupChanged = true;
        } else if (entityName == entity::Calendar && property == 1) {
            list->processOneSyncEngineCalendarChange(change, nullptr);
            if (groupChanged)
                *groupChanged = true;
        } else {
            const QString id = changedIds ? list->affectedElemUUID(change) : QString();
            bool numberChanged = false;
            record = list->processOneSyncEngineChange(change, &numberChanged, false);
            if (changed)
                *changed = true;
            if (changedIds && !id.isEmpty() && !changedIds->contains(id))
                changedIds->append(id);
        }
    }
    session.clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), record.toMap(), QString());
}

void SyncEngineHandler::pullInitialChangesDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    m_client = client;
    if (m_feedbackConsumer)
        m_feedbackConsumer->doProgressBusyMessage(platform::localizedString(QStringLiteral("Processing_SyncEngine")));
    if (m_aboutToQuit) {
        finishSyncingSession(session);
        m_initialReadDone = true;
        // The read that waits for this run lets go once its wait is over.
        if (!m_inInitialRead)
            m_device.syncEngineNoLongerBusy(); // destroys this handler
        return;
    }
    try {
        for (const SyncChange& change : session->changeEnumeratorForEntityNames(enabledSupportedEntities())) {
            int property = -1;
            const QString name = getTypeAndPropertyForChange(change, &property);
            QVSyncElemList* list = property >= 0 ? storage(property) : nullptr;
            if (property >= 0 && !list)
                list = createEmptyStorage(property);
            applyPulledChange(*session, change, name, property, list, nullptr, nullptr, nullptr);
            if (m_feedbackConsumer)
                m_feedbackConsumer->doProgressBusyIncrement(1);
        }
        session->clientCommittedAcceptedChanges();
    } catch (const platform::Exception& e) {
        cancelSyncingSession(session);
        m_initialReadDone = true;
        failed(QStringLiteral("pullInitialChangesDoneWithClient (SyncEngineHandler)"), e, true);
        return;
    }
    finishSyncingSession(session);
    for (int p = 0; p < 4; ++p) {
        QVSyncElemList* list = storage(p);
        if (!list)
            continue;
        list->removeZombies(false);
        if (isEnabled(p)) {
            list->mergeFromScratch(kBoth);
            m_didSyncThisTime[p] = true;
        }
    }
    m_initialReadDone = true;
}

// ---- Foreground write

int SyncEngineHandler::writeToSyncEngine(int property)
{
    synclog::xt(QStringLiteral("_______writeToSyncEngine (SyncEngineHandler)_______"));
    if (!m_manager.isEnabled())
        return kFailed;
    if (!requestCommunication())
        return kRefused;
    setSyncingUISyncState(true, true);
    SessionPtr session;
    try {
        const auto client = getClient();
        if (client)
            session = ISyncSession::beginSessionWithClient(client, getEntityNamesForProperty(property), QDateTime());
    } catch (const platform::Exception& e) {
        releaseCommunication();
        failed(QStringLiteral("writeToSyncEngine(1)"), e, false);
        setSyncingUISyncState(false, true);
        return kFailed;
    }
    if (!session) {
        releaseCommunication();
        setSyncingUISyncState(false, true);
        return kFailed;
    }
    try {
        for (int p : property == -1 ? QList<int>{0, 1, 2, 3} : QList<int>{property}) {
            if (m_device.wantsSyncChangesFromDevice(p))
                pushChangesToSyncSession(p, *session, false);
        }
    } catch (const platform::Exception& e) {
        cancelSyncingSession(session);
        failed(QStringLiteral("writeToSyncEngine(2)"), e, false);
        setSyncingUISyncState(false, true);
        return kRefused;
    }
    finishSyncingSession(session);
    setSyncingUISyncState(false, true);
    synclog::xt(QStringLiteral("_______leaving writeToSyncEngine (SyncEngineHandler)_______"));
    return kOK;
}

// ---- Trickle

int SyncEngineHandler::trickleSyncEngine(int property)
{
    if (m_aboutToQuit)
        return kOK;
    synclog::xt(QStringLiteral("<<< trickleSyncEngine (SyncEngineHandler) (%1) >>>").arg(property));
    if (property != -1 && (!isEnabled(property) || !storage(property)))
        return kFailed;
    const QList<int> properties = runProperties(property);
    if (properties.isEmpty() || !m_manager.isEnabled())
        return kFailed;
    const auto client = getClient();
    if (!client)
        return kFailed;
    if (!requestCommunication())
        return kRefused;
    m_trickSyncProperty = property;
    m_trickleProperties = properties;
    try {
        ISyncSession::beginSessionInBackgroundWithClient(client, entityNamesOf(properties),
                                                         callback(&SyncEngineHandler::trickleSessionDoneWithClient));
    } catch (const platform::Exception& e) {
        releaseCommunication();
        failed(QStringLiteral("trickleSyncEngine (SyncEngineHandler)"), e, true);
        return kFailed;
    }
    return kOK;
}

void SyncEngineHandler::trickleSessionDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    m_client = client;
    m_pushedWhole.clear();
    try {
        const QStringList names = entityNamesOf(m_trickleProperties);
        bool pushed = false;
        {
            // The busy flag goes off again also when a push fails.
            setSyncingUISyncState(true, false);
            const auto busyOff = qScopeGuard([this] { setSyncingUISyncState(false, false); });
            for (int p : std::as_const(m_trickleProperties)) {
                if (m_device.wantsSyncChangesFromDevice(p) && pushChangesToSyncSession(p, *session, false))
                    pushed = true;
            }
        }
        if (pushed || m_trickSyncProperty == -1 || m_trickSyncProperty == 2 || m_trickSyncProperty == 3) {
            QStringList pull;
            for (const QString& name : names) {
                if (session->shouldPullChangesForEntityName(name))
                    pull.append(name);
            }
            session->prepareToPullChangesInBackgroundForEntityNames(
                pull, callback(&SyncEngineHandler::pullChangesDoneWithClient));
        } else {
            finishSyncingSession(session);
        }
    } catch (const platform::Exception& e) {
        cancelSyncingSession(session);
        failed(QStringLiteral("trickleSessionDoneWithClient (SyncEngineHandler)"), e, false);
    }
}

void SyncEngineHandler::pullChangesDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    --m_pendingSessions;
    m_client = client;
    pullInto(session, m_trickleProperties, false);
}

// ---- The pull of a trickle or an alert run

void SyncEngineHandler::pullInto(const SessionPtr& session, const QList<int>& properties, bool background)
{
    setSyncingUISyncState(true, true);
    std::array<bool, 4> changed{};
    std::array<bool, 4> groupChanged{};
    std::array<std::optional<QStringList>, 4> changedIds;
    QStringList names;
    for (int p : properties) {
        if (!isEnabled(p))
            continue;
        runsPostListActive(storage(p), p, true);
    }
    try {
        for (int p : properties) {
            for (const QString& name : getEntityNamesForProperty(p)) {
                if (!session->shouldPullChangesForEntityName(name))
                    continue;
                names.append(name);
                if (!session->shouldReplaceAllRecordsOnClientForEntityName(name))
                    continue;
                setSlowModeForProperty(p, true);
                if (m_pushedWhole.contains(name)) {
                    // Every record went to the hub whole in this session, and
                    // the hub sends a session's own pushes not back: emptying
                    // the list would lose them.
                    synclog::xt(QStringLiteral("@@@ keeping items of type %1: pushed whole").arg(name));
                    continue;
                }
                if (background)
                    synclog::xt(QStringLiteral("@@@ removing items of type %1").arg(name));
                if (QVSyncElemList* list = storage(p))
                    list->removeItemsForEntity(name);
                if (background)
                    changed[p] = true;
            }
        }
        const QList<SyncChange> changes = names.isEmpty() ? QList<SyncChange>()
                                                          : session->changeEnumeratorForEntityNames(names);
        for (const SyncChange& change : changes) {
            int property = -1;
            const QString name = getTypeAndPropertyForChange(change, &property);
            QVSyncElemList* list = property >= 0 ? storage(property) : nullptr;
            if (!list) {
                // Nothing here takes it; accepted so that it does not come again.
                session->clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), {}, QString());
                continue;
            }
            QVLOG(qvlog::kXT,
                  (background ? QStringLiteral("+++++[SyncEngineHandler readingData]: Processing change: %1")
                              : QStringLiteral("+++++[SyncEngineHandler readingData]: %1"))
                      .arg(syncpush::fullDescription(change)));
            if (!changedIds[property])
                changedIds[property].emplace().reserve(8);
            applyPulledChange(*session, change, name, property, list, &groupChanged[property], &changed[property],
                              &*changedIds[property]);
        }
        if (background)
            synclog::xt(QStringLiteral("_______Processing done (SyncEngineHandler)_______"));
        if (!names.isEmpty())
            session->clientCommittedAcceptedChanges();
    } catch (const platform::Exception& e) {
        cancelSyncingSession(session);
        for (int p : properties) {
            if (isEnabled(p))
                runsPostListActive(storage(p), p, false);
        }
        setSyncingUISyncState(false, true);
        failed(background ? QStringLiteral("pullBgChangesDoneWithClient (SyncEngineHandler)")
                          : QStringLiteral("pullChangesDoneWithClient (SyncEngineHandler)"),
               e, true);
        return;
    }
    finishSyncingSession(session);
    const QList<int> cleaned = background ? properties : QList<int>{0, 1, 2, 3};
    for (int p : cleaned) {
        QVSyncElemList* list = storage(p);
        if (!list)
            continue;
        list->removeZombies(true);
        if (changed[p] && (background || changedIds[p])) {
            list->recalcUsableItems();
            if (changedIds[p] && !list->changedNotificationName().isEmpty())
                platform::NotificationCenter::defaultCenter().post(list->changedNotificationName(),
                                                                   m_device.notificationSender(),
                                                                   {{QStringLiteral("UUID"), QStringLiteral("ALL")}});
        }
    }
    for (int p : properties) {
        if (!isEnabled(p))
            continue;
        runsPostListActive(storage(p), p, false);
        m_didSyncThisTime[p] = true;
    }
    if (!background)
        synclog::xt(QStringLiteral("_______leaving pullChangesDoneWithClient (SyncEngineHandler)_______"));
    setSyncingUISyncState(false, true);
}

// ---- Alert-driven background sync

void SyncEngineHandler::syncDeviceAlertHandler(const ClientPtr& client, const QStringList& names)
{
    synclog::xt(QStringLiteral("--- [SyncEngineHandler syncDeviceAlertHandler] called ---"));
    if (m_aboutToQuit)
        return;
    if (!requestCommunication()) {
        for (int p : {0, 1}) {
            if (m_device.wantsToUseSyncEngineForProperty(p))
                m_reqSync[p] = true;
        }
        return;
    }
    m_client = client;
    synclog::xt(QStringLiteral("_______syncAlertHandler (SyncEngineHandler)_______"));
    m_reqSync.fill(false);
    QStringList run;
    run.reserve(16);
    const QStringList supported = enabledSupportedEntities();
    for (const QString& name : names) {
        const int p = syncpush::propertyForEntityName(name);
        if (supported.contains(name) && !run.contains(name))
            run.append(getEntityNamesForProperty(p));
        if (p >= 0)
            m_reqSync[p] = true;
    }
    run.removeDuplicates();
    if (m_device.syncEnvironment().isSyncingDevice(m_reqSync)) {
        synclog::xt(QStringLiteral("xxxxxxx syncDeviceAlertHandler called, but we are busy! xxxxxxxx"));
        releaseCommunication();
    } else if (!run.isEmpty()) {
        try {
            ISyncSession::beginSessionInBackgroundWithClient(client, run,
                                                             callback(&SyncEngineHandler::bgSessionDoneWithClient));
        } catch (const platform::Exception& e) {
            releaseCommunication();
            failed(QStringLiteral("syncDeviceAlertHandler (SyncEngineHandler)"), e, true);
        }
    } else {
        releaseCommunication();
    }
    synclog::xt(QStringLiteral("_______leaving syncDeviceAlertHandler (SyncEngineHandler)_______"));
}

void SyncEngineHandler::bgSessionDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    synclog::xt(QStringLiteral("_______bgSessionDoneWithClient (SyncEngineHandler)_______"));
    m_client = client;
    m_pushedWhole.clear();
    try {
        QStringList names;
        names.reserve(16);
        {
            // The busy flag goes off again also when a push fails.
            setSyncingUISyncState(true, false);
            const auto busyOff = qScopeGuard([this] { setSyncingUISyncState(false, false); });
            for (int p = 0; p < 4; ++p) {
                if (!m_reqSync[p])
                    continue;
                // As the trickle and the write: only a property whose changes
                // flow from the phone goes to the hub.
                if (m_device.wantsSyncChangesFromDevice(p))
                    pushChangesToSyncSession(p, *session, false);
                names.append(getEntityNamesForProperty(p));
            }
        }
        QStringList pull;
        for (const QString& name : std::as_const(names)) {
            if (session->shouldPullChangesForEntityName(name))
                pull.append(name);
        }
        if (pull.isEmpty())
            pullBgChangesDoneWithClient(client, session);
        else
            session->prepareToPullChangesInBackgroundForEntityNames(
                pull, callback(&SyncEngineHandler::pullBgChangesDoneWithClient));
    } catch (const platform::Exception& e) {
        finishSyncingSession(session);
        failed(QStringLiteral("bgSessionDoneWithClient (SyncEngineHandler)"), e, false);
    }
}

void SyncEngineHandler::pullBgChangesDoneWithClient(const ClientPtr& client, const SessionPtr& session)
{
    m_client = client;
    QList<int> properties;
    for (int p = 0; p < 4; ++p) {
        if (m_reqSync[p])
            properties.append(p);
    }
    pullInto(session, properties, true);
}
