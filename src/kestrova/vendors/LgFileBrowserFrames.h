#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The file-system frames of the LG application port and the fields of their
// replies. Pure functions; frames are returned unescaped.
//
// Path fields: a phone path loses its leading "/". A counted block is one
// count byte (UTF-16 code units, the terminating zero included) and the
// units in little-endian order, the last one zero: a dir block holds the
// folder part of a path, a name block its last component, a path block all
// of it. A part of more than 254 units has no block.
namespace kestrova::lg {

inline constexpr quint8 kFileService = 0x20;

// Port opcodes of a file-browser session (service 00).
inline constexpr quint8 kPortHeartBeat = 0xA1;

// File-system opcodes (service 20).
inline constexpr quint8 kFileRootListing = 0x82;
inline constexpr quint8 kFileFolderListing = 0xA1;
inline constexpr quint8 kFileItem = 0x84;
inline constexpr quint8 kFileDelete = 0x89;
inline constexpr quint8 kFileMakeDir = 0x8B;
inline constexpr quint8 kFileGetFirst = 0x86;
inline constexpr quint8 kFileGetNext = 0xA0;
inline constexpr quint8 kFilePut = 0x05;
inline constexpr quint8 kFilePutLast = 0x85;

inline constexpr int kMaxBlockUnits = 254;
inline constexpr qsizetype kTransferBlockLength = 12;
// Reply offsets after unescaping: the status byte, then the packet's data.
inline constexpr qsizetype kReplyDataOffset = 10;
// Delete and make-folder answers of this length succeed; an item answer
// must be longer.
inline constexpr qsizetype kPlainAnswerLength = 11;

// The word the port's initialisation frame carries for file browsing.
QByteArray fileBrowserInitPayload();

// The path without its leading "/".
QString phonePathBody(const QString& path);
std::optional<QByteArray> countedBlock(const QString& text);
// Dir block and name block of a path.
std::optional<QByteArray> dirAndNameBlocks(const QString& path);
// Path block of a path.
std::optional<QByteArray> pathBlock(const QString& path);
// The folder listing's body: a 16-bit count of units, then the units.
QByteArray folderListingBody(const QString& path);

// File length, start byte, part number, 00 00; little-endian.
QByteArray transferBlock(quint32 fileLength, quint32 startByte, quint16 part);

// The fields of a file packet's reply: F at offset 10 and the folder's
// units, N and the name's units, the transfer block at d + 1 and the data
// from d + 13 (the header length), with d = 11 + 2F + 2N.
struct FilePacketFields {
    quint32 fileLength = 0;
    quint32 startByte = 0;
    quint16 part = 0;
    qsizetype headerLength = 0;
};
// nullopt when F or N is 0 or the reply ends before its transfer block.
std::optional<FilePacketFields> readFilePacketFields(const QByteArray& reply);
// The single-field readers: 0 where readFilePacketFields gives nullopt.
quint32 lgFileBrowserGetLengthField(const QByteArray& reply);
quint32 lgFileBrowserGetStartByteField(const QByteArray& reply);
quint16 lgFileBrowserGetCurrentPart(const QByteArray& reply);
qsizetype lgFileBrowserGetHeaderLength(const QByteArray& reply);
// The data of a reply's first piece: from the header length up to, not
// including, the last byte; empty when there is none.
QByteArray getFileDataPartFrom(const QByteArray& reply);

// How many bytes escaping expands (7D, 7E, FF).
qsizetype countFFValues(const QByteArray& data);

// A reply packet that comes in pieces, each FF ... 7E as it was unescaped.
// The first piece gives the packet length L (offsets 7-8); a piece that
// carries the whole packet is L + 2 bytes. Later pieces count without their
// first and last byte.
class LgPacketPieces {
public:
    enum class Result { Whole, More, Bad };
    // The packet's first piece; Bad when it holds no length or more bytes
    // than its packet.
    Result first(const QByteArray& piece);
    // A later piece; Bad when it is longer than what remains of the packet.
    Result next(const QByteArray& piece);
    int packetLength() const { return _packetLength; }
    int stillToReceive() const { return _stillToReceive; }

private:
    int _packetLength = 0;
    int _stillToReceive = 0;
};

} // namespace kestrova::lg
