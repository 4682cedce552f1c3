#pragma once

#include "phone/DZFileJobMakers.h"
#include "phone/MFDevice.h"

// The file jobs the phone's file tree builds, and the device makers that
// give a device its data manager, GUI notificator and root listing.
namespace filejobs {

DZFileJobMakers makers();
// Fills dataManager, guiNotificator and directoryListing.
void install(MFDevice::Makers& makers);

} // namespace filejobs
