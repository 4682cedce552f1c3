#include "device/DeviceLog.h"

Q_LOGGING_CATEGORY(lcDevice, "marvesto.device", QtInfoMsg)
