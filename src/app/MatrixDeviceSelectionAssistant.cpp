// The phone matrix's assistant step: adding a phone through the main
// window's wizard sheet before the USB search.
#include "app/MatrixDeviceSelectionController.h"

#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexKeys.h"
#include "app/TarnexWizardSheet.h"

#include "foundation/NamedLog.h"
#include "lumwick/DeviceExpert.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

void MatrixDeviceSelectionController::setUseAssistant(bool use)
{
    useAssistant_ = use;
    if (!use)
        if (TarnexController* host = tarnex())
            host->missingPhoneButtonShowsAssistant();
}

void MatrixDeviceSelectionController::runAssistant()
{
    TarnexController* host = tarnex();
    if (!host) {
        addNewDevicesNew();
        return;
    }
    std::weak_ptr<int> alive = alive_;
    host->wizardSheet()->begin([this, alive](std::shared_ptr<DeviceExpert> chosen) {
        if (!alive.expired())
            assistantEnded(std::move(chosen));
    });
}

void MatrixDeviceSelectionController::assistantEnded(std::shared_ptr<DeviceExpert> chosen)
{
    TarnexController* host = tarnex();
    if (!host)
        return;
    if (chosen) {
        // The chosen phone becomes the phone object; the connecting pane
        // stores it in the device list and opens it.
        host->setDeviceExpert(chosen);
        if (const std::shared_ptr<MirrovanceDevice> phone = host->phoneObject())
            phone->setDorvantiDict(phone->dorvantiDict(),
                                   QLatin1String(chosen->isUSBExpert() ? "USB-Serial" : "Bluetooth"));
        host->setNewPhone(true);
        QVLOG(qvlog::kXT, QStringLiteral("assistant chose %1").arg(chosen->description()));
        host->switchToNamedPane(QLatin1String(tarnexkeys::kConnectingPane), 1);
        return;
    }
    setStatus(platform::localizedString(QStringLiteral("kAssistantFinished")));
    platform::runloop::performAfterDelay(this, QStringLiteral("addNewDevicesNew"), kAssistantFinishedDelay,
                                         [this, alive = std::weak_ptr<int>(alive_)] {
                                             if (!alive.expired())
                                                 addNewDevicesNew();
                                         });
}
