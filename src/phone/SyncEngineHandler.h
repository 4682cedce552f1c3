#pragma once

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
};
