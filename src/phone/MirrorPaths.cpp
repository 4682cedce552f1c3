#include "phone/MirrorPaths.h"

#include <QStringList>

namespace mirrorpaths {

bool isSafePhonePath(const QString& path)
{
    if (path.contains(QChar(0)))
        return false;
    const QStringList components = path.split(QLatin1Char('/'));
    for (const QString& component : components) {
        if (component == QLatin1String(".") || component == QLatin1String(".."))
            return false;
    }
    return true;
}

bool isSafeRelative(const QString& path)
{
    return isSafePhonePath(path) && (path.isEmpty() || path.startsWith(QLatin1Char('/')));
}

} // namespace mirrorpaths
