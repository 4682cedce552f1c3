#pragma once

#include "usbdevice/DZDeviceProperties.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace platform {
class BluetoothDevice;
class BluetoothUuid;
class SdpServiceRecord;
class Timer;
} // namespace platform

class QVBTDeviceScanner;

// Told about the availability poller's results.
class QVBTDeviceScannerCallback {
public:
    virtual ~QVBTDeviceScannerCallback() = default;
    // One device of a poll.
    virtual void pollingDeviceFound(QVBTDeviceScanner& scanner, const QString& address, bool available) = 0;
    virtual void pollingComplete(QVBTDeviceScanner& scanner) = 0;
    // The device of a single test.
    virtual void pollingDevice(QVBTDeviceScanner& scanner, const QString& address, bool available) = 0;
};

// The properties of the paired phones, and a poller that asks each paired
// device in turn whether it is in reach (nothing in the wizard starts it).
class QVBTDeviceScanner {
public:
    // Between a successful open and its close.
    static constexpr double kCloseDelay = 0.1;

    // The survey properties of every paired device that offers one of the
    // surveyed services, in the stack's order; nullopt when there is none.
    static std::optional<QList<DZDeviceProperties>> getPropertiesOfPairedDevices();
    static std::optional<DZDeviceProperties> getPropertiesOfDevice(const platform::BluetoothDevice& device);
    // The tty the system bound to the phone's serial service. The program
    // binds no RFCOMM tty (its links open the channel themselves): none.
    static std::optional<QString> bsdTerminalPortsForDeviceWithAddress(const QString& address);
    static std::optional<platform::BluetoothUuid> getUUIDForServiceRecord(const platform::SdpServiceRecord& record);

    QVBTDeviceScanner();
    ~QVBTDeviceScanner();
    QVBTDeviceScanner(const QVBTDeviceScanner&) = delete;
    QVBTDeviceScanner& operator=(const QVBTDeviceScanner&) = delete;

    // Takes the paired devices as the list to poll; no poll, no callback.
    void initPolling();
    // NO when the list is empty or a poll or test runs.
    bool startPolling(QVBTDeviceScannerCallback* callback);
    void pollNextDevice();
    // A device's open ended (the asynchronous open's completion).
    void connectionComplete(const std::shared_ptr<platform::BluetoothDevice>& device, int status);
    // NO while a poll or a test runs, or for an address that does not parse.
    bool testForAvailability(QVBTDeviceScannerCallback* callback, const QString& address);
    // Opens the device and waits for the result; closes it again.
    static bool testForAvailabilityWithAddress(const QString& address);
    // The addresses of the paired devices that open now (each closed again).
    static QStringList getAvailableDevices();

    bool pollingInProgress() const { return _pollingInProgress; }
    int devicesLeft() const { return int(_knownDevices.size()); }

private:
    void report(const std::shared_ptr<platform::BluetoothDevice>& device, bool available, bool single);

    QList<std::shared_ptr<platform::BluetoothDevice>> _knownDevices;
    std::shared_ptr<platform::BluetoothDevice> _testingDevice;
    std::shared_ptr<platform::BluetoothDevice> _pollingDevice;
    bool _pollingInProgress = false;
    QVBTDeviceScannerCallback* _callback = nullptr;
    std::unique_ptr<platform::Timer> _close;
    std::shared_ptr<bool> _alive;
};
