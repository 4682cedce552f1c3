#pragma once

#include "platform/RunLoop.h"

#include <QString>

#include <cmath>
#include <memory>

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
// A percentage the kit reported, truncated as the windows show it; a value
// that is no number counts as 0, and it stays within 0 to 100.
inline int truncatedPercent(float percent)
{
    if (!std::isfinite(percent) || percent <= 0.0f)
        return 0;
    return percent >= 100.0f ? 100 : int(percent);
}

// Logs the missing kit under the bridge's name; true when the phone's
// connection has none.
bool reportMissingKit(const MFDeviceLinkOwner* device, const QString& bridgeName, const char* call);

// Both kits take the same set-up and stop calls: the callback, the phone's
// address or port, the device settings' SMS family; an LG family stops with
// abortActionAsync, every other with fullStop.
template <class Kit, class Callback, class Maker>
std::shared_ptr<Kit> makeKitFor(MFDeviceLinkOwner* device, const Maker& makeKit, Callback* callback,
                                const QString& bridgeName, const char* call)
{
    if (!device || reportMissingKit(device, bridgeName, call))
        return nullptr;
    std::shared_ptr<Kit> kit = makeKit ? makeKit() : nullptr;
    if (!kit)
        return nullptr;
    const KitLink link = kitLinkOf(device);
    kit->setCallback(callback);
    if (link.bluetooth)
        kit->setAddressString(link.address);
    else
        kit->setFilename(link.address);
    kit->setFamily(familyOf(device, 0));
    return kit;
}

template <class Kit>
void stopKit(Kit* kit, const MFDeviceLinkOwner* device)
{
    if (!kit)
        return;
    if (isLgFamily(familyOf(device, 0)))
        kit->abortActionAsync();
    else
        kit->fullStop();
}

// The kit may still be inside a call of its own when its bridge goes: it
// hears nothing more from now and is freed on a later pass of the run loop.
template <class Kit>
void releaseKit(std::shared_ptr<Kit>& kit)
{
    if (!kit)
        return;
    kit->setCallback(nullptr);
    platform::runloop::performOnMainThread([gone = std::move(kit)]() mutable { gone.reset(); });
}

} // namespace kitbridge
