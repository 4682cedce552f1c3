#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text encodings through glibc iconv. A conversion that cannot be done exactly
// (an unmappable character, an invalid byte sequence, an unknown encoding)
// answers std::nullopt, never a silently lossy result.
namespace platform::text {

enum class Encoding {
    Utf8,
    Utf16,      // with BOM when encoding (big-endian); BOM honoured when decoding
    Utf16BE,
    Utf16LE,
    Latin1,     // ISO-8859-1
    Latin2,     // ISO-8859-2
    Windows1252,
    MacRoman,   // iconv "MACINTOSH"
    Ascii,
};

const char* iconvName(Encoding encoding);

std::optional<QString> decode(const QByteArray& bytes, Encoding encoding);
std::optional<QByteArray> encode(const QString& text, Encoding encoding);

// Any encoding name iconv accepts.
std::optional<QString> decode(const QByteArray& bytes, const char* iconvEncodingName);
std::optional<QByteArray> encode(const QString& text, const char* iconvEncodingName);

} // namespace platform::text
