#include "phone/FTPFileSystem.h"

#include "foundation/NamedLog.h"
#include "links/FTPFile.h"
#include "phone/FTPFileLocations.h"
#include "phone/FilesMirror.h"
#include "phone/HistoryName.h"
#include "phone/MirrorOwner.h"
#include "phone/MirrorPaths.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
QVariantMap finderInfo(long id)
{
    return {
        {FTPFileSystem::kUniqueID, qlonglong(id)}, {FTPFileSystem::kFndrEtikete, 0}, {FTPFileSystem::kFndrLocation, 0}};
}
} // namespace

FTPFileSystem::FTPFileSystem(const QString& anchorPath, std::shared_ptr<FTPFileLocations> locations,
                             MirrorOwner& device)
    : _fileName(anchorPath + QLatin1Char('/') + QLatin1String(kFileName))
    , _anchorPath(anchorPath)
    , _locations(std::move(locations))
    , _mfDevice(device)
{
    FilesMirror::createDirectoryfNecessary(historyPath());
}

QString FTPFileSystem::historyPath() const
{
    return _anchorPath + QLatin1Char('/') + QLatin1String(kHistoryFolder);
}

FTPFileSystem::Layout FTPFileSystem::validateFileSystem(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QVariantMap)
        return Layout::Invalid;
    const QVariantMap map = stored.toMap();
    if (map.isEmpty())
        return Layout::Current;
    const QVariant first = map.cbegin().value();
    switch (first.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return Layout::Older;
    case QMetaType::QVariantMap:
        return Layout::Current;
    default:
        return Layout::Invalid;
    }
}

bool FTPFileSystem::takeStored(const QVariant& stored, const QString& from)
{
    const Layout layout = validateFileSystem(stored);
    if (layout == Layout::Invalid) {
        QVLOG(qvlog::kXT, QStringLiteral("Snapshot %1 not readable, not taken").arg(from));
        return false;
    }
    const QVariantMap map = stored.toMap();
    _fileSystem.clear();
    _lowerKeys.clear();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        QVariant value;
        if (layout == Layout::Older && it->canConvert<qlonglong>() && it->typeId() != QMetaType::QVariantMap
            && it->typeId() != QMetaType::QString)
            value = finderInfo(long(it->toLongLong()));
        else if (layout == Layout::Current && it->typeId() == QMetaType::QVariantMap)
            value = *it;
        if (!value.isValid())
            continue;
        _fileSystem.insert(it.key(), value);
        _lowerKeys.insert(it.key().toLower(), it.key());
    }
    _isValid = true;
    _isDirty = false;
    return true;
}

void FTPFileSystem::load()
{
    _originalPath = _fileName;
    if (!QFileInfo::exists(_fileName))
        return;
    const QVariant pointer = platform::plist::readFile(_fileName);
    const QString current = pointer.toMap().value(QLatin1String(kCurFileSystem)).toString();
    if (!current.isEmpty()) {
        if (!mirrorpaths::isSafePhonePath(current) || current.contains(QLatin1Char('/'))) {
            QVLOG(qvlog::kXT, QStringLiteral("Snapshot name %1 refused").arg(current));
            return;
        }
        const QString path = historyPath() + QLatin1Char('/') + current;
        takeStored(platform::plist::readFile(path), path);
        return;
    }
    const QString copy = historyname::datedPath(historyPath(), QLatin1String(kFileName),
                                                QFileInfo(_fileName).lastModified());
    if (takeStored(pointer, _fileName) && !QFileInfo::exists(copy))
        platform::plist::writeFile(copy, _fileSystem);
}

void FTPFileSystem::loadFromHist(const QString& path)
{
    _originalPath = path;
    takeStored(platform::plist::readFile(path), path);
}

void FTPFileSystem::loadFromFileSwitchToLast()
{
    _originalPath = _fileName;
    if (!takeStored(platform::plist::readFile(_fileName), _fileName))
        return;
    _fileName = historyname::datedPath(historyPath(), QLatin1String(kFileName), QFileInfo(_fileName).lastModified());
    _isValid = true;
    _isDirty = true;
}

void FTPFileSystem::registerDirectory(const QString& phonePath)
{
    const QString path = _mfDevice.internalPath(phonePath);
    if (_fileSystem.contains(path))
        return;
    _fileSystem.insert(path, _locations->registerNewDirectory(phonePath));
    _lowerKeys.insert(path.toLower(), path);
    _isDirty = true;
}

bool FTPFileSystem::registerFile(const FTPFile& file)
{
    const QString path = _mfDevice.internalPath(file.fullPath());
    if (_lowerKeys.contains(path.toLower()))
        return false;
    bool isNew = false;
    _fileSystem.insert(path, _locations->registerNewFile(file, &isNew));
    _lowerKeys.insert(path.toLower(), path);
    _isDirty = true;
    return isNew;
}

QString FTPFileSystem::getPathForFileID(long fileID) const
{
    for (auto it = _fileSystem.cbegin(); it != _fileSystem.cend(); ++it) {
        if (it->toMap().value(QLatin1String(kUniqueID)).toLongLong() == fileID)
            return it.key();
    }
    return QString();
}

bool FTPFileSystem::containsFileID(long fileID) const
{
    return !getPathForFileID(fileID).isNull();
}

QSet<long> FTPFileSystem::fileIDs() const
{
    QSet<long> ids;
    for (const QVariant& value : _fileSystem)
        ids.insert(long(value.toMap().value(QLatin1String(kUniqueID)).toLongLong()));
    return ids;
}

void FTPFileSystem::deliveredFile(const QString& phonePath, const QString& localPath)
{
    const long id = idForPath(phonePath);
    _locations->deliverFile(localPath, phonePath, id);
    _isDirty = true;
}

void FTPFileSystem::filesDeleted(const QString& phonePath)
{
    const QString path = _mfDevice.internalPath(phonePath);
    QStringList gone;
    for (auto it = _fileSystem.cbegin(); it != _fileSystem.cend(); ++it) {
        const QString& key = it.key();
        if (key == path || (key.startsWith(path) && key.at(path.size()) == QLatin1Char('/'))
            || (path.endsWith(QLatin1Char('/')) && key.startsWith(path)))
            gone.append(key);
    }
    for (const QString& key : std::as_const(gone)) {
        const long id = long(_fileSystem.value(key).toMap().value(QLatin1String(kUniqueID)).toLongLong());
        if (id < 0)
            continue;
        _locations->moveToTrash(id);
        _fileSystem.remove(key);
        _lowerKeys.remove(key.toLower());
        _isDirty = true;
    }
}

long FTPFileSystem::announceFileToBeCopied(const QString& localPath, const QString& devicePath, const QString& macFile)
{
    const long id = _locations->announceFileToBeCopied(localPath, devicePath, macFile);
    const QString path = _mfDevice.internalPath(devicePath);
    _fileSystem.insert(path, finderInfo(id));
    _lowerKeys.insert(path.toLower(), path);
    _isDirty = true;
    return id;
}

QVariantMap FTPFileSystem::getFinderInfoDictForPath(const QString& path) const
{
    const auto exact = _fileSystem.constFind(path);
    if (exact != _fileSystem.cend())
        return exact->toMap();
    return _fileSystem.value(_lowerKeys.value(path.toLower())).toMap();
}

bool FTPFileSystem::setFinderInfoDictForPath(const QVariantMap& dict, const QString& path)
{
    const auto stored = _fileSystem.constFind(path);
    if (stored == _fileSystem.cend()
        || stored->toMap().value(QLatin1String(kUniqueID)).toLongLong()
            != dict.value(QLatin1String(kUniqueID)).toLongLong()
        || !dict.contains(QLatin1String(kUniqueID)))
        return false;
    _fileSystem.insert(path, dict);
    _isValid = true;
    _isDirty = true;
    return true;
}

long FTPFileSystem::idForPath(const QString& path) const
{
    const QVariantMap info = _fileSystem.value(_mfDevice.internalPath(path)).toMap();
    const auto id = info.constFind(QLatin1String(kUniqueID));
    return id == info.cend() ? -1 : long(id->toLongLong());
}

bool FTPFileSystem::isEqualToFileSystem(const FTPFileSystem* other) const
{
    return other && other->_fileSystem == _fileSystem;
}

void FTPFileSystem::addFilesFromFileSystem(const FTPFileSystem& other, const QString& prefix)
{
    for (auto it = other._fileSystem.cbegin(); it != other._fileSystem.cend(); ++it) {
        if (!it.key().startsWith(prefix))
            continue;
        _fileSystem.insert(it.key(), *it);
        _lowerKeys.insert(it.key().toLower(), it.key());
    }
}

void FTPFileSystem::save()
{
    if (!_isValid || !_isDirty)
        return;
    if (!_fileSystem.isEmpty()) {
        const QString path = historyname::freeDatedPath(historyPath(), QLatin1String(kFileName),
                                                        QDateTime::currentDateTime());
        if (path.isEmpty() || !platform::plist::writeFile(path, _fileSystem)) {
            QVLOG(qvlog::kXT, QStringLiteral("Snapshot %1 not written").arg(path));
            return;
        }
        platform::plist::writeFile(_anchorPath + QLatin1Char('/') + QLatin1String(kFileName),
                                   QVariantMap{{kCurFileSystem, QFileInfo(path).fileName()}});
        _originalPath = path;
    }
    _isDirty = false;
}
