// The device object's answers to its files mirror and to the records of its
// phone's files.

#include "device/MFDeviceInfo.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/FTPFileSystem.h"
#include "phone/FilesMirror.h"
#include "phone/HistoryName.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"

#include <QFileInfo>
#include <QLocale>

namespace {
constexpr const char* kHistoryTimeShown = "dd. MMM yy, HH:mm";
} // namespace

void MFDevice::jumpToHistoryIndex(int index)
{
    if (_stateInHistoryFiles.isEmpty())
        return;
    _curStateIndex = index >= 0 && index < _stateInHistoryFiles.size() ? index : int(_stateInHistoryFiles.size()) - 1;
    const QString path = _stateInHistoryFiles.at(_curStateIndex);
    if (FilesMirror* filesMirror = mirror()) {
        filesMirror->fillCurrentFileSystem(path);
        if (_dataManager)
            _dataManager->rebuildFromSnapshot(filesMirror->currentFileSystem().fileSystem());
    }
    const QDateTime time = historyname::timeOfName(QFileInfo(path).fileName(), QStringLiteral("MirrorFileSystem"));
    _curHistoryTime = time.isValid() ? QLocale::c().toString(time, QLatin1String(kHistoryTimeShown)) : QString();
}

bool MFDevice::wantsToBackup(const PhoneFileEntry& entry) const
{
    return _backup && _backup->wantsToBackup(&entry);
}

bool MFDevice::volumeInArchive(bool external) const
{
    return _devInfo && _devInfo->volumeInArchive(external);
}

QString MFDevice::uniqueMirrorName() const
{
    return _devInfo ? _devInfo->getUniqueMirrorName() : QString();
}

QString MFDevice::settingText(const QString& key) const
{
    return _devInfo ? _devInfo->objectForKey(key).toString() : QString();
}

QString MFDevice::internalPath(const QString& phonePath) const
{
    return _folders ? _folders->internalUnlocalRepresentation(phonePath) : phonePath;
}

std::optional<QVariantMap> MFDevice::deviceDict() const
{
    const auto dict = mDeviceDict();
    if (!dict)
        return std::nullopt;
    return *dict;
}

void MFDevice::setHistoryFiles(const QStringList& states, const QStringList& organizerFiles)
{
    _stateInHistoryFiles = states;
    _organizerInHistoryFiles = organizerFiles;
}

void MFDevice::setMirror(FilesMirror* filesMirror)
{
    if (_dataManager)
        _dataManager->setMirror(filesMirror);
}

bool MFDevice::isNokiaPCSuite() const
{
    return _ftpConnection && _ftpConnection->isNokiaPCSuite();
}

int MFDevice::doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_ftpConnection)
        return links::kErrNotConnected;
    return _ftpConnection->doesExist(path, callback);
}

QString MFDevice::mirrorPath(const QString& phonePath)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->getMirrorPath(phonePath) : QString();
}

QString MFDevice::previewPath(const QString& phonePath)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->getPreviewPath(phonePath) : QString();
}

QString MFDevice::currentLocation(long fileID)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->currentLocation(fileID) : QString();
}

QString MFDevice::currentPreviewLocation(long fileID)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->currentPreviewLocation(fileID) : QString();
}

long MFDevice::idForMirrorFile(const QString& localPath)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->getIDForMirrorFile(localPath) : 0;
}

QVariantMap MFDevice::finderInfoDictForPath(const QString& phonePath)
{
    FilesMirror* filesMirror = mirror();
    return filesMirror ? filesMirror->getFinderInfoDictForPath(phonePath) : QVariantMap();
}
