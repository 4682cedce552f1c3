#include "desktopstore/ContentLines.h"

#include "formats/CARD_Parser.h"
#include "formats/VCardEncoding.h"

namespace desktopstore {

namespace {

struct Collector {
    QList<ContentLine> lines;
    ContentLine current;
};

void onProperty(void* userData, const char* name, const char** params)
{
    auto* c = static_cast<Collector*>(userData);
    c->current = ContentLine();
    const QString full = QString::fromUtf8(name);
    const qsizetype dot = full.lastIndexOf(QLatin1Char('.'));
    c->current.group = dot < 0 ? QString() : full.left(dot);
    c->current.name = (dot < 0 ? full : full.mid(dot + 1)).toUpper();
    for (const char** p = params; p[0] || p[1]; p += 2) {
        const QString paramName = p[0] ? QString::fromUtf8(p[0]).toUpper() : QString();
        c->current.parameters.append({paramName, p[1] ? QString::fromUtf8(p[1]) : QString()});
    }
}

void onData(void* userData, const char* data, int len)
{
    auto* c = static_cast<Collector*>(userData);
    if (data) {
        c->current.value.append(data, len);
        return;
    }
    c->lines.append(c->current);
    c->current = ContentLine();
}

QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch != QLatin1Char('\\') || i + 1 == text.size()) {
            out.append(ch);
            continue;
        }
        const QChar next = text[++i];
        out.append(next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(QLatin1Char('\n')) : next);
    }
    return out;
}

} // namespace

QString ContentLine::text() const
{
    return unescape(QString::fromUtf8(value));
}

QStringList ContentLine::components(QChar separator) const
{
    const QString all = QString::fromUtf8(value);
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] == QLatin1Char('\\')) {
            ++i;
        } else if (all[i] == separator) {
            parts.append(unescape(QStringView(all).mid(start, i - start)));
            start = i + 1;
        }
    }
    parts.append(unescape(QStringView(all).mid(start)));
    return parts;
}

QStringList ContentLine::parameterValues(const QString& name, bool upperCase) const
{
    QStringList values;
    for (const auto& [paramName, paramValue] : parameters) {
        QStringList found;
        if (paramValue.isNull()) {
            if (name == QLatin1String("TYPE"))
                found.append(paramName);
        } else if (paramName == name) {
            if (paramValue.size() >= 2 && paramValue.startsWith(QLatin1Char('"'))
                && paramValue.endsWith(QLatin1Char('"')))
                found.append(paramValue.mid(1, paramValue.size() - 2));
            else
                found = paramValue.split(QLatin1Char(','), Qt::SkipEmptyParts);
        }
        for (const QString& v : found)
            values.append(upperCase ? v.toUpper() : v);
    }
    return values;
}

QByteArray ContentLine::binaryValue() const
{
    QByteArray data = value;
    if (data.startsWith("data:")) {
        const qsizetype comma = data.indexOf(',');
        if (comma < 0 || !data.left(comma).endsWith(";base64"))
            return {};
        data = data.mid(comma + 1);
    } else {
        const QStringList encoding = parameterValues(QStringLiteral("ENCODING"), true);
        if (!encoding.contains(QLatin1String("B")) && !encoding.contains(QLatin1String("BASE64")))
            return {};
    }
    const auto decoded = QByteArray::fromBase64Encoding(data.simplified().replace(' ', QByteArray()),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

std::optional<QList<ContentLine>> parseContentLines(const QByteArray& text, const CARD_ParserPolicy& policy,
                                                    QString* error)
{
    Collector collector;
    CARD_Parser parser(policy);
    parser.setUserData(&collector);
    parser.setPropHandler(onProperty);
    parser.setDataHandler(onData);
    if (!parser.parse(text, true)) {
        if (error)
            *error = QStringLiteral("the text does not parse (content line %1)").arg(collector.lines.size() + 1);
        return std::nullopt;
    }
    return collector.lines;
}

QString escapeText(const QString& text)
{
    return escapedText30(text);
}

QStringList unfoldedLines(const QByteArray& text)
{
    QStringList lines;
    QByteArray current;
    for (QByteArray raw : text.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (!raw.isEmpty() && (raw[0] == ' ' || raw[0] == '\t')) {
            current.append(raw.mid(1));
            continue;
        }
        if (!current.isEmpty())
            lines.append(QString::fromUtf8(current));
        current = raw;
    }
    if (!current.isEmpty())
        lines.append(QString::fromUtf8(current));
    return lines;
}

namespace {

QString fullNameOfLine(const QString& line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != QLatin1Char(';') && line[end] != QLatin1Char(':'))
        ++end;
    return line.left(end).trimmed();
}

} // namespace

QString propertyNameOfLine(const QString& line)
{
    const QString full = fullNameOfLine(line);
    return full.mid(full.lastIndexOf(QLatin1Char('.')) + 1).toUpper();
}

QString groupOfLine(const QString& line)
{
    const QString full = fullNameOfLine(line);
    const qsizetype dot = full.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : full.left(dot);
}

void ContentWriter::line(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    constexpr qsizetype kLimit = 75;
    qsizetype start = 0;
    bool first = true;
    while (start < bytes.size()) {
        const qsizetype room = first ? kLimit : kLimit - 1;
        qsizetype end = std::min(bytes.size(), start + room);
        // Never cut a UTF-8 sequence: back up over continuation bytes.
        while (end < bytes.size() && end > start + 1 && (quint8(bytes[end]) & 0xC0) == 0x80)
            --end;
        if (!first)
            m_text.append(' ');
        m_text.append(bytes.constData() + start, end - start);
        m_text.append("\r\n");
        start = end;
        first = false;
    }
    if (bytes.isEmpty())
        m_text.append("\r\n");
}

} // namespace desktopstore
