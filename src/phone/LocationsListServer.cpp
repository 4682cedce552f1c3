#include "phone/LocationsListServer.h"

#include "foundation/NamedLog.h"
#include "platform/PropertyList.h"

#include <QFileInfo>
#include <algorithm>

namespace {
constexpr const char* kFiles = "Files";
constexpr const char* kNextFileID = "NextFileID";
constexpr const char* kDeviceEntry = "DeviceEntry";
constexpr const char* kDeviceFullPath = "DeviceFullPath";
constexpr long kMaxFileID = 1000000000000L;
} // namespace

QString SharedLocations::pathOfEntry(const QVariant& entry)
{
    return entry.toMap().value(QLatin1String(kDeviceEntry)).toMap().value(QLatin1String(kDeviceFullPath)).toString();
}

void SharedLocations::setEntry(long id, const QVariantMap* entry)
{
    const QString key = QString::number(id);
    const auto old = files.constFind(key);
    if (old != files.cend()) {
        const QString oldPath = pathOfEntry(*old).toLower();
        auto ids = idsByPath.find(oldPath);
        if (ids != idsByPath.end()) {
            ids->erase(id);
            if (ids->empty())
                idsByPath.erase(ids);
        }
    }
    if (!entry) {
        files.remove(key);
        return;
    }
    files.insert(key, *entry);
    idsByPath[pathOfEntry(*entry).toLower()].insert(id);
    nextFileID = std::max(nextFileID, id + 1);
}

void SharedLocations::rebuildIndex()
{
    idsByPath.clear();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const long id = it.key().toLong();
        idsByPath[pathOfEntry(*it).toLower()].insert(id);
        nextFileID = std::max(nextFileID, id + 1);
    }
}

LocationsListServer& LocationsListServer::sharedLocationsListServer()
{
    static LocationsListServer server;
    return server;
}

std::shared_ptr<SharedLocations> LocationsListServer::getLocationsList(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    if (auto cached = _locations.value(path))
        return cached;
    QString error;
    const QVariant stored = platform::plist::readFile(path, &error);
    const QVariant files = stored.toMap().value(QLatin1String(kFiles));
    if (stored.typeId() != QMetaType::QVariantMap || files.typeId() != QMetaType::QVariantMap) {
        QVLOG(qvlog::kXT, QStringLiteral("Location list %1 not readable: %2").arg(path, error));
        return nullptr;
    }
    auto list = std::make_shared<SharedLocations>();
    const QVariantMap entries = files.toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        bool isNumber = false;
        const long id = it.key().toLong(&isNumber);
        if (!isNumber || id <= 0 || id > kMaxFileID || QString::number(id) != it.key()
            || it->typeId() != QMetaType::QVariantMap) {
            QVLOG(qvlog::kXT, QStringLiteral("Location list %1: entry %2 skipped").arg(path, it.key()));
            continue;
        }
        list->files.insert(it.key(), *it);
    }
    list->nextFileID = std::max(kFirstFileID, long(stored.toMap().value(QLatin1String(kNextFileID)).toLongLong()));
    list->rebuildIndex();
    _locations.insert(path, list);
    return list;
}

std::shared_ptr<SharedLocations> LocationsListServer::newLocationsList(const QString& path)
{
    auto list = std::make_shared<SharedLocations>();
    list->nextFileID = kFirstFileID;
    if (!path.isEmpty())
        _locations.insert(path, list);
    return list;
}
