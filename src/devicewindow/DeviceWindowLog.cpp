#include "devicewindow/DeviceWindowLog.h"

Q_LOGGING_CATEGORY(lcDeviceWindow, "marvesto.devicewindow")
