#include "phone/OrganizerStorageAdapter.h"

#include "syncmodel/QVSyncElemList.h"

void OrganizerStorageAdapter::prepareSynchronization()
{
    _list.prepareSynchronization();
}

bool OrganizerStorageAdapter::evaluateSyncEnvironment(bool changedByUser)
{
    return _list.evaluateSyncEnvironment(changedByUser);
}

void OrganizerStorageAdapter::clearChangesForSyncEngine()
{
    _list.clearChangesForSyncEngine();
}

bool OrganizerStorageAdapter::isSyncEngineList() const
{
    return _list.isSyncEngineList();
}

void OrganizerStorageAdapter::resyncGroups()
{
    _list.resyncGroups();
}

bool OrganizerStorageAdapter::replaceItem(TrashedItem& item)
{
    (void)item;
    return false;
}

void OrganizerStorageAdapter::recalcUsableItems()
{
    _list.recalcUsableItems();
}

void OrganizerStorageAdapter::useLastState()
{
    _list.useLastState();
}
