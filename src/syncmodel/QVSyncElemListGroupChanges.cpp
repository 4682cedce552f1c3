// Group and calendar changes pulled from the desktop sync engine: the list's
// group and calendar records, the memberships on the item side, and the
// phone's three sync environments kept in step with calendar ids and names.
#include "syncmodel/QVSyncElemList.h"

#include "foundation/NamedLog.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncEngineElem.h"

using platform::SyncChange;

namespace {

const QString kGroupChangeName = QStringLiteral("name");
const QString kGroupChangeTitle = QStringLiteral("title");
const QString kGroupChangeMembers = QStringLiteral("members");
const QString kGroupChangeOwner = QStringLiteral("owner");
const QString kGroupChangeTargetGroup = QStringLiteral("TargetGroup");
const QString kGroupChangeTargetGroupName = QStringLiteral("TargetGroupName");
const QString kGroupChangeGroups = QStringLiteral("Groups");
const QString kGroupChangeRemovedCalendar = QStringLiteral("T-9999");

struct GroupPropertyChange {
    bool set = false;
    QString name;
    QVariant value;
};

std::vector<GroupPropertyChange> groupChangesOf(const SyncChange& change)
{
    std::vector<GroupPropertyChange> result;
    for (const QVariant& entry : change.changes()) {
        const QVariantMap map = entry.toMap();
        GroupPropertyChange one;
        one.set = map.value(platform::ISyncChangePropertyActionKey).toString() == platform::ISyncChangePropertySet;
        one.name = map.value(platform::ISyncChangePropertyNameKey).toString();
        one.value = map.value(platform::ISyncChangePropertyValueKey);
        if (!one.name.isEmpty())
            result.push_back(one);
    }
    return result;
}

QVariantMap groupSetProperties(const SyncChange& change)
{
    QVariantMap record;
    for (const auto& one : groupChangesOf(change))
        if (one.set && one.value.isValid())
            record.insert(one.name, one.value);
    return record;
}

QStringList groupStringsOf(const QVariant& value)
{
    QStringList list;
    for (const QVariant& item : value.toList())
        if (!item.toString().isEmpty())
            list.append(item.toString());
    return list;
}

} // namespace

void QVSyncElemList::processOneSyncEngineGroupChange(const SyncChange& change, bool* numberChanged)
{
    QVLOG(qvlog::kSE,
          QStringLiteral("processOneSyncEngineGroupChange: type %1 %2")
              .arg(int(change.type()))
              .arg(change.recordIdentifier()));
    if (change.type() == SyncChange::Modify) {
        processOneSyncEngineGroupChangeForGroups(change);
        processSyncEngineGroupModification(change);
        return;
    }
    // The memberships first: a delete still finds the group's members, an
    // add re-keys a temporary group of the same name before it is stored.
    processSyncEngineGroupAddOrDelete(change);
    processOneSyncEngineGroupChangeForGroups(change);
    if (numberChanged)
        *numberChanged = true;
}

void QVSyncElemList::processOneSyncEngineGroupChangeForGroups(const SyncChange& change)
{
    const QString id = change.recordIdentifier();
    if (!_groups)
        _groups.emplace();
    if (change.type() == SyncChange::Delete) {
        _groups->remove(id);
        return;
    }
    if (!_groups->contains(id)) {
        if (change.type() == SyncChange::Modify) {
            QVLOG(qvlog::kSE, QStringLiteral("### GeneralSyncInfo wants to modify nonexisting GROUP: %1").arg(id));
            return;
        }
        _groups->insert(id, QVariantMap());
    }
    QVariantMap group = _groups->value(id).toMap();
    if (change.type() == SyncChange::Modify) {
        for (const auto& one : groupChangesOf(change))
            if (one.set && one.name == kGroupChangeName)
                group.insert(kGroupChangeName, one.value.toString());
    } else {
        // The members are kept through the relations; the rest as pulled.
        QVariantMap set = groupSetProperties(change);
        set.remove(kGroupChangeMembers);
        for (auto it = set.cbegin(); it != set.cend(); ++it)
            group.insert(it.key(), it.value());
    }
    _groups->insert(id, group);
}

void QVSyncElemList::assureToHaveGroup(const QString& groupId, const QString& name)
{
    if (!_groups)
        _groups.emplace();
    if (_groups->contains(groupId))
        return;
    for (auto it = _groups->cbegin(); it != _groups->cend(); ++it) {
        if (!it.key().startsWith(QVSyncElem::kTemporaryIdPrefix) || it.value().toMap().value(kGroupChangeName) != name)
            continue;
        const QString temporary = it.key();
        const QVariantMap group = it.value().toMap();
        QVLOG(qvlog::kSE, QStringLiteral("###++++#### replaced Group %1 for %2 (%3)").arg(groupId, temporary, name));
        _groups->remove(temporary);
        _groups->insert(groupId, group);
        // The members follow the group to its new id.
        for (const QVariant& member : group.value(kGroupChangeMembers).toList()) {
            auto* engine = dynamic_cast<QVSyncEngineElem*>(elemForUUID(member.toString()).get());
            if (!engine)
                continue;
            engine->deleteGroupRelation(temporary);
            engine->addGroupRelation(groupId);
        }
        if (_targetGroup == temporary)
            _targetGroup = groupId;
        return;
    }
    QVLOG(qvlog::kSE, QStringLiteral("###++++#### Created temporary group with ID: %1").arg(groupId));
    _groups->insert(groupId, QVariantMap{{kGroupChangeName, name}, {kGroupChangeMembers, QVariantList()}});
}

void QVSyncElemList::processSyncEngineGroupAddOrDelete(const SyncChange& change)
{
    if (!hasGroupObjects())
        return;
    const QString id = change.recordIdentifier();
    if (change.type() == SyncChange::Delete) {
        const QVariantMap group = _groups ? _groups->value(id).toMap() : QVariantMap();
        for (const QString& member : groupStringsOf(group.value(kGroupChangeMembers)))
            deleteGroupRelation(id, member);
        return;
    }
    QVariantMap record = change.record();
    if (record.isEmpty())
        record = groupSetProperties(change);
    const QString name = record.value(kGroupChangeName).toString();
    const bool known = _groups && _groups->contains(id);
    const QString storedName = known ? _groups->value(id).toMap().value(kGroupChangeName).toString() : name;
    assureToHaveGroup(id, name);
    for (const QString& member : groupStringsOf(record.value(kGroupChangeMembers)))
        addGroupRelation(id, member);
    if (storedName != name) {
        QVariantMap group = _groups->value(id).toMap();
        group.insert(kGroupChangeName, name);
        _groups->insert(id, group);
        for (const QString& member : groupStringsOf(group.value(kGroupChangeMembers)))
            if (const Elem elem = elemForUUID(member))
                elem->setChanged();
    }
}

void QVSyncElemList::processSyncEngineGroupModification(const SyncChange& change)
{
    const QString id = change.recordIdentifier();
    if (!hasGroupObjects() || !_groups || !_groups->contains(id))
        return;
    for (auto one : groupChangesOf(change)) {
        if (!one.set) {
            one.value = one.name == kGroupChangeMembers ? QVariant(QVariantList()) : QVariant(QString());
            one.set = true;
        }
        if (one.name == kGroupChangeMembers) {
            const QStringList now = groupStringsOf(one.value);
            const QStringList before = groupStringsOf(_groups->value(id).toMap().value(kGroupChangeMembers));
            for (const QString& member : before)
                if (!now.contains(member))
                    deleteGroupRelation(id, member);
            for (const QString& member : now)
                if (!before.contains(member))
                    addGroupRelation(id, member);
        } else if (one.name == kGroupChangeName) {
            QVariantMap group = _groups->value(id).toMap();
            if (group.value(kGroupChangeName).toString() != one.value.toString()) {
                group.insert(kGroupChangeName, one.value.toString());
                _groups->insert(id, group);
            }
        }
    }
}

void QVSyncElemList::processOneSyncEngineCalendarChange(const SyncChange& change, bool* numberChanged)
{
    processSyncEngineCalendarChange(change);
    if (numberChanged && change.type() != SyncChange::Modify)
        *numberChanged = true;
}

void QVSyncElemList::processSyncEngineCalendarChange(const SyncChange& change)
{
    if (!hasCalendarObjects())
        return;
    if (!_calendars)
        _calendars.emplace();
    const QString id = change.recordIdentifier();
    if (change.type() != SyncChange::Modify) {
        processSyncEngineCalendarAddOrDelete(change);
        return;
    }
    if (!_calendars->contains(id)) {
        QVLOG(qvlog::kSE, QStringLiteral("### GeneralSyncInfo wants to modify nonexisting GROUP: %1").arg(id));
        return;
    }
    QVariantMap calendar = _calendars->value(id).toMap();
    for (const auto& one : groupChangesOf(change)) {
        if (one.set && one.value.isValid()) {
            calendar.insert(one.name, one.value);
            _calendars->insert(id, calendar);
            if (one.name == kGroupChangeTitle)
                setNewCalendarName(one.value.toString(), id);
        } else {
            calendar.remove(one.name);
            _calendars->insert(id, calendar);
            if (one.name == kGroupChangeTitle)
                setNewCalendarName(QString(), id);
        }
    }
}

void QVSyncElemList::processSyncEngineCalendarAddOrDelete(const SyncChange& change)
{
    if (!hasCalendarObjects())
        return;
    if (!_calendars)
        _calendars.emplace();
    const QString id = change.recordIdentifier();
    if (change.type() == SyncChange::Delete) {
        _calendars->remove(id);
        setNewCalendar(std::nullopt, id);
    } else if (change.type() == SyncChange::Add) {
        setNewCalendar(groupSetProperties(change), id);
    }
}

void QVSyncElemList::processSyncEngineCalendarModification(const SyncChange& change)
{
    const QString id = change.recordIdentifier();
    if (!hasCalendarObjects() || !_calendars || !_calendars->contains(id))
        return;
    for (const auto& one : groupChangesOf(change)) {
        if (one.name != kGroupChangeTitle || !one.set)
            continue;
        QVariantMap calendar = _calendars->value(id).toMap();
        if (calendar.value(kGroupChangeTitle) == one.value)
            continue;
        calendar.insert(kGroupChangeTitle, one.value);
        _calendars->insert(id, calendar);
        setNewCalendarName(one.value.toString(), id);
    }
}

bool QVSyncElemList::affectsTaskList(const SyncChange& change)
{
    if (!hasCalendarObjects())
        return false;
    const QVariantMap record = change.record();
    const QString entity = record.value(platform::ISyncRecordEntityNameKey).toString();
    if (entity == platform::entity::Task)
        return true;
    const QVariantList owner = record.value(kGroupChangeOwner).toList();
    if (!owner.isEmpty() && isTaskElementUUID(owner.first().toString()))
        return true;
    const QString affected = affectedElemUUID(change);
    return !affected.isEmpty() && isTaskElementUUID(affected);
}

void QVSyncElemList::setNewCalendar(const std::optional<QVariantMap>& calendar, const QString& key)
{
    if (calendar) {
        if (!_calendars)
            _calendars.emplace();
        _calendars->insert(key, *calendar);
    }
    SyncEnvironmentSet* envs = _device ? _device->syncEnvironments() : nullptr;
    if (!envs)
        return;
    const QString db = _device->dbName(_property);
    const QString title = calendar ? calendar->value(kGroupChangeTitle).toString() : QString();
    for (auto* env : {&envs->main, &envs->work, &envs->user})
        if (*env)
            replaceCalendarIDs(**env, title, key, db);
}

void QVSyncElemList::setNewCalendarName(const QString& name, const QString& key)
{
    SyncEnvironmentSet* envs = _device ? _device->syncEnvironments() : nullptr;
    if (!envs)
        return;
    const QString db = _device->dbName(_property);
    for (auto* env : {&envs->main, &envs->work, &envs->user})
        if (*env)
            setNewCalendarNameInSyncEnv(**env, name, key, db);
}

void QVSyncElemList::replaceCalendarIDs(QVariantMap& environment, const QString& calendarName, const QString& key,
                                        const QString& dbName)
{
    if (!environment.contains(dbName))
        return;
    QVariantMap settings = environment.value(dbName).toMap();
    if (!calendarName.isEmpty()) {
        if (settings.value(kGroupChangeTargetGroupName).toString() == calendarName)
            settings.insert(kGroupChangeTargetGroup, key);
        const QVariantMap groups = settings.value(kGroupChangeGroups).toMap();
        QVariantMap rekeyed;
        for (auto it = groups.cbegin(); it != groups.cend(); ++it)
            rekeyed.insert(it.value().toMap().value(kGroupChangeName).toString() == calendarName ? key : it.key(),
                           it.value());
        if (settings.contains(kGroupChangeGroups))
            settings.insert(kGroupChangeGroups, rekeyed);
    } else if (settings.value(kGroupChangeTargetGroup).toString() == key) {
        // The target calendar is gone.
        settings.insert(kGroupChangeTargetGroup, kGroupChangeRemovedCalendar);
    }
    environment.insert(dbName, settings);
}

void QVSyncElemList::setNewCalendarNameInSyncEnv(QVariantMap& environment, const QString& calendarName,
                                                 const QString& key, const QString& dbName)
{
    if (!environment.contains(dbName))
        return;
    QVariantMap settings = environment.value(dbName).toMap();
    if (settings.value(kGroupChangeTargetGroup).toString() != key)
        return;
    settings.insert(kGroupChangeTargetGroupName, calendarName);
    environment.insert(dbName, settings);
}
