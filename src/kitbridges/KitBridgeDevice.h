#pragma once

#include <QString>

class MFDeviceLinkOwner;

// How a bridge configures its kit for the job's phone.
namespace kitbridge {

// The "BT.BT_Address" of a "Bluetooth" phone or the "USB.PortName" of a
// "USB-Serial" phone; none for other connection types.
struct KitLink {
    bool served = false; // false: no kit for this phone
    bool bluetooth = false;
    QString address;
};
KitLink kitLinkOf(const MFDeviceLinkOwner* device);
// The device settings' SMS family (index 0) or organizer family (index 1).
QString familyOf(const MFDeviceLinkOwner* device, int index);
bool isLgFamily(const QString& family);

} // namespace kitbridge
