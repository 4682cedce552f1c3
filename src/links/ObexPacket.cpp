#include "links/ObexPacket.h"

#include "links/ObexHeaders.h"

#include <algorithm>
#include <cstring>

namespace obex {
namespace {
void putLength(char* out, int length)
{
    out[1] = char((length >> 8) & 0xFF);
    out[2] = char(length & 0xFF);
}

bool headersFit(const char* headers, int headersLength)
{
    return headersLength >= 0 && headersLength <= kMaxOptionalHeaders && (headers || headersLength == 0);
}

void copyHeaders(char* out, const char* headers, int headersLength)
{
    if (headersLength > 0)
        std::memcpy(out, headers, size_t(headersLength));
}

Answer malformed()
{
    Answer answer;
    answer.eventType = kEventError;
    answer.errorCode = kErrBadResponse;
    return answer;
}
} // namespace

int buildConnect(char* out, uint8_t opcode, uint8_t flags, uint16_t maxPacketLength, const char* headers,
                 int headersLength, uint8_t version)
{
    if (!headersFit(headers, headersLength))
        return kErrHeadersTooLong;
    const int length = headersLength + kConnectFixedLength;
    out[0] = char(opcode);
    putLength(out, length);
    out[3] = char(version);
    out[4] = char(flags);
    out[5] = char(maxPacketLength >> 8);
    out[6] = char(maxPacketLength & 0xFF);
    copyHeaders(out + kConnectFixedLength, headers, headersLength);
    return length;
}

int buildHeadersOnly(char* out, uint8_t opcode, const char* headers, int headersLength)
{
    if (!headersFit(headers, headersLength))
        return kErrHeadersTooLong;
    const int length = headersLength + kPrefixLength;
    out[0] = char(opcode);
    putLength(out, length);
    copyHeaders(out + kPrefixLength, headers, headersLength);
    return length;
}

int buildPut(char* out, bool final, const char* headers, int headersLength, const char* body, int bodyLength,
             int limit)
{
    return buildWithBody(out, final ? kOpPutFinal : kOpPut, final, headers, headersLength, body, bodyLength, limit);
}

int buildWithBody(char* out, uint8_t code, bool endOfBody, const char* headers, int headersLength, const char* body,
                  int bodyLength, int limit)
{
    if (!headersFit(headers, headersLength) || bodyLength < 0 || (bodyLength > 0 && !body))
        return kErrHeadersTooLong;
    const bool hasBody = body && bodyLength > 0;
    const qint64 length = qint64(kPrefixLength) + headersLength + (hasBody ? kBodyPrefixLength + bodyLength : 0);
    if (length > std::min(limit, kMaxPacketLength))
        return kErrHeadersTooLong;
    out[0] = char(code);
    putLength(out, int(length));
    copyHeaders(out + kPrefixLength, headers, headersLength);
    if (hasBody) {
        char* at = out + kPrefixLength + headersLength;
        at[0] = char(endOfBody ? kHeaderEndOfBody : kHeaderBody);
        putLength(at, bodyLength + kBodyPrefixLength);
        std::memcpy(at + kBodyPrefixLength, body, size_t(bodyLength));
    }
    return int(length);
}

int buildSetPath(char* out, uint8_t flags, uint8_t constants, const char* headers, int headersLength)
{
    if (!headersFit(headers, headersLength))
        return kErrHeadersTooLong;
    const int length = headersLength + kSetPathFixedLength;
    out[0] = char(kOpSetPath);
    putLength(out, length);
    out[3] = char(flags);
    out[4] = char(constants);
    copyHeaders(out + kSetPathFixedLength, headers, headersLength);
    return length;
}

int buildBareResponse(char* out, uint8_t code)
{
    out[0] = char(code);
    putLength(out, kPrefixLength);
    return kPrefixLength;
}

int buildGetResponse(char* out, uint8_t code, const char* headers, int headersLength, int limit)
{
    if (!headersFit(headers, headersLength) || headersLength + kPrefixLength > std::min(limit, kMaxPacketLength))
        return kErrHeadersTooLong;
    return buildHeadersOnly(out, code, headers, headersLength);
}

int packetLength(const char* bytes, int count)
{
    if (!bytes || count < kPrefixLength)
        return 0;
    return (uint8_t(bytes[1]) << 8) | uint8_t(bytes[2]);
}

uint32_t eventTypeForCommand(uint8_t sentCommand)
{
    switch (sentCommand) {
    case kOpConnect:
        return kEventConnectResponse;
    case kOpDisconnect:
        return kEventDisconnectResponse;
    case kOpPut:
    case kOpPutFinal:
        return kEventPutResponse;
    case kOpGet:
    case kOpGetFinal:
        return kEventGetResponse;
    case kOpSetPath:
        return kEventSetPathResponse;
    case kOpAbort:
        return kEventAbortResponse;
    default:
        return kEventError;
    }
}

Answer readAnswer(const char* bytes, int count, uint8_t sentCommand)
{
    const uint32_t type = eventTypeForCommand(sentCommand);
    if (!bytes || count < kPrefixLength)
        return malformed();
    const int length = packetLength(bytes, count);
    const int fixed = sentCommand == kOpConnect ? kConnectFixedLength : kPrefixLength;
    if (length < fixed || length > count)
        return malformed();
    Answer answer;
    answer.eventType = type;
    answer.responseCode = uint8_t(bytes[0]);
    if (type == kEventError) {
        answer.errorCode = answer.responseCode;
        return answer;
    }
    if (type == kEventAbortResponse)
        return answer;
    if (sentCommand == kOpConnect) {
        answer.version = uint8_t(bytes[3]);
        answer.flags = uint8_t(bytes[4]);
        answer.maxPacketSize = uint16_t((uint8_t(bytes[5]) << 8) | uint8_t(bytes[6]));
    }
    answer.headerOffset = fixed;
    answer.headerLength = length - fixed;
    if (answer.headerLength == 0)
        answer.headerOffset = 0;
    return answer;
}

} // namespace obex
