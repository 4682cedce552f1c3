#include "sync/SyncLog.h"

#include "foundation/NamedLog.h"
#include "platform/Exception.h"

Q_LOGGING_CATEGORY(lcSync, "marvesto.sync", QtInfoMsg)

namespace synclog {

void xt(const QString& message)
{
    QVLOG(qvlog::kXT, message);
}

void se(const QString& message)
{
    QVLOG(qvlog::kSE, message);
}

void system(const QString& message)
{
    qCWarning(lcSync).noquote() << message;
    QVLOG(qvlog::kXT, message);
}

QString caught(const QString& operation, const platform::Exception& e)
{
    return QString(19, QLatin1Char('#')) + QStringLiteral(" >> ") + operation + QStringLiteral(": Caught ") + e.name()
        + QStringLiteral(": ") + e.reason();
}

} // namespace synclog
