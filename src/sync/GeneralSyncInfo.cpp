#include "sync/GeneralSyncInfo.h"

#include "formats/VXDictionary.h"
#include "platform/Bundle.h"
#include "platform/Exception.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "sync/SyncLog.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/SyncEngineNames.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

const QString GeneralSyncInfo::kFileName = QStringLiteral("GlobalSyncInfo.plist");
const QString GeneralSyncInfo::kDescriptionName = QStringLiteral("QVSync-App");
const QString GeneralSyncInfo::kUnsentChangesKey = QStringLiteral("unsent ISyncChanges");

namespace {

std::unique_ptr<GeneralSyncInfo>& sharedInstance()
{
    static std::unique_ptr<GeneralSyncInfo> instance;
    return instance;
}

// The program's icon among its images (the hub keeps the path as text).
const QString kProgramIconPath = QStringLiteral(":/images/program/NSApplicationIcon.svg");
const QString kNotesClient = QStringLiteral("com.apple.Mail.Notes");
const QString kNotesSchema = QStringLiteral("/System/Library/SyncServices/Schemas/Notes.syncschema");

QString debugText(const QVariant& value)
{
    QString text;
    QDebug(&text).noquote() << value;
    return text;
}

} // namespace

GeneralSyncInfo& GeneralSyncInfo::sharedGeneralSyncInfo()
{
    std::unique_ptr<GeneralSyncInfo>& instance = sharedInstance();
    if (!instance)
        instance = std::make_unique<GeneralSyncInfo>(platform::ISyncManager::sharedManager(),
                                                     platform::paths::applicationSupportDirectory());
    return *instance;
}

bool GeneralSyncInfo::isGeneralSyncInfoAlloced()
{
    return bool(sharedInstance());
}

void GeneralSyncInfo::releaseSharedGeneralSyncInfo()
{
    sharedInstance().reset();
}

QString GeneralSyncInfo::clientIdentifier()
{
    return platform::kSyncClientIdentifierPrefix + QStringLiteral(".MarvestoLG");
}

const QStringList& GeneralSyncInfo::getEntityNames()
{
    static const QStringList names{platform::entity::Group, platform::entity::BookmarkFolder,
                                   platform::entity::Calendar};
    return names;
}

const GeneralSyncInfo::KindInfo& GeneralSyncInfo::info(Kind kind)
{
    static const KindInfo kinds[kKindCount] = {
        {platform::entity::Group, QStringLiteral("groups"), QStringLiteral("SyncTime-groups"), QStringLiteral("name"),
         QStringLiteral("[GeneralSyncInfo prepareSlowSyncForEntity] remove groups")},
        {platform::entity::Calendar, QStringLiteral("calendars"), QStringLiteral("SyncTime-calendars"),
         QStringLiteral("title"), QStringLiteral("[GeneralSyncInfo prepareSlowSyncForEntity] remove calendars")},
        {platform::entity::BookmarkFolder, QStringLiteral("bookmarkFolders"),
         QStringLiteral("SyncTime-bookmarkFolders"), QStringLiteral("name"),
         QStringLiteral("[GeneralSyncInfo prepareSlowSyncForEntity] remove folders")},
    };
    return kinds[kind];
}

int GeneralSyncInfo::kindOfEntity(const QString& entityName)
{
    for (int kind = 0; kind < kKindCount; ++kind) {
        if (info(Kind(kind)).entity == entityName)
            return kind;
    }
    return -1;
}

std::optional<QVariantMap>& GeneralSyncInfo::dictionary(Kind kind)
{
    return kind == kGroups ? m_groups : kind == kCalendars ? m_calendars : m_bookmarkFolders;
}

const std::optional<QVariantMap>& GeneralSyncInfo::dictionary(Kind kind) const
{
    return kind == kGroups ? m_groups : kind == kCalendars ? m_calendars : m_bookmarkFolders;
}

QString& GeneralSyncInfo::syncTime(Kind kind)
{
    return kind == kGroups   ? m_lastGroupsSyncDate
        : kind == kCalendars ? m_lastCalendarsSyncDate
                             : m_lastBookmarkFoldersSyncDate;
}

GeneralSyncInfo::GeneralSyncInfo(platform::ISyncManager& manager, QString folder)
    : m_manager(manager)
    , m_folder(std::move(folder))
{
    m_changesForSyncEngine.reserve(4);
    m_syncEntities.reserve(16);
    updateSyncTimes(getClient());
    if (readFromDisk())
        m_isClientInitialized = true;
}

GeneralSyncInfo::~GeneralSyncInfo()
{
    m_aboutToQuit = true;
    waitWhileBusy(kDestructionWaitPasses);
    if (m_client && m_isActive) {
        try {
            m_client->setSyncAlertHandler({});
        } catch (const platform::Exception&) {
            // An unregistered client has no handler left to remove.
        }
    }
}

QString GeneralSyncInfo::filePath() const
{
    return m_folder + QLatin1Char('/') + kFileName;
}

QString GeneralSyncInfo::descriptionFilePath() const
{
    return m_folder + QLatin1Char('/') + kDescriptionName + QStringLiteral(".plist");
}

std::shared_ptr<platform::ISyncClient> GeneralSyncInfo::getClient()
{
    try {
        std::shared_ptr<platform::ISyncClient> client = m_manager.clientWithIdentifier(clientIdentifier());
        if (client)
            return client;
        if (!m_manager.clientWithIdentifier(kNotesClient))
            m_manager.registerSchemaWithBundlePath(kNotesSchema);
        const QString description = descriptionFilePath();
        if (!QFileInfo::exists(description) && createDirPathForFile(description)) {
            QVariantList entities;
            for (const QString& name : getEntityNames())
                entities.append(name);
            QString error;
            if (!platform::plist::writeFile(
                    description,
                    QVariantMap{{platform::ISyncClientDescriptionEntitiesKey, entities},
                                {platform::ISyncClientDescriptionDisplayNameKey, platform::bundle::applicationName()}},
                    &error))
                synclog::xt(QStringLiteral("[GeneralSyncInfo getClient] cannot write %1: %2").arg(description, error));
        }
        client = m_manager.registerClientWithIdentifier(clientIdentifier(), description);
        client->setDisplayName(platform::bundle::applicationName());
        client->setImagePath(kProgramIconPath);
        // A client registered again (after its removal) answers alerts as before.
        if (m_isActive)
            client->setSyncAlertHandler(alertHandler());
        return client;
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("getClient"), e));
        invalidateAllData();
        removeSyncEngineClient();
        return nullptr;
    }
}

void GeneralSyncInfo::functionalityRequired()
{
    if (m_isActive)
        return;
    if (enableSyncEngineNotifier(true) == 0) {
        m_isActive = true;
        trickleSyncEngine();
    }
}

void GeneralSyncInfo::waitWhileBusy(int maxPasses)
{
    if (isBusy())
        platform::runloop::waitUntil([this] { return !isBusy(); }, kWaitSlice, maxPasses);
}

bool GeneralSyncInfo::requestInfo(bool wait)
{
    if (!m_isActive) {
        if (m_isClientInitialized || isBusy())
            return true;
        functionalityRequired();
    } else {
        if (m_isClientInitialized)
            return true;
        if (!isBusy())
            return false;
    }
    if (wait)
        waitWhileBusy(kRequestInfoWaitPasses);
    return m_isClientInitialized;
}

void GeneralSyncInfo::announceQuit()
{
    m_aboutToQuit = true;
}

void GeneralSyncInfo::updateSyncTimes(const std::shared_ptr<platform::ISyncClient>& client)
{
    m_client = client;
    if (!client)
        return;
    try {
        for (int kind = 0; kind < kKindCount; ++kind)
            syncTime(Kind(kind)) = platform::syncDateText(client->lastSyncDateForEntityName(info(Kind(kind)).entity));
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("updateSyncTimes (GeneralSyncInfo)"), e));
    }
}

void GeneralSyncInfo::refreshSyncTimes()
{
    updateSyncTimes(m_client);
}

QString GeneralSyncInfo::lastSyncDate(const QString& entityName) const
{
    const int kind = kindOfEntity(entityName);
    if (kind < 0)
        return {};
    return const_cast<GeneralSyncInfo*>(this)->syncTime(Kind(kind));
}

bool GeneralSyncInfo::equalDates(const QString& date, const QString& compDate)
{
    if (date.isEmpty() || compDate.isEmpty())
        return date.isEmpty() && compDate.isEmpty();
    return date == compDate;
}

void GeneralSyncInfo::updateWithSyncEngine()
{
    if (m_isActive)
        trickleSyncEngine();
}

QList<QVariantMap> GeneralSyncInfo::records(Kind kind) const
{
    QList<QVariantMap> list;
    if (const std::optional<QVariantMap>& dict = dictionary(kind)) {
        for (const QVariant& record : *dict)
            list.append(record.toMap());
    }
    return list;
}

QList<QVariantMap> GeneralSyncInfo::groups() const
{
    return records(kGroups);
}

QList<QVariantMap> GeneralSyncInfo::calendars() const
{
    return records(kCalendars);
}

QList<QVariantMap> GeneralSyncInfo::bookmarkFolders() const
{
    return records(kFolders);
}

QString GeneralSyncInfo::nthId(Kind kind, int index) const
{
    const std::optional<QVariantMap>& dict = dictionary(kind);
    if (!dict || index < 0 || index >= dict->size())
        return {};
    return std::next(dict->cbegin(), index).key();
}

QString GeneralSyncInfo::nthValue(Kind kind, int index, const QString& key) const
{
    const std::optional<QVariantMap>& dict = dictionary(kind);
    if (!dict || index < 0 || index >= dict->size())
        return {};
    const QVariant value = std::next(dict->cbegin(), index).value().toMap().value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString GeneralSyncInfo::groupName(int index) const
{
    return nthValue(kGroups, index, QStringLiteral("name"));
}

QString GeneralSyncInfo::calendarName(int index) const
{
    return nthValue(kCalendars, index, QStringLiteral("title"));
}

QString GeneralSyncInfo::bookmarkFolderName(int index) const
{
    return nthValue(kFolders, index, QStringLiteral("name"));
}

QString GeneralSyncInfo::groupID(int index) const
{
    return nthId(kGroups, index);
}

QString GeneralSyncInfo::calendarID(int index) const
{
    return nthId(kCalendars, index);
}

QString GeneralSyncInfo::bookmarkFolderID(int index) const
{
    return nthId(kFolders, index);
}

QString GeneralSyncInfo::uuidForBookmarkFolderName(const QString& name) const
{
    if (!m_bookmarkFolders)
        return {};
    for (auto it = m_bookmarkFolders->cbegin(); it != m_bookmarkFolders->cend(); ++it) {
        const QVariant folderName = it.value().toMap().value(QStringLiteral("name"));
        if (folderName.typeId() == QMetaType::QString && folderName.toString() == name)
            return it.key();
    }
    return {};
}

qlonglong GeneralSyncInfo::highestNonParentBookmarkFolderPosition(const QString& parentId) const
{
    qlonglong highest = 0;
    if (!m_bookmarkFolders)
        return highest;
    for (const QVariant& value : *m_bookmarkFolders) {
        const QVariantMap folder = value.toMap();
        const QVariant parent = folder.value(QStringLiteral("parent"));
        const bool hasParent = parent.typeId() == QMetaType::QVariantList && !parent.toList().isEmpty();
        const bool matches = parentId.isEmpty() ? !hasParent
                                                : hasParent && parent.toList().constFirst().toString() == parentId;
        if (!matches)
            continue;
        bool ok = false;
        const qlonglong position = folder.value(QStringLiteral("position")).toLongLong(&ok);
        if (ok && position > highest)
            highest = position;
    }
    return highest;
}

QString GeneralSyncInfo::add(Kind kind, QVariantMap record)
{
    const QString id = createQuorvalisPrimaryKey();
    record.insert(platform::ISyncRecordEntityNameKey, info(kind).entity);
    std::optional<QVariantMap>& dict = dictionary(kind);
    if (!dict)
        dict.emplace();
    dict->insert(id, record);
    m_changesForSyncEngine.append(
        platform::SyncChange(platform::SyncChange::Add, id, makeChangesForRecord(record), record));
    (kind == kGroups ? m_groupsNeedSync : kind == kCalendars ? m_calendarsNeedSync : m_bookmarkFoldersNeedSync) = true;
    return id;
}

QString GeneralSyncInfo::addGroup(const QString& name)
{
    return add(kGroups, {{QStringLiteral("name"), name}, {QStringLiteral("members"), QVariantList()}});
}

QString GeneralSyncInfo::addCalendar(const QString& title)
{
    return add(kCalendars, {{QStringLiteral("title"), title}, {QStringLiteral("read only"), false}});
}

QString GeneralSyncInfo::addBookmarkFolder(const QString& name)
{
    const qlonglong position = highestNonParentBookmarkFolderPosition(
                                   uuidForBookmarkFolderName(QStringLiteral("BookmarksMenu")))
        + 1;
    return add(kFolders,
               {{QStringLiteral("name"), name},
                {QStringLiteral("is tab group"), false},
                {QStringLiteral("children"), QVariantList()},
                {QStringLiteral("position"), position}});
}

void GeneralSyncInfo::invalidateAllData()
{
    for (int kind = 0; kind < kKindCount; ++kind) {
        dictionary(Kind(kind)).reset();
        syncTime(Kind(kind)).clear();
    }
}

QString GeneralSyncInfo::description() const
{
    QString text = QStringLiteral("------------ GeneralSyncInfo ------------\n");
    const auto section = [&text](const char* label, const std::optional<QVariantMap>& dict) {
        if (dict && !dict->isEmpty())
            text += QStringLiteral("\n---- %1: %2\n").arg(QLatin1String(label), debugText(*dict));
    };
    section("Groups", m_groups);
    section("Calendars", m_calendars);
    section("BookmarkFolders", m_bookmarkFolders);
    text += QStringLiteral("\n---------------------------------------------\n");
    return text;
}

void GeneralSyncInfo::setSyncingUISyncState(bool state, bool didChange)
{
    synclog::xt(state ? QStringLiteral("<<<<<<<< Syncing on (XXXXX) (GeneralInfo) >>>>>>>>")
                      : QStringLiteral("<<<<<<<< Syncing off (.....) (GeneralInfo) >>>>>>>>"));
    platform::NotificationCenter::defaultCenter().post(
        QStringLiteral("SyncEngineActive"), nullptr,
        {{QStringLiteral("Active"), state}, {QStringLiteral("SetupChanged"), didChange}});
}

std::function<void(const std::shared_ptr<platform::ISyncClient>&, const QStringList&)> GeneralSyncInfo::alertHandler()
{
    return [alive = std::weak_ptr<int>(m_alive), this](const std::shared_ptr<platform::ISyncClient>& client,
                                                       const QStringList& names) {
        if (alive.lock())
            syncGeneralAlertHandler(client, names);
    };
}

int GeneralSyncInfo::enableSyncEngineNotifier(bool on)
{
    const std::shared_ptr<platform::ISyncClient> client = getClient();
    if (!client) {
        synclog::xt(
            QStringLiteral("^^^^^^^^^^^ [GeneralSyncInfo enableSyncEngineNotifier] [self getClient] FAILED!!!!"));
        return -1;
    }
    m_client = client;
    if (on) {
        client->setSyncAlertHandler([alive = std::weak_ptr<int>(m_alive),
                                     this](const std::shared_ptr<platform::ISyncClient>& c, const QStringList& names) {
            if (alive.lock())
                syncGeneralAlertHandler(c, names);
        });
        synclog::xt(QStringLiteral("^^^^^^^^^^^ GeneralSyncInfo ENABLED"));
    } else {
        client->setSyncAlertHandler({});
        synclog::xt(QStringLiteral(",,,,,,,,,, GeneralSyncInfo DISABLED"));
    }
    return 0;
}

void GeneralSyncInfo::removeSyncEngineClient()
{
    try {
        if (const std::shared_ptr<platform::ISyncClient> client = m_manager.clientWithIdentifier(clientIdentifier()))
            m_manager.unregisterClient(client);
    } catch (const platform::Exception& e) {
        synclog::xt(synclog::caught(QStringLiteral("removeSyncEngineClient (GeneralSyncInfo)"), e));
    }
}
