#include "syncengine/SyncEngineLog.h"

#include "foundation/NamedLog.h"
#include "syncengine/SyncEngineNames.h"

Q_LOGGING_CATEGORY(lcSyncEngine, "marvesto.syncengine", QtInfoMsg)

namespace platform::syncengine {

void logLine(const QString& message)
{
    qCInfo(lcSyncEngine).noquote() << message;
    QVLOG(qvlog::kSE, message);
}

} // namespace platform::syncengine

namespace platform {

QString syncDateText(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return date.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace platform
