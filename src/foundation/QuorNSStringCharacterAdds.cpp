#include "foundation/QuorNSStringCharacterAdds.h"

#include <limits>

namespace {

constexpr QLatin1StringView kLabelMarker("_$!");

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The leading hexadecimal number: blanks, an optional "0x", then hex digits.
// Saturates at the largest 32-bit value.
std::optional<quint32> scanHex(const QString& text)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && text.at(i).isSpace())
        ++i;
    if (i + 2 < size && text.at(i) == QLatin1Char('0')
        && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X')) && hexDigit(text.at(i + 2)) >= 0)
        i += 2;
    bool found = false;
    quint64 value = 0;
    for (; i < size; ++i) {
        const int digit = hexDigit(text.at(i));
        if (digit < 0)
            break;
        found = true;
        value = std::min<quint64>(value * 16 + digit, std::numeric_limits<quint32>::max());
    }
    if (!found)
        return std::nullopt;
    return static_cast<quint32>(value);
}

} // namespace

QString cleanLabel(const QString& self)
{
    if (!self.startsWith(kLabelMarker))
        return self;
    // "_$!<" ... ">!$_": a label too short to hold both marks has no text.
    if (self.size() < 8)
        return QString(QLatin1String(""));
    return self.mid(4, self.size() - 8);
}

QString stringByReplacingChar(const QString& self, QChar oldChar, QChar newChar)
{
    if (!self.contains(oldChar))
        return self;
    QString copy = self;
    copy.replace(oldChar, newChar);
    return copy;
}

qsizetype charCount(const QString& self, QChar theChar)
{
    return self.count(theChar);
}

QString firstLine(const QString& self)
{
    const auto isLineBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    qsizetype start = 0;
    while (start < self.size()
           && (isLineBreak(self.at(start)) || self.at(start) == QLatin1Char(' ') || self.at(start) == QLatin1Char('\t')))
        ++start;
    if (start == self.size())
        start = 0;
    qsizetype end = start;
    while (end < self.size() && !isLineBreak(self.at(end)))
        ++end;
    return self.mid(start, end - start);
}

QString stringFromOSType(quint32 osType)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text.append(QChar(static_cast<char16_t>((osType >> shift) & 0xFF)));
    return text;
}

QStringList linesArray(const QString& self)
{
    QStringList lines;
    QString current;
    QChar previous;
    for (QChar c : self) {
        if (c == QLatin1Char('\n') && previous == QLatin1Char('\r')) {
            // The LF of a CRLF: the CR already ended the line.
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(current);
            current.clear();
        } else {
            current.append(c);
        }
        previous = c;
    }
    if (!current.isEmpty() || lines.isEmpty())
        lines.append(current);
    return lines;
}

quint32 hexValue(const QString& self)
{
    return scanHex(self).value_or(0);
}

int intDecValue(const QString& self)
{
    const auto value = scanHex(self);
    return value ? static_cast<int>(*value) : -1;
}

quint32 unsignedIntDecValue(const QString& self)
{
    return scanHex(self).value_or(0);
}

void appendChar(QString& self, QChar theChar)
{
    self.append(theChar);
}
