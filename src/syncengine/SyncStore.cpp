#include "syncengine/SyncStore.h"

#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "syncengine/SyncEngineLog.h"
#include "syncengine/SyncEngineNames.h"
#include "syncengine/SyncValues.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform::syncengine {

namespace {

constexpr int kSchemaVersion = 1;

// The keys through which a sub-record names the record it belongs to.
const QStringList& parentKeys()
{
    static const QStringList keys{QStringLiteral("contact"), QStringLiteral("owner")};
    return keys;
}

QString parentOf(const QVariantMap& fields)
{
    for (const QString& key : parentKeys()) {
        const QVariant value = fields.value(key);
        if (value.typeId() == QMetaType::QVariantList) {
            const QVariantList list = value.toList();
            if (!list.isEmpty() && list.first().typeId() == QMetaType::QString)
                return list.first().toString();
        } else if (value.typeId() == QMetaType::QString) {
            return value.toString();
        }
    }
    return {};
}

QByteArray namesText(const QStringList& names)
{
    return QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact);
}

QStringList namesFromText(const QByteArray& text)
{
    QStringList names;
    for (const QJsonValue& v : QJsonDocument::fromJson(text).array())
        names.append(v.toString());
    return names;
}

std::function<void()>& beforeCommitHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

// A cached prepared statement, reset and cleared when the scope ends.
class SyncStore::Statement {
public:
    Statement(SyncStore& store, const char* sql) : m_store(store), m_stmt(store.prepared(sql)) {}
    ~Statement()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const QString& text)
    {
        if (text.isNull())
            return bindNull(index);
        const QByteArray utf8 = text.toUtf8();
        check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int index, const QByteArray& blob)
    {
        check(sqlite3_bind_blob(m_stmt, index, blob.constData(), int(blob.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int index, qint64 value)
    {
        check(sqlite3_bind_int64(m_stmt, index, value));
        return *this;
    }
    Statement& bind(int index, const std::optional<qint64>& value)
    {
        return value ? bind(index, *value) : bindNull(index);
    }
    Statement& bindNull(int index)
    {
        check(sqlite3_bind_null(m_stmt, index));
        return *this;
    }

    // True while there is a row.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        m_store.fail(QStringLiteral("step"));
    }
    void run()
    {
        while (step()) {
        }
    }

    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const
    {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
    }
    QByteArray blob(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            m_store.fail(QStringLiteral("bind"));
    }

    SyncStore& m_store;
    sqlite3_stmt* m_stmt;
};

SyncStore::SyncStore(const QString& path)
    : m_path(path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0)
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("cannot create the lock file of the sync store %1").arg(path));
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("the sync store %1 is in use by another process").arg(path));
    }
    try {
        open();
    } catch (...) {
        for (sqlite3_stmt* stmt : std::as_const(m_statements))
            sqlite3_finalize(stmt);
        m_statements.clear();
        sqlite3_close(m_db);
        m_db = nullptr;
        ::close(m_lockFd);
        m_lockFd = -1;
        throw;
    }
}

SyncStore::~SyncStore()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

void SyncStore::setBeforeCommitHook(std::function<void()> hook)
{
    beforeCommitHook() = std::move(hook);
}

void SyncStore::open()
{
    const QByteArray fsPath = QFile::encodeName(m_path);
    if (sqlite3_open_v2(fsPath.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        fail(QStringLiteral("open"));
    // The first read finds a file that is no database (or, after a crash, rolls
    // back the unfinished transaction).
    char* message = nullptr;
    int version = -1;
    const int rc = sqlite3_exec(
        m_db, "PRAGMA user_version",
        [](void* out, int, char** values, char**) {
            *static_cast<int*>(out) = values[0] ? std::atoi(values[0]) : 0;
            return 0;
        },
        &version, &message);
    sqlite3_free(message);
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
        moveAside(QString::fromUtf8(sqlite3_errstr(rc)));
    if (rc != SQLITE_OK)
        fail(QStringLiteral("open"));

    QString check;
    {
        Statement quick(*this, "PRAGMA quick_check(1)");
        if (quick.step())
            check = quick.text(0).section(QLatin1Char('\n'), 0, 0).left(200);
    }
    if (check != QStringLiteral("ok"))
        moveAside(check);

    if (version > kSchemaVersion)
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("the sync store %1 was written by a newer version (%2)").arg(m_path).arg(version));
    exec("PRAGMA foreign_keys = OFF");
    exec("PRAGMA synchronous = FULL");
    if (version == 0)
        createSchema();
    else
        checkSchema();
}

void SyncStore::createSchema()
{
    int tables = 0;
    {
        Statement count(*this, "SELECT COUNT(*) FROM sqlite_master");
        if (count.step())
            tables = int(count.integer(0));
    }
    if (tables != 0)
        moveAside(QStringLiteral("tables without a schema version"));
    exec("BEGIN IMMEDIATE");
    exec("CREATE TABLE records(id TEXT PRIMARY KEY, entity TEXT NOT NULL, parent TEXT, fields BLOB NOT NULL);"
         "CREATE INDEX records_entity ON records(entity);"
         "CREATE INDEX records_parent ON records(parent);"
         "CREATE TABLE clients(id TEXT PRIMARY KEY, display_name TEXT, image_path TEXT,"
         " description_path TEXT, entities TEXT NOT NULL);"
         "CREATE TABLE client_entities(client TEXT NOT NULL, entity TEXT NOT NULL, enabled INTEGER NOT NULL,"
         " slow INTEGER NOT NULL, replace INTEGER NOT NULL, position INTEGER, last_sync INTEGER,"
         " PRIMARY KEY(client, entity));"
         "CREATE TABLE change_log(seq INTEGER PRIMARY KEY AUTOINCREMENT, record TEXT NOT NULL,"
         " entity TEXT NOT NULL, type INTEGER NOT NULL, names TEXT NOT NULL, changes BLOB, client TEXT NOT NULL);"
         "CREATE INDEX change_log_entity ON change_log(entity, seq);"
         "CREATE INDEX change_log_record ON change_log(record, seq);"
         "CREATE TABLE pull_queue(client TEXT NOT NULL, entity TEXT NOT NULL, record TEXT NOT NULL,"
         " type INTEGER NOT NULL, names TEXT NOT NULL, PRIMARY KEY(client, entity, record));"
         "PRAGMA user_version = 1;");
    exec("COMMIT");
}

void SyncStore::checkSchema()
{
    static const QStringList expected{QStringLiteral("change_log"), QStringLiteral("client_entities"),
                                      QStringLiteral("clients"), QStringLiteral("pull_queue"),
                                      QStringLiteral("records")};
    QStringList found;
    {
        Statement tables(*this, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        while (tables.step())
            found.append(tables.text(0));
    }
    for (const QString& name : expected) {
        if (!found.contains(name))
            moveAside(QStringLiteral("table %1 missing").arg(name));
    }
}

void SyncStore::moveAside(const QString& why)
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    sqlite3_close(m_db);
    m_db = nullptr;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = m_path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    const bool moved = QFile::rename(m_path, aside);
    // A rollback journal belongs to the file it was written for.
    const QString journal = m_path + QStringLiteral("-journal");
    if (moved && QFile::exists(journal))
        QFile::rename(journal, aside + QStringLiteral("-journal"));
    logLine(moved ? QStringLiteral("The sync store %1 is damaged (%2); moved aside to %3").arg(m_path, why, aside)
                  : QStringLiteral("The sync store %1 is damaged (%2) and could not be moved aside").arg(m_path, why));
    throw Exception(ISyncSessionUnavailableException, QStringLiteral("the sync store %1 is damaged: %2").arg(m_path, why));
}

void SyncStore::fail(const QString& what) const
{
    const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no database");
    throw Exception(ISyncSessionUnavailableException,
                    QStringLiteral("sync store %1: %2 failed: %3").arg(m_path, what, reason));
}

void SyncStore::exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        fail(QString::fromLatin1(sql).left(40));
}

sqlite3_stmt* SyncStore::prepared(const char* sql)
{
    if (sqlite3_stmt* stmt = m_statements.value(sql))
        return stmt;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        fail(QStringLiteral("prepare"));
    m_statements.insert(sql, stmt);
    return stmt;
}

std::optional<ClientRow> SyncStore::client(const QString& id)
{
    Statement q(*this, "SELECT display_name, image_path, description_path, entities FROM clients WHERE id = ?1");
    q.bind(1, id);
    if (!q.step())
        return std::nullopt;
    return ClientRow{id, q.text(0), q.text(1), q.text(2), namesFromText(q.blob(3))};
}

void SyncStore::saveClient(const ClientRow& row)
{
    exec("BEGIN IMMEDIATE");
    try {
        Statement(*this, "INSERT OR REPLACE INTO clients(id, display_name, image_path, description_path, entities)"
                         " VALUES(?1, ?2, ?3, ?4, ?5)")
            .bind(1, row.id)
            .bind(2, row.displayName)
            .bind(3, row.imagePath)
            .bind(4, row.descriptionPath)
            .bind(5, namesText(row.entities))
            .run();
        for (const QString& entity : row.entities) {
            Statement(*this, "INSERT OR IGNORE INTO client_entities(client, entity, enabled, slow, replace)"
                             " VALUES(?1, ?2, 1, 1, 0)")
                .bind(1, row.id)
                .bind(2, entity)
                .run();
        }
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SyncStore::removeClient(const QString& id)
{
    exec("BEGIN IMMEDIATE");
    try {
        for (const char* sql : {"DELETE FROM clients WHERE id = ?1", "DELETE FROM client_entities WHERE client = ?1",
                                "DELETE FROM pull_queue WHERE client = ?1"})
            Statement(*this, sql).bind(1, id).run();
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

EntityState SyncStore::entityState(const QString& client, const QString& entity)
{
    Statement q(*this, "SELECT enabled, slow, replace, position, last_sync FROM client_entities"
                       " WHERE client = ?1 AND entity = ?2");
    q.bind(1, client).bind(2, entity);
    EntityState state;
    if (!q.step()) {
        state.enabled = false;
        return state;
    }
    state.enabled = q.integer(0) != 0;
    state.slow = q.integer(1) != 0;
    state.replace = q.integer(2) != 0;
    if (!q.isNull(3))
        state.position = q.integer(3);
    if (!q.isNull(4))
        state.lastSync = QDateTime::fromMSecsSinceEpoch(q.integer(4), Qt::UTC);
    return state;
}

void SyncStore::setEntitiesEnabled(const QString& client, const QStringList& entities, bool enabled)
{
    for (const QString& entity : entities) {
        if (enabled) {
            Statement(*this, "UPDATE client_entities SET enabled = 1, slow = 1, position = NULL"
                             " WHERE client = ?1 AND entity = ?2 AND enabled = 0")
                .bind(1, client)
                .bind(2, entity)
                .run();
        } else {
            Statement(*this, "UPDATE client_entities SET enabled = 0, position = NULL WHERE client = ?1 AND entity = ?2")
                .bind(1, client)
                .bind(2, entity)
                .run();
        }
    }
}

void SyncStore::setEntitiesReplace(const QString& client, const QStringList& entities, bool replace)
{
    for (const QString& entity : entities) {
        Statement(*this, replace ? "UPDATE client_entities SET replace = 1, slow = 1 WHERE client = ?1 AND entity = ?2"
                                 : "UPDATE client_entities SET replace = 0 WHERE client = ?1 AND entity = ?2")
            .bind(1, client)
            .bind(2, entity)
            .run();
    }
}

std::optional<QVariantMap> SyncStore::record(const QString& id)
{
    Statement q(*this, "SELECT fields FROM records WHERE id = ?1");
    q.bind(1, id);
    if (!q.step())
        return std::nullopt;
    QString error;
    const QVariant fields = plist::read(q.blob(0), &error);
    if (fields.typeId() != QMetaType::QVariantMap)
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("sync store %1: record %2 is unreadable: %3").arg(m_path, id, error));
    return fields.toMap();
}

std::optional<QString> SyncStore::recordEntity(const QString& id)
{
    Statement q(*this, "SELECT entity FROM records WHERE id = ?1");
    q.bind(1, id);
    if (!q.step())
        return std::nullopt;
    return q.text(0);
}

QStringList SyncStore::recordIdentifiers(const QString& entity)
{
    QStringList ids;
    Statement q(*this, "SELECT id FROM records WHERE entity = ?1 ORDER BY rowid");
    q.bind(1, entity);
    while (q.step())
        ids.append(q.text(0));
    return ids;
}

qint64 SyncStore::lastSequence()
{
    Statement q(*this, "SELECT seq FROM sqlite_sequence WHERE name = 'change_log'");
    return q.step() ? q.integer(0) : 0;
}

QList<PendingChange> SyncStore::pendingChanges(const QString& client, const QString& entity, qint64 position)
{
    // Per record: the type of its first change, whether it was ever deleted,
    // and the properties touched, in the order the records first appear.
    struct Collapsed {
        SyncChange::Type first;
        bool deleted = false;
        QStringList names;
    };
    QHash<QString, Collapsed> byRecord;
    QStringList order;
    auto add = [&](const QString& id, int type, const QStringList& names) {
        auto it = byRecord.find(id);
        if (it == byRecord.end()) {
            it = byRecord.insert(id, Collapsed{SyncChange::Type(type), false, {}});
            order.append(id);
        }
        if (type == SyncChange::Delete)
            it->deleted = true;
        for (const QString& name : names) {
            if (!it->names.contains(name))
                it->names.append(name);
        }
    };
    {
        Statement q(*this, "SELECT record, type, names FROM pull_queue WHERE client = ?1 AND entity = ?2 ORDER BY rowid");
        q.bind(1, client).bind(2, entity);
        while (q.step())
            add(q.text(0), int(q.integer(1)), namesFromText(q.blob(2)));
    }
    {
        Statement q(*this, "SELECT record, type, names FROM change_log"
                           " WHERE entity = ?1 AND seq > ?2 AND client <> ?3 ORDER BY seq");
        q.bind(1, entity).bind(2, position).bind(3, client);
        while (q.step())
            add(q.text(0), int(q.integer(1)), namesFromText(q.blob(2)));
    }

    QList<PendingChange> result;
    result.reserve(order.size());
    for (const QString& id : std::as_const(order)) {
        const Collapsed& c = byRecord[id];
        const bool exists = recordEntity(id).has_value();
        if (!exists) {
            // Added and deleted again: the client never saw it.
            if (c.first != SyncChange::Add)
                result.append({id, SyncChange::Delete, {}});
        } else if (c.first == SyncChange::Add || c.deleted) {
            result.append({id, SyncChange::Add, {}});
        } else {
            result.append({id, SyncChange::Modify, c.names});
        }
    }
    return result;
}

QByteArray SyncStore::writeRecord(const QString& id, const QString& entity, const QVariantMap& fields)
{
    QString error;
    QByteArray blob = plist::toXml(fields, &error);
    if (blob.isEmpty())
        throw Exception(ISyncInvalidArgumentsException, QStringLiteral("record %1: %2").arg(id, error));
    const QString parent = parentOf(fields);
    Statement(*this, "INSERT OR REPLACE INTO records(id, entity, parent, fields) VALUES(?1, ?2, ?3, ?4)")
        .bind(1, id)
        .bind(2, entity)
        .bind(3, parent.isEmpty() ? QString() : parent)
        .bind(4, blob)
        .run();
    return blob;
}

void SyncStore::logChange(const QString& client, const QString& recordId, const QString& entity,
                          SyncChange::Type type, const QStringList& names, const QByteArray& changes)
{
    Statement(*this, "INSERT INTO change_log(record, entity, type, names, changes, client) VALUES(?1, ?2, ?3, ?4, ?5, ?6)")
        .bind(1, recordId)
        .bind(2, entity)
        .bind(3, qint64(type))
        .bind(4, namesText(names))
        .bind(5, changes)
        .bind(6, client)
        .run();
}

void SyncStore::deleteWithSubRecords(const QString& client, const QString& id, const QString& entity,
                                     QSet<QString>& changed)
{
    QList<std::pair<QString, QString>> work{{id, entity}};
    QSet<QString> seen{id};
    while (!work.isEmpty()) {
        const auto [recordId, recordEntity] = work.takeFirst();
        Statement(*this, "DELETE FROM records WHERE id = ?1").bind(1, recordId).run();
        logChange(client, recordId, recordEntity, SyncChange::Delete, {}, {});
        changed.insert(recordEntity);
        Statement children(*this, "SELECT id, entity FROM records WHERE parent = ?1");
        children.bind(1, recordId);
        while (children.step()) {
            const QString child = children.text(0);
            if (!seen.contains(child)) {
                seen.insert(child);
                work.append({child, children.text(1)});
            }
        }
    }
}

void SyncStore::logConflicts(const QString& client, const QString& id, qint64 position, const QVariantMap& ours)
{
    Statement q(*this, "SELECT client, type, changes FROM change_log"
                       " WHERE record = ?1 AND seq > ?2 AND client <> ?3 ORDER BY seq");
    q.bind(1, id).bind(2, position).bind(3, client);
    while (q.step()) {
        const QString other = q.text(0);
        // Their values: a whole record for an add, property changes otherwise
        // (a clear is an invalid value).
        QVariantMap theirs;
        const QVariant logged = plist::read(q.blob(2));
        if (q.integer(1) == SyncChange::Add) {
            theirs = logged.toMap();
        } else {
            for (const QVariant& entry : logged.toList()) {
                const QVariantMap change = entry.toMap();
                theirs.insert(change.value(ISyncChangePropertyNameKey).toString(),
                              change.value(ISyncChangePropertyValueKey));
            }
        }
        for (auto it = ours.cbegin(); it != ours.cend(); ++it) {
            if (!theirs.contains(it.key()) || theirs.value(it.key()) == it.value())
                continue;
            logLine(QStringLiteral("Conflict on record '%1' property '%2': '%3' from %4 replaced by '%5' from %6 "
                                   "(the later finish wins)")
                        .arg(id, it.key(), describeValue(theirs.value(it.key())), other, describeValue(it.value()),
                             client));
        }
    }
}

void SyncStore::applyOp(const QString& client, const StoreOp& op, qint64 position, QSet<QString>& changed)
{
    if (op.type == SyncChange::Delete) {
        if (const std::optional<QString> entity = recordEntity(op.recordId))
            deleteWithSubRecords(client, op.recordId, *entity, changed);
        return;
    }
    const std::optional<QVariantMap> current = record(op.recordId);
    if (!current && op.type == SyncChange::Modify) {
        logLine(QStringLiteral("Modify of record '%1' from %2 dropped: the record was deleted").arg(op.recordId, client));
        return;
    }
    QVariantMap fields = current.value_or(QVariantMap());
    QVariantList effective;
    QStringList names;
    QVariantMap ours;
    for (const QVariant& entry : op.changes) {
        const QVariantMap change = entry.toMap();
        const QString name = change.value(ISyncChangePropertyNameKey).toString();
        if (name == ISyncRecordEntityNameKey)
            continue;
        if (change.value(ISyncChangePropertyActionKey).toString() == ISyncChangePropertySet) {
            const QVariant value = change.value(ISyncChangePropertyValueKey);
            const auto it = fields.constFind(name);
            if (it != fields.cend() && *it == value)
                continue;
            fields.insert(name, value);
            ours.insert(name, value);
        } else {
            if (fields.remove(name) == 0)
                continue;
            ours.insert(name, QVariant());
        }
        effective.append(change);
        if (!names.contains(name))
            names.append(name);
    }
    if (!current) {
        fields.insert(ISyncRecordEntityNameKey, op.entity);
        const QByteArray blob = writeRecord(op.recordId, op.entity, fields);
        logChange(client, op.recordId, op.entity, SyncChange::Add, fields.keys(), blob);
        changed.insert(op.entity);
        return;
    }
    if (effective.isEmpty())
        return;
    const QString entity = current->value(ISyncRecordEntityNameKey).toString();
    logConflicts(client, op.recordId, position, ours);
    writeRecord(op.recordId, entity, fields);
    logChange(client, op.recordId, entity, SyncChange::Modify, names, plist::toXml(effective));
    changed.insert(entity);
}

// The other clients see a delete of the old id and an add of the new one; the
// sub-records that pointed to the old id point to the new one.
void SyncStore::renameRecord(const QString& client, const QString& from, const QString& to, QSet<QString>& changed)
{
    const std::optional<QVariantMap> fields = record(from);
    if (!fields || recordEntity(to)) {
        logLine(QStringLiteral("Record '%1' of %2 keeps its identifier: '%3' %4")
                    .arg(from, client, to, fields ? QStringLiteral("is taken") : QStringLiteral("has no record")));
        return;
    }
    const QString entity = fields->value(ISyncRecordEntityNameKey).toString();
    Statement(*this, "DELETE FROM records WHERE id = ?1").bind(1, from).run();
    logChange(client, from, entity, SyncChange::Delete, {}, {});
    const QByteArray blob = writeRecord(to, entity, *fields);
    logChange(client, to, entity, SyncChange::Add, fields->keys(), blob);
    changed.insert(entity);

    QList<std::pair<QString, QString>> children;
    {
        Statement q(*this, "SELECT id, entity FROM records WHERE parent = ?1");
        q.bind(1, from);
        while (q.step())
            children.append({q.text(0), q.text(1)});
    }
    for (const auto& [child, childEntity] : children) {
        QVariantMap childFields = record(child).value_or(QVariantMap());
        QVariantList changes;
        QStringList names;
        for (const QString& key : parentKeys()) {
            QVariantList list = childFields.value(key).toList();
            if (list.isEmpty() || list.first().toString() != from)
                continue;
            list.first() = to;
            childFields.insert(key, list);
            changes.append(SyncChange::setChange(key, list));
            names.append(key);
        }
        if (names.isEmpty())
            continue;
        writeRecord(child, childEntity, childFields);
        logChange(client, child, childEntity, SyncChange::Modify, names, plist::toXml(changes));
        changed.insert(childEntity);
    }
}

QSet<QString> SyncStore::commit(const SessionCommit& commit)
{
    exec("BEGIN IMMEDIATE");
    try {
        QSet<QString> changed;
        QHash<QString, qint64> positions;
        for (const StoreOp& op : commit.ops) {
            auto it = positions.find(op.entity);
            if (it == positions.end())
                it = positions.insert(op.entity, entityState(commit.client, op.entity).position.value_or(0));
            applyOp(commit.client, op, *it, changed);
        }
        for (const auto& [from, to] : commit.renames)
            renameRecord(commit.client, from, to, changed);
        QSet<QString> touched = changed;
        for (const SessionCommit::Pull& pull : commit.pulls) {
            touched.insert(pull.entity);
            Statement(*this, "UPDATE client_entities SET position = ?3, replace = CASE WHEN ?4 THEN 0 ELSE replace END"
                             " WHERE client = ?1 AND entity = ?2")
                .bind(1, commit.client)
                .bind(2, pull.entity)
                .bind(3, pull.position)
                .bind(4, qint64(pull.replaced))
                .run();
            Statement(*this, "DELETE FROM pull_queue WHERE client = ?1 AND entity = ?2")
                .bind(1, commit.client)
                .bind(2, pull.entity)
                .run();
            for (const PendingChange& again : pull.requeue) {
                Statement(*this, "INSERT OR REPLACE INTO pull_queue(client, entity, record, type, names)"
                                 " VALUES(?1, ?2, ?3, ?4, ?5)")
                    .bind(1, commit.client)
                    .bind(2, pull.entity)
                    .bind(3, again.recordId)
                    .bind(4, qint64(again.type))
                    .bind(5, namesText(again.names))
                    .run();
            }
        }
        for (const QString& entity : commit.syncedEntities) {
            Statement(*this, "UPDATE client_entities SET last_sync = ?3, slow = 0 WHERE client = ?1 AND entity = ?2")
                .bind(1, commit.client)
                .bind(2, entity)
                .bind(3, commit.finishedAt.toMSecsSinceEpoch())
                .run();
        }
        // What every client with a position has seen is no longer needed;
        // clients without one get every record at their next pull.
        for (const QString& entity : std::as_const(touched)) {
            Statement(*this, "DELETE FROM change_log WHERE entity = ?1 AND seq <= (SELECT MIN(position)"
                             " FROM client_entities WHERE entity = ?1 AND enabled = 1 AND position IS NOT NULL)")
                .bind(1, entity)
                .run();
        }
        if (beforeCommitHook())
            beforeCommitHook()();
        exec("COMMIT");
        return changed;
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace platform::syncengine
