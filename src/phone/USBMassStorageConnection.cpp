#include "phone/USBMassStorageConnection.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "links/FTPFile.h"
#include "links/LinkCodes.h"
#include "links/ObexCommand.h"
#include "links/QVDeviceCallback.h"
#include "phone/DorvantiUSBCopJob.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FTPReceiver.h"
#include "phone/MFDevice.h"
#include "phone/MirrorPaths.h"
#include "usbdevice/DZDeviceProperties.h"
#include "usbdevice/DZUSBStorageDevice.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
constexpr const char* kModifiedFormat = "yyyyMMdd'T'HHmmss'Z'";

QVariantMap attributesOf(const QFileInfo& info, const QString& name)
{
    QVariantMap attributes{{FTPFile::kName, name}, {FTPFile::kFileTypeKey, info.isDir() ? 1 : 0}};
    if (!info.isDir())
        attributes.insert(FTPFile::kSize, qlonglong(info.size()));
    const QDateTime modified = info.lastModified();
    if (modified.isValid())
        attributes.insert(FTPFile::kModified, modified.toUTC().toString(QLatin1String(kModifiedFormat)));
    return attributes;
}

int fail(const std::shared_ptr<QVDeviceCallback>& callback, int status, const QVariant& result = {})
{
    callback->finishWithErrorInMainThread(status, result);
    return 0;
}
} // namespace

// Hands one copy's progress and end to its callback; a stop asked by the
// progress answer kills the copy and ends the callback with a cancel.
class USBMassStorageConnection::CopyReceiver : public FTPReceiver {
public:
    explicit CopyReceiver(std::shared_ptr<QVDeviceCallback> callback) : _callback(std::move(callback)) { }
    ~CopyReceiver() override
    {
        if (_job && !_done)
            _job->setIsKilled();
    }
    void setJob(std::shared_ptr<DorvantiUSBCopJob> job) { _job = std::move(job); }
    bool isDone() const { return _done; }

    void showProgress(double bytes, float prozDone) override
    {
        if (_done || _callback->registerProgress(bytes, prozDone))
            return;
        _done = true;
        _job->setIsKilled();
        _callback->finishWithErrorInMainThread(FileTransferConnection::kCancelled, QVariant());
    }
    void notifyFinishedJob(ObexCommand& command) override
    {
        if (_done)
            return;
        _done = true;
        _callback->finishWithResult(command.getStatus(), QVariant());
    }

private:
    std::shared_ptr<QVDeviceCallback> _callback;
    std::shared_ptr<DorvantiUSBCopJob> _job;
    bool _done = false;
};

USBMassStorageConnection::USBMassStorageConnection(MFDevice& device, const QVariantMap& dict)
    : FileTransferConnection(&device, nullptr, device.linkDeviceInfo())
    , _device(device)
{
    _storedDevice = {
        {QLatin1String(DZDeviceProperties::kVendorIDKey), dict.value(QStringLiteral("USB.VendorID"))},
        {QLatin1String(DZDeviceProperties::kProductIDKey), dict.value(QStringLiteral("USB.ProductID"))},
        {QLatin1String(DZDeviceProperties::kSerialNumberKey), dict.value(QStringLiteral("Common.SerialNo"))},
    };
    device.registerConnection(QStringLiteral("FTP"), {{"type", QLatin1String(kConnectionType)}, {"channel", 0}});
    refreshVolumes();
}

USBMassStorageConnection::~USBMassStorageConnection() = default;

std::optional<QVariantMap> USBMassStorageConnection::foundDevice() const
{
    DZUSBStorageDevice storage(_storedDevice);
    return storage.deviceInfo();
}

bool USBMassStorageConnection::refreshVolumes()
{
    const auto found = foundDevice();
    QStringList mountPoints;
    if (found) {
        for (const QVariant& entry : found->value(QLatin1String(DZDeviceProperties::kMountPointsKey)).toList()) {
            const QString mountPoint =
                entry.toMap().value(QLatin1String(DZDeviceProperties::kMountPointKey)).toString();
            if (!mountPoint.isEmpty())
                mountPoints.append(mountPoint);
        }
    }
    const bool arranged = _volumes.areVolumesValid();
    const QString internal = _volumes.diskName(0);
    const QString external = _volumes.diskName(1);
    _volumes.setMountPoints(mountPoints);
    if (arranged)
        _volumes.arrangeVolumes(internal.mid(1), external.mid(1));
    return found.has_value() && !mountPoints.isEmpty();
}

int USBMassStorageConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!refreshVolumes()) {
        QVLOG(qvlog::kConn, QStringLiteral("USB storage phone: no mounted volume"));
        return links::kIOReturnNoDevice;
    }
    return FileTransferConnection::openConnection(callback);
}

std::optional<int> USBMassStorageConnection::volumeError(const QString& phonePath) const
{
    if (_volumes.isEmpty())
        return links::kIOReturnNoDevice;
    const QStringList components = phonePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.isEmpty())
        return std::nullopt;
    for (const auto& volume : _volumes.volumes()) {
        if (volume.name == components.first())
            return QFileInfo(volume.mountPoint).isDir() ? std::nullopt : std::optional<int>(links::kIOReturnNoDevice);
    }
    return std::nullopt;
}

int USBMassStorageConnection::getDirectoryContentsAtPath(const QString& path,
                                                         const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(path))
        return *error;
    FTPFileList entries;
    const QString folder = path.isEmpty() ? QStringLiteral("/") : path;
    if (folder.split(QLatin1Char('/'), Qt::SkipEmptyParts).isEmpty()) {
        for (const auto& volume : _volumes.volumes())
            entries.append(FTPFile::ftpFileWithAttributes(attributesOf(QFileInfo(volume.mountPoint), volume.name),
                                                          QStringLiteral("/"), &_device));
        return fail(callback, 0, QVariant::fromValue(entries));
    }
    const auto local = _volumes.localPath(folder);
    if (!local || !QFileInfo(*local).isDir())
        return kMissingFolder;
    const QFileInfoList infos = QDir(*local).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : infos) {
        if (info.isSymLink() && (!info.exists() || !_volumes.isInsideAVolume(info.absoluteFilePath()))) {
            QVLOG(
                qvlog::kXT,
                QStringLiteral("USB volume: link %1 leads out of the volume, not listed").arg(info.absoluteFilePath()));
            continue;
        }
        if (info.isSymLink() && info.isDir()) {
            // A walk of the tree (copy, delete) would follow it, round a
            // loop or into another folder's files.
            QVLOG(qvlog::kXT,
                  QStringLiteral("USB volume: link %1 leads to a folder, not listed").arg(info.absoluteFilePath()));
            continue;
        }
        entries.append(FTPFile::ftpFileWithAttributes(attributesOf(info, info.fileName()), folder, &_device));
    }
    return fail(callback, 0, QVariant::fromValue(entries));
}

int USBMassStorageConnection::makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(path))
        return *error;
    if (_volumes.isVolumeRoot(path))
        return kNotPermitted;
    const auto local = _volumes.localPath(path);
    if (!local || !QFileInfo(QFileInfo(*local).path()).isDir())
        return kMissingFolder;
    if (QFileInfo::exists(*local) || QFileInfo(*local).isSymLink())
        return kDuplicateName;
    if (!QDir().mkdir(*local))
        return fail(callback, links::kIOReturnIOError);
    return fail(callback, 0);
}

int USBMassStorageConnection::deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(path))
        return *error;
    if (_volumes.isVolumeRoot(path))
        return kNotPermitted;
    const auto local = _volumes.localPath(path);
    const QFileInfo info(local.value_or(QString()));
    if (!local || (!info.exists() && !info.isSymLink()))
        return kMissingSource;
    const bool removed = info.isDir() && !info.isSymLink() ? QDir(*local).removeRecursively() : QFile::remove(*local);
    return fail(callback, removed ? 0 : links::kIOReturnIOError);
}

int USBMassStorageConnection::copyFromMobileToMac(const QString& phoneFile, const QString& macFolder,
                                                  bool overwritingAllowed,
                                                  const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(phoneFile))
        return *error;
    const auto local = _volumes.localPath(phoneFile);
    const QFileInfo source(local.value_or(QString()));
    if (!local || source.isSymLink() || !source.isFile())
        return kMissingSource;
    if (!QFileInfo(macFolder).isDir())
        return kMissingFolder;
    return startCopy(*local, QDir(macFolder).filePath(source.fileName()), overwritingAllowed, callback);
}

int USBMassStorageConnection::copyFromMacToMobile(const QString& macFile, const QString& phoneFolder,
                                                  bool overwritingAllowed,
                                                  const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(phoneFolder))
        return *error;
    const QFileInfo source(macFile);
    if (source.isSymLink() || !source.isFile())
        return kMissingSource;
    const auto folder = _volumes.localPath(phoneFolder);
    if (!folder || !QFileInfo(*folder).isDir())
        return kMissingFolder;
    const auto target = _volumes.localPath(phoneFolder + QLatin1Char('/') + source.fileName());
    if (!target)
        return kMissingFolder;
    return startCopy(macFile, *target, overwritingAllowed, callback);
}

int USBMassStorageConnection::startCopy(const QString& source, const QString& destination, bool overwritingAllowed,
                                        const std::shared_ptr<QVDeviceCallback>& callback)
{
    dropFinishedCopies();
    if (!overwritingAllowed && (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink()))
        return kDuplicateName;
    auto receiver = std::make_unique<CopyReceiver>(callback);
    receiver->setJob(DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(
        source, destination, overwritingAllowed, receiver.get()));
    _copies.push_back(std::move(receiver));
    return 0;
}

void USBMassStorageConnection::dropFinishedCopies()
{
    _copies.remove_if([](const std::unique_ptr<CopyReceiver>& copy) { return copy->isDone(); });
}

int USBMassStorageConnection::doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (const auto error = volumeError(path))
        return *error;
    if (path.split(QLatin1Char('/'), Qt::SkipEmptyParts).isEmpty())
        return fail(callback, 0, true);
    const auto local = _volumes.localPath(path);
    return fail(callback, 0, local.has_value() && (QFileInfo::exists(*local) || QFileInfo(*local).isSymLink()));
}

void USBMassStorageConnection::arrangeVolumes(const QString& internalPath, const QString& externalPath,
                                              const FTPFileList&)
{
    _volumes.arrangeVolumes(internalPath, externalPath);
}

void USBMassStorageConnection::findAndArrangeSamsungVolumes(const QString& internalPath, const QString& externalPath,
                                                            const FTPFileList& root)
{
    arrangeVolumes(internalPath, externalPath, root);
}

bool USBMassStorageConnection::mustWriteSerialNumber() const
{
    const auto found = foundDevice();
    return found && found->value(QLatin1String(DZDeviceProperties::kSerialNumberKey)).toString().isEmpty()
        && DZUSBStorageDevice::readSerialFromFile(*found).isEmpty();
}

QString USBMassStorageConnection::oldSerialNumber() const
{
    const auto found = foundDevice();
    return found ? DZUSBStorageDevice::getSerialNumberForValidate(*found) : QString();
}

bool USBMassStorageConnection::preProcessSerialNumber(const QString& serialNumber)
{
    const QString serial = DZUSBStorageDevice::getUSBStorageSerialNumber(foundDevice());
    return !serial.isEmpty() && serial != serialNumber;
}
