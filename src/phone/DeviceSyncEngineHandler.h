#pragma once

#include <QVariant>

class SynchronizationFeedbackConsumer;

// What the device object and its organizer archive ask of the sync-engine
// handler of their phone; the handler itself is the sync client of the phone,
// handed in through MFDevice::Makers.
class DeviceSyncEngineHandler {
public:
    virtual ~DeviceSyncEngineHandler() = default;
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
    // Lets the sync engine alert this phone's client about desktop changes.
    virtual void enableSyncEngineNotifier() {}
    // The next sync of an organizer type with the engine is a slow one.
    virtual void setSlowModeForProperty(int organizerType, bool slow)
    {
        (void)organizerType;
        (void)slow;
    }
    // Reads what the sync engine holds for an organizer type into its list,
    // reporting to the busy sheet when there is one. 0 when done, -2 while
    // the engine is busy (ask again later), other negative values on failure.
    virtual int initialReadFromSyncEngine(int organizerType, SynchronizationFeedbackConsumer* feedback)
    {
        (void)organizerType;
        (void)feedback;
        return -1;
    }
};
