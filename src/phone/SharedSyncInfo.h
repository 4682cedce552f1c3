#pragma once

#include <QList>
#include <QVariantMap>

// What the device object asks of the one sync-engine information object the
// application shares between all phones (the engine's groups, calendars and
// bookmark folders).
class SharedSyncInfo {
public:
    virtual ~SharedSyncInfo() = default;
    // A run with the sync engine is under way.
    virtual bool isBusy() const = 0;
    virtual void announceQuit() = 0;
    // Reads the engine's information; false when it cannot be had.
    virtual bool requestInfo(bool force)
    {
        (void)force;
        return true;
    }
    // The engine's lists in their order: contact groups and bookmark
    // folders ("name"), calendars ("title", maybe "read only").
    virtual QList<QVariantMap> groups() const { return {}; }
    virtual QList<QVariantMap> calendars() const { return {}; }
    virtual QList<QVariantMap> bookmarkFolders() const { return {}; }
    // A phone needs the engine now.
    virtual void functionalityRequired() {}
    // Everything is read from the engine again.
    virtual void initialReadFromSyncEngine() {}
};
