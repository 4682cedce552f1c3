#pragma once

#include <QByteArray>
#include <QString>

// Hex dumps of byte buffers for logs, shared by the program and the organizer
// kit.
//
//   00000000  30 31 32 33 34 35 36 37  38 39 3a 3b 3c 3d 3e 3f  |01234567........|
//
// Bytes from '&' (0x26) to '~' (0x7E) show as themselves in the character
// column, all others as '.'. Every line, the last one padded, ends with a line
// feed; a full line is 79 characters.
namespace platform::hexdump {

// Multi-line dump of a memory block; empty for none.
QString memoryBlock(const char* bytes, qsizetype length);
// "<NSData> (n Bytes): <line>" for up to 16 bytes, else
// "<NSData> (n Bytes) first 16 Bytes: <line>" with the first 16.
QString shortMemoryBlock(const char* bytes, qsizetype length);

// "NSData is nil" for an empty buffer, else the dump of its bytes.
QString formatted(const QByteArray& data);
QString shortFormatted(const QByteArray& data);

} // namespace platform::hexdump
