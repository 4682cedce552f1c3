#include "foundation/MoreProcesses.h"

#include "foundation/FoundationLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>

#include <mutex>
#include <unistd.h>

namespace {

struct CreatorTable {
    std::mutex mutex;
    QHash<quint32, QStringList> executables{
        {creators::kBrowser,
         {QStringLiteral("firefox-esr"), QStringLiteral("firefox"), QStringLiteral("chromium"),
          QStringLiteral("epiphany"), QStringLiteral("konqueror")}},
        {creators::kCalendar,
         {QStringLiteral("gnome-calendar"), QStringLiteral("korganizer"), QStringLiteral("evolution")}},
        {creators::kAddressBook,
         {QStringLiteral("gnome-contacts"), QStringLiteral("kaddressbook"), QStringLiteral("evolution")}},
    };
};

CreatorTable& creatorTable()
{
    static CreatorTable table;
    return table;
}

bool missingOutput(const void* output, const char* condition)
{
    if (output)
        return false;
    qCWarning(lcFoundation, "MoreAssertQ failure: %s", condition);
    return true;
}

pid_t effectiveProcess(pid_t process)
{
    return process == 0 ? ::getpid() : process;
}

QString procPath(pid_t process, const char* entry)
{
    return QStringLiteral("/proc/%1/%2").arg(process).arg(QString::fromLatin1(entry));
}

} // namespace

QStringList applicationCandidatesForCreator(quint32 creator)
{
    CreatorTable& table = creatorTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.executables.value(creator);
}

void registerCreatorApplications(quint32 creator, const QStringList& executables)
{
    CreatorTable& table = creatorTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.executables.insert(creator, executables);
}

quint32 creatorForExecutable(const QString& executablePath)
{
    const QString name = QFileInfo(executablePath).fileName();
    if (name.isEmpty())
        return 0;
    CreatorTable& table = creatorTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (auto it = table.executables.cbegin(); it != table.executables.cend(); ++it) {
        for (const QString& candidate : it.value()) {
            if (QFileInfo(candidate).fileName() == name)
                return it.key();
        }
    }
    return 0;
}

int MoreProcGetProcessInformation(pid_t process, ProcessInformation* info)
{
    if (missingOutput(info, "info != nil"))
        return procstatus::kParameterError;
    const pid_t pid = effectiveProcess(process);
    QFile comm(procPath(pid, "comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return procstatus::kProcessNotFound;
    info->process = pid;
    info->name = QString::fromUtf8(comm.readAll()).trimmed();
    info->bundlePath = QFileInfo(procPath(pid, "exe")).symLinkTarget();
    info->type = procstatus::kApplicationType;
    const quint32 creator = creatorForExecutable(info->bundlePath);
    info->creator = creator ? creator : procstatus::kUnknownCreator;
    return 0;
}

int MoreProcFindProcessBySignature(quint32 type, quint32 creator, pid_t* process)
{
    if (missingOutput(process, "process != nil"))
        return procstatus::kParameterError;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        bool ok = false;
        const pid_t pid = pid_t(entry.toInt(&ok));
        if (!ok || pid <= 0)
            continue;
        ProcessInformation info;
        if (MoreProcGetProcessInformation(pid, &info) != 0 || info.bundlePath.isEmpty())
            continue;
        if ((type == 0 || info.type == type) && info.creator == creator) {
            *process = pid;
            return 0;
        }
    }
    return procstatus::kProcessNotFound;
}

int MoreProcFindProcessByCreator(quint32 creator, pid_t* process)
{
    return MoreProcFindProcessBySignature(0, creator, process);
}

int MoreProcGetProcessName(pid_t process, QString* name)
{
    if (missingOutput(name, "name != nil"))
        return procstatus::kParameterError;
    ProcessInformation info;
    if (const int status = MoreProcGetProcessInformation(process, &info))
        return status;
    *name = info.name;
    return 0;
}

int MoreProcGetProcessTypeSignature(pid_t process, quint32* type, quint32* creator)
{
    if (missingOutput(type, "type != nil") || missingOutput(creator, "creator != nil"))
        return procstatus::kParameterError;
    ProcessInformation info;
    if (const int status = MoreProcGetProcessInformation(process, &info))
        return status;
    *type = info.type;
    *creator = info.creator;
    return 0;
}

int MoreProcGetProcessAppFile(pid_t process, QString* executable)
{
    if (missingOutput(executable, "executable != nil"))
        return procstatus::kParameterError;
    ProcessInformation info;
    if (const int status = MoreProcGetProcessInformation(process, &info))
        return status;
    *executable = info.bundlePath;
    return 0;
}

int MoreProcGetCurrentProcessFSSpec(QString* executable)
{
    return MoreProcGetProcessAppFile(0, executable);
}

int MoreProcIsProcessBackgroundOnly(pid_t process, bool* backgroundOnly)
{
    if (missingOutput(backgroundOnly, "backgroundOnly != nil"))
        return procstatus::kParameterError;
    ProcessInformation info;
    if (const int status = MoreProcGetProcessInformation(process, &info))
        return status;
    *backgroundOnly = false;
    return 0;
}

bool MoreProcIsProcessAtFront(pid_t process)
{
    if (effectiveProcess(process) != ::getpid() || !qGuiApp)
        return false;
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}
