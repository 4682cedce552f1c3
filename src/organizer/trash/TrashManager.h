#pragma once

#include "organizer/trash/TrashElem.h"
#include "syncmodel/ItemTrash.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

// The organizer trash of all phones: the entries in display order, kept in
// the XML property list "TrashFile" in the program's data folder and written
// when it changed (at the latest when the program ends). The file is read on
// a thread of its own; the entries trashed meanwhile join the loaded ones
// when the load is handed back to the main thread. Every change marks the
// store for writing and (but for deleteElem) posts
// "QV-TrashListHasChanged-Notification". Main thread only.
class TrashManager : public ItemTrash {
public:
    static constexpr int kInitialCapacity = 128;
    static constexpr qint64 kSecondsPerDay = 86400;
    // A trash file larger than this is not read.
    static constexpr qint64 kMaxFileSize = qint64(256) << 20;

    // The one store, made (and its load started) on first use.
    static TrashManager& sharedTrashManager();
    static bool isSharedTrashManagerAllocated();

    // A store on its own file that loads nothing until asked (tests). It
    // writes its changes when it goes.
    explicit TrashManager(QString fileName);
    ~TrashManager() override;
    TrashManager(const TrashManager&) = delete;
    TrashManager& operator=(const TrashManager&) = delete;

    // Appends an entry made from a similar copy of the item.
    void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const TrashPhone& phone, bool reasonWasConflict);
    // ItemTrash: the phone is the main window's current phone when the
    // item's device names it (or names nothing), else known by that name only.
    void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString& device,
                        bool reasonWasConflict) override;
    // The entries as TrashElemPtr values, and back.
    QVariantList getList() override;
    void setList(const QVariantList& list) override;

    int count() const { return int(_trashList.size()); }
    TrashElemPtr objectAtIndex(int index) const;
    const QList<TrashElemPtr>& elems() const { return _trashList; }
    void setElems(const QList<TrashElemPtr>& elems);
    // Removes one entry without notifying.
    void deleteElem(const TrashElemPtr& elem);
    // Removes each entry given; notifies when there were any.
    void deleteElemsFromList(const QList<TrashElemPtr>& elems);
    void emptyTrash();
    // Clears the phone ids of every entry's item (the phone deleted all its
    // organizer data).
    void deleteAllURIs();
    // Reorders the entries (the window's sort); the order is written with
    // the next change.
    void sortList(const std::function<bool(const TrashElemPtr&, const TrashElemPtr&)>& lessThan);

    QString trashFileName() const { return _fileName; }
    bool isDirty() const { return _isDirty; }
    // Writes the entries when they changed; true when it wrote. A failed
    // write beeps and keeps the changes marked. A running load is finished
    // first, so the file never loses the entries still being read.
    bool writeToDisk();
    // Reads the file here and now; false when there was no list to read.
    bool readFromDisk();
    // Starts reading the file on a thread of its own.
    void readFromDiskThread();
    bool isLoading() const { return _loader.joinable(); }
    // Waits for a running load and takes its entries in.
    void finishLoading();
    void notifyEverybody();

    // What a read of the file found (runs on any thread).
    struct Loaded {
        QList<TrashElemPtr> elems;
        bool listRead = false;
        bool droppedExpired = false;
    };
    static Loaded loadTrashFile(const QString& fileName, qint64 periodSeconds, const QDateTime& now);
    // The entries of a trash file's bytes; none, with *damage saying why,
    // when the bytes are no property list with a list of entries.
    static Loaded parseTrashFile(const QByteArray& bytes, qint64 periodSeconds, const QDateTime& now, QString* damage);

private:
    struct PendingLoad;
    void takeLoaded(const Loaded& loaded);
    void markDirty() { _isDirty = true; }

    QString _fileName;
    QList<TrashElemPtr> _trashList;
    bool _isDirty = false;
    bool _hasLoaded = false;
    std::thread _loader;
    std::shared_ptr<PendingLoad> _pending;
    std::unique_ptr<QObject> _context;
};

// Writes the trash when the store exists and changed (at termination).
void saveTrashChangesIfAny();
