#include "platform/Bundle.h"

#include "platform/Paths.h"

namespace platform::bundle {

QString mainBundleIdentifier()
{
    return QString::fromLatin1(kMainBundleIdentifier);
}

QString applicationName()
{
    return QString::fromLatin1(paths::kApplicationName);
}

QString applicationVersion()
{
    return QStringLiteral(MARVESTO_VERSION);
}

} // namespace platform::bundle
