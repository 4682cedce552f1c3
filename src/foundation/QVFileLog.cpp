#include "foundation/QVFileLog.h"

#include "foundation/FoundationLog.h"

#include "platform/Bundle.h"
#include "platform/Exception.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLogsRoot = "~/Library/Logs/";
constexpr const char* kCurrentFileFormat = "%1/%2.log";
constexpr const char* kPreviousFileFormat = "%1/%2-last.log";

struct Registry {
    std::mutex mutex;
    QHash<QString, std::shared_ptr<QVFileLog>> logs;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

bool existsNoFollow(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QVFileLog::QVFileLog(QString filename)
    : m_filename(std::move(filename))
{
}

std::shared_ptr<QVFileLog> QVFileLog::initWithName(const QString& name, const QString& owner)
{
    if (name.isEmpty()) {
        qCWarning(lcFoundation).noquote() << QStringLiteral("Invalid Log name: %1").arg(name);
        return nullptr;
    }
    const QString folder = logFolder(owner);
    const QString current = QString::fromLatin1(kCurrentFileFormat).arg(folder, name);
    const QString previous = QString::fromLatin1(kPreviousFileFormat).arg(folder, name);
    // The log folder, and below it the sub-folder of a name holding "/".
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const QString fileFolder = slash < 0 ? folder : folder + QLatin1Char('/') + name.left(slash);
    if (createDirectoryIfNecessary(fileFolder) != 0) {
        qCWarning(lcFoundation).noquote() << QStringLiteral("couldn't create directory: %1").arg(fileFolder);
        return nullptr;
    }
    rotateFile(current, previous);
    return std::make_shared<QVFileLog>(current);
}

bool QVFileLog::writeString(const QString& text)
{
    if (m_filename.isEmpty())
        return false;
    const QByteArray bytes = text.toUtf8();
    std::lock_guard<std::mutex> lock(m_mutex);
    const int fd = ::open(QFile::encodeName(m_filename).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ssize_t written;
    do {
        written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written > 0;
}

void QVFileLog::setPrivate(bool isPrivate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_isPrivate = isPrivate;
}

bool QVFileLog::isPrivate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_isPrivate;
}

QString QVFileLog::filename() const
{
    return m_filename;
}

void QVFileLog::rotateFile(const QString& current, const QString& previous)
{
    if (existsNoFollow(previous))
        QFile::remove(previous);
    if (existsNoFollow(current))
        QFile::rename(current, previous);
}

int QVFileLog::createDirectoryIfNecessary(const QString& absolutePath)
{
    if (!absolutePath.startsWith(QLatin1Char('/'))) {
        throw platform::Exception(QStringLiteral("NSInternalInconsistencyException"),
                                  QStringLiteral("%1 someone tried to create a non absolute directory: %2")
                                      .arg(QStringLiteral("createDirectoryIfNecessary"), absolutePath));
    }
    const QStringList components = absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& component : components) {
        path += QLatin1Char('/') + component;
        if (existsNoFollow(path))
            continue;
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0 && errno != EEXIST)
            return -1;
    }
    return 0;
}

std::shared_ptr<QVFileLog> QVFileLog::sharedLogWithName(const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.logs.value(name);
}

bool QVFileLog::openSharedLog(const QString& name, const QString& owner)
{
    if (name.isEmpty())
        return false;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.logs.contains(name))
        return true;
    std::shared_ptr<QVFileLog> log = initWithName(name, owner);
    if (!log)
        return false;
    r.logs.insert(name, std::move(log));
    return true;
}

QString QVFileLog::logFolder(const QString& owner)
{
    const QString name = owner.isEmpty() ? getBundleName() : owner;
    QString folder = platform::paths::mapHomePath(QString::fromLatin1(kLogsRoot) + name + QLatin1Char('/'));
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString QVFileLog::getBundleName()
{
    // The program and its libraries log under one name on this platform.
    const QString name = platform::bundle::applicationName();
    if (!name.isEmpty())
        return name;
    return QCoreApplication::applicationName();
}
