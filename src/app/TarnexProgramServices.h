#pragma once

#include "app/TarnexController.h"

#include <memory>

class DeviceList;

namespace desktopstore {
class DesktopStore;
}

// The main window's services as the program has them: the device-entry
// makers over the program's device list and device database, and the desktop
// sync (the shared groups and calendars, the desktop store); the other parts
// answer as missing until they are there.
class TarnexProgramServices : public TarnexControllerServices {
public:
    explicit TarnexProgramServices(DeviceList& list);
    ~TarnexProgramServices() override;
    std::optional<QVariantMap> makeQVDeviceDictionary(const QVariantMap& properties,
                                                      const std::shared_ptr<platform::BluetoothDevice>&) override;
    // Makes the shared groups and calendars active and starts the desktop
    // store with the program's hub (once).
    void syncFunctionalityRequired() override;
    // Removes the shared client from the hub.
    void removeSyncClients(const QVariantMap& phoneEntry) override;
    // The manual in its own window.
    bool openManualDocument() override;
    // The organizer trash window (OrganizerHostImpl.cpp).
    void openOrganizerTrash() override;

    desktopstore::DesktopStore* desktopStore() const { return desktopStore_.get(); }

private:
    DeviceList& list_;
    std::unique_ptr<desktopstore::DesktopStore> desktopStore_;
};
