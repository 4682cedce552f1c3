#include "formats/VXDictionary.h"

#include "formats/VCardRelations.h"

#include "foundation/FormattingUtil.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QUuid>

#include <array>

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

bool isMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

} // namespace

VXDictionary::VXDictionary(const QVariantMap& dictionary)
    : _realDict(mutableObjectFor(dictionary).toMap())
{
}

VXDictionary::VXDictionary(const VXDictionary& other) : VXDictionary(other._realDict)
{
}

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

void VXDictionary::setRelation(const QVariantList& params, const QString& listKey, const QString& uuid)
{
    QVariantMap& relations = section(kRelationsPrefix + listKey);
    const QVariant formatted = formatRelation(params);
    if (formatted.isValid())
        relations.insert(uuid, formatted);
    else
        relations.remove(uuid);
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
    // The list is taken out of the item while it grows, so it is not copied.
    QVariant& slot = _realDict[kSentItems];
    QVariantList sent = slot.toList();
    slot.clear();
    if (!sent.contains(uuid))
        sent.append(uuid);
    slot = std::move(sent);
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
    // A random (version 4) UUID. The bits come from the global generator,
    // seeded once by the system: asking the system source for every record id
    // of a phonebook costs more than the whole conversion of its entries.
    std::array<quint32, 4> words;
    QRandomGenerator::global()->fillRange(words.data(), qsizetype(words.size()));
    QByteArray bytes(reinterpret_cast<const char*>(words.data()), 16);
    bytes[6] = char((bytes[6] & 0x0F) | 0x40);
    bytes[8] = char((bytes[8] & 0x3F) | 0x80);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces).toUpper();
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
