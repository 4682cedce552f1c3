#include "device/DZUSBSerialDevice.h"

DZUSBSerialDevice::DZUSBSerialDevice(const QVariantMap& storedDevice) : DZUSBDevice(storedDevice, false, true) {}

DZUSBSerialDevice::~DZUSBSerialDevice()
{
    if (isConnected())
        DZUSBSerialDevice::closeSerialDevice();
}

std::unique_ptr<DZUSBSerialDevice> DZUSBSerialDevice::deviceWithDict(const QVariantMap& storedDevice)
{
    if (!storedDevice.contains(DZDeviceProperties::kVendorIDKey))
        return nullptr;
    return std::make_unique<DZUSBSerialDevice>(storedDevice);
}

bool DZUSBSerialDevice::isValidDevice(const DZDeviceProperties* properties)
{
    if (!properties)
        return false;
    const QVariantMap found = properties->getPropertiesDictionary();
    if (!isSameVendor(found))
        return false;
    const QString stored = tenDigitSerNo(_usbDevice.serialNumber());
    const QString foundSerial = found.value(DZDeviceProperties::kSerialNumberKey).toString();
    if (stored.isEmpty() || foundSerial.isEmpty())
        return true;
    if (found.value(DZDeviceProperties::kPortNameKey).toString().isEmpty())
        return false;
    return serialsMatch(stored, foundSerial);
}

bool DZUSBSerialDevice::openSerialDevice()
{
    if (isConnected())
        return true;
    const std::optional<QVariantMap> found = deviceInfo();
    if (!found)
        return false;
    const QString path = found->value(DZDeviceProperties::kPortNameKey).toString();
    if (path.isEmpty())
        return false;
    _fileDescriptor = myOpenSerialPort(path, &_originalTTYAttrs);
    if (isConnected())
        _connectedDevice = *found;
    return isConnected();
}

bool DZUSBSerialDevice::closeSerialDevice()
{
    if (!isConnected())
        return true;
    const bool closed = myCloseSerialPort(_fileDescriptor, _originalTTYAttrs);
    _fileDescriptor = -1;
    _connectedDevice.clear();
    return closed;
}

QString DZUSBSerialDevice::bsdModemPath(int vendorId, int productId, const QString& serialNumber)
{
    QVariantMap stored{{DZDeviceProperties::kVendorIDKey, vendorId},
                       {DZDeviceProperties::kProductIDKey, productId}};
    if (!serialNumber.isEmpty())
        stored.insert(DZDeviceProperties::kSerialNumberKey, serialNumber);
    DZUSBSerialDevice device(stored);
    const std::optional<QVariantMap> found = device.deviceInfo();
    if (!found)
        return QString();
    return found->value(DZDeviceProperties::kPortNameKey).toString();
}
