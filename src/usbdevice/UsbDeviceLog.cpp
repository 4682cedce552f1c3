#include "usbdevice/UsbDeviceLog.h"

Q_LOGGING_CATEGORY(lcUsbDevice, "marvesto.usbdevice", QtInfoMsg)
