#include "kestrova/vendors/SLTCommDeviceLgFileBrowserExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/EngineReplies.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"
#include "platform/RunLoop.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace kestrova::core;
using kestrova::core::engine::stageOf;
using namespace kestrova::lg;
using kestrova::kitLogWith;

namespace {
const QString kFailAction = QStringLiteral("lgFileBrowserFail");
const QString kSizeKey = QStringLiteral("size");

QString signalOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
}

QString pathOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandQueueCommandPayload)).toString();
}

bool is(const QString& signal, const char* name)
{
    return signal == QLatin1String(name);
}
} // namespace

SLTCommDeviceLgFileBrowserExt::SLTCommDeviceLgFileBrowserExt(SLTCommDevice& engine)
    : _engine(engine)
{
    const auto on = [this](const char* name, void (SLTCommDeviceLgFileBrowserExt::*method)(const QVariantMap&)) {
        _engine.registerCommandCallback(QLatin1String(name), [this, method](const QVariantMap& r) { (this->*method)(r); });
    };
    on(kFileBrowserPrepareStage, &SLTCommDeviceLgFileBrowserExt::prepareStage2);
    on(kHeartBeatStage, &SLTCommDeviceLgFileBrowserExt::replyStage2);
    on(kRootListingStage, &SLTCommDeviceLgFileBrowserExt::replyStage2);
    on(kFolderListingStage, &SLTCommDeviceLgFileBrowserExt::directoryStage2);
    on(kListItemStage, &SLTCommDeviceLgFileBrowserExt::listItemStage2);
    on(kDeleteItemStage, &SLTCommDeviceLgFileBrowserExt::exactLengthStage2);
    on(kMakeDirStage, &SLTCommDeviceLgFileBrowserExt::exactLengthStage2);
    on(kGetFileStage, &SLTCommDeviceLgFileBrowserExt::getFileStage2);
    on(kPutFileStage, &SLTCommDeviceLgFileBrowserExt::putFileStage2);
}

SLTCommDeviceLgFileBrowserExt::~SLTCommDeviceLgFileBrowserExt()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

SLTCommDeviceLgSmsExt& SLTCommDeviceLgFileBrowserExt::port()
{
    return _engine.extension<SLTCommDeviceLgSmsExt>();
}

quint16 SLTCommDeviceLgFileBrowserExt::getMaxObexPacketLengthFrom(const QByteArray& data)
{
    return SLTCommDeviceLgSmsExt::getMaxObexPacketLengthFrom(data);
}

// --- Delivery ---------------------------------------------------------------

QVariantMap SLTCommDeviceLgFileBrowserExt::command(const SLTInvocationPtr& stage, const char* selector,
                                                   const char* signal, const QByteArray& frame, int state,
                                                   const QString& path) const
{
    QVariantMap command = _engine.extension<SLTCommDeviceLgSmsExt>().makeFrameCommand(stage, selector, signal, frame,
                                                                                     state, true);
    if (!path.isNull())
        command.insert(key(kSLTCommDeviceCommandQueueCommandPayload), path);
    return command;
}

void SLTCommDeviceLgFileBrowserExt::addFileFrame(const SLTInvocationPtr& stage, const char* selector,
                                                 const char* signal, quint8 code, const std::optional<QByteArray>& body,
                                                 int state, const QString& path)
{
    if (!body) {
        kitLogWith([&] { return QStringLiteral("LG file browser: path part too long in %1").arg(path); });
        failLater(command(stage, selector, signal, QByteArray(), state, path));
        return;
    }
    const QByteArray bytes = frame(kFileService, code, port().nextPackageCount(), *body);
    _engine.addCommand(command(stage, selector, signal, quoteFFValuesInData(bytes), state, path));
}

void SLTCommDeviceLgFileBrowserExt::failLater(QVariantMap command)
{
    command.remove(key(kSLTStateMachineHexCommandData));
    platform::runloop::performAfterDelay(this, kFailAction, 0,
                                         [this, command] { _engine.returnResultforCommandRequest(command); });
}

void SLTCommDeviceLgFileBrowserExt::fail(QVariantMap result)
{
    result.remove(key(kSLTCommDeviceCommandQueueCommandResult));
    result.remove(key(kSLTCommDeviceCommandQueueCommandRawResult));
    _engine.returnResultforCommandRequest(std::move(result));
}

void SLTCommDeviceLgFileBrowserExt::succeed(QVariantMap result, const char* signal, const QVariant& value,
                                            const QByteArray& raw)
{
    result.insert(key(kSLTCommDeviceCommandQueueCommandRawResult), raw);
    if (signal)
        result.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(signal));
    if (value.isValid())
        result.insert(key(kSLTCommDeviceCommandQueueCommandResult), value);
    _engine.returnOkResultforCommandRequest(std::move(result));
}

void SLTCommDeviceLgFileBrowserExt::progress(const QVariantMap& result, const QVariantMap& record)
{
    QVariantMap step = result;
    step.insert(key(kSLTCommDeviceCommandQueueCommandResult), record);
    step.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kProgressStep));
    _engine.returnOkResultforCommandRequest(std::move(step));
}

void SLTCommDeviceLgFileBrowserExt::goOn(const QVariantMap& result, const char* selector)
{
    _engine.addCommand(command(stageOf(result), selector, kGoOnSignal, QByteArray(), kStateSendFrame, pathOf(result)));
}

// --- Opening and plain requests ---------------------------------------------

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserPrepare(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    QList<QVariantMap> commands;
    if (_engine.family() == QLatin1String("lg2")) {
        commands.append(lg.makeFrameCommand(stage, kFileBrowserPrepareStage, kObexConnectSignal,
                                            SLTCommDeviceLgSmsExt::kObexConnectFrame, kStateSendFrame, true));
    } else {
        QVariantMap open = lg.makeFrameCommand(stage, kFileBrowserPrepareStage, kInitSignal, QByteArray(), kStateOpenPort);
        open.remove(key(kSLTStateMachineHexCommandData));
        commands.append(open);
    }
    commands.append(lg.makeFrameCommand(stage, kFileBrowserPrepareStage, kInitSignal,
                                        frame(kPortService, kPortInit, lg.nextPackageCount(), fileBrowserInitPayload())));
    commands.append(lg.makeFrameCommand(stage, kFileBrowserPrepareStage, kSLTCommDeviceLgFileBrowserOpen,
                                        frame(kPortService, kPortOpen, lg.nextPackageCount())));
    _engine.addCommands(commands);
}

void SLTCommDeviceLgFileBrowserExt::prepareStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QString signal = signalOf(result);
    if (is(signal, kObexConnectSignal)) {
        port().setMaxObexPacketLength(
            getMaxObexPacketLengthFrom(result.value(key(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray()));
        return;
    }
    if (is(signal, kSLTCommDeviceLgFileBrowserOpen))
        _engine.returnOkResultforCommandRequest(result);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyHeartBeat(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    _engine.addCommand(lg.makeFrameCommand(stage, kHeartBeatStage, kHeartBeatSignal,
                                           frame(kPortService, kPortHeartBeat, lg.nextPackageCount())));
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserGetRootDirectory(const SLTInvocationPtr& stage)
{
    addFileFrame(stage, kRootListingStage, kRootListingSignal, kFileRootListing, QByteArray(), kStateSendFrame,
                 QString());
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserGetDirectoryAtPath(const QString& path,
                                                                          const SLTInvocationPtr& stage)
{
    addFileFrame(stage, kFolderListingStage, kFolderListingSignal, kFileFolderListing, folderListingBody(path),
                 kStateSendFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserListItem(const QString& path, const SLTInvocationPtr& stage)
{
    addFileFrame(stage, kListItemStage, kListItemSignal, kFileItem, dirAndNameBlocks(path), kStateSendFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserDeleteFile(const QString& path, const SLTInvocationPtr& stage)
{
    addFileFrame(stage, kDeleteItemStage, kRemoveItemSignal, kFileDelete, dirAndNameBlocks(path),
                 kStateSendEntryFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserDeleteFolder(const QString& path, const SLTInvocationPtr& stage)
{
    std::optional<QByteArray> body = pathBlock(path);
    if (body)
        body->append(char(0x01)).append('\0');
    addFileFrame(stage, kDeleteItemStage, kRemoveItemSignal, kFileDelete, body, kStateSendEntryFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserMakeDir(const QString& path, const SLTInvocationPtr& stage)
{
    addFileFrame(stage, kMakeDirStage, kMakeDirSignal, kFileMakeDir, pathBlock(path), kStateSendEntryFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::replyStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        fail(result);
        return;
    }
    succeed(result, nullptr, QVariant(), SLTCommDeviceLgSmsExt::unescapedReply(result));
}

void SLTCommDeviceLgFileBrowserExt::exactLengthStage2(const QVariantMap& result)
{
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (!SLTCommDeviceLgSmsExt::hasResult(result) || reply.size() != kPlainAnswerLength) {
        kitLogWith([&] {
            return QStringLiteral("LG file browser: %1 of %2 answered with %3 bytes")
                .arg(signalOf(result), pathOf(result))
                .arg(reply.size());
        });
        fail(result);
        return;
    }
    succeed(result, nullptr, QVariant(), reply);
}

void SLTCommDeviceLgFileBrowserExt::listItemStage2(const QVariantMap& result)
{
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (!SLTCommDeviceLgSmsExt::hasResult(result) || reply.size() <= kPlainAnswerLength) {
        fail(result);
        return;
    }
    succeed(result, nullptr, QVariant(), reply);
}

void SLTCommDeviceLgFileBrowserExt::directoryStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        fail(result);
        return;
    }
    const QString signal = signalOf(result);
    const bool first = is(signal, kFolderListingSignal);
    if (!first && !is(signal, kGoOnSignal))
        return;
    const QByteArray piece = SLTCommDeviceLgSmsExt::unescapedReply(result);
    const LgPacketPieces::Result state = first ? _pieces.first(piece) : _pieces.next(piece);
    switch (state) {
    case LgPacketPieces::Result::Bad:
        kitLogWith([&] {
            return QStringLiteral("LG file browser: listing piece of %1 bytes does not fit its packet of %2")
                .arg(piece.size())
                .arg(_pieces.packetLength());
        });
        _listingBuffer.clear();
        fail(result);
        return;
    case LgPacketPieces::Result::Whole:
        if (first) {
            succeed(result, kListingStep, QVariant(), piece);
            return;
        }
        _listingBuffer += piece.mid(1);
        succeed(result, kListingStep, QVariant(), std::exchange(_listingBuffer, QByteArray()));
        return;
    case LgPacketPieces::Result::More:
        if (first)
            _listingBuffer = piece.chopped(1);
        else
            _listingBuffer += piece.mid(1, piece.size() - 2);
        goOn(result, kFolderListingStage);
        return;
    }
}

// --- Downloads --------------------------------------------------------------

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserAbortActionAndCall(const SLTInvocationPtr& stage)
{
    port().setDoAbort(true);
    _abortCallback = stage;
}

void SLTCommDeviceLgFileBrowserExt::deliverAborted(const QVariantMap& result)
{
    _fileBuffer.clear();
    _sendBuffer.clear();
    if (!_abortCallback) {
        fail(result);
        return;
    }
    QVariantMap aborted = result;
    aborted.remove(key(kSLTCommDeviceCommandQueueCommandRawResult));
    aborted.insert(key(kSLTCommDeviceCommandInfo), QVariant::fromValue(_abortCallback));
    aborted.insert(key(kSLTCommDeviceCommandQueueCommandResult), QLatin1String(kAbortedStep));
    aborted.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kAbortedStep));
    _engine.returnOkResultforCommandRequest(std::move(aborted));
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserGetFileAtPath(const QString& path, const SLTInvocationPtr& stage)
{
    port().setDoAbort(false);
    _fileBuffer.clear();
    _fileLength = 0;
    _startByte = 0;
    _currentPart = 0;
    addFileFrame(stage, kGetFileStage, kGetFileSignal, kFileGetFirst, dirAndNameBlocks(path), kStateSendFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserGetFileAtPath(const QString& path, quint32 fromByte,
                                                                     const SLTInvocationPtr& stage)
{
    std::optional<QByteArray> body = dirAndNameBlocks(path);
    if (body)
        body->append(transferBlock(_fileLength, fromByte, _currentPart));
    _startByte = fromByte;
    addFileFrame(stage, kGetFileStage, kGetFileSignal, kFileGetNext, body, kStateSendFrame, path);
}

void SLTCommDeviceLgFileBrowserExt::getFileStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        fail(result);
        return;
    }
    const QString signal = signalOf(result);
    const bool first = is(signal, kGetFileSignal);
    if (!first && !is(signal, kGoOnSignal))
        return;
    const QByteArray piece = SLTCommDeviceLgSmsExt::unescapedReply(result);
    const auto bad = [&](const char* why) {
        kitLogWith([&] {
            return QStringLiteral("LG file browser: download of %1 stopped at byte %2: %3")
                .arg(pathOf(result))
                .arg(_startByte)
                .arg(QLatin1String(why));
        });
        _fileBuffer.clear();
        fail(result);
    };
    if (!first) {
        const LgPacketPieces::Result state = _pieces.next(piece);
        if (state == LgPacketPieces::Result::Bad)
            return bad("a piece longer than the rest of its packet");
        if (state == LgPacketPieces::Result::More)
            progress(result, {{kSizeKey, _fileLength}, {QStringLiteral("remaining"), qint64(_fileBuffer.size())}});
        _fileBuffer += piece.mid(1, piece.size() - 2);
        if (state == LgPacketPieces::Result::Whole)
            getFilePacketDone(result);
        else
            goOn(result, kGetFileStage);
        return;
    }

    const LgPacketPieces::Result state = _pieces.first(piece);
    const std::optional<FilePacketFields> fields = readFilePacketFields(piece);
    if (state == LgPacketPieces::Result::Bad || !fields || fields->headerLength > piece.size() - 1)
        return bad("a packet without its header");
    if (fields->startByte != _startByte)
        return bad("a packet from another start byte");
    if (_startByte == 0)
        _fileLength = fields->fileLength;
    else if (fields->fileLength != _fileLength)
        return bad("another file length");
    const qint64 packetData = qint64(_pieces.packetLength()) + 1 - fields->headerLength;
    if (packetData < 0 || qint64(_startByte) + packetData > qint64(_fileLength))
        return bad("data past the file's length");
    if (packetData == 0 && _startByte < _fileLength)
        return bad("a packet without data");
    _headerLength = fields->headerLength;
    _currentPart = fields->part;
    if (_startByte == 0)
        _fileBuffer.clear();
    _fileBuffer += getFileDataPartFrom(piece);
    if (state == LgPacketPieces::Result::Whole) {
        getFilePacketDone(result);
        return;
    }
    progress(result, {{kSizeKey, _fileLength}, {QStringLiteral("remaining"), qint64(_fileBuffer.size())}});
    goOn(result, kGetFileStage);
}

void SLTCommDeviceLgFileBrowserExt::getFilePacketDone(const QVariantMap& result)
{
    const qint64 next = qint64(_startByte) + _pieces.packetLength() - _headerLength + 1;
    if (next < qint64(_fileLength)) {
        if (port().doAbort()) {
            deliverAborted(result);
            return;
        }
        lgViewtyFileBrowserGetFileAtPath(pathOf(result), quint32(next), stageOf(result));
        return;
    }
    succeed(result, kFileStep, QVariant(), std::exchange(_fileBuffer, QByteArray()));
}

// --- Uploads ----------------------------------------------------------------

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserPutFile(const QString& localPath, const QString& path,
                                                               const SLTInvocationPtr& stage)
{
    _currentPart = 1;
    port().setDoAbort(false);
    _localPath = localPath;
    lgViewtyFileBrowserPutFileToPath(path, 0, stage);
}

void SLTCommDeviceLgFileBrowserExt::lgViewtyFileBrowserPutFileToPath(const QString& path, quint32 startByte,
                                                                     const SLTInvocationPtr& stage)
{
    const auto bad = [&](const char* why) {
        kitLogWith([&] {
            return QStringLiteral("LG file browser: upload of %1 to %2 stopped at byte %3: %4")
                .arg(_localPath, path)
                .arg(startByte)
                .arg(QLatin1String(why));
        });
        _sendBuffer.clear();
        failLater(command(stage, kPutFileStage, kPutFileSignal, QByteArray(), kStateSendEntryFrame, path));
    };
    // Only a regular file: opening a FIFO would wait for a writer.
    QFile file(_localPath);
    if (!QFileInfo(_localPath).isFile() || !file.open(QIODevice::ReadOnly))
        return bad("the local file cannot be read");
    const qint64 size = file.size();
    const std::optional<QByteArray> blocks = dirAndNameBlocks(path);
    if (size > qint64(0xFFFFFFFFu))
        return bad("the file is too large");
    if (!blocks)
        return bad("a path part is too long");
    if (qint64(startByte) > size)
        return bad("a start past the file's end");
    const qint64 fixed = kHeaderLength + blocks->size() + kTransferBlockLength;
    const qint64 room = qint64(_engine.maxDataPacketSize()) - fixed;
    if (room <= 0)
        return bad("the path leaves no room for data");
    const qint64 remaining = size - startByte;
    const bool more = remaining > room;
    const qint64 wanted = more ? room : remaining;
    QByteArray data;
    if (!file.seek(startByte) || (data = file.read(wanted)).size() != wanted)
        return bad("the local file changed");
    _fileLength = quint32(size);
    _startByte = startByte;
    _packetLength = int(more ? room : fixed + remaining);
    const QByteArray bytes = frame(kFileService, more ? kFilePut : kFilePutLast, port().nextPackageCount(),
                                   *blocks + transferBlock(_fileLength, startByte, _currentPart) + data);
    _sendBuffer = quoteFFValuesInData(bytes);
    sendNextPiece(stage, path);
}

void SLTCommDeviceLgFileBrowserExt::sendNextPiece(const SLTInvocationPtr& stage, const QString& path)
{
    const qsizetype size = std::max<qsizetype>(1, qsizetype(_engine.maxTransportPacketSize()) - 2);
    const QByteArray piece = _sendBuffer.left(size);
    _sendBuffer.remove(0, piece.size());
    _engine.addCommand(command(stage, kPutFileStage, kPutFileSignal, piece, kStateSendEntryFrame, path));
}

void SLTCommDeviceLgFileBrowserExt::putFileStage2(const QVariantMap& result)
{
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    const auto bad = [&](const char* why) {
        kitLogWith([&] {
            return QStringLiteral("LG file browser: upload to %1 stopped at byte %2: %3 (%4 bytes)")
                .arg(pathOf(result))
                .arg(_startByte)
                .arg(QLatin1String(why))
                .arg(reply.size());
        });
        _sendBuffer.clear();
        fail(result);
    };
    if (!SLTCommDeviceLgSmsExt::hasResult(result) || !is(signalOf(result), kPutFileSignal))
        return bad("no answer");
    if (reply.size() == 2 && !_sendBuffer.isEmpty()) {
        const qint64 sent = qint64(_startByte) + _packetLength - _sendBuffer.size();
        progress(result, {{kSizeKey, _fileLength},
                          {QStringLiteral("progress"), std::clamp<qint64>(sent, _startByte, _fileLength)}});
        sendNextPiece(stageOf(result), pathOf(result));
        return;
    }
    // The phone answers a packet only once all of it has arrived.
    if (!_sendBuffer.isEmpty())
        return bad("an answer before the packet was complete");
    if (reply.size() == kPlainAnswerLength) {
        succeed(result, nullptr, QVariant(), reply);
        return;
    }
    if (reply.size() <= kPlainAnswerLength)
        return bad("a short answer");
    if (port().doAbort()) {
        deliverAborted(result);
        return;
    }
    const std::optional<FilePacketFields> fields = readFilePacketFields(reply);
    if (replyDeclaredLength(reply) + 2 != reply.size())
        return bad("an answer of another length than it states");
    if (!fields || fields->startByte > _fileLength)
        return bad("a request for a start outside the file");
    ++_currentPart;
    lgViewtyFileBrowserPutFileToPath(pathOf(result), fields->startByte, stageOf(result));
}
