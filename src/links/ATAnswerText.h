#pragma once

#include <QByteArray>
#include <QString>

// Reading the text of AT answers: identification answers and version
// strings. The input comes from the phone and is never trusted.
namespace links {

// "1.2.3" -> 1002003 (first * 1,000,000 + second * 1,000 + third, each part
// read as a leading integer); 0 for a null, empty or not three-part text.
qint64 versStringToLong(const QString& version);
// Null for a null or empty text or one containing "ERROR"; else the text.
QString nonErrorString(const QString& text);
// The answer without its framing: "" for a null or empty text, "ERROR" when
// the text holds "ERROR\r\n", else the text without leading CR and LF, a
// trailing "OK\r\n", "OK\r\n\r\n" or "OK\r\n\n" and the line ends left then.
QString extractATAnswer(const QString& rawAnswer);
// Cuts the text at its first NUL and makes every run of CR and LF one LF;
// answers the new length.
qsizetype stripAndCompactBuffer(QByteArray& text);
// The software version in an answer to AT+CGMR: compacts the text, takes the
// line after the echo "AT+CGMR" (or after the first line end), at most 11
// characters, read as Windows-1252. Null when that line is missing or empty.
QString makeVersionString(QByteArray& text);

} // namespace links
