#include "phone/HistoryName.h"

#include <QFileInfo>

namespace historyname {

namespace {
constexpr int kTimeLength = 15;
constexpr int kMaxSecondsAhead = 100000;
} // namespace

QString timeText(const QDateTime& time)
{
    return time.toLocalTime().toString(QLatin1String(kTimeFormat));
}

QString datedPath(const QString& folder, const QString& prefix, const QDateTime& time)
{
    return QStringLiteral("%1/%2-%3").arg(folder, prefix, timeText(time));
}

QString freeDatedPath(const QString& folder, const QString& prefix, const QDateTime& time)
{
    for (int second = 0; second < kMaxSecondsAhead; ++second) {
        const QString path = datedPath(folder, prefix, time.addSecs(second));
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return path;
    }
    return QString();
}

QDateTime timeOfName(const QString& name, const QString& prefix)
{
    if (name.size() != prefix.size() + 1 + kTimeLength || !name.startsWith(prefix)
        || name.at(prefix.size()) != QLatin1Char('-'))
        return QDateTime();
    return QDateTime::fromString(name.right(kTimeLength), QLatin1String(kTimeFormat));
}

} // namespace historyname
