#include "syncmodel/SyncModelLog.h"

Q_LOGGING_CATEGORY(lcSyncModel, "marvesto.syncmodel", QtInfoMsg)
