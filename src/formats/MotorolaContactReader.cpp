#include "formats/MotorolaContactReader.h"

#include "formats/FormatsLog.h"
#include "formats/VCardGenerator.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

using namespace contactkey;

const QString kType = QStringLiteral("type");
const QString kValue = QStringLiteral("value");

struct TypeRow {
    const char* phoneType;
    const char* storedType;
    std::array<const char*, 2> params;
};

const TypeRow kPhoneTypes[] = {
    {"work", "work", {"WORK", nullptr}},
    {"home", "home", {"HOME", nullptr}},
    {"mobile", "mobile", {"CELL", nullptr}},
    {"main", "main", {"MAIN", nullptr}},
    {"fax", "home fax", {"HOME", "FAX"}},
    {"pager", "pager", {"PAGER", nullptr}},
    {"videocall", "videocall", {"VIDEOCALL", nullptr}},
    {"other", "other", {"OTHER", nullptr}},
};

const char* const kAddressKeys[] = {"street1", "street2", "state", "country", "city", "zip", "type"};

void dropped(const QString& key, const QVariant& value)
{
    qCWarning(lcFormats) << "phonebook entry: dropped a value of the wrong kind under" << key << "(" << value.typeName()
                         << ")";
}

bool isString(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

// Strings, and lists and dictionaries of them (two levels deep at most: the
// kit's group lists and its lists of field dictionaries).
bool isPhoneSideValue(const QVariant& value, int depth = 0)
{
    if (isString(value))
        return true;
    if (depth >= 2)
        return false;
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        const QVariantList list = value.toList();
        return std::all_of(list.cbegin(), list.cend(),
                           [depth](const QVariant& v) { return isPhoneSideValue(v, depth + 1); });
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        return std::all_of(map.cbegin(), map.cend(),
                           [depth](const QVariant& v) { return isPhoneSideValue(v, depth + 1); });
    }
    return false;
}

QVariantMap typeParam(const char* word)
{
    return relationDictionary(kType, QString::fromLatin1(word));
}

// The keys of an entry the converter does not read itself, as parameters.
void appendFurtherKeys(QVariantList& params, const QVariantMap& entry, const char* listName,
                       bool (*isOwnKey)(const QString&))
{
    for (auto it = entry.cbegin(); it != entry.cend(); ++it) {
        if (isOwnKey(it.key()) || !it.value().isValid())
            continue;
        if (!isString(it.value())) {
            dropped(QString::fromLatin1(listName) + u'.' + it.key(), it.value());
            continue;
        }
        params.append(relationDictionary(it.key(), it.value()));
    }
}

bool isValueOrType(const QString& key)
{
    return key == kValue || key == kType;
}

bool isAddressKey(const QString& key)
{
    for (const char* own : kAddressKeys) {
        if (key == QLatin1String(own))
            return true;
    }
    return false;
}

// The entry's "value" as text; false (with a log line) when it is no text.
bool takeValue(const QVariantMap& entry, QVariantMap& out, const char* listName)
{
    const QVariant value = entry.value(kValue);
    if (!isString(value)) {
        dropped(QString::fromLatin1(listName) + QStringLiteral(".value"), value);
        return false;
    }
    out.insert(kValue, value);
    return true;
}

std::optional<QVariantMap> phoneEntry(const QVariantMap& entry)
{
    QVariantMap out;
    if (!takeValue(entry, out, "phone"))
        return std::nullopt;
    QVariantList params;
    QString stored;
    const QVariant type = entry.value(kType);
    for (const TypeRow& row : kPhoneTypes) {
        if (isString(type) && type.toString() == QLatin1String(row.phoneType)) {
            stored = QString::fromLatin1(row.storedType);
            for (const char* word : row.params) {
                if (word)
                    params.append(typeParam(word));
            }
            break;
        }
    }
    out.insert(kType, stored);
    appendFurtherKeys(params, entry, "phone", isValueOrType);
    out.insert(VCardDictionary::kParams, params);
    return out;
}

std::optional<QVariantMap> emailEntry(const QVariantMap& entry)
{
    QVariantMap out;
    if (!takeValue(entry, out, "email"))
        return std::nullopt;
    QVariantList params;
    const QVariant type = entry.value(kType);
    if (type.isValid() && isString(type)) {
        const QString word = type.toString();
        const char* stored = word == QLatin1String("home") ? "home" : word == QLatin1String("work") ? "work" : "other";
        out.insert(kType, QString::fromLatin1(stored));
        params.append(typeParam(QByteArray(stored).toUpper().constData()));
    } else if (type.isValid()) {
        dropped(QStringLiteral("email.type"), type);
    }
    appendFurtherKeys(params, entry, "email", isValueOrType);
    out.insert(VCardDictionary::kParams, params);
    return out;
}

std::optional<QVariantMap> urlEntry(const QVariantMap& entry)
{
    QVariantMap out;
    if (!takeValue(entry, out, "url"))
        return std::nullopt;
    QVariantList params;
    appendFurtherKeys(params, entry, "url", isValueOrType);
    out.insert(VCardDictionary::kParams, params);
    return out;
}

QString stringOrEmpty(const QVariantMap& entry, const char* key)
{
    const QVariant value = entry.value(QLatin1String(key));
    if (value.isValid() && !isString(value))
        dropped(QStringLiteral("address.") + QLatin1String(key), value);
    return isString(value) ? value.toString() : QStringLiteral("");
}

std::optional<QVariantMap> addressEntry(const QVariantMap& entry)
{
    QVariantMap out;
    const QString type = stringOrEmpty(entry, "type");
    const bool home = type == QLatin1String("home");
    const bool work = type == QLatin1String("work");
    out.insert(kType, home ? QStringLiteral("home") : work ? QStringLiteral("work") : QStringLiteral("other"));
    QVariantList params{typeParam(home ? "HOME" : "WORK")};
    QString street = stringOrEmpty(entry, "street1");
    const QString street2 = stringOrEmpty(entry, "street2");
    if (!street2.isEmpty())
        street = street + u'\r' + street2;
    out.insert(QLatin1String(kStreet), street);
    out.insert(QLatin1String(kPostalCode), stringOrEmpty(entry, "zip"));
    out.insert(QLatin1String(kCity), stringOrEmpty(entry, "city"));
    out.insert(QLatin1String(kState), stringOrEmpty(entry, "state"));
    out.insert(QLatin1String(kCountry), stringOrEmpty(entry, "country"));
    appendFurtherKeys(params, entry, "address", isAddressKey);
    out.insert(VCardDictionary::kParams, params);
    return out;
}

using EntryReader = std::optional<QVariantMap> (*)(const QVariantMap&);

struct ListRow {
    const char* phoneKey;
    const char* listKey;
    EntryReader read;
};

const ListRow kListRows[] = {
    {"phone", kPhoneNumbers, phoneEntry},
    {"email", kEmailAddresses, emailEntry},
    {"url", kURLs, urlEntry},
    {"address", kStreetAddresses, addressEntry},
};

struct FieldRow {
    const char* phoneKey;
    const char* fieldKey;
};

const FieldRow kFieldRows[] = {
    {"lastname", kLastName}, {"firstname", kFirstName}, {"company", kCompanyName},
    {"notes", kNotes},       {"job title", kJobTitle},
};

// "MM?DD?YYYY", the separators any characters; an invalid value when it is no date.
QDate birthdayDate(const QString& text)
{
    bool monthOk = false;
    bool dayOk = false;
    bool yearOk = false;
    const int month = text.mid(0, 2).toInt(&monthOk);
    const int day = text.mid(3, 2).toInt(&dayOk);
    const int year = text.mid(6, 4).toInt(&yearOk);
    if (!monthOk || !dayOk || !yearOk)
        return QDate();
    return QDate(year, month, day);
}

void readList(QVariantMap& card, const ListRow& row, const QVariant& value)
{
    const QString phoneKey = QString::fromLatin1(row.phoneKey);
    if (value.typeId() != QMetaType::QVariantList) {
        dropped(phoneKey, value);
        return;
    }
    const QVariantList elements = value.toList();
    if (elements.isEmpty())
        return;
    QVariant& slot = card[QLatin1String(row.listKey)];
    QVariantList entries = slot.toList();
    if (entries.isEmpty())
        entries.reserve(8);
    for (const QVariant& element : elements) {
        if (element.typeId() != QMetaType::QVariantMap) {
            dropped(phoneKey, element);
            continue;
        }
        if (auto entry = row.read(element.toMap()))
            entries.append(*entry);
    }
    if (entries.isEmpty())
        card.remove(QLatin1String(row.listKey));
    else
        slot = entries;
}

} // namespace

std::optional<VCardDictionary> vCardDictionaryForMotorolaContact(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap) {
        if (entry.isValid())
            dropped(QStringLiteral("(entry)"), entry);
        return std::nullopt;
    }
    const QVariantMap phone = entry.toMap();
    VCardDictionary result;
    QVariantMap& card = result.map();
    QVariantMap device;
    for (auto it = phone.cbegin(); it != phone.cend(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        bool handled = false;
        for (const FieldRow& row : kFieldRows) {
            if (key != QLatin1String(row.phoneKey))
                continue;
            handled = true;
            if (!isString(value))
                dropped(key, value);
            else if (!value.toString().isEmpty())
                card.insert(QLatin1String(row.fieldKey), value);
        }
        for (const ListRow& row : kListRows) {
            if (key == QLatin1String(row.phoneKey)) {
                handled = true;
                readList(card, row, value);
            }
        }
        if (handled)
            continue;
        if (key == QLatin1String("birthday")) {
            const QString text = value.toString();
            const QDate date = isString(value) && text.size() == 10 ? birthdayDate(text) : QDate();
            if (date.isValid())
                card.insert(QLatin1String(kBirthday), date);
            else
                qCWarning(lcFormats) << "phonebook entry: dropped an unreadable birthday" << text;
            continue;
        }
        if (!isPhoneSideValue(value))
            dropped(key, value);
        else if (!isString(value) || !value.toString().isEmpty())
            device.insert(key, value);
    }
    if (!device.isEmpty())
        card.insert(VCardDictionary::kDeviceSpecific, device);
    return result;
}
