#pragma once

#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/QVDeviceCallback.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>

// A file-transfer connection over an in-memory phone file system: folders
// and files by absolute phone path ("/" is the root). Every operation ends
// its callback on a later pass of the event loop, as a real link does.
class InMemoryFileTransfer : public FileTransferConnection {
public:
    static constexpr int kDuplicateName = -48;

    // Registers "FTP" with the owner when a specification is given.
    explicit InMemoryFileTransfer(MFDeviceLinkOwner& owner, const QVariantMap& specification = {})
        : FileTransferConnection(owner.linkDevice(), nullptr, owner.linkDeviceInfo())
    {
        if (!specification.isEmpty())
            owner.registerConnection(QStringLiteral("FTP"), specification);
        folders.insert(QStringLiteral("/"));
    }

    void addFolder(const QString& path) { folders.insert(path); }
    void addFile(const QString& path, const QByteArray& data) { files.insert(path, data); }

    int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (!folders.contains(path))
            return end(callback, kMissingFolder);
        FTPFileList entries;
        const auto entry = [&](const QString& item, bool folder, qint64 size) {
            entries.append(FTPFile::ftpFileWithAttributes(
                {{FTPFile::kName, nameOf(item)}, {FTPFile::kFileTypeKey, folder ? 1 : 0}, {FTPFile::kSize, size}}, path,
                nullptr));
        };
        const auto inFolder = [&](const QString& item) { return parentOf(item) == path && item != path; };
        for (const QString& folder : std::as_const(folders)) {
            if (inFolder(folder))
                entry(folder, true, 0);
        }
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            if (inFolder(it.key()))
                entry(it.key(), false, it->size());
        }
        return end(callback, 0, QVariant::fromValue(entries));
    }
    int makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (!folders.contains(parentOf(path)))
            return end(callback, kMissingFolder);
        folders.insert(path);
        return end(callback, 0);
    }
    int deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (files.remove(path) == 0 && !folders.remove(path))
            return end(callback, kMissingSource);
        return end(callback, 0);
    }
    int copyFromMobileToMac(const QString& phoneFile, const QString& macFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (!files.contains(phoneFile))
            return end(callback, kMissingSource);
        if (!QFileInfo(macFolder).isDir())
            return end(callback, kMissingFolder);
        QFile target(QDir(macFolder).filePath(nameOf(phoneFile)));
        if (target.exists() && !overwritingAllowed)
            return end(callback, kDuplicateName);
        const QByteArray& data = files[phoneFile];
        if (!callback->registerProgress(double(data.size()), 100.0f))
            return end(callback, kCancelled);
        if (!target.open(QIODevice::WriteOnly) || target.write(data) != data.size())
            return end(callback, links::kIOReturnIOError);
        return end(callback, 0);
    }
    int copyFromMacToMobile(const QString& macFile, const QString& phoneFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        QFile source(macFile);
        if (!source.open(QIODevice::ReadOnly))
            return end(callback, kMissingSource);
        if (!folders.contains(phoneFolder))
            return end(callback, kMissingFolder);
        const QString target = (phoneFolder == QLatin1String("/") ? QString() : phoneFolder) + QLatin1Char('/')
                               + QFileInfo(macFile).fileName();
        if (files.contains(target) && !overwritingAllowed)
            return end(callback, kDuplicateName);
        const QByteArray data = source.readAll();
        if (!callback->registerProgress(double(data.size()), 100.0f))
            return end(callback, kCancelled);
        files.insert(target, data);
        return end(callback, 0);
    }
    int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        return end(callback, 0, folders.contains(path) || files.contains(path));
    }

    QString diskName(int disk) const override { return diskNames.value(disk); }
    QString pathToFileOnDisk(const QString& path, int disk) const override
    {
        return QStringLiteral("/[%1]%2").arg(disk).arg(path);
    }
    bool areVolumesValid() const override { return !diskNames.isEmpty(); }
    void arrangeVolumes(const QString& internalPath, const QString& externalPath, const FTPFileList&) override
    {
        diskNames = {{0, internalPath}, {1, externalPath}};
    }
    void findAndArrangeSamsungVolumes(const QString& internalPath, const QString& externalPath,
                                      const FTPFileList& root) override
    {
        arrangeVolumes(internalPath, externalPath, root);
    }
    bool mustWriteSerialNumber() const override { return false; }
    QString oldSerialNumber() const override { return QString(); }
    bool preProcessSerialNumber(const QString&) override { return false; }

    QSet<QString> folders;
    QMap<QString, QByteArray> files;
    QMap<int, QString> diskNames;

private:
    static QString parentOf(const QString& path)
    {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash <= 0 ? QStringLiteral("/") : path.left(slash);
    }
    static QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }
    static int end(const std::shared_ptr<QVDeviceCallback>& callback, int status, const QVariant& result = {})
    {
        callback->finishWithErrorInMainThread(status, result);
        return 0;
    }
};
