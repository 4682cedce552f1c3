#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.platform".
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
