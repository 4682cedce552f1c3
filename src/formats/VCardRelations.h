#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// Relations: the parameter list under which a sub-record was read from or
// written to the phone, a list of {"Key": name, "Values": [texts]} entries.
// And the type texts of a sub-record's "type" field.

// Sub-record fields.
inline constexpr const char* kSubRecordValue = "value";
inline constexpr const char* kSubRecordType = "type";
inline constexpr const char* kSubRecordLabel = "label";

// {"Key": key, "Values": values}; a single string is wrapped in a list.
QVariantMap relationDictionary(const QString& key, const QVariant& valueOrValues);
QVariantList relationArray(const QString& key, const QString& value);
QVariantList relationArrayWith2Vals(const QString& key, const QString& value1, const QString& value2);
// The parameter list that tells the phone the sub-record's type ("home" is
// [type HOME], "mobile home" [type CELL, type HOME], "other" with a label
// [type label], ...); empty for other types and for nil.
QVariantList relationArrayForItem(const QVariant& subRecord);

// A parameter list made fit to be stored. Nil gives an empty list; a list of
// plain parameter entries comes back unchanged; otherwise encoding and
// character-set entries (by key, or by a first value or a bare word naming a
// known character set) go, a bare word becomes {"Key": "type", "Values":
// [word]}, anything else goes. Nil (an invalid value) when nothing remains,
// and for a value that is not a list.
QVariant formatRelation(const QVariant& params);

// The type text of a sub-record for vCard 2.1 ("HOME", "HOME;FAX", "CELL", a
// label) and 3.0 ("type=HOME", "type=HOME;type=FAX", ...); empty for types
// without a text.
QString typeStringForItem21(const QVariant& subRecord);
QString typeStringForItem30(const QVariant& subRecord);
