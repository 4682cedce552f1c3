#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class DeviceExpert;

// What every host of wizard panes implements: the stand-alone wizard window,
// and later the program's main window and teach-in sheet.
class QVWizardCallbacks {
public:
    virtual ~QVWizardCallbacks() = default;

    // The host's device object; opaque to the panes.
    virtual void setDevice(std::shared_ptr<void> device) = 0;
    virtual std::shared_ptr<void> device() const = 0;
    virtual void setDeviceExpert(std::shared_ptr<DeviceExpert> expert) = 0;
    virtual std::shared_ptr<DeviceExpert> deviceExpert() const = 0;
    // Every support decision of the wizard ends here.
    virtual bool isValid(const QVariantMap& properties) = 0;
    virtual void goToNextPane() = 0;
    // Device experts ask unconditionally; a null image lets them use their own.
    virtual QImage getStatusIcon(int kind) = 0;
};

// Hosts may answer these further calls; panes look for them and send them only
// to a host that has them.
class QVWizardNextPaneSwitch {
public:
    virtual ~QVWizardNextPaneSwitch() = default;
    virtual void enableChangeToNextPane(bool enable) = 0;
};

class QVWizardNextButton {
public:
    virtual ~QVWizardNextButton() = default;
    // titleKey is a key of the wizard's string table.
    virtual void setNextButtonEnabled(bool enable, const QString& titleKey) = 0;
};

class QVWizardPreviousButton {
public:
    virtual ~QVWizardPreviousButton() = default;
    virtual void setPreviousButtonEnabled(bool enable) = 0;
};

// Hosts (and stand-alone wizard owners) that know the program's phones answer
// this: a new phone's serial port name must differ from every known phone's.
class QVWizardSerialPortNames {
public:
    virtual ~QVWizardSerialPortNames() = default;
    // base itself when no phone has it, else base with a number.
    virtual QString getUniqueSerialPortNameWithBaseString(const QString& base) = 0;
};

namespace lumwick {
// base, or base-1, base-2, ... the first that taken does not hold.
QString uniqueSerialPortName(const QString& base, const QStringList& taken);
}
