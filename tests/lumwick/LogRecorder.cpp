#include "LogRecorder.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
QStringList& recorded()
{
    static QStringList lines;
    return lines;
}
} // namespace

extern "C" __attribute__((visibility("default"), used)) int QVLogIsNamedLogOpen(const char* name)
{
    return name && std::strcmp(name, "Lumwick") == 0;
}

extern "C" __attribute__((visibility("default"), used)) void QVLogToNamedLog(const char* name, const char* format, ...)
{
    if (!QVLogIsNamedLogOpen(name))
        return;
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    recorded().append(QString::fromUtf8(buffer));
}

namespace logRecorder {
void clear() { recorded().clear(); }
const QStringList& lines() { return recorded(); }
bool contains(const QString& line) { return recorded().contains(line); }
} // namespace logRecorder
