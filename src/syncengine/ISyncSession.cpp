#include "syncengine/ISyncSession.h"

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/SyncEngineLog.h"
#include "syncengine/SyncEngineNames.h"
#include "syncengine/SyncHub.h"
#include "syncengine/SyncValues.h"

namespace platform {

using syncengine::PendingChange;
using syncengine::SessionCommit;
using syncengine::StoreOp;

std::shared_ptr<ISyncSession> ISyncSession::startSession(const std::shared_ptr<ISyncClient>& client,
                                                         const QStringList& entityNames)
{
    if (!client)
        throw Exception(ISyncInvalidArgumentsException, QStringLiteral("a session needs a client"));
    syncengine::SyncStore& store = client->hub()->store();
    const QStringList supported = client->supportedEntityNames();
    QHash<QString, syncengine::EntityState> enabled;
    for (const QString& entity : supported) {
        const syncengine::EntityState state = store.entityState(client->clientIdentifier(), entity);
        if (state.enabled)
            enabled.insert(entity, state);
    }
    QStringList entities;
    QSet<QString> slow;
    QSet<QString> replace;
    for (const QString& entity : entityNames) {
        const auto state = enabled.constFind(entity);
        if (state == enabled.cend() || entities.contains(entity))
            continue;
        entities.append(entity);
        if (state->slow)
            slow.insert(entity);
        if (state->replace)
            replace.insert(entity);
    }
    const quint64 token = client->hub()->claimSession(client->clientIdentifier());
    auto session = std::make_shared<ISyncSession>(client, entities, slow, replace);
    session->m_claim = token;
    session->m_supported = QSet<QString>(supported.cbegin(), supported.cend());
    const QList<QString> enabledNames = enabled.keys();
    session->m_enabled = QSet<QString>(enabledNames.cbegin(), enabledNames.cend());
    return session;
}

std::shared_ptr<ISyncSession> ISyncSession::beginSessionWithClient(const std::shared_ptr<ISyncClient>& client,
                                                                   const QStringList& entityNames,
                                                                   const QDateTime& beforeDate)
{
    if (beforeDate.isValid() && beforeDate < Clock::instance().currentDateTime())
        return nullptr;
    return startSession(client, entityNames);
}

void ISyncSession::beginSessionInBackgroundWithClient(const std::shared_ptr<ISyncClient>& client,
                                                      const QStringList& entityNames, SessionCallback callback)
{
    std::shared_ptr<ISyncSession> session = startSession(client, entityNames);
    runloop::performOnMainThread([session, callback = std::move(callback)] {
        if (!session->isFinished() && callback)
            callback(session->client(), session);
    });
}

ISyncSession::ISyncSession(std::shared_ptr<ISyncClient> client, QStringList entityNames, QSet<QString> slow,
                           QSet<QString> replace)
    : m_client(std::move(client))
    , m_entities(std::move(entityNames))
    , m_slow(std::move(slow))
    , m_replace(std::move(replace))
{
}

ISyncSession::~ISyncSession()
{
    if (m_state != State::Ended)
        end();
}

void ISyncSession::end()
{
    m_state = State::Ended;
    if (const std::shared_ptr<syncengine::SyncHub> hub = m_client->m_hub.lock())
        hub->releaseSession(m_client->clientIdentifier(), m_claim);
}

void ISyncSession::refuse(const QString& reason) const
{
    const QString message = QStringLiteral("Session of %1: %2").arg(m_client->clientIdentifier(), reason);
    syncengine::logLine(message);
    throw Exception(ISyncInvalidArgumentsException, message);
}

void ISyncSession::requireState(State state, const char* call) const
{
    if (m_state == state)
        return;
    if (m_state == State::Ended)
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("%1: the session has ended").arg(QString::fromLatin1(call)));
    refuse(QStringLiteral("%1 is not allowed in the %2 phase")
               .arg(QString::fromLatin1(call),
                    m_state == State::Pushing ? QStringLiteral("push") : QStringLiteral("pull")));
}

bool ISyncSession::shouldPushChangesForEntityName(const QString& entityName) const
{
    return m_entities.contains(entityName);
}

bool ISyncSession::shouldPushAllRecordsForEntityName(const QString& entityName) const
{
    return m_entities.contains(entityName) && m_slow.contains(entityName);
}

void ISyncSession::clientWantsToPushAllRecordsForEntityNames(const QStringList& entityNames)
{
    requireState(State::Pushing, "clientWantsToPushAllRecordsForEntityNames");
    for (const QString& entity : entityNames) {
        if (m_entities.contains(entity))
            m_slow.insert(entity);
    }
}

QString ISyncSession::entityForChange(const SyncChange& change) const
{
    if (const auto it = m_pushedEntities.constFind(change.recordIdentifier()); it != m_pushedEntities.cend())
        return *it;
    if (change.type() != SyncChange::Add) {
        if (std::optional<QString> stored = m_client->hub()->store().recordEntity(change.recordIdentifier()))
            return *stored;
    }
    for (const QVariant& entry : change.changes()) {
        const QVariantMap property = entry.toMap();
        if (property.value(ISyncChangePropertyNameKey).toString() == ISyncRecordEntityNameKey
            && property.value(ISyncChangePropertyActionKey).toString() == ISyncChangePropertySet)
            return property.value(ISyncChangePropertyValueKey).toString();
    }
    return change.record().value(ISyncRecordEntityNameKey).toString();
}

QVariantList ISyncSession::normalizedChanges(const QVariantList& changes, const QString& recordId) const
{
    QVariantList result;
    result.reserve(changes.size());
    for (const QVariant& entry : changes) {
        if (entry.typeId() != QMetaType::QVariantMap)
            refuse(QStringLiteral("a property change of record '%1' is no dictionary").arg(recordId));
        const QVariantMap property = entry.toMap();
        const QString name = property.value(ISyncChangePropertyNameKey).toString();
        const QString action = property.value(ISyncChangePropertyActionKey).toString();
        if (name.isEmpty() || !plist::isXmlText(name))
            refuse(QStringLiteral("a property change of record '%1' has no name that can be stored").arg(recordId));
        const auto value = property.constFind(ISyncChangePropertyValueKey);
        if (action == ISyncChangePropertySet && value != property.cend() && value->isValid()) {
            const std::optional<QVariant> normal = syncengine::normalizedValue(*value);
            if (!normal)
                refuse(QStringLiteral("property '%1' of record '%2' holds no property-list value (%3)")
                           .arg(name, recordId, QString::fromLatin1(value->typeName())));
            result.append(SyncChange::setChange(name, *normal));
        } else if (action == ISyncChangePropertySet || action == ISyncChangePropertyClear) {
            result.append(SyncChange::clearChange(name));
        } else {
            refuse(QStringLiteral("property '%1' of record '%2' has the unknown action '%3'").arg(name, recordId, action));
        }
    }
    return result;
}

void ISyncSession::keep(SyncChange::Type type, const QString& recordId, const QString& entity, QVariantList changes)
{
    if (!m_supported.contains(entity))
        refuse(QStringLiteral("record '%1' is of entity '%2', which the client's description does not name")
                   .arg(recordId, entity));
    if (!m_enabled.contains(entity)) {
        syncengine::logLine(QStringLiteral("Session of %1: change of record '%2' dropped, entity '%3' is disabled")
                                .arg(m_client->clientIdentifier(), recordId, entity));
        return;
    }
    m_opIndex[recordId].append(int(m_ops.size()));
    m_ops.append(StoreOp{type, recordId, entity, std::move(changes)});
    m_pushedEntities.insert(recordId, entity);
}

void ISyncSession::pushChange(const SyncChange& change)
{
    requireState(State::Pushing, "pushChange");
    const QString& id = change.recordIdentifier();
    if (id.isEmpty())
        refuse(QStringLiteral("a change without a record identifier"));
    if (change.type() != SyncChange::Add && change.type() != SyncChange::Modify && change.type() != SyncChange::Delete)
        refuse(QStringLiteral("change of record '%1' has the unknown type %2").arg(id).arg(int(change.type())));
    const QString entity = entityForChange(change);
    if (entity.isEmpty()) {
        if (change.type() == SyncChange::Delete) {
            syncengine::logLine(QStringLiteral("Session of %1: delete of unknown record '%2' dropped")
                                    .arg(m_client->clientIdentifier(), id));
            return;
        }
        refuse(QStringLiteral("change of record '%1' names no entity").arg(id));
    }
    QVariantList changes;
    if (change.type() != SyncChange::Delete) {
        if (!change.changes().isEmpty()) {
            changes = normalizedChanges(change.changes(), id);
        } else {
            for (auto it = change.record().cbegin(); it != change.record().cend(); ++it)
                changes.append(SyncChange::setChange(it.key(), it.value()));
            changes = normalizedChanges(changes, id);
        }
    }
    keep(change.type(), id, entity, std::move(changes));
}

void ISyncSession::pushChangesFromRecord(const QVariantMap& record, const QString& recordIdentifier)
{
    requireState(State::Pushing, "pushChangesFromRecord");
    if (recordIdentifier.isEmpty())
        refuse(QStringLiteral("a record without an identifier"));
    const QString entity = record.value(ISyncRecordEntityNameKey).toString();
    if (entity.isEmpty())
        refuse(QStringLiteral("record '%1' names no entity").arg(recordIdentifier));
    QVariantList changes;
    changes.reserve(record.size());
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        changes.append(SyncChange::setChange(it.key(), it.value()));
    keep(SyncChange::Add, recordIdentifier, entity, normalizedChanges(changes, recordIdentifier));
}

void ISyncSession::prepareToPullChangesInBackgroundForEntityNames(const QStringList& entityNames,
                                                                 SessionCallback callback)
{
    requireState(State::Pushing, "prepareToPullChangesInBackgroundForEntityNames");
    for (const QString& entity : entityNames) {
        if (m_entities.contains(entity))
            m_pullEntities.insert(entity);
    }
    m_state = State::Pulling;
    runloop::performOnMainThread([session = shared_from_this(), callback = std::move(callback)] {
        if (session->m_state == State::Pulling && callback)
            callback(session->client(), session);
    });
}

bool ISyncSession::shouldPullChangesForEntityName(const QString& entityName) const
{
    return m_state == State::Pulling ? m_pullEntities.contains(entityName) : m_entities.contains(entityName);
}

bool ISyncSession::shouldReplaceAllRecordsOnClientForEntityName(const QString& entityName) const
{
    return shouldPullChangesForEntityName(entityName) && m_replace.contains(entityName);
}

// What the pull hands over for one pending change, seen as the store will be
// after this session's finish: the session's own pushes win, so a property
// it pushed is not sent back, and a record it deleted is not sent at all.
std::optional<SyncChange> ISyncSession::delivery(const PendingChange& pending)
{
    QVariantMap sets;
    QSet<QString> touched;
    bool deleted = false;
    bool added = false;
    for (const int index : m_opIndex.value(pending.recordId)) {
        const StoreOp& op = m_ops.at(index);
        if (op.type == SyncChange::Delete) {
            deleted = true;
            sets.clear();
            continue;
        }
        deleted = false;
        added = added || op.type == SyncChange::Add;
        for (const QVariant& entry : op.changes) {
            const QVariantMap property = entry.toMap();
            const QString name = property.value(ISyncChangePropertyNameKey).toString();
            touched.insert(name);
            if (property.value(ISyncChangePropertyActionKey).toString() == ISyncChangePropertySet)
                sets.insert(name, property.value(ISyncChangePropertyValueKey));
            else
                sets.insert(name, QVariant());
        }
    }
    if (deleted)
        return std::nullopt;
    if (pending.type == SyncChange::Delete) {
        if (added)
            return std::nullopt;
        return SyncChange(SyncChange::Delete, pending.recordId);
    }
    std::optional<QVariantMap> record = m_client->hub()->store().record(pending.recordId);
    if (!record)
        return std::nullopt;
    for (auto it = sets.cbegin(); it != sets.cend(); ++it) {
        if (it.key() == ISyncRecordEntityNameKey)
            continue;
        if (it.value().isValid())
            record->insert(it.key(), it.value());
        else
            record->remove(it.key());
    }
    QVariantList changes;
    if (pending.type == SyncChange::Add) {
        changes.append(SyncChange::setChange(ISyncRecordEntityNameKey, record->value(ISyncRecordEntityNameKey)));
        for (auto it = record->cbegin(); it != record->cend(); ++it) {
            if (it.key() != ISyncRecordEntityNameKey)
                changes.append(SyncChange::setChange(it.key(), it.value()));
        }
    } else {
        for (const QString& name : pending.names) {
            if (touched.contains(name))
                continue;
            const auto value = record->constFind(name);
            changes.append(value != record->cend() ? SyncChange::setChange(name, *value) : SyncChange::clearChange(name));
        }
        if (changes.isEmpty())
            return std::nullopt;
    }
    return SyncChange(pending.type, pending.recordId, changes, *record);
}

QList<SyncChange> ISyncSession::changeEnumeratorForEntityNames(const QStringList& entityNames)
{
    requireState(State::Pulling, "changeEnumeratorForEntityNames");
    syncengine::SyncStore& store = m_client->hub()->store();
    const QString& client = m_client->clientIdentifier();
    QList<SyncChange> result;
    QSet<QString> done;
    for (const QString& entity : entityNames) {
        if (!m_pullEntities.contains(entity) || done.contains(entity))
            continue;
        done.insert(entity);
        const syncengine::EntityState state = store.entityState(client, entity);
        const qint64 sequence = store.lastSequence();
        QList<PendingChange> pending;
        if (m_replace.contains(entity) || m_slow.contains(entity) || !state.position) {
            for (const QString& id : store.recordIdentifiers(entity))
                pending.append(PendingChange{id, SyncChange::Add, {}});
        } else {
            pending = store.pendingChanges(client, entity, *state.position);
        }
        for (const PendingChange& change : std::as_const(pending)) {
            std::optional<SyncChange> delivered = delivery(change);
            if (!delivered)
                continue;
            m_delivered.insert(change.recordId, Delivered{entity, change});
            result.append(std::move(*delivered));
        }
        m_enumerated.insert(entity, SessionCommit::Pull{entity, sequence, m_replace.contains(entity), {}});
    }
    return result;
}

void ISyncSession::clientAcceptedChangesForRecordWithIdentifier(const QString& recordIdentifier,
                                                                const QVariantMap&,
                                                                const QString& newRecordIdentifier)
{
    requireState(State::Pulling, "clientAcceptedChangesForRecordWithIdentifier");
    const auto delivered = m_delivered.constFind(recordIdentifier);
    if (delivered == m_delivered.cend())
        return;
    if (!newRecordIdentifier.isEmpty() && newRecordIdentifier != recordIdentifier) {
        if (delivered->change.type == SyncChange::Delete || !plist::isXmlText(newRecordIdentifier)
            || m_renames.contains(newRecordIdentifier) || m_pushedEntities.contains(newRecordIdentifier)
            || m_client->hub()->store().recordEntity(newRecordIdentifier))
            refuse(QStringLiteral("record '%1' cannot take the identifier '%2'").arg(recordIdentifier, newRecordIdentifier));
        m_renames.insert(newRecordIdentifier, recordIdentifier);
    }
    m_accepted.insert(recordIdentifier);
}

void ISyncSession::clientCommittedAcceptedChanges()
{
    requireState(State::Pulling, "clientCommittedAcceptedChanges");
    for (auto it = m_enumerated.cbegin(); it != m_enumerated.cend(); ++it) {
        SessionCommit::Pull pull = *it;
        for (auto d = m_delivered.cbegin(); d != m_delivered.cend(); ++d) {
            if (d->entity == it.key() && !m_accepted.contains(d.key()))
                pull.requeue.append(d->change);
        }
        m_committed.insert(it.key(), pull);
    }
    m_committedAccepted = m_accepted;
}

void ISyncSession::finishSyncing()
{
    if (m_state == State::Ended)
        throw Exception(ISyncSessionUnavailableException, QStringLiteral("finishSyncing: the session has ended"));
    const std::shared_ptr<syncengine::SyncHub> hub = m_client->hub();
    SessionCommit commit;
    commit.client = m_client->clientIdentifier();
    commit.finishedAt = Clock::instance().currentDateTime();
    commit.ops = m_ops;
    commit.syncedEntities = m_entities;
    commit.pulls = m_committed.values();
    for (auto it = m_renames.cbegin(); it != m_renames.cend(); ++it) {
        if (m_committedAccepted.contains(it.value()))
            commit.renames.append({it.value(), it.key()});
    }
    QSet<QString> changed;
    try {
        changed = hub->store().commit(commit);
    } catch (const Exception& e) {
        end();
        syncengine::logLine(QStringLiteral("Session of %1 could not be finished: %2").arg(commit.client, e.reason()));
        throw Exception(ISyncSessionUnavailableException, e.reason());
    }
    end();
    hub->alertOthers(commit.client, changed);
}

void ISyncSession::cancelSyncing()
{
    if (m_state != State::Ended)
        end();
}

} // namespace platform
