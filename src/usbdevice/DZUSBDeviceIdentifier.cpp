#include "usbdevice/DZUSBDeviceIdentifier.h"

namespace {
constexpr const char* kSerialPadding = "0000000000";
constexpr int kSerialDigits = 10;
} // namespace

QString tenDigitSerNo(const QString& serial)
{
    if (serial.isNull() || serial.size() == kSerialDigits)
        return serial;
    const QString padded = QString::fromLatin1(kSerialPadding) + serial;
    return padded.right(kSerialDigits);
}

int sortLocation(const QVariantMap& a, const QVariantMap& b)
{
    const QVariant left = a.value(DZDeviceProperties::kLocationIDKey);
    const QVariant right = b.value(DZDeviceProperties::kLocationIDKey);
    if (!left.isValid() || !right.isValid())
        return 0;
    const qint64 l = left.toLongLong();
    const qint64 r = right.toLongLong();
    return l < r ? -1 : (l > r ? 1 : 0);
}

DZUSBDeviceIdentifier::DZUSBDeviceIdentifier(bool storageDevices, bool modemDevices)
    : _storageDevices(storageDevices), _modemDevices(modemDevices)
{
}

DZUSBDeviceIdentifier::~DZUSBDeviceIdentifier() = default;

platform::UsbRegistry& DZUSBDeviceIdentifier::registry() const
{
    return _registry ? *_registry : platform::UsbRegistry::shared();
}

std::optional<QList<QVariantMap>> DZUSBDeviceIdentifier::getUSBDevices()
{
    const std::optional<QList<platform::UsbInterface>> interfaces = registry().interfaces();
    if (!interfaces)
        return std::nullopt;
    _parentsServed.clear();
    QList<QVariantMap> collected;
    for (const platform::UsbInterface& intf : *interfaces) {
        if (std::optional<DZDeviceProperties> props = getUSBInterfacePropsDict(intf))
            collected.append(props->getPropertiesDictionary());
    }
    _parentsServed.clear();
    QList<QVariantMap> result;
    iterateinterfaces(collected, result);
    return result;
}

std::optional<DZDeviceProperties> DZUSBDeviceIdentifier::getUSBInterfacePropsDict(const platform::UsbInterface& intf)
{
    if (!intf.device || !intf.device->hasLocation)
        return std::nullopt;
    std::optional<DZDeviceProperties> props;
    if (intf.interfaceClass == platform::UsbRegistry::kClassMassStorage && _storageDevices)
        props = getNextStorageDeviceProperties(intf);
    else if (intf.interfaceClass == platform::UsbRegistry::kClassCdcData && _modemDevices)
        props = getNextUSBModemDeviceProperties(intf);
    else
        props = customDeviceScanner(intf, intf.interfaceClass);
    if (!props || !isValidDevice(&*props))
        return std::nullopt;
    return props;
}

std::optional<DZDeviceProperties> DZUSBDeviceIdentifier::getNextStorageDeviceProperties(
    const platform::UsbInterface& intf)
{
    const platform::UsbDevice& device = *intf.device;
    if (parentServed(device))
        return std::nullopt;
    _parentsServed.insert(&device);

    QVariantList mountPoints;
    for (const platform::UsbVolume& volume : device.volumes) {
        if (std::optional<QVariantMap> mountPoint = getMountPoint(volume))
            mountPoints.append(*mountPoint);
    }
    if (mountPoints.isEmpty())
        return std::nullopt;
    if (device.vendorName.isEmpty() || device.productName.isEmpty() || !device.hasIds)
        return std::nullopt;

    DZDeviceProperties props;
    props.setVendor(device.vendorName);
    props.setProduct(device.productName);
    props.setVendorID(device.vendorId);
    props.setProductID(device.productId);
    props.setMountPoints(mountPoints);
    if (!device.serialNumber.isEmpty())
        props.setSerialNumber(tenDigitSerNo(device.serialNumber));
    return props;
}

std::optional<DZDeviceProperties> DZUSBDeviceIdentifier::getNextUSBModemDeviceProperties(
    const platform::UsbInterface& intf)
{
    const platform::UsbDevice& device = *intf.device;
    if (device.ttyPaths.isEmpty() || !device.hasIds)
        return std::nullopt;
    if (device.productName.isEmpty() || device.vendorName.isEmpty() || !device.hasLocation)
        return std::nullopt;

    DZDeviceProperties props;
    props.setVendorID(device.vendorId);
    props.setProductID(device.productId);
    props.setProduct(device.productName);
    props.setVendor(device.vendorName);
    props.setLocationID(device.locationID);
    props.setPortName(device.ttyPaths.first());
    const QString serial = getUSBSerialNumber(device);
    if (!serial.isNull())
        props.setSerialNumber(tenDigitSerNo(serial));
    return props;
}

std::optional<QVariantMap> DZUSBDeviceIdentifier::getMountPoint(const platform::UsbVolume& volume)
{
    if (volume.bsdName.isEmpty() || volume.mountPoint.isEmpty())
        return std::nullopt;
    return QVariantMap{{DZDeviceProperties::kBSDNameKey, volume.bsdName},
                       {DZDeviceProperties::kMountPointKey, volume.mountPoint}};
}

QString DZUSBDeviceIdentifier::getUSBSerialNumber(const platform::UsbDevice& device)
{
    if (device.serialNumber.isEmpty())
        return QString();
    return device.serialNumber.left(kMaxUSBSerialLength);
}

bool DZUSBDeviceIdentifier::parentServed(const platform::UsbDevice& device) const
{
    return _parentsServed.contains(&device);
}

bool DZUSBDeviceIdentifier::isInReturnUSBList(const QList<QVariantMap>& list, qint64 locationNumber)
{
    for (const QVariantMap& dict : list) {
        const QVariant location = dict.value(DZDeviceProperties::kLocationIDKey);
        if (location.isValid() && location.toLongLong() == locationNumber)
            return true;
    }
    return false;
}

bool DZUSBDeviceIdentifier::isValidDevice(const DZDeviceProperties* properties)
{
    return properties != nullptr;
}

std::optional<DZDeviceProperties> DZUSBDeviceIdentifier::customDeviceScanner(const platform::UsbInterface&, int)
{
    return std::nullopt;
}

void DZUSBDeviceIdentifier::removeLocationsID(QList<QVariantMap>& list)
{
    for (QVariantMap& dict : list)
        dict.remove(DZDeviceProperties::kLocationIDKey);
}

QList<QVariantMap> DZUSBDeviceIdentifier::arraySortedAndPrunedWith(const QList<QVariantMap>& list)
{
    // A stable insertion sort: sortLocation treats a missing location as equal
    // to everything, which is no strict ordering, so std::sort is out.
    QList<QVariantMap> sorted;
    for (const QVariantMap& dict : list) {
        qsizetype at = sorted.size();
        while (at > 0 && sortLocation(sorted[at - 1], dict) > 0)
            --at;
        sorted.insert(at, dict);
    }
    // Only a second dictionary at the same known location is a duplicate:
    // storage phones carry no location, and each is already described once.
    const auto hasLocation = [](const QVariantMap& dict) {
        return dict.value(DZDeviceProperties::kLocationIDKey).isValid();
    };
    QList<QVariantMap> kept;
    for (const QVariantMap& dict : sorted) {
        const bool duplicate = !kept.isEmpty() && hasLocation(dict) && hasLocation(kept.last())
            && sortLocation(dict, kept.last()) == 0;
        if (!duplicate)
            kept.append(dict);
    }
    return kept;
}

void DZUSBDeviceIdentifier::iterateinterfaces(QList<QVariantMap>& collected, QList<QVariantMap>& retDevices)
{
    collected = arraySortedAndPrunedWith(collected);
    removeLocationsID(collected);
    retDevices = collected;
}
