#include "formats/VCardRelations.h"

#include "formats/VCardEncoding.h"
#include "formats/VXDictionary.h"

#include <QStringList>

#include <algorithm>

namespace {

const QString kType = QStringLiteral("type");
const QString kEncoding = QStringLiteral("ENCODING");
const QString kCharset = QStringLiteral("CHARSET");

// The type words of a sub-record's "type" field; empty for a type without.
// The combined mobile types have words in a relation only, no type text.
enum class Use { TypeText, Relation };

QStringList typeWords(const QVariant& subRecord, Use use)
{
    if (subRecord.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariantMap record = subRecord.toMap();
    const QString type = textValue(record.value(QLatin1String(kSubRecordType)));
    struct Entry {
        const char* type;
        QStringList words;
    };
    static const Entry table[] = {
        {"home", {QStringLiteral("HOME")}},
        {"work", {QStringLiteral("WORK")}},
        {"home fax", {QStringLiteral("HOME"), QStringLiteral("FAX")}},
        {"work fax", {QStringLiteral("WORK"), QStringLiteral("FAX")}},
        {"mobile home", {QStringLiteral("CELL"), QStringLiteral("HOME")}},
        {"mobile work", {QStringLiteral("CELL"), QStringLiteral("WORK")}},
        {"mobile", {QStringLiteral("CELL")}},
        {"pager", {QStringLiteral("PAGER")}},
        {"main", {QStringLiteral("PREF")}},
    };
    for (const Entry& entry : table) {
        if (type == QLatin1String(entry.type)) {
            const bool combinedMobile = entry.words.size() == 2 && entry.words.first() == QLatin1String("CELL");
            return combinedMobile && use == Use::TypeText ? QStringList() : entry.words;
        }
    }
    if (type == QLatin1String("other")) {
        const QString label = textValue(record.value(QLatin1String(kSubRecordLabel)));
        if (!label.isEmpty())
            return {label};
    }
    return {};
}

bool isTextList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

QVariant firstValue(const QVariantMap& entry)
{
    const QVariant values = entry.value(VXDictionary::kRelationValues);
    if (isTextList(values)) {
        const QVariantList list = values.toList();
        return list.isEmpty() ? QVariant() : list.first();
    }
    return values;
}

bool namesCharset(const QVariant& value)
{
    return value.typeId() == QMetaType::QString && isKnownCharsetName(value.toString());
}

// A parameter entry that describes the value's encoding rather than the value.
bool isEncodingEntry(const QVariantMap& entry)
{
    const QString key = entry.value(VXDictionary::kRelationKey).toString();
    return key.compare(kEncoding, Qt::CaseInsensitive) == 0 || key.compare(kCharset, Qt::CaseInsensitive) == 0
           || namesCharset(firstValue(entry));
}

bool isPlainParameter(const QVariant& entry)
{
    return entry.typeId() == QMetaType::QVariantMap && !isEncodingEntry(entry.toMap());
}

} // namespace

QVariantMap relationDictionary(const QString& key, const QVariant& valueOrValues)
{
    QVariant values = valueOrValues;
    if (valueOrValues.typeId() == QMetaType::QString)
        values = QVariantList{valueOrValues};
    return {{VXDictionary::kRelationKey, key}, {VXDictionary::kRelationValues, values}};
}

QVariantList relationArray(const QString& key, const QString& value)
{
    return {relationDictionary(key, value)};
}

QVariantList relationArrayWith2Vals(const QString& key, const QString& value1, const QString& value2)
{
    return {relationDictionary(key, value1), relationDictionary(key, value2)};
}

QVariantList relationArrayForItem(const QVariant& subRecord)
{
    QVariantList result;
    for (const QString& word : typeWords(subRecord, Use::Relation))
        result.append(relationDictionary(kType, word));
    return result;
}

QVariant formatRelation(const QVariant& params)
{
    if (!params.isValid())
        return QVariantList();
    if (!isTextList(params))
        return QVariant();
    const QVariantList list = params.toList();
    if (std::all_of(list.cbegin(), list.cend(), isPlainParameter))
        return list;
    QVariantList result;
    for (const QVariant& entry : list) {
        if (entry.typeId() == QMetaType::QVariantMap) {
            if (!isEncodingEntry(entry.toMap()))
                result.append(entry);
        } else if (entry.typeId() == QMetaType::QString) {
            if (!namesCharset(entry))
                result.append(relationDictionary(kType, entry));
        }
    }
    return result.isEmpty() ? QVariant() : QVariant(result);
}

QString typeStringForItem21(const QVariant& subRecord)
{
    return typeWords(subRecord, Use::TypeText).join(u';');
}

QString typeStringForItem30(const QVariant& subRecord)
{
    QStringList words = typeWords(subRecord, Use::TypeText);
    for (QString& word : words)
        word.prepend(QStringLiteral("type="));
    return words.join(u';');
}
