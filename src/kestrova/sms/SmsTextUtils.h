#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// Small hex, decimal and semi-octet helpers of the PDU codec.
namespace kestrova {

// Hex character to its value: "A"-"F" (and "a"-"f") 10-15, digits 0-9,
// anything else 0.
int stringToHex(QChar c);
// Two hex digits to their byte; any other text 0.
quint8 convertHexOctetStringToChar(QStringView text);
// The next two characters of a text from pos (pos advances). readHexByte
// answers nothing when fewer than two are left; readHexByte2 answers what is
// left.
std::optional<QStringView> readHexByte(QStringView text, qsizetype& pos);
QStringView readHexByte2(QStringView text, qsizetype& pos);
QString convertCharToHexString(quint8 byte);   // "%02X"
QString convertIntToString(unsigned value);    // "%02u" below 100, else ""
QString convertIntToString2(int value);        // decimal
QString convertIntToString3(unsigned value);   // "%03u"
QString convertSignedCharToString(int value);  // "%02d"
// Decimal value of the text; when it is not decimal and has two characters,
// its hex byte; else 0.
int convertStringToInt(QStringView text);
// "1234" -> "2143", "123" -> "21F3".
QString convertStringToFlippedNibbles(QStringView digits);
// "21F3" -> "123"; an odd last character is ignored.
QString convertFlippedNibblesToString(QStringView nibbles);
// Splits "key=value" at the first "="; 46 when there is none or it comes first.
int getKeyValuePair(QStringView text, QString& key, QString& value);
// Takes the text up to the terminator off the front of stream (terminator
// removed too); 56 when the terminator does not occur.
int readLineFromStream(QString& stream, QStringView terminator, QString& line);
QString toUpper(QStringView text);

// Whole-buffer conversions: upper-case hex out; hex in (either case, even
// length, nothing else) or nothing.
QByteArray bytesToHex(QByteArrayView bytes);
std::optional<QByteArray> hexToBytes(QByteArrayView hex);

// GSM 7-bit packing (3GPP TS 23.038 6.1.2.1.1, least significant bits first):
// the septets after `start` septets of room left zero for a user data header.
QByteArray packSeptets(QByteArrayView septets, int start);
// Unpacks `count` septets; the caller made sure the octets hold them.
QByteArray unpackSeptets(QByteArrayView octets, qsizetype count);

} // namespace kestrova
