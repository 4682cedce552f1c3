#pragma once

#include "links/FileTransferConnection.h"
#include "phone/MassStorageVolumes.h"

#include <QVariantMap>
#include <list>
#include <memory>
#include <optional>

class MFDevice;

// The file-transfer connection ("FTP") of a USB storage phone: its mounted
// volumes (mount points from the USB registry) as one phone file system.
// Listings end with FTPFile entries ("name", "size", "modified" as basic
// ISO 8601, "file-type" 1 for a folder); copies run through the USB copy
// handler. Symbolic links never lead out of the volumes, only regular files
// are copied, and a volume that went away ends a request with
// kIOReturnNoDevice. Links to folders are not listed: a walk of the tree
// (copy, delete) never follows one.
class USBMassStorageConnection : public FileTransferConnection {
public:
    static constexpr const char* kConnectionType = "USB-MassStorage";
    static constexpr int kDuplicateName = -48;
    static constexpr int kNotPermitted = -5000;

    // Registers "FTP" with the device; dict is the device dictionary.
    USBMassStorageConnection(MFDevice& device, const QVariantMap& dict);
    ~USBMassStorageConnection() override;

    QString getConnectionType() const override { return QLatin1String(kConnectionType); }
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;

    int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int copyFromMobileToMac(const QString& phoneFile, const QString& macFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override;
    int copyFromMacToMobile(const QString& macFile, const QString& phoneFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override;
    int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;

    QString diskName(int disk) const override { return _volumes.diskName(disk); }
    QString pathToFileOnDisk(const QString& path, int disk) const override
    {
        return _volumes.pathToFileOnDisk(path, disk);
    }
    bool areVolumesValid() const override { return _volumes.areVolumesValid(); }
    void arrangeVolumes(const QString& internalPath, const QString& externalPath, const FTPFileList& root) override;
    void findAndArrangeSamsungVolumes(const QString& internalPath, const QString& externalPath,
                                      const FTPFileList& root) override;
    // Serial numbers: the phone's USB serial, else its volume markers'.
    bool mustWriteSerialNumber() const override;
    QString oldSerialNumber() const override;
    // Answers whether the phone's serial number (writing a marker when it
    // has none) differs from the given one.
    bool preProcessSerialNumber(const QString& serialNumber) override;

    // Reads the phone's mount points from the USB registry again; false
    // when the phone is not there.
    bool refreshVolumes();
    const MassStorageVolumes& volumes() const { return _volumes; }

private:
    class CopyReceiver;

    std::optional<QVariantMap> foundDevice() const;
    // The error of a request on the phone path's volume: none, or
    // kIOReturnNoDevice when the volume went away.
    std::optional<int> volumeError(const QString& phonePath) const;
    int startCopy(const QString& source, const QString& destination, bool overwritingAllowed,
                  const std::shared_ptr<QVDeviceCallback>& callback);
    void dropFinishedCopies();

    MFDevice& _device;
    QVariantMap _storedDevice;
    MassStorageVolumes _volumes;
    std::list<std::unique_ptr<CopyReceiver>> _copies;
};
