#include "links/FTPFile.h"
#include "phone/FilesMirror.h"
#include "phone/LocationsListServer.h"

#include "FakeMirrorDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
void writeBytes(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString anchor = dir.path() + QStringLiteral("/anchor.dzmir");
    QDir(anchor).removeRecursively();
    QDir().mkpath(anchor + QStringLiteral("/History"));
    static const QByteArray marker = "<plist><dict><key>CFBundleVersion</key><string>10</string></dict></plist>";
    writeBytes(anchor + QStringLiteral("/Info.plist"), reinterpret_cast<const uint8_t*>(marker.constData()),
               size_t(marker.size()));
    // The input as location list, as the pointer file (older layout or
    // current) and as the snapshot it may name.
    writeBytes(anchor + QStringLiteral("/MirrorLocations"), data, size);
    writeBytes(anchor + QStringLiteral("/MirrorFileSystem"), data, size);
    writeBytes(anchor + QStringLiteral("/History/MirrorFileSystem-20240101-120000"), data, size);
    LocationsListServer::sharedLocationsListServer().clear();

    FakeMirrorDevice device;
    auto mirror = FilesMirror::mirrorWithDevice(device, anchor);
    if (!mirror)
        return 0;
    const auto file = FTPFile::ftpFileWithAttributes(
        {{FTPFile::kName, QStringLiteral("a.jpg")}, {FTPFile::kSize, 10}, {FTPFile::kFileTypeKey, 0}},
        QStringLiteral("/[0]/Pictures"), nullptr);
    mirror->registerFileOnDevice(*file);
    const QString local = mirror->getMirrorPath(file->fullPath());
    if (!local.isEmpty())
        mirror->deliveredFile(file->fullPath(), local);
    mirror->fillCurrentFileSystem(anchor + QStringLiteral("/History/MirrorFileSystem-20240101-120000"));
    mirror->getMirrorPaths();
    mirror->filesDeleted(QStringLiteral("/[0]"));
    mirror->setFileSystemValid();
    mirror->save();
    return 0;
}
