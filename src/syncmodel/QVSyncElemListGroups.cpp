// Group and calendar membership of the list's items: the target group of new
// phone items, the group records' member lists in step with the items, and
// the changes the desktop hears of.
#include "syncmodel/QVSyncElemList.h"

#include "foundation/NamedLog.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

using platform::SyncChange;

namespace {

const QString kGroupsMembers = QStringLiteral("members");
const QString kGroupsParent = QStringLiteral("parent");
const QString kGroupsBookmarksMenu = QStringLiteral("BookmarksMenu");

QVSyncEngineElem* groupsEngineElem(const QVSyncElemList::Elem& elem)
{
    return dynamic_cast<QVSyncEngineElem*>(elem.get());
}

void groupsSetCalendar(QVSyncEngineElem& elem, const QString& calendarId)
{
    elem.vxDict()->setMainObject(QVariantList{calendarId}, QVSyncEngineElem::kCalendarField);
    if (auto* event = dynamic_cast<QVVCalendarElem*>(&elem))
        event->checkType();
}

} // namespace

bool QVSyncElemList::makeElemMemberOfDefaultGroup(const Elem& elem)
{
    auto* engine = groupsEngineElem(elem);
    if (!engine || !engine->vxDict() || !usesEngineForChanges())
        return false;
    if (_property == 3) {
        QString folder = _targetGroup;
        if (folder.isEmpty() && _groups && _groups->contains(kGroupsBookmarksMenu))
            folder = kGroupsBookmarksMenu;
        if (folder.isEmpty())
            return false;
        engine->vxDict()->setMainObject(QVariantList{folder}, kGroupsParent);
        return true;
    }
    if (_property == 0) {
        if (_targetGroup.isEmpty())
            return false;
        const QVariantList groups = engine->vxDict()->objectForKey(VXDictionary::kGroups).toList();
        if (groups.contains(_targetGroup))
            return false;
        QVLOG(qvlog::kSE,
              QStringLiteral("makeElemMemberOfDefaultGroup elem (%1) ID:%2").arg(engine->elemUUID(), _targetGroup));
        engine->vxDict()->setObject(QVariantList(groups) << _targetGroup, VXDictionary::kGroups);
        addGroupRelation(_targetGroup, engine->elemUUID());
        return true;
    }
    if (_property == 1 || _property == 5 || _property == 6) {
        QString calendar = _targetGroup;
        if (calendar.isEmpty() && _device)
            calendar = _device->defaultCalendarID();
        if (calendar.isEmpty()) {
            QVLOG(qvlog::kSE, QStringLiteral("makeElemMemberOfDefaultGroup: no target calendar and no default "
                                             "calendar for %1 (beep)")
                                  .arg(engine->elemUUID()));
            // The system beep of a program with a window; here a line in the "XT" log.
            QVLOG(qvlog::kXT, QStringLiteral("beep: no calendar for the new item %1").arg(engine->elemUUID()));
            return false;
        }
        if (engine->vxDict()->mainObjectForKey(QVSyncEngineElem::kCalendarField).toList() == QVariantList{calendar})
            return false;
        groupsSetCalendar(*engine, calendar);
        return true;
    }
    return false;
}

void QVSyncElemList::addGroupMembershipToElem(const Elem& elem, const QString& groupId)
{
    auto* engine = groupsEngineElem(elem);
    if (!engine || !engine->vxDict() || !usesEngineForChanges())
        return;
    if (groupId.startsWith(QVSyncElem::kTemporaryIdPrefix))
        QVLOG(qvlog::kSE, QStringLiteral("addGroupMembershipToElem with a temporary group id %1").arg(groupId));
    if (_property == 3) {
        engine->vxDict()->setMainObject(QVariantList{groupId}, kGroupsParent);
    } else if (_property == 0) {
        QVariantList groups = engine->vxDict()->objectForKey(VXDictionary::kGroups).toList();
        if (groups.isEmpty())
            groups.reserve(4);
        if (!groups.contains(groupId))
            groups.append(groupId);
        engine->vxDict()->setObject(groups, VXDictionary::kGroups);
    } else if (_property == 1 || _property == 5 || _property == 6) {
        groupsSetCalendar(*engine, groupId);
    }
}

void QVSyncElemList::addGroupRelation(const QString& groupId, const QString& memberId)
{
    if (!hasGroupObjects() || groupId.isEmpty() || memberId.isEmpty())
        return;
    if (!_groups)
        _groups.emplace();
    QVariantMap group = _groups->value(groupId).toMap();
    QVariantList members = group.value(kGroupsMembers).toList();
    if (!group.contains(kGroupsMembers))
        members.reserve(64);
    if (!members.contains(memberId))
        members.append(memberId);
    group.insert(kGroupsMembers, members);
    _groups->insert(groupId, group);
    if (auto* engine = groupsEngineElem(elemForUUID(memberId)))
        engine->addGroupRelation(groupId);
}

void QVSyncElemList::deleteGroupRelation(const QString& groupId, const QString& memberId)
{
    if (!hasGroupObjects() || !_groups || !_groups->contains(groupId))
        return;
    QVariantMap group = _groups->value(groupId).toMap();
    if (group.value(kGroupsMembers).typeId() != QMetaType::QVariantList)
        return;
    QVariantList members = group.value(kGroupsMembers).toList();
    members.removeAll(memberId);
    group.insert(kGroupsMembers, members);
    _groups->insert(groupId, group);

    const Elem elem = elemForUUID(memberId);
    auto* engine = groupsEngineElem(elem);
    if (!engine)
        return;
    const Elem copy = elem->copy();
    engine->deleteGroupRelation(groupId);
    if (engine->isMemberOfRequestedGroups(_enabledGroups.value_or(QStringList())))
        return;
    if (wantsSyncChangesFromEngine(_property)) {
        const bool wasOnPhone = elem->isOnDevice();
        // The item stays here as a new one; the copy takes the phone's id
        // away with it, so the phone deletes its version.
        elem->removeDeviceRelations();
        elem->setSourceURI(_device ? _device->newFreeTID() : QString());
        if (wasOnPhone && copy) {
            copy->setProperty(_property);
            copy->setDeleted();
            addObject(copy);
        }
    } else if (elem->isOnDevice()) {
        addGroupMembershipToElem(elem, groupId);
    }
}

void QVSyncElemList::deleteGroupRelations(const Elem& elem)
{
    const auto* engine = groupsEngineElem(elem);
    if (!engine || !_groups)
        return;
    const QString uuid = engine->elemUUID();
    for (auto it = _groups->begin(); it != _groups->end(); ++it) {
        QVariantMap group = it.value().toMap();
        if (group.value(kGroupsMembers).typeId() != QMetaType::QVariantList)
            continue;
        QVariantList members = group.value(kGroupsMembers).toList();
        if (members.removeAll(uuid) == 0)
            continue;
        group.insert(kGroupsMembers, members);
        it.value() = group;
    }
}

void QVSyncElemList::tellSyncEngineAboutChangedTargetGroup()
{
    if (!hasGroupObjects() || _targetGroup.isEmpty() || !_groups || !_groups->contains(_targetGroup))
        return;
    const QVariant members = _groups->value(_targetGroup).toMap().value(kGroupsMembers);
    addChangeForSyncEngineFromSyncML(SyncChange(
        SyncChange::Modify, _targetGroup,
        {SyncChange::setChange(kGroupsMembers, members.isValid() ? members : QVariant(QVariantList()))}));
}
