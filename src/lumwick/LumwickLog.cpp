#include "lumwick/LumwickLog.h"

#include "platform/Localization.h"

#include <dlfcn.h>

namespace lumwick {
namespace {

using IsOpenFn = int (*)(const char*);
using LogFn = void (*)(const char*, const char*, ...);

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

void lumwickLog(const QString& line)
{
    const ProgramLog& program = ProgramLog::instance();
    if (!program.isOpen || !program.log || program.isOpen(kLumwickLog) == 0)
        return;
    // Passed as an argument, never as the format: a "%" in a name stays a "%".
    program.log(kLumwickLog, "%s", line.toUtf8().constData());
}

QString localized(const QString& key)
{
    return platform::localizedString(key, QStringLiteral("Lumwick"));
}

} // namespace lumwick
