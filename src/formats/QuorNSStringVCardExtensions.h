#pragma once

#include <QByteArray>
#include <QString>

// vCard and vCalendar facts and conversions of a text.

// YES when the text has no "VERSION:"; otherwise NO exactly when the three
// characters after it are "3.0".
bool isVCard21(const QString& text);
// The same test with "1.0" giving NO.
bool isVCalendar20(const QString& text);
// UTF-8, or UTF-16 (with byte-order mark) when UTF-8 cannot hold the text.
QByteArray getAsData(const QString& text);
// NO for a null argument, else whether it occurs.
bool containsString(const QString& text, const QString& other);
bool hasSubString(const QString& text, const QString& other);
// The last line holding a character other than CR, LF and blank, up to and
// including that character; empty when there is none.
QString lastSignificantLine(const QString& text);
