#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

class AKPaneController;
class QVWizardCallbacks;

// One phone the wizard found: its properties (the wizard's result), the pane
// that shows it, and the support and pairing decisions made from them.
class DeviceExpert {
public:
    // Keys of the properties dictionary read here.
    static constexpr const char* kDeviceUserNameKey = "Wizard.DeviceUserName";
    static constexpr const char* kDeviceIDKey = "Wizard.QuorvalisDeviceID";
    static constexpr const char* kModelNameKey = "Wizard.ModelName";
    static constexpr const char* kStalePairingKey = "Wizard.HasDeviceStalePairing";
    static constexpr const char* kProductKey = "product";

    // Status image kinds (getStatusIcon).
    enum StatusIcon { kIconEmpty = 0, kIconStop = 1, kIconOk = 2, kIconAttention = 3, kIconUSB = 10, kIconUSBStorage = 11 };

    explicit DeviceExpert(AKPaneController* controller = nullptr);
    // Shares the other expert's controller and properties, copies its kind.
    static DeviceExpert withDeviceExpert(const DeviceExpert& other);
    virtual ~DeviceExpert() = default;

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

    QVariantMap getPropertiesDictionary() const { return m_properties; }
    QVariantMap deviceProperties() const { return m_properties; }
    void setDeviceProperties(const QVariantMap& properties) { m_properties = properties; }

    // Typed reads: a value of another type reads as absent (empty, 0).
    QString stringProperty(const char* key) const;
    qint64 numberProperty(const char* key) const;

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

protected:
    QVariantMap m_properties;
    AKPaneController* m_controller = nullptr;   // the pane outlives its experts
    int m_error = 0;
    bool m_usbExpert = false;
    bool m_bluetoothExpert = false;
};
