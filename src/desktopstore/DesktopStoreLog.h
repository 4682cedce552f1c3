#pragma once

#include <QLoggingCategory>

// Console diagnostics of the desktop store.
Q_DECLARE_LOGGING_CATEGORY(lcDesktopStore)
