#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class DZDataManager;
class DZDirectoryEntry;
class QVAction;
class QMimeData;

// The file browser's drag and drop: which dropped desktop files a view may
// take, the phone paths a drag carries, the copies from the phone that a
// drag onto a desktop folder asks for, and the temporary copies that a drag
// out hands to the desktop as file URLs. Names from the phone are made safe
// before they become desktop paths and never leave their folder. Temporary
// drag folders go some time after their drag ended, and all that is left of
// them when the program quits, also when the helper itself goes first (a
// drop target may still be reading them). Main thread only; the copies for a
// drag are made on a worker thread.
class FileDragAndDrop : public QObject {
    Q_OBJECT

public:
    // The pasteboard type of the phone paths of a drag.
    static inline const QString kPhonePathsType = QStringLiteral("application/x-marvesto-phone-paths");
    // How long a drag's temporary copies stay after the drag ended: the
    // desktop may still be reading them.
    static constexpr double kDragFolderGrace = 60.0;

    explicit FileDragAndDrop(DZDataManager* manager, QObject* parent = nullptr);
    ~FileDragAndDrop() override;

    // Suffixes compared without case; the filter is a list of suffixes or
    // one "/"-separated text.
    static QStringList filterList(const QString& slashSeparated);
    bool availableFiles(const QStringList& paths, const QStringList& filter) const;
    QStringList filterFiles(const QStringList& paths, const QStringList& filter) const;

    // Posts a copy from the phone into destination for each entry; answers
    // the names under which they will arrive.
    QStringList namesOfPromisedFilesDroppedAtDestination(const QString& destination,
                                                         const std::vector<std::shared_ptr<DZDirectoryEntry>>& items);
    // Posts the copy of a phone file or folder into a desktop folder, the
    // file under its safe name (a name that needs making safe is fetched
    // into a hidden folder beside the target and renamed into place once
    // whole; a failed or cancelled copy leaves nothing). overwrite: an
    // existing file of that name is replaced; without it a file of that
    // name that appeared meanwhile stays and the copy takes a free name
    // ("2 name", ...). The rename also happens when the helper went before
    // the copy ended, and at the program's quit at the latest. None when
    // refused.
    std::shared_ptr<QVAction> copyToComputer(const std::shared_ptr<DZDirectoryEntry>& entry, const QString& folder,
                                             bool overwrite);
    int pendingRenameCount() const;
    // Puts a finished file into target (inside the same folder and file
    // system): replacing what is there when replace is set, else under the
    // first free name of target's folder ("2 name", "3 name", ...), never
    // over an existing file, also one that appears meanwhile. Answers the
    // path used, empty on failure (file then stays where it was).
    static QString putIntoPlace(const QString& file, const QString& target, bool replace);
    static constexpr double kRenameCheckInterval = 0.25;
    static inline const QString kStagingPrefix = QStringLiteral(".marvesto-incoming-");
    QString getDragHandyPath(const std::shared_ptr<DZDirectoryEntry>& node) const;
    void fillPasteBoard(const QStringList& phonePaths, QMimeData* pasteboard, QObject* owner) const;
    static QStringList phonePathsOf(const QMimeData* pasteboard);

    using CopiesMade = std::function<void(const QStringList& copies)>;
    // Copies local files (with the names they shall have) into a new
    // temporary drag folder on a worker thread. done gets the copies' paths
    // on the main thread, on a later pass of the loop, once every file is
    // complete (empty on failure, leaving nothing behind). Nothing is
    // delivered when receiver went meanwhile: the copies then go as those of
    // an ended drag. A helper that goes stops the copies it is making.
    void makeDragCopies(const QList<QPair<QString, QString>>& fileAndName, const QObject* receiver, CopiesMade done);
    // The drags of the copies made so far ended.
    void dragEnded();
    // Drag folders whose copies are still being made.
    int copiesInProgress() const;
    // The folder below which the drag folders are made.
    static QString dragRoot();
    // Removes every drag folder of this process (the program's quit).
    static void removeAllDragCopies();

private:
    void removeExpired();
    void copiesFinished(const QString& folder, bool made, bool unused);

    DZDataManager* manager_;
    struct DragFolder {
        QString path;
        double expires = -1;   // on the clock's scale; -1 while copying or dragging
        std::shared_ptr<std::atomic<bool>> stop;   // set: the copying worker gives up
        bool copying = false;
    };
    std::vector<DragFolder> folders_;
    platform::Timer sweep_;
};
