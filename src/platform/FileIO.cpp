#include "platform/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// QSaveFile writes to a temporary file in the target's folder, flushes it to
// disk and renames it over the target on commit(); on any failure the
// temporary file is removed and the target stays as it was.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("cannot write a file with an empty path"));
    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("cannot write %1: it is a folder").arg(path));
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the folder %1").arg(folder));

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("cannot write %1: %2").arg(path, why));
    }
    if (!file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize, Symlinks symlinks, QString* error)
{
    auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    auto failWithErrno = [&](const char* what) {
        return fail(QStringLiteral("cannot %1 %2: %3")
                        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno))));
    };
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is
    // refused by its type right after.
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (symlinks == Symlinks::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        if (errno == ELOOP && symlinks == Symlinks::Refuse)
            return fail(QStringLiteral("cannot read %1: it is a symbolic link").arg(path));
        return failWithErrno("open");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat status { };
    if (::fstat(fd, &status) != 0)
        return failWithErrno("read");
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("cannot read %1: it is not a regular file").arg(path));
    const QString tooLarge =
        QStringLiteral("cannot read %1: it is larger than %2 bytes").arg(path, QString::number(maxSize));
    if (status.st_size > maxSize)
        return fail(tooLarge);

    QByteArray data;
    data.reserve(qsizetype(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno("read");
        }
        if (count == 0)
            return data;
        if (qint64(data.size()) + count > maxSize)
            return fail(tooLarge);
        data.append(buffer, qsizetype(count));
    }
}

} // namespace platform
