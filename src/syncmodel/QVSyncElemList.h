#pragma once

#include "formats/VXDictionary.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/SyncElemLookup.h"

#include <QDateTime>
#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QList>

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class ItemListDevice;
class ItemTrash;
class QVSyncMLChange;
class QVCommandArray;

// The items of one phone property. The visible items (_elems) start as the
// same array as all items (_allElems) and part when the list is constrained
// to a search text. Lookups by record id and identity go through indexes kept
// in step with the items.
class QVSyncElemList : public SyncElemLookup, private QVSyncElem::KeyObserver {
public:
    using Elem = std::shared_ptr<QVSyncElem>;
    static constexpr int kDefaultMaxItemsOnDevice = 63999;

    QVSyncElemList(int property, ItemListDevice* device);
    ~QVSyncElemList() override;
    QVSyncElemList(const QVSyncElemList&) = delete;
    QVSyncElemList& operator=(const QVSyncElemList&) = delete;

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
    bool constrainToSearchString(const QString& text);

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
    bool isDirty() const;
    void setClean();

    // Deletion by the user: the item goes to the trash, leaves its groups and
    // the desktop is told; an item not on the phone leaves the list at once,
    // one on the phone stays marked deleted until the phone confirms.
    void deleteItemByUser(const Elem& elem);
    void deleteItemByUser(int index) { deleteItemByUser(objectAtIndex(index)); }
    void deleteItemByUser_cs(int index) { deleteItemByUser(objectAtIndex_cs(index)); }

    // Desktop sync changes: queued ones, and the ones held from a phone
    // session until it is confirmed.
    // The queue, after the held changes were confirmed.
    const QList<platform::SyncChange>& changesForSyncEngine();
    void addChangeForSyncEngineFromSyncML(const platform::SyncChange& change);
    void confirmChangesFromSyncMLForSyncEngine();
    void discardChangesFromSyncMLForSyncEngine();
    void clearChangesForSyncEngine();
    // The queued changes in their stored form, and their reading; entries
    // of the wrong kind are skipped.
    QVariantList storedChangesForSyncEngine() const;
    void fillChangesForSyncEngineFromDict(const QVariantList& stored);

    // Groups and calendars: contacts have groups, the calendar property
    // calendars; bookmarks keep their folders as groups.
    bool hasGroupObjects() const { return _property == 0; }
    bool hasCalendarObjects() const { return _property == 1; }

    // ---- Construction from the stored dictionary, the stored forms, zombies
    // ---- and diff commands (QVSyncElemListStorage.cpp)

    // A list read from its stored dictionary (none: an empty list). Entries
    // of the wrong kind are skipped with a log line.
    static std::unique_ptr<QVSyncElemList> fromFileDictionary(const std::optional<QVariantMap>& dict,
                                                              const QString& database, int property,
                                                              ItemListDevice* device);
    // A new list from the same list info with identity copies of every item.
    std::unique_ptr<QVSyncElemList> copy() const;
    void copyElemsFromList(const std::vector<Elem>& elems);
    QString database() const { return _database; }
    const QVariantMap& listInfo() const { return _listinfo; }
    const QVariantMap& holdDict() const { return _holdDict; }
    qint64 syncModeFromFile() const { return _syncModeFromFile; }
    const QStringList& invisibleDeletion() const { return _invisibleDeletion; }
    const QVariantList& oldFashionedItems() const { return _oldFashionedItems; }
    const std::optional<QVariantMap>& groups() const { return _groups; }
    const std::optional<QVariantMap>& calendars() const { return _calendars; }

    // The raw form (items on the phone with their text for the phone), kept
    // as the list's held dictionary; the desktop sync form (every item's item
    // form, groups, queued changes), none for a list not synchronized so.
    QVariantMap dictionaryForFile();
    std::optional<QVariantMap> syncDictionaryForFile();

    // Zombies: the items of a stale stored state, until the phone is read.
    bool needsInitialRead() const { return _zombies.has_value(); }
    const std::vector<Elem>* zombies() const { return _zombies ? &*_zombies : nullptr; }
    void removeZombies(bool mergeStoredDeviceData);
    bool moveAllToZombies();

    // Raw entries of a stored dictionary wait for conversion (desktop sync
    // lists only); a fresh start from scratch; list info keys added.
    void mergeItems(const QVariantMap& dict);
    static constexpr quint32 kFromScratchDevice = 0x63446576;   // 'cDev'
    void mergeFromScratch(quint32 code);
    void addOtherListinfo(const QVariantMap& info);
    // All items replaced by a raw dictionary's entries.
    void replaceData(const QVariantMap& raw);

    // The commands that bring the other list's phone state to this one:
    // "Replace" for an item changed or missing there, "Delete" for one gone
    // here. None when the lists agree.
    std::optional<QVariantList> createDiffCommands(QVSyncElemList& other);
    std::optional<QVariantList> createOldfashionedDiffCommands(QVSyncElemList& other);
    static QVariantMap makeDiffCommand(const QString& command, const QString& sourceURI, const QVariant& vxData,
                                       const QString& parent);

    QString description() const;
    void dumpRecords() const;

    // ---- Item makers, lookups, counts and list edits (QVSyncElemList.cpp)

    Elem createNewElemWithDict(const VXDictionary* dict, const QString& sourceURI, const QString& uuid,
                               const QString& protocol, const QString& device, const QString& parent);
    // An empty item of the list's kind with the record id (not added), the
    // same added, and the item with the id or a new one added.
    Elem createElem(const QString& uuid);
    Elem createNewElemWithUUID(const QString& uuid);
    Elem getOrCreateElem(const QString& uuid);
    Elem objectForUUID(const QString& uuid);

    // Indexes into the visible items (-1 when not found); the _cs forms
    // into the search view while a search is active.
    int indexOfObject(const Elem& elem) const;
    int indexOfObjectWithURI(const QString& uri) const;
    int indexOfObjectWithUUID(const QString& uuid) const;
    int indexOfObject_cs(const Elem& elem) const;
    int indexOfObjectWithURI_cs(const QString& uri) const;
    int indexOfObjectWithUUID_cs(const QString& uuid) const;
    int count_cs() const { return int(elems_cs().size()); }
    const std::vector<Elem>& elemsList() const { return elems(); }
    const std::vector<Elem>& elems_cs() const { return _constrainedElems ? *_constrainedElems : elems(); }
    const std::vector<Elem>& allElems() const { return _allElems; }
    ItemListDevice* mfDevice() const { return _device; }
    void setMaxItemsOnDevice(int max) { _maxItemsOnDevice = max; }
    QString targetGroup() const { return _targetGroup; }

    std::vector<Elem> nonDeletedElems() const;
    std::vector<Elem> deletedAllElems() const;
    int validEntries() const;
    bool isSyncEngineList() const;
    static bool isTaskElement(const Elem& elem);
    bool isTaskElementUUID(const QString& uuid);
    // Sign of first - second; a missing date sorts first.
    static int compareCalendarDates(const QDateTime& first, const QDateTime& second);

    void insertObjectAtIndex_cs(const Elem& elem, int index);
    void removeObjectAtIndex_cs(int index);
    void cleanUpDeletedItems();
    void removeItemFromCleanUpList(const QString& uri);
    void removeAllOldObjects();
    void moveAllToDeletedItems();
    void replaceParamsOfItem(const Elem& elem, const QString& uri);

    // Calls the organizer makes that have nothing to do for these lists;
    // the SMS list fills enterSMS.
    void trickleIfNeeded() {}
    virtual void enterSMS(const QVariant& records);
    void setElemData(const QVariant& elem, const QVariant& data, int property) { (void)elem, (void)data, (void)property; }
    bool getCurrentElemData(const QVariant& elem, const QVariant& data, int property)
    {
        return (void)elem, (void)data, (void)property, false;
    }

    // ---- Visible items, search, sort and bookmark positions
    // ---- (QVSyncElemListViews.cpp)

    // The visible items again: desktop sync lists show the members of the
    // enabled groups (contacts) or calendars; bookmarks the non-folders of
    // the target folder. Then sorted, and the changed notification.
    void recalcUsableItems();
    void recalcBookmarkItems();
    // None: every group or calendar.
    void setEnabledGroups(const std::optional<QStringList>& groups) { _enabledGroups = groups; }
    void setTargetGroup(const QString& group) { _targetGroup = group; }
    bool searchActive() const { return _constrainedElems.has_value(); }
    using Comparison = int (QVSyncElem::*)(const QVSyncElem&) const;
    static Comparison comparisonForSortCode(quint32 code);
    quint32 sortCode() const { return _sortCode; }
    bool sortDescending() const { return _sortDescending; }
    int highestPositionForFolder(const QString& folder);
    void recalcPositionsForFolder(const QString& folder);

    // ---- Pulled desktop changes, the merge of a phone's item and items
    // ---- from dictionaries (QVSyncElemListEngine.cpp)

    // Another list's queue appended to this one's.
    void addChangesFromSyncMLFromOtherList(QVSyncElemList& other);
    // Every record for a full push: each item's records ({"Record-Dict",
    // "Record-ID"}), then the groups (contacts, bookmarks) or calendars.
    // Items deleted on this side are left out: the desktop was told of them.
    QVariantList getAllRecords() const;
    // A pulled change applied as one from the phone session (not marked
    // changed for the phone).
    QVariant processOneISyncChange(const platform::SyncChange& change);
    // Applies one pulled change. numberChanged (may be null) is set when
    // items were added or removed. Answers the changed record when it has an
    // entity name, else an invalid value.
    QVariant processOneSyncEngineChange(const platform::SyncChange& change, bool* numberChanged, bool fromSyncML);
    // The "set" values of "contact" and "owner"; none without property changes.
    std::optional<QVariantMap> makeItemFromSyncEngineChange(const platform::SyncChange& change) const;
    QString getCommandType(const platform::SyncChange& change);
    QString getCommandEntityName(const platform::SyncChange& change);
    // "com.apple.contacts.Phone Number" -> "Phone Number"; "" for other names.
    static QString commandTypeForName(const QString& entityName);
    // The record id of the item the change touches; null when none.
    QString affectedElemUUID(const platform::SyncChange& change);
    bool isMainType(const QString& entityName) const;
    void removeItemsForEntity(const QString& entityName);
    // Merges an item the phone delivered; YES when it was added or changes
    // were queued.
    bool replaceItem(const Elem& elem);
    // Adds an item built from an item form; answers the resulting item (an
    // existing one when it merged), null when none could be made.
    Elem addVXDictItem(const QString& sourceURI, const VXDictionary& vxDict, bool allowMerge, const QString& parent);
    void addVXDataItem(const QString& sourceURI, const QVariant& vxData, const QString& parent);
    void importVCards(const QVariantList& texts);
    void addItemNoSort(const Elem& elem);
    // Marks the item deleted and puts it to the trash.
    void addToDeleted(const Elem& elem);
    void deleteItemByUUID(const QString& uuid);
    bool deleteItemBySyncML(const QString& sourceURI);
    void removeAllElements();
    // "com.apple.calendars.Task" removes the to-dos, any other name the events.
    void removeAllEventsOrTasks(const QString& entityName);

    // ---- Change records of a session (QVSyncElemListChanges.cpp)

    void addSyncMLChange(const std::shared_ptr<QVSyncMLChange>& change);
    // Applies the queued records in order and empties the queue; YES when an
    // add-data record was met.
    bool processSyncMLChanges();
    const std::vector<std::shared_ptr<QVSyncMLChange>>& changesFromDevice() const { return _changesFromDevice; }
    // The item form of a phone's text (the first item of a calendar text);
    // none when it holds no item of the list's kind.
    std::optional<VXDictionary> makeVXDictionaryForVXData(const QVariant& vxData);
    // Queues an item's device id, parent and text as an add-data record.
    void mergeItem(const Elem& elem);
    // The stored raw entries become add-data records, applied at once.
    void processOldFashionedItems();
    // Appends the items of a raw dictionary, each in the default group.
    void addData(const QVariantMap& dict);

    // ---- Group and calendar membership (QVSyncElemListGroups.cpp)

    // YES when it changed the item.
    bool makeElemMemberOfDefaultGroup(const Elem& elem) override;
    void addGroupMembershipToElem(const Elem& elem, const QString& groupId) override;
    void addGroupRelation(const QString& groupId, const QString& memberId);
    void deleteGroupRelation(const QString& groupId, const QString& memberId);
    void deleteGroupRelations(const Elem& elem);
    void tellSyncEngineAboutChangedTargetGroup();

    // ---- A phone session: backups, the merge, the phone's status answers
    // ---- and the session's end (QVSyncElemListSession.cpp)

    // Longest wait for the desktop sync work before a merge, and for the
    // phone's main environment before its evaluation (seconds).
    static constexpr double kSessionWaitSeconds = 120.0;
    static constexpr double kEnvironmentWaitSeconds = 30.0;

    // Clears the id mappings and, unless the phone keeps what was merged
    // when a session fails (Samsung AT, Gigaset), backs up every item.
    void prepareSynchronization();
    void backUpBeforeReload();
    // On error the items before the reload replace what it left.
    void syncFinishedWithError(bool error);
    // Merges a session's sync info ({"Items", "SyncML-Protocol",
    // "SyncML-Device", "SyncML-DB"}, fast or slow). NO, with nothing merged,
    // when the desktop sync work stays active past the bounded wait.
    bool processSyncInfo(const QVariantMap& syncInfo, bool isFast);
    // The phone's answers ({"Status", "SourceRef"}); a message when it refused
    // items, null otherwise.
    QString processStatusMessages(const QVariantList& statuses);
    // 0: success.
    void finalizeSynchronization(int error);
    void moveTrashItems();
    void createSyncMLDeleteEntryForElem(const Elem& elem);
    bool hasBackup() const { return _backupElems.has_value(); }
    bool hasReloadBackup() const { return _reloadBackupElems.has_value(); }
    const std::vector<Elem>& itemsForTrash() const { return _itemsForTrash; }

    // ---- Commands for the phone and temporary ids (QVSyncElemListCommands.cpp)

    // Type 5: events only, 6: tasks only, other: all items.
    void addSyncCommands(QVCommandArray& commands, bool isFast, int type);
    bool isElemOutDated(const Elem& elem);
    QString freeMotorolaURI();
    void useLastState();
    void addMapping(const QString& deviceId, const QString& oldUUID);
    void clearMappings() { _uriMappings.clear(); }
    const QHash<QString, QString>& uriMappings() const { return _uriMappings; }

    // ---- Phones read over AT commands: their dictionaries merged, the write
    // ---- dictionary and the phone's answers (QVSyncElemListMotorola.cpp)

    // data: phone dictionaries by slot id; deviceRawData: what was last read
    // or written per id (the caller's, updated here). The write dictionary,
    // none for other properties or a phone that takes no desktop changes.
    std::optional<QVariantMap> processMotorolaData(const QVariantMap& data, bool deleteDeviceData,
                                                   QVariantMap& deviceRawData);
    std::optional<QVariantMap> processMotorolaContacts(const QVariantMap& data, bool deleteDeviceData,
                                                       QVariantMap& deviceRawData);
    std::optional<QVariantMap> processMotorolaCalendar(const QVariantMap& data, bool deleteDeviceData,
                                                       QVariantMap& deviceRawData);
    std::optional<QVariantMap> mergeMotorolaEntries(const QVariantMap& data, bool deleteDeviceData,
                                                    QVariantMap& deviceRawData, bool calendar);
    // Slot id -> phone dictionary, an empty one for a slot to delete.
    std::optional<QVariantMap> getMotorolaWriteData(QVariantMap& deviceRawData);
    void finishMotorolaSession(const QVariantMap& answers, int status, QVariantMap& deviceRawData);
    bool wasDisplayAlarmSent(const QString& deviceId);
    bool isMoto() const { return _isMoto; }

    // ---- Groups, calendars and the sync environment (QVSyncElemListEnvironment.cpp,
    // ---- pulled group and calendar changes in QVSyncElemListGroupChanges.cpp)

    // YES when, with a work environment present, the repair of the main
    // environment changed its "SyncMode". Waits for the phone's main
    // environment up to waitSeconds; none by then: NO, nothing applied.
    bool evaluateSyncEnvironment(bool checkItems, double waitSeconds = kEnvironmentWaitSeconds);
    static std::optional<QStringList> makeArrayOfEnabledGroups(const QVariantMap& environment);
    QString getGroupOrCalendarIDFor(const QString& name) const;
    bool verifyAndRepairEnabledGroups(QVariantMap& environment, const QVariantMap& userEnvironment);
    bool verifyAndRepairTargetGroup(QVariantMap& environment, const QVariantMap& userEnvironment);
    void checkStatusOfAllElems();
    void resyncGroups();
    void createBookmarkGroups();
    void processOneSyncEngineGroupChange(const platform::SyncChange& change, bool* numberChanged);
    void processOneSyncEngineGroupChangeForGroups(const platform::SyncChange& change);
    void processSyncEngineGroupAddOrDelete(const platform::SyncChange& change);
    void assureToHaveGroup(const QString& groupId, const QString& name);
    void processSyncEngineGroupModification(const platform::SyncChange& change);
    void processOneSyncEngineCalendarChange(const platform::SyncChange& change, bool* numberChanged);
    void processSyncEngineCalendarChange(const platform::SyncChange& change);
    void processSyncEngineCalendarAddOrDelete(const platform::SyncChange& change);
    void processSyncEngineCalendarModification(const platform::SyncChange& change);
    bool affectsTaskList(const platform::SyncChange& change);
    void setNewCalendar(const std::optional<QVariantMap>& calendar, const QString& key);
    void setNewCalendarName(const QString& name, const QString& key);
    static void replaceCalendarIDs(QVariantMap& environment, const QString& calendarName, const QString& key,
                                   const QString& dbName);
    static void setNewCalendarNameInSyncEnv(QVariantMap& environment, const QString& calendarName,
                                            const QString& key, const QString& dbName);
    const std::optional<QStringList>& enabledGroups() const { return _enabledGroups; }
    bool usesSyncEngine() const { return _usesSyncEngine; }

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
    void elemKeysMayHaveChanged(QVSyncElem* elem) override;
    void refreshIndex();
    Elem firstOf(const QMultiHash<QString, Elem>& index, const QString& key, bool visibleOnly);

    // ---- storage
    void readFileDictionary(const QVariantMap& dict);
    Elem elemFromStoredDict(const QVariantMap& stored, const QString& parent, const QString& protocol,
                            const QString& device, bool* deleted, bool* changed);
    std::shared_ptr<SyncDeviceLimits> deviceLimits() const;
    std::optional<QVariantList> diffCommands(QVSyncElemList& other, bool raw);
    QVariantMap _holdDict;
    std::optional<QVariantMap> _readReminder;   // the SMS list's

    // An item from a stored raw entry ({"vx-Data", "SourceURI", "SourceParent",
    // "TEMP_DELETED_FLAG"}); null, with a log line, when it gives none.
    Elem elemFromRawEntry(const QVariant& entry, const QString& protocol, const QString& device);

    // ---- list edits and views
    struct IndexedKeys {
        QString uri;
        QString uuid;
        QString identity;
    };
    static IndexedKeys keysOf(const QVSyncElem& elem);
    void partVisible(std::vector<Elem> visible);
    void shareVisible();
    void refreshSearchView();
    std::optional<std::vector<Elem>> _constrainedElems;   // the search view
    QString _constrainString;
    // Lookup indexes over all items (several items may share a key); each
    // indexed item with the keys it is filed under; the items whose keys may
    // have changed since (refiled before the next lookup); the visible items
    // as a set while they are parted from all items.
    QMultiHash<QString, Elem> _uriIndex;
    QMultiHash<QString, Elem> _uuidIndex;
    QMultiHash<QString, Elem> _identityIndex;   // lower-cased
    QHash<const QVSyncElem*, std::pair<Elem, IndexedKeys>> _indexedKeys;
    QSet<const QVSyncElem*> _staleKeys;
    QSet<const QVSyncElem*> _visibleSet;
    bool isVisible(const Elem& elem);

    // ---- desktop changes, change records, groups
    bool usesEngineForChanges() const;
    Elem elemForUUID(const QString& uuid);
    Elem makeElemWithUUID(const QString& uuid);
    QString listProtocol() const;
    void queueChangeForSyncEngine(const platform::SyncChange& change, bool fromSyncML);
    void queueGroupMembers(const Elem& elem, bool fromSyncML);
    void putToTrash(const Elem& elem, bool conflict);
    void deleteItem(const Elem& elem, bool tellEngine);
    std::vector<std::shared_ptr<QVSyncMLChange>> _changesFromDevice;

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
    bool _hasOnlyFirstLast = false;
    quint32 _sortCode = kSortDefault;
    bool _sortDescending = true;
    QList<platform::SyncChange> _changes;
    QList<platform::SyncChange> _heldChanges;

    // ---- sessions, commands, AT phones, environment
    std::vector<Elem> deepCopyOfAllElems() const;
    void replaceAllElems(std::vector<Elem> elems);
    void postListActive(bool active);
    bool mergeFast(const QVariantList& items, const QString& protocol, const QString& device);
    bool mergeSlow(const QVariantList& items, const QString& protocol, const QString& device);
    bool refusesPhoneChanges();
    Elem motoElemFromEntry(const QString& id, const QVariant& entry, bool calendar);
    std::optional<QVariantMap> finishMotorolaRead(const QVariantMap& data, QVariantMap& deviceRawData);
    QVariantMap motoDictForElem(const Elem& elem);
    void applyMotorolaAnswer(const QString& id, const QVariant& answer, QVariantMap& deviceRawData);
    std::optional<std::vector<Elem>> _backupElems;
    std::optional<std::vector<Elem>> _reloadBackupElems;
    QHash<QString, QString> _uriMappings;      // temporary id -> phone id
    // The kind of queued deletions whose item was known: YES task, NO event.
    QHash<QString, bool> _invisibleDeletionIsTask;
    int _motoURI = 0;
    bool _isMoto = false;
};
