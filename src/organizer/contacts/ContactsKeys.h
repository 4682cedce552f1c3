#pragma once

#include <QString>

// Localization keys of the contact card and the dialling sheet.
namespace contactskeys {
inline const QString kPhoneMarker = QStringLiteral("PhoneMarker");
inline const QString kSMSMarker = QStringLiteral("SMSMarker");
inline const QString kPreparing = QStringLiteral("Preparing");
inline const QString kDialError = QStringLiteral("DIAL_ERROR");
inline const QString kHangUp = QStringLiteral("HangUp");
} // namespace contactskeys
