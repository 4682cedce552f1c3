#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Reading the text of AT answers: identification answers and version
// strings. The input comes from the phone and is never trusted.
namespace links {

// "1.2.3" -> 1002003 (first * 1,000,000 + second * 1,000 + third, each part
// read as a leading integer); 0 for a null, empty or not three-part text.
qint64 versStringToLong(const QString& version);
// Null for a null or empty text or one containing "ERROR"; else the text.
QString nonErrorString(const QString& text);

// What ends an AT answer: its last significant line (the last line that is
// not empty once CR, LF and blanks are skipped at the end), and only once a
// CR or LF has followed that line. A line still coming ends nothing, so an
// answer that arrives in pieces ends where the whole one does, whatever the
// pieces ("\r\nOKI\r\n..." cut after "OK" is no "OK").
enum class ATFinalLine {
    None,            // no whole final line yet: the answer goes on
    Ok,              // "OK"
    Connect,         // "CONNECT"
    Error,           // any line containing "ERROR" ("+CME ERROR: 10")
    ChannelID,       // "ChannelID:" alone
    ChannelIDNumber, // "ChannelID:" with more ("ChannelID: 3")
};
struct ATAnswerEnd {
    ATFinalLine line = ATFinalLine::None;
    // Where the final line begins (the text's size for None).
    qsizetype lineStart = 0;
};
ATAnswerEnd findATAnswerEnd(QStringView text);
// The same on the bytes of an answer in an ASCII-based one-byte character
// set (Latin-2): the result lines are plain ASCII.
ATAnswerEnd findATAnswerEnd(QByteArrayView bytes);

// The answer without its framing: "" for a null or empty text, "ERROR" when
// the final line (as findATAnswerEnd reads it) is an error or the text holds
// "ERROR\r\n"; else the text without leading CR and LF, without a final "OK"
// line (and what follows it) and without the CR and LF then left at the end.
QString extractATAnswer(const QString& rawAnswer);
// Cuts the text at its first NUL and makes every run of CR and LF one LF;
// answers the new length.
qsizetype stripAndCompactBuffer(QByteArray& text);
// The software version in an answer to AT+CGMR: compacts the text, takes the
// line after the echo "AT+CGMR" (or after the first line end), at most 11
// characters, read as Windows-1252. Null when that line is missing or empty.
QString makeVersionString(QByteArray& text);

} // namespace links
