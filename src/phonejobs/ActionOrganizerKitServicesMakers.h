#pragma once

#include "phone/DZFileJobMakers.h"

// The data manager's choice of the organizer-kit jobs: the phonebook and the
// calendar of a Motorola or LG phone, and the SMS of a phone that reads them
// over its serial link. Types the kit jobs do not serve (SyncML, the Samsung
// families) go to the makers installed before.
namespace kitjobs {

void installOrganizerJobs(DZFileJobMakers& makers);

} // namespace kitjobs
