#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace phonesim {

class PhoneProfile;

// The TE character set of 27.007 AT+CSCS: which set is in force, which the
// phone offers, and how texts in command arguments and answers are coded in
// it. "UCS2" texts are hex digits, four per UTF-16 unit; "GSM" texts are the
// GSM default alphabet with its extension table (escape 0x1B and a second
// code), "@" as 0x40 as phones send it;
// "UTF-8" is UTF-8; any other set is Latin-1.
struct CharacterSetState {
    QByteArray current = "GSM";
    QList<QByteArray> offered{"GSM", "IRA", "8859-1", "UCS2"};
    // Sony Ericsson style: numbers are UCS2-coded too while in "UCS2".
    bool ucs2Numbers = false;
    // Siemens style: in "GSM" the codes of "@", '"' and 0x5C are written
    // as a backslash and two hex digits.
    bool siemensEscapes = false;

    QByteArray encode(const QString& text) const;
    // nullopt when the bytes are no text in the set (bad hex digits).
    std::optional<QString> decode(const QByteArray& bytes) const;
    QByteArray encodeNumber(const QString& number) const;
    std::optional<QString> decodeNumber(const QByteArray& bytes) const;
};

// A quoted argument's content ("abc" -> abc); an unquoted one as it is.
QByteArray unquoted(const QByteArray& field);
// Splits command arguments at commas outside double quotes.
QList<QByteArray> splitArguments(const QByteArray& arguments);

// Installs AT+CSCS: the query, the offered sets and the switch, with the set
// named plainly or, while in "UCS2", in hex.
void installCharacterSetHandlers(PhoneProfile& profile);

} // namespace phonesim
