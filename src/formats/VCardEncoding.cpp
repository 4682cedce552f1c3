#include "formats/VCardEncoding.h"

#include "formats/RawVCardUtilities.h"
#include "platform/TextEncoding.h"

#include <QDate>
#include <QStringDecoder>
#include <QTimeZone>
#include <QUrl>

#include <algorithm>
#include <array>

namespace {

const QString kUTF8 = QStringLiteral("UTF-8");

QString qpParameter(const QString& charset)
{
    return QLatin1String(kQuotedPrintableCharset) + charset;
}

std::optional<QByteArray> bytesInCharset(const QString& text, const QString& charset)
{
    if (!isKnownCharsetName(charset))
        return std::nullopt;
    return platform::text::encode(text, charset.toLatin1().constData());
}

QString utcText(const QDateTime& date)
{
    return date.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString dayText(const QDateTime& date, const char* suffix)
{
    return date.date().toString(QStringLiteral("yyyyMMdd")) + QLatin1String(suffix);
}

} // namespace

QString textValue(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool isKnownCharsetName(const QString& name)
{
    if (name.isEmpty() || name.size() > 64 || name.contains(u'/'))
        return false;
    for (const QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return false;
    }
    // Asking the converter opens it; the readers ask for every parameter word,
    // so the last answers are kept (a few: the names come from files).
    struct Answer {
        QString name;
        bool known = false;
    };
    constexpr std::size_t kKeptAnswers = 32;
    thread_local std::array<Answer, kKeptAnswers> answers;
    thread_local std::size_t kept = 0;
    for (std::size_t i = 0; i < std::min(kept, kKeptAnswers); ++i) {
        if (answers[i].name == name)
            return answers[i].known;
    }
    const bool known = platform::text::encode(QString(), name.toLatin1().constData()).has_value();
    answers[kept++ % kKeptAnswers] = {name, known};
    return known;
}

bool isCleanASCII(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 128 || c == u'\r' || c == u'\n')
            return false;
    }
    return true;
}

QString asciiEncodedString(const QString& text)
{
    QString result = text;
    result.replace(u';', QStringLiteral("\\;"));
    return result;
}

QString printableEncodedToCharsetString(const QString& text, const QString& charset)
{
    const auto bytes = bytesInCharset(text, charset);
    return bytes ? encodeData_quoted_printable(*bytes) : QString(QLatin1String(""));
}

QString printableEncodedString(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 128 && code != u'\r' && code != u'\n' && code != u'=')
            result.append(c);
        else
            result.append(u'=' + QString::number(code, 16).toUpper().rightJustified(2, u'0'));
    }
    return result;
}

QString charsetForQuoting(const QString& text, const QString& charset)
{
    if (!charset.isEmpty() && bytesInCharset(text, charset))
        return charset;
    return kUTF8;
}

QString createEncodedLine(const QString& name, const QString& value, const QString& charset)
{
    return createTypedEncodedLine(name, QString(), value, charset);
}

QString createTypedEncodedLine(const QString& name, const QString& typeText, const QString& value,
                               const QString& charset)
{
    QString line = name;
    if (!typeText.isEmpty()) {
        if (!typeText.startsWith(u';'))
            line.append(u';');
        line.append(typeText);
    }
    if (isCleanASCII(value))
        return line + u':' + asciiEncodedString(value);
    const QString set = charsetForQuoting(value, charset);
    return line + u';' + qpParameter(set) + u':' + printableEncodedToCharsetString(value, set);
}

QString escapedText30(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' || c == u',' || c == u';') {
            result.append(u'\\');
            result.append(c);
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            result.append(QLatin1String("\\n"));
        } else {
            result.append(c);
        }
    }
    return result;
}

QString createEncodedTextLine30(const QString& name, const QString& value)
{
    const QString escaped = escapedText30(value);
    if (isCleanASCII(escaped))
        return name + u':' + escaped;
    const QString set = charsetForQuoting(escaped, QString());
    return name + u';' + qpParameter(set) + u':' + printableEncodedToCharsetString(escaped, set);
}

QString createVerbatimLine(const QString& name, const QString& typeText, const QString& value)
{
    if (value.contains(u'\r') || value.contains(u'\n'))
        return createTypedEncodedLine(name, typeText, value);
    QString line = name;
    if (!typeText.isEmpty())
        line += u';' + typeText;
    return line + u':' + value;
}

QString stringValueForItem(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QUrl: {
        const QByteArray encoded = value.toUrl().toEncoded();
        const QByteArray decoded = QByteArray::fromPercentEncoding(encoded);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(decoded);
        return utf8.hasError() ? QString::fromLatin1(encoded) : text;
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyyMMdd"));
    case QMetaType::QDateTime:
        return value.toDateTime().toLocalTime().toString(QStringLiteral("yyyyMMdd"));
    default:
        return QString();
    }
}

QString zuluDateString(const QDateTime& date)
{
    return utcText(date);
}

QString zeroZuluDayString(const QDateTime& date)
{
    return utcText(QDateTime(date.date(), QTime(0, 0), Qt::LocalTime));
}

QString zeroZuluGreenwichTimeDayString(const QDateTime& date)
{
    return utcText(QDateTime(date.date(), QTime(0, 0), QTimeZone::utc()));
}

QString endDayZulu235900String(const QDateTime& date)
{
    return utcText(QDateTime(date.date(), QTime(23, 59), Qt::LocalTime));
}

QString dayString(const QDateTime& date)
{
    return dayText(date, "");
}

QString zeroStartDayString(const QDateTime& date)
{
    return dayText(date, "T000000");
}

QString zeroEndDayString(const QDateTime& date)
{
    return dayText(date, "T000000");
}

QString endDay235959String(const QDateTime& date)
{
    return dayText(date, "T235959");
}

QString endDay235900String(const QDateTime& date)
{
    return dayText(date, "T235900");
}
