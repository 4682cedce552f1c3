#include "LgFileSystem.h"

#include "LgPhonebook.h"
#include "LgPort.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace phonesim {

namespace {
constexpr quint8 kService = 0x20;
constexpr qsizetype kTransferBlock = 12;

void appendLe16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}

void appendLe32(QByteArray& out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

quint32 le32(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

QByteArray utf16Le(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        appendLe16(out, c.unicode());
    return out;
}

QByteArray block(const QString& text)
{
    return char(text.size() + 1) + utf16Le(text) + QByteArray(2, '\0');
}

// A counted block at offset: its text and where the next field begins.
std::optional<std::pair<QString, qsizetype>> readBlock(const QByteArray& bytes, qsizetype at)
{
    if (at >= bytes.size())
        return std::nullopt;
    const int units = quint8(bytes[at]);
    if (units == 0 || at + 1 + 2 * units > bytes.size())
        return std::nullopt;
    QString text;
    for (int i = 0; i < units - 1; ++i)
        text.append(QChar(ushort(quint8(bytes[at + 1 + 2 * i]) | (quint8(bytes[at + 2 + 2 * i]) << 8))));
    return std::make_pair(text, at + 1 + 2 * units);
}

QString joined(const QString& dir, const QString& name)
{
    return dir.isEmpty() ? name : dir + QLatin1Char('/') + name;
}

QByteArray frameOf(const QByteArray& inner)
{
    return char(0xFF) + LgPhonebook::escape(inner) + char(0x7E);
}

QString escapedXml(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('"'), QLatin1String("&quot;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"));
}
} // namespace

LgFileSystem::LgFileSystem()
    : _root(std::make_shared<QTemporaryDir>())
{
    QDir root(_root->path());
    for (const char* folder : {"Pictures", "Sounds", "Videos"})
        root.mkdir(QLatin1String(folder));
}

QString LgFileSystem::rootPath() const
{
    return _root->path();
}

QString LgFileSystem::localPath(const QString& phonePath) const
{
    const QStringList parts = phonePath.split(QLatin1Char('/'));
    for (const QString& part : parts)
        if (part.isEmpty() || part == QLatin1String("..") || part == QLatin1String("."))
            return QString();
    return _root->path() + QLatin1Char('/') + phonePath;
}

bool LgFileSystem::claims(const QByteArray& frame) const
{
    if (!_upload.isEmpty())
        return true;
    const QByteArray command = LgPhonebook::unescape(frame.mid(1, 3));
    return command.size() >= 2 && quint8(command[0]) == 0xFF && quint8(command[1]) == kService;
}

QList<QByteArray> LgFileSystem::send(quint8 opcode, quint8 sequence, const QByteArray& payload, int pieces,
                                     int pieceBytes)
{
    QByteArray inner;
    inner.append(char(0xFF)).append(char(kService)).append(char(opcode)).append(char(sequence));
    inner.append(2, '\0');
    appendLe16(inner, int(8 + payload.size()));
    inner.append(payload);
    if (faults.contains(opcode)) {
        switch (faults.take(opcode)) {
        case Fault::Short: inner.truncate(8); break;
        case Fault::Overlong: inner.append('\0'); break;
        case Fault::Miscounted: inner[6] = char(quint8(inner[6]) - 1); break;
        case Fault::Silent: return {};
        case Fault::Drop: return {LgPort::kDisconnectFrame};
        }
    }
    if (pieceBytes <= 0)
        pieceBytes = int(std::max<qsizetype>(1, (inner.size() + pieces - 1) / std::max(1, pieces)));
    QList<QByteArray> frames;
    for (qsizetype at = 0; at < inner.size(); at += pieceBytes)
        frames.append(frameOf(inner.mid(at, pieceBytes)));
    return frames;
}

QList<QByteArray> LgFileSystem::answer(const QByteArray& frame)
{
    if (frame.size() < 2)
        return {};
    const QByteArray escaped = frame.mid(1, frame.size() - 2);
    if (!_upload.isEmpty())
        return uploadPiece(escaped);
    const QByteArray command = LgPhonebook::unescape(escaped);
    if (command.size() < 8)
        return {};
    const quint8 opcode = quint8(command[2]);
    if (opcode == 0x05 || opcode == 0x85) {
        _uploadLength = quint8(command[6]) | (quint8(command[7]) << 8);
        return uploadPiece(escaped);
    }
    commands.append(command);
    return answerCommand(command);
}

QList<QByteArray> LgFileSystem::answerCommand(const QByteArray& command)
{
    const quint8 opcode = quint8(command[2]);
    const quint8 sequence = quint8(command[3]);
    const QByteArray ok(1, '\0');
    const QByteArray refused = QByteArray(1, '\1') + '\0';
    switch (opcode) {
    case 0x82:
        return send(opcode, sequence, rootListing());
    case 0xA1: {
        const int units = command.size() >= 10 ? (quint8(command[8]) | (quint8(command[9]) << 8)) : 0;
        QString path;
        for (int i = 0; i + 1 < units && 11 + 2 * i < command.size(); ++i)
            path.append(QChar(ushort(quint8(command[10 + 2 * i]) | (quint8(command[11 + 2 * i]) << 8))));
        return send(opcode, sequence, listing(path), listingPieces);
    }
    case 0x84: case 0x89: case 0x86: case 0xA0: {
        const auto dir = readBlock(command, 8);
        const bool folderDelete = opcode == 0x89 && dir && command.size() == dir->second + 2
                                  && quint8(command[dir->second]) == 1;
        const auto name = dir && !folderDelete ? readBlock(command, dir->second) : std::nullopt;
        const QString phonePath = folderDelete ? dir->first : name ? joined(dir->first, name->first) : QString();
        const QString local = localPath(phonePath);
        const QFileInfo info(local);
        if (local.isEmpty() || !info.exists())
            return send(opcode, sequence, opcode == 0x89 ? refused : QByteArray(1, '\1'));
        if (opcode == 0x84) {
            QByteArray payload = ok + block(dir->first) + block(name->first);
            appendLe32(payload, quint32(info.size()));
            return send(opcode, sequence, payload);
        }
        if (opcode == 0x89) {
            const bool removed = folderDelete ? info.isDir() && QDir(local).removeRecursively()
                                              : info.isFile() && QFile::remove(local);
            return send(opcode, sequence, removed ? ok : refused);
        }
        if (!info.isFile())
            return send(opcode, sequence, QByteArray(1, '\1'));
        const qsizetype after = name->second;
        if (opcode == 0xA0 && command.size() < after + kTransferBlock)
            return send(opcode, sequence, QByteArray(1, '\1'));
        return download(opcode, sequence, local, command.mid(8, after - 8),
                        opcode == 0xA0 ? le32(command, after + 4) : 0);
    }
    case 0x8B: {
        const auto path = readBlock(command, 8);
        const QString local = path ? localPath(path->first) : QString();
        const bool made = !local.isEmpty() && !QFileInfo::exists(local) && QDir().mkdir(local);
        return send(opcode, sequence, made ? ok : refused);
    }
    default:
        return send(opcode, sequence, refused);
    }
}

QList<QByteArray> LgFileSystem::download(quint8 opcode, quint8 sequence, const QString& local,
                                         const QByteArray& blocks, quint32 start)
{
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly) || start > file.size() || !file.seek(start))
        return send(opcode, sequence, QByteArray(1, '\1'));
    const QByteArray data = file.read(downloadPacketData);
    QByteArray payload = QByteArray(1, '\0') + blocks;
    appendLe32(payload, quint32(file.size()));
    appendLe32(payload, start);
    appendLe16(payload, int(start / std::max(1, downloadPacketData) + 1));
    appendLe16(payload, 0);
    payload.append(data);
    // The first piece holds the whole header.
    const int header = int(8 + payload.size() - data.size());
    const int pieceBytes = downloadPieceBytes <= 0 ? int(8 + payload.size()) : std::max(downloadPieceBytes, header);
    return send(opcode, sequence, payload, 1, pieceBytes);
}

QList<QByteArray> LgFileSystem::uploadPiece(const QByteArray& escaped)
{
    _upload += escaped;
    uploadPieceSizes.append(escaped.size());
    // The unescaped length so far, counting only the new escape pairs: an
    // upload packet comes in many pieces.
    while (_uploadScanned < _upload.size()) {
        const bool escape = quint8(_upload[_uploadScanned]) == 0x7D;
        if (escape && _uploadScanned + 1 == _upload.size())
            break; // its partner comes with the next piece
        const quint8 next = escape ? quint8(_upload[_uploadScanned + 1]) : 0;
        const bool pair = escape && (next == 0xDF || next == 0x5D || next == 0x5E);
        _uploadPairs += pair ? 1 : 0;
        _uploadScanned += pair ? 2 : 1;
    }
    if (_upload.size() - _uploadPairs < _uploadLength)
        return {QByteArray::fromHex("FF7E")};
    const QByteArray command = LgPhonebook::unescape(_upload);
    _upload.clear();
    _uploadScanned = 0;
    _uploadPairs = 0;
    commands.append(command);
    return finishUpload(command);
}

QList<QByteArray> LgFileSystem::finishUpload(const QByteArray& command)
{
    const quint8 opcode = quint8(command[2]);
    const quint8 sequence = quint8(command[3]);
    const auto dir = readBlock(command, 8);
    const auto name = dir ? readBlock(command, dir->second) : std::nullopt;
    const QString local = name ? localPath(joined(dir->first, name->first)) : QString();
    if (local.isEmpty() || command.size() < name->second + kTransferBlock)
        return send(opcode, sequence, QByteArray(2, '\1'));
    const qsizetype at = name->second;
    const quint32 length = le32(command, at);
    const quint32 start = le32(command, at + 4);
    const quint16 part = quint8(command[at + 8]) | (quint8(command[at + 9]) << 8);
    const QByteArray data = command.mid(at + kTransferBlock);
    QFile file(local);
    const QIODevice::OpenMode mode = start == 0 ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadWrite;
    if (!file.open(mode) || !file.seek(start) || file.write(data) != data.size())
        return send(opcode, sequence, QByteArray(2, '\1'));
    file.close();
    if (opcode == 0x85)
        return send(opcode, sequence, QByteArray(1, '\0'));
    QByteArray payload = QByteArray(1, '\0') + command.mid(8, at - 8);
    appendLe32(payload, length);
    appendLe32(payload, start + quint32(data.size()));
    appendLe16(payload, part + 1);
    appendLe16(payload, 0);
    return send(opcode, sequence, payload);
}

QByteArray LgFileSystem::rootListing() const
{
    QStringList pieces;
    const QStringList folders = QDir(_root->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (qsizetype i = 0; i < folders.size(); ++i)
        pieces.append(folders[i] + QLatin1Char(':') + QString::number(i + 1));
    const QByteArray text = utf16Le(pieces.join(QLatin1Char('/')));
    QByteArray payload(1, '\0');
    appendLe16(payload, int(text.size()));
    return payload + text;
}

QByteArray LgFileSystem::listing(const QString& path) const
{
    QString xml = listingOverrides.value(path);
    if (!listingOverrides.contains(path)) {
        const QString local = path.isEmpty() ? _root->path() : localPath(path);
        QDir dir(local);
        xml = QStringLiteral("<?xml version=\"1.0\"?>\n<dir>\n");
        QString folders;
        for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString item = joined(path, info.fileName());
            const QString common = QStringLiteral(" name=\"%1\" created=\"%2\" attr=\"%3\"")
                                       .arg(escapedXml(info.fileName()),
                                            info.lastModified().toString(QStringLiteral("yyyyMMddTHHmmss")),
                                            hidden.contains(item) ? QStringLiteral("HIDDEN") : QString());
            if (info.isDir())
                folders += QStringLiteral("<folder%1/>\n").arg(common);
            else
                xml += QStringLiteral("<file%1 size=\"%2\"/>\n").arg(common).arg(info.size());
        }
        xml += folders + QStringLiteral("</dir>");
    }
    return QByteArray(1, '\0') + utf16Le(xml) + QByteArray(2, '\0');
}

} // namespace phonesim
