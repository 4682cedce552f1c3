#pragma once

#include <QVariantMap>

// What the device object asks of its phone's sync environment (whether and
// in which direction each organizer type is synced with the sync engine) and
// of the backup choice per organizer type. Organizer types 0-4; 5 and 6 read
// as 1. The device's own SyncEnvironment serves it; rules made through
// MFDevice::Makers take its place.
class SyncEnvironmentRules {
public:
    virtual ~SyncEnvironmentRules() = default;
    // Reads (or refreshes) the environments from the settings; true when the
    // work environment changed.
    virtual bool setupSyncEvironment() = 0;
    virtual bool wantsToUseSyncEngineAtAll() const = 0;
    virtual bool wantsToUseSyncEngineForProperty(int organizerType) const = 0;
    // Changes of the type flow from the phone to the sync engine.
    virtual bool wantsSyncChangesFromDevice(int organizerType) const = 0;
    // The type was synced successfully while the phone is connected.
    virtual bool wasDatabaseSynced(int organizerType) const = 0;
    // The type is synced with the sync engine, so it goes into the backup
    // whatever the backup mask says.
    virtual bool wantsToBackupOrganizerType(int organizerType) const = 0;
    // The bridge's "SyncEngineActive" with its user info.
    virtual void syncEngineDeviceActive(const QVariantMap& userInfo) = 0;
};
