#pragma once

#include "links/DZDeviceConnection.h"
#include "links/FTPFile.h"

#include <QString>
#include <QVariantList>
#include <memory>

// The phone's file-transfer connection ("FTP"): OBEX file transfer over
// Bluetooth or the mounted volume of a USB storage phone. The device object
// keeps one in its FTP slot; the file jobs, the phone's file records and the
// folder-listing delegate use the calls below.
//
// Each file operation answers 0 when the request is under way (the callback
// then ends exactly once with a status) or the error to end with (nothing
// started, the caller still owns its callback).
class FileTransferConnection : public DZDeviceConnection {
public:
    // End statuses besides 0 and the connection's own errors.
    static constexpr int kMissingFolder = -2;
    static constexpr int kMissingFolderOBEX = -21856;
    static constexpr int kMissingSource = -43;
    static constexpr int kCancelled = -1702;

    using DZDeviceConnection::DZDeviceConnection;

    // Ends with the folder's entries as the result: an FTPFileList of
    // phone file records ("name", "size", "modified", "file-type").
    virtual int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    virtual int makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    virtual int deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    // A copy updates the callback's progress and stops (cancelled) when the
    // progress answer asks it to.
    virtual int copyFromMobileToMac(const QString& phoneFile, const QString& macFolder, bool overwritingAllowed,
                                    const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    virtual int copyFromMacToMobile(const QString& macFile, const QString& phoneFolder, bool overwritingAllowed,
                                    const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    // Ends with a status and a bool result: whether the path exists.
    virtual int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) = 0;

    // Volumes: disk 0 the phone's memory, 1 its card.
    virtual QString diskName(int disk) const = 0;
    virtual QString pathToFileOnDisk(const QString& path, int disk) const = 0;
    virtual bool areVolumesValid() const = 0;
    virtual void arrangeVolumes(const QString& internalPath, const QString& externalPath, const FTPFileList& root) = 0;
    virtual void findAndArrangeSamsungVolumes(const QString& internalPath, const QString& externalPath,
                                              const FTPFileList& root) = 0;
    virtual bool mustWriteSerialNumber() const = 0;
    virtual QString oldSerialNumber() const = 0;
    virtual bool preProcessSerialNumber(const QString& serialNumber) = 0;

    // Whether the phone's files are a mounted USB volume (the mass-storage
    // pipes serve its jobs). An OBEX link behind a USB modem's AT switch
    // is USB but no volume.
    virtual bool servesMassStorage() const { return isUSB(); }

    // The Bluetooth form's folder-listing hooks; nothing on other forms.
    virtual void setFTPDelegate(void* delegate) { Q_UNUSED(delegate); }
    virtual void* fileTransferService() const { return nullptr; }
    virtual void setCurrentPath(const QString& path) { Q_UNUSED(path); }
};
