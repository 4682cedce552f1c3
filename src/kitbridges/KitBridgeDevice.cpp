#include "kitbridges/KitBridgeDevice.h"

#include "device/MFDeviceInfo.h"
#include "links/MFDeviceLinkOwner.h"

namespace kitbridge {

KitLink kitLinkOf(const MFDeviceLinkOwner* device)
{
    const MFDeviceInfo* info = device ? device->linkDeviceInfo() : nullptr;
    if (!info)
        return {};
    const QString type = device->connType();
    if (type == QLatin1String("Bluetooth"))
        return {true, true, info->objectForKey(QStringLiteral("BT.BT_Address")).toString()};
    if (type == QLatin1String("USB-Serial"))
        return {true, false, info->objectForKey(QStringLiteral("USB.PortName")).toString()};
    return {};
}

QString familyOf(const MFDeviceLinkOwner* device, int index)
{
    const MFDeviceInfo* info = device ? device->linkDeviceInfo() : nullptr;
    return info ? info->getSMSFamily(index) : QString();
}

bool isLgFamily(const QString& family)
{
    return family.startsWith(QLatin1String("lg"));
}

} // namespace kitbridge
