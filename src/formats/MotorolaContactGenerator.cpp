#include "formats/MotorolaContactGenerator.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/VCardGenerator.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "foundation/NamedLog.h"
#include "foundation/ObjectDescription.h"
#include "foundation/QuickLog.h"

#include <QDate>
#include <QDateTime>
#include <QUrl>

#include <algorithm>
#include <array>
#include <optional>

namespace {

using namespace contactkey;

const QString kType = QStringLiteral("type");
const QString kValue = QStringLiteral("value");
const QString kAlarmSound = QStringLiteral("MotorolaCalendarCustomValueAlarmSound");

struct ListNames {
    QString listKey;
    QString outKey;
    QString limitKey;
    QString uniqueKey;
};

const ListNames kListNames[] = {
    {QLatin1String(kPhoneNumbers), QStringLiteral("phone"), QStringLiteral("SyncML.MaxNo_PhoneNumbers"),
     QStringLiteral("SyncML.Unique_PhoneNumberType")},
    {QLatin1String(kEmailAddresses), QStringLiteral("email"), QStringLiteral("SyncML.MaxNo_Emails"),
     QStringLiteral("SyncML.Unique_EmailType")},
    {QLatin1String(kURLs), QStringLiteral("url"), QStringLiteral("SyncML.MaxNo_URLs"),
     QStringLiteral("SyncML.Unique_URLType")},
    {QLatin1String(kStreetAddresses), QStringLiteral("address"), QStringLiteral("SyncML.MaxNo_Addresses"),
     QStringLiteral("SyncML.Unique_AddressType")},
};

bool hasWord(const QString& text, const char* word)
{
    return text.contains(QLatin1String(word), Qt::CaseInsensitive);
}

// The few ids of one entry are held in a list: searching it costs less than
// hashing.
void addUnique(QStringList& list, const QString& text)
{
    if (!list.contains(text))
        list.append(text);
}

// The slot classes of a remembered phone under the unique switch.
enum PhoneClass { Untyped, Home, Work, HomeFax, WorkFax, Mobile, Pager, Videocall, Main, ClassCount, NoClass, Other };

} // namespace

// One slot of the unique passes: the sub-record type asked for, the entry's
// type and the type parameters of the relation stored (none: built from the
// sub-record).
struct MotorolaContactGenerator::Slot {
    const char* subType;
    const char* entryType;
    std::array<const char*, 2> relation;
    int phoneClass;
};

struct MotorolaContactGenerator::ListRun {
    ListKind kind;
    const ListNames* names;
    QStringList ids;
    long limit = 0;
    bool unique = false;
    int count = 0;
    std::array<bool, ClassCount> taken{};
};

QVariantMap createMotoDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description)
{
    if (!vxDict)
        return {};
    vxDict->resetSentItems();
    MotorolaContactGenerator generator(description, vxDict);
    const QVariantMap result = generator.produceMotoDict();
    // The description is made only when a log takes the line.
    if (quicklog::wouldWrite(QString::fromLatin1(qvlog::kSyncML)))
        QuickLogNoTime(qvlog::kSyncML, QStringLiteral("-- Moto Dict created: %1"), objectDescription(result));
    return result;
}

MotorolaContactGenerator::MotorolaContactGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict)
    : _syncDescription(description)
    , _vxDict(vxDict)
    , _isLG(description.protocol().startsWith(QLatin1String("Protocol LG")))
{
    _addedUUIDs.reserve(16);
    for (std::size_t kind = 0; kind < _limits.size(); ++kind) {
        _limits[kind] = description.nonNilValueFromDescription(kListNames[kind].limitKey);
        _unique[kind] = description.nonNilBOOLFromDescription(kListNames[kind].uniqueKey);
    }
}

QString MotorolaContactGenerator::nonNilMainObject(const QString& key) const
{
    const QVariant value = _vxDict->mainObjectForKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString(QLatin1String(""));
}

void MotorolaContactGenerator::remember(const char* key)
{
    _vxDict->rememberSent(QString::fromLatin1(key));
}

QVariantMap MotorolaContactGenerator::produceMotoDict()
{
    _curDict = QVariantMap();
    if (!_vxDict)
        return _curDict;
    const auto put = [this](const char* key, const QString& value) {
        _curDict.insert(QString::fromLatin1(key), value);
    };
    const QString first = nonNilMainObject(QLatin1String(kFirstName));
    const QString last = nonNilMainObject(QLatin1String(kLastName));
    const QString company = nonNilMainObject(QLatin1String(kCompanyName));
    if (_vxDict->mainObjectForKey(QLatin1String(kFirstName)).isValid()) {
        put("firstname", first);
        remember(kFirstName);
    }
    if (_syncDescription.copyCompanyToName()) {
        if (last.isEmpty() && first.isEmpty() && !company.isEmpty()) {
            put("lastname", company);
            remember(kCompanyName);
        } else {
            put("lastname", last);
        }
    } else {
        if (_isLG && !company.isEmpty()) {
            put("company", company);
            remember(kCompanyName);
        }
        if (_vxDict->mainObjectForKey(QLatin1String(kLastName)).isValid())
            put("lastname", last);
    }
    remember(kLastName);
    if (!_isLG) {
        const QVariant birthday = _vxDict->mainObjectForKey(QLatin1String(kBirthday));
        const QDate date = birthday.typeId() == QMetaType::QDateTime ? birthday.toDateTime().date() : birthday.toDate();
        if (date.isValid()) {
            put("birthday", date.toString(QStringLiteral("MM-dd-yyyy")));
            remember(kBirthday);
        }
    } else {
        for (const char* key : {kJobTitle, kNotes}) {
            const QString value = nonNilMainObject(QLatin1String(key));
            if (!value.isEmpty()) {
                put(key, value);
                remember(key);
            }
        }
    }
    addPhones();
    addEmails();
    addURLs();
    addStreetAddresses();
    addDeviceSpecifics();
    return _curDict;
}

void MotorolaContactGenerator::addDeviceSpecifics()
{
    const QVariantMap device = _vxDict->objectForKey(VXDictionary::kDeviceItems).toMap();
    for (auto it = device.cbegin(); it != device.cend(); ++it) {
        // A phone-side value never replaces what this item wrote itself.
        if (it.key() == kAlarmSound || _curDict.contains(it.key()))
            continue;
        _curDict.insert(it.key(), it.value());
    }
}

// --- type words ---------------------------------------------------------------

QString MotorolaContactGenerator::vCardTypeToMotorolaType(const QString& typeText)
{
    static const std::pair<QLatin1String, QString> table[] = {
        {QLatin1String("FAX"), QStringLiteral("fax")},
        {QLatin1String("HOME"), QStringLiteral("home")},
        {QLatin1String("WORK"), QStringLiteral("work")},
        {QLatin1String("MAIN"), QStringLiteral("main")},
        {QLatin1String("PREF"), QStringLiteral("main")},
        {QLatin1String("CELL"), QStringLiteral("mobile")},
        {QLatin1String("MOBILE"), QStringLiteral("mobile")},
        {QLatin1String("PAGER"), QStringLiteral("pager")},
        {QLatin1String("VIDEOCALL"), QStringLiteral("videocall")},
    };
    static const QString other = QStringLiteral("other");
    // Type words are upper case as a rule; others are compared in upper case.
    const bool upper = std::none_of(typeText.cbegin(), typeText.cend(), [](QChar c) { return c.isLower(); });
    const QString text = upper ? typeText : typeText.toUpper();
    for (const auto& [word, type] : table) {
        if (text.contains(word))
            return type;
    }
    return other;
}

QString MotorolaContactGenerator::vCardAddrTypeToMotorolaType(const QString& typeText)
{
    if (hasWord(typeText, "HOME"))
        return QStringLiteral("home");
    if (hasWord(typeText, "WORK"))
        return QStringLiteral("work");
    return QStringLiteral("other");
}

QString MotorolaContactGenerator::typeStringForItem(const QVariant& subRecord)
{
    return typeStringForItem21(subRecord);
}

// --- entries ------------------------------------------------------------------

QVariantMap MotorolaContactGenerator::subRecord(const QString& uuid) const
{
    return _vxDict->otherObjectForKey(uuid).toMap();
}

QString MotorolaContactGenerator::valueText(const QVariantMap& sub) const
{
    const QVariant value = sub.value(kValue);
    if (value.typeId() == QMetaType::QUrl)
        return value.toUrl().toString();
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QVariantMap MotorolaContactGenerator::entryFromParams(const QVariantList& params, const QString& value, bool isPhone,
                                                      QString* joinedTypes) const
{
    QVariantMap entry{{kValue, value}};
    QString joined;
    for (const QVariant& param : params) {
        const QVariantMap map = param.toMap();
        const QString key = map.value(VXDictionary::kRelationKey).toString();
        const QVariantList values = map.value(VXDictionary::kRelationValues).toList();
        if (key.compare(kType, Qt::CaseInsensitive) == 0) {
            for (const QVariant& v : values) {
                const QString word = v.toString();
                joined += u';';
                joined += isPhone && word.compare(QLatin1String("CELL"), Qt::CaseInsensitive) == 0
                    ? QStringLiteral("MOBILE")
                    : word;
            }
        } else if (!key.isEmpty() && values.size() == 1 && key != kValue) {
            entry.insert(key, values.first());
        }
    }
    if (joinedTypes)
        *joinedTypes = joined;
    return entry;
}

QString MotorolaContactGenerator::generatePhone(const QVariantList& params, const QString& value,
                                                QVariantMap& outDict) const
{
    QString joined;
    outDict = entryFromParams(params, value, true, &joined);
    outDict.insert(kType, vCardTypeToMotorolaType(joined));
    return joined;
}

QString MotorolaContactGenerator::generateTyped(ListKind kind, const QVariantList& params, const QString& value,
                                                bool doAdding)
{
    QString joined;
    QVariantMap entry = entryFromParams(params, value, false, &joined);
    const QString type = vCardTypeToMotorolaType(joined);
    if (writesType(kind, joined))
        entry.insert(kType, type);
    if (doAdding)
        append(kind, entry);
    return type.toUpper();
}

QString MotorolaContactGenerator::generateEmail(const QVariantList& params, const QString& value, bool doAdding)
{
    return generateTyped(ListKind::Email, params, value, doAdding);
}

QString MotorolaContactGenerator::generateURL(const QVariantList& params, const QString& value, bool doAdding)
{
    return generateTyped(ListKind::URL, params, value, doAdding);
}

void MotorolaContactGenerator::generateStreetAddress(const QVariantList& params, const QVariantMap& itemDict)
{
    QString joined;
    QVariantMap entry = entryFromParams(params, QString(), false, &joined);
    entry.remove(kValue);
    addAddressData(itemDict, entry);
    entry.insert(kType, vCardAddrTypeToMotorolaType(joined));
    append(ListKind::Address, entry);
}

void MotorolaContactGenerator::addAddressData(const QVariantMap& address, QVariantMap& addrDict) const
{
    const auto text = [&address](const char* key) { return address.value(QLatin1String(key)).toString(); };
    const QString street = text(kStreet);
    if (_isLG) {
        if (!street.isEmpty())
            addrDict.insert(QStringLiteral("street1"), street);
    } else {
        // The first line, and the rest as the second street line.
        qsizetype end = 0;
        while (end < street.size() && street.at(end) != u'\r' && street.at(end) != u'\n')
            ++end;
        qsizetype rest = end;
        if (rest < street.size() && street.at(rest) == u'\r')
            ++rest;
        if (rest < street.size() && street.at(rest) == u'\n' && (rest == end || street.at(end) == u'\r'))
            ++rest;
        addrDict.insert(QStringLiteral("street1"), street.left(end));
        addrDict.insert(QStringLiteral("street2"), street.mid(rest));
    }
    const std::pair<const char*, const char*> fields[] = {
        {"city", kCity}, {"state", kState}, {"zip", kPostalCode}, {"country", kCountry}};
    for (const auto& [phoneKey, key] : fields) {
        const QVariant value = address.value(QLatin1String(key));
        // Motorola phones carry every part of an address, LG phones only the set ones.
        if (value.typeId() == QMetaType::QString && (!_isLG || !value.toString().isEmpty()))
            addrDict.insert(QLatin1String(phoneKey), value);
    }
}

QVariantMap MotorolaContactGenerator::freshEntry(ListKind kind, const QVariantMap& sub, const QString& type) const
{
    QVariantMap entry;
    if (kind == ListKind::Address) {
        addAddressData(sub, entry);
        entry.insert(kType, type);
        return entry;
    }
    entry.insert(kValue, valueText(sub));
    const bool typed = kind == ListKind::Phone || (kind == ListKind::Email && _syncDescription.hasEMailTypes())
        || (kind == ListKind::URL && _syncDescription.hasURLTypes());
    if (typed)
        entry.insert(kType, type);
    return entry;
}

bool MotorolaContactGenerator::writesType(ListKind kind, const QString& joinedTypes) const
{
    // Without types of its own for the list, the phone still gets back the
    // type it gave the entry itself.
    if (kind == ListKind::Email)
        return _syncDescription.hasEMailTypes() || !joinedTypes.isEmpty();
    if (kind == ListKind::URL)
        return _syncDescription.hasURLTypes() || !joinedTypes.isEmpty();
    return true;
}

// --- lists --------------------------------------------------------------------

bool MotorolaContactGenerator::append(ListKind kind, const QVariantMap& entry)
{
    const QString& outKey = kListNames[int(kind)].outKey;
    // The list is taken out of the dictionary while it grows, so it is not copied.
    QVariant& slot = _curDict[outKey];
    QVariantList list = slot.toList();
    slot.clear();
    const bool added = list.size() < _limits[std::size_t(kind)];
    if (added)
        list.append(entry);
    slot = std::move(list);
    return added;
}

bool MotorolaContactGenerator::appendPhone(const QVariantMap& entry)
{
    return append(ListKind::Phone, entry);
}

bool MotorolaContactGenerator::appendEmail(const QVariantMap& entry)
{
    return append(ListKind::Email, entry);
}

bool MotorolaContactGenerator::appendURL(const QVariantMap& entry)
{
    return append(ListKind::URL, entry);
}

bool MotorolaContactGenerator::appendAddress(const QVariantMap& entry)
{
    return append(ListKind::Address, entry);
}

const QStringList& MotorolaContactGenerator::listIds(ListKind kind)
{
    std::optional<QStringList>& ids = _listIds[std::size_t(kind)];
    if (!ids) {
        ids.emplace();
        for (const QVariant& id : _vxDict->mainObjectForKey(kListNames[int(kind)].listKey).toList()) {
            if (id.typeId() == QMetaType::QString && !id.toString().isEmpty() && !ids->contains(id.toString()))
                ids->append(id.toString());
        }
    }
    return *ids;
}

QString MotorolaContactGenerator::nextForType(ListKind kind, const QString& type, bool allowOtherTypes)
{
    for (const QString& id : listIds(kind)) {
        if (id.isEmpty() || _addedUUIDs.contains(id))
            continue;
        const QVariantMap sub = subRecord(id);
        if (!allowOtherTypes && sub.value(kType).toString() != type)
            continue;
        addUnique(_addedUUIDs, id);
        if (kind == ListKind::Address ? !sub.isEmpty() : !valueText(sub).isEmpty())
            return id;
    }
    return QString();
}

QString MotorolaContactGenerator::getNextPhoneForType(const QString& type, bool allowOtherTypes)
{
    return nextForType(ListKind::Phone, type, allowOtherTypes);
}

QString MotorolaContactGenerator::getNextEmailForType(const QString& type, bool allowOtherTypes)
{
    return nextForType(ListKind::Email, type, allowOtherTypes);
}

QString MotorolaContactGenerator::getNextURLForType(const QString& type, bool allowOtherTypes)
{
    return nextForType(ListKind::URL, type, allowOtherTypes);
}

QString MotorolaContactGenerator::getNextStreetAddressForType(const QString& type, bool allowOtherTypes)
{
    return nextForType(ListKind::Address, type, allowOtherTypes);
}

void MotorolaContactGenerator::addPhones()
{
    addList(ListKind::Phone);
}

void MotorolaContactGenerator::addEmails()
{
    addList(ListKind::Email);
}

void MotorolaContactGenerator::addURLs()
{
    addList(ListKind::URL);
}

void MotorolaContactGenerator::addStreetAddresses()
{
    addList(ListKind::Address);
}

bool MotorolaContactGenerator::isDone(const ListRun& run) const
{
    if (run.count >= run.limit)
        return true;
    for (const QString& id : run.ids) {
        if (!_addedUUIDs.contains(id))
            return false;
    }
    return true;
}

void MotorolaContactGenerator::addList(ListKind kind)
{
    ListRun run;
    run.kind = kind;
    run.names = &kListNames[int(kind)];
    run.ids = listIds(kind);
    if (run.ids.isEmpty())
        return;
    run.limit = _limits[std::size_t(kind)];
    run.unique = _unique[std::size_t(kind)];
    _curDict.insert(run.names->outKey, QVariantList());
    writeRemembered(run);
    if (isDone(run))
        return;
    if (run.unique)
        writeUnique(run);
    else
        writePlain(run);
}

void MotorolaContactGenerator::writeTaken(ListRun& run, const QString& uuid, const QVariantMap& entry,
                                          const QVariantList* relation)
{
    addUnique(_addedUUIDs, uuid);
    if (!append(run.kind, entry))
        return;
    _vxDict->rememberSent(uuid);
    if (relation)
        _vxDict->setRelation(*relation, run.names->listKey, uuid);
    ++run.count;
}

namespace {

// The slot class of a remembered phone from its joined type text.
int phoneClassOf(const QString& joined, bool isLG)
{
    if (joined.isEmpty())
        return Untyped;
    const QString type = MotorolaContactGenerator::vCardTypeToMotorolaType(joined);
    if (type == QLatin1String("fax"))
        return hasWord(joined, "WORK") ? WorkFax : HomeFax;
    if (type == QLatin1String("home"))
        return Home;
    if (type == QLatin1String("work"))
        return Work;
    if (type == QLatin1String("mobile"))
        return Mobile;
    if (type == QLatin1String("pager"))
        return Pager;
    if (type == QLatin1String("videocall") && isLG)
        return Videocall;
    // No slot of the unique passes takes these: a main number stays the one
    // main number, numbers of type other are never limited to one.
    if (type == QLatin1String("main"))
        return Main;
    if (type == QLatin1String("other"))
        return Other;
    return NoClass;
}

// The slot class of an e-mail, URL or address type word.
int wordClassOf(const QString& word)
{
    if (word.compare(QLatin1String("HOME"), Qt::CaseInsensitive) == 0)
        return Home;
    if (word.compare(QLatin1String("WORK"), Qt::CaseInsensitive) == 0)
        return Work;
    return NoClass;
}

} // namespace

void MotorolaContactGenerator::writeRemembered(ListRun& run)
{
    const QString& listKey = run.names->listKey;
    const QVariantMap relations = _vxDict->getRelations(listKey).toMap();
    if (relations.isEmpty())
        return;
    // Relations of sub-records no longer in the list go; the others are
    // taken in the list's order.
    for (auto it = relations.cbegin(); it != relations.cend(); ++it) {
        if (!run.ids.contains(it.key()) || !_vxDict->otherObjectForKey(it.key()).isValid())
            _vxDict->deleteRelation(listKey, it.key());
    }
    QStringList remembered;
    for (const QString& id : run.ids) {
        if (relations.contains(id) && _vxDict->otherObjectForKey(id).isValid())
            remembered.append(id);
    }
    if ((run.kind == ListKind::Email || run.kind == ListKind::URL) && remembered.size() > run.limit) {
        writeRememberedByType(run, remembered);
        return;
    }
    for (const QString& id : remembered) {
        if (run.count >= run.limit)
            break;
        const QVariantMap sub = subRecord(id);
        const QVariantList params = relations.value(id).toList();
        const QString value = valueText(sub);
        if (run.kind != ListKind::Address && value.isEmpty())
            continue;
        QVariantMap entry;
        int slotClass = NoClass;
        if (run.kind == ListKind::Phone) {
            slotClass = phoneClassOf(generatePhone(params, value, entry), _isLG);
            if (run.unique && (slotClass == NoClass || (slotClass < ClassCount && run.taken[slotClass])))
                continue;
        } else if (run.kind == ListKind::Address) {
            QString joined;
            entry = entryFromParams(params, QString(), false, &joined);
            entry.remove(kValue);
            addAddressData(sub, entry);
            entry.insert(kType, vCardAddrTypeToMotorolaType(joined));
            slotClass = wordClassOf(vCardAddrTypeToMotorolaType(joined));
        } else {
            QString joined;
            entry = entryFromParams(params, value, false, &joined);
            const QString type = vCardTypeToMotorolaType(joined);
            if (writesType(run.kind, joined))
                entry.insert(kType, type);
            slotClass = wordClassOf(type);
            if (run.unique && slotClass != NoClass && run.taken[slotClass])
                continue;
        }
        writeTaken(run, id, entry, nullptr);
        if (run.unique && slotClass < ClassCount) {
            run.taken[slotClass] = true;
            if (slotClass == HomeFax || slotClass == WorkFax)
                run.taken[HomeFax] = run.taken[WorkFax] = true;
        }
    }
}

void MotorolaContactGenerator::writeRememberedByType(ListRun& run, const QStringList& remembered)
{
    const QVariantMap relations = _vxDict->getRelations(run.names->listKey).toMap();
    static const char* const kOrder[] = {"WORK", "HOME", "OTHER"};
    int wanted = 0; // 3: any type
    const auto untakenLeft = [&] {
        return std::any_of(remembered.cbegin(), remembered.cend(),
                           [this](const QString& id) { return !_addedUUIDs.contains(id); });
    };
    for (int pass = 0; untakenLeft() && pass < remembered.size() && run.count < run.limit; ++pass) {
        bool tookAny = false;
        for (const QString& id : remembered) {
            if (run.count >= run.limit)
                break;
            if (_addedUUIDs.contains(id))
                continue;
            const QVariantMap sub = subRecord(id);
            const QString value = valueText(sub);
            if (value.isEmpty())
                continue;
            const QVariantList params = relations.value(id).toList();
            QString joined;
            QVariantMap entry = entryFromParams(params, value, false, &joined);
            const QString type = vCardTypeToMotorolaType(joined);
            if (wanted < 3 && type.compare(QLatin1String(kOrder[wanted]), Qt::CaseInsensitive) != 0)
                continue;
            if (writesType(run.kind, joined))
                entry.insert(kType, type);
            writeTaken(run, id, entry, nullptr);
            const int slotClass = wordClassOf(type);
            if (slotClass != NoClass)
                run.taken[slotClass] = true;
            tookAny = true;
            wanted = std::min(wanted + 1, 3);
        }
        if (!tookAny)
            wanted = std::min(wanted + 1, 3);
    }
}

void MotorolaContactGenerator::writePlain(ListRun& run)
{
    for (const QString& id : run.ids) {
        if (run.count >= run.limit)
            return;
        if (_addedUUIDs.contains(id))
            continue;
        addUnique(_addedUUIDs, id);
        const QVariantMap sub = subRecord(id);
        if (sub.isEmpty() || (run.kind != ListKind::Address && valueText(sub).isEmpty()))
            continue;
        const QString typeText = typeStringForItem(sub);
        const QString type = run.kind == ListKind::Address ? vCardAddrTypeToMotorolaType(typeText)
                                                           : vCardTypeToMotorolaType(typeText);
        QVariantList relation = relationArrayForItem(sub);
        if ((run.kind == ListKind::Email && !_syncDescription.hasEMailTypes())
            || (run.kind == ListKind::URL && !_syncDescription.hasURLTypes()))
            relation.clear();
        writeTaken(run, id, freshEntry(run.kind, sub, type), &relation);
    }
}

void MotorolaContactGenerator::writeUnique(ListRun& run)
{
    static const Slot kPhoneSlots[] = {
        {"home", "home", {"HOME", nullptr}, Home},
        {"work", "work", {"WORK", nullptr}, Work},
        {"home fax", "fax", {"HOME", "FAX"}, HomeFax},
        {"work fax", "fax", {"WORK", "FAX"}, WorkFax},
        {"mobile", "mobile", {"CELL", nullptr}, Mobile},
        {"pager", "pager", {"PAGER", nullptr}, Pager},
        {"videocall", "videocall", {"VIDEOCALL", nullptr}, Videocall},
        {"other", "other", {nullptr, nullptr}, NoClass},
    };
    static const Slot kOtherSlots[] = {
        {"home", "home", {"HOME", nullptr}, Home},
        {"work", "work", {"WORK", nullptr}, Work},
        {"other", "other", {nullptr, nullptr}, NoClass},
    };
    const bool isPhone = run.kind == ListKind::Phone;
    const Slot* begin = isPhone ? std::begin(kPhoneSlots) : std::begin(kOtherSlots);
    const Slot* end = isPhone ? std::end(kPhoneSlots) : std::end(kOtherSlots);
    const bool untypedRelations = (run.kind == ListKind::Email && !_syncDescription.hasEMailTypes())
        || (run.kind == ListKind::URL && !_syncDescription.hasURLTypes());
    bool wrote = true;
    for (int pass = 0; wrote || pass < 2; ++pass) {
        wrote = false;
        for (const Slot* slot = begin; slot != end; ++slot) {
            if (slot->phoneClass == Videocall && !_isLG)
                continue;
            if (slot->phoneClass != NoClass && run.taken[slot->phoneClass])
                continue;
            const QString id = nextForType(run.kind, QLatin1String(slot->subType), pass > 0);
            if (id.isNull())
                continue;
            const QVariantMap sub = subRecord(id);
            QVariantList relation;
            if (slot->phoneClass == NoClass) {
                relation = relationArrayForItem(sub);
            } else {
                for (const char* word : slot->relation) {
                    if (word)
                        relation.append(relationDictionary(kType, QString::fromLatin1(word)));
                }
            }
            if (untypedRelations)
                relation.clear();
            writeTaken(run, id, freshEntry(run.kind, sub, QString::fromLatin1(slot->entryType)), &relation);
            wrote = true;
            if (slot->phoneClass != NoClass) {
                run.taken[slot->phoneClass] = true;
                if (slot->phoneClass == HomeFax || slot->phoneClass == WorkFax)
                    run.taken[HomeFax] = run.taken[WorkFax] = true;
            }
            if (isDone(run))
                return;
        }
        if (isDone(run))
            return;
    }
}
