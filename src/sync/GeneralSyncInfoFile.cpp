// GeneralSyncInfo: the mirror file GlobalSyncInfo.plist.

#include "sync/GeneralSyncInfo.h"

#include "formats/VXDictionary.h"
#include "platform/PropertyList.h"
#include "sync/SyncLog.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Keys of a pending change in the file.
const QString kChangeTypeKey = QStringLiteral("type");
const QString kChangeIdKey = QStringLiteral("recordIdentifier");
const QString kChangeChangesKey = QStringLiteral("changes");
const QString kChangeRecordKey = QStringLiteral("record");

QVariantMap changeToPlist(const platform::SyncChange& change)
{
    QVariantMap stored{{kChangeTypeKey, int(change.type())},
                       {kChangeIdKey, change.recordIdentifier()},
                       {kChangeChangesKey, change.changes()}};
    if (!change.record().isEmpty())
        stored.insert(kChangeRecordKey, change.record());
    return stored;
}

std::optional<platform::SyncChange> changeFromPlist(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap stored = value.toMap();
    const qlonglong type = stored.value(kChangeTypeKey).toLongLong();
    const QVariant id = stored.value(kChangeIdKey);
    const QVariant changes = stored.value(kChangeChangesKey, QVariantList());
    const QVariant record = stored.value(kChangeRecordKey, QVariantMap());
    if (type < platform::SyncChange::Add || type > platform::SyncChange::Delete || id.typeId() != QMetaType::QString
        || id.toString().isEmpty() || changes.typeId() != QMetaType::QVariantList
        || record.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    for (const QVariant& entry : changes.toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
    }
    return platform::SyncChange(platform::SyncChange::Type(type), id.toString(), changes.toList(), record.toMap());
}

} // namespace

bool GeneralSyncInfo::readFromDisk()
{
    const QString path = filePath();
    QVariantMap file;
    bool fileRead = false;
    bool unreadable = false;
    if (QFileInfo::exists(path)) {
        QString error;
        const QVariant value = platform::plist::readFile(path, &error);
        if (value.typeId() == QMetaType::QVariantMap) {
            file = value.toMap();
            fileRead = true;
        } else {
            unreadable = true;
            synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 passed over: %2")
                            .arg(path, error.isEmpty() ? QStringLiteral("not a dictionary") : error));
        }
    }
    for (int k = 0; k < kKindCount; ++k) {
        const Kind kind = Kind(k);
        const KindInfo& kindInfo = info(kind);
        std::optional<QVariantMap>& dict = dictionary(kind);
        dict.reset();
        if (unreadable)
            continue;
        const QVariant storedTime = file.value(kindInfo.timeKey);
        if (storedTime.isValid() && storedTime.typeId() != QMetaType::QString) {
            synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 of the wrong type").arg(kindInfo.timeKey));
            continue;
        }
        if (!equalDates(storedTime.toString(), syncTime(kind)))
            continue;
        const auto stored = file.constFind(kindInfo.fileKey);
        if (stored == file.cend()) {
            dict.emplace();
            continue;
        }
        if (stored->typeId() != QMetaType::QVariantMap) {
            synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 of the wrong type").arg(kindInfo.fileKey));
            continue;
        }
        QVariantMap records = mutableObjectFor(*stored).toMap();
        for (auto it = records.begin(); it != records.end();) {
            if (it.value().typeId() == QMetaType::QVariantMap) {
                ++it;
                continue;
            }
            synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 record %2 skipped: not a dictionary")
                            .arg(kindInfo.fileKey, it.key()));
            it = records.erase(it);
        }
        dict = std::move(records);
    }
    const QVariant unsent = file.value(kUnsentChangesKey);
    if (unsent.typeId() == QMetaType::QVariantList) {
        for (const QVariant& entry : unsent.toList()) {
            if (const std::optional<platform::SyncChange> change = changeFromPlist(entry))
                m_changesForSyncEngine.append(*change);
            else
                synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] unsent change skipped: malformed"));
        }
    } else if (unsent.isValid()) {
        synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 of the wrong type").arg(kUnsentChangesKey));
    }
    synclog::xt(QStringLiteral("[GeneralSyncInfo readFromDisk] %1 groups, %2 calendars, %3 bookmarkFolders")
                    .arg(m_groups ? m_groups->size() : 0)
                    .arg(m_calendars ? m_calendars->size() : 0)
                    .arg(m_bookmarkFolders ? m_bookmarkFolders->size() : 0));
    return fileRead && m_groups && m_calendars && m_bookmarkFolders;
}

void GeneralSyncInfo::saveToDisk()
{
    QVariantMap file;
    for (int k = 0; k < kKindCount; ++k) {
        const Kind kind = Kind(k);
        if (const std::optional<QVariantMap>& dict = dictionary(kind))
            file.insert(info(kind).fileKey, *dict);
        if (!syncTime(kind).isEmpty())
            file.insert(info(kind).timeKey, syncTime(kind));
    }
    if (!m_changesForSyncEngine.isEmpty()) {
        QVariantList unsent;
        for (const platform::SyncChange& change : std::as_const(m_changesForSyncEngine))
            unsent.append(changeToPlist(change));
        file.insert(kUnsentChangesKey, unsent);
    }
    synclog::xt(QStringLiteral("[GeneralSyncInfo saveToDisk] called with %1 entries").arg(file.size()));
    if (file.isEmpty())
        return;
    const QString path = filePath();
    if (!createDirPathForFile(path))
        return;
    // The old file stays until the new one is complete: the write replaces it
    // only on success.
    QString error;
    if (!platform::plist::writeFile(path, file, &error))
        synclog::xt(QStringLiteral("[GeneralSyncInfo saveToDisk] cannot write %1: %2").arg(path, error));
}

bool GeneralSyncInfo::createDirPathForFile(const QString& path)
{
    const QString parent = QFileInfo(path).absolutePath();
    if (QFileInfo(parent).isDir() || QDir().mkpath(parent))
        return true;
    synclog::xt(QStringLiteral("Beep: cannot create the folder %1").arg(parent));
    return false;
}
