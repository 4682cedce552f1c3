#pragma once

#include <QLoggingCategory>

// Console diagnostics of the device object.
Q_DECLARE_LOGGING_CATEGORY(lcPhone)
