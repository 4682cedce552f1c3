#include "devicewindow/media/MediaInputFormat.h"

#include "devicewindow/DeviceWindowLog.h"

#include "platform/PropertyList.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QVariantMap>

#include <optional>

namespace mediaformat {

namespace {

constexpr const char* kDefaultPath = ":/devicewindow/QVMediaInputFormat.plist";

struct Cache {
    QMutex mutex;
    QString path = QLatin1String(kDefaultPath);
    std::optional<QVariantMap> formats;
};

Cache& cache()
{
    static Cache shared;
    return shared;
}

// The program's own copy is a resource; any other path a regular file.
QVariant readFormats(const QString& path, QString* error)
{
    if (!path.startsWith(QLatin1Char(':')))
        return platform::plist::readFile(path, error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return platform::plist::read(file.readAll(), error);
}

} // namespace

QString getMediaInputFormat(const QString& key)
{
    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    if (!c.formats) {
        if (!QFileInfo::exists(c.path))
            return QString(QLatin1String(""));
        QString error;
        const QVariant read = readFormats(c.path, &error);
        if (read.typeId() != QMetaType::QVariantMap) {
            qCWarning(lcDeviceWindow).noquote() << "media formats not read from" << c.path << error;
            return QString(QLatin1String(""));
        }
        c.formats = read.toMap();
    }
    const QVariant entry = c.formats->value(key);
    return entry.typeId() == QMetaType::QString ? entry.toString() : QString(QLatin1String(""));
}

void setMediaInputFormatPath(const QString& path)
{
    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    c.path = path.isEmpty() ? QString(QLatin1String(kDefaultPath)) : path;
    c.formats.reset();
}

QString mediaInputFormatPath()
{
    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    return c.path;
}

} // namespace mediaformat
