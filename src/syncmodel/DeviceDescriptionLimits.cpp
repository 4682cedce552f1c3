#include "syncmodel/DeviceDescriptionLimits.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"

#include <QHash>

#include <utility>

DeviceDescriptionLimits::DeviceDescriptionLimits(std::shared_ptr<QVSyncDeviceDescription> description)
    : m_description(std::move(description))
{
}

QString DeviceDescriptionLimits::protocol() const
{
    return m_description ? m_description->protocol() : QString();
}

long DeviceDescriptionLimits::nonNilValueFromDescription(const QString& key) const
{
    return m_description ? m_description->nonNilValueFromDescription(key) : 0;
}

bool DeviceDescriptionLimits::firstLastCombi() const
{
    return m_description && m_description->firstLastCombi();
}

std::shared_ptr<SyncDeviceLimits> DeviceDescriptionLimits::fromServer(const QString& protocol)
{
    // One adapter per shared description, so items of one protocol share it.
    static QHash<QVSyncDeviceDescription*, std::shared_ptr<SyncDeviceLimits>> adapters;
    auto description = SyncDescriptionServer::sharedSyncDescriptionServer().syncDeviceFromProtocol(protocol);
    if (!description)
        return nullptr;
    auto& adapter = adapters[description.get()];
    if (!adapter)
        adapter = std::make_shared<DeviceDescriptionLimits>(description);
    return adapter;
}

const QVSyncDeviceDescription* fullDescriptionOf(const std::shared_ptr<SyncDeviceLimits>& limits)
{
    const auto* adapter = dynamic_cast<const DeviceDescriptionLimits*>(limits.get());
    return adapter ? adapter->description().get() : nullptr;
}
