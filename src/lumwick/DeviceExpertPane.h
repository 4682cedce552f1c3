#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class DeviceExpert;

// What a device expert asks of the pane that lists it (the device-selection
// pane): the pane is an AKPaneController that also implements this.
class DeviceExpertPane {
public:
    virtual ~DeviceExpertPane() = default;

    // Judges the selection again (a check ended).
    virtual void validateButtons() = 0;
    // Whether Windows Mobile devices are offered.
    virtual bool enableWindowsMobile() const = 0;
    // Keeps an expert whose phone's pairing was broken, so that its link can
    // still be closed when the pane is left.
    virtual void addInvalidExpert(std::shared_ptr<DeviceExpert> expert) = 0;

    // The row form of one Bluetooth expert, "QVBTExpert" of the wizard's
    // bundle; the expert finds its outlets in it.
    static constexpr const char* kBluetoothTableEntryNibName = "QVBTExpert";
    virtual QWidget* loadBluetoothTableEntryNib();
    // The row form of one USB expert, "QVUSBExpert".
    static constexpr const char* kUSBTableEntryNibName = "QVUSBExpert";
    virtual QWidget* loadUSBTableEntryNib();
};
