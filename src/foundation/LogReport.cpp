#include "foundation/LogReport.h"

#include "foundation/FoundationLog.h"
#include "foundation/MoreUNIX.h"
#include "foundation/QVFileLog.h"
#include "foundation/QVReporter.h"

#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kJournalTool = "journalctl";
constexpr const char* kDeviceDatabaseTool = "udevadm";
constexpr const char* kUsbListTool = "lsusb";
constexpr const char* kZipTool = "zip";
constexpr const char* kMailTool = "xdg-email";

QString runProcessForOutput(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted())
        return QString();
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString mainName()
{
    return platform::bundle::applicationName();
}

QString reportsFolder()
{
    return platform::paths::mapHomePath(QString::fromLatin1(qvreport::kReportsFolder));
}

// Copies without overwriting; failures leave the file out.
void copyInto(const QString& source, const QString& folder)
{
    QFile::copy(source, folder + QLatin1Char('/') + QFileInfo(source).fileName());
}

// What the report left out or could not gather, written into the report.
class ReportNotes {
public:
    explicit ReportNotes(QString path)
        : m_path(std::move(path))
    {
    }
    void add(const QString& line) { m_lines << line; }
    void write() const
    {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write((m_lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    }

private:
    QString m_path;
    QStringList m_lines;
};

void runTool(const QString& name, const QStringList& args, const QString& outputPath, ReportNotes& notes)
{
    QVReportTools& tools = QVReportToolsInUse();
    const QString program = tools.findProgram(name);
    if (program.isEmpty()) {
        notes.add(QStringLiteral("%1: %2 is not installed, left out").arg(QFileInfo(outputPath).fileName(), name));
        return;
    }
    if (!tools.runTask(program, args, outputPath))
        notes.add(QStringLiteral("%1: %2 could not be run").arg(QFileInfo(outputPath).fileName(), program));
}

QStringList messagesArguments(const QString& sender, long seconds)
{
    return { QStringLiteral("--no-pager"), QStringLiteral("--since"), QString::number(2 * seconds),
             QStringLiteral("SYSLOG_IDENTIFIER=") + sender };
}

QString mailBody()
{
    return QStringLiteral("Computer: %1\nSystem: %2\n\nPhone model: \nPhone language: \nProblem description: \n\n")
        .arg(QSysInfo::currentCpuArchitecture(), QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion());
}

} // namespace

QVReportTools QVDefaultReportTools()
{
    QVReportTools tools;
    tools.findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    tools.runTask = writeTaskConsole;
    tools.startDetached = [](const QString& program, const QStringList& args) {
        return QProcess::startDetached(program, args);
    };
    tools.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    tools.defaultMailHandler = []() {
        const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (mime.isEmpty())
            return QString();
        return runProcessForOutput(mime, { QStringLiteral("query"), QStringLiteral("default"),
                                           QStringLiteral("x-scheme-handler/mailto") });
    };
    return tools;
}

QVReportTools& QVReportToolsInUse()
{
    static QVReportTools tools = QVDefaultReportTools();
    return tools;
}

void QVSetReportTools(QVReportTools tools)
{
    QVReportToolsInUse() = std::move(tools);
}

bool writeTaskConsole(const QString& program, const QStringList& args, const QString& outputPath)
{
    {
        QFile output(outputPath);
        if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
    }
    QProcess process;
    process.setStandardOutputFile(outputPath, QIODevice::Truncate);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted())
        return false;
    process.waitForFinished(-1);
    return true;
}

bool QVCopyUserOwnedRegularFile(const QString& source, const QString& destination)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(in);
        return false;
    }
    const int out = ::open(QFile::encodeName(destination).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    const bool ok = MFMoreUNIXCopyDescriptorToDescriptor(in, out, nullptr) == 0;
    ::close(in);
    ::close(out);
    if (!ok)
        QFile::remove(destination);
    return ok;
}

QString QVCreateLogFileReportSince(long seconds)
{
    QVReporter& reporter = QVReporter::sharedQVReporter();
    const QString main = mainName();
    const QString owner = QVFileLog::getBundleName();
    const QString app = reporter.appName();
    const QString report = reporter.packageName().isEmpty() ? owner : reporter.packageName();
    const bool extra = !app.isEmpty() && app != main;
    const bool ownerIsMain = owner == main;

    const QString parent = reportsFolder();
    const QString folder = QString::fromLatin1(qvreport::kReportFolderFormat).arg(parent, report);
    const QString zip = folder + QStringLiteral(".zip");
    QDir(folder).removeRecursively();
    QFile::remove(zip);

    if (!QDir().mkpath(parent) || !QDir().mkdir(folder)) {
        qCWarning(lcFoundation).noquote() << QStringLiteral("couldn't create directory: %1").arg(folder);
        return QString();
    }
    ReportNotes notes(folder + QLatin1Char('/') + QString::fromLatin1(qvreport::kNotesFile));

    // The named logs, flattened; a private log's current file stays out.
    const QString logs = QVFileLog::logFolder(owner);
    QDirIterator it(logs, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(logs).relativeFilePath(path);
        const QFileInfo info(relative);
        const QString baseName = info.path() == QLatin1String(".") ? info.completeBaseName()
                                                                   : info.path() + QLatin1Char('/') + info.completeBaseName();
        const std::shared_ptr<QVFileLog> log = QVFileLog::sharedLogWithName(baseName);
        if (log && log->isPrivate())
            continue;
        copyInto(path, folder);
    }

    notes.add(QStringLiteral("Crash logs: this system keeps none for the program, left out"));

    if (const std::optional<QStringList> params = reporter.sysLogParams()) {
        runTool(QString::fromLatin1(kJournalTool), *params,
                folder + QLatin1Char('/') + QString::fromLatin1(qvreport::kDefinedFileFormat).arg(report), notes);
    }

    const QString sinceFile = seconds == -86400
        ? QString::fromLatin1(qvreport::kLast24HoursFile)
        : QString::fromLatin1(qvreport::kLastMinutesFileFormat).arg(std::labs(seconds / 60));
    runTool(QString::fromLatin1(kJournalTool),
            { QStringLiteral("--no-pager"), QStringLiteral("--since"), QString::number(seconds) },
            folder + QLatin1Char('/') + sinceFile, notes);

    runTool(QString::fromLatin1(kJournalTool), messagesArguments(main, seconds),
            folder + QLatin1Char('/') + QString::fromLatin1(qvreport::kMessagesFileFormat).arg(main), notes);

    if (reporter.logIORegistry()) {
        const QString output = folder + QLatin1Char('/') + QString::fromLatin1(qvreport::kRegistryFile);
        QVReportTools& tools = QVReportToolsInUse();
        if (!tools.findProgram(QString::fromLatin1(kDeviceDatabaseTool)).isEmpty())
            runTool(QString::fromLatin1(kDeviceDatabaseTool), { QStringLiteral("info"), QStringLiteral("--export-db") }, output, notes);
        else
            runTool(QString::fromLatin1(kUsbListTool), { QStringLiteral("-v") }, output, notes);
    }

    if (extra) {
        runTool(QString::fromLatin1(kJournalTool), messagesArguments(app, seconds),
                folder + QLatin1Char('/') + QString::fromLatin1(qvreport::kMessagesFileFormat).arg(app), notes);
    }

    const QString trace = QString::fromLatin1(qvreport::kTraceFile);
    QVCopyUserOwnedRegularFile(trace, folder + QLatin1Char('/') + QFileInfo(trace).fileName());

    if (ownerIsMain && !platform::bundle::mainBundleIdentifier().isEmpty())
        copyInto(platform::UserDefaults::standard().filePath(), folder);

    notes.write();

    const QString zipTool = QStandardPaths::findExecutable(QString::fromLatin1(kZipTool));
    if (!zipTool.isEmpty()) {
        QProcess process;
        process.start(zipTool, { QStringLiteral("-r"), QStringLiteral("-j"), QStringLiteral("-q"), zip, folder });
        if (process.waitForStarted())
            process.waitForFinished(-1);
    } else {
        qCWarning(lcFoundation).noquote()
            << QStringLiteral("zip is not installed; the report stays unpacked in %1").arg(folder);
    }

    if (QFileInfo::exists(zip))
        QDir(folder).removeRecursively();
    reporter.setPathToZipFile(zip);
    return zip;
}

QString QVCreateLogFileReport()
{
    return QVCreateLogFileReportSince(-86400);
}

int getDefaultEmailer()
{
    QVReportTools& tools = QVReportToolsInUse();
    if (!tools.defaultMailHandler)
        return 0;
    return tools.defaultMailHandler().isEmpty() ? 0 : 1;
}

bool QVSendLogFileReport(int kind)
{
    QVReporter& reporter = QVReporter::sharedQVReporter();
    if (reporter.pathToZipFile().isEmpty() || !QFileInfo::exists(reporter.pathToZipFile()))
        QVCreateLogFileReportSince(-86400);
    const QString zip = reporter.pathToZipFile();
    QString recipient = reporter.recipient();
    if (zip.isEmpty())
        return false;
    // An address that starts like an option is never handed to the mail tool.
    if (recipient.isEmpty() || recipient.startsWith(QLatin1Char('-')))
        recipient = QString::fromLatin1(qvreport::kDefaultRecipient);
    if (kind == 3)
        kind = getDefaultEmailer();

    QVReportTools& tools = QVReportToolsInUse();
    if (kind == 1 || kind == 2) {
        const QString mailer = tools.findProgram(QString::fromLatin1(kMailTool));
        if (mailer.isEmpty())
            return false;
        return tools.startDetached(mailer, { QStringLiteral("--utf8"), QStringLiteral("--body"), mailBody(),
                                             QStringLiteral("--attach"), zip, recipient });
    }
    return tools.openUrl(QUrl::fromLocalFile(reportsFolder()));
}
