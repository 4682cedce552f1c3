#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// OBEX headers as the OBEX standard lays them out. The two high bits of a
// header's identifier give its form: 00 text (UTF-16 BE, NUL-terminated,
// 2-byte length), 01 byte sequence (2-byte length), 10 one byte, 11 four
// bytes. Lengths of the variable forms count the identifier and themselves.
namespace obex {

inline constexpr uint8_t kHeaderName = 0x01;
inline constexpr uint8_t kHeaderType = 0x42;
inline constexpr uint8_t kHeaderTarget = 0x46;
inline constexpr uint8_t kHeaderBody = 0x48;
inline constexpr uint8_t kHeaderEndOfBody = 0x49;
inline constexpr uint8_t kHeaderWho = 0x4A;
inline constexpr uint8_t kHeaderAppParameters = 0x4C;
inline constexpr uint8_t kHeaderLength = 0xC3;
inline constexpr uint8_t kHeaderConnectionID = 0xCB;

// Targets of the services the program talks to.
QByteArray fileTransferTarget();   // F9EC7BC4-953C-11D2-984E-525400DC9E09

// Adders append one encoded header. A value too long for its 16-bit length
// field is not added (answer false).
bool addConnectionIDHeader(QByteArray& headers, uint32_t connectionID);
bool addLengthHeader(QByteArray& headers, uint32_t length);
bool addTargetHeader(QByteArray& headers, const QByteArray& target);
bool addWhoHeader(QByteArray& headers, const QByteArray& who);
// The type's bytes and a terminating NUL.
bool addTypeHeader(QByteArray& headers, const QByteArray& type);
// UTF-16 BE with a terminating NUL; an empty name is the bare 3-byte header.
bool addNameHeader(QByteArray& headers, const QString& name);
bool addBodyHeader(QByteArray& headers, const QByteArray& body, bool endOfBody);
bool addApplicationParameterHeader(QByteArray& headers, const QByteArray& parameters);
bool addByteSequenceHeader(QByteArray& headers, uint8_t identifier, const QByteArray& value);

struct Header {
    uint8_t identifier = 0;
    QByteArray value;      // text and byte-sequence forms (text: its raw UTF-16 BE bytes)
    uint32_t number = 0;   // one-byte and four-byte forms
};

// The headers of a block of bytes, each read within the block; nullopt when
// a header's length runs past the block or below its own prefix.
std::optional<QList<Header>> parseHeaders(const char* bytes, qsizetype length);
inline std::optional<QList<Header>> parseHeaders(const QByteArray& bytes)
{
    return parseHeaders(bytes.constData(), bytes.size());
}
// The first header with the identifier, if any.
const Header* findHeader(const QList<Header>& headers, uint8_t identifier);
// A text header's value as a string, without its terminating NUL.
QString headerText(const Header& header);

} // namespace obex
