#pragma once

#include "lumwick/AKMainController.h"

#include <memory>

// The wizard library's entry object: runs at most one stand-alone wizard.
class QVUIKit {
public:
    QVUIKit();
    ~QVUIKit();

    // The device-selection and pairing panes of the standard sequence.
    void setPaneFactories(AKMainController::PaneFactory deviceSelection,
                          AKMainController::PaneFactory bluetoothPairing);

    // NO without an owner or while a wizard runs.
    bool startWizardWithOwner(std::shared_ptr<LumwickProtocol> owner);
    // Releases the wizard (on the GUI thread); a new one may start after.
    void stop();
    QDialog* wizardWindow() const;
    AKMainController* mainController() const { return m_mainController.get(); }

private:
    std::unique_ptr<AKMainController> m_mainController;
    AKMainController::PaneFactory m_deviceSelection;
    AKMainController::PaneFactory m_bluetoothPairing;
};

class QVUIKitTools {
public:
    // The file the Bluetooth identification cache lives in.
    static QString bluetoothCachePath();
    // Deletes that file when it exists; nothing else.
    static void clearQuorvalisBluetoothCache();
};
