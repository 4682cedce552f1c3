#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The mounted volumes of a USB storage phone as one phone file system: the
// root "/" holds one folder per volume (the mount point's own name), so
// "/PHONE/Pictures/a.jpg" lies in the volume mounted as ".../PHONE". The
// volume layout of the phone: disk 0 (its memory) and disk 1 (its card).
// The volumes are untrusted: no phone path leaves its volume, also not
// through a symbolic link.
class MassStorageVolumes {
public:
    struct Volume {
        QString name;
        QString mountPoint;
    };

    void setMountPoints(const QStringList& mountPoints);
    const QList<Volume>& volumes() const { return _volumes; }
    bool isEmpty() const { return _volumes.isEmpty(); }

    // The local path of a phone path; none when the path names no volume,
    // carries "." / ".." / NUL, or resolves (through links) out of its
    // volume. "/" itself has no local path.
    std::optional<QString> localPath(const QString& phonePath) const;
    // Whether a local path (links resolved) lies inside one of the volumes.
    bool isInsideAVolume(const QString& localPath) const;
    // The mount point of the volume a phone path lies on; none when no
    // volume or when it is no longer there (unmounted).
    std::optional<QString> mountPointOf(const QString& phonePath) const;
    // Whether phonePath is the root or a volume's own folder.
    bool isVolumeRoot(const QString& phonePath) const;

    // Disk 0 is the volume holding internalPath, disk 1 the other one
    // holding externalPath; without a match the volumes in their order.
    void arrangeVolumes(const QString& internalPath, const QString& externalPath);
    // "/<volume name>"; empty for a disk that is not there.
    QString diskName(int disk) const;
    QString pathToFileOnDisk(const QString& path, int disk) const;
    bool areVolumesValid() const { return _arranged && !diskName(0).isEmpty(); }

private:
    std::optional<int> volumeIndex(const QString& firstComponent) const;
    bool holds(const Volume& volume, const QString& path) const;

    QList<Volume> _volumes;
    std::optional<int> _disks[2];
    bool _arranged = false;
};
