#include "kestrova/vendors/LgFileBrowserFrames.h"

#include "kestrova/vendors/LgFrames.h"

namespace kestrova::lg {

namespace {

void appendLe16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF)).append(char(value >> 8));
}

void appendLe32(QByteArray& out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

quint32 readLe32(const QByteArray& data, qsizetype offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(data[offset + i]);
    return value;
}

void appendUnits(QByteArray& out, const QString& text)
{
    for (const QChar c : text)
        appendLe16(out, c.unicode());
    appendLe16(out, 0);
}

} // namespace

QByteArray fileBrowserInitPayload()
{
    return QByteArray("easyman", 8);
}

QString phonePathBody(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
}

std::optional<QByteArray> countedBlock(const QString& text)
{
    if (text.size() > kMaxBlockUnits)
        return std::nullopt;
    QByteArray out;
    out.reserve(1 + 2 * (text.size() + 1));
    out.append(char(text.size() + 1));
    appendUnits(out, text);
    return out;
}

std::optional<QByteArray> dirAndNameBlocks(const QString& path)
{
    const QString body = phonePathBody(path);
    const qsizetype slash = body.lastIndexOf(QLatin1Char('/'));
    const std::optional<QByteArray> dir = countedBlock(slash < 0 ? QString() : body.left(slash));
    const std::optional<QByteArray> name = countedBlock(body.mid(slash + 1));
    if (!dir || !name)
        return std::nullopt;
    return *dir + *name;
}

std::optional<QByteArray> pathBlock(const QString& path)
{
    return countedBlock(phonePathBody(path));
}

QByteArray folderListingBody(const QString& path)
{
    const QString body = phonePathBody(path);
    QByteArray out;
    appendLe16(out, quint16(body.size() + 1));
    appendUnits(out, body);
    return out;
}

QByteArray transferBlock(quint32 fileLength, quint32 startByte, quint16 part)
{
    QByteArray out;
    out.reserve(kTransferBlockLength);
    appendLe32(out, fileLength);
    appendLe32(out, startByte);
    appendLe16(out, part);
    appendLe16(out, 0);
    return out;
}

std::optional<FilePacketFields> readFilePacketFields(const QByteArray& reply)
{
    constexpr qsizetype folderCountAt = kReplyDataOffset;
    if (reply.size() <= folderCountAt)
        return std::nullopt;
    const qsizetype folderUnits = quint8(reply[folderCountAt]);
    const qsizetype nameCountAt = folderCountAt + 1 + 2 * folderUnits;
    if (folderUnits == 0 || reply.size() <= nameCountAt)
        return std::nullopt;
    const qsizetype nameUnits = quint8(reply[nameCountAt]);
    const qsizetype d = nameCountAt + 2 * nameUnits;
    if (nameUnits == 0 || reply.size() < d + 1 + kTransferBlockLength)
        return std::nullopt;
    FilePacketFields fields;
    fields.fileLength = readLe32(reply, d + 1);
    fields.startByte = readLe32(reply, d + 5);
    fields.part = quint16(readLe16(reply, d + 9));
    fields.headerLength = d + 1 + kTransferBlockLength;
    return fields;
}

quint32 lgFileBrowserGetLengthField(const QByteArray& reply)
{
    const auto fields = readFilePacketFields(reply);
    return fields ? fields->fileLength : 0;
}

quint32 lgFileBrowserGetStartByteField(const QByteArray& reply)
{
    const auto fields = readFilePacketFields(reply);
    return fields ? fields->startByte : 0;
}

quint16 lgFileBrowserGetCurrentPart(const QByteArray& reply)
{
    const auto fields = readFilePacketFields(reply);
    return fields ? fields->part : 0;
}

qsizetype lgFileBrowserGetHeaderLength(const QByteArray& reply)
{
    const auto fields = readFilePacketFields(reply);
    return fields ? fields->headerLength : 0;
}

QByteArray getFileDataPartFrom(const QByteArray& reply)
{
    const qsizetype from = lgFileBrowserGetHeaderLength(reply);
    if (from == 0 || from >= reply.size())
        return QByteArray();
    return reply.mid(from, reply.size() - 1 - from);
}

qsizetype countFFValues(const QByteArray& data)
{
    qsizetype count = 0;
    for (const char c : data) {
        const quint8 b = quint8(c);
        count += b == 0x7D || b == 0x7E || b == 0xFF;
    }
    return count;
}

LgPacketPieces::Result LgPacketPieces::first(const QByteArray& piece)
{
    _packetLength = replyDeclaredLength(piece);
    _stillToReceive = 0;
    if (_packetLength < 0 || piece.size() - 2 > _packetLength)
        return Result::Bad;
    _stillToReceive = _packetLength - int(piece.size() - 2);
    return _stillToReceive == 0 ? Result::Whole : Result::More;
}

LgPacketPieces::Result LgPacketPieces::next(const QByteArray& piece)
{
    const qsizetype carried = piece.size() - 2;
    if (carried < 0 || carried > _stillToReceive)
        return Result::Bad;
    _stillToReceive -= int(carried);
    return _stillToReceive == 0 ? Result::Whole : Result::More;
}

} // namespace kestrova::lg
