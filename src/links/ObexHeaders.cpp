#include "links/ObexHeaders.h"

namespace obex {
namespace {
constexpr uint8_t kFormMask = 0xC0;
constexpr uint8_t kFormText = 0x00;
constexpr uint8_t kFormBytes = 0x40;
constexpr uint8_t kFormByte = 0x80;
constexpr int kVariablePrefix = 3;
constexpr qsizetype kMaxVariable = 0xFFFF;

void appendBig16(QByteArray& out, uint32_t value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

void appendBig32(QByteArray& out, uint32_t value)
{
    appendBig16(out, value >> 16);
    appendBig16(out, value & 0xFFFF);
}

bool addVariable(QByteArray& headers, uint8_t identifier, const QByteArray& value)
{
    if (value.size() + kVariablePrefix > kMaxVariable)
        return false;
    headers.append(char(identifier));
    appendBig16(headers, uint32_t(value.size() + kVariablePrefix));
    headers.append(value);
    return true;
}

bool addFourBytes(QByteArray& headers, uint8_t identifier, uint32_t value)
{
    headers.append(char(identifier));
    appendBig32(headers, value);
    return true;
}
} // namespace

QByteArray fileTransferTarget()
{
    return QByteArray::fromHex("F9EC7BC4953C11D2984E525400DC9E09");
}

bool addConnectionIDHeader(QByteArray& headers, uint32_t connectionID)
{
    return addFourBytes(headers, kHeaderConnectionID, connectionID);
}

bool addLengthHeader(QByteArray& headers, uint32_t length)
{
    return addFourBytes(headers, kHeaderLength, length);
}

bool addTargetHeader(QByteArray& headers, const QByteArray& target)
{
    return addVariable(headers, kHeaderTarget, target);
}

bool addWhoHeader(QByteArray& headers, const QByteArray& who)
{
    return addVariable(headers, kHeaderWho, who);
}

bool addTypeHeader(QByteArray& headers, const QByteArray& type)
{
    QByteArray value = type;
    value.append('\0');
    return addVariable(headers, kHeaderType, value);
}

bool addNameHeader(QByteArray& headers, const QString& name)
{
    QByteArray value;
    if (!name.isEmpty()) {
        value.reserve((name.size() + 1) * 2);
        for (const QChar c : name)
            appendBig16(value, c.unicode());
        appendBig16(value, 0);
    }
    return addVariable(headers, kHeaderName, value);
}

bool addBodyHeader(QByteArray& headers, const QByteArray& body, bool endOfBody)
{
    return addVariable(headers, endOfBody ? kHeaderEndOfBody : kHeaderBody, body);
}

bool addApplicationParameterHeader(QByteArray& headers, const QByteArray& parameters)
{
    return addVariable(headers, kHeaderAppParameters, parameters);
}

bool addByteSequenceHeader(QByteArray& headers, uint8_t identifier, const QByteArray& value)
{
    const uint8_t form = identifier & kFormMask;
    if (form != kFormText && form != kFormBytes)
        return false;
    return addVariable(headers, identifier, value);
}

std::optional<QList<Header>> parseHeaders(const char* bytes, qsizetype length)
{
    QList<Header> headers;
    if (length < 0 || (!bytes && length > 0))
        return std::nullopt;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes);
    qsizetype at = 0;
    while (at < length) {
        Header header;
        header.identifier = data[at];
        const uint8_t form = header.identifier & kFormMask;
        if (form == kFormByte) {
            if (length - at < 2)
                return std::nullopt;
            header.number = data[at + 1];
            at += 2;
        } else if (form == kFormText || form == kFormBytes) {
            if (length - at < kVariablePrefix)
                return std::nullopt;
            const qsizetype size = (qsizetype(data[at + 1]) << 8) | data[at + 2];
            if (size < kVariablePrefix || size > length - at)
                return std::nullopt;
            header.value = QByteArray(bytes + at + kVariablePrefix, size - kVariablePrefix);
            at += size;
        } else {
            if (length - at < 5)
                return std::nullopt;
            header.number = (uint32_t(data[at + 1]) << 24) | (uint32_t(data[at + 2]) << 16)
                | (uint32_t(data[at + 3]) << 8) | uint32_t(data[at + 4]);
            at += 5;
        }
        headers.append(std::move(header));
    }
    return headers;
}

const Header* findHeader(const QList<Header>& headers, uint8_t identifier)
{
    for (const Header& header : headers) {
        if (header.identifier == identifier)
            return &header;
    }
    return nullptr;
}

QString headerText(const Header& header)
{
    QString text;
    const QByteArray& v = header.value;
    text.reserve(v.size() / 2);
    for (qsizetype i = 0; i + 1 < v.size(); i += 2) {
        const char16_t c = char16_t((uint8_t(v[i]) << 8) | uint8_t(v[i + 1]));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

} // namespace obex
