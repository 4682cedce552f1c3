#include "platform/FileIO.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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

} // namespace platform
