#pragma once

#include "phone/SharedSyncInfo.h"
#include "platform/SyncChange.h"
#include "sync/SyncPush.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class ISyncClient;
class ISyncManager;
class ISyncSession;
} // namespace platform

// The contact groups, calendars and bookmark folders that all phones share: a
// client of the sync hub of its own (not tied to a phone) that mirrors them
// in GlobalSyncInfo.plist, adds the new ones a phone brings and keeps them in
// step with the hub by trickle and alert-driven background runs. One run at a
// time; everything on the main thread.
class GeneralSyncInfo : public SharedSyncInfo {
public:
    static constexpr double kWaitSlice = 0.1;
    static constexpr int kRequestInfoWaitPasses = 160;
    static constexpr int kInitialReadWaitPasses = 100;
    static constexpr int kDestructionWaitPasses = 80;
    static const QString kFileName;         // "GlobalSyncInfo.plist"
    static const QString kDescriptionName;  // "QVSync-App", its file "QVSync-App.plist"
    static const QString kUnsentChangesKey; // "unsent ISyncChanges"

    // The program's instance (over the program's hub and the application
    // support folder), made on first use.
    static GeneralSyncInfo& sharedGeneralSyncInfo();
    static bool isGeneralSyncInfoAlloced();
    // Ends the program's instance (at shut-down, and between tests).
    static void releaseSharedGeneralSyncInfo();
    // The hub identifier: the program's prefix + ".MarvestoLG".
    static QString clientIdentifier();
    // "com.apple.contacts.Group", "com.apple.bookmarks.Folder",
    // "com.apple.calendars.Calendar".
    static const QStringList& getEntityNames();

    // folder holds the file and the client description.
    GeneralSyncInfo(platform::ISyncManager& manager, QString folder);
    ~GeneralSyncInfo() override;
    GeneralSyncInfo(const GeneralSyncInfo&) = delete;
    GeneralSyncInfo& operator=(const GeneralSyncInfo&) = delete;

    QString filePath() const;
    QString descriptionFilePath() const;

    // The registered client (registering it when needed); none on failure.
    std::shared_ptr<platform::ISyncClient> getClient();
    void functionalityRequired() override;
    bool requestInfo(bool wait) override;
    void announceQuit() override;
    bool isBusy() const override { return m_pendingSessions > 0; }
    void updateSyncTimes(const std::shared_ptr<platform::ISyncClient>& client);
    static bool equalDates(const QString& date, const QString& compDate);
    void updateWithSyncEngine();

    // The dictionaries (record id -> record); none until read or pulled.
    const std::optional<QVariantMap>& groupDictionary() const { return m_groups; }
    const std::optional<QVariantMap>& calendarDictionary() const { return m_calendars; }
    const std::optional<QVariantMap>& bookmarkFolderDictionary() const { return m_bookmarkFolders; }
    // Their records in the order of their ids.
    QList<QVariantMap> groups() const override;
    QList<QVariantMap> calendars() const override;
    QList<QVariantMap> bookmarkFolders() const override;
    // The n-th record's "name", "title", "name"; a null text past the end.
    QString groupName(int index) const;
    QString calendarName(int index) const;
    QString bookmarkFolderName(int index) const;
    // The n-th record id; a null text past the end.
    QString groupID(int index) const override;
    QString calendarID(int index) const override;
    QString bookmarkFolderID(int index) const override;
    QString uuidForBookmarkFolderName(const QString& name) const;
    // The highest "position" of the folders under parentId (an empty id: of
    // the folders without a parent); 0 for none.
    qlonglong highestNonParentBookmarkFolderPosition(const QString& parentId) const;

    // Store a new record, queue its add for the hub and answer its id.
    QString addGroup(const QString& name);
    QString addCalendar(const QString& title);
    QString addBookmarkFolder(const QString& name);

    void invalidateAllData();
    QString description() const;
    // Logs the state and posts "SyncEngineActive" ({"Active", "SetupChanged"}).
    void setSyncingUISyncState(bool state, bool didChange);
    // 0, or -1 without a client.
    int enableSyncEngineNotifier(bool on);
    void removeSyncEngineClient();

    bool readFromDisk();
    void saveToDisk();
    // Makes the missing folders of the file's path; false (with a log line)
    // when one cannot be made.
    static bool createDirPathForFile(const QString& path);

    // One pulled change applied to its kind.
    void processOneSyncEngineGroupChange(const platform::SyncChange& change);
    void processOneSyncEngineCalendarChange(const platform::SyncChange& change);
    void processOneSyncEngineFolderChange(const platform::SyncChange& change);

    // The runs.
    void syncGeneralAlertHandler(const std::shared_ptr<platform::ISyncClient>& client, const QStringList& names);
    void bgSessionDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                 const std::shared_ptr<platform::ISyncSession>& session);
    // 0 started or about to quit; -1 inactive, hub off or no client; -2 a run is pending.
    int trickleSyncEngine();
    void bgTrickleSessionDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                        const std::shared_ptr<platform::ISyncSession>& session);
    void pushChangesToSyncSession(platform::ISyncSession& session);
    QList<syncpush::PushItem> allRecordsForEntity(const QString& entityName) const;
    void moveChangesForEntity(const QString& entityName, QList<syncpush::PushItem>* target);
    void pullBgChangesDoneWithClient(const std::shared_ptr<platform::ISyncClient>& client,
                                     const std::shared_ptr<platform::ISyncSession>& session);
    void prepareSlowSyncForEntity(const QString& entityName);
    // 0 after the wait; -1 inactive or hub off, -2 a run is pending, -4 no
    // client, or the trickle's code when it did not start.
    int initialReadFromSyncEngine() override;

    bool isClientInitialized() const { return m_isClientInitialized; }
    bool isActive() const { return m_isActive; }
    bool initialReadDone() const { return m_initialReadDone; }
    bool groupsNeedSync() const { return m_groupsNeedSync; }
    bool calendarsNeedSync() const { return m_calendarsNeedSync; }
    bool bookmarkFoldersNeedSync() const { return m_bookmarkFoldersNeedSync; }
    const QList<platform::SyncChange>& changesForSyncEngine() const { return m_changesForSyncEngine; }
    const QStringList& syncEntities() const { return m_syncEntities; }
    QString lastSyncDate(const QString& entityName) const;

private:
    enum Kind { kGroups = 0, kCalendars = 1, kFolders = 2, kKindCount = 3 };
    struct KindInfo {
        const QString& entity;
        QString fileKey;
        QString timeKey;
        QString nameKey;
        QString slowLog;
    };
    static const KindInfo& info(Kind kind);
    std::function<void(const std::shared_ptr<platform::ISyncClient>&, const QStringList&)> alertHandler();
    static int kindOfEntity(const QString& entityName);
    std::optional<QVariantMap>& dictionary(Kind kind);
    const std::optional<QVariantMap>& dictionary(Kind kind) const;
    QString& syncTime(Kind kind);
    QString nthId(Kind kind, int index) const;
    QString nthValue(Kind kind, int index, const QString& key) const;
    QList<QVariantMap> records(Kind kind) const;
    QString add(Kind kind, QVariantMap record);
    void processChange(Kind kind, const platform::SyncChange& change);
    // Asks the hub to replace the missing kinds among names; false on an exception.
    void replaceMissingKinds(const std::shared_ptr<platform::ISyncClient>& client, const QStringList& names,
                             const QString& logText);
    void endRunAfterException(const std::shared_ptr<platform::ISyncSession>& session, const QString& name,
                              bool invalidate);
    void refreshSyncTimes();
    // Ends a run at quit: finish the session, clear the mark, refresh the times.
    void finishAtQuit(const std::shared_ptr<platform::ISyncSession>& session);
    // The start of both background runs: takes the client, ends at quit or
    // without a session, pushes the pending changes. false when the run ends.
    bool pushIntoBackgroundSession(const std::shared_ptr<platform::ISyncClient>& client,
                                   const std::shared_ptr<platform::ISyncSession>& session, const QString& where,
                                   bool trickle);
    void waitWhileBusy(int maxPasses);
    void prepareBackgroundPull(const std::shared_ptr<platform::ISyncSession>& session, const QStringList& names);

    platform::ISyncManager& m_manager;
    QString m_folder;
    std::shared_ptr<platform::ISyncClient> m_client;
    bool m_isClientInitialized = false;
    bool m_aboutToQuit = false;
    int m_pendingSessions = 0;
    std::optional<QVariantMap> m_groups;
    std::optional<QVariantMap> m_calendars;
    std::optional<QVariantMap> m_bookmarkFolders;
    QString m_lastGroupsSyncDate;
    QString m_lastCalendarsSyncDate;
    QString m_lastBookmarkFoldersSyncDate;
    QList<platform::SyncChange> m_changesForSyncEngine;
    QStringList m_syncEntities;
    bool m_groupsNeedSync = false;
    bool m_calendarsNeedSync = false;
    bool m_bookmarkFoldersNeedSync = false;
    bool m_initialReadDone = false;
    bool m_isActive = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
