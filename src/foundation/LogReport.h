#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The log report: the named logs, system-log extracts, the preferences file
// and an optional device-registry listing, zipped into
// "<Documents>/quorvalis reports/Report-<name>.zip" and handed to the mail
// program. Main thread.

// The outside programs the report uses. Tests replace them so that nothing
// real is run or launched.
struct QVReportTools {
    // Absolute path of a program on PATH, or empty when it is not installed.
    std::function<QString(const QString& name)> findProgram;
    // Runs program with args, its standard output into outputPath (created or
    // truncated). False when it could not be started.
    std::function<bool(const QString& program, const QStringList& args, const QString& outputPath)> runTask;
    // Starts a program without waiting for it. False when it could not be started.
    std::function<bool(const QString& program, const QStringList& args)> startDetached;
    // Opens a URL (a folder: the file manager).
    std::function<bool(const QUrl& url)> openUrl;
    // Desktop entry of the user's default "mailto:" handler, empty when none.
    std::function<QString()> defaultMailHandler;
};

QVReportTools QVDefaultReportTools();
QVReportTools& QVReportToolsInUse();
void QVSetReportTools(QVReportTools tools);

// File and folder names of the report.
namespace qvreport {
inline constexpr const char* kReportsFolder = "~/Documents/quorvalis reports";
inline constexpr const char* kReportFolderFormat = "%1/Report-%2";
inline constexpr const char* kLast24HoursFile = "Last_24_Hours.log";
inline constexpr const char* kLastMinutesFileFormat = "Last_%1_Minutes.log";
inline constexpr const char* kMessagesFileFormat = "%1-Messages.log";
inline constexpr const char* kDefinedFileFormat = "%1-defined.log";
inline constexpr const char* kRegistryFile = "IORegistry.txt";
inline constexpr const char* kTraceFile = "/tmp/kzq-at.txt";
inline constexpr const char* kNotesFile = "Report-Notes.log";
inline constexpr const char* kDefaultRecipient = "support@marvesto.example";
} // namespace qvreport

// Runs a program with its standard output into outputPath (truncated first)
// and waits for it to end. False when it could not be started.
bool writeTaskConsole(const QString& program, const QStringList& args, const QString& outputPath);

// Copies source to destination only when source is a regular file owned by
// this user, opened without following a symbolic link; never overwrites.
bool QVCopyUserOwnedRegularFile(const QString& source, const QString& destination);

// Builds the report of the last -seconds seconds (seconds < 0); answers the
// zip path, or an empty string when the report folder cannot be made.
QString QVCreateLogFileReportSince(long seconds);
QString QVCreateLogFileReport();

// 1 when the user has a default mail program, 0 otherwise.
int getDefaultEmailer();
// kind 0 shows the reports folder, 1 and 2 compose a mail with the report
// attached, 3 picks 1 when there is a mail program and 0 otherwise.
bool QVSendLogFileReport(int kind);
