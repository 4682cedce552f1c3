// A phone session's side of the item list: the backups taken before it, the
// merge of what the phone delivered (fast: one change at a time, slow: the
// phone's whole list), the phone's status answers and the session's end.
#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncEngineElem.h"
#include "syncmodel/SyncModelLog.h"

#include <cmath>

namespace {

const QString kSessionItems = QStringLiteral("Items");
const QString kSessionSourceURI = QStringLiteral("SourceURI");
const QString kSessionParent = QStringLiteral("SourceParent");
const QString kSessionVXData = QStringLiteral("vx-Data");
const QString kSessionAction = QStringLiteral("Action");
const QString kSessionProtocol = QStringLiteral("SyncML-Protocol");
const QString kSessionDevice = QStringLiteral("SyncML-Device");
const QString kSessionDB = QStringLiteral("SyncML-DB");
constexpr double kSessionSlice = 0.1;

bool sessionHasText(const QVariant& data)
{
    if (data.typeId() == QMetaType::QString)
        return !data.toString().isEmpty();
    if (data.typeId() == QMetaType::QByteArray)
        return !data.toByteArray().isEmpty();
    return false;
}

int sessionPasses(double seconds)
{
    return std::max(1, int(std::ceil(seconds / kSessionSlice - 1e-9)));
}

// A status value as a phone's answer holds it: a number or its text.
std::optional<int> sessionStatusOf(const QVariant& value)
{
    bool ok = false;
    const int status = value.toString().trimmed().toInt(&ok);
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double
        || value.typeId() == QMetaType::QString)
        if (ok)
            return status;
    return std::nullopt;
}

} // namespace

std::vector<QVSyncElemList::Elem> QVSyncElemList::deepCopyOfAllElems() const
{
    std::vector<Elem> copies;
    copies.reserve(_allElems.size());
    for (const auto& elem : _allElems) {
        Elem copy = elem->copy();
        if (!copy)
            continue;
        copy->setProperty(elem->property());
        if (elem->isChanged())
            copy->setChanged();
        else
            copy->clearChanged();
        if (elem->isDeleted())
            copy->setDeleted();
        copies.push_back(std::move(copy));
    }
    return copies;
}

void QVSyncElemList::replaceAllElems(std::vector<Elem> elems)
{
    _allElems = std::move(elems);
    _elems.clear();
    _shared = true;
    _visibleSet.clear();
    rebuildIdentityIndex();
    recalcUsableItems();
}

void QVSyncElemList::postListActive(bool active)
{
    platform::NotificationCenter::defaultCenter().post(
        QStringLiteral("DZ-SyncElemListActive"), this,
        {{QStringLiteral("Active"), active ? QStringLiteral("1") : QStringLiteral("0")},
         {QStringLiteral("Property"), _property}});
}

bool QVSyncElemList::refusesPhoneChanges()
{
    return usesEngineForChanges() && !wantsSyncChangesFromDevice(_property);
}

void QVSyncElemList::prepareSynchronization()
{
    clearMappings();
    const auto description = _device ? _device->syncDescription() : nullptr;
    const bool keepsMerged = (_device && _device->usesSamsungATConnections())
        || (description && description->isGigaset());
    if (!keepsMerged)
        _backupElems = deepCopyOfAllElems();
}

void QVSyncElemList::backUpBeforeReload()
{
    _reloadBackupElems = deepCopyOfAllElems();
}

void QVSyncElemList::syncFinishedWithError(bool error)
{
    if (error && _reloadBackupElems) {
        // What the failed reload read goes; the list is as it was before.
        replaceAllElems(std::move(*_reloadBackupElems));
    }
    _reloadBackupElems.reset();
}

bool QVSyncElemList::processSyncInfo(const QVariantMap& syncInfo, bool isFast)
{
    if (_device && _device->isSyncEngineActive()) {
        const bool idle = platform::runloop::waitUntil([this] { return !_device->isSyncEngineActive(); }, kSessionSlice,
                                                       sessionPasses(kSessionWaitSeconds));
        if (!idle) {
            QVLOG(qvlog::kSE,
                  QStringLiteral("QVSyncElemList processSyncInfo: the desktop sync work is still active "
                                 "after %1 s, nothing merged")
                      .arg(kSessionWaitSeconds));
            return false;
        }
    }
    // The items are made for the phone the list knew before this session.
    const QString protocol = listProtocol();
    const QString device = _listinfo.value(kSessionDevice).toString();
    for (const QString& key : {kSessionProtocol, kSessionDevice, kSessionDB}) {
        const QVariant value = syncInfo.value(key);
        if (!_listinfo.contains(key) && value.typeId() == QMetaType::QString)
            _listinfo.insert(key, value);
    }
    postListActive(true);

    const QVariant items = syncInfo.value(kSessionItems);
    if (items.isValid() && items.typeId() != QMetaType::QVariantList)
        QVLOG(qvlog::kSE, QStringLiteral("QVSyncElemList processSyncInfo: \"Items\" is no list, skipped"));
    const QVariantList entries = items.typeId() == QMetaType::QVariantList ? items.toList() : QVariantList();
    const bool changed = isFast ? mergeFast(entries, protocol, device) : mergeSlow(entries, protocol, device);
    // Either way the visible items are recalculated once, which posts the
    // changed notification.
    if (!_changesFromDevice.empty())
        processSyncMLChanges();
    else if (changed)
        recalcUsableItems();
    return true;
}

namespace {

// One entry of a sync info: a dictionary with a "SourceURI" text; anything
// else from the phone is logged and skipped.
std::optional<QVariantMap> sessionEntryWithURI(const QVariant& item)
{
    if (item.typeId() != QMetaType::QVariantMap) {
        QVLOG(qvlog::kSE, QStringLiteral("QVSyncElemList: a sync info entry of the wrong kind (%1) skipped")
                              .arg(QString::fromLatin1(item.typeName())));
        return std::nullopt;
    }
    QVariantMap entry = item.toMap();
    const QVariant uriValue = entry.value(kSessionSourceURI);
    if (uriValue.typeId() != QMetaType::QString || uriValue.toString().isEmpty()) {
        QVLOG(qvlog::kSE, QStringLiteral("QVSyncElemList: a sync info entry without \"SourceURI\" skipped"));
        return std::nullopt;
    }
    return entry;
}

} // namespace

bool QVSyncElemList::mergeFast(const QVariantList& items, const QString& protocol, const QString& device)
{
    bool changed = false;
    QSet<QString> noted;
    for (const QVariant& item : items) {
        const std::optional<QVariantMap> checked = sessionEntryWithURI(item);
        if (!checked)
            continue;
        const QVariantMap& entry = *checked;
        const QString uri = entry.value(kSessionSourceURI).toString();
        const QString action = entry.value(kSessionAction).toString();
        const QVariant text = entry.value(kSessionVXData);
        Elem elem;
        if (action != QLatin1String("Delete") && sessionHasText(text)) {
            elem = createNewElem(text, uri, protocol, device, entry.value(kSessionParent).toString());
            if (elem)
                elem->setProperty(_property);
        }
        if (action == QLatin1String("Add")) {
            noted.insert(uri);
            if (!elem)
                continue;
            if (refusesPhoneChanges()) {
                // The desktop does not take the phone's items: the phone
                // deletes it again, the trash keeps it.
                if (!_invisibleDeletion.contains(uri))
                    _invisibleDeletion.append(uri);
                _itemsForTrash.push_back(elem);
                continue;
            }
            replaceItem(elem);
            changed = true;
        } else if (action == QLatin1String("Replace")) {
            noted.insert(uri);
            if (!objectForURI(uri))
                changed = true;
            if (elem)
                replaceItem(elem);
        } else if (action == QLatin1String("Delete")) {
            if (refusesPhoneChanges()) {
                if (const Elem existing = objectForURI(uri); existing && _device)
                    existing->setStateToNew(_device->newFreeTID());
            } else if (const Elem existing = objectForURI(uri)) {
                putToTrash(existing, false);
                if (!deleteItemBySyncML(uri))
                    removeObject(existing);
                changed = true;
            }
        }
    }
    return changed;
}

bool QVSyncElemList::mergeSlow(const QVariantList& items, const QString& protocol, const QString& device)
{
    std::vector<Elem> delivered;
    QSet<QString> noted;
    for (const QVariant& item : items) {
        const std::optional<QVariantMap> checked = sessionEntryWithURI(item);
        if (!checked)
            continue;
        const QVariantMap& entry = *checked;
        const QVariant uriValue = entry.value(kSessionSourceURI);
        // The phone still holds this entry even where its text cannot be read:
        // the item it stands for is not gone, and must not be trashed.
        noted.insert(uriValue.toString());
        const QVariant text = entry.value(kSessionVXData);
        if (!sessionHasText(text))
            continue;
        Elem elem = createNewElem(text, uriValue.toString(), protocol, device, entry.value(kSessionParent).toString());
        if (!elem)
            continue;
        elem->setProperty(_property);
        delivered.push_back(std::move(elem));
    }
    const bool engine = usesEngineForChanges();
    const bool refuse = refusesPhoneChanges();
    const std::vector<Elem> existing = _allElems;
    for (const auto& elem : existing) {
        const auto* engineElem = dynamic_cast<const QVSyncEngineElem*>(elem.get());
        const bool hasForm = engine ? (engineElem && engineElem->vxDict()) : elem->vxData().isValid();
        if (!hasForm || !elem->isOnDevice() || !elem->isSyncingElement() || noted.contains(elem->sourceURI()))
            continue;
        if (refuse) {
            elem->setStateToNew(freeMotorolaURI());
        } else {
            putToTrash(elem, false);
            if (!deleteItemBySyncML(elem->sourceURI()))
                removeObject(elem);
        }
    }
    for (const auto& elem : delivered)
        replaceItem(elem);
    return true;
}

QString QVSyncElemList::processStatusMessages(const QVariantList& statuses)
{
    int transferred = 0;
    QSet<QString> refused;
    bool anyError = false;
    for (const QVariant& value : statuses) {
        const QVariantMap answer = value.toMap();
        const std::optional<int> status = sessionStatusOf(answer.value(QStringLiteral("Status")));
        if (!status) {
            QVLOG(qvlog::kSE, QStringLiteral("QVSyncElemList: a status answer without a status skipped"));
            continue;
        }
        if (*status < 400) {
            ++transferred;
            continue;
        }
        const QString ref = answer.value(QStringLiteral("SourceRef")).toString();
        const Elem elem = ref.isEmpty() ? nullptr : objectForURI(ref);
        const QString what = elem ? elem->description() : ref;
        if (*status == 420) {
            QVLOG(qvlog::kSE, QStringLiteral("Device out of memory, not transfered item: %1\n").arg(what));
            refused.insert(ref);
        } else {
            QVLOG(qvlog::kSE, QStringLiteral("Error: %1, not transfered item: %2\n").arg(*status).arg(what));
            anyError = true;
            refused.insert(ref);
        }
    }
    if (refused.isEmpty())
        return {};
    const QString database = platform::localizedString(_database.isEmpty() && _device ? _device->dbName(_property)
                                                                                      : _database);
    const QString message = platform::localizedString(anyError ? QStringLiteral("itemTransferError")
                                                               : QStringLiteral("itemTransferFull"))
                                .arg(database)
                                .arg(transferred)
                                .arg(refused.size());
    const QString dashes(40, u'-');
    QVLOG(qvlog::kSE, dashes + u'\n' + message + u'\n' + dashes);
    return message;
}

void QVSyncElemList::finalizeSynchronization(int error)
{
    const bool engine = isSyncEngineList();
    if (error == 0) {
        if (engine) {
            processSyncMLChanges();
            moveTrashItems();
            confirmChangesFromSyncMLForSyncEngine();
            cleanUpDeletedItems();
        }
        for (const auto& elem : _allElems)
            elem->clearChanged();
        if (engine)
            recalcUsableItems();
    } else {
        discardChangesFromSyncMLForSyncEngine();
        _changesFromDevice.clear();
        _changesFromDevice.shrink_to_fit();
        const auto description = _device ? _device->syncDescription() : nullptr;
        const bool keepsMerged = (_device && _device->usesSamsungATConnections())
            || (description && description->isGigaset());
        // Without a backup (no prepared session) the items stay as they are.
        if (!keepsMerged && _backupElems)
            replaceAllElems(std::move(*_backupElems));
    }
    postListActive(false);
    _backupElems.reset();
    _reloadBackupElems.reset();
    if (_device)
        _device->syncFinished(_property, error);
}

void QVSyncElemList::moveTrashItems()
{
    const std::vector<Elem> items = std::exchange(_itemsForTrash, {});
    for (const auto& elem : items)
        putToTrash(elem, true);
}

void QVSyncElemList::createSyncMLDeleteEntryForElem(const Elem& elem)
{
    if (!elem)
        return;
    const Elem deletion = elem->copy();
    if (deletion) {
        deletion->setProperty(_property);
        deletion->setSourceURI(elem->sourceURI());
        if (auto* engine = dynamic_cast<QVSyncEngineElem*>(deletion.get()))
            engine->clearGroupsOrCalendar();
        deletion->setDeleted();
        putToTrash(deletion, false);
        addObject(deletion);
    }
    elem->setSourceURI(_device ? _device->newFreeTID() : freeMotorolaURI());
}
