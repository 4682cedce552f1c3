#include "device/DZUSBStorageDevice.h"

#include "platform/Clock.h"
#include "platform/PropertyList.h"

#include <QFile>
#include <stdlib.h>

namespace {

QVariantList mountPointsOf(const QVariantMap& found)
{
    return found.value(DZDeviceProperties::kMountPointsKey).toList();
}

} // namespace

DZUSBStorageDevice::DZUSBStorageDevice(const QVariantMap& storedDevice) : DZUSBDevice(storedDevice, true, false) {}

std::unique_ptr<DZUSBStorageDevice> DZUSBStorageDevice::allocDZUSBStorageDevice(const QVariantMap& storedDevice)
{
    if (!storedDevice.contains(DZDeviceProperties::kVendorIDKey)
        || !storedDevice.contains(DZDeviceProperties::kSerialNumberKey))
        return nullptr;
    return std::make_unique<DZUSBStorageDevice>(storedDevice);
}

QString DZUSBStorageDevice::markerPath(const QVariantMap& mountPoint, const QString& fileName)
{
    return mountPoint.value(DZDeviceProperties::kMountPointKey).toString() + QLatin1Char('/') + fileName;
}

bool DZUSBStorageDevice::isValidDevice(const DZDeviceProperties* properties)
{
    if (!properties)
        return false;
    const QVariantMap found = properties->getPropertiesDictionary();
    if (!isSameVendor(found))
        return false;
    const QString foundSerial = getSerialNumberForValidate(found);
    if (foundSerial.isNull())
        return false;
    return serialsMatch(_usbDevice.serialNumber(), foundSerial);
}

QString DZUSBStorageDevice::getSerialNumberForValidate(const QVariantMap& found)
{
    const QString serial = found.value(DZDeviceProperties::kSerialNumberKey).toString();
    if (!serial.isEmpty())
        return serial;
    if (!mountPointsOf(found).isEmpty())
        return readSerialFromFile(found);
    return QString();
}

QString DZUSBStorageDevice::readSerialFromFile(const QVariantMap& found, bool requestReal)
{
    const QVariantList mountPoints = mountPointsOf(found);
    const QString fileName = QString::fromLatin1(requestReal ? kRealSerialFile : kWrittenSerialFile);
    for (int i = 0; i < std::min<int>(kMarkerVolumes, mountPoints.size()); ++i) {
        const QString path = markerPath(mountPoints[i].toMap(), fileName);
        if (!QFile::exists(path))
            continue;
        const QVariant marker = platform::plist::readFile(path);
        if (marker.typeId() != QMetaType::QVariantMap)
            return QString();
        return marker.toMap().value(kSerialNumberKey).toString();
    }
    return QString();
}

QString DZUSBStorageDevice::readSerialFromFile(const QVariantMap& found)
{
    const QString real = readSerialFromFile(found, true);
    if (!real.isEmpty())
        return real;
    return readSerialFromFile(found, false);
}

QString DZUSBStorageDevice::createSerialOnDevice(const QVariantMap& found)
{
    const QVariantList mountPoints = mountPointsOf(found);
    if (mountPoints.isEmpty())
        return QString();
    srandom(unsigned(platform::Clock::instance().currentDateTime().toSecsSinceEpoch()));
    long number = 0;
    do {
        number = random() % 100000000 + 1;
    } while (number <= 9999999);
    const QString serial = QString::fromLatin1(kSerialFormat).arg(number).left(kMaxSerialLength);
    const QVariantMap marker{{QString::fromLatin1(kSerialNumberKey), serial}};
    for (int i = 0; i < std::min<int>(kMarkerVolumes, mountPoints.size()); ++i) {
        const QString path = markerPath(mountPoints[i].toMap(), QString::fromLatin1(kWrittenSerialFile));
        QFile::remove(path);
        platform::plist::writeFile(path, marker);
    }
    return serial;
}

QString DZUSBStorageDevice::getUSBStorageSerialNumber(const std::optional<QVariantMap>& found)
{
    if (!found)
        return QString();
    const QString serial = found->value(DZDeviceProperties::kSerialNumberKey).toString();
    if (!serial.isEmpty() || mountPointsOf(*found).isEmpty())
        return found->value(DZDeviceProperties::kSerialNumberKey).toString();
    const QString marker = readSerialFromFile(*found);
    if (!marker.isEmpty())
        return marker;
    return createSerialOnDevice(*found);
}
