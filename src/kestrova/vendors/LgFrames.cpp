#include "kestrova/vendors/LgFrames.h"

namespace kestrova::lg {

namespace {
constexpr char kEscape = char(0x7D);
} // namespace

QByteArray quoteFFValuesInData(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 8 + 4);
    for (const char c : data) {
        switch (quint8(c)) {
        case 0xFF: out.append(kEscape).append(char(0xDF)); break;
        case 0x7D: out.append(kEscape).append(char(0x5D)); break;
        case 0x7E: out.append(kEscape).append(char(0x5E)); break;
        default: out.append(c); break;
        }
    }
    return out;
}

QByteArray removeQuotedFFValuesFromData(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == kEscape && i + 1 < n) {
            const quint8 next = quint8(data[i + 1]);
            if (next == 0xDF || next == 0x5D || next == 0x5E) {
                out.append(char(next == 0xDF ? 0xFF : next == 0x5D ? 0x7D : 0x7E));
                ++i;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

QByteArray frame(quint8 service, quint8 opcode, quint8 sequence, const QByteArray& payload)
{
    const qsizetype total = kHeaderLength + payload.size();
    QByteArray out;
    out.reserve(total);
    out.append(char(0xFF)).append(char(service)).append(char(opcode)).append(char(sequence));
    out.append('\0').append('\0');
    out.append(char(total & 0xFF)).append(char((total >> 8) & 0xFF));
    out.append(payload);
    return out;
}

int readLe16(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset + 1 >= data.size())
        return -1;
    return quint8(data[offset]) | (quint8(data[offset + 1]) << 8);
}

int replyDeclaredLength(const QByteArray& reply)
{
    return readLe16(reply, kReplyLengthOffset);
}

quint8 modelByte(const QString& family, ModelKind kind)
{
    const bool gd900 = family == QLatin1String("lgGD900");
    switch (kind) {
    case ModelKind::Phonebook: return gd900 ? 4 : 1;
    case ModelKind::Calendar: return gd900 ? 8 : 2;
    case ModelKind::Tasks: return gd900 ? 12 : 3;
    case ModelKind::ReplacedTask: return gd900 ? 12 : 2;
    }
    return 1;
}

} // namespace kestrova::lg
