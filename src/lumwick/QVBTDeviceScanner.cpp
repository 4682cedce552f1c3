#include "lumwick/QVBTDeviceScanner.h"

#include "lumwick/OrbitalexWizard.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

std::optional<QList<DZDeviceProperties>> QVBTDeviceScanner::getPropertiesOfPairedDevices()
{
    QList<DZDeviceProperties> found;
    for (const std::shared_ptr<platform::BluetoothDevice>& device :
         platform::BluetoothStack::shared().pairedDevices()) {
        if (std::optional<DZDeviceProperties> properties = getPropertiesOfDevice(*device))
            found.append(*properties);
    }
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

std::optional<DZDeviceProperties> QVBTDeviceScanner::getPropertiesOfDevice(const platform::BluetoothDevice& device)
{
    return lumwick::getBTDeviceProperties(device);
}

std::optional<QString> QVBTDeviceScanner::bsdTerminalPortsForDeviceWithAddress(const QString&)
{
    return std::nullopt;
}

std::optional<platform::BluetoothUuid> QVBTDeviceScanner::getUUIDForServiceRecord(
    const platform::SdpServiceRecord& record)
{
    return platform::getUUIDForServiceRecord(record);
}

QVBTDeviceScanner::QVBTDeviceScanner()
    : _close(std::make_unique<platform::Timer>())
    , _alive(std::make_shared<bool>(true))
{
}

QVBTDeviceScanner::~QVBTDeviceScanner() = default;

void QVBTDeviceScanner::initPolling()
{
    _knownDevices = platform::BluetoothStack::shared().pairedDevices();
    _pollingInProgress = false;
    _callback = nullptr;
}

bool QVBTDeviceScanner::startPolling(QVBTDeviceScannerCallback* callback)
{
    if (_knownDevices.isEmpty() || _pollingInProgress || _testingDevice)
        return false;
    _callback = callback;
    _pollingInProgress = true;
    pollNextDevice();
    return true;
}

void QVBTDeviceScanner::pollNextDevice()
{
    while (!_knownDevices.isEmpty()) {
        _pollingDevice = _knownDevices.takeFirst();
        std::weak_ptr<bool> alive = _alive;
        std::shared_ptr<platform::BluetoothDevice> device = _pollingDevice;
        const int started = device->openConnectionAsync([this, alive, device](int status) {
            if (alive.lock())
                connectionComplete(device, status);
        });
        if (started == 0)
            return;
        report(device, false, false);
    }
    _pollingDevice.reset();
    _pollingInProgress = false;
    if (QVBTDeviceScannerCallback* callback = std::exchange(_callback, nullptr))
        callback->pollingComplete(*this);
}

void QVBTDeviceScanner::connectionComplete(const std::shared_ptr<platform::BluetoothDevice>& device, int status)
{
    const bool single = device == _testingDevice;
    if (status != 0) {
        report(device, false, single);
        if (!single)
            pollNextDevice();
        return;
    }
    // The link is closed a moment after it came up, then the next one goes.
    _close->setCallback([this, device, single] {
        device->closeConnection();
        report(device, true, single);
        if (!single)
            pollNextDevice();
    });
    _close->start(kCloseDelay);
}

void QVBTDeviceScanner::report(const std::shared_ptr<platform::BluetoothDevice>& device, bool available, bool single)
{
    if (single) {
        _testingDevice.reset();
        if (QVBTDeviceScannerCallback* callback = std::exchange(_callback, nullptr))
            callback->pollingDevice(*this, device->addressString(), available);
        return;
    }
    if (_callback)
        _callback->pollingDeviceFound(*this, device->addressString(), available);
}

bool QVBTDeviceScanner::testForAvailability(QVBTDeviceScannerCallback* callback, const QString& address)
{
    if (_testingDevice || _pollingInProgress)
        return false;
    std::shared_ptr<platform::BluetoothDevice> device = lumwick::withNSStringAddress(address);
    if (!device)
        return false;
    _testingDevice = device;
    _callback = callback;
    std::weak_ptr<bool> alive = _alive;
    const int started = device->openConnectionAsync([this, alive, device](int status) {
        if (alive.lock())
            connectionComplete(device, status);
    });
    if (started != 0)
        report(device, false, true);
    return true;
}

bool QVBTDeviceScanner::testForAvailabilityWithAddress(const QString& address)
{
    std::shared_ptr<platform::BluetoothDevice> device = lumwick::withNSStringAddress(address);
    if (!device || device->openConnection() != 0)
        return false;
    platform::runloop::runFor(kCloseDelay);
    device->closeConnection();
    return true;
}

QStringList QVBTDeviceScanner::getAvailableDevices()
{
    QStringList available;
    for (const std::shared_ptr<platform::BluetoothDevice>& device :
         platform::BluetoothStack::shared().pairedDevices()) {
        if (device->openConnection() != 0)
            continue;
        available.append(device->addressString());
        platform::runloop::runFor(kCloseDelay);
        device->closeConnection();
    }
    return available;
}
