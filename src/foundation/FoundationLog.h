#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.foundation".
Q_DECLARE_LOGGING_CATEGORY(lcFoundation)
