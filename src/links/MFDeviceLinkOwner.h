#pragma once

#include <QString>
#include <QVariantMap>

class MFDevice;
class MFDeviceInfo;

// What the connections of a phone need from the device object that owns
// them: the device as the links hold it, its settings and connection type,
// and the registration of each connection's service with its specification
// ({"type": connection type, "channel": RFCOMM channel, 0 over USB}).
class MFDeviceLinkOwner {
public:
    virtual ~MFDeviceLinkOwner() = default;
    virtual MFDevice* linkDevice() = 0;
    virtual const MFDeviceInfo* linkDeviceInfo() const = 0;
    // "Bluetooth", "USB-Serial", "USB-MassStorage", "Virtual" or "History".
    virtual QString connType() const = 0;
    virtual void registerConnection(const QString& name, const QVariantMap& specification) = 0;
};
