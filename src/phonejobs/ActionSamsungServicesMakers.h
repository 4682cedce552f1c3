#pragma once

#include "phone/DZFileJobMakers.h"

// The data manager's choice of the Samsung sync jobs: the contacts and the
// calendar of a phone on the Samsung AT family (unless the type goes over
// SyncML). Other types and phones go to the makers installed before.
namespace samsungjobs {

void installOrganizerJobs(DZFileJobMakers& makers);

} // namespace samsungjobs
