#include "foundation/FileManagerAdds.h"

#include "foundation/LaunchApplication.h"
#include "foundation/QuorNSStringPathExtensions.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr int kFinderInfoSize = 32;
constexpr int kFinderFlagsOffset = 8;
constexpr quint16 kLabelMask = 0x000E;
constexpr quint16 kHasBeenInitedFlag = 0x0100;
constexpr int kMaxLinkDepth = 40;
constexpr const char* kTrashFolder = "Trash";
constexpr const char* kTrashInfoSuffix = ".trashinfo";

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

bool existsNoFollow(const QString& path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0;
}

std::optional<QByteArray> readFinderInfo(const QString& path)
{
    QByteArray info(kFinderInfoSize, '\0');
    const ssize_t n = ::getxattr(encoded(path).constData(), fileattr::kFinderInfoAttribute, info.data(), size_t(info.size()));
    // A missing or short attribute reads as zeros beyond what is stored.
    if (n < 0 && errno != ENODATA)
        return std::nullopt;
    return info;
}

quint16 finderFlags(const QByteArray& info)
{
    return quint16((uchar(info[kFinderFlagsOffset]) << 8) | uchar(info[kFinderFlagsOffset + 1]));
}

bool copyRecursively(const QString& source, const QString& destination)
{
    const QFileInfo info(source);
    if (info.isSymLink()) {
        char buffer[4096];
        const ssize_t n = ::readlink(encoded(source).constData(), buffer, sizeof buffer - 1);
        if (n < 0)
            return false;
        buffer[n] = '\0';
        return ::symlink(buffer, encoded(destination).constData()) == 0;
    }
    if (info.isDir()) {
        if (!QDir().mkdir(destination))
            return false;
        const QStringList entries = QDir(source).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            if (!copyRecursively(source + QLatin1Char('/') + entry, destination + QLatin1Char('/') + entry))
                return false;
        }
        return true;
    }
    return QFile::copy(source, destination);
}

QString trashInfoText(const QString& originalPath)
{
    return QStringLiteral("[Trash Info]\nPath=%1\nDeletionDate=%2\n")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(originalPath, "/")),
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
}

} // namespace

int getFinderLabelColorOfPath(const QString& path)
{
    if (path.isEmpty())
        return 0;
    const std::optional<QByteArray> info = readFinderInfo(path);
    if (!info)
        return 0;
    return (finderFlags(*info) & kLabelMask) >> 1;
}

bool setFinderLabelColorOfPath(const QString& path, int finderLabel)
{
    if (path.isEmpty())
        return false;
    std::optional<QByteArray> info = readFinderInfo(path);
    if (!info)
        return false;
    quint16 flags = finderFlags(*info);
    flags = quint16((flags & ~kLabelMask) | ((quint16(finderLabel) & 7u) << 1));
    flags = quint16(flags & ~kHasBeenInitedFlag);
    (*info)[kFinderFlagsOffset] = char(flags >> 8);
    (*info)[kFinderFlagsOffset + 1] = char(flags & 0xFF);
    return ::setxattr(encoded(path).constData(), fileattr::kFinderInfoAttribute, info->constData(), size_t(info->size()), 0) == 0;
}

bool copyToPath(const QString& source, const QString& destFolder, bool overwriteFile)
{
    const QString target = stringByConcatenatingPathComponents(destFolder, lastPathComponent(source));
    if (overwriteFile && existsNoFollow(target))
        doRemoveItemAtPath(target);
    return doCopyItemAtPath(source, target);
}

qint64 getFileSize(const QString& path)
{
    const QVariantMap attributes = getAttributesOfItemAtPath(path);
    return attributes.value(QString::fromLatin1(fileattr::kFileSize)).toLongLong();
}

QDateTime getModificationDate(const QString& path)
{
    return getAttributesOfItemAtPath(path).value(QString::fromLatin1(fileattr::kFileModificationDate)).toDateTime();
}

QString generateTrashName(const QString& name, const QString& folder)
{
    if (!existsNoFollow(folder + QLatin1Char('/') + name))
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString base = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot + 1) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(extension);
        if (!existsNoFollow(folder + QLatin1Char('/') + candidate))
            return candidate;
    }
}

QVariantMap getAttributesOfItemAtPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QVariantMap attributes;
    attributes.insert(QString::fromLatin1(fileattr::kFileSize), qint64(info.size()));
    attributes.insert(QString::fromLatin1(fileattr::kFileModificationDate), info.lastModified());
    attributes.insert(QString::fromLatin1(fileattr::kFileType),
                      QString::fromLatin1(info.isDir() ? fileattr::kFileTypeDirectory
                                          : info.isFile() ? fileattr::kFileTypeRegular
                                                          : fileattr::kFileTypeUnknown));
    struct stat st;
    if (::stat(encoded(path).constData(), &st) == 0)
        attributes.insert(QString::fromLatin1(fileattr::kFilePosixPermissions), int(st.st_mode & 07777));
    return attributes;
}

bool doCopyItemAtPath(const QString& source, const QString& destination)
{
    if (source.isEmpty() || destination.isEmpty() || !existsNoFollow(source) || existsNoFollow(destination))
        return false;
    if (copyRecursively(source, destination))
        return true;
    doRemoveItemAtPath(destination);
    return false;
}

bool doMoveItemAtPath(const QString& source, const QString& destination)
{
    if (source.isEmpty() || destination.isEmpty() || !existsNoFollow(source) || existsNoFollow(destination))
        return false;
    if (::rename(encoded(source).constData(), encoded(destination).constData()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    if (!doCopyItemAtPath(source, destination))
        return false;
    return doRemoveItemAtPath(source);
}

bool doRemoveItemAtPath(const QString& path)
{
    if (path.isEmpty() || !existsNoFollow(path))
        return false;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return ::unlink(encoded(path).constData()) == 0;
}

bool doCreateDirectoryAtPath(const QString& path, const QVariantMap& attributes)
{
    if (path.isEmpty())
        return false;
    const QVariant permissions = attributes.value(QString::fromLatin1(fileattr::kFilePosixPermissions));
    const mode_t mode = permissions.isValid() ? mode_t(permissions.toInt()) : mode_t(0777);
    if (::mkdir(encoded(path).constData(), mode) != 0)
        return false;
    if (permissions.isValid())
        ::chmod(encoded(path).constData(), mode);
    return true;
}

bool moveFileToUserTrash(const QString& path)
{
    if (path.isEmpty() || !existsNoFollow(path))
        return false;
    const QString trash = platform::paths::dataHome() + QLatin1Char('/') + QString::fromLatin1(kTrashFolder);
    if (!QFileInfo(trash).isDir())
        return false;
    const QString files = trash + QStringLiteral("/files");
    const QString infos = trash + QStringLiteral("/info");
    if (!QDir().mkpath(files) || !QDir().mkpath(infos))
        return false;
    const QString original = QFileInfo(path).absoluteFilePath();
    QString name = generateTrashName(QFileInfo(path).fileName(), files);
    QString infoPath = infos + QLatin1Char('/') + name + QString::fromLatin1(kTrashInfoSuffix);
    QFile info(infoPath);
    if (!info.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    info.write(trashInfoText(original).toUtf8());
    info.close();
    if (doMoveItemAtPath(path, files + QLatin1Char('/') + name))
        return true;
    QFile::remove(infoPath);
    return false;
}

QImage getAppIconForCreator(quint32 creator)
{
    const QString name = getAppNameForCreator(creator);
    if (name.isEmpty())
        return QImage();
    const QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull())
        return QImage();
    return icon.pixmap(128, 128).toImage();
}

QString getAppNameForCreator(quint32 creator)
{
    if (creator == 0)
        return QString();
    const QString path = findApplicationForCreator(creator);
    if (path.isEmpty())
        return QString();
    return QFileInfo(path).completeBaseName();
}

QString resolveAliasPath(const QString& path)
{
    if (path.isNull())
        return QString();
    const QString expanded = platform::paths::expandTilde(path);
    const QStringList components = expanded.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString resolved = expanded.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral(".");
    if (components.isEmpty())
        return expanded;
    for (const QString& component : components) {
        resolved += QLatin1Char('/') + component;
        for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
            const QFileInfo info(resolved);
            if (!info.isSymLink())
                break;
            resolved = QDir::cleanPath(info.symLinkTarget());
        }
    }
    return resolved;
}

QString resolveAliasToDirectory(const QString& path)
{
    if (path.isEmpty())
        return QString();
    QString target = path;
    bool wasLink = false;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        wasLink = true;
        target = QDir::cleanPath(info.absoluteDir().absoluteFilePath(info.symLinkTarget()));
    }
    const QFileInfo info(target);
    if (wasLink)
        return info.isDir() && !info.isSymLink() ? target : QString();
    if (info.exists() && !info.isDir())
        return QString();
    return path;
}
