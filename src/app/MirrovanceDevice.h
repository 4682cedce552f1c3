#pragma once

#include "lumwick/DeviceExpert.h"

#include <QString>
#include <QVariantMap>

#include <memory>

class MFDevice;

// The main window's current phone: what the device matrix chose (the phone's
// device-list entry, the connection type and a wizard-style properties
// dictionary) and, once opened, the open phone. Opening and closing the phone
// belong to the connect hand-over; until it is there the open phone stays
// empty.
class MirrovanceDevice : public DeviceExpert {
public:
    // Defaults of an automated stress run.
    static constexpr const char* kIsStressTest = "isStressTest";
    static constexpr const char* kStressTestDeviceID = "stressTestDeviceID";
    static constexpr const char* kStressTestBluetoothAddress = "stressTestBluetoothAddress";

    // Made for the main window with the device matrix pane as its pane.
    explicit MirrovanceDevice(AKPaneController* controller = nullptr);
    // Made from a wizard's expert: shares its pane, properties and device.
    static std::shared_ptr<MirrovanceDevice> withDeviceExpert(const DeviceExpert& expert);

    // The phone's device-list entry and how it is reached ("Bluetooth",
    // "USB-Serial"); empty until the device matrix sets them.
    void setDorvantiDict(const QVariantMap& entry, const QString& connType);
    const QVariantMap& dorvantiDict() const { return dorvantiDict_; }
    const QString& connType() const { return connType_; }
    bool hasDorvantiDict() const { return !dorvantiDict_.isEmpty(); }

    // Whether the user defaults ask for an automated stress run.
    static bool isStressTestInProgress();

    // The open phone; null while none is open.
    std::shared_ptr<MFDevice> mfDevice() const { return mfDevice_; }
    // The phone the connect hand-over opened.
    void setMFDevice(std::shared_ptr<MFDevice> device) { mfDevice_ = std::move(device); }
    // Closes the open phone and forgets the properties and the Bluetooth
    // device.
    virtual void releaseDorvantiStuff();

private:
    QVariantMap dorvantiDict_;
    QString connType_;
    std::shared_ptr<MFDevice> mfDevice_;
};
