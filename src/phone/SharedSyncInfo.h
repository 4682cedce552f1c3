#pragma once

// What the device object asks of the one sync-engine information object the
// application shares between all phones (the engine's groups, calendars and
// bookmark folders).
class SharedSyncInfo {
public:
    virtual ~SharedSyncInfo() = default;
    // A run with the sync engine is under way.
    virtual bool isBusy() const = 0;
    virtual void announceQuit() = 0;
};
