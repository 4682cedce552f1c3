#include "platform/HexDump.h"

#include <algorithm>

namespace platform::hexdump {

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kWideColumn = 7;    // two blanks after it split the line in halves
constexpr qsizetype kLineLength = 79;

const char* const kNoData = "NSData is nil";

bool isShownAsItself(unsigned char byte)
{
    return byte >= 0x26 && byte <= 0x7E;
}

void appendHex(QByteArray& out, unsigned long value, int digits)
{
    static const char hex[] = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.append(hex[(value >> shift) & 0xF]);
}

// One dump line for up to 16 bytes that begin at the given offset.
void appendLine(QByteArray& out, const unsigned char* bytes, qsizetype count, qsizetype offset)
{
    appendHex(out, static_cast<unsigned long>(offset), 8);
    out.append("  ");
    for (int column = 0; column < kBytesPerLine; ++column) {
        if (column < count) {
            appendHex(out, bytes[column], 2);
            out.append(' ');
        } else {
            out.append("   ");
        }
        if (column == kWideColumn)
            out.append(' ');
    }
    out.append(" |");
    for (qsizetype i = 0; i < count; ++i)
        out.append(isShownAsItself(bytes[i]) ? static_cast<char>(bytes[i]) : '.');
    out.append("|\n");
}

// The dump holds only ASCII, so reading it as Mac OS Roman equals Latin-1.
QString decodeDump(const QByteArray& dump)
{
    return QString::fromLatin1(dump);
}

} // namespace

QString memoryBlock(const char* bytes, qsizetype length)
{
    if (!bytes || length <= 0)
        return QString(QLatin1String(""));
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    const qsizetype lines = (length + kBytesPerLine - 1) / kBytesPerLine;
    QByteArray out;
    out.reserve(lines * (kLineLength + 1));
    for (qsizetype line = 0; line < lines; ++line) {
        const qsizetype offset = line * kBytesPerLine;
        appendLine(out, data + offset, std::min<qsizetype>(kBytesPerLine, length - offset), offset);
    }
    return decodeDump(out);
}

QString shortMemoryBlock(const char* bytes, qsizetype length)
{
    QByteArray line;
    if (bytes && length > 0)
        appendLine(line, reinterpret_cast<const unsigned char*>(bytes), std::min<qsizetype>(kBytesPerLine, length), 0);
    const QString format = length <= kBytesPerLine ? QStringLiteral("<NSData> (%1 Bytes): %2")
                                                   : QStringLiteral("<NSData> (%1 Bytes) first 16 Bytes: %2");
    return format.arg(length).arg(decodeDump(line));
}

QString formatted(const QByteArray& data)
{
    if (data.isEmpty())
        return QString::fromLatin1(kNoData);
    return memoryBlock(data.constData(), data.size());
}

QString shortFormatted(const QByteArray& data)
{
    if (data.isEmpty())
        return QString::fromLatin1(kNoData);
    return shortMemoryBlock(data.constData(), data.size());
}

} // namespace platform::hexdump
