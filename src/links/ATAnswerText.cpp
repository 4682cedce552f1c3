#include "links/ATAnswerText.h"

#include "platform/TextEncoding.h"

#include <QStringList>

namespace links {

namespace {
constexpr int kVersionLength = 11;

// The leading integer of a text, as a C string's int value reads it:
// blanks, an optional sign, digits; 0 when there are none; clamped to int.
qint64 leadingInt(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+'))
        negative = text[at++] == u'-';
    qint64 value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = std::min<qint64>(value * 10 + (text[at].unicode() - u'0'), qint64(INT_MAX) + 1);
    value = negative ? -value : value;
    return std::clamp<qint64>(value, INT_MIN, INT_MAX);
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
} // namespace

qint64 versStringToLong(const QString& version)
{
    if (version.isEmpty())
        return 0;
    const QStringList parts = version.split(u'.');
    if (parts.size() != 3)
        return 0;
    return leadingInt(parts[0]) * 1000000 + leadingInt(parts[1]) * 1000 + leadingInt(parts[2]);
}

QString nonErrorString(const QString& text)
{
    if (text.isEmpty() || text.contains(QLatin1String("ERROR")))
        return QString();
    return text;
}

QString extractATAnswer(const QString& rawAnswer)
{
    if (rawAnswer.isEmpty())
        return QStringLiteral("");
    if (rawAnswer.contains(QLatin1String("ERROR\r\n")))
        return QStringLiteral("ERROR");
    QStringView text(rawAnswer);
    while (!text.isEmpty() && (text.front() == u'\r' || text.front() == u'\n'))
        text = text.mid(1);
    for (const char* tail : {"OK\r\n", "OK\r\n\r\n", "OK\r\n\n"}) {
        if (text.endsWith(QLatin1String(tail))) {
            text.chop(qsizetype(qstrlen(tail)));
            break;
        }
    }
    while (!text.isEmpty() && (text.back() == u'\r' || text.back() == u'\n'))
        text.chop(1);
    return text.toString();
}

qsizetype stripAndCompactBuffer(QByteArray& text)
{
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    qsizetype out = 0;
    for (qsizetype in = 0; in < text.size(); ++in) {
        const char c = text[in];
        if (isLineEnd(c)) {
            if (out > 0 && text[out - 1] == '\n')
                continue;
            text[out++] = '\n';
        } else {
            text[out++] = c;
        }
    }
    text.truncate(out);
    return out;
}

QString makeVersionString(QByteArray& text)
{
    stripAndCompactBuffer(text);
    qsizetype from = text.indexOf("AT+CGMR");
    if (from < 0)
        from = 0;
    const qsizetype lineEnd = text.indexOf('\n', from);
    if (lineEnd < 0)
        return QString();
    qsizetype end = text.indexOf('\n', lineEnd + 1);
    if (end < 0)
        end = text.size();
    const QByteArray line = text.mid(lineEnd + 1, std::min<qsizetype>(end - lineEnd - 1, kVersionLength));
    if (line.isEmpty())
        return QString();
    return platform::text::decode(line, platform::text::Encoding::Windows1252).value_or(QString::fromLatin1(line));
}

} // namespace links
