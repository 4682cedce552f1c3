#pragma once

#include <QString>

// Named log files: <logs folder>/<name>.log, one line per message:
// "YYYY-MM-DD HH:MM:SS.mmm: message". Writing to a log that is not open does
// nothing and creates nothing. Safe from any thread.
//
// Hot paths log through QVLOG so the message is only built when the log is
// open:  QVLOG("Conn", QStringLiteral("sent %1 bytes").arg(n));

bool QVLogIsNamedLogOpen(const QString& logName);
void QVLogToNamedLog(const QString& logName, const QString& message);

#define QVLOG(logName, message)                                                                   \
    do {                                                                                          \
        if (QVLogIsNamedLogOpen(QStringLiteral(logName)))                                         \
            QVLogToNamedLog(QStringLiteral(logName), (message));                                  \
    } while (0)
