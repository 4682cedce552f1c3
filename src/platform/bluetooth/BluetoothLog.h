#pragma once

#include <QLoggingCategory>

namespace platform {
// Console diagnostics of the Bluetooth layer ("marvesto.bluetooth").
Q_DECLARE_LOGGING_CATEGORY(lcBluetooth)
} // namespace platform
