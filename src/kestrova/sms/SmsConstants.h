#pragma once

#include <QString>

// Status codes, code pages and fixed texts of the SMS codec.
namespace kestrova {

// Character repertoire a message text needs (SLTSmsCodePage).
using SLTSmsCodePage = int;
inline constexpr SLTSmsCodePage kSmsCodePageUcs2 = 0;       // text needs UCS2
inline constexpr SLTSmsCodePage kSmsCodePageDefault = 1;    // default alphabet + extension table
inline constexpr SLTSmsCodePage kSmsCodePageUndecided = 2;  // only U+00E7 seen so far
inline constexpr SLTSmsCodePage kSmsCodePageSpanish = 3;
inline constexpr SLTSmsCodePage kSmsCodePagePortuguese = 4;
inline constexpr SLTSmsCodePage kSmsCodePageTurkish = 5;

// Error numbers of the SMS model and codec (0 is success).
inline constexpr int kSmsOk = 0;
inline constexpr int kSmsErrorUserDataNotDecodable = 1;
inline constexpr int kSmsErrorEmptyNumber = 10;
inline constexpr int kSmsErrorUnknownValidityUnit = 11;
inline constexpr int kSmsErrorBadValidityText = 12;
inline constexpr int kSmsErrorBadAbsoluteTime = 13;
inline constexpr int kSmsErrorNoText = 14;
inline constexpr int kSmsErrorUnknownSmscType = 15;
inline constexpr int kSmsErrorNoAddress = 16;
inline constexpr int kSmsErrorTextTooLong = 17;
inline constexpr int kSmsErrorEndOfList = 23;
inline constexpr int kSmsErrorAlphanumericAddress = 26;
inline constexpr int kSmsErrorCodingNotSupported = 27;
inline constexpr int kSmsErrorNoValidityFormat = 28;
inline constexpr int kSmsErrorTimestampLength = 29;
inline constexpr int kSmsErrorEmptyHeader = 30;
inline constexpr int kSmsErrorMalformedPdu = 31;          // short, odd, non-hex, lengths past the end
inline constexpr int kSmsErrorUnsupportedMessageType = 32; // status reports and reserved types
inline constexpr int kSmsErrorUnknownTypeOfNumber = 33;
inline constexpr int kSmsErrorPartCountDiffers = 37;
inline constexpr int kSmsErrorReferenceDiffers = 38;
inline constexpr int kSmsErrorBadTag = 39;

// Type-of-number octets.
inline constexpr int kSmsTypeInternational = 145;
inline constexpr int kSmsTypeNational = 129;
inline constexpr int kSmsTypeAlphanumeric = 208;

// TP-DCS values the codec writes and reads.
inline constexpr int kSmsDcsGsm7 = 0;
inline constexpr int kSmsDcsUcs2 = 8;

// Message status texts (AT+CMGL).
inline const QString kSmsStatusRecUnread = QStringLiteral("REC UNREAD");
inline const QString kSmsStatusRecRead = QStringLiteral("REC READ");
inline const QString kSmsStatusStoUnsent = QStringLiteral("STO UNSENT");
inline const QString kSmsStatusStoSent = QStringLiteral("STO SENT");
inline const QString kSmsStatusUnknown = QStringLiteral("UNKNOWN");

// The SMSC digits that select the phone's stored service centre, and what
// getSmsc answers for them.
inline const QString kSmsDefaultSmscDigits = QStringLiteral("00");
inline const QString kSmsDefaultSmscText = QStringLiteral("default");

// Failure text of the AT text conversions.
inline const QString kSmsConversionError = QStringLiteral("error");

} // namespace kestrova
