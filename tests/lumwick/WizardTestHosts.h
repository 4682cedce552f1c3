#pragma once

// Stand-ins for a wizard host and the device-selection pane, for tests that
// make device experts (the wizard's tests and the program's).
#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/QVWizardCallbacks.h"

#include <functional>

namespace wizardtest {

// Accepts what accept() accepts (everything unless set).
struct Host : QVWizardCallbacks {
    std::function<bool(const QVariantMap&)> accept;
    void setDevice(std::shared_ptr<void>) override { }
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert>) override { }
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return nullptr; }
    bool isValid(const QVariantMap& properties) override { return !accept || accept(properties); }
    void goToNextPane() override { }
    QImage getStatusIcon(int) override { return {}; }
};

// Gives experts their rows; ignores what they tell it.
struct Pane : AKPaneController, DeviceExpertPane {
    void validateButtons() override { }
    bool enableWindowsMobile() const override { return false; }
    void addInvalidExpert(std::shared_ptr<DeviceExpert>) override { }
};

} // namespace wizardtest
