#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.app".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
