#include "kitbridges/KitBridgesLog.h"

#include "foundation/NamedLog.h"

Q_LOGGING_CATEGORY(lcKitBridges, "marvesto.kitbridges")

void MMConnLog(const QString& line)
{
    QVLOG(qvlog::kConn, line);
}

void MMXTLog(const QString& line)
{
    QVLOG(qvlog::kXT, line);
}
