#include "syncmodel/QVVCardElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardGenerator.h"
#include "formats/VCardItemReader.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ContactFields.h"
#include "syncmodel/DeviceDescriptionLimits.h"

#include <QUrl>

using namespace contactfields;

const QString QVVCardElem::kNoIdentity = QStringLiteral("### NO IDENTITY ###");
const QString QVVCardElem::kExportProtocol30 = QStringLiteral("Export-3.0");

namespace {

const QString kIllegalCharset = QStringLiteral("CHARSET=:");
const QString kUTF8Charset = QStringLiteral("CHARSET=UTF-8:");
const QString kQuotedPrintable = QStringLiteral("ENCODING=QUOTED-PRINTABLE");
const QString kCharsetParam = QStringLiteral("CHARSET=");
const QSize kNoPhoto(-1, -1);
// Each removal shortens the text; the bound only guards against an editor
// that would not.
constexpr int kMaxRemovals = 10000;

QString removeAll(const QString& keyword, QString text, QString (*remove)(const QString&, const QString&))
{
    if (keyword.isEmpty())
        return text;
    for (int i = 0; i < kMaxRemovals; ++i) {
        QString shorter = remove(keyword, text);
        if (shorter.size() >= text.size())
            break;
        text = std::move(shorter);
    }
    return text;
}

} // namespace

QVVCardElem::QVVCardElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI,
                         const QString& protocol, const QString& device, const QString& parent)
    : QVSyncEngineElem(dict, uuid, sourceURI, protocol, device, parent)
{
    _vxDict->setMainObject(platform::entity::Contact, platform::ISyncRecordEntityNameKey);
    if (!dict)
        _vxDict->otherDict();
    _property = 0;
}

std::shared_ptr<QVVCardElem> QVVCardElem::elemWithData(const QVariant& data, const QString& sourceURI,
                                                       const QString& protocol, const QString& device,
                                                       const QString& parent)
{
    const QString text = data.typeId() == QMetaType::QByteArray ? getAsString(data.toByteArray()) : data.toString();
    std::shared_ptr<QVVCardElem> elem;
    if (text.isEmpty()) {
        elem = std::make_shared<QVVCardElem>(nullptr, createQuorvalisPrimaryKey(), sourceURI, protocol, device, parent);
    } else {
        const auto cards = elemsForVCard(text);
        if (!cards) {
            QVLOG(qvlog::kXT,
                  QStringLiteral("QVVCardElem: the phone's text holds no vCard (%1 characters)").arg(text.size()));
            return nullptr;
        }
        const VXDictionary vx = vCardDictionary2VXDictionary(cards->first());
        QString uuid = vx.objectForKey(VXDictionary::kUUID).toString();
        if (uuid.isEmpty())
            uuid = createQuorvalisPrimaryKey();
        elem = std::make_shared<QVVCardElem>(&vx, uuid, sourceURI, protocol, device, parent);
    }
    if (!sourceURI.isNull())
        elem->setSourceURI(sourceURI);
    elem->_vxData = data;
    return elem;
}

std::shared_ptr<QVVCardElem> QVVCardElem::vCardWithDict(const VXDictionary* dict, const QString& uuid,
                                                        const QString& sourceURI, const QString& protocol,
                                                        const QString& device, const QString& parent)
{
    return std::make_shared<QVVCardElem>(dict, uuid, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncEngineElem> QVVCardElem::newElemWithData(const QVariant& data, const QString& sourceURI,
                                                               const QString& protocol, const QString& device,
                                                               const QString& parent) const
{
    return elemWithData(data, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncEngineElem> QVVCardElem::newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                               const QString& sourceURI, const QString& protocol,
                                                               const QString& device, const QString& parent) const
{
    return vCardWithDict(dict, uuid, sourceURI, protocol, device, parent);
}

// ---- Rendering

const QVSyncDeviceDescription* QVVCardElem::fullDescription(const std::shared_ptr<SyncDeviceLimits>& limits)
{
    return fullDescriptionOf(limits);
}

QString QVVCardElem::render(const std::shared_ptr<SyncDeviceLimits>& description, bool withDeviceSpecifics,
                            bool forDevice)
{
    const QVSyncDeviceDescription* full = fullDescription(description);
    if (!full || !_vxDict)
        return {};
    return createVCardForVXDict(&*_vxDict, *full, withDeviceSpecifics, forDevice, sourceURI());
}

QVariant QVVCardElem::vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!_vxDict)
        return QVSyncEngineElem::vxDataForDevice(description);
    if (_vcardString.isNull()) {
        if (!_syncDescription)
            _syncDescription = description;
        _vcardString = render(description, true, true);
    }
    return _vcardString.isNull() ? QVariant() : QVariant(_vcardString);
}

QVariant QVVCardElem::vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!_vxDict)
        return {};
    const QString ownProtocol = _syncDescription ? _syncDescription->protocol() : QString();
    if (description && (!_syncDescription || description->protocol() != ownProtocol)) {
        const QString text = render(description, false, false);
        return text.isNull() ? QVariant() : QVariant(text);
    }
    if (_vcardString.isNull())
        _vcardString = render(_syncDescription ? _syncDescription : SyncDeviceLimits::fromProtocol(kExportProtocol21),
                              true, false);
    return _vcardString.isNull() ? QVariant() : QVariant(_vcardString);
}

QString QVVCardElem::foreignVCardRepresentation(bool)
{
    if (!_vxDict)
        return {};
    const auto description = _syncDescription ? _syncDescription : SyncDeviceLimits::fromProtocol(_protocol);
    return vxDataForDescription(description).toString();
}

QString QVVCardElem::exportRendering(const QString& protocol, const QSize& imageSize)
{
    if (!_vxDict)
        return {};
    const auto description = SyncDeviceLimits::fromProtocol(protocol);
    if (imageSize != kNoPhoto)
        return vxDataForDescription(description).toString();
    const QVSyncDeviceDescription* full = fullDescription(description);
    if (!full)
        return {};
    VXDictionary withoutPhoto(*_vxDict);
    withoutPhoto.removeMainObjectForKey(QString::fromLatin1(contactkey::kImage));
    return createVCardForVXDict(&withoutPhoto, *full, false, false, sourceURI());
}

QString QVVCardElem::foreignVCard21Representation(const QSize& imageSize)
{
    return exportRendering(kExportProtocol21, imageSize);
}

QString QVVCardElem::foreignVCard30Representation(const QSize& imageSize)
{
    return exportRendering(kExportProtocol30, imageSize);
}

QByteArray QVVCardElem::foreignVCard30DataRepresentation(const QSize& imageSize)
{
    const QString text = foreignVCard30Representation(imageSize);
    return text.isNull() ? QByteArray() : getAsData(text);
}

QVariant QVVCardElem::getVCardCalDictionary() const
{
    const QString text = const_cast<QVVCardElem*>(this)->foreignVCardRepresentation(true);
    if (text.isEmpty())
        return {};
    VXXX2ElemsParser reader(text, 0);
    const auto item = reader.getItem();
    return item ? QVariant(item->map()) : QVariant();
}

QString QVVCardElem::fixIllegalCharset(const QString& text) const
{
    QString fixed = text;
    return fixed.replace(kIllegalCharset, kUTF8Charset);
}

QString QVVCardElem::addCharsetInfo(const QString& text) const
{
    // Without a default character set there is nothing to name: an empty or
    // made-up one would mislead the phone on every quoted-printable line.
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    const QString charset = full ? full->defaultCharset() : QString();
    if (charset.isEmpty() || !text.contains(kQuotedPrintable) || text.contains(kCharsetParam))
        return text;
    QString result = text;
    return result.replace(kQuotedPrintable, kQuotedPrintable + u';' + kCharsetParam + charset);
}

QString QVVCardElem::removeIgnoreItems(const QString& text) const
{
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    if (!full)
        return text;
    QString result = text;
    for (const QString& element : full->syncMLIgnoreElements())
        result = removeAll(element, result, &removeVCardItem);
    for (const QString& property : full->syncMLIgnoreProperties())
        result = removeAll(property, result, &removeVCardProperty);
    return result;
}

// ---- Identity and limits

QString QVVCardElem::mainText(const QString& key) const
{
    if (!_vxDict)
        return {};
    const QVariant value = _vxDict->mainObjectForKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString QVVCardElem::getIdentityString() const
{
    if (!_vxDict)
        return kNoIdentity;
    if (!_identity.isNull())
        return _identity;
    using namespace contactkey;
    const QString first = formattedFirstName(mainText(kFirstName));
    const QString last = formattedLastName(mainText(kLastName));
    const QString company = formattedCompany(mainText(kCompanyName));
    if (_hasOnlyFirstLast) {
        _identity = (!first.isEmpty() || !last.isEmpty()) ? first + last : company;
    } else {
        _identity = formattedJobTitle(mainText(kTitle)) + first + mainText(kMiddleName) + last + mainText(kSuffix)
            + company;
    }
    if (_identity.isNull())
        _identity = QLatin1String("");
    return _identity;
}

QString QVVCardElem::formattedCompany(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenCompany);
}

QString QVVCardElem::formattedFirstName(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenFirstName);
}

QString QVVCardElem::formattedLastName(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenLastName);
}

QString QVVCardElem::formattedJobTitle(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenJobTitle);
}

QString QVVCardElem::formattedNotes(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenNotes);
}

QString QVVCardElem::formattedStreet(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenStreet);
}

QString QVVCardElem::formattedCity(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenCity);
}

QString QVVCardElem::formattedState(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenState);
}

QString QVVCardElem::formattedZip(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenZip);
}

QString QVVCardElem::formattedCountry(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenCountry);
}

QString QVVCardElem::formattedPhoneNumber(const QString& value) const
{
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    const QString allowed = full ? full->allowedCharsInPhoneNumber() : QString();
    if (allowed.size() <= 9)
        return deviceFormattedString(value, kMaxLenPhoneNumber);
    QString kept;
    kept.reserve(value.size());
    for (const QChar c : value) {
        if (allowed.contains(c))
            kept.append(c);
    }
    return deviceFormattedString(kept, kMaxLenPhoneNumber);
}

QString QVVCardElem::formattedEmail(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenEmail);
}

QString QVVCardElem::formattedURL(const QString& value) const
{
    return deviceFormattedString(value, kMaxLenURL);
}

QVariant QVVCardElem::getFormattedString(const QVariant& value, const QString& fieldName) const
{
    using Formatter = QString (QVVCardElem::*)(const QString&) const;
    static const QHash<QString, Formatter> formatters{
        {QString::fromLatin1(contactkey::kCompanyName), &QVVCardElem::formattedCompany},
        {QString::fromLatin1(contactkey::kFirstName), &QVVCardElem::formattedFirstName},
        {QString::fromLatin1(contactkey::kLastName), &QVVCardElem::formattedLastName},
        {QString::fromLatin1(contactkey::kJobTitle), &QVVCardElem::formattedJobTitle},
        {QString::fromLatin1(contactkey::kNotes), &QVVCardElem::formattedNotes},
        {QString::fromLatin1(contactkey::kStreet), &QVVCardElem::formattedStreet},
        {QString::fromLatin1(contactkey::kCity), &QVVCardElem::formattedCity},
        {QString::fromLatin1(contactkey::kState), &QVVCardElem::formattedState},
        {QString::fromLatin1(contactkey::kPostalCode), &QVVCardElem::formattedZip},
        {QString::fromLatin1(contactkey::kCountry), &QVVCardElem::formattedCountry},
        {platform::entity::PhoneNumber, &QVVCardElem::formattedPhoneNumber},
        {platform::entity::EmailAddress, &QVVCardElem::formattedEmail},
        {platform::entity::URL, &QVVCardElem::formattedURL},
    };
    if (fieldName.isNull() || value.typeId() != QMetaType::QString)
        return value;
    const auto found = formatters.constFind(fieldName);
    if (found == formatters.cend())
        return value;
    return (this->*found.value())(value.toString());
}

QString QVVCardElem::getFieldName(const QVariantMap& record, const QString& fieldKey) const
{
    if (fieldKey == kValueField)
        return record.value(platform::ISyncRecordEntityNameKey).toString();
    return fieldKey;
}

bool QVVCardElem::isValidPhoneNumberChar(QChar c) const
{
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    const QString allowed = full ? full->allowedCharsInPhoneNumber() : QString();
    return allowed.isEmpty() || allowed.contains(c);
}

bool QVVCardElem::mustBeUnique(const QString& key) const
{
    return _syncDescription && _syncDescription->nonNilValueFromDescription(key) != 0;
}

void QVVCardElem::formatAllEntries()
{
    QVSyncEngineElem::formatAllEntries();
    if (!_vxDict)
        return;
    QVariantMap& others = _vxDict->otherDict();
    for (auto it = others.begin(); it != others.end(); ++it) {
        if (it.value().typeId() != QMetaType::QVariantMap)
            continue;
        QVariantMap sub = it.value().toMap();
        const QString entity = sub.value(platform::ISyncRecordEntityNameKey).toString();
        bool changed = false;
        if (entity == platform::entity::PhoneNumber || entity == platform::entity::EmailAddress) {
            const QVariant value = sub.value(kValueField);
            const QVariant formatted = getFormattedString(value, entity);
            changed = formatted != value;
            sub.insert(kValueField, formatted);
        } else if (entity == platform::entity::URL) {
            const QVariant value = sub.value(kValueField);
            const QString text = value.typeId() == QMetaType::QUrl ? value.toUrl().toString() : value.toString();
            const QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(text));
            const QString formatted = formattedURL(escaped);
            if (formatted != escaped) {
                sub.insert(kValueField, QUrl(QUrl::fromPercentEncoding(formatted.toLatin1())));
                changed = true;
            }
        } else if (entity == platform::entity::StreetAddress) {
            for (auto field = sub.begin(); field != sub.end(); ++field) {
                if (field.key() == kTypeField || field.key() == platform::ISyncRecordEntityNameKey)
                    continue;
                const QVariant formatted = getFormattedString(field.value(), field.key());
                if (formatted != field.value()) {
                    field.value() = formatted;
                    changed = true;
                }
            }
        }
        if (changed)
            it.value() = sub;
    }
}

QString QVVCardElem::evaluateFirstLastCombi(long limit) const
{
    const QString first = formattedFirstName(mainText(contactkey::kFirstName));
    const QString last = formattedLastName(mainText(contactkey::kLastName));
    if (first.size() + last.size() <= limit)
        return first;
    const qsizetype remaining = qsizetype(limit) - last.size();
    if (remaining >= 2)
        return first.left(remaining - 1) + u'.';
    if (remaining == 1)
        return first.left(1);
    return QLatin1String("");
}

QStringList QVVCardElem::getMainSyncItems() const
{
    return mainSyncFields();
}

QString QVVCardElem::mainDictFieldForCommandType(const QString& type) const
{
    return listKeyForCommandType(type);
}

// ---- Applying the desktop's changes

bool QVVCardElem::processSyncEngineChange(const QString& recordId, const QVariantMap& change)
{
    const QString name = change.value(platform::ISyncChangePropertyNameKey).toString();
    if (isListKey(name))
        adjustSubList(name, change.value(platform::ISyncChangePropertyValueKey));
    else if (name == kTypeField)
        removeRelationForSubItem(recordId); // its parameters described the old type
    const bool applied = QVSyncEngineElem::processSyncEngineChange(recordId, change);
    // A change applied without marking the item changed (during a phone
    // session) must not leave the old rendering or search text behind.
    if (applied) {
        invalidateVCardString();
        _contentString = QString();
    }
    return applied;
}

QVariantMap* QVVCardElem::getOrCreateDictForUUID(const QString& uuid)
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

void QVVCardElem::deleteSubItem(const QString& uuid)
{
    QVSyncEngineElem::deleteSubItem(uuid);
    if (!_vxDict)
        return;
    for (const QString& list : listKeys())
        _vxDict->deleteRelation(list, uuid);
}

void QVVCardElem::removeRelationForSubItem(const QString& uuid)
{
    const QVariant sub = otherItem(uuid);
    if (!_vxDict || sub.typeId() != QMetaType::QVariantMap)
        return;
    const QString list = listKeyForEntity(sub.toMap().value(platform::ISyncRecordEntityNameKey).toString());
    if (!list.isNull())
        _vxDict->removeRelationForSubItem(uuid, VXDictionary::kRelationsPrefix + list);
}

bool QVVCardElem::removeItemsForEntity(const QString& entityName)
{
    const bool removed = QVSyncEngineElem::removeItemsForEntity(entityName);
    const QString list = listKeyForEntity(entityName);
    if (removed && !list.isNull()) {
        _vxDict->removeDeviceRelationsFortype(list);
        _vxDict->setMainObject(QVariantList(), list);
    }
    return removed;
}

void QVVCardElem::removeDeviceRelations()
{
    if (_vxDict) {
        for (const QString& list : listKeys())
            _vxDict->removeDeviceRelationsFortype(list);
    }
    QVSyncEngineElem::removeDeviceRelations();
}

void QVVCardElem::setChanged()
{
    QVSyncEngineElem::setChanged();
    invalidateVCardString();
    _contentString = QString();
}

void QVVCardElem::complementTypeInfo()
{
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    if (!full)
        return;
    if (!full->hasURLTypes())
        complementTypeInfoForType(QString::fromLatin1(contactkey::kURLs));
    if (!full->hasEMailTypes())
        complementTypeInfoForType(QString::fromLatin1(contactkey::kEmailAddresses));
}

void QVVCardElem::complementTypeInfoForType(const QString& listKey)
{
    if (!_vxDict)
        return;
    const QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    for (const QVariant& id : ids) {
        const QVariant sub = _vxDict->otherObjectForKey(id.toString());
        if (sub.typeId() != QMetaType::QVariantMap)
            continue;
        QVariantMap record = sub.toMap();
        makeSubEntryValid(record, listKey);
        if (record != sub.toMap())
            _vxDict->setOtherObject(record, id.toString());
    }
}

void QVVCardElem::makeSubEntryValid(QVariantMap& subRecord, const QString& listKey)
{
    if (!subRecord.value(kTypeField).toString().isEmpty())
        return;
    if (listKey == QLatin1String(contactkey::kURLs))
        subRecord.insert(kTypeField, QStringLiteral("home page"));
    else if (isListKey(listKey))
        subRecord.insert(kTypeField, QStringLiteral("home"));
}

void QVVCardElem::addRecordToList(QVariantList& list) const
{
    QVSyncEngineElem::addRecordToList(list);
    if (!_vxDict)
        return;
    const QVariantMap others = _vxDict->realDictionary().value(VXDictionary::kOtherItems).toMap();
    for (auto it = others.cbegin(); it != others.cend(); ++it)
        list.append(QVariantMap{{kRecordDict, it.value()}, {kRecordID, it.key()}});
}

void QVVCardElem::inheritedFromZombie(const QVSyncElem& zombie)
{
    QVSyncEngineElem::inheritedFromZombie(zombie);
    const auto* earlier = dynamic_cast<const QVSyncEngineElem*>(&zombie);
    if (!_vxDict || !earlier || !earlier->vxDict())
        return;
    for (const QString& list : listKeys()) {
        const QVariantMap relations = earlier->vxDict()->getRelations(list).toMap();
        if (relations.isEmpty())
            continue;
        const QString key = VXDictionary::kRelationsPrefix + list;
        QVariantMap section = _vxDict->objectForKey(key).toMap();
        for (auto it = relations.cbegin(); it != relations.cend(); ++it)
            section.insert(it.key(), it.value());
        _vxDict->setObject(section, key);
    }
}

bool QVVCardElem::isMemberOfRequestedGroups(const QStringList& groups)
{
    if (groups.isEmpty())
        return true;
    if (!_vxDict || !_vxDict->realDictionary().contains(VXDictionary::kGroups))
        return false;
    const QVariantList mine = _vxDict->objectForKey(VXDictionary::kGroups).toList();
    for (const QVariant& group : mine) {
        if (groups.contains(group.toString()))
            return true;
    }
    return false;
}
