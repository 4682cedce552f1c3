#include "CharacterSet.h"

#include "AtCommand.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <QHash>

namespace phonesim {

namespace {

// The GSM default alphabet where it differs from ASCII, and the Latin
// letters phones commonly use; other characters become "?".
const QList<QPair<char16_t, quint8>>& gsmDifferences()
{
    static const QList<QPair<char16_t, quint8>> table = {
        {u'@', 0x40}, {u'£', 0x01}, {u'$', 0x02}, {u'¥', 0x03}, {u'è', 0x04}, {u'é', 0x05}, {u'ù', 0x06},
        {u'ì', 0x07}, {u'ò', 0x08}, {u'Ç', 0x09}, {u'Ø', 0x0B}, {u'ø', 0x0C}, {u'Å', 0x0E}, {u'å', 0x0F},
        {u'_', 0x11}, {u'Æ', 0x1C}, {u'æ', 0x1D}, {u'ß', 0x1E}, {u'É', 0x1F}, {u'¤', 0x24}, {u'¡', 0x40},
        {u'Ä', 0x5B}, {u'Ö', 0x5C}, {u'Ñ', 0x5D}, {u'Ü', 0x5E}, {u'§', 0x5F}, {u'¿', 0x60}, {u'ä', 0x7B},
        {u'ö', 0x7C}, {u'ñ', 0x7D}, {u'ü', 0x7E}, {u'à', 0x7F}};
    return table;
}

// Characters of ASCII that the GSM default alphabet has elsewhere or not.
bool asciiDiffers(char16_t c)
{
    return c == u'@' || c == u'$' || c == u'_' || c == u'`' || c == u'[' || c == u'\\' || c == u']' || c == u'^'
           || c == u'{' || c == u'|' || c == u'}' || c == u'~' || c >= 0x7F;
}

QByteArray toGsm(const QString& text, bool siemens)
{
    static const QHash<char16_t, quint8> codes = [] {
        QHash<char16_t, quint8> map;
        for (const auto& [unit, code] : gsmDifferences())
            map.insert(unit, code);
        map.insert(u'@', 0x40);
        return map;
    }();
    QByteArray out;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        quint8 code = '?';
        if (!asciiDiffers(unit) && unit >= 0x0A)
            code = quint8(unit);
        else if (codes.contains(unit))
            code = codes.value(unit);
        if (siemens && (unit == u'@' || code == 0x22 || code == 0x5C))
            out += unit == u'@' ? QByteArray("\\00") : "\\" + QByteArray::number(code, 16).toUpper();
        else
            out += char(code);
    }
    return out;
}

QString fromGsm(const QByteArray& bytes, bool siemens)
{
    static const QHash<quint8, char16_t> units = [] {
        QHash<quint8, char16_t> map;
        for (const auto& [unit, code] : gsmDifferences())
            map.insert(code, unit);
        map.insert(0x40, u'@');
        map.insert(0x00, u'@');
        return map;
    }();
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        quint8 code = quint8(bytes[i]);
        if (siemens && code == '\\' && i + 2 < bytes.size()) {
            bool ok = false;
            const int escaped = bytes.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                code = quint8(escaped);
                i += 2;
            }
        }
        if (units.contains(code))
            out += QChar(units.value(code));
        else
            out += QChar(code < 0x80 ? char16_t(code) : u'?');
    }
    return out;
}

QByteArray toUcs2Hex(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return out;
}

std::optional<QString> fromUcs2Hex(const QByteArray& hex)
{
    if (hex.size() % 4 != 0)
        return std::nullopt;
    QString out;
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        bool ok = false;
        const uint unit = hex.mid(i, 4).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        out += QChar(char16_t(unit));
    }
    return out;
}

AtResult characterSet(PhoneSession& session, const AtCommand& cmd)
{
    CharacterSetState& sets = session.characterSet;
    if (cmd.isTest()) {
        QByteArray list;
        for (const QByteArray& name : sets.offered)
            list += (list.isEmpty() ? "\"" : ",\"") + name + '"';
        return AtResult::okay({"+CSCS: (" + list + ")"});
    }
    if (cmd.isQuery())
        return AtResult::okay({"+CSCS: \"" + sets.current + '"'});
    if (!cmd.args.startsWith('='))
        return AtResult::error();
    QByteArray name = unquoted(cmd.args.mid(1).trimmed());
    if (sets.current == "UCS2" && !sets.offered.contains(name)) {
        const std::optional<QString> decoded = fromUcs2Hex(name);
        if (decoded)
            name = decoded->toLatin1();
    }
    if (!sets.offered.contains(name))
        return AtResult::error();
    sets.current = name;
    return AtResult::okay();
}

} // namespace

QByteArray CharacterSetState::encode(const QString& text) const
{
    if (current == "UCS2")
        return toUcs2Hex(text);
    if (current == "GSM")
        return toGsm(text, siemensEscapes);
    if (current == "UTF-8" || current == "UTF8")
        return text.toUtf8();
    return text.toLatin1();
}

std::optional<QString> CharacterSetState::decode(const QByteArray& bytes) const
{
    if (current == "UCS2")
        return fromUcs2Hex(bytes);
    if (current == "GSM")
        return fromGsm(bytes, siemensEscapes);
    if (current == "UTF-8" || current == "UTF8")
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

QByteArray CharacterSetState::encodeNumber(const QString& number) const
{
    return current == "UCS2" && ucs2Numbers ? toUcs2Hex(number) : number.toLatin1();
}

std::optional<QString> CharacterSetState::decodeNumber(const QByteArray& bytes) const
{
    if (current == "UCS2" && ucs2Numbers)
        return fromUcs2Hex(bytes);
    return QString::fromLatin1(bytes);
}

QByteArray unquoted(const QByteArray& field)
{
    const QByteArray trimmed = field.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith('"') && trimmed.endsWith('"'))
        return trimmed.mid(1, trimmed.size() - 2);
    return trimmed;
}

QList<QByteArray> splitArguments(const QByteArray& arguments)
{
    QList<QByteArray> fields;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == '"')
            quoted = !quoted;
        else if (arguments[i] == ',' && !quoted) {
            fields.append(arguments.mid(start, i - start));
            start = i + 1;
        }
    }
    fields.append(arguments.mid(start));
    return fields;
}

void installCharacterSetHandlers(PhoneProfile& profile)
{
    profile.setHandler("+CSCS", characterSet);
}

} // namespace phonesim
