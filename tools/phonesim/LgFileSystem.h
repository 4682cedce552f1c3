#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace phonesim {

// The file system behind a simulated LG application port, kept in a
// temporary folder: the root listing (its top folders), XML folder listings
// in pieces, single items, deleting files and folders, making folders,
// downloads in packets sent in transport pieces and uploads taken piece by
// piece (each answered with 2 bytes, the packet with the 11-byte end or a
// request for the next packet). Frames are FF, the escaped frame, 7E; so is
// every answer. Not thread-safe: the simulator calls it under its lock.
class LgFileSystem {
public:
    // How the next answer to an opcode goes wrong: cut short, one byte too
    // long, with a packet length one below its bytes, not at all, or as the
    // port's disconnect frame (the phone drops the port).
    enum class Fault { Short, Overlong, Miscounted, Silent, Drop };

    // A new file system holding the folders Pictures, Sounds and Videos.
    LgFileSystem();

    QString rootPath() const;
    // Whether a frame is for the file system: service 20, or the next piece
    // of an upload packet.
    bool claims(const QByteArray& frame) const;
    QList<QByteArray> answer(const QByteArray& frame);

    // Folder listings go out in this many pieces (1: whole).
    int listingPieces = 1;
    // Bytes of file data per download packet, and bytes of packet per
    // transport piece (0: the packet whole).
    int downloadPacketData = 0x2000;
    int downloadPieceBytes = 600;
    // Items (paths below the root, without a leading "/") listed as hidden.
    QSet<QString> hidden;
    // Listing texts given out instead of the folder's own (path -> XML).
    QMap<QString, QString> listingOverrides;
    // One-shot faults by the opcode they answer.
    QMap<quint8, Fault> faults;
    // The requests received, unescaped (FF, service, opcode, ...); an upload
    // packet once all its pieces are in.
    QList<QByteArray> commands;
    // The escaped sizes of the upload pieces received.
    QList<qsizetype> uploadPieceSizes;

private:
    QList<QByteArray> answerCommand(const QByteArray& command);
    QList<QByteArray> uploadPiece(const QByteArray& escaped);
    QList<QByteArray> finishUpload(const QByteArray& command);
    QList<QByteArray> download(quint8 opcode, quint8 sequence, const QString& local, const QByteArray& blocks,
                               quint32 start);
    QByteArray listing(const QString& path) const;
    QByteArray rootListing() const;
    // The local path of a phone path (below the root, no ".." parts); empty
    // when there is none.
    QString localPath(const QString& phonePath) const;
    QList<QByteArray> send(quint8 opcode, quint8 sequence, const QByteArray& payload, int pieces = 1,
                           int pieceBytes = 0);

    std::shared_ptr<QTemporaryDir> _root;
    // The upload packet being taken in, escaped.
    QByteArray _upload;
    int _uploadLength = 0;
    // How far _upload was scanned for escape pairs, and the pairs found.
    qsizetype _uploadScanned = 0;
    qsizetype _uploadPairs = 0;
};

} // namespace phonesim
