#pragma once

#include "phone/SyncEnvironmentRules.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <optional>

class MFDevice;

// The phone's sync settings for the sync engine ("sync environment"): per
// organizer type whether and in which direction changes flow, which of the
// engine's groups take part, and the calendar's time window. Three of them:
// main (in force), work (being edited) and user (as the user last saw it),
// kept in the device and stored in its settings when it goes. Main thread
// only; the waits run the event loop, bounded.
class SyncEnvironment : public SyncEnvironmentRules {
public:
    static constexpr double kEnvironmentWaitSlice = 0.5;
    static constexpr int kEnvironmentWaitPasses = 20;
    static constexpr double kHandlerWaitSlice = 0.1;
    static constexpr int kHandlerWaitPasses = 300;
    // "OlderThan" and "YoungerThan" defaults (61 days; 14 days back for a
    // phone that keeps two weeks only) and the stand-in for a missing or
    // zero bound (36600 days).
    static constexpr long kDefaultWindow = 5270400;
    static constexpr long kTwoWeeks = 1209600;
    static constexpr double kUnbounded = 3162240000.0;

    explicit SyncEnvironment(MFDevice& device);

    // SyncEnvironmentRules
    bool setupSyncEvironment() override;
    bool wantsToUseSyncEngineAtAll() const override;
    bool wantsToUseSyncEngineForProperty(int organizerType) const override;
    bool wantsSyncChangesFromDevice(int organizerType) const override;
    bool wasDatabaseSynced(int organizerType) const override;
    bool wantsToBackupOrganizerType(int organizerType) const override;
    void syncEngineDeviceActive(const QVariantMap& userInfo) override;

    // A new environment from a stored one (or none); nullopt when the
    // engine's information cannot be had. Entries of the wrong type are
    // passed over for their defaults.
    std::optional<QVariantMap> createSyncEnvironment(const QVariant& stored) const;
    std::optional<QVariantMap> mainSyncEnvironment();
    std::optional<QVariantMap> workSyncEnvironment() const;
    // Makes the work environment from the main one when there is none.
    QVariantMap* requestWorkSyncEnvironment();
    void freeWorkSyncEnvironment();
    std::optional<QVariantMap> userSyncEnvironment();
    // false when nothing was applied: no work environment, or the handler
    // stayed busy past the wait, or an apply is already under way.
    bool applyWorkSyncEnvironment(bool byUser);
    bool applyWorkSyncEnvironmentByUser();
    void saveSyncDisabledSettings();

    // Per-type decisions; 5 and 6 read as 1.
    long syncDirectionsModus(int organizerType) const;
    bool wantsSyncChangesFromEngine(int organizerType) const;
    bool isMobileMaster(int organizerType) const;
    bool doesDeviceWantContact(bool hasPhoneNumbers) const;
    bool isPeriodInWantedCalendarPeriod(const QDateTime& start, const QDateTime& end) const;
    // Marks the marked types for a trickle when one of them syncs now.
    bool isSyncingDevice(const std::array<bool, 4>& types);
    void prepareSyncing(int organizerType);
    void syncFinished(int organizerType, int error);
    void syncEngineFinished();

private:
    static int calendarType(int organizerType);
    QVariantMap typeEntry(int organizerType) const;
    void recreateArchive();

    MFDevice& _device;
    std::array<bool, 5> _syncedThisTime{};
    std::array<bool, 4> _syncingWithDevice{};
    bool _applying = false;
    mutable bool _waitingForEnvironment = false;
};
