#pragma once

#include <QString>

namespace kestrova {

// One line to the library's named log "SMSKit".
void smsKitLog(const QString& line);

} // namespace kestrova
