#pragma once

#include <QImage>
#include <QString>
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
