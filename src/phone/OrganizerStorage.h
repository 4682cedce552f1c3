#pragma once

#include <QString>

// An item the trash gives back: a contact (organizer type 0), an event (1)
// or something the organizer storages do not take (-1).
class TrashedItem {
public:
    virtual ~TrashedItem() = default;
    virtual int organizerType() const = 0;
    virtual void setSourceURI(const QString& uri) = 0;
};

// What the device object asks of the organizer archive's storage of one
// organizer type (0-4).
class OrganizerStorage {
public:
    virtual ~OrganizerStorage() = default;
    // A sync with the phone starts for the type.
    virtual void prepareSynchronization() = 0;
    // The sync environment changed; true when the storage must be made anew.
    virtual bool evaluateSyncEnvironment(bool changedByUser) = 0;
    virtual void clearChangesForSyncEngine() = 0;
    virtual bool isSyncEngineList() const = 0;
    virtual void resyncGroups() = 0;
    // Takes an item back from the trash; false when it does not.
    virtual bool replaceItem(TrashedItem& item) = 0;
    virtual void recalcUsableItems() = 0;
    virtual void useLastState() = 0;
};
