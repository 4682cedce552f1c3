#include "phone/FilesMirror.h"

#include "foundation/FileManagerAdds.h"
#include "foundation/NamedLog.h"
#include "links/FTPFile.h"
#include "phone/DeadAliasAsker.h"
#include "phone/FTPFileLocations.h"
#include "phone/FTPFileSystem.h"
#include "phone/HistoryName.h"
#include "phone/MirrorOwner.h"
#include "phone/MirrorPaths.h"
#include "phone/PhoneLog.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kLastOldMarkerVersion = 9;

// The folder a path stands for; a dead alias is deleted when the asker
// agrees. None when it does not resolve and nobody agrees.
std::optional<QString> resolvedOrAsked(const QString& path, DeadAliasAsker* asker)
{
    const QString resolved = resolveAliasToDirectory(path);
    if (!resolved.isNull())
        return resolved;
    if (!asker) {
        QVLOG(qvlog::kXT, QStringLiteral("Mirror: %1 does not resolve to a folder; not opened").arg(path));
        qCWarning(lcPhone) << "mirror folder does not resolve:" << path;
        return std::nullopt;
    }
    if (!asker->askKillDeadAlias(path))
        return std::nullopt;
    QFile::remove(path);
    return path;
}

void removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

QStringList datedFiles(const QString& folder, const QString& prefix)
{
    QStringList names;
    const QStringList entries = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString& name : entries) {
        if (historyname::timeOfName(name, prefix).isValid())
            names.append(folder + QLatin1Char('/') + name);
    }
    // The time text sorts as the time: oldest first.
    return names;
}
} // namespace

FilesMirror::FilesMirror(MirrorOwner& device, QString anchorPath)
    : _mfDevice(device)
    , _anchorPath(std::move(anchorPath))
{
}

std::unique_ptr<FilesMirror> FilesMirror::mirrorWithDevice(MirrorOwner& device, const QString& documentPath,
                                                           DeadAliasAsker* asker)
{
    const auto root = resolvedOrAsked(platform::paths::applicationSupportDirectory(), asker);
    if (!root)
        return nullptr;
    const auto mirrors = resolvedOrAsked(*root + QLatin1Char('/') + QLatin1String(kMirrorsFolder), asker);
    if (!mirrors)
        return nullptr;
    const QString wanted = documentPath.isEmpty() ? *mirrors + QLatin1Char('/') + device.uniqueMirrorName()
                                                  : documentPath;
    if (!mirrorpaths::isSafePhonePath(device.uniqueMirrorName())) {
        QVLOG(qvlog::kXT, QStringLiteral("Mirror name %1 refused").arg(device.uniqueMirrorName()));
        return nullptr;
    }
    const auto anchor = resolvedOrAsked(wanted, asker);
    if (!anchor)
        return nullptr;
    std::unique_ptr<FilesMirror> mirror(new FilesMirror(device, *anchor));
    mirror->open();
    device.setMirror(mirror.get());
    return mirror;
}

void FilesMirror::open()
{
    _basePath = _anchorPath + QLatin1Char('/') + QLatin1String(kFilesFolder);
    createDirectoryfNecessary(_anchorPath);
    checkMarker();
    createDirectoryfNecessary(_basePath);
    _fileLocations = std::make_shared<FTPFileLocations>(_anchorPath, this, _mfDevice);
    _lastFileSystem = std::make_unique<FTPFileSystem>(_anchorPath, _fileLocations, _mfDevice);
    _lastFileSystem->load();
    _curFileSystem = std::make_unique<FTPFileSystem>(_anchorPath, _fileLocations, _mfDevice);
    if (!QFileInfo::exists(_anchorPath + QLatin1Char('/') + QLatin1String(kDeviceDictFile)))
        writeDeviceDictToArchive();
    if (_mfDevice.isHistory())
        listHistory();
}

// An old mirror (marker version 9 or less, or the older snapshot layout
// without a marker) is cleared; a folder without a marker is otherwise left
// as it is, as it may be a user's own folder holding every backup.
void FilesMirror::checkMarker()
{
    const QString markerPath = _anchorPath + QLatin1Char('/') + QLatin1String(kMarker);
    QString error;
    const QVariant marker = QFileInfo::exists(markerPath) ? platform::plist::readFile(markerPath, &error) : QVariant();
    const QVariant version = marker.toMap().value(QLatin1String(kMarkerVersionKey));
    bool oldMirror = false;
    if (version.isValid()) {
        bool isNumber = false;
        const int number = version.toString().toInt(&isNumber);
        oldMirror = !isNumber || number <= kLastOldMarkerVersion;
    } else {
        if (QFileInfo::exists(markerPath))
            QVLOG(qvlog::kXT, QStringLiteral("Mirror marker %1 not readable (%2)").arg(markerPath, error));
        const QString pointer = _anchorPath + QLatin1Char('/') + QLatin1String(FTPFileSystem::kFileName);
        oldMirror = QFileInfo::exists(pointer)
            && FTPFileSystem::validateFileSystem(platform::plist::readFile(pointer)) == FTPFileSystem::Layout::Older;
    }
    if (oldMirror) {
        QVLOG(qvlog::kXT, QStringLiteral("Old mirror at %1 cleared").arg(_anchorPath));
        for (const char* name :
             {kFilesFolder, FTPFileSystem::kHistoryFolder, kOtherDataFolder, FTPFileLocations::kTrashFolder,
              FTPFileSystem::kFileName, FTPFileLocations::kFileName, kMarker})
            removeItem(_anchorPath + QLatin1Char('/') + QLatin1String(name));
    }
    if (!platform::plist::readFile(markerPath).toMap().contains(QLatin1String(kMarkerVersionKey)))
        platform::plist::writeFile(markerPath, QVariantMap{{kMarkerVersionKey, QLatin1String(kMarkerVersion)}});
}

void FilesMirror::listHistory()
{
    const QString organizerHistory = _anchorPath + QLatin1Char('/') + QLatin1String(kOtherDataFolder) + QLatin1Char('/')
        + QLatin1String(FTPFileSystem::kHistoryFolder);
    _mfDevice.setHistoryFiles(datedFiles(_anchorPath + QLatin1Char('/') + QLatin1String(FTPFileSystem::kHistoryFolder),
                                         QLatin1String(FTPFileSystem::kFileName)),
                              datedFiles(organizerHistory, QLatin1String(kOrganizerPrefix)));
}

FilesMirror::~FilesMirror()
{
    if (!_curFileSystem)
        return;
    save();
    _curFileSystem->setClean();
    _lastFileSystem->setClean();
}

QString FilesMirror::mirrorBasePath()
{
    const QString root = resolveAliasToDirectory(platform::paths::applicationSupportDirectory());
    return root.isNull() ? QString() : resolveAliasToDirectory(root + QLatin1Char('/') + QLatin1String(kMirrorsFolder));
}

QString FilesMirror::tempDataBasePath()
{
    const QString root = resolveAliasToDirectory(platform::paths::applicationSupportDirectory());
    return root.isNull() ? QString()
                         : resolveAliasToDirectory(root + QLatin1Char('/') + QLatin1String(kTempDataFolder));
}

int FilesMirror::createDirPathForFile(const QString& path)
{
    return QDir().mkpath(QFileInfo(path).path()) ? 0 : -1;
}

int FilesMirror::createDirectoryfNecessary(const QString& path)
{
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return 0;
    QVLOG(qvlog::kXT, QStringLiteral("Folder %1 not created").arg(path));
    return -1;
}

QString FilesMirror::normalizedPath(const QString& path)
{
    QString normalized = path;
    return normalized.remove(QLatin1Char(':'));
}

QString FilesMirror::localFileToPreviewFilePath(const QString& localPath)
{
    if (localPath.isEmpty())
        return QString();
    const QFileInfo info(localPath);
    if (info.path().isEmpty() || info.fileName().isEmpty())
        return QString();
    return QStringLiteral("%1/%2/%3").arg(info.path(), QLatin1String(kPreviewFolder), info.fileName());
}

void FilesMirror::writeDeviceDictToArchive()
{
    const auto dict = _mfDevice.deviceDict();
    if (!dict)
        return;
    const QString path = _anchorPath + QLatin1Char('/') + QLatin1String(kDeviceDictFile);
    QFile::remove(path);
    platform::plist::writeFile(path, *dict);
}

void FilesMirror::recreateFilesystem()
{
    _curFileSystem = std::make_unique<FTPFileSystem>(_anchorPath, _fileLocations, _mfDevice);
}

void FilesMirror::fillCurrentFileSystem(const QString& path)
{
    _curFileSystem->loadFromHist(path);
}

bool FilesMirror::registerDirectoryOnDevice(const QString& phonePath)
{
    _curFileSystem->registerDirectory(phonePath);
    return true;
}

bool FilesMirror::registerFileOnDevice(const FTPFile& file)
{
    if (_mfDevice.isHistory())
        return false;
    return _curFileSystem->registerFile(file);
}

void FilesMirror::deliveredFile(const QString& phonePath, const QString& localPath)
{
    _curFileSystem->deliveredFile(phonePath, localPath);
}

QString FilesMirror::mirrorPathFor(const QString& phonePath) const
{
    const QString internal = _mfDevice.internalPath(phonePath);
    if (!mirrorpaths::isSafePhonePath(internal)) {
        QVLOG(qvlog::kXT, QStringLiteral("Phone path %1 refused for the mirror").arg(internal));
        return QString();
    }
    const QString normalized = normalizedPath(internal);
    return _basePath + (normalized.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + normalized;
}

QString FilesMirror::getMirrorPath(const QString& phonePath)
{
    const QString path = mirrorPathFor(phonePath);
    return !path.isEmpty() && createDirPathForFile(path) == 0 ? path : QString();
}

QStringList FilesMirror::getMirrorPaths() const
{
    QStringList paths;
    for (const QVariant& value : _curFileSystem->fileSystem()) {
        const long id = long(value.toMap().value(QLatin1String(FTPFileSystem::kUniqueID)).toLongLong());
        if (id == 0)
            continue;
        const auto entry = _fileLocations->staticEntryForID(id);
        if (entry
            && entry->value(QLatin1String(FTPFileLocations::kState)).toString()
                == QLatin1String(FTPFileLocations::kReal))
            paths.append(_fileLocations->currentLocation(id));
    }
    return paths;
}

QString FilesMirror::doGetSubTempPath(const QString& name, const QString& mainPath) const
{
    const QString devicePart = QStringLiteral("%1-%2").arg(_mfDevice.settingText(QStringLiteral("Dorvanti.Model")),
                                                           _mfDevice.settingText(QStringLiteral("Common.SerialNo")));
    if (!mirrorpaths::isSafePhonePath(devicePart) || devicePart.contains(QLatin1Char('/'))
        || !mirrorpaths::isSafePhonePath(name)) {
        QVLOG(qvlog::kXT, QStringLiteral("Temporary folder %1/%2 refused").arg(devicePart, name));
        return QString();
    }
    const QString path = QStringLiteral("%1/%2/%3/%4").arg(mainPath, QLatin1String(kTempDataFolder), devicePart, name);
    return createDirectoryfNecessary(path) == 0 ? path : QString();
}

QString FilesMirror::getSubTempPath(const QString& name) const
{
    return doGetSubTempPath(name, platform::paths::applicationSupportDirectory());
}

QString FilesMirror::getGlobalSubTempPath(const QString& name) const
{
    const QString process = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    return doGetSubTempPath(name, QDir::tempPath() + QLatin1Char('/') + process);
}

QString FilesMirror::getPreviewPath(const QString& phonePath)
{
    const QString mirrorPath = getMirrorPath(phonePath);
    return mirrorPath.isEmpty() ? QString() : getPreviewPathFromLocal(mirrorPath);
}

QString FilesMirror::getPreviewPathFromLocal(const QString& localPath) const
{
    const QString preview = localFileToPreviewFilePath(localPath);
    if (preview.isEmpty() || createDirPathForFile(preview) != 0)
        return QString();
    return preview;
}

QString FilesMirror::getMirroredFile(const FTPFile& file, int* error)
{
    const QString path = mirrorPathFor(file.fullPath());
    if (path.isEmpty()) {
        *error = -1;
        return QString();
    }
    if (QFileInfo::exists(path))
        return path;
    *error = createDirPathForFile(path);
    return *error == 0 ? path : QString();
}

long FilesMirror::announceFileToBeCopied(const QString& localPath, const QString& devicePath, const QString& macFile)
{
    return _curFileSystem->announceFileToBeCopied(localPath, devicePath, macFile);
}

void FilesMirror::filesDeleted(const QString& phonePath)
{
    _curFileSystem->filesDeleted(phonePath);
}

bool FilesMirror::isFileLocationOnMirror(const QString& localPath) const
{
    return localPath.startsWith(_anchorPath, Qt::CaseInsensitive);
}

void FilesMirror::setFileSystemValid()
{
    _curFileSystem->setFileSystemValid();
    if (_lastFileSystem->isValid()) {
        if (!_mfDevice.hasInternalMemory() && _mfDevice.volumeInArchive(false))
            _curFileSystem->addFilesFromFileSystem(*_lastFileSystem, QStringLiteral("/[0]"));
        if (!_mfDevice.hasMemoryCard() && _mfDevice.volumeInArchive(true))
            _curFileSystem->addFilesFromFileSystem(*_lastFileSystem, QStringLiteral("/[1]"));
    }
    _fileLocations->moveMissingFilesToTrash(_curFileSystem->fileIDs());
}

void FilesMirror::save()
{
    _fileLocations->save();
    if (_curFileSystem->isValid()
        && (!_lastFileSystem->isValid() || !_curFileSystem->isEqualToFileSystem(_lastFileSystem.get())))
        _curFileSystem->save();
}

QString FilesMirror::currentLocation(long fileID) const
{
    return _fileLocations->currentLocation(fileID);
}

QString FilesMirror::currentPreviewLocation(long fileID) const
{
    return _fileLocations->currentPreviewLocation(fileID);
}

long FilesMirror::idForPath(const QString& phonePath) const
{
    return _curFileSystem->idForPath(phonePath);
}

QVariantMap FilesMirror::getLastFolderFinderInfoDictForPath(const QString& internalPath) const
{
    return _lastFileSystem->getFinderInfoDictForPath(internalPath);
}

QVariantMap FilesMirror::getLastFileFinderInfoDictForPath(const QString& phonePath) const
{
    return _lastFileSystem->getFinderInfoDictForPath(_mfDevice.internalPath(phonePath));
}

QVariantMap FilesMirror::getFinderInfoDictForPath(const QString& phonePath) const
{
    return _curFileSystem->getFinderInfoDictForPath(_mfDevice.internalPath(phonePath));
}

bool FilesMirror::setFinderInfoDictForPath(const QVariantMap& dict, const QString& phonePath)
{
    return _curFileSystem->setFinderInfoDictForPath(dict, _mfDevice.internalPath(phonePath));
}

long FilesMirror::getIDForMirrorFile(const QString& localPath) const
{
    return _fileLocations->getIDForMirrorFile(localPath);
}
