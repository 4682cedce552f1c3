#include "formats/TextRewriter.h"

#include "formats/CARD_Parser.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardEncoding.h"
#include "platform/TextEncoding.h"

#include <optional>

namespace textrewriter {

namespace {

struct ParseRecord {
    QString name;
    QStringList params;
    const LineHandler* addLine = nullptr;
};

void onProperty(void* userData, const char* name, const char** params)
{
    auto* record = static_cast<ParseRecord*>(userData);
    record->name = macRoman(QByteArray(name));
    if (record->name.startsWith(QLatin1String("item"))) {
        const qsizetype dot = record->name.indexOf(u'.');
        if (dot >= 0)
            record->name.remove(0, dot + 1);
    }
    record->params.clear();
    for (int i = 0; params[i]; ++i)
        record->params.append(macRoman(QByteArray(params[i])));
}

void onData(void* userData, const char* data, int length)
{
    auto* record = static_cast<ParseRecord*>(userData);
    if (!data || record->name.isEmpty())
        return;
    (*record->addLine)(record->name, record->params, QByteArray(data, length));
}

} // namespace

QString macRoman(const QByteArray& bytes)
{
    return platform::text::decode(bytes, platform::text::Encoding::MacRoman).value_or(QString());
}

bool rewrite(const QByteArray& text, const LineHandler& addLine)
{
    ParseRecord record;
    record.addLine = &addLine;
    CARD_Parser* parser = CARD_ParserCreate();
    CARD_SetUserData(parser, &record);
    CARD_SetPropHandler(parser, onProperty);
    CARD_SetDataHandler(parser, onData);
    const qsizetype length = std::min<qsizetype>(text.size(), qsizetype(CARD_Parser::kMaxLineLength));
    const bool accepted = CARD_Parse(parser, text.constData(), int(length), 1) != 0;
    CARD_ParserFree(parser);
    return accepted;
}

QByteArray unescaped(const QByteArray& value)
{
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        if (c != '\\' || i + 1 == value.size()) {
            result.append(c);
            continue;
        }
        const char next = value.at(++i);
        if (next == 'n')
            result.append("\r\n");
        else if (next == 'r')
            result.append('\r');
        else
            result.append(next);
    }
    return result;
}

QByteArray typedLine(const QString& name, const QStringList& params, const QByteArray& value)
{
    using platform::text::Encoding;
    if (value.isEmpty())
        return {};
    const auto first = static_cast<unsigned char>(value.at(0));
    Encoding set = first == 0 || first == 0xFF ? Encoding::Utf16 : Encoding::Utf8;
    QString written = name;
    for (qsizetype i = 0; i + 1 < params.size(); i += 2) {
        const QString& param = params[i];
        const QString& paramValue = params[i + 1];
        if (param.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0) {
            const bool dropped = paramValue.compare(QLatin1String("pref"), Qt::CaseInsensitive) == 0
                                 || paramValue.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0
                                 || paramValue.compare(QLatin1String("INTERNET"), Qt::CaseInsensitive) == 0;
            if (!dropped)
                written += u';' + paramValue;
        } else if (param.compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) == 0) {
            if (paramValue.compare(QLatin1String("LATIN1"), Qt::CaseInsensitive) == 0)
                set = Encoding::Latin1;
            else if (paramValue.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
                set = Encoding::Utf8;
        }
    }
    const std::optional<QString> text = platform::text::decode(value, set);
    if (!text)
        return {};
    if (isCleanASCII(*text))
        return asciiLine(written, *text);
    bool ascii = true;
    for (const QChar c : *text)
        ascii = ascii && c.unicode() < 128;
    const QString parameters = ascii ? QStringLiteral(";ENCODING=QUOTED-PRINTABLE")
                                     : QStringLiteral(";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8");
    return asciiLine(written + parameters, encodeData_quoted_printable(text->toUtf8()));
}

QByteArray asciiLine(const QString& name, const QString& value)
{
    const QString line = name + u':' + value + QStringLiteral("\r\n");
    for (const QChar c : line) {
        if (c.unicode() >= 128)
            return {};
    }
    return line.toLatin1();
}

} // namespace textrewriter
