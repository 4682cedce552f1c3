#include "device/DZUSBDevice.h"

DZUSBDevice::DZUSBDevice(const QVariantMap& storedDevice, bool storageDevices, bool modemDevices)
    : DZUSBDeviceIdentifier(storageDevices, modemDevices), _usbDevice(storedDevice)
{
}

DZUSBDevice::~DZUSBDevice() = default;

void DZUSBDevice::removeLocationsID(QList<QVariantMap>&) {}

std::optional<QVariantMap> DZUSBDevice::deviceInfo()
{
    const std::optional<QList<QVariantMap>> devices = getUSBDevices();
    if (!devices || devices->isEmpty())
        return std::nullopt;
    return devices->first();
}
