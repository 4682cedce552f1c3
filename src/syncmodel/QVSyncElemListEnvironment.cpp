// The phone's sync environment as the item list applies it: which groups or
// calendars go to the phone and where new phone items go, repaired when ids
// changed; items that left the chosen groups taken off the phone; the group
// records' memberships made good on the item side; bookmark top folders.
#include "syncmodel/QVSyncElemList.h"

#include "foundation/NamedLog.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "syncmodel/QVVCalendarElem.h"

#include <cmath>

namespace {

const QString kEnvSyncMode = QStringLiteral("SyncMode");
const QString kEnvGroups = QStringLiteral("Groups");
const QString kEnvUseAllGroups = QStringLiteral("UseAllGroups");
const QString kEnvTargetGroup = QStringLiteral("TargetGroup");
const QString kEnvTargetGroupName = QStringLiteral("TargetGroupName");
const QString kEnvName = QStringLiteral("name");
const QString kEnvTitle = QStringLiteral("title");
const QString kEnvEnabled = QStringLiteral("enabled");
const QString kEnvMembers = QStringLiteral("members");
const QString kEnvEvents = QStringLiteral("events");
const QString kEnvTasks = QStringLiteral("tasks");
const QString kEnvParent = QStringLiteral("parent");
const QString kEnvBookmarksMenu = QStringLiteral("BookmarksMenu");
constexpr double kEnvSlice = 0.1;

QString envNameOf(const QVariantMap& record)
{
    const QVariant name = record.value(kEnvName);
    return name.isValid() ? name.toString() : record.value(kEnvTitle).toString();
}

} // namespace

std::optional<QStringList> QVSyncElemList::makeArrayOfEnabledGroups(const QVariantMap& environment)
{
    if (environment.value(kEnvUseAllGroups).toBool())
        return std::nullopt;
    QStringList enabled;
    const QVariantMap groups = environment.value(kEnvGroups).toMap();
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        if (it.value().toMap().value(kEnvEnabled).toBool())
            enabled.append(it.key());
    return enabled;
}

QString QVSyncElemList::getGroupOrCalendarIDFor(const QString& name) const
{
    const std::optional<QVariantMap>* records = nullptr;
    if (_property == 0 || _property == 3)
        records = &_groups;
    else if (_property == 1)
        records = &_calendars;
    if (!records || !*records || name.isEmpty())
        return {};
    for (auto it = (*records)->cbegin(); it != (*records)->cend(); ++it)
        if (!it.key().startsWith(QVSyncElem::kTemporaryIdPrefix) && envNameOf(it.value().toMap()) == name)
            return it.key();
    return {};
}

bool QVSyncElemList::verifyAndRepairEnabledGroups(QVariantMap& environment, const QVariantMap& userEnvironment)
{
    QSet<QString> enabledUserNames;
    const QVariantMap userGroups = userEnvironment.value(kEnvGroups).toMap();
    for (const QVariant& entry : userGroups)
        if (entry.toMap().value(kEnvEnabled).toBool())
            enabledUserNames.insert(entry.toMap().value(kEnvName).toString());
    bool changed = false;
    const QVariantMap before = environment.value(kEnvGroups).toMap();
    QVariantMap groups = before;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QString id = it.key();
        QVariantMap entry = it.value().toMap();
        const QString name = entry.value(kEnvName).toString();
        if (id.startsWith(QVSyncElem::kTemporaryIdPrefix)) {
            const QString real = getGroupOrCalendarIDFor(name);
            if (!real.isEmpty()) {
                QVLOG(qvlog::kSE, QStringLiteral("set ID %1 for group:%2").arg(real, name));
                groups.remove(id);
                groups.insert(real, entry);
                id = real;
                changed = true;
            }
        }
        if (enabledUserNames.contains(name) && !entry.value(kEnvEnabled).toBool()) {
            entry.insert(kEnvEnabled, true);
            groups.insert(id, entry);
            changed = true;
        }
    }
    if (changed)
        environment.insert(kEnvGroups, groups);
    return changed;
}

bool QVSyncElemList::verifyAndRepairTargetGroup(QVariantMap& environment, const QVariantMap& userEnvironment)
{
    if (!wantsSyncChangesFromDevice(_property))
        return false;
    QString name = environment.value(kEnvTargetGroupName).toString();
    if (name.isEmpty()) {
        name = userEnvironment.value(kEnvTargetGroupName).toString();
        if (!name.isEmpty())
            environment.insert(kEnvTargetGroupName, name);
    }
    const QString real = getGroupOrCalendarIDFor(name);
    if (!real.isEmpty()) {
        const QString old = environment.value(kEnvTargetGroup).toString();
        if (real != old) {
            QVLOG(qvlog::kSE, QStringLiteral("set ID %1 for group:%2 (old ID was %3)").arg(real, name, old));
            environment.insert(kEnvTargetGroup, real);
        }
        return true;
    }
    const bool useAll = environment.value(kEnvUseAllGroups).toBool();
    QVariantMap groups = environment.value(kEnvGroups).toMap();
    if (_property == 1) {
        if (groups.isEmpty()) {
            environment.remove(kEnvTargetGroup);
            environment.remove(kEnvTargetGroupName);
            environment.insert(kEnvSyncMode, 0);
            return true;
        }
        const QString id = groups.firstKey();
        QVariantMap entry = groups.first().toMap();
        environment.insert(kEnvTargetGroup, id);
        environment.insert(kEnvTargetGroupName, entry.value(kEnvName));
        if (!useAll) {
            entry.insert(kEnvEnabled, true);
            groups.insert(id, entry);
            environment.insert(kEnvGroups, groups);
        }
        return true;
    }
    if (_property == 3) {
        QString id = getGroupOrCalendarIDFor(kEnvBookmarksMenu);
        if (id.isEmpty() && _groups && _groups->contains(kEnvBookmarksMenu))
            id = kEnvBookmarksMenu;
        if (id.isEmpty())
            return false;
        environment.insert(kEnvTargetGroup, id);
        environment.insert(kEnvTargetGroupName, kEnvBookmarksMenu);
        if (!useAll) {
            QVariantMap entry = groups.value(id).toMap();
            entry.insert(kEnvName, kEnvBookmarksMenu);
            entry.insert(kEnvEnabled, true);
            groups.insert(id, entry);
            environment.insert(kEnvGroups, groups);
        }
        return true;
    }
    return false;
}

bool QVSyncElemList::evaluateSyncEnvironment(bool checkItems, double waitSeconds)
{
    if (_property < 0 || _property > 3 || !_device)
        return false;
    SyncEnvironmentSet* envs = _device->syncEnvironments();
    if (!envs)
        return false;
    if (!envs->main) {
        const int passes = int(std::ceil(waitSeconds / kEnvSlice - 1e-9));
        if (passes <= 0
            || !platform::runloop::waitUntil([envs] { return envs->main.has_value(); }, kEnvSlice, passes)) {
            QVLOG(qvlog::kSE,
                  QStringLiteral("QVSyncElemList evaluateSyncEnvironment: the phone has no sync "
                                 "environment after %1 s")
                      .arg(waitSeconds));
            return false;
        }
    }
    const QString db = _device->dbName(_property);
    QVariantMap main = envs->main->value(db).toMap();
    if (!envs->main->contains(db) || !main.contains(kEnvSyncMode) || main.value(kEnvSyncMode).toLongLong() == 0)
        return false;
    const qint64 modeBefore = main.value(kEnvSyncMode).toLongLong();
    const QVariantMap user = envs->user ? envs->user->value(db).toMap() : QVariantMap();

    bool mainChanged = verifyAndRepairEnabledGroups(main, user);
    mainChanged = verifyAndRepairTargetGroup(main, user) || mainChanged;
    envs->main->insert(db, main);
    const qint64 modeAfter = main.value(kEnvSyncMode).toLongLong();
    bool workChanged = false;
    if (envs->work && envs->work->contains(db)) {
        QVariantMap work = envs->work->value(db).toMap();
        workChanged = verifyAndRepairTargetGroup(work, user);
        workChanged = verifyAndRepairEnabledGroups(work, user) || workChanged;
        envs->work->insert(db, work);
    }
    if (mainChanged && workChanged)
        platform::NotificationCenter::defaultCenter().post(
            QStringLiteral("SyncEngineEnvironmentActive"), _device->notificationSender(),
            {{QStringLiteral("Active"), false}, {QStringLiteral("SetupChanged"), true}});
    const bool result = envs->work.has_value() && mainChanged && modeAfter != modeBefore;

    if (_property == 0 || _property == 1) {
        _targetGroup = main.value(kEnvTargetGroup).toString();
        _enabledGroups = makeArrayOfEnabledGroups(main);
    } else if (_property == 3) {
        _targetGroup = main.value(kEnvTargetGroup).toString();
    }
    if (checkItems && _property != 2)
        checkStatusOfAllElems();
    _usesSyncEngine = modeAfter != 0;
    if (checkItems)
        recalcUsableItems();
    return result;
}

void QVSyncElemList::checkStatusOfAllElems()
{
    if (!(_property == 0 || _property == 1 || _property == 3) || !usesEngineForChanges())
        return;
    const std::vector<Elem> all = _allElems;
    for (const auto& elem : all) {
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        if (!engine || !engine->vxDict() || !elem->isOnDevice() || elem->isDeleted())
            continue;
        bool member = true;
        if (_property == 0 && _enabledGroups)
            member = engine->isMemberOfRequestedGroups(*_enabledGroups);
        else if (_property == 1 && _enabledGroups)
            member = engine->isMemberOfRequestedCalendars(*_enabledGroups);
        else if (_property == 3 && !_targetGroup.isEmpty())
            member = engine->isChildOfRequestedFather(QStringList{_targetGroup}, this);
        if (!member) {
            // The copy carries the phone's id away and is deleted there; the
            // item stays here, no longer on the phone.
            const QString uri = elem->sourceURI();
            if (const Elem copy = elem->similarCopy()) {
                copy->setProperty(_property);
                if (auto* copyEngine = dynamic_cast<QVSyncEngineElem*>(copy.get())) {
                    copyEngine->clearGroupsOrCalendar();
                    if (!_targetGroup.isEmpty())
                        addGroupMembershipToElem(copy, _targetGroup);
                }
                copy->resetItem();
                copy->setSourceURI(uri);
                copy->setDeleted();
                addObject(copy);
            }
            elem->removeDeviceRelations();
            putToTrash(elem, false);
            elem->setSourceURI(_device ? _device->newFreeTID() : freeMotorolaURI());
            continue;
        }
        if (_property == 1 && isElemOutDated(elem)) {
            addElemForDeletion(elem);
            elem->setSourceURI(_device ? _device->newFreeTID() : freeMotorolaURI());
        }
    }
}

void QVSyncElemList::resyncGroups()
{
    if (!isSyncEngineList())
        return;
    if (hasGroupObjects() && _groups) {
        for (auto it = _groups->cbegin(); it != _groups->cend(); ++it) {
            for (const QVariant& member : it.value().toMap().value(kEnvMembers).toList()) {
                const Elem elem = elemForUUID(member.toString());
                auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
                if (engine && engine->vxDict()
                    && !engine->vxDict()->objectForKey(VXDictionary::kGroups).toList().contains(it.key()))
                    addGroupMembershipToElem(elem, it.key());
            }
        }
    }
    if (hasCalendarObjects()) {
        if (!_calendars || _calendars->isEmpty()) {
            QVLOG(qvlog::kSE, QStringLiteral("#### Big shit happended! No calendar for my events!"));
            return;
        }
        for (auto it = _calendars->cbegin(); it != _calendars->cend(); ++it) {
            const QVariantMap calendar = it.value().toMap();
            for (const QString& listKey : {kEnvEvents, kEnvTasks}) {
                for (const QVariant& member : calendar.value(listKey).toList()) {
                    const Elem elem = elemForUUID(member.toString());
                    auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
                    if (engine && engine->vxDict()
                        && engine->vxDict()->mainObjectForKey(QVSyncEngineElem::kCalendarField).toList()
                            != QVariantList{it.key()})
                        addGroupMembershipToElem(elem, it.key());
                }
            }
        }
    }
}

void QVSyncElemList::createBookmarkGroups()
{
    QVariantMap folders;
    for (const auto& elem : _allElems) {
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        if (!engine || !engine->vxDict() || !elem->isFolder())
            continue;
        const QString title = engine->vxDict()->mainObjectForKey(kEnvTitle).toString();
        if (engine->vxDict()->mainObjectForKey(kEnvParent).toList().isEmpty() && !title.isEmpty())
            folders.insert(engine->elemUUID(), QVariantMap{{kEnvName, title}});
    }
    _groups = folders;
}
