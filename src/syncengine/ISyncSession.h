#pragma once

#include "platform/SyncChange.h"
#include "syncengine/SyncStore.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

class ISyncClient;

// One sync session of a client with the hub: a push phase, then (optionally)
// a pull phase. Pushed changes take effect at finishSyncing(), together with
// the pull positions and sync dates, in one transaction; cancelSyncing() (or
// dropping the session unfinished) leaves the store as it was.
//
// Per entity a session is slow or fast. Slow (the client's first sync of the
// entity, after setShouldReplaceClientRecords or when the client asks with
// clientWantsToPushAllRecordsForEntityNames): the client pushes all its
// records, which are merged into the store (nothing is deleted for not being
// pushed), and its pull delivers every record. Fast: the client pushes its
// changes and pulls the other clients' changes since its last pull.
class ISyncSession : public std::enable_shared_from_this<ISyncSession> {
public:
    using SessionCallback =
        std::function<void(const std::shared_ptr<ISyncClient>& client, const std::shared_ptr<ISyncSession>& session)>;

    // A session started at once. Raises ISyncSessionUnavailableException when
    // the client's session already runs or the store cannot be used; answers
    // none when beforeDate (if valid) has already passed.
    static std::shared_ptr<ISyncSession> beginSessionWithClient(const std::shared_ptr<ISyncClient>& client,
                                                                const QStringList& entityNames,
                                                                const QDateTime& beforeDate);
    // The same, the session handed to callback on a later pass of the event
    // loop.
    static void beginSessionInBackgroundWithClient(const std::shared_ptr<ISyncClient>& client,
                                                   const QStringList& entityNames, SessionCallback callback);

    // Made by the begin calls.
    ISyncSession(std::shared_ptr<ISyncClient> client, QStringList entityNames, QSet<QString> slow,
                 QSet<QString> replace);
    ~ISyncSession();
    ISyncSession(const ISyncSession&) = delete;
    ISyncSession& operator=(const ISyncSession&) = delete;

    const std::shared_ptr<ISyncClient>& client() const { return m_client; }

    // Push phase.
    bool shouldPushChangesForEntityName(const QString& entityName) const;
    bool shouldPushAllRecordsForEntityName(const QString& entityName) const;
    void clientWantsToPushAllRecordsForEntityNames(const QStringList& entityNames);
    // A change without an entity name (an add naming none, a modify of an
    // unknown record), of an entity the client's description does not name,
    // or with a value that is no property-list value raises
    // ISyncInvalidArgumentsException and is not kept. Changes of entities the
    // client is disabled for, and deletes of unknown records, are dropped.
    void pushChange(const SyncChange& change);
    // A whole record (its entity name under ISyncRecordEntityNameKey): its
    // fields are set; fields it lacks are kept.
    void pushChangesFromRecord(const QVariantMap& record, const QString& recordIdentifier);

    // Pull phase: ends the push phase; callback follows on a later pass.
    void prepareToPullChangesInBackgroundForEntityNames(const QStringList& entityNames, SessionCallback callback);
    bool shouldPullChangesForEntityName(const QString& entityName) const;
    bool shouldReplaceAllRecordsOnClientForEntityName(const QString& entityName) const;
    // The other clients' changes for the entities, one per record: an add
    // (the whole record, every field set), a modify (the fields changed) or a
    // delete. In a replace or slow pull every record comes as an add.
    QList<SyncChange> changeEnumeratorForEntityNames(const QStringList& entityNames);
    // formattedRecord is the client's form of the record (not kept). A new
    // record identifier renames the record for every client at the finish
    // (the others pull a delete and an add, the sub-records follow); one that
    // is taken, or given for a delete, raises ISyncInvalidArgumentsException.
    void clientAcceptedChangesForRecordWithIdentifier(const QString& recordIdentifier,
                                                      const QVariantMap& formattedRecord,
                                                      const QString& newRecordIdentifier);
    // The pull positions advance past the accepted changes; the others come
    // again at the next pull. Written at finishSyncing().
    void clientCommittedAcceptedChanges();

    void finishSyncing();
    void cancelSyncing();
    bool isFinished() const { return m_state == State::Ended; }

private:
    enum class State { Pushing, Pulling, Ended };
    struct Delivered {
        QString entity;
        syncengine::PendingChange change;
    };

    static std::shared_ptr<ISyncSession> startSession(const std::shared_ptr<ISyncClient>& client,
                                                      const QStringList& entityNames);
    void requireState(State state, const char* call) const;
    [[noreturn]] void refuse(const QString& reason) const;
    QString entityForChange(const SyncChange& change) const;
    QVariantList normalizedChanges(const QVariantList& changes, const QString& recordId) const;
    void keep(SyncChange::Type type, const QString& recordId, const QString& entity, QVariantList changes);
    std::optional<SyncChange> delivery(const syncengine::PendingChange& pending);
    void end();

    std::shared_ptr<ISyncClient> m_client;
    quint64 m_claim = 0;
    QSet<QString> m_supported;     // the client's entities, when the session began
    QSet<QString> m_enabled;       // those of them it was enabled for
    QStringList m_entities;        // of the session that the client is enabled for
    QSet<QString> m_slow;
    QSet<QString> m_replace;
    QSet<QString> m_pullEntities;
    State m_state = State::Pushing;
    QList<syncengine::StoreOp> m_ops;
    QHash<QString, QString> m_pushedEntities;   // record id -> entity, pushed in this session
    QHash<QString, QList<int>> m_opIndex;       // record id -> its entries in m_ops
    QHash<QString, Delivered> m_delivered;
    QSet<QString> m_accepted;
    QSet<QString> m_committedAccepted;
    QHash<QString, QString> m_renames;          // new record id -> the pulled id
    QHash<QString, syncengine::SessionCommit::Pull> m_enumerated;
    QHash<QString, syncengine::SessionCommit::Pull> m_committed;
};

} // namespace platform
