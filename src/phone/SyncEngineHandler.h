#pragma once

#include <QVariant>

// What the device object asks of the sync-engine handler of its phone; the
// handler itself is built by the sync engine's bridge and handed in through
// MFDevice::Makers.
class SyncEngineHandler {
public:
    virtual ~SyncEngineHandler() = default;
    // Organizer type 0-3, or -1 for all: hands the pending changes to the
    // sync engine. 0 when done.
    virtual int trickleSyncEngine(int organizerType) = 0;
    virtual bool isBusy() const = 0;
    virtual void updateEnabledEntities() = 0;
    virtual void announceQuit() = 0;
    // The sync client's last sync time of an organizer type as text (5 and 6:
    // the calendar's); null when it has none.
    virtual QVariant lastSyncTime(int organizerType) const
    {
        (void)organizerType;
        return {};
    }
};
