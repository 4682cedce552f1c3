// Change detection: the differences between the stored contact and a newly
// read phone version become desktop changes of the contact and its
// sub-records; the phone-side parameters are brought up to date.
#include "syncmodel/QVVCardElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/VCardRelations.h"
#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ContactFields.h"

#include <QDateTime>
#include <QSet>
#include <QTimeZone>
#include <QUrl>

using namespace contactfields;
using namespace contactkey;
using platform::SyncChange;

namespace {

const QString kContactField = QStringLiteral("contact");
const QString kBirthdayField = QStringLiteral("birthday");

const QStringList& ignoredTypes()
{
    static const QStringList types{QStringLiteral("VOICE"), QStringLiteral("INTERNET"), QStringLiteral("MAIN"),
                                   QStringLiteral("PREF")};
    return types;
}

const QSet<QString>& phoneSideKeys()
{
    static const QSet<QString> keys{
        QStringLiteral("mainEntry"),  QStringLiteral("subSlot"),    QStringLiteral("voicedial"),
        QStringLiteral("ringtone"),   QStringLiteral("iconID"),     QStringLiteral("logo"),
        QStringLiteral("categoryID"), QStringLiteral("categories"), QStringLiteral("picture")};
    return keys;
}

bool isMissing(const QVariant& value)
{
    return !value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QString valueText(const QVariant& value)
{
    return value.typeId() == QMetaType::QUrl ? value.toUrl().toString() : value.toString();
}

// Every entry of params is one of relation's.
bool within(const QVariantList& params, const QVariantList& relation)
{
    for (const QVariant& entry : params) {
        if (!relation.contains(entry))
            return false;
    }
    return true;
}

bool sameShape(const QVariantList& params, const QVariantList& relation)
{
    return params.size() == relation.size() && within(params, relation);
}

// A birthday as a day: a stored date-time moved back by its hour of day.
QString birthdayText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyyMMdd"));
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.addSecs(-qint64(date.time().hour()) * 3600).date().toString(QStringLiteral("yyyyMMdd"));
    }
    default:
        return makeStringFromObject(value);
    }
}

QVariant birthdayAtNoon(const QVariant& value)
{
    QDateTime date;
    if (value.typeId() == QMetaType::QDate)
        date = QDateTime(value.toDate(), QTime(0, 0), Qt::UTC);
    else if (value.typeId() == QMetaType::QDateTime)
        date = value.toDateTime();
    const QDateTime noon = highNoonGMTDate(date);
    return noon.isValid() ? QVariant(noon) : value;
}

QString fieldText(const QString& field, const QVariant& value)
{
    if (field == kBirthdayField)
        return birthdayText(value);
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray().toBase64());
    return makeStringFromObject(value);
}

// A URL object of a text, or an invalid value when the text is none.
QVariant urlOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QUrl)
        return value;
    const QString text = value.toString();
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return {};
    return url;
}

} // namespace

// ---- Entry points

std::optional<VCardDictionary> QVVCardElem::parsedVersion(QVSyncEngineElem& other)
{
    const QVariant raw = other.vxData();
    QString text = raw.typeId() == QMetaType::QByteArray ? getAsString(raw.toByteArray()) : raw.toString();
    if (text.isEmpty()) {
        if (auto* contact = dynamic_cast<QVVCardElem*>(&other))
            text = contact->foreignVCard21Representation(QSize());
    }
    if (text.isEmpty())
        return std::nullopt;
    auto cards = elemsForVCard(text);
    if (!cards)
        return std::nullopt;
    return cards->first();
}

QList<SyncChange> QVVCardElem::acceptChangesForElem(QVSyncEngineElem& other)
{
    const auto parsed = parsedVersion(other);
    if (!parsed || !_vxDict)
        return {};
    QList<SyncChange> changes;
    addContactChanges(*parsed, changes);
    return changes;
}

QList<SyncChange> QVVCardElem::acceptMotoChangesForElem(QVSyncEngineElem& other)
{
    return acceptChangesForElem(other);
}

QList<SyncChange> QVVCardElem::acceptVCardDictionaryChangesForElem(const VCardDictionary& dict)
{
    QList<SyncChange> changes;
    if (_vxDict)
        addContactChanges(dict, changes);
    return changes;
}

void QVVCardElem::acceptParamChangesForElem(QVSyncEngineElem& other)
{
    const auto parsed = parsedVersion(other);
    if (!parsed || !_vxDict)
        return;
    for (const QString& listKey : listKeys())
        addParamsContactOtherTypeChanges(*parsed, listKey);
    _vxDict->setObject(parsed->map().value(VCardDictionary::kDeviceSpecific), VXDictionary::kDeviceItems);
}

void QVVCardElem::addContactChanges(const VCardDictionary& dict, QList<SyncChange>& changes)
{
    QVLOG(qvlog::kVCard, QStringLiteral("##### OldElem:\n%1\n").arg(_vxDict->description()));
    QVLOG(qvlog::kVCard, QStringLiteral("***** NewElem:\n%1\n").arg(makeStringFromObject(dict.map())));
    QVariantMap incoming = dict.map();
    const QString firstKey = QString::fromLatin1(contactkey::kFirstName);
    const QString lastKey = QString::fromLatin1(contactkey::kLastName);
    const QString companyKey = QString::fromLatin1(kCompanyName);

    // A phone that shows the company as the name.
    QSet<QString> skipped;
    const QVSyncDeviceDescription* full = fullDescription(_syncDescription);
    if (full && full->copyCompanyToName()) {
        const QString newLast = incoming.value(lastKey).toString();
        const QString company = mainText(kCompanyName);
        if (incoming.value(firstKey).toString().isEmpty() && !newLast.isEmpty() && !company.isEmpty()) {
            if (company.startsWith(newLast)) {
                skipped = {firstKey, lastKey, companyKey};
            } else if (mainText(contactkey::kLastName).isEmpty()) {
                incoming.insert(companyKey, newLast);
                incoming.remove(lastKey);
            } else {
                skipped = {companyKey};
            }
        }
    }

    QVariantList mainChanges;
    const QVariantMap storedMain = _vxDict->realDictionary().value(VXDictionary::kMainDict).toMap();
    for (const QString& field : getMainSyncItems()) {
        if (skipped.contains(field))
            continue;
        const QVariant stored = storedMain.value(field);
        const QVariant value = incoming.value(field);
        if (isMissing(value)) {
            if (!isMissing(stored) && _vxDict->wasUUIDsent(field))
                mainChanges.append(SyncChange::clearChange(field));
        } else if (isMissing(stored) || fieldText(field, stored) != fieldText(field, value)) {
            mainChanges.append(SyncChange::setChange(field, field == kBirthdayField ? birthdayAtNoon(value) : value));
        }
    }
    for (const char* listKey : {kPhoneNumbers, kEmailAddresses, kURLs})
        addContactOtherTypeChanges(dict, changes, mainChanges, QString::fromLatin1(listKey));
    addContactAddressChanges(dict, changes, mainChanges);
    if (!mainChanges.isEmpty())
        changes.append(SyncChange(SyncChange::Modify, elemUUID(), mainChanges));
    _vxDict->setObject(incoming.value(VCardDictionary::kDeviceSpecific), VXDictionary::kDeviceItems);
}

void QVVCardElem::addContactAddressChanges(const VCardDictionary& dict, QList<SyncChange>& changes,
                                           QVariantList& mainChanges)
{
    addContactOtherTypeChanges(dict, changes, mainChanges, QString::fromLatin1(kStreetAddresses));
}

// ---- Matching one list

QVVCardElem::Candidates QVVCardElem::candidatesOf(const VCardDictionary& dict, const QString& listKey)
{
    Candidates items;
    const QVariantList entries = dict.map().value(listKey).toList();
    items.reserve(std::size_t(entries.size()));
    for (const QVariant& entry : entries) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        Candidate candidate;
        candidate.entry = entry.toMap();
        candidate.params = candidate.entry.value(VCardDictionary::kParams).toList();
        candidate.value = valueText(candidate.entry.value(kValueField));
        items.push_back(std::move(candidate));
    }
    return items;
}

void QVVCardElem::addContactOtherTypeChanges(const VCardDictionary& dict, QList<SyncChange>& changes,
                                             QVariantList& mainChanges, const QString& listKey)
{
    const bool isAddress = listKey == QLatin1String(kStreetAddresses);
    const bool isURL = listKey == QLatin1String(kURLs);
    Candidates items = candidatesOf(dict, listKey);
    QVariantList ids = _vxDict->mainObjectForKey(listKey).toList();
    if (items.empty() && ids.isEmpty())
        return;
    const QVariantMap others = _vxDict->realDictionary().value(VXDictionary::kOtherItems).toMap();
    bool listChanged = false;

    std::vector<std::pair<QString, QVariantList>> unmatched;
    const QVariant relations = _vxDict->getRelations(listKey);
    if (relations.isValid()) {
        const QVariantMap section = relations.toMap();
        for (const QVariant& idValue : ids) {
            const QString id = idValue.toString();
            const auto found = section.constFind(id);
            if (found == section.cend())
                continue;
            const QVariantMap stored = others.value(id).toMap();
            const QVariantList relation = found.value().toList();
            const bool equal = isAddress ? removeEqualAddressItem(items, stored, relation)
                                         : removeEqualItem(items, stored, relation);
            if (!equal)
                unmatched.emplace_back(id, relation);
        }
    }

    for (const auto& [id, relation] : unmatched) {
        const QVariantMap stored = others.value(id).toMap();
        MatchResult result = NoMatch;
        Candidate* match = isAddress ? similarAddressItem(items, stored, relation, &result)
                                     : similarItem(items, stored, relation, &result);
        if (match)
            match->consumed = true;
        if (result == Similar && isAddress) {
            const QVariantList fieldChanges = changeListForAddressItem(stored, match->entry);
            if (!fieldChanges.isEmpty())
                changes.append(SyncChange(SyncChange::Modify, id, fieldChanges));
        } else if (result == Similar) {
            QVariant value = match->entry.value(kValueField);
            if (isURL) {
                const QVariant url = urlOf(value);
                if (!url.isValid())
                    QVLOG(qvlog::kVCard,
                          QStringLiteral("addContactOthertypeChange: could not create NURL for %1")
                              .arg(value.toString()));
                value = url;
            }
            if (value.isValid())
                changes.append(SyncChange(SyncChange::Modify, id, {SyncChange::setChange(kValueField, value)}));
        } else if (result == NoMatch) {
            changes.append(SyncChange(SyncChange::Delete, id));
            _vxDict->deleteRelation(listKey, id);
            ids.removeAll(id);
            listChanged = true;
        }
    }

    const QString entity = entityForListKey(listKey);
    for (Candidate& item : items) {
        if (item.consumed)
            continue;
        const QString id = createQuorvalisPrimaryKey();
        QVariantMap sub = item.entry;
        sub.remove(VCardDictionary::kParams);
        makeSubEntryValid(sub, listKey);
        if (isURL) {
            const QVariant url = urlOf(sub.value(kValueField));
            if (url.isValid())
                sub.insert(kValueField, url);
            else
                QVLOG(
                    qvlog::kVCard,
                    QStringLiteral("QVVCardElem: could not create URL for %1").arg(sub.value(kValueField).toString()));
        }
        const QVariant relation = formatRelation(item.params);
        QVariantMap relationSection = _vxDict->objectForKey(VXDictionary::kRelationsPrefix + listKey).toMap();
        relationSection.insert(id, relation.isValid() ? relation : QVariant(QVariantList()));
        _vxDict->setObject(relationSection, VXDictionary::kRelationsPrefix + listKey);
        sub.insert(platform::ISyncRecordEntityNameKey, entity);
        sub.insert(kContactField, QVariantList{elemUUID()});
        changes.append(SyncChange(SyncChange::Add, id, makeChangesForRecord(sub)));
        ids.append(id);
        listChanged = true;
    }
    if (listChanged)
        mainChanges.append(SyncChange::setChange(listKey, ids));
}

void QVVCardElem::addParamsContactOtherTypeChanges(const VCardDictionary& dict, const QString& listKey)
{
    const QVariantMap section = _vxDict->getRelations(listKey).toMap();
    if (section.isEmpty())
        return;
    Candidates items = candidatesOf(dict, listKey);
    std::vector<std::pair<QString, QVariantList>> left;
    for (const QVariant& idValue : _vxDict->mainObjectForKey(listKey).toList()) {
        const QString id = idValue.toString();
        const auto found = section.constFind(id);
        if (found == section.cend())
            continue;
        if (!removeEqualItemNoIgnore(items, otherItem(id).toMap(), found.value().toList()))
            left.emplace_back(id, found.value().toList());
    }
    std::vector<std::pair<QString, QVariantList>> stillLeft;
    for (const auto& [id, relation] : left) {
        MatchResult result = NoMatch;
        Candidate* match = similarItem(items, otherItem(id).toMap(), relation, &result);
        if (!match) {
            stillLeft.emplace_back(id, relation);
            continue;
        }
        match->consumed = true;
        _vxDict->setRelation(match->params, listKey, id);
    }
    for (const auto& [id, relation] : stillLeft) {
        MatchResult result = NoMatch;
        Candidate* match = itemWithSameValue(items, otherItem(id).toMap(), relation, &result);
        if (match && result == Same) {
            match->consumed = true;
            _vxDict->setRelation(match->params, listKey, id);
        }
    }
}

// ---- Matching helpers

const QVariantList& QVVCardElem::Candidate::filteredParams()
{
    if (!_filtered)
        _filtered = removeIgnoredParams(params);
    return *_filtered;
}

QVariantList QVVCardElem::removeIgnoredParams(const QVariantList& params)
{
    QVariantList kept;
    kept.reserve(params.size());
    for (const QVariant& entry : params) {
        if (entry.typeId() != QMetaType::QVariantMap) {
            kept.append(entry);
            continue;
        }
        const auto* map = static_cast<const QVariantMap*>(entry.constData());
        const QVariant keyValue = map->value(VXDictionary::kRelationKey);
        const QString key = keyValue.toString();
        if (key == kTypeField) {
            const QVariant values = map->value(VXDictionary::kRelationValues);
            const QString first = values.typeId() == QMetaType::QVariantList
                ? static_cast<const QVariantList*>(values.constData())->value(0).toString()
                : values.toList().value(0).toString();
            if (ignoredTypes().contains(first))
                continue;
            if (first == QLatin1String("CELL"))
                kept.clear();
        } else if (phoneSideKeys().contains(key)) {
            continue;
        }
        kept.append(entry);
    }
    return kept;
}

QVariantList QVVCardElem::changeListForAddressItem(const QVariantMap& stored, const QVariantMap& entry)
{
    QVariantList changes;
    for (const char* field : {kStreet, kCity, kState, kPostalCode, kCountry}) {
        const QString key = QString::fromLatin1(field);
        const QVariant mine = stored.value(key);
        const QVariant theirs = entry.value(key);
        if (isMissing(mine) && isMissing(theirs))
            continue;
        if (!isMissing(mine) && !isMissing(theirs) && valueText(mine) == valueText(theirs))
            continue;
        if (isMissing(theirs))
            changes.append(SyncChange::clearChange(key));
        else
            changes.append(SyncChange::setChange(key, theirs));
    }
    return changes;
}

namespace {

// The first candidate with the stored value whose parameters are none or the
// relation's, consumed.
bool removeEqual(QVVCardElem::Candidates& items, const QVariantMap& stored, const QVariantList& relation, bool filtered)
{
    const QString value = valueText(stored.value(QVVCardElem::kValueField));
    std::optional<QVariantList> wanted;
    for (QVVCardElem::Candidate& item : items) {
        if (item.consumed || item.value != value)
            continue;
        const QVariantList& params = filtered ? item.filteredParams() : item.params;
        if (!params.isEmpty()) {
            if (!wanted)
                wanted = filtered ? QVVCardElem::removeIgnoredParams(relation) : relation;
            if (!sameShape(params, *wanted))
                continue;
        }
        item.consumed = true;
        return true;
    }
    return false;
}

} // namespace

bool QVVCardElem::removeEqualItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation)
{
    return removeEqual(items, stored, relation, true);
}

bool QVVCardElem::removeEqualItemNoIgnore(Candidates& items, const QVariantMap& stored, const QVariantList& relation)
{
    return removeEqual(items, stored, relation, false);
}

bool QVVCardElem::removeEqualAddressItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation)
{
    const QVariantList filtered = removeIgnoredParams(relation);
    for (Candidate& item : items) {
        if (item.consumed || !sameShape(item.filteredParams(), filtered))
            continue;
        if (changeListForAddressItem(stored, item.entry).isEmpty()) {
            item.consumed = true;
            return true;
        }
    }
    return false;
}

QVVCardElem::Candidate* QVVCardElem::similarItem(Candidates& items, const QVariantMap& stored,
                                                 const QVariantList& relation, MatchResult* result)
{
    const QString value = valueText(stored.value(kValueField));
    const QVariantList filtered = removeIgnoredParams(relation);
    Candidate* first = nullptr;
    for (Candidate& item : items) {
        if (item.consumed || !sameShape(item.filteredParams(), filtered))
            continue;
        if (item.value == value) {
            *result = Same;
            return &item;
        }
        if (!first)
            first = &item;
    }
    *result = first ? Similar : NoMatch;
    return first;
}

QVVCardElem::Candidate* QVVCardElem::similarAddressItem(Candidates& items, const QVariantMap& stored,
                                                        const QVariantList& relation, MatchResult* result)
{
    Candidate* best = nullptr;
    qsizetype fewest = 0;
    for (Candidate& item : items) {
        if (item.consumed || !sameShape(item.params, relation))
            continue;
        const qsizetype differences = changeListForAddressItem(stored, item.entry).size();
        if (differences == 0) {
            *result = Same;
            return &item;
        }
        if (!best || differences < fewest) {
            best = &item;
            fewest = differences;
        }
    }
    *result = best ? Similar : NoMatch;
    return best;
}

QVVCardElem::Candidate* QVVCardElem::itemWithSameValue(Candidates& items, const QVariantMap& stored,
                                                       const QVariantList&, MatchResult* result)
{
    const QString value = valueText(stored.value(kValueField));
    for (Candidate& item : items) {
        if (!item.consumed && item.value == value) {
            *result = Same;
            return &item;
        }
    }
    *result = NoMatch;
    return nullptr;
}
