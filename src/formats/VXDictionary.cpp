#include "formats/VXDictionary.h"

#include "foundation/FormattingUtil.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/SyncChange.h"
#include "platform/TextEncoding.h"

#include <QDateTime>
#include <QUuid>

const QString VXDictionary::kMainDict = QStringLiteral("Main-Dict");
const QString VXDictionary::kOtherItems = QStringLiteral("XXX-OtherItems");
const QString VXDictionary::kDeviceItems = QStringLiteral("XXX-DeviceItems");
const QString VXDictionary::kRelationsPrefix = QStringLiteral("XXX-Relations-");
const QString VXDictionary::kSentItems = QStringLiteral("XXX-SentItems");
const QString VXDictionary::kUUID = QStringLiteral("UUID");
const QString VXDictionary::kSourceURI = QStringLiteral("SourceURI");
const QString VXDictionary::kModified = QStringLiteral("Modified");
const QString VXDictionary::kGroups = QStringLiteral("XXX-Groups");
const QString VXDictionary::kTempChangedFlag = QStringLiteral("TEMP_CHANGED_FLAG");
const QString VXDictionary::kTempDeletedFlag = QStringLiteral("TEMP_DELETED_FLAG");
const QString VXDictionary::kRelationKey = QStringLiteral("Key");
const QString VXDictionary::kRelationValues = QStringLiteral("Values");

namespace {

const QString kQuorvalisPrefix = QStringLiteral("Tarnex");
const QString kBirthday = QStringLiteral("birthday");
const QString kTypeKey = QStringLiteral("type");
const QString kEncodingParam = QStringLiteral("ENCODING");
const QString kCharsetParam = QStringLiteral("CHARSET");

bool isMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

// A bare parameter word that names a character set the platform knows.
bool isCharsetName(const QString& word)
{
    if (word.isEmpty())
        return false;
    const QByteArray name = word.toLatin1();
    return platform::text::encode(QString(), name.constData()).has_value();
}

} // namespace

VXDictionary::VXDictionary(const QVariantMap& dictionary)
    : _realDict(mutableObjectFor(dictionary).toMap())
{
}

VXDictionary::VXDictionary(const VXDictionary& other) : VXDictionary(other._realDict) {}

VXDictionary& VXDictionary::operator=(const VXDictionary& other)
{
    if (this != &other)
        _realDict = mutableObjectFor(other._realDict).toMap();
    return *this;
}

VXDictionary VXDictionary::vxDictionaryFromDict(const QVariantMap& stored)
{
    VXDictionary result(stored);
    result._realDict.remove(kTempDeletedFlag);
    result._realDict.remove(kTempChangedFlag);
    return result;
}

void VXDictionary::setObject(const QVariant& value, const QString& key)
{
    if (!value.isValid())
        _realDict.remove(key);
    else
        _realDict.insert(key, value);
}

QString VXDictionary::description() const
{
    return formattedDescription(_realDict, 0);
}

QVariantMap& VXDictionary::section(const QString& key)
{
    QVariant& slot = _realDict[key];
    if (!isMap(slot))
        slot = QVariantMap();                   // missing (or not a dictionary in a damaged file)
    return *static_cast<QVariantMap*>(slot.data());
}

QVariant VXDictionary::mainObjectForKey(const QString& key) const
{
    return _realDict.value(kMainDict).toMap().value(key);
}

void VXDictionary::setMainObject(const QVariant& value, const QString& key)
{
    if (!value.isValid())
        return;
    mainDict().insert(key, value);
}

void VXDictionary::removeMainObjectForKey(const QString& key)
{
    mainDict().remove(key);
}

QVariant VXDictionary::otherObjectForKey(const QString& uuid) const
{
    return _realDict.value(kOtherItems).toMap().value(uuid);
}

void VXDictionary::setOtherObject(const QVariant& subRecord, const QString& uuid)
{
    if (!subRecord.isValid())
        return;
    otherDict().insert(uuid, subRecord);
}

void VXDictionary::removeOtherObjectForKey(const QString& uuid)
{
    otherDict().remove(uuid);
}

QVariant VXDictionary::deviceObjectForKey(const QString& key) const
{
    return _realDict.value(kDeviceItems).toMap().value(key);
}

QString VXDictionary::sourceURI() const
{
    const QVariant value = _realDict.value(kSourceURI);
    return value.isValid() ? value.toString() : QString();
}

QVariantList VXDictionary::formatRelation(const QVariantList& params)
{
    QVariantList result;
    for (const QVariant& entry : params) {
        if (isMap(entry)) {
            const QString key = entry.toMap().value(kRelationKey).toString();
            if (key.compare(kEncodingParam, Qt::CaseInsensitive) == 0
                || key.compare(kCharsetParam, Qt::CaseInsensitive) == 0)
                continue;
            result.append(entry);
        } else if (entry.typeId() == QMetaType::QString) {
            const QString word = entry.toString();
            if (isCharsetName(word))
                continue;
            QVariantMap typed;
            typed.insert(kRelationKey, kTypeKey);
            typed.insert(kRelationValues, QVariantList{word});
            result.append(typed);
        } else {
            result.append(entry);
        }
    }
    return result;
}

void VXDictionary::setRelation(const QVariantList& params, const QString& listKey, const QString& uuid)
{
    section(kRelationsPrefix + listKey).insert(uuid, formatRelation(params));
}

QVariant VXDictionary::getRelations(const QString& listKey) const
{
    const QVariant value = _realDict.value(kRelationsPrefix + listKey);
    return isMap(value) ? value : QVariant();
}

QVariant VXDictionary::getTheRelation(const QString& listKey, const QString& uuid) const
{
    const QVariant relations = getRelations(listKey);
    if (!relations.isValid())
        return {};
    return relations.toMap().value(uuid);
}

void VXDictionary::deleteRelation(const QString& listKey, const QString& uuid)
{
    const QString key = kRelationsPrefix + listKey;
    if (!isMap(_realDict.value(key)))
        return;
    section(key).remove(uuid);
}

void VXDictionary::removeDeviceRelationsFortype(const QString& listKey)
{
    _realDict.remove(kRelationsPrefix + listKey);
}

void VXDictionary::removeRelationForSubItem(const QString& uuid, const QString& sectionKey)
{
    if (sectionKey.isNull())
        return;
    const QVariant value = _realDict.value(sectionKey);
    if (!isMap(value) || value.toMap().isEmpty())
        return;
    section(sectionKey).remove(uuid);
}

void VXDictionary::deleteAllRelations()
{
    _realDict.removeIf([](const QVariantMap::iterator& it) { return it.key().startsWith(kRelationsPrefix); });
}

void VXDictionary::resetSentItems()
{
    _realDict.insert(kSentItems, QVariantList());
}

void VXDictionary::rememberSent(const QString& uuid)
{
    QVariantList sent = _realDict.value(kSentItems).toList();
    if (!sent.contains(uuid))
        sent.append(uuid);
    _realDict.insert(kSentItems, sent);
}

bool VXDictionary::wasUUIDsent(const QString& uuid) const
{
    const QVariant sent = _realDict.value(kSentItems);
    return isList(sent) && sent.toList().contains(uuid);
}

QVariant VXDictionary::sentItems() const
{
    const QVariant sent = _realDict.value(kSentItems);
    return isList(sent) ? sent : QVariant();
}

QString createNewPrimaryKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString createPrefixedPrimaryKey(const QString& prefix)
{
    return prefix + u':' + createNewPrimaryKey();
}

QString createQuorvalisPrimaryKey()
{
    return createPrefixedPrimaryKey(kQuorvalisPrefix);
}

QVariant mutableObjectFor(const QVariant& object)
{
    // Containers are copied on write: the copy never shares a change with its
    // source, whatever the depth.
    if (isMap(object)) {
        const QVariantMap source = object.toMap();
        QVariantMap copy;
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            copy.insert(it.key(), mutableObjectFor(it.value()));
        return copy;
    }
    if (isList(object)) {
        QVariantList copy;
        const QVariantList source = object.toList();
        copy.reserve(source.size());
        for (const QVariant& element : source)
            copy.append(mutableObjectFor(element));
        return copy;
    }
    return object;
}

QVariantList makeChangesForRecord(const QVariantMap& record)
{
    QVariantList changes;
    changes.reserve(record.size());
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        QVariant value = it.value();
        if (!value.isValid())
            continue;
        if (it.key() == kBirthday && value.typeId() == QMetaType::QDateTime) {
            const QDateTime noon = highNoonGMTDate(value.toDateTime());
            if (noon.isValid())
                value = noon;
        }
        changes.append(platform::SyncChange::setChange(it.key(), value));
    }
    return changes;
}

long lgAlarmOffset(long seconds)
{
    if (seconds <= 0)
        return seconds;
    static const long steps[] = {900, 1800, 3600, 86400, 259200};
    for (const long step : steps) {
        if (seconds <= step)
            return step;
    }
    return 604800;
}
