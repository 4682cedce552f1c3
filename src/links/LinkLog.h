#pragma once

#include "foundation/NamedLog.h"

#include <QLatin1String>

namespace links {

// Writes message() to the named log; the text is only built when the log is open.
template <class MessageFn>
void linkLog(const char* logName, MessageFn&& message)
{
    const QString name = QLatin1String(logName);
    if (QVLogIsNamedLogOpen(name))
        QVLogToNamedLog(name, message());
}

} // namespace links
