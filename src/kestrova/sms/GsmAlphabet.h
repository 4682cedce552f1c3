#pragma once

#include "kestrova/sms/SmsConstants.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// The GSM 7-bit default alphabet, its extension table and the Spanish,
// Portuguese and Turkish national language single-shift tables of
// 3GPP TS 23.038; the byte tables of the AT character set "GSM" (Mac OS Roman
// bytes); the Greek look-alike substitution. Stateless free functions over
// constant tables, safe from any thread.
namespace kestrova {

using GsmUnicodeTable = std::array<char16_t, 128>;
using GsmByteTable = std::array<quint8, 128>;

inline constexpr quint8 kGsmEscape = 0x1B;
inline constexpr quint8 kGsmQuestionMark = 0x3F;

// The Unicode tables, indexed by the 7-bit code. Undefined positions hold "?".
// The default alphabet holds U+00A0 at the escape position 0x1B.
const GsmUnicodeTable& gsmDefaultAlphabet();
// Shift table of a code page: 3, 4, 5 their national tables, any other page
// the default extension table.
const GsmUnicodeTable& gsmShiftTable(SLTSmsCodePage page);
// Byte tables of the AT character set "GSM": Mac OS Roman bytes; undefined 0x3F.
const GsmByteTable& gsmDefaultMacRomanTable();
const GsmByteTable& gsmExtensionMacRomanTable();

// Default alphabet character of a septet value (values above 0x7F: "?").
char16_t getUnicodeValueFor(quint8 septet);
// Character at a position of the page's shift table (3, 4, 5, else the default
// extension table).
char16_t getUnicodeValueForGlyph(quint8 position, SLTSmsCodePage page);
// Position of a character in the default alphabet, or 0x3F.
quint8 getUnicodePos(char16_t unit);
// Position of a character in the page's shift table (page 1: default
// extension; 3, 4, 5 their tables; 0 and 2: none), or 0x3F. "?" gives 0x3F.
quint8 getUnicodeGlyph(char16_t unit, SLTSmsCodePage page);
bool isInGsmDefaultAlphabet(char16_t unit);

// Analyses a text: which code page it needs and how many of its characters lie
// outside the default alphabet (each takes an escape septet). Returns 1 when
// the text needs UCS2 (page 0), else 0.
int messageTextContainsUniChars(QStringView text, SLTSmsCodePage& page, int& escapes);

// Codes a text into GSM septet values (one byte each; a shift-table character
// is 0x1B and its position) for a code page found by the analysis above.
QByteArray gsmEncodeText(QStringView text, SLTSmsCodePage page);
// The reverse: 0x1B takes the next byte as a position in the page's shift
// table; a trailing lone 0x1B gives U+00A0.
QString gsmDecodeText(QByteArrayView coded, SLTSmsCodePage page);

// Greek look-alike substitution.
char16_t getGreekReplacementForChar(char16_t unit);
bool isAGreekCharWithNoTonosAllowed(char16_t unit);
// Drops an accent (U+0384, U+00A8) before a letter that cannot bear it, then
// replaces each character by its look-alike. An empty text gives nothing.
std::optional<QString> substituteStringToGreek(const QString& text);

// AT character set "GSM": Mac OS Roman bytes to GSM codes and back.
QByteArray convertToGSMEncoding(QByteArrayView macRoman);
QByteArray convertToSiemensGSMEncoding(QByteArrayView macRoman);
QByteArray convertToNokiaGSMEncoding(QByteArrayView macRoman);
QByteArray convertFromGSMEncoding(QByteArrayView gsm);
QByteArray convertFromSiemensGSMEncoding(QByteArrayView gsm);
QByteArray convertFromNokiaGSMEncoding(QByteArrayView gsm);

} // namespace kestrova
