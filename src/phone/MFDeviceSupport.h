#pragma once

#include "foundation/NamedLog.h"
#include "platform/Clock.h"

#include <QDebug>
#include <QString>
#include <QVariantMap>

// What the device object's source files share: the clock and the log lines.
namespace mfdevice {

inline double now()
{
    return platform::Clock::instance().now();
}

inline void logConn(const QString& message)
{
    QVLOG(qvlog::kConn, message);
}

inline void logXT(const QString& message)
{
    QVLOG(qvlog::kXT, message);
}

inline QString describe(const QVariantMap& map)
{
    QString text;
    QDebug(&text).noquote() << map;
    return text;
}

} // namespace mfdevice
