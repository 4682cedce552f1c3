#include "phone/MassStorageVolumes.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "phone/MirrorPaths.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The canonical form of the deepest existing part of a path, followed by
// the rest as given.
QString canonicalAsFarAsItExists(const QString& path)
{
    QString existing = QDir::cleanPath(path);
    QString rest;
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QString();
        rest.prepend(existing.mid(slash));
        existing.truncate(slash);
        if (existing.isEmpty())
            existing = QStringLiteral("/");
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return canonical.isEmpty() ? QString() : canonical + rest;
}

bool isWithin(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}
} // namespace

void MassStorageVolumes::setMountPoints(const QStringList& mountPoints)
{
    _volumes.clear();
    for (const QString& mountPoint : mountPoints) {
        if (mountPoint.isEmpty())
            continue;
        QString name = QFileInfo(QDir::cleanPath(mountPoint)).fileName();
        if (name.isEmpty())
            name = QStringLiteral("Volume");
        const QString base = name;
        for (int n = 2; volumeIndex(name); ++n)
            name = QStringLiteral("%1 %2").arg(base).arg(n);
        _volumes.append({name, QDir::cleanPath(mountPoint)});
    }
    _disks[0].reset();
    _disks[1].reset();
    _arranged = false;
}

std::optional<int> MassStorageVolumes::volumeIndex(const QString& firstComponent) const
{
    for (int n = 0; n < _volumes.size(); ++n) {
        if (_volumes.at(n).name == firstComponent)
            return n;
    }
    return std::nullopt;
}

std::optional<QString> MassStorageVolumes::localPath(const QString& phonePath) const
{
    if (!mirrorpaths::isSafePhonePath(phonePath)) {
        QVLOG(qvlog::kXT, QStringLiteral("USB volume: phone path %1 refused").arg(phonePath));
        return std::nullopt;
    }
    const QStringList components = phonePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.isEmpty())
        return std::nullopt;
    const auto index = volumeIndex(components.first());
    if (!index)
        return std::nullopt;
    const Volume& volume = _volumes.at(*index);
    QStringList parts = components.mid(1);
    parts.prepend(volume.mountPoint);
    const QString local = parts.join(QLatin1Char('/'));
    const QString canonicalVolume = QFileInfo(volume.mountPoint).canonicalFilePath();
    if (canonicalVolume.isEmpty() || !isWithin(canonicalAsFarAsItExists(local), canonicalVolume)) {
        QVLOG(qvlog::kXT, QStringLiteral("USB volume: %1 leads out of its volume, refused").arg(phonePath));
        return std::nullopt;
    }
    return local;
}

bool MassStorageVolumes::isInsideAVolume(const QString& localPath) const
{
    const QString canonical = canonicalAsFarAsItExists(localPath);
    for (const Volume& volume : _volumes) {
        const QString canonicalVolume = QFileInfo(volume.mountPoint).canonicalFilePath();
        if (!canonicalVolume.isEmpty() && !canonical.isEmpty() && isWithin(canonical, canonicalVolume))
            return true;
    }
    return false;
}

std::optional<QString> MassStorageVolumes::mountPointOf(const QString& phonePath) const
{
    const QStringList components = phonePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const auto index = components.isEmpty() ? std::nullopt : volumeIndex(components.first());
    if (!index || !QFileInfo(_volumes.at(*index).mountPoint).isDir())
        return std::nullopt;
    return _volumes.at(*index).mountPoint;
}

bool MassStorageVolumes::isVolumeRoot(const QString& phonePath) const
{
    return phonePath.split(QLatin1Char('/'), Qt::SkipEmptyParts).size() <= 1;
}

bool MassStorageVolumes::holds(const Volume& volume, const QString& path) const
{
    if (path.isEmpty() || !mirrorpaths::isSafePhonePath(path))
        return false;
    return QFileInfo::exists(volume.mountPoint + QLatin1Char('/') + path);
}

void MassStorageVolumes::arrangeVolumes(const QString& internalPath, const QString& externalPath)
{
    _disks[0].reset();
    _disks[1].reset();
    _arranged = true;
    if (_volumes.size() == 1) {
        _disks[0] = 0;
        return;
    }
    for (int n = 0; n < _volumes.size() && !_disks[0]; ++n) {
        if (holds(_volumes.at(n), internalPath))
            _disks[0] = n;
    }
    for (int n = 0; n < _volumes.size() && !_disks[1]; ++n) {
        if (n != _disks[0] && holds(_volumes.at(n), externalPath))
            _disks[1] = n;
    }
    for (int n = 0; n < _volumes.size(); ++n) {
        if (n == _disks[0] || n == _disks[1])
            continue;
        if (!_disks[0])
            _disks[0] = n;
        else if (!_disks[1])
            _disks[1] = n;
    }
    _arranged = true;
}

QString MassStorageVolumes::diskName(int disk) const
{
    if (disk < 0 || disk > 1 || !_disks[disk] || *_disks[disk] >= _volumes.size())
        return QString();
    return QLatin1Char('/') + _volumes.at(*_disks[disk]).name;
}

QString MassStorageVolumes::pathToFileOnDisk(const QString& path, int disk) const
{
    return stringByConcatenatingPathComponents(diskName(disk), path);
}
