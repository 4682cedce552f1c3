#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Process information read from /proc. Process 0 = this process. Results are
// status codes: 0, -50 for a missing output (also logged as
// "MoreAssertQ failure"), -600 when the process or no matching one exists.
//
// Programs are known by four-character creator codes: each code stands for
// a kind of program (web browser, calendar, address book) and a list of
// executables that serve it; a process has the creator whose list names its
// executable.

constexpr quint32 fourCharCode(const char (&code)[5])
{
    return (quint32(uchar(code[0])) << 24) | (quint32(uchar(code[1])) << 16) | (quint32(uchar(code[2])) << 8)
        | quint32(uchar(code[3]));
}

namespace procstatus {
inline constexpr int kParameterError = -50;
inline constexpr int kProcessNotFound = -600;
inline constexpr quint32 kApplicationType = fourCharCode("APPL");
inline constexpr quint32 kUnknownCreator = fourCharCode("????");
} // namespace procstatus

namespace creators {
inline constexpr quint32 kBrowser = fourCharCode("sfri");
inline constexpr quint32 kCalendar = fourCharCode("wrbt");
inline constexpr quint32 kAddressBook = fourCharCode("adrb");
} // namespace creators

// The executables (names or paths) that serve a creator; registering
// replaces the list.
QStringList applicationCandidatesForCreator(quint32 creator);
void registerCreatorApplications(quint32 creator, const QStringList& executables);
// The creator whose list names this executable (by file name), 0 when none.
quint32 creatorForExecutable(const QString& executablePath);

struct ProcessInformation {
    pid_t process = 0;
    QString name;        // the short process name
    QString bundlePath;  // the executable
    quint32 type = procstatus::kApplicationType;
    quint32 creator = procstatus::kUnknownCreator;
};

int MoreProcGetProcessInformation(pid_t process, ProcessInformation* info);
// The first process whose creator matches (type 0 matches any type).
int MoreProcFindProcessBySignature(quint32 type, quint32 creator, pid_t* process);
int MoreProcFindProcessByCreator(quint32 creator, pid_t* process);
int MoreProcGetProcessName(pid_t process, QString* name);
int MoreProcGetProcessTypeSignature(pid_t process, quint32* type, quint32* creator);
int MoreProcGetProcessAppFile(pid_t process, QString* executable);
int MoreProcGetCurrentProcessFSSpec(QString* executable);
// No process here is marked background-only: always false.
int MoreProcIsProcessBackgroundOnly(pid_t process, bool* backgroundOnly);
// True for this process while it is the active application.
bool MoreProcIsProcessAtFront(pid_t process);
