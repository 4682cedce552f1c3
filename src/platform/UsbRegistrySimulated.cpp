#include "platform/UsbRegistrySimulated.h"

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
    _interfaces.append(intf);
}

void UsbRegistrySimulated::clear()
{
    _interfaces.clear();
}

} // namespace platform
