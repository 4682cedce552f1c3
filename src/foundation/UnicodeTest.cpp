#include "foundation/UnicodeTest.h"

namespace {

constexpr int kQuestionMarkPosition = 63;
constexpr char16_t kQuestionMark = u'?';

constexpr char16_t kDefaultAlphabet[128] = {
    u'@', 0x00A3, u'$', 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, 0x00F2, 0x00C7, u'\n', 0x00D8, 0x00F8, u'\r', 0x00C5, 0x00E5,
    0x0394, u'_', 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8, 0x03A3, 0x0398, 0x039E, 0x00A0, 0x00C6, 0x00E6, 0x00DF, 0x00C9,
    u' ', u'!', u'"', u'#', 0x00A4, u'%', u'&', u'\'', u'(', u')', u'*', u'+', u',', u'-', u'.', u'/',
    u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u':', u';', u'<', u'=', u'>', u'?',
    0x00A1, u'A', u'B', u'C', u'D', u'E', u'F', u'G', u'H', u'I', u'J', u'K', u'L', u'M', u'N', u'O',
    u'P', u'Q', u'R', u'S', u'T', u'U', u'V', u'W', u'X', u'Y', u'Z', 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,
    0x00BF, u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'j', u'k', u'l', u'm', u'n', u'o',
    u'p', u'q', u'r', u's', u't', u'u', u'v', u'w', u'x', u'y', u'z', 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,
};

struct ExtensionTable {
    char16_t units[128];
    constexpr ExtensionTable()
        : units {}
    {
        for (char16_t& unit : units)
            unit = kQuestionMark;
        units[0x0A] = 0x000C;
        units[0x14] = u'^';
        units[0x28] = u'{';
        units[0x29] = u'}';
        units[0x2F] = u'\\';
        units[0x3C] = u'[';
        units[0x3D] = u'~';
        units[0x3E] = u']';
        units[0x40] = u'|';
        units[0x65] = 0x20AC;
    }
};

constexpr ExtensionTable kExtensionAlphabet;

int lastPosition(const char16_t (&table)[128], char16_t unit)
{
    for (int i = 127; i >= 0; --i) {
        if (table[i] == unit)
            return i;
    }
    return -1;
}

} // namespace

int getUnicodePos(char16_t unit)
{
    const int position = lastPosition(kDefaultAlphabet, unit);
    return position < 0 ? kQuestionMarkPosition : position;
}

int getUnicodeGlyph(char16_t unit)
{
    if (unit == kQuestionMark)
        return kQuestionMarkPosition;
    const int position = lastPosition(kExtensionAlphabet.units, unit);
    return position < 0 ? kQuestionMarkPosition : position;
}

bool hasNonGsmCharacters(const QString& text)
{
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit == kQuestionMark)
            continue;
        if (lastPosition(kDefaultAlphabet, unit) < 0 && lastPosition(kExtensionAlphabet.units, unit) < 0)
            return true;
    }
    return false;
}
