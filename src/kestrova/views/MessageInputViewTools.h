#pragma once

#include <QString>
#include <QStringView>
#include <QVariantMap>
#include <optional>

// The length arithmetic of the SMS compose field: how many parts a text takes
// and how many characters are still free in its last part. Part counts follow
// the PDU codec's own cut of a text into parts, so a count shown is the number
// of messages that sending makes.

// Keys of the count dictionaries.
inline const QString kSMSMessageText = QStringLiteral("kSMSMessageText");
inline const QString kSMSMessageGreekSubstitution = QStringLiteral("kSMSMessageGreekSubstitution");
inline const QString kSMSMessageUnicodeAllowed = QStringLiteral("kSMSMessageUnicodeAllowed");
inline const QString kSMSMessageMultiPartAllowed = QStringLiteral("kSMSMessageMultiPartAllowed");
inline const QString kSMSMessageRealLength = QStringLiteral("kSMSMessageRealLength");
inline const QString kSMSMessageUnicodeNeeded = QStringLiteral("kSMSMessageUnicodeNeeded");
inline const QString kSMSMessageFreeCharsInLastPart = QStringLiteral("kSMSMessageFreeCharsInLastPart");
inline const QString kSMSMessagePartCount = QStringLiteral("kSMSMessagePartCount");
inline const QString kSMSMessageUseSingleShiftTable = QStringLiteral("kSMSMessageUseSingleShiftTable");

// The most parts a multipart text may take in the compose field.
inline constexpr int kSmsComposeMaxParts = 10;

// What a text takes when sent.
struct SmsTextMeasure {
    bool unicodeNeeded = false;
    bool singleShift = false;   // a national single-shift table codes it
    int realLength = 0;         // UCS2 units, or septets (escaped characters count twice)
    int partCount = 1;
    int freeInLastPart = 160;
};

class MessageInputViewTools {
public:
    // Counts a dictionary's "kSMSMessageText" (Greek-substituted first when
    // "kSMSMessageGreekSubstitution" is set); nothing for an empty text.
    static std::optional<QVariantMap> countMessageChars(const QVariantMap& arguments);

    // The longest text the field takes: the single-part capacity for one
    // part, else that many times the capacity of a part (UCS2 before the
    // single-shift table).
    static int getAllowedMessageLength(bool singleShift, bool unicode, int maxPartCount);

    // Greek look-alike substitution; an empty text answers nothing.
    static std::optional<QString> substituteStringToGreek(const QString& text);

    // The measure of a text, substituted first when greek is set.
    static SmsTextMeasure measure(QStringView text, bool greek);
    // The counters for a length of plain characters (no escaped character, no
    // character outside the Basic Multilingual Plane).
    static SmsTextMeasure measurePlainLength(int length, bool unicode, bool singleShift);
};
