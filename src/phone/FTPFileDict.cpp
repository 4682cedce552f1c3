#include "phone/FTPFileDict.h"

#include "foundation/FileManagerAdds.h"
#include "links/FTPFile.h"
#include "phone/MirrorOwner.h"

#include <QDateTime>

FTPFileDict::FTPFileDict(const FTPFile& file, const MirrorOwner& device)
{
    const QString modified = file.modificationDate();
    _dictionary = {
        {kName, file.fileName()},
        {kDeviceFullPath, device.internalPath(file.fullPath())},
        {kModified, modified.isEmpty() ? QStringLiteral("0") : modified},
        {kSize, QString::number(file.fileSize())},
    };
}

FTPFileDict::FTPFileDict(const QString& devicePath, const MirrorOwner& device, const QString& macPath)
{
    _dictionary.insert(kDeviceFullPath, device.internalPath(devicePath));
    if (!macPath.isEmpty()) {
        _dictionary.insert(kSize, QString::number(getFileSize(macPath)));
        _dictionary.insert(kModified, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd'T'HHmmss")));
    }
}
