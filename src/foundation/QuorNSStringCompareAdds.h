#pragma once

#include <QDateTime>
#include <QString>

// Comparisons, tests and vCalendar date values on strings. A null QString
// stands for "no string" where that differs from an empty one.

// Literal prefix test; case-insensitive when caseInsensitiveCompare is true.
// False for a null prefix or a shorter receiver; an empty prefix matches.
bool stringStartsWithString(const QString& self, const QString& prefix, bool caseInsensitiveCompare);
bool stringStartsWithString(const QString& self, const QString& prefix);

// Case-insensitive prefix / suffix tests; false for a null or empty argument.
bool hasNoCasePrefix(const QString& self, const QString& prefix);
bool hasSuffixCaseInsensitive(const QString& self, const QString& suffix);
bool hasNoCaseSuffix(const QString& self, const QString& suffix);

// False for a null other, else equal ignoring case.
bool isNoCaseEqualToString(const QString& self, const QString& other);

// The first min(length, other's length) characters of both are equal, so a
// string is smart-equal to each of its prefixes. False for a null other.
bool isSmartEqualToString(const QString& self, const QString& other, bool caseInsensitiveCompare);
// Despite its name a literal (case-sensitive) comparison; callers rely on it.
bool isNoCaseSmartEqualToString(const QString& self, const QString& other);

// Two vCalendar date-times that name the same wall-clock time up to a
// whole-hour zone offset (at most one day apart, a whole number of hours).
// Texts that do not parse as date-times are the same only when equal.
bool isSameTimeWithoutTimeZone(const QString& self, const QString& other);

// Parse of a vCalendar date-time: "YYYYMMDDTHHMMSS" is that wall-clock time in
// the local zone, "YYYYMMDDTHHMMSSZ" the UTC time. Anything else (a plain date
// too) answers an invalid QDateTime. The offset argument does not change the
// result.
QDateTime getZuluCalendarDateWithLocalOffset(const QString& self, long localOffset);
QDateTime getZuluCalendarDate(const QString& self);

// "YYYYMMDD" is local midnight, "YYYYMMDDTHHMMSS" local wall-clock time, a
// 16-character "...Z" value the UTC instant shown in the local zone. Anything
// else answers an invalid QDateTime.
QDateTime getNSCalendarDateFromT_Time(const QString& self);

// Every character a decimal digit (or '+'/'-' anywhere when allowSign);
// an empty string is clean.
bool isCleanNumber(const QString& self, bool allowSign);
// Every character a decimal digit or a blank; an empty string is clean.
bool isCleanSerialNumber(const QString& self);
// 8 digits, or 15 characters with a 'T' at index 8, optionally followed by 'Z'.
bool isTimeString(const QString& self);

// The program's boolean value of a string: empty is false; true when the
// integer value is non-zero or the first character is 'Y' or 'y' ("true" is
// false).
bool boolValue(const QString& self);

// False past the end, else whether the character at index is theChar.
bool isEqualCharAtIndex(const QString& self, qsizetype index, QChar theChar);
