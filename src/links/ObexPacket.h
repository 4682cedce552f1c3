#pragma once

#include <cstdint>

// OBEX packets over the AT channel: requests and server responses built in
// place into one packet buffer, and the reading of an answer. Every packet
// starts with its opcode (or response code) and its 2-byte big-endian total
// length. Pure functions; the buffer is the caller's.
namespace obex {

// The smallest maximum packet length a peer may state.
inline constexpr uint16_t kMinPacketLength = 255;

inline constexpr uint8_t kOpConnect = 0x80;
inline constexpr uint8_t kOpDisconnect = 0x81;
inline constexpr uint8_t kOpPut = 0x02;
inline constexpr uint8_t kOpPutFinal = 0x82;
inline constexpr uint8_t kOpGet = 0x03;
inline constexpr uint8_t kOpGetFinal = 0x83;
inline constexpr uint8_t kOpSetPath = 0x85;
inline constexpr uint8_t kOpAbort = 0xFF;
inline constexpr uint8_t kFinalBit = 0x80;

inline constexpr uint8_t kResponseContinue = 0x90;
inline constexpr uint8_t kResponseSuccess = 0xA0;
inline constexpr uint8_t kResponseBadRequest = 0xC0;
inline constexpr uint8_t kResponseForbidden = 0xC3;
inline constexpr uint8_t kResponseNotFound = 0xC4;
inline constexpr uint8_t kResponseServiceUnavailable = 0xD3;
// What the codec as server answers a request nobody handles.
inline constexpr uint8_t kResponseUnhandled = 0xD1;

inline constexpr uint8_t kVersion = 0x10;
inline constexpr int kPrefixLength = 3;
inline constexpr int kConnectFixedLength = 7;
inline constexpr int kSetPathFixedLength = 5;
inline constexpr int kBodyPrefixLength = 3;
inline constexpr int kMaxPacketLength = 0xFFFF;
inline constexpr int kMaxOptionalHeaders = 1000;
// One maximal packet plus room for the optional headers and fixed fields.
inline constexpr int kPacketBufferSize = 66552;

// Event types of the platform's OBEX session.
inline constexpr uint32_t kEventConnectResponse = 0x4F434543;      // 'OCEC'
inline constexpr uint32_t kEventDisconnectResponse = 0x4F434544;   // 'OCED'
inline constexpr uint32_t kEventPutResponse = 0x4F434550;          // 'OCEP'
inline constexpr uint32_t kEventGetResponse = 0x4F434547;          // 'OCEG'
inline constexpr uint32_t kEventSetPathResponse = 0x4F434553;      // 'OCES'
inline constexpr uint32_t kEventAbortResponse = 0x4F434541;        // 'OCEA'
inline constexpr uint32_t kEventError = 0x4F474545;                // 'OGEE'
inline constexpr uint32_t kTransportEventData = 0x44617441;         // 'DatA'

// Codes of the requests and events.
inline constexpr int kErrHeadersTooLong = -1;
inline constexpr int kErrConnectNotSent = -9;
inline constexpr int kErrDisconnectNotSent = -10;
inline constexpr int kErrPutNotSent = -11;
inline constexpr int kErrGetNotSent = -12;
inline constexpr int kErrAbortNotSent = -13;
inline constexpr int kErrSwitchNotSent = -4;
inline constexpr int kErrNoSyncSwitch = -66;
// An "ERROR" line came where an OBEX packet was awaited.
inline constexpr int kErrAsciiError = -9988;
// An answer whose length field does not fit its bytes.
inline constexpr int kErrBadResponse = -21878;

// Builders write into out (kPacketBufferSize bytes) and answer the packet's
// length, or -1 when headers exceed kMaxOptionalHeaders or the packet would
// exceed limit (at most kMaxPacketLength); nothing is written then.
int buildConnect(char* out, uint8_t opcode, uint8_t flags, uint16_t maxPacketLength, const char* headers,
                 int headersLength, uint8_t version = kVersion);
int buildHeadersOnly(char* out, uint8_t opcode, const char* headers, int headersLength);
int buildPut(char* out, bool final, const char* headers, int headersLength, const char* body, int bodyLength,
             int limit);
// A packet of headers and a Body (or End-of-Body) header with the body; the
// body does not count against kMaxOptionalHeaders.
int buildWithBody(char* out, uint8_t code, bool endOfBody, const char* headers, int headersLength, const char* body,
                  int bodyLength, int limit);
int buildSetPath(char* out, uint8_t flags, uint8_t constants, const char* headers, int headersLength);
// A response without headers: code, 0x00, 0x03.
int buildBareResponse(char* out, uint8_t code);
// A Get response with its headers, within limit.
int buildGetResponse(char* out, uint8_t code, const char* headers, int headersLength, int limit);

// The packet length in bytes 1-2; 0 with fewer than 3 bytes.
int packetLength(const char* bytes, int count);

// An answer to the request sent with sentCommand, read within its bytes.
struct Answer {
    uint32_t eventType = kEventError;
    uint8_t responseCode = 0;
    int headerOffset = 0;   // into the packet
    int headerLength = 0;
    uint16_t maxPacketSize = 0;
    uint8_t version = 0;
    uint8_t flags = 0;
    // kEventError: the code to report (the response code byte for an
    // unknown sent command, kErrBadResponse for a malformed answer).
    int errorCode = 0;
};
Answer readAnswer(const char* bytes, int count, uint8_t sentCommand);

// The event type for answers to an opcode; kEventError for an unknown one.
uint32_t eventTypeForCommand(uint8_t sentCommand);

} // namespace obex
