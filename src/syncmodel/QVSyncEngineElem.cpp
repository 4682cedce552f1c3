#include "syncmodel/QVSyncEngineElem.h"

#include "platform/Values.h"
#include "syncmodel/SyncElemLookup.h"

#include <QDateTime>
#include <QSet>
#include <QTime>
#include <QUrl>

#include <cstdlib>

const QString QVSyncEngineElem::kFirstName = QStringLiteral("first name");
const QString QVSyncEngineElem::kLastName = QStringLiteral("last name");
const QString QVSyncEngineElem::kDueDate = QStringLiteral("due date");
const QString QVSyncEngineElem::kDueDateIsDateOnly = QStringLiteral("due date is date only");
const QString QVSyncEngineElem::kStartDate = QStringLiteral("start date");
const QString QVSyncEngineElem::kTriggerDate = QStringLiteral("triggerdate");
const QString QVSyncEngineElem::kTriggerDuration = QStringLiteral("triggerduration");
const QString QVSyncEngineElem::kTypeField = QStringLiteral("type");
const QString QVSyncEngineElem::kValueField = QStringLiteral("value");
const QString QVSyncEngineElem::kCalendarField = QStringLiteral("calendar");
const QString QVSyncEngineElem::kRecordDict = QStringLiteral("Record-Dict");
const QString QVSyncEngineElem::kRecordID = QStringLiteral("Record-ID");
const QString QVSyncEngineElem::kMaxLenLastName = QStringLiteral("SyncML.MaxLen_LastName");
const QString QVSyncEngineElem::kExportProtocol21 = QStringLiteral("Export-2.1");

namespace {

const QString kQuorvalisPrefix = QStringLiteral("Tarnex");
const QString kLineEnd = QStringLiteral("\r\n");
constexpr qint64 kHalfDaySeconds = 12 * 3600;

QVariant idValue(const QString& id)
{
    return id.isNull() ? QVariant() : QVariant(id);
}

bool isDate(const QVariant& value)
{
    return value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid();
}

} // namespace

QVSyncEngineElem::QVSyncEngineElem(const QVariant& data, const QString& sourceURI, const QString& protocol,
                                   const QString& device, const QString& parent)
    : QVSyncElem(data, sourceURI, protocol, device, parent)
{
}

QVSyncEngineElem::QVSyncEngineElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI,
                                   const QString& protocol, const QString& device, const QString& parent)
    : QVSyncElem(QVariant(), sourceURI, protocol, device, parent)
    , _elemUUID(uuid)
{
    if (dict)
        _vxDict.emplace(dict->realDictionary());
    else
        _vxDict.emplace();
    if (!uuid.isNull())
        _vxDict->setObject(uuid, VXDictionary::kUUID);
    _changedFlag = _vxDict->realDictionary().contains(VXDictionary::kModified);
}

std::shared_ptr<QVSyncEngineElem> QVSyncEngineElem::elemWithDict(const VXDictionary* dict, const QString& uuid,
                                                                 const QString& sourceURI, const QString& protocol,
                                                                 const QString& device, const QString& parent)
{
    return std::make_shared<QVSyncEngineElem>(dict, uuid, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncEngineElem> QVSyncEngineElem::newElemWithData(const QVariant& data, const QString& sourceURI,
                                                                    const QString& protocol, const QString& device,
                                                                    const QString& parent) const
{
    return std::make_shared<QVSyncEngineElem>(data, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncEngineElem> QVSyncEngineElem::newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                                    const QString& sourceURI,
                                                                    const QString& protocol, const QString& device,
                                                                    const QString& parent) const
{
    return std::make_shared<QVSyncEngineElem>(dict, uuid, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncElem> QVSyncEngineElem::copy() const
{
    if (!_vxDict)
        return newElemWithData(_vxData, sourceURI(), _protocol, _device, _sourceParentURI);
    const VXDictionary dictCopy(*_vxDict);
    const QVariant uuid = _vxDict->objectForKey(VXDictionary::kUUID);
    return newElemWithDict(&dictCopy, uuid.isValid() ? uuid.toString() : QString(), sourceURI(), _protocol,
                           _device, _sourceParentURI);
}

std::shared_ptr<QVSyncElem> QVSyncEngineElem::similarCopy() const
{
    auto* self = const_cast<QVSyncEngineElem*>(this);
    const QVariant text = self->vxDataForDescription(SyncDeviceLimits::fromProtocol(kExportProtocol21));
    return newElemWithData(text, sourceURI(), _protocol, _device, _sourceParentURI);
}

void QVSyncEngineElem::setChanged()
{
    QVSyncElem::setChanged();
    if (_vxDict)
        _vxDict->setObject(true, VXDictionary::kModified);
}

void QVSyncEngineElem::clearChanged()
{
    QVSyncElem::clearChanged();
    if (_vxDict)
        _vxDict->removeObjectForKey(VXDictionary::kModified);
}

void QVSyncEngineElem::setSourceURI(const QString& sourceURI)
{
    QVSyncElem::setSourceURI(sourceURI);
    if (_vxDict)
        _vxDict->setObject(idValue(sourceURI), VXDictionary::kSourceURI);
}

QString QVSyncEngineElem::sourceURI() const
{
    if (_vxDict) {
        const QVariant id = _vxDict->objectForKey(VXDictionary::kSourceURI);
        if (id.isValid())
            return id.toString();
    }
    return _sourceURI;
}

QString QVSyncEngineElem::elemUUID() const
{
    if (_elemUUID.isNull() && _vxDict) {
        const QVariant uuid = _vxDict->objectForKey(VXDictionary::kUUID);
        if (uuid.isValid())
            _elemUUID = uuid.toString();
    }
    return _elemUUID;
}

void QVSyncEngineElem::setElemUUID(const QString& uuid)
{
    if (_vxDict)
        _vxDict->setObject(idValue(uuid), VXDictionary::kUUID);
    _elemUUID = uuid;
    keysMayHaveChanged();
}

void QVSyncEngineElem::resetItem()
{
    QVSyncElem::resetItem();
    setElemUUID(createPrefixedPrimaryKey(kQuorvalisPrefix));
}

void QVSyncEngineElem::removeDeviceRelations()
{
    if (_vxDict) {
        _vxDict->removeDeviceSpecifics();
        _vxDict->resetSentItems();
    }
    setSourceURI(QString());
    setSourceParentURI(QString());
}

void QVSyncEngineElem::inheritedFromZombie(const QVSyncElem& zombie)
{
    if (zombie.isOnDevice())
        setSourceURI(zombie.sourceURI());
}

QVariant QVSyncEngineElem::otherItem(const QString& uuid) const
{
    return _vxDict ? _vxDict->otherObjectForKey(uuid) : QVariant();
}

QVariant QVSyncEngineElem::getSubItems(const QString& listKey) const
{
    if (!_vxDict)
        return {};
    QVariantList result;
    const QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    for (const QVariant& id : ids) {
        const QVariant sub = _vxDict->otherObjectForKey(id.toString());
        if (sub.isValid())
            result.append(sub);
    }
    if (result.isEmpty())
        return {};
    return result;
}

QVariant QVSyncEngineElem::recordForUUID(const QString& uuid) const
{
    if (!_vxDict)
        return {};
    if (uuid == elemUUID())
        return _vxDict->realDictionary().value(VXDictionary::kMainDict);
    return _vxDict->otherObjectForKey(uuid);
}

QStringList QVSyncEngineElem::getAllElementUUIDs() const
{
    return {elemUUID()};
}

void QVSyncEngineElem::addRecordToList(QVariantList& list) const
{
    QVariantMap entry;
    entry.insert(kRecordDict, _vxDict ? _vxDict->realDictionary().value(VXDictionary::kMainDict).toMap() : QVariantMap());
    entry.insert(kRecordID, idValue(elemUUID()));
    list.append(entry);
}

QVariantMap* QVSyncEngineElem::getOrCreateDictForUUID(const QString& uuid)
{
    if (_vxDict && !uuid.isNull() && uuid == elemUUID())
        return &_vxDict->mainDict();
    return nullptr;
}

QString QVSyncEngineElem::getFieldName(const QVariantMap&, const QString& fieldKey) const
{
    return fieldKey;
}

QVariant QVSyncEngineElem::getFormattedString(const QVariant& value, const QString&) const
{
    return value;
}

QString QVSyncEngineElem::mainDictFieldForCommandType(const QString&) const
{
    return {};
}

void QVSyncEngineElem::mergeElement(QVSyncEngineElem&, SyncElemLookup*)
{
}

void QVSyncEngineElem::acceptParamChangesForElem(QVSyncEngineElem&)
{
}

QList<platform::SyncChange> QVSyncEngineElem::acceptChangesForElem(QVSyncEngineElem&)
{
    return {};
}

void QVSyncEngineElem::formatAllEntries()
{
    if (!_vxDict)
        return;
    const QVariantMap main = _vxDict->mainDict();
    for (auto it = main.cbegin(); it != main.cend(); ++it) {
        if (it.key() == platform::ISyncRecordEntityNameKey || it.value().typeId() != QMetaType::QString)
            continue;
        const QVariant formatted = getFormattedString(it.value(), it.key());
        if (formatted != it.value())
            _vxDict->mainDict().insert(it.key(), formatted);
    }
}

bool QVSyncEngineElem::fillFromVXDictionary(const VXDictionary& dict, SyncElemLookup* elemList,
                                            const QString& sourceURI, const QString&, bool allowMerge,
                                            std::shared_ptr<QVSyncElem>* resultingElement)
{
    if (!_vxDict)
        _vxDict.emplace();
    const QVariantMap& entries = dict.realDictionary();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        _vxDict->setObject(it.value(), it.key());
    _elemUUID = QString();                      // read again from the new entries
    keysMayHaveChanged();
    formatAllEntries();
    prepareFilledItem();
    if (!sourceURI.isNull())
        setSourceURI(sourceURI);
    const QString identity = getIdentityString();
    if (allowMerge && elemList) {
        const std::shared_ptr<QVSyncElem> existing = elemList->getItemForIdentity(identity);
        if (existing && existing.get() != this) {
            if (auto engineElem = std::dynamic_pointer_cast<QVSyncEngineElem>(existing))
                engineElem->mergeElement(*this, elemList);
            if (resultingElement)
                *resultingElement = existing;
            return false;
        }
    }
    if (resultingElement)
        *resultingElement = weak_from_this().lock();
    return true;
}

int QVSyncEngineElem::processISyncChange(const platform::SyncChange& change, bool fromSyncML)
{
    const QString& recordId = change.recordIdentifier();
    const QVariantList& changes = change.changes();
    _pendingDateOnly.reset();
    for (const QVariant& entry : changes) {
        const QVariantMap map = entry.toMap();
        if (map.value(platform::ISyncChangePropertyNameKey).toString() == kDueDateIsDateOnly
            && map.value(platform::ISyncChangePropertyActionKey).toString() == platform::ISyncChangePropertySet)
            _pendingDateOnly = platform::values::toBool(map.value(platform::ISyncChangePropertyValueKey));
    }
    // Fields other than "value" first, so a sub-record's type is in place
    // before its value is formatted.
    for (const QVariant& entry : changes) {
        const QVariantMap map = entry.toMap();
        if (map.value(platform::ISyncChangePropertyNameKey).toString() != kValueField)
            processSyncEngineChange(recordId, map);
    }
    for (const QVariant& entry : changes) {
        const QVariantMap map = entry.toMap();
        if (map.value(platform::ISyncChangePropertyNameKey).toString() == kValueField)
            processSyncEngineChange(recordId, map);
    }
    _pendingDateOnly.reset();
    if (!fromSyncML)
        setChanged();
    return 0;
}

bool QVSyncEngineElem::isDateOnlyTask() const
{
    if (_pendingDateOnly)
        return *_pendingDateOnly;
    return _vxDict && platform::values::toBool(_vxDict->mainObjectForKey(kDueDateIsDateOnly));
}

QVariant QVSyncEngineElem::steppedAlarmValue(const QString& name, const QVariant& value) const
{
    if (name == kTriggerDate) {
        const QVariant start = _vxDict ? _vxDict->mainObjectForKey(kStartDate) : QVariant();
        if (!isDate(start))
            return value;
        const QDateTime startDate = start.toDateTime();
        if (!isDate(value))
            return startDate;
        // The lead time is stepped; its sign (before or after the start) stays.
        const qint64 seconds = startDate.secsTo(value.toDateTime());
        const long stepped = lgAlarmOffset(long(std::llabs(seconds)));
        return startDate.addSecs(seconds < 0 ? -qint64(stepped) : qint64(stepped));
    }
    if (!platform::values::isNumber(value))
        return value;
    const qlonglong seconds = platform::values::toLongLong(value);
    const qlonglong stepped = lgAlarmOffset(long(std::llabs(seconds)));
    const qlonglong signedStep = seconds < 0 ? -stepped : stepped;
    if (signedStep == seconds)
        return value;
    QVariant result(signedStep);
    result.convert(value.metaType());
    return result;
}

bool QVSyncEngineElem::processSyncEngineChange(const QString& recordId, const QVariantMap& change)
{
    const QString action = change.value(platform::ISyncChangePropertyActionKey).toString();
    const QVariant nameValue = change.value(platform::ISyncChangePropertyNameKey);
    const QString name = nameValue.isValid() ? nameValue.toString() : QString();
    QVariant value = change.value(platform::ISyncChangePropertyValueKey);

    QVariantMap* target = getOrCreateDictForUUID(recordId);
    if (!target)
        return false;                           // a sub-record this item does not know

    // A date-only due date is kept at local noon; it returns to midnight. A
    // task due at any other time keeps it.
    if (name == kDueDate && isDate(value) && isDateOnlyTask()
        && value.toDateTime().toLocalTime().time() == QTime(12, 0, 0))
        value = value.toDateTime().addSecs(-kHalfDaySeconds);

    if (name == kTriggerDate || name == kTriggerDuration) {
        if (_syncDescription && _syncDescription->isLGProtocol())
            value = steppedAlarmValue(name, value);
        if (value.isValid())
            target->insert(name, value);
        else
            target->remove(name);
    }

    if (action == platform::ISyncChangePropertySet) {
        if (name.isNull() || !value.isValid())
            return false;
        if (value.typeId() == QMetaType::QString) {
            QVariant stored = value;
            if (name != platform::ISyncRecordEntityNameKey && name != kTypeField) {
                const QString fieldName = getFieldName(*target, name);
                stored = getFormattedString(value, fieldName);
            }
            target->insert(name, stored);
            if (_syncDescription && _syncDescription->firstLastCombi() && (name == kLastName || name == kFirstName))
                checkFirstLastName(*target);
            return true;
        }
        if (value.typeId() == QMetaType::QUrl) {
            QVariant stored = value;
            const QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(value.toUrl().toString()));
            const QString fieldName = getFieldName(*target, name);
            const QVariant formatted = getFormattedString(escaped, fieldName);
            if (formatted.typeId() == QMetaType::QString) {
                const QUrl url(QUrl::fromPercentEncoding(formatted.toString().toLatin1()));
                if (url.isValid())
                    stored = url;
            }
            target->insert(name, stored);
            return true;
        }
        target->insert(name, value);
        return true;
    }

    if (name.isNull())
        return false;
    target->remove(name);
    setChanged();
    return true;
}

void QVSyncEngineElem::checkFirstLastName(QVariantMap& record) const
{
    const long limit = _syncDescription ? _syncDescription->nonNilValueFromDescription(kMaxLenLastName) : 0;
    const QVariant first = record.value(kFirstName);
    const qsizetype firstLength = first.toString().size();
    const qsizetype lastLength = record.value(kLastName).toString().size();
    if (!first.isValid() || firstLength + lastLength <= limit)
        return;
    const qsizetype room = qsizetype(limit) - lastLength;
    if (room <= 0)
        record.remove(kFirstName);
    else
        record.insert(kFirstName, first.toString().left(room));
}

void QVSyncEngineElem::addSubItem(const QVariantMap& subRecord, const QString& uuid, const QString& listKey)
{
    if (!_vxDict)
        return;
    _vxDict->setOtherObject(subRecord, uuid);
    const QString field = mainDictFieldForCommandType(listKey);
    if (field.isNull())
        return;
    QVariantList ids = _vxDict->mainObjectForKey(field).toList();
    if (!ids.contains(uuid)) {
        ids.append(uuid);
        _vxDict->setMainObject(ids, field);
    }
}

void QVSyncEngineElem::deleteSubItem(const QString& uuid)
{
    if (_vxDict)
        _vxDict->removeOtherObjectForKey(uuid);
    setChanged();
}

void QVSyncEngineElem::adjustSubList(const QString& listKey, const QVariant& newValue)
{
    if (!_vxDict)
        return;
    QString field = mainDictFieldForCommandType(listKey);
    if (field.isNull())
        field = listKey;
    const QVariantList current = _vxDict->mainObjectForKey(field).toList();
    const QVariantList wanted = newValue.toList();
    for (const QVariant& id : current) {
        if (!wanted.contains(id))
            deleteSubItem(id.toString());
    }
}

bool QVSyncEngineElem::removeItemsForEntity(const QString& entityName)
{
    if (!_vxDict)
        return false;
    QVariantMap& others = _vxDict->otherDict();
    bool removed = false;
    for (auto it = others.begin(); it != others.end();) {
        if (it.value().toMap().value(platform::ISyncRecordEntityNameKey).toString() == entityName) {
            it = others.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    return removed;
}

void QVSyncEngineElem::addGroupRelation(const QString& groupId)
{
    if (!_vxDict)
        return;
    QVariantList groups = _vxDict->objectForKey(VXDictionary::kGroups).toList();
    if (!groups.contains(groupId))
        groups.append(groupId);
    _vxDict->setObject(groups, VXDictionary::kGroups);
    setChanged();
}

void QVSyncEngineElem::deleteGroupRelation(const QString& groupId)
{
    if (!_vxDict || !_vxDict->realDictionary().contains(VXDictionary::kGroups))
        return;
    QVariantList groups = _vxDict->objectForKey(VXDictionary::kGroups).toList();
    groups.removeAll(groupId);
    _vxDict->setObject(groups, VXDictionary::kGroups);
    setChanged();
}

void QVSyncEngineElem::clearGroupsOrCalendar()
{
    if (!_vxDict)
        return;
    if (_property == 0 && _vxDict->realDictionary().contains(VXDictionary::kGroups))
        _vxDict->setObject(QVariantList(), VXDictionary::kGroups);
    else if (_property == 1 && _vxDict->mainObjectForKey(kCalendarField).isValid())
        _vxDict->setMainObject(QVariantList(), kCalendarField);
}

bool QVSyncEngineElem::belongsTo(const QStringList& requested, SyncElemLookup* elemList)
{
    switch (_property) {
    case 0:
        return isMemberOfRequestedGroups(requested);
    case 1:
        return isMemberOfRequestedCalendars(requested);
    case 3:
        return isChildOfRequestedFather(requested, elemList);
    default:
        return true;
    }
}

bool QVSyncEngineElem::isDifferent(QVSyncElem& other, const std::shared_ptr<SyncDeviceLimits>& description)
{
    const QVariant mine = vxDataForDevice(description);
    const QVariant theirs = other.vxDataForDevice(description);
    if (!mine.isValid() || !theirs.isValid())
        return true;
    const QStringList myLines = mine.toString().split(kLineEnd);
    const QStringList theirLines = theirs.toString().split(kLineEnd);
    if (myLines.size() != theirLines.size())
        return true;
    const QSet<QString> theirSet(theirLines.cbegin(), theirLines.cend());
    for (const QString& line : myLines) {
        if (!theirSet.contains(line))
            return true;
    }
    return false;
}

QString QVSyncEngineElem::description() const
{
    const QString id = sourceURI();
    return QStringLiteral("<QVSyncEngineElem> SourceURI = %1").arg(id.isNull() ? QStringLiteral("--") : id);
}
