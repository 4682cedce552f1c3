#include "syncmodel/QVSyncElemList.h"

#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "syncmodel/SyncModelLog.h"

#include <algorithm>

namespace {

constexpr quint32 sortCodeOf(const char (&code)[5])
{
    return (quint32(quint8(code[0])) << 24) | (quint32(quint8(code[1])) << 16) | (quint32(quint8(code[2])) << 8) |
           quint32(quint8(code[3]));
}

} // namespace

void QVSyncElemList::shareVisible()
{
    _elems.clear();
    _visibleSet.clear();
    _shared = true;
}

void QVSyncElemList::partVisible(std::vector<Elem> visible)
{
    _elems = std::move(visible);
    _shared = false;
    _visibleSet.clear();
    for (const auto& elem : _elems)
        _visibleSet.insert(elem.get());
}

void QVSyncElemList::recalcUsableItems()
{
    const bool filters = !(_device && _device->isHistory()) && isSyncEngineList();
    if (filters && _property == 3) {
        recalcBookmarkItems();
        return;
    }
    const bool byGroups = filters && hasGroupObjects() && _enabledGroups;
    const bool byCalendars = filters && hasCalendarObjects() && _enabledGroups;
    if (byGroups || byCalendars) {
        std::vector<Elem> visible;
        for (const auto& elem : _allElems) {
            auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
            const bool member = !engine || (byGroups ? engine->isMemberOfRequestedGroups(*_enabledGroups)
                                                     : engine->isMemberOfRequestedCalendars(*_enabledGroups));
            if (member)
                visible.push_back(elem);
        }
        partVisible(std::move(visible));
    } else {
        shareVisible();
    }
    sort();
    postChangedNotification();
}

void QVSyncElemList::recalcBookmarkItems()
{
    std::vector<Elem> visible;
    const QStringList father = _targetGroup.isEmpty() ? QStringList() : QStringList{_targetGroup};
    for (const auto& elem : _allElems) {
        if (elem->isFolder())
            continue;
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        if (!father.isEmpty() && engine && !engine->isChildOfRequestedFather(father, this))
            continue;
        visible.push_back(elem);
    }
    partVisible(std::move(visible));
    refreshSearchView();
    postChangedNotification();
}

void QVSyncElemList::refreshSearchView()
{
    if (!_constrainedElems)
        return;
    std::vector<Elem> matching;
    for (const auto& elem : elems())
        if (elem->satisfiesSearchString(_constrainString))
            matching.push_back(elem);
    _constrainedElems = std::move(matching);
}

bool QVSyncElemList::constrainToSearchString(const QString& text)
{
    if (text.isEmpty()) {
        const bool wasActive = _constrainedElems.has_value();
        _constrainedElems.reset();
        _constrainString.clear();
        return wasActive;
    }
    _constrainString = text;
    _constrainedElems.emplace();
    refreshSearchView();
    return true;
}

QVSyncElemList::Comparison QVSyncElemList::comparisonForSortCode(quint32 code)
{
    struct Entry {
        quint32 code;
        Comparison comparison;
    };
    static const Entry table[] = {
        {sortCodeOf("btit"), &QVSyncElem::titleComparisation},
        {sortCodeOf("burl"), &QVSyncElem::urlComparisation},
        {sortCodeOf("date"), &QVSyncElem::dateComparisation},
        {sortCodeOf("desc"), &QVSyncElem::descriptionComparisation},
        {sortCodeOf("dflt"), &QVSyncElem::defaultComparisation},
        {sortCodeOf("etyp"), &QVSyncElem::eventTypeComparisation},
        {sortCodeOf("firs"), &QVSyncElem::firstComparisation},
        {sortCodeOf("last"), &QVSyncElem::lastComparisation},
        {sortCodeOf("loca"), &QVSyncElem::locationComparisation},
        {sortCodeOf("note"), &QVSyncElem::noteComparisation},
        {sortCodeOf("numb"), &QVSyncElem::numberComparisation},
        {sortCodeOf("org "), &QVSyncElem::orgComparisation},
        {sortCodeOf("stxt"), &QVSyncElem::smsComparisation},
        {sortCodeOf("type"), &QVSyncElem::typeComparisation},
    };
    for (const Entry& entry : table)
        if (entry.code == code)
            return entry.comparison;
    return &QVSyncElem::onPhoneComparisation;
}

void QVSyncElemList::sortBy(quint32 code, bool descending)
{
    _sortCode = code;
    _sortDescending = descending;
    sort();
}

void QVSyncElemList::sort()
{
    const Comparison comparison = comparisonForSortCode(_sortCode);
    auto& list = _shared ? _allElems : _elems;
    std::stable_sort(list.begin(), list.end(),
                     [comparison](const Elem& a, const Elem& b) { return ((*a).*comparison)(*b) < 0; });
    // The stored flag reads the other way round: NO reverses the order.
    if (!_sortDescending)
        reverse();
    refreshSearchView();
}

void QVSyncElemList::reverse()
{
    auto& list = _shared ? _allElems : _elems;
    for (size_t i = 0, j = list.size(); i + 1 < j; ++i, --j)
        std::swap(list[i], list[j - 1]);
    refreshSearchView();
}

int QVSyncElemList::highestPositionForFolder(const QString& folder)
{
    int highest = 0;
    const QStringList father{folder};
    for (const auto& elem : elems()) {
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        if (engine && engine->isChildOfRequestedFather(father, this))
            highest = std::max(highest, elem->positionNumber());
    }
    return highest;
}

void QVSyncElemList::recalcPositionsForFolder(const QString& folder)
{
    std::vector<Elem> children;
    const QStringList father{folder};
    for (const auto& elem : elems()) {
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        if (engine && engine->isChildOfRequestedFather(father, this))
            children.push_back(elem);
    }
    std::stable_sort(children.begin(), children.end(),
                     [](const Elem& a, const Elem& b) { return a->positionComparisation(*b) < 0; });
    int number = 0;
    for (const auto& child : children) {
        if (child->isDeleted())
            continue;
        if (child->positionNumber() != number)
            child->setNewPosition(number, this);
        ++number;
    }
}
