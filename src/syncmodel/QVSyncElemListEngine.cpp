// The item list's side of the desktop sync engine: the queues of changes for
// the engine, the pulled changes applied to the items, the merge of an item
// the phone delivered, items made from item forms, and deletion.
#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncMLChange.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"
#include "syncmodel/SyncModelLog.h"

#include <algorithm>

using platform::SyncChange;

namespace {

const QString kEngineContactsPrefix = QStringLiteral("com.apple.contacts.");
const QString kEngineCalendarsPrefix = QStringLiteral("com.apple.calendars.");
const QString kEngineBookmarksPrefix = QStringLiteral("com.apple.bookmarks.");
const QString kEngineContactKey = QStringLiteral("contact");
const QString kEngineOwnerKey = QStringLiteral("owner");
const QString kEngineEndDate = QStringLiteral("end date");
const QString kEngineFirstNameLimit = QStringLiteral("SyncML.MaxLen_FirstName");
const QString kEngineLastNameLimit = QStringLiteral("SyncML.MaxLen_LastName");
const QString kEngineChangeParam = QStringLiteral("ISyncChange");

bool engineIsCalendarProperty(int property)
{
    return property == 1 || property == 5 || property == 6;
}

QVSyncEngineElem* engineElem(const QVSyncElemList::Elem& elem)
{
    return dynamic_cast<QVSyncEngineElem*>(elem.get());
}

QString engineEntityOf(const QVariant& record)
{
    return record.toMap().value(platform::ISyncRecordEntityNameKey).toString();
}

// The first element of a list value, null when there is none.
QString engineFirstOf(const QVariant& value)
{
    const QVariantList list = value.toList();
    return list.isEmpty() ? QString() : list.first().toString();
}

// The date moved by whole years into the given year.
QVariant engineDateInYear(const QVariant& value, int year)
{
    const QDateTime date = value.toDateTime();
    if (value.typeId() != QMetaType::QDateTime || !date.isValid())
        return value;
    return date.addYears(year - date.date().year());
}

} // namespace

// ---- Helpers

bool QVSyncElemList::usesEngineForChanges() const
{
    // The environment's evaluation (which sets the list's flag) comes later
    // in a session; until then the phone's present answer counts too.
    return isSyncEngineList() || (_device && !_device->isHistory() && _device->wantsToUseSyncEngineForProperty(_property));
}

QVSyncElemList::Elem QVSyncElemList::elemForUUID(const QString& uuid)
{
    return uuid.isEmpty() ? nullptr : objectForUUID(uuid);
}

QVSyncElemList::Elem QVSyncElemList::makeElemWithUUID(const QString& uuid)
{
    const Elem elem = createNewElemWithUUID(uuid);
    if (elem)
        elem->setProperty(_property);
    return elem;
}

QString QVSyncElemList::listProtocol() const
{
    const QString stored = _listinfo.value(QStringLiteral("SyncML-Protocol")).toString();
    if (!stored.isEmpty() || !_device)
        return stored;
    const auto description = _device->syncDescription();
    return description ? description->protocol() : QString();
}

void QVSyncElemList::putToTrash(const Elem& elem, bool conflict)
{
    if (_trash && elem)
        _trash->putItemToTrash(elem, elem->device(), conflict);
}

// ---- The queues

void QVSyncElemList::addChangeForSyncEngine(const SyncChange& change)
{
    if (!wantsSyncChangesFromDevice(_property))
        return;
    _changes.append(change);
}

void QVSyncElemList::addChangeForSyncEngineFromSyncML(const SyncChange& change)
{
    if (usesEngineForChanges() && wantsSyncChangesFromDevice(_property))
        _heldChanges.append(change);
}

void QVSyncElemList::confirmChangesFromSyncMLForSyncEngine()
{
    if (_heldChanges.isEmpty())
        return;
    _changes.append(_heldChanges);
    _heldChanges.clear();
}

void QVSyncElemList::discardChangesFromSyncMLForSyncEngine()
{
    _heldChanges.clear();
}

void QVSyncElemList::clearChangesForSyncEngine()
{
    discardChangesFromSyncMLForSyncEngine();
    _changes.clear();
}

const QList<SyncChange>& QVSyncElemList::changesForSyncEngine()
{
    confirmChangesFromSyncMLForSyncEngine();
    return _changes;
}

void QVSyncElemList::addChangesFromSyncMLFromOtherList(QVSyncElemList& other)
{
    if (&other == this)
        return;
    const QList<SyncChange> theirs = other.changesForSyncEngine();
    if (theirs.isEmpty())
        return;
    _changes.append(theirs);
}

QVariantList QVSyncElemList::storedChangesForSyncEngine() const
{
    QVariantList stored;
    for (const auto& change : _changes)
        stored.append(change.storedDictionary());
    return stored;
}

void QVSyncElemList::fillChangesForSyncEngineFromDict(const QVariantList& stored)
{
    for (const QVariant& entry : stored) {
        SyncChange change;
        if (SyncChange::fromStoredDictionary(entry, change))
            _changes.append(change);
        else
            qCWarning(lcSyncModel) << "QVSyncElemList: skipping a stored change of the wrong kind" << entry;
    }
}

void QVSyncElemList::queueChangeForSyncEngine(const SyncChange& change, bool fromSyncML)
{
    if (fromSyncML)
        addChangeForSyncEngineFromSyncML(change);
    else
        addChangeForSyncEngine(change);
}

void QVSyncElemList::queueGroupMembers(const Elem& elem, bool fromSyncML)
{
    const auto* engine = engineElem(elem);
    if (!hasGroupObjects() || !engine || !engine->vxDict())
        return;
    const QVariantList groups = engine->vxDict()->objectForKey(VXDictionary::kGroups).toList();
    for (const QVariant& group : groups) {
        const QString id = group.toString();
        if (id.startsWith(QVSyncElem::kTemporaryIdPrefix)) {
            QVLOG(qvlog::kSE, QStringLiteral("group %1 is not known to the sync engine yet").arg(id));
            continue;
        }
        // An empty member list would empty the desktop's group.
        if (!_groups || !_groups->contains(id)) {
            QVLOG(qvlog::kSE, QStringLiteral("group %1 is not in the list, its members are not sent").arg(id));
            continue;
        }
        const QVariant members = _groups->value(id).toMap().value(QStringLiteral("members"));
        queueChangeForSyncEngine(SyncChange(SyncChange::Modify, id,
                                            {SyncChange::setChange(QStringLiteral("members"),
                                                                   members.isValid() ? members : QVariantList())}),
                                 fromSyncML);
    }
}

void QVSyncElemList::tellSyncEngineAboutNewElem(const Elem& elem, bool fromSyncML)
{
    auto* engine = engineElem(elem);
    if (!engine || !engine->vxDict() || !usesEngineForChanges() || !wantsSyncChangesFromDevice(_property))
        return;
    const VXDictionary& vx = *engine->vxDict();
    const QVariantMap others = vx.objectForKey(VXDictionary::kOtherItems).toMap();
    for (auto it = others.cbegin(); it != others.cend(); ++it)
        queueChangeForSyncEngine(SyncChange(SyncChange::Add, it.key(), makeChangesForRecord(it.value().toMap())),
                                 fromSyncML);
    const QVariantList mainChanges = makeChangesForRecord(vx.objectForKey(VXDictionary::kMainDict).toMap());
    if (engineIsCalendarProperty(_property)) {
        const bool hasCalendar = std::any_of(mainChanges.cbegin(), mainChanges.cend(), [](const QVariant& c) {
            return c.toMap().value(platform::ISyncChangePropertyNameKey) == QVSyncEngineElem::kCalendarField;
        });
        if (!hasCalendar)
            QVLOG(qvlog::kSE, QStringLiteral("!!!!!!!!!!!!!!!!!!!!!!!!!!!! calendar entry without calendar"));
    }
    queueChangeForSyncEngine(SyncChange(SyncChange::Add, engine->elemUUID(), mainChanges), fromSyncML);
    queueGroupMembers(elem, fromSyncML);
}

void QVSyncElemList::tellSyncEngineAboutDeletion(const Elem& elem, bool fromSyncML)
{
    auto* engine = engineElem(elem);
    if (!engine || !usesEngineForChanges())
        return;
    if (!wantsSyncChangesFromDevice(_property)) {
        // The desktop keeps it: it goes back to the phone.
        elem->setChanged();
        return;
    }
    if (engine->vxDict()) {
        const QVariantMap others = engine->vxDict()->objectForKey(VXDictionary::kOtherItems).toMap();
        for (auto it = others.cbegin(); it != others.cend(); ++it)
            queueChangeForSyncEngine(SyncChange(SyncChange::Delete, it.key()), fromSyncML);
    }
    queueChangeForSyncEngine(SyncChange(SyncChange::Delete, engine->elemUUID()), fromSyncML);
    if (_property == 3 && elem->positionNumber() != -1) {
        // A bookmark names its folder in "parent"; the folder's others close up.
        const QVariantMap* main = engine->mainDict();
        const QVariantList parent = main ? main->value(QStringLiteral("parent")).toList() : QVariantList();
        if (!parent.isEmpty())
            recalcPositionsForFolder(parent.first().toString());
    }
    queueGroupMembers(elem, fromSyncML);
}

// ---- Full push

QVariantList QVSyncElemList::getAllRecords() const
{
    QVariantList records;
    for (const auto& elem : _allElems) {
        if (const auto* engine = engineElem(elem); engine && !elem->isDeleted())
            engine->addRecordToList(records);
    }
    const std::optional<QVariantMap>& extra =
        (_property == 0 || _property == 3) ? _groups : (_property == 1 ? _calendars : std::optional<QVariantMap>());
    if (extra) {
        for (auto it = extra->cbegin(); it != extra->cend(); ++it)
            records.append(QVariantMap{{QVSyncEngineElem::kRecordDict, it.value()},
                                       {QVSyncEngineElem::kRecordID, it.key()}});
    }
    return records;
}

// ---- Pulled changes

QString QVSyncElemList::commandTypeForName(const QString& entityName)
{
    for (const QString& prefix : {kEngineContactsPrefix, kEngineCalendarsPrefix, kEngineBookmarksPrefix}) {
        if (entityName.startsWith(prefix))
            return entityName.mid(prefix.size());
    }
    return QLatin1String("");
}

bool QVSyncElemList::isMainType(const QString& entityName) const
{
    namespace entity = platform::entity;
    if (_property == 0)
        return entityName == entity::Contact;
    if (_property == 3)
        return entityName == entity::Bookmark || entityName == entity::BookmarkFolder;
    if (engineIsCalendarProperty(_property))
        return entityName == entity::Calendar || entityName == entity::Task || entityName == entity::Event;
    if (_property == 2)
        return entityName == entity::Note;
    return false;
}

QString QVSyncElemList::affectedElemUUID(const SyncChange& change)
{
    const QString& id = change.recordIdentifier();
    if (change.record().isEmpty()) {
        // A main record through the index; a sub-record's owner by its items.
        if (engineElem(elemForUUID(id)))
            return id;
        for (const auto& elem : _allElems) {
            const auto* engine = engineElem(elem);
            if (!engine || id.isEmpty())
                continue;
            if (engine->elemUUID() == id || engine->otherItem(id).isValid())
                return engine->elemUUID();
        }
        return {};
    }
    const QString entityName = engineEntityOf(change.record());
    namespace entity = platform::entity;
    if (entityName == entity::Group || entityName == entity::BookmarkFolder || entityName == entity::Calendar)
        return {};
    if (isMainType(entityName))
        return id;
    if (_property == 0)
        return engineFirstOf(change.record().value(kEngineContactKey));
    if (engineIsCalendarProperty(_property))
        return engineFirstOf(change.record().value(kEngineOwnerKey));
    return {};
}

QString QVSyncElemList::getCommandEntityName(const SyncChange& change)
{
    if (change.type() == SyncChange::Add) {
        for (const QVariant& entry : change.changes()) {
            const QVariantMap map = entry.toMap();
            if (map.value(platform::ISyncChangePropertyNameKey) == platform::ISyncRecordEntityNameKey
                && map.value(platform::ISyncChangePropertyActionKey) == platform::ISyncChangePropertySet)
                return map.value(platform::ISyncChangePropertyValueKey).toString();
        }
        return QLatin1String("");
    }
    const auto* engine = engineElem(elemForUUID(affectedElemUUID(change)));
    if (!engine)
        return QLatin1String("");
    const QString entityName = engineEntityOf(engine->recordForUUID(change.recordIdentifier()));
    return entityName.isNull() ? QLatin1String("") : entityName;
}

QString QVSyncElemList::getCommandType(const SyncChange& change)
{
    return commandTypeForName(getCommandEntityName(change));
}

std::optional<QVariantMap> QVSyncElemList::makeItemFromSyncEngineChange(const SyncChange& change) const
{
    if (change.changes().isEmpty())
        return std::nullopt;
    QVariantMap item;
    for (const QVariant& entry : change.changes()) {
        const QVariantMap map = entry.toMap();
        const QString name = map.value(platform::ISyncChangePropertyNameKey).toString();
        if ((name == kEngineContactKey || name == kEngineOwnerKey)
            && map.value(platform::ISyncChangePropertyActionKey) == platform::ISyncChangePropertySet)
            item.insert(name, mutableObjectFor(map.value(platform::ISyncChangePropertyValueKey)));
    }
    return item;
}

QVariant QVSyncElemList::processOneISyncChange(const SyncChange& change)
{
    bool numberChanged = false;
    return processOneSyncEngineChange(change, &numberChanged, true);
}

QVariant QVSyncElemList::processOneSyncEngineChange(const SyncChange& change, bool* numberChanged, bool fromSyncML)
{
    bool changedMembers = false;
    const QString& id = change.recordIdentifier();
    Elem elem;
    if (id.isEmpty())
        return {};
    if (change.type() == SyncChange::Delete) {
        const QString uuid = affectedElemUUID(change);
        elem = elemForUUID(uuid);
        if (!elem)
            return {};
        if (id == uuid) {
            deleteItemByUUID(uuid);
            changedMembers = true;
        } else if (auto* engine = engineElem(elem)) {
            engine->deleteSubItem(id);
            elem->setChanged();
        }
        if (numberChanged && changedMembers)
            *numberChanged = true;
        return {};
    }

    const QString type = getCommandType(change);
    if (change.type() == SyncChange::Modify) {
        const QString uuid = affectedElemUUID(change);
        if (uuid.isEmpty() || type.compare(QLatin1String("Calendar"), Qt::CaseInsensitive) == 0)
            return {};
        elem = elemForUUID(uuid);
        if (!elem) {
            elem = makeElemWithUUID(uuid);
            changedMembers = true;
        }
    } else {
        if (type.compare(QLatin1String("Group"), Qt::CaseInsensitive) == 0
            || type.compare(QLatin1String("Calendar"), Qt::CaseInsensitive) == 0)
            return {};
        const QString entityName = getCommandEntityName(change);
        if (isMainType(entityName)) {
            elem = elemForUUID(id);
            if (!elem) {
                elem = makeElemWithUUID(id);
                changedMembers = true;
            } else if (type != QLatin1String("Contact")) {
                changedMembers = true;
            }
        } else if (entityName.isEmpty() || commandTypeForName(entityName).isEmpty()) {
            // Not a record of this list (or of no entity at all).
            return {};
        } else {
            const std::optional<QVariantMap> made = makeItemFromSyncEngineChange(change);
            const QString parentKey = _property == 0 ? kEngineContactKey
                                      : engineIsCalendarProperty(_property) ? kEngineOwnerKey
                                                                            : QString();
            const QString parent = made && !parentKey.isNull() ? engineFirstOf(made->value(parentKey)) : QString();
            if (parent.isEmpty())
                return {};
            elem = elemForUUID(parent);
            if (!elem) {
                elem = makeElemWithUUID(parent);
                changedMembers = true;
            }
            if (auto* engine = engineElem(elem))
                engine->addSubItem(*made, id, type);
        }
    }
    if (numberChanged && changedMembers)
        *numberChanged = true;
    auto* engine = engineElem(elem);
    if (!engine)
        return {};
    engine->processISyncChange(change, fromSyncML);

    if (_property == 0 && _device) {
        const auto description = _device->syncDescription();
        auto* contact = dynamic_cast<QVVCardElem*>(engine);
        if (description && description->firstLastCombi() && contact && contact->mainDict()) {
            const long limit = std::max(description->nonNilValueFromDescription(kEngineFirstNameLimit),
                                        description->nonNilValueFromDescription(kEngineLastNameLimit));
            QVariantMap& main = *contact->mainDict();
            const qsizetype length = main.value(QVSyncEngineElem::kFirstName).toString().size()
                                     + main.value(QVSyncEngineElem::kLastName).toString().size();
            if (length > limit) {
                const QString first = contact->evaluateFirstLastCombi(limit);
                if (first.isEmpty())
                    main.remove(QVSyncEngineElem::kFirstName);
                else
                    main.insert(QVSyncEngineElem::kFirstName, first);
            }
        }
    }
    if (!fromSyncML)
        elem->setChanged();
    // An identity may have changed with the change.
    unindexElem(elem);
    indexElem(elem);
    const QVariant record = engine->recordForUUID(id);
    return engineEntityOf(record).isEmpty() ? QVariant() : record;
}

void QVSyncElemList::removeItemsForEntity(const QString& entityName)
{
    namespace entity = platform::entity;
    if (!usesEngineForChanges())
        return;
    if (entityName == entity::Calendar) {
        if (_calendars)
            _calendars->clear();
    } else if (entityName == entity::BookmarkFolder || entityName == entity::Group) {
        if (_groups)
            _groups->clear();
    } else if (engineIsCalendarProperty(_property) && (entityName == entity::Task || entityName == entity::Event)) {
        removeAllEventsOrTasks(entityName);
    } else if (isMainType(entityName)) {
        removeAllElements();
    } else {
        for (const auto& elem : _allElems) {
            if (auto* engine = engineElem(elem))
                engine->removeItemsForEntity(entityName);
        }
    }
}

// ---- The merge of an item the phone delivered

bool QVSyncElemList::replaceItem(const Elem& newElem)
{
    if (!newElem)
        return false;
    const bool sync = usesEngineForChanges();
    const bool phoneWins = sync && isMobileMaster(_property);
    const bool refuse = sync && !wantsSyncChangesFromDevice(_property);
    const Elem existing = objectForURI(newElem->sourceURI());

    auto addNew = [&] {
        if (auto* contact = dynamic_cast<QVVCardElem*>(newElem.get()))
            contact->complementTypeInfo();
        newElem->setProperty(_property);
        addObject(newElem);
        makeElemMemberOfDefaultGroup(newElem);
        tellSyncEngineAboutNewElem(newElem, true);
        return true;
    };
    if (!existing)
        return refuse ? false : addNew();
    if (existing->isDeleted()) {
        if (!phoneWins) {
            putToTrash(newElem, false);
            return false;
        }
        putToTrash(existing, true);
        existing->clearChanged();
        // The phone's version replaces the deleted one: left in the list, the
        // deleted item would take the phone's item away under the same id.
        removeObject(existing);
        return addNew();
    }
    auto* oldEngine = engineElem(existing);
    auto* newEngine = engineElem(newElem);
    if (auto* newContact = dynamic_cast<QVVCardElem*>(newElem.get())) {
        auto* oldContact = dynamic_cast<QVVCardElem*>(existing.get());
        if (oldContact && newContact->originalImage().isNull() && !oldContact->originalImage().isNull())
            newContact->setOriginalImage(oldContact->originalImage());
    }
    if (!oldEngine || !oldEngine->vxDict() || !newEngine) {
        putToTrash(existing, false);
        deleteItemBySyncML(existing->sourceURI());
        removeObject(existing);
        newElem->setProperty(_property);
        addObject(newElem);
        return true;
    }
    auto* oldEvent = dynamic_cast<QVVCalendarElem*>(existing.get());
    auto* newEvent = dynamic_cast<QVVCalendarElem*>(newElem.get());
    const auto description = _device ? _device->syncDescription() : nullptr;
    if (oldEvent && newEvent && description && oldEvent->mainDict() && newEvent->mainDict()) {
        QVariantMap& oldMain = *oldEvent->mainDict();
        QVariantMap& newMain = *newEvent->mainDict();
        const QDateTime oldStart = oldMain.value(QVSyncEngineElem::kStartDate).toDateTime();
        const QDateTime newStart = newMain.value(QVSyncEngineElem::kStartDate).toDateTime();
        const int newYear = newStart.date().year();
        if (oldStart.isValid() && newStart.isValid() && oldStart.date().year() != newYear
            && (newYear == description->oldestEventYear() || newYear == description->highestEventYear())) {
            // The phone clamped the year to its range: the desktop's year holds.
            newMain.insert(QVSyncEngineElem::kStartDate, engineDateInYear(newStart, oldStart.date().year()));
            const QDateTime oldEnd = oldMain.value(kEngineEndDate).toDateTime();
            if (oldEnd.isValid() && newMain.contains(kEngineEndDate))
                newMain.insert(kEngineEndDate, engineDateInYear(newMain.value(kEngineEndDate), oldEnd.date().year()));
            newEvent->invalidateVCalendarString();
        }
    }
    const QList<SyncChange> changes = _device && _device->usesMotorolaATConnections()
                                          ? oldEngine->acceptMotoChangesForElem(*newEngine)
                                          : oldEngine->acceptChangesForElem(*newEngine);
    if (changes.isEmpty())
        return false;
    if (existing->isChanged() && sync) {
        if (!phoneWins) {
            putToTrash(newElem, true);
            return false;
        }
        existing->clearChanged();
    }
    // The trash keeps the version before the change.
    putToTrash(existing->copy(), true);
    for (const SyncChange& change : changes)
        addSyncMLChange(QVSyncMLChange::changeWithParams(QVSyncMLChange::kEngineChange,
                                                         QVariantMap{{kEngineChangeParam, QVariant::fromValue(change)}}));
    return true;
}

// ---- Items from item forms and texts

QVSyncElemList::Elem QVSyncElemList::addVXDictItem(const QString& sourceURI, const VXDictionary& vxDict,
                                                   bool allowMerge, const QString& parent)
{
    VXDictionary dict(vxDict);
    QString uuid = dict.objectForKey(VXDictionary::kUUID).toString();
    if (uuid.isEmpty())
        uuid = createQuorvalisPrimaryKey();
    QString uri = sourceURI;
    if (uri.isEmpty())
        uri = _device ? _device->newFreeTID() : QString();
    else
        dict.setObject(uri, VXDictionary::kSourceURI);

    std::shared_ptr<QVSyncEngineElem> fresh;
    if (_property == 0)
        fresh = QVVCardElem::vCardWithDict(nullptr, uuid, uri, listProtocol(), QString(), parent);
    else if (engineIsCalendarProperty(_property))
        fresh = QVVCalendarElem::vCalendarWithDict(nullptr, uuid, uri, listProtocol(), QString(), parent);
    if (!fresh)
        return nullptr;
    fresh->setProperty(_property);
    if (auto* contact = dynamic_cast<QVVCardElem*>(fresh.get()); contact && _hasOnlyFirstLast)
        contact->setHasOnlyFirstLast(true);
    std::shared_ptr<QVSyncElem> result;
    const bool toAdd = fresh->fillFromVXDictionary(dict, this, uri, uuid, allowMerge, &result);
    if (!result)
        result = fresh;
    const bool groupChanged = makeElemMemberOfDefaultGroup(result);
    if (toAdd)
        addObject(result);
    if (usesEngineForChanges()) {
        if (toAdd)
            tellSyncEngineAboutNewElem(result, false);
        else if (groupChanged)
            tellSyncEngineAboutChangedTargetGroup();
    }
    return result;
}

void QVSyncElemList::addVXDataItem(const QString& sourceURI, const QVariant& vxData, const QString& parent)
{
    if (_device && _device->isHistory()) {
        if (Elem elem = createNewElem(vxData, sourceURI, listProtocol(), QString(), parent)) {
            elem->setProperty(_property);
            addObject(elem);
        }
        return;
    }
    std::optional<VXDictionary> dict = makeVXDictionaryForVXData(vxData);
    if (!dict) {
        QVLOG(qvlog::kXT, QStringLiteral("QVSyncElemList: text of %1 holds no item, not added").arg(sourceURI));
        return;
    }
    dict->removeDeviceSpecifics();
    addVXDictItem(sourceURI, *dict, false, parent);
}

void QVSyncElemList::importVCards(const QVariantList& texts)
{
    for (const QVariant& text : texts)
        addVXDataItem(QString(), text, QString());
    recalcUsableItems();
}

void QVSyncElemList::addItemNoSort(const Elem& elem)
{
    if (!elem)
        return;
    if (usesEngineForChanges())
        mergeItem(elem);
    else
        addObject(elem);
}

// ---- Deletion

void QVSyncElemList::addToDeleted(const Elem& elem)
{
    if (!elem)
        return;
    elem->setDeleted();
    putToTrash(elem, false);
}

void QVSyncElemList::deleteItem(const Elem& elem, bool tellEngine)
{
    if (!elem || elem->isDeleted())
        return;
    addToDeleted(elem);
    if (!elem->isOnDevice())
        removeObject(elem);
    else if (!_shared)
        _elems.erase(std::remove(_elems.begin(), _elems.end(), elem), _elems.end());
    deleteGroupRelations(elem);
    if (tellEngine)
        tellSyncEngineAboutDeletion(elem, false);
}

void QVSyncElemList::deleteItemByUser(const Elem& elem)
{
    deleteItem(elem, true);
}

void QVSyncElemList::deleteItemByUUID(const QString& uuid)
{
    deleteItem(elemForUUID(uuid), false);
}

bool QVSyncElemList::deleteItemBySyncML(const QString& sourceURI)
{
    // The first visible item with the id, through the index: a merge removes
    // many items without a scan of the list for each.
    refreshIndex();
    const Elem elem = firstOf(_uriIndex, sourceURI, true);
    if (!elem)
        return false;
    tellSyncEngineAboutDeletion(elem, true);
    removeObject(elem);
    return true;
}

void QVSyncElemList::removeAllElements()
{
    const std::vector<Elem> all = _allElems;
    for (const auto& elem : all) {
        if (!elem->isDeleted())
            addToDeleted(elem);
        deleteGroupRelations(elem);
        if (!elem->isOnDevice())
            removeObject(elem);
    }
    if (!_shared)
        _elems.clear();
}

void QVSyncElemList::removeAllEventsOrTasks(const QString& entityName)
{
    const bool tasks = entityName == platform::entity::Task;
    const std::vector<Elem> all = _allElems;
    for (const auto& elem : all) {
        const auto* event = dynamic_cast<const QVVCalendarElem*>(elem.get());
        if (!event || event->isToDo() != tasks)
            continue;
        if (!elem->isDeleted())
            addToDeleted(elem);
        deleteGroupRelations(elem);
        if (!elem->isOnDevice())
            removeObject(elem);
        else if (!_shared)
            _elems.erase(std::remove(_elems.begin(), _elems.end(), elem), _elems.end());
    }
}

void QVSyncElemList::addElemForDeletion(const Elem& elem)
{
    // Deleted on the phone with the next session, though no longer shown.
    if (!elem || !elem->isOnDevice())
        return;
    if (!_invisibleDeletion.contains(elem->sourceURI()))
        _invisibleDeletion.append(elem->sourceURI());
    // The kind goes with the id, so that a phone with separate event and
    // task lists gets the deletion with the list it belongs to.
    if (const auto* event = dynamic_cast<const QVVCalendarElem*>(elem.get()))
        _invisibleDeletionIsTask.insert(elem->sourceURI(), event->isToDo());
}
