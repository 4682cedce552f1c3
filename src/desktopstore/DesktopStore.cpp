#include "desktopstore/DesktopStore.h"

#include "desktopstore/CalendarItem.h"
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
#include <QFileInfo>
#include <QTimeZone>
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
const QString kCalendarKey = QStringLiteral("calendar");
const QString kTitleKey = QStringLiteral("title");
const QString kFilesKey = QStringLiteral("Files");
const QString kCalendarsKey = QStringLiteral("Calendars");
const QString kGroupsKey = QStringLiteral("Groups");
const QString kUnconfirmedKey = QStringLiteral("Unconfirmed");
const QString kStateKey = QStringLiteral("State");
const QString kPushedKey = QStringLiteral("Pushed");
const QString kSyncDateKey = QStringLiteral("SyncDate");
const QString kChangesKey = QStringLiteral("changes");
const QString kAllKey = QStringLiteral("all");
const QString kNameKey = QStringLiteral("name");
const QString kMembersKey = QStringLiteral("members");
const QString kDisplayNameFile = QStringLiteral("displayname");
const QString kColorFile = QStringLiteral("color");
const QString kColorKey = QStringLiteral("color");
// Events pulled without a calendar go here; the next scan makes it one.
const QString kDefaultCalendarFolder = QStringLiteral("calendar");

const QStringList& contactEntities()
{
    static const QStringList names{platform::entity::Contact, platform::entity::PhoneNumber,
                                   platform::entity::EmailAddress, platform::entity::URL,
                                   platform::entity::StreetAddress, platform::entity::Group};
    return names;
}

const QStringList& allEntities()
{
    static const QStringList names =
        contactEntities()
        + QStringList{platform::entity::Calendar,   platform::entity::Event,      platform::entity::Task,
                      platform::entity::Recurrence, platform::entity::AudioAlarm, platform::entity::DisplayAlarm,
                      platform::entity::Note};
    return names;
}

// A small text file (a calendar's display name), trimmed; empty when missing.
QString readSmallText(const QString& path)
{
    const std::optional<QByteArray> data = platform::readRegularFile(path, 4096, platform::Symlinks::Refuse);
    return data ? QString::fromUtf8(*data).trimmed() : QString();
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

const QString kOwnerKey = QStringLiteral("owner");

// How a file's main record holds its sub-records: the key through which a
// sub-record names its owner, the sub-record entities in the order a file
// lists them, and the owner's list field of each.
struct SubRecordKind {
    const QString& parentKey;
    QStringList entities;
    QString (*listKey)(const QString& entityName);
};

const SubRecordKind& contactSubRecords()
{
    static const SubRecordKind kind{kContactKey, contactEntities().mid(1, 4), &listKeyForEntity};
    return kind;
}

const SubRecordKind& calendarSubRecords()
{
    static const SubRecordKind kind{
        kOwnerKey,
        {platform::entity::Recurrence, platform::entity::AudioAlarm, platform::entity::DisplayAlarm},
        &calendarListKeyForEntity};
    return kind;
}

// The hub's records of an item read from a file: the main record under
// recordId, its sub-records under the ids they had in old (matched by entity
// and position), new ones under fresh ids.
QVariantMap recordsOf(QVariantMap main, const QList<QVariantMap>& subRecords, const SubRecordKind& kind,
                      const QString& recordId, const QVariantMap& old)
{
    QVariantMap records;
    const QVariantMap oldMain = old.value(recordId).toMap();
    QHash<QString, int> used;
    for (QVariantMap sub : subRecords) {
        const QString listKey = kind.listKey(sub.value(ISyncRecordEntityNameKey).toString());
        const QVariantList oldIds = oldMain.value(listKey).toList();
        const int index = used[listKey]++;
        const QString id = index < oldIds.size() ? oldIds[index].toString() : freshId();
        sub.insert(kind.parentKey, QVariantList{recordId});
        records.insert(id, sub);
        QVariantList ids = main.value(listKey).toList();
        ids.append(id);
        main.insert(listKey, ids);
    }
    records.insert(recordId, main);
    return records;
}

// The main record of a file's records without its entity name and lists, and
// its sub-records in the order of those lists.
std::pair<QVariantMap, QList<QVariantMap>> splitRecords(const QString& recordId, const QVariantMap& records,
                                                        const SubRecordKind& kind)
{
    QVariantMap main = records.value(recordId).toMap();
    main.remove(ISyncRecordEntityNameKey);
    QList<QVariantMap> subRecords;
    for (const QString& entity : kind.entities) {
        const QString listKey = kind.listKey(entity);
        for (const QVariant& id : main.value(listKey).toList()) {
            QVariantMap sub = records.value(id.toString()).toMap();
            if (sub.value(ISyncRecordEntityNameKey).toString() != entity)
                continue;
            sub.remove(kind.parentKey);
            subRecords.append(sub);
        }
        main.remove(listKey);
    }
    return {main, subRecords};
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

// The record id of a recurring event's moved occurrence: the event's id and
// the date it replaces, so it stays the same over rescans.
const QString kInstanceDateFormat = QStringLiteral("yyyyMMdd'T'HHmmss'Z'");

QString instanceId(const QString& eventId, const QDateTime& date)
{
    return eventId + QLatin1Char('.') + date.toUTC().toString(kInstanceDateFormat);
}

// The date of a moved occurrence of eventId from its record id; invalid for
// another record.
QDateTime instanceDate(const QString& eventId, const QString& id)
{
    if (id.size() != eventId.size() + 17 || !id.startsWith(eventId) || id.at(eventId.size()) != QLatin1Char('.'))
        return {};
    QDateTime date = QDateTime::fromString(id.mid(eventId.size() + 1), kInstanceDateFormat);
    date.setTimeZone(QTimeZone::utc());
    return date.isValid() && instanceId(eventId, date) == id ? date : QDateTime();
}

// Changes as the state file keeps them.
QVariantList changesToList(const QList<SyncChange>& changes)
{
    QVariantList list;
    for (const SyncChange& c : changes) {
        list.append(QVariantMap{{QStringLiteral("type"), int(c.type())},
                                {QStringLiteral("id"), c.recordIdentifier()},
                                {kChangesKey, c.changes()}});
    }
    return list;
}

QList<SyncChange> changesFromList(const QVariantList& list)
{
    QList<SyncChange> changes;
    for (const QVariant& v : list) {
        const QVariantMap m = v.toMap();
        const int type = m.value(QStringLiteral("type")).toInt();
        const QString id = m.value(QStringLiteral("id")).toString();
        if (type >= SyncChange::Add && type <= SyncChange::Delete && !id.isEmpty())
            changes.append(SyncChange(SyncChange::Type(type), id, m.value(kChangesKey).toList()));
    }
    return changes;
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
    recoverPull();
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
    for (const QString& e : allEntities())
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
    m_watcher = std::make_unique<QFileSystemWatcher>(QStringList{m_root, itemPath(kContactsFolderName)});
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, [this] { watchedFolderChanged(); });
    m_timer.setCallback([this] { synchronize(); });
    m_timer.start(kScanInterval, true);
    synchronize();
}

std::optional<QVariantMap> DesktopStore::readItem(const QByteArray& data, const QString& folderName,
                                                  const QString& calendarId, FileEntry& entry, QString* error) const
{
    if (folderName == kContactsFolderName) {
        const std::optional<ContactItem> item = readContactCard(data, error);
        if (!item)
            return std::nullopt;
        entry.uid = item->uid;
        entry.groups = item->groups;
        QVariantMap contact = item->contact;
        contact.insert(ISyncRecordEntityNameKey, platform::entity::Contact);
        return recordsOf(contact, item->subRecords, contactSubRecords(), entry.recordId, entry.records);
    }
    std::optional<CalendarItem> item = readCalendarItem(data, error);
    if (!item)
        return std::nullopt;
    entry.uid = item->uid;
    if (!calendarId.isEmpty())
        item->record.insert(kCalendarKey, QVariantList{calendarId});
    QVariantMap records = recordsOf(item->record, item->subRecords, calendarSubRecords(), entry.recordId,
                                    entry.records);
    // A moved occurrence is an event of its own in the same calendar.
    for (CalendarInstance& instance : item->instances) {
        if (!calendarId.isEmpty())
            instance.record.insert(kCalendarKey, QVariantList{calendarId});
        records.insert(instanceId(entry.recordId, instance.date), instance.record);
    }
    return records;
}

void DesktopStore::scanFolder(const QString& folderName, const QString& calendarId, Scan& result,
                              QSet<QString>& seen) const
{
    const QString suffix = folderName == kContactsFolderName ? QStringLiteral(".vcf") : QStringLiteral(".ics");
    const QDir folder(itemPath(folderName));
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        if (!isItemFileName(name, suffix))
            continue;
        const QString relative = folderName + QLatin1Char('/') + name;
        const QString path = itemPath(relative);
        const auto known = m_files.constFind(relative);
        FileEntry entry = known != m_files.cend() ? *known : FileEntry();
        seen.insert(relative);
        const QString etag = etagOf(path);
        if (m_skipped.value(relative) == etag) {
            // Skipped before and not changed since: not read or logged again.
            if (known != m_files.cend())
                result.files.insert(relative, *known);
            continue;
        }
        if (known == m_files.cend() || etag != known->etag) {
            QString error;
            const std::optional<QByteArray> data =
                platform::readRegularFile(path, kMaxItemFileSize, platform::Symlinks::Follow, &error);
            const QByteArray hash = data ? hashOf(*data) : QByteArray();
            if (data && (known == m_files.cend() || hash != known->hash)) {
                if (entry.recordId.isEmpty())
                    entry.recordId = freshId();
                if (const std::optional<QVariantMap> records = readItem(*data, folderName, calendarId, entry, &error)) {
                    diffRecords(entry.records, *records, result.changes);
                    entry.records = *records;
                } else {
                    entry.recordId = known != m_files.cend() ? known->recordId : QString();
                }
            }
            if (!error.isEmpty()) {
                // Left as it is, and what the hub had of it stays.
                log(QStringLiteral("Desktop store: %1 skipped: %2").arg(relative, error));
                m_skipped.insert(relative, etag);
                if (known != m_files.cend())
                    result.files.insert(relative, *known);
                continue;
            }
            entry.etag = etag;
            entry.hash = hash;
        }
        result.files.insert(relative, entry);
    }
}

DesktopStore::Scan DesktopStore::scan() const
{
    Scan result;
    QSet<QString> seen;
    scanFolder(kContactsFolderName, QString(), result, seen);
    scanFolder(kNotesFolderName, QString(), result, seen);
    const QStringList folders =
        QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : folders) {
        if (name == kContactsFolderName || name == kNotesFolderName)
            continue;
        CalendarEntry calendar = m_calendars.value(name);
        QString title = readSmallText(itemPath(name + QLatin1Char('/') + kDisplayNameFile));
        if (title.isEmpty())
            title = name;
        const QString color = readSmallText(itemPath(name + QLatin1Char('/') + kColorFile));
        if (calendar.id.isEmpty()) {
            calendar.id = freshId();
            QVariantList fields{SyncChange::setChange(ISyncRecordEntityNameKey, platform::entity::Calendar),
                                SyncChange::setChange(kTitleKey, title)};
            if (!color.isEmpty())
                fields.append(SyncChange::setChange(kColorKey, color));
            result.changes.append(SyncChange(SyncChange::Add, calendar.id, fields));
        } else {
            QVariantList fields;
            if (calendar.title != title)
                fields.append(SyncChange::setChange(kTitleKey, title));
            if (calendar.color != color)
                fields.append(color.isEmpty() ? SyncChange::clearChange(kColorKey) : SyncChange::setChange(kColorKey, color));
            if (!fields.isEmpty())
                result.changes.append(SyncChange(SyncChange::Modify, calendar.id, fields));
        }
        calendar.color = color;
        calendar.title = title;
        result.calendars.insert(name, calendar);
        scanFolder(name, calendar.id, result, seen);
    }
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (!seen.contains(it.key()))
            diffRecords(it->records, {}, result.changes);
    }
    for (auto it = m_calendars.cbegin(); it != m_calendars.cend(); ++it) {
        if (!result.calendars.contains(it.key()))
            result.changes.append(SyncChange(SyncChange::Delete, it->id));
    }
    result.groups = groupsOf(result.files, m_groups);
    for (auto it = result.groups.begin(); it != result.groups.end(); ++it) {
        const auto known = m_groups.constFind(it.key());
        if (known == m_groups.cend()) {
            it->id = freshId();
            result.changes.append(SyncChange(
                SyncChange::Add, it->id,
                {SyncChange::setChange(ISyncRecordEntityNameKey, platform::entity::Group),
                 SyncChange::setChange(kNameKey, it.key()), SyncChange::setChange(kMembersKey, it->members)}));
        } else if (known->members != it->members) {
            result.changes.append(
                SyncChange(SyncChange::Modify, it->id, {SyncChange::setChange(kMembersKey, it->members)}));
        }
    }
    // A group nobody names any more is gone; one that never had members here
    // (the hub's) stays.
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        if (result.groups.contains(it.key()))
            continue;
        if (it->members.isEmpty())
            result.groups.insert(it.key(), *it);
        else
            result.changes.append(SyncChange(SyncChange::Delete, it->id));
    }
    return result;
}

DesktopStore::GroupMap DesktopStore::groupsOf(const FileMap& files, const GroupMap& known)
{
    GroupMap groups;
    for (const FileEntry& entry : files) {
        for (const QString& name : entry.groups) {
            GroupEntry& group = groups[name];
            group.id = known.value(name).id;
            group.members.append(entry.recordId);
        }
    }
    for (GroupEntry& group : groups)
        group.members.sort();
    return groups;
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
    if (!recoverPull()) {
        log(QStringLiteral("Desktop store: an unfinished pull could not be finished; no sync"));
        endSync(false, done);
        return;
    }
    try {
        const std::shared_ptr<platform::ISyncSession> session =
            platform::ISyncSession::beginSessionWithClient(client(), allEntities(), {});
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
    // A store the hub has not seen (a new root, or the first run) pushes all,
    // and so does one whose push of all the hub never took.
    if (m_unconfirmed.all
        || (m_files.isEmpty() && m_calendars.isEmpty() && !(scanned.files.isEmpty() && scanned.calendars.isEmpty())))
        session->clientWantsToPushAllRecordsForEntityNames(allEntities());
    Pushed pushed;
    for (const SyncChange& change : std::as_const(m_unconfirmed.changes)) {
        try {
            session->pushChange(change);
            pushed.changes.append(change);
        } catch (const platform::Exception& e) {
            // Overtaken by another client's change (a record deleted since).
            log(QStringLiteral("Desktop store: change of %1 not pushed again: %2")
                    .arg(change.recordIdentifier(), e.reason()));
        }
    }
    if (session->shouldPushAllRecordsForEntityName(platform::entity::Contact)
        || session->shouldPushAllRecordsForEntityName(platform::entity::Event)) {
        pushed.all = true;
        for (const CalendarEntry& calendar : std::as_const(scanned.calendars)) {
            session->pushChangesFromRecord(
                calendar.color.isEmpty()
                    ? QVariantMap{{ISyncRecordEntityNameKey, platform::entity::Calendar}, {kTitleKey, calendar.title}}
                    : QVariantMap{{ISyncRecordEntityNameKey, platform::entity::Calendar},
                                  {kTitleKey, calendar.title},
                                  {kColorKey, calendar.color}},
                calendar.id);
        }
        for (const FileEntry& entry : std::as_const(scanned.files)) {
            for (auto it = entry.records.cbegin(); it != entry.records.cend(); ++it)
                session->pushChangesFromRecord(it.value().toMap(), it.key());
        }
        for (auto it = scanned.groups.cbegin(); it != scanned.groups.cend(); ++it) {
            session->pushChangesFromRecord({{ISyncRecordEntityNameKey, platform::entity::Group},
                                            {kNameKey, it.key()},
                                            {kMembersKey, it->members}},
                                           it->id);
        }
        for (const SyncChange& change : scanned.changes) {
            if (change.type() == SyncChange::Delete) {
                session->pushChange(change);
                pushed.changes.append(change);
            }
        }
    } else {
        for (const SyncChange& change : scanned.changes)
            session->pushChange(change);
        pushed.changes.append(scanned.changes);
    }
    session->prepareToPullChangesInBackgroundForEntityNames(
        allEntities(),
        [this, alive = std::weak_ptr<int>(m_alive), files = std::move(scanned.files),
         calendars = std::move(scanned.calendars), groups = std::move(scanned.groups), pushed = std::move(pushed),
         done = std::move(done)](const auto&, const auto& s) {
            if (!alive.lock())
                return;
            try {
                pull(s, files, calendars, groups, pushed);
                endSync(true, done);
            } catch (const platform::Exception& e) {
                log(QStringLiteral("Desktop store: sync failed: %1").arg(e.reason()));
                s->cancelSyncing();
                endSync(false, done);
            }
        });
}

// A fresh folder name from an id: the id when it is safe and free, else a UUID.
QString DesktopStore::freeName(const QString& id, const QString& folder, const QString& suffix,
                               const std::function<bool(const QString&)>& taken) const
{
    QString name = isSafeUid(id) ? id : freshId();
    while (taken(name + suffix) || QFileInfo::exists(itemPath(folder + name + suffix)))
        name = freshId();
    return name;
}

QString DesktopStore::calendarFolder(const QString& calendarId, const CalendarMap& calendars) const
{
    for (auto it = calendars.cbegin(); it != calendars.cend(); ++it) {
        if (it->id == calendarId)
            return it.key();
    }
    return {};
}

QByteArray DesktopStore::writeItem(const QString& relative, const FileEntry& entry, const QByteArray& previous) const
{
    if (relative.startsWith(kContactsFolderName + QLatin1Char('/'))) {
        auto [contact, subRecords] = splitRecords(entry.recordId, entry.records, contactSubRecords());
        return writeContactCard({entry.uid, contact, subRecords, entry.groups}, previous);
    }
    auto [record, subRecords] = splitRecords(entry.recordId, entry.records, calendarSubRecords());
    record.remove(kCalendarKey);
    // The writer tells an event from a task by the entity name.
    record.insert(ISyncRecordEntityNameKey, entry.records.value(entry.recordId).toMap().value(ISyncRecordEntityNameKey));
    CalendarItem item{entry.uid, record, subRecords, {}};
    for (auto it = entry.records.cbegin(); it != entry.records.cend(); ++it) {
        const QDateTime date = instanceDate(entry.recordId, it.key());
        if (!date.isValid())
            continue;
        QVariantMap instance = it.value().toMap();
        instance.remove(kCalendarKey);
        item.instances.append({date, instance});
    }
    return writeCalendarItem(item, previous);
}

void DesktopStore::pull(const std::shared_ptr<platform::ISyncSession>& session, FileMap files, CalendarMap calendars,
                        GroupMap groups, const Pushed& pushed)
{
    PullJournal journal(m_root);
    const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(allEntities());
    QHash<QString, QString> fileOf;   // record id -> relative path
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        for (auto r = it->records.cbegin(); r != it->records.cend(); ++r)
            fileOf.insert(r.key(), it.key());
    }
    const auto isFileRecord = [&](const QString& id) {
        return fileOf.contains(id) && files.value(fileOf.value(id)).recordId == id;
    };
    QSet<QString> touched;
    QSet<QString> removed;
    QStringList accepted;
    // Calendars and contacts first, then events and tasks, then what belongs
    // to them, so each finds its place.
    for (const int pass : {0, 1, 2}) {
        for (const SyncChange& change : changes) {
            const QString& id = change.recordIdentifier();
            const QVariantMap& record = change.record();
            const QString entity = record.value(ISyncRecordEntityNameKey).toString();
            const QString calendar = calendarFolder(id, calendars);
            const int rank = change.type() == SyncChange::Delete
                ? (!calendar.isEmpty() || isFileRecord(id) ? 0 : 2)
                : entity == platform::entity::Contact || entity == platform::entity::Calendar ? 0
                : entity == platform::entity::Event || entity == platform::entity::Task
                        || entity == platform::entity::Note                                   ? 1
                                                                                               : 2;
            if (pass != rank || entity == platform::entity::Group)
                continue;
            if (change.type() == SyncChange::Delete
                && std::any_of(groups.cbegin(), groups.cend(), [&](const GroupEntry& g) { return g.id == id; }))
                continue;
            accepted.append(id);
            if (entity == platform::entity::Calendar || (change.type() == SyncChange::Delete && !calendar.isEmpty())) {
                QString folder = calendar;
                if (change.type() == SyncChange::Delete) {
                    // The folder goes once it holds nothing of ours.
                    calendars.remove(folder);
                    journal.remove(folder + QLatin1Char('/') + kDisplayNameFile);
                    journal.remove(folder + QLatin1Char('/') + kColorFile);
                    journal.removeFolder(folder);
                    continue;
                }
                if (folder.isEmpty()) {
                    folder = freeName(id, QString(), QString(), [&](const QString& n) {
                        return calendars.contains(n) || n == kContactsFolderName || n == kNotesFolderName;
                    });
                    calendars.insert(folder, {id, QString(), QString()});
                }
                CalendarEntry& entry = calendars[folder];
                entry.title = record.value(kTitleKey).toString();
                entry.color = record.value(kColorKey).toString().trimmed();
                if (entry.color.contains(QLatin1Char('\n')) || entry.color.size() > 64) {
                    log(QStringLiteral("Desktop store: colour of calendar %1 left out: not one short line").arg(folder));
                    entry.color.clear();
                }
                const QString base = folder + QLatin1Char('/');
                journal.write(base + kDisplayNameFile, entry.title.toUtf8() + '\n');
                if (!entry.color.isEmpty())
                    journal.write(base + kColorFile, entry.color.toUtf8());
                else if (QFile::exists(itemPath(base + kColorFile)))
                    journal.remove(base + kColorFile);
                continue;
            }
            if (change.type() == SyncChange::Delete) {
                const QString relative = fileOf.value(id);
                if (relative.isEmpty())
                    continue;
                if (isFileRecord(id)) {
                    removed.insert(relative);
                } else {
                    files[relative].records.remove(id);
                    touched.insert(relative);
                }
                continue;
            }
            QString relative = fileOf.value(id);
            if (relative.isEmpty()) {
                const bool isEvent = entity == platform::entity::Event || entity == platform::entity::Task;
                if (entity == platform::entity::Contact || entity == platform::entity::Note || isEvent) {
                    QString folder = entity == platform::entity::Note ? kNotesFolderName : kContactsFolderName;
                    QString suffix = entity == platform::entity::Contact ? QStringLiteral(".vcf") : QStringLiteral(".ics");
                    if (isEvent) {
                        folder = calendarFolder(record.value(kCalendarKey).toList().value(0).toString(), calendars);
                        if (folder.isEmpty())
                            folder = kDefaultCalendarFolder;
                        suffix = QStringLiteral(".ics");
                    }
                    folder += QLatin1Char('/');
                    FileEntry entry;
                    entry.recordId = id;
                    entry.uid = freeName(id, folder, suffix, [&](const QString& n) { return files.contains(folder + n); });
                    relative = folder + entry.uid + suffix;
                    files.insert(relative, entry);
                } else {
                    QString owner = record.value(kContactKey).toList().value(0).toString();
                    if (owner.isEmpty())
                        owner = record.value(kOwnerKey).toList().value(0).toString();
                    relative = fileOf.value(owner);
                    if (relative.isEmpty())
                        continue;   // kept in the hub; no file to carry it
                }
                fileOf.insert(id, relative);
            }
            files[relative].records.insert(id, record);
            touched.insert(relative);
        }
    }
    // Groups last: their members have their files now.
    for (const SyncChange& change : changes) {
        const QString& id = change.recordIdentifier();
        QString oldName;
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            if (it->id == id)
                oldName = it.key();
        }
        const bool isGroup = change.type() == SyncChange::Delete
            ? !oldName.isNull()
            : change.record().value(ISyncRecordEntityNameKey).toString() == platform::entity::Group;
        if (!isGroup)
            continue;
        accepted.append(id);
        const GroupEntry old = groups.take(oldName);
        QString name;
        QSet<QString> members;
        if (change.type() != SyncChange::Delete) {
            name = change.record().value(kNameKey).toString().trimmed();
            if (name.isEmpty() || groups.contains(name)) {
                log(QStringLiteral("Desktop store: group %1 has no name of its own; not written").arg(id));
                if (!oldName.isNull())
                    groups.insert(oldName, old);
                continue;
            }
            groups.insert(name, {id, {}});
            for (const QVariant& member : change.record().value(kMembersKey).toList())
                members.insert(member.toString());
        }
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (!it.key().startsWith(kContactsFolderName + QLatin1Char('/')))
                continue;
            QStringList updated = it->groups;
            const int at = updated.indexOf(oldName.isNull() ? name : oldName);
            const bool member = members.contains(it->recordId);
            if (at >= 0 && member)
                updated[at] = name;
            else if (at >= 0)
                updated.removeAt(at);
            else if (member)
                updated.append(name);
            if (updated != it->groups) {
                it->groups = updated;
                touched.insert(it.key());
            }
        }
    }
    for (const QString& relative : removed) {
        files.remove(relative);
        journal.remove(relative);
        touched.remove(relative);
    }
    QStringList written;
    for (const QString& relative : std::as_const(touched)) {
        FileEntry& entry = files[relative];
        const QString path = itemPath(relative);
        QByteArray previous;
        if (QFile::exists(path)) {
            if (const std::optional<QByteArray> data =
                    platform::readRegularFile(path, kMaxItemFileSize, platform::Symlinks::Follow))
                previous = *data;
        }
        const QByteArray text = writeItem(relative, entry, previous);
        if (text.isEmpty())
            continue;
        journal.write(relative, text);
        // What the file carries is what the next scan compares with.
        const QString folder = relative.section(QLatin1Char('/'), 0, 0);
        if (const std::optional<QVariantMap> records =
                readItem(text, folder, calendars.value(folder).id, entry, nullptr))
            entry.records = *records;
        entry.etag.clear();
        entry.hash = hashOf(text);
        written.append(relative);
    }
    GroupMap named = groupsOf(files, groups);
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        if (!named.contains(it.key()))
            named.insert(it.key(), {it->id, {}});
    }
    // The files move only once a plan names them with the state they give, so
    // a process stopped anywhere from here on leaves nothing the next start
    // does not know (it finishes the plan). When the hub has not taken the
    // session then, what it pushed is pushed again.
    if (!journal.isEmpty() || !pushed.changes.isEmpty() || pushed.all) {
        journal.prepare(
            QVariantMap{{kStateKey, stateOf(files, calendars, named)},
                        {kPushedKey, QVariantMap{{kChangesKey, changesToList(pushed.changes)}, {kAllKey, pushed.all}}},
                        {kSyncDateKey, lastSyncDate()}},
            m_pullStep);
        journal.carryOut(m_pullStep);
    }
    for (const QString& relative : std::as_const(written))
        files[relative].etag = etagOf(itemPath(relative));
    for (const QString& id : std::as_const(accepted))
        session->clientAcceptedChangesForRecordWithIdentifier(id, {}, {});
    session->clientCommittedAcceptedChanges();
    session->finishSyncing();
    if (m_pullStep)
        m_pullStep();
    m_files = std::move(files);
    m_calendars = std::move(calendars);
    m_groups = std::move(named);
    m_unconfirmed = {};
    saveState();
    journal.finish();
}

QByteArray DesktopStore::watchedFolders() const
{
    // Visible entries only: the store's own state, plan and staging files are
    // hidden. A folder's time covers what is written inside it.
    QByteArray listing;
    for (const QString& folder : {m_root, itemPath(kContactsFolderName)}) {
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
        for (const QFileInfo& info : entries) {
            listing += QFile::encodeName(info.absoluteFilePath()) + '\0' + QByteArray::number(info.size()) + '\0'
                       + QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
        }
    }
    return listing;
}

void DesktopStore::watchedFolderChanged()
{
    // Each session rewrites the state file inside the watched root: were that
    // a change, the store would sync without end and hold the thread it runs
    // on. Notices during a session are mostly its own writes; what another
    // program changed meanwhile the next scan finds.
    if (!m_syncing && watchedFolders() != m_watchedFoldersAtEnd)
        synchronize();
}

void DesktopStore::endSync(bool finished, const std::function<void(bool)>& done)
{
    m_syncing = false;
    m_watchedFoldersAtEnd = watchedFolders();
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
    if (QFile::exists(itemPath(kStateFileName)))
        adoptState(platform::plist::readFile(itemPath(kStateFileName)).toMap());
}

void DesktopStore::adoptState(const QVariantMap& state)
{
    m_files.clear();
    m_calendars.clear();
    m_groups.clear();
    const QVariantMap files = state.value(kFilesKey).toMap();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QVariantMap f = it.value().toMap();
        FileEntry entry;
        entry.etag = f.value(QStringLiteral("etag")).toString();
        entry.hash = f.value(QStringLiteral("hash")).toByteArray();
        entry.uid = f.value(QStringLiteral("uid")).toString();
        entry.recordId = f.value(QStringLiteral("id")).toString();
        entry.records = f.value(QStringLiteral("records")).toMap();
        entry.groups = f.value(QStringLiteral("groups")).toStringList();
        if (!entry.recordId.isEmpty())
            m_files.insert(it.key(), entry);
    }
    const QVariantMap groups = state.value(kGroupsKey).toMap();
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        const QVariantMap g = it.value().toMap();
        const GroupEntry entry{g.value(QStringLiteral("id")).toString(), g.value(kMembersKey).toStringList()};
        if (!entry.id.isEmpty())
            m_groups.insert(it.key(), entry);
    }
    const QVariantMap calendars = state.value(kCalendarsKey).toMap();
    for (auto it = calendars.cbegin(); it != calendars.cend(); ++it) {
        const QVariantMap c = it.value().toMap();
        const CalendarEntry entry{c.value(QStringLiteral("id")).toString(), c.value(kTitleKey).toString(),
                                  c.value(kColorKey).toString()};
        if (!entry.id.isEmpty())
            m_calendars.insert(it.key(), entry);
    }
    const QVariantMap unconfirmed = state.value(kUnconfirmedKey).toMap();
    m_unconfirmed.changes = changesFromList(unconfirmed.value(kChangesKey).toList());
    m_unconfirmed.all = unconfirmed.value(kAllKey).toBool();
}

QVariantMap DesktopStore::stateOf(const FileMap& fileMap, const CalendarMap& calendarMap, const GroupMap& groupMap)
{
    QVariantMap files;
    for (auto it = fileMap.cbegin(); it != fileMap.cend(); ++it) {
        files.insert(it.key(), QVariantMap{{QStringLiteral("etag"), it->etag},
                                           {QStringLiteral("hash"), it->hash},
                                           {QStringLiteral("uid"), it->uid},
                                           {QStringLiteral("id"), it->recordId},
                                           {QStringLiteral("records"), it->records},
                                           {QStringLiteral("groups"), it->groups}});
    }
    QVariantMap calendars;
    for (auto it = calendarMap.cbegin(); it != calendarMap.cend(); ++it)
        calendars.insert(it.key(), QVariantMap{{QStringLiteral("id"), it->id}, {kTitleKey, it->title}, {kColorKey, it->color}});
    QVariantMap groups;
    for (auto it = groupMap.cbegin(); it != groupMap.cend(); ++it)
        groups.insert(it.key(), QVariantMap{{QStringLiteral("id"), it->id}, {kMembersKey, it->members}});
    return {{kFilesKey, files}, {kCalendarsKey, calendars}, {kGroupsKey, groups}};
}

void DesktopStore::saveState() const
{
    QVariantMap state = stateOf(m_files, m_calendars, m_groups);
    if (!m_unconfirmed.changes.isEmpty() || m_unconfirmed.all) {
        state.insert(kUnconfirmedKey,
                     QVariantMap{{kChangesKey, changesToList(m_unconfirmed.changes)}, {kAllKey, m_unconfirmed.all}});
    }
    if (!platform::plist::writeFile(itemPath(kStateFileName), state))
        log(QStringLiteral("Desktop store: %1 not written").arg(kStateFileName));
}

bool DesktopStore::recoverPull()
{
    const std::optional<QVariantMap> extra = PullJournal::recover(m_root);
    if (!extra)
        return !PullJournal::hasPlan(m_root);
    adoptState(extra->value(kStateKey).toMap());
    // The hub finished a session of this store since the plan was made: it
    // took what the stopped one pushed. Else that is pushed again.
    m_unconfirmed = {};
    if (lastSyncDate() == extra->value(kSyncDateKey).toLongLong()) {
        const QVariantMap pushed = extra->value(kPushedKey).toMap();
        m_unconfirmed.changes = changesFromList(pushed.value(kChangesKey).toList());
        m_unconfirmed.all = pushed.value(kAllKey).toBool();
    }
    saveState();
    PullJournal::clearStaging(m_root);
    return true;
}

qint64 DesktopStore::lastSyncDate() const
{
    qint64 latest = -1;
    try {
        if (const std::shared_ptr<platform::ISyncClient> client = m_manager.clientWithIdentifier(kClientIdentifier)) {
            for (const QString& entity : allEntities()) {
                const QDateTime date = client->lastSyncDateForEntityName(entity);
                if (date.isValid())
                    latest = std::max(latest, date.toMSecsSinceEpoch());
            }
        }
    } catch (const platform::Exception& e) {
        log(QStringLiteral("Desktop store: the hub's sync date not read: %1").arg(e.reason()));
    }
    return latest;
}

} // namespace desktopstore
