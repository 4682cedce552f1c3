#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

// The entry record of the LG phonebook, both ways. A contact dictionary has
// the keys "firstname", "lastname", "email" ({"value"} list), "phone"
// ({"value", "type"} list), "categories" (group numbers as text), "ringtone",
// "url" ({"value"} list), "address" ({"street1", "city", "state", "zip",
// "country", "type" = "home" or "work"} list), "company", "job title", "notes"
// and, read only, "picture". Pure functions over untrusted bytes.
namespace kestrova::lg {

inline constexpr int kMaxPhoneNumbers = 5;
inline constexpr int kMaxEmails = 2;
inline constexpr int kMaxGroups = 3;
inline constexpr qsizetype kTrailerBytes = 42;
// A reply of this many bytes or fewer holds no entry.
inline constexpr qsizetype kMinEntryReply = 16;

// The name of a type byte ("other" for any value but the six bits).
QString getStringTypeForNumberType(quint8 type);
// The bit of a type name; 64 for a name outside the six.
quint8 lgViewtyGetTypeCharFromString(const QString& type);

// Decodes one whole unescaped entry reply (FF marker, header, slot at 10-11,
// body from 14, final byte). The contact with "slot" ("%i"); nothing when the
// reply is 15 bytes or shorter or too short for its fields (then why goes to
// error). Strings end at a 0x0000 unit or at the end of the record.
std::optional<QVariantMap> lgExtractAddressData(const QByteArray& reply, QString* error = nullptr);

// The entry record as written: counter2, 00, 00, 04, then the body. Numbers
// beyond five and e-mail addresses beyond two are left out (listed in
// dropped when given).
QByteArray lgViewtyPhonebookCreateRawDataForDict(const QVariantMap& contact, quint8 counter2,
                                                 QStringList* dropped = nullptr);

} // namespace kestrova::lg
