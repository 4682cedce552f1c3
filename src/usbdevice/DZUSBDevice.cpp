#include "usbdevice/DZUSBDevice.h"

#include <algorithm>

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

bool DZUSBDevice::isSameVendor(const QVariantMap& found) const
{
    const QVariant vendor = found.value(DZDeviceProperties::kVendorIDKey);
    return vendor.isValid() && vendor.toInt() == _usbDevice.vendorID();
}

bool DZUSBDevice::serialsMatch(QString stored, QString found)
{
    stored.truncate(kMaxUSBSerialLength);
    found.truncate(kMaxUSBSerialLength);
    const qsizetype length = std::min(stored.size(), found.size());
    return stored.left(length) == found.left(length);
}
