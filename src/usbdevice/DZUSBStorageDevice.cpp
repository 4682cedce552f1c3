#include "usbdevice/DZUSBStorageDevice.h"

#include "platform/Clock.h"
#include "platform/PropertyList.h"
#include "usbdevice/UsbDeviceLog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

QVariantList mountPointsOf(const QVariantMap& found)
{
    return found.value(DZDeviceProperties::kMountPointsKey).toList();
}

// Where the marker file would be on each of the first two volumes.
QStringList markerPaths(const QVariantMap& found, const char* fileName)
{
    QStringList paths;
    const QVariantList mountPoints = mountPointsOf(found).mid(0, DZUSBStorageDevice::kMarkerVolumes);
    for (const QVariant& mountPoint : mountPoints) {
        const QString path = DZUSBStorageDevice::markerPath(mountPoint.toMap(), QString::fromLatin1(fileName));
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
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
    const QString volume = mountPoint.value(DZDeviceProperties::kMountPointKey).toString();
    return volume.isEmpty() ? QString() : QDir(volume).filePath(fileName);
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
    return readSerialFromFile(found);
}

QString DZUSBStorageDevice::readSerialFromFile(const QVariantMap& found, bool requestReal)
{
    for (const QString& path : markerPaths(found, requestReal ? kRealSerialFile : kWrittenSerialFile)) {
        // A link is there but not followed (the phone's volume is not ours
        // to trust): a marker that cannot be read.
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        QString error;
        const QVariant marker = platform::plist::readFile(path, &error, platform::plist::FileOrigin::RemovableVolume);
        if (marker.typeId() != QMetaType::QVariantMap) {
            qCWarning(lcUsbDevice).noquote() << "cannot read the serial number marker:"
                                          << (error.isEmpty() ? path + QStringLiteral(" holds no dictionary") : error);
            continue;
        }
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
    const QStringList paths = markerPaths(found, kWrittenSerialFile);
    if (paths.isEmpty())
        return QString();
    // A whole number from 10000000 to 100000000. Not seeded from the time of
    // day: two phones set up within one second would get the same serial.
    const quint32 number = QRandomGenerator::global()->bounded(quint32(kFirstSerialNumber), quint32(kLastSerialNumber) + 1);
    const QString serial = QString::fromLatin1(kSerialFormat).arg(number).left(kMaxSerialLength);
    const QVariantMap marker{{QString::fromLatin1(kSerialNumberKey), serial}};
    // The serial is handed out only when a volume keeps it: a serial that
    // cannot be read back would be replaced by a new one at every call.
    bool kept = false;
    for (const QString& path : paths) {
        QString error;
        const QFileInfo file(path);
        if (file.isRelative() || !QFileInfo(file.path()).isDir()) {
            error = QStringLiteral("the volume %1 is not there").arg(file.path());
        } else {
            QFile::remove(path);
            if (platform::plist::writeFile(path, marker, &error)) {
                kept = true;
                continue;
            }
        }
        qCWarning(lcUsbDevice).noquote() << "cannot write the serial number marker:" << error;
    }
    return kept ? serial : QString();
}

QString DZUSBStorageDevice::getUSBStorageSerialNumber(const std::optional<QVariantMap>& found)
{
    if (!found)
        return QString();
    const QString serial = found->value(DZDeviceProperties::kSerialNumberKey).toString();
    if (!serial.isEmpty() || mountPointsOf(*found).isEmpty())
        return serial;
    const QString marker = readSerialFromFile(*found);
    if (!marker.isEmpty())
        return marker;
    return createSerialOnDevice(*found);
}
