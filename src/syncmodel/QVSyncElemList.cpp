#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include "syncmodel/SyncModelLog.h"
#include "platform/Exception.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <functional>

QVSyncElemList::QVSyncElemList(int property, ItemListDevice* device) : _property(property), _device(device)
{
    // Only a contact limit the phone names replaces the default.
    if (_device && _property == 0 && _device->maxContacts() > 0)
        _maxItemsOnDevice = _device->maxContacts();
    _usesSyncEngine = _device && _device->wantsToUseSyncEngineForProperty(_property);
}

QVSyncElemList::Elem QVSyncElemList::objectAtIndex(int index) const
{
    const auto& list = elems();
    return index >= 0 && index < int(list.size()) ? list[size_t(index)] : nullptr;
}

QVSyncElemList::~QVSyncElemList()
{
    for (const auto& [elem, keys] : std::as_const(_indexedKeys))
        elem->removeKeyObserver(this);
}

QVSyncElemList::Elem QVSyncElemList::objectAtIndex_cs(int index) const
{
    const auto& list = elems_cs();
    return index >= 0 && index < int(list.size()) ? list[size_t(index)] : nullptr;
}

QVSyncElemList::IndexedKeys QVSyncElemList::keysOf(const QVSyncElem& elem)
{
    IndexedKeys keys;
    keys.uri = elem.sourceURI();
    if (const auto* engine = dynamic_cast<const QVSyncEngineElem*>(&elem))
        keys.uuid = engine->elemUUID();
    try {
        keys.identity = elem.getIdentityString().toLower();
    } catch (const platform::Exception&) {
        // An item class without an identity is found by its ids only.
    }
    return keys;
}

void QVSyncElemList::indexElem(const Elem& elem)
{
    if (!elem || _indexedKeys.contains(elem.get()))
        return;
    const IndexedKeys keys = keysOf(*elem);
    if (!keys.uri.isEmpty())
        _uriIndex.insert(keys.uri, elem);
    if (!keys.uuid.isEmpty())
        _uuidIndex.insert(keys.uuid, elem);
    if (!keys.identity.isEmpty())
        _identityIndex.insert(keys.identity, elem);
    _indexedKeys.insert(elem.get(), {elem, keys});
    elem->addKeyObserver(this);
}

void QVSyncElemList::unindexElem(const Elem& elem)
{
    const auto it = _indexedKeys.find(elem.get());
    if (it == _indexedKeys.end())
        return;
    const IndexedKeys keys = it->second;
    _uriIndex.remove(keys.uri, elem);
    _uuidIndex.remove(keys.uuid, elem);
    _identityIndex.remove(keys.identity, elem);
    _indexedKeys.erase(it);
    _staleKeys.remove(elem.get());
    elem->removeKeyObserver(this);
}

void QVSyncElemList::rebuildIdentityIndex()
{
    for (const auto& [elem, keys] : std::as_const(_indexedKeys))
        elem->removeKeyObserver(this);
    _indexedKeys.clear();
    _staleKeys.clear();
    _uriIndex.clear();
    _uuidIndex.clear();
    _identityIndex.clear();
    for (const auto& elem : _allElems)
        indexElem(elem);
}

void QVSyncElemList::elemKeysMayHaveChanged(QVSyncElem* elem)
{
    _staleKeys.insert(elem);
}

void QVSyncElemList::refreshIndex()
{
    // Items put into or taken out of the arrays without the list's calls.
    if (_indexedKeys.size() != qsizetype(_allElems.size())) {
        rebuildIdentityIndex();
        return;
    }
    const QSet<const QVSyncElem*> stale = std::exchange(_staleKeys, {});
    for (const QVSyncElem* raw : stale) {
        const auto it = _indexedKeys.constFind(raw);
        if (it == _indexedKeys.cend())
            continue;
        const Elem elem = it->first;
        unindexElem(elem);
        indexElem(elem);
    }
}

bool QVSyncElemList::isVisible(const Elem& elem)
{
    if (_shared)
        return true;
    if (_visibleSet.size() != qsizetype(_elems.size())) {
        _visibleSet.clear();
        for (const auto& visible : _elems)
            _visibleSet.insert(visible.get());
    }
    return _visibleSet.contains(elem.get());
}

QVSyncElemList::Elem QVSyncElemList::firstOf(const QMultiHash<QString, Elem>& index, const QString& key,
                                             bool visibleOnly)
{
    const auto [first, end] = index.equal_range(key);
    if (first == end)
        return nullptr;
    if (std::next(first) == end)
        return !visibleOnly || isVisible(*first) ? *first : nullptr;
    // Several items share the key: the first visible one, else the first.
    const QList<Elem> candidates(first, end);
    for (const auto& elem : elems())
        if (candidates.contains(elem))
            return elem;
    if (visibleOnly)
        return nullptr;
    for (const auto& elem : _allElems)
        if (candidates.contains(elem))
            return elem;
    return nullptr;
}

void QVSyncElemList::addObject(const Elem& elem)
{
    if (!elem)
        return;
    _allElems.push_back(elem);
    indexElem(elem);
    // While the visible items are all items the new one shows at once.
    if (_shared)
        refreshSearchView();
    else
        recalcUsableItems();
}

void QVSyncElemList::removeObject(const Elem& elem)
{
    _allElems.erase(std::remove(_allElems.begin(), _allElems.end(), elem), _allElems.end());
    unindexElem(elem);
    if (_shared)
        refreshSearchView();
    else
        recalcUsableItems();
}

void QVSyncElemList::insertObjectAtIndex(const Elem& elem, int index)
{
    if (!elem || index < 0 || index > count()) {
        qCWarning(lcSyncModel) << "QVSyncElemList: insertion index" << index << "out of range" << count();
        return;
    }
    if (_shared) {
        _allElems.insert(_allElems.begin() + index, elem);
        indexElem(elem);
        refreshSearchView();
        return;
    }
    // Before the item shown at that place, at the start when there is none.
    const Elem before = objectAtIndex(index);
    const auto at = before ? std::find(_allElems.begin(), _allElems.end(), before) : _allElems.end();
    _allElems.insert(at == _allElems.end() ? _allElems.begin() : at, elem);
    indexElem(elem);
    recalcUsableItems();
}

void QVSyncElemList::removeObjectAtIndex(int index)
{
    if (index < 0 || index >= count()) {
        qCWarning(lcSyncModel) << "QVSyncElemList: removal index" << index << "out of range" << count();
        return;
    }
    const Elem elem = elems()[size_t(index)];
    if (_shared) {
        _allElems.erase(_allElems.begin() + index);
        unindexElem(elem);
        refreshSearchView();
        return;
    }
    const auto at = std::find(_allElems.begin(), _allElems.end(), elem);
    if (at == _allElems.end())
        return;
    _allElems.erase(at);
    unindexElem(elem);
    recalcUsableItems();
}

void QVSyncElemList::insertObjectAtIndex_cs(const Elem& elem, int index)
{
    if (!_constrainedElems) {
        insertObjectAtIndex(elem, index);
        return;
    }
    if (!elem || index < 0 || index > count_cs()) {
        qCWarning(lcSyncModel) << "QVSyncElemList: search view insertion index" << index << "out of range";
        return;
    }
    const Elem before = objectAtIndex_cs(index);
    const auto at = before ? std::find(_allElems.begin(), _allElems.end(), before) : _allElems.end();
    _allElems.insert(at == _allElems.end() ? _allElems.begin() : at, elem);
    indexElem(elem);
    recalcUsableItems();
}

void QVSyncElemList::removeObjectAtIndex_cs(int index)
{
    if (!_constrainedElems) {
        removeObjectAtIndex(index);
        return;
    }
    const Elem elem = objectAtIndex_cs(index);
    if (!elem) {
        qCWarning(lcSyncModel) << "QVSyncElemList: search view removal index" << index << "out of range";
        return;
    }
    removeObject(elem);
}

void QVSyncElemList::removeAllObjects()
{
    _allElems.clear();
    _elems.clear();
    _shared = true;
    _visibleSet.clear();
    rebuildIdentityIndex();
    refreshSearchView();
}

QVSyncElemList::Elem QVSyncElemList::objectForURI(const QString& uri)
{
    if (uri.isEmpty())
        return nullptr;
    refreshIndex();
    return firstOf(_uriIndex, uri, false);
}

QString QVSyncElemList::UUIDForURI(const QString& uri)
{
    const auto elem = std::dynamic_pointer_cast<QVSyncEngineElem>(objectForURI(uri));
    return elem ? elem->elemUUID() : QString();
}

QVSyncElemList::Elem QVSyncElemList::objectForUUID(const QString& uuid)
{
    if (uuid.isEmpty())
        return nullptr;
    refreshIndex();
    return firstOf(_uuidIndex, uuid, false);
}

QVSyncElemList::Elem QVSyncElemList::getItemForIdentity(const QString& identity)
{
    if (identity.isEmpty())
        return nullptr;
    refreshIndex();
    // Calendars and bookmarks look among the visible items only.
    const bool visibleOnly = _property == 1 || _property == 3;
    return firstOf(_identityIndex, identity.toLower(), visibleOnly);
}

int QVSyncElemList::nonDeletedAllElems() const
{
    return int(std::count_if(_allElems.begin(), _allElems.end(), [](const Elem& e) { return !e->isDeleted(); }));
}

int QVSyncElemList::itemsOnDeviceCount() const
{
    const auto& list = elems();
    return int(
        std::count_if(list.begin(), list.end(), [](const Elem& e) { return e->isOnDevice() && !e->isDeleted(); }));
}

bool QVSyncElemList::wantsSyncChangesFromEngine(int property)
{
    return _device && _device->wantsSyncChangesFromEngine(property);
}

bool QVSyncElemList::wantsSyncChangesFromDevice(int property)
{
    return _device && _device->wantsSyncChangesFromDevice(property);
}

bool QVSyncElemList::isMobileMaster(int property)
{
    return _device && _device->isMobileMaster(property);
}

QVSyncElemList::State QVSyncElemList::getCurrentState() const
{
    State state;
    for (const auto& elem : elems())
        state.visible.emplace_back(elem, elem->isDeleted());
    state.all = _allElems;
    if (_trash)
        state.trash = _trash->getList();
    return state;
}

void QVSyncElemList::setStateFromDictionary(const State& state)
{
    auto contains = [](const std::vector<Elem>& list, const Elem& elem) {
        return std::find(list.begin(), list.end(), elem) != list.end();
    };
    // Items added since the snapshot go; hidden ones stay.
    std::vector<Elem> added;
    for (const auto& elem : _allElems)
        if (!contains(state.all, elem))
            added.push_back(elem);
    for (const auto& elem : added)
        removeObject(elem);
    for (const auto& [elem, wasDeleted] : state.visible) {
        const bool gone = !contains(_allElems, elem) || (elem->isDeleted() && !wasDeleted);
        if (!contains(_allElems, elem))
            addObject(elem);
        if (wasDeleted) {
            elem->setDeleted();
        } else if (gone) {
            elem->setUndeleted();
            tellSyncEngineAboutNewElem(elem, false);
        }
    }
    if (_trash)
        _trash->setList(state.trash);
    recalcUsableItems();
}

QString QVSyncElemList::changedNotificationName() const
{
    switch (_property) {
    case 0: return QStringLiteral("DZ-ContactInvalidated");
    case 1: return QStringLiteral("DZ-CalendarInvalidated");
    case 2: return QStringLiteral("DZ-NoteInvalidated");
    case 3: return QStringLiteral("DZ-BookmarkInvalidated");
    default: return {};
    }
}

void QVSyncElemList::postChangedNotification()
{
    const QString name = changedNotificationName();
    if (name.isEmpty())
        return;
    platform::NotificationCenter::defaultCenter().post(name, _device ? _device->notificationSender() : nullptr,
                                                       {{QStringLiteral("UUID"), QStringLiteral("ALL")}});
}

QVSyncElemList::Elem QVSyncElemList::createNewElem(const QVariant& data, const QString& sourceURI,
                                                   const QString& protocol, const QString& device,
                                                   const QString& parent)
{
    QString uri = sourceURI;
    if (_property != 4 && uri.isEmpty() && _device)
        uri = _device->newFreeTID();
    if (_property == 0) {
        auto contact = QVVCardElem::elemWithData(data, uri, protocol, device, parent);
        if (contact && _hasOnlyFirstLast)
            contact->setHasOnlyFirstLast(true);
        return contact;
    }
    if (_property == 1 || _property == 5 || _property == 6)
        return QVVCalendarElem::elemWithData(data, uri, protocol, device, parent);
    return nullptr;
}

QVSyncElemList::Elem QVSyncElemList::createNewElemWithDict(const VXDictionary* dict, const QString& sourceURI,
                                                           const QString& uuid, const QString& protocol,
                                                           const QString& device, const QString& parent)
{
    if (_property == 0)
        return QVVCardElem::vCardWithDict(dict, uuid, sourceURI, protocol, device, parent);
    if (_property == 1 || _property == 5 || _property == 6)
        return QVVCalendarElem::vCalendarWithDict(dict, uuid, sourceURI, protocol, device, parent);
    return nullptr;
}

QVSyncElemList::Elem QVSyncElemList::createElem(const QString& uuid)
{
    const auto description = _device ? _device->syncDescription() : nullptr;
    const QString protocol = description ? description->protocol() : QString();
    const VXDictionary empty;
    return createNewElemWithDict(&empty, QString(), uuid, protocol, QString(), QString());
}

QVSyncElemList::Elem QVSyncElemList::createNewElemWithUUID(const QString& uuid)
{
    const Elem elem = createElem(uuid);
    addObject(elem);
    return elem;
}

QVSyncElemList::Elem QVSyncElemList::getOrCreateElem(const QString& uuid)
{
    if (Elem elem = objectForUUID(uuid))
        return elem;
    return createNewElemWithUUID(uuid);
}

namespace {

int indexWhere(const std::vector<QVSyncElemList::Elem>& list, const std::function<bool(const QVSyncElem&)>& test)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (test(*list[i]))
            return int(i);
    return -1;
}

QString uuidOfElem(const QVSyncElem& elem)
{
    const auto* engine = dynamic_cast<const QVSyncEngineElem*>(&elem);
    return engine ? engine->elemUUID() : QString();
}

} // namespace

int QVSyncElemList::indexOfObject(const Elem& elem) const
{
    return indexWhere(elems(), [&](const QVSyncElem& e) { return &e == elem.get(); });
}

int QVSyncElemList::indexOfObjectWithURI(const QString& uri) const
{
    return indexWhere(elems(), [&](const QVSyncElem& e) { return e.sourceURI() == uri; });
}

int QVSyncElemList::indexOfObjectWithUUID(const QString& uuid) const
{
    return indexWhere(elems(), [&](const QVSyncElem& e) { return uuidOfElem(e) == uuid; });
}

int QVSyncElemList::indexOfObject_cs(const Elem& elem) const
{
    return indexWhere(elems_cs(), [&](const QVSyncElem& e) { return &e == elem.get(); });
}

int QVSyncElemList::indexOfObjectWithURI_cs(const QString& uri) const
{
    return indexWhere(elems_cs(), [&](const QVSyncElem& e) { return e.sourceURI() == uri; });
}

int QVSyncElemList::indexOfObjectWithUUID_cs(const QString& uuid) const
{
    return indexWhere(elems_cs(), [&](const QVSyncElem& e) { return uuidOfElem(e) == uuid; });
}

std::vector<QVSyncElemList::Elem> QVSyncElemList::nonDeletedElems() const
{
    std::vector<Elem> result;
    std::copy_if(elems().begin(), elems().end(), std::back_inserter(result), [](const Elem& e) { return !e->isDeleted(); });
    return result;
}

std::vector<QVSyncElemList::Elem> QVSyncElemList::deletedAllElems() const
{
    std::vector<Elem> result;
    std::copy_if(_allElems.begin(), _allElems.end(), std::back_inserter(result), [](const Elem& e) { return e->isDeleted(); });
    return result;
}

int QVSyncElemList::validEntries() const
{
    return int(std::count_if(elems().begin(), elems().end(), [](const Elem& e) { return !e->isDeleted(); }));
}

bool QVSyncElemList::isDirty() const
{
    return std::any_of(elems().begin(), elems().end(),
                       [](const Elem& e) { return e->isChanged() || !e->isOnDevice() || e->isDeleted(); });
}

void QVSyncElemList::setClean()
{
    for (const auto& elem : elems())
        elem->clearChanged();
}

bool QVSyncElemList::isSyncEngineList() const
{
    if (_device && _device->isHistory())
        return false;
    return _usesSyncEngine;
}

bool QVSyncElemList::isTaskElement(const Elem& elem)
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(elem.get());
    return calendar && calendar->isToDo();
}

bool QVSyncElemList::isTaskElementUUID(const QString& uuid)
{
    if (const Elem elem = objectForUUID(uuid))
        return isTaskElement(elem);
    // A sub-record: its item holds the id among its records.
    for (const auto& elem : _allElems) {
        const auto* calendar = dynamic_cast<const QVVCalendarElem*>(elem.get());
        if (calendar && calendar->isToDo() && calendar->recordForUUID(uuid).isValid())
            return true;
    }
    return false;
}

int QVSyncElemList::compareCalendarDates(const QDateTime& first, const QDateTime& second)
{
    if (!second.isValid())
        return first.isValid() ? 1 : 0;
    if (!first.isValid())
        return -1;
    const qint64 seconds = second.secsTo(first);
    return seconds > 0 ? 1 : (seconds < 0 ? -1 : 0);
}

void QVSyncElemList::cleanUpDeletedItems()
{
    std::vector<Elem> gone;
    for (const auto& elem : _allElems)
        if (elem->isDeleted())
            gone.push_back(elem);
    if (gone.empty())
        return;
    _allElems.erase(std::remove_if(_allElems.begin(), _allElems.end(), [](const Elem& e) { return e->isDeleted(); }),
                    _allElems.end());
    for (const auto& elem : gone)
        unindexElem(elem);
    recalcUsableItems();
}

void QVSyncElemList::removeItemFromCleanUpList(const QString& uri)
{
    const Elem elem = objectForURI(uri);
    if (!elem || !elem->isDeleted())
        return;
    _allElems.erase(std::find(_allElems.begin(), _allElems.end(), elem));
    unindexElem(elem);
    recalcUsableItems();
}

void QVSyncElemList::removeAllOldObjects()
{
    auto old = [](const Elem& e) { return e->isOnDevice() && !e->isChanged() && e->isSyncingElement(); };
    std::vector<Elem> gone;
    std::copy_if(_allElems.begin(), _allElems.end(), std::back_inserter(gone), old);
    _allElems.erase(std::remove_if(_allElems.begin(), _allElems.end(), old), _allElems.end());
    for (const auto& elem : gone)
        unindexElem(elem);
    if (_constrainedElems)
        _constrainedElems->erase(std::remove_if(_constrainedElems->begin(), _constrainedElems->end(), old),
                                 _constrainedElems->end());
    recalcUsableItems();
    cleanUpDeletedItems();
}

void QVSyncElemList::moveAllToDeletedItems()
{
    const std::vector<Elem> visible = elems();
    for (auto it = visible.rbegin(); it != visible.rend(); ++it) {
        const Elem& elem = *it;
        if (elem->sourceURI().isEmpty())
            continue;
        addToDeleted(elem);
    }
}

void QVSyncElemList::replaceParamsOfItem(const Elem& elem, const QString& uri)
{
    auto* stored = dynamic_cast<QVSyncEngineElem*>(objectForURI(uri).get());
    auto* other = dynamic_cast<QVSyncEngineElem*>(elem.get());
    if (stored && other && stored != other)
        stored->acceptParamChangesForElem(*other);
}
