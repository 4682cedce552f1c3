#include "kitbridges/KitBridgeDevice.h"

#include "device/MFDeviceInfo.h"
#include "kitbridges/KitBridgesLog.h"
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

bool reportMissingKit(const MFDeviceLinkOwner* device, const QString& bridgeName, const char* call)
{
    if (kitLinkOf(device).served)
        return false;
    MMConnLog(QStringLiteral("[%1 %2] no kit for the connection type \"%3\"")
                  .arg(bridgeName, QLatin1String(call), device ? device->connType() : QString()));
    return true;
}

} // namespace kitbridge
