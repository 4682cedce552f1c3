#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.usbdevice".
Q_DECLARE_LOGGING_CATEGORY(lcUsbDevice)
