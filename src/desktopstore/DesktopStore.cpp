#include "desktopstore/DesktopStore.h"

#include "desktopstore/DesktopStoreLog.h"
#include "foundation/NamedLog.h"
#include "platform/Exception.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"
#include "syncengine/SyncValues.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QUuid>

#include <sys/stat.h>

namespace desktopstore {

using platform::ISyncRecordEntityNameKey;
using platform::SyncChange;

const QString DesktopStore::kClientIdentifier = platform::kSyncClientIdentifierPrefix + QStringLiteral(".desktopstore");

namespace {

// A bigger item file is no contact: it is skipped.
constexpr qint64 kMaxItemFileSize = 16 * 1024 * 1024;

const QString kContactKey = QStringLiteral("contact");
const QString kFilesKey = QStringLiteral("Files");

const QStringList& contactEntities()
{
    static const QStringList names{platform::entity::Contact, platform::entity::PhoneNumber,
                                   platform::entity::EmailAddress, platform::entity::URL,
                                   platform::entity::StreetAddress};
    return names;
}

void log(const QString& message)
{
    qCInfo(lcDesktopStore).noquote() << message;
    QVLOG(qvlog::kSE, message);
}

// Item files: not hidden, not an editor's backup or temporary file.
bool isItemFileName(const QString& name, const QString& suffix)
{
    return !name.startsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char('~'))
        && name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size();
}

bool isSafeUid(const QString& uid)
{
    if (uid.isEmpty() || uid.size() > 200 || uid.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar ch : uid) {
        const bool ok = (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) || (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
            || (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('-') || ch == QLatin1Char('_')
            || ch == QLatin1Char('.') || ch == QLatin1Char('@');
        if (!ok)
            return false;
    }
    return true;
}

QString freshId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// "<mtime ns>-<size>-<inode>", empty when the file cannot be seen.
QString etagOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const qint64 ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return QStringLiteral("%1-%2-%3").arg(ns).arg(qint64(st.st_size)).arg(quint64(st.st_ino));
}

QByteArray hashOf(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    const std::optional<QVariant> na = platform::syncengine::normalizedValue(a);
    const std::optional<QVariant> nb = platform::syncengine::normalizedValue(b);
    return na && nb ? *na == *nb : a == b;
}

// The hub's records of a contact read from a file: the contact under recordId,
// its sub-records under the ids they had in old (matched by entity and
// position), new ones under fresh ids.
QVariantMap recordsOf(const ContactItem& item, const QString& recordId, const QVariantMap& old)
{
    QVariantMap contact = item.contact;
    contact.insert(ISyncRecordEntityNameKey, platform::entity::Contact);
    QVariantMap records;
    const QVariantMap oldContact = old.value(recordId).toMap();
    QHash<QString, int> used;
    for (QVariantMap sub : item.subRecords) {
        const QString listKey = listKeyForEntity(sub.value(ISyncRecordEntityNameKey).toString());
        const QVariantList oldIds = oldContact.value(listKey).toList();
        const int index = used[listKey]++;
        const QString id = index < oldIds.size() ? oldIds[index].toString() : freshId();
        sub.insert(kContactKey, QVariantList{recordId});
        records.insert(id, sub);
        QVariantList ids = contact.value(listKey).toList();
        ids.append(id);
        contact.insert(listKey, ids);
    }
    records.insert(recordId, contact);
    return records;
}

// The contact of a file's records (its sub-records in the order of the
// contact's lists).
ContactItem itemOf(const QString& uid, const QString& recordId, const QVariantMap& records)
{
    ContactItem item;
    item.uid = uid;
    QVariantMap contact = records.value(recordId).toMap();
    contact.remove(ISyncRecordEntityNameKey);
    for (const QString& entity : contactEntities().mid(1)) {
        const QString listKey = listKeyForEntity(entity);
        for (const QVariant& id : contact.value(listKey).toList()) {
            QVariantMap sub = records.value(id.toString()).toMap();
            if (sub.value(ISyncRecordEntityNameKey).toString() != entity)
                continue;
            sub.remove(kContactKey);
            item.subRecords.append(sub);
        }
        contact.remove(listKey);
    }
    item.contact = contact;
    return item;
}

QVariantList fieldChanges(const QVariantMap& before, const QVariantMap& after)
{
    QVariantList changes;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()) || !sameValue(before.value(it.key()), it.value()))
            changes.append(SyncChange::setChange(it.key(), it.value()));
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changes.append(SyncChange::clearChange(it.key()));
    }
    return changes;
}

// The changes that turn the records before into those after.
void diffRecords(const QVariantMap& before, const QVariantMap& after, QList<SyncChange>& out)
{
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QVariantMap record = it.value().toMap();
        if (!before.contains(it.key())) {
            out.append(SyncChange(SyncChange::Add, it.key(), fieldChanges({}, record)));
        } else {
            const QVariantList changes = fieldChanges(before.value(it.key()).toMap(), record);
            if (!changes.isEmpty())
                out.append(SyncChange(SyncChange::Modify, it.key(), changes));
        }
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            out.append(SyncChange(SyncChange::Delete, it.key()));
    }
}

} // namespace

QString DesktopStore::defaultRootPath()
{
    const QString configured = platform::UserDefaults::standard().string(kDesktopStorePathKey);
    if (!configured.isEmpty())
        return platform::paths::expandTilde(configured);
    return platform::paths::applicationSupportDirectory() + QStringLiteral("/desktop");
}

DesktopStore::DesktopStore(platform::ISyncManager& manager, QString rootPath)
    : m_manager(manager)
    , m_root(std::move(rootPath))
{
    loadState();
}

DesktopStore::~DesktopStore() = default;

QString DesktopStore::itemPath(const QString& relative) const
{
    return m_root + QLatin1Char('/') + relative;
}

std::shared_ptr<platform::ISyncClient> DesktopStore::client()
{
    if (std::shared_ptr<platform::ISyncClient> existing = m_manager.clientWithIdentifier(kClientIdentifier))
        return existing;
    const QString description = itemPath(kClientDescriptionFileName);
    QVariantList entities;
    for (const QString& e : contactEntities())
        entities.append(e);
    QDir().mkpath(m_root);
    platform::plist::writeFile(description,
                               QVariantMap{{platform::ISyncClientDescriptionEntitiesKey, entities},
                                           {platform::ISyncClientDescriptionDisplayNameKey, QStringLiteral("Desktop")}});
    return m_manager.registerClientWithIdentifier(kClientIdentifier, description);
}

void DesktopStore::start()
{
    QDir().mkpath(itemPath(kContactsFolderName));
    client()->setSyncAlertHandler([alive = std::weak_ptr<int>(m_alive), this](const auto&, const QStringList&) {
        if (alive.lock())
            synchronize();
    });
    m_watcher = std::make_unique<QFileSystemWatcher>(QStringList{itemPath(kContactsFolderName)});
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, [this] { synchronize(); });
    m_timer.setCallback([this] { synchronize(); });
    m_timer.start(kScanInterval, true);
    synchronize();
}

DesktopStore::Scan DesktopStore::scan() const
{
    Scan result;
    const QDir folder(itemPath(kContactsFolderName));
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    QSet<QString> seen;
    for (const QString& name : names) {
        if (!isItemFileName(name, QStringLiteral(".vcf")))
            continue;
        const QString relative = kContactsFolderName + QLatin1Char('/') + name;
        const QString path = itemPath(relative);
        const auto known = m_files.constFind(relative);
        FileEntry entry = known != m_files.cend() ? *known : FileEntry();
        const QString etag = etagOf(path);
        if (known == m_files.cend() || etag != known->etag) {
            QString error;
            const std::optional<QByteArray> data =
                platform::readRegularFile(path, kMaxItemFileSize, platform::Symlinks::Follow, &error);
            if (!data) {
                log(QStringLiteral("Desktop store: %1 skipped: %2").arg(relative, error));
                if (known != m_files.cend())
                    result.files.insert(relative, entry);
                seen.insert(relative);
                continue;
            }
            const QByteArray hash = hashOf(*data);
            if (known == m_files.cend() || hash != known->hash) {
                const std::optional<ContactItem> item = readContactCard(*data, &error);
                if (!item) {
                    // Left as it is, and what the hub had of it stays.
                    log(QStringLiteral("Desktop store: %1 skipped: %2").arg(relative, error));
                    if (known != m_files.cend())
                        result.files.insert(relative, entry);
                    seen.insert(relative);
                    continue;
                }
                if (entry.recordId.isEmpty())
                    entry.recordId = freshId();
                entry.uid = item->uid;
                const QVariantMap records = recordsOf(*item, entry.recordId, entry.records);
                diffRecords(entry.records, records, result.changes);
                entry.records = records;
            }
            entry.etag = etag;
            entry.hash = hash;
        }
        seen.insert(relative);
        result.files.insert(relative, entry);
    }
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (!seen.contains(it.key()))
            diffRecords(it->records, {}, result.changes);
    }
    return result;
}

QList<SyncChange> DesktopStore::pendingChanges()
{
    return scan().changes;
}

void DesktopStore::synchronize(std::function<void(bool)> done)
{
    if (m_syncing) {
        m_again = true;
        if (done)
            done(false);
        return;
    }
    m_syncing = true;
    m_timer.stop();
    try {
        const std::shared_ptr<platform::ISyncSession> session =
            platform::ISyncSession::beginSessionWithClient(client(), contactEntities(), {});
        if (!session) {
            endSync(false, done);
            return;
        }
        pushAndPull(session, scan(), std::move(done));
    } catch (const platform::Exception& e) {
        log(QStringLiteral("Desktop store: no session: %1").arg(e.reason()));
        endSync(false, done);
    }
}

void DesktopStore::pushAndPull(const std::shared_ptr<platform::ISyncSession>& session, Scan scanned,
                               std::function<void(bool)> done)
{
    // A store the hub has not seen (a new root, or the first run) pushes all.
    if (m_files.isEmpty() && !scanned.files.isEmpty())
        session->clientWantsToPushAllRecordsForEntityNames(contactEntities());
    if (session->shouldPushAllRecordsForEntityName(platform::entity::Contact)) {
        for (const FileEntry& entry : std::as_const(scanned.files)) {
            for (auto it = entry.records.cbegin(); it != entry.records.cend(); ++it)
                session->pushChangesFromRecord(it.value().toMap(), it.key());
        }
    } else {
        for (const SyncChange& change : scanned.changes)
            session->pushChange(change);
    }
    session->prepareToPullChangesInBackgroundForEntityNames(
        contactEntities(), [this, alive = std::weak_ptr<int>(m_alive), files = std::move(scanned.files),
                            done = std::move(done)](const auto&, const auto& s) {
            if (!alive.lock())
                return;
            try {
                pull(s, files);
                endSync(true, done);
            } catch (const platform::Exception& e) {
                log(QStringLiteral("Desktop store: sync failed: %1").arg(e.reason()));
                s->cancelSyncing();
                endSync(false, done);
            }
        });
}

void DesktopStore::pull(const std::shared_ptr<platform::ISyncSession>& session, FileMap files)
{
    const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(contactEntities());
    QHash<QString, QString> fileOf;   // record id -> relative path
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        for (auto r = it->records.cbegin(); r != it->records.cend(); ++r)
            fileOf.insert(r.key(), it.key());
    }
    QSet<QString> touched;
    QSet<QString> removed;
    QStringList accepted;
    // Contacts first, so their sub-records find the file they belong to.
    for (const int pass : {0, 1}) {
        for (const SyncChange& change : changes) {
            const QString& id = change.recordIdentifier();
            const QString entity = change.record().value(ISyncRecordEntityNameKey).toString();
            const bool isContact = change.type() == SyncChange::Delete ? fileOf.contains(id)
                    && files.value(fileOf.value(id)).recordId == id
                                                                       : entity == platform::entity::Contact;
            if ((pass == 0) != isContact)
                continue;
            accepted.append(id);
            if (change.type() == SyncChange::Delete) {
                const QString relative = fileOf.value(id);
                if (relative.isEmpty())
                    continue;
                FileEntry& entry = files[relative];
                if (isContact) {
                    removed.insert(relative);
                } else {
                    entry.records.remove(id);
                    touched.insert(relative);
                }
                continue;
            }
            QString relative = fileOf.value(id);
            if (relative.isEmpty()) {
                if (isContact) {
                    FileEntry entry;
                    entry.recordId = id;
                    entry.uid = isSafeUid(id) ? id : freshId();
                    relative = kContactsFolderName + QLatin1Char('/') + entry.uid + QStringLiteral(".vcf");
                    while (files.contains(relative) || QFile::exists(itemPath(relative))) {
                        entry.uid = freshId();
                        relative = kContactsFolderName + QLatin1Char('/') + entry.uid + QStringLiteral(".vcf");
                    }
                    files.insert(relative, entry);
                } else {
                    const QString owner = change.record().value(kContactKey).toList().value(0).toString();
                    relative = fileOf.value(owner);
                    if (relative.isEmpty())
                        continue;   // kept in the hub; no file to carry it
                }
                fileOf.insert(id, relative);
            }
            files[relative].records.insert(id, change.record());
            touched.insert(relative);
        }
    }
    for (const QString& relative : removed) {
        const FileEntry entry = files.take(relative);
        if (!QFile::remove(itemPath(relative)) && QFile::exists(itemPath(relative)))
            log(QStringLiteral("Desktop store: %1 could not be removed").arg(relative));
        touched.remove(relative);
    }
    for (const QString& relative : std::as_const(touched)) {
        FileEntry& entry = files[relative];
        const QString path = itemPath(relative);
        QByteArray previous;
        if (QFile::exists(path)) {
            if (const std::optional<QByteArray> data =
                    platform::readRegularFile(path, kMaxItemFileSize, platform::Symlinks::Follow))
                previous = *data;
        }
        const QByteArray text = writeContactCard(itemOf(entry.uid, entry.recordId, entry.records), previous);
        QString error;
        if (!platform::writeFileAtomically(path, text, &error)) {
            log(QStringLiteral("Desktop store: %1 not written: %2").arg(relative, error));
            throw platform::Exception(platform::ISyncSessionUnavailableException, error);
        }
        // What the file carries is what the next scan compares with.
        const std::optional<ContactItem> written = readContactCard(text, nullptr);
        entry.records = recordsOf(*written, entry.recordId, entry.records);
        entry.etag = etagOf(path);
        entry.hash = hashOf(text);
    }
    for (const QString& id : std::as_const(accepted))
        session->clientAcceptedChangesForRecordWithIdentifier(id, {}, {});
    session->clientCommittedAcceptedChanges();
    session->finishSyncing();
    m_files = std::move(files);
    saveState();
}

void DesktopStore::endSync(bool finished, const std::function<void(bool)>& done)
{
    m_syncing = false;
    m_timer.start(kScanInterval, true);
    if (done)
        done(finished);
    if (m_again) {
        m_again = false;
        synchronize();
    }
}

void DesktopStore::loadState()
{
    if (!QFile::exists(itemPath(kStateFileName)))
        return;
    const QVariant state = platform::plist::readFile(itemPath(kStateFileName));
    const QVariantMap files = state.toMap().value(kFilesKey).toMap();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QVariantMap f = it.value().toMap();
        FileEntry entry;
        entry.etag = f.value(QStringLiteral("etag")).toString();
        entry.hash = f.value(QStringLiteral("hash")).toByteArray();
        entry.uid = f.value(QStringLiteral("uid")).toString();
        entry.recordId = f.value(QStringLiteral("id")).toString();
        entry.records = f.value(QStringLiteral("records")).toMap();
        if (!entry.recordId.isEmpty())
            m_files.insert(it.key(), entry);
    }
}

void DesktopStore::saveState() const
{
    QVariantMap files;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        files.insert(it.key(), QVariantMap{{QStringLiteral("etag"), it->etag},
                                           {QStringLiteral("hash"), it->hash},
                                           {QStringLiteral("uid"), it->uid},
                                           {QStringLiteral("id"), it->recordId},
                                           {QStringLiteral("records"), it->records}});
    }
    if (!platform::plist::writeFile(itemPath(kStateFileName), QVariantMap{{kFilesKey, files}}))
        log(QStringLiteral("Desktop store: %1 not written").arg(kStateFileName));
}

} // namespace desktopstore
