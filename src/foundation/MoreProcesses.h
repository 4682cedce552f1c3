#pragma once

#include <QString>

#include <sys/types.h>

// Process information read from /proc. Process 0 = this process. Results are
// status codes: 0, -50 for a missing output (also logged as
// "MoreAssertQ failure"), -600 when the process or no matching one exists.

namespace procstatus {
inline constexpr int kParameterError = -50;
inline constexpr int kProcessNotFound = -600;
inline constexpr quint32 kApplicationType = 0x4150504C; // 'APPL'
inline constexpr quint32 kUnknownCreator = 0x3F3F3F3F;  // '????'
} // namespace procstatus

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
