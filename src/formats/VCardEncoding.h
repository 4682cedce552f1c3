#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

// Value encodings and small texts shared by the vCard and vCalendar writers,
// the phone-dictionary converters and the item form.

// Parameter text of a quoted-printable UTF-8 value.
inline constexpr const char* kQuotedPrintableUTF8 = "ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8";
// The same up to the character set's name.
inline constexpr const char* kQuotedPrintableCharset = "ENCODING=QUOTED-PRINTABLE;CHARSET=";

// A text value of a record: the string, or empty for a missing value or one
// of another kind (item forms come from stored files).
QString textValue(const QVariant& value);

// A character-set name the text converter knows (iconv accepts it as it is,
// without conversion suffixes).
bool isKnownCharsetName(const QString& name);

// True for a null text and for one of characters below 128 only, none of them
// CR or LF: such a value may stand in a line as it is.
bool isCleanASCII(const QString& text);
// Every ";" written "\;"; nothing else is escaped.
QString asciiEncodedString(const QString& text);
// The text's bytes in the named character set, each byte below 128 other than
// CR, LF and "=" as itself, every other byte "=XX" (no soft line breaks).
// Empty when the text cannot be converted.
QString printableEncodedToCharsetString(const QString& text, const QString& charset);
// The same on the text's characters without conversion: a character of code
// 128 or more, CR, LF or "=" becomes "=" and its code in upper-case hex.
QString printableEncodedString(const QString& text);

// The character set a value is quoted in: the wanted one when it is known and
// holds the text, else "UTF-8".
QString charsetForQuoting(const QString& text, const QString& charset);

// "NAME:value" for a clean value (";" escaped), otherwise the value quoted:
// without a character set as UTF-8 ("NAME;ENCODING=QUOTED-PRINTABLE;
// CHARSET=UTF-8:..."), with one as its bytes in that set; a value the set
// cannot hold (or an unknown set) falls back to UTF-8.
QString createEncodedLine(const QString& name, const QString& value, const QString& charset = QString());
// As createEncodedLine with the parameter text after the name; a non-empty
// parameter text without a leading ";" gets one.
QString createTypedEncodedLine(const QString& name, const QString& typeText, const QString& value,
                               const QString& charset = QString());
// "NAME;typeText:value" with the value as it is (nothing escaped); a value
// holding a CR or LF, which would end the line, is quoted as by
// createTypedEncodedLine. An empty parameter text adds no ";".
QString createVerbatimLine(const QString& name, const QString& typeText, const QString& value);

// A vCard 3.0 text value: "\\", "," and ";" behind a backslash, each line
// break (CR LF, CR or LF) written "\n".
QString escapedText30(const QString& text);
// "NAME:value" of a vCard 3.0 text value, escaped (escapedText30); a value
// that is still no clean ASCII then is quoted as by createEncodedLine, its
// escapes kept.
QString createEncodedTextLine30(const QString& name, const QString& value);

// The text of a property value: a string as it is, a URL as its text with
// percent escapes decoded (undecoded when they are no UTF-8), a date as
// "yyyyMMdd" in local time; null for nil and for any other kind of value.
QString stringValueForItem(const QVariant& value);

// Date texts. "Day" is the date as the value shows it; "local" is the
// machine's time zone.
QString zuluDateString(const QDateTime& date);                  // the moment in UTC, "yyyyMMddTHHmmssZ"
QString zeroZuluDayString(const QDateTime& date);               // the day at 00:00:00 local, in UTC
QString zeroZuluGreenwichTimeDayString(const QDateTime& date);  // the day at 00:00:00 UTC
QString endDayZulu235900String(const QDateTime& date);          // the day at 23:59:00 local, in UTC
QString dayString(const QDateTime& date);                       // "yyyyMMdd"
QString zeroStartDayString(const QDateTime& date);              // "yyyyMMddT000000"
QString zeroEndDayString(const QDateTime& date);                // "yyyyMMddT000000"
QString endDay235959String(const QDateTime& date);              // "yyyyMMddT235959"
QString endDay235900String(const QDateTime& date);              // "yyyyMMddT235900"
