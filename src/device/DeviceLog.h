#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.device".
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
