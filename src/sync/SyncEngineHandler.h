#pragma once

#include "phone/DeviceSyncEngineHandler.h"
#include "platform/SyncChange.h"
#include "sync/SyncPush.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>

class MFDevice;
class QVSyncElemList;
class SynchronizationFeedbackConsumer;

namespace platform {
class Exception;
class ISyncClient;
class ISyncManager;
class ISyncSession;
} // namespace platform

// The hub identifier of a phone: the program's prefix, ".MarvestoZODA." and
// the phone's unique name (model, "-", serial number).
QString createClientName(const QString& uniqueName);
// Unregisters the client of a phone's device dictionary (forgotten or deleted
// phone, cancelled adding, shut-down); nothing without a unique name or a
// registered client.
void removeSyncEngineClient(const QVariantMap& deviceDict);
void removeSyncEngineClient(const QVariantMap& deviceDict, platform::ISyncManager& manager);

// One phone as a client of the desktop sync hub: its registration from the
// client description its sync protocol names, the organizer properties it
// exchanges (0 contacts, 1 calendar, 2 notes, 3 bookmarks; 5 and 6 count as
// 1), the engine claim it holds on the phone while a run goes on, and the runs
// themselves (SyncEngineHandlerRuns.cpp): the first read with a busy sheet,
// the foreground write, the trickle with its pull, and the background run
// that answers the hub's alerts. Main thread only; the waits run the event
// loop in bounded slices.
class SyncEngineHandler : public DeviceSyncEngineHandler {
public:
    static constexpr double kWaitSlice = 0.1;
    static constexpr int kDestructionWaitPasses = 80;
    static constexpr int kRemovalWaitPasses = 80;
    // The first read without a busy sheet that could end it.
    static constexpr int kInitialReadWaitPasses = 1200;
    // mergeFromScratch's code of a read from the engine: 'both'.
    static constexpr quint32 kBoth = 0x626F7468;
    // Result codes of the runs.
    static constexpr int kOK = 0;
    static constexpr int kFailed = -1;
    static constexpr int kRefused = -2;
    static constexpr int kNothingEnabled = -3;
    static constexpr int kNoClient = -4;
    static constexpr int kException = -5;
    static constexpr int kPollContinues = -1002;

    // Where the shipped client descriptions are looked up ("<folder>/<name>.plist"):
    // the program's resources unless a test sets others. One found among the
    // resources is copied to the application support folder for the hub.
    static void setDescriptionFolders(const QStringList& folders);
    static QStringList descriptionFolders();

    // The handler of the phone, its client registered when needed; none
    // without a client (no description, or the hub failed).
    static std::unique_ptr<SyncEngineHandler> initWithMFDevice(MFDevice& device);
    static std::unique_ptr<SyncEngineHandler> initWithMFDevice(MFDevice& device, platform::ISyncManager& manager);
    ~SyncEngineHandler() override;
    SyncEngineHandler(const SyncEngineHandler&) = delete;
    SyncEngineHandler& operator=(const SyncEngineHandler&) = delete;

    // ---- Identity and registration
    QString clientIdentifier() const;
    QString getSyncSchemaFilePath() const;
    std::shared_ptr<platform::ISyncClient> getClient();
    // Waits (bounded) while a run goes on, then unregisters the client.
    void removeSyncEngineClient();

    // ---- Configuration
    void updateEnabledEntities() override;
    void setPropertyEnabled(int property, bool enabled);
    QStringList enabledSupportedEntities();
    void enableSyncEngineNotifier() override;
    void setSlowModeForProperty(int property, bool slow) override;
    QVariant lastSyncTime(int property) const override;
    bool didSyncThisTime(int property) const;
    void updateSyncTimes(const std::shared_ptr<platform::ISyncClient>& client);
    bool isEnabled(int property) const { return property >= 0 && property < 4 && m_enabled[property]; }
    bool isSlowMode(int property) const { return property >= 0 && property < 4 && m_slowMode[property]; }
    bool reqSync(int property) const { return property >= 0 && property < 4 && m_reqSync[property]; }
    bool isClientInitialized() const { return m_isClientInitialized; }
    int pendingSessions() const { return m_pendingSessions; }
    bool initialReadDone() const { return m_initialReadDone; }

    // ---- Engine claim and busy state
    bool requestCommunication();
    void releaseCommunication();
    bool isBusy() const override { return m_pendingSessions > 0; }
    void finishSyncingSession(const std::shared_ptr<platform::ISyncSession>& session);
    void cancelSyncingSession(const std::shared_ptr<platform::ISyncSession>& session);
    void announceQuit() override;

    // ---- Entities and changes
    // The property's entity names; -1: those of every property the phone
    // syncs with the engine; none for other values.
    QStringList getEntityNamesForProperty(int property);
    int getPropertyForChange(const platform::SyncChange& change);
    // The change's entity name, its property in outProperty (-1 and a null
    // name when neither a record, an item nor a group or calendar tells).
    QString getTypeAndPropertyForChange(const platform::SyncChange& change, int* outProperty);
    static QString entityForChange(const syncpush::PushItem& item, QVSyncElemList& storage);
    bool wantsChanges(int property, platform::ISyncSession& session, bool* slow);
    // "SyncEngineActive" with the phone: {"Active"} for a busy toggle, with
    // "SyncData" YES around a sync.
    void setSyncingUISyncState(bool state, bool forSync);
    // The property's pending changes (or all its records) into the session;
    // the pending list ends empty. Answers whether anything went out.
    bool pushChangesToSyncSession(int property, platform::ISyncSession& session, bool mustSlowSync);
    static QList<syncpush::PushItem> allRecordsForEntity(const QString& entityName, QVSyncElemList& storage);
    static void moveChangesForEntity(const QString& entityName, QList<syncpush::PushItem>& pending,
                                     QList<syncpush::PushItem>* target, QVSyncElemList& storage);

    // ---- The runs (SyncEngineHandlerRuns.cpp)
    // replaceAll: non-zero reads every enabled property from scratch.
    int initialReadFromSyncEngine(int replaceAll, SynchronizationFeedbackConsumer* consumer) override;
    void initialSessionDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                      const std::shared_ptr<platform::ISyncSession>& session);
    void pullInitialChangesDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                          const std::shared_ptr<platform::ISyncSession>& session);
    int writeToSyncEngine(int property);
    // -1: every property of 0..3 that is enabled and has an item list.
    int trickleSyncEngine(int property) override;
    void trickleSessionDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                      const std::shared_ptr<platform::ISyncSession>& session);
    void pullChangesDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                   const std::shared_ptr<platform::ISyncSession>& session);
    void syncDeviceAlertHandler(const std::shared_ptr<platform::ISyncClient>& client, const QStringList& names);
    void bgSessionDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                 const std::shared_ptr<platform::ISyncSession>& session);
    void pullBgChangesDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                     const std::shared_ptr<platform::ISyncSession>& session);

private:
    SyncEngineHandler(MFDevice& device, platform::ISyncManager& manager);

    QVSyncElemList* storage(int property) const;
    QVSyncElemList* createEmptyStorage(int property) const;
    using SessionDone = void (SyncEngineHandler::*)(const std::shared_ptr<platform::ISyncClient>&,
                                                    const std::shared_ptr<platform::ISyncSession>&);
    // A hub callback that reaches this handler only while it lives.
    std::function<void(const std::shared_ptr<platform::ISyncClient>&, const std::shared_ptr<platform::ISyncSession>&)>
    callback(SessionDone done);
    void installAlertHandler(const std::shared_ptr<platform::ISyncClient>& client);
    // The properties a trickle of property runs for.
    QList<int> runProperties(int property) const;
    QStringList entityNamesOf(const QList<int>& properties);
    // Applies one pulled change to the property's list and accepts it; the
    // group-changed flag and the changed item id for a pull.
    void applyPulledChange(platform::ISyncSession& session, const platform::SyncChange& change, const QString& entity,
                           int property, QVSyncElemList* list, bool* groupChanged, bool* changed,
                           QStringList* changedIds);
    // The pull of a trickle (properties) or of an alert run: the lists
    // updated, the session finished.
    void pullInto(const std::shared_ptr<platform::ISyncSession>& session, const QList<int>& properties,
                  bool background);
    // A hub failure: logged; unless transient, the client removed and the
    // phone's data invalidated.
    void failed(const QString& where, const platform::Exception& e, bool transientEndsRunOnly);

    MFDevice& m_device;
    platform::ISyncManager& m_manager;
    std::shared_ptr<platform::ISyncClient> m_client;
    std::array<bool, 4> m_enabled{};
    std::array<bool, 4> m_reqSync{};
    std::array<bool, 4> m_slowMode{};
    std::array<bool, 4> m_didSyncThisTime{};
    bool m_isClientInitialized = false;
    int m_trickSyncProperty = 0;
    QList<int> m_trickleProperties;
    int m_pendingSessions = 0;
    // Whether this handler holds the device's engine claim: a run the first
    // read stopped waiting for still ends later, and must not give back a
    // claim it no longer holds.
    bool m_holdsClaim = false;
    bool m_aboutToQuit = false;
    std::array<QString, 4> m_lastSyncTime;
    // Entities whose every record the current run pushed.
    QSet<QString> m_pushedWhole;
    bool m_initialReadDone = false;
    bool m_notifierEnabled = false;
    // A first read waits on the stack; a quit meanwhile ends the handler after it.
    bool m_inInitialRead = false;
    SynchronizationFeedbackConsumer* m_feedbackConsumer = nullptr;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
