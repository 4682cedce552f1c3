#include "platform/ProgramLog.h"

#include <dlfcn.h>

namespace platform::programlog {
namespace {

using IsOpenFn = int (*)(const char*);
using LogFn = void (*)(const char*, const char*, ...);
using OpenFn = int (*)(const char*);

struct Functions {
    IsOpenFn isOpen = nullptr;
    LogFn log = nullptr;
    OpenFn open = nullptr;

    static const Functions& instance()
    {
        static const Functions found = [] {
            Functions f;
            f.isOpen = reinterpret_cast<IsOpenFn>(dlsym(RTLD_DEFAULT, "QVLogIsNamedLogOpen"));
            f.log = reinterpret_cast<LogFn>(dlsym(RTLD_DEFAULT, "QVLogToNamedLog"));
            f.open = reinterpret_cast<OpenFn>(dlsym(RTLD_DEFAULT, "QVLogCreateAndOpen"));
            return f;
        }();
        return found;
    }
};

} // namespace

bool isOpen(const char* logName)
{
    const Functions& program = Functions::instance();
    return program.isOpen && program.log && program.isOpen(logName) != 0;
}

void write(const char* logName, const QString& line)
{
    if (!isOpen(logName))
        return;
    Functions::instance().log(logName, "%s", line.toUtf8().constData());
}

void open(const char* logName)
{
    if (const OpenFn openLog = Functions::instance().open)
        openLog(logName);
}

} // namespace platform::programlog
