#pragma once

#include <QString>
#include <QStringList>

// Character-level helpers on strings.

// An address-book label "_$!<Home>!$_" loses its first and last four
// characters ("Home"); any other string is returned unchanged.
QString cleanLabel(const QString& self);

QString stringByReplacingChar(const QString& self, QChar oldChar, QChar newChar);
qsizetype charCount(const QString& self, QChar theChar);

// From the first character that is not CR, LF, blank or tab up to the next CR
// or LF; a text of only such characters is taken from its start.
QString firstLine(const QString& self);

// A four-character code, most significant byte first.
QString stringFromOSType(quint32 osType);

// Lines ended by CR, LF or CRLF (LF CR are two breaks). An empty string gives
// one empty line; a trailing break adds no empty line.
QStringList linesArray(const QString& self);

// The leading hexadecimal number (blanks and a "0x" may precede it).
quint32 hexValue(const QString& self);        // 0 when none
int intDecValue(const QString& self);         // read as hexadecimal; -1 when none
quint32 unsignedIntDecValue(const QString& self); // read as hexadecimal; 0 when none

void appendChar(QString& self, QChar theChar);
