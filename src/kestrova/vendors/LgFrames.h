#pragma once

#include <QByteArray>
#include <QString>

// The command frames of the LG application port and their byte escaping.
// A frame before escaping: FF, service, opcode, sequence byte, 00 00, the
// frame's total length (16-bit little-endian), payload. Pure functions.
namespace kestrova::lg {

// Services.
inline constexpr quint8 kPortService = 0x00;
inline constexpr quint8 kPhonebookService = 0x21;
inline constexpr quint8 kCalendarService = 0x12;
inline constexpr quint8 kTasksService = 0x13;

// Port opcodes (service 00).
inline constexpr quint8 kPortInit = 0x81;
inline constexpr quint8 kPortOpen = 0x83;
inline constexpr quint8 kPortClose = 0x82;

// Phonebook opcodes.
inline constexpr quint8 kPhonebookItemCount = 0x81;
inline constexpr quint8 kPhonebookPrepare = 0x82;
inline constexpr quint8 kPhonebookPrepared = 0x2C;
inline constexpr quint8 kPhonebookReadFirst = 0x91;
inline constexpr quint8 kPhonebookReadNext = 0x92;
inline constexpr quint8 kPhonebookWrite = 0x93;
inline constexpr quint8 kPhonebookUpdate = 0x94;
inline constexpr quint8 kPhonebookDelete = 0x95;
inline constexpr quint8 kPhonebookClose = 0xA7;
inline constexpr quint8 kPhonebookClosed = 0xA0;

// Calendar and tasks opcodes; their second header's sub-opcode is the
// opcode minus 0x80.
inline constexpr quint8 kOrganizerWrite = 0x83;
inline constexpr quint8 kOrganizerReplace = 0x84;
inline constexpr quint8 kOrganizerDelete = 0x85;
inline constexpr quint8 kOrganizerPrepare = 0x91;
inline constexpr quint8 kOrganizerAck = 0x92;
inline constexpr quint8 kOrganizerRead = 0x93;

inline constexpr qsizetype kHeaderLength = 8;
// Reply offsets after unescaping: FF marker, the 8-byte header, payload, 7E.
inline constexpr qsizetype kReplyLengthOffset = 7;

// FF becomes 7D DF, 7D becomes 7D 5D, 7E becomes 7D 5E; every other byte is
// copied.
QByteArray quoteFFValuesInData(const QByteArray& data);
// The reverse: 7D DF, 7D 5D and 7D 5E give FF, 7D and 7E; any other byte, a
// 7D before another byte or at the end included, is copied.
QByteArray removeQuotedFFValuesFromData(const QByteArray& data);

// A frame: the header with its total length, then the payload.
QByteArray frame(quint8 service, quint8 opcode, quint8 sequence, const QByteArray& payload = QByteArray());

// The length a reply states (its bytes 7-8); -1 when it is too short.
int replyDeclaredLength(const QByteArray& reply);
// A 16-bit little-endian value at offset; -1 when the bytes are not there.
int readLe16(const QByteArray& data, qsizetype offset);

enum class ModelKind { Phonebook, Calendar, Tasks, ReplacedTask };
// The model byte of a family: "lgGD900" has its own values.
quint8 modelByte(const QString& family, ModelKind kind);

} // namespace kestrova::lg
