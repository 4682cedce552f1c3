#pragma once

#include <QString>
#include <QStringList>

#include <cstdarg>

// Named log files: <logs folder>/<name>.log, one line per message:
// "YYYY-MM-DD HH:MM:SS.mmm: message". Writing to a log that is not open does
// nothing and creates nothing. Safe from any thread.
//
// Hot paths log through QVLOG so the message is only built when the log is
// open:  QVLOG(qvlog::kConn, QStringLiteral("sent %1 bytes").arg(n));

// Log names in use.
namespace qvlog {
inline constexpr const char* kXT = "XT";
inline constexpr const char* kConn = "Conn";
inline constexpr const char* kSE = "SE";
inline constexpr const char* kVCard = "VCard";
inline constexpr const char* kVDEV = "VDEV";
inline constexpr const char* kQuick = "Quick";
inline constexpr const char* kSyncML = "SyncML";
inline constexpr const char* kStandard = "standard";
inline constexpr const char* kSMSKit = "SMSKit";
} // namespace qvlog

bool QVLogIsNamedLogOpen(const QString& logName);
// Appends "<time stamp>: <message>\n" when the log is open.
void QVLogToNamedLog(const QString& logName, const QString& message);
// Appends "<message>\n" without a stamp when the log is open.
void QVLogNoTime(const QString& logName, const QString& message);

// Opens a log (owner empty = the program's own log folder). Opening a name
// already open answers true and does nothing else: the file is rotated to
// <name>-last.log once per run. False for an empty name or when the folder
// cannot be made.
bool QVLogCreateAndOpenForApp(const QString& logName, const QString& owner);
bool QVLogCreateAndOpen(const QString& logName);

// A private log stays out of the report (its -last file does not).
void QVLogNamedSetPrivate(const QString& logName, bool isPrivate);

// Report settings (QVReporter).
void QVLogIORegistry(bool on);
void QVLogNamedSetSysLogParams(const QStringList& params);
void QVLogNamedSetRecipient(const QString& recipient);
void QVLogNamedSetPackageAndApplicationName(const QString& package, const QString& application);

// "<logs folder of the log owner>/<fileName>".
QString QVPathForLogFile(const QString& fileName);

namespace qvlog {
inline QString logName(const char* name)
{
    return QString::fromLatin1(name);
}
inline const QString& logName(const QString& name)
{
    return name;
}
} // namespace qvlog

// Writes makeMessage() to the named log; the text is only built when the log
// is open. The name may be a constant of qvlog or any QString.
template <class Name, class MessageFn>
void QVLogWith(const Name& logName, MessageFn&& makeMessage)
{
    const QString& name = qvlog::logName(logName);
    if (QVLogIsNamedLogOpen(name))
        QVLogToNamedLog(name, makeMessage());
}

#define QVLOG(logName, message) QVLogWith((logName), [&] { return QString(message); })

// The C interface exported from the program. The organizer-kit library does
// not link against it: it looks the functions up by name at run time
// (dlsym(RTLD_DEFAULT, "QVLogIsNamedLogOpen") and "QVLogToNamedLog") and
// logs only when both exist and the log is open. Names and signatures are a
// fixed interface between the two binaries:
//   int  QVLogIsNamedLogOpen(const char* name)              1 when open, else 0
//   void QVLogToNamedLog(const char* name, const char* format, ...)
//        format is a printf format (UTF-8), its arguments follow; nothing is
//        formatted when the log is not open
//   int  QVLogCreateAndOpen(const char* name)                1 on success
//   int  QVLogCreateAndOpenForApp(const char* name, const char* owner)
//        owner NULL or "" = the program's own log folder
// All strings are NUL-terminated UTF-8; a NULL name is a closed log.
#define QV_LOG_EXPORT __attribute__((visibility("default"), used))
extern "C" {
QV_LOG_EXPORT int QVLogIsNamedLogOpen(const char* logName);
QV_LOG_EXPORT void QVLogToNamedLog(const char* logName, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
QV_LOG_EXPORT void QVLogToNamedLogV(const char* logName, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));
QV_LOG_EXPORT int QVLogCreateAndOpen(const char* logName);
QV_LOG_EXPORT int QVLogCreateAndOpenForApp(const char* logName, const char* owner);
}
