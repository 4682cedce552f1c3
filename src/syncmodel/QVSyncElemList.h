#pragma once

#include "syncmodel/QVSyncElem.h"
#include "syncmodel/SyncElemLookup.h"

#include <QHash>
#include <QList>

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class ItemListDevice;
class ItemTrash;

// The items of one phone property. The visible items (_elems) start as the
// same array as all items (_allElems) and part when the list is constrained
// to a search text. Lookups by record id and identity go through indexes kept
// in step with the items.
class QVSyncElemList : public SyncElemLookup {
public:
    using Elem = std::shared_ptr<QVSyncElem>;
    static constexpr int kDefaultMaxItemsOnDevice = 63999;

    QVSyncElemList(int property, ItemListDevice* device);

    int property() const { return _property; }
    int maxItemsOnDevice() const { return _maxItemsOnDevice; }

    // A new item of the list's kind from raw text (contacts for 0, event
    // and task items for 1, 5 and 6, null for others); without an id it gets
    // a temporary one from the phone. Not added to the list.
    Elem createNewElem(const QVariant& data, const QString& sourceURI, const QString& protocol,
                       const QString& device, const QString& parent);
    void setHasOnlyFirstLast(bool onlyFirstLast) { _hasOnlyFirstLast = onlyFirstLast; }

    // Visible items.
    int count() const { return int(elems().size()); }
    Elem objectAtIndex(int index) const;
    void addObject(const Elem& elem);
    void removeObject(const Elem& elem);
    void insertObjectAtIndex(const Elem& elem, int index);
    void removeObjectAtIndex(int index);
    void removeAllObjects();
    bool elemsShareAllElems() const { return _shared; }
    // Parts the visible items from all items, keeping those matching text.
    void constrainToSearchString(const QString& text);

    // Sorting: the code is a big-endian four-character number ('dflt' the
    // item's default comparison); with descending NO the comparison's order
    // is reversed. Codes without a comparison here use the default one.
    static constexpr quint32 kSortDefault = 0x64666C74;   // 'dflt'
    void sortBy(quint32 code, bool descending);
    void sort();
    void reverse();

    // "DZ-ContactInvalidated", "DZ-CalendarInvalidated", "DZ-NoteInvalidated"
    // or "DZ-BookmarkInvalidated" by property (none for others), with
    // {"UUID": "ALL"} and the phone as sender.
    QString changedNotificationName() const;
    void postChangedNotification();

    // All items.
    int allCount() const { return int(_allElems.size()); }
    Elem objectAtIndex_cs(int index) const;
    Elem objectForURI(const QString& uri);
    QString UUIDForURI(const QString& uri);
    int nonDeletedAllElems() const;
    int itemsOnDeviceCount() const;
    bool isDirty() const { return _dirty; }
    void setClean() { _dirty = false; }

    // Deletion: an item not on the phone goes at once; one on the phone is
    // marked deleted until the phone confirms.
    void deleteItemByUser(const Elem& elem);

    // Desktop sync changes: queued ones, and the ones held from a phone
    // session until it is confirmed.
    const QList<platform::SyncChange>& changesForSyncEngine() const { return _changes; }
    void addChangeForSyncEngineFromSyncML(const platform::SyncChange& change);
    void confirmChangesFromSyncMLForSyncEngine();
    void discardChangesFromSyncMLForSyncEngine();
    void clearChangesForSyncEngine() { _changes.clear(); }
    // The queued changes in their stored form, and their reading; entries
    // of the wrong kind are skipped.
    QVariantList storedChangesForSyncEngine() const;
    void fillChangesForSyncEngineFromDict(const QVariantList& stored);
    QList<QString> deletedForEngine() const { return _deletedForEngine; }

    // Groups and calendars: contacts have groups, the calendar property
    // calendars; bookmarks keep their folders as groups.
    bool hasGroupObjects() const { return _property == 0; }
    bool hasCalendarObjects() const { return _property == 1; }

    // ---- Construction from the stored dictionary, the stored forms, zombies
    // ---- and diff commands (QVSyncElemListStorage.cpp)

    // ---- Item makers, lookups, counts and list edits (QVSyncElemList.cpp)

    // ---- Visible items, search, sort and bookmark positions
    // ---- (QVSyncElemListViews.cpp)

    // ---- Pulled desktop changes, the merge of a phone's item and items
    // ---- from dictionaries (QVSyncElemListEngine.cpp)

    // ---- Change records of a session (QVSyncElemListChanges.cpp)

    // ---- Group and calendar membership (QVSyncElemListGroups.cpp)

    // SyncElemLookup
    Elem getItemForIdentity(const QString& identity) override;
    bool wantsSyncChangesFromEngine(int property) override;
    bool wantsSyncChangesFromDevice(int property) override;
    void addChangeForSyncEngine(const platform::SyncChange& change) override;
    void tellSyncEngineAboutNewElem(const Elem& elem, bool fromSyncML) override;
    void addElemForDeletion(const Elem& elem) override;
    void addElem(const Elem& elem) override { addObject(elem); }
    void removeElem(const Elem& elem) override { removeObject(elem); }
    void tellSyncEngineAboutDeletion(const Elem& elem, bool fromSyncML) override;
    bool isMobileMaster(int property) override;

    const std::vector<Elem>& elemsForDeletion() const { return _forDeletion; }

    // Undo snapshot: the visible items with their deleted flags, which items
    // the list held, and the trash's contents. Restoring puts the visible
    // items back (undeleting and announcing the ones that had gone), drops
    // items added since, and keeps items that were hidden at the time.
    struct State {
        std::vector<std::pair<Elem, bool>> visible;   // item, was deleted
        std::vector<Elem> all;
        QVariantList trash;
    };
    void setTrash(ItemTrash* trash) { _trash = trash; }
    State getCurrentState() const;
    void setStateFromDictionary(const State& state);

private:
    const std::vector<Elem>& elems() const { return _shared ? _allElems : _elems; }
    void indexElem(const Elem& elem);
    void unindexElem(const Elem& elem);
    void rebuildIdentityIndex();

    // ---- storage

    // ---- list edits and views

    // ---- desktop changes, change records, groups

    // ---- common
    QString _database;
    QVariantMap _listinfo;                     // stored info keys, written back unchanged
    std::optional<std::vector<Elem>> _zombies; // a stale stored state: the list needs an initial read
    QStringList _invisibleDeletion;            // device ids to delete on the phone, no longer shown
    QVariantList _oldFashionedItems;           // stored raw entries waiting for conversion
    std::vector<Elem> _itemsForTrash;          // go to the trash when the session ends
    std::optional<QVariantMap> _groups;        // group record id -> {"name", "members"} (and bookmark folders)
    std::optional<QVariantMap> _calendars;     // calendar record id -> calendar record
    QString _targetGroup;                      // where new phone items go
    std::optional<QStringList> _enabledGroups; // none: all groups or calendars
    bool _usesSyncEngine = false;
    qint64 _syncModeFromFile = 0;
    int _property;
    ItemListDevice* _device;
    ItemTrash* _trash = nullptr;
    int _maxItemsOnDevice = kDefaultMaxItemsOnDevice;
    std::vector<Elem> _allElems;
    std::vector<Elem> _elems;
    bool _shared = true;
    bool _dirty = false;
    bool _hasOnlyFirstLast = false;
    quint32 _sortCode = kSortDefault;
    bool _sortDescending = true;
    QHash<QString, Elem> _byURI;
    QHash<QString, Elem> _byIdentity;    // lower-cased identity
    QList<platform::SyncChange> _changes;
    QList<platform::SyncChange> _heldChanges;
    QList<QString> _deletedForEngine;
    std::vector<Elem> _forDeletion;
};
