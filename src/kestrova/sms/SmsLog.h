#pragma once

#include <QString>

namespace kestrova {

// Whether the program's named log "SMSKit" is open (false inside a host
// that does not export the log functions).
bool smsKitLogIsOpen();
// One line to that log; nothing happens when it is not open.
void smsKitLog(const QString& line);
// Opens that log when the program offers the function to open it.
void openSmsKitLog();

} // namespace kestrova
