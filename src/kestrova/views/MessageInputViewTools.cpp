#include "kestrova/views/MessageInputViewTools.h"

#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/SmsPartLayout.h"

#include <QList>

using namespace kestrova;

namespace {

// A multipart text with a single-shift table is held one septet below the
// codec's part capacity, so that ten parts hold the longest text even when
// every part gives a septet up at an escape pair.
constexpr int kShiftPartLimit = kGsmMultiPartShiftSeptets - 1;

SmsTextMeasure fromParts(const QList<int>& parts, int realLength, bool unicode, bool singleShift)
{
    SmsTextMeasure m;
    m.unicodeNeeded = unicode;
    m.singleShift = singleShift;
    m.realLength = realLength;
    m.partCount = int(parts.size());
    int capacity;
    if (parts.size() == 1)
        capacity = unicode ? kUcs2SinglePartUnits : singleShift ? kGsmSinglePartShiftSeptets : kGsmSinglePartSeptets;
    else
        capacity = unicode ? kUcs2MultiPartUnits : singleShift ? kGsmMultiPartShiftSeptets : kGsmMultiPartSeptets;
    m.freeInLastPart = qMax(0, capacity - parts.constLast());
    return m;
}

} // namespace

SmsTextMeasure MessageInputViewTools::measure(QStringView text, bool greek)
{
    QString substituted;
    if (greek && !text.isEmpty()) {
        substituted = kestrova::substituteStringToGreek(text.toString()).value_or(QString());
        text = substituted;
    }
    SLTSmsCodePage page = kSmsCodePageDefault;
    int escapes = 0;
    if (messageTextContainsUniChars(text, page, escapes))
        return fromParts(ucs2PartLengths(text), int(text.size()), true, false);
    const bool shift = page > kSmsCodePageDefault;
    const QByteArray coded = gsmEncodeText(text, page);
    return fromParts(gsmPartLengths(coded, shift), int(coded.size()), false, shift);
}

SmsTextMeasure MessageInputViewTools::measurePlainLength(int length, bool unicode, bool singleShift)
{
    length = qBound(0, length, getAllowedMessageLength(singleShift, unicode, kSmsMaxParts));
    const QList<int> parts = unicode ? ucs2PartLengths(QString(length, QLatin1Char('a')))
                                     : gsmPartLengths(QByteArray(length, 'a'), singleShift);
    return fromParts(parts, length, unicode, singleShift);
}

int MessageInputViewTools::getAllowedMessageLength(bool singleShift, bool unicode, int maxPartCount)
{
    if (maxPartCount <= 1)
        return unicode ? kUcs2SinglePartUnits : singleShift ? kGsmSinglePartShiftSeptets : kGsmSinglePartSeptets;
    return maxPartCount * (unicode ? kUcs2MultiPartUnits : singleShift ? kShiftPartLimit : kGsmMultiPartSeptets);
}

std::optional<QString> MessageInputViewTools::substituteStringToGreek(const QString& text)
{
    return kestrova::substituteStringToGreek(text);
}

std::optional<QVariantMap> MessageInputViewTools::countMessageChars(const QVariantMap& arguments)
{
    const QString text = arguments.value(kSMSMessageText).toString();
    if (text.isEmpty())
        return std::nullopt;
    const SmsTextMeasure m = measure(text, arguments.value(kSMSMessageGreekSubstitution).toBool());
    return QVariantMap {
        {kSMSMessageRealLength, m.realLength},
        {kSMSMessageUnicodeNeeded, m.unicodeNeeded},
        {kSMSMessageFreeCharsInLastPart, m.freeInLastPart},
        {kSMSMessagePartCount, m.partCount},
        {kSMSMessageUseSingleShiftTable, m.singleShift},
    };
}
