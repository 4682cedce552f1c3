#pragma once

#include <QString>
#include <QVariant>

// Conversions of property-list values the way the desktop platform converts
// them (a number or a numeric string answers intValue, doubleValue, ...).
// The string-to-boolean rule is the program's own and holds process-wide:
// an empty string is false; true when the string's integer value is non-zero
// or its first character is 'Y' or 'y' (so "true" and "T" are false).
namespace platform::values {

bool stringBool(const QString& text);

// Leading-number parses of a string: optional blanks, an optional sign, then
// digits; 0 when there are none. Out-of-range values saturate.
qlonglong stringLongLong(const QString& text);
int stringInt(const QString& text);
double stringDouble(const QString& text);

// The same conversions for any value: numbers convert by value, strings by the
// rules above, booleans as 0/1, anything else (and an invalid value) as 0.
bool toBool(const QVariant& value);
int toInt(const QVariant& value);
qlonglong toLongLong(const QVariant& value);
qulonglong toULongLong(const QVariant& value);
double toDouble(const QVariant& value);

// What kind of scalar a value holds, whatever its exact QMetaType.
enum class Kind { None, Bool, Signed, Unsigned, Floating, String };
Kind kindOf(const QVariant& value);

bool isNumber(const QVariant& value);   // bool or any integer or floating type
bool isString(const QVariant& value);

} // namespace platform::values
