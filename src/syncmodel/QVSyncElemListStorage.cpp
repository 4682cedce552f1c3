#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/QuickLog.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "syncmodel/SyncModelLog.h"

namespace {

const QString kStoreItems = QStringLiteral("Items");
const QString kStoreVXData = QStringLiteral("vx-Data");
const QString kStoreVXDict = QStringLiteral("vx-Dict");
const QString kStoreSourceURI = QStringLiteral("SourceURI");
const QString kStoreSourceParent = QStringLiteral("SourceParent");
const QString kStoreUUID = QStringLiteral("UUID");
const QString kStoreDeletedItems = QStringLiteral("Deleted Items");
const QString kStoreSyncMode = QStringLiteral("SyncMode");
const QString kStoreEngineChanges = QStringLiteral("SyncEngineChanges");
const QString kStoreInvisibleDeletion = QStringLiteral("InvisibleDeletionElems");
const QString kStoreLastSyncTime = QStringLiteral("LastSyncTime");
const QString kStoreGroups = QStringLiteral("Groups");
const QString kStoreCalendars = QStringLiteral("Calendars");
const QString kStoreEnvironment = QStringLiteral("SyncEnvironment");
const QString kStoreProtocol = QStringLiteral("SyncML-Protocol");
const QString kStoreDevice = QStringLiteral("SyncML-Device");

bool isStoreListInfoKey(const QString& key)
{
    static const QStringList others{kStoreItems,           kStoreEnvironment,       kStoreGroups,
                                    kStoreCalendars,       kStoreDeletedItems,      kStoreEngineChanges,
                                    kStoreInvisibleDeletion, kStoreLastSyncTime};
    return !others.contains(key);
}

// A stored string; anything else reads as none.
QString storedString(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool storedFlag(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: return value.toDouble() != 0;
    default: return false;
    }
}

bool isStoredText(const QVariant& value)
{
    return (value.typeId() == QMetaType::QString && !value.toString().isEmpty()) ||
           (value.typeId() == QMetaType::QByteArray && !value.toByteArray().isEmpty());
}

void logSkippedEntry(const char* where, const QVariant& entry)
{
    qCWarning(lcSyncModel).noquote() << "QVSyncElemList: skipping a stored" << where << "entry of the wrong kind ("
                                     << entry.typeName() << ")";
}

} // namespace

std::unique_ptr<QVSyncElemList> QVSyncElemList::fromFileDictionary(const std::optional<QVariantMap>& dict,
                                                                   const QString& database, int property,
                                                                   ItemListDevice* device)
{
    auto list = std::make_unique<QVSyncElemList>(property, device);
    list->_database = database;
    if (dict)
        list->_holdDict = *dict;
    if (property == 4)
        list->_readReminder.emplace();
    const auto description = device ? device->syncDescription() : nullptr;
    list->_hasOnlyFirstLast = property == 0 && description && description->copyCompanyToName();
    list->_usesSyncEngine = device && device->wantsToUseSyncEngineForProperty(property);
    // Stored groups or calendars: the environment chooses among them.
    bool storedRecords = false;
    if (list->hasGroupObjects() || property == 3) {
        const QVariant stored = dict ? dict->value(kStoreGroups) : QVariant();
        storedRecords = stored.typeId() == QMetaType::QVariantMap;
        list->_groups = storedRecords ? stored.toMap() : QVariantMap();
    }
    if (list->hasCalendarObjects()) {
        const QVariant stored = dict ? dict->value(kStoreCalendars) : QVariant();
        storedRecords = stored.typeId() == QMetaType::QVariantMap;
        list->_calendars = storedRecords ? stored.toMap() : QVariantMap();
    }
    // The phone reads its environments before it makes its lists: no wait.
    if (storedRecords)
        list->evaluateSyncEnvironment(false, 0);
    if (dict)
        list->readFileDictionary(*dict);
    if (!list->_allElems.empty()) {
        if (property < 4)
            list->checkStatusOfAllElems();
        list->recalcUsableItems();
    }
    return list;
}

QVSyncElemList::Elem QVSyncElemList::elemFromStoredDict(const QVariantMap& stored, const QString& parent,
                                                        const QString& protocol, const QString& device,
                                                        bool* deleted, bool* changed)
{
    *changed = storedFlag(stored.value(VXDictionary::kTempChangedFlag));
    *deleted = storedFlag(stored.value(VXDictionary::kTempDeletedFlag));
    const VXDictionary vx = VXDictionary::vxDictionaryFromDict(stored);
    const Elem elem = createNewElemWithDict(&vx, storedString(vx.objectForKey(VXDictionary::kSourceURI)),
                                            storedString(vx.objectForKey(VXDictionary::kUUID)), protocol, device,
                                            parent);
    if (!elem)
        return nullptr;
    if (*deleted)
        elem->setDeleted();
    if (*changed)
        elem->setChanged();
    return elem;
}

void QVSyncElemList::readFileDictionary(const QVariantMap& dict)
{
    for (auto it = dict.cbegin(); it != dict.cend(); ++it)
        if (isStoreListInfoKey(it.key()))
            _listinfo.insert(it.key(), it.value());
    const auto description = _device ? _device->syncDescription() : nullptr;
    QString protocol = storedString(dict.value(kStoreProtocol));
    if (protocol.isNull() && description)
        protocol = description->protocol();
    const QString deviceName = storedString(dict.value(kStoreDevice));

    const QVariant items = dict.value(kStoreItems);
    if (items.isValid() && items.typeId() != QMetaType::QVariantList)
        logSkippedEntry("item list", items);
    if (items.typeId() == QMetaType::QVariantList) {
        bool stale = false;
        if (_device && _device->wantsToUseSyncEngineForProperty(_property)) {
            // The desktop's state moved on since this was stored: its items
            // wait as zombies until the phone is read again.
            const QVariant storedTime = dict.value(kStoreLastSyncTime);
            const QVariant syncTime = _device->lastSyncTime(_property);
            stale = storedTime.typeId() != QMetaType::QString || !syncTime.isValid() ||
                    syncTime.toString() != storedTime.toString();
            if (stale)
                _zombies.emplace();
        }
        for (const QVariant& entry : items.toList()) {
            if (entry.typeId() != QMetaType::QVariantMap) {
                logSkippedEntry("item", entry);
                continue;
            }
            const QVariantMap item = entry.toMap();
            const QString parent = storedString(item.value(kStoreSourceParent));
            if (item.contains(kStoreVXData)) {
                if (isSyncEngineList()) {
                    _oldFashionedItems.append(item);
                    continue;
                }
                const Elem elem = elemFromRawEntry(entry, protocol, deviceName);
                if (!elem)
                    continue;
                _allElems.push_back(elem);
                indexElem(elem);
            } else if (item.value(kStoreVXDict).typeId() == QMetaType::QVariantMap) {
                bool deleted = false;
                bool changed = false;
                const Elem elem =
                    elemFromStoredDict(item.value(kStoreVXDict).toMap(), parent, protocol, deviceName, &deleted, &changed);
                if (!elem) {
                    logSkippedEntry("item form", item.value(kStoreVXDict));
                    continue;
                }
                if (stale) {
                    _zombies->push_back(elem);
                } else {
                    _allElems.push_back(elem);
                    indexElem(elem);
                }
            } else {
                logSkippedEntry("item", entry);
            }
        }
    }

    const QVariant deletedItems = dict.value(kStoreDeletedItems);
    if (deletedItems.isValid() && deletedItems.typeId() != QMetaType::QVariantList)
        logSkippedEntry("deleted items", deletedItems);
    for (const QVariant& entry : deletedItems.toList()) {
        const QVariantMap item = entry.toMap();
        const QVariant stored = item.value(kStoreVXDict);
        if (entry.typeId() != QMetaType::QVariantMap || stored.typeId() != QMetaType::QVariantMap) {
            logSkippedEntry("deleted item", entry);
            continue;
        }
        const VXDictionary vx = VXDictionary::vxDictionaryFromDict(stored.toMap());
        const Elem elem = createNewElemWithDict(&vx, storedString(vx.objectForKey(VXDictionary::kSourceURI)),
                                                storedString(item.value(kStoreUUID)), protocol, deviceName,
                                                storedString(item.value(kStoreSourceParent)));
        if (!elem) {
            logSkippedEntry("deleted item", entry);
            continue;
        }
        elem->setDeleted();
        _allElems.push_back(elem);
        indexElem(elem);
    }

    const QVariant syncMode = dict.value(kStoreSyncMode);
    if (syncMode.isValid()) {
        bool ok = false;
        const qlonglong mode = syncMode.toLongLong(&ok);
        if (ok && syncMode.typeId() != QMetaType::QString)
            _syncModeFromFile = mode;
        else
            logSkippedEntry("sync mode", syncMode);
    }
    const QVariant changes = dict.value(kStoreEngineChanges);
    if (changes.typeId() == QMetaType::QVariantList)
        fillChangesForSyncEngineFromDict(changes.toList());
    else if (changes.isValid())
        logSkippedEntry("change list", changes);
    const QVariant invisible = dict.value(kStoreInvisibleDeletion);
    if (invisible.isValid() && invisible.typeId() != QMetaType::QVariantList)
        logSkippedEntry("deletion list", invisible);
    for (const QVariant& id : invisible.toList()) {
        if (id.typeId() == QMetaType::QString)
            _invisibleDeletion.append(id.toString());
        else
            logSkippedEntry("deletion id", id);
    }
}

std::shared_ptr<SyncDeviceLimits> QVSyncElemList::deviceLimits() const
{
    if (_device)
        if (auto description = _device->syncDescription())
            return std::make_shared<DeviceDescriptionLimits>(description);
    return SyncDeviceLimits::fromProtocol(storedString(_listinfo.value(kStoreProtocol)));
}

QVariantMap QVSyncElemList::dictionaryForFile()
{
    QVariantMap dict = _listinfo;
    QVariantList items;
    const auto limits = deviceLimits();
    for (const auto& elem : elems()) {
        if (!elem->isOnDevice())
            continue;
        const QVariant text = elem->vxDataForDevice(limits);
        if (!isStoredText(text))
            continue;
        QVariantMap entry{{kStoreVXData, text}};
        if (!elem->sourceURI().isEmpty())
            entry.insert(kStoreSourceURI, elem->sourceURI());
        if (!elem->sourceParentURI().isEmpty())
            entry.insert(kStoreSourceParent, elem->sourceParentURI());
        if (elem->isDeleted())
            entry.insert(VXDictionary::kTempDeletedFlag, true);
        items.append(entry);
    }
    dict.insert(kStoreItems, items);
    _holdDict = dict;
    return dict;
}

std::optional<QVariantMap> QVSyncElemList::syncDictionaryForFile()
{
    if (!isSyncEngineList())
        return std::nullopt;
    QVariantMap dict = _listinfo;
    QVariantList items;
    for (const auto& elem : _allElems) {
        const auto* engine = dynamic_cast<const QVSyncEngineElem*>(elem.get());
        if (!engine || !engine->vxDict())
            continue;
        QVariantMap stored = engine->vxDict()->realDictionary();
        // The ids go with the item form, where reading takes them from.
        if (!stored.contains(VXDictionary::kSourceURI) && !engine->sourceURI().isEmpty())
            stored.insert(VXDictionary::kSourceURI, engine->sourceURI());
        if (!stored.contains(VXDictionary::kUUID) && !engine->elemUUID().isEmpty())
            stored.insert(VXDictionary::kUUID, engine->elemUUID());
        if (engine->isChanged())
            stored.insert(VXDictionary::kTempChangedFlag, true);
        if (engine->isDeleted())
            stored.insert(VXDictionary::kTempDeletedFlag, true);
        QVariantMap entry{{kStoreVXDict, stored}};
        // The parent id, which reading takes from the entry.
        if (!engine->sourceParentURI().isEmpty())
            entry.insert(kStoreSourceParent, engine->sourceParentURI());
        items.append(entry);
    }
    dict.insert(kStoreItems, items);
    if (_groups)
        dict.insert(kStoreGroups, *_groups);
    if (_calendars)
        dict.insert(kStoreCalendars, *_calendars);
    const bool syncs = _device && _device->wantsToUseSyncEngineForProperty(_property);
    dict.insert(kStoreSyncMode, qlonglong(syncs ? _device->syncDirectionsModus(_property) : 0));
    const QVariantList changes = storedChangesForSyncEngine();
    if (!changes.isEmpty())
        dict.insert(kStoreEngineChanges, changes);
    if (!_invisibleDeletion.isEmpty())
        dict.insert(kStoreInvisibleDeletion, _invisibleDeletion);
    const QVariant syncTime = _device ? _device->lastSyncTime(_property) : QVariant();
    if (syncTime.isValid())
        dict.insert(kStoreLastSyncTime, syncTime.toString());
    return dict;
}

void QVSyncElemList::removeZombies(bool mergeStoredDeviceData)
{
    if (mergeStoredDeviceData && _device)
        if (const auto stored = _device->deviceDataFileStorage(_property))
            mergeItems(*stored);
    if (_zombies) {
        for (const auto& zombie : *_zombies) {
            if (!zombie->isDeleted() || !zombie->isOnDevice())
                continue;
            if (const Elem current = objectForURI(zombie->sourceURI()))
                current->setDeleted();
        }
    }
    _zombies.reset();
}

bool QVSyncElemList::moveAllToZombies()
{
    bool changed = false;
    if (!_zombies) {
        _zombies.emplace();
        changed = true;
    }
    _zombies->insert(_zombies->end(), _allElems.begin(), _allElems.end());
    moveAllToDeletedItems();
    if (!_shared) {
        _elems.clear();
        _visibleSet.clear();
        refreshSearchView();
    }
    for (auto* container : {&_groups, &_calendars}) {
        if (*container && !(*container)->isEmpty()) {
            (*container)->clear();
            changed = true;
        }
    }
    return changed;
}

void QVSyncElemList::mergeItems(const QVariantMap& dict)
{
    if (!isSyncEngineList())
        return;
    for (const QVariant& entry : dict.value(kStoreItems).toList()) {
        if (entry.typeId() == QMetaType::QVariantMap && entry.toMap().contains(kStoreVXData))
            _oldFashionedItems.append(entry);
        else
            logSkippedEntry("raw item", entry);
    }
}

void QVSyncElemList::mergeFromScratch(quint32 code)
{
    if (code == kFromScratchDevice)
        _changesFromDevice.clear();
    platform::NotificationCenter::defaultCenter().post(
        QStringLiteral("SyncEngineActive"), _device ? _device->notificationSender() : nullptr,
        {{QStringLiteral("Active"), false}, {QStringLiteral("SetupChanged"), true}});
    recalcUsableItems();
}

void QVSyncElemList::addOtherListinfo(const QVariantMap& info)
{
    for (auto it = info.cbegin(); it != info.cend(); ++it)
        if (!_listinfo.contains(it.key()))
            _listinfo.insert(it.key(), it.value());
}

QVSyncElemList::Elem QVSyncElemList::elemFromRawEntry(const QVariant& entry, const QString& protocol,
                                                      const QString& device)
{
    const QVariantMap item = entry.typeId() == QMetaType::QVariantMap ? entry.toMap() : QVariantMap();
    const QVariant text = item.value(kStoreVXData);
    const Elem elem = isStoredText(text) ? createNewElem(text, storedString(item.value(kStoreSourceURI)), protocol,
                                                         device, storedString(item.value(kStoreSourceParent)))
                                         : nullptr;
    if (!elem) {
        logSkippedEntry("raw item", entry);
        return nullptr;
    }
    if (storedFlag(item.value(VXDictionary::kTempDeletedFlag)))
        elem->setDeleted();
    return elem;
}

void QVSyncElemList::replaceData(const QVariantMap& raw)
{
    _allElems.clear();
    rebuildIdentityIndex();
    const QString protocol = listProtocol();
    const QString deviceName = storedString(_listinfo.value(kStoreDevice));
    for (const QVariant& entry : raw.value(kStoreItems).toList()) {
        const Elem elem = elemFromRawEntry(entry, protocol, deviceName);
        if (!elem)
            continue;
        _allElems.push_back(elem);
        indexElem(elem);
    }
    recalcUsableItems();
}

QVariantMap QVSyncElemList::makeDiffCommand(const QString& command, const QString& sourceURI, const QVariant& vxData,
                                            const QString& parent)
{
    QVariantMap result{{QStringLiteral("Command"), command}, {kStoreSourceURI, sourceURI}};
    if (!parent.isEmpty())
        result.insert(kStoreSourceParent, parent);
    if (vxData.isValid())
        result.insert(kStoreVXData, vxData);
    return result;
}

std::optional<QVariantList> QVSyncElemList::diffCommands(QVSyncElemList& other, bool raw)
{
    QVariantList commands;
    const auto limits = deviceLimits();
    auto textOf = [&](const Elem& elem) {
        QVariant text = elem->vxDataForDescription(limits);
        if (raw && elem->isDeleted() && !isStoredText(text))
            text = QString(QLatin1String(""));
        return text;
    };
    for (const auto& elem : _allElems) {
        if (!elem->isOnDevice())
            continue;
        const Elem theirs = other.objectForURI(elem->sourceURI());
        if (theirs && !elem->isDifferent(*theirs, limits))
            continue;
        commands.append(makeDiffCommand(QStringLiteral("Replace"), elem->sourceURI(), textOf(elem),
                                        elem->sourceParentURI()));
    }
    for (const auto& elem : other.elems()) {
        const QString uri = elem->sourceURI();
        if (uri.isEmpty() || objectForURI(uri))
            continue;
        commands.append(makeDiffCommand(QStringLiteral("Delete"), uri, textOf(elem), elem->sourceParentURI()));
    }
    if (commands.isEmpty())
        return std::nullopt;
    dictionaryForFile();
    return commands;
}

std::optional<QVariantList> QVSyncElemList::createDiffCommands(QVSyncElemList& other)
{
    return diffCommands(other, !isSyncEngineList());
}

std::optional<QVariantList> QVSyncElemList::createOldfashionedDiffCommands(QVSyncElemList& other)
{
    return diffCommands(other, true);
}

QString QVSyncElemList::description() const
{
    const QString name = _device ? _device->dbName(_property) : _database;
    QString text = QStringLiteral("\n------------ SyncElemList [%1] ------------\n").arg(name);
    if (_groups)
        text += QStringLiteral("---- Groups: %1\n").arg(QStringList(_groups->keys()).join(QStringLiteral(", ")));
    if (_calendars)
        text += QStringLiteral("---- Calendars: %1\n").arg(QStringList(_calendars->keys()).join(QStringLiteral(", ")));
    text += QStringLiteral("\n---- TargetGroup: %1\n").arg(_targetGroup);
    for (const auto& elem : _allElems)
        text += QStringLiteral("\n%1[URI:%2] = %3\n")
                    .arg(elem->isDeleted() ? QStringLiteral("  ## DELETED ## ") : QStringLiteral("  "),
                         elem->sourceURI(), elem->description());
    if (_zombies)
        for (const auto& zombie : *_zombies)
            text += QStringLiteral("  [ZOMBIE] %1\n").arg(zombie->description());
    return text;
}

void QVSyncElemList::dumpRecords() const
{
    for (const auto& elem : _allElems)
        QuickLogToNamedLog(qvlog::kSE, QStringLiteral("%1"), elem->description());
}

std::unique_ptr<QVSyncElemList> QVSyncElemList::copy() const
{
    auto list = fromFileDictionary(_listinfo, _database, _property, _device);
    list->copyElemsFromList(_allElems);
    return list;
}

void QVSyncElemList::copyElemsFromList(const std::vector<Elem>& elems)
{
    for (const auto& elem : elems) {
        if (Elem copied = elem ? elem->identCopy() : nullptr) {
            _allElems.push_back(copied);
            indexElem(copied);
        }
    }
    recalcUsableItems();
}
