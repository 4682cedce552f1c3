#include "kestrova/core/AtTextFields.h"

namespace kestrova::core::atfields {

namespace {

constexpr char16_t kCtrlZ = 0x1A;

bool endsLine(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == kCtrlZ;
}

} // namespace

QStringList splitOutsideQuotes(QStringView line, QChar separator)
{
    QStringList fields;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == separator && !quoted) {
            fields.append(line.mid(start, i - start).toString());
            start = i + 1;
        }
    }
    fields.append(line.mid(start).toString());
    return fields;
}

bool isSafeInQuotes(QStringView text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\') || endsLine(c))
            return false;
    }
    return true;
}

QString quotedArgumentText(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c == QLatin1Char('"'))
            c = QLatin1Char('\'');
        else if (c == QLatin1Char('\\'))
            c = QLatin1Char('/');
        else if (endsLine(c))
            c = QLatin1Char(' ');
    }
    return out;
}

QString blankUnsafeCharacters(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c == QLatin1Char('"') || endsLine(c))
            c = QLatin1Char(' ');
    }
    return out;
}

} // namespace kestrova::core::atfields
