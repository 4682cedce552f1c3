#pragma once

#include "usbdevice/DZUSBDeviceIdentifier.h"

// Looks for one known phone among the attached USB devices: the scan narrowed
// to the devices that match a stored dictionary ("vendorId", "productId",
// "serialNumber"). Every query scans the bus again.
class DZUSBDevice : public DZUSBDeviceIdentifier {
public:
    DZUSBDevice(const QVariantMap& storedDevice, bool storageDevices, bool modemDevices);
    ~DZUSBDevice() override;

    // Matched dictionaries keep their "locationID".
    void removeLocationsID(QList<QVariantMap>& list) override;
    // The first matching device of a scan; nullopt when none.
    std::optional<QVariantMap> deviceInfo();
    bool deviceAvailable() { return deviceInfo().has_value(); }
    virtual bool isStorageAvailable() { return false; }
    virtual bool isSerialAvailable() { return false; }

    const DZDeviceProperties& usbDevice() const { return _usbDevice; }

protected:
    // Whether a found dictionary has the stored phone's vendor id.
    bool isSameVendor(const QVariantMap& found) const;
    // Serial numbers compare on at most 15 characters, and on the shorter length.
    static bool serialsMatch(QString stored, QString found);

    DZDeviceProperties _usbDevice;
};
