#include "kestrova/sms/SmsTextUtils.h"

#include <array>

namespace kestrova {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Value of each byte as a hex digit (either case), -1 for any other byte.
constexpr std::array<qint8, 256> kHexValues = [] {
    std::array<qint8, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 10; ++i)
        values['0' + i] = qint8(i);
    for (int i = 0; i < 6; ++i) {
        values['A' + i] = qint8(10 + i);
        values['a' + i] = qint8(10 + i);
    }
    return values;
}();

int hexValue(char c)
{
    return kHexValues[quint8(c)];
}
} // namespace

int stringToHex(QChar c)
{
    const int value = c.unicode() < 128 ? hexValue(char(c.unicode())) : -1;
    return value < 0 ? 0 : value;
}

quint8 convertHexOctetStringToChar(QStringView text)
{
    if (text.size() != 2 || text[0].unicode() >= 128 || text[1].unicode() >= 128)
        return 0;
    const int high = hexValue(char(text[0].unicode()));
    const int low = hexValue(char(text[1].unicode()));
    if (high < 0 || low < 0)
        return 0;
    return quint8(high << 4 | low);
}

std::optional<QStringView> readHexByte(QStringView text, qsizetype& pos)
{
    if (pos < 0 || pos + 2 > text.size())
        return std::nullopt;
    const QStringView pair = text.mid(pos, 2);
    pos += 2;
    return pair;
}

QStringView readHexByte2(QStringView text, qsizetype& pos)
{
    if (pos < 0 || pos >= text.size())
        return {};
    const QStringView pair = text.mid(pos, qMin<qsizetype>(2, text.size() - pos));
    pos += pair.size();
    return pair;
}

QString convertCharToHexString(quint8 byte)
{
    return QString(QChar(kHexDigits[byte >> 4])) + QChar(kHexDigits[byte & 0x0F]);
}

QString convertIntToString(unsigned value)
{
    return value < 100 ? QString::asprintf("%02u", value) : QString();
}

QString convertIntToString2(int value)
{
    return QString::number(value);
}

QString convertIntToString3(unsigned value)
{
    return QString::asprintf("%03u", value);
}

QString convertSignedCharToString(int value)
{
    return QString::asprintf("%02d", value);
}

int convertStringToInt(QStringView text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok)
        return value;
    if (text.size() == 2)
        return convertHexOctetStringToChar(text);
    return 0;
}

QString convertStringToFlippedNibbles(QStringView digits)
{
    QString out;
    out.reserve(digits.size() + 1);
    qsizetype i = 0;
    for (; i + 1 < digits.size(); i += 2) {
        out.append(digits[i + 1]);
        out.append(digits[i]);
    }
    if (i < digits.size()) {
        out.append(QLatin1Char('F'));
        out.append(digits[i]);
    }
    return out;
}

QString convertFlippedNibblesToString(QStringView nibbles)
{
    QString out;
    out.reserve(nibbles.size());
    for (qsizetype i = 0; i + 1 < nibbles.size(); i += 2) {
        const QChar first = nibbles[i + 1];
        const QChar second = nibbles[i];
        if (first != QLatin1Char('F') && first != QLatin1Char('f'))
            out.append(first);
        if (second != QLatin1Char('F') && second != QLatin1Char('f'))
            out.append(second);
    }
    return out;
}

int getKeyValuePair(QStringView text, QString& key, QString& value)
{
    const qsizetype at = text.indexOf(QLatin1Char('='));
    if (at <= 0)
        return 46;
    key = text.left(at).toString();
    value = text.mid(at + 1).toString();
    return 0;
}

int readLineFromStream(QString& stream, QStringView terminator, QString& line)
{
    const qsizetype at = terminator.isEmpty() ? -1 : stream.indexOf(terminator);
    if (at < 0)
        return 56;
    line = stream.left(at);
    stream.remove(0, at + terminator.size());
    return 0;
}

QString toUpper(QStringView text)
{
    return text.toString().toUpper();
}

QByteArray bytesToHex(QByteArrayView bytes)
{
    QByteArray out(bytes.size() * 2, Qt::Uninitialized);
    char* p = out.data();
    for (const char c : bytes) {
        *p++ = kHexDigits[quint8(c) >> 4];
        *p++ = kHexDigits[quint8(c) & 0x0F];
    }
    return out;
}

std::optional<QByteArray> hexToBytes(QByteArrayView hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray out(hex.size() / 2, Qt::Uninitialized);
    char* octets = out.data();
    const char* digits = hex.data();
    int invalid = 0;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int high = hexValue(digits[2 * i]);
        const int low = hexValue(digits[2 * i + 1]);
        invalid |= high | low; // negative once any digit is not hex
        octets[i] = char(unsigned(high) << 4 | unsigned(low));
    }
    if (invalid < 0)
        return std::nullopt;
    return out;
}

QByteArray packSeptets(QByteArrayView septets, int start)
{
    const qsizetype total = start + septets.size();
    QByteArray out((total * 7 + 7) / 8, '\0');
    auto* bytes = reinterpret_cast<quint8*>(out.data());
    for (qsizetype i = 0; i < septets.size(); ++i) {
        const qsizetype bit = (start + i) * 7;
        const qsizetype at = bit / 8;
        const int shift = int(bit % 8);
        const unsigned value = quint8(septets[i]) & 0x7F;
        bytes[at] |= quint8(value << shift);
        if (shift > 1)
            bytes[at + 1] |= quint8(value >> (8 - shift));
    }
    return out;
}

QByteArray unpackSeptets(QByteArrayView octets, qsizetype count)
{
    QByteArray out(count, Qt::Uninitialized);
    const auto* bytes = reinterpret_cast<const quint8*>(octets.data());
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype bit = i * 7;
        const qsizetype at = bit / 8;
        const int shift = int(bit % 8);
        unsigned value = bytes[at] >> shift;
        if (shift > 1)
            value |= unsigned(bytes[at + 1]) << (8 - shift);
        out[i] = char(value & 0x7F);
    }
    return out;
}

} // namespace kestrova
