#pragma once

#include "usbdevice/DZUSBDevice.h"

#include <memory>

// A mass-storage phone found again by its serial number. Such phones often
// report no usable USB serial number, so a marker file in the root of the
// phone's volume carries one: "qv_serno0.plist" put there by other means (only
// read), "qv_serno1.plist" written here.
class DZUSBStorageDevice : public DZUSBDevice {
public:
    static constexpr const char* kRealSerialFile = "qv_serno0.plist";
    static constexpr const char* kWrittenSerialFile = "qv_serno1.plist";
    static constexpr const char* kSerialNumberKey = "quorvalis serial number";
    static constexpr const char* kSerialFormat = "quorSN-%1";
    static constexpr int kMaxSerialLength = 15;
    static constexpr int kMarkerVolumes = 2;
    static constexpr int kFirstSerialNumber = 10000000;
    static constexpr int kLastSerialNumber = 100000000;

    explicit DZUSBStorageDevice(const QVariantMap& storedDevice);

    // Null unless the stored dictionary has "vendorId" and "serialNumber".
    static std::unique_ptr<DZUSBStorageDevice> allocDZUSBStorageDevice(const QVariantMap& storedDevice);

    bool isValidDevice(const DZDeviceProperties* properties) override;
    bool isStorageAvailable() override { return deviceAvailable(); }

    // The found device's USB serial number when it has one, else its marker's.
    static QString getSerialNumberForValidate(const QVariantMap& found);

    // Writes a new "qv_serno1.plist" to the first two volumes; answers its
    // serial number. Null without mount points, and when no volume could
    // keep the marker (each failed write is logged).
    static QString createSerialOnDevice(const QVariantMap& found);
    // The serial number of the first readable marker on the first or second
    // volume; null when none. A marker that is not a regular file of its own
    // (a link, a FIFO, a device) or holds no dictionary is logged and passed
    // over.
    static QString readSerialFromFile(const QVariantMap& found, bool requestReal);
    // The real marker's serial number, else the written one's.
    static QString readSerialFromFile(const QVariantMap& found);
    // The USB serial number, else the marker's, else a newly written marker's.
    static QString getUSBStorageSerialNumber(const std::optional<QVariantMap>& found);

    // The marker's path in the volume's root; null for a volume without a
    // mount point (nothing is then read or written for it).
    static QString markerPath(const QVariantMap& mountPoint, const QString& fileName);
};
