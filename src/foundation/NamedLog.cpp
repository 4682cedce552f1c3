#include "foundation/NamedLog.h"

#include "foundation/QVFileLog.h"
#include "foundation/QVReporter.h"

#include "platform/Clock.h"

#include <QByteArray>

#include <cstdio>

namespace {

constexpr const char* kTimeStampFormat = "yyyy-MM-dd HH:mm:ss.zzz";

QString timeStamp()
{
    return platform::Clock::instance().currentDateTime().toLocalTime().toString(QString::fromLatin1(kTimeStampFormat));
}

void writeStamped(const std::shared_ptr<QVFileLog>& log, const QString& message)
{
    log->writeString(QStringLiteral("%1: %2\n").arg(timeStamp(), message));
}

QString fromC(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

bool QVLogIsNamedLogOpen(const QString& logName)
{
    return QVFileLog::sharedLogWithName(logName) != nullptr;
}

void QVLogToNamedLog(const QString& logName, const QString& message)
{
    if (std::shared_ptr<QVFileLog> log = QVFileLog::sharedLogWithName(logName))
        writeStamped(log, message);
}

void QVLogNoTime(const QString& logName, const QString& message)
{
    if (std::shared_ptr<QVFileLog> log = QVFileLog::sharedLogWithName(logName))
        log->writeString(message + QLatin1Char('\n'));
}

bool QVLogCreateAndOpenForApp(const QString& logName, const QString& owner)
{
    return QVFileLog::openSharedLog(logName, owner);
}

bool QVLogCreateAndOpen(const QString& logName)
{
    return QVLogCreateAndOpenForApp(logName, QString());
}

void QVLogNamedSetPrivate(const QString& logName, bool isPrivate)
{
    if (std::shared_ptr<QVFileLog> log = QVFileLog::sharedLogWithName(logName))
        log->setPrivate(isPrivate);
}

void QVLogIORegistry(bool on)
{
    QVReporter::sharedQVReporter().setLogIORegistry(on);
}

void QVLogNamedSetSysLogParams(const QStringList& params)
{
    QVReporter::sharedQVReporter().setSysLogParams(params);
}

void QVLogNamedSetRecipient(const QString& recipient)
{
    QVReporter::sharedQVReporter().setRecipient(recipient);
}

void QVLogNamedSetPackageAndApplicationName(const QString& package, const QString& application)
{
    QVReporter::sharedQVReporter().setPackageAndApplicationName(package, application);
}

QString QVPathForLogFile(const QString& fileName)
{
    return QVFileLog::logFolder() + QLatin1Char('/') + fileName;
}

extern "C" {

int QVLogIsNamedLogOpen(const char* logName)
{
    return logName && QVLogIsNamedLogOpen(QString::fromUtf8(logName)) ? 1 : 0;
}

void QVLogToNamedLogV(const char* logName, const char* format, va_list args)
{
    if (!logName || !format)
        return;
    std::shared_ptr<QVFileLog> log = QVFileLog::sharedLogWithName(QString::fromUtf8(logName));
    if (!log)
        return;
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length < 0)
        return;
    QByteArray buffer(length + 1, Qt::Uninitialized);
    std::vsnprintf(buffer.data(), size_t(buffer.size()), format, args);
    buffer.truncate(length);
    writeStamped(log, QString::fromUtf8(buffer));
}

void QVLogToNamedLog(const char* logName, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    QVLogToNamedLogV(logName, format, args);
    va_end(args);
}

int QVLogCreateAndOpen(const char* logName)
{
    return QVLogCreateAndOpen(fromC(logName)) ? 1 : 0;
}

int QVLogCreateAndOpenForApp(const char* logName, const char* owner)
{
    return QVLogCreateAndOpenForApp(fromC(logName), fromC(owner)) ? 1 : 0;
}

} // extern "C"
