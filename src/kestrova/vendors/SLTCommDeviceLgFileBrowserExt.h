#pragma once

#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/LgFileBrowserFrames.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

class SLTCommDeviceLgSmsExt;

// The file system of an LG phone behind its application port (an engine
// extension): opening the port for browsing, keep-alive, root and folder
// listings, one item, deleting files and folders, making folders, and whole
// files down and up packet by packet with progress and an abort between
// packets. Each operation answers the caller's stage with command
// dictionaries: SLTCommDeviceCommandStep and, on success,
// SLTCommDeviceReturnValue and the unescaped reply as
// SLTCommDeviceCommandQueueCommandRawResult; a failure carries no raw reply.
// A request that cannot be framed (a path part over 254 units, an unreadable
// local file) sends nothing and fails on a later pass. Main thread only.
class SLTCommDeviceLgFileBrowserExt {
public:
    explicit SLTCommDeviceLgFileBrowserExt(SLTCommDevice& engine);
    ~SLTCommDeviceLgFileBrowserExt();
    SLTCommDeviceLgFileBrowserExt(const SLTCommDeviceLgFileBrowserExt&) = delete;
    SLTCommDeviceLgFileBrowserExt& operator=(const SLTCommDeviceLgFileBrowserExt&) = delete;

    // The port opened for browsing ("at$lgapp=1", or the OBEX connect for
    // "lg2"; the "easyman" initialisation; the open): success is the step
    // SLTCommDeviceLgFileBrowserOpen.
    void lgViewtyFileBrowserPrepare(const SLTInvocationPtr& stage);
    void lgViewtyHeartBeat(const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserGetRootDirectory(const SLTInvocationPtr& stage);
    // The assembled listing reply arrives as the step "listing".
    void lgViewtyFileBrowserGetDirectoryAtPath(const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserListItem(const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserDeleteFile(const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserDeleteFolder(const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserMakeDir(const QString& path, const SLTInvocationPtr& stage);

    // Downloads: steps "progress" ({"size", "remaining"}) and then "file"
    // with the whole file as raw result.
    void lgViewtyFileBrowserGetFileAtPath(const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserGetFileAtPath(const QString& path, quint32 fromByte, const SLTInvocationPtr& stage);
    // Uploads: steps "progress" ({"size", "progress"}) and then "putFile".
    void lgViewtyFileBrowserPutFile(const QString& localPath, const QString& path, const SLTInvocationPtr& stage);
    void lgViewtyFileBrowserPutFileToPath(const QString& path, quint32 startByte, const SLTInvocationPtr& stage);
    // The running transfer stops once the phone has answered its packet; the
    // step "aborted" goes to this stage (replacing one kept before).
    void lgViewtyFileBrowserAbortActionAndCall(const SLTInvocationPtr& stage);

    static quint16 getMaxObexPacketLengthFrom(const QByteArray& data);
    static qsizetype countFFValues(const QByteArray& data) { return kestrova::lg::countFFValues(data); }

private:
    SLTCommDeviceLgSmsExt& port();
    QVariantMap command(const SLTInvocationPtr& stage, const char* selector, const char* signal,
                        const QByteArray& frame, int state, const QString& path) const;
    // One frame of service 20 with a body, or a failure on a later pass.
    void addFileFrame(const SLTInvocationPtr& stage, const char* selector, const char* signal, quint8 code,
                      const std::optional<QByteArray>& body, int state, const QString& path);
    void failLater(QVariantMap command);
    void fail(QVariantMap result);
    void succeed(QVariantMap result, const char* signal, const QVariant& value, const QByteArray& raw);
    void goOn(const QVariantMap& result, const char* selector);
    void progress(const QVariantMap& result, const QVariantMap& record);
    void deliverAborted(const QVariantMap& result);

    void prepareStage2(const QVariantMap& result);
    void replyStage2(const QVariantMap& result);
    void exactLengthStage2(const QVariantMap& result);
    void listItemStage2(const QVariantMap& result);
    void directoryStage2(const QVariantMap& result);
    void getFileStage2(const QVariantMap& result);
    void getFilePacketDone(const QVariantMap& result);
    void putFileStage2(const QVariantMap& result);
    void sendNextPiece(const QVariantMap& result);
    void sendNextPiece(const SLTInvocationPtr& stage, const QString& path);

    SLTCommDevice& _engine;
    kestrova::lg::LgPacketPieces _pieces;
    // The listing assembled from its pieces.
    QByteArray _listingBuffer;
    // Download: the file so far, the packet's fields.
    QByteArray _fileBuffer;
    quint32 _fileLength = 0;
    quint32 _startByte = 0;
    quint16 _currentPart = 0;
    qsizetype _headerLength = 0;
    // Upload: the local file, the escaped packet still to send.
    QString _localPath;
    QByteArray _sendBuffer;
    int _packetLength = 0;
    SLTInvocationPtr _abortCallback;
};
