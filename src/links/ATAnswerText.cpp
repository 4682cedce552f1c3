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

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

bool isTrailingFill(char c)
{
    return isLineEnd(c) || c == ' ';
}

bool isTrailingFill(QChar c)
{
    return isLineEnd(c) || c == u' ';
}

ATFinalLine classifyFinalLine(QLatin1StringView line)
{
    if (line == QLatin1StringView("OK"))
        return ATFinalLine::Ok;
    if (line == QLatin1StringView("CONNECT"))
        return ATFinalLine::Connect;
    if (line.contains(QLatin1StringView("ERROR")))
        return ATFinalLine::Error;
    if (line == QLatin1StringView("ChannelID:"))
        return ATFinalLine::ChannelID;
    if (line.contains(QLatin1StringView("ChannelID:")))
        return ATFinalLine::ChannelIDNumber;
    return ATFinalLine::None;
}

ATFinalLine classifyFinalLine(QByteArrayView line)
{
    return classifyFinalLine(QLatin1StringView(line));
}

ATFinalLine classifyFinalLine(QStringView line)
{
    // The result words are ASCII: characters beyond Latin-1 (made "?") cannot
    // form one, so the text reads as its bytes do.
    return classifyFinalLine(QLatin1StringView(line.toLatin1()));
}

template <typename View>
ATAnswerEnd findAnswerEnd(View text)
{
    const ATAnswerEnd none{ATFinalLine::None, text.size()};
    qsizetype last = text.size() - 1;
    bool lineEnded = false;
    for (; last >= 0 && isTrailingFill(text[last]); --last)
        lineEnded = lineEnded || isLineEnd(text[last]);
    if (last < 0 || !lineEnded)
        return none;
    qsizetype first = last;
    while (first > 0 && !isLineEnd(text[first - 1]))
        --first;
    const ATFinalLine line = classifyFinalLine(text.sliced(first, last - first + 1));
    return line == ATFinalLine::None ? none : ATAnswerEnd{line, first};
}
} // namespace

ATAnswerEnd findATAnswerEnd(QStringView text)
{
    return findAnswerEnd(text);
}

ATAnswerEnd findATAnswerEnd(QByteArrayView bytes)
{
    return findAnswerEnd(bytes);
}

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
    const ATAnswerEnd end = findATAnswerEnd(rawAnswer);
    if (end.line == ATFinalLine::Error || rawAnswer.contains(QLatin1String("ERROR\r\n")))
        return QStringLiteral("ERROR");
    QStringView text(rawAnswer);
    if (end.line == ATFinalLine::Ok)
        text.truncate(end.lineStart);
    while (!text.isEmpty() && isLineEnd(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isLineEnd(text.back()))
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
