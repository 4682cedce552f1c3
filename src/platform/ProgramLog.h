#pragma once

#include <QString>

// The program's named logs as seen from its shared libraries: the program
// exports QVLogIsNamedLogOpen and QVLogToNamedLog, and a library finds them
// by name at run time instead of linking the program. Inside a host without
// them nothing is logged.
namespace platform::programlog {

// Whether the program's named log is open (false without the functions).
bool isOpen(const char* logName);
// One line to that log; nothing happens when it is not open. The line is
// passed as an argument, never as the format, so a "%" stays a "%".
void write(const char* logName, const QString& line);
// Asks the program to create and open that log (nothing happens without the
// program's QVLogCreateAndOpen).
void open(const char* logName);

} // namespace platform::programlog
