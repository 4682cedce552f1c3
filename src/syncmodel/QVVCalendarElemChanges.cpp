// Change detection: the differences between the stored event or task and a
// newly read phone version become desktop changes of the item and its
// recurrence and alarm sub-records.
#include "syncmodel/QVVCalendarElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCardReader.h"
#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "platform/Values.h"
#include "syncmodel/DeviceDescriptionLimits.h"

#include <cstdlib>

using platform::SyncChange;

namespace {

const QString kSubitems = QStringLiteral("Subitems");
const QString kOwner = QStringLiteral("owner");
const QString kURLField = QStringLiteral("url");
const QString kLocationField = QStringLiteral("location");
const QString kAllDayField = QStringLiteral("all day");
const QString kIntervalField = QStringLiteral("interval");
const QString kMaxLenEventLocation = QStringLiteral("SyncML.MaxLen_EventLocation");
const QString kMotorolaV3 = QStringLiteral("Protocol Motorola V3");
const QString kSeries40 = QStringLiteral("Protocol Series 40");
const QString kCategories = QStringLiteral("CATEGORIES");
const QString kMiscellaneous = QStringLiteral("MISCELLANEOUS");
// A sub-record that differs in this many fields or more is another one.
constexpr int kMaxSimilarChanges = 5;

const QStringList& recurrenceFields()
{
    static const QStringList fields{
        QStringLiteral("bydaydays"),  QStringLiteral("bydayfreq"),    QStringLiteral("bymonth"),
        QStringLiteral("bymonthday"), QStringLiteral("bysetpos"),     QStringLiteral("byweeknumber"),
        QStringLiteral("byyearday"),  QStringLiteral("count"),        QStringLiteral("frequency"),
        QStringLiteral("interval"),   QStringLiteral("until"),        QStringLiteral("weekstartday"),
        kOwner};
    return fields;
}

const QStringList& alarmFields()
{
    static const QStringList fields{QStringLiteral("description"),     QStringLiteral("repeat count"),
                                    QStringLiteral("summary"),         QStringLiteral("repeat interval"),
                                    QStringLiteral("triggerdate"),     QStringLiteral("triggerduration"),
                                    kOwner};
    return fields;
}

// A date of a parsed item: a date value or a date text.
QDateTime dateOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QString && isTimeString(value.toString()))
        return getNSCalendarDateFromT_Time(value.toString());
    return {};
}

// The text a field is compared by: dates by their moment (all-day ones by
// their local day), whatever zone they were read in.
QString fieldText(const QVariant& value, bool allDay)
{
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime date = value.toDateTime();
        return allDay ? makeNoTimeStringFromObject(date.toLocalTime()) : makeStringFromObject(date.toUTC());
    }
    return makeStringFromObject(value);
}

QVariantList paramsOf(const QVariantMap& candidate)
{
    return candidate.value(VCardDictionary::kParams).toList();
}

bool qualifies(const QVariantMap& candidate, const QVariantList& relation)
{
    const QVariantList params = paramsOf(candidate);
    if (params.size() != relation.size())
        return false;
    for (const QVariant& entry : params) {
        if (!relation.contains(entry))
            return false;
    }
    return true;
}

QString entityForList(const QString& listKey)
{
    if (listKey == QLatin1String(calendarkey::kRecurrences))
        return platform::entity::Recurrence;
    if (listKey == QLatin1String(calendarkey::kAudioAlarms))
        return platform::entity::AudioAlarm;
    return platform::entity::DisplayAlarm;
}

} // namespace

// ---- Entry points

std::optional<QVariantMap> QVVCalendarElem::parsedVersion(QVSyncEngineElem& other)
{
    const QVariant rendering = other.vxDataForDevice(_syncDescription);
    const QString text = rendering.typeId() == QMetaType::QByteArray ? QString::fromUtf8(rendering.toByteArray())
                                                                      : rendering.toString();
    if (text.isEmpty())
        return std::nullopt;
    const auto parsed = elemsForVCalendarString(text, fullDescriptionOf(_syncDescription));
    if (!parsed)
        return std::nullopt;
    QVariant entry = parsed->map().value(kSubitems).toList().value(0);
    if (!entry.isValid() && parsed->map().contains(platform::ISyncRecordEntityNameKey))
        entry = parsed->map();
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return entry.toMap();
}

QList<SyncChange> QVVCalendarElem::acceptChangesForElem(QVSyncEngineElem& other)
{
    if (!_vxDict)
        return {};
    auto entry = parsedVersion(other);
    if (!entry)
        return {};
    if (const VXDictionary* otherVX = other.vxDict()) {
        const QVariant allDay = otherVX->mainObjectForKey(kAllDayField);
        if (allDay.isValid())
            entry->insert(kAllDayField, allDay);
    }
    // The reader gives an item without due date the time of its first alarm;
    // for an event that is no due date of its own, and the desktop's event
    // has none to compare it with.
    if (!_isToDo && !_vxDict->mainObjectForKey(kDueDate).isValid())
        entry->remove(kDueDate);
    // The phone's display alarm as a lead time, as the item form keeps it.
    const QString displayKey = QString::fromLatin1(calendarkey::kDisplayAlarms);
    QVariantList alarms = entry->value(displayKey).toList();
    const QDateTime start = dateOf(entry->value(kStartDate));
    if (!alarms.isEmpty() && alarms.first().typeId() == QMetaType::QVariantMap && start.isValid()) {
        QVariantMap alarm = alarms.first().toMap();
        const QDateTime trigger = dateOf(alarm.value(kTriggerDate));
        if (trigger.isValid()) {
            alarm.remove(kTriggerDate);
            alarm.insert(kTriggerDuration, start.secsTo(trigger));
            alarms[0] = alarm;
            entry->insert(displayKey, alarms);
        }
    }
    return acceptVCalendarDictionaryChangesForElem(*entry);
}

QList<SyncChange> QVVCalendarElem::acceptVCalendarDictionaryChangesForElem(const QVariantMap& dict)
{
    QList<SyncChange> changes;
    if (_vxDict)
        addCalendarChanges(dict, changes);
    return changes;
}

void QVVCalendarElem::acceptParamChangesForElem(QVSyncEngineElem& other)
{
    if (const auto entry = parsedVersion(other))
        acceptParamChangesForDict(*entry);
}

void QVVCalendarElem::acceptParamChangesForDict(const QVariantMap& dict)
{
    const QVariant device = dict.value(VCardDictionary::kDeviceSpecific);
    if (_vxDict && device.isValid())
        _vxDict->setObject(device, VXDictionary::kDeviceItems);
}

// ---- The main record

void QVVCalendarElem::addCalendarChanges(const QVariantMap& dict, QList<SyncChange>& changes)
{
    if (!_vxDict)
        return;
    QVLOG(qvlog::kVCard, QStringLiteral("##### OldElem:\n%1\n").arg(_vxDict->description()));
    const bool allDay = isEventAllday();
    const QString protocol = _syncDescription ? _syncDescription->protocol() : QString();
    const long maxLocation = _syncDescription ? _syncDescription->nonNilValueFromDescription(kMaxLenEventLocation) : 0;
    const QVariant categories = dict.value(VCardDictionary::kDeviceSpecific).toMap().value(kCategories);
    const bool miscellaneous = categories.typeId() == QMetaType::QString && categories.toString() == kMiscellaneous;

    QVariantList mainChanges;
    for (const QString& field : getMainSyncItems()) {
        const QVariant stored = _vxDict->mainObjectForKey(field);
        const QVariant incoming = dict.value(field);
        const QString storedText = stored.isValid() ? fieldText(stored, allDay) : QString();
        const QString newText = incoming.isValid() ? fieldText(incoming, allDay) : QString();
        if (storedText.isNull() && newText.isNull())
            continue;
        if (!storedText.isNull() && newText.isNull()) {
            // Fields the phone cannot hold are not cleared.
            if (field == kOwner || field == kURLField)
                continue;
            if (field == kLocationField && maxLocation < 1)
                continue;
            if (field == kLocationField && protocol.startsWith(kSeries40) && miscellaneous)
                continue;
            mainChanges.append(SyncChange::clearChange(field));
            continue;
        }
        if (storedText != newText)
            mainChanges.append(SyncChange::setChange(field, incoming));
    }
    addRecurrenceChanges(dict, changes);
    addCalendarAlarmTypeChanges(dict, changes, QString::fromLatin1(calendarkey::kAudioAlarms));
    addCalendarAlarmTypeChanges(dict, changes, QString::fromLatin1(calendarkey::kDisplayAlarms));
    if (!mainChanges.isEmpty() && !elemUUID().isEmpty())
        changes.append(SyncChange(SyncChange::Modify, elemUUID(), mainChanges));
    const QVariant device = dict.value(VCardDictionary::kDeviceSpecific);
    if (device.isValid())
        _vxDict->setObject(device, VXDictionary::kDeviceItems);
}

// ---- Sub-records

void QVVCalendarElem::addRecurrenceChanges(const QVariantMap& dict, QList<SyncChange>& changes)
{
    addSubRecordChanges(dict, changes, QString::fromLatin1(calendarkey::kRecurrences), true);
}

void QVVCalendarElem::addCalendarAlarmTypeChanges(const QVariantMap& dict, QList<SyncChange>& changes,
                                                  const QString& type)
{
    addSubRecordChanges(dict, changes, type, false);
}

void QVVCalendarElem::addSubRecordChanges(const QVariantMap& dict, QList<SyncChange>& changes, const QString& listKey,
                                          bool isRecurrence)
{
    const ChangeList changeList =
        isRecurrence ? &QVVCalendarElem::changeListForRecurrenceItem : &QVVCalendarElem::changeListForAlarmItem;
    QVariantList candidates;
    for (const QVariant& entry : dict.value(listKey).toList()) {
        if (entry.typeId() == QMetaType::QVariantMap)
            candidates.append(entry);
    }
    const QVariantMap relations = _vxDict->getRelations(listKey).toMap();
    QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    const bool motorolaV3 = _syncDescription && _syncDescription->protocol().startsWith(kMotorolaV3);

    QStringList unmatched;
    for (const QVariant& idValue : ids) {
        const QString id = idValue.toString();
        const auto relation = relations.constFind(id);
        if (relation == relations.cend() && !motorolaV3)
            continue; // never written to the phone: nothing to compare with
        const QVariantMap stored = _vxDict->otherObjectForKey(id).toMap();
        const QVariantList params = relation == relations.cend() ? QVariantList() : relation->toList();
        if (!removeEqualItem(candidates, stored, params, changeList))
            unmatched.append(id);
    }

    bool listChanged = false;
    for (const QString& id : unmatched) {
        const QVariantMap stored = _vxDict->otherObjectForKey(id).toMap();
        const QVariantList params = relations.value(id).toList();
        MatchResult result = NoMatch;
        const qsizetype index = similarItem(candidates, stored, params, &result, changeList);
        if (result == NoMatch) {
            changes.append(SyncChange(SyncChange::Delete, id));
            _vxDict->deleteRelation(listKey, id);
            ids.removeAll(id);
            listChanged = true;
        } else {
            if (result == Similar)
                changes.append(SyncChange(SyncChange::Modify, id,
                                          (this->*changeList)(stored, candidates.at(index).toMap())));
            candidates.removeAt(index);
        }
    }

    const QString owner = elemUUID();
    for (const QVariant& candidate : candidates) {
        QVariantMap record = candidate.toMap();
        const QString id = createQuorvalisPrimaryKey();
        _vxDict->setRelation(record.take(VCardDictionary::kParams).toList(), listKey, id);
        record.insert(platform::ISyncRecordEntityNameKey, entityForList(listKey));
        record.insert(kOwner, QVariantList{owner});
        changes.append(SyncChange(SyncChange::Add, id, makeChangesForRecord(record)));
        ids.append(id);
        listChanged = true;
    }
    if (listChanged)
        changes.append(SyncChange(SyncChange::Modify, owner, {SyncChange::setChange(listKey, ids)}));
}

bool QVVCalendarElem::removeEqualItem(QVariantList& candidates, const QVariantMap& stored,
                                      const QVariantList& relation, ChangeList changeList) const
{
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const QVariantMap candidate = candidates.at(i).toMap();
        if (qualifies(candidate, relation) && (this->*changeList)(stored, candidate).isEmpty()) {
            candidates.removeAt(i);
            return true;
        }
    }
    return false;
}

qsizetype QVVCalendarElem::similarItem(const QVariantList& candidates, const QVariantMap& stored,
                                       const QVariantList& relation, MatchResult* result, ChangeList changeList) const
{
    qsizetype best = -1;
    qsizetype fewest = kMaxSimilarChanges;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const QVariantMap candidate = candidates.at(i).toMap();
        if (!qualifies(candidate, relation))
            continue;
        const qsizetype count = (this->*changeList)(stored, candidate).size();
        if (count == 0) {
            *result = Same;
            return i;
        }
        if (count < fewest) {
            fewest = count;
            best = i;
        }
    }
    *result = best < 0 ? NoMatch : Similar;
    return best;
}

bool QVVCalendarElem::removeEqualRecurrenceItem(QVariantList& candidates, const QVariantMap& stored,
                                                const QVariantList& relation) const
{
    return removeEqualItem(candidates, stored, relation, &QVVCalendarElem::changeListForRecurrenceItem);
}

bool QVVCalendarElem::removeEqualAlarmItem(QVariantList& candidates, const QVariantMap& stored,
                                           const QVariantList& relation) const
{
    return removeEqualItem(candidates, stored, relation, &QVVCalendarElem::changeListForAlarmItem);
}

qsizetype QVVCalendarElem::similarRecurrenceItem(const QVariantList& candidates, const QVariantMap& stored,
                                                 const QVariantList& relation, MatchResult* result) const
{
    return similarItem(candidates, stored, relation, result, &QVVCalendarElem::changeListForRecurrenceItem);
}

qsizetype QVVCalendarElem::similarAlarmItem(const QVariantList& candidates, const QVariantMap& stored,
                                            const QVariantList& relation, MatchResult* result) const
{
    return similarItem(candidates, stored, relation, result, &QVVCalendarElem::changeListForAlarmItem);
}

long QVVCalendarElem::getValidLgReminderValue(long seconds)
{
    if (seconds < 0)
        return 900;
    if (seconds == 0)
        return 0;
    for (const long step : {900L, 1800L, 3600L, 86400L, 259200L}) {
        if (seconds <= step)
            return step;
    }
    return 604800;
}

QVariantList QVVCalendarElem::changeListForRecurrenceItem(const QVariantMap& stored, const QVariantMap& incoming) const
{
    QVariantList list;
    for (const QString& field : recurrenceFields()) {
        const QVariant oldValue = stored.value(field);
        const QVariant newValue = incoming.value(field);
        const QString oldText = oldValue.isValid() ? fieldText(oldValue, false) : QString();
        const QString newText = newValue.isValid() ? fieldText(newValue, false) : QString();
        if (oldText == newText)
            continue;
        if (newText.isNull()) {
            if (field != kOwner)
                list.append(SyncChange::clearChange(field));
            continue;
        }
        if (field == kIntervalField && oldText.isNull() && newText == QLatin1String("1"))
            continue;
        list.append(SyncChange::setChange(field, newValue));
    }
    return list;
}

QVariantList QVVCalendarElem::changeListForAlarmItem(const QVariantMap& storedAlarm,
                                                     const QVariantMap& incoming) const
{
    const bool lg = _syncDescription && _syncDescription->isLGProtocol();
    const QDateTime start = mainDate(kStartDate);
    // The incoming alarm comes as a lead time; an item read from the phone
    // keeps its own as a date. Compare them in one form.
    QVariantMap stored = storedAlarm;
    if (start.isValid() && incoming.contains(kTriggerDuration) && !incoming.contains(kTriggerDate)
        && !stored.contains(kTriggerDuration)) {
        const QDateTime trigger = dateOf(stored.value(kTriggerDate));
        if (trigger.isValid()) {
            stored.remove(kTriggerDate);
            stored.insert(kTriggerDuration, start.secsTo(trigger));
        }
    }
    QVariantList list;
    for (const QString& field : alarmFields()) {
        const QVariant oldValue = stored.value(field);
        const QVariant newValue = incoming.value(field);
        const QString oldText = oldValue.isValid() ? fieldText(oldValue, false) : QString();
        const QString newText = newValue.isValid() ? fieldText(newValue, false) : QString();
        if (oldText == newText)
            continue;
        if (newText.isNull()) {
            if (field != kOwner)
                list.append(SyncChange::clearChange(field));
            continue;
        }
        // The LG phone keeps an alarm at the next of its own lead times.
        if (lg && !oldText.isNull()) {
            if (field == kTriggerDate && start.isValid()) {
                const QDateTime oldTrigger = dateOf(oldValue);
                const QDateTime newTrigger = dateOf(newValue);
                if (oldTrigger.isValid() && newTrigger.isValid()
                    && newTrigger.secsTo(start) == getValidLgReminderValue(long(oldTrigger.secsTo(start))))
                    continue;
            }
            if (field == kTriggerDuration && platform::values::isNumber(oldValue)
                && platform::values::isNumber(newValue)
                && std::llabs(platform::values::toLongLong(newValue))
                    == getValidLgReminderValue(long(std::llabs(platform::values::toLongLong(oldValue)))))
                continue;
        }
        list.append(SyncChange::setChange(field, newValue));
    }
    return list;
}
