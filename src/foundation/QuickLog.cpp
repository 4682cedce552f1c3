#include "foundation/QuickLog.h"

namespace {

bool copiedToQuick(const QString& logName)
{
    return logName == QLatin1String(qvlog::kXT) || logName == QLatin1String(qvlog::kSyncML);
}

void writeOne(const QString& logName, const QString& message, bool withTime)
{
    if (withTime)
        QVLogWith(logName, [&] { return message; });
    else
        QVLogNoTime(logName, message);
}

} // namespace

bool QuickLogInit()
{
    return QVLogCreateAndOpen(qvlog::logName(qvlog::kQuick));
}

namespace quicklog {

QString text(const QVariant& value)
{
    return value.toString();
}

bool wouldWrite(const QString& logName)
{
    return QVLogIsNamedLogOpen(logName) || (copiedToQuick(logName) && QVLogIsNamedLogOpen(qvlog::logName(qvlog::kQuick)));
}

void write(const QString& logName, const QString& message, bool withTime)
{
    writeOne(logName, message, withTime);
    if (copiedToQuick(logName))
        writeOne(qvlog::logName(qvlog::kQuick), message, withTime);
}

} // namespace quicklog
