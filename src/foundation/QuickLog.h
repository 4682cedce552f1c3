#pragma once

#include "foundation/NamedLog.h"

#include <QString>

#include <concepts>
#include <type_traits>

// The one call the program's code writes a log line with. The message is built
// once from the format ("%1", "%2", ... as in QString::arg) and its arguments,
// in a single pass, so texts inside the arguments (a "%1" or a "%@" in a file
// name) are written as they stand. Lines of "XT" and "SyncML" are copied into
// the combined log "Quick", which so holds both in the order of writing; the
// copy depends only on the name, so it is written even while "SyncML" itself
// is closed. Nothing is formatted when no log would take the line. Safe from
// any thread: the log table and each append are guarded by the named logs.
//
//   QuickLogToNamedLog(qvlog::kXT, QStringLiteral("read %1 contacts from %2"), count, name);

// Opens the combined log "Quick"; true when it is open afterwards.
bool QuickLogInit();

namespace quicklog {

// Whether a line for the log would be written anywhere.
bool wouldWrite(const QString& logName);
// Writes the finished message with a time stamp (or without) to the log and,
// for "XT" and "SyncML", to "Quick".
void write(const QString& logName, const QString& message, bool withTime);

inline QString text(const QString& value) { return value; }
inline QString text(const char* value) { return QString::fromUtf8(value); }
inline QString text(QChar value) { return QString(value); }
inline QString text(bool value) { return value ? QStringLiteral("YES") : QStringLiteral("NO"); }
inline QString text(const QByteArray& value) { return QString::fromUtf8(value); }
QString text(const QVariant& value);
template <std::integral T>
    requires(!std::is_same_v<T, bool>)
QString text(T value)
{
    return QString::number(value);
}
inline QString text(double value) { return QString::number(value); }

template <class... Args>
QString format(const QString& format, const Args&... args)
{
    if constexpr (sizeof...(Args) == 0)
        return format;
    else
        return format.arg(text(args)...);
}

} // namespace quicklog

template <class Name, class... Args>
void QuickLogToNamedLog(const Name& logName, const QString& format, const Args&... args)
{
    const QString& name = qvlog::logName(logName);
    if (quicklog::wouldWrite(name))
        quicklog::write(name, quicklog::format(format, args...), true);
}

// The same, each line without the time stamp (continuation lines, dumps).
template <class Name, class... Args>
void QuickLogNoTime(const Name& logName, const QString& format, const Args&... args)
{
    const QString& name = qvlog::logName(logName);
    if (quicklog::wouldWrite(name))
        quicklog::write(name, quicklog::format(format, args...), false);
}
