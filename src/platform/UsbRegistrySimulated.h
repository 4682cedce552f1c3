#pragma once

#include "platform/UsbRegistry.h"

namespace platform {

// A registry that tests fill by hand.
class UsbRegistrySimulated : public UsbRegistry {
public:
    std::optional<QList<UsbInterface>> interfaces() override;

    // Adds a device; locationID is derived from the location when left 0.
    // Answers the shared record that addInterface() takes.
    std::shared_ptr<const UsbDevice> addDevice(UsbDevice device);
    void addInterface(const std::shared_ptr<const UsbDevice>& device, int number, int interfaceClass,
                      int interfaceSubClass = 0);
    // Adding an interface posts Added (once per device), clear() and
    // removeDevice() post Removed for each device that goes.
    void clear();
    void removeDevice(const QString& location);
    // An unreachable registry answers nullopt.
    void setReachable(bool reachable) { _reachable = reachable; }

private:
    QList<UsbInterface> _interfaces;
    bool _reachable = true;
};

} // namespace platform
