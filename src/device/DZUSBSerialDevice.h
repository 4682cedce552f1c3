#pragma once

#include "usbdevice/DZUSBDevice.h"

#include <memory>
#include <mutex>
#include <termios.h>

// A known modem phone found again on the USB bus, and its tty opened for the
// serial transport. The main thread opens and closes; the transport's reader
// thread reads the descriptor, holding ioLock() as every writer does, so reads
// and writes never interleave.
class DZUSBSerialDevice : public DZUSBDevice {
public:
    // Modem phones only.
    explicit DZUSBSerialDevice(const QVariantMap& storedDevice);
    // Closes the tty.
    ~DZUSBSerialDevice() override;

    // Null unless the stored dictionary has "vendorId".
    static std::unique_ptr<DZUSBSerialDevice> deviceWithDict(const QVariantMap& storedDevice);

    // Same vendor; when both serial numbers are known they must agree (on at
    // most 15 characters and the shorter length) and the modem must have a tty.
    bool isValidDevice(const DZDeviceProperties* properties) override;
    bool isSerialAvailable() override { return deviceAvailable(); }

    // Finds the phone and opens its tty; true when open (also when it already was).
    virtual bool openSerialDevice();
    // Closes the tty; false when the close reported an error.
    virtual bool closeSerialDevice();
    bool isConnected() const { return _fileDescriptor != -1; }
    int fileDescriptor() const { return _fileDescriptor; }
    // The scan dictionary of the opened modem; empty while closed.
    const QVariantMap& connectedDevice() const { return _connectedDevice; }
    std::mutex& ioLock() { return _ioLock; }

    // The tty path of the modem with these ids; null when none is attached.
    static QString bsdModemPath(int vendorId, int productId, const QString& serialNumber);

protected:
    struct termios _originalTTYAttrs {};
    int _fileDescriptor = -1;
    QVariantMap _connectedDevice;

private:
    std::mutex _ioLock;
};
