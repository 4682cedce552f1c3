#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kestrova {

// Text coding for AT command arguments in the phone's character set
// (AT+CSCS "UCS2" or "GSM"), number clean-up and small helpers of the engine.
// Class methods only. Conversions report failure as the text "error".
class Constants {
public:
    Constants() = delete;

    // Each UTF-16 unit as four upper-case hex digits; empty text: "error".
    static QString encodeToUcs2CocoaAsciiStream(const QString& text);
    static QByteArray encodeToUcs2AsciiStream(const QString& text);
    // Hex digits, four per unit; leading (length mod 4) characters skipped.
    // Fewer than 2 characters: "error"; a result without characters: " ".
    static QString decodeFromUcs2AsciiStream(const QByteArray& hex);
    static QString encodeToUTF8CocoaAsciiStream(const QString& text);
    static QString decodeFromUTF8AsciiStream(const QByteArray& bytes);

    // The text in the AT character set "GSM": one character per byte (its
    // Latin-1 value), "@" included as U+0000, escape pairs as U+001B and the
    // position. Characters outside Mac OS Roman become "?".
    static QString encodeToGsmAsciiStream(const QString& text);
    // The same with Siemens' escapes ("\22" for a double quote, "\00" for "@",
    // "\5C" for the character at 0x5C).
    static QString encodeToSiemensGsmAsciiStream(const QString& text);
    // GSM bytes from the phone back to text.
    static QString decodeFromGsmAsciiStream(const QByteArray& gsm);
    // Siemens' GSM bytes back to text, their escapes undone.
    static QString decodeFromSiemensGsmAsciiStream(const QByteArray& gsm);
    // Not implemented: always answers an empty text.
    static QString decodeFromSiemensGsmStream(const QByteArray& gsm);

    // Double quotes become apostrophes, backslashes "/"; empty or invalid
    // UTF-8: "error".
    static QString replaceSpecialChars(const QByteArray& utf8);
    // Deep copy of a list or map (nested lists and maps copied too); any
    // other value: an invalid variant.
    static QVariant createMutableCopy(const QVariant& value);
    // Each byte as two upper-case hex digits (at most 255 bytes).
    static QString convertHexCharactersToString(const QByteArray& bytes);
    static QString convertHexCharactersToString(const uchar* bytes, int length);
    // Keeps digits, "+", blank, "/", "(", ")" and "-"; more than one
    // character left: every "+" removed, one put back in front when the text
    // began with "+".
    static QString stripNumber(const QString& number);
    // stripNumber, then a leading "00" becomes "+", else a leading "0" the
    // user default "defaultCountryCode" (when set).
    static QString createSearchNumber(const QString& number);
    // Localized text of an error number; empty when there is none.
    static QString getError(int error);
};

} // namespace kestrova
