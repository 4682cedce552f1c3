#include "kestrova/sms/GsmAlphabet.h"

#include <initializer_list>
#include <utility>

namespace kestrova {

namespace {

using Entry = std::pair<quint8, char16_t>;

constexpr GsmUnicodeTable makeTable(std::initializer_list<Entry> entries)
{
    GsmUnicodeTable table{};
    for (auto& unit : table)
        unit = u'?';
    for (const auto& [position, unit] : entries)
        table[position] = unit;
    return table;
}

// 3GPP TS 23.038, 6.2.1 GSM 7 bit default alphabet. The escape position 0x1B
// holds U+00A0, the character a lone escape septet stands for here.
constexpr GsmUnicodeTable kDefaultAlphabet = [] {
    GsmUnicodeTable table{};
    constexpr char16_t low[32] = {
        u'@',    u'\u00A3', u'$',     u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC',
        u'\u00F2', u'\u00C7', u'\n',  u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5',
        u'\u0394', u'_',    u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8',
        u'\u03A3', u'\u0398', u'\u039E', u'\u00A0', u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9'};
    for (int i = 0; i < 32; ++i)
        table[i] = low[i];
    for (int i = 0x20; i < 0x80; ++i)
        table[i] = char16_t(i);   // ASCII positions, then the exceptions below
    table[0x24] = u'\u00A4';
    table[0x40] = u'\u00A1';
    table[0x5B] = u'\u00C4';
    table[0x5C] = u'\u00D6';
    table[0x5D] = u'\u00D1';
    table[0x5E] = u'\u00DC';
    table[0x5F] = u'\u00A7';
    table[0x60] = u'\u00BF';
    table[0x7B] = u'\u00E4';
    table[0x7C] = u'\u00F6';
    table[0x7D] = u'\u00F1';
    table[0x7E] = u'\u00FC';
    table[0x7F] = u'\u00E0';
    return table;
}();

// 6.2.1.1 GSM 7 bit default alphabet extension table.
constexpr GsmUnicodeTable kDefaultExtension = makeTable({
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['}, {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, u'\u20AC'}});

// A.2.2 Spanish national language single shift table.
constexpr GsmUnicodeTable kSpanishShift = makeTable({
    {0x09, u'\u00E7'}, {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'},
    {0x2F, u'\\'}, {0x3C, u'['}, {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'},
    {0x41, u'\u00C1'}, {0x49, u'\u00CD'}, {0x4F, u'\u00D3'}, {0x55, u'\u00DA'},
    {0x61, u'\u00E1'}, {0x65, u'\u20AC'}, {0x69, u'\u00ED'}, {0x6F, u'\u00F3'},
    {0x75, u'\u00FA'}});

// A.2.3 Portuguese national language single shift table.
constexpr GsmUnicodeTable kPortugueseShift = makeTable({
    {0x05, u'\u00EA'}, {0x09, u'\u00E7'}, {0x0A, u'\f'}, {0x0B, u'\u00D4'},
    {0x0C, u'\u00F4'}, {0x0E, u'\u00C1'}, {0x0F, u'\u00E1'}, {0x12, u'\u03A6'},
    {0x13, u'\u0393'}, {0x14, u'^'}, {0x15, u'\u03A9'}, {0x16, u'\u03A0'},
    {0x17, u'\u03A8'}, {0x18, u'\u03A3'}, {0x19, u'\u0398'}, {0x1F, u'\u00CA'},
    {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'}, {0x3C, u'['}, {0x3D, u'~'},
    {0x3E, u']'}, {0x40, u'|'}, {0x41, u'\u00C0'}, {0x49, u'\u00CD'},
    {0x4F, u'\u00D3'}, {0x55, u'\u00DA'}, {0x5B, u'\u00C3'}, {0x5C, u'\u00D5'},
    {0x61, u'\u00C2'}, {0x65, u'\u20AC'}, {0x69, u'\u00ED'}, {0x6F, u'\u00F3'},
    {0x75, u'\u00FA'}, {0x7B, u'\u00E3'}, {0x7C, u'\u00F5'}, {0x7F, u'\u00E2'}});

// A.2.1 Turkish national language single shift table.
constexpr GsmUnicodeTable kTurkishShift = makeTable({
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['}, {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x47, u'\u011E'},
    {0x49, u'\u0130'}, {0x53, u'\u015E'}, {0x63, u'\u00E7'}, {0x65, u'\u20AC'},
    {0x67, u'\u011F'}, {0x69, u'\u0131'}, {0x73, u'\u015F'}});

// The default alphabet as Mac OS Roman bytes for the AT character set "GSM".
// Greek capitals Mac OS Roman lacks are written as look-alikes (0x16 Pi as the
// n-ary product 0xB8, 0x18 Sigma as the n-ary sum 0xB7); characters it lacks
// altogether and the escape position hold 0x3F.
constexpr GsmByteTable kDefaultMacRoman = {
    0x40, 0xA3, 0x24, 0xB4, 0x8F, 0x8E, 0x9D, 0x93, 0x98, 0x82, 0x0A, 0xAF, 0xBF, 0x0D, 0x81, 0x8C,
    0xC6, 0x5F, 0x3F, 0x3F, 0x3F, 0xBD, 0xB8, 0x3F, 0xB7, 0x3F, 0x3F, 0x3F, 0xAE, 0xBE, 0xA7, 0x83,
    0x20, 0x21, 0x22, 0x23, 0x3F, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0xC1, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x80, 0x85, 0x84, 0x86, 0xA4,
    0xC0, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x8A, 0x9A, 0x96, 0x9F, 0x88};

// The extension table as Mac OS Roman bytes; 0x63 is the Turkish table's
// c-cedilla (Mac OS Roman 0x8D).
constexpr GsmByteTable kExtensionMacRoman = [] {
    GsmByteTable table{};
    for (auto& byte : table)
        byte = 0x3F;
    table[0x0A] = 0x0C;
    table[0x14] = 0x5E;
    table[0x28] = 0x7B;
    table[0x29] = 0x7D;
    table[0x2F] = 0x5C;
    table[0x3C] = 0x5B;
    table[0x3D] = 0x7E;
    table[0x3E] = 0x5D;
    table[0x40] = 0x7C;
    table[0x63] = 0x8D;
    table[0x65] = 0xDB;
    return table;
}();

constexpr quint8 kAbsent = 0xFF;

// Reverse look-up of a Unicode table: 64K entries, kAbsent where the
// character is not in the table. Positions holding "?" are undefined and not
// entered, so "?" itself is never found; of two positions with one character
// the last one wins.
struct ReverseTable {
    std::array<quint8, 0x10000> positions;
    explicit ReverseTable(const GsmUnicodeTable& table)
    {
        positions.fill(kAbsent);
        for (int i = 0; i < 128; ++i) {
            if (table[i] != u'?')
                positions[table[i]] = quint8(i);
        }
    }
    quint8 find(char16_t unit) const { return positions[unit]; }
};

const ReverseTable& reverseDefault()
{
    static const ReverseTable table(kDefaultAlphabet);
    return table;
}

const ReverseTable& reverseShift(SLTSmsCodePage page)
{
    static const ReverseTable extension(kDefaultExtension);
    static const ReverseTable spanish(kSpanishShift);
    static const ReverseTable portuguese(kPortugueseShift);
    static const ReverseTable turkish(kTurkishShift);
    switch (page) {
    case kSmsCodePageSpanish: return spanish;
    case kSmsCodePagePortuguese: return portuguese;
    case kSmsCodePageTurkish: return turkish;
    default: return extension;
    }
}

bool inShiftTable(char16_t unit, SLTSmsCodePage page)
{
    return reverseShift(page).find(unit) != kAbsent;
}

// Mac OS Roman byte -> GSM code for the AT character set: the extension table
// first (as 0x1B + position), then the default alphabet; first match wins and
// undefined positions are skipped.
struct MacRomanToGsm {
    std::array<quint16, 256> codes; // 0x1Bxx for an escape pair, 0xFFFF absent
    MacRomanToGsm()
    {
        codes.fill(0xFFFF);
        for (int i = 0; i < 128; ++i) {
            const quint8 byte = kExtensionMacRoman[i];
            if (byte != 0x3F && codes[byte] == 0xFFFF)
                codes[byte] = quint16(0x1B00 | i);
        }
        for (int i = 0; i < 128; ++i) {
            const quint8 byte = kDefaultMacRoman[i];
            if ((byte != 0x3F || i == 0x3F) && codes[byte] == 0xFFFF)
                codes[byte] = quint16(i);
        }
    }
};

const MacRomanToGsm& macRomanToGsm()
{
    static const MacRomanToGsm table;
    return table;
}

void appendGsmCode(QByteArray& out, quint8 byte)
{
    const quint16 code = macRomanToGsm().codes[byte];
    if (code == 0xFFFF) {
        out.append(char(kGsmQuestionMark));
    } else if (code & 0xFF00) {
        out.append(char(kGsmEscape));
        out.append(char(code & 0x7F));
    } else {
        out.append(char(code));
    }
}

} // namespace

const GsmUnicodeTable& gsmDefaultAlphabet()
{
    return kDefaultAlphabet;
}

const GsmUnicodeTable& gsmShiftTable(SLTSmsCodePage page)
{
    switch (page) {
    case kSmsCodePageSpanish: return kSpanishShift;
    case kSmsCodePagePortuguese: return kPortugueseShift;
    case kSmsCodePageTurkish: return kTurkishShift;
    default: return kDefaultExtension;
    }
}

const GsmByteTable& gsmDefaultMacRomanTable()
{
    return kDefaultMacRoman;
}

const GsmByteTable& gsmExtensionMacRomanTable()
{
    return kExtensionMacRoman;
}

char16_t getUnicodeValueFor(quint8 septet)
{
    return septet < 128 ? kDefaultAlphabet[septet] : u'?';
}

char16_t getUnicodeValueForGlyph(quint8 position, SLTSmsCodePage page)
{
    return position < 128 ? gsmShiftTable(page)[position] : u'?';
}

quint8 getUnicodePos(char16_t unit)
{
    const quint8 position = reverseDefault().find(unit);
    return position == kAbsent ? kGsmQuestionMark : position;
}

quint8 getUnicodeGlyph(char16_t unit, SLTSmsCodePage page)
{
    if (page == kSmsCodePageUcs2 || page == kSmsCodePageUndecided)
        return kGsmQuestionMark;
    const quint8 position = reverseShift(page).find(unit);
    return position == kAbsent ? kGsmQuestionMark : position;
}

bool isInGsmDefaultAlphabet(char16_t unit)
{
    return reverseDefault().find(unit) != kAbsent;
}

int messageTextContainsUniChars(QStringView text, SLTSmsCodePage& page, int& escapes)
{
    page = kSmsCodePageDefault;
    escapes = 0;
    for (const QChar qc : text) {
        const char16_t unit = qc.unicode();
        if (unit == u'?' || isInGsmDefaultAlphabet(unit))
            continue;
        ++escapes;
        bool fits = false;
        switch (page) {
        case kSmsCodePageTurkish:
        case kSmsCodePagePortuguese:
            fits = inShiftTable(unit, page);
            break;
        case kSmsCodePageSpanish:
            // The Portuguese table holds every Spanish letter.
            if (inShiftTable(unit, kSmsCodePageSpanish)) {
                fits = true;
            } else if (inShiftTable(unit, kSmsCodePagePortuguese)) {
                page = kSmsCodePagePortuguese;
                fits = true;
            }
            break;
        default: // default page, or undecided after a lone U+00E7
            if (unit == u'\u00E7' || inShiftTable(unit, kSmsCodePageDefault)) {
                if (unit == u'\u00E7')
                    page = kSmsCodePageUndecided;
                fits = true;
            } else if (inShiftTable(unit, kSmsCodePageTurkish)) {
                page = kSmsCodePageTurkish;
                fits = true;
            } else if (inShiftTable(unit, kSmsCodePageSpanish)) {
                page = kSmsCodePageSpanish;
                fits = true;
            } else if (inShiftTable(unit, kSmsCodePagePortuguese)) {
                page = kSmsCodePagePortuguese;
                fits = true;
            }
            break;
        }
        if (!fits) {
            page = kSmsCodePageUcs2;
            return 1;
        }
    }
    if (page == kSmsCodePageUndecided)
        page = kSmsCodePageTurkish;
    return 0;
}

QByteArray gsmEncodeText(QStringView text, SLTSmsCodePage page)
{
    // A text that needs UCS2 but is coded in GSM anyway still gets the
    // extension table for the characters it has.
    const SLTSmsCodePage shiftPage = page == kSmsCodePageUcs2 || page == kSmsCodePageUndecided
                                         ? kSmsCodePageDefault
                                         : page;
    const ReverseTable& reverse = reverseDefault();
    const ReverseTable& shift = reverseShift(shiftPage);
    const GsmUnicodeTable& shiftUnits = gsmShiftTable(shiftPage);
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == u'\u00A0') {
            // A lone escape septet. Before a septet that would pair with it
            // (a defined shift position, or the escape of the next character:
            // 1B 1B is reserved) a plain blank keeps the text intact.
            bool pairs = false;
            if (i + 1 < text.size()) {
                const char16_t next = text[i + 1].unicode();
                const quint8 nextPosition = reverse.find(next);
                pairs = nextPosition == kAbsent ? shift.find(next) != kAbsent
                                                : nextPosition == kGsmEscape
                                                      || shiftUnits[nextPosition] != u'?';
            }
            out.append(char(pairs ? 0x20 : kGsmEscape));
        } else if (const quint8 position = reverse.find(unit); position != kAbsent) {
            out.append(char(position));
        } else if (const quint8 shifted = shift.find(unit); shifted != kAbsent) {
            out.append(char(kGsmEscape));
            out.append(char(shifted));
        } else {
            out.append(char(kGsmQuestionMark));
        }
    }
    return out;
}

QString gsmDecodeText(QByteArrayView coded, SLTSmsCodePage page)
{
    const GsmUnicodeTable& shift = gsmShiftTable(page);
    // One character per septet at most: write into the buffer, then cut it.
    QString out(coded.size(), Qt::Uninitialized);
    char16_t* units = reinterpret_cast<char16_t*>(out.data());
    qsizetype length = 0;
    for (qsizetype i = 0; i < coded.size(); ++i) {
        const quint8 byte = quint8(coded[i]) & 0x7F;
        if (byte != kGsmEscape) {
            units[length++] = kDefaultAlphabet[byte];
            continue;
        }
        // An escape pair, or a lone escape (U+00A0): a following position
        // that the shift table leaves undefined stays a character of its own,
        // as TS 23.038 asks for unknown extension codes.
        if (i + 1 < coded.size()) {
            const quint8 next = quint8(coded[i + 1]) & 0x7F;
            if (next != kGsmEscape && shift[next] != u'?') {
                units[length++] = shift[next];
                ++i;
                continue;
            }
        }
        units[length++] = u'\u00A0';
    }
    out.truncate(length);
    return out;
}

char16_t getGreekReplacementForChar(char16_t unit)
{
    switch (unit) {
    case 0x0060: return u' ';
    case 0x0386: case 0x0391: case 0x03AC: case 0x03B1: return u'A';
    case 0x0388: case 0x0395: case 0x03AD: case 0x03B5: return u'E';
    case 0x0389: case 0x0397: case 0x03AE: case 0x03B7: return u'H';
    case 0x038A: case 0x0390: case 0x0399: case 0x03AA: case 0x03AF: case 0x03B9: case 0x03CA:
        return u'I';
    case 0x038C: case 0x039F: case 0x03BF: case 0x03CC: return u'O';
    case 0x038E: case 0x03A5: case 0x03AB: case 0x03C5: case 0x03CB: case 0x03CD: return u'Y';
    case 0x038F: case 0x03C9: case 0x03CE: return u'\u03A9';
    case 0x0392: case 0x03B2: return u'B';
    case 0x0396: case 0x03B6: return u'Z';
    case 0x039A: case 0x03BA: return u'K';
    case 0x039C: case 0x03BC: return u'M';
    case 0x039D: case 0x03BD: return u'N';
    case 0x03A1: case 0x03C1: return u'P';
    case 0x03A4: case 0x03C4: return u'T';
    case 0x03A7: case 0x03C7: return u'X';
    case 0x03B3: return u'\u0393';
    case 0x03B4: return u'\u0394';
    case 0x03B8: return u'\u0398';
    case 0x03BB: return u'\u039B';
    case 0x03BE: return u'\u039E';
    case 0x03C0: return u'\u03A0';
    case 0x03C6: return u'\u03A6';
    case 0x03C8: return u'\u03A8';
    case 0x03C2: case 0x03C3: return u'\u03A3';
    default: return unit;
    }
}

bool isAGreekCharWithNoTonosAllowed(char16_t unit)
{
    if (unit < 0x0392 || unit > 0x03C8)
        return false;
    switch (unit) {
    case 0x0395: case 0x0397: case 0x0399: case 0x039F: case 0x03A2: case 0x03A5:
    case 0x03B5: case 0x03B7: case 0x03B9: case 0x03BF: case 0x03C5:
        return false;
    default:
        return !(unit >= 0x03A9 && unit <= 0x03B1);
    }
}

std::optional<QString> substituteStringToGreek(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if ((unit == 0x0384 || unit == 0x00A8) && i + 1 < text.size()
            && isAGreekCharWithNoTonosAllowed(text[i + 1].unicode())) {
            continue;
        }
        out.append(QChar(getGreekReplacementForChar(unit)));
    }
    return out;
}

QByteArray convertToGSMEncoding(QByteArrayView macRoman)
{
    QByteArray out;
    out.reserve(macRoman.size());
    for (const char c : macRoman)
        appendGsmCode(out, quint8(c));
    return out;
}

QByteArray convertToNokiaGSMEncoding(QByteArrayView macRoman)
{
    return convertToGSMEncoding(macRoman);
}

QByteArray convertToSiemensGSMEncoding(QByteArrayView macRoman)
{
    QByteArray out;
    out.reserve(macRoman.size());
    for (const char c : macRoman) {
        switch (quint8(c)) {
        case 0x85: out.append("\\5C"); break;
        case 0x22: out.append("\\22"); break;
        case 0x40: out.append("\\00"); break;
        default: appendGsmCode(out, quint8(c)); break;
        }
    }
    return out;
}

QByteArray convertFromGSMEncoding(QByteArrayView gsm)
{
    QByteArray out;
    out.reserve(gsm.size());
    for (qsizetype i = 0; i < gsm.size(); ++i) {
        const quint8 byte = quint8(gsm[i]);
        if (byte == kGsmEscape && i + 1 < gsm.size()) {
            const quint8 position = quint8(gsm[++i]);
            out.append(char(position < 128 ? kExtensionMacRoman[position] : 0x3F));
        } else if (byte == 0x40) {
            out.append(char(0x40)); // phones answer "@" as 0x40 in this set
        } else if (byte < 0x80) {
            out.append(char(kDefaultMacRoman[byte]));
        } else {
            out.append(char(0x3F));
        }
    }
    return out;
}

QByteArray convertFromSiemensGSMEncoding(QByteArrayView gsm)
{
    // Siemens phones write a GSM code that would end a quoted text or look
    // like the escape itself as a backslash and two hex digits ("\00" for
    // "@", "\22" for a double quote, "\5C"); those become the code again.
    const auto hexValue = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    QByteArray codes;
    codes.reserve(gsm.size());
    for (qsizetype i = 0; i < gsm.size(); ++i) {
        if (gsm[i] == '\\' && i + 2 < gsm.size() && hexValue(gsm[i + 1]) >= 0 && hexValue(gsm[i + 2]) >= 0) {
            const int code = hexValue(gsm[i + 1]) * 16 + hexValue(gsm[i + 2]);
            // "@" is code 0, which the plain decoder reads from 0x40.
            codes.append(char(code == 0 ? 0x40 : code));
            i += 2;
        } else {
            codes.append(gsm[i]);
        }
    }
    return convertFromGSMEncoding(codes);
}

QByteArray convertFromNokiaGSMEncoding(QByteArrayView gsm)
{
    return convertFromGSMEncoding(gsm);
}

} // namespace kestrova
