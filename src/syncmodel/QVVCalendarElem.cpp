#include "syncmodel/QVVCalendarElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/CalendarOccurrences.h"
#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/RawVCardUtilities.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCalendar2Dictionary.h"
#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VCardReader.h"
#include "foundation/NamedLog.h"
#include "platform/Values.h"
#include "syncmodel/DeviceDescriptionLimits.h"

const QString QVVCalendarElem::kVersion20Protocol = QStringLiteral("VERSION2.0");

namespace {

const QString kSubitems = QStringLiteral("Subitems");
const QString kCategories = QStringLiteral("CATEGORIES");
const QString kMemo = QStringLiteral("MEMO");
const QString kAllDay = QStringLiteral("all day");
const QString kMaxLenEventDesc = QStringLiteral("SyncML.MaxLen_EventDesc");
const QString kMaxLenEventLocation = QStringLiteral("SyncML.MaxLen_EventLocation");

struct SubList {
    const char* listKey;
    const QString& entity;
    const char* commandType;
};

const SubList kSubLists[] = {
    {calendarkey::kRecurrences, platform::entity::Recurrence, "Recurrence"},
    {calendarkey::kAudioAlarms, platform::entity::AudioAlarm, "AudioAlarm"},
    {calendarkey::kDisplayAlarms, platform::entity::DisplayAlarm, "DisplayAlarm"},
};

// The list key of a sub-record entity or list name; null for anything else.
QString calendarListKeyFor(const QString& name)
{
    for (const SubList& list : kSubLists) {
        if (name == QLatin1String(list.listKey) || name == list.entity)
            return QString::fromLatin1(list.listKey);
    }
    return {};
}

bool categoriesHoldMemo(const QVariant& categories)
{
    if (categories.typeId() == QMetaType::QString)
        return categories.toString() == kMemo;
    if (categories.typeId() == QMetaType::QVariantList || categories.typeId() == QMetaType::QStringList) {
        for (const QVariant& entry : categories.toList()) {
            if (entry.typeId() == QMetaType::QString && entry.toString() == kMemo)
                return true;
        }
    }
    return false;
}

} // namespace

QVVCalendarElem::QVVCalendarElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI,
                                 const QString& protocol, const QString& device, const QString& parent)
    : QVSyncEngineElem(dict, uuid, sourceURI, protocol, device, parent)
{
    if (!dict)
        _vxDict->otherDict();
    _property = 1;
    checkType();
}

QVVCalendarElem::QVVCalendarElem(const QVariant& data, const QString& uuid, const QString& sourceURI,
                                 const QString& protocol, const QString& device, const QString& parent)
    : QVSyncEngineElem(data, sourceURI, protocol, device, parent)
{
    _elemUUID = uuid;
    _property = 1;
    checkType();
}

std::shared_ptr<QVVCalendarElem> QVVCalendarElem::vCalendarWithDict(const VXDictionary* dict, const QString& uuid,
                                                                    const QString& sourceURI,
                                                                    const QString& protocol, const QString& device,
                                                                    const QString& parent)
{
    return std::make_shared<QVVCalendarElem>(dict, uuid, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVVCalendarElem> QVVCalendarElem::elemWithData(const QVariant& data, const QString& sourceURI,
                                                               const QString& protocol, const QString& device,
                                                               const QString& parent)
{
    const QString text = data.typeId() == QMetaType::QByteArray ? getAsString(data.toByteArray()) : data.toString();
    std::shared_ptr<QVVCalendarElem> elem;
    if (!text.isEmpty()) {
        const auto description = protocol.isEmpty() ? nullptr : SyncDeviceLimits::fromProtocol(protocol);
        const auto parsed = elemsForVCalendarString(text, fullDescriptionOf(description));
        QVariant item;
        if (parsed) {
            item = parsed->map().value(kSubitems).toList().value(0);
            // A lone VEVENT or VTODO is its own item.
            if (!item.isValid() && parsed->map().contains(platform::ISyncRecordEntityNameKey))
                item = parsed->map();
        }
        if (item.typeId() == QMetaType::QVariantMap) {
            const VXDictionary vx = vCalendarDictionary2VXDictionary(item.toMap());
            const QString uuid = vx.objectForKey(VXDictionary::kUUID).toString();
            elem = std::make_shared<QVVCalendarElem>(&vx, uuid, sourceURI, protocol, device, parent);
        }
    }
    if (!elem) {
        QVLOG(qvlog::kXT, QStringLiteral("QVVCalendarElem: the phone's text holds no readable event or task (%1 "
                                         "characters)")
                              .arg(text.size()));
        elem = std::make_shared<QVVCalendarElem>(data, createQuorvalisPrimaryKey(), sourceURI, protocol, device,
                                                 parent);
    }
    if (!sourceURI.isNull())
        elem->setSourceURI(sourceURI);
    elem->_vxData = data;
    elem->_vCalDict.reset();
    elem->checkType();
    return elem;
}

std::shared_ptr<QVSyncEngineElem> QVVCalendarElem::newElemWithData(const QVariant& data, const QString& sourceURI,
                                                                   const QString& protocol, const QString& device,
                                                                   const QString& parent) const
{
    return elemWithData(data, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncEngineElem> QVVCalendarElem::newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                                   const QString& sourceURI,
                                                                   const QString& protocol, const QString& device,
                                                                   const QString& parent) const
{
    return vCalendarWithDict(dict, uuid, sourceURI, protocol, device, parent);
}

// ---- Queries

QString QVVCalendarElem::rawText() const
{
    return _vxData.typeId() == QMetaType::QByteArray ? getAsString(_vxData.toByteArray()) : _vxData.toString();
}

const QVariantMap& QVVCalendarElem::flatDict() const
{
    if (!_vCalDict) {
        const QVSyncDeviceDescription* full = fullDescriptionOf(_syncDescription);
        const QByteArray bytes =
            _vxData.typeId() == QMetaType::QByteArray ? _vxData.toByteArray() : _vxData.toString().toUtf8();
        _vCalDict = VCalendar2Dictionary::dictionaryForVCalendar(bytes, full ? full->defaultCharset() : QString());
    }
    return *_vCalDict;
}

void QVVCalendarElem::checkType()
{
    if (!_vxDict) {
        _isToDo = ::isToDo(flatDict());
        _isMemo = ::isMemo(flatDict());
        return;
    }
    _isToDo = _vxDict->mainObjectForKey(platform::ISyncRecordEntityNameKey).toString() == platform::entity::Task;
    QVariant categories = _vxDict->deviceObjectForKey(kCategories);
    if (!categories.isValid())
        categories = _vxDict->objectForKey(kCategories);
    _isMemo = categoriesHoldMemo(categories);
}

void QVVCalendarElem::prepareFilledItem()
{
    checkType();
    if (_isToDo && _vxDict)
        _vxDict->setMainObject(true, kDueDateIsDateOnly);
}

QVariant QVVCalendarElem::mainValue(const QString& key) const
{
    return _vxDict ? _vxDict->mainObjectForKey(key) : QVariant();
}

QString QVVCalendarElem::mainText(const QString& key) const
{
    const QVariant value = mainValue(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QDateTime QVVCalendarElem::mainDate(const QString& key) const
{
    const QVariant value = mainValue(key);
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

bool QVVCalendarElem::isEventAllday() const
{
    return platform::values::toBool(mainValue(kAllDay));
}

QVariant QVVCalendarElem::getRecurrences() const
{
    return mainValue(QString::fromLatin1(calendarkey::kRecurrences));
}

QVariant QVVCalendarElem::getAudioAlarms() const
{
    return mainValue(QString::fromLatin1(calendarkey::kAudioAlarms));
}

QVariant QVVCalendarElem::getDisplayAlarms() const
{
    return mainValue(QString::fromLatin1(calendarkey::kDisplayAlarms));
}

QDateTime QVVCalendarElem::firstOccurrence() const
{
    return _vxDict ? firstOccurenceForVXDict(*_vxDict) : QDateTime();
}

QDateTime QVVCalendarElem::lastOccurrence() const
{
    return _vxDict ? lastOccurenceForVXDict(*_vxDict) : QDateTime();
}

// ---- Rendering

QString QVVCalendarElem::render(const std::shared_ptr<SyncDeviceLimits>& description, bool withDeviceSpecifics,
                                bool onCopy)
{
    const QVSyncDeviceDescription* full = fullDescriptionOf(description);
    if (!full || !_vxDict)
        return {};
    if (!onCopy)
        return createVCalendarForVXDict(&*_vxDict, *full, withDeviceSpecifics);
    // Another model's rendering leaves this item's relations and sent list alone.
    VXDictionary copy(*_vxDict);
    return createVCalendarForVXDict(&copy, *full, withDeviceSpecifics);
}

QVariant QVVCalendarElem::vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!_vxDict)
        return QVSyncEngineElem::vxDataForDevice(description);
    if (_vCalendarString.isNull()) {
        if (!_syncDescription)
            _syncDescription = description;
        _vCalendarString = render(description, true, false);
    }
    return _vCalendarString.isNull() ? QVariant() : QVariant(_vCalendarString);
}

QVariant QVVCalendarElem::vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!_vxDict) {
        if (!description || description->protocol() == _protocol)
            return _vxData;
        if (description->protocol() == kVersion20Protocol)
            return foreignVCalendarRepresentation20();
        return foreignVCalendarRepresentation10();
    }
    const bool own = !description || (_syncDescription && description->protocol() == _syncDescription->protocol());
    if (!own) {
        const QString text = render(description, false, true);
        return text.isNull() ? QVariant() : QVariant(text);
    }
    if (!_syncDescription) {
        // The export rendering is not the phone's: it is not kept as the cache.
        const QString text = render(SyncDeviceLimits::fromProtocol(kExportProtocol21), true, true);
        return text.isNull() ? QVariant() : QVariant(text);
    }
    if (_vCalendarString.isNull())
        _vCalendarString = render(_syncDescription, true, false);
    return _vCalendarString.isNull() ? QVariant() : QVariant(_vCalendarString);
}

namespace {

bool isCleanAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 128 || c == u'\r' || c == u'\n')
            return false;
    }
    return true;
}

// An iCalendar text value: backslash, semicolon, comma and line breaks escaped.
QString icalendarText(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' || c == u';' || c == u',') {
            escaped += u'\\';
            escaped += c;
        } else if (c == u'\r') {
            escaped += QLatin1String("\\n");
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            escaped += QLatin1String("\\n");
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// Replaces (or adds) a property line, keeping the text's CR LF line ends:
// the replaced span ends before the LF of the line's break.
QString replacedLine(const QString& keyword, const QString& text, const QString& line)
{
    const bool crlf = getCRLFUsage(text) == QLatin1String("\r\n");
    if (findKeyWordBegin(keyword, text) >= 0 && crlf)
        return replaceVDataItem(keyword, text, line + u'\r');
    return replaceVDataItem(keyword, text, line);
}

} // namespace

QString QVVCalendarElem::foreignRepresentation(bool version20)
{
    QString text = rawText();
    if (text.isEmpty() && _vxDict)
        text = vxDataForDescription(nullptr).toString();
    if (text.isEmpty())
        return {};
    text = replacedLine(QStringLiteral("VERSION"), text,
                            version20 ? QStringLiteral("VERSION:2.0") : QStringLiteral("VERSION:1.0"));
    const std::pair<const char*, QString> fields[] = {
        {"SUMMARY", descriptionString()}, {"DESCRIPTION", notesString()}, {"LOCATION", locationString()}};
    for (const auto& [name, value] : fields) {
        if (value.isEmpty())
            continue;
        const QString property = QString::fromLatin1(name);
        QString line;
        if (version20)
            line = property + u':' + icalendarText(value);
        else if (isCleanAscii(value))
            line = property + u':' + value;
        else
            line = property + QStringLiteral(";ENCODING=QUOTED-PRINTABLE:") + encodeData_quoted_printable(value.toUtf8());
        text = replacedLine(property, text, line);
    }
    return text;
}

QString QVVCalendarElem::foreignVCalendarRepresentation20()
{
    return foreignRepresentation(true);
}

QString QVVCalendarElem::foreignVCalendarRepresentation10()
{
    return foreignRepresentation(false);
}

QString QVVCalendarElem::foreignVCalendarItem()
{
    const QString text = vxDataForDescription(nullptr).toString();
    const qsizetype begin =
        findKeyWordBegin(_isToDo ? QStringLiteral("BEGIN:VTODO") : QStringLiteral("BEGIN:VEVENT"), text);
    if (begin < 0)
        return {};
    const qsizetype end = findKeyWordBegin(QStringLiteral("END:VCALENDAR"), text);
    return end > begin ? text.mid(begin, end - begin) : text.mid(begin);
}

QVariant QVVCalendarElem::getVCardCalDictionary() const
{
    const QString text = stringFixLineBreaks(const_cast<QVVCalendarElem*>(this)->foreignVCalendarItem());
    if (text.isEmpty())
        return {};
    VCalendar2ElemsParser reader(text, 0, fullDescriptionOf(_syncDescription));
    const auto item = reader.getItem();
    return item ? QVariant(item->map()) : QVariant();
}

// ---- Identity

QString QVVCalendarElem::dateKey(const QString& which) const
{
    QString key;
    if (which == QLatin1String("noyear"))
        key = _isToDo ? rawDue2001String() : rawDate2001String();
    else if (which == QLatin1String("hours"))
        key = _isToDo ? rawDueString() : rawDateString();
    else
        key = _isToDo ? rawDueString() : rawDateStringDayOnly();
    return key + (isDeleted() ? u'-' : u'+');
}

QString QVVCalendarElem::dateCompString() const
{
    if (_dateCompString.isNull())
        _dateCompString = dateKey(QStringLiteral("day"));
    return _dateCompString;
}

QString QVVCalendarElem::dateCompStringHours() const
{
    if (_dateCompStringHours.isNull())
        _dateCompStringHours = dateKey(QStringLiteral("hours"));
    return _dateCompStringHours;
}

QString QVVCalendarElem::noYDateCompString() const
{
    if (_noYDateCompString.isNull())
        _noYDateCompString = dateKey(QStringLiteral("noyear"));
    return _noYDateCompString;
}

namespace {

QString identity(bool task, const QString& dateKey, const QString& summary)
{
    return QStringLiteral("%1-%2-%3").arg(task ? QStringLiteral("Task") : QStringLiteral("Event"), dateKey, summary);
}

} // namespace

QString QVVCalendarElem::getIdentityString() const
{
    const QVSyncDeviceDescription* full = fullDescriptionOf(_syncDescription);
    const bool shifts = full && full->oldestEventYear() != 0;
    return identity(_isToDo, shifts ? noYDateCompString() : dateCompString(), descriptionString());
}

QString QVVCalendarElem::getIdentityStringWithHours() const
{
    const QVSyncDeviceDescription* full = fullDescriptionOf(_syncDescription);
    const bool shifts = full && full->oldestEventYear() != 0;
    return identity(_isToDo, shifts ? noYDateCompString() : dateCompStringHours(), descriptionString());
}

namespace {

int sign(int value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

int compareNoCase(const QString& a, const QString& b)
{
    return sign(QString::compare(a, b, Qt::CaseInsensitive));
}

} // namespace

int QVVCalendarElem::dateComparisation(const QVSyncElem& other) const
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(&other);
    return calendar ? compareNoCase(dateCompString(), calendar->dateCompString()) : QVSyncEngineElem::defaultComparisation(other);
}

int QVVCalendarElem::descriptionComparisation(const QVSyncElem& other) const
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(&other);
    return calendar ? compareNoCase(descriptionString(), calendar->descriptionString()) : QVSyncEngineElem::defaultComparisation(other);
}

int QVVCalendarElem::locationComparisation(const QVSyncElem& other) const
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(&other);
    return calendar ? compareNoCase(locationString(), calendar->locationString()) : QVSyncEngineElem::defaultComparisation(other);
}

int QVVCalendarElem::eventTypeComparisation(const QVSyncElem& other) const
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(&other);
    return calendar ? compareNoCase(eventTypeString(), calendar->eventTypeString()) : QVSyncEngineElem::defaultComparisation(other);
}

int QVVCalendarElem::onPhoneComparisation(const QVSyncElem& other) const
{
    const auto* calendar = dynamic_cast<const QVVCalendarElem*>(&other);
    return calendar ? compareNoCase(onPhoneString(), calendar->onPhoneString()) : QVSyncEngineElem::defaultComparisation(other);
}

int QVVCalendarElem::defaultComparisation(const QVSyncElem& other) const
{
    return dateComparisation(other);
}

// ---- Limits

QString QVVCalendarElem::formattedSummary(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenEventDesc);
}

QString QVVCalendarElem::formattedDescription(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenEventDesc);
}

QString QVVCalendarElem::formattedLocation(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenEventLocation);
}

QVariant QVVCalendarElem::getFormattedString(const QVariant& value, const QString& fieldName) const
{
    if (value.typeId() != QMetaType::QString)
        return value;
    if (fieldName == QLatin1String("summary"))
        return formattedSummary(value.toString());
    if (fieldName == QLatin1String("description"))
        return formattedDescription(value.toString());
    if (fieldName == QLatin1String("location"))
        return formattedLocation(value.toString());
    return value;
}

QStringList QVVCalendarElem::getMainSyncItems() const
{
    return calendarMainSyncItems();
}

QString QVVCalendarElem::mainDictFieldForCommandType(const QString& type) const
{
    for (const SubList& list : kSubLists) {
        if (type == QLatin1String(list.commandType))
            return QString::fromLatin1(list.listKey);
    }
    return {};
}

// ---- The desktop's changes

void QVVCalendarElem::dropCaches()
{
    _dateCompString = QString();
    _dateCompStringHours = QString();
    _noYDateCompString = QString();
    _contentString = QString();
    invalidateVCalendarString();
    keysMayHaveChanged();
}

void QVVCalendarElem::setChanged()
{
    _dateCompString = QString();
    _dateCompStringHours = QString();
    _noYDateCompString = QString();
    QVSyncEngineElem::setChanged();
    invalidateVCalendarString();
    _contentString = QString();
}

int QVVCalendarElem::processISyncChange(const platform::SyncChange& change, bool fromSyncML)
{
    const int result = QVSyncEngineElem::processISyncChange(change, fromSyncML);
    if (result == 0)
        checkType();
    return result;
}

bool QVVCalendarElem::processSyncEngineChange(const QString& recordId, const QVariantMap& change)
{
    const QString name = change.value(platform::ISyncChangePropertyNameKey).toString();
    const QString listKey = calendarListKeyFor(name);
    if (!listKey.isNull())
        adjustSubList(listKey, change.value(platform::ISyncChangePropertyValueKey));
    const bool applied = QVSyncEngineElem::processSyncEngineChange(recordId, change);
    // A change applied during a phone session does not mark the item
    // changed; its texts must not stay behind.
    if (applied)
        dropCaches();
    return applied;
}

bool QVVCalendarElem::removeItemsForEntity(const QString& entityName)
{
    const bool removed = QVSyncEngineElem::removeItemsForEntity(entityName);
    if (!removed)
        return false;
    const QString listKey = calendarListKeyFor(entityName);
    if (!listKey.isNull()) {
        _vxDict->setMainObject(QVariantList(), listKey);
        _vxDict->removeDeviceRelationsFortype(listKey);
        dropCaches();
    }
    return removed;
}

QVariantMap* QVVCalendarElem::getOrCreateDictForUUID(const QString& uuid)
{
    if (!_vxDict || uuid.isNull())
        return nullptr;
    if (uuid == elemUUID())
        return QVSyncEngineElem::getOrCreateDictForUUID(uuid);
    QVariant& slot = _vxDict->otherDict()[uuid];
    if (slot.typeId() != QMetaType::QVariantMap)
        slot = QVariantMap();
    return static_cast<QVariantMap*>(slot.data());
}

void QVVCalendarElem::addRecordToList(QVariantList& list) const
{
    QVSyncEngineElem::addRecordToList(list);
    if (!_vxDict)
        return;
    const QVariantMap others = _vxDict->realDictionary().value(VXDictionary::kOtherItems).toMap();
    for (auto it = others.cbegin(); it != others.cend(); ++it)
        list.append(QVariantMap{{kRecordDict, it.value()}, {kRecordID, it.key()}});
}

void QVVCalendarElem::inheritedFromZombie(const QVSyncElem& zombie)
{
    QVSyncEngineElem::inheritedFromZombie(zombie);
    const auto* earlier = dynamic_cast<const QVSyncEngineElem*>(&zombie);
    if (!_vxDict || !earlier || !earlier->vxDict())
        return;
    const QString listKey = QString::fromLatin1(calendarkey::kRecurrences);
    const QVariantMap relations = earlier->vxDict()->getRelations(listKey).toMap();
    if (relations.isEmpty())
        return;
    const QString key = VXDictionary::kRelationsPrefix + listKey;
    QVariantMap section = _vxDict->objectForKey(key).toMap();
    for (auto it = relations.cbegin(); it != relations.cend(); ++it)
        section.insert(it.key(), it.value());
    _vxDict->setObject(section, key);
}

bool QVVCalendarElem::isMemberOfRequestedCalendars(const QStringList& calendars)
{
    if (calendars.isEmpty())
        return true;
    const QVariantList mine = mainValue(kCalendarField).toList();
    return !mine.isEmpty() && calendars.contains(mine.first().toString());
}
