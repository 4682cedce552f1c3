#pragma once

#include "phone/DZFileJobMakers.h"

// The data manager's first choice of organizer job: the SyncML job for every
// type the device's sync description syncs over SyncML. Other types go to
// the makers installed before.
namespace syncmljobs {

void installOrganizerJobs(DZFileJobMakers& makers);

} // namespace syncmljobs
