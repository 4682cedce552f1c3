#include "desktopstore/DesktopStoreLog.h"

Q_LOGGING_CATEGORY(lcDesktopStore, "marvesto.desktopstore", QtInfoMsg)
