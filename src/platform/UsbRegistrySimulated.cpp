#include "platform/UsbRegistrySimulated.h"

#include <algorithm>

namespace platform {

std::optional<QList<UsbInterface>> UsbRegistrySimulated::interfaces()
{
    if (!_reachable)
        return std::nullopt;
    return _interfaces;
}

std::shared_ptr<const UsbDevice> UsbRegistrySimulated::addDevice(UsbDevice device)
{
    if (device.locationID == 0)
        device.locationID = packLocation(device.location);
    return std::make_shared<const UsbDevice>(std::move(device));
}

void UsbRegistrySimulated::addInterface(const std::shared_ptr<const UsbDevice>& device, int number,
                                        int interfaceClass, int interfaceSubClass)
{
    UsbInterface intf;
    intf.device = device;
    intf.number = number;
    intf.interfaceClass = interfaceClass;
    intf.interfaceSubClass = interfaceSubClass;
    const bool known = std::any_of(_interfaces.cbegin(), _interfaces.cend(),
                                   [&](const UsbInterface& other) { return other.device == device; });
    _interfaces.append(intf);
    if (!known)
        postChange(Change::Added, device->location);
}

void UsbRegistrySimulated::clear()
{
    QStringList gone;
    for (const UsbInterface& intf : std::as_const(_interfaces)) {
        if (!gone.contains(intf.device->location))
            gone.append(intf.device->location);
    }
    _interfaces.clear();
    for (const QString& location : std::as_const(gone))
        postChange(Change::Removed, location);
}

void UsbRegistrySimulated::removeDevice(const QString& location)
{
    const qsizetype removed = _interfaces.removeIf(
        [&](const UsbInterface& intf) { return intf.device->location == location; });
    if (removed > 0)
        postChange(Change::Removed, location);
}

} // namespace platform
