// Phones read and written over AT commands (Motorola and LG): their phone
// dictionaries merged into the list through the converters, the dictionary
// of entries to write, and the ids the phone answers with.
#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/MotorolaContactGenerator.h"
#include "formats/MotorolaContactReader.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCardReader.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVVCalendarElem.h"

namespace {

const QString kMotoTaskKey = QStringLiteral("task");

// Answers of the kit that are words, not slot ids.
bool motoIsAnswerWord(const QString& key)
{
    return key.compare(QLatin1String("updated"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("deleted"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("changed"), Qt::CaseInsensitive) == 0;
}

// Whether a phone entry read is the one kept from the last sync. An entry
// kept as the job wrote it lacks what only the phone adds: its slot and
// phone-side texts (an event class the phone fills in); those alone are no
// phone-side change.
bool motoSameEntry(const QVariant& kept, const QVariant& read)
{
    if (kept == read)
        return true;
    if (kept.typeId() != QMetaType::QVariantMap || read.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap keptMap = kept.toMap();
    const QVariantMap readMap = read.toMap();
    const QString slotKey = QStringLiteral("slot");
    for (auto it = readMap.cbegin(); it != readMap.cend(); ++it) {
        if (it.key() == slotKey)
            continue;
        if (keptMap.contains(it.key())) {
            if (keptMap.value(it.key()) != it.value())
                return false;
        } else if (it.value().typeId() != QMetaType::QString) {
            return false;
        }
    }
    for (auto it = keptMap.cbegin(); it != keptMap.cend(); ++it)
        if (it.key() != slotKey && !readMap.contains(it.key()))
            return false;
    return true;
}

QString motoDescribe(const QVariant& value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

} // namespace

std::optional<QVariantMap> QVSyncElemList::processMotorolaData(const QVariantMap& data, bool deleteDeviceData,
                                                               QVariantMap& deviceRawData)
{
    _isMoto = true;
    postListActive(true);
    if (_property == 0)
        return processMotorolaContacts(data, deleteDeviceData, deviceRawData);
    if (_property == 1)
        return processMotorolaCalendar(data, deleteDeviceData, deviceRawData);
    return std::nullopt;
}

QVSyncElemList::Elem QVSyncElemList::motoElemFromEntry(const QString& id, const QVariant& entry, bool calendar)
{
    std::optional<VXDictionary> vxDict;
    if (!calendar) {
        const std::optional<VCardDictionary> card = vCardDictionaryForMotorolaContact(entry);
        if (!card)
            return nullptr;
        vxDict = vCardDictionary2VXDictionary(*card, id);
    } else {
        const bool displayAlarm = wasDisplayAlarmSent(id);
        const std::optional<VCardDictionary> event = vCalendarDictionaryForMotorolaEventOrTask(entry, !displayAlarm);
        if (!event)
            return nullptr;
        QVLOG(qvlog::kSE, QStringLiteral("__MotoEventItem <%1>: %2").arg(id, motoDescribe(event->map())));
        vxDict = vCalendarDictionary2VXDictionary(event->map(), id);
        const bool task = entry.toMap().contains(kMotoTaskKey);
        vxDict->mainDict().insert(platform::ISyncRecordEntityNameKey,
                                  task ? platform::entity::Task : platform::entity::Event);
        QVLOG(qvlog::kSE, QStringLiteral("__Moto vxDict <%1>: %2").arg(id, motoDescribe(vxDict->realDictionary())));
    }
    const auto description = _device ? _device->syncDescription() : nullptr;
    const QString protocol = description ? description->protocol() : listProtocol();
    // The item keeps the record id its form was made with: the form's numbers,
    // addresses and alarms name their owner by it.
    QString uuid = vxDict->objectForKey(VXDictionary::kUUID).toString();
    if (uuid.isEmpty())
        uuid = createQuorvalisPrimaryKey();
    Elem elem = createNewElemWithDict(&*vxDict, id, uuid, protocol, QString(), QString());
    if (elem)
        elem->setProperty(_property);
    return elem;
}

std::optional<QVariantMap> QVSyncElemList::processMotorolaContacts(const QVariantMap& data, bool deleteDeviceData,
                                                                   QVariantMap& deviceRawData)
{
    return mergeMotorolaEntries(data, deleteDeviceData, deviceRawData, false);
}

std::optional<QVariantMap> QVSyncElemList::processMotorolaCalendar(const QVariantMap& data, bool deleteDeviceData,
                                                                   QVariantMap& deviceRawData)
{
    return mergeMotorolaEntries(data, deleteDeviceData, deviceRawData, true);
}

// Contacts and calendar entries merge alike; they differ in their converter
// and in what the log shows of them (a calendar entry's raw form before it is
// converted, a contact's item after).
std::optional<QVariantMap> QVSyncElemList::mergeMotorolaEntries(const QVariantMap& data, bool deleteDeviceData,
                                                                QVariantMap& deviceRawData, bool calendar)
{
    QVariantMap delivered = data;
    if (deleteDeviceData) {
        deviceRawData.clear();
        for (auto it = data.cbegin(); it != data.cend(); ++it) {
            if (calendar)
                QVLOG(qvlog::kSE,
                      QStringLiteral("__Moto raw item for Trash<%1>: %2").arg(it.key(), motoDescribe(it.value())));
            const Elem elem = motoElemFromEntry(it.key(), it.value(), calendar);
            if (!elem)
                continue;
            QVLOG(qvlog::kSE, calendar ? QStringLiteral("__Moto vxDict for Trash <%1>: %2").arg(it.key(), elem->description())
                                       : QStringLiteral("-------------------\nMotoContactItem for Trash<%1>: %2")
                                             .arg(it.key(), elem->description()));
            putToTrash(elem, false);
            if (!_invisibleDeletion.contains(it.key()))
                _invisibleDeletion.append(it.key());
        }
        delivered.clear();
    }
    QSet<QString> onPhone;
    for (const auto& elem : elems())
        if (elem->isOnDevice())
            onPhone.insert(elem->sourceURI());
    for (auto it = delivered.cbegin(); it != delivered.cend(); ++it) {
        onPhone.remove(it.key());
        if (deviceRawData.contains(it.key()) && motoSameEntry(deviceRawData.value(it.key()), it.value()))
            continue;
        if (calendar)
            QVLOG(qvlog::kSE, QStringLiteral("__Moto raw item <%1>: %2").arg(it.key(), motoDescribe(it.value())));
        const Elem elem = motoElemFromEntry(it.key(), it.value(), calendar);
        if (!elem) {
            QVLOG(qvlog::kSE, QStringLiteral("QVSyncElemList: phone entry %1 of the wrong kind skipped").arg(it.key()));
            continue;
        }
        if (!calendar)
            QVLOG(qvlog::kSE,
                  QStringLiteral("-------------------\nMotoContactItem <%1>: %2").arg(it.key(), elem->description()));
        replaceItem(elem);
    }
    for (const QString& gone : std::as_const(onPhone)) {
        if (refusesPhoneChanges()) {
            if (const Elem elem = objectForURI(gone))
                elem->setStateToNew(freeMotorolaURI());
        } else if (const Elem elem = objectForURI(gone)) {
            putToTrash(elem, false);
            if (!deleteItemBySyncML(gone))
                removeObject(elem);
        }
    }
    return finishMotorolaRead(delivered, deviceRawData);
}

std::optional<QVariantMap> QVSyncElemList::finishMotorolaRead(const QVariantMap& delivered, QVariantMap& deviceRawData)
{
    if (isSyncEngineList()) {
        confirmChangesFromSyncMLForSyncEngine();
        moveTrashItems();
        processSyncMLChanges();
    } else {
        const bool any = !_changesFromDevice.empty();
        processSyncMLChanges();
        if (any)
            postChangedNotification();
    }
    confirmChangesFromSyncMLForSyncEngine();
    // What was read is what the phone holds; what is written goes on top.
    deviceRawData = delivered;
    std::optional<QVariantMap> write = getMotorolaWriteData(deviceRawData);
    if (isSyncEngineList())
        postChangedNotification();
    return write;
}

QVariantMap QVSyncElemList::motoDictForElem(const Elem& elem)
{
    auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
    const auto description = _device ? _device->syncDescription() : nullptr;
    if (!engine || !engine->vxDict() || !description)
        return {};
    if (_property == 0)
        return createMotoDictForVXDict(engine->vxDict(), *description);
    if (const auto* event = dynamic_cast<const QVVCalendarElem*>(elem.get()))
        return event->isToDo() ? createMotoTaskDictForVXDict(engine->vxDict(), *description)
                               : createMotoEventDictForVXDict(engine->vxDict(), *description);
    return {};
}

std::optional<QVariantMap> QVSyncElemList::getMotorolaWriteData(QVariantMap& deviceRawData)
{
    if (usesEngineForChanges() && !wantsSyncChangesFromEngine(_property))
        return std::nullopt;
    QVariantMap write;
    for (const QString& uri : std::as_const(_invisibleDeletion))
        write.insert(uri, QVariantMap());
    _invisibleDeletion.clear();
    _invisibleDeletionIsTask.clear();
    const std::vector<Elem> visible = elems();
    for (const auto& elem : visible) {
        const bool onPhone = elem->isOnDevice();
        if (elem->isDeleted()) {
            if (onPhone)
                write.insert(elem->sourceURI(), QVariantMap());
            continue;
        }
        if (!elem->isSyncingElement() || isElemOutDated(elem))
            continue;
        if (!onPhone) {
            const QVariantMap entry = motoDictForElem(elem);
            if (entry.isEmpty())
                continue;
            const QString id = freeMotorolaURI();
            elem->setSourceURI(id);
            write.insert(id, entry);
            // Kept under the new id until the phone names the entry's slot.
            deviceRawData.insert(id, entry);
        } else if (elem->isChanged()) {
            const QVariantMap entry = motoDictForElem(elem);
            if (entry.isEmpty())
                continue;
            write.insert(elem->sourceURI(), entry);
            deviceRawData.insert(elem->sourceURI(), entry);
        }
    }
    return write;
}

void QVSyncElemList::applyMotorolaAnswer(const QString& id, const QVariant& answer, QVariantMap& deviceRawData)
{
    const Elem elem = objectForURI(id);
    if (answer.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = answer.toMap();
        const QString slot = map.isEmpty() ? QString() : map.firstKey();
        if (slot.isEmpty() || motoIsAnswerWord(slot) || slot.startsWith(QVSyncElem::kTemporaryIdPrefix)) {
            QVLOG(qvlog::kSE,
                  QStringLiteral("[QVSyncElemList finishMotorolaSession] Couldn't map item %1 to %2").arg(id, slot));
            // The phone took the write without naming a slot: an item it
            // already held keeps its id and is written; a new one stays new.
            if (elem && elem->isOnDevice())
                elem->clearChanged();
            return;
        }
        if (!elem) {
            QVLOG(qvlog::kSE,
                  QStringLiteral("[QVSyncElemList finishMotorolaSession] Couldn't map item %1 to %2").arg(id, slot));
            return;
        }
        elem->setSourceURI(slot);
        if (const Elem answered = motoElemFromEntry(slot, map.value(slot), _property == 1))
            replaceParamsOfItem(answered, slot);
        elem->clearChanged();
        if (id != slot)
            deviceRawData.remove(id);
        deviceRawData.insert(slot, map.value(slot));
        return;
    }
    const QString text = answer.typeId() == QMetaType::QString ? answer.toString() : QString();
    if (text.compare(QLatin1String("deleted"), Qt::CaseInsensitive) == 0) {
        deviceRawData.remove(id);
        if (elem) {
            removeObject(elem);
            recalcUsableItems();
        }
        return;
    }
    if (text.compare(QLatin1String("changed"), Qt::CaseInsensitive) == 0) {
        if (elem)
            elem->clearChanged();
        return;
    }
    if (!text.isEmpty() && elem && !motoIsAnswerWord(text)) {
        elem->setSourceURI(text);
        elem->clearChanged();
        // The entry as written is what the slot now holds: without it the
        // next read would take the slot for a phone-side change and undo a
        // desktop change made in between.
        if (id != text && deviceRawData.contains(id))
            deviceRawData.insert(text, deviceRawData.take(id));
        return;
    }
    if (!elem)
        QVLOG(qvlog::kSE,
              QStringLiteral("[QVSyncElemList finishMotorolaSession] Couldn't map item %1 (invalid 'To')").arg(id));
    else
        QVLOG(qvlog::kSE,
              QStringLiteral("[QVSyncElemList finishMotorolaSession] Couldn't map item %1 to %2").arg(id, text));
}

void QVSyncElemList::finishMotorolaSession(const QVariantMap& answers, int status, QVariantMap& deviceRawData)
{
    for (auto it = answers.cbegin(); it != answers.cend(); ++it)
        applyMotorolaAnswer(it.key(), it.value(), deviceRawData);
    // New entries the phone placed nowhere are no phone records.
    for (auto it = deviceRawData.begin(); it != deviceRawData.end();)
        it = it.key().startsWith(QVSyncElem::kTemporaryIdPrefix) ? deviceRawData.erase(it) : std::next(it);
    postListActive(false);
    if (_device)
        _device->syncFinished(_property, status);
}

bool QVSyncElemList::wasDisplayAlarmSent(const QString& deviceId)
{
    const Elem elem = objectForURI(deviceId);
    auto* event = dynamic_cast<QVVCalendarElem*>(elem.get());
    const auto description = _device ? _device->syncDescription() : nullptr;
    if (!event || !event->vxDict() || !description || event->isToDo())
        return false;
    // Writing the entry again brings the item's sent list up to date.
    (void)createMotoEventDictForVXDict(event->vxDict(), *description);
    for (const QVariant& alarm : event->getDisplayAlarms().toList())
        if (event->vxDict()->wasUUIDsent(alarm.toString()))
            return true;
    return false;
}
