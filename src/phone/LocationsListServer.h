#pragma once

#include <QMap>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <set>

// One loaded location list, shared by every mirror opened on its anchor:
// the entries by id string, the next id (always above every id in the
// list) and an index of the ids by lower-cased phone path.
struct SharedLocations {
    QVariantMap files;
    long nextFileID = 0;
    QMap<QString, std::set<long>> idsByPath;

    void setEntry(long id, const QVariantMap* entry);
    void rebuildIndex();
    static QString pathOfEntry(const QVariant& entry);
};

// The process-wide cache of loaded location lists, by file path.
class LocationsListServer {
public:
    static constexpr long kFirstFileID = 4711;

    static LocationsListServer& sharedLocationsListServer();

    // The cached list, else the file read and cached; none when the path is
    // empty or the file cannot be read or has no "Files" (logged). Entries
    // of the wrong kind are dropped.
    std::shared_ptr<SharedLocations> getLocationsList(const QString& path);
    // The cached list; none when the path has none.
    std::shared_ptr<SharedLocations> cachedList(const QString& path) const { return _locations.value(path); }
    // A new empty list (next id 4711) cached under the path.
    std::shared_ptr<SharedLocations> newLocationsList(const QString& path);
    // Forgets every cached list (tests, a reopened anchor after deletion).
    void clear() { _locations.clear(); }

private:
    QMap<QString, std::shared_ptr<SharedLocations>> _locations;
};
