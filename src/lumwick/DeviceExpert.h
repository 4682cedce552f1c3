#pragma once

#include "usbdevice/DZDeviceProperties.h"

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <memory>

class AKPaneController;
class QVWizardCallbacks;

namespace platform {
class BluetoothDevice;
}

// One phone the wizard found: its properties (the wizard's result), the pane
// that shows it, and the support and pairing decisions made from them.
class DeviceExpert {
public:
    // Status image kinds (getStatusIcon).
    enum StatusIcon { kIconEmpty = 0, kIconStop = 1, kIconOk = 2, kIconAttention = 3, kIconUSB = 10, kIconUSBStorage = 11 };

    explicit DeviceExpert(AKPaneController* controller = nullptr);
    // Shares the other expert's controller, properties and device, copies its
    // kind.
    static DeviceExpert withDeviceExpert(const DeviceExpert& other);
    virtual ~DeviceExpert();

    AKPaneController* controller() const { return m_controller; }
    void setController(AKPaneController* controller) { m_controller = controller; }

    // Abstract: throws "Not implemented exception".
    virtual bool isReady();
    bool isUnsupportedDevice() const { return !isSupportedDevice(); }
    // NO for model id -1 without asking; else the host's isValid. An expert
    // without a controller logs and answers NO.
    bool isSupportedDevice() const;
    bool doesNeedPairing() const;

    void setError(int error) { m_error = error; }
    bool hadError() const { return m_error != 0; }
    int error() const { return m_error; }

    // The properties object (shared by copies of the expert); null until set.
    const std::shared_ptr<DZDeviceProperties>& properties() const { return m_properties; }
    void setProperties(std::shared_ptr<DZDeviceProperties> properties) { m_properties = std::move(properties); }
    // The wizard's result: a copy of the properties dictionary.
    QVariantMap getPropertiesDictionary() const;
    QVariantMap deviceProperties() const { return getPropertiesDictionary(); }
    // Wraps the dictionary in a new properties object.
    void setDeviceProperties(const QVariantMap& properties);

    // The phone's Bluetooth device; null for a USB phone.
    const std::shared_ptr<platform::BluetoothDevice>& device() const { return m_device; }
    void setDevice(std::shared_ptr<platform::BluetoothDevice> device);
    virtual bool isPaired();
    // Closes the phone's baseband link dependably; true when it is down.
    virtual bool closeConnection();

    virtual bool expertFinished();
    virtual bool isReachable();
    virtual QString description() const;

    // The host's image first, else the wizard's own image of the kind; null
    // for a kind without one.
    QImage getStatusIcon(int kind) const;
    static QString statusIconName(int kind);

    bool isUSBExpert() const { return m_usbExpert; }
    bool isBluetoothExpert() const { return m_bluetoothExpert; }
    QVWizardCallbacks* mainController() const;
    void setMainController(QVWizardCallbacks* host);

protected:
    // The properties, made empty when there are none yet.
    DZDeviceProperties& props();
    const DZDeviceProperties* readProps() const { return m_properties.get(); }
    // "<className> with properties: <the properties' description>".
    QString describedAs(const char* className) const;

    std::shared_ptr<DZDeviceProperties> m_properties;
    std::shared_ptr<platform::BluetoothDevice> m_device;
    AKPaneController* m_controller = nullptr;   // the pane outlives its experts
    int m_error = 0;
    bool m_usbExpert = false;
    bool m_bluetoothExpert = false;
};
