#pragma once

#include "platform/UsbRegistry.h"

#include <memory>

namespace platform {

// The USB registry read from sysfs through libudev. Needs no privileges; a
// machine without phones answers an empty list.
class UsbRegistryUdev : public UsbRegistry {
public:
    UsbRegistryUdev();
    ~UsbRegistryUdev() override;
    std::optional<QList<UsbInterface>> interfaces() override;

    // Mount points by device number ("major:minor"), from a mountinfo text
    // (/proc/self/mountinfo); the first mount of a device wins. Octal escapes
    // ("\040") are decoded.
    static QHash<QString, QString> parseMountInfo(const QByteArray& mountInfo);

protected:
    // A udev monitor of USB devices, read on the main thread's event loop.
    void startWatching() override;

private:
    struct Monitor;
    std::unique_ptr<Monitor> _monitor;
};

} // namespace platform
