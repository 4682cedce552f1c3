#pragma once

#include <QString>

// The wizard logs to the program's named log "Lumwick" through the log
// functions the program exports; inside a host without them nothing is logged.
namespace lumwick {

inline constexpr const char* kLumwickLog = "Lumwick";

void lumwickLog(const QString& line);

// The wizard's own string table: a missing text answers its key.
QString localized(const QString& key);

} // namespace lumwick
