#pragma once

#include <QLoggingCategory>
#include <QString>

// Console diagnostics of the sync clients.
Q_DECLARE_LOGGING_CATEGORY(lcSync)

namespace platform {
class Exception;
}

namespace synclog {

// A line for the "XT" log; a line for the "SE" log.
void xt(const QString& message);
void se(const QString& message);
// A line for the console and the "XT" log (the hub's failures).
void system(const QString& message);
// "################### >> <operation>: Caught <name>: <reason>".
QString caught(const QString& operation, const platform::Exception& e);

} // namespace synclog
