#include "syncmodel/SyncDeviceLimits.h"

#include "syncmodel/DeviceDescriptionLimits.h"

#include <utility>

namespace {

const QString kLGProtocolPrefix = QStringLiteral("Protocol LG");

SyncDeviceLimits::Resolver& installedResolver()
{
    static SyncDeviceLimits::Resolver resolver;
    return resolver;
}

} // namespace

bool SyncDeviceLimits::isLGProtocol() const
{
    return protocol().startsWith(kLGProtocolPrefix);
}

std::shared_ptr<SyncDeviceLimits> SyncDeviceLimits::fromProtocol(const QString& protocol)
{
    if (protocol.isEmpty())
        return nullptr;
    const Resolver& resolver = installedResolver();
    if (resolver)
        return resolver(protocol);
    return DeviceDescriptionLimits::fromServer(protocol);
}

void SyncDeviceLimits::setResolver(Resolver resolver)
{
    installedResolver() = std::move(resolver);
}
