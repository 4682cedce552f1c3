#pragma once

#include <QList>
#include <QString>
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
    // Whether the engine's information is there; wait: wait (a bounded
    // time) for a run under way to bring it.
    virtual bool requestInfo(bool wait)
    {
        (void)wait;
        return true;
    }
    // The engine's lists in their order: contact groups and bookmark
    // folders ("name"), calendars ("title", maybe "read only").
    virtual QList<QVariantMap> groups() const { return {}; }
    virtual QList<QVariantMap> calendars() const { return {}; }
    virtual QList<QVariantMap> bookmarkFolders() const { return {}; }
    // The record id of the n-th entry of a list; a null text past the end.
    virtual QString groupID(int index) const
    {
        (void)index;
        return {};
    }
    virtual QString calendarID(int index) const
    {
        (void)index;
        return {};
    }
    virtual QString bookmarkFolderID(int index) const
    {
        (void)index;
        return {};
    }
    // A phone needs the engine now.
    virtual void functionalityRequired() {}
    // Everything is read from the engine again: 0 once done, a negative code
    // when it could not start.
    virtual int initialReadFromSyncEngine() { return 0; }
};
