#include "kestrova/sms/Constants.h"

#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/SmsConstants.h"
#include "kestrova/sms/SmsTextUtils.h"

#include "platform/Localization.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QStringDecoder>
#include <QVariantList>
#include <QVariantMap>

namespace kestrova {

namespace {

const QString kDefaultCountryCodeKey = QStringLiteral("defaultCountryCode");

// Unicode -> Mac OS Roman byte, built once from iconv's view of the 128 upper
// bytes (the lower half is ASCII).
class MacRomanEncoder {
public:
    MacRomanEncoder()
    {
        for (int byte = 0x80; byte < 0x100; ++byte) {
            const auto text = platform::text::decode(QByteArray(1, char(byte)),
                                                     platform::text::Encoding::MacRoman);
            if (text && text->size() == 1)
                m_upper.insert(text->at(0).unicode(), quint8(byte));
        }
    }
    QByteArray encode(const QString& text) const
    {
        QByteArray out;
        out.reserve(text.size());
        for (const QChar c : text) {
            const char16_t unit = c.unicode();
            if (unit < 0x80) {
                out.append(char(unit));
            } else {
                const auto it = m_upper.constFind(unit);
                out.append(it == m_upper.constEnd() ? '?' : char(*it));
            }
        }
        return out;
    }

private:
    QHash<char16_t, quint8> m_upper;
};

QByteArray toMacRoman(const QString& text)
{
    static const MacRomanEncoder encoder;
    return encoder.encode(text);
}

// Each UTF-16 unit as four upper-case hex digits, high octet first.
QByteArray ucs2Hex(const QString& text)
{
    QByteArray octets(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        octets[2 * i] = char(unit >> 8);
        octets[2 * i + 1] = char(unit & 0xFF);
    }
    return bytesToHex(octets);
}

} // namespace

QString Constants::encodeToUcs2CocoaAsciiStream(const QString& text)
{
    if (text.isEmpty())
        return kSmsConversionError;
    return QString::fromLatin1(ucs2Hex(text));
}

QByteArray Constants::encodeToUcs2AsciiStream(const QString& text)
{
    if (text.isEmpty())
        return kSmsConversionError.toLatin1();
    return ucs2Hex(text);
}

QString Constants::decodeFromUcs2AsciiStream(const QByteArray& hex)
{
    if (hex.size() < 2)
        return kSmsConversionError;
    const qsizetype skip = hex.size() % 4;
    QString out;
    out.reserve(hex.size() / 4);
    for (qsizetype i = skip; i + 4 <= hex.size(); i += 4) {
        unsigned unit = 0;
        for (qsizetype k = 0; k < 4; ++k)
            unit = unit << 4 | unsigned(stringToHex(QLatin1Char(hex[i + k])));
        out.append(QChar(char16_t(unit)));
    }
    // Zero units at the end close the text (phones pad fixed fields with
    // them); one inside it is a character like any other.
    while (out.endsWith(QChar(u'\0')))
        out.chop(1);
    if (out.isEmpty())
        return QStringLiteral(" ");
    return out;
}

QString Constants::encodeToUTF8CocoaAsciiStream(const QString& text)
{
    return QString::fromLatin1(bytesToHex(text.toUtf8()));
}

QString Constants::decodeFromUTF8AsciiStream(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

QString Constants::encodeToGsmAsciiStream(const QString& text)
{
    return QString::fromLatin1(convertToGSMEncoding(toMacRoman(text)));
}

QString Constants::encodeToSiemensGsmAsciiStream(const QString& text)
{
    return QString::fromLatin1(convertToSiemensGSMEncoding(toMacRoman(text)));
}

namespace {

QString macRomanText(const QByteArray& macRoman)
{
    const auto text = platform::text::decode(macRoman, platform::text::Encoding::MacRoman);
    return text ? *text : kSmsConversionError;
}

} // namespace

QString Constants::decodeFromGsmAsciiStream(const QByteArray& gsm)
{
    return macRomanText(convertFromGSMEncoding(gsm));
}

QString Constants::decodeFromSiemensGsmAsciiStream(const QByteArray& gsm)
{
    return macRomanText(convertFromSiemensGSMEncoding(gsm));
}

QString Constants::decodeFromSiemensGsmStream(const QByteArray& gsm)
{
    Q_UNUSED(gsm);
    return QString();
}

QString Constants::replaceSpecialChars(const QByteArray& utf8)
{
    if (utf8.isEmpty())
        return kSmsConversionError;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (decoder.hasError())
        return kSmsConversionError;
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return text;
}

QVariant Constants::createMutableCopy(const QVariant& value)
{
    const auto copyElement = [](const QVariant& element) {
        const QVariant copy = createMutableCopy(element);
        return copy.isValid() ? copy : element;
    };
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList copy;
        const QVariantList list = value.toList();
        copy.reserve(list.size());
        for (const QVariant& element : list)
            copy.append(copyElement(element));
        return copy;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap copy;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            copy.insert(it.key(), copyElement(it.value()));
        return copy;
    }
    return QVariant();
}

QString Constants::convertHexCharactersToString(const QByteArray& bytes)
{
    return convertHexCharactersToString(reinterpret_cast<const uchar*>(bytes.constData()),
                                        int(bytes.size()));
}

QString Constants::convertHexCharactersToString(const uchar* bytes, int length)
{
    if (!bytes)
        return QString();
    return QString::fromLatin1(bytesToHex(QByteArrayView(bytes, qBound(0, length, 255))));
}

QString Constants::stripNumber(const QString& number)
{
    static const QString kKept = QStringLiteral("+ /()-");
    QString out;
    out.reserve(number.size());
    for (const QChar c : number) {
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || kKept.contains(c))
            out.append(c);
    }
    if (out.size() > 1) {
        const bool international = out.startsWith(QLatin1Char('+'));
        out.remove(QLatin1Char('+'));
        if (international)
            out.prepend(QLatin1Char('+'));
    }
    return out;
}

QString Constants::createSearchNumber(const QString& number)
{
    QString out = stripNumber(number);
    if (out.size() <= 2)
        return out;
    if (out.startsWith(QLatin1String("00"))) {
        out.replace(0, 2, QLatin1String("+"));
    } else if (out.startsWith(QLatin1Char('0'))) {
        const QVariant code = platform::UserDefaults::standard().object(kDefaultCountryCodeKey);
        if (code.isValid())
            out.replace(0, 1, code.toString());
    }
    return out;
}

QString Constants::getError(int error)
{
    const QString key = QString::asprintf("%i", error);
    const QString text = platform::localizedString(key);
    return text == key ? QString() : text;
}

} // namespace kestrova
