#pragma once

#include <QLoggingCategory>
#include <QString>

// Console diagnostics of the sync hub.
Q_DECLARE_LOGGING_CATEGORY(lcSyncEngine)

namespace platform::syncengine {

// A line for the "SE" log and the console: refused pushes, conflicts, a store
// moved aside.
void logLine(const QString& message);

} // namespace platform::syncengine
