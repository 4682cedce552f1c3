#include "syncmodel/QVSyncElemList.h"

#include "syncmodel/ItemListDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include "syncmodel/SyncModelLog.h"
#include "platform/NotificationCenter.h"

#include <algorithm>

QVSyncElemList::QVSyncElemList(int property, ItemListDevice* device) : _property(property), _device(device)
{
    // Only a contact limit the phone names replaces the default.
    if (_device && _property == 0 && _device->maxContacts() > 0)
        _maxItemsOnDevice = _device->maxContacts();
}

QVSyncElemList::Elem QVSyncElemList::objectAtIndex(int index) const
{
    const auto& list = elems();
    return index >= 0 && index < int(list.size()) ? list[size_t(index)] : nullptr;
}

QVSyncElemList::Elem QVSyncElemList::objectAtIndex_cs(int index) const
{
    return index >= 0 && index < allCount() ? _allElems[size_t(index)] : nullptr;
}

void QVSyncElemList::indexElem(const Elem& elem)
{
    if (!elem->sourceURI().isEmpty())
        _byURI.insert(elem->sourceURI(), elem);
    const QString identity = elem->getIdentityString().toLower();
    if (!identity.isEmpty() && !_byIdentity.contains(identity))
        _byIdentity.insert(identity, elem);
}

void QVSyncElemList::unindexElem(const Elem& elem)
{
    // Mostly the item is still indexed under its present id and identity;
    // only when one of them changed since is the whole index searched.
    const QString uri = elem->sourceURI();
    const QString identity = elem->getIdentityString().toLower();
    if (!uri.isEmpty() && !identity.isEmpty() && _byURI.value(uri) == elem && _byIdentity.value(identity) == elem) {
        _byURI.remove(uri);
        _byIdentity.remove(identity);
        return;
    }
    for (auto it = _byURI.begin(); it != _byURI.end();)
        it = it.value() == elem ? _byURI.erase(it) : std::next(it);
    for (auto it = _byIdentity.begin(); it != _byIdentity.end();)
        it = it.value() == elem ? _byIdentity.erase(it) : std::next(it);
}

void QVSyncElemList::rebuildIdentityIndex()
{
    _byIdentity.clear();
    _byURI.clear();
    for (const auto& elem : _allElems)
        indexElem(elem);
}

void QVSyncElemList::addObject(const Elem& elem)
{
    if (!elem)
        return;
    _allElems.push_back(elem);
    if (!_shared)
        _elems.push_back(elem);
    indexElem(elem);
    _dirty = true;
}

void QVSyncElemList::removeObject(const Elem& elem)
{
    auto drop = [&](std::vector<Elem>& list) { list.erase(std::remove(list.begin(), list.end(), elem), list.end()); };
    drop(_allElems);
    if (!_shared)
        drop(_elems);
    unindexElem(elem);
    _dirty = true;
}

void QVSyncElemList::insertObjectAtIndex(const Elem& elem, int index)
{
    if (!elem || index < 0 || index > count()) {
        qCWarning(lcSyncModel) << "QVSyncElemList: insertion index" << index << "out of range" << count();
        return;
    }
    if (_shared) {
        _allElems.insert(_allElems.begin() + index, elem);
    } else {
        _elems.insert(_elems.begin() + index, elem);
        _allElems.push_back(elem);
    }
    indexElem(elem);
    _dirty = true;
}

void QVSyncElemList::removeObjectAtIndex(int index)
{
    if (index < 0 || index >= count()) {
        qCWarning(lcSyncModel) << "QVSyncElemList: removal index" << index << "out of range" << count();
        return;
    }
    if (_shared) {
        const Elem elem = _allElems[size_t(index)];
        _allElems.erase(_allElems.begin() + index);
        unindexElem(elem);
    } else {
        // Only the visible entry goes; the item stays in the list.
        _elems.erase(_elems.begin() + index);
    }
    _dirty = true;
}

void QVSyncElemList::removeAllObjects()
{
    _allElems.clear();
    _elems.clear();
    _shared = true;
    _byURI.clear();
    _byIdentity.clear();
    _dirty = true;
}

void QVSyncElemList::constrainToSearchString(const QString& text)
{
    if (text.isEmpty()) {
        _elems.clear();
        _shared = true;
        return;
    }
    _shared = false;
    _elems.clear();
    for (const auto& elem : _allElems)
        if (!elem->isDeleted() && elem->satisfiesSearchString(text))
            _elems.push_back(elem);
}

QVSyncElemList::Elem QVSyncElemList::objectForURI(const QString& uri)
{
    Elem elem = _byURI.value(uri);
    if (elem && elem->sourceURI() == uri)
        return elem;
    // An item's id changed since it was indexed.
    rebuildIdentityIndex();
    return _byURI.value(uri);
}

QString QVSyncElemList::UUIDForURI(const QString& uri)
{
    const Elem elem = objectForURI(uri);
    return elem ? elem->getIdentityString() : QString();
}

QVSyncElemList::Elem QVSyncElemList::getItemForIdentity(const QString& identity)
{
    const QString key = identity.toLower();
    Elem elem = _byIdentity.value(key);
    if (elem && elem->getIdentityString().toLower() == key)
        return elem;
    // Missing or stale: identities change when items change.
    rebuildIdentityIndex();
    elem = _byIdentity.value(key);
    return elem && elem->getIdentityString().toLower() == key ? elem : nullptr;
}

int QVSyncElemList::nonDeletedAllElems() const
{
    return int(std::count_if(_allElems.begin(), _allElems.end(), [](const Elem& e) { return !e->isDeleted(); }));
}

int QVSyncElemList::itemsOnDeviceCount() const
{
    return int(std::count_if(_allElems.begin(), _allElems.end(),
                             [](const Elem& e) { return e->isOnDevice() && !e->isDeleted(); }));
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
    if (!_shared)
        constrainToSearchString(QString());
    _dirty = true;
}

void QVSyncElemList::sortBy(quint32 code, bool descending)
{
    _sortCode = code;
    _sortDescending = descending;
    sort();
}

void QVSyncElemList::sort()
{
    const bool reversed = !_sortDescending;
    auto before = [reversed](const Elem& a, const Elem& b) {
        const int result = a->defaultComparisation(*b);
        return reversed ? result > 0 : result < 0;
    };
    std::stable_sort(_allElems.begin(), _allElems.end(), before);
    if (!_shared)
        std::stable_sort(_elems.begin(), _elems.end(), before);
}

void QVSyncElemList::reverse()
{
    std::reverse(_allElems.begin(), _allElems.end());
    if (!_shared)
        std::reverse(_elems.begin(), _elems.end());
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
