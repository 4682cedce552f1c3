// Merging an event or task read from the phone into the stored item of the
// same identity; the phone object's sync directions decide which one stays.
#include "syncmodel/QVVCalendarElem.h"

#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "syncmodel/SyncElemLookup.h"

namespace {

const QString kDescriptionField = QStringLiteral("description");

} // namespace

void QVVCalendarElem::joinCalendarOf(const std::shared_ptr<QVSyncElem>& newElem, SyncElemLookup* elemList, bool beep)
{
    const QVariantList calendars = mainValue(kCalendarField).toList();
    if (calendars.isEmpty()) {
        elemList->makeElemMemberOfDefaultGroup(newElem);
        return;
    }
    const QString first = calendars.first().toString();
    if (first.isEmpty()) {
        // Where the desktop program sounded the system beep, a log line.
        QVLOG(qvlog::kXT, beep ? QStringLiteral("QVVCalendarElem merge: beep (the first calendar id is empty)")
                               : QStringLiteral("old calendars exist, but empty"));
    }
    elemList->addGroupMembershipToElem(newElem, first);
}

void QVVCalendarElem::mergeElement(QVSyncEngineElem& other, SyncElemLookup* elemList)
{
    auto* incoming = dynamic_cast<QVVCalendarElem*>(&other);
    if (!incoming || !_vxDict || !elemList)
        return;
    const std::shared_ptr<QVSyncElem> self = weak_from_this().lock();
    const std::shared_ptr<QVSyncElem> newElem = other.weak_from_this().lock();

    if (!elemList->wantsSyncChangesFromEngine(_property)) {
        // The phone takes nothing from the desktop: its version replaces this one.
        if (self)
            elemList->tellSyncEngineAboutDeletion(self, false);
        if (newElem) {
            elemList->addElem(newElem);
            joinCalendarOf(newElem, elemList, false);
            elemList->tellSyncEngineAboutNewElem(newElem, false);
        }
        if (self)
            elemList->removeElem(self);
        return;
    }
    if (!elemList->wantsSyncChangesFromDevice(_property)) {
        // The desktop takes nothing from the phone: this version goes back to it.
        setSourceURI(incoming->sourceURI());
        setChanged();
        if (newElem)
            elemList->removeElem(newElem);
        return;
    }
    if (!elemList->isMobileMaster(_property)) {
        mergeNotes(*incoming, elemList);
        mergeDeviceSpecifics(*incoming, elemList);
        if (isOnPhone()) {
            // A second copy on the phone: it is deleted there.
            incoming->setDeleted();
            if (newElem)
                elemList->addElem(newElem);
            return;
        }
        const QString phoneId = incoming->sourceURI();
        if (phoneId.isEmpty())
            return;
        setSourceURI(phoneId);
        const std::shared_ptr<SyncDeviceLimits> description = _syncDescription;
        invalidateVCalendarString();
        const QString mine = vxDataForDevice(description).toString();
        const QString theirs = incoming->vxDataForDevice(description).toString();
        if (equalVXDataItems(mine, theirs))
            clearChanged();
        else
            setChanged();
        return;
    }
    // The phone is the master: its version stays, with this one's notes.
    incoming->mergeNotes(*this, elemList);
    if (self)
        elemList->tellSyncEngineAboutDeletion(self, false);
    if (newElem) {
        joinCalendarOf(newElem, elemList, true);
        elemList->tellSyncEngineAboutNewElem(newElem, false);
    }
    if (self)
        elemList->removeElem(self);
    if (newElem)
        elemList->addElem(newElem);
}

void QVVCalendarElem::mergeNotes(QVVCalendarElem& other, SyncElemLookup* elemList)
{
    if (!_vxDict)
        return;
    const QString theirs = other.notesString();
    if (theirs.isEmpty())
        return;
    const QString mine = notesString();
    if (!mine.isEmpty() && mine.contains(theirs))
        return;
    const QString merged = mine.isEmpty() || theirs.contains(mine) ? theirs : mine + u'\r' + theirs;
    if (merged != mine) {
        _vxDict->setMainObject(merged, kDescriptionField);
        dropCaches();
        if (elemList)
            elemList->addChangeForSyncEngine(platform::SyncChange(
                platform::SyncChange::Modify, elemUUID(), {platform::SyncChange::setChange(kDescriptionField, merged)}));
    }
    QVLOG(qvlog::kVCard, QStringLiteral("##### Existing after merge: %1").arg(_vxDict->description()));
}

void QVVCalendarElem::mergeDeviceSpecifics(QVVCalendarElem& other, SyncElemLookup*)
{
    if (!_vxDict || !other._vxDict)
        return;
    const QVariantMap incoming = other._vxDict->objectForKey(VXDictionary::kDeviceItems).toMap();
    if (incoming.isEmpty())
        return;
    QVariantMap& mine = _vxDict->deviceDict();
    for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
        if (!mine.contains(it.key()))
            mine.insert(it.key(), it.value());
    }
}
