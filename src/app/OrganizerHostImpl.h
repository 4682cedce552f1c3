#pragma once

#include "organizer/OrganizerHost.h"
#include "phone/MFDevice.h"

// The application shell as the organizer windows see it: the trash period of
// the application controller and the main window's current phone.
class ProgramOrganizerHost : public OrganizerHost {
public:
    int emptyTrashPeriod() override;
    std::optional<QVariantMap> currentPhoneEntry() override;
    bool restoreToCurrentPhone(const QList<TrashedItem*>& items) override;
};

namespace organizerhost {

// Installs the program's host (once).
void install();
// The device's trash maker: the shared trash clears its phone ids.
void fillMakers(MFDevice::Makers& makers);
// The Window menu's "Organizer Trash" and the main window's seam.
void openOrganizerTrash();

} // namespace organizerhost
