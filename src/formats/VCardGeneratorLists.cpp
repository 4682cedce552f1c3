// The four lists of a contact (telephone numbers, e-mail addresses, URLs,
// postal addresses): each obeys the phone's limit and, where the phone asks
// for it, one entry per type. Entries the phone already holds go back with the
// parameters it gave them; new ones are fitted into the free slots.
#include "formats/VCardGenerator.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/VCardEncoding.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "foundation/NamedLog.h"

namespace {

const QString kType = QStringLiteral("type");
const QString kHome = QStringLiteral("HOME");
const QString kWork = QStringLiteral("WORK");
const QString kCell = QStringLiteral("CELL");
const QString kFax = QStringLiteral("FAX");
const QString kSonyFormat = QStringLiteral("Sony");
constexpr long kSevenSlotLimit = 7;

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

} // namespace

bool VCardGenerator::beginList(ListRun& run, ListKind kind, const char* listKey, const char* limitKey,
                               const char* uniqueKey)
{
    run.kind = kind;
    run.listKey = QLatin1String(listKey);
    const QVariant list = _vxDict->mainObjectForKey(run.listKey);
    if (!isList(list))
        return false;
    for (const QVariant& id : list.toList()) {
        if (id.typeId() == QMetaType::QString && !run.idSet.contains(id.toString())) {
            run.ids.append(id.toString());
            run.idSet.insert(id.toString());
        }
    }
    run.limit = _syncDescription.nonNilValueFromDescription(QLatin1String(limitKey));
    run.unique = _syncDescription.nonNilBOOLFromDescription(QLatin1String(uniqueKey));
    return !run.ids.isEmpty() && run.limit > 0;
}

bool VCardGenerator::isDone(const ListRun& run) const
{
    if (run.count >= run.limit)
        return true;
    return run.written == run.ids.size();
}

QVariant VCardGenerator::subRecord(const ListRun& run, const QString& uuid) const
{
    if (!run.idSet.contains(uuid))
        return {};
    const QVariant record = _vxDict->otherObjectForKey(uuid);
    return record.typeId() == QMetaType::QVariantMap ? record : QVariant();
}

bool VCardGenerator::isEmptyEntry(const ListRun& run, const QVariant& record) const
{
    using namespace contactkey;
    const QVariantMap fields = record.toMap();
    switch (run.kind) {
    case ListKind::Phone:
    case ListKind::Email:
        return textValue(fields.value(QLatin1String(kSubRecordValue))).isEmpty();
    case ListKind::URL:
        return stringValueForItem(fields.value(QLatin1String(kSubRecordValue))).isEmpty();
    case ListKind::Address:
        for (const char* field : {kStreet, kCity, kState, kPostalCode, kCountry}) {
            if (!textValue(fields.value(QLatin1String(field))).isEmpty())
                return false;
        }
        return true;
    }
    return true;
}

QString VCardGenerator::entryLine(const ListRun& run, const QVariant& record, const QString& typeText) const
{
    const QVariant value = record.toMap().value(QLatin1String(kSubRecordValue));
    switch (run.kind) {
    case ListKind::Phone:
    case ListKind::Email: {
        // Numbers and addresses go as they are unless they hold a line break.
        // A type without text adds no parameter: "EMAIL;:x" would not be read
        // back.
        return createVerbatimLine(run.kind == ListKind::Phone ? QStringLiteral("TEL") : QStringLiteral("EMAIL"),
                                  typeText, textValue(value));
    }
    case ListKind::URL:
        return createTypedEncodedLine(QStringLiteral("URL"), typeText, stringValueForItem(value));
    case ListKind::Address:
        return addressLine(record, typeText);
    }
    return QString();
}

VCardGenerator::BuiltParams VCardGenerator::buildParams(const ListRun& run, const QVariantList& params) const
{
    const bool phone = run.kind == ListKind::Phone;
    BuiltParams built;
    QStringList texts;
    for (const QVariant& entry : params) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap map = entry.toMap();
        const QString name = textValue(map.value(VXDictionary::kRelationKey));
        const QVariant valuesValue = map.value(VXDictionary::kRelationValues);
        const QVariantList values = isList(valuesValue) ? valuesValue.toList() : QVariantList();
        if (values.isEmpty()) {
            if (!name.isEmpty())
                texts.append(name);
            continue;
        }
        for (const QVariant& item : values) {
            const QString value = textValue(item);
            if (value.isEmpty())
                continue;
            const bool isFax = phone && value.compare(kFax, Qt::CaseInsensitive) == 0;
            if (isFax && _untypedFax && (built.kind == Kind::Home || built.kind == Kind::Work))
                texts.clear();                  // the phone keeps one fax without HOME or WORK
            texts.append(name == kType ? typeString(value) : name + u'=' + value);
            if (value.compare(kHome, Qt::CaseInsensitive) == 0)
                built.kind = Kind::Home;
            else if (value.compare(kWork, Qt::CaseInsensitive) == 0)
                built.kind = Kind::Work;
            else if (isFax)
                built.kind = built.kind == Kind::Home ? Kind::HomeFax
                             : built.kind == Kind::Work ? Kind::WorkFax
                                                        : Kind::Fax;
            else if (phone && value.compare(kCell, Qt::CaseInsensitive) == 0)
                built.kind = Kind::Mobile;
        }
    }
    built.typeText = texts.join(u';');
    return built;
}

void VCardGenerator::markWritten(ListRun& run, const QString& uuid)
{
    if (!_addedUUIDs.contains(uuid)) {
        _addedUUIDs.insert(uuid);
        ++run.written;
    }
}

QString VCardGenerator::nextForType(ListRun& run, const char* type, bool allowOtherTypes)
{
    // Every entry before firstOpen is written: walks start there.
    while (run.firstOpen < run.ids.size() && _addedUUIDs.contains(run.ids[run.firstOpen]))
        ++run.firstOpen;
    const auto take = [&](bool anyType) -> QString {
        for (qsizetype i = run.firstOpen; i < run.ids.size(); ++i) {
            const QString& id = run.ids[i];
            if (_addedUUIDs.contains(id))
                continue;
            const QVariant record = subRecord(run, id);
            if (!anyType && textValue(record.toMap().value(QLatin1String(kSubRecordType))) != QLatin1String(type))
                continue;
            markWritten(run, id);
            if (record.isValid() && !isEmptyEntry(run, record))
                return id;
        }
        return QString();
    };
    const QString id = type ? take(false) : QString();
    if (!id.isNull() || !allowOtherTypes)
        return id;
    return take(true);
}

std::optional<QVariantList> VCardGenerator::storedParams(const ListRun& run, const QString& uuid,
                                                         const QVariant& relation)
{
    if (!subRecord(run, uuid).isValid()) {
        _vxDict->deleteRelation(run.listKey, uuid);
        return std::nullopt;
    }
    if (!isList(relation))
        return std::nullopt;                    // damaged: the entry is fitted in as a new one
    return filterDeviceSpecifics(relation.toList());
}

void VCardGenerator::writeNew(ListRun& run, const QString& uuid, const QString& typeText, const QVariantList& relation)
{
    appendVCardLine(entryLine(run, subRecord(run, uuid), typeText));
    setDeviceRelation(relation, run.listKey, uuid);
    rememberItem(uuid);
    ++run.count;
}

void VCardGenerator::writeStored(ListRun& run)
{
    const QVariantMap relations = _vxDict->getRelations(run.listKey).toMap();
    for (auto it = relations.cbegin(); it != relations.cend() && run.count < run.limit; ++it) {
        if (_addedUUIDs.contains(it.key()))
            continue;
        const auto params = storedParams(run, it.key(), it.value());
        if (!params)
            continue;
        const BuiltParams built = buildParams(run, *params);
        appendVCardLine(entryLine(run, subRecord(run, it.key()), built.typeText));
        rememberItem(it.key());
        markWritten(run, it.key());
        ++run.count;
        if (built.kind == Kind::Home)
            ++run.slots[Home];
        else if (built.kind == Kind::Work)
            ++run.slots[Work];
    }
}

bool VCardGenerator::slotFree(const ListRun& run, Kind kind) const
{
    switch (kind) {
    case Kind::None:
        return run.slots[Untyped] == 0;
    case Kind::Home:
        return run.slots[Home] == 0;
    case Kind::Work:
        return run.slots[Work] == 0;
    case Kind::Mobile:
        return run.slots[Mobile] == 0;
    case Kind::HomeFax:
    case Kind::WorkFax: {
        const bool own = run.slots[kind == Kind::HomeFax ? HomeFax : WorkFax] == 0;
        const bool other = run.slots[kind == Kind::HomeFax ? WorkFax : HomeFax] == 0;
        return own && (!_sevenSlots || other);
    }
    case Kind::Fax:
        return false;
    }
    return false;
}

void VCardGenerator::takeSlot(ListRun& run, Kind kind) const
{
    switch (kind) {
    case Kind::None:
        ++run.slots[Untyped];
        break;
    case Kind::Home:
        ++run.slots[Home];
        break;
    case Kind::Work:
        ++run.slots[Work];
        break;
    case Kind::Mobile:
        ++run.slots[Mobile];
        break;
    case Kind::HomeFax:
    case Kind::WorkFax:
        if (_untypedFax) {
            ++run.slots[HomeFax];
            ++run.slots[WorkFax];
        } else {
            ++run.slots[kind == Kind::HomeFax ? HomeFax : WorkFax];
        }
        break;
    case Kind::Fax:
        break;
    }
}

void VCardGenerator::writeStoredPhones(ListRun& run)
{
    const QVariantMap relations = _vxDict->getRelations(run.listKey).toMap();
    const auto pass = [&](bool firstPass) {
        for (auto it = relations.cbegin(); it != relations.cend() && run.count < run.limit; ++it) {
            const QString& uuid = it.key();
            if (_addedUUIDs.contains(uuid))
                continue;
            QVLOG(qvlog::kVCard,
                  (firstPass ? QStringLiteral("handle UUID: ") : QStringLiteral("Checking UUID: ")) + uuid);
            const auto params = storedParams(run, uuid, it.value());
            if (!params)
                continue;
            const BuiltParams built = buildParams(run, *params);
            rememberItem(uuid);
            const bool mainKind = built.kind == Kind::Home || built.kind == Kind::Work || built.kind == Kind::Mobile;
            const bool write = firstPass ? mainKind && slotFree(run, built.kind)
                                         : built.kind != Kind::Fax && (!run.unique || slotFree(run, built.kind));
            if (!write)
                continue;
            appendVCardLine(entryLine(run, subRecord(run, uuid), built.typeText));
            markWritten(run, uuid);
            ++run.count;
            takeSlot(run, built.kind);
        }
    };
    if (run.unique)
        pass(true);
    pass(false);
}

void VCardGenerator::writeUntyped(ListRun& run)
{
    while (!isDone(run)) {
        const QString uuid = nextForType(run, nullptr, true);     // the next entry, whatever its type
        if (uuid.isNull())
            return;
        const QVariant record = subRecord(run, uuid);
        writeNew(run, uuid, typeStringForItem(record), relationArrayForItem(record));
    }
}

void VCardGenerator::writeTyped(ListRun& run, const char* type, bool allowOtherTypes, const QStringList& words)
{
    const QString uuid = nextForType(run, type, allowOtherTypes);
    if (uuid.isNull())
        return;
    QStringList texts;
    QVariantList relation;
    for (const QString& word : words) {
        texts.append(typeString(word));
        relation.append(relationDictionary(kType, word));
    }
    writeNew(run, uuid, texts.join(u';'), relation);
}

void VCardGenerator::writeUniqueSweeps(ListRun& run)
{
    const bool phone = run.kind == ListKind::Phone;
    const bool gigaset = phone && _syncDescription.isGigaset();
    for (int sweep = 0;; ++sweep) {
        const bool allowOtherTypes = sweep > 0 && !gigaset;
        const int countBefore = run.count;
        const bool homeFaxFree = slotFree(run, Kind::HomeFax);
        const bool workFaxFree = slotFree(run, Kind::WorkFax);
        // Each step fills its slot when it is free and the run goes on.
        const auto fill = [&](Slot slot, const char* type, const QStringList& words, bool free) {
            if (isDone(run) || !free)
                return;
            const int before = run.count;
            writeTyped(run, type, allowOtherTypes, words);
            if (run.count > before)
                ++run.slots[slot];
        };
        fill(Home, "home", {kHome}, run.slots[Home] == 0);
        fill(Work, "work", {kWork}, run.slots[Work] == 0);
        if (phone) {
            fill(Mobile, "mobile", {kCell}, run.slots[Mobile] == 0);
            const QStringList homeFax = _untypedFax ? QStringList{kFax} : QStringList{kHome, kFax};
            const QStringList workFax = _untypedFax ? QStringList{kFax} : QStringList{kWork, kFax};
            const int beforeFax = run.count;
            fill(HomeFax, "home fax", homeFax, homeFaxFree);
            if (_untypedFax && run.count > beforeFax)
                ++run.slots[WorkFax];
            const int beforeWorkFax = run.count;
            fill(WorkFax, "work fax", workFax, workFaxFree);
            if (_untypedFax && run.count > beforeWorkFax)
                ++run.slots[HomeFax];
            if (_sevenSlots) {
                fill(HomeMobile, "mobile", {kCell, kHome}, run.slots[HomeMobile] == 0);
                fill(WorkMobile, "mobile", {kCell, kWork}, run.slots[WorkMobile] == 0);
            }
        }
        if (!isDone(run)) {
            const QString uuid = nextForType(run, "other", allowOtherTypes);
            if (!uuid.isNull()) {
                const QVariant record = subRecord(run, uuid);
                writeNew(run, uuid, typeStringForItem(record), relationArrayForItem(record));
            }
        }
        if (isDone(run) || gigaset || (sweep > 0 && run.count == countBefore))
            return;
    }
}

void VCardGenerator::addList(ListKind kind, const char* listKey, const char* limitKey, const char* uniqueKey)
{
    ListRun run;
    if (!beginList(run, kind, listKey, limitKey, uniqueKey))
        return;
    if (kind == ListKind::Phone) {
        const bool sony = textValue(_syncDescription.vxFormat()) == kSonyFormat;
        _untypedFax = sony || _syncDescription.isSamsungAT();
        _sevenSlots = sony && run.limit == kSevenSlotLimit;
        writeStoredPhones(run);
    } else {
        writeStored(run);
    }
    if (isDone(run))
        return;
    if (run.unique)
        writeUniqueSweeps(run);
    else
        writeUntyped(run);
}

void VCardGenerator::addPhones()
{
    addList(ListKind::Phone, contactkey::kPhoneNumbers, "SyncML.MaxNo_PhoneNumbers", "SyncML.Unique_PhoneNumberType");
}

void VCardGenerator::addEmails()
{
    addList(ListKind::Email, contactkey::kEmailAddresses, "SyncML.MaxNo_Emails", "SyncML.Unique_EmailType");
}

void VCardGenerator::addURLs()
{
    addList(ListKind::URL, contactkey::kURLs, "SyncML.MaxNo_URLs", "SyncML.Unique_URLType");
}

void VCardGenerator::addStreetAddresses()
{
    addList(ListKind::Address, contactkey::kStreetAddresses, "SyncML.MaxNo_Addresses", "SyncML.Unique_AddressType");
}
