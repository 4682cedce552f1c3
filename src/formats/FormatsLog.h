#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.formats".
Q_DECLARE_LOGGING_CATEGORY(lcFormats)
