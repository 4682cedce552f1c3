#include "platform/UsbRegistry.h"

#include "platform/UsbRegistryUdev.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>

namespace platform {

namespace {
QMutex registryMutex;
std::shared_ptr<UsbRegistry> installedRegistry;
QMap<int, UsbRegistry::ChangeHandler> changeHandlers;   // main thread only
int nextChangeToken = 0;
} // namespace

int UsbRegistry::addChangeHandler(ChangeHandler handler)
{
    const bool first = changeHandlers.isEmpty();
    changeHandlers.insert(++nextChangeToken, std::move(handler));
    if (first)
        shared().startWatching();
    return nextChangeToken;
}

void UsbRegistry::removeChangeHandler(int token)
{
    changeHandlers.remove(token);
}

bool UsbRegistry::hasChangeHandlers()
{
    return !changeHandlers.isEmpty();
}

void UsbRegistry::postChange(Change change, const QString& location)
{
    // A handler may remove itself or others while the list is walked.
    const QList<int> tokens = changeHandlers.keys();
    for (int token : tokens) {
        const auto it = changeHandlers.constFind(token);
        if (it != changeHandlers.cend()) {
            const ChangeHandler handler = it.value();
            handler(change, location);
        }
    }
}

UsbRegistry::~UsbRegistry() = default;

UsbRegistry& UsbRegistry::shared()
{
    QMutexLocker lock(&registryMutex);
    if (!installedRegistry)
        installedRegistry = std::make_shared<UsbRegistryUdev>();
    return *installedRegistry;
}

void UsbRegistry::setShared(std::shared_ptr<UsbRegistry> registry)
{
    QMutexLocker lock(&registryMutex);
    installedRegistry = std::move(registry);
}

quint32 UsbRegistry::packLocation(const QString& busPath)
{
    const int dash = busPath.indexOf(QLatin1Char('-'));
    bool ok = false;
    const uint bus = busPath.left(dash < 0 ? busPath.size() : dash).toUInt(&ok);
    if (!ok)
        return 0;
    quint32 packed = (bus & 0xFFu) << 24;
    if (dash < 0)
        return packed;
    int shift = 20;
    const QStringList ports = busPath.mid(dash + 1).split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (const QString& port : ports) {
        if (shift < 0)
            break;
        packed |= (port.toUInt() & 0xFu) << shift;
        shift -= 4;
    }
    return packed;
}

} // namespace platform
