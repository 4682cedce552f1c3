#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>

class QVDeviceCallback;

// What a phone file record asks of the device that listed it and of that
// device's files mirror. The device object implements it.
class FTPFileOwner {
public:
    virtual ~FTPFileOwner() = default;
    // An archived phone shown from its mirror (no live connection).
    virtual bool isHistoryDevice() const = 0;
    // The file-transfer connection serves the PC-suite service.
    virtual bool isNokiaPCSuite() const = 0;
    // As FileTransferConnection::doesExist; non-zero: nothing started
    // (also without a connection).
    virtual int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    // The mirror's answers; empty (0) without a mirror.
    virtual QString mirrorPath(const QString& phonePath) = 0;
    virtual QString previewPath(const QString& phonePath) = 0;
    virtual QString currentLocation(long fileID) = 0;
    virtual QString currentPreviewLocation(long fileID) = 0;
    virtual long idForMirrorFile(const QString& localPath) = 0;
    virtual QVariantMap finderInfoDictForPath(const QString& phonePath) = 0;
};
