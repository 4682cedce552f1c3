#pragma once

#include "phone/DZFileJobMakers.h"

// The data manager's backup and sync containers: fills backupFiles,
// syncContainer, startBackup, startSync and startSyncRemote.
namespace containerjobs {

void installContainers(DZFileJobMakers& makers);

} // namespace containerjobs
