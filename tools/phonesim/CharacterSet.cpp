#include "CharacterSet.h"

#include "AtCommand.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <QHash>

namespace phonesim {

namespace {

// The GSM 7-bit default alphabet (3GPP TS 23.038), code by code.
constexpr char16_t kGsmDefault[128] = {
    u'@', u'£', u'$', u'¥', u'è', u'é', u'ù', u'ì',  u'ò', u'Ç', u'\n', u'Ø',    u'ø', u'\r', u'Å', u'å',
    u'Δ', u'_', u'Φ', u'Γ', u'Λ', u'Ω', u'Π', u'Ψ',  u'Σ', u'Θ', u'Ξ',  u'\x1B', u'Æ', u'æ',  u'ß', u'É',
    u' ', u'!', u'"', u'#', u'¤', u'%', u'&', u'\'', u'(', u')', u'*',  u'+',    u',', u'-',  u'.', u'/',
    u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',  u'8', u'9', u':',  u';',    u'<', u'=',  u'>', u'?',
    u'¡', u'A', u'B', u'C', u'D', u'E', u'F', u'G',  u'H', u'I', u'J',  u'K',    u'L', u'M',  u'N', u'O',
    u'P', u'Q', u'R', u'S', u'T', u'U', u'V', u'W',  u'X', u'Y', u'Z',  u'Ä',    u'Ö', u'Ñ',  u'Ü', u'§',
    u'¿', u'a', u'b', u'c', u'd', u'e', u'f', u'g',  u'h', u'i', u'j',  u'k',    u'l', u'm',  u'n', u'o',
    u'p', u'q', u'r', u's', u't', u'u', u'v', u'w',  u'x', u'y', u'z',  u'ä',    u'ö', u'ñ',  u'ü', u'à'};

constexpr quint8 kEscape = 0x1B;

// The extension table: the code after the escape and its character.
constexpr QPair<quint8, char16_t> kGsmExtension[] = {{0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'},
                                                     {0x2F, u'\\'}, {0x3C, u'['}, {0x3D, u'~'}, {0x3E, u']'},
                                                     {0x40, u'|'},  {0x65, u'€'}};

// The codes of a character: one, two (escape first) or none.
QByteArray gsmCodes(char16_t unit)
{
    static const QHash<char16_t, QByteArray> codes = [] {
        QHash<char16_t, QByteArray> map;
        for (int code = 0; code < 128; ++code)
            if (code != kEscape)
                map.insert(kGsmDefault[code], QByteArray(1, char(code)));
        for (const auto& [code, extended] : kGsmExtension)
            map.insert(extended, QByteArray(1, char(kEscape)) + char(code));
        return map;
    }();
    return codes.value(unit);
}

char16_t gsmExtended(quint8 code)
{
    for (const auto& [extensionCode, extended] : kGsmExtension)
        if (extensionCode == code)
            return extended;
    // A code the extension table lacks reads as the default table's; a
    // second escape (a table this phone lacks) as a space.
    return code == kEscape ? u' ' : kGsmDefault[code & 0x7F];
}

// Phones answer "@" (code 0) as 0x40 in this set; 0 reads as "@" too. A
// character outside the alphabet becomes "?".
QByteArray toGsm(const QString& text, bool siemens)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        QByteArray codes = unit == u'@' ? QByteArray(1, 0x40) : gsmCodes(unit);
        if (codes.isEmpty())
            codes = "?";
        for (const char code : codes) {
            if (siemens && (unit == u'@' || code == 0x22 || code == 0x5C))
                out += unit == u'@' ? QByteArray("\\00") : "\\" + QByteArray::number(code, 16).toUpper();
            else
                out += code;
        }
    }
    return out;
}

QString fromGsm(const QByteArray& bytes, bool siemens)
{
    QByteArray codes;
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
        codes += char(code);
    }
    QString out;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const quint8 code = quint8(codes[i]);
        if (code >= 0x80)
            out += u'?';
        else if (code == 0x40 || code == 0x00)
            out += u'@';
        else if (code != kEscape)
            out += QChar(kGsmDefault[code]);
        else if (i + 1 < codes.size())
            out += QChar(gsmExtended(quint8(codes[++i])));
        else
            out += u' '; // an escape with nothing after it
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
