#pragma once

#include "desktopstore/ContactCard.h"
#include "desktopstore/PullJournal.h"
#include "platform/Clock.h"
#include "platform/SyncChange.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class ISyncClient;
class ISyncManager;
class ISyncSession;
} // namespace platform

namespace desktopstore {

// User default naming the store's root folder.
inline const QString kDesktopStorePathKey = QStringLiteral("DesktopStorePath");
inline const QString kContactsFolderName = QStringLiteral("contacts");
inline const QString kNotesFolderName = QStringLiteral("notes");
// The store's own bookkeeping in the root folder (hidden, so never an item).
inline const QString kStateFileName = QStringLiteral(".marvesto-state.plist");
inline const QString kClientDescriptionFileName = QStringLiteral(".marvesto-client.plist");

// The desktop side of the sync hub: a vdir folder that desktop programs share,
// contacts/ holding one vCard per .vcf file, and one folder per calendar
// (its title in "displayname" and its colour in "color", as vdirsyncer
// writes them) holding one event or
// task per .ics file, and notes/ holding one note (VJOURNAL) per .ics file; contact groups are the CATEGORIES of their
// members. A scan turns new, changed and removed files into a push (the first run, or a new root, pushes all); the pull
// writes or removes files through a PullJournal, so that a process stopped at any point leaves nothing the next start
// does not know: it finishes the pull's plan, and pushes again what a session the hub never took had pushed. A
// recurring event's moved occurrences are events of their own, with ids made of the event's id and the date they
// replace. Per file the store keeps its etag (mtime in ns, size, inode), a content hash and the records last exchanged,
// so an unchanged file is never read and the store's own writes never come back as changes.
class DesktopStore {
public:
    static const QString kClientIdentifier;
    // Seconds between two scans while the store runs.
    static constexpr double kScanInterval = 5.0;

    // The folder of "DesktopStorePath", else dataHome/MarvestoLG/desktop.
    static QString defaultRootPath();

    DesktopStore(platform::ISyncManager& manager, QString rootPath);
    ~DesktopStore();
    DesktopStore(const DesktopStore&) = delete;
    DesktopStore& operator=(const DesktopStore&) = delete;

    const QString& rootPath() const { return m_root; }

    // Registers the client and syncs now, when the folder changes, every
    // kScanInterval seconds and when another client's changes wait.
    void start();
    // One session: scan, push, pull, write. done (if given) follows with
    // whether it finished. A call while a session runs queues one more.
    void synchronize(std::function<void(bool finished)> done = {});
    bool isSyncing() const { return m_syncing; }

    // The changes a scan finds now (nothing is pushed or recorded).
    QList<platform::SyncChange> pendingChanges();

    // Called after each step of a pull's file work (see PullJournal), so a
    // test can stop the process part-way.
    void setPullStepObserver(PullJournal::StepObserver observer) { m_pullStep = std::move(observer); }

private:
    // What the store knows about one item file.
    struct FileEntry {
        QString etag;
        QByteArray hash;
        QString uid;
        QString recordId;
        QVariantMap records;   // record id -> record, the contact's first
        QStringList groups;    // a contact's group names (CATEGORIES)
    };
    using FileMap = QMap<QString, FileEntry>;   // by path relative to the root
    // A calendar folder's record.
    struct CalendarEntry {
        QString id;
        QString title;
        QString color;   // "#RRGGBB" or as another program wrote it; empty for none
    };
    using CalendarMap = QMap<QString, CalendarEntry>;   // by folder name
    // A contact group: the contacts whose CATEGORIES name it.
    struct GroupEntry {
        QString id;
        QStringList members;   // contact record ids, sorted
    };
    using GroupMap = QMap<QString, GroupEntry>;   // by name
    struct Scan {
        FileMap files;
        CalendarMap calendars;
        GroupMap groups;
        QList<platform::SyncChange> changes;
    };

    std::shared_ptr<platform::ISyncClient> client();
    Scan scan() const;
    // calendarId is empty for contacts/, notes/ and a calendar folder the hub
    // does not know yet.
    void scanFolder(const QString& folderName, const QString& calendarId, Scan& result, QSet<QString>& seen) const;
    std::optional<QVariantMap> readItem(const QByteArray& data, const QString& folderName, const QString& calendarId,
                                        FileEntry& entry, QString* error) const;
    QByteArray writeItem(const QString& relative, const FileEntry& entry, const QByteArray& previous) const;
    QString calendarFolder(const QString& calendarId, const CalendarMap& calendars) const;
    QString freeName(const QString& id, const QString& folder, const QString& suffix,
                     const std::function<bool(const QString&)>& taken) const;
    void pushAndPull(const std::shared_ptr<platform::ISyncSession>& session, Scan scanned,
                     std::function<void(bool)> done);
    // What a session pushed, kept with a pull's plan: when the process stops
    // before the hub takes the session, the next session pushes it again.
    struct Pushed {
        QList<platform::SyncChange> changes;
        bool all = false;
    };
    void pull(const std::shared_ptr<platform::ISyncSession>& session, FileMap files, CalendarMap calendars,
              GroupMap groups, const Pushed& pushed);
    // The groups named by the contacts of files, with the ids of known.
    static GroupMap groupsOf(const FileMap& files, const GroupMap& known);
    void endSync(bool finished, const std::function<void(bool)>& done);
    void loadState();
    void adoptState(const QVariantMap& state);
    static QVariantMap stateOf(const FileMap& files, const CalendarMap& calendars, const GroupMap& groups);
    void saveState() const;
    // Finishes a pull a stopped process left; false when a plan stays.
    bool recoverPull();
    // The latest date the hub finished a session of this store (ms), -1 for none.
    qint64 lastSyncDate() const;
    QString itemPath(const QString& relative) const;

    platform::ISyncManager& m_manager;
    QString m_root;
    FileMap m_files;
    CalendarMap m_calendars;
    GroupMap m_groups;
    // Files skipped as unreadable or broken, with the etag they had then.
    mutable QHash<QString, QString> m_skipped;
    // Pushed by a session the hub never took, sent again by the next.
    Pushed m_unconfirmed;
    PullJournal::StepObserver m_pullStep;
    bool m_syncing = false;
    bool m_again = false;
    // What the watched folders showed when the last session ended: a change
    // notice that finds them so (the store's own writes) starts nothing.
    QByteArray watchedFolders() const;
    void watchedFolderChanged();

    platform::Timer m_timer;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    QByteArray m_watchedFoldersAtEnd;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace desktopstore
