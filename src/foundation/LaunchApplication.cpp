#include "foundation/LaunchApplication.h"

#include "platform/RunLoop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

constexpr double kLaunchSettleSeconds = 0.9;

QString resolveExecutable(const QString& candidate)
{
    if (candidate.contains(QLatin1Char('/')))
        return QFileInfo(candidate).isExecutable() ? candidate : QString();
    return QStandardPaths::findExecutable(candidate);
}

int startDetached(const QString& program, const QStringList& arguments, pid_t* processOut = nullptr)
{
    if (program.isEmpty())
        return launchstatus::kLaunchFailed;
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid))
        return launchstatus::kLaunchFailed;
    if (processOut)
        *processOut = pid_t(pid);
    return 0;
}

} // namespace

QString findApplicationForCreator(quint32 creator)
{
    if (creator == 0)
        return QString();
    for (const QString& candidate : applicationCandidatesForCreator(creator)) {
        const QString path = resolveExecutable(candidate);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

int LaunchQVURL(const QString& url)
{
    unsigned char buffer[256];
    CocoString2PString(url, buffer);
    return LaunchURL(buffer);
}

int LaunchURL(const unsigned char* pascalString)
{
    if (!pascalString || pascalString[0] == 0)
        return launchstatus::kLaunchFailed;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(pascalString + 1), pascalString[0]);
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid())
        return launchstatus::kLaunchFailed;
    return QDesktopServices::openUrl(url) ? 0 : launchstatus::kLaunchFailed;
}

void CocoString2PString(const QString& text, unsigned char buffer[256])
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > 255)
        bytes.truncate(255);
    buffer[0] = static_cast<unsigned char>(bytes.size());
    std::memcpy(buffer + 1, bytes.constData(), size_t(bytes.size()));
    if (bytes.size() < 255)
        buffer[1 + bytes.size()] = 0;
}

int LaunchQVURLInBack(const QString& applicationPath, const QString& documentPath)
{
    QStringList arguments;
    if (!documentPath.isEmpty())
        arguments << documentPath;
    return startDetached(applicationPath, arguments);
}

int LaunchQVURLInFrontCust(const QString& applicationPath, bool front, bool async)
{
    Q_UNUSED(async); // a detached start never waits
    pid_t process = 0;
    if (const int status = startDetached(applicationPath, {}, &process))
        return status;
    if (!front)
        return 0;
    return ActivatePSN(process) == 0 ? 0 : launchstatus::kLaunchFailed;
}

int LaunchQVURLInFront(const QString& applicationPath)
{
    return LaunchQVURLInFrontCust(applicationPath, true, true);
}

int LaunchAppAndMakeFront(quint32 creator)
{
    pid_t process = 0;
    if (MoreProcFindProcessByCreator(creator, &process) != 0) {
        const QString application = findApplicationForCreator(creator);
        if (application.isEmpty())
            return launchstatus::kApplicationNotFound;
        if (const int status = startDetached(application, {}))
            return status;
        platform::runloop::runFor(kLaunchSettleSeconds);
        if (const int status = MoreProcFindProcessByCreator(creator, &process))
            return status;
    }
    return ActivatePSN(process);
}

int LaunchBrowserAndMakeFront()
{
    return LaunchAppAndMakeFront(creators::kBrowser);
}

int LaunchiCalAndMakeFront()
{
    return LaunchAppAndMakeFront(creators::kCalendar);
}

int LaunchAddressBookAndMakeFront()
{
    return LaunchAppAndMakeFront(creators::kAddressBook);
}

int LaunchParamAppAndMakeFront()
{
    return -1;
}

int ActivatePSN(pid_t process)
{
    if (process == 0 || process == ::getpid())
        return 0;
    return ::kill(process, 0) == 0 || errno == EPERM ? 0 : launchstatus::kProcessNotFound;
}

int QuitAnApp(pid_t process)
{
    if (process <= 0)
        return launchstatus::kProcessNotFound;
    return ::kill(process, SIGTERM) == 0 ? 0 : launchstatus::kProcessNotFound;
}

int QuitAppWithCreator(quint32 creator)
{
    pid_t process = 0;
    if (const int status = MoreProcFindProcessByCreator(creator, &process))
        return status;
    return QuitAnApp(process);
}

QString getPathForApp(quint32 creator)
{
    pid_t process = 0;
    if (MoreProcFindProcessByCreator(creator, &process) != 0)
        return QString();
    ProcessInformation info;
    if (MoreProcGetProcessInformation(process, &info) != 0)
        return QString();
    return info.bundlePath;
}
