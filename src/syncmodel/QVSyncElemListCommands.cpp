// What a session sends back to the phone: deletions and replacements before
// additions, items the phone may no longer keep taken off it, and the list's
// own temporary ids and id mappings.
#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVVCalendarElem.h"

namespace {

// Whether the item is of the kind a list type asks for (5 events, 6 tasks);
// items that are no event or task go with every type.
bool commandsKindFits(const QVSyncElemList::Elem& elem, int type)
{
    if (type != 5 && type != 6)
        return true;
    const auto* event = dynamic_cast<const QVVCalendarElem*>(elem.get());
    return !event || event->isToDo() == (type == 6);
}

} // namespace

bool QVSyncElemList::isElemOutDated(const Elem& elem)
{
    if (!elem || !_device)
        return false;
    if (auto* event = dynamic_cast<QVVCalendarElem*>(elem.get())) {
        if (event->isToDo()) {
            const auto description = _device->syncDescription();
            return description && !description->hasTasks();
        }
        if (hasCalendarObjects() && usesEngineForChanges()) {
            const QDateTime first = event->firstOccurrence();
            if (first.isValid())
                return !_device->isPeriodInWantedCalendarPeriod(first, event->lastOccurrence());
        }
        return false;
    }
    if (_property == 0)
        return !_device->doesDeviceWantContact(elem);
    return false;
}

void QVSyncElemList::addSyncCommands(QVCommandArray& commands, bool isFast, int type)
{
    (void)isFast;
    if (usesEngineForChanges() && !wantsSyncChangesFromEngine(_property))
        return;
    // Queued deletions; one whose item is known to be of the other kind
    // waits for the call of its own list type.
    QStringList kept;
    for (const QString& uri : std::as_const(_invisibleDeletion)) {
        const auto kind = _invisibleDeletionIsTask.constFind(uri);
        if ((type == 5 || type == 6) && kind != _invisibleDeletionIsTask.cend() && *kind != (type == 6)) {
            kept.append(uri);
            continue;
        }
        commands.addObject(QVSyncElem::elemForDeletion(uri), QVCommandArray::kDelete);
        _invisibleDeletionIsTask.remove(uri);
    }
    _invisibleDeletion = kept;

    const std::vector<Elem> visible = elems();
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& elem : visible) {
            if (!commandsKindFits(elem, type))
                continue;
            const bool onPhone = elem->isOnDevice();
            if (elem->isDeleted()) {
                if (onPhone && pass == 0)
                    commands.addObject(elem, QVCommandArray::kDelete);
                continue;
            }
            if (onPhone && isElemOutDated(elem)) {
                if (pass == 0) {
                    commands.addObject(QVSyncElem::elemForDeletion(elem->sourceURI()), QVCommandArray::kDelete);
                    elem->setStateToNew(_device ? _device->newFreeTID() : freeMotorolaURI());
                }
                continue;
            }
            if (!onPhone) {
                // An item the phone may not keep is not sent until it may.
                if (elem->isSyncingElement() && pass == 1 && !isElemOutDated(elem))
                    commands.addObject(elem, QVCommandArray::kAdd);
                continue;
            }
            if (pass == 0 && elem->isChanged() && elem->isSyncingElement()) {
                if (_property == 3) {
                    // A bookmark is replaced by deleting it and adding it anew.
                    commands.addObject(QVSyncElem::elemForDeletion(elem->sourceURI()), QVCommandArray::kDelete);
                    elem->setStateToNew(_device ? _device->newFreeTID() : freeMotorolaURI());
                } else {
                    commands.addObject(elem, QVCommandArray::kReplace);
                }
            }
        }
    }
}

QString QVSyncElemList::freeMotorolaURI()
{
    return QStringLiteral("T-%1").arg(_motoURI++);
}

void QVSyncElemList::useLastState()
{
    for (const auto& elem : _allElems)
        elem->setStateToNew(_device ? _device->newFreeTID() : freeMotorolaURI());
    recalcUsableItems();
}

void QVSyncElemList::addMapping(const QString& deviceId, const QString& oldUUID)
{
    if (!oldUUID.isEmpty())
        _uriMappings.insert(oldUUID, deviceId);
}
