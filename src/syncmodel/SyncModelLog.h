#pragma once

#include <QLoggingCategory>

// Console diagnostics of the sync items and their lists.
Q_DECLARE_LOGGING_CATEGORY(lcSyncModel)
