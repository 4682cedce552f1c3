#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The common part of the line rewriters (iCalendar to vCalendar 1.0, vCard
// 3.0 to 2.1): the tokenizer drives them property by property, and typed
// values are written as plain ASCII or quoted-printable.
namespace textrewriter {

// One property as the tokenizer delivers it: the name (read as Mac OS Roman,
// a group prefix such as "item1." removed), the parameter strings (names and
// values in order, up to the first parameter without a value) and the value.
using LineHandler = std::function<void(const QString& name, const QStringList& params, const QByteArray& value)>;

// Runs the tokenizer over the whole text; false when it refused a byte (the
// lines before it were handled).
bool rewrite(const QByteArray& text, const LineHandler& addLine);

// "\n" becomes CR LF, "\r" CR, a backslash before any other byte that byte;
// a backslash at the very end stays.
QByteArray unescaped(const QByteArray& value);

// The line of a typed value, with CR LF: "NAME;TYPE...:value" for a value of
// plain ASCII, else its UTF-8 bytes quoted-printable (";CHARSET=UTF-8" unless
// it is ASCII with line breaks). "type" parameters add their values to the
// name except "pref", "main" and "INTERNET"; CHARSET "LATIN1" or "UTF-8"
// names the value's set, which is otherwise UTF-16 for a first byte 0 or 255
// and UTF-8 for any other. Empty for an empty value or one that does not
// decode.
QByteArray typedLine(const QString& name, const QStringList& params, const QByteArray& value);

// Bytes read as Mac OS Roman (every byte is a character).
QString macRoman(const QByteArray& bytes);

// "NAME:value" and CR LF as ASCII bytes; empty when the line is not ASCII.
QByteArray asciiLine(const QString& name, const QString& value);

} // namespace textrewriter
