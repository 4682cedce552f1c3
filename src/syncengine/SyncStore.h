#pragma once

#include "platform/SyncChange.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::syncengine {

// One pushed change as the store applies it. An add and a modify are the same
// upsert of "set" and "clear" property changes (a modify of a record that is
// gone is dropped); a delete also deletes the sub-records that point to the
// record.
struct StoreOp {
    SyncChange::Type type = SyncChange::Modify;
    QString recordId;
    QString entity;
    QVariantList changes;   // each {action, name[, value]}, values normalized
};

// A record's change waiting for one client, collapsed from the log: an add
// (deliver the whole record), a modify of the named properties, or a delete.
struct PendingChange {
    QString recordId;
    SyncChange::Type type = SyncChange::Modify;
    QStringList names;
};

struct ClientRow {
    QString id;
    QString displayName;
    QString imagePath;
    QString descriptionPath;
    QStringList entities;
};

// Per client and entity. A missing position means the client has never
// pulled the entity (or was disabled since): its next pull gets every record.
struct EntityState {
    bool enabled = true;
    bool slow = true;
    bool replace = false;
    std::optional<qint64> position;
    QDateTime lastSync;
};

// What one finished session writes, in one transaction.
struct SessionCommit {
    struct Pull {
        QString entity;
        qint64 position = 0;    // the log sequence the enumeration saw
        bool replaced = false;
        QList<PendingChange> requeue;   // delivered, not accepted
    };
    QString client;
    QDateTime finishedAt;
    QList<StoreOp> ops;
    QStringList syncedEntities;   // last sync date set, slow flag cleared
    QList<std::pair<QString, QString>> renames;   // record id -> the id the client gave it
    QList<Pull> pulls;
};

// The hub's SQLite file. Opening takes an exclusive lock beside the file for
// the object's lifetime. Every failure to open, read or write raises
// ISyncSessionUnavailableException; a file that is no store of ours (or fails
// SQLite's check) is moved aside first, never emptied.
class SyncStore {
public:
    explicit SyncStore(const QString& path);
    ~SyncStore();
    SyncStore(const SyncStore&) = delete;
    SyncStore& operator=(const SyncStore&) = delete;

    const QString& path() const { return m_path; }

    std::optional<ClientRow> client(const QString& id);
    // Creates or updates the client; entities new to it start enabled and slow.
    void saveClient(const ClientRow& row);
    void removeClient(const QString& id);

    EntityState entityState(const QString& client, const QString& entity);
    // Enabling an entity that was disabled makes its next sync slow and its
    // next pull deliver every record.
    void setEntitiesEnabled(const QString& client, const QStringList& entities, bool enabled);
    // Replace: the next pull replaces the client's records, the next push is slow.
    void setEntitiesReplace(const QString& client, const QStringList& entities, bool replace);

    // The record's fields (its entity name under the entity key).
    std::optional<QVariantMap> record(const QString& id);
    std::optional<QString> recordEntity(const QString& id);
    QStringList recordIdentifiers(const QString& entity);

    // The last sequence number the change log handed out.
    qint64 lastSequence();
    // The changes of other clients to the entity after position, and those
    // delivered to the client before and not accepted, one per record.
    QList<PendingChange> pendingChanges(const QString& client, const QString& entity, qint64 position);

    // Writes a finished session; answers the entities whose records changed.
    QSet<QString> commit(const SessionCommit& commit);

    // Runs inside every commit's transaction just before it is committed
    // (tests stop a process there).
    static void setBeforeCommitHook(std::function<void()> hook);

private:
    class Statement;
    friend class Statement;

    void open();
    void createSchema();
    void checkSchema();
    [[noreturn]] void moveAside(const QString& why);
    [[noreturn]] void fail(const QString& what) const;
    void exec(const char* sql);
    sqlite3_stmt* prepared(const char* sql);
    // Answers the stored form of the fields.
    QByteArray writeRecord(const QString& id, const QString& entity, const QVariantMap& fields);
    void logChange(const QString& client, const QString& recordId, const QString& entity, SyncChange::Type type,
                   const QStringList& names, const QByteArray& changes);
    void deleteWithSubRecords(const QString& client, const QString& id, const QString& entity, QSet<QString>& changed);
    void logConflicts(const QString& client, const QString& id, qint64 position, const QVariantMap& ours);
    void applyOp(const QString& client, const StoreOp& op, qint64 position, QSet<QString>& changed);
    void renameRecord(const QString& client, const QString& from, const QString& to, QSet<QString>& changed);

    QString m_path;
    int m_lockFd = -1;
    sqlite3* m_db = nullptr;
    QHash<const char*, sqlite3_stmt*> m_statements;
};

} // namespace platform::syncengine
