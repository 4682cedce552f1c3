#include "formats/MotorolaCalendarConverter.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/CalendarOccurrences.h"
#include "formats/FormatsLog.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VXDictionary.h"
#include "platform/Clock.h"
#include "platform/SyncChange.h"
#include "platform/Values.h"

namespace {

using namespace calendarkey;

const QString kEventPart = QStringLiteral("event");
const QString kTaskPart = QStringLiteral("task");
const QString kRecurrencePart = QStringLiteral("recurrence");
const QString kDisplayAlarmPart = QStringLiteral("DisplayAlarm");
const QString kAlarmSound = QStringLiteral("MotorolaCalendarCustomValueAlarmSound");
const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");
const QString kAllDay = QStringLiteral("all day");
const QString kDueDate = QStringLiteral("due date");
const QString kDueDateIsDateOnly = QStringLiteral("due date is date only");
const QString kSummary = QStringLiteral("summary");
const QString kDescription = QStringLiteral("description");
const QString kLocation = QStringLiteral("location");
const QString kStatus = QStringLiteral("status");
const QString kPriority = QStringLiteral("priority");
// The kit's spelling of the rule's month list.
const QString kKitByMonth = QStringLiteral("byMonth");
const QString kMaxLenEventLocation = QStringLiteral("SyncML.MaxLen_EventLocation");
// An alarm less than this before the start is not written.
constexpr qint64 kMinAlarmLead = 60;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

void dropped(const QString& where, const QVariant& value)
{
    qCWarning(lcFormats) << "calendar entry: dropped a value of the wrong kind under" << where << "("
                         << value.typeName() << ")";
}

bool isDate(const QVariant& value)
{
    return value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid();
}

bool isFlag(const QVariant& value)
{
    return platform::values::isNumber(value);
}

// A list of numbers or words, or a single number (the kit writes both).
bool isRuleList(const QVariant& value)
{
    if (platform::values::isNumber(value))
        return true;
    if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
        return false;
    for (const QVariant& element : value.toList()) {
        if (!platform::values::isNumber(element) && element.typeId() != QMetaType::QString)
            return false;
    }
    return true;
}

bool isNumberOrText(const QVariant& value)
{
    return platform::values::isNumber(value) || value.typeId() == QMetaType::QString;
}

using Check = bool (*)(const QVariant&);

// Copies part[from] to out[to] when present and of the right kind.
void copyChecked(const QVariantMap& part, const QString& partName, const QString& from, QVariantMap& out,
                 const QString& to, Check check)
{
    const auto found = part.constFind(from);
    if (found == part.cend() || !found->isValid())
        return;
    if (check(*found))
        out.insert(to, *found);
    else
        dropped(partName + u'.' + from, *found);
}

void copyText(const QVariantMap& part, const QString& partName, const QString& name, QVariantMap& out)
{
    const auto found = part.constFind(name);
    if (found == part.cend() || !found->isValid())
        return;
    if (found->typeId() != QMetaType::QString)
        dropped(partName + u'.' + name, *found);
    else if (!found->toString().isEmpty())
        out.insert(name, *found);
}

// A part of the entry as a dictionary; empty (logged when of another kind).
QVariantMap partOf(const QString& name, const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap)
        return value.toMap();
    dropped(name, value);
    return {};
}

void readEvent(const QVariantMap& event, QVariantMap& item, QVariantMap& device)
{
    copyChecked(event, kEventPart, kStartDate, item, kStartDate, isDate);
    copyChecked(event, kEventPart, kEndDate, item, kEndDate, isDate);
    copyChecked(event, kEventPart, kAllDay, item, kAllDay, isFlag);
    for (const QString& name : {kDescription, kSummary, kLocation})
        copyText(event, kEventPart, name, item);
    copyText(event, kEventPart, kAlarmSound, device);
}

void readTask(const QVariantMap& task, QVariantMap& item)
{
    copyChecked(task, kTaskPart, kDueDate, item, kDueDate, isDate);
    copyChecked(task, kTaskPart, kPriority, item, kPriority, isNumberOrText);
    copyChecked(task, kTaskPart, kDueDateIsDateOnly, item, kDueDateIsDateOnly, isFlag);
    for (const QString& name : {kSummary, kStatus, kDescription})
        copyText(task, kTaskPart, name, item);
}

void readRecurrence(const QVariantMap& recurrence, QVariantMap& item)
{
    QVariantMap rule;
    copyChecked(recurrence, kRecurrencePart, key(kFrequency), rule, key(kFrequency),
                [](const QVariant& v) { return v.typeId() == QMetaType::QString; });
    copyChecked(recurrence, kRecurrencePart, key(kUntil), rule, key(kUntil), isDate);
    copyChecked(recurrence, kRecurrencePart, key(kByDayFreq), rule, key(kByDayFreq), isRuleList);
    copyChecked(recurrence, kRecurrencePart, key(kInterval), rule, key(kInterval), isNumberOrText);
    copyChecked(recurrence, kRecurrencePart, key(kByMonthDay), rule, key(kByMonthDay), isRuleList);
    // Either spelling of the month list becomes the item form's.
    copyChecked(recurrence, kRecurrencePart, key(kByMonth), rule, key(kByMonth), isRuleList);
    copyChecked(recurrence, kRecurrencePart, kKitByMonth, rule, key(kByMonth), isRuleList);
    const QVariant days = recurrence.value(key(kByDayDays));
    if (days.isValid()) {
        if (!isRuleList(days) || platform::values::isNumber(days))
            dropped(kRecurrencePart + QStringLiteral(".bydaydays"), days);
        else if (!days.toList().isEmpty())
            rule.insert(key(kByDayDays), days.toList());
    }
    QVariantList rules = item.value(key(kRecurrences)).toList();
    rules.append(rule);
    item.insert(key(kRecurrences), rules);
}

void readAlarm(const QVariantMap& alarmPart, const QVariantMap& event, bool audio, QVariantMap& item)
{
    QVariantMap alarm;
    const QVariant trigger = alarmPart.value(key(kTriggerDate));
    const QVariant start = event.value(kStartDate);
    if (isDate(trigger) && isDate(start)) {
        alarm.insert(key(kTriggerDuration), start.toDateTime().secsTo(trigger.toDateTime()));
    } else if (isDate(trigger)) {
        alarm.insert(key(kTriggerDate), trigger);
    } else if (trigger.isValid()) {
        dropped(kDisplayAlarmPart + QStringLiteral(".triggerdate"), trigger);
    }
    copyChecked(alarmPart, kDisplayAlarmPart, key(kTriggerDuration), alarm, key(kTriggerDuration),
                platform::values::isNumber);
    const QString listKey = key(audio ? kAudioAlarms : kDisplayAlarms);
    QVariantList alarms = item.value(listKey).toList();
    alarms.append(alarm);
    item.insert(listKey, alarms);
}

bool mainFlag(const VXDictionary& vx, const QString& name)
{
    return platform::values::toBool(vx.mainObjectForKey(name));
}

QDateTime mainDate(const VXDictionary& vx, const QString& name)
{
    const QVariant value = vx.mainObjectForKey(name);
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

// Copies the main value when present.
void copyMain(const VXDictionary& vx, const QString& name, QVariantMap& out)
{
    const QVariant value = vx.mainObjectForKey(name);
    if (value.isValid())
        out.insert(name, value);
}

} // namespace

std::optional<VCardDictionary> vCalendarDictionaryForMotorolaEventOrTask(const QVariant& entry, bool audio)
{
    if (entry.typeId() != QMetaType::QVariantMap) {
        if (entry.isValid())
            dropped(QStringLiteral("(entry)"), entry);
        return std::nullopt;
    }
    const QVariantMap phone = entry.toMap();
    VCardDictionary result;
    QVariantMap& item = result.map();
    QVariantMap device;
    const QVariantMap event = phone.contains(kEventPart) ? partOf(kEventPart, phone.value(kEventPart)) : QVariantMap();
    for (auto it = phone.cbegin(); it != phone.cend(); ++it) {
        const QString& name = it.key();
        const QVariant& value = it.value();
        if (name == kEventPart) {
            readEvent(event, item, device);
        } else if (name == kTaskPart) {
            const QVariantMap task = partOf(name, value);
            if (!task.isEmpty())
                readTask(task, item);
        } else if (name == kRecurrencePart) {
            const QVariantMap recurrence = partOf(name, value);
            if (!recurrence.isEmpty())
                readRecurrence(recurrence, item);
        } else if (name == kDisplayAlarmPart) {
            const QVariantMap alarm = partOf(name, value);
            if (!alarm.isEmpty())
                readAlarm(alarm, event, audio, item);
        } else if (value.typeId() == QMetaType::QString) {
            if (!value.toString().isEmpty())
                device.insert(name, value);
        } else if (value.isValid()) {
            dropped(name, value);
        }
    }
    item.insert(platform::ISyncRecordEntityNameKey,
                phone.contains(kTaskPart) ? platform::entity::Task : platform::entity::Event);
    if (!device.isEmpty())
        item.insert(VCardDictionary::kDeviceSpecific, device);
    return result;
}

QDateTime fixedCalendarDate(const QDateTime& date, bool allDay, const QVSyncDeviceDescription& description)
{
    if (!date.isValid())
        return {};
    QDateTime fixed = date;
    if (allDay)
        fixed.setTime(QTime(0, 0));
    const int year = fixed.date().year();
    const int oldest = description.oldestEventYear();
    const int highest = description.highestEventYear();
    if (oldest > 0 && year < oldest)
        fixed = fixed.addYears(oldest - year);
    else if (highest > 0 && year > highest)
        fixed = fixed.addYears(highest - year);
    return fixed;
}

QVariantMap createMotoEventDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description)
{
    if (!vxDict)
        return {};
    vxDict->resetSentItems();
    MotorolaEventGenerator generator(description, vxDict);
    return generator.produceMotoEventDict();
}

QVariantMap createMotoTaskDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description)
{
    if (!vxDict)
        return {};
    vxDict->resetSentItems();
    MotorolaTaskGenerator generator(description, vxDict);
    return generator.produceMotoTaskDict();
}

// ---- events

QVariantMap MotorolaEventGenerator::produceMotoEventDict()
{
    _curDict = QVariantMap();
    if (!_vxDict)
        return _curDict;
    addEvent();
    if (!addOneAlarm(key(kAudioAlarms)))
        addOneAlarm(key(kDisplayAlarms));
    addRecurrence();
    addDeviceSpecifics();
    return _curDict;
}

QDateTime MotorolaEventGenerator::fixedStartDate() const
{
    return fixedCalendarDate(mainDate(*_vxDict, kStartDate), mainFlag(*_vxDict, kAllDay), _syncDescription);
}

QDateTime MotorolaEventGenerator::fixedEndDate() const
{
    return fixedCalendarDate(mainDate(*_vxDict, kEndDate), mainFlag(*_vxDict, kAllDay), _syncDescription);
}

void MotorolaEventGenerator::addEvent()
{
    QVariantMap event;
    const QDateTime start = fixedStartDate();
    if (start.isValid())
        event.insert(kStartDate, start);
    const QDateTime end = fixedEndDate();
    if (end.isValid())
        event.insert(kEndDate, end);
    if (_syncDescription.nonNilValueFromDescription(kMaxLenEventLocation) > 0)
        copyMain(*_vxDict, kLocation, event);
    for (const QString& name : {kDescription, kSummary, kAllDay})
        copyMain(*_vxDict, name, event);
    const QVariant sound = _vxDict->deviceObjectForKey(kAlarmSound);
    if (sound.isValid())
        event.insert(kAlarmSound, sound);
    _curDict.insert(kEventPart, event);
}

bool MotorolaEventGenerator::addOneAlarm(const QString& listKey)
{
    const QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    if (ids.isEmpty())
        return false;
    const QDateTime start = fixedStartDate();
    for (const QVariant& idValue : ids) {
        const QString id = idValue.toString();
        const QVariant record = _vxDict->otherObjectForKey(id);
        if (record.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap alarm = record.toMap();
        QDateTime trigger;
        const QVariant date = alarm.value(key(kTriggerDate));
        const QVariant duration = alarm.value(key(kTriggerDuration));
        if (isDate(date) && start.isValid() && start.secsTo(date.toDateTime()) <= -kMinAlarmLead)
            trigger = date.toDateTime();
        else if (platform::values::isNumber(duration) && start.isValid()
                 && platform::values::toLongLong(duration) <= -kMinAlarmLead)
            trigger = start.addSecs(platform::values::toLongLong(duration));
        if (!trigger.isValid())
            continue;
        QString text = alarm.value(kDescription).toString();
        if (text.isEmpty())
            text = nonNilMainObject(kSummary);
        if (text.isEmpty())
            continue;
        QVariantMap written;
        written.insert(key(kTriggerDate), trigger);
        _curDict.insert(kDisplayAlarmPart, written);
        _vxDict->rememberSent(id);
        return true;
    }
    return false;
}

void MotorolaEventGenerator::addRecurrence()
{
    const QString id = _vxDict->mainObjectForKey(key(kRecurrences)).toList().value(0).toString();
    if (id.isEmpty())
        return;
    const QVariant record = _vxDict->otherObjectForKey(id);
    if (record.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap rule = record.toMap();
    QVariantMap recurrence;
    for (const char* name : {kFrequency, kByDayDays, kByDayFreq, kUntil, kByMonthDay, kInterval}) {
        const QVariant value = rule.value(key(name));
        if (value.isValid())
            recurrence.insert(key(name), value);
    }
    const QVariant months = rule.value(key(kByMonth));
    if (months.isValid())
        recurrence.insert(kKitByMonth, months);
    if (rule.value(key(kCount)).isValid() && !rule.value(key(kUntil)).isValid()) {
        // A rule without end stays without one: the phone repeats it forever.
        const QDateTime last = lastOccurenceForVXDict(*_vxDict);
        if (last.isValid() && last != distantFutureDate())
            recurrence.insert(key(kUntil), last);
    }
    _curDict.insert(kRecurrencePart, recurrence);
    _vxDict->rememberSent(id);
}

// ---- tasks

QVariantMap MotorolaTaskGenerator::produceMotoTaskDict()
{
    _curDict = QVariantMap();
    if (!_vxDict)
        return _curDict;
    addTask();
    addDeviceSpecifics();
    return _curDict;
}

QDateTime MotorolaTaskGenerator::fixedDueDate() const
{
    QDateTime due = mainDate(*_vxDict, kDueDate);
    if (!due.isValid() && _isLG)
        due = platform::Clock::instance().currentDateTime();
    const bool allDay = mainFlag(*_vxDict, kAllDay) || mainFlag(*_vxDict, kDueDateIsDateOnly);
    return fixedCalendarDate(due, allDay, _syncDescription);
}

void MotorolaTaskGenerator::addTask()
{
    QVariantMap task;
    const QDateTime due = fixedDueDate();
    if (due.isValid())
        task.insert(kDueDate, due);
    for (const QString& name : {kSummary, kStatus, kPriority, kDueDateIsDateOnly})
        copyMain(*_vxDict, name, task);
    _curDict.insert(kTaskPart, task);
}
