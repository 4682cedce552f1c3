#pragma once

// Names of a contact's item form that the contact item works with beyond the
// field names of formats/VCardGenerator.h: its main fields in order, its four
// lists of sub-records with their entities and command types, and the limit
// keys of the phone's description.
#include "formats/VCardGenerator.h"
#include "platform/SyncChange.h"

#include <QString>
#include <QStringList>

namespace contactfields {

inline const QString kShortName = QStringLiteral("short name");
inline const QString kNickName = QStringLiteral("nick name");

inline const QString kMaxLenCompany = QStringLiteral("SyncML.MaxLen_Company");
inline const QString kMaxLenFirstName = QStringLiteral("SyncML.MaxLen_FirstName");
inline const QString kMaxLenLastName = QStringLiteral("SyncML.MaxLen_LastName");
inline const QString kMaxLenJobTitle = QStringLiteral("SyncML.MaxLen_JobTitle");
inline const QString kMaxLenNotes = QStringLiteral("SyncML.MaxLen_Notes");
inline const QString kMaxLenStreet = QStringLiteral("SyncML.MaxLen_Street");
inline const QString kMaxLenCity = QStringLiteral("SyncML.MaxLen_City");
inline const QString kMaxLenState = QStringLiteral("SyncML.MaxLen_State");
inline const QString kMaxLenZip = QStringLiteral("SyncML.MaxLen_Zip");
inline const QString kMaxLenCountry = QStringLiteral("SyncML.MaxLen_Country");
inline const QString kMaxLenPhoneNumber = QStringLiteral("SyncML.MaxLen_PhoneNumber");
inline const QString kMaxLenEmail = QStringLiteral("SyncML.MaxLen_Email");
inline const QString kMaxLenURL = QStringLiteral("SyncML.MaxLen_URL");

// The main fields in the order formatting and change detection walk them.
inline const QStringList& mainSyncFields()
{
    static const QStringList fields{
        QStringLiteral("birthday"),
        QStringLiteral("company name"),
        QStringLiteral("department"),
        QStringLiteral("first name"),
        QStringLiteral("job title"),
        QStringLiteral("last name"),
        QStringLiteral("middle name"),
        QStringLiteral("suffix"),
        QStringLiteral("title"),
        kShortName,
        kNickName,
        QStringLiteral("notes"),
        QStringLiteral("image"),
    };
    return fields;
}

// The lists of sub-records: phone numbers, e-mail addresses, URLs, street addresses.
inline const QStringList& listKeys()
{
    static const QStringList keys{
        QString::fromLatin1(contactkey::kPhoneNumbers), QString::fromLatin1(contactkey::kEmailAddresses),
        QString::fromLatin1(contactkey::kURLs), QString::fromLatin1(contactkey::kStreetAddresses)};
    return keys;
}

inline bool isListKey(const QString& key)
{
    return listKeys().contains(key);
}

// "Phone Number" -> "phone numbers", ...; null for any other type.
inline QString listKeyForCommandType(const QString& type)
{
    if (type == QLatin1String("Phone Number"))
        return QString::fromLatin1(contactkey::kPhoneNumbers);
    if (type == QLatin1String("Street Address"))
        return QString::fromLatin1(contactkey::kStreetAddresses);
    if (type == QLatin1String("Email Address"))
        return QString::fromLatin1(contactkey::kEmailAddresses);
    if (type == QLatin1String("URL"))
        return QString::fromLatin1(contactkey::kURLs);
    return {};
}

// The list of a sub-record entity; null for any other entity.
inline QString listKeyForEntity(const QString& entity)
{
    if (entity == platform::entity::PhoneNumber)
        return QString::fromLatin1(contactkey::kPhoneNumbers);
    if (entity == platform::entity::EmailAddress)
        return QString::fromLatin1(contactkey::kEmailAddresses);
    if (entity == platform::entity::URL)
        return QString::fromLatin1(contactkey::kURLs);
    if (entity == platform::entity::StreetAddress)
        return QString::fromLatin1(contactkey::kStreetAddresses);
    return {};
}

inline QString entityForListKey(const QString& listKey)
{
    if (listKey == QLatin1String(contactkey::kPhoneNumbers))
        return platform::entity::PhoneNumber;
    if (listKey == QLatin1String(contactkey::kEmailAddresses))
        return platform::entity::EmailAddress;
    if (listKey == QLatin1String(contactkey::kURLs))
        return platform::entity::URL;
    if (listKey == QLatin1String(contactkey::kStreetAddresses))
        return platform::entity::StreetAddress;
    return {};
}

} // namespace contactfields
