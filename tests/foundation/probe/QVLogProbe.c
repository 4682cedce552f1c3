/* Looks up the program's log functions by name, as the organizer-kit library
   does, and writes one formatted line when the log is open.
   Answers -1 when a function is missing, 0 when the log is closed, 1 when a
   line was written. */
#include <dlfcn.h>

typedef int (*QVLogIsNamedLogOpenFunction)(const char*);
typedef void (*QVLogToNamedLogFunction)(const char*, const char*, ...);

__attribute__((visibility("default"))) int qvlog_probe_write(const char* logName, int percent, const char* text)
{
    QVLogIsNamedLogOpenFunction isOpen = (QVLogIsNamedLogOpenFunction)dlsym(RTLD_DEFAULT, "QVLogIsNamedLogOpen");
    QVLogToNamedLogFunction logLine = (QVLogToNamedLogFunction)dlsym(RTLD_DEFAULT, "QVLogToNamedLog");
    if (!isOpen || !logLine)
        return -1;
    if (!isOpen(logName))
        return 0;
    logLine(logName, "probe %d%% done: %s", percent, text);
    return 1;
}
