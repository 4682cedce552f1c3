// Merging a contact read from the phone into the stored contact of the same
// identity: what the new one adds becomes changes for the desktop sync engine.
#include "syncmodel/QVVCardElem.h"

#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ContactFields.h"
#include "syncmodel/SyncElemLookup.h"

#include <QUrl>

using namespace contactfields;
using namespace contactkey;

namespace {

const QString kContactField = QStringLiteral("contact");

bool isMissing(const QVariant& value)
{
    return !value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QString valueText(const QVariant& value)
{
    return value.typeId() == QMetaType::QUrl ? value.toUrl().toString() : value.toString();
}

bool isIdentityField(const QString& field)
{
    return field == QLatin1String(kFirstName) || field == QLatin1String(kLastName)
        || field == QLatin1String(kMiddleName) || field == QLatin1String(kSuffix)
        || field == QLatin1String(kCompanyName);
}

} // namespace

qsizetype QVVCardElem::findRight(const QString& number, const QStringList& numbers)
{
    if (number.isEmpty())
        return -1; // an empty number would end every other
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const QString& other = numbers.at(i);
        if (other.isEmpty())
            continue;
        if (other.endsWith(number) || number.endsWith(other))
            return i;
    }
    return -1;
}

QString QVVCardElem::addressIdent(const QVariant& address)
{
    if (address.typeId() != QMetaType::QVariantMap)
        return QLatin1String("");
    const QVariantMap map = address.toMap();
    return map.value(QString::fromLatin1(kCity)).toString() + map.value(QString::fromLatin1(kStreet)).toString();
}

void QVVCardElem::takeSubRecord(QVVCardElem& other, const QString& id, const QString& listKey, SyncElemLookup* elemList)
{
    QVariantMap sub = other._vxDict->otherObjectForKey(id).toMap();
    sub.insert(kContactField, QVariantList{elemUUID()});
    _vxDict->setOtherObject(sub, id);
    QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    ids.append(id);
    _vxDict->setMainObject(ids, listKey);
    elemList->addChangeForSyncEngine(platform::SyncChange(platform::SyncChange::Add, id, makeChangesForRecord(sub)));
    const QVariant relation = other._vxDict->getTheRelation(listKey, id);
    if (relation.isValid())
        _vxDict->setRelation(relation.toList(), listKey, id);
}

void QVVCardElem::mergeList(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes, const QString& listKey,
                            const KeyOf& keyOf, const FindKey& find, const OnMatch& onMatch)
{
    QStringList keys;
    const QVariantList mine = _vxDict->mainObjectForKey(listKey).toList();
    for (const QVariant& id : mine)
        keys.append(keyOf(otherItem(id.toString()).toMap()));
    bool added = false;
    for (const QVariant& idValue : other._vxDict->mainObjectForKey(listKey).toList()) {
        const QString id = idValue.toString();
        const QVariant newSub = other.otherItem(id);
        if (newSub.typeId() != QMetaType::QVariantMap)
            continue;
        const QString key = keyOf(newSub.toMap());
        const qsizetype index = find(key, keys);
        if (index < 0) {
            takeSubRecord(other, id, listKey, elemList);
            keys.append(key);
            added = true;
            continue;
        }
        const QString storedId = mine.value(index).toString();
        if (onMatch)
            onMatch(storedId, newSub.toMap(), key, keys[index]);
        const QVariant relation = other._vxDict->getTheRelation(listKey, id);
        if (relation.isValid())
            _vxDict->setRelation(relation.toList(), listKey, storedId);
    }
    if (added)
        changes.append(platform::SyncChange::setChange(listKey, _vxDict->mainObjectForKey(listKey)));
}

void QVVCardElem::mergePhones(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes)
{
    const auto reduced = [](const QVariantMap& sub) { return purePhoneNumber(valueText(sub.value(kValueField))); };
    const auto find = [](const QString& number, const QStringList& numbers) {
        const qsizetype index = numbers.indexOf(number);
        return index >= 0 ? index : findRight(number, numbers);
    };
    // The longer form of a matched number wins.
    const auto takeLonger = [this, elemList](const QString& storedId, const QVariantMap& incoming,
                                             const QString& number, QString& storedNumber) {
        const QString newValue = valueText(incoming.value(kValueField));
        QVariantMap stored = otherItem(storedId).toMap();
        if (number.size() <= storedNumber.size() && newValue.size() <= valueText(stored.value(kValueField)).size())
            return;
        stored.insert(kValueField, newValue);
        _vxDict->setOtherObject(stored, storedId);
        storedNumber = number;
        elemList->addChangeForSyncEngine(platform::SyncChange(
            platform::SyncChange::Modify, storedId, {platform::SyncChange::setChange(kValueField, newValue)}));
    };
    mergeList(other, elemList, changes, QString::fromLatin1(kPhoneNumbers), reduced, find, takeLonger);
}

void QVVCardElem::mergeStandardType(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes,
                                    const QString& listKey)
{
    const auto value = [](const QVariantMap& sub) { return valueText(sub.value(kValueField)); };
    const auto find = [](const QString& text, const QStringList& values) { return values.indexOf(text); };
    mergeList(other, elemList, changes, listKey, value, find, {});
}

void QVVCardElem::mergeAddresses(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes)
{
    const auto ident = [](const QVariantMap& sub) { return addressIdent(sub); };
    const auto find = [](const QString& text, const QStringList& idents) { return idents.indexOf(text); };
    // The fields the stored address lacks, in one change.
    const auto complete = [this, elemList](const QString& storedId, const QVariantMap& incoming, const QString&,
                                           QString&) {
        QVariantMap stored = otherItem(storedId).toMap();
        QVariantList fieldChanges;
        for (const char* field : {kStreet, kCity, kState, kPostalCode, kCountry, "type"}) {
            const QString key = QString::fromLatin1(field);
            const QVariant value = incoming.value(key);
            if (!isMissing(value) && isMissing(stored.value(key))) {
                stored.insert(key, value);
                fieldChanges.append(platform::SyncChange::setChange(key, value));
            }
        }
        if (fieldChanges.isEmpty())
            return;
        _vxDict->setOtherObject(stored, storedId);
        elemList->addChangeForSyncEngine(platform::SyncChange(platform::SyncChange::Modify, storedId, fieldChanges));
    };
    mergeList(other, elemList, changes, QString::fromLatin1(kStreetAddresses), ident, find, complete);
}

void QVVCardElem::mergeDeviceSpecifics(QVVCardElem& other, SyncElemLookup*)
{
    const QVariantMap incoming = other._vxDict->objectForKey(VXDictionary::kDeviceItems).toMap();
    if (incoming.isEmpty())
        return;
    QVariantMap& mine = _vxDict->deviceDict();
    for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
        if (!mine.contains(it.key()))
            mine.insert(it.key(), it.value());
    }
}

void QVVCardElem::mergeElement(QVSyncEngineElem& other, SyncElemLookup* elemList)
{
    auto* incoming = dynamic_cast<QVVCardElem*>(&other);
    if (!incoming || !incoming->_vxDict || !_vxDict || !elemList)
        return;
    const std::shared_ptr<QVSyncElem> self = weak_from_this().lock();
    const std::shared_ptr<QVSyncElem> newElem = other.weak_from_this().lock();

    if (!elemList->wantsSyncChangesFromEngine(_property)) {
        if (self)
            elemList->removeElem(self);
        if (newElem) {
            elemList->addElem(newElem);
            elemList->tellSyncEngineAboutNewElem(newElem, false);
        }
        return;
    }
    if (!elemList->wantsSyncChangesFromDevice(_property)) {
        setSourceURI(incoming->sourceURI());
        setChanged();
        if (newElem)
            elemList->removeElem(newElem);
        return;
    }

    const std::shared_ptr<SyncDeviceLimits> description = _syncDescription;
    const QString newRendering = incoming->vxDataForDevice(description).toString();

    const QVariant newId = incoming->_vxDict->objectForKey(VXDictionary::kSourceURI);
    if (newId.isValid() && !newId.toString().isEmpty()) {
        if (!isOnDevice())
            setSourceURI(newId.toString());
        else if (sourceURI() != newId.toString())
            elemList->addElemForDeletion(QVSyncElem::elemForDeletion(newId.toString())); // a phone duplicate
    }

    QVariantList changes;
    for (const QString& field : getMainSyncItems()) {
        if (isIdentityField(field))
            continue;
        const QVariant value = incoming->_vxDict->mainObjectForKey(field);
        if (!isMissing(value) && isMissing(_vxDict->mainObjectForKey(field))) {
            _vxDict->setMainObject(value, field);
            changes.append(platform::SyncChange::setChange(field, value));
        }
    }
    mergePhones(*incoming, elemList, changes);
    mergeStandardType(*incoming, elemList, changes, QString::fromLatin1(kEmailAddresses));
    mergeStandardType(*incoming, elemList, changes, QString::fromLatin1(kURLs));
    mergeAddresses(*incoming, elemList, changes);
    mergeDeviceSpecifics(*incoming, elemList);

    const QString notesKey = QString::fromLatin1(kNotes);
    const QString newNotes = incoming->mainText(kNotes);
    if (!newNotes.isEmpty()) {
        const QString notes = mainText(kNotes);
        QString merged;
        if (notes.isEmpty() || newNotes.contains(notes))
            merged = newNotes;
        else if (!notes.contains(newNotes))
            merged = newNotes + u'\r' + notes;
        if (!merged.isNull() && merged != notes) {
            _vxDict->setMainObject(merged, notesKey);
            changes.append(platform::SyncChange::setChange(notesKey, merged));
        }
    }

    if (!changes.isEmpty())
        elemList->addChangeForSyncEngine(platform::SyncChange(platform::SyncChange::Modify, elemUUID(), changes));
    invalidateVCardString();
    _contentString = QString();
    if (equalVXDataItems(vxDataForDevice(description).toString(), newRendering))
        clearChanged();
    else
        setChanged();
    QVLOG(qvlog::kVCard, QStringLiteral("##### Existing Element after merge: %1").arg(_vxDict->description()));
}
