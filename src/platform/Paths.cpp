#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace platform::paths {

namespace {

// An XDG variable counts only when it holds an absolute path (the XDG base
// directory rule: relative values are ignored). Empty when it does not count.
QString absolutePathVariable(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return {};
}

QString xdgVariable(const char* name, const QString& fallbackUnderHome)
{
    const QString value = absolutePathVariable(name);
    if (!value.isEmpty())
        return value;
    return QDir::cleanPath(homeDirectory() + QLatin1Char('/') + fallbackUnderHome);
}

// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs, which reads like
//   XDG_DOCUMENTS_DIR="$HOME/Documents"
QString documentsFromUserDirs()
{
    QFile file(configHome() + QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("XDG_DOCUMENTS_DIR=")))
            continue;
        QString value = line.mid(int(qstrlen("XDG_DOCUMENTS_DIR=")));
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (value.startsWith(QLatin1String("$HOME")))
            value = homeDirectory() + value.mid(5);
        if (QDir::isAbsolutePath(value))
            return QDir::cleanPath(value);
        return {};
    }
    return {};
}

// When path is prefix itself or lies below it, *rest gets the part after
// "prefix/" (empty for prefix itself).
bool under(const QString& path, const QString& prefix, QString* rest)
{
    if (path == prefix) {
        rest->clear();
        return true;
    }
    if (path.size() > prefix.size() && path.startsWith(prefix) && path.at(prefix.size()) == QLatin1Char('/')) {
        *rest = path.mid(prefix.size() + 1);
        return true;
    }
    return false;
}

QString join(const QString& root, const QString& rest)
{
    return rest.isEmpty() ? root : root + QLatin1Char('/') + rest;
}

} // namespace

QString homeDirectory()
{
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QDir::homePath();
}

QString dataHome()
{
    return xdgVariable("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString configHome()
{
    return xdgVariable("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString stateHome()
{
    return xdgVariable("XDG_STATE_HOME", QStringLiteral(".local/state"));
}

QString cacheHome()
{
    return xdgVariable("XDG_CACHE_HOME", QStringLiteral(".cache"));
}

QString documentsDirectory()
{
    const QString value = absolutePathVariable("XDG_DOCUMENTS_DIR");
    if (!value.isEmpty())
        return value;
    const QString fromFile = documentsFromUserDirs();
    if (!fromFile.isEmpty())
        return fromFile;
    return homeDirectory() + QStringLiteral("/Documents");
}

QString expandTilde(const QString& path)
{
    if (path == QLatin1String("~"))
        return homeDirectory();
    if (path.startsWith(QLatin1String("~/")))
        return homeDirectory() + path.mid(1);
    return path;
}

QString mapHomePath(const QString& path)
{
    const QString expanded = expandTilde(path);
    if (!QDir::isAbsolutePath(expanded))
        return expanded;
    const QString clean = QDir::cleanPath(expanded);
    const QString home = homeDirectory();
    const QString library = home + QStringLiteral("/Library");
    QString rest;

    if (under(clean, library + QStringLiteral("/Application Support"), &rest))
        return join(dataHome(), rest);
    if (under(clean, library + QStringLiteral("/Logs"), &rest)) {
        // ~/Library/Logs/<app>/<rest> -> stateHome()/<app>/Logs/<rest>
        if (rest.isEmpty())
            return stateHome();
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        const QString app = slash < 0 ? rest : rest.left(slash);
        const QString below = slash < 0 ? QString() : rest.mid(slash + 1);
        return join(stateHome() + QLatin1Char('/') + app + QStringLiteral("/Logs"), below);
    }
    if (under(clean, library + QStringLiteral("/Preferences"), &rest))
        return join(configHome(), rest);
    if (under(clean, library + QStringLiteral("/Caches"), &rest))
        return join(cacheHome(), rest);
    if (under(clean, home + QStringLiteral("/Documents"), &rest))
        return join(documentsDirectory(), rest);
    // Other places in the home folder stay where they are, and so does
    // anything outside it.
    if (path.startsWith(QLatin1Char('~')))
        return clean;
    return path;
}

QString applicationSupportDirectory()
{
    return dataHome() + QLatin1Char('/') + QLatin1String(kApplicationName);
}

QString applicationLogsDirectory()
{
    return stateHome() + QLatin1Char('/') + QLatin1String(kApplicationName) + QStringLiteral("/Logs");
}

} // namespace platform::paths
