#pragma once

#include "phone/OrganizerStorage.h"

class QVSyncElemList;

// The organizer archive's item list of one type as the device object asks
// for it (the item model cannot know the device object's interface).
class OrganizerStorageAdapter : public OrganizerStorage {
public:
    explicit OrganizerStorageAdapter(QVSyncElemList& list)
        : _list(list)
    {
    }
    QVSyncElemList& list() const { return _list; }

    void prepareSynchronization() override;
    bool evaluateSyncEnvironment(bool changedByUser) override;
    void clearChangesForSyncEngine() override;
    bool isSyncEngineList() const override;
    void resyncGroups() override;
    // The trash hands back only its type and id here, not the item: answers
    // false (the trash keeps it).
    bool replaceItem(TrashedItem& item) override;
    void recalcUsableItems() override;
    void useLastState() override;

private:
    QVSyncElemList& _list;
};
