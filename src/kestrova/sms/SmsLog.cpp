#include "kestrova/sms/SmsLog.h"

#include <dlfcn.h>

namespace kestrova {
namespace {

constexpr const char* kSMSKitLog = "SMSKit";

using IsOpenFn = int (*)(const char*);
using LogFn = void (*)(const char*, const char*, ...);

// The program's log functions, looked up by name in the running process. The
// library does not link against the program: inside a host without them the
// lookups fail and nothing is logged.
struct ProgramLog {
    IsOpenFn isOpen = nullptr;
    LogFn log = nullptr;

    static const ProgramLog& instance()
    {
        static const ProgramLog found = [] {
            ProgramLog p;
            p.isOpen = reinterpret_cast<IsOpenFn>(dlsym(RTLD_DEFAULT, "QVLogIsNamedLogOpen"));
            p.log = reinterpret_cast<LogFn>(dlsym(RTLD_DEFAULT, "QVLogToNamedLog"));
            return p;
        }();
        return found;
    }
};

} // namespace

bool smsKitLogIsOpen()
{
    const ProgramLog& program = ProgramLog::instance();
    return program.isOpen && program.log && program.isOpen(kSMSKitLog) != 0;
}

void smsKitLog(const QString& line)
{
    if (!smsKitLogIsOpen())
        return;
    // The line is passed as an argument, never as the format, so a "%" in a
    // text from the phone stays a "%".
    ProgramLog::instance().log(kSMSKitLog, "%s", line.toUtf8().constData());
}

} // namespace kestrova
